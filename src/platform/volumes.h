// The volumes of this machine as the scanner and the volume selection see
// them: every mounted file system that can hold user files, with its drive
// type, label, serial number, file system name, sizes and, for network
// mounts, the server and share it comes from.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mount_table.h"
#include "platform/volume_probe.h"

namespace korvane {

// The drive types the catalogue and the volume list have always used.
enum class DriveType : int {
    kUnknown = 0,
    kNoRootDir = 1,
    kRemovable = 2,
    kFixed = 3,
    kRemote = 4,
    kCdRom = 5,
    kRamDisk = 6,
};

struct RemoteName {
    std::string server;
    std::string share;
    std::string rest;  // below the share, without a leading separator ("" when none)
};

struct VolumeInfo {
    std::string root;     // the mount point holding the probed path
    std::string source;   // the mount's source, as the mount table gives it
    std::string fs_type;  // file system name: the mount's type
    DriveType drive_type = DriveType::kUnknown;
    std::string label;
    std::string uuid;
    std::uint32_t serial = 0;  // 32 bits of the UUID
    std::uint64_t size = 0;
    std::uint64_t free = 0;
    std::uint64_t used = 0;
    std::uint32_t cluster_size = 0;
    std::optional<RemoteName> remote;  // set for remote volumes whose source names a server
};

// Network file systems, by mount type (fuse types with their "fuse." prefix).
bool IsRemoteFileSystem(std::string_view fs_type);
// "//server/share[/rest]" (also with backslashes), "server:/export" and,
// for types that take it, "[user@]host:path". None for any other source.
std::optional<RemoteName> ParseRemoteSource(std::string_view source, std::string_view fs_type = {});
DriveType ClassifyDrive(const MountEntry& mount, const std::optional<BlockDevice>& device);
// The serial number from a UUID: its last eight hexadecimal digits, which is
// the number FAT and NTFS volumes have always shown. 0 when it has none.
std::uint32_t SerialOfUuid(std::string_view uuid);

// The mounts that are volumes, in mount table order: pseudo file systems and
// everything below /proc and /sys left out, and of several mounts at one
// mount point only the last (it hides the others).
std::vector<MountEntry> ListVolumeMounts(VolumeProbe& probe);

// Describes the volume that holds path (normally its mount point). Drive
// type, file system, label and remote name are filled whenever the path
// resolves; returns 0, or the errno when the path does not resolve or its
// space cannot be read (then sizes stay 0). A path that does not exist is
// of type kNoRootDir.
int DescribeVolume(VolumeProbe& probe, std::string_view path, VolumeInfo& info);
// The drive type and file system of the volume holding path, without
// reading its label or space: kNoRootDir when the path does not resolve.
DriveType DriveTypeOf(VolumeProbe& probe, std::string_view path, std::string& fs_type);
// True when path lies on a fixed local disk or in memory: not on a network,
// removable or user-space (fuse) file system, whose loss would turn a read
// of mapped memory into a fault instead of an error.
bool IsFixedLocalStorage(VolumeProbe& probe, std::string_view path);
// Same, with a mount table read once for many volumes.
int DescribeVolume(VolumeProbe& probe, const std::vector<MountEntry>& mounts, std::string_view path,
                   VolumeInfo& info);

}  // namespace korvane
