// SPDX-License-Identifier: MIT
#pragma once
// IDisplayDriver's geometry for any character display: the grid and the size of a cell, set from
// the configuration and answered from any thread. A driver derives from CharacterGridDriver,
// lists it in ComObject in place of IDisplayDriver, and implements SetCustomChar and Write.

#include <pixtera/sdk/configuration_text.h>
#include <pixtera/sdk/display_driver.h>
#include <pixtera/sdk/out_parameter.h>

#include <atomic>

namespace pixtera {

struct CharacterGrid {
    LONG columns = 20;
    LONG rows = 4;
    LONG cellWidth = 5;
    LONG cellHeight = 8;
};

// The fields "columns", "rows" and (for displays whose cells vary) "cellwidth" and "cellheight";
// one that is there but unusable keeps its default and sets `invalid`.
inline CharacterGrid ReadCharacterGrid(const ConfigurationText& fields, LONG maxColumns, bool* invalid,
                                       bool withCellSize = true)
{
    CharacterGrid grid;
    grid.columns = fields.Number("columns", 1, maxColumns, invalid).value_or(grid.columns);
    grid.rows = fields.Number("rows", 1, 64, invalid).value_or(grid.rows);
    if (withCellSize) {
        grid.cellWidth = fields.Number("cellwidth", 1, 64, invalid).value_or(grid.cellWidth);
        grid.cellHeight = fields.Number("cellheight", 1, 64, invalid).value_or(grid.cellHeight);
    }
    return grid;
}

class CharacterGridDriver : public IDisplayDriver {
public:
    HRESULT STDMETHODCALLTYPE GetColumns(LONG* v) override { return Output(v, columns_.load()); }
    HRESULT STDMETHODCALLTYPE GetRows(LONG* v) override { return Output(v, rows_.load()); }
    HRESULT STDMETHODCALLTYPE GetCharWidth(LONG* v) override { return Output(v, cellWidth_.load()); }
    HRESULT STDMETHODCALLTYPE GetCharHeight(LONG* v) override { return Output(v, cellHeight_.load()); }
    HRESULT STDMETHODCALLTYPE GetPixelWidth(LONG* v) override { return Output(v, columns_ * cellWidth_); }
    HRESULT STDMETHODCALLTYPE GetPixelHeight(LONG* v) override { return Output(v, rows_ * cellHeight_); }
    // A character module has no backdrop; a driver that draws one says so.
    HRESULT STDMETHODCALLTYPE SetBackground(BSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Reserved() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LoaderQuery(LONG* v) override { return Output(v, 0); }

    CharacterGrid Grid() const { return {columns_, rows_, cellWidth_, cellHeight_}; }

protected:
    void SetGrid(const CharacterGrid& grid)
    {
        columns_ = grid.columns;
        rows_ = grid.rows;
        cellWidth_ = grid.cellWidth;
        cellHeight_ = grid.cellHeight;
    }

private:
    std::atomic<LONG> columns_{CharacterGrid{}.columns};
    std::atomic<LONG> rows_{CharacterGrid{}.rows};
    std::atomic<LONG> cellWidth_{CharacterGrid{}.cellWidth};
    std::atomic<LONG> cellHeight_{CharacterGrid{}.cellHeight};
};

} // namespace pixtera

template <>
struct InterfaceTraits<pixtera::CharacterGridDriver> : InterfaceTraits<IDisplayDriver> {
};
