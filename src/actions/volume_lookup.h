// The catalogued volume that holds a path, found through the folder tree:
// several volumes may share one mount point, and a volume is known by its
// root folder, not by the mount table. A path below no catalogued folder
// gets the volume of its mount point.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/scan_records.h"

namespace korvane {

// The Volume row whose root folder is root_folder_id. False when none is.
bool FetchVolumeOfRootFolder(Catalogue& catalogue, std::int32_t root_folder_id, VolumeScanRecord& volume);

class VolumeLookup {
  public:
    VolumeLookup(Catalogue& catalogue, FolderTree& tree) : catalogue_(catalogue), tree_(tree) {}

    // The volume of a file or folder path; an empty record (type 0) when no
    // volume is known for it. The reference stays valid while the lookup lives.
    const VolumeScanRecord& Of(const std::string& path);
    // The volume the catalogued folder belongs to.
    const VolumeScanRecord& OfFolder(const FolderNode* folder);
    // Whether two paths lie on the same volume.
    bool SameVolume(const std::string& a, const std::string& b);

  private:
    Catalogue& catalogue_;
    FolderTree& tree_;
    std::map<std::int32_t, VolumeScanRecord> by_root_;  // by root folder ID
    std::map<std::string, VolumeScanRecord> by_mount_;
    std::vector<std::string> mount_points_;
    bool mounts_read_ = false;
    const std::vector<std::string>& MountPoints();
};

}  // namespace korvane
