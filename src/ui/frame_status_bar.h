// The main window's status bar: the message pane, the date pane and the
// time pane with the clock that keeps them current, and the handling that
// gives a menu's prompt the whole bar while the menu is open.
#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <ctime>
#include <functional>

class QMenu;
class QMenuBar;

namespace korvane {

class FrameStatusBar : public QStatusBar {
    Q_OBJECT
  public:
    explicit FrameStatusBar(QWidget* parent = nullptr);

    // The clock's time source; the local clock unless a test sets another.
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    // Fills both panes and sets the first timer to the next whole minute;
    // from then on the minute timer fires every 60,000 milliseconds.
    void StartClock();
    void StopClock();

    // A menu item or title was selected; menu_closed when the menus went away.
    void OnMenuSelect(bool menu_closed);
    // A menu is about to pop up.
    void OnMenuPopup();
    // Follows the menus of the bar (and their sub-menus) for the two calls above.
    void WatchMenus(QMenuBar* bar);
    void WatchMenu(QMenu* menu);
    bool PromptHasWholeBar() const { return saved_width_ >= 0; }

    QLabel* MessagePane() const { return message_; }
    QLabel* DatePane() const { return date_; }
    QLabel* TimePane() const { return time_; }
    const QTimer& FirstTimer() const { return first_timer_; }
    const QTimer& MinuteTimer() const { return minute_timer_; }

  private:
    std::tm Now() const;
    void FillDatePane(const std::tm& now);
    void FillTimePane(const std::tm& now);
    void OnFirstTimer();
    void OnMinuteTimer();
    void SetPaneText(QLabel* pane, const QString& text);

    QLabel* message_;
    QLabel* date_;
    QLabel* time_;
    QTimer first_timer_;
    QTimer minute_timer_;
    std::function<std::time_t()> clock_;
    // The message pane's state while a menu prompt has the whole bar; a
    // width of -1 when nothing is saved.
    int saved_width_ = -1;
    bool saved_date_visible_ = true;
    bool saved_time_visible_ = true;
    bool menu_select_seen_ = false;
};

}  // namespace korvane
