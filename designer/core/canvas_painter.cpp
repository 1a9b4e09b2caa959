// SPDX-License-Identifier: MIT
#include "canvas_painter.h"

#include "glyph_font.h"

#include <pixtera/sdk/drawn_glyph.h>

#include <QPainter>

#include <algorithm>

namespace pixtera::designer {
namespace {

QRgb ToQRgb(Rgb colour) { return qRgb(colour.red, colour.green, colour.blue); }

constexpr int kGlyphRows = 8;
constexpr int kGlyphColumns = 6;
constexpr unsigned char kBlank = 0x20;

} // namespace

int AutoPixelSize(int canvasWidth, int columns)
{
    if (columns <= 0)
        return 0;
    return std::clamp(canvasWidth / (columns * 7) - 1, 0, kMaxPixelSize);
}

CanvasPainter::CanvasPainter() { SetColours(CanvasColours{{23, 64, 103}, {61, 181, 255}, Rgb{0, 0, 0}}, Qt::black); }

void CanvasPainter::SetGeometry(const DisplayGeometry& geometry)
{
    geometry_ = geometry;
    stale_ = true;
}

void CanvasPainter::SetPixelSize(int pixelSize)
{
    pixelSize_ = std::clamp(pixelSize, 0, kMaxPixelSize);
    stale_ = true;
}

void CanvasPainter::SetColours(const CanvasColours& colours, QColor systemFrame)
{
    background_ = ToQRgb(colours.background);
    backgroundBright_ = ToQRgb(Brighter(colours.background, kBackgroundHighlight));
    font_ = ToQRgb(colours.font);
    fontBright_ = ToQRgb(Brighter(colours.font, kFontHighlight));
    frame_ = colours.frame ? ToQRgb(*colours.frame) : systemFrame.rgb();
    stale_ = true;
}

void CanvasPainter::SetBackgroundImage(const std::filesystem::path& file)
{
    imageFile_ = file;
    stale_ = true;
}

bool CanvasPainter::SetHighlight(std::optional<CellBox> box)
{
    if (box == highlight_)
        return false;
    highlight_ = box;
    return true;
}

QRect CanvasPainter::DisplayRect(QSize canvas) const
{
    const int width = geometry_.dotsWide * Pitch();
    const int height = geometry_.dotsHigh * Pitch();
    // Centred when it fits; a larger picture starts at the top left and is clipped on the right
    // and at the bottom, so the characters are always seen.
    return {std::max(0, canvas.width() / 2 - width / 2), std::max(0, canvas.height() / 2 - height / 2), width, height};
}

std::optional<Cell> CanvasPainter::CellAt(QPoint point, QSize canvas) const
{
    const QRect display = DisplayRect(canvas);
    if (!display.contains(point) || geometry_.cellWidth <= 0 || geometry_.cellHeight <= 0)
        return std::nullopt;
    return Cell{(point.x() - display.left()) / (Pitch() * geometry_.cellWidth),
                (point.y() - display.top()) / (Pitch() * geometry_.cellHeight)};
}

QPoint CanvasPainter::CellCorner(Cell cell, QSize canvas) const
{
    const QRect display = DisplayRect(canvas);
    return {display.left() + cell.column * Pitch() * geometry_.cellWidth,
            display.top() + cell.row * Pitch() * geometry_.cellHeight};
}

void CanvasPainter::DrawDot(QImage& image, int x, int y, QRgb colour) const
{
    const int left = x * Pitch();
    const int top = y * Pitch();
    const int side = DotSide();
    if (left >= image.width())
        return;
    for (int row = top; row < top + side && row < image.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        std::fill(line + left, line + std::min(left + side, image.width()), colour);
    }
}

void CanvasPainter::RebuildBackground()
{
    cachedBackground_ = QImage(std::max(geometry_.dotsWide * Pitch(), 1), std::max(geometry_.dotsHigh * Pitch(), 1),
                               QImage::Format_RGB32);
    cachedBackground_.fill(frame_);
    const BackgroundMask mask = LoadBackgroundMask(imageFile_, geometry_.dotsWide, geometry_.dotsHigh);
    for (int y = 0; y < geometry_.dotsHigh; ++y)
        for (int x = 0; x < geometry_.dotsWide; ++x)
            DrawDot(cachedBackground_, x, y, mask.IsLit(x, y) ? font_ : background_);
    stale_ = false;
}

void CanvasPainter::Paint(QImage& target, std::string_view frame)
{
    PaintCells(target, [&](std::size_t at) -> std::optional<Glyph> {
        const auto character = static_cast<std::uint8_t>(at < frame.size() ? frame[at] : ' ');
        const std::uint8_t code = lcd::ToModule(rom_, character);
        return code == kBlank ? std::nullopt : std::optional<Glyph>(GlyphOf(code, rom_));
    });
}

void CanvasPainter::Paint(QImage& target, std::u32string_view cells)
{
    PaintCells(target, [&](std::size_t at) -> std::optional<Glyph> {
        const char32_t c = at < cells.size() ? cells[at] : U' ';
        if (c < 0x20)
            return GlyphOf(static_cast<std::uint8_t>(c), rom_); // the user characters' codes
        // Big-digit parts and icons are drawn with their own glyphs; where the ROM has the sign
        // itself (A00's degree), with the ROM's.
        if (const auto drawn = lcd::DrawnGlyphFor(c, rom_))
            return drawn->onRom ? GlyphOf(drawn->fallback, rom_) : drawn->rows;
        const std::uint8_t code = lcd::ResolveOnRom(rom_, c).code;
        return code == kBlank ? std::nullopt : std::optional<Glyph>(GlyphOf(code, rom_));
    });
}

void CanvasPainter::PaintCells(QImage& target, const std::function<std::optional<Glyph>(std::size_t)>& glyphAt)
{
    if (stale_)
        RebuildBackground();
    target.fill(frame_);
    const QRect display = DisplayRect(target.size());
    {
        QPainter painter(&target);
        painter.drawImage(display.topLeft(), cachedBackground_);
    }
    // Characters are drawn into the display image's coordinates, clipped to its right edge.
    QImage view(target.bits() + display.top() * target.bytesPerLine() + display.left() * 4,
                std::min(display.width(), target.width() - display.left()),
                std::min(display.height(), target.height() - display.top()), target.bytesPerLine(),
                QImage::Format_RGB32);
    // Cells narrower than a glyph (a module's 5-dot cells) drop the glyph's blank left column
    // rather than the character's right one.
    const int skipped = std::clamp(kGlyphColumns - geometry_.cellWidth, 0, 1);
    static constexpr Glyph kNothing{};
    for (int row = 0; row < geometry_.rows && !view.isNull(); ++row) {
        for (int column = 0; column < geometry_.columns; ++column) {
            const std::optional<Glyph> shown = glyphAt(static_cast<std::size_t>(row * geometry_.columns + column));
            const bool bright = highlight_ && highlight_->Contains(column, row);
            if (!shown && !bright)
                continue;
            const Glyph& glyph = shown ? *shown : kNothing;
            for (int y = 0; y < kGlyphRows; ++y) {
                for (int x = 0; x < kGlyphColumns - skipped; ++x) {
                    const int dotX = column * geometry_.cellWidth + x;
                    if (dotX >= geometry_.dotsWide)
                        break;
                    const bool lit = glyph[static_cast<std::size_t>(y)] & (0x20 >> (x + skipped));
                    const QRgb colour =
                        lit ? (bright ? fontBright_ : font_) : (bright ? backgroundBright_ : background_);
                    DrawDot(view, dotX, row * geometry_.cellHeight + y, colour);
                }
            }
        }
    }
}

} // namespace pixtera::designer
