// SPDX-License-Identifier: MIT
#include <pixtera/virtual_display.h>

#include <pixtera/platform/codepage.h>
#include <pixtera/sdk/unicode_frame.h>

namespace pixtera {

std::u32string CellsOfUtf8(std::string_view utf8)
{
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return lcd::FrameCells(utf16, utf16.size());
}

std::u32string CellsOfAnsi(std::string_view ansi)
{
    // Byte for byte: the converter keeps codes below 0x20 and maps the rest one to one.
    const std::u16string utf16 = AnsiToUtf16(ansi);
    return std::u32string(utf16.begin(), utf16.end());
}

std::u16string Utf16OfCells(std::u32string_view cells)
{
    std::u16string utf16;
    utf16.reserve(cells.size());
    for (char32_t c : cells) {
        if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000))
            c = lcd::kReplacementCharacter;
        if (c < 0x10000) {
            utf16 += static_cast<char16_t>(c);
        } else {
            utf16 += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            utf16 += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return utf16;
}

std::string Utf8OfCells(std::u32string_view cells) { return Utf16ToUtf8(Utf16OfCells(cells)); }

std::string AnsiOfCells(std::u32string_view cells)
{
    // A surrogate pair is one character to the converter: still one byte a cell.
    return Utf16ToAnsi(Utf16OfCells(cells));
}

HRESULT VirtualDisplay::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid != IID_IUnknown && riid != IID_IVirtualDisplay)
        return E_NOINTERFACE;
    *object = static_cast<IVirtualDisplay*>(this);
    AddRef();
    return S_OK;
}

HRESULT VirtualDisplay::Answer(LONG field, LONG* value) const
{
    if (!value)
        return E_POINTER;
    if (!initialized_)
        return E_FAIL;
    *value = field;
    return S_OK;
}

HRESULT VirtualDisplay::GetCharWidth(LONG* pixels) { return Answer(cellWidth_, pixels); }
HRESULT VirtualDisplay::GetCharHeight(LONG* pixels) { return Answer(cellHeight_, pixels); }
HRESULT VirtualDisplay::GetColumns(LONG* columns) { return Answer(columns_, columns); }
HRESULT VirtualDisplay::GetRows(LONG* rows) { return Answer(rows_, rows); }

HRESULT VirtualDisplay::GetText(BSTR* frame)
{
    if (!frame)
        return E_POINTER;
    *frame = nullptr;
    if (!initialized_)
        return E_FAIL;
    const std::u16string wide = Utf16OfCells(cells_);
    *frame = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *frame ? S_OK : E_OUTOFMEMORY;
}

HRESULT VirtualDisplay::Initialize(LONG columns, LONG rows, LONG cellWidth, LONG cellHeight)
{
    if (columns < 0 || rows < 0 || columns > kMaxColumns || rows > kMaxColumns ||
        static_cast<long long>(columns) * rows > kMaxCells)
        return E_INVALIDARG;
    columns_ = columns;
    rows_ = rows;
    cellWidth_ = cellWidth;
    cellHeight_ = cellHeight;
    pixelWidth_ = columns * cellWidth;
    pixelHeight_ = rows * cellHeight;
    text_.assign(CellCount() + 2, '\0');
    cells_.assign(CellCount(), U' ');
    initialized_ = true;
    return Clear();
}

HRESULT VirtualDisplay::Clear()
{
    if (!initialized_)
        return E_FAIL;
    std::fill(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(CellCount()), ' ');
    text_[CellCount()] = '\0';
    std::fill(cells_.begin(), cells_.end(), U' ');
    return S_OK;
}

std::optional<VirtualDisplay::Span> VirtualDisplay::Place(LONG column, LONG row, std::size_t length) const
{
    if (!initialized_ || row < 0 || row >= rows_)
        return std::nullopt;
    // Characters left of column 0 are dropped, as are those beyond the right edge.
    long long first = column;
    std::size_t skip = 0;
    if (first < 0) {
        skip = static_cast<std::size_t>(-first);
        if (skip >= length)
            return std::nullopt;
        first = 0;
    }
    if (first >= columns_)
        return std::nullopt;
    const std::size_t room = static_cast<std::size_t>(columns_ - first);
    const std::size_t at =
        static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(first);
    return Span{at, skip, std::min(room, length - skip)};
}

void VirtualDisplay::WriteAnsi(LONG column, LONG row, std::string_view ansi)
{
    const auto span = Place(column, row, ansi.size());
    if (!span)
        return;
    const std::string_view written = ansi.substr(span->skip, span->count);
    text_.replace(span->at, span->count, written);
    cells_.replace(span->at, span->count, CellsOfAnsi(written));
}

void VirtualDisplay::WriteCells(LONG column, LONG row, std::u32string_view cells)
{
    const auto span = Place(column, row, cells.size());
    if (!span)
        return;
    const std::u32string_view written = cells.substr(span->skip, span->count);
    cells_.replace(span->at, span->count, written);
    text_.replace(span->at, span->count, AnsiOfCells(written));
}

HRESULT VirtualDisplay::WriteText(LONG column, LONG row, BSTR text)
{
    if (!initialized_)
        return E_FAIL;
    const std::u16string_view utf16 = BstrView(text);
    WriteCells(column, row, lcd::FrameCells(utf16, utf16.size()));
    return S_OK;
}

} // namespace pixtera
