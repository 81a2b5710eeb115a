// NetWare volumes as the catalogue knows them: which mounts are NetWare
// volumes, their volume types, the UNC path of an entry that the NetWare
// layer is given, and the details a scan takes from it. The file actions
// call NetWareCompress and NetWareSetOwnerOf for volumes of type 10 and 11.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalogue/scan_records.h"
#include "owners/netware_layer.h"

namespace korvane {

inline constexpr std::int32_t kNetWareVolumeType = 10;
inline constexpr std::int32_t kNetWareObjectVolumeType =
    11;  // reached through a directory-services volume object

// A remote mount whose file-system name begins with "NW", "DOS" or "OS2"
// (compared with case), or the kernel's NetWare file system "ncpfs".
bool IsNetWareFileSystem(std::string_view fs_type);
// 11 for a share that names a volume object (it holds a "."), else 10.
std::int32_t NetWareVolumeTypeOf(std::string_view share);
bool IsNetWareVolume(const VolumeScanRecord& volume);

// The UNC path "\\server\share\rest" of a path on the volume: the volume's
// server (its owner) and share (its name) and the part of the path below its
// root, with "\" between names. Empty when the path is not on the volume.
std::string NetWarePathOf(const VolumeScanRecord& volume, std::string_view path);

// The NetWare details of the entry the record holds, for a scan: compressed
// size and the compressed attribute, owner by creator ID and creation time.
// When the layer cannot read the entry the compressed size is the size and
// the owner "(Unknown)".
void FillNetWareDetails(NetWareLayer* layer, const VolumeScanRecord& volume, FolderScanRecord& record);

// Compresses (mode 1) or uncompresses (mode 0) a file of a NetWare volume
// given by its path on the mount. True on success.
bool NetWareCompress(NetWareLayer& layer, const VolumeScanRecord& volume, const std::string& path, int mode);
// Gives a file or folder of a NetWare volume to account. True on success
// (the layer's NetWareSetOwner answers the other way round).
bool NetWareSetOwnerOf(NetWareLayer& layer, const VolumeScanRecord& volume, const std::string& path,
                       std::string_view account);
// The owner of a path of a NetWare volume, "(Unknown)" when it cannot be read.
std::string NetWareOwnerOf(NetWareLayer& layer, const VolumeScanRecord& volume, const std::string& path);

// Seconds since the epoch (UTC) of a DOS date (high 16 bits) and time (low
// 16 bits) read as local time; 0 for a value that is no date.
std::int64_t DosDateTimeToUnix(std::uint32_t date_time);

}  // namespace korvane
