// The preview as pixels: geometry per pixel size, colours and highlight, the background image and
// the character set.

#include "background_image.h"
#include "canvas_painter.h"
#include "command_ids.h"
#include "glyph_font.h"
#include "gui_application.h"
#include "test_environment.h"

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
constexpr QRgb kBlueLit = 0x3DB5FF;   // 61, 181, 255
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
    const QImage image = painted.Paint(Frame(std::string{'\x05', '\xB2', '\xE9', '\x08'}));
    for (int y = 0; y < 8; ++y)
        EXPECT_EQ(painted.Dot(image, 1, y), y >= 3 ? kBlueLit : kBlueUnlit) << "code 5: the bottom five rows, row " << y;
    for (int x = 6; x < 18; ++x)
        for (int y = 0; y < 8; ++y)
            ASSERT_EQ(painted.Dot(image, x, y), kBlueUnlit) << "0xB2 and unknown codes are blank";
    EXPECT_EQ(painted.Dot(image, 18, 0), kBlueLit) << "code 8: the full block of bars";
}

TEST(CanvasPainter, NarrowModuleCellsKeepTheWholeCharacter)
{
    Painted painted(1, {20, 4, 5, 8, 100, 32});
    const QImage image = painted.Paint(Frame("PP"));
    // "P" row 1 = 11: its right column is the cell's last dot, not the next cell's first.
    EXPECT_EQ(painted.Dot(image, 4, 1), kBlueLit);
    EXPECT_EQ(painted.Dot(image, 5, 1), kBlueLit) << "the next P starts at its own first dot";
}

TEST(GlyphFont, TheDocumentedShapes)
{
    EXPECT_EQ(GlyphOf('A'), (Glyph{0x0E, 0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x00}));
    EXPECT_EQ(GlyphOf('0'), (Glyph{0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E, 0x00}));
    EXPECT_EQ(GlyphOf('g'), (Glyph{0x00, 0x00, 0x0F, 0x11, 0x11, 0x0F, 0x01, 0x0E}));
    EXPECT_EQ(GlyphOf(0x7F), (Glyph{0x04, 0x0E, 0x1B, 0x11, 0x11, 0x1F, 0x00, 0x00}));
    EXPECT_EQ(GlyphOf('_'), (Glyph{0, 0, 0, 0, 0, 0, 0, 0x3F}));
    EXPECT_EQ(GlyphOf(',')[7], 0x08);
    EXPECT_EQ(GlyphOf(';')[7], 0x08);
    EXPECT_EQ(GlyphOf(8), (Glyph{0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F}));
    EXPECT_EQ(GlyphOf(0), Glyph{});
    EXPECT_EQ(GlyphOf(0xB2), Glyph{});
    for (int code = 0x21; code < 0x7F; ++code)
        EXPECT_NE(GlyphOf(static_cast<unsigned char>(code)), Glyph{}) << "printable " << code << " has dots";
}

} // namespace
