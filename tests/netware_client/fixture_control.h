// The test client library's own controls, besides the client functions it
// exports: what the tests put on its in-memory servers and directory tree,
// failures to inject, and the log of the client calls it received.
#pragma once

#include <cstddef>
#include <cstdint>

#include "owners/netware_client_api.h"

#define KORVANE_NETWARE_FIXTURE_CONTROLS(X)                                                                \
    X(nwfx_reset, void())                                                                                  \
    X(nwfx_add_server, void(const char* name, int major, int minor, const char* tree))                     \
    X(nwfx_add_volume,                                                                                     \
      void(const char* server, const char* volume, int long_names, std::uint32_t total,                    \
           std::uint32_t available, std::uint32_t purgeable, std::uint32_t sectors_per_block))             \
    X(nwfx_add_entry, void(const char* server, const char* volume, const char* path, const char* dos_name, \
                           int directory, std::uint32_t attributes, std::uint32_t creator,                 \
                           std::uint32_t creation_date_time, std::uint32_t compressed_size))               \
    X(nwfx_entry, int(const char* server, const char* volume, const char* path, NWEntryRecord* entry))     \
    X(nwfx_add_bindery_object,                                                                             \
      void(const char* server, std::uint32_t id, const char* name, std::uint16_t type))                    \
    X(nwfx_add_ds_object, void(const char* name, const char* object_class, std::uint32_t id))              \
    X(nwfx_set_ds_attribute, void(const char* object, const char* attribute, const char* value))           \
    X(nwfx_fail, void(const char* function, int error, int times))                                         \
    X(nwfx_call_count, std::size_t())                                                                      \
    X(nwfx_call, const char*(std::size_t index))                                                           \
    X(nwfx_clear_calls, void())                                                                            \
    X(nwfx_live_handles, int())
