// A NetWare client library for the tests, built as a real shared object and
// loaded through the program's own loader: servers with volumes, directory
// entries, bindery objects and a directory tree, all in memory, and a log of
// every client call it receives. Never installed.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "fixture_control.h"

#define FIXTURE_EXPORT extern "C" __attribute__((visibility("default")))

struct NWDSBuffer {
    std::uint32_t operation = 0;
    std::vector<std::string> names;    // attribute names of a read request
    std::vector<std::string> classes;  // the classes a search filter accepts
    std::vector<std::pair<std::string, std::vector<std::string>>> attributes;  // a read's answer
    std::vector<std::string> objects;                                          // a search's answer
    std::size_t next_attribute = 0;
    std::size_t next_value = 0;
    std::size_t next_object = 0;
};

struct NWDSFilterCursor {
    std::vector<std::pair<std::uint16_t, std::string>> tokens;
};

namespace {

using namespace korvane::netware;

// Error codes the fixture answers with.
constexpr int kNoSuchServer = 0x880F;
constexpr int kNoSuchVolume = 0x98;
constexpr int kInvalidPath = 0x9C;
constexpr int kNoSuchEntry = 0xFF;
constexpr int kNoSuchObject = 0xFC;
constexpr int kBadHandle = 0x9B;
constexpr int kNoSuchDsEntry = -601;
constexpr int kNoDirectoryServices = -634;

std::string Upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool Same(const std::string& a, const std::string& b) {
    return Upper(a) == Upper(b);
}

std::string Text(const char* text) {
    return text != nullptr ? text : "";
}

struct Entry {
    std::string folder;  // the folder holding it, "A\B" below the volume root, "" for the root
    std::string long_name;
    std::string dos_name;
    bool directory = false;
    NWEntryRecord record{};
};

struct Volume {
    std::string name;
    std::uint16_t number = 0;
    bool long_names = false;
    NWDirSpaceInfo space{};
    std::vector<Entry> entries;
};

struct BinderyObject {
    std::uint32_t id = 0;
    std::string name;
    std::uint16_t type = 0;
};

struct Server {
    std::string name;
    int major = 0;
    int minor = 0;
    std::string tree;
    std::vector<Volume> volumes;
    std::vector<BinderyObject> bindery;  // kept in ID order
};

struct DsObject {
    std::string name;  // full, without the leading "."
    std::string object_class;
    std::uint32_t id = 0;
    std::map<std::string, std::string> attributes;
};

struct DirectoryHandle {
    NWCONN_HANDLE connection = 0;
    std::size_t volume = 0;
    std::string folder;
};

struct Context {
    std::uint32_t flags = 0;
    std::string name_context;
};

struct Failure {
    int error = 0;
    int times = 0;
};

struct World {
    std::vector<Server> servers;  // connection handle = index + 1
    std::vector<DsObject> directory;
    std::map<NWDIR_HANDLE, DirectoryHandle> handles;
    std::map<NWDSContextHandle, Context> contexts;
    std::set<NWDSBuffer*> buffers;
    std::set<NWDSFilterCursor*> filters;
    std::map<std::string, Failure> failures;
    std::vector<std::string> calls;
    std::string preferred_tree;
    NWDSContextHandle next_context = 1;
    std::uint32_t next_sequence = 1;
};

World& world() {
    static World instance;
    return instance;
}

// Logs the call; an injected failure answers instead of the fixture.
bool Call(const char* function, const std::string& arguments, int& injected) {
    world().calls.push_back(arguments.empty() ? std::string(function)
                                              : std::string(function) + " " + arguments);
    const auto failure = world().failures.find(function);
    if (failure == world().failures.end() || failure->second.times == 0)
        return false;
    --failure->second.times;
    injected = failure->second.error;
    return true;
}

#define LOG_CALL(arguments)                       \
    do {                                          \
        int injected_ = 0;                        \
        if (Call(__func__, arguments, injected_)) \
            return injected_;                     \
    } while (0)

Server* ServerOf(NWCONN_HANDLE connection) {
    auto& servers = world().servers;
    return connection >= 1 && connection <= servers.size() ? &servers[connection - 1] : nullptr;
}

Server* ServerNamed(const std::string& name) {
    for (Server& server : world().servers) {
        if (Same(server.name, name))
            return &server;
    }
    return nullptr;
}

Volume* VolumeNamed(Server& server, const std::string& name) {
    for (Volume& volume : server.volumes) {
        if (Same(volume.name, name))
            return &volume;
    }
    return nullptr;
}

Volume* VolumeOf(const DirectoryHandle& handle) {
    Server* server = ServerOf(handle.connection);
    return server != nullptr && handle.volume < server->volumes.size() ? &server->volumes[handle.volume]
                                                                       : nullptr;
}

// Splits "A\B\C" into folder "A\B" and name "C".
void SplitEntryPath(const std::string& path, std::string& folder, std::string& name) {
    const std::size_t slash = path.rfind('\\');
    folder = slash == std::string::npos ? "" : path.substr(0, slash);
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

Entry* EntryAt(Volume& volume, const std::string& path) {
    std::string folder, name;
    SplitEntryPath(path, folder, name);
    for (Entry& entry : volume.entries) {
        if (Same(entry.folder, folder) && Same(entry.long_name, name))
            return &entry;
    }
    return nullptr;
}

bool FolderExists(Volume& volume, const std::string& folder) {
    if (folder.empty())
        return true;
    const Entry* entry = EntryAt(volume, folder);
    return entry != nullptr && entry->directory;
}

const DirectoryHandle* HandleOf(NWCONN_HANDLE connection, NWDIR_HANDLE handle) {
    const auto found = world().handles.find(handle);
    return found != world().handles.end() && found->second.connection == connection ? &found->second
                                                                                    : nullptr;
}

// An entry of the handle's folder by its name in one name space: DOS names
// for the scans, long names for the name-space calls.
Entry* FindEntry(const DirectoryHandle& handle, const std::string& name, bool by_long_name,
                 std::uint16_t search) {
    Volume* volume = VolumeOf(handle);
    if (volume == nullptr)
        return nullptr;
    for (Entry& entry : volume->entries) {
        if (!Same(entry.folder, handle.folder))
            continue;
        if (entry.directory && (search & 0x10) == 0)
            continue;
        if (Same(by_long_name || !volume->long_names ? entry.long_name : entry.dos_name, name))
            return &entry;
    }
    return nullptr;
}

void ApplyMask(const NWEntryRecord& from, std::uint32_t mask, NWEntryRecord& to) {
    if (mask & kModifyAttributes)
        to.attributes = from.attributes;
    if (mask & kModifyCreator)
        to.creator_id = from.creator_id;
    if (mask & kModifyLastAccessDate)
        to.last_access_date = from.last_access_date;
    if (mask & kModifyCreationDate)
        to.creation_date_time = (to.creation_date_time & 0xFFFFu) | (from.creation_date_time & 0xFFFF0000u);
    if (mask & kModifyCreationTime)
        to.creation_date_time = (to.creation_date_time & 0xFFFF0000u) | (from.creation_date_time & 0xFFFFu);
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

DsObject* DsObjectNamed(std::string name) {
    if (!name.empty() && name.front() == '.')
        name.erase(0, 1);
    for (DsObject& object : world().directory) {
        if (Same(object.name, name))
            return &object;
    }
    return nullptr;
}

// The object's parent: what follows its first ".", "" for a top object.
std::string ParentOf(const std::string& name) {
    const std::size_t dot = name.find('.');
    return dot == std::string::npos ? "" : name.substr(dot + 1);
}

void CopyName(const std::string& name, char* out) {
    std::memcpy(out, name.c_str(), name.size() + 1);
}

}  // namespace

// ---- Client functions --------------------------------------------------

FIXTURE_EXPORT int NWGetConnectionIDFromName(const char* server_name, NWCONN_HANDLE* connection) {
    LOG_CALL(Text(server_name));
    Server* server = ServerNamed(Text(server_name));
    if (server == nullptr)
        return kNoSuchServer;
    *connection = static_cast<NWCONN_HANDLE>(server - world().servers.data() + 1);
    return 0;
}

FIXTURE_EXPORT int NWGetFileServerVersionInfo(NWCONN_HANDLE connection, NWFileServerVersionInfo* info) {
    LOG_CALL(std::to_string(connection));
    const Server* server = ServerOf(connection);
    if (server == nullptr)
        return kNoSuchServer;
    *info = NWFileServerVersionInfo{};
    std::snprintf(info->server_name, sizeof info->server_name, "%s", server->name.c_str());
    info->major_version = static_cast<std::uint8_t>(server->major);
    info->minor_version = static_cast<std::uint8_t>(server->minor);
    return 0;
}

FIXTURE_EXPORT int NWGetVolumeNumber(NWCONN_HANDLE connection, const char* volume_name,
                                     std::uint16_t* number) {
    LOG_CALL(std::to_string(connection) + " " + Text(volume_name));
    Server* server = ServerOf(connection);
    Volume* volume = server != nullptr ? VolumeNamed(*server, Text(volume_name)) : nullptr;
    if (volume == nullptr)
        return kNoSuchVolume;
    *number = volume->number;
    return 0;
}

FIXTURE_EXPORT int NWGetNSLoadedList(NWCONN_HANDLE connection, std::uint16_t volume_number,
                                     std::uint16_t max_count, std::uint8_t* name_spaces,
                                     std::uint16_t* count) {
    LOG_CALL(std::to_string(connection) + " " + std::to_string(volume_number));
    Server* server = ServerOf(connection);
    if (server == nullptr || volume_number >= server->volumes.size())
        return kNoSuchVolume;
    std::vector<std::uint8_t> loaded = {kDosNameSpace};
    if (server->volumes[volume_number].long_names)
        loaded.push_back(kLongNameSpace);
    *count = static_cast<std::uint16_t>(std::min<std::size_t>(loaded.size(), max_count));
    std::copy_n(loaded.begin(), *count, name_spaces);
    return 0;
}

FIXTURE_EXPORT int NWAllocPermanentDirectoryHandle(NWCONN_HANDLE connection, NWDIR_HANDLE, const char* path,
                                                   NWDIR_HANDLE* handle, std::uint8_t* rights) {
    LOG_CALL(std::to_string(connection) + " " + Text(path));
    const std::string text = Text(path);
    const std::size_t colon = text.find(':');
    Server* server = ServerOf(connection);
    if (server == nullptr || colon == std::string::npos)
        return kInvalidPath;
    Volume* volume = VolumeNamed(*server, text.substr(0, colon));
    std::string folder = text.substr(colon + 1);
    while (!folder.empty() && folder.front() == '\\')
        folder.erase(0, 1);
    if (volume == nullptr || !FolderExists(*volume, folder))
        return kInvalidPath;
    for (NWDIR_HANDLE candidate = 1; candidate < 255; ++candidate) {
        if (world().handles.count(candidate) == 0) {
            world().handles[candidate] = DirectoryHandle{
                connection, static_cast<std::size_t>(volume - server->volumes.data()), folder};
            *handle = candidate;
            *rights = 0xFF;
            return 0;
        }
    }
    return kBadHandle;
}

FIXTURE_EXPORT int NWDeallocateDirectoryHandle(NWCONN_HANDLE connection, NWDIR_HANDLE handle) {
    LOG_CALL(std::to_string(connection) + " " + std::to_string(handle));
    if (HandleOf(connection, handle) == nullptr)
        return kBadHandle;
    world().handles.erase(handle);
    return 0;
}

FIXTURE_EXPORT int NWGetNSEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE handle, const char* path,
                                    std::uint8_t source_name_space, std::uint8_t target_name_space,
                                    std::uint16_t search_attributes, std::uint32_t, NWNSEntryInfo* info) {
    LOG_CALL(Text(path) + " " + std::to_string(source_name_space) + ">" + std::to_string(target_name_space));
    const DirectoryHandle* directory = HandleOf(connection, handle);
    if (directory == nullptr)
        return kBadHandle;
    const Entry* entry = FindEntry(*directory, Text(path), true, search_attributes);
    if (entry == nullptr)
        return kNoSuchEntry;
    const std::string& name = target_name_space == kDosNameSpace ? entry->dos_name : entry->long_name;
    *info = NWNSEntryInfo{};
    info->attributes = entry->record.attributes;
    info->name_length = static_cast<std::uint8_t>(name.size());
    std::memcpy(info->entry_name, name.data(), name.size());
    return 0;
}

namespace {

int Scan(NWCONN_HANDLE connection, NWDIR_HANDLE handle, std::uint16_t search, std::int32_t* sequence,
         const char* pattern, NWEntryRecord* record) {
    const DirectoryHandle* directory = HandleOf(connection, handle);
    if (directory == nullptr)
        return kBadHandle;
    const Entry* entry = FindEntry(*directory, Text(pattern), false, search);
    if (entry == nullptr)
        return kNoSuchEntry;
    *record = entry->record;
    *sequence = static_cast<std::int32_t>(entry->record.sequence);
    return 0;
}

}  // namespace

FIXTURE_EXPORT int NWIntScanExtendedInfo(NWCONN_HANDLE connection, NWDIR_HANDLE handle,
                                         std::uint8_t search_attributes, std::int32_t* sequence,
                                         const char* pattern, NWEntryRecord* entry, std::uint8_t) {
    LOG_CALL(std::to_string(handle) + " " + Text(pattern) + " " + std::to_string(search_attributes));
    return Scan(connection, handle, search_attributes, sequence, pattern, entry);
}

FIXTURE_EXPORT int NWIntScanDirEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE handle,
                                         std::uint16_t search_attributes, std::int32_t* sequence,
                                         const char* pattern, NWEntryRecord* entry, std::uint8_t) {
    LOG_CALL(std::to_string(handle) + " " + Text(pattern) + " " + std::to_string(search_attributes));
    return Scan(connection, handle, search_attributes, sequence, pattern, entry);
}

