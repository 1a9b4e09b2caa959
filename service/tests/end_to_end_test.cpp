// SPDX-License-Identifier: MIT
// pixtera2 as a local server driving a file display through a queue of two designs.

#include "child_process.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

using namespace pixtera::test;

// The line's "op" and, for writes, the frame; the time stamp is left out.
std::string Operation(const std::string& line)
{
    const auto op = line.find("\"op\":");
    return op == std::string::npos ? line : line.substr(op);
}

std::string Design(const std::string& text)
{
    return "<Design><DisplayItems><DisplayItem><Position X=\"0\" Y=\"1\" Width=\"20\" Height=\"1\"/>"
           "<Appearance Mode=\"Static\" Allignment=\"Center\"/><Data Mode=\"Static\" Text=\"" +
           text + "\"/></DisplayItem></DisplayItems><Background FileName=\"/bg/" + text + ".png\"/></Design>";
}

TEST(EndToEnd, TheServiceShowsTheGreetingThenItsQueueInAFileDisplay)
{
    const auto program = InstallProgramCopy("pixtera2");
    ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
    ASSERT_EQ(RunProgram({program.string(), "-RegServer"}), 0);
    const auto dir = TestDirectory();
    std::ofstream(dir / "first.pxd") << Design("first");
    std::ofstream(dir / "second.pxd") << Design("second");
    const auto output = dir / "display.jsonl";
    std::ofstream(dir / "bin/pixtera2.xml")
        << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" "
           "configuration=\"columns=20;rows=2;path="
        << output.string() << "\"><display active=\"yes\"><queue><queueitem Filename=\"" << (dir / "first.pxd").string()
        << "\" Runtime=\"1\"/><queueitem Filename=\"" << (dir / "second.pxd").string()
        << "\" Runtime=\"0\"/></queue></display></driver></drivers></PixteraConfiguration>";

    ChildProcess service({program.string()});
    ASSERT_TRUE(service.WaitForOutput("Service started")) << service.output();
    std::vector<std::string> lines;
    for (int i = 0; i < 500 && lines.size() < 13; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        lines = FileLines(output);
    }
    service.Signal(SIGTERM);
    EXPECT_EQ(service.Wait(), 0);

    ASSERT_EQ(lines.size(), 13u);
    EXPECT_EQ(Operation(lines[0]), R"("op":"WriteUnicode","frame":"     Welcome  to          Pixtera       "})");
    EXPECT_EQ(Operation(lines[1]), R"("op":"SetCustomChar","code":0,"rows":[31,31,31,31,31,31,31,31]})");
    EXPECT_EQ(Operation(lines[8]), R"("op":"SetCustomChar","code":7,"rows":[0,31,31,31,31,31,31,31]})");
    EXPECT_EQ(Operation(lines[9]), R"("op":"SetBackground","file":"/bg/first.png"})");
    EXPECT_EQ(Operation(lines[10]), R"("op":"WriteUnicode","frame":"                            first       "})");
    EXPECT_EQ(Operation(lines[11]), R"("op":"SetBackground","file":"/bg/second.png"})");
    EXPECT_EQ(Operation(lines[12]), R"("op":"WriteUnicode","frame":"                           second       "})");
    EXPECT_EQ(lines[0].rfind("{\"t\":", 0), 0u);

    std::ifstream frame(output.string() + ".frame");
    std::stringstream text;
    text << frame.rdbuf();
    EXPECT_EQ(text.str(), std::string(20, ' ') + "\n       second       \n");
}

} // namespace
