// SPDX-License-Identifier: MIT
// The main job's demo: the service shows the demo queue with live system values on a terminal
// display that writes into a file.

#include "child_process.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

namespace {

using namespace pixtera::test;

std::string Read(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void Replace(std::string& text, const std::string& from, const std::string& to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

TEST(Demo, LiveValuesAppearOnTheTerminalDisplay)
{
    const auto program = InstallProgramCopy("pixtera2");
    for (const char* plugin : {"TerminalDisplay.so", "SystemData.so"})
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / plugin)) << plugin;
    ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
    const auto screen = TestDirectory() / "screen.txt";
    std::string configuration = Read(std::filesystem::path(PIXTERA_SOURCE_DIR) / "examples/pixtera2-demo.xml");
    Replace(configuration, "@EXAMPLES@", std::string(PIXTERA_SOURCE_DIR) + "/examples");
    Replace(configuration, "@TTY@", screen.string());
    std::ofstream(TestDirectory() / "bin/pixtera2.xml") << configuration;

    ChildProcess service({program.string()});
    ASSERT_TRUE(service.WaitForOutput("Service started")) << service.output();
    // The clock screen shows the time; within a few seconds it has moved on.
    const std::regex time(R"(\|\s+(\d\d:\d\d:\d\d)\s+\|)");
    std::set<std::string> times;
    for (int i = 0; i < 60 && times.size() < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const std::string text = Read(screen);
        for (std::sregex_iterator it(text.begin(), text.end(), time), end; it != end; ++it)
            times.insert((*it)[1]);
    }
    service.Signal(SIGINT);
    EXPECT_EQ(service.Wait(), 0);
    EXPECT_GE(times.size(), 2u) << Read(screen);
    EXPECT_NE(Read(screen).find("|     Welcome  to    |"), std::string::npos) << "the greeting came first";
}

} // namespace
