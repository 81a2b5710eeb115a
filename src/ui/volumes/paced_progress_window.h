// A progress window that lets events through at most every few
// milliseconds. A build updates its window for every file and folder; each
// update of the window itself runs the event loop, which would cost more
// than the walk. Texts and position keep their latest value and are shown
// at the next paced update; Cancel is seen within one pace.
#pragma once

#include <QElapsedTimer>
#include <string>

#include "app/user_interface.h"

namespace korvane {

class PacedProgressWindow : public ProgressWindow {
  public:
    explicit PacedProgressWindow(ProgressWindow& window, int pace_ms = 40)
        : window_(window), pace_ms_(pace_ms) {}

    bool Show() override { return window_.Show(); }
    void SetShowCancel(bool show) override { window_.SetShowCancel(show); }
    void SetTitle(std::string_view text) override;
    void SetFirstLine(std::string_view text) override;
    void SetSecondLine(std::string_view text) override;
    void SetRange(int low, int high) override { window_.SetRange(low, high); }
    int SetPosition(int value) override;
    bool PollCancel() override;
    void Close() override;

  private:
    // True (and restarted) when the pace has passed since the timer's last start.
    bool Due(QElapsedTimer& timer);
    void Flush();

    ProgressWindow& window_;
    int pace_ms_;
    QElapsedTimer shown_;   // the texts and position
    QElapsedTimer polled_;  // the Cancel button
    std::string first_line_, second_line_;
    bool first_pending_ = false, second_pending_ = false, position_pending_ = false;
    int position_ = 0;
};

}  // namespace korvane
