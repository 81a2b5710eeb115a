// The selection list: a result's selected rows as full paths, with the
// folder or file identifier of each, for the file actions to work on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/user_interface.h"

namespace korvane {

class Catalogue;
class FolderTree;

inline constexpr std::string_view kFtpNotSupportedMessage = "This action not supported for FTP.";

// One selected row as the result list shows it.
struct ResultSelectionRow {
    std::string name;
    std::string folder_path;     // the row's Path text; unused when the result shows no Path
    std::int32_t folder_id = 0;  // non-zero for a folder row
};

// What the result window hands over: its current folder's path, whether it
// shows the Path column, and the selected rows in list order.
struct ResultSelection {
    std::string result_path;
    bool has_path_column = false;
    std::vector<ResultSelectionRow> rows;
};

struct SelectionOptions {
    bool same_volume_only = false;
    bool ftp_allowed = false;
};

struct SelectionList {
    std::vector<std::string> paths;
    std::vector<std::int32_t> folder_ids;  // the row's Folder ID, else 0
    std::vector<std::int32_t> file_ids;    // the catalogue's File ID of a file row, else 0
    bool holds_folder = false;
    bool held_ftp = false;

    std::size_t size() const { return paths.size(); }
    bool empty() const { return paths.empty(); }
    // The paths each ended by a NUL, the whole by one more NUL.
    std::string MultiPath() const;
    // Every path followed by CR LF.
    std::string PathText() const;
};

// Turns the selection into paths. Refuses an FTP result when FTP is not
// allowed (stop icon); drops FTP rows then with a plain box; with
// same-volume-only keeps only the rows on the first kept row's volume.
// False, with the list empty, when no row is left.
bool BuildSelectionList(const ResultSelection& selection, SelectionOptions options, Catalogue& catalogue,
                        FolderTree& tree, UserInterface& ui, SelectionList& list);

// True when both paths lie on one volume: both FTP, both UNC names of the
// same server and share, both drive paths of one letter, or both POSIX paths
// below the same mount point (of those given).
bool OnSameVolume(std::string_view a, std::string_view b, const std::vector<std::string>& mount_points);

// The File ID of the file with that exact name in the folder; 0 when none.
std::int32_t FileIdByName(Catalogue& catalogue, std::int32_t folder_id, std::string_view name);

}  // namespace korvane
