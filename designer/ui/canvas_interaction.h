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
    // A right click: the item under the pointer becomes the selected one (none off the items),
    // which the popup then acts on.
    void SelectUnderPointer();
    // A data item added from the keyboard (the data panel's Enter or Insert): at the display's
    // top left, selected, for the arrow keys to move.
    void AddDataItem(LONG id);

private:
    void OnCellEntered(Cell cell);
    void OnPressed();
    void OnReleased();
    void OnDoubleClicked();
    // Edits the selected static text, or adds one at `cell` without a selection.
    void EditOrAddText(Cell cell);
    // Makes a data item to place, one undo step from now; none (said) when the service fails.
    bool StartPlacing(LONG id);
    void OnKey(int key, Qt::KeyboardModifiers modifiers);
    void OnDataDragEntered(LONG id);
    void OnDataDragLeft();
    void EndPointerMode(bool overDisplay);

    PreviewWidget& canvas_;
    Workspace& workspace_;
    ItemEditor& editor_;
};

} // namespace pixtera::designer
