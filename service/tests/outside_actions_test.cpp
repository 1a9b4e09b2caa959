// SPDX-License-Identifier: MIT
// What a menu entry starts outside its display: a command (its arguments exactly as the menu file
// says, its deadline, one at a time per display), logind's requests on a system bus of the test's
// own (asked interactively, refusals in a few words), and events handed to the bus.

#include "captured_log.h"
#include "command_actions.h"
#include "fake_logind.h"
#include "logind_actions.h"
#include "menu_events.h"
#include "private_bus.h"
#include "service_actions.h"
#include "test_environment.h"

#include <pixtera/platform/process_list.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <mutex>
#include <optional>

namespace pixtera::test {
namespace {

using namespace std::chrono_literals;

// What `finished` said, once it has.
class Outcome {
public:
    ActionFinished Callback()
    {
        return [this](std::string failure) {
            std::lock_guard lock(mutex_);
            ++calls_;
            failure_ = std::move(failure);
        };
    }
    bool done() const
    {
        std::lock_guard lock(mutex_);
        return calls_ > 0;
    }
    // Waits for it; nothing when it never came.
    std::optional<std::string> Wait() const
    {
        if (!Eventually([this] { return done(); }))
            return std::nullopt;
        std::lock_guard lock(mutex_);
        return failure_;
    }
    int calls() const
    {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    mutable std::mutex mutex_; // guards both
    int calls_ = 0;
    std::string failure_;
};

// An executable script in the test's directory.
std::filesystem::path Script(const std::string& name, const std::string& body)
{
    const auto path = TestDirectory() / name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), 0700);
    return path;
}

MenuAction Command(std::vector<std::string> command)
{
    MenuAction action;
    action.kind = MenuActionKind::RunCommand;
    action.command = std::move(command);
    return action;
}

MenuAction Of(MenuActionKind kind)
{
    MenuAction action;
    action.kind = kind;
    return action;
}

class MenuCommands : public ::testing::Test {
protected:
    std::filesystem::path runner = ProgramDirectory() / "pixtera-command-runner";
    std::filesystem::path written = TestDirectory() / "written";
    std::filesystem::path pidFile = TestDirectory() / "hung.pid";
};

TEST_F(MenuCommands, TheProgramRunsOnceWithItsArgumentsAsTheyStand)
{
    std::filesystem::remove(written);
    const auto program =
        Script("write-arguments", "for a in \"$@\"; do echo \"$a\" >> " + written.string() + "; done\n");
    const auto expanded = TestDirectory() / "expanded";
    const std::vector<std::string> arguments = {
        "one two", "a;touch " + expanded.string(), "$(touch " + expanded.string() + ")", "`id`", "*", "> x"};
    std::vector<std::string> command{program.string()};
    command.insert(command.end(), arguments.begin(), arguments.end());

    CommandActions commands({5s, runner});
    Outcome outcome;
    commands.Start(0, command, outcome.Callback());
    EXPECT_EQ(outcome.Wait(), "");
    EXPECT_EQ(FileLines(written), arguments) << "every argument reached the program once, as it stands";
    EXPECT_FALSE(std::filesystem::exists(expanded)) << "nothing expanded it as a shell would";
    EXPECT_EQ(outcome.calls(), 1);
}

TEST_F(MenuCommands, AHangingCommandEndsAtItsDeadlineAndTheDisplayIsToldSo)
{
    std::filesystem::remove(pidFile);
    const auto hung = Script("hang", "echo $$ > " + pidFile.string() + "\nexec sleep 30\n");
    CommandActions commands({300ms, runner});
    Outcome outcome;
    commands.Start(2, {hung.string()}, outcome.Callback());
    EXPECT_EQ(outcome.Wait(), "Timed out");
    pid_t pid = 0;
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(Eventually([&] { return !ProcessRuns(pid); })) << "the command outlived its deadline";

    CommandActions wholeSeconds({1s, runner});
    Outcome second;
    wholeSeconds.Start(0, {hung.string()}, second.Callback());
    EXPECT_EQ(second.Wait(), "Timed out after 1 s");
}

TEST_F(MenuCommands, OneCommandAtATimePerDisplay)
{
    const auto hung = Script("hang-quietly", "exec sleep 30\n");
    Outcome first; // told when the actions end, after the test
    Outcome again;
    Outcome other;
    CommandActions commands({10s, runner});
    commands.Start(0, {hung.string()}, first.Callback());
    commands.Start(0, {"true"}, again.Callback());
    EXPECT_EQ(again.Wait(), "Busy");
    commands.Start(1, {"true"}, other.Callback());
    EXPECT_EQ(other.Wait(), "") << "another display's command runs meanwhile";
    EXPECT_FALSE(first.done());
    // Ending the actions ends the command still running.
}

TEST_F(MenuCommands, AFailureSaysWhatWentWrongInAFewWords)
{
    CommandActions commands({5s, runner});
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{Script("fail", "echo broken >&2\nexit 3\n").string()}, "Exit status 3"},
        {{"no-such-program-for-pixtera"}, "Cannot start it"},
        {{""}, "Nothing to run"},
        {{}, "Nothing to run"},
    };
    CapturedLog log;
    for (const auto& [command, said] : cases) {
        Outcome outcome;
        commands.Start(0, command, outcome.Callback());
        EXPECT_EQ(outcome.Wait(), said);
        EXPECT_LE(said.size(), 20u);
    }
    EXPECT_TRUE(log.Contains("\": Exit status 3: broken")) << "the log has the command's own words";

    Outcome again;
    commands.Start(0, {"true"}, again.Callback());
    EXPECT_EQ(again.Wait(), "") << "a failed command leaves the display free for the next";
}

