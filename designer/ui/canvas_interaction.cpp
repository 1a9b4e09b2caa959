#include "canvas_interaction.h"

#include "data_item_factory.h"
#include "preview_widget.h"
#include "service_session.h"

#include <pixtera/platform/tick_count.h>

#include <algorithm>

namespace pixtera::designer {
namespace {

constexpr LONG kMaxWidth = 255;

QString StepName(PointerMode mode)
{
    switch (mode) {
    case PointerMode::Placing:
        return QStringLiteral("Add data item");
    case PointerMode::Resizing:
        return QStringLiteral("Resize");
    default:
        return QStringLiteral("Move");
    }
}

} // namespace

CanvasInteraction::CanvasInteraction(PreviewWidget& canvas, ItemEditor& editor, DocumentHistory& history,
                                     UserPrompts& prompts, std::function<IDataCollection*()> data, QObject* parent)
    : QObject(parent), canvas_(canvas), editor_(editor), history_(history), prompts_(prompts), data_(std::move(data))
{
    connect(&canvas_, &PreviewWidget::cellEntered, this, &CanvasInteraction::OnCellEntered);
    connect(&canvas_, &PreviewWidget::pressed, this, &CanvasInteraction::OnPressed);
    connect(&canvas_, &PreviewWidget::released, this, &CanvasInteraction::OnReleased);
    connect(&canvas_, &PreviewWidget::doubleClicked, this, &CanvasInteraction::OnDoubleClicked);
    connect(&canvas_, &PreviewWidget::keyPressed, this, &CanvasInteraction::OnKey);
    connect(&canvas_, &PreviewWidget::dataDragEntered, this, &CanvasInteraction::OnDataDragEntered);
    connect(&canvas_, &PreviewWidget::dataDropped, this, [this] { EndPointerMode(canvas_.overDisplay()); });
    connect(&canvas_, &PreviewWidget::dataDragLeft, this, &CanvasInteraction::OnDataDragLeft);
}

void CanvasInteraction::ChangeSelected(const QString& text, const std::function<void(DisplayItem&)>& change)
{
    DisplayItem* item = editor_.selected();
    if (!item)
        return;
    history_.Edit(text, [&] { change(*item); });
    emit edited();
}

void CanvasInteraction::DeleteSelected()
{
    if (!editor_.selected())
        return;
    history_.Edit(QStringLiteral("Delete"), [this] { editor_.DeleteSelected(); });
    emit edited();
}

void CanvasInteraction::StartMove()
{
    if (!editor_.selected() || !canvas_.hoveredCell())
        return;
    history_.Begin();
    editor_.StartMoving(*canvas_.hoveredCell());
    canvas_.grabMouse();
}

void CanvasInteraction::StartResize()
{
    if (!editor_.selected())
        return;
    history_.Begin();
    editor_.StartResizing();
    canvas_.grabMouse();
}

void CanvasInteraction::OnCellEntered(Cell cell)
{
    if (editor_.mode() == PointerMode::None)
        return;
    editor_.MoveTo(cell);
    emit edited();
}

void CanvasInteraction::OnPressed()
{
    if (editor_.mode() != PointerMode::None || !canvas_.overDisplay() || !canvas_.hoveredCell())
        return;
    history_.Begin();
    if (!editor_.Press(*canvas_.hoveredCell()))
        history_.Commit({}); // nothing grabbed: no step
    emit edited();
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
    canvas_.releaseMouse();
    history_.Commit(StepName(mode));
    emit edited();
}

void CanvasInteraction::OnDoubleClicked()
{
    if (!canvas_.overDisplay() || !canvas_.hoveredCell())
        return;
    if (editor_.selection()) {
        const auto text = editor_.TextToEdit();
        if (!text)
            return;
        if (const auto entered = prompts_.AskText(*text))
            history_.Edit(QStringLiteral("Edit text"), [&] { editor_.ReplaceText(*entered); });
    } else if (const auto entered = prompts_.AskText("")) {
        history_.Edit(QStringLiteral("Add text"),
                      [&] { editor_.AddText(*canvas_.hoveredCell(), *entered, GetTickCount()); });
    }
    emit edited();
}

void CanvasInteraction::OnDataDragEntered(LONG id)
{
    IDataCollection* data = data_ ? data_() : nullptr;
    if (!data || editor_.mode() != PointerMode::None)
        return;
    try {
        DisplayItem item = MakeDataItem(*data, id, GetTickCount());
        history_.Begin();
        editor_.StartPlacing(std::move(item));
    } catch (const ServiceError& error) {
        emit failed(QString::fromStdString(error.what()));
    }
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
        canvas_.releaseMouse();
        history_.Cancel(); // back to where the item was, or without the new one
        emit edited();
        return;
    }
    if (key == Qt::Key_Tab) {
        editor_.SelectNext();
        emit edited();
        return;
    }
    if (editor_.mode() != PointerMode::None)
        return;
    const bool shift = modifiers & Qt::ShiftModifier;
    switch (key) {
    case Qt::Key_Delete:
        return DeleteSelected();
    case Qt::Key_Left:
        if (shift)
            return ChangeSelected(QStringLiteral("Resize"), [](DisplayItem& i) { i.width = std::max<LONG>(1, i.width - 1); });
        return ChangeSelected(QStringLiteral("Move"), [](DisplayItem& i) { i.column = std::max<LONG>(0, i.column - 1); });
    case Qt::Key_Right:
        if (shift)
            return ChangeSelected(QStringLiteral("Resize"), [](DisplayItem& i) { i.width = std::min(kMaxWidth, i.width + 1); });
        return ChangeSelected(QStringLiteral("Move"), [](DisplayItem& i) { ++i.column; });
    case Qt::Key_Up:
        return ChangeSelected(QStringLiteral("Move"), [](DisplayItem& i) { i.row = std::max<LONG>(0, i.row - 1); });
    case Qt::Key_Down:
        return ChangeSelected(QStringLiteral("Move"), [](DisplayItem& i) { ++i.row; });
    default:
        return;
    }
}

} // namespace pixtera::designer
