// SPDX-License-Identifier: MIT
#pragma once
// The text canvas of one frame: rows x columns single bytes of Windows-1252, row after row.
// It is embedded in its owner, so Release never destroys it.

#include <pixtera/virtual_display_interface.h>

#include <atomic>
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

    LONG columns() const { return columns_; }
    LONG rows() const { return rows_; }
    LONG cellWidth() const { return cellWidth_; }
    LONG cellHeight() const { return cellHeight_; }
    LONG pixelWidth() const { return pixelWidth_; }
    LONG pixelHeight() const { return pixelHeight_; }
    // The rows x columns cells, without the terminating zero.
    std::string_view frame() const { return std::string_view(text_).substr(0, CellCount()); }

private:
    HRESULT Answer(LONG field, LONG* value) const;
    std::size_t CellCount() const { return static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_); }

    LONG columns_ = 0;
    LONG rows_ = 0;
    LONG cellWidth_ = 0;
    LONG cellHeight_ = 0;
    LONG pixelWidth_ = 0;
    LONG pixelHeight_ = 0;
    std::atomic<ULONG> references_{0};
    std::string text_; // cells + 2 bytes, the first of them zero
    bool initialized_ = false;
};

} // namespace pixtera
