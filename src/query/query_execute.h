// The checks of a query's Execute command and where its result lives; the
// query window calls these and opens or refreshes the result document.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "catalogue/folder_tree.h"
#include "query/query_profile.h"

namespace korvane {

struct ExecuteCheck {
    bool ok = false;
    std::string message;  // for a plain message box when not ok
};

// In order: some field must be in the query ("Fields must be selected to
// build a query."), an initial folder must be set ("You must assign an
// initial query folder.") and, unless it is the top node, be in the folder
// tree ("Initial query folder %s not found in database."). Sets
// initial_folder_id (0 first, then the folder found).
ExecuteCheck CheckExecute(QueryProfile& profile, FolderTree& folders);

// The result file beside a query file: the extension of the file name
// replaced by "rst", or ".rst" appended when the name has none. None for a
// query that was never saved (empty path): it must be saved first.
std::optional<std::string> ResultPathOfQuery(std::string_view query_path);

}  // namespace korvane
