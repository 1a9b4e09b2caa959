// SPDX-License-Identifier: MIT
// The preview as pixels: geometry per pixel size, colours and highlight, the background image and
// the character set.

#include "background_image.h"
#include "canvas_painter.h"
#include "command_ids.h"
#include "glyph_font.h"
#include "gui_application.h"
#include "rom_glyphs.h"
#include "test_environment.h"

#include <pixtera/sdk/drawn_glyph.h>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace pixtera::designer;
using pixtera::test::TestDirectory;

// A painter for a one-cell-wide strip of text on the Blue scheme.
struct Painted {
    explicit Painted(int pixelSize, DisplayGeometry geometry = DisplayGeometry::Virtual(20, 4))
    {
        pixtera::test::GuiApplication();
        painter.SetGeometry(geometry);
        painter.SetPixelSize(pixelSize);
    }

    QImage Paint(std::string_view frame, QSize canvas = {800, 300})
    {
        QImage image(canvas, QImage::Format_RGB32);
        painter.Paint(image, frame);
        return image;
    }

    // The colour of dot (x, y) of the display, read at its top-left pixel.
    QRgb Dot(const QImage& image, int x, int y) const
    {
        const QRect display = painter.DisplayRect(image.size());
        const int pitch = painter.pixelSize() + 1;
        return image.pixel(display.left() + x * pitch, display.top() + y * pitch) & 0xFFFFFF;
    }

    CanvasPainter painter;
};

constexpr QRgb kBlueUnlit = 0x174067; // 23, 64, 103
constexpr QRgb kBlueLit = 0x3DB5FF; // 61, 181, 255
constexpr QRgb kFrame = 0x000000;

std::string Frame(std::string_view start) { return std::string(start) + std::string(80 - start.size(), ' '); }

TEST(CanvasPainter, DotsArePixelSizeSquaresOnAPitchOneLarger)
{
    Painted zero(0);
    QImage image = zero.Paint(Frame(""));
    QRect display = zero.painter.DisplayRect(image.size());
    EXPECT_EQ(display.size(), QSize(120, 32)) << "pixel size 0: one pixel per dot, no gap";
    EXPECT_EQ(image.pixel(display.left() + 1, display.top()) & 0xFFFFFF, kBlueUnlit);
    EXPECT_EQ(display.left(), 400 - 60) << "centred";

    Painted four(4);
    image = four.Paint(Frame(""));
    display = four.painter.DisplayRect(image.size());
    EXPECT_EQ(display.size(), QSize(600, 160));
    for (int d = 0; d < 4; ++d)
        EXPECT_EQ(image.pixel(display.left() + d, display.top() + 3) & 0xFFFFFF, kBlueUnlit) << d;
    EXPECT_EQ(image.pixel(display.left() + 4, display.top()) & 0xFFFFFF, kFrame) << "the gap of a 5-pixel pitch";
    EXPECT_EQ(image.pixel(display.left() + 5, display.top()) & 0xFFFFFF, kBlueUnlit);
}

TEST(CanvasPainter, AutoPixelSizeFitsTheWidthAndIsClamped)
{
    EXPECT_EQ(AutoPixelSize(700, 20), 4);
    EXPECT_EQ(AutoPixelSize(100, 20), 0);
    EXPECT_EQ(AutoPixelSize(5000, 16), 4);
    EXPECT_EQ(AutoPixelSize(420, 20), 2);
}

TEST(CanvasPainter, CellsUnderThePointer)
{
    Painted painted(1); // pitch 2: a cell is 12 x 16 pixels
    const QSize canvas(800, 300);
    const QRect display = painted.painter.DisplayRect(canvas);
    EXPECT_EQ(painted.painter.CellAt(display.topLeft(), canvas), (Cell{0, 0}));
    EXPECT_EQ(painted.painter.CellAt(display.topLeft() + QPoint(12 * 3 + 5, 16 * 2 + 1), canvas), (Cell{3, 2}));
    EXPECT_FALSE(painted.painter.CellAt(display.topLeft() - QPoint(1, 0), canvas));
    EXPECT_FALSE(painted.painter.CellAt(display.bottomRight() + QPoint(1, 1), canvas));
}

