// The schedule document: its content, its file, and the Active and Inactive
// states it keeps in step with korvane-scheduler. The schedule window calls
// these; the document itself never shows anything but message boxes
// through the UserInterface.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "app/document_settings.h"
#include "app/user_interface.h"
#include "schedule/schedule_file.h"
#include "schedule/scheduler_link.h"

namespace korvane {

inline constexpr std::string_view kActiveScriptRefusal =
    "Can not modify an active script.\nPlease uncheck active status.";
inline constexpr std::string_view kSaveBeforeActivating = "Save the schedule before making it active.";
inline constexpr std::string_view kCannotSaveSchedule = "Cannot save the schedule '%s'.";

enum class ScheduleStatus { Inactive, Active };

class CScheduleDoc : public CDocumentEx {
  public:
    // program_path is the korvane executable the job will start.
    CScheduleDoc(DocumentExShared& shared, UserInterface& ui, std::string program_path,
                 SchedulerLinkOptions link_options = {});

    // A new schedule: Startup "Startup", Interval "None", Inactive, no lines;
    // the scheduler conversation is opened.
    void OnNewDocument();
    // Reads the file (false when it cannot be read; an empty file is a new
    // schedule), then asks the scheduler whether a job carries this file's
    // full path: then Active.
    bool OnOpenDocument(const std::string& path);
    // Writes the file; the document is then no longer modified.
    bool OnSaveDocument(const std::string& path);
    // The conversation ends with the document; a registered job stays.
    void OnCloseDocument() { link_.Close(); }

    // The "&Active" command. Inactive -> Active saves a modified document
    // first and registers the job; Active -> Inactive stops it. The status
    // changes only when the scheduler answers. True when it changed.
    bool ToggleActive();

    // False, after the refusal message, while the schedule is Active.
    bool EditAllowed();
    // The schedule-time dialog's OK: Startup and Interval take the new
    // values; the document is marked modified.
    bool SetScheduleTime(std::string_view startup, std::string_view interval);
    // A command dropped on the script list: a row with no parameters.
    bool AppendRow(std::string_view command_word);
    // A row dragged back to the command list.
    bool RemoveRow(std::size_t index);
    // The parameter dialogs' OK.
    bool SetRowParameters(std::size_t index, std::string_view parameters);

    ScheduleStatus Status() const { return status_; }
    bool IsActive() const { return status_ == ScheduleStatus::Active; }
    const ScheduleContent& Content() const { return content_; }
    const std::string& PathName() const { return path_; }
    bool IsModified() const { return modified_; }
    std::string StatusBarText() const { return ScheduleStatusText(content_); }
    // The job command line: "\"%s\" /EXECUTE \"%s\"" with the program and this file.
    std::string JobCommand() const;
    SchedulerLink& Link() { return link_; }

  private:
    UserInterface& ui_;
    std::string program_path_;
    SchedulerLink link_;
    ScheduleContent content_;
    std::string path_;
    ScheduleStatus status_ = ScheduleStatus::Inactive;
    bool modified_ = false;
};

// The full path a schedule is registered under: absolute, as given otherwise.
std::string ScheduleFullPath(const std::string& path);

}  // namespace korvane