FIXTURE_EXPORT int NWSetNSEntryDOSInfo(NWCONN_HANDLE connection, NWDIR_HANDLE handle, const char* path,
                                       std::uint8_t, std::uint16_t search_attributes,
                                       std::uint32_t modify_mask, const NWModifyDosInfo* info) {
    LOG_CALL(Text(path) + " " + std::to_string(modify_mask));
    const DirectoryHandle* directory = HandleOf(connection, handle);
    if (directory == nullptr)
        return kBadHandle;
    Entry* entry = FindEntry(*directory, Text(path), true, search_attributes);
    if (entry == nullptr)
        return kNoSuchEntry;
    NWEntryRecord from{};
    from.attributes = info->attributes;
    from.creator_id = info->creator_id;
    from.last_access_date = info->last_access_date;
    from.creation_date_time = static_cast<std::uint32_t>(info->creation_date) << 16 | info->creation_time;
    ApplyMask(from, modify_mask, entry->record);
    return 0;
}

FIXTURE_EXPORT int NWSetDirEntryInfo(NWCONN_HANDLE connection, NWDIR_HANDLE handle, std::uint8_t,
                                     std::uint32_t sequence, std::uint32_t modify_mask,
                                     const NWEntryRecord* record) {
    LOG_CALL(std::to_string(sequence) + " " + std::to_string(modify_mask));
    const DirectoryHandle* directory = HandleOf(connection, handle);
    Volume* volume = directory != nullptr ? VolumeOf(*directory) : nullptr;
    if (volume == nullptr)
        return kBadHandle;
    for (Entry& entry : volume->entries) {
        if (entry.record.sequence == sequence && Same(entry.folder, directory->folder)) {
            ApplyMask(*record, modify_mask, entry.record);
            return 0;
        }
    }
    return kNoSuchEntry;
}

