// SPDX-License-Identifier: MIT
#include "canvas_painter.h"

#include "glyph_font.h"

#include <pixtera/sdk/unicode_frame.h>
#include <pixtera/user_characters.h>

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

void CanvasPainter::SetCharacterRom(lcd::CharacterRom rom)
{
    if (rom != rom_)
        slots_.Reset(); // another module: its slots hold nothing we drew
    rom_ = rom;
}

void CanvasPainter::Paint(QImage& target, std::string_view frame)
{
    std::vector<CellGlyph> cells(static_cast<std::size_t>(std::max(0, geometry_.rows * geometry_.columns)));
    for (std::size_t at = 0; at < cells.size(); ++at) {
        const auto character = static_cast<std::uint8_t>(at < frame.size() ? frame[at] : ' ');
        const std::uint8_t code = lcd::ToModule(rom_, character);
        cells[at] = {GlyphOf(code, rom_), code == kBlank};
    }
    PaintCells(target, cells);
}

void CanvasPainter::Paint(QImage& target, std::u32string_view cells)
{
    const auto count = static_cast<std::size_t>(std::max(0, geometry_.rows * geometry_.columns));
    std::u32string frame(cells.substr(0, count));
    frame.resize(count, U' ');
    // The user characters the service gives every display (user_characters.h), on 5-dot cells.
    std::array<lcd::Glyph, lcd::kUserSlots> own{};
    for (std::size_t slot = 0; slot < own.size(); ++slot) {
        const auto rows = UserCharacterRows(static_cast<LONG>(slot), 5);
        std::copy(rows.begin(), rows.end(), own[slot].begin());
    }
    const lcd::AllocatedFrame allocated = slots_.Allocate(lcd::WantedCells(rom_, frame, own));
    std::vector<CellGlyph> glyphs(count);
    for (std::size_t at = 0; at < count; ++at) {
        const std::uint8_t code = allocated.codes[at];
        if (code < 16) // a slot's five dots, right-aligned in the glyph's six as the ROM's are
            glyphs[at] = {slots_.loaded()[code & 7].value_or(lcd::Glyph{}), false};
        else
            glyphs[at] = {GlyphOf(code, rom_), code == kBlank};
    }
    PaintCells(target, glyphs);
}

void CanvasPainter::PaintCells(QImage& target, const std::vector<CellGlyph>& cells)
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
    for (int row = 0; row < geometry_.rows && !view.isNull(); ++row) {
        for (int column = 0; column < geometry_.columns; ++column) {
            const std::size_t at = static_cast<std::size_t>(row * geometry_.columns + column);
            const bool bright = highlight_ && highlight_->Contains(column, row);
            if (at >= cells.size() || (cells[at].blank && !bright))
                continue;
            const auto& glyph = cells[at].rows;
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
