// SPDX-License-Identifier: MIT
#include "screen_renderer.h"

#include "big_digits.h"

#include <algorithm>
#include <optional>

namespace pixtera::lcdproc {
namespace {

// Frames in frames are drawn this deep, no deeper.
constexpr int kDeepestFrame = 8;

// The user characters of one rendering: a shape gets the next free one, and when all eight
// are taken, its stand-in.
class GlyphSlots {
public:
    explicit GlyphSlots(RenderedScreen& out) : out_(out) {}

    char Code(const GlyphRows& rows, char standIn)
    {
        for (int slot = 0; slot < out_.glyphsUsed; ++slot)
            if (out_.glyphs[static_cast<std::size_t>(slot)] == rows)
                return static_cast<char>(kFirstUserCode + slot);
        if (out_.glyphsUsed == kUserGlyphs)
            return standIn;
        out_.glyphs[static_cast<std::size_t>(out_.glyphsUsed)] = rows;
        return static_cast<char>(kFirstUserCode + out_.glyphsUsed++);
    }

private:
    RenderedScreen& out_;
};

// Where a container (the screen or a frame) lands on the display: its cells from left to
// right, top to bottom (display cells, 1-based, inclusive), its contents moved by fx, fy.
struct Area {
    int left = 1;
    int top = 1;
    int right = 1;
    int bottom = 1;
    int fx = 0;
    int fy = 0;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

class Painter {
public:
    Painter(const Screen& screen, const Geometry& geometry, long timer, RenderedScreen& out)
        : screen_(screen), g_(geometry), timer_(timer), out_(out), slots_(out)
    {
        out_.cells.assign(static_cast<std::size_t>(std::max(0, g_.columns * g_.rows)), ' ');
    }

    void Paint()
    {
        const int width = std::min(screen_.width > 0 ? screen_.width : g_.columns, g_.columns);
        const int contentHeight = screen_.height > 0 ? screen_.height : g_.rows;
        Area area{1, 1, width, std::min(contentHeight, g_.rows)};
        // A screen taller than the display scrolls like a frame, once through per showing.
        const int speed = std::max(1, (screen_.duration > 0 ? screen_.duration : 32) / std::max(1, contentHeight));
        area.fy = static_cast<int>(Scroll(contentHeight, area.height(), speed));
        Draw("", area, 0);
        if (screen_.heartbeat != Heartbeat::Off)
            Heartbeat();
        if (screen_.cursor != Cursor::Off)
            DrawCursor();
    }

private:
    // How far contents of `size` cells move in a window of `visible`, at `speed` (ticks per step,
    // or steps per tick when negative), going round.
    long Scroll(int size, int visible, int speed) const
    {
        const int positions = size - visible + 1;
        if (positions <= 1 || speed == 0)
            return 0;
        const long steps = speed > 0 ? timer_ / speed : timer_ * -static_cast<long>(speed);
        return steps % positions;
    }

    // Content cell (x, y), 1-based, within `area`.
    void Put(const Area& area, int x, int y, char c)
    {
        const int column = area.left + x - 1 - area.fx;
        const int row = area.top + y - 1 - area.fy;
        if (column < area.left || column > area.right || row < area.top || row > area.bottom)
            return;
        if (column < 1 || column > g_.columns || row < 1 || row > g_.rows)
            return;
        out_.cells[static_cast<std::size_t>((row - 1) * g_.columns + column - 1)] = c;
    }

    // Content cells from column x to the area's right edge: where anything drawn can still show.
    static int Room(const Area& area, int x) { return std::max(0, area.width() + area.fx - x + 1); }
    void Text(const Area& area, int x, int y, std::string_view text)
    {
        for (std::size_t i = 0; i < text.size() && x + static_cast<int>(i) <= area.width() + area.fx; ++i)
            Put(area, x + static_cast<int>(i), y, text[i]);
    }