FIXTURE_EXPORT int NWGetDirSpaceInfo(NWCONN_HANDLE connection, NWDIR_HANDLE handle,
                                     std::uint16_t volume_number, NWDirSpaceInfo* space) {
    LOG_CALL(std::to_string(handle) + " " + std::to_string(volume_number));
    Server* server = ServerOf(connection);
    if (server == nullptr || volume_number >= server->volumes.size())
        return kNoSuchVolume;
    *space = server->volumes[volume_number].space;
    return 0;
}

FIXTURE_EXPORT int NWGetObjectName(NWCONN_HANDLE connection, std::uint32_t object_id, char* name,
                                   std::uint16_t* type) {
    LOG_CALL(Hex(object_id));
    const Server* server = ServerOf(connection);
    if (server == nullptr)
        return kNoSuchServer;
    for (const BinderyObject& object : server->bindery) {
        if (object.id == object_id) {
            CopyName(object.name, name);
            *type = object.type;
            return 0;
        }
    }
    return kNoSuchObject;
}

FIXTURE_EXPORT int NWScanObject(NWCONN_HANDLE connection, const char* pattern, std::uint16_t type,
                                std::uint32_t* sequence, char* name, std::uint16_t* found_type) {
    LOG_CALL(Text(pattern) + " " + std::to_string(type));
    const Server* server = ServerOf(connection);
    if (server == nullptr)
        return kNoSuchServer;
    const bool from_start = *sequence == 0xFFFFFFFFu;
    for (const BinderyObject& object : server->bindery) {
        if (!from_start && object.id <= *sequence)
            continue;
        if (type != kAnyObject && object.type != type)
            continue;
        if (Text(pattern) != "*" && !Same(object.name, Text(pattern)))
            continue;
        *sequence = object.id;
        CopyName(object.name, name);
        *found_type = object.type;
        return 0;
    }
    return kNoSuchObject;
}

