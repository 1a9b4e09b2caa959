// SPDX-License-Identifier: MIT
#pragma once
// Editing items on the canvas with the pointer: selecting, moving, resizing, placing new items,
// the popup's settings and deleting. The widget turns mouse events into these calls.

#include "canvas_painter.h"
#include "design_document.h"

#include <optional>
#include <string>

namespace pixtera::designer {

enum class PointerMode { None = 0, Placing = 1, Resizing = 2, Moving = 3 };

class ItemEditor {
public:
    explicit ItemEditor(DesignDocument& document) : document_(document) {}

    std::optional<std::size_t> selection() const { return selection_; }
    DisplayItem* selected();
    PointerMode mode() const { return mode_; }
    // The selected item's box (or the single cell of an item being placed).
    std::optional<CellBox> Highlight() const;

    // Forgets the selection (a new or opened design).
    void Reset();
    // Selects the item after (or before) the selected one, the first (or last) when none,
    // skipping deleted ones.
    void SelectNext();
    void SelectPrevious();
    // Selects the topmost item at the cell (true), or none.
    bool Select(Cell cell);
    void Deselect() { selection_.reset(); }
    // Forgets a selection that no longer exists (after an undo).
    void Revalidate();

    // Left button down on a cell: selects the topmost item there and starts moving it (true), or
    // clears the selection.
    bool Press(Cell cell);
    // The pointer reached a new cell while a mode is active.
    void MoveTo(Cell cell);
    // The button went up; a new item released outside the display is discarded.
    void Release(bool overDisplay);

    // An item from the data panel, placed from now on until the button goes up.
    void StartPlacing(DisplayItem item);
    void StartMoving(Cell grab);
    void StartResizing();

    // Double-click: the selected static text's text to edit, if there is one.
    std::optional<std::string> TextToEdit() const;
    // Replaces the selected static text's text (the width stays).
    void ReplaceText(const std::string& text);
    // Adds a static text at the cell; an empty text adds nothing.
    bool AddText(Cell cell, const std::string& text, DWORD now);

    // Marks the selected item deleted and forgets the selection; false without one.
    bool DeleteSelected();

private:
    void Touch() { document_.SetModified(true); }

    DesignDocument& document_;
    std::optional<std::size_t> selection_;
    PointerMode mode_ = PointerMode::None;
    Cell grab_;
    LONG grabColumn_ = 0; // the item's column when it was grabbed
};

} // namespace pixtera::designer
