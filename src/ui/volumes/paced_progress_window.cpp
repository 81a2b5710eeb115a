#include "ui/volumes/paced_progress_window.h"

namespace korvane {

bool PacedProgressWindow::Due(QElapsedTimer& timer) {
    if (timer.isValid() && timer.elapsed() < pace_ms_)
        return false;
    timer.start();
    return true;
}

void PacedProgressWindow::Flush() {
    if (first_pending_)
        window_.SetFirstLine(first_line_);
    if (second_pending_)
        window_.SetSecondLine(second_line_);
    if (position_pending_)
        window_.SetPosition(position_);
    first_pending_ = second_pending_ = position_pending_ = false;
}

void PacedProgressWindow::SetTitle(std::string_view text) {
    Flush();
    window_.SetTitle(text);
    shown_.start();
}

void PacedProgressWindow::SetFirstLine(std::string_view text) {
    first_line_.assign(text);
    first_pending_ = true;
    if (Due(shown_))
        Flush();
}

void PacedProgressWindow::SetSecondLine(std::string_view text) {
    second_line_.assign(text);
    second_pending_ = true;
    if (Due(shown_))
        Flush();
}

int PacedProgressWindow::SetPosition(int value) {
    const int previous = position_;
    position_ = value;
    position_pending_ = true;
    if (Due(shown_))
        Flush();
    return previous;
}

bool PacedProgressWindow::PollCancel() {
    if (!Due(polled_))
        return false;
    Flush();
    return window_.PollCancel();
}

void PacedProgressWindow::Close() {
    Flush();
    window_.Close();
}

}  // namespace korvane
