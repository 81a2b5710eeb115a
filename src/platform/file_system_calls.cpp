#include "platform/file_system_calls.h"

#include <unistd.h>

#include <cerrno>

namespace korvane {

int FileSystemCalls::Lstat(const std::string& path, struct stat& status) {
    return lstat(path.c_str(), &status) == 0 ? 0 : errno;
}

int FileSystemCalls::Lchown(const std::string& path, uid_t owner, gid_t group) {
    return lchown(path.c_str(), owner, group) == 0 ? 0 : errno;
}

FileSystemCalls& SystemFileSystemCalls() {
    static FileSystemCalls calls;
    return calls;
}

}  // namespace korvane
