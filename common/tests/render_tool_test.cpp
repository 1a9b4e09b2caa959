// SPDX-License-Identifier: MIT
#include "render_command.h"
#include "test_environment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Render(std::vector<std::string> arguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int code = pixtera::RunRenderCommand(arguments, out, err);
    return {code, out.str(), err.str()};
}

std::string WriteDesign(const std::string& name, const std::string& xml)
{
    const auto path = pixtera::test::TestDirectory() / name;
    std::ofstream(path) << xml;
    return path.string();
}

const std::string kDesign = R"(<Design><DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="8" Height="1"/><Appearance Mode="Static" Allignment="Left"/><Data Mode="Static" Text="Game:"/></DisplayItem>
<DisplayItem><Position X="0" Y="1" Width="8" Height="1"/><Appearance Mode="RightToLeft" ScrollDelay="100"/><Data Mode="Data" Name="Title"/></DisplayItem>
<DisplayItem><Position X="0" Y="2" Width="8" Height="1"/><Appearance Mode="HorizontalBar" HBarMax="100"/><Data Mode="Data" Name="FPS"/></DisplayItem>
</DisplayItems></Design>)";

TEST(RenderTool, RawWritesExactlyTheFrameBytes)
{
    const auto design = WriteDesign("a.pxd", kDesign);
    const auto result =
        Render({design, "--size", "8x3", "--at", "200", "--text", "Title=ABC", "--number", "FPS=50", "--raw"});
    EXPECT_EQ(result.code, 0) << result.err;
    EXPECT_EQ(result.out, std::string("Game:   ") + "CABCABCA" + std::string(4, '\x08') + "    ");
}

TEST(RenderTool, TextOutputShowsRowsWithBarsAsBlocks)
{
    const auto design = WriteDesign("a.pxd", kDesign);
    const auto result = Render({design, "--size", "8x3", "--number", "FPS=25"});
    EXPECT_EQ(result.code, 0);
    EXPECT_EQ(result.out, "Game:   \nErrorErr\n\u2588\u2588      \n") << "an unknown name reads Error";
}

TEST(RenderTool, AFaultyDesignStillRendersWhatWasReadAndFails)
{
    const auto design = WriteDesign("bad.pxd", R"(<Design><DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="4" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="ok"/></DisplayItem>
<DisplayItem><Position X="0" Y="1" Width="4"/><Appearance Mode="Static"/><Data Mode="Static" Text="no"/></DisplayItem>
</DisplayItems></Design>)");
    const auto result = Render({design, "--size", "4x2", "--raw"});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.out, "ok      ");
    EXPECT_NE(result.err.find("Position has no Height"), std::string::npos) << result.err;
    const auto missing = Render({"/no/such.pxd", "--raw", "--size", "2x1"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.out, "") << "a missing design shows no frame";
    EXPECT_NE(missing.err.find("/no/such.pxd"), std::string::npos) << missing.err;
    const std::string directory = pixtera::test::TestDirectory().string();
    for (const auto& arguments : {std::vector<std::string>{directory, "--raw"}, {"--check", directory}}) {
        const auto notAFile = Render(arguments);
        EXPECT_EQ(notAFile.code, 1);
        EXPECT_NE(notAFile.err.find(directory + ": is a directory"), std::string::npos) << notAFile.err;
    }
}

