// SPDX-License-Identifier: MIT
// The designer against a real service on a private bus: it borrows the displays, mirrors the
// opened design on display 0, and the service takes the displays back when the designer quits or
// is killed.

#include "child_process.h"
#include "private_bus.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace {

using namespace pixtera::test;
using namespace std::chrono_literals;

std::size_t CountFrom(const std::vector<std::string>& lines, std::size_t from, const std::string& text)
{
    std::size_t n = 0;
    for (std::size_t i = from; i < lines.size(); ++i)
        n += lines[i].find(text) != std::string::npos;
    return n;
}

class DesignerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        service = InstallProgramCopy("pixtera2");
        designer = InstallProgramCopy("pixtera-designer");
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileDisplay.so"));
        ASSERT_TRUE(RegisterModule(ProgramDirectory() / "plugins" / "FileData.so"));
        ASSERT_EQ(RunProgram({service.string(), "-RegServer"}), 0);
        std::ofstream(TestDirectory() / "values") << "Temp=21\n";
        // Two entries of a second each: while the service drives the display it sends a
        // background every second.
        const auto first = Design("first.pxd", "/bg/first.png");
        const auto second = Design("second.pxd", "/bg/second.png");
        std::ofstream(TestDirectory() / "bin" / "pixtera2.xml")
            << "<PixteraConfiguration><drivers><driver clsid=\"Pixtera.FileDisplay\" configuration=\"path="
            << log.string() << "\"><display active=\"yes\"><queue><queueitem Filename=\"" << first.string()
            << "\" Runtime=\"1\"/><queueitem Filename=\"" << second.string() << "\" Runtime=\"1\"/></queue>"
            << "</display></driver><driver clsid=\"Pixtera.FileData\" configuration=\"path="
            << (TestDirectory() / "values").string() << ";interval=100\"><data active=\"yes\"/></driver>"
            << "</drivers></PixteraConfiguration>";
    }

    std::filesystem::path Design(const std::string& name, const std::string& background)
    {
        const auto file = TestDirectory() / name;
        std::ofstream(file)
            << R"(<Design UpdateFreq="100"><DisplayItems><DisplayItem>)"
               R"(<Position X="0" Y="0" Width="10" Height="1"/><Appearance Mode="Static"/>)"
               R"(<Data Mode="Static" Text=")"
            << name
            << R"("/></DisplayItem><DisplayItem>)"
               R"(<Position X="0" Y="1" Width="4" Height="1"/><Appearance Mode="Static"/>)"
               R"(<Data Mode="Data" Name="Temp"/></DisplayItem><DisplayItem>)"
               R"(<Position X="0" Y="2" Width="10" Height="1"/><Appearance Mode="HorizontalBar" HBarMax="42"/>)"
               R"(<Data Mode="Data" Name="Temp"/></DisplayItem></DisplayItems>)"
               R"(<Background FileName=")"
            << background << R"("/></Design>)";
        return file;
    }

    // Starts the designer and waits until its first frame of the opened design reached the display.
    std::unique_ptr<ChildProcess> StartDesigner(std::size_t& designerFrom)
    {
        EXPECT_TRUE(Eventually([&] { return CountFrom(FileLines(log), 0, "SetBackground") >= 2; }))
            << "the service shows its queue first";
        designerFrom = FileLines(log).size();
        auto started = std::make_unique<ChildProcess>(std::vector<std::string>{designer.string()},
                                                      std::vector<std::string>{"QT_QPA_PLATFORM=offscreen"});
        EXPECT_TRUE(Eventually([&] {
            return CountFrom(FileLines(log), designerFrom, R"("op":"SetCustomChar","code":7)") == 1 &&
                   CountFrom(FileLines(log), designerFrom, "first.pxd") > 0;
        })) << started->output();
        return started;
    }

    PrivateBus bus;
    std::filesystem::path service;
    std::filesystem::path designer;
    std::filesystem::path log = TestDirectory() / "lcd";
    std::unique_ptr<ChildProcess> running;
};

TEST_F(DesignerEndToEnd, TheDesignerBorrowsTheDisplayAndGivesItBack)
{
    // The service is started by the designer through activation: start it first to see its queue.
    running = std::make_unique<ChildProcess>(std::vector<std::string>{service.string()});
    std::size_t from = 0;
    auto first = StartDesigner(from);
    std::vector<std::string> lines = FileLines(log);
    const std::size_t designerStart = from;
    EXPECT_EQ(CountFrom(lines, designerStart, R"("op":"SetCustomChar","code":0,"rows":[31,31,31,31,31,31,31,31])"), 1u)
        << "the designer defines the bar cell as the preview draws it";
    // The frame of the opened design: the value from the service, and a bar of 21 / 42 of 10 cells
    // drawn with the bar cell, code 8.
    std::string bar;
    for (int i = 0; i < 5; ++i)
        bar += "\\u0008";
    const std::string expected = R"("op":"Write","frame":"first.pxd)" + std::string(11, ' ') + "21" +
                                 std::string(18, ' ') + bar + std::string(15 + 20, ' ') + "\"";
    // The values reach the preview a tick after the first rendering.
    EXPECT_TRUE(Eventually([&] { return CountFrom(FileLines(log), designerStart, expected) >= 1; }));

    const std::size_t quiet = FileLines(log).size();
    std::this_thread::sleep_for(2500ms);
    EXPECT_EQ(CountFrom(FileLines(log), quiet, "SetBackground"), 0u) << "the service's own output stopped";
    EXPECT_EQ(CountFrom(FileLines(log), quiet, R"("op":"Write")"), 0u) << "nothing changed, nothing was sent";
    EXPECT_EQ(CountFrom(FileLines(log), designerStart, expected), 1u)
        << "sent once: an unchanged preview is not sent again";

    first->Signal(SIGTERM);
    EXPECT_EQ(first->Wait(), 0) << first->output();
    const std::size_t returned = FileLines(log).size();
    EXPECT_TRUE(Eventually([&] { return CountFrom(FileLines(log), returned, "SetBackground") >= 2; }, 3s))
        << "the service shows its queue again";

    std::size_t secondFrom = 0;
    auto second = StartDesigner(secondFrom);
    second->Signal(SIGKILL);
    second->Wait();
    const auto killed = std::chrono::steady_clock::now();
    const std::size_t afterKill = FileLines(log).size();
    ASSERT_TRUE(Eventually([&] { return CountFrom(FileLines(log), afterKill, "SetBackground") >= 1; }, 3s));
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 2s) << "a killed designer's displays come back at once";
}

} // namespace

namespace {

TEST_F(DesignerEndToEnd, WithoutAServiceTheDesignerSaysWhatFailed)
{
    ASSERT_EQ(RunProgram({service.string(), "-UnregServer"}), 0);
    ChildProcess alone({designer.string()}, {"QT_QPA_PLATFORM=offscreen"});
    EXPECT_TRUE(alone.WaitForOutput("Starting the Pixtera service failed")) << alone.output();
}

} // namespace
