// The schedule window: the command list beside the script list, the
// Schedule menu and tool bar ("&Active", "Start Event", "&Run Status..."),
// the parameter dialogs a double-click on a line opens, and a status bar
// with the schedule's start and interval.
#pragma once

#include "ui/document_frame.h"
#include "ui/schedule/command_view.h"
#include "ui/schedule/schedule_document_window.h"
#include "ui/schedule/script_view.h"

class QAction;
class QToolBar;

namespace korvane {

// Shown while a Scan line is typed in place: a window without a catalogue
// has no volume selection to pick from.
inline constexpr const char* kScanTypedHere =
    "Type the volumes to scan, each in double quotes and separated by commas; Enter keeps them.";

class CScheduleFrame : public DocumentFrame {
    Q_OBJECT
  public:
    CScheduleFrame(ScheduleWindowDocument& document, QWidget* parent = nullptr);

    ScheduleWindowDocument& Document() { return document_; }
    CCommandView* Commands() const { return commands_; }
    CScriptView* Script() const { return script_; }
    QAction* ActiveAction() const { return active_; }
    QAction* StartEventAction() const { return start_event_; }
    QAction* RunStatusAction() const { return run_status_; }
    QToolBar* ScheduleToolBar() const { return tool_bar_; }

    // "&Active": registers the schedule with the scheduler or stops it.
    void OnActive();
    // "Start Event": the "Schedule Time" dialog while Inactive.
    void OnStartEvent();
    // "&Run Status...".
    void OnRunStatus();
    // A double-click on a script line: the dialog of its command.
    void EditParameters(int row);

  private:
    void CreateCommands();
    void RefreshStatus();
    void EditScan(int row);
    void EditQuery(int row);
    void EditCommandLine(int row, const std::string& parameters);
    void EditFileCommand(int row, const std::string& word, const std::string& parameters);
    // Writes the line's parameters when every text fits in them.
    void SetParameters(int row, const std::string& parameters, std::initializer_list<std::string> texts);

    ScheduleWindowDocument& document_;
    CCommandView* commands_;
    CScriptView* script_;
    QToolBar* tool_bar_ = nullptr;
    QAction* active_ = nullptr;
    QAction* start_event_ = nullptr;
    QAction* run_status_ = nullptr;
};

}  // namespace korvane
