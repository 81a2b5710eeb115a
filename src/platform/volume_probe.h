// What the volume layer asks of the operating system, behind one interface:
// the mount table, free space, the block device under a mount and its label
// and UUID. LinuxVolumeProbe reads the real system; its folders can be
// pointed at a prepared tree, and tests can replace the whole probe to show
// removable, optical and network mounts a test machine does not have.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/mount_table.h"

namespace korvane {

struct FileSystemSpace {
    std::uint64_t total_bytes = 0;
    std::uint64_t free_bytes = 0;  // all free blocks, including those kept for root
    std::uint32_t block_size = 0;  // the allocation unit
};

struct BlockDevice {
    std::string name;  // kernel name of the device that is mounted ("sdb1", "dm-0", "sr0")
    std::string disk;  // the whole disk it belongs to ("sdb"); equal to name for a whole disk
    bool removable = false;
};

struct VolumeIdentity {
    std::string label;
    std::string uuid;
};

class VolumeProbe {
  public:
    virtual ~VolumeProbe() = default;
    virtual std::vector<MountEntry> Mounts() = 0;
    // The canonical absolute form of an existing path. Returns 0 or the errno.
    virtual int ResolvePath(const std::string& path, std::string& resolved) = 0;
    // Size and free space of the file system holding path. Returns 0 or the errno.
    virtual int Space(const std::string& path, FileSystemSpace& space) = 0;
    // The block device a mount lives on; none for network, memory and
    // virtual file systems.
    virtual std::optional<BlockDevice> BlockDeviceOf(const MountEntry& mount) = 0;
    // Label and UUID of a block device; empty texts where there are none.
    virtual VolumeIdentity IdentityOf(const MountEntry& mount, const BlockDevice& device) = 0;
};

// Where LinuxVolumeProbe looks; tests point these at a prepared tree.
struct VolumeProbePaths {
    std::string mount_info = "/proc/self/mountinfo";
    std::string sys = "/sys";
    std::string dev = "/dev";  // holds the device nodes and disk/by-label, disk/by-uuid
};

class LinuxVolumeProbe : public VolumeProbe {
  public:
    LinuxVolumeProbe() = default;
    explicit LinuxVolumeProbe(VolumeProbePaths paths) : paths_(std::move(paths)) {}

    std::vector<MountEntry> Mounts() override;
    int ResolvePath(const std::string& path, std::string& resolved) override;
    int Space(const std::string& path, FileSystemSpace& space) override;
    // The device number comes from the mount's source node when it is a
    // block device (btrfs reports an anonymous number in the mount table),
    // else from the mount table; sysfs then names it and its disk.
    std::optional<BlockDevice> BlockDeviceOf(const MountEntry& mount) override;
    // The udev symlinks first; libblkid reads the superblock for what they do
    // not give when the device node is readable.
    VolumeIdentity IdentityOf(const MountEntry& mount, const BlockDevice& device) override;

  private:
    VolumeProbePaths paths_;
};

// Decodes the \xHH escapes udev writes into by-label and by-uuid link names.
std::string DecodeUdevName(const std::string& name);

}  // namespace korvane
