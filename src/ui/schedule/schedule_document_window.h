// The schedule document as the windowed program holds it: the schedule
// (CScheduleDoc) behind a window document, and what its windows share.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/document_settings.h"
#include "app/user_interface.h"
#include "schedule/schedule_document.h"
#include "schedule/scheduler_link.h"
#include "ui/document.h"

class QWidget;

namespace korvane {

// What every schedule window of one main window needs.
struct ScheduleWindowContext {
    UserInterface& ui;
    std::string install_folder;
    // The korvane executable a job starts; empty: the running program.
    std::string program_path;
    SchedulerLinkOptions link_options;
    DocumentExShared shared;  // one schedule file is read or written at a time
    // The volume selection in pick mode for Scan lines; empty: they are typed.
    std::function<std::optional<std::string>(QWidget* parent)> pick_volumes;
};

class ScheduleWindowDocument : public WindowDocument {
    Q_OBJECT
  public:
    explicit ScheduleWindowDocument(std::shared_ptr<ScheduleWindowContext> context,
                                    QObject* parent = nullptr);

    CScheduleDoc& Schedule() { return schedule_; }
    const CScheduleDoc& Schedule() const { return schedule_; }
    ScheduleWindowContext& Context() { return *context_; }

    // Reads the file as a schedule and learns from the scheduler whether it
    // is Active.
    bool OnOpenDocument(const std::string& path, std::string& error) override;
    bool OnSaveDocument(const std::string& path, std::string& error) override;
    void OnCloseDocument() override;

    // The "&Active" command; true when the status changed.
    bool ToggleActive();
    // The "Start Event" dialog's OK.
    bool SetScheduleTime(const std::string& startup, const std::string& interval);
    // Takes the schedule's modified state after an edit and tells the views.
    void EditDone(int hint);

    // Hints of UpdateAllViews.
    static constexpr int kHintStatus = 1;      // Active or Startup/Interval changed
    static constexpr int kHintRows = 2;        // the script rows changed: lists read them again
    static constexpr int kHintLineEdited = 4;  // the script list changed a line itself

  signals:
    void StatusChanged();

  private:
    std::shared_ptr<ScheduleWindowContext> context_;
    CScheduleDoc schedule_;
};

}  // namespace korvane
