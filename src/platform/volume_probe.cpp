#include "platform/volume_probe.h"

#include "platform/percent_escapes.h"

#include <blkid/blkid.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <type_traits>

namespace korvane {
namespace fs = std::filesystem;
namespace {

// A device stacked on others (LUKS, LVM) is as removable as the disks below it.
constexpr int kMaxStackDepth = 4;

std::string FirstLineOf(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

fs::path DiskFolderOf(const fs::path& device_folder) {
    std::error_code ec;
    return fs::exists(device_folder / "partition", ec) ? device_folder.parent_path() : device_folder;
}

bool IsRemovableDisk(const fs::path& disk_folder, int depth) {
    if (FirstLineOf(disk_folder / "removable") == "1")
        return true;
    if (depth >= kMaxStackDepth)
        return false;
    std::error_code ec;
    for (fs::directory_iterator it(disk_folder / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path below = fs::canonical(it->path(), ec);
        if (ec)
            return false;
        if (IsRemovableDisk(DiskFolderOf(below), depth + 1))
            return true;
    }
    return false;
}

// The name of the link in `folder` that leads to `target`, decoded; empty when none does.
std::string LinkNameFor(const fs::path& folder, const fs::path& target) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code resolve_error;
        if (fs::canonical(it->path(), resolve_error) == target && !resolve_error) {
            return DecodeUdevName(it->path().filename().string());
        }
    }
    return {};
}

struct ProbeDeleter {
    void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};

void ReadSuperblockIdentity(const std::string& node, VolumeIdentity& identity) {
    std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter> probe(
        blkid_new_probe_from_filename(node.c_str()));
    if (!probe)
        return;  // not readable (no permission, no medium)
    blkid_probe_enable_superblocks(probe.get(), 1);
    blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_LABEL | BLKID_SUBLKS_UUID);
    if (blkid_do_safeprobe(probe.get()) != 0)
        return;
    const char* value = nullptr;
    std::size_t length = 0;
    if (identity.label.empty() && blkid_probe_lookup_value(probe.get(), "LABEL", &value, &length) == 0) {
        identity.label.assign(value);
    }
    if (identity.uuid.empty() && blkid_probe_lookup_value(probe.get(), "UUID", &value, &length) == 0) {
        identity.uuid.assign(value);
    }
}

// The names in a folder; none when it cannot be read (a gvfsd-fuse mount of
// another user refuses even root).
std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    return names;
}

}  // namespace

std::string DecodeUdevName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            const int high = HexDigitValue(name[i + 2]), low = HexDigitValue(name[i + 3]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.push_back(name[i]);
    }
    return out;
}

std::vector<MountEntry> LinuxVolumeProbe::Mounts() {
    std::ifstream in(paths_.mount_info, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return WithGioMounts(ParseMountInfo(text.str()), FolderNames);
}

int LinuxVolumeProbe::ResolvePath(const std::string& path, std::string& resolved) {
    char* real = realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return errno;
    resolved.assign(real);
    std::free(real);
    return 0;
}

int LinuxVolumeProbe::Space(const std::string& path, FileSystemSpace& space) {
    struct statvfs info;
    if (statvfs(path.c_str(), &info) != 0)
        return errno;
    const std::uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
    space.total_bytes = static_cast<std::uint64_t>(info.f_blocks) * unit;
    space.free_bytes = static_cast<std::uint64_t>(info.f_bfree) * unit;
    space.block_size = unit <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(unit) : 0;
    return 0;
}

std::optional<BlockDevice> LinuxVolumeProbe::BlockDeviceOf(const MountEntry& mount) {
    std::uint64_t number = 0;
    if (mount.source.rfind("/dev/", 0) == 0) {
        struct stat node;
        const std::string path = paths_.dev + mount.source.substr(4);
        if (stat(path.c_str(), &node) == 0 && S_ISBLK(node.st_mode))
            number = node.st_rdev;
    }
    if (number == 0 && major(mount.device) != 0)
        number = mount.device;
    if (number == 0)
        return std::nullopt;

    std::error_code ec;
    const fs::path link = fs::path(paths_.sys) / "dev" / "block" /
                          (std::to_string(major(number)) + ":" + std::to_string(minor(number)));
    const fs::path folder = fs::canonical(link, ec);
    if (ec)
        return std::nullopt;
    BlockDevice device;
    device.name = folder.filename().string();
    const fs::path disk_folder = DiskFolderOf(folder);
    device.disk = disk_folder.filename().string();
    device.removable = IsRemovableDisk(disk_folder, 0);
    return device;
}

VolumeIdentity LinuxVolumeProbe::IdentityOf(const MountEntry&, const BlockDevice& device) {
    VolumeIdentity identity;
    if (device.name.empty())
        return identity;
    const std::string node = paths_.dev + "/" + device.name;
    std::error_code ec;
    const fs::path target = fs::canonical(node, ec);
    if (!ec) {
        identity.label = LinkNameFor(fs::path(paths_.dev) / "disk" / "by-label", target);
        identity.uuid = LinkNameFor(fs::path(paths_.dev) / "disk" / "by-uuid", target);
    }
    if (identity.label.empty() || identity.uuid.empty())
        ReadSuperblockIdentity(node, identity);
    return identity;
}

}  // namespace korvane
