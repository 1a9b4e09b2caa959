// SPDX-License-Identifier: MIT
#include "canvas_interaction.h"

#include "command_ids.h"
#include "data_item_factory.h"
#include "preview_widget.h"
#include "service_objects.h"

#include <pixtera/platform/tick_count.h>

#include <algorithm>

namespace pixtera::designer {
namespace {

constexpr LONG kMaxWidth = 255;

QString StepName(PointerMode mode)
{
    switch (mode) {
    case PointerMode::Placing: return QStringLiteral("Add data item");
    case PointerMode::Resizing: return QStringLiteral("Resize");
    default: return QStringLiteral("Move");
    }
}

} // namespace

CanvasInteraction::CanvasInteraction(PreviewWidget& canvas, Workspace& workspace, QObject* parent)
    : QObject(parent), canvas_(canvas), workspace_(workspace), editor_(workspace.editor())
{
    // However a gesture ended (a click, Escape, or a command that ended it), the mouse is free.
    connect(&workspace_, &Workspace::changed, this, [this](Workspace::Changes what) {
        if ((what & Workspace::Gesture) && QWidget::mouseGrabber() == &canvas_)
            canvas_.releaseMouse();
    });
    connect(&canvas_, &PreviewWidget::cellEntered, this, &CanvasInteraction::OnCellEntered);
    connect(&canvas_, &PreviewWidget::pressed, this, &CanvasInteraction::OnPressed);
    connect(&canvas_, &PreviewWidget::released, this, &CanvasInteraction::OnReleased);
    connect(&canvas_, &PreviewWidget::doubleClicked, this, &CanvasInteraction::OnDoubleClicked);
    connect(&canvas_, &PreviewWidget::keyPressed, this, &CanvasInteraction::OnKey);
    connect(&canvas_, &PreviewWidget::dataDragEntered, this, &CanvasInteraction::OnDataDragEntered);
    connect(&canvas_, &PreviewWidget::dataDropped, this, [this] { EndPointerMode(canvas_.overDisplay()); });
    connect(&canvas_, &PreviewWidget::dataDragLeft, this, &CanvasInteraction::OnDataDragLeft);
}

void CanvasInteraction::StartMove()
{
    if (!editor_.selected() || !canvas_.hoveredCell())
        return;
    workspace_.BeginGesture();
    editor_.StartMoving(*canvas_.hoveredCell());
    canvas_.grabMouse();
}

void CanvasInteraction::StartResize()
{
    if (!editor_.selected())
        return;
    workspace_.BeginGesture();
    editor_.StartResizing();
    canvas_.grabMouse();
}

void CanvasInteraction::SelectUnderPointer()
{
    if (editor_.mode() != PointerMode::None)
        return; // the item being moved or resized stays the one
    const auto before = editor_.selection();
    const auto cell = canvas_.overDisplay() ? canvas_.hoveredCell() : std::nullopt;
    if (!cell || !editor_.Select(*cell))
        editor_.Deselect();
    if (editor_.selection() != before)
        workspace_.Refresh();
}

void CanvasInteraction::AddDataItem(LONG id)
{
    if (editor_.mode() != PointerMode::None || !StartPlacing(id))
        return;
    editor_.MoveTo({0, 0});
    EndPointerMode(true);
    canvas_.setFocus(Qt::OtherFocusReason);
}

void CanvasInteraction::OnCellEntered(Cell cell)
{
    if (editor_.mode() == PointerMode::None)
        return;
    editor_.MoveTo(cell);
    workspace_.Refresh();
}

void CanvasInteraction::OnPressed()
{
    if (editor_.mode() != PointerMode::None || !canvas_.overDisplay() || !canvas_.hoveredCell())
        return;
    workspace_.BeginGesture();
    if (!editor_.Press(*canvas_.hoveredCell()))
        workspace_.CommitGesture({}); // nothing grabbed: no step
    else
        workspace_.Refresh();
}

void CanvasInteraction::OnReleased()
{
    if (editor_.mode() == PointerMode::None || editor_.mode() == PointerMode::Placing)
        return;
    EndPointerMode(canvas_.overDisplay());
}

void CanvasInteraction::EndPointerMode(bool overDisplay)
{
    const PointerMode mode = editor_.mode();
    if (mode == PointerMode::None)
        return;
    editor_.Release(overDisplay);
    workspace_.CommitGesture(StepName(mode));
}

void CanvasInteraction::OnDoubleClicked()
{
    if (canvas_.overDisplay() && canvas_.hoveredCell())
        EditOrAddText(*canvas_.hoveredCell());
}

void CanvasInteraction::EditOrAddText(Cell cell)
{
    if (editor_.selection()) {
        const auto text = editor_.TextToEdit();
        if (!text)
            return;
        if (const auto entered = workspace_.prompts().AskText(*text))
            workspace_.document().history().Edit(QStringLiteral("Edit text"), [&] { editor_.ReplaceText(*entered); });
    } else if (const auto entered = workspace_.prompts().AskText("")) {
        workspace_.document().history().Edit(QStringLiteral("Add text"),
                                             [&] { editor_.AddText(cell, *entered, GetTickCount()); });
    }
}

bool CanvasInteraction::StartPlacing(LONG id)
{
    ServiceObjects* service = workspace_.service().objects();
    if (!service)
        return false;
    try {
        DisplayItem item = MakeDataItem(service->data(), id, GetTickCount());
        workspace_.BeginGesture();
        editor_.StartPlacing(std::move(item));
        return true;
    } catch (const ServiceError& error) {
        workspace_.ReportFailure(error.what());
        return false;
    }
}

void CanvasInteraction::OnDataDragEntered(LONG id)
{
    if (editor_.mode() == PointerMode::None)
        StartPlacing(id);
}

void CanvasInteraction::OnDataDragLeft()
{
    if (editor_.mode() == PointerMode::Placing)
        EndPointerMode(false); // taken away again: discarded
}

void CanvasInteraction::OnKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (key == Qt::Key_Escape && editor_.mode() != PointerMode::None) {
        editor_.Release(editor_.mode() != PointerMode::Placing);
        workspace_.CancelGesture(); // back to where the item was, or without the new one
        return;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        if (key == Qt::Key_Tab)
            editor_.SelectNext();
        else
            editor_.SelectPrevious();
        workspace_.Refresh();
        return;
    }
    if (editor_.mode() != PointerMode::None)
        return;
    const bool shift = modifiers & Qt::ShiftModifier;
    switch (key) {
    case Qt::Key_Delete: workspace_.Command(kDelete); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        if (editor_.selection())
            EditOrAddText({}); // the selected text
        return;
    case Qt::Key_Insert: {
        // A new text at the top left, selected for the arrow keys.
        editor_.Deselect();
        const std::size_t before = workspace_.document().design().items.size();
        EditOrAddText({0, 0});
        if (workspace_.document().design().items.size() > before) {
            editor_.SelectPrevious();
            workspace_.Refresh();
        }
        return;
    }
    case Qt::Key_Left:
        if (shift)
            return workspace_.ChangeSelected(QStringLiteral("Resize"),
                                             [](DisplayItem& i) { i.width = std::max<LONG>(1, i.width - 1); });
        return workspace_.ChangeSelected(QStringLiteral("Move"),
                                         [](DisplayItem& i) { i.column = std::max<LONG>(0, i.column - 1); });
    case Qt::Key_Right:
        if (shift)
            return workspace_.ChangeSelected(QStringLiteral("Resize"),
                                             [](DisplayItem& i) { i.width = std::min(kMaxWidth, i.width + 1); });
        return workspace_.ChangeSelected(QStringLiteral("Move"), [](DisplayItem& i) { ++i.column; });
    case Qt::Key_Up:
        return workspace_.ChangeSelected(QStringLiteral("Move"),
                                         [](DisplayItem& i) { i.row = std::max<LONG>(0, i.row - 1); });
    case Qt::Key_Down: return workspace_.ChangeSelected(QStringLiteral("Move"), [](DisplayItem& i) { ++i.row; });
    default: return;
    }
}

} // namespace pixtera::designer
