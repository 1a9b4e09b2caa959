// SPDX-License-Identifier: MIT
// A display's rotation with client screens, from a screen source the test drives.
#include "service_fixture.h"

#include "managed_display.h"

#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/screen_source.h>

#include <map>
#include <mutex>

namespace {

using namespace pixtera;
using namespace pixtera::test;

std::string Row(const std::string& text, std::size_t width = 80)
{
    std::string row = text;
    row.resize(width, ' ');
    return row;
}

class TestSource final : public ComObject<TestSource, IScreenSource> {
public:
    // "<id> <priority> <duration>" lines; the sink hears of it.
    void SetScreens(const std::string& list)
    {
        ComPtr<IScreenSink> sink;
        {
            std::lock_guard lock(mutex_);
            list_ = list;
            sink = sink_;
        }
        if (sink)
            sink->ScreensChanged(0);
    }
    void SetFrame(LONG screen, const std::string& frame, std::u16string characters = {})
    {
        std::lock_guard lock(mutex_);
        frames_[screen] = {frame, std::move(characters)};
    }
    std::vector<std::string> shown()
    {
        std::lock_guard lock(mutex_);
        return shown_;
    }
    int renders()
    {
        std::lock_guard lock(mutex_);
        return renders_;
    }
    int reads()
    {
        std::lock_guard lock(mutex_);
        return reads_;
    }
    bool advised()
    {
        std::lock_guard lock(mutex_);
        return static_cast<bool>(sink_);
    }

    HRESULT STDMETHODCALLTYPE AttachDisplay(LONG display, LONG, LONG, LONG, LONG) override
    {
        return display == 0 ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE GetScreens(LONG, BSTR* screens) override
    {
        std::lock_guard lock(mutex_);
        ++reads_;
        *screens = BString(std::string_view(list_)).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RenderScreen(LONG, LONG screen, LONG, BSTR* frame, BSTR* characters) override
    {
        std::lock_guard lock(mutex_);
        ++renders_;
        const auto it = frames_.find(screen);
        if (it == frames_.end())
            return S_FALSE;
        *frame = BString(std::string_view(it->second.first)).Detach();
        *characters = BString(it->second.second).Detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ScreenShown(LONG, LONG screen, LONG) override
    {
        std::lock_guard lock(mutex_);
        shown_.push_back(std::to_string(screen));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IScreenSink* sink) override
    {
        std::lock_guard lock(mutex_);
        sink_ = ComPtr<IScreenSink>(sink);
        return S_OK;
    }

private:
    std::mutex mutex_;
    std::string list_;
    std::map<LONG, std::pair<std::string, std::u16string>> frames_;
    std::vector<std::string> shown_;
    int renders_ = 0;
    int reads_ = 0;
    ComPtr<IScreenSink> sink_;
};

class ClientScreensTest : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        const std::string configuration = "columns=20;rows=4";
        const auto path = WriteConfiguration(Driver("PixteraTest.RecordingDisplay", configuration, kDisplay));
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(kRecordingDisplayProgId, &clsid), S_OK);
        ComPtr<IPluginInfo> info;
        ASSERT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
        info->Configure(BString(std::string_view(configuration)).get());
        driver = info.As<IUnknown>();
        display = displayManager->AddDisplay(driver.get(), {path, 0, "PixteraTest.RecordingDisplay", configuration});
        RecordedCalls(driver.get()); // the set-up's
        source = MakeComObject<TestSource>();
        ASSERT_EQ(driverManager->Size(), 0);
    }
    void TearDown() override
    {
        if (display)
            display->StopOutput();
    }
    void Attach(bool advised = true)
    {
        auto fault = std::make_shared<PluginFault>("Test.Source");
        if (advised)
            source->Advise(MakeScreenSink({{0, display->screensChanged()}}).get());
        display->AddScreenSource(source.As<IScreenSource>(), fault, advised);
    }
    void Queue(const std::string& text, LONG seconds)
    {
        const auto path = TestDirectory() / (text + ".pxd");
        std::ofstream(path) << "<Design><DisplayItems><DisplayItem><Position X=\"0\" Y=\"0\" Width=\"20\" "
                               "Height=\"1\"/><Appearance Mode=\"Static\"/><Data Mode=\"Static\" Text=\""
                            << text << "\"/></DisplayItem></DisplayItems><Background FileName=\"\"/></Design>";
        ASSERT_EQ(display->AddQueueItem(BString(std::string_view(path.string())).get(), seconds), S_OK);
    }
    std::vector<std::string> Writes()
    {
        for (auto& call : RecordedCalls(driver.get()))
            history.push_back(std::move(call));
        std::vector<std::string> writes;
        for (const auto& call : history)
            if (call.rfind("Write ", 0) == 0)
                writes.push_back(call.substr(6));
        return writes;
    }
    bool LastWriteIs(const std::string& text)
    {
        const auto writes = Writes();
        return !writes.empty() && writes.back() == Row(text);
    }
    std::vector<std::string> Calls(const std::string& prefix)
    {
        Writes();
        std::vector<std::string> picked;
        for (const auto& call : history)
            if (call.rfind(prefix, 0) == 0)
                picked.push_back(call);
        return picked;
    }
    // Moves the clock once the display sleeps on it.
    void Advance(DWORD milliseconds)
    {
        ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }));
        clock.Advance(milliseconds);
    }

    ComPtr<IUnknown> driver;
    ComPtr<ManagedDisplay> display;
    ComPtr<TestSource> source;
    std::vector<std::string> history;
};