    GlyphRows Full() const
    {
        GlyphRows rows{};
        rows.fill(RowBits(g_.cellWidth));
        return rows;
    }
    static unsigned char RowBits(int lit)
    {
        return lit <= 0 ? 0 : lit >= 8 ? 0xFF : static_cast<unsigned char>((1u << lit) - 1u);
    }
    char FullBlock() { return slots_.Code(Full(), '#'); }
    // A cell whose left `pixels` columns are lit.
    char Columns(int pixels)
    {
        if (pixels >= g_.cellWidth)
            return FullBlock();
        GlyphRows rows{};
        rows.fill(static_cast<unsigned char>(RowBits(pixels) << (g_.cellWidth - pixels)));
        return slots_.Code(rows, pixels * 2 >= g_.cellWidth ? '#' : ' ');
    }
    // A cell whose bottom `pixels` rows are lit.
    char Rows(int pixels)
    {
        if (pixels >= g_.cellHeight)
            return FullBlock();
        GlyphRows rows{};
        for (int row = std::max(0, 8 - pixels); row < 8; ++row)
            rows[static_cast<std::size_t>(row)] = RowBits(g_.cellWidth);
        return slots_.Code(rows, pixels * 2 >= g_.cellHeight ? '#' : ' ');
    }
    char Heart(bool filled)
    {
        static constexpr GlyphRows kFilled{0x00, 0x0A, 0x1F, 0x1F, 0x1F, 0x0E, 0x04, 0x00};
        static constexpr GlyphRows kOpen{0x00, 0x0A, 0x15, 0x11, 0x11, 0x0A, 0x04, 0x00};
        return slots_.Code(filled ? kFilled : kOpen, filled ? '#' : '-');
    }
    char DigitPart(char part)
    {
        GlyphRows rows{};
        const unsigned char full = RowBits(g_.cellWidth);
        switch (static_cast<lcdproc::DigitPart>(part)) {
        case DigitPart::Full: return FullBlock();
        case DigitPart::Top: rows = {full, full, full, 0, 0, 0, 0, 0}; return slots_.Code(rows, '"');
        case DigitPart::Bottom: rows = {0, 0, 0, 0, 0, full, full, full}; return slots_.Code(rows, '_');
        case DigitPart::Both: rows = {full, full, full, 0, 0, full, full, full}; return slots_.Code(rows, '=');
        default: return ' ';
        }
    }

    void Draw(const std::string& container, const Area& area, int depth)
    {
        for (const Widget& w : screen_.widgets)
            if (w.frame == container && w.set)
                DrawWidget(w, area, depth);
    }

    void DrawWidget(const Widget& w, const Area& area, int depth)
    {
        switch (w.type) {
        case WidgetType::String:
            if (w.x > 0 && w.y > 0)
                Text(area, std::min(w.x, area.width()), w.y, w.text);
            break;
        case WidgetType::Title: Title(w, area); break;
        case WidgetType::Hbar: HorizontalBar(area, w.x, w.y, w.length, area.width() - w.x + 1); break;
        case WidgetType::Vbar: VerticalBar(w, area); break;
        case WidgetType::Pbar: ProgressBar(w, area); break;
        case WidgetType::Icon: DrawIcon(w, area); break;
        case WidgetType::Scroller: Scroller(w, area); break;
        case WidgetType::Frame: Frame(w, area, depth); break;
        case WidgetType::Num: Num(w, area); break;
        }
    }

    void Title(const Widget& w, const Area& area)
    {
        const int width = area.width();
        if (width < 8)
            return;
        const int room = width - 6;
        const int length = static_cast<int>(w.text.size());
        std::string_view shown(w.text);
        if (length > room) {
            // Too long: it runs to and fro, a character per tick.
            const long travel = length - room;
            const long step = timer_ % (2 * travel);
            shown = shown.substr(static_cast<std::size_t>(step <= travel ? step : 2 * travel - step),
                                 static_cast<std::size_t>(room));
        }
        const char block = FullBlock();
        Put(area, 1, 1, block);
        Put(area, 2, 1, block);
        Text(area, 4, 1, shown);
        for (int x = static_cast<int>(shown.size()) + 5; x <= width; ++x)
            Put(area, x, 1, block);
    }

    void HorizontalBar(const Area& area, int x, int y, int pixels, int room)
    {
        if (x <= 0 || y <= 0 || pixels <= 0)
            return;
        room = std::min(room, Room(area, x));
        const int cells = std::min(pixels / g_.cellWidth, room);
        for (int i = 0; i < cells; ++i)
            Put(area, x + i, y, FullBlock());
        if (const int rest = pixels % g_.cellWidth; rest > 0 && cells < room)
            Put(area, x + cells, y, Columns(rest));
    }

