#include "owners/netware_layer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/text_helpers.h"
#include "owners/netware_ds_handles.h"

namespace korvane {
namespace {

using namespace netware;

constexpr std::size_t kLookupNameRoom = 50;
constexpr std::size_t kVolumeNameRoom = 46;
constexpr std::size_t kVolumeObjectRoom = 2046;
constexpr std::uint16_t kMaxNameSpaces = 10;
constexpr NWDIR_HANDLE kNoDirectoryHandle = 255;
// Files only (hidden and system ones included) for the extended scan;
// folders too for the directory-entry scan.
constexpr std::uint8_t kExtendedScanAttributes = 6;
constexpr std::uint16_t kEntryScanAttributes = 22;
constexpr std::uint32_t kCompressionMask = kModifyAttributes | kModifyLastAccessDate;

std::string Clipped(std::string_view text, std::size_t room) {
    return std::string(text.substr(0, room));
}

// Copies into entry the fields of source that the mask selects.
void CopyMaskedFields(const NWEntryRecord& source, std::uint32_t mask, NWEntryRecord& entry) {
    if (mask & kModifyAttributes)
        entry.attributes = source.attributes;
    if (mask & kModifyCreationDate)
        entry.creation_date_time =
            (entry.creation_date_time & 0xFFFFu) | (source.creation_date_time & 0xFFFF0000u);
    if (mask & kModifyCreationTime)
        entry.creation_date_time =
            (entry.creation_date_time & 0xFFFF0000u) | (source.creation_date_time & 0xFFFFu);
    if (mask & kModifyCreator)
        entry.creator_id = source.creator_id;
    if (mask & kModifyArchiveDate)
        entry.archive_date_time =
            (entry.archive_date_time & 0xFFFFu) | (source.archive_date_time & 0xFFFF0000u);
    if (mask & kModifyArchiveTime)
        entry.archive_date_time =
            (entry.archive_date_time & 0xFFFF0000u) | (source.archive_date_time & 0xFFFFu);
    if (mask & kModifyArchiver)
        entry.archiver_id = source.archiver_id;
    if (mask & kModifyUpdateDate)
        entry.update_date_time = (entry.update_date_time & 0xFFFFu) | (source.update_date_time & 0xFFFF0000u);
    if (mask & kModifyUpdateTime)
        entry.update_date_time = (entry.update_date_time & 0xFFFF0000u) | (source.update_date_time & 0xFFFFu);
    if (mask & kModifyUpdater)
        entry.updator_id = source.updator_id;
    if (mask & kModifyLastAccessDate)
        entry.last_access_date = source.last_access_date;
}

// The DOS information of an entry, only the masked fields filled.
NWModifyDosInfo DosInfoOf(const NWEntryRecord& entry, std::uint32_t mask) {
    NWEntryRecord masked{};
    CopyMaskedFields(entry, mask, masked);
    NWModifyDosInfo info{};
    info.attributes = masked.attributes;
    info.creation_date = static_cast<std::uint16_t>(masked.creation_date_time >> 16);
    info.creation_time = static_cast<std::uint16_t>(masked.creation_date_time & 0xFFFFu);
    info.creator_id = masked.creator_id;
    info.modify_date = static_cast<std::uint16_t>(masked.update_date_time >> 16);
    info.modify_time = static_cast<std::uint16_t>(masked.update_date_time & 0xFFFFu);
    info.modifier_id = masked.updator_id;
    info.archive_date = static_cast<std::uint16_t>(masked.archive_date_time >> 16);
    info.archive_time = static_cast<std::uint16_t>(masked.archive_date_time & 0xFFFFu);
    info.archiver_id = masked.archiver_id;
    info.last_access_date = masked.last_access_date;
    return info;
}

// Reading a file makes the server expand it; the data itself is not wanted.
void OpenAndCloseForReading(const std::string& path) {
    if (path.empty())
        return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0)
        ::close(fd);
}

// Reads attributes of directory objects through one context and buffer pair.
struct DsReader {
    const NetWareClientFunctions& client;
    NWDSContextHandle context;
    Buf_T* request;
    Buf_T* answer;

