// SPDX-License-Identifier: MIT
#include "service_fixture.h"

#include "managed_display.h"

#include <pixtera/design_file.h>
#include <pixtera/sdk/plugin_info.h>

#include <chrono>
#include <functional>
#include <limits>

namespace {

using namespace pixtera;
using namespace pixtera::test;

std::string StaticDesign(const std::string& text, const std::string& background = "",
                         const std::string& updateFrequency = "")
{
    return "<Design" + (updateFrequency.empty() ? "" : " UpdateFreq=\"" + updateFrequency + "\"") +
           "><DisplayItems><DisplayItem><Position X=\"0\" Y=\"0\" Width=\"20\" Height=\"1\"/>"
           "<Appearance Mode=\"Static\"/><Data Mode=\"Static\" Text=\"" +
           text +
           "\"/></DisplayItem>"
           "</DisplayItems><Background FileName=\"" +
           background + "\"/></Design>";
}

class ManagedDisplayTest : public ServiceFixture {
protected:
    ComPtr<IUnknown> CreateDriver(const std::string& configuration)
    {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(kRecordingDisplayProgId, &clsid), S_OK);
        ComPtr<IPluginInfo> info;
        EXPECT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
        info->Configure(BString(std::string_view(configuration)).get());
        ComPtr<IUnknown> created = info.As<IUnknown>();
        RecordedCalls(created.get());
        return created;
    }

    std::string DesignFile(const std::string& name, const std::string& xml)
    {
        const auto path = TestDirectory() / name;
        std::ofstream(path) << xml;
        return path.string();
    }

    // A display of the recording driver whose queue lives in a configuration with one driver.
    ComPtr<ManagedDisplay> MakeDisplay(const std::string& configuration = "columns=20;rows=4")
    {
        const auto path = WriteConfiguration(Driver("PixteraTest.RecordingDisplay", configuration, kDisplay));
        driver = CreateDriver(configuration);
        auto display =
            displayManager->AddDisplay(driver.get(), {path, 0, "PixteraTest.RecordingDisplay", configuration});
        RecordedCalls(driver.get());
        return display;
    }

    void Add(ManagedDisplay& display, const std::string& file, LONG seconds)
    {
        ASSERT_EQ(display.AddQueueItem(BString(std::string_view(file)).get(), seconds), S_OK);
    }

    // The driver calls so far that satisfy the filter.
    std::vector<std::string> Calls(const std::string& prefix = "")
    {
        auto calls = RecordedCalls(driver.get());
        history.insert(history.end(), calls.begin(), calls.end());
        std::vector<std::string> picked;
        for (const auto& call : history)
            if (call.rfind(prefix, 0) == 0)
                picked.push_back(call);
        return picked;
    }

    ComPtr<IUnknown> driver;
    std::vector<std::string> history;
};

struct GreetingCase {
    std::string configuration;
    std::string frame;
};

TEST_F(ManagedDisplayTest, GreetingIsCentredFromTheColumnCount)
{
    const GreetingCase cases[] = {
        {"columns=20;rows=4", "     Welcome  to          Pixtera       " + std::string(40, ' ')},
        {"columns=16;rows=2", "   Welcome  to      Pixtera     "},
        {"columns=40;rows=2", std::string(15, ' ') + "Welcome  to" + std::string(14, ' ') + std::string(16, ' ') +
                                  "Pixtera" + std::string(17, ' ')},
        {"columns=20;rows=1", "     Welcome  to    "},
        {"columns=8;rows=2", "elcome  Pixtera "}, // narrower than the greeting: clipped at the left
    };
    for (const auto& c : cases) {
        driver = CreateDriver(c.configuration);
        displayManager->AddDisplay(driver.get(), {});
        const auto calls = RecordedCalls(driver.get());
        ASSERT_GE(calls.size(), 5u);
        EXPECT_EQ(calls[4], "Write " + c.frame) << c.configuration;
    }
}

