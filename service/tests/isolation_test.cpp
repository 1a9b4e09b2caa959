// SPDX-License-Identifier: MIT
// Plug-ins hosted in processes of their own (DispatchWrapper.core and pixtera-plugin-host) that
// crash, hang or exit on purpose, while a well-behaved display of the same service keeps going.

#include "captured_log.h"
#include "service_fixture.h"

#include "child_process.h"
#include "managed_display.h"

#include <pixtera/design_file.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/process_list.h>
#include <pixtera/platform/registry.h>
#include <pixtera/sdk/data_feed.h>
#include <pixtera/sdk/dispatch_wrapper.h>
#include <pixtera/sdk/display_leds.h>
#include <pixtera/sdk/display_link_state.h>
#include <pixtera/sdk/display_traffic.h>
#include <pixtera/sdk/plugin_info.h>
#include <pixtera/sdk/plugin_settings.h>
#include <pixtera/user_characters.h>

#include <atomic>
#include <csignal>
#include <dirent.h>
#include <functional>
#include <future>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <tuple>

namespace {

using namespace pixtera;
using namespace pixtera::test;
using namespace std::chrono_literals;

// The processes whose parent is this one (the plug-in hosts).
std::vector<pid_t> Children(pid_t parent = getpid()) { return ChildrenOf(parent); }

bool Running(pid_t pid) { return ProcessRuns(pid); }

std::size_t OpenDescriptors()
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

std::string Isolated(const std::string& configuration, const std::string& inner)
{
    return "<driver clsid=\"PixteraTest.Misbehaving\" configuration=\"" + configuration + "\" isolated=\"true\">" +
           inner + "</driver>";
}

class Isolation : public ServiceFixture {
protected:
    void SetUp() override
    {
        ServiceFixture::SetUp();
        ASSERT_TRUE(RegisterTestModule("test-misbehaving-plugin.so"));
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
        RegKey settings;
        ASSERT_EQ(settings.Create(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0"), ERROR_SUCCESS);
        settings.SetDword("PluginCallTimeout", 500);
        descriptorsBefore = OpenDescriptors();
        StartHealthyDisplay();
    }

    // An in-process display whose scroller changes every 50 ms, on the real clock.
    void StartHealthyDisplay()
    {
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(kRecordingDisplayProgId, &clsid), S_OK);
        ComPtr<IPluginInfo> info;
        ASSERT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
        info->Configure(BString(std::string_view("columns=20;rows=2")).get());
        healthy = info.As<IUnknown>();
        const auto design = TestDirectory() / "scroller.pxd";
        std::ofstream(design)
            << R"(<Design UpdateFreq="50"><DisplayItems><DisplayItem>)"
               R"(<Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="RightToLeft" ScrollDelay="50"/>)"
               R"(<Data Mode="Static" Text="0123456789"/></DisplayItem></DisplayItems></Design>)";
        auto display = healthyDisplays->AddDisplay(healthy.get(), {});
        display->LoadQueue({{Utf8ToUtf16(design.string()), 0}});
        display->StartOutput();
    }

    // The frames the healthy display has written so far.
    int HealthyFrames()
    {
        healthyFrames += CountOf(RecordedCalls(healthy.get()), "Write");
        return healthyFrames;
    }

    // The healthy neighbour display still gets new frames.
    void ExpectNeighbourGoesOn()
    {
        const int frames = HealthyFrames();
        EXPECT_TRUE(Eventually([&] { return HealthyFrames() - frames >= 10; })) << "the neighbour display stopped";
    }

    // Loads the drivers onto displays that run on the real clock.
    bool LoadReal(const std::string& drivers)
    {
        return LoadConfigurationFile(WriteConfiguration(drivers), *driverManager, *dataManager, *realDisplays);
    }

    // Ends the service's objects and checks that no host and no descriptor is left.
    void ExpectNothingLeft()
    {
        realDisplays->StopAll();
        healthyDisplays->StopAll();
        realDisplays = nullptr;
        healthyDisplays = nullptr;
        displayManager = nullptr;
        dataManager = nullptr;
        driverManager = nullptr;
        EXPECT_TRUE(Eventually([] { return Children().empty(); })) << "hosts left: " << Children().size();
        EXPECT_TRUE(Eventually([&] { return OpenDescriptors() <= descriptorsBefore + 2; }))
            << OpenDescriptors() << " descriptors open, " << descriptorsBefore << " before";
    }

    ComPtr<DisplayManager> realDisplays = MakeComObject<DisplayManager>(DisplayRuntime{*dataManager, SystemClock()});
    ComPtr<DisplayManager> healthyDisplays = MakeComObject<DisplayManager>(DisplayRuntime{*dataManager, SystemClock()});
    ComPtr<IUnknown> healthy;
    int healthyFrames = 0;
    std::size_t descriptorsBefore = 0;
};

const std::string kReport = "Warning|PixteraTest.Misbehaving has caused an exception! Removal of this plugin and a "
                            "restart of pixtera is recommended!";

TEST_F(Isolation, AProviderThatSegfaultsDiesAloneAndComesBackAfterItsPause)
{
    MessageCapture messages;
    const auto marker = TestDirectory() / "struck";
    ASSERT_TRUE(LoadReal(Isolated("fault=segv;on=GetValue;at=3;once=" + marker.string(), kData)));
    ASSERT_TRUE(Eventually([&] { return ReadText(u"Polls") == "Plugin died"; })) << ReadText(u"Polls");
    EXPECT_TRUE(std::filesystem::exists(marker)) << "it was the segmentation fault";
    const int framesAtTheFault = HealthyFrames();
    ASSERT_TRUE(Eventually([&] { return ReadText(u"Polls") != "Plugin died"; })) << "back after a pause of 1 s";
    EXPECT_GT(std::stoi(ReadText(u"Polls")), 0) << "live values again";
    EXPECT_GE(HealthyFrames() - framesAtTheFault, 10) << "the other display went on at its pace";
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kReport}) << "reported once";
    EXPECT_EQ(Children().size(), 1u) << "the new host only";
    ExpectNothingLeft();
}