FIXTURE_EXPORT int NWSetPreferredDSTree(const char* tree_name) {
    LOG_CALL(Text(tree_name));
    world().preferred_tree = Text(tree_name);
    return 0;
}

FIXTURE_EXPORT int NWDSCreateContextHandle(NWDSContextHandle* context) {
    LOG_CALL("");
    *context = world().next_context++;
    world().contexts[*context] = Context{};
    return 0;
}

FIXTURE_EXPORT int NWDSGetContext(NWDSContextHandle context, int key, void* value) {
    LOG_CALL(std::to_string(key));
    const auto found = world().contexts.find(context);
    if (found == world().contexts.end())
        return kBadHandle;
    if (key == kContextFlags) {
        std::memcpy(value, &found->second.flags, sizeof found->second.flags);
    } else if (key == kContextNameContext) {
        CopyName(found->second.name_context, static_cast<char*>(value));
    } else if (key == kContextTreeName) {
        std::string tree = world().preferred_tree;
        for (const Server& server : world().servers) {
            if (tree.empty())
                tree = server.tree;
        }
        CopyName(tree, static_cast<char*>(value));
    }
    return 0;
}

FIXTURE_EXPORT int NWDSSetContext(NWDSContextHandle context, int key, const void* value) {
    const auto found = world().contexts.find(context);
    std::string shown = std::to_string(key);
    if (key == kContextNameContext)
        shown += " " + Text(static_cast<const char*>(value));
    LOG_CALL(shown);
    if (found == world().contexts.end())
        return kBadHandle;
    if (key == kContextFlags)
        std::memcpy(&found->second.flags, value, sizeof found->second.flags);
    else if (key == kContextNameContext)
        found->second.name_context = Text(static_cast<const char*>(value));
    return 0;
}

