// SPDX-License-Identifier: MIT
#include <pixtera/design_check.h>
#include <pixtera/design_file.h>
#include <pixtera/frame_composer.h>
#include <pixtera/platform/codepage.h>
#include <pixtera/xml_file.h>

#include "test_environment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using namespace pixtera;

std::string Item(const std::string& position, const std::string& appearance, const std::string& data,
                 const std::string& extra = "")
{
    return "<DisplayItem>" + position + appearance + data + extra + "</DisplayItem>";
}

const std::string kPosition = R"(<Position X="1" Y="2" Width="10" Height="1"/>)";
const std::string kStatic = R"(<Appearance Mode="Static" Allignment="Right"/>)";
const std::string kText = R"(<Data Mode="Static" Text="Hi"/>)";

std::string DesignXml(const std::string& items, const std::string& rest = R"(<Background FileName="/bg.png"/>)")
{
    return "<Design><DisplayItems>" + items + "</DisplayItems>" + rest + "</Design>";
}

DesignReadResult Read(const std::string& xml, Design& design, DesignReader reader = DesignReader::Service)
{
    return LoadDesignFromText(xml, design, reader, 777);
}

TEST(DesignReader, ReadsEveryField)
{
    const std::string xml = DesignXml(
        Item(kPosition, kStatic, kText) +
        Item(R"(<Position X="-3" Y="0" Width="20" Height="2"/>)",
             R"(<Appearance Mode="RightToLeft" ScrollDelay="300"/>)", R"(<Data Mode="Data" Name="Fraps_GAME"/>)",
             R"(<Convert From="MegaBytes" To="GigaBytes"/><Formatting Digits="2"/>)") +
        Item(kPosition, R"(<Appearance Mode="HorizontalBar" HBarMax="0"/>)", R"(<Data Mode="Data" Name="FPS"/>)"));
    Design design;
    ASSERT_TRUE(Read(xml, design).ok());
    ASSERT_EQ(design.items.size(), 3u);
    const auto& first = design.items[0];
    EXPECT_EQ(first.column, 1);
    EXPECT_EQ(first.row, 2);
    EXPECT_EQ(first.alignment, kAlignRight);
    EXPECT_EQ(first.source, kSourceStaticText);
    EXPECT_EQ(first.text, "Hi");
    EXPECT_EQ(first.scrollStart, 777u);
    const auto& second = design.items[1];
    EXPECT_EQ(second.column, -3);
    EXPECT_EQ(second.height, 2);
    EXPECT_EQ(second.mode, kModeRightToLeft);
    EXPECT_EQ(second.scrollDelay, 300);
    EXPECT_EQ(second.name, u"Fraps_GAME");
    EXPECT_TRUE(second.convert);
    EXPECT_EQ(second.fromUnit, kMegaBytes);
    EXPECT_EQ(second.toUnit, kGigaBytes);
    EXPECT_TRUE(second.format);
    EXPECT_EQ(second.digits, 2);
    const auto& bar = design.items[2];
    EXPECT_TRUE(bar.automaticMaximum);
    EXPECT_EQ(bar.barMaximum, 100);
    EXPECT_EQ(design.background, u"/bg.png");
    EXPECT_EQ(design.updateFrequency, 30u);
}

TEST(DesignReader, AFileFromTheWindows1252DaysShowsTheSameAndNewTextKeepsItsLetters)
{
    // Files always held the text as UTF-8: what Windows-1252 could hold renders the same bytes as
    // before; what it could not keeps its letters now, and malformed bytes are one U+FFFD each.
    const std::string xml = DesignXml(Item(R"(<Position X="0" Y="0" Width="20" Height="1"/>)", kStatic,
                                           R"(<Data Mode="Static" Text="Grüße 21°C €"/>)") +
                                      Item(R"(<Position X="0" Y="1" Width="20" Height="1"/>)", kStatic,
                                           R"(<Data Mode="Static" Text="Ёж )"
                                           "\xFF"
                                           R"(!"/>)"));
    Design design;
    Read(xml, design);
    ASSERT_EQ(design.items.size(), 2u);
    EXPECT_EQ(FindInvalidUtf8(*design.items[1].text), std::string::npos) << "never saved malformed again";
    VirtualDisplay display;
    ASSERT_EQ(display.Initialize(20, 2, 5, 8), S_OK);
    TableValueSource values;
    RenderFrame(design, values, 0, display);
    EXPECT_EQ(display.frame(), std::string(8, ' ') +
                                   "Gr\xFC\xDF"
                                   "e 21\xB0"
                                   "C \x80" +
                                   std::string(15, ' ') + "?? ?!");
    EXPECT_EQ(display.cells().substr(20), std::u32string(15, U' ') + U"Ёж \uFFFD!");
}