TEST_F(Isolation, AProviderThatHangsIsCutOffAtTheDeadlineAndOneThatAbortsDiesAlone)
{
    MessageCapture messages;
    ASSERT_TRUE(
        LoadReal(Isolated("fault=hang;on=GetValue;at=2", kData) +
                 "<driver clsid=\"PixteraTest.ScriptedProvider\" configuration=\"mode=2;interval=20;items=Fine:ok\">"
                 "<data active=\"yes\"/></driver>"));
    ASSERT_TRUE(Eventually([&] { return ReadText(u"Polls") == "Plugin died"; })) << "killed after 500 ms";
    EXPECT_EQ(ReadText(u"Fine"), "ok#" + ReadText(u"Fine").substr(3)) << "other providers go on";
    ExpectNothingLeft();
}

TEST_F(Isolation, AbortInRefreshAndExitInConfigureLeaveTheServiceRunning)
{
    MessageCapture messages;
    ASSERT_TRUE(LoadReal(Isolated("fault=abort;on=Refresh;at=2", kData)));
    ASSERT_TRUE(Eventually([&] { return ReadText(u"Polls") == "Plugin died"; }));
    ASSERT_TRUE(LoadReal(Isolated("fault=exit;on=Configure", kData)));
    EXPECT_EQ(driverManager->Size(), 2) << "created: the wrapper stands for it while its host comes and goes";
    const int frames = HealthyFrames();
    EXPECT_TRUE(Eventually([&] { return HealthyFrames() - frames >= 10; }));
    ExpectNothingLeft();
}

std::string StaticDesign(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path)
        << "<Design UpdateFreq=\"50\"><DisplayItems><DisplayItem><Position X=\"0\" Y=\"0\" Width=\"20\" "
           "Height=\"1\"/><Appearance Mode=\"Static\"/><Data Mode=\"Static\" Text=\""
        << text << "\"/></DisplayItem></DisplayItems></Design>";
    return path.string();
}

TEST_F(Isolation, ADisplayThatCrashesInWriteIsReportedAndGetsItsFrameWhenBack)
{
    MessageCapture messages;
    const auto frames = TestDirectory() / "frames";
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "shown when back");
    // Write 1 is the greeting, write 2 the design's frame: it crashes the host, once.
    ASSERT_TRUE(LoadReal(Isolated(
        "fault=segv;on=Write;at=2;once=" + (TestDirectory() / "struck").string() + ";frames=" + frames.string(),
        "<display active=\"yes\"><queue><queueitem Filename=\"" + design + "\" Runtime=\"0\"/></queue></display>")));
    ASSERT_TRUE(Eventually([&] { return !messages.messages().empty(); }));
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kReport});
    ASSERT_TRUE(Eventually([&] { return FileText(frames).find("shown when back") != std::string::npos; }))
        << FileText(frames);
    EXPECT_NE(FileText(frames).find("Welcome  to"), std::string::npos) << "the new host got the last frame first";
    ExpectNothingLeft();
}

