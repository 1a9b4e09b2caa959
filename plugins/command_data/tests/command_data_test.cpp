// SPDX-License-Identifier: MIT
// The commands file, running one command, and the plug-in's items.

#include "command_list.h"
#include "command_runner.h"
#include "plugin_test.h"

#include <pixtera/platform/com.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/platform/process_list.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace pixtera;
using test::Eventually;
using namespace std::chrono_literals;

TEST(CommandList, LinesBecomeItems)
{
    const auto list = ParseCommandList("# a comment\n\n"
                                       "clock 1000 date +%s\n"
                                       "weather lines=all 60000 curl -s \"https://example.org/a b\"\n"
                                       "mail 500 sh -c grep -c x /var/mail/me | tr -d '\\n'\n"
                                       "bad fast echo\n"
                                       "empty 1000\n"
                                       "tiny 5 echo\n");
    ASSERT_EQ(list.items.size(), 3u);
    EXPECT_EQ(list.items[0].name, "clock");
    EXPECT_EQ(list.items[0].intervalMs, 1000);
    EXPECT_EQ(list.items[0].argv, (std::vector<std::string>{"date", "+%s"}));
    EXPECT_FALSE(list.items[0].allLines);
    EXPECT_TRUE(list.items[1].allLines);
    EXPECT_EQ(list.items[1].argv, (std::vector<std::string>{"curl", "-s", "https://example.org/a b"}));
    EXPECT_EQ(list.items[2].argv, (std::vector<std::string>{"sh", "-c", "grep -c x /var/mail/me | tr -d '\\n'"}));
    ASSERT_EQ(list.problems.size(), 3u);
    EXPECT_EQ(list.problems[0].rfind("line 6:", 0), 0u) << list.problems[0];
    EXPECT_NE(list.problems[1].find("has no command"), std::string::npos);
    EXPECT_NE(list.problems[2].find("\"5\" is no interval"), std::string::npos);
}

const std::atomic<bool> kNoCancel{false};

TEST(CommandRunner, OutputsTimeoutsAndMissingCommands)
{
    const auto echoed = RunCommand({"echo", "21"}, 2s, kNoCancel);
    EXPECT_EQ(echoed.outcome, CommandResult::Outcome::Finished);
    EXPECT_EQ(echoed.exitCode, 0);
    EXPECT_EQ(echoed.output, "21\n");

    const auto failed = RunCommand({"sh", "-c", "echo oops >&2; exit 3"}, 2s, kNoCancel);
    EXPECT_EQ(failed.exitCode, 3);
    EXPECT_EQ(failed.errors, "oops\n");

    const auto started = std::chrono::steady_clock::now();
    const auto slow = RunCommand({"sh", "-c", "sleep 5; echo late"}, 200ms, kNoCancel);
    EXPECT_EQ(slow.outcome, CommandResult::Outcome::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << "killed at its deadline, with what it started";

    EXPECT_EQ(RunCommand({"no-such-command-for-pixtera"}, 1s, kNoCancel).outcome, CommandResult::Outcome::NotStarted);

    const auto chatty = RunCommand({"sh", "-c", "head -c 5000000 /dev/zero; echo done >&2"}, 10s, kNoCancel);
    EXPECT_EQ(chatty.outcome, CommandResult::Outcome::Finished) << "all of it was read";
    EXPECT_EQ(chatty.output.size(), kMaxOutput) << "and only the bound was kept";
}

class CommandDataTest : public test::PluginTest<IDataProvider> {
protected:
    CommandDataTest() : PluginTest("CommandData.so", u"Pixtera.CommandData") {}

    void UseCommands(const std::string& commands)
    {
        const auto file = test::TestDirectory() / "commands.conf";
        std::ofstream(file) << commands;
        Configure("file=" + file.string());
    }

    Variant Value(LONG index)
    {
        Variant value;
        EXPECT_EQ(provider->GetValue(index, value.Out()), S_OK);
        return value;
    }

    std::string Text(LONG index)
    {
        const auto text = Value(index).AsText();
        return text ? text->utf8() : "";
    }

    ComPtr<IDataProvider>& provider = plugin;
};

TEST_F(CommandDataTest, ANumberOutputIsANumberThatGrows)
{
    UseCommands("now 200 date +%s%N\n");
    LONG count = 0;
    ASSERT_EQ(provider->GetCount(&count), S_OK);
    ASSERT_EQ(count, 1);
    BString name;
    provider->GetDescription(0, name.Out());
    EXPECT_EQ(name.view(), u"Command\\now");
    ASSERT_TRUE(Eventually([&] { return Value(0).vt == VT_R8; }));
    const double first = Value(0).dblVal;
    ASSERT_TRUE(Eventually([&] { return Value(0).dblVal > first; }));
}

TEST_F(CommandDataTest, AnOverrunningCommandIsKilledAndRunsAgain)
{
    const auto runs = test::TestDirectory() / "runs";
    UseCommands("slow 300 sh -c echo run >> " + runs.string() + "; sleep 5\n");
    ASSERT_TRUE(Eventually([&] { return Text(0) == "Timeout"; }));
    EXPECT_TRUE(Eventually([&] { return test::FileLines(runs).size() >= 2; })) << "the next run happens";
}

TEST_F(CommandDataTest, AFailingOrMissingCommandReadsErrorAndIsLoggedOnce)
{
    UseCommands("missing 150 no-such-command-for-pixtera\nfailing 150 sh -c echo broken >&2; exit 1\n");
    ASSERT_TRUE(Eventually([&] { return Text(0) == "Error" && Text(1) == "Error"; }));
    std::this_thread::sleep_for(700ms); // several more runs
    EXPECT_EQ(log.Count("\"no-such-command-for-pixtera\" cannot be run"), 1);
    EXPECT_EQ(log.Count("failing failed (exit 1): broken"), 1);
}

TEST_F(CommandDataTest, OtherItemsKeepTheirPaceWhileACommandHangs)
{
    UseCommands("hanging 10000 sleep 30\nfast 100 date +%s%N\n");
    ASSERT_TRUE(Eventually([&] { return Value(1).vt == VT_R8; }));
    int changes = 0;
    double last = Value(1).dblVal;
    const auto end = std::chrono::steady_clock::now() + 1s;
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(50ms);
        if (Value(1).dblVal != last) {
            ++changes;
            last = Value(1).dblVal;
        }
    }
    EXPECT_GE(changes, 4);
    const auto started = std::chrono::steady_clock::now();
    provider.Reset(); // ends the plug-in: the hanging command is killed
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST_F(CommandDataTest, AllLinesWhenAsked)
{
    UseCommands("first 200 printf one\\ntwo\\n\nall lines=all 200 printf one\\ntwo\\n\n");
    ASSERT_TRUE(Eventually([&] { return Text(1) == "one\ntwo"; })) << Text(1);
    ASSERT_TRUE(Eventually([&] { return !Text(0).empty(); })) << "each command runs on its own thread";
    EXPECT_EQ(Text(0), "one");
}

} // namespace