TEST(DesignReader, DefaultsAndNamesOutsideTheLists)
{
    const std::string xml = DesignXml(
        Item(kPosition, R"(<Appearance Mode="righttoleft"/>)", R"(<Data Mode="Other"/>)") +
        Item(kPosition, R"(<Appearance Mode="HorizontalBar" HBarMax="50"/>)", kText, R"(<Convert From="Bytes"/>)") +
        Item(kPosition, R"(<Appearance Mode="Static" Allignment="Middle"/>)", kText,
             R"(<Convert From="Kilobytes" To="MegaBytes"/><Formatting/>)"));
    Design design;
    ASSERT_TRUE(Read(xml, design).ok());
    ASSERT_EQ(design.items.size(), 3u);
    EXPECT_EQ(design.items[0].mode, kModeStatic) << "mode names are case-sensitive; no ScrollDelay needed";
    EXPECT_EQ(design.items[0].source, kSourceDataValue);
    EXPECT_TRUE(design.items[0].name.empty());
    EXPECT_EQ(design.items[1].barMaximum, 50);
    EXPECT_FALSE(design.items[1].automaticMaximum);
    EXPECT_FALSE(design.items[1].convert) << "From without To";
    EXPECT_EQ(design.items[2].alignment, kAlignLeft);
    EXPECT_TRUE(design.items[2].convert);
    EXPECT_EQ(design.items[2].fromUnit, kBytes) << "an unknown unit keeps the default";
    EXPECT_EQ(design.items[2].toUnit, kMegaBytes);
    EXPECT_FALSE(design.items[2].format);
}

TEST(DesignReader, AFaultyItemEndsTheReadingAndKeepsTheItemsBefore)
{
    const char* faults[] = {
        R"(<Appearance Mode="LeftToRight"/>)", // no ScrollDelay
        R"(<Appearance Mode="HorizontalBar" HBarMax="lots"/>)", // not a number
        R"(<Appearance/>)", // no Mode
    };
    for (const char* appearance : faults) {
        Design design;
        const auto result = Read(DesignXml(Item(kPosition, kStatic, kText) + Item(kPosition, appearance, kText) +
                                           Item(kPosition, kStatic, kText)),
                                 design);
        EXPECT_EQ(result.status, DesignReadResult::Status::ItemError) << appearance;
        EXPECT_NE(result.message.find("item 2"), std::string::npos) << result.message;
        EXPECT_EQ(design.items.size(), 1u) << appearance;
    }
    Design design;
    EXPECT_FALSE(Read(DesignXml(Item(R"(<Position X="1" Y="2" Width="3"/>)", kStatic, kText)), design).ok());
    EXPECT_FALSE(Read(DesignXml(Item(kPosition, kStatic, R"(<Data Mode="Data"/>)")), design).ok());
    EXPECT_FALSE(Read(DesignXml(Item(kPosition, kStatic, R"(<Data Mode="Static"/>)")), design).ok());
    EXPECT_FALSE(
        Read(DesignXml(Item(R"(<Position X="1.5" Y="2" Width="3" Height="1"/>)", kStatic, kText)), design).ok());
    EXPECT_FALSE(
        Read(DesignXml(Item(R"(<Position X="99999999999" Y="2" Width="3" Height="1"/>)", kStatic, kText)), design)
            .ok());
}

TEST(DesignReader, ItemsUnderSeveralContainersAndTheBackgroundRule)
{
    const std::string xml = "<Design><DisplayItems>" + Item(kPosition, kStatic, kText) +
                            "</DisplayItems><DisplayItems>" + Item(kPosition, kStatic, kText) +
                            R"(</DisplayItems><Background FileName="a"/><Background FileName="b"/></Design>)";
    Design service;
    service.background = u"old";
    ASSERT_TRUE(Read(xml, service).ok());
    EXPECT_EQ(service.items.size(), 2u);
    EXPECT_EQ(service.background, u"old") << "two backgrounds: the service keeps its own";
    Design designer;
    designer.background = u"old";
    ASSERT_TRUE(Read(xml, designer, DesignReader::Designer).ok());
    EXPECT_EQ(designer.background, u"") << "the designer clears it";
}

TEST(DesignReader, UpdateFrequency)
{
    Design design;
    ASSERT_TRUE(Read(R"(<Design UpdateFreq="250"><DisplayItems/></Design>)", design).ok());
    EXPECT_EQ(design.updateFrequency, 250u);
    ASSERT_TRUE(Read(R"(<Design UpdateFreq="-5"><DisplayItems/></Design>)", design).ok());
    EXPECT_EQ(design.updateFrequency, 30u);
    design.updateFrequency = 99;
    ASSERT_TRUE(Read(R"(<Design UpdateFreq="250"/>)", design, DesignReader::Designer).ok());
    EXPECT_EQ(design.updateFrequency, 99u) << "the designer does not read it";
}

