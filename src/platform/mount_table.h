// The mount table of /proc/self/mountinfo. The parser takes text so tests
// can feed literal tables.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct MountEntry {
    std::string mount_point;  // octal escapes (\040 ...) decoded
    std::string fs_type;
    std::string source;
    std::string options;      // per-mount options
    std::uint64_t device = 0; // makedev(major, minor)
    std::string root;         // root of the mount within its file system
};

std::vector<MountEntry> ParseMountInfo(std::string_view text);
// The mount table of this process; empty when it cannot be read.
std::vector<MountEntry> ReadMountTable();
// Pseudo file systems (proc, sysfs, cgroup, devpts, ...) that hold no user files.
bool IsPseudoFileSystem(std::string_view fs_type);
// The mount point that holds an absolute path: the longest mount point that
// is the path or a folder above it ("/" when nothing longer matches).
std::string MountPointOf(std::string_view path, const std::vector<std::string>& mount_points);
std::vector<std::string> MountPointsOf(const std::vector<MountEntry>& mounts);
// The entry of the last mount at exactly that mount point (later mounts hide earlier ones).
const MountEntry* FindMount(const std::vector<MountEntry>& mounts, std::string_view mount_point);

// Shares mounted through GIO have no mount of their own: each is a folder of
// the one gvfsd-fuse mount, named by its mount name
// ("smb-share:port=445,server=nas,share=music"). The table lists each as an
// entry of that type whose root is the folder.
inline constexpr std::string_view kGioFuseType = "fuse.gvfsd-fuse";
bool IsGioMount(const MountEntry& mount);
// The remote name a GIO mount folder stands for: "//server/share" for a
// share, "host:/prefix" for others; none when the name gives no server.
std::optional<std::string> SourceOfGioMount(std::string_view folder_name);
// The mounts with, after each gvfsd-fuse mount, an entry for every folder of
// it that names a remote mount (folder names as listed in it).
std::vector<MountEntry> WithGioMounts(const std::vector<MountEntry>& mounts,
                                      std::vector<std::string> (*list_folder)(const std::string&));

}  // namespace korvane
