#include "query/query_execute.h"

#include "app/text_helpers.h"

namespace korvane {

ExecuteCheck CheckExecute(QueryProfile& profile, FolderTree& folders) {
    ExecuteCheck check;
    if (!AnyFieldInQuery(profile)) {
        check.message = "Fields must be selected to build a query.";
        return check;
    }
    profile.initial_folder_id = 0;
    if (profile.initial_folder.empty()) {
        check.message = "You must assign an initial query folder.";
        return check;
    }
    if (!EqualsNoCase(profile.initial_folder, kFolderTreeRootName)) {
        const std::int32_t id = folders.FolderIdOfPath(profile.initial_folder);
        if (id == 0) {
            check.message = "Initial query folder " + profile.initial_folder + " not found in database.";
            return check;
        }
        profile.initial_folder_id = id;
    }
    check.ok = true;
    return check;
}

std::optional<std::string> ResultPathOfQuery(std::string_view query_path) {
    if (query_path.empty() || query_path.back() == '/')
        return std::nullopt;
    const std::size_t slash = query_path.rfind('/');
    const std::size_t name_start = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = query_path.rfind('.');
    if (dot == std::string_view::npos || dot < name_start)
        return std::string(query_path) + ".rst";
    return std::string(query_path.substr(0, dot + 1)) + "rst";
}

}  // namespace korvane