    void VerticalBar(const Widget& w, const Area& area)
    {
        if (w.x <= 0 || w.y <= 0 || w.length <= 0)
            return;
        const int cells = std::min(w.length / g_.cellHeight, w.y);
        // Only the cells within the area's rows: a client's length and row may be huge.
        const int first = std::max(0, w.y - area.height() - area.fy);
        const int end = std::min(cells, w.y - area.fy);
        for (int i = first; i < end; ++i)
            Put(area, w.x, w.y - i, FullBlock());
        if (const int rest = w.length % g_.cellHeight; rest > 0 && cells < w.y)
            Put(area, w.x, w.y - cells, Rows(rest));
    }

    void ProgressBar(const Widget& w, const Area& area)
    {
        if (w.x <= 0 || w.y <= 0 || w.length <= 0)
            return;
        Text(area, w.x, w.y, w.text);
        const int barX = w.x + static_cast<int>(w.text.size());
        const int barCells = w.length - static_cast<int>(w.text.size() + w.endText.size());
        if (barCells > 0) {
            // The pixels of a client's length overflow an int; only those that can show count.
            const int room = std::min(barCells, Room(area, barX));
            const long long pixels = static_cast<long long>(barCells) * g_.cellWidth * w.promille / 1000;
            HorizontalBar(area, barX, w.y,
                          static_cast<int>(std::min<long long>(pixels, static_cast<long long>(room) * g_.cellWidth)),
                          room);
        }
        Text(area, barX + std::max(0, barCells), w.y, w.endText);
    }

    void DrawIcon(const Widget& w, const Area& area)
    {
        if (w.x <= 0 || w.y <= 0)
            return;
        std::string text;
        switch (w.icon) {
        case Icon::BlockFilled: text = FullBlock(); break;
        case Icon::HeartOpen: text = Heart(false); break;
        case Icon::HeartFilled: text = Heart(true); break;
        case Icon::ArrowUp: text = "^"; break;
        case Icon::ArrowDown: text = "v"; break;
        case Icon::ArrowLeft: text = "<"; break;
        case Icon::ArrowRight: text = ">"; break;
        case Icon::CheckboxOff: text = "N"; break;
        case Icon::CheckboxOn: text = "Y"; break;
        case Icon::CheckboxGray: text = "o"; break;
        case Icon::SelectorAtLeft: text = ">"; break;
        case Icon::SelectorAtRight: text = "<"; break;
        case Icon::Ellipsis: text = "_"; break;
        case Icon::Stop: text = "[]"; break;
        case Icon::Pause: text = "||"; break;
        case Icon::Play: text = ">"; break;
        case Icon::PlayReverse: text = "<"; break;
        case Icon::FastForward: text = ">>"; break;
        case Icon::FastReverse: text = "<<"; break;
        case Icon::Next: text = ">|"; break;
        case Icon::Previous: text = "|<"; break;
        case Icon::Record: text = "()"; break;
        }
        Text(area, w.x, w.y, text);
    }

    // Steps taken at `speed`: ticks per step, or steps per tick when negative.
    long Steps(int speed) const
    {
        if (speed == 0)
            return 0;
        return speed > 0 ? timer_ / speed : timer_ * -static_cast<long>(speed);
    }
    // To and fro over `travel` positions.
    static long Bounce(long steps, long travel)
    {
        if (travel <= 0)
            return 0;
        const long at = steps % (2 * travel);
        return at <= travel ? at : 2 * travel - at;
    }

