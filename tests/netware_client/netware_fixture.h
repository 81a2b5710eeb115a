// The tests' handle on their NetWare client library: the same shared object
// the layer loads by path, opened here too (one copy in the process), so a
// test fills its servers and reads its call log.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "netware_client/fixture_control.h"
#include "platform/shared_library.h"

namespace korvane::testing {

class NetWareFixture {
  public:
    static constexpr const char* kPath = KORVANE_NETWARE_FIXTURE;

    NetWareFixture() {
        EXPECT_TRUE(library_.Open(kPath)) << library_.error();
#define KORVANE_FIXTURE_RESOLVE(name, type)                                    \
    name = reinterpret_cast<std::add_pointer_t<type>>(library_.Symbol(#name)); \
    EXPECT_NE(name, nullptr) << #name;
        KORVANE_NETWARE_FIXTURE_CONTROLS(KORVANE_FIXTURE_RESOLVE)
#undef KORVANE_FIXTURE_RESOLVE
        if (nwfx_reset != nullptr)
            nwfx_reset();
    }

    // The client calls received, oldest first: the function's name, then
    // the arguments that tell calls apart.
    std::vector<std::string> Calls() const {
        std::vector<std::string> calls;
        for (std::size_t i = 0; i < nwfx_call_count(); ++i)
            calls.emplace_back(nwfx_call(i));
        return calls;
    }
    // The names of the functions called, in order.
    std::vector<std::string> CallNames() const {
        std::vector<std::string> names;
        for (const std::string& call : Calls())
            names.push_back(call.substr(0, call.find(' ')));
        return names;
    }
    int Count(std::string_view function) const {
        int count = 0;
        for (const std::string& name : CallNames())
            count += name == function ? 1 : 0;
        return count;
    }
    NWEntryRecord Entry(const char* server, const char* volume, const char* path) const {
        NWEntryRecord record{};
        EXPECT_EQ(nwfx_entry(server, volume, path, &record), 0) << path;
        return record;
    }

#define KORVANE_FIXTURE_POINTER(name, type) std::add_pointer_t<type> name = nullptr;
    KORVANE_NETWARE_FIXTURE_CONTROLS(KORVANE_FIXTURE_POINTER)
#undef KORVANE_FIXTURE_POINTER

  private:
    SharedLibrary library_;
};

}  // namespace korvane::testing
