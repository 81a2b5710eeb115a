#include "actions/netware_routes.h"

#include "scan/netware_volume.h"

namespace korvane {

NetWareRoutes NetWareRoutesThrough(NetWareLayer& layer) {
    NetWareRoutes routes;
    routes.set_compression = [&layer](const VolumeScanRecord& volume, const std::string& path,
                                      bool compress) {
        return NetWareCompress(layer, volume, path, compress ? 1 : 0) ? 0 : kNetWareActionError;
    };
    routes.set_owner = [&layer](const VolumeScanRecord& volume, const std::string& path,
                                std::string_view account) {
        return NetWareSetOwnerOf(layer, volume, path, account) ? 0 : kNetWareActionError;
    };
    routes.list_accounts = [&layer](const VolumeScanRecord& volume, AccountTree& tree) {
        return layer.ListNetWareAccounts(volume.owner, volume.name, tree);
    };
    routes.owner_of = [&layer](const VolumeScanRecord& volume, const std::string& path) {
        return NetWareOwnerOf(layer, volume, path);
    };
    routes.reads.entry_details = [&layer](const VolumeScanRecord& volume, FolderScanRecord& record) {
        FillNetWareDetails(&layer, volume, record);
    };
    routes.reads.space = [&layer](const VolumeScanRecord& volume, std::uint64_t& size, std::uint64_t& free) {
        NetWareVolumeSpace space;
        if (layer.NwVolumeSpace(volume.owner, volume.name, space) != 0) {
            return false;
        }
        size = space.size;
        free = space.free;
        return true;
    };
    return routes;
}

}  // namespace korvane
