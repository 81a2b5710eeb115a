// A shared library loaded at run time, closed when the object goes. Programs
// outside Korvane (the NetWare client library) are reached this way, so the
// program starts and runs without them.
#pragma once

#include <string>

namespace korvane {

class SharedLibrary {
  public:
    SharedLibrary() = default;
    ~SharedLibrary() { Close(); }
    SharedLibrary(SharedLibrary&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    // A name without "/" is looked for on the library path; a path is taken
    // as it is. False (with the loader's reason in error()) when it cannot
    // be loaded; a library already open is closed first.
    bool Open(const std::string& name_or_path);
    void Close();
    bool IsOpen() const { return handle_ != nullptr; }
    // The address of an exported symbol; null when there is none.
    void* Symbol(const char* name) const;
    const std::string& error() const { return error_; }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

}  // namespace korvane
