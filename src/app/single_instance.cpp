#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace korvane {

std::string DefaultInstanceLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime != nullptr && *runtime == '/') ? runtime : std::filesystem::temp_directory_path().string();
    if (folder.back() != '/') folder.push_back('/');
    return folder + "Korvane.lock";
}

SingleInstanceLock::~SingleInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool SingleInstanceLock::Acquire(const std::string& lock_path) {
    if (fd_ >= 0) return true;
    const int fd = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

}  // namespace korvane