TEST_F(ManagedDisplayTest, SetUpAsksTheGeometryThenWritesThenLoadsTheBarCharacters)
{
    driver = CreateDriver("columns=20;rows=4;cellwidth=5");
    auto display = displayManager->AddDisplay(driver.get(), {});
    const auto calls = RecordedCalls(driver.get());
    ASSERT_EQ(calls.size(), 13u);
    EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 4),
              (std::vector<std::string>{"GetCharHeight", "GetCharWidth", "GetColumns", "GetRows"}));
    EXPECT_EQ(calls[4].rfind("Write", 0), 0u);
    EXPECT_EQ(calls[5], "SetCustomChar 0 31 31 31 31 31 31 31 31") << "the bar cell is full";
    EXPECT_EQ(calls[8], "SetCustomChar 3 0 0 0 0 0 31 31 31") << "the bottom three rows";
    EXPECT_EQ(calls[12], "SetCustomChar 7 0 31 31 31 31 31 31 31");
    EXPECT_EQ(display->index(), 0);

    driver = CreateDriver("columns=20;rows=4;cellwidth=8");
    auto second = displayManager->AddDisplay(driver.get(), {});
    EXPECT_EQ(RecordedCalls(driver.get())[6], "SetCustomChar 1 0 0 0 0 0 0 0 255");
    EXPECT_EQ(second->index(), 1) << "displays are numbered in the order they were added";
}

TEST_F(ManagedDisplayTest, ADriverWithoutTheInterfaceLeavesTheDisplayWithoutOne)
{
    auto notADisplay = dataManager.As<IUnknown>();
    auto display = displayManager->AddDisplay(notADisplay.get(), {});
    ComPtr<IDisplayDriver> got;
    EXPECT_EQ(display->GetDriver(got.Out()), E_NOINTERFACE);
    EXPECT_EQ(display->StartOutput(), S_OK) << "it still runs, rendering for nobody";
    EXPECT_EQ(display->StopOutput(), S_OK);
}

TEST_F(ManagedDisplayTest, QueueRotatesAndAHeldEntryStays)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("one.pxd", StaticDesign("first", "/bg/one.png")), 2);
    Add(*display, DesignFile("two.pxd", StaticDesign("second", "/bg/two.png")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    EXPECT_EQ(Calls("SetBackground"), std::vector<std::string>{"SetBackground /bg/one.png"});
    EXPECT_EQ(Calls("Write")[0], "Write first" + std::string(75, ' '));

    clock.Advance(2000);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; }));
    EXPECT_EQ(Calls("Write")[1], "Write second" + std::string(74, ' '));
    clock.Advance(60000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Calls("SetBackground"),
              (std::vector<std::string>{"SetBackground /bg/one.png", "SetBackground /bg/two.png"}))
        << "the held entry stays; the first never comes back";
    EXPECT_EQ(display->StopOutput(), S_OK);
}

// Two entries whose frames differ only in letters Windows-1252 lacks, shown in turn.
class UnicodeFramesTest : public ManagedDisplayTest {
protected:
    void ShowBoth(bool unicode)
    {
        auto display = MakeDisplay(std::string("columns=20;rows=1;unicode=") + (unicode ? "1" : "0"));
        Add(*display, DesignFile("hello.pxd", StaticDesign("Привет é € ")), 1);
        Add(*display, DesignFile("example.pxd", StaticDesign("Пример é € ")), 1);
        ASSERT_EQ(display->StartOutput(), S_OK);
        ASSERT_TRUE(Eventually([&] { return Calls("SetBackground").size() == 1; }));
        ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }));
        clock.Advance(1000);
        ASSERT_TRUE(Eventually([&] { return Calls("SetBackground").size() == 2; }));
        ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; })) << "the second entry rendered";
        display->StopOutput();
    }
};

