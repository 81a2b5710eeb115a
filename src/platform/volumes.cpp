#include "platform/volumes.h"

#include <algorithm>
#include <array>
#include <cerrno>

namespace korvane {
namespace {

// Kernel and FUSE network file systems. A FUSE mount of an unlisted network
// type is still found by its "host:/path" or "//host/share" source.
constexpr std::array<std::string_view, 48> kRemoteTypes = {
    "nfs",
    "nfs4",
    "nfs3",
    "cifs",
    "smb3",
    "smbfs",
    "smb",
    "sshfs",
    "afs",
    "kafs",
    "ceph",
    "9p",
    "glusterfs",
    "lustre",
    "davfs",
    "ncpfs",
    "ncp",
    "coda",
    "gfs",
    "gfs2",
    "ocfs2",
    "pvfs2",
    "orangefs",
    "beegfs",
    "gpfs",
    "panfs",
    "cvfs",
    "afpfs",
    "vboxsf",
    "vmhgfs",
    "fuse.sshfs",
    "fuse.rclone",
    "fuse.s3fs",
    "fuse.gcsfuse",
    "fuse.goofys",
    "fuse.glusterfs",
    "fuse.ceph",
    "fuse.ceph-fuse",
    "fuse.juicefs",
    "fuse.mfs",
    "fuse.lizardfs",
    "fuse.quobyte",
    "fuse.curlftpfs",
    "fuse.smbnetfs",
    "fuse.davfs2",
    "fuse.afpfs",
    "fuse.blobfuse",
    "fuse.blobfuse2",
};

// Types that take "[user@]host:path" with a path relative to the remote home.
constexpr std::array<std::string_view, 4> kHostPathTypes = {"sshfs", "fuse.sshfs", "fuse.rclone",
                                                            "fuse.curlftpfs"};

bool IsRamFileSystem(std::string_view fs_type) {
    return fs_type == "tmpfs" || fs_type == "ramfs";
}

bool IsBelow(std::string_view path, std::string_view folder) {
    return path.size() >= folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string_view TrimSlashes(std::string_view text) {
    while (!text.empty() && text.front() == '/')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == '/')
        text.remove_suffix(1);
    return text;
}

std::optional<RemoteName> ParseShareSource(std::string_view source) {
    std::string normal(source.substr(2));
    std::replace(normal.begin(), normal.end(), '\\', '/');
    std::string_view rest = normal;
    const std::size_t server_end = std::min(rest.find('/'), rest.size());
    RemoteName name;
    name.server = std::string(rest.substr(0, server_end));
    if (name.server.empty())
        return std::nullopt;
    rest = TrimSlashes(rest.substr(server_end));
    const std::size_t share_end = std::min(rest.find('/'), rest.size());
    name.share = std::string(rest.substr(0, share_end));
    name.rest = std::string(TrimSlashes(rest.substr(share_end)));
    return name;
}

}  // namespace

bool IsRemoteFileSystem(std::string_view fs_type) {
    return std::find(kRemoteTypes.begin(), kRemoteTypes.end(), fs_type) != kRemoteTypes.end();
}

std::optional<RemoteName> ParseRemoteSource(std::string_view source, std::string_view fs_type) {
    if (source.size() > 2 &&
        ((source[0] == '/' && source[1] == '/') || (source[0] == '\\' && source[1] == '\\'))) {
        return ParseShareSource(source);
    }
    if (source.empty() || source[0] == '/')
        return std::nullopt;
    // host:path, with an IPv6 host in brackets.
    std::size_t colon;
    if (source[0] == '[') {
        const std::size_t close = source.find(']');
        if (close == std::string_view::npos || close + 1 >= source.size() || source[close + 1] != ':') {
            return std::nullopt;
        }
        colon = close + 1;
    } else {
        colon = source.find(':');
        if (colon == std::string_view::npos)
            return std::nullopt;
    }
    std::string_view host = source.substr(0, colon);
    const std::string_view path = source.substr(colon + 1);
    if (host.find('/') != std::string_view::npos)
        return std::nullopt;
    const bool takes_relative =
        std::find(kHostPathTypes.begin(), kHostPathTypes.end(), fs_type) != kHostPathTypes.end();
    if (!(path.size() > 0 && path[0] == '/') && !takes_relative)
        return std::nullopt;
    if (const std::size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (host.empty())
        return std::nullopt;
    RemoteName name;
    name.server = std::string(host);
    std::string_view share = path;
    while (share.size() > 1 && share.back() == '/')
        share.remove_suffix(1);
    name.share = std::string(share);
    return name;
}

DriveType ClassifyDrive(const MountEntry& mount, const std::optional<BlockDevice>& device) {
    if (IsRemoteFileSystem(mount.fs_type))
        return DriveType::kRemote;
    if (!IsRamFileSystem(mount.fs_type) && ParseRemoteSource(mount.source, mount.fs_type)) {
        return DriveType::kRemote;
    }
    if (mount.fs_type == "iso9660" || mount.fs_type == "udf")
        return DriveType::kCdRom;
    if (device && device->disk.rfind("sr", 0) == 0)
        return DriveType::kCdRom;
    if (IsRamFileSystem(mount.fs_type))
        return DriveType::kRamDisk;
    if (device && device->removable)
        return DriveType::kRemovable;
    return DriveType::kFixed;
}

std::uint32_t SerialOfUuid(std::string_view uuid) {
    std::uint32_t serial = 0;
    int digits = 0;
    for (auto it = uuid.rbegin(); it != uuid.rend() && digits < 8; ++it) {
        const char c = *it;
        int value;
        if (c >= '0' && c <= '9') {
            value = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            value = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            value = c - 'A' + 10;
        } else {
            continue;
        }
        serial |= static_cast<std::uint32_t>(value) << (4 * digits);
        ++digits;
    }
    return serial;
}

std::vector<MountEntry> ListVolumeMounts(VolumeProbe& probe) {
    const std::vector<MountEntry> mounts = probe.Mounts();
    std::vector<MountEntry> volumes;
    for (std::size_t i = 0; i < mounts.size(); ++i) {
        const MountEntry& mount = mounts[i];
        if (IsPseudoFileSystem(mount.fs_type) && !IsGioMount(mount))
            continue;
        if (IsBelow(mount.mount_point, "/proc") || IsBelow(mount.mount_point, "/sys"))
            continue;
        const bool hidden =
            std::any_of(mounts.begin() + static_cast<std::ptrdiff_t>(i) + 1, mounts.end(),
                        [&](const MountEntry& later) { return later.mount_point == mount.mount_point; });
        if (!hidden)
            volumes.push_back(mount);
    }
    return volumes;
}

DriveType DriveTypeOf(VolumeProbe& probe, std::string_view path, std::string& fs_type) {
    fs_type.clear();
    std::string resolved;
    if (probe.ResolvePath(std::string(path), resolved) != 0)
        return DriveType::kNoRootDir;
    const std::vector<MountEntry> mounts = probe.Mounts();
    const MountEntry* mount = FindMount(mounts, MountPointOf(resolved, MountPointsOf(mounts)));
    if (mount == nullptr)
        return DriveType::kNoRootDir;
    fs_type = mount->fs_type;
    return ClassifyDrive(*mount, probe.BlockDeviceOf(*mount));
}

bool IsFixedLocalStorage(VolumeProbe& probe, std::string_view path) {
    std::string fs_type;
    const DriveType type = DriveTypeOf(probe, path, fs_type);
    return (type == DriveType::kFixed || type == DriveType::kRamDisk) && fs_type.rfind("fuse", 0) != 0;
}

int DescribeVolume(VolumeProbe& probe, std::string_view path, VolumeInfo& info) {
    return DescribeVolume(probe, probe.Mounts(), path, info);
}

int DescribeVolume(VolumeProbe& probe, const std::vector<MountEntry>& mounts, std::string_view path,
                   VolumeInfo& info) {
    info = VolumeInfo{};
    std::string resolved;
    if (const int rc = probe.ResolvePath(std::string(path), resolved); rc != 0) {
        info.root = std::string(path);
        info.drive_type = DriveType::kNoRootDir;
        return rc;
    }
    info.root = MountPointOf(resolved, MountPointsOf(mounts));
    const MountEntry* mount = FindMount(mounts, info.root);
    if (mount == nullptr) {
        info.drive_type = DriveType::kNoRootDir;
        return ENODEV;
    }
    info.source = mount->source;
    info.fs_type = mount->fs_type;
    const std::optional<BlockDevice> device = probe.BlockDeviceOf(*mount);
    info.drive_type = ClassifyDrive(*mount, device);
    if (info.drive_type == DriveType::kRemote) {
        info.remote = ParseRemoteSource(mount->source, mount->fs_type);
    } else if (device) {
        VolumeIdentity identity = probe.IdentityOf(*mount, *device);
        info.label = std::move(identity.label);
        info.uuid = std::move(identity.uuid);
        info.serial = SerialOfUuid(info.uuid);
    }
    FileSystemSpace space;
    if (const int rc = probe.Space(resolved, space); rc != 0)
        return rc;
    info.size = space.total_bytes;
    info.free = std::min(space.free_bytes, space.total_bytes);
    info.used = info.size - info.free;
    info.cluster_size = space.block_size;
    return 0;
}

}  // namespace korvane
