// SPDX-License-Identifier: MIT
#include "service_fixture.h"

#include <pixtera/sdk/data_events.h>

#include <atomic>

namespace {

using namespace pixtera;
using namespace pixtera::test;

using DataManagerTest = ServiceFixture;

IUnknown* ProviderObject(DriverManager& drivers, LONG index) { return drivers.At(index)->object.get(); }

TEST_F(DataManagerTest, PeriodicProviderNamesItemsInOrderAndReadsFromTheCache)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=2;interval=100000;items=A:1.5,B:hello", kData)));
    EXPECT_EQ(ReadText(u"A"), "1.5");
    EXPECT_EQ(ReadText(u"B"), "hello#1");
    LONG count = 0;
    ASSERT_EQ(dataManager->Count(&count), S_OK);
    EXPECT_EQ(count, 2);

    BString name;
    ASSERT_EQ(dataManager->Name(2, name.Out()), S_OK);
    EXPECT_EQ(name.view(), u"B");
    ASSERT_EQ(dataManager->Description(1, name.Out()), S_OK);
    EXPECT_EQ(name.view(), u"Test\\A");
    EXPECT_EQ(dataManager->Name(0, name.Out()), E_FAIL);
    EXPECT_EQ(dataManager->Name(3, name.Out()), E_FAIL);

    Variant byId;
    ASSERT_EQ(dataManager->Value(Variant::FromShort(2), byId.Out()), S_OK);
    EXPECT_EQ(BstrView(byId.bstrVal), u"hello#1");
    ASSERT_EQ(dataManager->Value(Variant::FromShort(3), byId.Out()), S_OK);
    EXPECT_EQ(BstrView(byId.bstrVal), u"Error") << "id 3 has no name";
    EXPECT_EQ(dataManager->Value(Variant::FromLong(1), byId.Out()), E_FAIL) << "a 32-bit key is no id";
    EXPECT_EQ(dataManager->Value(Variant::FromDouble(1), byId.Out()), E_FAIL);
    EXPECT_EQ(ReadText(u"Nope"), "Error");

    const auto calls = RecordedCalls(ProviderObject(*driverManager, 0));
    EXPECT_EQ(CountOf(calls, "Refresh"), 1) << "no poll was asked for by the reads";
}

TEST_F(DataManagerTest, RegistrationPollsOnceInTheDocumentedOrder)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=3;interval=100000;items=A:1,B:2", kData)));
    const auto calls = RecordedCalls(ProviderObject(*driverManager, 0));
    EXPECT_EQ(calls, (std::vector<std::string>{"Configure mode=3;interval=100000;items=A:1,B:2", "Advise",
                                               "GetUpdateMode", "GetUpdateMode", "GetInterval", "Refresh", "GetCount",
                                               "GetName 0", "GetDescription 0", "GetName 1", "GetDescription 1"}))
        << "direct mode fetches no values while polling";
}

TEST_F(DataManagerTest, DirectModeReadsCallGetValueOnTheReadersThread)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=3;interval=100000;items=A:1,T:text", kData)));
    RecordedCalls(ProviderObject(*driverManager, 0));
    std::thread::id reader;
    std::string value;
    std::thread([&] {
        reader = std::this_thread::get_id();
        value = ReadText(u"T");
    }).join();
    EXPECT_EQ(value, "text#1");
    const auto calls = RecordedCalls(ProviderObject(*driverManager, 0), true);
    EXPECT_EQ(calls, std::vector<std::string>{"GetValue 1" + ThreadTag(reader)}) << "no poll, no cache";
}

TEST_F(DataManagerTest, OnRequestModePollsExactlyOncePerRead)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=1;items=A:x,B:2", kData)));
    RecordedCalls(ProviderObject(*driverManager, 0));
    EXPECT_EQ(ReadText(u"A"), "x#2");
    EXPECT_EQ(ReadText(u"A"), "x#3");
    const auto calls = RecordedCalls(ProviderObject(*driverManager, 0));
    EXPECT_EQ(CountOf(calls, "Refresh"), 2);
    EXPECT_EQ(CountOf(calls, "GetValue"), 4) << "every item's value, at every poll";
}

TEST_F(DataManagerTest, OnRequestReadsFromManyThreadsEachGetTheirPoll)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=1;items=A:x", kData)));
    RecordedCalls(ProviderObject(*driverManager, 0));
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            for (int j = 0; j < 10; ++j)
                Read(u"A");
        });
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(CountOf(RecordedCalls(ProviderObject(*driverManager, 0)), "Refresh"), 40);
}