TEST(CanvasPainter, TheWhiteSchemeHighlightsUnlitDotsAndKeepsLitOnesBlack)
{
    Painted painted(1);
    painted.painter.SetColours(*SchemeColours(kColourWhite, {}), Qt::gray);
    painted.painter.SetHighlight(CellBox{0, 0, 1, 1});
    const QImage image = painted.Paint(Frame("A"));
    // "A" = 0E 11 11 11 1F 11 11 00: dot (0, 0) is off, dot (2, 0) is on.
    EXPECT_EQ(painted.Dot(image, 0, 0), 0xFFFFFFu) << "200 x 1.7 is capped at 255";
    EXPECT_EQ(painted.Dot(image, 2, 0), 0x000000u);
    EXPECT_EQ(painted.Dot(image, 6, 0), 0xC8C8C8u) << "outside the highlight: the plain unlit colour";
}

TEST(CanvasPainter, ABlankIsDrawnOnlyInsideTheHighlight)
{
    Painted painted(1);
    const QImage plain = painted.Paint(Frame(" "));
    EXPECT_EQ(painted.Dot(plain, 0, 0), kBlueUnlit);
    painted.painter.SetHighlight(CellBox{0, 0, 2, 1});
    const QImage highlighted = painted.Paint(Frame(" "));
    EXPECT_EQ(painted.Dot(highlighted, 0, 0), static_cast<QRgb>(qRgb(39, 108, 175)) & 0xFFFFFF);
}

TEST(CanvasPainter, BackgroundImagePixelsDarkerThan128LightTheirDot)
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    image.setPixel(0, 0, qRgb(127, 127, 127));
    image.setPixel(1, 0, qRgb(128, 128, 128));
    image.setPixel(3, 1, qRgb(0, 0, 0));
    const auto file = TestDirectory() / "background.png";
    ASSERT_TRUE(image.save(QString::fromStdString(file.string())));
    Painted painted(1);
    painted.painter.SetBackgroundImage(file);
    const QImage shown = painted.Paint(Frame(""));
    EXPECT_EQ(painted.Dot(shown, 0, 0), kBlueLit) << "grey 127";
    EXPECT_EQ(painted.Dot(shown, 1, 0), kBlueUnlit) << "grey 128";
    EXPECT_EQ(painted.Dot(shown, 3, 1), kBlueLit) << "rows counted from the top";
    EXPECT_EQ(painted.Dot(shown, 5, 0), kBlueUnlit) << "beyond the image: not scaled";

    painted.painter.SetBackgroundImage(TestDirectory() / "no-such-image.png");
    EXPECT_EQ(painted.Dot(painted.Paint(Frame("")), 0, 0), kBlueUnlit) << "an unreadable image shows nothing";
}

TEST(CanvasPainter, APictureLargerThanTheCanvasShowsItsCharactersClipped)
{
    Painted painted(4); // 20 columns of 6 dots at a pitch of 5: 600 pixels
    const QImage image = painted.Paint(Frame(std::string{'\x08'}), {200, 300});
    EXPECT_EQ(painted.painter.DisplayRect(image.size()).left(), 0);
    EXPECT_EQ(painted.Dot(image, 0, 0), kBlueLit) << "the first character is drawn, not only the dot grid";
    EXPECT_EQ(painted.Dot(image, 6, 0), kBlueUnlit);
}

TEST(CanvasPainter, SixteenBitGreyImagesAreUsedAndUnusableOnesSayWhy)
{
    QImage image(3, 1, QImage::Format_Grayscale16);
    image.fill(0xFFFF);
    image.setPixel(0, 0, qRgb(0, 0, 0));
    image.setPixel(1, 0, qRgb(100, 100, 100));
    const auto file = TestDirectory() / "grey16.png";
    ASSERT_TRUE(image.save(QString::fromStdString(file.string())));
    std::string problem;
    const BackgroundMask mask = LoadBackgroundMask(file, 20, 8, &problem);
    EXPECT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(mask.width, 3);
    EXPECT_TRUE(mask.IsLit(0, 0));
    EXPECT_TRUE(mask.IsLit(1, 0));
    EXPECT_FALSE(mask.IsLit(2, 0));

    const auto text = TestDirectory() / "not-an-image.png";
    std::ofstream(text) << "hello";
    LoadBackgroundMask(text, 20, 8, &problem);
    EXPECT_EQ(problem, "it is not an image of a kind FreeImage knows");
}