FIXTURE_EXPORT int NWDSFreeContext(NWDSContextHandle context) {
    LOG_CALL("");
    return world().contexts.erase(context) == 1 ? 0 : kBadHandle;
}

FIXTURE_EXPORT int NWDSAllocBuf(std::size_t size, Buf_T** buffer) {
    LOG_CALL(std::to_string(size));
    *buffer = new NWDSBuffer;
    world().buffers.insert(*buffer);
    return 0;
}

FIXTURE_EXPORT int NWDSInitBuf(NWDSContextHandle, std::uint32_t operation, Buf_T* buffer) {
    LOG_CALL(std::to_string(operation));
    *buffer = NWDSBuffer{};
    buffer->operation = operation;
    return 0;
}

FIXTURE_EXPORT int NWDSFreeBuf(Buf_T* buffer) {
    LOG_CALL("");
    if (world().buffers.erase(buffer) == 0)
        return kBadHandle;
    delete buffer;
    return 0;
}

FIXTURE_EXPORT int NWDSPutAttrName(NWDSContextHandle, Buf_T* buffer, const char* attribute) {
    LOG_CALL(Text(attribute));
    buffer->names.push_back(Text(attribute));
    return 0;
}

FIXTURE_EXPORT int NWDSRead(NWDSContextHandle, const char* object, std::uint32_t, std::uint8_t,
                            Buf_T* attribute_names, std::int32_t* iteration, Buf_T* object_info) {
    LOG_CALL(Text(object));
    const DsObject* found = DsObjectNamed(Text(object));
    if (found == nullptr)
        return kNoSuchDsEntry;
    object_info->attributes.clear();
    object_info->next_attribute = 0;
    for (const std::string& name : attribute_names->names) {
        for (const auto& [attribute, value] : found->attributes) {
            if (Same(attribute, name))
                object_info->attributes.push_back({attribute, {value}});
        }
    }
    *iteration = -1;
    return 0;
}

