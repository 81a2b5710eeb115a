#include "actions/volume_lookup.h"

#include "actions/selection_list.h"
#include "app/text_helpers.h"
#include "catalogue/sql_statement.h"
#include "catalogue/volume_fetch.h"
#include "platform/mount_table.h"

namespace korvane {

bool FetchVolumeOfRootFolder(Catalogue& catalogue, std::int32_t root_folder_id, VolumeScanRecord& volume) {
    std::int32_t volume_id = 0;
    {
        SqlStatement statement;
        if (!statement.Prepare(catalogue.handle(),
                               "SELECT \"Volume ID\" FROM \"Volume\" WHERE \"Folder ID\" = ?")) {
            return false;
        }
        statement.BindInt(1, root_folder_id);
        if (statement.Step() != SQLITE_ROW) {
            return false;
        }
        volume_id = static_cast<std::int32_t>(statement.ColumnInt(0));
    }
    return FetchVolumeById(catalogue, volume_id, volume);
}

const std::vector<std::string>& VolumeLookup::MountPoints() {
    if (!mounts_read_) {
        mount_points_ = MountPointsOf(ReadMountTable());
        mounts_read_ = true;
    }
    return mount_points_;
}

const VolumeScanRecord& VolumeLookup::OfFolder(const FolderNode* folder) {
    while (folder->parent != nullptr && folder->parent != tree_.root()) {
        folder = folder->parent;
    }
    auto [it, added] = by_root_.try_emplace(folder->folder_id);
    if (added && folder != tree_.root()) {
        FetchVolumeOfRootFolder(catalogue_, folder->folder_id, it->second);
    }
    return it->second;
}

const VolumeScanRecord& VolumeLookup::Of(const std::string& path) {
    FolderNode* folder = tree_.FindFolderByPath(path);
    if (folder == nullptr) {
        const std::size_t cut = path.rfind(PathSeparatorOf(path));
        if (cut != std::string::npos && cut > 0) {
            folder = tree_.FindFolderByPath(path.substr(0, cut));
        }
    }
    if (folder != nullptr && folder != tree_.root()) {
        return OfFolder(folder);
    }
    const std::string mount = MountPointOf(path, MountPoints());
    auto [it, added] = by_mount_.try_emplace(mount);
    if (added) {
        FetchVolumeByRoot(catalogue_, path, it->second);
    }
    return it->second;
}

bool VolumeLookup::SameVolume(const std::string& a, const std::string& b) {
    const VolumeScanRecord& first = Of(a);
    const VolumeScanRecord& second = Of(b);
    if (first.volume_id != 0 || second.volume_id != 0) {
        return first.volume_id == second.volume_id;
    }
    return OnSameVolume(a, b, MountPoints());
}

}  // namespace korvane
