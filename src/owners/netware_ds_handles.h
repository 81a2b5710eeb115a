// Directory-services contexts, buffers and filters of the client library,
// each freed by its owner's end, so no path out of a lookup leaks one.
#pragma once

#include <cstddef>

#include "owners/netware_client.h"

namespace korvane {

class DsContext {
  public:
    explicit DsContext(const NetWareClientFunctions& client) : client_(client) {
        created_ = client_.NWDSCreateContextHandle(&handle_) == 0;
    }
    ~DsContext() {
        if (created_)
            client_.NWDSFreeContext(handle_);
    }
    DsContext(const DsContext&) = delete;
    DsContext& operator=(const DsContext&) = delete;

    bool ok() const { return created_; }
    NWDSContextHandle handle() const { return handle_; }

  private:
    const NetWareClientFunctions& client_;
    NWDSContextHandle handle_ = 0;
    bool created_ = false;
};

class DsBuffer {
  public:
    DsBuffer(const NetWareClientFunctions& client, std::size_t size) : client_(client) {
        if (client_.NWDSAllocBuf(size, &buffer_) != 0)
            buffer_ = nullptr;
    }
    ~DsBuffer() {
        if (buffer_ != nullptr)
            client_.NWDSFreeBuf(buffer_);
    }
    DsBuffer(const DsBuffer&) = delete;
    DsBuffer& operator=(const DsBuffer&) = delete;

    bool ok() const { return buffer_ != nullptr; }
    Buf_T* get() const { return buffer_; }

  private:
    const NetWareClientFunctions& client_;
    Buf_T* buffer_ = nullptr;
};

class DsFilter {
  public:
    explicit DsFilter(const NetWareClientFunctions& client) : client_(client) {
        if (client_.NWDSAllocFilter(&cursor_) != 0)
            cursor_ = nullptr;
    }
    ~DsFilter() {
        if (cursor_ != nullptr)
            client_.NWDSFreeFilter(cursor_);
    }
    DsFilter(const DsFilter&) = delete;
    DsFilter& operator=(const DsFilter&) = delete;

    bool ok() const { return cursor_ != nullptr; }
    Filter_Cursor_T* get() const { return cursor_; }

  private:
    const NetWareClientFunctions& client_;
    Filter_Cursor_T* cursor_ = nullptr;
};

// The size of the request and answer buffers of every lookup.
inline constexpr std::size_t kDsBufferSize = 4096;

}  // namespace korvane