FIXTURE_EXPORT int NWDSGetAttrCount(NWDSContextHandle, Buf_T* buffer, std::uint32_t* count) {
    LOG_CALL("");
    *count = static_cast<std::uint32_t>(buffer->attributes.size());
    buffer->next_attribute = 0;
    return 0;
}

FIXTURE_EXPORT int NWDSGetAttrName(NWDSContextHandle, Buf_T* buffer, char* attribute,
                                   std::uint32_t* value_count, std::uint32_t* syntax) {
    LOG_CALL("");
    if (buffer->next_attribute >= buffer->attributes.size())
        return kNoSuchDsEntry;
    const auto& [name, values] = buffer->attributes[buffer->next_attribute++];
    CopyName(name, attribute);
    *value_count = static_cast<std::uint32_t>(values.size());
    *syntax = 1;
    buffer->next_value = 0;
    return 0;
}

FIXTURE_EXPORT int NWDSGetAttrVal(NWDSContextHandle, Buf_T* buffer, std::uint32_t, void* value) {
    LOG_CALL("");
    if (buffer->next_attribute == 0)
        return kNoSuchDsEntry;
    const auto& values = buffer->attributes[buffer->next_attribute - 1].second;
    if (buffer->next_value >= values.size())
        return kNoSuchDsEntry;
    CopyName(values[buffer->next_value++], static_cast<char*>(value));
    return 0;
}

FIXTURE_EXPORT int NWDSMapIDToName(NWDSContextHandle, NWCONN_HANDLE connection, std::uint32_t object_id,
                                   char* name) {
    LOG_CALL(Hex(object_id));
    const Server* server = ServerOf(connection);
    if (server == nullptr || server->tree.empty())
        return kNoDirectoryServices;
    for (const DsObject& object : world().directory) {
        if (object.id == object_id) {
            CopyName(object.name, name);
            return 0;
        }
    }
    return kNoSuchDsEntry;
}

FIXTURE_EXPORT int NWDSMapNameToID(NWDSContextHandle, NWCONN_HANDLE connection, const char* name,
                                   std::uint32_t* object_id) {
    LOG_CALL(Text(name));
    const Server* server = ServerOf(connection);
    if (server == nullptr || server->tree.empty())
        return kNoDirectoryServices;
    const DsObject* object = DsObjectNamed(Text(name));
    if (object == nullptr)
        return kNoSuchDsEntry;
    *object_id = object->id;
    return 0;
}

FIXTURE_EXPORT int NWDSAllocFilter(Filter_Cursor_T** cursor) {
    LOG_CALL("");
    *cursor = new NWDSFilterCursor;
    world().filters.insert(*cursor);
    return 0;
}

FIXTURE_EXPORT int NWDSAddFilterToken(Filter_Cursor_T* cursor, std::uint16_t token, const void* value,
                                      std::uint32_t) {
    const std::string text = value != nullptr ? Text(static_cast<const char*>(value)) : "";
    LOG_CALL(std::to_string(token) + (text.empty() ? "" : " " + text));
    cursor->tokens.push_back({token, text});
    return 0;
}