TEST_F(Isolation, AHostedDisplayThatTakesUnicodeFramesGetsThemThroughItsHost)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
    const auto path = TestDirectory() / "display";
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "Ёжик в тумане");
    ASSERT_TRUE(LoadReal("<driver clsid=\"Pixtera.FileDisplay\" configuration=\"columns=20;rows=1;path=" +
                         path.string() + "\" isolated=\"true\"><display active=\"yes\"><queue><queueitem Filename=\"" +
                         design + "\" Runtime=\"0\"/></queue></display></driver>"));
    ASSERT_TRUE(Eventually([&] { return FileText(path.string() + ".frame") == "Ёжик в тумане       \n"; }))
        << FileText(path.string() + ".frame");
    EXPECT_NE(FileText(path).find("\"op\":\"WriteUnicode\",\"frame\":\"Ёжик"), std::string::npos) << FileText(path);
    ExpectNothingLeft();
}

TEST_F(Isolation, ADisplayThatHangsInSetCustomCharIsCutOffAndStopsInTime)
{
    MessageCapture messages;
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "anything");
    ASSERT_TRUE(
        LoadReal(Isolated("fault=hang;on=SetCustomChar", "<display active=\"yes\"><queue><queueitem Filename=\"" +
                                                             design + "\" Runtime=\"0\"/></queue></display>")));
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kReport}) << "cut off during the set-up";
    auto stopped = std::async(std::launch::async, [&] { return realDisplays->Displays().at(0)->StopOutput(); });
    ASSERT_EQ(stopped.wait_for(10s), std::future_status::ready) << "StopOutput must not wait for the plug-in";
    EXPECT_EQ(stopped.get(), S_OK);
    ExpectNothingLeft();
}

TEST(IsolatedService, ItsHostsGoWhenTheServiceIsKilled)
{
    const auto program = InstallProgramCopy("pixtera2");
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "DispatchWrapper.so"));
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileData.so"));
    ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
    std::ofstream(TestDirectory() / "values") << "a=1\n";
    std::ofstream(TestDirectory() / "bin" / "pixtera2.xml")
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileData\" isolated=\"true\" configuration=\"path="
        << (TestDirectory() / "values").string()
        << "\"><data active=\"yes\"/></driver></drivers></PixteraConfiguration>";
    ChildProcess service({program.string()});
    ASSERT_TRUE(service.WaitForOutput("Service started")) << service.output();
    const pid_t servicePid = service.pid();
    std::vector<pid_t> hosts;
    ASSERT_TRUE(Eventually([&] { return !(hosts = Children(servicePid)).empty(); })) << service.output();
    service.Signal(SIGKILL);
    service.Wait();
    EXPECT_TRUE(Eventually(
        [&] {
            for (pid_t host : hosts)
                if (Running(host))
                    return false;
            return true;
        },
        1s))
        << "the host noticed its parent was gone";
}

} // namespace

namespace {

TEST_F(Isolation, ACrashInTheFirstConfigureIsRepairedWithThatConfiguration)
{
    MessageCapture messages;
    const std::string configuration = "fault=segv;on=Configure;once=" + (TestDirectory() / "struck").string();
    ASSERT_TRUE(LoadReal(Isolated(configuration, kData)));
    ASSERT_GE(driverManager->Size(), 1);
    auto info = driverManager->At(0)->object.As<IPluginInfo>();
    ASSERT_TRUE(info);
    // The new host is configured as the service asked the one that crashed.
    EXPECT_TRUE(Eventually([&] {
        BString text;
        return SUCCEEDED(info->GetConfiguration(text.Out())) && text.utf8() == configuration;
    }));
    EXPECT_TRUE(Eventually([&] { return ReadText(u"Polls") != "Plugin died" && !ReadText(u"Polls").empty(); }));
    info.Reset();
    ExpectNeighbourGoesOn();
    ExpectNothingLeft();
}

} // namespace