TEST(DesignReader, AFileThatIsNotXmlIsAnEmptyDesign)
{
    Design design;
    design.items.resize(2);
    design.updateFrequency = 500;
    design.background = u"kept";
    const auto result = Read("this is not xml", design);
    EXPECT_EQ(result.status, DesignReadResult::Status::NotParsed);
    EXPECT_TRUE(design.items.empty());
    EXPECT_EQ(design.updateFrequency, 30u);
    EXPECT_EQ(design.background, u"kept");

    Design designer;
    designer.items.resize(2);
    EXPECT_FALSE(Read("<Design>", designer, DesignReader::Designer).ok());
    EXPECT_EQ(designer.items.size(), 2u) << "the designer's open design stays as it was";

    EXPECT_EQ(LoadDesign("/no/such/file.pxd", design, DesignReader::Service, 0).status,
              DesignReadResult::Status::NotParsed);
}

TEST(DesignFile, RoundTripKeepsEveryFieldAndMultiLineText)
{
    Design design;
    design.background = u"/home/user/Bilder/hintergrund.png";
    DisplayItem text;
    text.source = kSourceStaticText;
    text.text = "Line one\nLine\ttwo > \"quoted\" & </tag> € Ёж 𝄞";
    text.height = 3;
    text.width = 12;
    text.alignment = kAlignCenter;
    design.items.push_back(text);
    DisplayItem scroller;
    scroller.mode = kModeLeftToRight;
    scroller.scrollDelay = 120;
    scroller.name = u"Name/with\\slashes";
    scroller.convert = true;
    scroller.fromUnit = kKiloBytes;
    scroller.toUnit = kTerraBytes;
    scroller.format = true;
    scroller.digits = 3;
    scroller.column = 4;
    scroller.row = 1;
    design.items.push_back(scroller);
    DisplayItem bar;
    bar.mode = kModeHorizontalBar;
    bar.automaticMaximum = true;
    bar.barMaximum = 400; // raised while shown; written as automatic
    design.items.push_back(bar);
    DisplayItem removed;
    removed.deleted = true;
    design.items.push_back(removed);

    const auto path = test::TestDirectory() / "round.pxd";
    std::string error;
    ASSERT_TRUE(SaveDesign(design, path, &error)) << error;
    Design read;
    ASSERT_TRUE(LoadDesign(path, read, DesignReader::Designer, 5).ok());
    ASSERT_EQ(read.items.size(), 3u);
    EXPECT_EQ(read.background, design.background);
    EXPECT_EQ(read.items[0].text, text.text);
    EXPECT_EQ(read.items[0].height, 3);
    EXPECT_EQ(read.items[0].alignment, kAlignCenter);
    EXPECT_EQ(read.items[1].mode, kModeLeftToRight);
    EXPECT_EQ(read.items[1].scrollDelay, 120);
    EXPECT_EQ(read.items[1].name, scroller.name);
    EXPECT_TRUE(read.items[1].convert);
    EXPECT_EQ(read.items[1].fromUnit, kKiloBytes);
    EXPECT_EQ(read.items[1].toUnit, kTerraBytes);
    EXPECT_EQ(read.items[1].digits, 3);
    EXPECT_EQ(read.items[1].column, 4);
    EXPECT_TRUE(read.items[2].automaticMaximum);
    EXPECT_EQ(read.items[2].barMaximum, 100);
}

TEST(DesignFile, WrittenFilesHaveOneTagPerLineInTheDocumentedOrder)
{
    Design design;
    DisplayItem item;
    item.source = kSourceStaticText;
    item.text = "x";
    item.format = true;
    design.items.push_back(item);
    const auto path = test::TestDirectory() / "layout.pxd";
    ASSERT_TRUE(SaveDesign(design, path));
    std::ifstream in(path);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "<Design>\n"
                             "\t<DisplayItems>\n"
                             "\t\t<DisplayItem>\n"
                             "\t\t\t<Position X=\"0\" Y=\"0\" Width=\"0\" Height=\"1\"/>\n"
                             "\t\t\t<Appearance Mode=\"Static\" Allignment=\"Left\"/>\n"
                             "\t\t\t<Data Mode=\"Static\" Text=\"x\"/>\n"
                             "\t\t\t<Formatting Digits=\"0\"/>\n"
                             "\t\t</DisplayItem>\n"
                             "\t</DisplayItems>\n"
                             "\t<Background FileName=\"\"/>\n"
                             "</Design>\n");
}

