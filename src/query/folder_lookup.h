// What queries and results ask of the folder tree: a path's folder
// identifier, the number of folders below a folder, and a folder's path.
// The catalogue's folder tree answers these; keeping the questions narrow
// lets the query logic stay independent of how the tree is held.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

class FolderLookup {
  public:
    virtual ~FolderLookup() = default;
    // Folder ID of the folder at path; 0 when none (and for the top node).
    virtual std::int32_t FolderIdOfPath(std::string_view path) const = 0;
    // The folder's Folders count (all folders below it); 0 when unknown.
    virtual std::int32_t DescendantCountOf(std::int32_t folder_id) const = 0;
    // Full path of a folder; none when no folder has that ID. ID 0 gives the
    // top node's name.
    virtual std::optional<std::string> FolderPathOfId(std::int32_t folder_id) const = 0;
};

}  // namespace korvane