TEST(MenuCommandFailure, EveryTextFitsTwentyColumns)
{
    CommandResult result;
    result.outcome = CommandResult::Outcome::TimedOut;
    EXPECT_EQ(CommandFailure(result, 10s), "Timed out after 10 s");
    EXPECT_EQ(CommandFailure(result, 99s), "Timed out after 99 s");
    EXPECT_EQ(CommandFailure(result, 100s), "Timed out");
    EXPECT_EQ(CommandFailure(result, 1500ms), "Timed out");
    result.outcome = CommandResult::Outcome::Finished;
    result.exitCode = 0;
    EXPECT_EQ(CommandFailure(result, 10s), "");
    std::vector<std::string> texts;
    for (const int code : {-1, 1, 255}) {
        result.exitCode = code;
        texts.push_back(CommandFailure(result, 10s));
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Ended by a signal", "Exit status 1", "Exit status 255"}));
    result.outcome = CommandResult::Outcome::NotStarted;
    texts.push_back(CommandFailure(result, 10s));
    for (const auto& text : texts)
        EXPECT_LE(text.size(), 20u) << text;
}

class MenuLogind : public ::testing::Test {
protected:
    PrivateBus systemBus{PrivateBus::Kind::System};
};

TEST_F(MenuLogind, PowerIsAskedOfLogindInteractivelyAndTheSessionLocked)
{
    FakeLogind logind;
    LogindActions actions(sdbus::createSystemBusConnection());
    for (const auto kind :
         {MenuActionKind::PowerOff, MenuActionKind::Reboot, MenuActionKind::Suspend, MenuActionKind::Lock}) {
        Outcome outcome;
        actions.Start(kind, outcome.Callback());
        EXPECT_EQ(outcome.Wait(), "") << MenuActionName(kind);
    }
    EXPECT_EQ(logind.asked(), (std::vector<std::string>{"PowerOff(interactive)", "Reboot(interactive)",
                                                        "Suspend(interactive)", "LockSession(auto)"}));
}

TEST_F(MenuLogind, ARefusalIsShortEnoughToShow)
{
    FakeLogind logind;
    LogindActions actions(sdbus::createSystemBusConnection());
    const std::vector<std::pair<std::string, std::string>> refusals = {
        {"org.freedesktop.DBus.Error.AccessDenied", "Not allowed"},
        {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", "Needs authorization"},
        {"org.freedesktop.login1.OperationInProgress", "Already in progress"},
        {"org.example.Unheard", "Refused by logind"},
    };
    CapturedLog log;
    for (const auto& [error, said] : refusals) {
        logind.Refuse(error);
        Outcome outcome;
        actions.Start(MenuActionKind::PowerOff, outcome.Callback());
        EXPECT_EQ(outcome.Wait(), said) << error;
        EXPECT_LE(said.size(), 20u);
        EXPECT_TRUE(log.Contains("logind refused PowerOff: " + error)) << error;
    }
    EXPECT_EQ(logind.asked().size(), refusals.size()) << "each was asked, then refused";
}

TEST_F(MenuLogind, WithoutLogindOrASystemBusTheDisplaySaysSo)
{
    {
        LogindActions actions(sdbus::createSystemBusConnection());
        Outcome outcome;
        actions.Start(MenuActionKind::Reboot, outcome.Callback());
        EXPECT_EQ(outcome.Wait(), "No logind");
    }
    LogindActions none(nullptr);
    Outcome outcome;
    none.Start(MenuActionKind::Lock, outcome.Callback());
    EXPECT_EQ(outcome.Wait(), "No system bus");
}

TEST(MenuEventQueue, EventsWaitForTheBusBoundedAndOnlyWhileItListens)
{
    MenuEvents events;
    EXPECT_FALSE(events.Publish(0, "early")) << "nobody listens yet";
    int woken = 0;
    {
        auto listening = events.Listen([&] { ++woken; });
        EXPECT_TRUE(events.Publish(1, "door.open"));
        EXPECT_EQ(events.Take(), (std::vector<MenuEvent>{{1, "door.open"}}));
        EXPECT_EQ(woken, 1);
        for (std::size_t i = 0; i < MenuEvents::kMostWaiting; ++i)
            EXPECT_TRUE(events.Publish(0, "e" + std::to_string(i)));
        EXPECT_FALSE(events.Publish(0, "one-too-many"));
        const auto taken = events.Take();
        ASSERT_EQ(taken.size(), MenuEvents::kMostWaiting);
        EXPECT_EQ(taken.front().name, "e0") << "oldest first";
        EXPECT_TRUE(events.Publish(0, "again")) << "room once taken";
    }
    EXPECT_FALSE(events.Publish(0, "late")) << "the listener went";
    EXPECT_TRUE(events.Take().empty()) << "what waited went with it";
}

TEST(ServiceActionsDispatch, EachActionGoesToWhatDoesIt)
{
    MenuEvents events;
    auto listening = events.Listen([] {});
    ServiceActions actions({5s, ProgramDirectory() / "pixtera-command-runner"},
                           std::make_unique<LogindActions>(nullptr), events);

    MenuAction publish = Of(MenuActionKind::PublishEvent);
    publish.event = "garage";
    Outcome published;
    actions.Start(3, publish, published.Callback());
    EXPECT_EQ(published.Wait(), "");
    EXPECT_EQ(events.Take(), (std::vector<MenuEvent>{{3, "garage"}}));

    Outcome ran;
    actions.Start(0, Command({"false"}), ran.Callback());
    EXPECT_EQ(ran.Wait(), "Exit status 1");

    Outcome powered;
    actions.Start(0, Of(MenuActionKind::PowerOff), powered.Callback());
    EXPECT_EQ(powered.Wait(), "No system bus");

    Outcome inside;
    actions.Start(0, Of(MenuActionKind::NextDesign), inside.Callback());
    EXPECT_EQ(inside.Wait(), "Not done here");
}

} // namespace
} // namespace pixtera::test
