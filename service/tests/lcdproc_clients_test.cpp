// SPDX-License-Identifier: MIT
// Debian's LCDd clients against Pixtera.LCDprocServer in the service, with a file display; LCDd
// with its text driver, on a port of its own, shows what the same protocol stream looks like.
#include "service_fixture.h"

#include "child_process.h"
#include "managed_display.h"
#include "protocol_client.h"

#include <csignal>
#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;
using namespace pixtera::test;

constexpr const char* kLcdd = "/usr/sbin/LCDd";
constexpr const char* kDrivers = "/usr/lib/x86_64-linux-gnu/lcdproc/";

bool Installed(const std::string& program) { return access(program.c_str(), X_OK) == 0; }

// The rows of a 20x4 frame, each with a line feed.
std::vector<std::string> Rows(const std::string& frame)
{
    std::vector<std::string> rows;
    std::istringstream lines(frame);
    for (std::string line; std::getline(lines, line);)
        rows.push_back(line);
    return rows;
}

// All the output the child wrote so far.
const std::string& Drained(ChildProcess& child)
{
    std::size_t size = 0;
    do
        size = child.output().size();
    while (child.output().size() != size);
    return child.output();
}

class LcdprocClients : public ServiceFixture {
protected:
    void SetUp() override
    {
        if (!Installed(kLcdd) || !Installed("/usr/bin/lcdproc"))
            GTEST_SKIP() << "LCDd and its clients are not installed (Debian package lcdproc)";
        ServiceFixture::SetUp();
        for (const char* module : {"FileDisplay.so", "LCDprocServer.so"})
            ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / module)) << module;
        port = FreePort();
        screen = (TestDirectory() / "display").string();
        const std::string drivers =
            Driver("Pixtera.FileDisplay", "columns=20;rows=4;path=" + screen, kDisplay) +
            "<driver clsid=\"Pixtera.LCDprocServer\" configuration=\"listen=127.0.0.1:" + std::to_string(port) + "\"/>";
        ASSERT_TRUE(LoadConfigurationFile(WriteConfiguration(drivers), *driverManager, *dataManager, *displays));
    }
    void TearDown() override { displays->StopAll(); }

    // What the display shows, rows of 20 without line feeds between, user characters as '#'.
    std::string Shown()
    {
        std::ifstream in(screen + ".frame");
        std::stringstream text;
        text << in.rdbuf();
        const std::string file = text.str();
        std::string rows;
        for (std::size_t row = 0; (row + 1) * 21 <= file.size(); ++row) {
            for (char c : file.substr(row * 21, 20))
                rows += c >= 8 && c < 16 ? '#' : c;
            rows += '\n';
        }
        return rows;
    }
    bool ShownMatches(const std::function<bool(const std::vector<std::string>&)>& matches)
    {
        return Eventually([&] {
            const auto rows = Rows(Shown());
            return rows.size() == 4 && matches(rows);
        });
    }

    void StartLcdd()
    {
        lcddPort = FreePort();
        const auto config = TestDirectory() / "LCDd.conf";
        std::ofstream(config)
            << "[server]\nDriverPath=" << kDrivers << "\nDriver=text\nBind=127.0.0.1\nPort=" << lcddPort
            << "\nReportToSyslog=no\nForeground=yes\nServerScreen=no\nWaitTime=1\n[text]\nSize=20x4\n";
        lcdd = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/stdbuf", "-oL", kLcdd, "-c", config.string(), "-f"});
        ASSERT_TRUE(lcdd->WaitForOutput("+--------------------+")) << lcdd->output();
    }
    // LCDd's last whole frame, its rows with line feeds.
    std::string LcddFrame()
    {
        const std::string& out = Drained(*lcdd);
        const std::string border = "+--------------------+\n";
        const auto end = out.rfind(border);
        const auto begin = end == std::string::npos ? end : out.rfind(border, end - 1);
        if (begin == std::string::npos || end - begin != border.size() + 4 * 23)
            return {};
        std::string rows;
        for (int row = 0; row < 4; ++row)
            rows += out.substr(begin + border.size() + static_cast<std::size_t>(row) * 23 + 1, 20) + "\n";
        return rows;
    }

    std::unique_ptr<ChildProcess> Client(const std::string& program, std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), program);
        return std::make_unique<ChildProcess>(arguments);
    }

    ComPtr<DisplayManager> displays = MakeComObject<DisplayManager>(DisplayRuntime{*dataManager, SystemClock()});
    int port = 0;
    int lcddPort = 0;
    std::string screen;
    std::unique_ptr<ChildProcess> lcdd;
};

