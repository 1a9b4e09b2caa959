#pragma once
// What the pointer and the keyboard do on the canvas: selecting, dragging, placing dropped data
// items, texts, the popup's settings and keyboard moves. Every change to the design is one undo
// step.

#include "document_history.h"
#include "item_editor.h"
#include "user_prompts.h"

#include <pixtera/service_interfaces.h>

#include <QObject>

#include <functional>

namespace pixtera::designer {

class PreviewWidget;

class CanvasInteraction : public QObject {
    Q_OBJECT
public:
    // `data` gives the service's data items, or none without a service.
    CanvasInteraction(PreviewWidget& canvas, ItemEditor& editor, DocumentHistory& history, UserPrompts& prompts,
                      std::function<IDataCollection*()> data, QObject* parent = nullptr);

    // One undo step named `text` for a change of the selected item; nothing without a selection.
    void ChangeSelected(const QString& text, const std::function<void(DisplayItem&)>& change);
    void DeleteSelected();
    void StartMove();
    void StartResize();

signals:
    // The design or the selection changed: render and show the selection's properties.
    void edited();
    void failed(const QString& message);

private:
    void OnCellEntered(Cell cell);
    void OnPressed();
    void OnReleased();
    void OnDoubleClicked();
    void OnKey(int key, Qt::KeyboardModifiers modifiers);
    void OnDataDragEntered(LONG id);
    void OnDataDragLeft();
    void EndPointerMode(bool overDisplay);

    PreviewWidget& canvas_;
    ItemEditor& editor_;
    DocumentHistory& history_;
    UserPrompts& prompts_;
    std::function<IDataCollection*()> data_;
};

} // namespace pixtera::designer