namespace {

TEST_F(Isolation, FailedRestartsKeepThePausesGrowing)
{
    // Every host counts as having worked (a minute, but for the test): the pauses may start from
    // 1 s again after the first failure, but not after restarts that fail.
    RegKey settings;
    ASSERT_EQ(settings.Create(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0"), ERROR_SUCCESS);
    settings.SetDword("PluginHealthyAfter", 0);
    CapturedLog log;
    auto said = [&](const std::string& part) { return log.Contains(part); };
    MessageCapture messages;
    // Every host dies in Configure, the first one's and every replay's.
    ASSERT_TRUE(LoadReal(Isolated("fault=exit;on=Configure", kData)));
    EXPECT_TRUE(Eventually([&] { return said("started again in 1 s"); }));
    EXPECT_TRUE(Eventually([&] { return said("next try in 2 s"); }, std::chrono::seconds(5)))
        << "the failed restart after the first pause waits longer";
    ExpectNeighbourGoesOn();
    ExpectNothingLeft();
}

} // namespace

namespace {

TEST_F(Isolation, ADisplayWhoseHostDiesWhileItIsSetUpGetsItsGeometryAndFramesWhenBack)
{
    MessageCapture messages;
    const auto frames = TestDirectory() / "frames";
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "shown when back");
    ASSERT_TRUE(LoadReal(Isolated(
        "fault=segv;on=GetCharHeight;once=" + (TestDirectory() / "struck").string() + ";frames=" + frames.string(),
        "<display active=\"yes\"><queue><queueitem Filename=\"" + design + "\" Runtime=\"0\"/></queue></display>")));
    // 20 columns, not 0: the design's text reaches the new host.
    ASSERT_TRUE(Eventually([&] { return FileText(frames).find("shown when back") != std::string::npos; }))
        << FileText(frames);
    ExpectNeighbourGoesOn();
    ExpectNothingLeft();
}

} // namespace

namespace {

TEST_F(Isolation, EverySdkInterfaceOfTheHostedObjectIsAnsweredAndForwarded)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "BusData.so"));
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(u"DispatchWrapper.core", &clsid), S_OK);
    ComPtr<IUnknown> wrapper;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, wrapper.OutVoid()), S_OK);
    ASSERT_EQ(wrapper.As<IDispatchWrapper>()->Wrap(BString(std::string_view("Pixtera.BusData")).get()), S_OK);
    ASSERT_EQ(wrapper.As<IPluginInfo>()->Configure(BString(std::string_view("names=weather")).get()), S_OK);

    // A bus data provider in a process of its own can still be fed.
    const auto feed = wrapper.As<IDataFeed>();
    ASSERT_TRUE(feed);
    ASSERT_EQ(feed->SetValue(BString(std::string_view("weather")).get(), Variant::FromText(u"sunny")), S_OK);
    EXPECT_EQ(feed->SetValue(BString(std::string_view("other")).get(), Variant::FromText(u"x")), DISP_E_UNKNOWNNAME);
    BString names;
    ASSERT_EQ(feed->GetFeedNames(names.Out()), S_OK);
    EXPECT_EQ(names.utf8(), "weather");
    const auto provider = wrapper.As<IDataProvider>();
    ASSERT_TRUE(provider);
    provider->Refresh();
    Variant value;
    ASSERT_EQ(provider->GetValue(0, value.Out()), S_OK);
    ASSERT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(BstrView(value.bstrVal), u"sunny");

    // Its settings, for the designer's form.
    const auto settings = wrapper.As<IPluginSettings>();
    ASSERT_TRUE(settings);
    LONG count = 0;
    ASSERT_EQ(settings->GetSettingCount(&count), S_OK);
    ASSERT_GT(count, 0);
    BString name, label, defaultValue, help, choices;
    LONG kind = -1, minimum = -1, maximum = -1;
    ASSERT_EQ(settings->GetSetting(0, name.Out(), label.Out(), &kind, defaultValue.Out(), help.Out(), &minimum,
                                   &maximum, choices.Out()),
              S_OK);
    EXPECT_EQ(name.utf8(), "names");
    EXPECT_FALSE(wrapper.As<IDisplayDriver>()) << "what the hosted object lacks is not answered";
}

} // namespace