FIXTURE_EXPORT int NWDSPutFilter(NWDSContextHandle, Buf_T* buffer, Filter_Cursor_T* cursor) {
    LOG_CALL("");
    for (const auto& [token, value] : cursor->tokens) {
        if (token == kFilterAttributeValue)
            buffer->classes.push_back(value);
    }
    return 0;
}

FIXTURE_EXPORT int NWDSFreeFilter(Filter_Cursor_T* cursor) {
    LOG_CALL("");
    if (world().filters.erase(cursor) == 0)
        return kBadHandle;
    delete cursor;
    return 0;
}

FIXTURE_EXPORT int NWDSSearch(NWDSContextHandle, const char* base, int, std::uint8_t, Buf_T* filter,
                              std::uint32_t, std::uint8_t, Buf_T*, std::int32_t* iteration, std::int32_t,
                              std::int32_t* objects_searched, Buf_T* object_info) {
    LOG_CALL(Text(base) + " " + std::to_string(*iteration));
    std::string parent = Text(base);
    if (parent == "[ROOT]")
        parent.clear();
    else if (!parent.empty() && parent.front() == '.')
        parent.erase(0, 1);
    std::vector<std::string> found;
    for (const DsObject& object : world().directory) {
        const bool accepted =
            std::any_of(filter->classes.begin(), filter->classes.end(),
                        [&](const std::string& name) { return Same(name, object.object_class); });
        if (accepted && Same(ParentOf(object.name), parent))
            found.push_back(object.name);
    }
    // Two objects a batch, so callers must follow the iteration handle.
    const std::size_t first = *iteration < 0 ? 0 : static_cast<std::size_t>(*iteration);
    const std::size_t end = std::min(found.size(), first + 2);
    object_info->objects.assign(found.begin() + static_cast<std::ptrdiff_t>(std::min(first, found.size())),
                                found.begin() + static_cast<std::ptrdiff_t>(end));
    object_info->next_object = 0;
    *objects_searched = static_cast<std::int32_t>(object_info->objects.size());
    *iteration = end < found.size() ? static_cast<std::int32_t>(end) : -1;
    return 0;
}

FIXTURE_EXPORT int NWDSGetObjectCount(NWDSContextHandle, Buf_T* buffer, std::uint32_t* count) {
    LOG_CALL("");
    *count = static_cast<std::uint32_t>(buffer->objects.size());
    return 0;
}

FIXTURE_EXPORT int NWDSGetObjectName(NWDSContextHandle, Buf_T* buffer, char* name,
                                     std::uint32_t* attribute_count, NWDSObjectInfo* info) {
    LOG_CALL("");
    if (buffer->next_object >= buffer->objects.size())
        return kNoSuchDsEntry;
    const std::string& object = buffer->objects[buffer->next_object++];
    CopyName(object, name);
    *attribute_count = 0;
    *info = NWDSObjectInfo{};
    for (const DsObject& other : world().directory) {
        if (Same(ParentOf(other.name), object))
            ++info->subordinate_count;
    }
    if (const DsObject* found = DsObjectNamed(object))
        std::snprintf(info->base_class, sizeof info->base_class, "%s", found->object_class.c_str());
    return 0;
}

// Each client function has the type the program expects of it.
#define FIXTURE_CHECK_TYPE(name, type) static_assert(std::is_same_v<decltype(name), type>, #name);
KORVANE_NETWARE_CLIENT_FUNCTIONS(FIXTURE_CHECK_TYPE)

// ---- Controls ----------------------------------------------------------

FIXTURE_EXPORT void nwfx_reset() {
    for (NWDSBuffer* buffer : world().buffers)
        delete buffer;
    for (NWDSFilterCursor* cursor : world().filters)
        delete cursor;
    world() = World{};
}

FIXTURE_EXPORT void nwfx_add_server(const char* name, int major, int minor, const char* tree) {
    world().servers.push_back(Server{Text(name), major, minor, Text(tree), {}, {}});
}

