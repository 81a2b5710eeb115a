// The windowed program's UserInterface: message boxes, the modeless progress
// and status windows, and the folder chooser, all with Qt Widgets. Letting
// pending messages through is QCoreApplication::processEvents().
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>
#include <string_view>

#include "app/user_interface.h"

class QDialog;
class QLabel;
class QProgressBar;
class QPushButton;

namespace korvane {

inline constexpr std::string_view kConfirmCancel = "Are you sure want to Cancel?";

// A message box with the program's title over parent (or, without one, over
// the active window).
MessageAnswer AskPerson(QWidget* parent, std::string_view text, MessageIcon icon, MessageButtons buttons);

class QtProgressWindow : public ProgressWindow {
  public:
    // owner is disabled while the window is shown; it may be null (no main window yet).
    explicit QtProgressWindow(QWidget* owner);
    ~QtProgressWindow() override;

    bool Show() override;
    void SetShowCancel(bool show) override;
    void SetTitle(std::string_view text) override;
    void SetFirstLine(std::string_view text) override;
    void SetSecondLine(std::string_view text) override;
    void SetRange(int low, int high) override;
    int SetPosition(int value) override;
    bool PollCancel() override;
    void Close() override;

    // The window while it is shown (for its owner and for tests).
    QDialog* Window() const { return dialog_; }
    QPushButton* CancelButton() const { return cancel_; }
    QLabel* PercentText() const { return percent_; }

  private:
    void Pump();
    void ApplyCancelState();

    QPointer<QWidget> owner_;
    QPointer<QWidget> disabled_owner_;
    QPointer<QDialog> dialog_;
    QProgressBar* bar_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* first_line_ = nullptr;
    QLabel* second_line_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool show_cancel_ = true;
    bool cancel_requested_ = false;
    int low_ = 0, high_ = 100, position_ = 0;
    QString title_;
};

class QtStatusWindow : public StatusWindow {
  public:
    QtStatusWindow(std::string_view title, std::string_view line1, std::string_view line2,
                   std::string_view line3, std::string_view line4);
    ~QtStatusWindow() override;
    void SetLine2(std::string_view text) override;
    QDialog* Window() const { return dialog_; }

  private:
    QPointer<QDialog> dialog_;
    QLabel* lines_[4] = {};
};

class QtUserInterface : public UserInterface {
  public:
    QtUserInterface() = default;
    // The main window owns message boxes and is disabled under progress windows.
    void SetMainWindow(QWidget* window) { main_window_ = window; }
    QWidget* MainWindow() const { return main_window_; }

    // A print run is unattended: from here on no box is shown, each message
    // becomes a line of the event log at this path and is answered as the
    // silent interface answers it.
    void SetUnattended(std::string event_log_path) { unattended_log_ = std::move(event_log_path); }
    bool Interactive() const override { return unattended_log_.empty(); }
    MessageAnswer ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) override;
    std::unique_ptr<ProgressWindow> CreateProgressWindow() override;
    std::unique_ptr<StatusWindow> ShowStatus(std::string_view title, std::string_view line1,
                                             std::string_view line2, std::string_view line3,
                                             std::string_view line4) override;
    void PumpMessages() override;
    bool ChooseFolder(std::string_view title, std::string& folder) override;
    NameConflictReply AskNameConflict(std::string_view source, std::string_view target,
                                      bool target_is_folder) override;

  private:
    QPointer<QWidget> main_window_;
    std::string unattended_log_;
};

}  // namespace korvane
