#include "scan/volume_selection.h"

#include <cstdlib>

#include "app/formatting.h"
#include "app/profile_file.h"
#include "app/settings.h"
#include "app/text_helpers.h"
#include "owners/netware_layer.h"
#include "scan/drive_descriptions.h"
#include "scan/netware_volume.h"
#include "scan/volume_scanner.h"

namespace korvane {
namespace {

// The rest keeps its leading separator; a root that ends in one ("/") does
// not give it twice.
std::string WithRest(std::string location, const std::optional<std::string>& rest) {
    if (!rest || rest->empty())
        return location;
    if (!location.empty() && location.back() == rest->front() &&
        (location.back() == '/' || location.back() == '\\'))
        location.pop_back();
    return location + *rest;
}

bool IsUncName(std::string_view text) {
    return text.size() >= 2 && text[0] == '\\' && text[1] == '\\';
}

// Closes the listing's status window when the listing ends.
struct ListingStatus {
    ListingStatus(UserInterface& ui, std::string_view line)
        : window(ui.ShowStatus("Please wait...", "Select Volume...", line, "", "")) {}
    std::unique_ptr<StatusWindow> window;
};

// The volume's size as its NetWare server counts it; the platform's when
// the server cannot be asked.
std::uint64_t NetWareSizeOr(NetWareLayer& layer, const RemoteName& remote, std::uint64_t platform_size) {
    std::string share = remote.share;
    if (!share.empty() && share.back() == ':')
        share.pop_back();
    NetWareVolumeSpace space;
    return layer.NwVolumeSpace(remote.server, share, space) == 0 ? space.size : platform_size;
}

// The size text reads as the number 0: "(Empty)" does, "(n/c)" is never asked.
bool ReadsAsZero(std::string_view size) {
    return std::strtod(std::string(size).c_str(), nullptr) == 0.0;
}

}  // namespace

ListingSnapshot TakeListingSnapshot(VolumeListingSource& source) {
    ListingSnapshot snapshot;
    snapshot.mounts = ListVolumeMounts(source.probe);
    snapshot.connections = TakeNetworkConnections(source.programs, source.probe.Mounts());
    return snapshot;
}

VolumeItem DescribeDrive(VolumeListingSource& source, const ListingSnapshot& snapshot, std::string_view root,
                         const std::optional<std::string>& rest, std::uint32_t value) {
    VolumeItem item;
    item.value = value;
    std::string probe_path(root);
    if (IsUncName(root)) {
        item.value |= kNetworkItemBit;
        if (const NetworkConnection* mounted = FindConnected(snapshot.connections, root)) {
            probe_path = mounted->mount_point;
        }
    }
    VolumeInfo info;
    DescribeVolume(source.probe, snapshot.mounts, probe_path, info);
    const int drive_type = static_cast<int>(info.drive_type);
    if (info.drive_type == DriveType::kRemote) {
        item.value |= kNetworkItemBit | kConnectedItemBit;
        if (source.netware != nullptr && info.remote && IsNetWareFileSystem(info.fs_type))
            info.size = NetWareSizeOr(*source.netware, *info.remote, info.size);
    }
    item.image = DriveImageOf(drive_type);
    item.label = info.label.empty() ? std::string(kUntitledLabelText) : info.label;
    item.size = info.size == 0 ? std::string(kEmptySizeText) : FormatSize(info.size);
    item.type = DescribeDriveType(drive_type, info.fs_type);
    item.location = WithRest(std::string(root), rest);
    return item;
}

VolumeItem DescribeDisconnected(std::string_view root, const std::optional<std::string>& rest,
                                std::uint32_t value) {
    VolumeItem item;
    item.image = kDisconnectedImage;
    item.value = (value | kNetworkItemBit) & ~kConnectedItemBit;
    item.label = item.size = item.type = std::string(kNotConnectedText);
    item.location = WithRest(std::string(root), rest);
    return item;
}

VolumeItem DescribeFtp(std::string_view location, std::uint32_t value) {
    VolumeItem item;
    item.image = kDisconnectedImage;
    item.value = value | kUserVolumeItemBit | kFtpItemBit;
    item.label = item.size = item.type = std::string(kFtpVolumeText);
    item.location = std::string(location);
    return item;
}

const NetworkConnection* FindConnected(const NetworkConnectionLists& lists, std::string_view root) {
    const std::optional<NetworkName> unc = IsUncName(root) ? SplitUncName(root) : std::nullopt;
    for (auto it = lists.connected.rbegin(); it != lists.connected.rend(); ++it) {
        if (!unc) {
            if (it->mount_point == root)
                return &*it;
            continue;
        }
        if (!it->remote || !EqualsNoCase(it->remote->server, unc->server))
            continue;
        std::string share = it->remote->share;
        if (!share.empty() && share.back() == ':')
            share.pop_back();
        if (EqualsNoCase(share, unc->share))
            return &*it;
    }
    return nullptr;
}

std::vector<VolumeItem> ListLogicalDrives(VolumeListingSource& source, UserInterface& ui) {
    ListingStatus status(ui, "Enumerating logical drives...");
    const ListingSnapshot snapshot = TakeListingSnapshot(source);
    std::vector<VolumeItem> items;
    for (const MountEntry& mount : snapshot.mounts) {
        items.push_back(DescribeDrive(source, snapshot, mount.mount_point, std::nullopt, 0));
        ui.PumpMessages();
    }
    for (const NetworkConnection& remembered : snapshot.connections.remembered) {
        if (FindMount(snapshot.mounts, remembered.mount_point) != nullptr)
            continue;
        items.push_back(DescribeDisconnected(remembered.mount_point, std::nullopt, 0));
    }
    return items;
}

std::optional<VolumeItem> DescribeUserVolume(VolumeListingSource& source, const ListingSnapshot& snapshot,
                                             const UserVolumeRecord& volume) {
    if (volume.uv_id <= 0 || static_cast<std::uint32_t>(volume.uv_id) > kUvIdMask)
        return std::nullopt;
    const std::uint32_t value = static_cast<std::uint32_t>(volume.uv_id) | kUserVolumeItemBit;
    if (IsFtpLocation(volume.location))
        return DescribeFtp(volume.location, value);
    const LocationParts parts = RootOfLocation(volume.location, MountPointsOf(snapshot.mounts));
    if (IsUncName(parts.root)) {
        if (FindConnected(snapshot.connections, parts.root) == nullptr) {
            return DescribeDisconnected(parts.root, parts.rest, value);
        }
        return DescribeDrive(source, snapshot, parts.root, parts.rest, value);
    }
    if (!parts.root.empty() && parts.root[0] == '/') {
        // A remembered network entry that is not mounted leaves its folders
        // on the file system below it: the volume is not there.
        for (const NetworkConnection& remembered : snapshot.connections.remembered) {
            const std::string& point = remembered.mount_point;
            const bool below =
                volume.location.compare(0, point.size(), point) == 0 &&
                (volume.location.size() == point.size() || volume.location[point.size()] == '/');
            if (below && FindMount(snapshot.mounts, point) == nullptr) {
                return DescribeDisconnected(volume.location, std::nullopt, value);
            }
        }
    }
    return DescribeDrive(source, snapshot, parts.root, parts.rest, value);
}

std::vector<VolumeItem> ListUserVolumes(VolumeListingSource& source, Catalogue& catalogue,
                                        UserInterface& ui) {
    ListingStatus status(ui, "Enumerating user volumes...");
    const ListingSnapshot snapshot = TakeListingSnapshot(source);
    std::vector<VolumeItem> items;
    if (!OpenUserVolumes(catalogue))
        return items;
    UserVolumeRecord volume;
    for (bool more = FirstUserVolume(catalogue, volume); more; more = NextUserVolume(catalogue, volume)) {
        if (std::optional<VolumeItem> item = DescribeUserVolume(source, snapshot, volume)) {
            items.push_back(std::move(*item));
        }
        ui.PumpMessages();
    }
    CloseUserVolumes(catalogue);
    return items;
}

SelectionOutcome GatherSelection(const std::vector<const VolumeItem*>& selected) {
    SelectionOutcome outcome;
    std::vector<std::string> names;
    for (const VolumeItem* item : selected) {
        if (!item->IsFtp() && item->size != kNotConnectedText && ReadsAsZero(item->size)) {
            outcome.message = std::string(kEmptyVolumeMessage);
            return outcome;
        }
        names.push_back(item->IsUserVolume() ? UserVolumeToken(item->UvId()) : item->location);
    }
    if (names.empty()) {
        outcome.message = std::string(kNoVolumesMessage);
        return outcome;
    }
    for (const std::string& name : names)
        outcome.volume_list += "\"" + name + "\",";
    outcome.ok = true;
    return outcome;
}

std::string FormatScanDateTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, "%B %d,%Y %I:%M%p", &local);
    return std::string(text, length);
}

bool BuildSelectedVolumes(ScanContext& context, const std::string& settings_path,
                          const std::string& volume_list, ProgressWindow* progress) {
    // A build that fails must not leave the settings saying the catalogue
    // was built from this list.
    const std::string previous =
        ReadProfileString(settings_path, kSelectedVolumeSection, "Selected Drive", "", 65535);
    WriteProfileString(settings_path, kSelectedVolumeSection, "Selected Drive", volume_list);
    if (!BuildCatalogue(context, volume_list, progress)) {
        WriteProfileString(settings_path, kSelectedVolumeSection, "Selected Drive", previous);
        return false;
    }
    WriteSelectedVolume(settings_path, volume_list, FormatScanDateTime(std::time(nullptr)));
    return true;
}

}  // namespace korvane
