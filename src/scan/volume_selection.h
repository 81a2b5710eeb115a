// What the Select Volume dialog lists and decides, without its widgets: the
// items of the machine's drives (mount points, with an empty Letter column),
// of remembered but unmounted network entries and of user volumes; the item
// value bits; the checks of OK and the volume list text it makes; and the
// build that follows in build mode.
//
// A drive's Location is its mount point: that is how the build reaches a
// mounted share too, whatever its server calls it. A user volume keeps the
// location it was added with.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/user_volumes.h"
#include "platform/network_connections.h"
#include "platform/volume_probe.h"

namespace korvane {

class Catalogue;
class NetWareLayer;
struct ScanContext;

// The item value: a user volume's UV ID in the low 28 bits, four flags above.
inline constexpr std::uint32_t kUvIdMask = (1u << 28) - 1;
inline constexpr std::uint32_t kNetworkItemBit = 1u << 28;    // it has a remote name
inline constexpr std::uint32_t kConnectedItemBit = 1u << 29;  // mounted now as a remote drive
inline constexpr std::uint32_t kUserVolumeItemBit = 1u << 30;
inline constexpr std::uint32_t kFtpItemBit = 1u << 31;

struct VolumeItem {
    std::string letter;  // always empty here: mounts have no letters
    std::string location;
    std::string size;
    std::string label;
    std::string type;
    int image = 0;
    std::uint32_t value = 0;

    std::int32_t UvId() const { return static_cast<std::int32_t>(value & kUvIdMask); }
    bool IsUserVolume() const { return (value & kUserVolumeItemBit) != 0; }
    bool IsFtp() const { return (value & kFtpItemBit) != 0; }
    bool IsNetwork() const { return (value & kNetworkItemBit) != 0; }
    bool IsConnected() const { return (value & kConnectedItemBit) != 0; }
};

// What a listing reads: the probe of the machine's volumes, where the
// remembered network entries and the mount programs are, and the NetWare
// layer that sizes NetWare volumes (none: they show the platform's size).
struct VolumeListingSource {
    VolumeProbe& probe;
    NetworkPrograms programs;
    NetWareLayer* netware = nullptr;
};

// Taken before each listing and released after it.
struct ListingSnapshot {
    std::vector<MountEntry> mounts;  // the volume mounts, in mount table order
    NetworkConnectionLists connections;
};
ListingSnapshot TakeListingSnapshot(VolumeListingSource& source);

// A reachable volume: root is a mount point (or a folder below one, or a
// mounted "\\server\share" name), rest is added to the Location. A remote
// mount sets the network and connected bits; a NetWare one shows the size its
// server counts when the NetWare layer can read it. A volume that cannot be
// read shows "(Untitled)", "(Empty)" and its type.
VolumeItem DescribeDrive(VolumeListingSource& source, const ListingSnapshot& snapshot, std::string_view root,
                         const std::optional<std::string>& rest, std::uint32_t value);
// A remembered network entry or share that is not mounted: "(n/c)" three
// times, image 10, network bit on and connected bit off.
VolumeItem DescribeDisconnected(std::string_view root, const std::optional<std::string>& rest,
                                std::uint32_t value);
// An FTP user volume: "(ftp)" three times, image 10, user-volume and FTP bits.
VolumeItem DescribeFtp(std::string_view location, std::uint32_t value);

// The connected entry a "\\server\share" root (compared without regard to
// case) or a mount point names; null when none.
const NetworkConnection* FindConnected(const NetworkConnectionLists& lists, std::string_view root);

// Every volume mount in mount table order, then every remembered network
// entry that is not mounted. Shows the listing's status window and lets
// messages through after each drive.
std::vector<VolumeItem> ListLogicalDrives(VolumeListingSource& source, UserInterface& ui);
// The user volume's item by the user-volume listing's rules; none for a
// UV ID of 2^28 or more.
std::optional<VolumeItem> DescribeUserVolume(VolumeListingSource& source, const ListingSnapshot& snapshot,
                                             const UserVolumeRecord& volume);
// Every user volume in table order.
std::vector<VolumeItem> ListUserVolumes(VolumeListingSource& source, Catalogue& catalogue, UserInterface& ui);

inline constexpr std::string_view kEmptyVolumeMessage = "Empty or unmounted volume selected...";
inline constexpr std::string_view kNoVolumesMessage = "Volumes must be selected to build a database.";

struct SelectionOutcome {
    bool ok = false;
    std::string message;      // shown when not ok; the dialog stays open
    std::string volume_list;  // "\"name\"," for each name, in list order
};
// OK's checks over the selected items in list order: an item that is not
// FTP, not "(n/c)" and whose size reads as 0 stops OK; a user volume is
// named "uv: N", any other item by its Location.
SelectionOutcome GatherSelection(const std::vector<const VolumeItem*>& selected);

// "%B %d,%Y %I:%M%p" in local time, as ScanDateTime is written.
std::string FormatScanDateTime(std::time_t when);

// Build mode after OK: writes Selected Drive, builds the catalogue from the
// list under the progress window, writes ScanDateTime. The build's result;
// when it fails, Selected Drive gets its previous value back and
// ScanDateTime stays.
bool BuildSelectedVolumes(ScanContext& context, const std::string& settings_path,
                          const std::string& volume_list, ProgressWindow* progress);

}  // namespace korvane
