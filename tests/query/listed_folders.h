// A folder lookup over a fixed list of folders, for tests of the query and
// result logic that need a few known paths and identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/text_helpers.h"
#include "query/folder_lookup.h"
#include "query/query_profile.h"

namespace korvane::testing {

struct ListedFolder {
    std::int32_t id;
    std::string path;
    std::int32_t descendants;
};

class ListedFolders : public FolderLookup {
  public:
    explicit ListedFolders(std::vector<ListedFolder> folders) : folders_(std::move(folders)) {}
    std::int32_t FolderIdOfPath(std::string_view path) const override {
        for (const ListedFolder& folder : folders_) {
            if (EqualsNoCase(folder.path, path))
                return folder.id;
        }
        return 0;
    }
    std::int32_t DescendantCountOf(std::int32_t id) const override {
        for (const ListedFolder& folder : folders_) {
            if (folder.id == id)
                return folder.descendants;
        }
        return 0;
    }
    std::optional<std::string> FolderPathOfId(std::int32_t id) const override {
        if (id == 0)
            return std::string(kAllVolumesFolderName);
        for (const ListedFolder& folder : folders_) {
            if (folder.id == id)
                return folder.path;
        }
        return std::nullopt;
    }

  private:
    std::vector<ListedFolder> folders_;
};

}  // namespace korvane::testing