TEST_F(UnicodeFramesTest, ADriverThatTakesUnicodeGetsTheTextItself)
{
    ShowBoth(true);
    EXPECT_EQ(Calls("WriteUnicode "), (std::vector<std::string>{"WriteUnicode Привет é € " + std::string(9, ' '),
                                                                "WriteUnicode Пример é € " + std::string(9, ' ')}));
    EXPECT_EQ(Calls("Write "), std::vector<std::string>{});
}

TEST_F(UnicodeFramesTest, AnotherDriverGetsWindows1252AndNoFrameThatLooksTheSame)
{
    ShowBoth(false);
    EXPECT_EQ(Calls("Write "), std::vector<std::string>{"Write ?????? é € " + std::string(9, ' ')})
        << "both frames are the same in Windows-1252: the second is not written";
    EXPECT_EQ(Calls("WriteUnicode "), std::vector<std::string>{});
}

TEST_F(ManagedDisplayTest, OnlyChangedFramesAreWrittenButEveryEntrySetsItsBackground)
{
    auto display = MakeDisplay();
    const auto same = DesignFile("same.pxd", StaticDesign("same", "/bg/a.png"));
    Add(*display, same, 1);
    Add(*display, DesignFile("same2.pxd", StaticDesign("same", "/bg/b.png")), 1);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("SetBackground").size() == 1; }));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }))
            << "the showing's end is set before the clock moves";
        clock.Advance(1000);
        ASSERT_TRUE(Eventually([&] { return Calls("SetBackground").size() == static_cast<std::size_t>(i) + 2; }));
    }
    display->StopOutput();
    EXPECT_EQ(Calls("Write").size(), 1u);
    EXPECT_EQ(Calls("SetBackground"), (std::vector<std::string>{"SetBackground /bg/a.png", "SetBackground /bg/b.png",
                                                                "SetBackground /bg/a.png", "SetBackground /bg/b.png"}));
}

TEST_F(ManagedDisplayTest, ANegativeDurationIsSkippedAfterItsBackgroundWhateverItsSize)
{
    // Durations below -2147484 s would wrap the end time into the future if taken as times.
    for (const LONG seconds : {-5, -3000000, std::numeric_limits<LONG>::min()}) {
        history.clear();
        auto display = MakeDisplay();
        Add(*display, DesignFile("skip.pxd", StaticDesign("never", "/bg/skip.png")), seconds);
        Add(*display, DesignFile("held.pxd", StaticDesign("shown", "/bg/held.png")), 0);
        ASSERT_EQ(display->StartOutput(), S_OK);
        ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; })) << seconds;
        display->StopOutput();
        EXPECT_EQ(Calls("Write")[0].substr(0, 11), "Write shown") << seconds;
        EXPECT_EQ(Calls("SetBackground"),
                  (std::vector<std::string>{"SetBackground /bg/skip.png", "SetBackground /bg/held.png"}))
            << seconds;
    }
}

// A one-line design whose text moves one column per `delay` ms, so every rendering is a new frame.
std::string Scroller(const std::string& updateFrequency, const std::string& delay)
{
    return R"(<Design UpdateFreq=")" + updateFrequency +
           R"("><DisplayItems><DisplayItem>)"
           R"(<Position X="0" Y="0" Width="20" Height="1"/>)"
           R"(<Appearance Mode="RightToLeft" ScrollDelay=")" +
           delay +
           R"("/>)"
           R"(<Data Mode="Static" Text="0123456789"/></DisplayItem></DisplayItems></Design>)";
}

TEST_F(ManagedDisplayTest, AShowingRendersOncePerUpdatePeriodAndEndsOnTime)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("moving.pxd", Scroller("1000", "1000")), 3);
    Add(*display, DesignFile("after.pxd", StaticDesign("after")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    for (std::size_t second = 1; second <= 2; ++second) {
        clock.Advance(1000);
        ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == second + 1; }))
            << "a wait that wakes on time renders at once, not a period later";
    }
    clock.Advance(1000);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 4; }));
    display->StopOutput();
    EXPECT_EQ(Calls("Write")[3].substr(0, 11), "Write after")
        << "three renderings in three seconds, then the next entry";
}

