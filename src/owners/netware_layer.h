// The NetWare access layer: turns the UNC path of a NetWare volume
// ("\\server\share\rest") into what the client library needs (a connection,
// a volume number, a directory handle and an entry name), keeping each of
// them for the next call, because a scan asks for every entry of a folder in
// turn. On top of it: reading and writing directory entries, volume space,
// compression, and owner names by creator ID with their one-entry cache.
//
// The client library is loaded by name at the first call. Without it every
// operation fails with kNetWareLayerError, which callers take as "no NetWare
// information". One layer serves one thread: its current server, volume and
// directory handle belong to the caller of the moment.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "owners/account_tree.h"
#include "owners/netware_client.h"

namespace korvane {

// A malformed path, a full server table, no current server or no library.
inline constexpr int kNetWareLayerError = -1;
inline constexpr std::size_t kNetWareServerSlots = 32;

struct NetWareServerEntry {
    enum State : int { kFree = 0, kConnectedByName = 1, kConnectedByVolumeObject = 2 };
    std::string lookup_name;    // the server part of the paths that lead here (the tree for volume objects)
    std::string server_name;    // the file server's own name
    std::uint32_t version = 0;  // major * 100 + minor
    int state = kFree;
    NWCONN_HANDLE connection = 0;
};

struct NetWareVolumeSpace {
    std::uint64_t size = 0;
    std::uint64_t used = 0;
    std::uint64_t free = 0;
    std::uint32_t cluster_size = 0;
};

// A UNC path cut for the layer: rest keeps its leading "\" ("" when none).
struct NetWarePathParts {
    std::string server;
    std::string share;
    std::string rest;
};
// False when the path does not start with "\\" or has no "\" after the server.
bool SplitNetWarePath(std::string_view path, NetWarePathParts& parts);
// The text after the path's last "\": the entry NwReadEntry is given.
std::string_view LastPathComponent(std::string_view path);

class NetWareLayer {
  public:
    explicit NetWareLayer(std::string library = kDefaultNetWareClient) : library_name_(std::move(library)) {}
    ~NetWareLayer();
    NetWareLayer(const NetWareLayer&) = delete;
    NetWareLayer& operator=(const NetWareLayer&) = delete;

    // Makes the path's server, volume and folder current. 0 or the library's
    // error code (kNetWareLayerError for a malformed path or a full table).
    int NwResolvePath(std::string_view unc_path);
    // Reads an entry of the current folder (on a volume with long names the
    // name is a long name). 0 or the error code.
    int NwReadEntry(std::string_view entry_name, NWEntryRecord& entry);
    // Writes the fields of entry that modify_mask selects. 0 or the error code.
    int NwWriteEntry(std::string_view entry_name, std::uint32_t modify_mask, const NWEntryRecord& entry);
    // Size, used and free bytes and block size of the volume share of server.
    int NwVolumeSpace(std::string_view server, std::string_view share, NetWareVolumeSpace& space);
    // Compresses (mode 1) or uncompresses (mode 0) the file at unc_path; true
    // on success. Uncompressing reads the file through local_path (its path
    // on the mount, "" for none) so that the server expands it.
    bool NwSetCompression(std::string_view unc_path, int mode, const std::string& local_path);

    // The name of an object by ID on the current server: 0, or the error
    // code with the name "(Invalid ID:XXXXXXXX)".
    int NetWareOwnerName(std::uint32_t object_id, std::string& name);
    // The ID of an account on the current server: 0 or the error code.
    int NetWareOwnerId(std::string_view account, std::uint32_t& object_id);
    // The owner of the entry at unc_path. False on success; true when the
    // path cannot be resolved (name untouched) or the entry cannot be read
    // (name "(Unknown)").
    bool NetWareOwnerOfPath(std::string_view unc_path, std::string& name);
    // Makes account the owner (creator) of the entry. False on success, true on failure.
    bool NetWareSetOwner(std::string_view unc_path, std::string_view account);
    // Fills the tree with the accounts of the volume's server: the directory
    // tree below "Tree: name" on servers from 4.00 on, else the bindery users
    // below "Server: name". Returns the number of items listed; 0 with the
    // tree untouched when the volume cannot be reached.
    int ListNetWareAccounts(std::string_view server, std::string_view share, AccountTree& tree);
    // Lists the users and containers one level below the selected item.
    int ListNdsChildren(AccountTree& tree);

    // Whether the client library is (or now gets) loaded.
    bool ClientLoaded();
    const std::string& client_error() const { return client_.error(); }
    bool long_names() const { return long_names_; }
    // The server table and the current entry (-1 before the first), for callers that report.
    const std::array<NetWareServerEntry, kNetWareServerSlots>& servers() const { return servers_; }
    int current_server() const { return current_; }

  private:
    const NetWareClientFunctions* Client();
    NetWareServerEntry* Current();
    int TryResolve(const NetWarePathParts& parts, bool& chose_entry);
    int SelectServer(const std::string& server_part, const std::string& share, bool& chose_entry);
    void MakeCurrent(int index);
    int ConnectByName(const std::string& name, NetWareServerEntry& entry);
    int ResolveVolumeObject(const std::string& tree, const std::string& object);
    int SelectVolume(const std::string& share);
    int AdoptVolume(const std::string& volume_name, const std::string& object_name);
    int DirectoryHandleFor(const std::string& rest);
    void ReleaseDirectoryHandle();
    void ForgetLastEntry();
    void ClearOwnerCache();

    std::string library_name_;
    NetWareClient client_;
    bool load_tried_ = false;
    std::array<NetWareServerEntry, kNetWareServerSlots> servers_;

    // The current state, valid for the current server only.
    int current_ = -1;
    std::int32_t volume_number_ = -1;
    std::string volume_name_;
    std::string volume_object_;
    NWDIR_HANDLE directory_handle_ = 255;
    std::string directory_path_;
    bool long_names_ = false;
    NWEntryRecord last_entry_{};
    std::int32_t last_sequence_ = -1;
    std::string last_entry_name_;

    // The last object resolved in either direction.
    bool owner_cached_ = false;
    std::uint32_t owner_id_ = 0;
    std::string owner_name_;
};

}  // namespace korvane