TEST(RenderTool, CheckListsWhatTheReaderIgnoresWithLineNumbers)
{
    const auto design = WriteDesign("check.pxd", R"(<Design UpdateFreq="fast">
<DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="4" Height="1"/><Appearance Mode="Static" Alignment="Left"/><Data Mode="Static" Text="ok"/></DisplayItem>
<DisplayItem><Position X="30" Y="0" Width="4" Height="1"/><Appearance Mode="Scrolling" ScrollDelay="x"/><Data Mode="Static" Text="far"/><Colour/></DisplayItem>
</DisplayItems></Design>)");
    const auto result = Render({"--check", design});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.out, design + ":1: <Design> UpdateFreq \"fast\" is not a number\n" + design +
                              ":3: <Appearance> attribute Alignment is not read (the format spells it Allignment)\n" +
                              design + ":4: <Appearance> Mode \"Scrolling\" is not one of the format's words\n" +
                              design + ":4: <Appearance> ScrollDelay \"x\" is not a number\n" + design +
                              ":4: <Colour> in <DisplayItem> is not read\n" + design +
                              ":4: item 2 lies entirely outside a 20x4 display\n");
    const auto clean = WriteDesign("clean.pxd", kDesign);
    const auto fine = Render({"--check", clean, "--size", "8x3"});
    EXPECT_EQ(fine.code, 0) << fine.out;
    EXPECT_EQ(fine.out, "");
    EXPECT_EQ(Render({"--check", "/no/such.pxd"}).code, 1);
}

TEST(RenderTool, HelpAndVersionAnswer)
{
    const auto help = Render({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--check"), std::string::npos);
    const auto version = Render({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.out, "pixtera-render " PIXTERA_VERSION "\n");
}

TEST(RenderTool, BadCommandLinesAreUsageErrors)
{
    for (const auto& arguments : std::vector<std::vector<std::string>>{{},
                                                                       {"a.pxd", "--size", "20"},
                                                                       {"a.pxd", "--size", "0x4"},
                                                                       {"a.pxd", "--at", "-1"},
                                                                       {"a.pxd", "--number", "FPS=fast"},
                                                                       {"a.pxd", "--text", "=x"},
                                                                       {"a.pxd", "b.pxd"},
                                                                       {"a.pxd", "--bogus"}}) {
        const auto result = Render(arguments);
        EXPECT_EQ(result.code, 2) << (arguments.empty() ? "" : arguments.back());
        EXPECT_FALSE(result.err.empty());
    }
}

} // namespace

namespace {

TEST(RenderTool, RomShowsWhatTheModuleShowsAndTheDesignKeepsItsText)
{
    const auto design = WriteDesign("rom.pxd", R"(<Design><DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="12" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="21°C Küche"/></DisplayItem>
<DisplayItem><Position X="0" Y="1" Width="12" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="a\b~Äé"/></DisplayItem>
</DisplayItems></Design>)");
    const auto a00 = Render({design, "--size", "12x2", "--rom", "a00"});
    EXPECT_EQ(a00.code, 0) << a00.err;
    EXPECT_EQ(a00.out, "21°C Küche  \na/b-Aé      \n")
        << "look-alikes where the Japanese ROM has none, and é drawn in a user character";
    const auto a02 = Render({design, "--size", "12x2", "--rom", "a02"});
    EXPECT_EQ(a02.out, "21°C Küche  \na\\b~Äé      \n");
    EXPECT_EQ(Render({design, "--size", "12x2"}).out, a02.out) << "the text itself, unmapped";
    const auto cyrillic = Render({design, "--size", "12x2", "--rom", "cyrillic"});
    EXPECT_EQ(cyrillic.out, "21oC Küche  \na/b-Aé      \n")
        << "the Cyrillic ROM has neither Latin-1 nor 0x5C or 0x7E: ü and é are drawn";
    const auto nine = WriteDesign("nine.pxd", R"(<Design><DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="12" Height="1"/><Appearance Mode="Static"/><Data Mode="Static" Text="БДЖЗИЛЦЧШ кя"/></DisplayItem>
</DisplayItems></Design>)");
    EXPECT_EQ(Render({nine, "--size", "12x1", "--rom", "a00"}).out, "БДЖЗИЛЦЧ? K?\n")
        << "eight letters drawn, the ninth and beyond as their look-alike or the placeholder";
    EXPECT_EQ(Render({nine, "--size", "12x1", "--rom", "cyrillic"}).out, "БДЖЗИЛЦЧШ кя\n") << "all on the ROM";
    const auto wrong = Render({design, "--rom", "a01"});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_NE(wrong.err.find("a00, a02 or cyrillic"), std::string::npos);
}

} // namespace