TEST_F(ManagedDisplayTest, AnEntryMovesOnAtItsEndEvenWithALongerUpdatePeriod)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("slow.pxd", StaticDesign("slow", "", "3000")), 2);
    Add(*display, DesignFile("after.pxd", StaticDesign("after")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    clock.Advance(2000);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; }));
    display->StopOutput();
}

TEST_F(ManagedDisplayTest, AHugeUpdateFrequencyMeansRarelyAndDoesNotSpin)
{
    auto display = MakeDisplay();
    // Above 2^31 ms: the deadline arithmetic must not wrap into the past.
    Add(*display, DesignFile("rare.pxd", Scroller("3000000000", "1")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    clock.Advance(5);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(Calls("Write").size(), 1u) << "the next rendering is weeks away";
    clock.Advance(0x7FFFFFFE);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; })) << "capped, not never";
    display->StopOutput();
}

TEST_F(ManagedDisplayTest, AQueueThatCanShowNothingDoesNotSpin)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("skip.pxd", StaticDesign("never")), -1);
    ASSERT_EQ(display->StartOutput(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    display->StopOutput();
    EXPECT_LE(Calls("SetBackground").size(), 2u) << "a round without showing anything pauses";
}

TEST_F(ManagedDisplayTest, StopTakesEffectWithoutWaitingForTheUpdatePeriod)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("slow.pxd", StaticDesign("slow", "", "100000000")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    EXPECT_EQ(display->StopOutput(), S_OK); // would hang for the period if the wait ignored the stop
    VARIANT_BOOL running = 1;
    display->IsRunning(&running);
    EXPECT_EQ(running, 0);
    EXPECT_EQ(display->StopOutput(), S_OK) << "stopping a stopped display is harmless";
}

TEST_F(ManagedDisplayTest, UpdateFrequencyZeroRendersOncePerTick)
{
    auto display = MakeDisplay();
    const std::string scroller = R"(<Design UpdateFreq="0"><DisplayItems><DisplayItem>)"
                                 R"(<Position X="0" Y="0" Width="20" Height="1"/>)"
                                 R"(<Appearance Mode="RightToLeft" ScrollDelay="1"/>)"
                                 R"(<Data Mode="Static" Text="0123456789"/></DisplayItem></DisplayItems></Design>)";
    Add(*display, DesignFile("fast.pxd", scroller), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(Calls("Write").size(), 1u) << "the tick count did not move: nothing new to render";
    clock.Advance(1);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; }));
    display->StopOutput();
}

TEST_F(ManagedDisplayTest, AnEmptyQueueKeepsTheGreeting)
{
    auto display = MakeDisplay();
    ASSERT_EQ(display->StartOutput(), S_OK);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(display->StopOutput(), S_OK);
    EXPECT_TRUE(Calls("Write").empty());
}

TEST_F(ManagedDisplayTest, ARunningDisplayRefusesStartAndEdits)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("one.pxd", StaticDesign("x")), 5);
    ASSERT_EQ(display->StartOutput(), S_OK);
    EXPECT_EQ(display->StartOutput(), E_FAIL);
    EXPECT_EQ(display->AddQueueItem(BString(std::string_view("b.pxd")).get(), 1), E_FAIL);
    EXPECT_EQ(display->DeleteQueueItem(0), E_FAIL);
    LONG count = 0;
    EXPECT_EQ(display->QueueCount(&count), S_OK) << "reading is fine";
    EXPECT_EQ(count, 1);
    display->StopOutput();
    EXPECT_EQ(display->DeleteQueueItem(0), S_OK);
}

