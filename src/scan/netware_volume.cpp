#include "scan/netware_volume.h"

#include <ctime>

#include "app/text_helpers.h"

namespace korvane {
namespace {

using namespace netware;

constexpr std::string_view kUnknownOwner = "(Unknown)";

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The entry's own path: the folder itself once complete, else the current
// entry inside the folder.
std::string EntryPathOf(const VolumeScanRecord& volume, const FolderScanRecord& record) {
    if (record.entry.IsDirectory())
        return record.path;
    return JoinPath(record.path, record.entry.name, PathSeparatorOf(volume.root));
}

}  // namespace

bool IsNetWareFileSystem(std::string_view fs_type) {
    return fs_type.starts_with("NW") || fs_type.starts_with("DOS") || fs_type.starts_with("OS2") ||
           fs_type == "ncpfs";
}

std::int32_t NetWareVolumeTypeOf(std::string_view share) {
    return share.find('.') != std::string_view::npos ? kNetWareObjectVolumeType : kNetWareVolumeType;
}

bool IsNetWareVolume(const VolumeScanRecord& volume) {
    return volume.volume_type == kNetWareVolumeType || volume.volume_type == kNetWareObjectVolumeType;
}

std::string NetWarePathOf(const VolumeScanRecord& volume, std::string_view path) {
    std::string_view root = volume.root;
    while (root.size() > 1 && IsSeparator(root.back()))
        root.remove_suffix(1);
    if (volume.owner.empty() || volume.name.empty() || !path.starts_with(root))
        return {};
    std::string_view below = path.substr(root.size());
    if (!below.empty() && !IsSeparator(below.front()) && !IsSeparator(root.back()))
        return {};  // a sibling whose name merely begins like the root
    while (!below.empty() && IsSeparator(below.front()))
        below.remove_prefix(1);
    std::string unc = "\\\\" + volume.owner + "\\" + volume.name;
    if (!below.empty()) {
        unc += '\\';
        for (const char c : below)
            unc += c == '/' ? '\\' : c;
    }
    return unc;
}

std::int64_t DosDateTimeToUnix(std::uint32_t date_time) {
    const std::uint32_t date = date_time >> 16;
    const std::uint32_t time = date_time & 0xFFFFu;
    std::tm local{};
    local.tm_year = static_cast<int>(date >> 9) + 80;
    local.tm_mon = static_cast<int>((date >> 5) & 0x0F) - 1;
    local.tm_mday = static_cast<int>(date & 0x1F);
    local.tm_hour = static_cast<int>(time >> 11);
    local.tm_min = static_cast<int>((time >> 5) & 0x3F);
    local.tm_sec = static_cast<int>(time & 0x1F) * 2;
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday == 0)
        return 0;
    const std::time_t seconds = std::mktime(&local);
    return seconds == static_cast<std::time_t>(-1) ? 0 : static_cast<std::int64_t>(seconds);
}

void FillNetWareDetails(NetWareLayer* layer, const VolumeScanRecord& volume, FolderScanRecord& record) {
    DirectoryEntry& entry = record.entry;
    record.compressed_size = entry.size;
    record.owner = std::string(kUnknownOwner);
    if (layer == nullptr)
        return;
    const std::string unc = NetWarePathOf(volume, EntryPathOf(volume, record));
    const std::string_view name = LastPathComponent(unc);
    NWEntryRecord details{};
    auto read = [&] {
        const int rc = layer->NwResolvePath(unc);
        return rc != 0 ? rc : layer->NwReadEntry(name, details);
    };
    if (read() != 0 && (layer->long_names() || read() != 0))
        return;
    if ((details.attributes & kImmediateCompress) &&
        (details.attributes & (kCompressed | kDontCompress | kCantCompress))) {
        // A file the server will not (or need not) compress keeps no request for it.
        details.attributes &= ~kImmediateCompress;
        layer->NwWriteEntry(name, kModifyAttributes, details);
    }
    if (details.attributes & (kImmediateCompress | kCompressed)) {
        record.compressed_size = details.compressed_size;
        entry.attributes |= kAttrCompressed;
    }
    layer->NetWareOwnerName(details.creator_id, record.owner);
    entry.create_time = DosDateTimeToUnix(details.creation_date_time);
}

bool NetWareCompress(NetWareLayer& layer, const VolumeScanRecord& volume, const std::string& path, int mode) {
    const std::string unc = NetWarePathOf(volume, path);
    return !unc.empty() && layer.NwSetCompression(unc, mode, path);
}

bool NetWareSetOwnerOf(NetWareLayer& layer, const VolumeScanRecord& volume, const std::string& path,
                       std::string_view account) {
    const std::string unc = NetWarePathOf(volume, path);
    return !unc.empty() && !layer.NetWareSetOwner(unc, account);
}

std::string NetWareOwnerOf(NetWareLayer& layer, const VolumeScanRecord& volume, const std::string& path) {
    std::string name(kUnknownOwner);
    const std::string unc = NetWarePathOf(volume, path);
    if (!unc.empty())
        layer.NetWareOwnerOfPath(unc, name);
    return name;
}

}  // namespace korvane
