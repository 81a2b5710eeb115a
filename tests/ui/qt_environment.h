// What the widget tests share: one QApplication on the offscreen platform,
// an answerer for the message boxes a test brings up, and waiting with the
// event loop running.
#pragma once

#include <QFileDialog>
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

// Chooses path in a file dialog and accepts it. The dialog lists its folder
// on a thread of its own and can ignore an accept that comes before that is
// done, so the accept is repeated until the dialog closes (10 s at most,
// then it is rejected so the test fails instead of waiting for ever).
void AcceptFileDialogWith(QFileDialog* dialog, const QString& path);

// Runs the event loop until done() is true or the time is up; done()'s last answer.
bool WaitUntil(const std::function<bool()>& done, int milliseconds = 3000);

}  // namespace korvane::testing