    // The first value of each named attribute of the object; true when every
    // one has a value.
    bool Read(const std::string& object, const std::vector<const char*>& attributes,
              std::vector<std::string>& values) const {
        values.assign(attributes.size(), std::string());
        if (client.NWDSInitBuf(context, kReadOperation, request) != 0)
            return false;
        for (const char* attribute : attributes) {
            if (client.NWDSPutAttrName(context, request, attribute) != 0)
                return false;
        }
        std::int32_t iteration = -1;
        if (client.NWDSRead(context, object.c_str(), kAttributeValues, 0, request, &iteration, answer) != 0)
            return false;
        std::uint32_t count = 0;
        if (client.NWDSGetAttrCount(context, answer, &count) != 0)
            return false;
        for (std::uint32_t i = 0; i < count; ++i) {
            char attribute[kAttributeNameRoom] = {};
            std::uint32_t value_count = 0;
            std::uint32_t syntax = 0;
            if (client.NWDSGetAttrName(context, answer, attribute, &value_count, &syntax) != 0)
                return false;
            for (std::uint32_t v = 0; v < value_count; ++v) {
                char value[kObjectNameRoom] = {};
                if (client.NWDSGetAttrVal(context, answer, syntax, value) != 0)
                    return false;
                for (std::size_t a = 0; a < attributes.size(); ++a) {
                    if (v == 0 && EqualsNoCase(attribute, attributes[a]))
                        values[a] = value;
                }
            }
        }
        return std::all_of(values.begin(), values.end(),
                           [](const std::string& value) { return !value.empty(); });
    }
};

}  // namespace

bool SplitNetWarePath(std::string_view path, NetWarePathParts& parts) {
    parts = NetWarePathParts{};
    if (path.size() < 2 || path[0] != '\\' || path[1] != '\\')
        return false;
    const std::size_t server_end = path.find('\\', 2);
    if (server_end == std::string_view::npos)
        return false;
    parts.server = std::string(path.substr(2, server_end - 2));
    const std::size_t share_end = path.find('\\', server_end + 1);
    if (share_end == std::string_view::npos) {
        parts.share = std::string(path.substr(server_end + 1));
    } else {
        parts.share = std::string(path.substr(server_end + 1, share_end - server_end - 1));
        parts.rest = std::string(path.substr(share_end));
    }
    return !parts.server.empty() && !parts.share.empty();
}

