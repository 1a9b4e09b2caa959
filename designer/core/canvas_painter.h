// SPDX-License-Identifier: MIT
#pragma once
// Paints the preview: the display's dots centred in the canvas, the background image and the
// frame's characters on top, the selected item's cells highlighted. The empty display is drawn
// once into a cached image; each paint copies it and draws only the characters.

#include "background_image.h"
#include "colour_scheme.h"
#include "glyph_font.h"

#include <pixtera/sdk/character_rom.h>
#include <pixtera/sdk/user_character_allocator.h>

#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace pixtera::designer {

struct DisplayGeometry {
    int columns = 20;
    int rows = 4;
    int cellWidth = 6;
    int cellHeight = 8;
    int dotsWide = 120; // columns x cell width, or a physical display's pixel width
    int dotsHigh = 32;

    static DisplayGeometry Virtual(int columns, int rows) { return {columns, rows, 6, 8, columns * 6, rows * 8}; }
    friend bool operator==(const DisplayGeometry&, const DisplayGeometry&) = default;
};

// A block of cells: the selected item's box.
struct CellBox {
    int column = 0;
    int row = 0;
    int width = 0;
    int height = 0;
    bool Contains(int c, int r) const { return c >= column && c < column + width && r >= row && r < row + height; }
    friend bool operator==(const CellBox&, const CellBox&) = default;
};

struct Cell {
    int column = 0;
    int row = 0;
    friend bool operator==(const Cell&, const Cell&) = default;
};

inline constexpr int kMaxPixelSize = 4;

// Pixel size that fits the display into a canvas of that width: width / (columns x 7) - 1, 0 to 4.
int AutoPixelSize(int canvasWidth, int columns);

class CanvasPainter {
public:
    CanvasPainter();

    void SetGeometry(const DisplayGeometry& geometry);
    void SetPixelSize(int pixelSize);
    // `systemFrame` stands in for a scheme whose frame is the palette's button face.
    void SetColours(const CanvasColours& colours, QColor systemFrame);
    void SetBackgroundImage(const std::filesystem::path& file);
    // The ROM whose glyphs the characters are drawn with: the module's, or A02 (Latin-1's glyphs)
    // for displays without one.
    void SetCharacterRom(lcd::CharacterRom rom);
    // True when the highlight changed (a repaint is due).
    bool SetHighlight(std::optional<CellBox> box);

    const DisplayGeometry& geometry() const { return geometry_; }
    int pixelSize() const { return pixelSize_; }
    std::optional<CellBox> highlight() const { return highlight_; }

    // Where the display lies in a canvas of that size.
    QRect DisplayRect(QSize canvas) const;
    // The cell under a canvas point, or none outside the display.
    std::optional<Cell> CellAt(QPoint point, QSize canvas) const;
    // The canvas point of a cell's top left corner.
    QPoint CellCorner(Cell cell, QSize canvas) const;

    // Paints a frame of rows x columns display codes into `target` (a canvas-sized image).
    void Paint(QImage& target, std::string_view frame);
    // Paints a frame of rows x columns code points as the module shows it: mapped as its driver
    // maps it, to the ROM's glyphs and the user characters shared among the design's own (bars
    // and levels) and the letters the ROM lacks, with stand-ins or placeholders where none is left.
    // The slots carry over from the last frame painted, as on the module. Big-digit parts and icons
    // take slots like letters, or show as the ROM's own sign where it has one.
    void Paint(QImage& target, std::u32string_view cells);

private:
    void RebuildBackground();
    // Each cell's glyph, and whether it is a blank that needs no drawing.
    struct CellGlyph {
        std::array<std::uint8_t, 8> rows;
        bool blank;
    };
    void PaintCells(QImage& target, const std::vector<CellGlyph>& cells);
    void DrawDot(QImage& image, int x, int y, QRgb colour) const;
    int Pitch() const { return pixelSize_ + 1; }
    int DotSide() const { return pixelSize_ == 0 ? 1 : pixelSize_; }

    DisplayGeometry geometry_;
    int pixelSize_ = 2;
    QRgb background_;
    QRgb backgroundBright_;
    QRgb font_;
    QRgb fontBright_;
    QRgb frame_;
    std::filesystem::path imageFile_;
    std::optional<CellBox> highlight_;
    lcd::CharacterRom rom_ = lcd::CharacterRom::A02;
    lcd::UserCharacterAllocator slots_; // what the module's user characters hold, for Unicode frames
    QImage cachedBackground_;
    bool stale_ = true;
};

} // namespace pixtera::designer