namespace {

TEST_F(Isolation, AStrayAnswerFromAHostIsAFaultNotAShiftOfEveryLaterAnswer)
{
    CapturedLog log;
    MessageCapture messages;
    ASSERT_TRUE(
        LoadReal(Isolated("fault=stray;on=GetValue;at=3;once=" + (TestDirectory() / "struck").string(), kData)));
    EXPECT_TRUE(Eventually([&] { return ReadText(u"Polls") == "Plugin died"; })) << "seen, not taken for the answer";
    // The new host answers in step again: the poll count is a number, not a shifted answer.
    EXPECT_TRUE(Eventually([&] {
        const std::string polls = ReadText(u"Polls");
        return !polls.empty() && polls != "Plugin died" && polls.find_first_not_of("0123456789") == std::string::npos;
    }));
    EXPECT_TRUE(log.Contains("with the answer to call 4294967295")) << log.Text();
    EXPECT_EQ(messages.messages().size(), 1u) << "reported once";
    ExpectNeighbourGoesOn();
}

} // namespace

namespace {

TEST_F(Isolation, AHelperTheHostLeftBehindHoldsUpNothingAndGoesWithTheHost)
{
    MessageCapture messages;
    const auto helperFile = TestDirectory() / "helper";
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "shown");
    // The plug-in leaves a process holding the host's output and socket, then crashes in Write.
    ASSERT_TRUE(LoadReal(Isolated("helper=" + helperFile.string() + ";fault=segv;on=Write;at=2",
                                  "<display active=\"yes\"><queue><queueitem Filename=\"" + design +
                                      "\" Runtime=\"0\"/></queue></display>")));
    ASSERT_TRUE(Eventually([&] { return !messages.messages().empty(); })) << "the crash is reported";
    pid_t helper = 0;
    std::ifstream(helperFile) >> helper;
    ASSERT_GT(helper, 0);
    EXPECT_TRUE(Eventually([&] { return !Running(helper); })) << "the host's whole group went with it";
    ExpectNeighbourGoesOn();
    ExpectNothingLeft(); // StopOutput returns
}

} // namespace

namespace {

// The user characters a host last got, code by code: the rows in the plug-in's "chars" log.
std::map<int, std::string> LastCharacters(const std::filesystem::path& log)
{
    std::map<int, std::string> characters;
    for (const std::string& line : FileLines(log))
        if (const auto colon = line.find(':'); colon != std::string::npos)
            characters[std::stoi(line.substr(0, colon))] = line.substr(colon + 1);
    return characters;
}

// The rows the set-up defines for every user character of 5-pixel cells, as the plug-in logs them.
std::map<int, std::string> DefinedCharacters()
{
    std::map<int, std::string> characters;
    for (LONG code = 0; code < kUserCharacters; ++code) {
        std::ostringstream rows;
        rows << std::hex;
        for (BYTE row : UserCharacterRows(code, 5))
            rows << " " << static_cast<int>(row);
        characters[code] = rows.str();
    }
    return characters;
}

// The call of the display's set-up that kills its host, once.
class IsolatedSetUpFault : public Isolation, public ::testing::WithParamInterface<const char*> {};

TEST_P(IsolatedSetUpFault, TheNewHostGetsAllEightUserCharacters)
{
    MessageCapture messages;
    const auto chars = TestDirectory() / "chars";
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "shown when back");
    ASSERT_TRUE(LoadReal(Isolated(std::string("fault=segv;") + GetParam() +
                                      ";once=" + (TestDirectory() / "struck").string() + ";chars=" + chars.string(),
                                  "<display active=\"yes\"><queue><queueitem Filename=\"" + design +
                                      "\" Runtime=\"0\"/></queue></display>")));
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kReport});
    const auto defined = DefinedCharacters();
    EXPECT_TRUE(Eventually([&] { return LastCharacters(chars) == defined; })) << FileText(chars);
    ExpectNothingLeft();
}

