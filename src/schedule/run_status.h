// The run-status list: every schedule file of the installation folder with
// its Startup, Interval and whether the scheduler holds its job.
#pragma once

#include <string>
#include <vector>

#include "app/document_settings.h"
#include "app/user_interface.h"
#include "schedule/scheduler_link.h"

namespace korvane {

struct RunStatusRow {
    std::string script;    // the file's full path
    std::string start;     // Startup of section Schedule
    std::string interval;  // Interval of section Schedule
    std::string status;    // "Active" or "Inactive"
};

// One row per regular file whose name ends in ".sch" (any case), in the
// order the directory lists them. When there is at least one, a link of its
// own asks the scheduler for its jobs (its messages are the dialog's).
std::vector<RunStatusRow> ListRunStatus(const std::string& install_folder, DocumentExShared& shared,
                                        UserInterface& ui, const SchedulerLinkOptions& link_options = {});

}  // namespace korvane
