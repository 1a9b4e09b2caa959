// SPDX-License-Identifier: MIT
#pragma once
// The canvas widget: shows what the painter paints and reports the pointer in display cells.

#include "canvas_painter.h"
#include "menu_walk.h"

#include <pixtera/platform/types.h>

#include <QImage>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>

namespace pixtera::designer {

class PreviewWidget : public QWidget {
    Q_OBJECT
public:
    explicit PreviewWidget(CanvasPainter& painter, QWidget* parent = nullptr);

    // Shows a new frame; repaints only when it or the highlight changed.
    void ShowFrame(std::u32string_view cells, bool highlightChanged);
    // Repaints everything (colours, size or background changed).
    void Refresh() { update(); }

    bool overDisplay() const { return overDisplay_; }
    std::optional<Cell> hoveredCell() const { return hovered_; }
    // The display's keys (the arrows, Enter, Escape) walk `menu` as the display would show it,
    // instead of editing the design; none gives them back to the design.
    void PreviewMenu(const Menu* menu);
    const MenuWalk* menuWalk() const { return walk_.get(); }
    // The design's frame, the frame shown (a menu's over it), and the painted image, for tests
    // and screenshots.
    std::string_view frame() const { return frame_; } // in Windows-1252
    std::string shownFrame() const;
    const QImage& image() const { return image_; }
    // Paints into the image now, without waiting for the window system.
    void PaintNow();
    // Where a popup for the selected item opens (below it), or the display's top left without
    // one; in the widget's coordinates.
    QPoint PopupPosition() const;

signals:
    void cellEntered(pixtera::designer::Cell cell); // the pointer reached another cell
    void displayEntered();
    void displayLeft();
    void pressed();
    void released();
    void doubleClicked();
    void contextMenuAt(QPoint globalPosition); // a right click
    void menuKeyPressed(); // the Menu key or Shift+F10: the popup, for the selected item
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
    void resized();
    // A data item from the data panel is dragged over the canvas, dropped, or taken away again.
    void dataDragEntered(LONG id);
    void dataDropped();
    void dataDragLeft();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Tab and Shift+Tab select items instead of moving the focus (Ctrl+Tab and F6 move it).
    bool focusNextPrevChild(bool) override { return false; }

private:
    void Track(QPoint position);
    // A display key to the menu walk; false when the key is none of the display's.
    bool WalkKey(const QKeyEvent& event);
    // A walk made for the display's size when that changed.
    void FitWalk();

    CanvasPainter& painter_;
    QImage image_;
    std::u32string cells_;
    std::string frame_; // cells_ in Windows-1252
    std::optional<Cell> hovered_;
    bool overDisplay_ = false;
    std::unique_ptr<MenuWalk> walk_;
    QTimer doneShown_; // how long a done action's label stays
};

} // namespace pixtera::designer
