// SPDX-License-Identifier: MIT
#include "item_editor.h"

#include <pixtera/virtual_display.h>

#include <algorithm>

namespace pixtera::designer {

DisplayItem* ItemEditor::selected()
{
    if (!selection_ || *selection_ >= document_.design().items.size())
        return nullptr;
    return &document_.design().items[*selection_];
}

std::optional<CellBox> ItemEditor::Highlight() const
{
    if (!selection_ || *selection_ >= document_.design().items.size())
        return std::nullopt;
    const DisplayItem& item = document_.design().items[*selection_];
    if (mode_ == PointerMode::Placing)
        return CellBox{item.column, item.row, 1, 1};
    return CellBox{item.column, item.row, item.width, item.height};
}

void ItemEditor::Reset()
{
    selection_.reset();
    mode_ = PointerMode::None;
}

void ItemEditor::SelectNext()
{
    const auto& items = document_.design().items;
    const std::size_t count = items.size();
    const std::size_t start = selection_ ? *selection_ + 1 : 0;
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t i = (start + step) % count;
        if (!items[i].deleted) {
            selection_ = i;
            return;
        }
    }
    selection_.reset();
}

void ItemEditor::SelectPrevious()
{
    const auto& items = document_.design().items;
    const std::size_t count = items.size();
    const std::size_t start = selection_ ? *selection_ + count - 1 : count - 1;
    for (std::size_t step = 0; step < count; ++step) {
        const std::size_t i = (start + count - step) % count;
        if (!items[i].deleted) {
            selection_ = i;
            return;
        }
    }
    selection_.reset();
}

bool ItemEditor::Select(Cell cell)
{
    const auto& items = document_.design().items;
    selection_.reset();
    for (std::size_t i = items.size(); i-- > 0;) {
        const DisplayItem& item = items[i];
        if (!item.deleted && CellBox{item.column, item.row, item.width, item.height}.Contains(cell.column, cell.row)) {
            selection_ = i;
            return true;
        }
    }
    return false;
}

void ItemEditor::Revalidate()
{
    if (selection_ && (*selection_ >= document_.design().items.size() || document_.design().items[*selection_].deleted))
        selection_.reset();
}

bool ItemEditor::Press(Cell cell)
{
    if (!Select(cell))
        return false;
    StartMoving(cell);
    return true;
}

void ItemEditor::StartMoving(Cell grab)
{
    if (!selected())
        return;
    grab_ = grab;
    grabColumn_ = selected()->column;
    mode_ = PointerMode::Moving;
}

void ItemEditor::StartResizing()
{
    if (selected())
        mode_ = PointerMode::Resizing;
}

void ItemEditor::StartPlacing(DisplayItem item)
{
    item.row = -1; // nowhere until the pointer is over the display
    document_.design().items.push_back(std::move(item));
    selection_ = document_.design().items.size() - 1;
    mode_ = PointerMode::Placing;
}

void ItemEditor::MoveTo(Cell cell)
{
    DisplayItem* item = selected();
    if (!item)
        return;
    switch (mode_) {
    case PointerMode::Moving:
        item->column = std::max(0, cell.column + (grabColumn_ - grab_.column));
        item->row = cell.row;
        break;
    case PointerMode::Resizing: item->width = std::max(1, cell.column - item->column + 1); break;
    case PointerMode::Placing:
        item->column = cell.column;
        item->row = cell.row;
        break;
    case PointerMode::None: return;
    }
    Touch();
}

void ItemEditor::Release(bool overDisplay)
{
    if (mode_ == PointerMode::Placing && !overDisplay && selection_) {
        auto& items = document_.design().items;
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(*selection_));
        selection_.reset();
    }
    mode_ = PointerMode::None;
}

std::optional<std::string> ItemEditor::TextToEdit() const
{
    if (!selection_ || *selection_ >= document_.design().items.size())
        return std::nullopt;
    const DisplayItem& item = document_.design().items[*selection_];
    if (item.source != kSourceStaticText)
        return std::nullopt;
    return item.text.value_or("");
}

void ItemEditor::ReplaceText(const std::string& text)
{
    if (DisplayItem* item = selected(); item && item->source == kSourceStaticText) {
        item->text = text;
        Touch();
    }
}

bool ItemEditor::AddText(Cell cell, const std::string& text, DWORD now)
{
    if (text.empty())
        return false;
    DisplayItem item;
    item.source = kSourceStaticText;
    item.text = text;
    item.width = static_cast<LONG>(CellsOfUtf8(text).size()); // cells, not bytes
    item.height = 1;
    item.column = cell.column;
    item.row = cell.row;
    item.scrollDelay = 200;
    item.scrollStart = now;
    document_.design().items.push_back(std::move(item));
    Touch();
    return true;
}

bool ItemEditor::DeleteSelected()
{
    DisplayItem* item = selected();
    if (!item)
        return false;
    item->deleted = true;
    selection_.reset();
    mode_ = PointerMode::None;
    Touch();
    return true;
}

} // namespace pixtera::designer