TEST_F(LcdprocClients, AScriptedScreenLooksAsOnLcddsTextDriver)
{
    StartLcdd();
    const char* script[] = {
        "hello",
        "client_set -name oracle",
        "screen_add s",
        "screen_set s -heartbeat off -priority foreground",
        "widget_add s t title",
        "widget_set s t {Same as LCDd}",
        "widget_add s a string",
        "widget_set s a 2 2 \"two words\"",
        "widget_add s f frame",
        "widget_set s f 1 3 9 4 9 2 v 1",
        "widget_add s i string -in f",
        "widget_set s i 1 1 inside",
        "widget_add s j string -in f",
        "widget_set s j 3 2 {frame t}",
        "widget_add s c scroller",
        "widget_set s c 12 3 20 3 h 1 short",
        "widget_add s u icon",
        "widget_set s u 20 4 ARROW_UP",
        "widget_add s z string",
        "widget_set s z 12 4 far",
    };
    ProtocolClient ours(port);
    ProtocolClient theirs(lcddPort);
    for (const char* line : script) {
        const std::string reply = theirs.Ask(line);
        EXPECT_EQ(ours.Ask(line), reply) << line;
    }
    // Both draw eight times a second: once every widget is set, they meet.
    ASSERT_TRUE(Eventually([&] { return LcddFrame().find("far") != std::string::npos; })) << lcdd->output();
    EXPECT_TRUE(Eventually([&] { return Shown() == LcddFrame(); })) << "Pixtera:\n"
                                                                    << Shown() << "LCDd:\n"
                                                                    << LcddFrame();
}

TEST_F(LcdprocClients, LcdprocsScreensHaveTheirParts)
{
    // Every screen off in its configuration: those named on the command line alone run.
    const auto config = TestDirectory() / "lcdproc.conf";
    {
        std::ofstream out(config);
        out << "[lcdproc]\n";
        for (const char* section : {"CPU", "Iface", "Memory", "Load", "TimeDate", "About", "SMP-CPU", "OldTime",
                                    "BigClock", "Uptime", "Battery", "CPUGraph", "ProcSize", "Disk", "MiniClock"})
            out << "[" << section << "]\nActive=false\n";
    }
    struct Expectation {
        const char* screen;
        std::function<bool(const std::vector<std::string>&)> matches;
    };
    auto titled = [](const std::vector<std::string>& rows) { return rows[0].rfind("## ", 0) == 0; };
    const Expectation screens[] = {
        {"C",
         [&](const auto& rows) {
             return titled(rows) && rows[0].find("CPU") != std::string::npos && rows[1].rfind("Usr", 0) == 0 &&
                    rows[2].rfind("Sys", 0) == 0 && rows[3].rfind("0%", 0) == 0 && rows[3].ends_with("100%");
         }},
        {"M",
         [&](const auto& rows) {
             return rows[1].find("Totl") != std::string::npos && rows[2].find("Free") != std::string::npos;
         }},
        {"U",
         [&](const auto& rows) {
             return titled(rows) && rows[0].find("SYSTEM UPTIME") != std::string::npos &&
                    rows[2].find("days") != std::string::npos;
         }},
        {"T",
         [&](const auto& rows) {
             return titled(rows) && rows[1].rfind("Up ", 0) == 0 && rows[3].find("idle") != std::string::npos &&
                    rows[3][3] == ':' && rows[3][6] == ':';
         }},
        {"K",
         [&](const auto& rows) {
             // Big digits: each row, the colon's too, holds user characters.
             int cells = 0;
             for (const auto& row : rows)
                 cells += static_cast<int>(std::count(row.begin(), row.end(), '#'));
             return cells >= 16 && rows[0].find_first_not_of("# ") == std::string::npos &&
                    rows[3].find_first_not_of("# ") == std::string::npos;
         }},
        {"A",
         [&](const auto& rows) {
             return titled(rows) && rows[0].find("LCDPROC") != std::string::npos && rows[1] != std::string(20, ' ');
         }},
    };
    for (const auto& expectation : screens) {
        auto client = Client("/usr/bin/lcdproc", {"-f", "-c", config.string(), "-s", "127.0.0.1", "-p",
                                                  std::to_string(port), expectation.screen});
        EXPECT_TRUE(ShownMatches(expectation.matches)) << expectation.screen << ":\n" << Shown();
        client->Signal(SIGTERM);
        client->Wait();
        ASSERT_TRUE(Eventually([&] { return Shown().find("Welcome  to") != std::string::npos; }));
    }
}

