// Owner names and accounts of NetWare volumes, on the layer's current server.
#include <cstdio>
#include <cstring>

#include "app/text_helpers.h"
#include "owners/netware_ds_handles.h"
#include "owners/netware_layer.h"
#include "platform/computer_name.h"

namespace korvane {
namespace {

using namespace netware;

constexpr std::uint32_t kDirectoryServicesVersion = 400;

// "(Invalid ID:%08X)" with the ID's four bytes in the order they are stored.
std::string InvalidIdName(std::uint32_t object_id) {
    unsigned char bytes[4];
    std::memcpy(bytes, &object_id, sizeof bytes);
    char text[32];
    std::snprintf(text, sizeof text, "(Invalid ID:%02X%02X%02X%02X)", bytes[0], bytes[1], bytes[2], bytes[3]);
    return text;
}

std::string NameFrom(const char* buffer, std::size_t room) {
    return std::string(buffer, strnlen(buffer, room));
}

}  // namespace

int NetWareLayer::NetWareOwnerName(std::uint32_t object_id, std::string& name) {
    if (owner_cached_ && owner_id_ == object_id) {
        name = owner_name_;
        return 0;
    }
    const NetWareServerEntry* server = Current();
    if (server == nullptr || Client() == nullptr) {
        name = InvalidIdName(object_id);
        return kNetWareLayerError;
    }
    const NetWareClientFunctions& client = *Client();
    char found[kObjectNameRoom] = {};
    int rc = kNetWareLayerError;
    if (server->version >= kDirectoryServicesVersion) {
        DsContext context(client);
        if (context.ok()) {
            std::uint32_t flags = 0;
            client.NWDSGetContext(context.handle(), kContextFlags, &flags);
            flags |= kDereferenceAliases;
            client.NWDSSetContext(context.handle(), kContextFlags, &flags);
            client.NWDSSetContext(context.handle(), kContextNameContext, "");
            rc = client.NWDSMapIDToName(context.handle(), server->connection, object_id, found);
        }
    }
    if (rc != 0) {
        std::memset(found, 0, sizeof found);
        std::uint16_t type = 0;
        rc = client.NWGetObjectName(server->connection, object_id, found, &type);
        if (rc != 0) {
            name = InvalidIdName(object_id);
            return rc;
        }
    }
    name = NameFrom(found, sizeof found);
    owner_cached_ = true;
    owner_id_ = object_id;
    owner_name_ = name;
    return 0;
}

int NetWareLayer::NetWareOwnerId(std::string_view account, std::uint32_t& object_id) {
    if (owner_cached_ && EqualsNoCase(owner_name_, account)) {
        object_id = owner_id_;
        return 0;
    }
    const NetWareServerEntry* server = Current();
    if (server == nullptr || Client() == nullptr)
        return kNetWareLayerError;
    const NetWareClientFunctions& client = *Client();
    const std::string name(account);
    std::uint32_t id = 0;
    int rc = kNetWareLayerError;
    if (server->version >= kDirectoryServicesVersion) {
        DsContext context(client);
        if (context.ok())
            rc = client.NWDSMapNameToID(context.handle(), server->connection, ("." + name).c_str(), &id);
    }
    if (rc != 0) {
        for (const std::uint16_t type : {kUserObject, kAnyObject}) {
            std::uint32_t sequence = 0xFFFFFFFFu;
            char found[kObjectNameRoom] = {};
            std::uint16_t found_type = 0;
            rc = client.NWScanObject(server->connection, name.c_str(), type, &sequence, found, &found_type);
            if (rc == 0) {
                id = sequence;
                break;
            }
        }
        if (rc != 0)
            return rc;
    }
    object_id = id;
    owner_cached_ = true;
    owner_id_ = id;
    owner_name_ = name;
    return 0;
}

bool NetWareLayer::NetWareOwnerOfPath(std::string_view unc_path, std::string& name) {
    if (NwResolvePath(unc_path) != 0)
        return true;
    NWEntryRecord entry{};
    if (NwReadEntry(LastPathComponent(unc_path), entry) != 0) {
        name = "(Unknown)";
        return true;
    }
    NetWareOwnerName(entry.creator_id, name);
    return false;
}

bool NetWareLayer::NetWareSetOwner(std::string_view unc_path, std::string_view account) {
    if (NwResolvePath(unc_path) != 0)
        return true;
    std::uint32_t id = 0;
    if (NetWareOwnerId(account, id) != 0)
        return true;
    NWEntryRecord entry{};
    entry.creator_id = id;
    return NwWriteEntry(LastPathComponent(unc_path), kModifyCreator, entry) != 0;
}

int NetWareLayer::ListNetWareAccounts(std::string_view server_name, std::string_view share,
                                      AccountTree& tree) {
    const std::string root = "\\\\" + std::string(server_name) + "\\" + std::string(share) + "\\";
    if (NwResolvePath(root) != 0)
        return 0;
    const NetWareClientFunctions& client = *Client();
    const NetWareServerEntry& server = servers_[current_];
    const bool directory_services = server.version >= kDirectoryServicesVersion;
    std::string label(server_name);
    if (label.empty())
        label = ComputerName();
    if (label.empty())
        label = "(Unknown)";
    if (directory_services && !server_name.empty()) {
        DsContext context(client);
        char tree_name[kObjectNameRoom] = {};
        if (context.ok() && client.NWDSGetContext(context.handle(), kContextTreeName, tree_name) == 0)
            label = NameFrom(tree_name, sizeof tree_name);
    }
    tree.Clear();
    const AccountTree::ItemId top = tree.AddItem(AccountTree::kNoItem, label, 0);
    int count = 0;
    if (directory_services) {
        tree.SetText(top, "Tree: " + label);
        tree.Select(top);
        count = ListNdsChildren(tree);
    }
    if (count == 0) {
        tree.SetText(top, "Server: " + std::string(server_name));
        std::uint32_t sequence = 0xFFFFFFFFu;
        for (;;) {
            char name[kObjectNameRoom] = {};
            std::uint16_t type = 0;
            if (client.NWScanObject(server.connection, "*", kUserObject, &sequence, name, &type) != 0)
                break;
            tree.AddItem(top, NameFrom(name, sizeof name), 1);
            ++count;
        }
    }
    tree.SortChildren(top);
    tree.Expand(top);
    return count;
}

int NetWareLayer::ListNdsChildren(AccountTree& tree) {
    const AccountTree::ItemId item = tree.selected();
    if (item == AccountTree::kNoItem || Client() == nullptr)
        return 0;
    const NetWareClientFunctions& client = *Client();
    const std::string base =
        tree.item(item).parent != AccountTree::kNoItem ? "." + tree.item(item).text : std::string("[ROOT]");
    DsContext context(client);
    if (!context.ok())
        return 0;
    client.NWDSSetContext(context.handle(), kContextNameContext, base.c_str());
    DsBuffer request(client, kDsBufferSize);
    DsBuffer answer(client, kDsBufferSize);
    DsFilter filter(client);
    if (!request.ok() || !answer.ok() || !filter.ok())
        return 0;
    client.NWDSInitBuf(context.handle(), kSearchFilterOperation, request.get());
    client.NWDSInitBuf(context.handle(), kSearchOperation, answer.get());
    const char* classes[] = {"USER", "Organization", "Organizational Unit"};
    for (std::size_t i = 0; i < std::size(classes); ++i) {
        if (i > 0)
            client.NWDSAddFilterToken(filter.get(), kFilterOr, nullptr, 0);
        client.NWDSAddFilterToken(filter.get(), kFilterAttributeName, "Object Class", kClassNameSyntax);
        client.NWDSAddFilterToken(filter.get(), kFilterEqual, nullptr, 0);
        client.NWDSAddFilterToken(filter.get(), kFilterAttributeValue, classes[i], kClassNameSyntax);
    }
    client.NWDSAddFilterToken(filter.get(), kFilterEnd, nullptr, 0);
    if (client.NWDSPutFilter(context.handle(), request.get(), filter.get()) != 0)
        return 0;

    int count = 0;
    bool children_cleared = false;
    std::int32_t iteration = -1;
    do {
        std::int32_t searched = 0;
        if (client.NWDSSearch(context.handle(), base.c_str(), kSearchSubordinates, 0, request.get(),
                              kNamesOnly, 0, nullptr, &iteration, 0, &searched, answer.get()) != 0) {
            break;
        }
        std::uint32_t objects = 0;
        if (client.NWDSGetObjectCount(context.handle(), answer.get(), &objects) != 0)
            break;
        if (objects > 0 && !children_cleared) {
            tree.DeleteChildren(item);
            children_cleared = true;
        }
        for (std::uint32_t i = 0; i < objects; ++i) {
            char name[kObjectNameRoom] = {};
            std::uint32_t attribute_count = 0;
            NWDSObjectInfo info{};
            if (client.NWDSGetObjectName(context.handle(), answer.get(), name, &attribute_count, &info) != 0)
                break;
            if (info.subordinate_count > 0) {
                const AccountTree::ItemId child = tree.AddItem(item, NameFrom(name, sizeof name), 0);
                tree.SetChildMarker(child, static_cast<int>(info.subordinate_count));
            } else {
                tree.AddItem(item, NameFrom(name, sizeof name), 1);
            }
            ++count;
        }
    } while (iteration != -1);
    tree.SortChildren(item);
    return count;
}

}  // namespace korvane