// The queue items a display said it shows, in order.
class ShownRecord {
public:
    explicit ShownRecord(ManagedDisplay& display) : display_(display)
    {
        display_.ObserveShown([this] {
            std::lock_guard lock(mutex_);
            seen_.push_back(display_.shownQueueItem());
        });
    }
    ~ShownRecord() { display_.ObserveShown(nullptr); }
    std::vector<LONG> seen() const
    {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    ManagedDisplay& display_;
    mutable std::mutex mutex_; // guards seen_
    std::vector<LONG> seen_;
};

TEST_F(ManagedDisplayTest, AJumpShowsTheEntryAtOnceHoldsItThenTheQueueGoesOnAfterIt)
{
    auto display = MakeDisplay();
    ShownRecord shown(*display);
    Add(*display, DesignFile("first.pxd", StaticDesign("first")), 2);
    Add(*display, DesignFile("moving.pxd", Scroller("1000", "1000")), 2);
    Add(*display, DesignFile("last.pxd", StaticDesign("last")), 2);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    EXPECT_EQ(display->shownQueueItem(), 0);

    ASSERT_EQ(display->ShowQueueItem(1, 4), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; })) << "at once, the clock standing still";
    EXPECT_EQ(display->shownQueueItem(), 1);
    // The moving design writes a frame a second: held four seconds, not its own two.
    for (std::size_t second = 1; second <= 3; ++second) {
        clock.Advance(1000);
        ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2 + second; }));
        EXPECT_NE(Calls("Write").back().substr(0, 11), "Write first") << second;
        EXPECT_NE(Calls("Write").back().substr(0, 10), "Write last") << second;
    }
    clock.Advance(1000);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 6; }));
    EXPECT_EQ(Calls("Write").back().substr(0, 10), "Write last") << "the rotation goes on after the entry";
    EXPECT_EQ(display->StopOutput(), S_OK);
    EXPECT_EQ(shown.seen(), (std::vector<LONG>{0, 1, 2, -1}));
}

TEST_F(ManagedDisplayTest, AJumpWithoutAHoldTakesTheEntrysOwnDuration)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("first.pxd", StaticDesign("first")), 0);
    Add(*display, DesignFile("moving.pxd", Scroller("1000", "1000")), 2);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    ASSERT_EQ(display->ShowQueueItem(1, 0), S_OK) << "out of a held entry too";
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; }));
    clock.Advance(1000);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 3; }));
    EXPECT_NE(Calls("Write").back().substr(0, 11), "Write first");
    clock.Advance(1000);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 4; }));
    EXPECT_EQ(Calls("Write").back().substr(0, 11), "Write first");
    display->StopOutput();
}

TEST_F(ManagedDisplayTest, AJumpOutsideTheQueueIsRefusedAndChangesNothing)
{
    auto display = MakeDisplay();
    Add(*display, DesignFile("first.pxd", StaticDesign("first")), 0);
    Add(*display, DesignFile("second.pxd", StaticDesign("second")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    for (const LONG index : {-1, 2, std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::max()})
        EXPECT_EQ(display->ShowQueueItem(index, 5), E_INVALIDARG) << index;
    EXPECT_EQ(display->shownQueueItem(), 0);
    ASSERT_EQ(display->ShowQueueItem(1, std::numeric_limits<ULONG>::max()), S_OK) << "a huge hold is capped";
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; }));
    EXPECT_EQ(Calls("Write").back().substr(0, 12), "Write second");
    display->StopOutput();
}

TEST_F(ManagedDisplayTest, AStoppedDisplayBeginsAtTheEntryJumpedTo)
{
    auto display = MakeDisplay();
    ShownRecord shown(*display);
    Add(*display, DesignFile("first.pxd", StaticDesign("first")), 0);
    Add(*display, DesignFile("second.pxd", StaticDesign("second")), 0);
    ASSERT_EQ(display->ShowQueueItem(1, 0), S_OK);
    EXPECT_EQ(display->shownQueueItem(), -1) << "nothing shows while stopped";
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    EXPECT_EQ(Calls("Write")[0].substr(0, 12), "Write second");
    display->StopOutput();

    // Asked for while stopped, then the queue was shortened: dropped, the queue starts at its head.
    ASSERT_EQ(display->ShowQueueItem(1, 0), S_OK);
    ASSERT_EQ(display->DeleteQueueItem(1), S_OK);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 2; }));
    EXPECT_EQ(Calls("Write")[1].substr(0, 11), "Write first");
    display->StopOutput();
    EXPECT_EQ(shown.seen(), (std::vector<LONG>{1, -1, 0, -1}));
}

