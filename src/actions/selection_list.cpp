#include "actions/selection_list.h"

#include "app/text_helpers.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/sql_statement.h"
#include "platform/mount_table.h"

namespace korvane {
namespace {

bool IsFtpPath(std::string_view path) {
    return StartsWithNoCase(path, "ftp:");
}

// The folder path with its separator at the end, as paths are joined from it.
std::string WithTrailingSeparator(std::string path) {
    const char separator = PathSeparatorOf(path);
    if (path.empty() || path.back() != separator) {
        path += separator;
    }
    return path;
}

struct KeptRow {
    std::string path;
    std::string folder;
    const ResultSelectionRow* row = nullptr;
};

}  // namespace

std::string SelectionList::MultiPath() const {
    std::string text;
    for (const std::string& path : paths) {
        text += path;
        text += '\0';
    }
    text += '\0';
    return text;
}

std::string SelectionList::PathText() const {
    std::string text;
    for (const std::string& path : paths) {
        text += path;
        text += "\r\n";
    }
    return text;
}

bool OnSameVolume(std::string_view a, std::string_view b, const std::vector<std::string>& mount_points) {
    if (IsFtpPath(a) || IsFtpPath(b)) {
        return IsFtpPath(a) && IsFtpPath(b);
    }
    if (a.starts_with("\\\\") || b.starts_with("\\\\")) {
        const auto one = SplitUncName(a);
        const auto two = SplitUncName(b);
        return one && two && EqualsNoCase(one->server, two->server) && EqualsNoCase(one->share, two->share);
    }
    if (a.starts_with('/') || b.starts_with('/')) {
        return a.starts_with('/') && b.starts_with('/') &&
               MountPointOf(a, mount_points) == MountPointOf(b, mount_points);
    }
    return !a.empty() && !b.empty() && EqualsNoCase(a.substr(0, 1), b.substr(0, 1));
}

std::int32_t FileIdByName(Catalogue& catalogue, std::int32_t folder_id, std::string_view name) {
    SqlStatement statement;
    if (!catalogue.connection() ||
        !statement.Prepare(catalogue.connection(),
                           "SELECT \"File ID\" FROM \"File\" WHERE \"Parent ID\" = ? AND \"Name\" = ?")) {
        return 0;
    }
    statement.BindInt(1, folder_id);
    statement.BindText(2, name);
    return statement.Step() == SQLITE_ROW ? static_cast<std::int32_t>(statement.ColumnInt(0)) : 0;
}

bool BuildSelectionList(const ResultSelection& selection, SelectionOptions options, Catalogue& catalogue,
                        FolderTree& tree, UserInterface& ui, SelectionList& list) {
    list = SelectionList{};
    if (!options.ftp_allowed && IsFtpPath(selection.result_path)) {
        ui.ShowMessage(kFtpNotSupportedMessage, MessageIcon::Stop, MessageButtons::Ok);
        return false;
    }
    const std::vector<std::string> mount_points = MountPointsOf(ReadMountTable());
    std::vector<KeptRow> kept;
    bool skipped_ftp = false;
    for (const ResultSelectionRow& row : selection.rows) {
        list.holds_folder = list.holds_folder || row.folder_id != 0;
        const std::string& folder_text = selection.has_path_column ? row.folder_path : selection.result_path;
        if (IsFtpPath(folder_text)) {
            list.held_ftp = true;
            if (!options.ftp_allowed) {
                skipped_ftp = true;
                continue;
            }
        }
        std::string folder = WithTrailingSeparator(folder_text);
        if (options.same_volume_only && !kept.empty() &&
            !OnSameVolume(kept.front().folder, folder, mount_points)) {
            continue;
        }
        kept.push_back(KeptRow{folder + row.name, std::move(folder), &row});
    }
    if (skipped_ftp) {
        ui.ShowMessage(kFtpNotSupportedMessage, MessageIcon::None, MessageButtons::Ok);
    }
    if (kept.empty()) {
        return false;
    }
    for (const KeptRow& entry : kept) {
        list.paths.push_back(entry.path);
        list.folder_ids.push_back(entry.row->folder_id);
        std::int32_t file_id = 0;
        if (entry.row->folder_id == 0) {
            std::string folder = entry.folder;
            if (folder.size() > 1) {
                folder.pop_back();
            }
            const std::int32_t parent = tree.FolderIdOfPath(folder);
            file_id = parent != 0 ? FileIdByName(catalogue, parent, entry.row->name) : 0;
        }
        list.file_ids.push_back(file_id);
    }
    return true;
}

}  // namespace korvane
