// SPDX-License-Identifier: MIT
// Displays going dark and coming back: the power decision (locked, idle, asleep, the hours of
// the night, combined), a blanked display (blanks, backlight off, nothing rendered, then its
// frame whole), and the policy following a fake logind on a system bus of the test's own, on a
// file display and on a serial module, and hearing nobody else who claims to be logind.

#include "captured_log.h"
#include "fake_logind.h"
#include "logind_events.h"
#include "logind_monitor.h"
#include "power_policy.h"
#include "private_bus.h"
#include "pty_port.h"
#include "service_fixture.h"

#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <sstream>

namespace pixtera::test {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t kMinute = 60'000'000; // microseconds

TEST(PowerDecision, LockedIdleAsleepAndTheNightCombine)
{
    PowerSettings settings;
    settings.idleMinutes = 1;
    settings.blankHours = "23:00-07:00";
    PowerState state;
    const int noon = 12 * 3600;
    EXPECT_FALSE(DecidePower(settings, state, 0, noon).blank) << "no session known: only sleep and hours count";

    state.session = SessionHints{true, false, 0};
    EXPECT_EQ(DecidePower(settings, state, 0, noon).why, "locked");
    settings.blankWhenLocked = false;
    EXPECT_FALSE(DecidePower(settings, state, 0, noon).blank);

    // Idle for 40 s of the minute asked for: not yet, and asked again when the minute is full.
    state.session = SessionHints{false, true, 10 * kMinute};
    auto decision = DecidePower(settings, state, 10 * kMinute + 40'000'000, noon);
    EXPECT_FALSE(decision.blank);
    EXPECT_EQ(decision.recheck, 20s);
    EXPECT_EQ(DecidePower(settings, state, 11 * kMinute, noon).why, "idle");

    // The night runs over midnight.
    state.session = SessionHints{};
    decision = DecidePower(settings, state, 0, 22 * 3600 + 59 * 60 + 30);
    EXPECT_FALSE(decision.blank);
    EXPECT_EQ(decision.recheck, 30s);
    for (int second : {23 * 3600, 23 * 3600 + 1800, 0, 3 * 3600, 7 * 3600 - 1})
        EXPECT_EQ(DecidePower(settings, state, 0, second).why, "hours") << second;
    EXPECT_EQ(DecidePower(settings, state, 0, 23 * 3600 + 1800).recheck, std::chrono::seconds(7 * 3600 + 1800));
    EXPECT_FALSE(DecidePower(settings, state, 0, 7 * 3600).blank);

    // Waking while locked stays dark; the reasons are all named.
    settings.blankWhenLocked = true;
    state.session = SessionHints{true, false, 0};
    state.sleeping = true;
    EXPECT_EQ(DecidePower(settings, state, 0, 0).why, "asleep, locked, hours");
    state.sleeping = false;
    EXPECT_TRUE(DecidePower(settings, state, 0, noon).blank);

    EXPECT_FALSE(HoursWindow::Parse("25:00-07:00"));
    EXPECT_FALSE(HoursWindow::Parse("7-8"));
    EXPECT_FALSE(HoursWindow::Parse("08:00-08:00"));
    EXPECT_EQ(HoursWindow::Parse(" 6:30 - 24:00 ")->Text(), "06:30-00:00");
}

class PowerTest : public ServiceFixture {
protected:
    ComPtr<IUnknown> Create(const std::u16string& progId, const std::string& configuration)
    {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), S_OK);
        ComPtr<IPluginInfo> info;
        EXPECT_EQ(CreateInstance(clsid, CLSCTX_INPROC_SERVER, info), S_OK);
        info->Configure(BString(std::string_view(configuration)).get());
        return info.As<IUnknown>();
    }

    // A running display of `driver` showing `text`.
    ComPtr<ManagedDisplay> Showing(IUnknown* driver, const std::string& text)
    {
        const auto design = TestDirectory() / ("power-" + std::to_string(designs_++) + ".pxd");
        std::ofstream(design)
            << "<Design><DisplayItems><DisplayItem><Position X=\"0\" Y=\"0\" Width=\"20\" Height=\"1\"/>"
               "<Appearance Mode=\"Static\"/><Data Mode=\"Static\" Text=\""
            << text << "\"/></DisplayItem></DisplayItems><Background FileName=\"\"/></Design>";
        auto display = displayManager->AddDisplay(driver, {});
        display->LoadQueue({QueueEntry{design.u16string(), 0}});
        EXPECT_EQ(display->StartOutput(), S_OK);
        return display;
    }

    static LogindMonitor::Handlers Following(PowerPolicy& policy)
    {
        return {[&policy](bool sleeping) { policy.Sleeping(sleeping); },
                [&policy](const std::optional<SessionHints>& session) { policy.SessionChanged(session); }};
    }

    int designs_ = 0;
};