// A definition that comes while a new host is being set up (and finds no host) reaches that host
// before it is used: the replay it missed is made up.
TEST_F(Isolation, WhatADisplayIsGivenWhileItsNewHostIsSetUpReachesThatHost)
{
    RegKey settings;
    ASSERT_EQ(settings.Create(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0"), ERROR_SUCCESS);
    settings.SetDword("PluginCallTimeout", 5000); // the new host waits in its replay for the test
    MessageCapture messages;
    const auto chars = TestDirectory() / "chars";
    const auto gate = TestDirectory() / "gate";
    const auto design = StaticDesign(TestDirectory() / "shown.pxd", "shown when back");
    ASSERT_TRUE(LoadReal(Isolated("fault=segv;on=SetCustomChar;once=" + (TestDirectory() / "struck").string() +
                                      ";pause=Configure;gate=" + gate.string() + ";chars=" + chars.string(),
                                  "<display active=\"yes\"><queue><queueitem Filename=\"" + design +
                                      "\" Runtime=\"0\"/></queue></display>")));
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(gate.string() + ".waiting"); }))
        << "the new host is in its replay";
    auto driver = driverManager->At(0)->object.As<IDisplayDriver>();
    ASSERT_TRUE(driver);
    EXPECT_EQ(driver->SetCustomChar(3, 1, 2, 3, 4, 5, 6, 7, 8), E_PLUGIN_HOST_FAILED) << "no host to take it yet";
    std::ofstream(gate) << "go\n";
    EXPECT_TRUE(Eventually([&] { return LastCharacters(chars)[3] == " 1 2 3 4 5 6 7 8"; })) << FileText(chars);
    driver.Reset();
    ExpectNothingLeft();
}

// Named by the call that kills the host.
std::string CallName(const ::testing::TestParamInfo<const char*>& call)
{
    constexpr const char* kNames[] = {"FirstCharacter", "FifthCharacter", "Greeting"};
    return kNames[call.index];
}

INSTANTIATE_TEST_SUITE_P(Calls, IsolatedSetUpFault,
                         ::testing::Values("on=SetCustomChar;at=1", "on=SetCustomChar;at=5", "on=Write;at=1"),
                         CallName);

} // namespace

namespace {

LONGLONG EpochSeconds()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A DispatchWrapper.core hosting `progId`, configured.
ComPtr<IUnknown> Hosted(const char16_t* progId, const std::string& configuration)
{
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"DispatchWrapper.core", &clsid), S_OK);
    ComPtr<IUnknown> wrapper;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, wrapper.OutVoid()), S_OK);
    if (!wrapper)
        return wrapper;
    EXPECT_EQ(wrapper.As<IDispatchWrapper>()->Wrap(BString(std::u16string_view(progId)).get()), S_OK);
    EXPECT_EQ(wrapper.As<IPluginInfo>()->Configure(BString(std::string_view(configuration)).get()), S_OK);
    return wrapper;
}

struct LinkState {
    HRESULT hr = E_FAIL;
    bool linked = false;
    LONGLONG since = -1;
};

LinkState LinkOf(IDisplayLinkState& link)
{
    VARIANT_BOOL linked = 2;
    LinkState state;
    state.hr = link.GetLinkState(&linked, &state.since);
    state.linked = linked == VARIANT_TRUE;
    return state;
}

LONG LedOf(IDisplayLeds& leds, LONG index, HRESULT* hr = nullptr)
{
    LONG state = -1;
    const HRESULT answered = leds.GetLed(index, &state);
    if (hr)
        *hr = answered;
    return state;
}

TEST_F(Isolation, AHostedFileDisplaySaysWhenItsFrameFileIsOutOfReach)
{
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
    const auto directory = TestDirectory() / "screen";
    const auto away = TestDirectory() / "screen-away";
    std::filesystem::create_directories(directory);
    const auto wrapper = Hosted(u"Pixtera.FileDisplay", "columns=5;rows=1;path=" + (directory / "out.jsonl").string());
    const auto link = wrapper.As<IDisplayLinkState>();
    ASSERT_TRUE(link) << "the hosted object has it, so the wrapper answers it";
    EXPECT_FALSE(wrapper.As<IDisplayLeds>()) << "the hosted object has no LEDs";
    auto state = LinkOf(*link);
    EXPECT_EQ(state.hr, S_OK);
    EXPECT_TRUE(state.linked);
    EXPECT_EQ(state.since, 0);

    const LONGLONG before = EpochSeconds();
    std::filesystem::rename(directory, away);
    state = LinkOf(*link);
    EXPECT_EQ(state.hr, S_OK);
    EXPECT_FALSE(state.linked);
    EXPECT_GE(state.since, before);
    EXPECT_LE(state.since, EpochSeconds());

    std::filesystem::rename(away, directory);
    state = LinkOf(*link);
    EXPECT_EQ(state.hr, S_OK);
    EXPECT_TRUE(state.linked);
    EXPECT_EQ(state.since, 0);
}

