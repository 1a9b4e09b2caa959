// SPDX-License-Identifier: MIT
#pragma once
// What the pointer and the keyboard do on the canvas: selecting, dragging, placing dropped data
// items, texts and keyboard moves. The workspace makes each change one undo step.

#include "workspace.h"

#include <QObject>

#include <functional>

namespace pixtera::designer {

class PreviewWidget;

class CanvasInteraction : public QObject {
    Q_OBJECT
public:
    CanvasInteraction(PreviewWidget& canvas, Workspace& workspace, QObject* parent = nullptr);

    // The popup's Move and Resize: the item follows the pointer until a click.
    void StartMove();
    void StartResize();

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
    Workspace& workspace_;
    ItemEditor& editor_;
};

} // namespace pixtera::designer
