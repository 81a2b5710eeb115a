#include "schedule/schedule_document.h"

#include <filesystem>
#include <set>

#include "app/text_helpers.h"
#include "schedule/command_line.h"
#include "schedule/schedule_commands.h"

namespace korvane {

std::string ScheduleFullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return ec ? path : absolute.lexically_normal().string();
}

CScheduleDoc::CScheduleDoc(DocumentExShared& shared, UserInterface& ui, std::string program_path,
                           SchedulerLinkOptions link_options)
    : CDocumentEx(shared),
      ui_(ui),
      program_path_(std::move(program_path)),
      link_(ui, std::move(link_options)) {}

void CScheduleDoc::OnNewDocument() {
    content_ = ScheduleContent{};
    path_.clear();
    status_ = ScheduleStatus::Inactive;
    modified_ = false;
    link_.Open();
}

bool CScheduleDoc::OnOpenDocument(const std::string& path) {
    ScheduleContent content;
    const std::string full = ScheduleFullPath(path);
    if (!ReadScheduleFile(*this, full, content))
        return false;
    // File New makes an empty file first: that is a new schedule, not one
    // whose Startup and Interval were lost.
    std::error_code ec;
    if (std::filesystem::file_size(full, ec) == 0 && !ec)
        content = ScheduleContent{};
    content_ = std::move(content);
    path_ = full;
    modified_ = false;
    status_ = ScheduleStatus::Inactive;
    if (!link_.IsOpen())
        link_.Open();
    if (!link_.IsOpen())
        return true;
    // The first job named by this file decides; a scheduler that names a
    // job twice has nothing more to tell.
    std::set<std::string> seen;
    std::string previous;
    while (auto job = link_.NextJob(previous, LinkOwner::Document)) {
        if (PathNamesEqual(path_, *job, path_)) {
            status_ = ScheduleStatus::Active;
            break;
        }
        if (!seen.insert(*job).second)
            break;
        previous = std::move(*job);
    }
    return true;
}

bool CScheduleDoc::OnSaveDocument(const std::string& path) {
    const std::string full = ScheduleFullPath(path);
    if (!WriteScheduleFile(*this, full, content_))
        return false;
    path_ = full;
    modified_ = false;
    return true;
}

std::string CScheduleDoc::JobCommand() const {
    return BuildJobCommand(program_path_, path_);
}

bool CScheduleDoc::ToggleActive() {
    if (status_ == ScheduleStatus::Active) {
        if (!link_.StopJob(path_))
            return false;
        status_ = ScheduleStatus::Inactive;
        return true;
    }
    if (path_.empty()) {
        // A job is named by its file; a schedule never saved has none.
        ui_.ShowMessage(kSaveBeforeActivating, MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
    if (modified_ && !OnSaveDocument(path_)) {
        // The job would run whatever the file held before: do not register it.
        const std::string_view format = kCannotSaveSchedule;
        const std::size_t at = format.find("%s");
        const std::string text =
            std::string(format.substr(0, at)) + path_ + std::string(format.substr(at + 2));
        ui_.ShowMessage(text, MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
    if (!link_.RegisterJob(path_, JobCommand(), content_.startup, content_.interval))
        return false;
    status_ = ScheduleStatus::Active;
    return true;
}

bool CScheduleDoc::EditAllowed() {
    if (status_ != ScheduleStatus::Active)
        return true;
    ui_.ShowMessage(kActiveScriptRefusal, MessageIcon::None, MessageButtons::Ok);
    return false;
}

bool CScheduleDoc::SetScheduleTime(std::string_view startup, std::string_view interval) {
    if (!EditAllowed())
        return false;
    modified_ = true;
    if (content_.startup != startup)
        content_.startup = std::string(startup);
    if (content_.interval != interval)
        content_.interval = std::string(interval);
    return true;
}

bool CScheduleDoc::AppendRow(std::string_view command_word) {
    if (!EditAllowed())
        return false;
    const int index = FindEnabledCommand(command_word);
    if (index < 0)
        return false;
    content_.rows.push_back(
        ScriptRow{std::string(kScheduleCommands[static_cast<std::size_t>(index)].word), {}, index});
    modified_ = true;
    return true;
}

bool CScheduleDoc::RemoveRow(std::size_t index) {
    if (!EditAllowed())
        return false;
    if (index >= content_.rows.size())
        return false;
    content_.rows.erase(content_.rows.begin() + static_cast<std::ptrdiff_t>(index));
    modified_ = true;
    return true;
}

bool CScheduleDoc::SetRowParameters(std::size_t index, std::string_view parameters) {
    if (!EditAllowed())
        return false;
    if (index >= content_.rows.size())
        return false;
    content_.rows[index].parameters = std::string(parameters);
    modified_ = true;
    return true;
}

}  // namespace korvane