TEST_F(PowerTest, ABlankedDisplayShowsBlanksRendersNothingAndComesBackWhole)
{
    auto driver = Create(kRecordingDisplayProgId, "columns=20;rows=2");
    auto display = Showing(driver.get(), "shown");
    std::vector<std::string> writes;
    auto collect = [&] {
        for (const auto& call : RecordedCalls(driver.get()))
            if (call.rfind("Write", 0) == 0)
                writes.push_back(call);
        return writes;
    };
    const std::string shown = "Write shown" + std::string(35, ' ');
    ASSERT_TRUE(Eventually([&] { return !collect().empty() && writes.back() == shown; }));

    display->SetBlanked(true);
    ASSERT_TRUE(Eventually([&] { return collect().back() == "Write " + std::string(40, ' '); }));
    EXPECT_TRUE(display->blanked());
    const std::size_t whileBlank = writes.size();
    clock.Advance(60000);
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(collect().size(), whileBlank) << "nothing is rendered while blanked";
    int announced = 0;
    display->ObservePower([&] { ++announced; });
    EXPECT_EQ(display->SetBacklight(false), E_NOTIMPL) << "a driver without a backlight is blanked by its frame alone";
    EXPECT_TRUE(display->backlight()) << "a refused switch changes nothing";
    EXPECT_EQ(announced, 0) << "and announces nothing";
    display->ObservePower(nullptr);

    display->SetBlanked(false);
    ASSERT_TRUE(Eventually([&] { return collect().back() == shown; }))
        << "the frame again, whole, though it did not change";
    EXPECT_EQ(display->StopOutput(), S_OK);
}

TEST_F(PowerTest, ThePolicyFollowsLogindOnAFileDisplayAndASerialModule)
{
    PrivateBus systemBus(PrivateBus::Kind::System);
    FakeLogind logind;
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "SerialLCD.so"));
    const auto log = TestDirectory() / "power-file-display";
    auto file = Create(u"Pixtera.FileDisplay", "columns=20;rows=2;path=" + log.string());
    lcd::test::PtyPort port;
    auto serial = Create(u"Pixtera.SerialLCD", "device=" + port.path() + ";columns=16;rows=2");
    auto fileDisplay = Showing(file.get(), "file");
    auto serialDisplay = Showing(serial.get(), "serial");
    auto logHas = [&](const std::string& text) { return FileText(log).find(text) != std::string::npos; };
    ASSERT_TRUE(Eventually([&] { return logHas("\"frame\":\"file"); }));

    PowerPolicy policy(*displayManager, PowerSettings{});
    auto monitor = LogindMonitor::Start(); // ends before the policy it calls
    ASSERT_TRUE(monitor);
    monitor->Subscribe(Following(policy));

    lcd::test::SerialLcdModel module(16, 2);
    logind.Lock(true);
    ASSERT_TRUE(Eventually([&] { return logHas("\"op\":\"SetBacklight\",\"on\":false"); }));
    EXPECT_TRUE(Eventually([&] { return logHas("\"frame\":\"" + std::string(40, ' ') + "\""); }))
        << "the refresh thread writes the blanks, after the backlight went off";
    port.ReadInto(module, [&] { return !module.backlight() && module.screen() == std::string(32, ' '); });
    EXPECT_FALSE(module.backlight()) << "0xFE 0x46 on the wire";
    EXPECT_EQ(module.screen(), std::string(32, ' '));
    EXPECT_TRUE(policy.blanked());

    logind.Lock(false);
    port.ReadInto(module, [&] { return module.backlight() && module.screen().starts_with("serial"); });
    EXPECT_TRUE(module.backlight());
    EXPECT_TRUE(module.screen().starts_with("serial")) << module.screen();
    ASSERT_TRUE(Eventually([&] { return logHas("\"op\":\"SetBacklight\",\"on\":true"); }));

    // Asleep, then awake while locked: dark until the unlock.
    logind.PrepareForSleep(true);
    port.ReadInto(module, [&] { return !module.backlight(); });
    EXPECT_FALSE(module.backlight());
    logind.Lock(true);
    logind.PrepareForSleep(false);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(policy.blanked()) << "still locked";
    logind.Lock(false);
    port.ReadInto(module, [&] { return module.backlight() && module.screen().starts_with("serial"); });
    EXPECT_TRUE(module.backlight());
    EXPECT_FALSE(policy.blanked());
    EXPECT_EQ(fileDisplay->StopOutput(), S_OK);
    EXPECT_EQ(serialDisplay->StopOutput(), S_OK);
}