// The replies a client reports ("Server said: ..." at report level 5), notices left out.
std::vector<std::string> Replies(ChildProcess& client)
{
    std::vector<std::string> replies;
    for (const auto& line : Rows(Drained(client)))
        if (line.rfind("Server said: \"", 0) == 0 && line.find("\"listen ") == std::string::npos &&
            line.find("\"ignore ") == std::string::npos)
            replies.push_back(line);
    return replies;
}

TEST_F(LcdprocClients, LcdexecsMenuIsAnsweredAsLcddAnswersIt)
{
    if (!Installed("/usr/bin/lcdexec"))
        GTEST_SKIP() << "no lcdexec";
    StartLcdd();
    auto theirs =
        Client("/usr/bin/lcdexec", {"-f", "-a", "127.0.0.1", "-p", std::to_string(lcddPort), "-r", "5", "-s", "0"});
    auto ours = Client("/usr/bin/lcdexec", {"-f", "-a", "127.0.0.1", "-p", std::to_string(port), "-r", "5", "-s", "0"});
    ASSERT_TRUE(Eventually([&] { return Replies(*theirs).size() > 5; })) << theirs->output();
    EXPECT_TRUE(Eventually([&] { return Replies(*ours) == Replies(*theirs); })) << ours->output();
    EXPECT_EQ(ours->WaitFor(0), -1) << "it runs on";
}

TEST_F(LcdprocClients, KeysWalkLcdexecsMenuAndItRunsTheCommandOnce)
{
    if (!Installed("/usr/bin/lcdexec"))
        GTEST_SKIP() << "no lcdexec";
    const auto ran = TestDirectory() / "ran";
    const auto config = TestDirectory() / "lcdexec.conf";
    std::ofstream(config) << "[lcdexec]\nAddress=127.0.0.1\nPort=" << port
                          << "\nShell=/bin/sh\nForeground=yes\n[MainMenu]\nEntry=Run\n[Run]\nDisplayName=\"Run once\"\n"
                          << "Exec=\"echo ran >> " << ran.string() << "\"\n";
    // lcdexec has no screen of its own: a client's screen shows, and Enter on it opens the menu.
    ProtocolClient other(port);
    for (const char* line : {"hello", "screen_add s", "widget_add s w string", "widget_set s w 1 1 {a screen}"})
        other.Ask(line);
    ASSERT_TRUE(ShownMatches([](const auto& rows) { return rows[0].starts_with("a screen"); })) << Shown();
    auto lcdexec = Client("/usr/bin/lcdexec", {"-f", "-c", config.string(), "-r", "5", "-s", "0"});
    // Greeted, named, its item added and set.
    ASSERT_TRUE(Eventually([&] { return Replies(*lcdexec).size() >= 4; })) << lcdexec->output();

    auto press = [&](const char* key) { std::ofstream(screen + ".keys", std::ios::app) << key << "\n"; };
    press("Enter");
    ASSERT_TRUE(ShownMatches([](const auto& rows) { return rows[1] == ">Run once           "; })) << Shown();
    EXPECT_TRUE(ShownMatches([](const auto& rows) { return rows[0].find("lcdexec") != std::string::npos; }))
        << "the client's name is the menu's title\n"
        << Shown();
    press("Enter");
    EXPECT_TRUE(ShownMatches([](const auto& rows) { return rows[0].starts_with("a screen"); }))
        << "the menu closed as lcdexec asked\n"
        << Shown();
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(ran); })) << lcdexec->output();
    std::ifstream in(ran);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "ran\n");
}