TEST_F(DataManagerTest, OnceModeNeverPollsAgain)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=0;interval=1;items=A:x", kData)));
    RecordedCalls(ProviderObject(*driverManager, 0));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ReadText(u"A"), "x#1");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(RecordedCalls(ProviderObject(*driverManager, 0)).empty());
}

TEST_F(DataManagerTest, AProviderWhoseValuesArriveIsPolledWhenItSaysSoAndOnlyThen)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=0;items=A:x", kData)));
    IUnknown* provider = ProviderObject(*driverManager, 0);
    RecordedCalls(provider);
    EXPECT_EQ(ReadText(u"A"), "x#1");
    ComPtr<IUnknown>(provider).As<IDataArrivalSink>()->ValuesArrived();
    EXPECT_TRUE(Eventually([&] { return ReadText(u"A") == "x#2"; })) << "a message arrived: polled at once";
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(CountOf(RecordedCalls(provider), "Refresh"), 1) << "and nothing more";
}

TEST_F(DataManagerTest, ItemsThatArriveAreTheOnlyOnesReadAgain)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=0;items=A:x,B:y,C:z", kData)));
    IUnknown* provider = ProviderObject(*driverManager, 0);
    EXPECT_EQ(ReadText(u"B"), "y#1");
    RecordedCalls(provider);
    const auto sink = ComPtr<IUnknown>(provider).As<IItemArrivalSink>();
    const LONG second[] = {1};
    ASSERT_EQ(sink->ItemsArrived(1, second), S_OK);
    EXPECT_TRUE(Eventually([&] { return ReadText(u"B") == "y#2"; }));
    const auto calls = RecordedCalls(provider);
    EXPECT_EQ(CountOf(calls, "GetValue 1"), 1) << "the item that arrived";
    EXPECT_EQ(CountOf(calls, "GetValue 0") + CountOf(calls, "GetValue 2"), 0) << "and no other";
    EXPECT_EQ(ReadText(u"A"), "x#1");

    EXPECT_EQ(sink->ItemsArrived(-1, nullptr), E_INVALIDARG);
    sink->ValuesArrived(); // everything
    EXPECT_TRUE(Eventually([&] { return ReadText(u"C") == "z#3"; })) << "the third poll";
}

TEST_F(DataManagerTest, PeriodicProvidersPollOnTheirInterval)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=2;interval=10;items=A:x", kData)));
    for (int i = 0; i < 500 && ReadText(u"A") == "x#1"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_NE(ReadText(u"A"), "x#1") << "later polls replaced the value";
}

TEST_F(DataManagerTest, ProvidersSharingANameShareOneItem)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=1;items=Own:a,Shared:first", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=1;items=Shared:second", kData)));
    LONG count = 0;
    dataManager->Count(&count);
    EXPECT_EQ(count, 2);
    RecordedCalls(ProviderObject(*driverManager, 1));
    // Reading goes to the first provider (mode 1: it polls), whose poll stores its own value.
    EXPECT_EQ(ReadText(u"Shared"), "first#2");
    EXPECT_TRUE(RecordedCalls(ProviderObject(*driverManager, 1)).empty()) << "the second is not asked";
}

TEST_F(DataManagerTest, ALaterProvidersPollsOverwriteTheSharedValue)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=0;items=Shared:first", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=0;items=Shared:second", kData)));
    EXPECT_EQ(ReadText(u"Shared"), "second#1");
}

TEST_F(DataManagerTest, AProviderThatThrowsIsReportedOnceAndNeverCalledAgain)
{
    MessageCapture messages;
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=1;items=A:x;throwon=GetValue@3", kData)));
    IUnknown* provider = ProviderObject(*driverManager, 0);
    EXPECT_EQ(ReadText(u"A"), "x#2");
    EXPECT_EQ(ReadText(u"A"), "x#2") << "the third poll threw; the read it served keeps the cached value";
    EXPECT_EQ(ReadText(u"A"), "Plugin died");
    RecordedCalls(provider);
    EXPECT_EQ(ReadText(u"A"), "Plugin died");
    EXPECT_TRUE(RecordedCalls(provider).empty());
    EXPECT_EQ(messages.messages(),
              std::vector<std::string>{"Warning|PixteraTest.ScriptedProvider has caused an exception! Removal of "
                                       "this plugin and a restart of pixtera is recommended!"});
}