    void Scroller(const Widget& w, const Area& area)
    {
        const int width = std::abs(w.right - w.left) + 1;
        const int height = std::max(1, w.bottom - w.top + 1);
        if (w.left <= 0 || w.top <= 0 || w.text.empty())
            return;
        const auto length = static_cast<long>(w.text.size());
        const long steps = Steps(w.speed);
        if (w.direction == 'h') {
            const long offset = length <= width ? 0 : Bounce(steps, length - width);
            Text(area, w.left, w.top, std::string_view(w.text).substr(static_cast<std::size_t>(offset), width));
        } else if (w.direction == 'm') {
            // Built only as wide as it can show: a client's width may be huge.
            std::string line(static_cast<std::size_t>(std::min(width, Room(area, w.left))), ' ');
            const long offset = length <= width ? 0 : steps % length;
            for (int i = 0; i < static_cast<int>(line.size()); ++i)
                line[static_cast<std::size_t>(i)] = length <= width
                                                        ? (i < length ? w.text[static_cast<std::size_t>(i)] : ' ')
                                                        : w.text[static_cast<std::size_t>((offset + i) % length)];
            Text(area, w.left, w.top, line);
        } else { // 'v': the text in lines of the scroller's width, moving up
            const long lines = (length + width - 1) / width;
            const long first = lines <= height ? 0 : Bounce(steps, lines - height);
            for (int row = 0; row < height && first + row < lines; ++row)
                Text(area, w.left, w.top + row,
                     std::string_view(w.text).substr(static_cast<std::size_t>((first + row) * width),
                                                     static_cast<std::size_t>(width)));
        }
    }

    void Frame(const Widget& w, const Area& area, int depth)
    {
        if (depth >= kDeepestFrame || w.left <= 0 || w.top <= 0 || w.right < w.left || w.bottom < w.top)
            return;
        Area inner;
        inner.left = area.left + w.left - 1 - area.fx;
        inner.top = area.top + w.top - 1 - area.fy;
        inner.right = std::min(area.left + w.right - 1 - area.fx, area.right);
        inner.bottom = std::min(area.top + w.bottom - 1 - area.fy, area.bottom);
        if (inner.right < inner.left || inner.bottom < inner.top)
            return;
        const int visibleWidth = w.right - w.left + 1;
        const int visibleHeight = w.bottom - w.top + 1;
        if (w.direction == 'v')
            inner.fy = static_cast<int>(Scroll(w.height, visibleHeight, w.speed));
        else
            inner.fx = static_cast<int>(Scroll(w.width, visibleWidth, w.speed));
        // Cells of the frame outside the area it lands in are not the frame's to draw.
        inner.left = std::max(inner.left, area.left);
        inner.top = std::max(inner.top, area.top);
        Draw(w.id, inner, depth + 1);
    }

    void Num(const Widget& w, const Area& area)
    {
        if (w.x <= 0)
            return;
        if (g_.rows < 2) {
            Put(area, w.x, 1, w.length == 10 ? ':' : static_cast<char>('0' + w.length));
            return;
        }
        const int rows = g_.rows >= 4 ? 4 : 2;
        const auto digit = BigDigit(w.length, rows);
        for (int row = 0; row < rows; ++row)
            for (std::size_t i = 0; i < digit[static_cast<std::size_t>(row)].size(); ++i)
                Put(area, w.x + static_cast<int>(i), row + 1, DigitPart(digit[static_cast<std::size_t>(row)][i]));
    }

    // A character module has no cursor a frame could carry: as LCDd draws it for drivers without
    // one, a block (on, block) or an underscore (under) over the cell, blinking every quarter second.
    void DrawCursor()
    {
        if (screen_.cursorX < 1 || screen_.cursorX > g_.columns || screen_.cursorY < 1 || screen_.cursorY > g_.rows ||
            (timer_ / 2) % 2 != 0)
            return;
        out_.cells[static_cast<std::size_t>((screen_.cursorY - 1) * g_.columns + screen_.cursorX - 1)] =
            screen_.cursor == Cursor::Under ? '_' : FullBlock();
    }

    void Heartbeat()
    {
        const bool filled = (timer_ / 4) % 2 == 0;
        const char heart = Heart(filled);
        out_.cells[static_cast<std::size_t>(g_.columns - 1)] = heart;
    }

    const Screen& screen_;
    const Geometry& g_;
    const long timer_;
    RenderedScreen& out_;
    GlyphSlots slots_;
};

} // namespace

RenderedScreen RenderScreen(const Screen& screen, const Geometry& geometry, long timer)
{
    RenderedScreen out;
    if (geometry.columns <= 0 || geometry.rows <= 0 || geometry.cellWidth <= 0 || geometry.cellHeight <= 0)
        return out;
    Painter(screen, geometry, std::max(0L, timer), out).Paint();
    return out;
}

} // namespace pixtera::lcdproc