TEST_F(PowerTest, OnlyTheOwnerOfLogindsNameDarkensTheDisplays)
{
    PrivateBus systemBus(PrivateBus::Kind::System);
    FakeLogind logind;
    CapturedLog log;
    auto driver = Create(kRecordingDisplayProgId, "columns=20;rows=2");
    auto display = Showing(driver.get(), "shown");
    // The whole log each time: RecordedCalls forgets what it read, and a write that comes between
    // its reading and its forgetting would be lost.
    auto lastWrite = [&] {
        BString calls;
        driver.As<ICallLog>()->GetCalls(calls.Out());
        std::istringstream lines(calls.utf8());
        std::string last;
        for (std::string line; std::getline(lines, line);)
            if (line.rfind("Write", 0) == 0)
                last = line.substr(0, line.rfind(" @"));
        return last;
    };
    const std::string shown = "Write shown" + std::string(35, ' ');
    const std::string blank = "Write " + std::string(40, ' ');
    ASSERT_TRUE(Eventually([&] { return lastWrite() == shown; }));
    PowerPolicy policy(*displayManager, PowerSettings{});
    LogindEvents heard;
    auto monitor = LogindMonitor::Start(); // ends before the policy and `heard` it calls
    ASSERT_TRUE(monitor);
    monitor->Subscribe(Following(policy));
    monitor->Subscribe(heard.Handlers());

    // Anybody on the system bus, sending straight to the service's connection.
    FakeLogind impostor(FakeLogind::Options{.ownName = false});
    impostor.ClaimTheName();
    impostor.PrepareForSleep(true);
    impostor.Lock(true);
    for (int i = 0; i < 20; ++i)
        impostor.PrepareForSleep(false);
    impostor.Login("c9");
    impostor.Flush();
    EXPECT_TRUE(heard.sleeps().empty()) << "no sleep, and no wake-up to initialise the modules again";
    EXPECT_FALSE(heard.locked());
    EXPECT_EQ(log.Count("from " + impostor.uniqueName() + " on the system bus"), 1) << log.Text();

    // logind itself still counts, and the displays go dark for it alone.
    logind.Lock(true);
    ASSERT_TRUE(Eventually([&] { return lastWrite() == blank; }));
    EXPECT_TRUE(log.Contains("The displays are dark (locked)")) << "not asleep: " << log.Text();
    logind.Lock(false);
    ASSERT_TRUE(Eventually([&] { return lastWrite() == shown; }));
    logind.PrepareForSleep(true);
    ASSERT_TRUE(Eventually([&] { return lastWrite() == blank; }));
    logind.PrepareForSleep(false);
    ASSERT_TRUE(Eventually([&] { return lastWrite() == shown; }));
    EXPECT_TRUE(Eventually([&] { return heard.sleeps() == std::vector<bool>{true, false}; })); // told after the policy
    EXPECT_EQ(display->StopOutput(), S_OK);
}

} // namespace
} // namespace pixtera::test
