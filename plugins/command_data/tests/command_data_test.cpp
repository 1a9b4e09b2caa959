// SPDX-License-Identifier: MIT
// The commands file and the plug-in's items.

#include "command_list.h"
#include "plugin_test.h"

#include <pixtera/platform/com.h>
#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/event_log.h>
#include <pixtera/sdk/data_provider.h>
#include <pixtera/sdk/plugin_info.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <mutex>
#include <thread>

#include <sys/stat.h>

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
