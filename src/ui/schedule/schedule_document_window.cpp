#include "ui/schedule/schedule_document_window.h"

#include "schedule/command_line.h"

namespace korvane {

ScheduleWindowDocument::ScheduleWindowDocument(std::shared_ptr<ScheduleWindowContext> context,
                                               QObject* parent)
    : WindowDocument(DocumentTypeOf(DocumentKind::Schedule), parent),
      context_(std::move(context)),
      schedule_(context_->shared, context_->ui,
                context_->program_path.empty() ? RunningProgramPath() : context_->program_path,
                context_->link_options) {}

bool ScheduleWindowDocument::OnOpenDocument(const std::string& path, std::string& error) {
    if (!WindowDocument::OnOpenDocument(path, error))
        return false;
    if (!schedule_.OnOpenDocument(path)) {
        error = "It cannot be read as a schedule.";
        return false;
    }
    SetModifiedFlag(false);
    UpdateAllViews(kHintStatus | kHintRows);
    return true;
}

bool ScheduleWindowDocument::OnSaveDocument(const std::string& path, std::string& error) {
    if (!schedule_.OnSaveDocument(path)) {
        error = "The schedule file could not be written.";
        return false;
    }
    SetPathName(schedule_.PathName());
    SetModifiedFlag(false);
    return true;
}

void ScheduleWindowDocument::OnCloseDocument() {
    schedule_.OnCloseDocument();
}

bool ScheduleWindowDocument::ToggleActive() {
    const bool changed = schedule_.ToggleActive();
    // Making a modified schedule active saves it first.
    EditDone(kHintStatus);
    return changed;
}

bool ScheduleWindowDocument::SetScheduleTime(const std::string& startup, const std::string& interval) {
    if (!schedule_.SetScheduleTime(startup, interval))
        return false;
    EditDone(kHintStatus);
    return true;
}

void ScheduleWindowDocument::EditDone(int hint) {
    SetModifiedFlag(schedule_.IsModified());
    if (hint & kHintStatus)
        emit StatusChanged();
    UpdateAllViews(hint);
}

}  // namespace korvane