TEST_F(LcdprocClients, AReservedKeyReachesTheClientWhileItsScreenShows)
{
    ProtocolClient client(port);
    for (const char* line :
         {"hello", "client_add_key Down", "screen_add s", "widget_add s w string", "widget_set s w 1 1 {mine}"})
        client.Ask(line);
    ASSERT_TRUE(ShownMatches([](const auto& rows) { return rows[0].starts_with("mine"); })) << Shown();
    std::ofstream(screen + ".keys", std::ios::app) << "Up\nDown\n";
    std::optional<std::string> line;
    do
        line = client.Line();
    while (line && (line->starts_with("listen") || line->starts_with("ignore")));
    EXPECT_EQ(line, "key Down") << "Up was not reserved, and goes no further than the service";
}

TEST_F(LcdprocClients, AShownScreenDarkensTheBacklightAndAHiddenOneNever)
{
    // The calls the display was given, as its file records them.
    auto dark = [&] {
        std::ifstream in(screen);
        std::stringstream text;
        text << in.rdbuf();
        const std::string calls = text.str();
        const auto off = calls.rfind(R"("op":"SetBacklight","on":false)");
        const auto on = calls.rfind(R"("op":"SetBacklight","on":true)");
        return off != std::string::npos && (on == std::string::npos || on < off);
    };
    ProtocolClient hidden(port);
    for (const char* line : {"hello", "backlight off", "screen_add h", "screen_set h -priority hidden"})
        hidden.Ask(line);
    ProtocolClient client(port);
    for (const char* line : {"hello", "screen_add s", "widget_add s w string", "widget_set s w 1 1 {lit}"})
        client.Ask(line);
    ASSERT_TRUE(ShownMatches([](const auto& rows) { return rows[0].starts_with("lit"); })) << Shown();
    EXPECT_FALSE(dark()) << "the hidden screen's client asked for the dark, but its screen never shows";
    EXPECT_EQ(client.Ask("backlight off"), "success");
    EXPECT_TRUE(Eventually(dark)) << "the client's own screen shows";
    EXPECT_EQ(client.Ask("screen_set s -backlight on"), "success") << "the screen's own before its client's";
    EXPECT_TRUE(Eventually([&] { return !dark(); }));
    EXPECT_EQ(client.Ask("screen_set s -backlight toggle"), "success");
    EXPECT_TRUE(Eventually(dark));
    EXPECT_EQ(client.Ask("screen_del s"), "success");
    EXPECT_TRUE(Eventually([&] { return !dark(); })) << "the display's own backlight once the screen went";
}

TEST_F(LcdprocClients, LcdvcConnectsAndShowsAConsole)
{
    if (!Installed("/usr/bin/lcdvc") || access("/dev/vcsa", R_OK) != 0)
        GTEST_SKIP() << "no lcdvc, or no console to read";
    auto client = Client("/usr/bin/lcdvc", {"-f", "-a", "127.0.0.1", "-p", std::to_string(port), "-r", "5", "-s", "0"});
    EXPECT_TRUE(client->WaitForOutput("Server said: \"listen console\"")) << client->output();
    EXPECT_TRUE(Eventually([&] { return Shown().find("Welcome  to") == std::string::npos; }))
        << "the console's screen replaced the greeting";
    for (const auto& reply : Replies(*client))
        EXPECT_EQ(reply, "Server said: \"success\"");
}

} // namespace