TEST(DesignFile, SavingIntoAMissingDirectoryFailsWithAReason)
{
    std::string error;
    EXPECT_FALSE(SaveDesign(Design{}, "/no/such/dir/x.pxd", &error));
    EXPECT_NE(error.find("/no/such/dir"), std::string::npos) << error;
}

TEST(ReindentXml, OneTagPerLineIndentedByDepth)
{
    EXPECT_EQ(ReindentXml("<root><a/><b/></root>"), "<root>\n\t<a/>\n\t<b/>\n</root>\n");
    EXPECT_EQ(ReindentXml("<?xml version=\"1.0\"?><r/>"), "<?xml version=\"1.0\"?>\n\t<r/>\n")
        << "a declaration counts as an opening tag";
    EXPECT_EQ(ReindentXml("<r>\r\n\t<a/>\n</r>"), "<r>\n\t<a/>\n</r>\n") << "old layout is dropped";
    EXPECT_EQ(ReindentXml("</a></b>"), "</a>\n</b>\n") << "the indentation never goes below zero";
    EXPECT_EQ(ReindentXml("<r><!-- <a x=\"1\">\n\t</a> --><b/></r>"),
              "<r>\n\t<!-- <a x=\"1\">\n\t</a> -->\n\t<b/>\n</r>\n")
        << "a comment is copied whole and changes no depth";
    EXPECT_EQ(ReindentXml("<a t=\"x > y/\"><b/></a>"), "<a t=\"x > y/\">\n\t<b/>\n</a>\n")
        << "markup characters inside values are text";
    std::string deep;
    for (int i = 0; i < 300; ++i)
        deep += "<a>";
    EXPECT_EQ(ReindentXml(deep).find(std::string(256, '\t')), std::string::npos) << "bounded at 255 tabs";
}

TEST(DesignFile, ABigNumberKeepsItsDigitHeightAndAlignmentAndOldModesReadAsBefore)
{
    const std::string tall = R"(<Position X="0" Y="0" Width="20" Height="4"/>)";
    const std::string xml =
        DesignXml(Item(tall, R"(<Appearance Mode="BigNumber" DigitRows="4" Allignment="Right"/>)", kText) +
                  Item(tall, R"(<Appearance Mode="BigNumber"/>)", kText) + // no DigitRows: as high as the item allows
                  Item(kPosition, R"(<Appearance Mode="BigNumber" DigitRows="3"/>)", kText) +
                  Item(kPosition, R"(<Appearance Mode="HorizontalBar" HBarMax="50" DigitRows="4"/>)", kText));
    Design design;
    ASSERT_TRUE(Read(xml, design).ok());
    ASSERT_EQ(design.items.size(), 4u);
    EXPECT_EQ(design.items[0].mode, kModeBigNumber);
    EXPECT_EQ(design.items[0].digitRows, 4);
    EXPECT_EQ(design.items[0].alignment, kAlignRight);
    EXPECT_EQ(design.items[1].digitRows, 4);
    EXPECT_EQ(design.items[2].digitRows, 2) << "neither 2 nor 4: as high as a one-row item allows";
    EXPECT_EQ(design.items[3].mode, kModeHorizontalBar);
    EXPECT_EQ(design.items[3].digitRows, DisplayItem{}.digitRows) << "only a big number reads DigitRows";

    const auto path = test::TestDirectory() / "big.pxd";
    ASSERT_TRUE(SaveDesign(design, path));
    Design read;
    ASSERT_TRUE(LoadDesign(path, read, DesignReader::Service, 777).ok());
    EXPECT_EQ(read, design);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find(R"(<Appearance Mode="BigNumber" Allignment="Right" DigitRows="4"/>)"), std::string::npos);
    EXPECT_EQ(text.str().find(R"(HBarMax="50" DigitRows)"), std::string::npos);

    EXPECT_TRUE(CheckDesign(xml, 20, 4).size() == 1 &&
                CheckDesign(xml, 20, 4)[0].message.find("DigitRows \"3\"") != std::string::npos)
        << "the one finding: a digit height that is neither 2 nor 4";
}

TEST(DesignFile, EveryExampleDesignReadsWholeAndChecksClean)
{
    std::size_t examples = 0;
    for (const auto& entry : std::filesystem::directory_iterator(PIXTERA_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".pxd")
            continue;
        ++examples;
        SCOPED_TRACE(entry.path().filename().string());
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        for (const DesignFinding& finding : CheckDesign(text.str(), 20, 4))
            ADD_FAILURE() << "line " << finding.line << ": " << finding.message;
        Design design;
        EXPECT_TRUE(Read(text.str(), design).ok());
        EXPECT_FALSE(design.items.empty());
    }
    EXPECT_GE(examples, 5u);
}

} // namespace