TEST(CanvasPainter, CodesShowTheirGlyphs)
{
    Painted painted(1);
    const QImage image = painted.Paint(Frame(std::string{'\x05', '\x81', '\x8D', '\x08'}));
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(painted.Dot(image, 1, y), y >= 3 ? kBlueLit : kBlueUnlit)
            << "code 5: the bottom five rows, row " << y;
    for (int x = 6; x < 18; ++x)
        for (int y = 0; y < 8; ++y)
            ASSERT_EQ(painted.Dot(image, x, y), kBlueUnlit) << "codes no character set has are blank";
    EXPECT_EQ(painted.Dot(image, 18, 0), kBlueLit) << "code 8: the full block of bars";
}

// The rows of a cell as the chart draws them ('#' lit), read back from the painted image.
std::vector<std::string> CellDots(const Painted& painted, const QImage& image, int column)
{
    std::vector<std::string> rows;
    for (int y = 0; y < 8; ++y) {
        std::string row;
        for (int x = 1; x < 6; ++x)
            row += painted.Dot(image, column * 6 + x, y) == kBlueLit ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(CanvasPainter, ModulesShowTheirRomsGlyphs)
{
    using pixtera::lcd::CharacterRom;
    // From the controller's charts: A00 has a Yen sign at 0x5C and its a-umlaut at 0xE1; A02 a
    // backslash and its a-umlaut where Latin-1 has it.
    const std::vector<std::string> a00Umlaut{".#.#.", ".....", ".###.", "....#", ".####", "#...#", ".####", "....."};
    const std::vector<std::string> yen{"#...#", ".#.#.", "#####", "..#..", "#####", "..#..", "..#..", "....."};
    const std::vector<std::string> backslash{".....", "#....", ".#...", "..#..", "...#.", "....#", ".....", "....."};

    Painted module(1, DisplayGeometry::Virtual(20, 4));
    module.painter.SetCharacterRom(CharacterRom::A00);
    QImage image = module.Paint(Frame("\xA5\xE4\\"));
    EXPECT_EQ(CellDots(module, image, 0), yen) << "the lower half: the text's Yen sign is A00's 0x5C";
    EXPECT_EQ(CellDots(module, image, 1), a00Umlaut) << "the upper half: the text's a-umlaut is A00's 0xE1";
    EXPECT_EQ(CellDots(module, image, 2)[1], "....#") << "a backslash, which A00 lacks, shows as a slash";

    Painted text(1);
    image = text.Paint(Frame("\\\xE4\xB0"));
    EXPECT_EQ(CellDots(text, image, 0), backslash) << "a display without a ROM shows what the text means";
    EXPECT_EQ(CellDots(text, image, 1)[0], ".#.#.") << "A02's a-umlaut";
    EXPECT_EQ(CellDots(text, image, 2)[0], ".##..") << "the degree sign at the top of its cell";
    EXPECT_EQ(text.Paint(Frame("K\xFC")), [&] {
        Painted again(1);
        return again.Paint(Frame("K\xFC"));
    }()) << "painting is the same every time";
}

// The dots of a 5x8 drawing as CellDots gives them.
std::vector<std::string> DotsOf(const pixtera::lcd::Glyph& glyph)
{
    std::vector<std::string> rows;
    for (std::uint8_t row : glyph) {
        std::string dots;
        for (int x = 4; x >= 0; --x)
            dots += (row >> x) & 1 ? '#' : '.';
        rows.push_back(dots);
    }
    return rows;
}

TEST(CanvasPainter, UnicodeFramesShowWhatTheModuleShows)
{
    using namespace pixtera::lcd;
    // Eight Cyrillic letters A00 lacks, the first twice, beside a bar cell: the bar keeps the
    // design's own full block in its slot, the seven most frequent letters get the other seven
    // and the last, Ч, shows as the placeholder; К is the ROM's K and needs no slot.
    const std::u32string text = U"ЖЖБДЗИЛЦЧ\x08К";
    const std::u32string frame = text + std::u32string(80 - text.size(), U' ');
    Painted module(1);
    module.painter.SetCharacterRom(CharacterRom::A00);
    QImage image(QSize{800, 300}, QImage::Format_RGB32);
    module.painter.Paint(image, frame);
    for (int cell = 0; cell < 8; ++cell)
        EXPECT_EQ(CellDots(module, image, cell), DotsOf(*LetterGlyph(frame[static_cast<std::size_t>(cell)])))
            << "cell " << cell << ": drawn in a user character";

    Painted rom(1);
    rom.painter.SetCharacterRom(CharacterRom::A00);
    const QImage romImage = rom.Paint(Frame("?K"));
    EXPECT_EQ(CellDots(module, image, 8), CellDots(rom, romImage, 0)) << "no slot left: the placeholder";
    EXPECT_EQ(CellDots(module, image, 9), std::vector<std::string>(8, "#####")) << "the bar's full block";
    EXPECT_EQ(CellDots(module, image, 10), CellDots(rom, romImage, 1)) << "the ROM's own K";
}

TEST(CanvasPainter, NarrowModuleCellsKeepTheWholeCharacter)
{
    Painted painted(1, {20, 4, 5, 8, 100, 32});
    const QImage image = painted.Paint(Frame("PP"));
    // "P" row 1 = 11: its right column is the cell's last dot, not the next cell's first.
    EXPECT_EQ(painted.Dot(image, 4, 1), kBlueLit);
    EXPECT_EQ(painted.Dot(image, 5, 1), kBlueLit) << "the next P starts at its own first dot";
}

TEST(CanvasPainter, BigDigitPartsAndIconsShowTheirGlyphsOrTheRomsOwn)
{
    using pixtera::lcd::CharacterRom;
    Painted painted(1);
    auto paint = [&](std::u32string cells) {
        cells.resize(80, U' ');
        QImage image(800, 300, QImage::Format_RGB32);
        painted.painter.Paint(image, std::u32string_view(cells));
        return image;
    };
    const char32_t full = pixtera::lcd::CodeOf(pixtera::lcd::BigDigitPart::Full);
    const char32_t up = *pixtera::lcd::IconByName("up");
    const char32_t degree = *pixtera::lcd::IconByName("degree");
    QImage image = paint({full, up, U'A'});
    EXPECT_EQ(CellDots(painted, image, 0), std::vector<std::string>(8, "#####")) << "the full part";
    EXPECT_EQ(CellDots(painted, image, 1),
              (std::vector<std::string>{"..#..", ".###.", "#.#.#", "..#..", "..#..", "..#..", "..#..", "....."}))
        << "the up arrow, which A02 has only among its user codes";
    EXPECT_EQ(CellDots(painted, image, 2), CellDots(painted, painted.Paint(Frame("A")), 0))
        << "a letter as the ROM shows it";

    // A00's degree sign is the ROM's own: the icon looks as the text's degree sign does.
    Painted module(1);
    module.painter.SetCharacterRom(CharacterRom::A00);
    std::u32string cells(80, U' ');
    cells[0] = degree;
    QImage icon(800, 300, QImage::Format_RGB32);
    module.painter.Paint(icon, std::u32string_view(cells));
    EXPECT_EQ(CellDots(module, icon, 0), CellDots(module, module.Paint(Frame("\xB0")), 0));
    EXPECT_NE(CellDots(module, icon, 0), std::vector<std::string>(8, "....."));
}

TEST(GlyphFont, TheDocumentedShapes)
{
    using pixtera::lcd::CharacterRom;
    constexpr CharacterRom text = CharacterRom::A02;
    EXPECT_EQ(GlyphOf('A', text), (Glyph{0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x00}));
    EXPECT_EQ(GlyphOf('0', text), (Glyph{0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E, 0x00}));
    EXPECT_EQ(GlyphOf('g', text), (Glyph{0x00, 0x00, 0x0F, 0x11, 0x11, 0x0F, 0x01, 0x0E}));
    EXPECT_EQ(GlyphOf(0x7F, text), (Glyph{0x04, 0x0E, 0x1B, 0x11, 0x11, 0x1F, 0x00, 0x00})) << "A02's house";
    EXPECT_EQ(GlyphOf(0x7F, CharacterRom::A00), (Glyph{0x00, 0x04, 0x08, 0x1F, 0x08, 0x04, 0x00, 0x00}))
        << "A00's arrow";
    EXPECT_EQ(GlyphOf('_', text), (Glyph{0, 0, 0, 0, 0, 0, 0, 0x3F}));
    EXPECT_EQ(GlyphOf(',', text)[7], 0x08);
    EXPECT_EQ(GlyphOf(8, CharacterRom::A00), (Glyph{0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F}));
    EXPECT_EQ(GlyphOf(0, text), Glyph{});
    EXPECT_EQ(GlyphOf(0x90, CharacterRom::A00), Glyph{}) << "A00 has nothing at 0x80-0x9F";
    for (int code = 0x21; code < 0x7F; ++code)
        EXPECT_NE(GlyphOf(static_cast<unsigned char>(code), text), Glyph{}) << "printable " << code << " has dots";
}

// The chart files against the ROM tables the drivers map with: every code a ROM has a glyph for
// is charted, with the glyph the table names, and has dots exactly when it is not blank.
TEST(GlyphFont, ChartsAgreeWithTheRomTables)
{
    using pixtera::lcd::CharacterRom;
    for (const CharacterRom rom : pixtera::lcd::kCharacterRoms) {
        const RomGlyphs& chart = ChartOf(rom);
        EXPECT_TRUE(chart.problems.empty()) << chart.problems.front();
        for (int code = 0x10; code < 0x100; ++code) {
            const auto c = static_cast<std::uint8_t>(code);
            const std::string glyph = pixtera::lcd::GlyphText(rom, c);
            const bool differsFromAscii =
                code >= 0x20 && code < 0x80 && glyph != std::string(1, static_cast<char>(code));
            const bool upper = code < 0x20 || code >= 0x80;
            const bool charted = chart.glyphs[c].has_value();
            if (!charted) {
                EXPECT_FALSE(differsFromAscii)
                    << std::hex << code << " " << glyph << " differs from ASCII but is not charted";
                EXPECT_TRUE(!upper || glyph.empty()) << std::hex << code << " " << glyph << " is not charted";
                continue;
            }
            const bool blank = glyph.empty() || glyph == " ";
            EXPECT_EQ(chart.names[c], blank ? "blank" : glyph) << std::hex << code << " on " << RomName(rom);
            EXPECT_EQ(*chart.glyphs[c] == Glyph{}, blank) << std::hex << code << " " << glyph;
        }
    }
}

TEST(GlyphFont, ChartFilesAreReadStrictly)
{
    const RomGlyphs chart = ParseRomGlyphs("; a comment\n41 A\n.###.\n#...#\n#...#\n#####\n#...#\n#...#\n#...#\n.....\n"
                                           "\nZZ bad\n42 B\n.##\n43 C\n#....\n");
    EXPECT_EQ(chart.glyphs['A'], (Glyph{0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11, 0x00}));
    EXPECT_EQ(chart.names['A'], "A");
    EXPECT_FALSE(chart.glyphs['B'].has_value());
    EXPECT_FALSE(chart.glyphs['C'].has_value());
    ASSERT_EQ(chart.problems.size(), 3u);
    EXPECT_EQ(chart.problems[0], "line 12: not a code and name: ZZ bad");
    EXPECT_EQ(chart.problems[1], "line 14: not a row of five dots: .##");
    EXPECT_EQ(chart.problems[2], "the last glyph has fewer than eight rows");
}

} // namespace
