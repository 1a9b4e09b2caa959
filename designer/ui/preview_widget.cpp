// SPDX-License-Identifier: MIT
#include "preview_widget.h"

#include "data_panel.h"

#include <pixtera/virtual_display.h>

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

namespace pixtera::designer {
namespace {

constexpr int kDoneShownMs = 1500;

} // namespace

PreviewWidget::PreviewWidget(CanvasPainter& painter, QWidget* parent) : QWidget(parent), painter_(painter)
{
    doneShown_.setSingleShot(true);
    doneShown_.setInterval(kDoneShownMs);
    connect(&doneShown_, &QTimer::timeout, this, [this] {
        if (walk_)
            walk_->ClearDone();
        update();
    });
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent); // every pixel is painted
    setMinimumSize(160, 80);
    setAcceptDrops(true);
}

void PreviewWidget::ShowFrame(std::u32string_view cells, bool highlightChanged)
{
    if (cells == cells_ && !highlightChanged)
        return;
    cells_.assign(cells);
    frame_ = AnsiOfCells(cells);
    update();
}

void PreviewWidget::PaintNow()
{
    if (image_.size() != size())
        image_ = QImage(size(), QImage::Format_RGB32);
    FitWalk();
    if (const std::u32string menu = walk_ ? walk_->Frame() : std::u32string(); !menu.empty())
        painter_.Paint(image_, std::u32string_view(menu));
    else
        painter_.Paint(image_, std::u32string_view(cells_));
}

void PreviewWidget::PreviewMenu(const Menu* menu)
{
    doneShown_.stop();
    const DisplayGeometry& geometry = painter_.geometry();
    walk_ = menu ? std::make_unique<MenuWalk>(*menu, static_cast<std::size_t>(geometry.columns),
                                              static_cast<std::size_t>(geometry.rows))
                 : nullptr;
    update();
}

void PreviewWidget::FitWalk()
{
    const DisplayGeometry& geometry = painter_.geometry();
    if (walk_ && (walk_->columns() != static_cast<std::size_t>(geometry.columns) ||
                  walk_->rows() != static_cast<std::size_t>(geometry.rows))) {
        const Menu menu = walk_->menu();
        PreviewMenu(&menu);
    }
}

std::string PreviewWidget::shownFrame() const
{
    const std::u32string menu = walk_ ? walk_->Frame() : std::u32string();
    return menu.empty() ? frame_ : AnsiOfCells(menu);
}

bool PreviewWidget::WalkKey(const QKeyEvent& event)
{
    LONG key = 0;
    switch (event.key()) {
    case Qt::Key_Up: key = kKeyUp; break;
    case Qt::Key_Down: key = kKeyDown; break;
    case Qt::Key_Left: key = kKeyLeft; break;
    case Qt::Key_Right: key = kKeyRight; break;
    case Qt::Key_Return:
    case Qt::Key_Enter: key = kKeyEnter; break;
    case Qt::Key_Escape: key = kKeyEscape; break;
    default: return false;
    }
    FitWalk();
    if (walk_->Key(key, event.isAutoRepeat()))
        update();
    if (!walk_->done().empty())
        doneShown_.start();
    return true;
}

void PreviewWidget::paintEvent(QPaintEvent*)
{
    PaintNow();
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
    if (!hasFocus())
        return;
    // The keyboard's place, around the display (the picture itself stays the module's); the
    // style's own focus frame is lost on the dark canvas.
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DotLine));
    painter.drawRect(painter_.DisplayRect(size()).adjusted(-4, -4, 3, 3));
}

void PreviewWidget::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    update();
}

void PreviewWidget::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    update();
}

void PreviewWidget::Track(QPoint position)
{
    const auto cell = painter_.CellAt(position, size());
    if (!cell) {
        if (overDisplay_) {
            overDisplay_ = false;
            emit displayLeft();
        }
        return;
    }
    if (!overDisplay_) {
        overDisplay_ = true;
        emit displayEntered();
    }
    if (cell != hovered_) {
        hovered_ = cell;
        emit cellEntered(*cell);
    }
}

void PreviewWidget::mouseMoveEvent(QMouseEvent* event) { Track(event->position().toPoint()); }

void PreviewWidget::mousePressEvent(QMouseEvent* event)
{
    Track(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        emit pressed();
    else if (event->button() == Qt::RightButton)
        emit contextMenuAt(event->globalPosition().toPoint());
}

void PreviewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    Track(event->position().toPoint());
    emit released();
}

void PreviewWidget::mouseDoubleClickEvent(QMouseEvent* event)
{
    Track(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        emit doubleClicked();
}

void PreviewWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        emit menuKeyPressed();
        return;
    }
    if (walk_ && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && WalkKey(*event))
        return;
    emit keyPressed(event->key(), event->modifiers());
}

void PreviewWidget::contextMenuEvent(QContextMenuEvent* event)
{
    // A right click has opened the popup already (on the press); the keyboard's comes here on
    // some platforms instead of the key.
    if (event->reason() == QContextMenuEvent::Keyboard)
        emit menuKeyPressed();
}

QPoint PreviewWidget::PopupPosition() const
{
    const QRect display = painter_.DisplayRect(size());
    const auto box = painter_.highlight();
    if (!box)
        return display.topLeft();
    return painter_.CellCorner({box->column, box->row + box->height}, size());
}

void PreviewWidget::leaveEvent(QEvent*)
{
    if (overDisplay_) {
        overDisplay_ = false;
        emit displayLeft();
    }
}

} // namespace pixtera::designer

namespace pixtera::designer {

void PreviewWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    emit resized();
}

} // namespace pixtera::designer

namespace pixtera::designer {

void PreviewWidget::dragEnterEvent(QDragEnterEvent* event)
{
    const LONG id = event->mimeData() ? DataPanel::DraggedId(*event->mimeData()) : 0;
    if (id <= 0)
        return;
    event->acceptProposedAction();
    emit dataDragEntered(id);
    Track(event->position().toPoint());
}

void PreviewWidget::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
    Track(event->position().toPoint());
}

void PreviewWidget::dragLeaveEvent(QDragLeaveEvent*)
{
    if (overDisplay_) {
        overDisplay_ = false;
        emit displayLeft();
    }
    emit dataDragLeft();
}

void PreviewWidget::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    Track(event->position().toPoint());
    emit dataDropped();
}

} // namespace pixtera::designer
