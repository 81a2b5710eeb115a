// The NetWare client library, loaded by name: one pointer per function of
// the contract in netware_client_api.h, all resolved or none.
#pragma once

#include <string>
#include <type_traits>

#include "app/settings.h"
#include "owners/netware_client_api.h"
#include "platform/shared_library.h"

namespace korvane {

struct NetWareClientFunctions {
#define KORVANE_NETWARE_POINTER(name, type) std::add_pointer_t<type> name = nullptr;
    KORVANE_NETWARE_CLIENT_FUNCTIONS(KORVANE_NETWARE_POINTER)
#undef KORVANE_NETWARE_POINTER
};

class NetWareClient {
  public:
    // Loads the library (a name on the library path, or a path) and resolves
    // every function. False, with the reason in error(), when the library is
    // missing or lacks a function; nothing stays loaded then.
    bool Load(const std::string& name_or_path);
    bool loaded() const { return loaded_; }
    const NetWareClientFunctions& functions() const { return functions_; }
    const std::string& error() const { return error_; }

  private:
    SharedLibrary library_;
    NetWareClientFunctions functions_;
    bool loaded_ = false;
    std::string error_;
};

}  // namespace korvane