TEST_F(DataManagerTest, ADirectReadThatThrowsIsGuardedToo)
{
    MessageCapture messages;
    ASSERT_TRUE(
        Load(Driver("PixteraTest.ScriptedProvider", "mode=3;interval=100000;items=A:x;throwon=GetValue@1", kData)));
    EXPECT_EQ(ReadText(u"A"), "Plugin died");
    EXPECT_EQ(ReadText(u"A"), "Plugin died");
    EXPECT_EQ(messages.messages().size(), 1u);
}

TEST_F(DataManagerTest, AFailingGetValueIsReportedAndStoresTheEmptyValue)
{
    MessageCapture messages;
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=1;items=A:x;failvalue=2", kData)));
    EXPECT_EQ(Read(u"A").vt, VT_EMPTY);
    EXPECT_EQ(messages.messages(), std::vector<std::string>{"|DOW"});
}

TEST_F(DataManagerTest, VanishedItemsKeepTheirLastValue)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=1;items=A:a,B:b;shrinkto=1@2", kData)));
    EXPECT_EQ(ReadText(u"A"), "a#2");
    EXPECT_EQ(ReadText(u"B"), "b#1") << "B vanished at poll 2 and kept its value";
}

TEST_F(DataManagerTest, ProvidersWithoutPluginInfoAreUsedAndDriversWithoutProviderAreNot)
{
    ASSERT_TRUE(
        Load(Driver("PixteraTest.BareProvider", "", kData) + Driver("PixteraTest.RecordingDisplay", "", kData)));
    EXPECT_EQ(ReadText(u"Bare"), "7");
    LONG count = 0;
    dataManager->Count(&count);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(driverManager->Size(), 2);
}

TEST_F(DataManagerTest, ConcurrentReadersAndPollers)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=2;interval=1;items=A:1,B:b", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=2;interval=1;items=C:c,B:b2", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=3;interval=1;items=D:d", kData)));
    std::atomic<int> errors{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            for (int j = 0; j < 2000; ++j)
                for (auto name : {u"A", u"B", u"C", u"D"})
                    errors += ReadText(name) == "Error";
        });
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(errors.load(), 0);
}

} // namespace

namespace {

TEST_F(DataManagerTest, ThePollsSignalStoredChangesAndTheModeSaysWhichValuesWaitForThem)
{
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "mode=2;interval=20;items=Same:1.5", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=3;interval=100000;items=Direct:1", kData) +
                     Driver("PixteraTest.ScriptedProvider", "mode=1;items=Asked:2", kData)));
    ValueChangeSignal& signal = *dataManager->changeSignal();
    EXPECT_GT(signal.generation(), 0u) << "new names are a change: they read \"Error\" before";
    EXPECT_EQ(dataManager->HowValueChanges(u"Same"), ValueSource::Changes::WhenStored);
    EXPECT_EQ(dataManager->HowValueChanges(u"Direct"), ValueSource::Changes::AnyTime);
    EXPECT_EQ(dataManager->HowValueChanges(u"Asked"), ValueSource::Changes::AnyTime);
    EXPECT_EQ(dataManager->HowValueChanges(u"Unknown"), ValueSource::Changes::WhenStored);

    Event changed;
    auto subscription = signal.Subscribe(changed);
    const auto generation = signal.generation();
    const auto polls = CountOf(RecordedCalls(ProviderObject(*driverManager, 0)), "Refresh");
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_GT(CountOf(RecordedCalls(ProviderObject(*driverManager, 0)), "Refresh"), polls + 2);
    EXPECT_EQ(signal.generation(), generation) << "polls that store the same values change nothing";
    EXPECT_EQ(changed.Wait(0), static_cast<DWORD>(WAIT_TIMEOUT));

    // Text items carry their poll's number, so each poll stores a new value; the third poll throws.
    ASSERT_TRUE(
        Load(Driver("PixteraTest.ScriptedProvider", "mode=2;interval=20;items=T:text;throwon=Refresh@3", kData)));
    EXPECT_EQ(changed.Wait(5000), static_cast<DWORD>(WAIT_OBJECT_0));
    for (int i = 0; i < 5000 && ReadText(u"T") != "Plugin died"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(signal.generation(), generation + 3) << "the first poll's new name, the second's new text, the death";
    EXPECT_EQ(dataManager->HowValueChanges(u"T"), ValueSource::Changes::WhenStored)
        << "it reads \"Plugin died\" for good";
}

} // namespace