TEST_F(Isolation, AHostKilledMidWayLeavesTheLinkDownMeanwhileAndGetsItsLedsBack)
{
    const auto wrapper = Hosted(u"PixteraTest.Misbehaving", "leds=4");
    const auto leds = wrapper.As<IDisplayLeds>();
    const auto link = wrapper.As<IDisplayLinkState>();
    const auto traffic = wrapper.As<IDisplayTraffic>();
    ASSERT_TRUE(leds && link && traffic);
    LONG count = 0;
    ASSERT_EQ(leds->GetLedCount(&count), S_OK);
    EXPECT_EQ(count, 4);
    LONG states = 0;
    EXPECT_EQ(leds->GetLedStates(1, &states), S_OK);
    EXPECT_EQ(states, kLedRedGreen);
    EXPECT_EQ(leds->GetLedStates(4, &states), E_INVALIDARG) << "the plug-in's own answer for a LED it lacks";
    ASSERT_EQ(leds->SetLed(1, kLedGreen), S_OK);
    ASSERT_EQ(leds->SetLed(3, kLedAmber), S_OK);
    EXPECT_EQ(leds->SetLed(1, kLedOn), E_INVALIDARG) << "a red/green LED cannot be just on";
    EXPECT_EQ(LedOf(*leds, 1), kLedGreen);
    LONG bytes = 0, messages = 0;
    LONGLONG clocks = 0, microseconds = 0;
    ASSERT_EQ(traffic->GetLastFrameTraffic(&bytes, &messages, &clocks, &microseconds), S_OK);
    EXPECT_EQ(std::make_tuple(bytes, messages, clocks, microseconds), std::make_tuple(42, 3, 6'000'000'000LL, 1500LL));
    EXPECT_TRUE(LinkOf(*link).linked);

    const auto hosts = Children();
    ASSERT_EQ(hosts.size(), 1u);
    const LONGLONG before = EpochSeconds();
    ASSERT_EQ(kill(hosts[0], SIGKILL), 0);
    ASSERT_TRUE(Eventually([&] { return !Running(hosts[0]); }));
    HRESULT hr = S_OK;
    LedOf(*leds, 1, &hr);
    EXPECT_EQ(hr, E_PLUGIN_HOST_FAILED) << "a dead host's answer is an error, not a made-up state";
    auto state = LinkOf(*link);
    EXPECT_EQ(state.hr, S_OK);
    EXPECT_FALSE(state.linked) << "down while there is no host";
    EXPECT_GE(state.since, before);
    EXPECT_LE(state.since, EpochSeconds());
    EXPECT_EQ(leds->GetLedCount(&count), E_PLUGIN_HOST_FAILED);
    EXPECT_EQ(traffic->GetLastFrameTraffic(&bytes, &messages, &clocks, &microseconds), E_PLUGIN_HOST_FAILED);

    // The new host gets the states set, not the one the plug-in refused.
    ASSERT_TRUE(Eventually([&] { return LedOf(*leds, 1) == kLedGreen; })) << "back after a pause of 1 s";
    EXPECT_EQ(LedOf(*leds, 3), kLedAmber);
    EXPECT_EQ(LedOf(*leds, 0), kLedOff) << "never set, so never replayed";
    state = LinkOf(*link);
    EXPECT_TRUE(state.linked);
    EXPECT_EQ(state.since, 0);
}

TEST_F(Isolation, TheLinkAndTrafficAreNeverWaitedForBehindAFrameAHungHostHolds)
{
    const auto marker = test::TestDirectory() / "hung";
    const auto wrapper = Hosted(u"PixteraTest.Misbehaving", "fault=hang;on=Write;once=" + marker.string());
    const auto display = wrapper.As<IDisplayDriver>();
    const auto link = wrapper.As<IDisplayLinkState>();
    const auto traffic = wrapper.As<IDisplayTraffic>();
    ASSERT_TRUE(display && link && traffic);
    EXPECT_TRUE(LinkOf(*link).linked);
    LONG bytes = 0, messages = 0;
    LONGLONG clocks = 0, microseconds = 0;
    ASSERT_EQ(traffic->GetLastFrameTraffic(&bytes, &messages, &clocks, &microseconds), S_OK);

    std::atomic<bool> written{false};
    std::thread frame([&] {
        display->Write(BString(std::u16string(u"x")).get());
        written = true;
    });
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(marker); })) << "the host hangs in Write";
    // Asked from the bus's thread once a second: the last answers, at once, not after the call's
    // deadline ends the hung host.
    const LinkState state = LinkOf(*link);
    EXPECT_EQ(traffic->GetLastFrameTraffic(&bytes, &messages, &clocks, &microseconds), S_OK);
    EXPECT_FALSE(written) << "the questions waited for the frame";
    EXPECT_EQ(state.hr, S_OK);
    EXPECT_TRUE(state.linked) << "what the host said last";
    EXPECT_EQ(bytes, 42);
    frame.join();
}

