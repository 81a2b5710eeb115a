#include "schedule/run_status.h"

#include <filesystem>

#include "app/text_helpers.h"

namespace korvane {

std::vector<RunStatusRow> ListRunStatus(const std::string& install_folder, DocumentExShared& shared,
                                        UserInterface& ui, const SchedulerLinkOptions& link_options) {
    std::vector<RunStatusRow> rows;
    CDocumentEx file(shared);
    std::error_code ec;
    for (std::filesystem::directory_iterator it(install_folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!EndsWithNoCase(name, ".sch") || !it->is_regular_file(ec))
            continue;
        RunStatusRow row;
        row.script = it->path().string();
        file.SetFile(row.script);
        file.SelectSection("Schedule");
        row.start = file.ReadText("Startup");
        row.interval = file.ReadText("Interval");
        row.status = "Inactive";
        rows.push_back(std::move(row));
    }
    if (rows.empty())
        return rows;

    SchedulerLink link(ui, link_options);
    if (!link.Open())
        return rows;
    for (const std::string& job : link.EnumerateJobs(LinkOwner::RunStatusDialog)) {
        for (RunStatusRow& row : rows) {
            if (PathNamesEqual(row.script, row.script, job))
                row.status = "Active";
        }
    }
    return rows;
}

}  // namespace korvane
