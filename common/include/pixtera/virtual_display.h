// SPDX-License-Identifier: MIT
#pragma once
// The text canvas of one frame: rows x columns cells, row after row, each a code point (1-15 the
// user characters), and the same cells in Windows-1252 for drivers that take no more (a
// character outside it is '?'). It is embedded in its owner, so Release never destroys it.

#include <pixtera/virtual_display_interface.h>

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

namespace pixtera {

class VirtualDisplay final : public IVirtualDisplay {
public:
    // Geometry beyond these bounds is refused: no character display comes near them, and a
    // driver's nonsense must not become a huge allocation.
    static constexpr LONG kMaxColumns = 1024;
    static constexpr LONG kMaxCells = 65536;

    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // IUnknown (embedded: counted, never freed)
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }

    // IVirtualDisplay
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* pixels) override;
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* pixels) override;
    HRESULT STDMETHODCALLTYPE GetColumns(LONG* columns) override;
    HRESULT STDMETHODCALLTYPE GetRows(LONG* rows) override;
    HRESULT STDMETHODCALLTYPE GetText(BSTR* frame) override;
    HRESULT STDMETHODCALLTYPE Initialize(LONG columns, LONG rows, LONG cellWidth, LONG cellHeight) override;
    HRESULT STDMETHODCALLTYPE Clear() override;
    HRESULT STDMETHODCALLTYPE WriteText(LONG column, LONG row, BSTR text) override;

    // Writes bytes of the display code page into `row` from `column`, clipped at both edges.
    void WriteAnsi(LONG column, LONG row, std::string_view ansi);
    // Writes cells, one code point each, likewise.
    void WriteCells(LONG column, LONG row, std::u32string_view cells);

    LONG columns() const { return columns_; }
    LONG rows() const { return rows_; }
    LONG cellWidth() const { return cellWidth_; }
    LONG cellHeight() const { return cellHeight_; }
    LONG pixelWidth() const { return pixelWidth_; }
    LONG pixelHeight() const { return pixelHeight_; }
    // The rows x columns cells, without the terminating zero.
    std::string_view frame() const { return std::string_view(text_).substr(0, CellCount()); }
    // The same cells as code points.
    std::u32string_view cells() const { return cells_; }

private:
    HRESULT Answer(LONG field, LONG* value) const;
    // Where `length` cells written at `column` land in `row`: the first cell's index, how many
    // are skipped at the left edge and how many fit; none when nothing does.
    struct Span {
        std::size_t at, skip, count;
    };
    std::optional<Span> Place(LONG column, LONG row, std::size_t length) const;
    std::size_t CellCount() const { return static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_); }

    LONG columns_ = 0;
    LONG rows_ = 0;
    LONG cellWidth_ = 0;
    LONG cellHeight_ = 0;
    LONG pixelWidth_ = 0;
    LONG pixelHeight_ = 0;
    std::atomic<ULONG> references_{0};
    std::string text_; // cells + 2 bytes, the first of them zero
    std::u32string cells_; // cells, as text_ without its end
    bool initialized_ = false;
};

// Conversions between a frame's cells (one code point a cell) and its text forms. Malformed
// UTF-8 or UTF-16 is a U+FFFD cell.
std::u32string CellsOfUtf8(std::string_view utf8);
std::u32string CellsOfAnsi(std::string_view ansi);
std::u16string Utf16OfCells(std::u32string_view cells);
std::string Utf8OfCells(std::u32string_view cells);
// One byte a cell: codes below 0x20 as they are, a character outside Windows-1252 as '?'.
std::string AnsiOfCells(std::u32string_view cells);

} // namespace pixtera
