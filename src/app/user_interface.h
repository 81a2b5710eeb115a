// How the core talks to the person. The windowed program implements it with
// Qt; unattended runs use SilentUserInterface, which never blocks; tests use a
// recording fake. The core never includes a widget header.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace korvane {

enum class MessageIcon { None, Information, Exclamation, Question, Stop };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No, Retry };

// What to do when a pasted or moved entry meets one of the same name.
enum class NameConflictAnswer { Replace, KeepBoth, Skip, Cancel };
struct NameConflictReply {
    NameConflictAnswer answer = NameConflictAnswer::Skip;
    bool for_all = false;  // the same answer for every later conflict of this operation
};

// A modeless window with a bar, a percentage text and two lines of text that
// a long operation updates; every update lets pending messages through.
class ProgressWindow {
public:
    virtual ~ProgressWindow() = default;
    // Disables the owner (the main window) while shown. False when it could not be created.
    virtual bool Show() = 0;
    // Present before Show: 0 hides the Cancel button (the operation cannot be stopped).
    virtual void SetShowCancel(bool show) = 0;
    virtual void SetTitle(std::string_view text) = 0;
    virtual void SetFirstLine(std::string_view text) = 0;
    virtual void SetSecondLine(std::string_view text) = 0;
    virtual void SetRange(int low, int high) = 0;
    // Moves the bar; the percentage text becomes "%d%%". Returns the previous position.
    virtual int SetPosition(int value) = 0;
    // True when the user pressed Cancel and then confirmed "Are you sure want to Cancel?".
    virtual bool PollCancel() = 0;
    // Enables the owner again and destroys the window.
    virtual void Close() = 0;
};

// A title and four lines of text, no bar, no button.
class StatusWindow {
public:
    virtual ~StatusWindow() = default;
    virtual void SetLine2(std::string_view text) = 0;
};

class UserInterface {
public:
    virtual ~UserInterface() = default;
    // 1 while the main window is in use, 0 in an unattended run.
    virtual bool Interactive() const = 0;
    virtual MessageAnswer ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) = 0;
    virtual std::unique_ptr<ProgressWindow> CreateProgressWindow() = 0;
    // Shown at once; destroying the result closes it (CloseStatus).
    virtual std::unique_ptr<StatusWindow> ShowStatus(std::string_view title, std::string_view line1,
                                                     std::string_view line2, std::string_view line3,
                                                     std::string_view line4) = 0;
    // Lets pending window messages through; nothing waits when there are none.
    virtual void PumpMessages() = 0;
    // Folder chooser; false when nothing was chosen.
    virtual bool ChooseFolder(std::string_view title, std::string& folder) = 0;
    // A paste or move meets an entry at target. Without a person to ask,
    // nothing is replaced: the entry is skipped.
    virtual NameConflictReply AskNameConflict(std::string_view source, std::string_view target,
                                              bool target_is_folder) {
        (void)source;
        (void)target;
        (void)target_is_folder;
        return {};
    }
};

// The unattended run's interface: no window, no wait. A message box is
// answered OK when that is its only button; otherwise No or Cancel, so nothing
// is ever confirmed on behalf of an absent person.
class SilentUserInterface : public UserInterface {
public:
    bool Interactive() const override { return false; }
    MessageAnswer ShowMessage(std::string_view text, MessageIcon icon, MessageButtons buttons) override;
    std::unique_ptr<ProgressWindow> CreateProgressWindow() override;
    std::unique_ptr<StatusWindow> ShowStatus(std::string_view, std::string_view, std::string_view,
                                             std::string_view, std::string_view) override;
    void PumpMessages() override {}
    bool ChooseFolder(std::string_view, std::string&) override { return false; }
};

}  // namespace korvane