TEST_F(ManagedDisplayTest, TheShownEntryIsSaidOnlyWhenItChanges)
{
    auto display = MakeDisplay();
    ShownRecord shown(*display);
    Add(*display, DesignFile("only.pxd", StaticDesign("only", "/bg/only.png")), 1);
    ASSERT_EQ(display->StartOutput(), S_OK);
    for (std::size_t round = 1; round <= 3; ++round) {
        ASSERT_TRUE(Eventually([&] { return Calls("SetBackground").size() == round; }));
        ASSERT_TRUE(Eventually([&] { return clock.waiters() > 0; }));
        clock.Advance(1000);
    }
    ASSERT_TRUE(Eventually([&] { return Calls("SetBackground").size() == 4; }));
    EXPECT_EQ(shown.seen(), std::vector<LONG>{0}) << "the same design again is no change";
    display->StopOutput();
}

std::string FileContent(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST_F(ManagedDisplayTest, QueueEditsRoundTripIntoTheRightDisplayElement)
{
    // The first display driver fails to load, so counting active displays would pick its
    // element; the queue must go to the element of the driver that made the display.
    const auto path = WriteConfiguration(Driver("Not.Registered", "", kDisplay) +
                                         Driver("PixteraTest.RecordingDisplay", "columns=20;rows=4", kDisplay));
    ASSERT_TRUE(LoadConfigurationFile(path, *driverManager, *dataManager, *displayManager));
    auto display = displayManager->Displays().at(0);
    display->StopOutput();
    Add(*display, "a.pxd", 5);
    Add(*display, "b.pxd", 7);
    Add(*display, "c.pxd", 9);
    ASSERT_EQ(display->MoveQueueItemUp(2), S_OK); // a c b
    ASSERT_EQ(display->MoveQueueItemDown(0), S_OK); // c a b
    ASSERT_EQ(display->SetQueueDuration(1, 1), S_OK); // a: 1
    ASSERT_EQ(display->DeleteQueueItem(2), S_OK); // c a
    EXPECT_EQ(display->SetQueueDuration(5, 1), E_FAIL);
    EXPECT_EQ(FileContent(path),
              "<PixteraConfiguration>\n"
              "\t<drivers>\n"
              "\t\t<driver clsid=\"Not.Registered\" configuration=\"\">\n"
              "\t\t\t<display active=\"yes\"/>\n"
              "\t\t</driver>\n"
              "\t\t<driver clsid=\"PixteraTest.RecordingDisplay\" configuration=\"columns=20;rows=4\">\n"
              "\t\t\t<display active=\"yes\">\n"
              "\t\t\t\t<queue>\n"
              "\t\t\t\t\t<queueitem Filename=\"c.pxd\" Runtime=\"9\"/>\n"
              "\t\t\t\t\t<queueitem Filename=\"a.pxd\" Runtime=\"1\"/>\n"
              "\t\t\t\t</queue>\n"
              "\t\t\t</display>\n"
              "\t\t</driver>\n"
              "\t</drivers>\n"
              "</PixteraConfiguration>\n");
    BString file;
    ASSERT_EQ(display->QueueFile(0, file.Out()), S_OK);
    EXPECT_EQ(file.view(), u"c.pxd");
    EXPECT_EQ(display->QueueFile(2, file.Out()), E_FAIL);
    LONG seconds = 0;
    EXPECT_EQ(display->QueueDuration(-1, &seconds), E_FAIL);
}

TEST_F(ManagedDisplayTest, OutOfRangeMovesChangeNothingButStillRewrite)
{
    auto display = MakeDisplay();
    Add(*display, "a.pxd", 5);
    Add(*display, "b.pxd", 6);
    const auto path = TestDirectory() / "pixtera2.xml";
    std::filesystem::remove(path);
    std::ofstream(path)
        << "<PixteraConfiguration><drivers><driver clsid=\"PixteraTest.RecordingDisplay\" "
           "configuration=\"columns=20;rows=4\"><display active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    EXPECT_EQ(display->MoveQueueItemUp(0), S_OK);
    EXPECT_EQ(display->MoveQueueItemDown(1), S_OK);
    EXPECT_NE(FileContent(path).find(
                  "<queueitem Filename=\"a.pxd\" Runtime=\"5\"/>\n\t\t\t\t\t<queueitem Filename=\"b.pxd\""),
              std::string::npos)
        << FileContent(path);
}

TEST_F(ManagedDisplayTest, AConfigurationThatBrokeOrVanishedIsLeftAlone)
{
    auto display = MakeDisplay();
    const auto path = TestDirectory() / "pixtera2.xml";
    std::ofstream(path, std::ios::trunc) << "<PixteraConfiguration><drivers>";
    EXPECT_EQ(display->AddQueueItem(BString(std::string_view("a.pxd")).get(), 5), E_FAIL);
    EXPECT_EQ(FileContent(path), "<PixteraConfiguration><drivers>");
    LONG count = 0;
    display->QueueCount(&count);
    EXPECT_EQ(count, 1) << "the change stays in memory";
    std::filesystem::remove(path);
    EXPECT_EQ(display->DeleteQueueItem(0), E_FAIL);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(ManagedDisplayTest, AReadOnlyConfigurationDirectoryReportsTheFailureAndKeepsTheFile)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    auto display = MakeDisplay();
    Add(*display, "a.pxd", 5);
    const auto before = FileContent(TestDirectory() / "pixtera2.xml");
    std::filesystem::permissions(TestDirectory(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const HRESULT hr = display->AddQueueItem(BString(std::string_view("b.pxd")).get(), 6);
    std::filesystem::permissions(TestDirectory(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_EQ(FileContent(TestDirectory() / "pixtera2.xml"), before);
}

TEST_F(ManagedDisplayTest, ADriverWhoseWriteThrowsIsReportedOnceAndDropped)
{
    MessageCapture messages;
    ASSERT_TRUE(Load(Driver("PixteraTest.ScriptedProvider", "throwon=Write@1", kDisplay)));
    auto display = displayManager->Displays().at(0);
    EXPECT_EQ(messages.messages().size(), 1u) << "the greeting's Write threw";
    display->StopOutput();
    Add(*display, DesignFile("one.pxd", StaticDesign("x")), 0);
    display->StartOutput();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    display->StopOutput();
    EXPECT_EQ(CountOf(RecordedCalls(driverManager->At(0)->object.get()), "Write"), 1) << "only the one that threw";
    EXPECT_EQ(messages.messages().size(), 1u);
}

} // namespace

namespace {

TEST_F(ManagedDisplayTest, AScrollStepThatIsDueAtARenderingIsTakenThere)
{
    // Steps every 300 ms, renderings every 100 ms: the step at 300 ms shows at the rendering at
    // 300 ms, not one later; the phase follows the time since the design was loaded.
    auto display = MakeDisplay();
    Add(*display, DesignFile("steps.pxd", Scroller("100", "300")), 0);
    ASSERT_EQ(display->StartOutput(), S_OK);
    ASSERT_TRUE(Eventually([&] { return Calls("Write").size() == 1; }));
    for (int tick = 1; tick <= 2; ++tick) {
        clock.Advance(100);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_EQ(Calls("Write").size(), 1u) << "no step yet, no new frame";
    clock.Advance(100);
    EXPECT_TRUE(Eventually([&] { return Calls("Write").size() == 2; })) << "the step due at 300 ms";
    EXPECT_NE(Calls("Write")[1].find("1234567890"), std::string::npos) << Calls("Write")[1];
    display->StopOutput();
}

} // namespace
