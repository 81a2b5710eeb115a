// Reading one Volume row through the stored query "FetchVolume".
#pragma once

#include <cstdint>
#include <string_view>

#include "catalogue/scan_records.h"

namespace korvane {

class Catalogue;

// The volume with that identifier. The record is zeroed first; a null column
// leaves its zero; size, used and cluster size are not fetched. False (the
// record all zero) when there is no such volume.
bool FetchVolumeById(Catalogue& catalogue, std::int32_t volume_id, VolumeScanRecord& record);
// The volume whose Root is the location's volume root (C:\Data\Old finds C:,
// a POSIX path finds the mount point that holds it). Roots compare exactly.
bool FetchVolumeByRoot(Catalogue& catalogue, std::string_view location, VolumeScanRecord& record);

}  // namespace korvane
