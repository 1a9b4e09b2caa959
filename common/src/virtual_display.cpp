// SPDX-License-Identifier: MIT
#include <pixtera/virtual_display.h>

#include <pixtera/platform/codepage.h>

namespace pixtera {

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
    const std::u16string wide = AnsiToUtf16(this->frame());
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
    initialized_ = true;
    return Clear();
}

HRESULT VirtualDisplay::Clear()
{
    if (!initialized_)
        return E_FAIL;
    std::fill(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(CellCount()), ' ');
    text_[CellCount()] = '\0';
    return S_OK;
}

void VirtualDisplay::WriteAnsi(LONG column, LONG row, std::string_view ansi)
{
    if (!initialized_ || row < 0 || row >= rows_)
        return;
    // Characters left of column 0 are dropped, as are those beyond the right edge.
    long long first = column;
    std::size_t skip = 0;
    if (first < 0) {
        skip = static_cast<std::size_t>(-first);
        if (skip >= ansi.size())
            return;
        first = 0;
    }
    if (first >= columns_)
        return;
    const std::size_t room = static_cast<std::size_t>(columns_ - first);
    const std::size_t count = std::min(room, ansi.size() - skip);
    text_.replace(static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(first),
                  count, ansi.substr(skip, count));
}

HRESULT VirtualDisplay::WriteText(LONG column, LONG row, BSTR text)
{
    if (!initialized_)
        return E_FAIL;
    WriteAnsi(column, row, Utf16ToAnsi(BstrView(text)));
    return S_OK;
}

} // namespace pixtera
