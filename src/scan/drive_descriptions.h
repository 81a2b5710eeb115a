// The words the catalogue and the volume selection use for kinds of drive:
// the media text of a Volume row, and the Type, Label and Size texts and the
// image of a volume selection item.
#pragma once

#include <string>
#include <string_view>

#include "platform/volumes.h"

namespace korvane {

// The Volume table's Type for a drive type ("Fixed Disk Media", ...); empty
// for an unknown type, whose volume is not scanned.
std::string_view MediaOfDriveType(DriveType type);

// The Type column of a reachable volume: "Fixed 'ext4' Disk", "Fixed Disk"
// without a file system name, "Type 0007 'x' Disk" for a type outside the
// known ones. A remote drive always names its file system ("Remote '' Disk").
std::string DescribeDriveType(int drive_type, std::string_view file_system);
// The image of a reachable volume's item.
int DriveImageOf(int drive_type);

inline constexpr int kDisconnectedImage = 10;  // also FTP user volumes
inline constexpr std::string_view kNotConnectedText = "(n/c)";
inline constexpr std::string_view kFtpVolumeText = "(ftp)";
inline constexpr std::string_view kUntitledLabelText = "(Untitled)";
inline constexpr std::string_view kEmptySizeText = "(Empty)";

}  // namespace korvane
