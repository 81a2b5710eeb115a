#include "platform/shared_library.h"

#include <dlfcn.h>

#include <utility>

namespace korvane {

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
        error_ = std::move(other.error_);
    }
    return *this;
}

bool SharedLibrary::Open(const std::string& name_or_path) {
    Close();
    error_.clear();
    if (name_or_path.empty()) {
        error_ = "no library named";
        return false;
    }
    // RTLD_LOCAL keeps the library's symbols from standing in for anyone
    // else's; RTLD_NOW finds a broken library here, not at its first call.
    handle_ = ::dlopen(name_or_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_ == nullptr) {
        const char* reason = ::dlerror();
        error_ = reason != nullptr ? reason : "cannot load " + name_or_path;
        return false;
    }
    return true;
}

void SharedLibrary::Close() {
    if (handle_ != nullptr) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* SharedLibrary::Symbol(const char* name) const {
    if (handle_ == nullptr)
        return nullptr;
    ::dlerror();
    return ::dlsym(handle_, name);
}

}  // namespace korvane
