#include "ui/schedule/list_drag.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>

namespace korvane {

void ListDrag::Press(const QMouseEvent& event) {
    Cancel();
    if (event.button() != Qt::LeftButton)
        return;
    pressed_at_ = event.position().toPoint();
    row_ = list_.indexAt(pressed_at_).row();
}

bool ListDrag::StartsWith(const QMouseEvent& event) {
    if (dragging_ || row_ < 0 || !(event.buttons() & Qt::LeftButton))
        return false;
    if ((event.position().toPoint() - pressed_at_).manhattanLength() <= QApplication::startDragDistance())
        return false;
    dragging_ = true;
    list_.viewport()->setCursor(Qt::DragMoveCursor);
    return true;
}

std::optional<int> ListDrag::Release() {
    const bool was_dragging = dragging_;
    const int row = row_;
    Cancel();
    if (!was_dragging)
        return std::nullopt;
    return row;
}

void ListDrag::Cancel() {
    if (dragging_)
        list_.viewport()->unsetCursor();
    dragging_ = false;
    row_ = -1;
}

bool ListUnder(const QAbstractItemView& list, QPoint global) {
    const QWidget* viewport = list.viewport();
    return viewport->isVisible() && viewport->rect().contains(viewport->mapFromGlobal(global));
}

}  // namespace korvane