TEST_F(Isolation, AHostedDisplaysAnswersOutOfRangeAreErrorsNotValues)
{
    const auto wrapper = Hosted(u"PixteraTest.Misbehaving", "leds=2;answers=faulty");
    const auto leds = wrapper.As<IDisplayLeds>();
    const auto link = wrapper.As<IDisplayLinkState>();
    const auto traffic = wrapper.As<IDisplayTraffic>();
    ASSERT_TRUE(leds && link && traffic);
    LONG count = -1;
    EXPECT_EQ(leds->GetLedCount(&count), E_UNEXPECTED) << "1000 LEDs";
    LONG states = -1;
    EXPECT_EQ(leds->GetLedStates(0, &states), E_UNEXPECTED) << "a state bit that does not exist";
    HRESULT hr = S_OK;
    LedOf(*leds, 0, &hr);
    EXPECT_EQ(hr, E_UNEXPECTED) << "state 9";
    EXPECT_EQ(LinkOf(*link).hr, E_UNEXPECTED) << "an outage that starts in a year";
    LONG bytes = 0, messages = 0;
    LONGLONG clocks = 0, microseconds = 0;
    EXPECT_EQ(traffic->GetLastFrameTraffic(&bytes, &messages, &clocks, &microseconds), E_UNEXPECTED);
    EXPECT_EQ(leds->SetLed(0, kLedRed), S_OK) << "the host itself still works";
}

} // namespace

namespace {

TEST_F(Isolation, ADisplayWhoseHostIsDownIsNotLinkedUntilItIsBack)
{
    RegKey settings;
    ASSERT_EQ(settings.Create(HKEY_LOCAL_MACHINE, "Software\\Pixtera2.0"), ERROR_SUCCESS);
    settings.SetDword("PluginCallTimeout", 5000); // the new host waits in its replay for the test
    MessageCapture messages;
    const auto marker = TestDirectory() / "struck";
    const auto gate = TestDirectory() / "gate";
    ASSERT_TRUE(
        LoadReal(Isolated("once=" + marker.string() + ";pause=Configure;gate=" + gate.string(),
                          "<display active=\"yes\"><queue><queueitem Filename=\"" +
                              (TestDirectory() / "scroller.pxd").string() + "\" Runtime=\"0\"/></queue></display>")));
    ASSERT_EQ(realDisplays->Displays().size(), 1u);
    auto display = realDisplays->Displays()[0];
    ASSERT_TRUE(display->reportsLink());
    EXPECT_TRUE(display->link().linked);
    const auto hosts = Children();
    ASSERT_EQ(hosts.size(), 1u);
    std::ofstream(marker) << "struck\n"; // a new plug-in waits at the gate
    const LONGLONG before = EpochSeconds();
    ASSERT_EQ(kill(hosts[0], SIGKILL), 0);
    ASSERT_TRUE(Eventually([&] { return !messages.messages().empty(); })) << "a frame finds the host gone";
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(gate.string() + ".waiting"); }))
        << "the new host is in its replay";
    const auto down = display->link();
    EXPECT_FALSE(down.linked) << "a display whose plug-in failed is asked all the same";
    EXPECT_GE(down.outageSince, before);
    EXPECT_LE(down.outageSince, EpochSeconds());
    std::ofstream(gate) << "go\n";
    EXPECT_TRUE(Eventually([&] { return display->link().linked; })) << "linked again with the new host";
    display.Reset();
    ExpectNothingLeft();
}

} // namespace