FIXTURE_EXPORT void nwfx_add_volume(const char* server_name, const char* volume_name, int long_names,
                                    std::uint32_t total, std::uint32_t available, std::uint32_t purgeable,
                                    std::uint32_t sectors_per_block) {
    Server* server = ServerNamed(Text(server_name));
    if (server == nullptr)
        return;
    Volume volume;
    volume.name = Text(volume_name);
    volume.number = static_cast<std::uint16_t>(server->volumes.size());
    volume.long_names = long_names != 0;
    volume.space = NWDirSpaceInfo{total, available, purgeable, 0, sectors_per_block, volume.number};
    server->volumes.push_back(volume);
}

FIXTURE_EXPORT void nwfx_add_entry(const char* server_name, const char* volume_name, const char* path,
                                   const char* dos_name, int directory, std::uint32_t attributes,
                                   std::uint32_t creator, std::uint32_t creation_date_time,
                                   std::uint32_t compressed_size) {
    Server* server = ServerNamed(Text(server_name));
    Volume* volume = server != nullptr ? VolumeNamed(*server, Text(volume_name)) : nullptr;
    if (volume == nullptr)
        return;
    Entry entry;
    SplitEntryPath(Text(path), entry.folder, entry.long_name);
    entry.dos_name = dos_name != nullptr ? dos_name : entry.long_name;
    entry.directory = directory != 0;
    entry.record.sequence = world().next_sequence++;
    entry.record.attributes = attributes | (entry.directory ? 0x10u : 0u);
    entry.record.creator_id = creator;
    entry.record.creation_date_time = creation_date_time;
    entry.record.compressed_size = compressed_size;
    entry.record.name_length = static_cast<std::uint8_t>(std::min<std::size_t>(entry.dos_name.size(), 12));
    std::memcpy(entry.record.name, entry.dos_name.data(), entry.record.name_length);
    volume->entries.push_back(entry);
}

FIXTURE_EXPORT int nwfx_entry(const char* server_name, const char* volume_name, const char* path,
                              NWEntryRecord* record) {
    Server* server = ServerNamed(Text(server_name));
    Volume* volume = server != nullptr ? VolumeNamed(*server, Text(volume_name)) : nullptr;
    const Entry* entry = volume != nullptr ? EntryAt(*volume, Text(path)) : nullptr;
    if (entry == nullptr)
        return -1;
    *record = entry->record;
    return 0;
}

FIXTURE_EXPORT void nwfx_add_bindery_object(const char* server_name, std::uint32_t id, const char* name,
                                            std::uint16_t type) {
    Server* server = ServerNamed(Text(server_name));
    if (server == nullptr)
        return;
    server->bindery.push_back(BinderyObject{id, Text(name), type});
    std::sort(server->bindery.begin(), server->bindery.end(),
              [](const BinderyObject& a, const BinderyObject& b) { return a.id < b.id; });
}

FIXTURE_EXPORT void nwfx_add_ds_object(const char* name, const char* object_class, std::uint32_t id) {
    world().directory.push_back(DsObject{Text(name), Text(object_class), id, {}});
}

FIXTURE_EXPORT void nwfx_set_ds_attribute(const char* object, const char* attribute, const char* value) {
    if (DsObject* found = DsObjectNamed(Text(object)))
        found->attributes[Text(attribute)] = Text(value);
}

FIXTURE_EXPORT void nwfx_fail(const char* function, int error, int times) {
    world().failures[Text(function)] = Failure{error, times};
}

FIXTURE_EXPORT std::size_t nwfx_call_count() {
    return world().calls.size();
}

FIXTURE_EXPORT const char* nwfx_call(std::size_t index) {
    return index < world().calls.size() ? world().calls[index].c_str() : "";
}

FIXTURE_EXPORT void nwfx_clear_calls() {
    world().calls.clear();
}

FIXTURE_EXPORT int nwfx_live_handles() {
    return static_cast<int>(world().contexts.size() + world().buffers.size() + world().filters.size());
}

#define FIXTURE_CHECK_CONTROL(name, type) static_assert(std::is_same_v<decltype(name), type>, #name);
KORVANE_NETWARE_FIXTURE_CONTROLS(FIXTURE_CHECK_CONTROL)