std::string_view LastPathComponent(std::string_view path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

NetWareLayer::~NetWareLayer() {
    ReleaseDirectoryHandle();
}

bool NetWareLayer::ClientLoaded() {
    return Client() != nullptr;
}

const NetWareClientFunctions* NetWareLayer::Client() {
    if (!load_tried_) {
        load_tried_ = true;
        client_.Load(library_name_);
    }
    return client_.loaded() ? &client_.functions() : nullptr;
}

NetWareServerEntry* NetWareLayer::Current() {
    if (current_ < 0 || servers_[current_].state == NetWareServerEntry::kFree)
        return nullptr;
    return &servers_[current_];
}

int NetWareLayer::NwResolvePath(std::string_view unc_path) {
    NetWarePathParts parts;
    if (!SplitNetWarePath(unc_path, parts) || Client() == nullptr)
        return kNetWareLayerError;
    bool chose_entry = false;
    int rc = TryResolve(parts, chose_entry);
    if (rc != 0) {
        // The entry that failed is connected anew on the second try. A full
        // table chose no entry: the server in use stays as it is.
        if (chose_entry && current_ >= 0)
            servers_[current_].state = NetWareServerEntry::kFree;
        rc = TryResolve(parts, chose_entry);
        if (rc != 0)
            return rc;
    }
    return DirectoryHandleFor(parts.rest);
}

int NetWareLayer::TryResolve(const NetWarePathParts& parts, bool& chose_entry) {
    const int rc = SelectServer(parts.server, parts.share, chose_entry);
    return rc != 0 ? rc : SelectVolume(parts.share);
}

int NetWareLayer::SelectServer(const std::string& server_part, const std::string& share, bool& chose_entry) {
    chose_entry = false;
    if (const NetWareServerEntry* current = Current();
        current != nullptr && EqualsNoCase(current->lookup_name, server_part)) {
        chose_entry = true;
        return 0;
    }
    int found = -1;
    int first_free = -1;
    for (int i = 0; i < static_cast<int>(servers_.size()); ++i) {
        const NetWareServerEntry& entry = servers_[i];
        if (entry.state == NetWareServerEntry::kFree) {
            if (first_free < 0)
                first_free = i;
        } else if (EqualsNoCase(entry.lookup_name, server_part)) {
            found = i;
            break;
        }
    }
    const int chosen = found >= 0 ? found : first_free;
    if (chosen < 0)
        return kNetWareLayerError;
    chose_entry = true;
    MakeCurrent(chosen);
    NetWareServerEntry& entry = servers_[chosen];
    if (entry.state != NetWareServerEntry::kFree)
        return 0;
    if (share.find('.') != std::string::npos)
        return ResolveVolumeObject(server_part, share);
    const int rc = ConnectByName(server_part, entry);
    if (rc != 0)
        return rc;
    entry.state = NetWareServerEntry::kConnectedByName;
    entry.lookup_name = Clipped(server_part, kLookupNameRoom);
    return 0;
}

void NetWareLayer::MakeCurrent(int index) {
    ReleaseDirectoryHandle();
    current_ = index;
    volume_number_ = -1;
    volume_name_.clear();
    volume_object_.clear();
    long_names_ = false;
    ForgetLastEntry();
    ClearOwnerCache();
}

int NetWareLayer::ConnectByName(const std::string& name, NetWareServerEntry& entry) {
    const NetWareClientFunctions& client = *Client();
    NWCONN_HANDLE connection = 0;
    int rc = client.NWGetConnectionIDFromName(name.c_str(), &connection);
    if (rc != 0)
        return rc;
    NWFileServerVersionInfo info{};
    rc = client.NWGetFileServerVersionInfo(connection, &info);
    if (rc != 0)
        return rc;
    entry.connection = connection;
    entry.version = info.major_version * 100u + info.minor_version;
    const std::string own_name(info.server_name, strnlen(info.server_name, sizeof info.server_name));
    entry.server_name = Clipped(own_name.empty() ? name : own_name, kLookupNameRoom);
    return 0;
}

int NetWareLayer::ResolveVolumeObject(const std::string& tree, const std::string& object) {
    const NetWareClientFunctions& client = *Client();
    NetWareServerEntry& entry = servers_[current_];
    client.NWSetPreferredDSTree(tree.c_str());
    // Context and buffers stay until the volume is found: the server may
    // answer the directory calls on the connection just made.
    DsContext context(client);
    if (!context.ok())
        return kNetWareLayerError;
    client.NWDSSetContext(context.handle(), kContextNameContext, "");
    DsBuffer request(client, kDsBufferSize);
    DsBuffer answer(client, kDsBufferSize);
    if (!request.ok() || !answer.ok())
        return kNetWareLayerError;
    DsReader reader{client, context.handle(), request.get(), answer.get()};
    std::string server;
    std::string volume;
    std::vector<std::string> host;
    std::vector<std::string> common_name;
    if (reader.Read(object, {"Host Server", "Host Resource Name"}, host) &&
        reader.Read(host[0], {"CN"}, common_name)) {
        server = common_name[0];
        volume = host[1];
    } else {
        // Unreadable object: its name follows the convention server_volume.context.
        std::string_view name = object;
        if (!name.empty() && name.front() == '.')
            name.remove_prefix(1);
        const std::size_t underscore = name.find('_');
        if (underscore == std::string_view::npos || underscore == 0)
            return kNetWareLayerError;
        server = std::string(name.substr(0, underscore));
        const std::string_view after = name.substr(underscore + 1);
        volume = Clipped(after.substr(0, after.find('.')), kVolumeNameRoom);
    }
    // Another volume object of the same tree may live on another server:
    // the handle goes back to the server that gave it, and names resolved
    // there are no longer current.
    ReleaseDirectoryHandle();
    const NWCONN_HANDLE previous = entry.connection;
    const int rc = ConnectByName(server, entry);
    if (rc != 0)
        return rc;
    if (entry.connection != previous)
        ClearOwnerCache();
    entry.state = NetWareServerEntry::kConnectedByVolumeObject;
    entry.server_name = Clipped(server, kLookupNameRoom);
    entry.lookup_name = Clipped(tree, kLookupNameRoom);
    return AdoptVolume(volume, object);
}

int NetWareLayer::SelectVolume(const std::string& share) {
    NetWareServerEntry* entry = Current();
    if (entry == nullptr)
        return kNetWareLayerError;
    if (entry->state == NetWareServerEntry::kConnectedByName) {
        if (volume_number_ >= 0 && EqualsNoCase(volume_name_, share))
            return 0;
        return AdoptVolume(share, "");
    }
    if (volume_number_ >= 0 && EqualsNoCase(volume_object_, share))
        return 0;
    return ResolveVolumeObject(entry->lookup_name, share);
}

int NetWareLayer::AdoptVolume(const std::string& volume_name, const std::string& object_name) {
    const NetWareClientFunctions& client = *Client();
    const NWCONN_HANDLE connection = servers_[current_].connection;
    std::uint16_t number = 0;
    const int rc = client.NWGetVolumeNumber(connection, volume_name.c_str(), &number);
    if (rc != 0)
        return rc;
    ReleaseDirectoryHandle();
    volume_number_ = number;
    volume_name_ = Clipped(volume_name, kVolumeNameRoom);
    volume_object_ = Clipped(object_name, kVolumeObjectRoom);
    std::uint8_t name_spaces[kMaxNameSpaces] = {};
    std::uint16_t count = 0;
    long_names_ = false;
    if (client.NWGetNSLoadedList(connection, number, kMaxNameSpaces, name_spaces, &count) == 0) {
        count = std::min(count, kMaxNameSpaces);
        long_names_ = std::find(name_spaces, name_spaces + count, kLongNameSpace) != name_spaces + count;
    }
    return 0;
}

int NetWareLayer::DirectoryHandleFor(const std::string& rest) {
    std::string path = volume_name_ + ":" + (rest.empty() ? std::string("\\") : rest);
    path.erase(path.rfind('\\'));
    if (directory_handle_ != kNoDirectoryHandle && EqualsNoCase(directory_path_, path))
        return 0;
    ReleaseDirectoryHandle();
    NWDIR_HANDLE handle = kNoDirectoryHandle;
    std::uint8_t rights = 0;
    const int rc = Client()->NWAllocPermanentDirectoryHandle(servers_[current_].connection, 0, path.c_str(),
                                                             &handle, &rights);
    if (rc != 0)
        return rc;
    directory_handle_ = handle;
    directory_path_ = path;
    return 0;
}

void NetWareLayer::ReleaseDirectoryHandle() {
    if (directory_handle_ != kNoDirectoryHandle && current_ >= 0 && client_.loaded())
        client_.functions().NWDeallocateDirectoryHandle(servers_[current_].connection, directory_handle_);
    directory_handle_ = kNoDirectoryHandle;
    directory_path_.clear();
    ForgetLastEntry();
}

void NetWareLayer::ForgetLastEntry() {
    last_entry_ = NWEntryRecord{};
    last_sequence_ = -1;
    last_entry_name_.clear();
}

int NetWareLayer::NwReadEntry(std::string_view entry_name, NWEntryRecord& entry) {
    const NetWareServerEntry* server = Current();
    if (server == nullptr || directory_handle_ == kNoDirectoryHandle || Client() == nullptr)
        return kNetWareLayerError;
    const NetWareClientFunctions& client = *Client();
    const std::string name(entry_name);
    std::string scan_name = name;
    if (long_names_) {
        NWNSEntryInfo info{};
        if (client.NWGetNSEntryInfo(server->connection, directory_handle_, name.c_str(), kLongNameSpace,
                                    kDosNameSpace, kEntryScanAttributes, 0xFFFFFFFFu, &info) == 0) {
            scan_name.assign(info.entry_name,
                             std::min<std::size_t>(info.name_length, sizeof info.entry_name));
        }
    }
    NWEntryRecord record{};
    std::int32_t sequence = -1;
    int rc = client.NWIntScanExtendedInfo(server->connection, directory_handle_, kExtendedScanAttributes,
                                          &sequence, scan_name.c_str(), &record, 0);
    if (rc != 0) {
        sequence = -1;
        record = NWEntryRecord{};
        rc = client.NWIntScanDirEntryInfo(server->connection, directory_handle_, kEntryScanAttributes,
                                          &sequence, scan_name.c_str(), &record, 0);
    }
    if (rc != 0)
        return rc;
    entry = record;
    last_entry_ = record;
    last_sequence_ = sequence;
    last_entry_name_ = name;
    return 0;
}

int NetWareLayer::NwWriteEntry(std::string_view entry_name, std::uint32_t modify_mask,
                               const NWEntryRecord& entry) {
    const NetWareServerEntry* server = Current();
    if (server == nullptr || directory_handle_ == kNoDirectoryHandle || Client() == nullptr)
        return kNetWareLayerError;
    const NetWareClientFunctions& client = *Client();
    const std::string name(entry_name);
    if (long_names_) {
        const NWModifyDosInfo info = DosInfoOf(entry, modify_mask);
        return client.NWSetNSEntryDOSInfo(server->connection, directory_handle_, name.c_str(), kLongNameSpace,
                                          kEntryScanAttributes, modify_mask, &info);
    }
    if (last_sequence_ == -1 || !EqualsNoCase(last_entry_name_, name)) {
        NWEntryRecord current{};
        if (const int rc = NwReadEntry(name, current); rc != 0)
            return rc;
    }
    CopyMaskedFields(entry, modify_mask, last_entry_);
    return client.NWSetDirEntryInfo(server->connection, directory_handle_, kEntryScanAttributes,
                                    static_cast<std::uint32_t>(last_sequence_), modify_mask, &last_entry_);
}

int NetWareLayer::NwVolumeSpace(std::string_view server, std::string_view share, NetWareVolumeSpace& space) {
    const std::string path = "\\\\" + std::string(server) + "\\" + std::string(share) + "\\";
    if (const int rc = NwResolvePath(path); rc != 0)
        return rc;
    NWDirSpaceInfo info{};
    const int rc = Client()->NWGetDirSpaceInfo(servers_[current_].connection, directory_handle_,
                                               static_cast<std::uint16_t>(volume_number_), &info);
    if (rc != 0)
        return rc;
    const std::uint64_t block = static_cast<std::uint64_t>(info.sectors_per_block) * 512;
    space.size = info.total_blocks * block;
    space.free = std::min(
        space.size, (static_cast<std::uint64_t>(info.available_blocks) + info.purgeable_blocks) * block);
    space.used = space.size - space.free;
    space.cluster_size = static_cast<std::uint32_t>(block);
    return 0;
}

bool NetWareLayer::NwSetCompression(std::string_view unc_path, int mode, const std::string& local_path) {
    if (NwResolvePath(unc_path) != 0 || servers_[current_].version < 400)
        return false;
    const std::string_view name = LastPathComponent(unc_path);
    NWEntryRecord entry{};
    if (NwReadEntry(name, entry) != 0)
        return false;
    if (mode == 1) {
        if (entry.attributes & (kDontCompress | kCantCompress))
            return false;
        if (entry.attributes & (kImmediateCompress | kCompressed))
            return true;
        entry.attributes |= kImmediateCompress;
        return NwWriteEntry(name, kCompressionMask, entry) == 0;
    }
    if ((entry.attributes & (kImmediateCompress | kCompressed)) == 0)
        return true;
    entry.attributes &= ~kImmediateCompress;
    OpenAndCloseForReading(local_path);
    OpenAndCloseForReading(local_path);
    return NwWriteEntry(name, kCompressionMask, entry) == 0;
}

void NetWareLayer::ClearOwnerCache() {
    owner_cached_ = false;
    owner_id_ = 0;
    owner_name_.clear();
}

}  // namespace korvane
