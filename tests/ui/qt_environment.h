// What the widget tests share: one QApplication on the offscreen platform,
// an answerer for the message boxes a test brings up, and waiting with the
// event loop running.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QTimer>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace korvane::testing {

struct AnsweredBox {
    std::string text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

// While it lives, presses the next queued button of every message box that
// comes up (Cancel, else the escape button, when the queue is empty) and
// records the boxes.
class MessageBoxAnswerer : public QObject {
  public:
    explicit MessageBoxAnswerer(std::deque<QMessageBox::StandardButton> answers = {});
    std::vector<AnsweredBox> boxes;

  private:
    void Look();
    std::deque<QMessageBox::StandardButton> answers_;
    QTimer timer_;
};

// Runs the event loop until done() is true or the time is up; done()'s last answer.
bool WaitUntil(const std::function<bool()>& done, int milliseconds = 3000);

}  // namespace korvane::testing
