#include "owners/netware_client.h"

namespace korvane {

bool NetWareClient::Load(const std::string& name_or_path) {
    functions_ = NetWareClientFunctions{};
    loaded_ = false;
    error_.clear();
    if (!library_.Open(name_or_path)) {
        error_ = library_.error();
        return false;
    }
    NetWareClientFunctions found;
    std::string missing;
#define KORVANE_NETWARE_RESOLVE(name, type)                                          \
    found.name = reinterpret_cast<std::add_pointer_t<type>>(library_.Symbol(#name)); \
    if (found.name == nullptr && missing.empty())                                    \
        missing = #name;
    KORVANE_NETWARE_CLIENT_FUNCTIONS(KORVANE_NETWARE_RESOLVE)
#undef KORVANE_NETWARE_RESOLVE
    if (!missing.empty()) {
        // A library without the whole contract would fail in the middle of
        // a sequence of calls that must run in order; better none at all.
        error_ = name_or_path + " lacks " + missing;
        library_.Close();
        return false;
    }
    functions_ = found;
    loaded_ = true;
    return true;
}

}  // namespace korvane
