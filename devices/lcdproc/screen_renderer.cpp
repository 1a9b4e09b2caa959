// SPDX-License-Identifier: MIT
#include "screen_renderer.h"

#include "big_digits.h"
#include "utf8_text.h"

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

    char32_t Code(const GlyphRows& rows, char32_t standIn)
    {
        for (int slot = 0; slot < out_.glyphsUsed; ++slot)
            if (out_.glyphs[static_cast<std::size_t>(slot)] == rows)
                return kFirstUserCode + static_cast<char32_t>(slot);
        if (out_.glyphsUsed == kUserGlyphs)
            return standIn;
        out_.glyphs[static_cast<std::size_t>(out_.glyphsUsed)] = rows;
        return kFirstUserCode + static_cast<char32_t>(out_.glyphsUsed++);
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
        out_.cells.assign(static_cast<std::size_t>(std::max(0, g_.columns * g_.rows)), U' ');
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
    void Put(const Area& area, int x, int y, char32_t c)
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
    void Text(const Area& area, int x, int y, std::u32string_view text)
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
    char32_t FullBlock() { return slots_.Code(Full(), U'#'); }
    // A cell whose left `pixels` columns are lit.
    char32_t Columns(int pixels)
    {
        if (pixels >= g_.cellWidth)
            return FullBlock();
        GlyphRows rows{};
        rows.fill(static_cast<unsigned char>(RowBits(pixels) << (g_.cellWidth - pixels)));
        return slots_.Code(rows, pixels * 2 >= g_.cellWidth ? U'#' : U' ');
    }
    // A cell whose bottom `pixels` rows are lit.
    char32_t Rows(int pixels)
    {
        if (pixels >= g_.cellHeight)
            return FullBlock();
        GlyphRows rows{};
        for (int row = std::max(0, 8 - pixels); row < 8; ++row)
            rows[static_cast<std::size_t>(row)] = RowBits(g_.cellWidth);
        return slots_.Code(rows, pixels * 2 >= g_.cellHeight ? U'#' : U' ');
    }
    char32_t Heart(bool filled)
    {
        static constexpr GlyphRows kFilled{0x00, 0x0A, 0x1F, 0x1F, 0x1F, 0x0E, 0x04, 0x00};
        static constexpr GlyphRows kOpen{0x00, 0x0A, 0x15, 0x11, 0x11, 0x0A, 0x04, 0x00};
        return slots_.Code(filled ? kFilled : kOpen, filled ? U'#' : U'-');
    }
    char32_t DigitPart(char part)
    {
        GlyphRows rows{};
        const unsigned char full = RowBits(g_.cellWidth);
        switch (static_cast<lcdproc::DigitPart>(part)) {
        case DigitPart::Full: return FullBlock();
        case DigitPart::Top: rows = {full, full, full, 0, 0, 0, 0, 0}; return slots_.Code(rows, U'"');
        case DigitPart::Bottom: rows = {0, 0, 0, 0, 0, full, full, full}; return slots_.Code(rows, U'_');
        case DigitPart::Both: rows = {full, full, full, 0, 0, full, full, full}; return slots_.Code(rows, U'=');
        default: return U' ';
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
                Text(area, std::min(w.x, area.width()), w.y, Letters(w.text));
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
        const std::u32string& letters = Letters(w.text);
        const int length = static_cast<int>(letters.size());
        std::u32string_view shown(letters);
        if (length > room) {
            // Too long: it runs to and fro, a character per tick.
            const long travel = length - room;
            const long step = timer_ % (2 * travel);
            shown = shown.substr(static_cast<std::size_t>(step <= travel ? step : 2 * travel - step),
                                 static_cast<std::size_t>(room));
        }
        const char32_t block = FullBlock();
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
        const std::u32string label = Letters(w.text);
        const std::u32string& endLabel = Letters(w.endText);
        Text(area, w.x, w.y, label);
        const int barX = w.x + static_cast<int>(label.size());
        const int barCells = w.length - static_cast<int>(label.size() + endLabel.size());
        if (barCells > 0) {
            // The pixels of a client's length overflow an int; only those that can show count.
            const int room = std::min(barCells, Room(area, barX));
            const long long pixels = static_cast<long long>(barCells) * g_.cellWidth * w.promille / 1000;
            HorizontalBar(area, barX, w.y,
                          static_cast<int>(std::min<long long>(pixels, static_cast<long long>(room) * g_.cellWidth)),
                          room);
        }
        Text(area, barX + std::max(0, barCells), w.y, endLabel);
    }

    void DrawIcon(const Widget& w, const Area& area)
    {
        if (w.x <= 0 || w.y <= 0)
            return;
        std::u32string text;
        switch (w.icon) {
        case Icon::BlockFilled: text = FullBlock(); break;
        case Icon::HeartOpen: text = Heart(false); break;
        case Icon::HeartFilled: text = Heart(true); break;
        case Icon::ArrowUp: text = U"^"; break;
        case Icon::ArrowDown: text = U"v"; break;
        case Icon::ArrowLeft: text = U"<"; break;
        case Icon::ArrowRight: text = U">"; break;
        case Icon::CheckboxOff: text = U"N"; break;
        case Icon::CheckboxOn: text = U"Y"; break;
        case Icon::CheckboxGray: text = U"o"; break;
        case Icon::SelectorAtLeft: text = U">"; break;
        case Icon::SelectorAtRight: text = U"<"; break;
        case Icon::Ellipsis: text = U"_"; break;
        case Icon::Stop: text = U"[]"; break;
        case Icon::Pause: text = U"||"; break;
        case Icon::Play: text = U">"; break;
        case Icon::PlayReverse: text = U"<"; break;
        case Icon::FastForward: text = U">>"; break;
        case Icon::FastReverse: text = U"<<"; break;
        case Icon::Next: text = U">|"; break;
        case Icon::Previous: text = U"|<"; break;
        case Icon::Record: text = U"()"; break;
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
        const std::u32string& letters = Letters(w.text);
        const auto length = static_cast<long>(letters.size());
        const long steps = Steps(w.speed);
        if (w.direction == 'h') {
            const long offset = length <= width ? 0 : Bounce(steps, length - width);
            Text(area, w.left, w.top, std::u32string_view(letters).substr(static_cast<std::size_t>(offset), width));
        } else if (w.direction == 'm') {
            // Built only as wide as it can show: a client's width may be huge.
            std::u32string line(static_cast<std::size_t>(std::min(width, Room(area, w.left))), U' ');
            const long offset = length <= width ? 0 : steps % length;
            for (int i = 0; i < static_cast<int>(line.size()); ++i)
                line[static_cast<std::size_t>(i)] = length <= width
                                                        ? (i < length ? letters[static_cast<std::size_t>(i)] : U' ')
                                                        : letters[static_cast<std::size_t>((offset + i) % length)];
            Text(area, w.left, w.top, line);
        } else { // 'v': the text in lines of the scroller's width, moving up
            const long lines = (length + width - 1) / width;
            const long first = lines <= height ? 0 : Bounce(steps, lines - height);
            for (int row = 0; row < height && first + row < lines; ++row)
                Text(area, w.left, w.top + row,
                     std::u32string_view(letters).substr(static_cast<std::size_t>((first + row) * width),
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
            Put(area, w.x, 1, w.length == 10 ? U':' : U'0' + static_cast<char32_t>(w.length));
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
            screen_.cursor == Cursor::Under ? U'_' : FullBlock();
    }

    void Heartbeat()
    {
        const bool filled = (timer_ / 4) % 2 == 0;
        const char32_t heart = Heart(filled);
        out_.cells[static_cast<std::size_t>(g_.columns - 1)] = heart;
    }

    // A widget's text as the cells it takes. The buffer is kept, so one text at a time.
    const std::u32string& Letters(const std::string& utf8)
    {
        AssignCodePoints(letters_, utf8);
        return letters_;
    }

    const Screen& screen_;
    const Geometry& g_;
    const long timer_;
    RenderedScreen& out_;
    GlyphSlots slots_;
    std::u32string letters_;
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