TEST_F(ClientScreensTest, InfoScreensTakeTurnsWithTheQueue)
{
    Queue("design", 2);
    source->SetScreens("7 2 8\n");
    source->SetFrame(7, Row("client seven"));
    Attach();
    RecordedCalls(driver.get());
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("design"); }));
    Advance(2000);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("client seven"); }));
    EXPECT_EQ(source->shown(), std::vector<std::string>{"7"});
    Advance(1000); // its eight eighths
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("design"); }));
    EXPECT_EQ(source->shown(), (std::vector<std::string>{"7", "-1"}));
}

TEST_F(ClientScreensTest, AForegroundScreenInterruptsAHeldDesignAndTheDesignComesBack)
{
    Queue("held", 0);
    Attach();
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("held"); }));
    source->SetFrame(3, Row("alarm"));
    source->SetScreens("3 3 16\n");
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("alarm"); })) << "at once, without the clock moving";
    source->SetScreens("");
    Advance(125); // changes are looked at every eighth of a second
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("held"); })) << "gone: the design is back";
}

TEST_F(ClientScreensTest, HiddenNeverShowsAndBackgroundOnlyWithNothingElse)
{
    Attach();
    source->SetFrame(1, Row("hidden"));
    source->SetFrame(2, Row("background"));
    source->SetScreens("1 0 8\n");
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }));
    EXPECT_TRUE(Writes().empty()) << "the greeting stays";
    source->SetScreens("1 0 8\n2 1 8\n");
    Advance(125);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("background"); }));
    display->StopOutput();
    history.clear();
    Queue("design", 5);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("design"); }));
    Advance(5000);
    ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0 && Calls("SetBackground").size() == 2; }));
    for (const auto& write : Writes())
        EXPECT_NE(write, Row("background")) << "a queue leaves background screens out";
}

TEST_F(ClientScreensTest, WithAnEmptyQueueClientScreensRotateAloneThenTheGreetingReturns)
{
    Attach();
    ASSERT_EQ(display->StartOutput(), S_OK);
    source->SetFrame(1, Row("one"));
    source->SetFrame(2, Row("two"));
    source->SetScreens("1 2 8\n2 2 8\n");
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("one"); }));
    Advance(1000);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("two"); }));
    Advance(1000);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("one"); }));
    source->SetScreens("");
    Advance(125);
    ASSERT_TRUE(Eventually([&] {
        const auto writes = Writes();
        return writes.back().find("Welcome  to") != std::string::npos;
    })) << "nothing left: the greeting";
}

TEST_F(ClientScreensTest, UserCharactersAreTheScreensWhileItShowsAndTheDisplaysAfter)
{
    Queue("design", 1);
    Attach();
    std::u16string bar(8, u'\x1C'); // user character 0: three columns lit
    source->SetFrame(5, Row("\x08 bar"), bar);
    source->SetScreens("5 2 8\n");
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("design"); }));
    RecordedCalls(driver.get());
    history.clear();
    Advance(1000);
    ASSERT_TRUE(Eventually([&] { return !Writes().empty() && Writes().back() == "\\x08 bar" + std::string(75, ' '); }))
        << "the recording display writes user characters as escapes";
    EXPECT_EQ(Calls("SetCustomChar"), std::vector<std::string>{"SetCustomChar 0 28 28 28 28 28 28 28 28"});
    Advance(1000);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("design"); }));
    EXPECT_EQ(Calls("SetCustomChar").back(), "SetCustomChar 0 31 31 31 31 31 31 31 31") << "the bar cell again";
}

TEST_F(ClientScreensTest, StoppedForABorrowerTheDisplayHasItsOwnUserCharactersBack)
{
    Attach();
    source->SetFrame(5, Row("\x08 bar"), std::u16string(8, u'\x1C'));
    source->SetScreens("5 2 8\n");
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("SetCustomChar").size() == 1; }));
    ASSERT_EQ(display->StopOutput(), S_OK);
    EXPECT_EQ(Calls("SetCustomChar").back(), "SetCustomChar 0 31 31 31 31 31 31 31 31");
    EXPECT_EQ(source->shown(), (std::vector<std::string>{"5", "-1"})) << "its client hears it is not shown";
}

TEST_F(ClientScreensTest, ClientScreensAreDrawnAtTheDisplaysPaceHoweverOftenTheyChange)
{
    Attach();
    source->SetFrame(1, Row("busy"));
    source->SetScreens("1 2 32\n");
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("busy"); }));
    ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }));
    const int rendersBefore = source->renders();
    const int readsBefore = source->reads();
    for (int i = 0; i < 2000; ++i) {
        source->SetScreens("1 2 32\n"); // a client changing its screens as fast as it can
        if (i % 100 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // and the display sees it do so
    }
    Advance(125);
    ASSERT_TRUE(Eventually([&] { return source->renders() > rendersBefore; }));
    ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }));
    EXPECT_EQ(source->renders() - rendersBefore, 1) << "one eighth of a second, one rendering";
    EXPECT_LE(source->reads() - readsBefore, 3) << "and the screens looked at once or twice";
}

TEST_F(ClientScreensTest, ASourceThatCannotBeAdvisedIsAskedEveryEighth)
{
    Queue("held", 0);
    Attach(false);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("held"); }));
    source->SetFrame(4, Row("polled"));
    source->SetScreens("4 4 8\n");
    Advance(125);
    ASSERT_TRUE(Eventually([&] { return LastWriteIs("polled"); }));
}

} // namespace
