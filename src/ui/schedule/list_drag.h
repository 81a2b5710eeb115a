// A drag from one list of a schedule window to the other, carried by the
// mouse grab that a press gives the list: a move inside one window needs no
// drag and drop of the platform (some platforms have none).
#pragma once

#include <QPoint>
#include <optional>

class QAbstractItemView;
class QMouseEvent;

namespace korvane {

class ListDrag {
  public:
    explicit ListDrag(QAbstractItemView& list) : list_(list) {}

    // A left press on a row may start a drag.
    void Press(const QMouseEvent& event);
    // True when this move starts the drag: the button is down and the mouse
    // has gone far enough from the press.
    bool StartsWith(const QMouseEvent& event);
    bool Dragging() const { return dragging_; }
    // The drag ends: the row dragged, or none when no drag was under way.
    std::optional<int> Release();
    void Cancel();

  private:
    QAbstractItemView& list_;
    QPoint pressed_at_;
    int row_ = -1;
    bool dragging_ = false;
};

// True when the global point lies on the list's visible area.
bool ListUnder(const QAbstractItemView& list, QPoint global);

}  // namespace korvane