namespace {

TEST_F(CommandDataTest, ACommandsFileThatIsNoFileOrTooLargeIsRefusedWithoutWaiting)
{
    const auto fifo = test::TestDirectory() / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto large = test::TestDirectory() / "large.conf";
    std::ofstream(large) << std::string((1 << 20) + 1, '#');
    const std::pair<std::filesystem::path, const char*> cases[] = {
        {fifo, "is not a regular file"}, // opening it would wait for a writer for ever
        {"/dev/zero", "is not a regular file"}, // reading it would never end
        {test::TestDirectory(), "is a directory"},
        {large, "is larger than 1024 KiB"},
    };
    for (const auto& [file, said] : cases) {
        Configure("file=" + file.string());
        LONG count = -1;
        EXPECT_EQ(provider->GetCount(&count), S_OK);
        EXPECT_EQ(count, 0) << file;
        EXPECT_EQ(log.Count(file.string() + " " + said), 1) << file;
    }
}

} // namespace

namespace {

bool Running(pid_t pid) { return ProcessRuns(pid); }

pid_t PidIn(const std::filesystem::path& file)
{
    pid_t pid = 0;
    for (int i = 0; i < 2000 && pid == 0; ++i) {
        std::ifstream(file) >> pid;
        if (pid == 0)
            std::this_thread::sleep_for(1ms);
    }
    return pid;
}

class CommandRunnerProgram : public ::testing::Test {
protected:
    std::filesystem::path runner = test::ProgramDirectory() / "pixtera-command-runner";
    std::filesystem::path pidFile = test::TestDirectory() / "helper.pid";
    // A helper in a session of its own, its pid written down, then the command itself.
    std::vector<std::string> WithHelper(const std::string& then)
    {
        return {"sh", "-c", "setsid sleep 30 & echo $! > " + pidFile.string() + "; " + then};
    }
};

TEST_F(CommandRunnerProgram, HelpersInSessionsOfTheirOwnGoAtTheDeadlineAndWhenTheCommandEnds)
{
    const auto started = std::chrono::steady_clock::now();
    const auto hung = RunCommand(WithHelper("sleep 30"), 300ms, kNoCancel, runner);
    EXPECT_EQ(hung.outcome, CommandResult::Outcome::TimedOut);
    const pid_t first = PidIn(pidFile);
    ASSERT_GT(first, 0);
    EXPECT_TRUE(test::Eventually([&] { return !Running(first); })) << "the helper outlived the deadline";
    std::filesystem::remove(pidFile);

    const auto finished = RunCommand(WithHelper("echo done"), 10s, kNoCancel, runner);
    EXPECT_EQ(finished.outcome, CommandResult::Outcome::Finished);
    EXPECT_EQ(finished.output, "done\n");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s)
        << "the helper holding its output did not keep it waiting";
    const pid_t second = PidIn(pidFile);
    ASSERT_GT(second, 0);
    EXPECT_TRUE(test::Eventually([&] { return !Running(second); }));

    EXPECT_EQ(RunCommand({"no-such-command-for-pixtera"}, 1s, kNoCancel, runner).outcome,
              CommandResult::Outcome::NotStarted);
}

TEST_F(CommandRunnerProgram, ACommandRunningWhenItsOwnerDiesGoesWithIt)
{
    const pid_t owner = fork();
    if (owner == 0) {
        std::thread([this] { RunCommand(WithHelper("sleep 30"), 60s, kNoCancel, runner); }).join();
        _exit(0);
    }
    const pid_t helper = PidIn(pidFile);
    ASSERT_GT(helper, 0);
    kill(owner, SIGKILL); // as a service that is killed
    waitpid(owner, nullptr, 0);
    EXPECT_TRUE(test::Eventually([&] { return !Running(helper); })) << "the command's helper outlived the service";
}

} // namespace
