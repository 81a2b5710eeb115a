#include "app/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/runtime_folder.h"

namespace korvane {

std::string DefaultInstanceLockPath() {
    std::string folder = RuntimeFolder();
    if (folder.empty()) {
        // No private folder: a name of this user's own in the temporary folder.
        return std::filesystem::temp_directory_path().string() + "/Korvane-" + std::to_string(::getuid()) +
               ".lock";
    }
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
