#include "platform/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace korvane {
namespace {

bool IsPrivateFolderOfMine(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

}  // namespace

std::string RuntimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/')
        return runtime;
    std::string temp = "/tmp";
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir != nullptr && *tmpdir == '/')
        temp = tmpdir;
    while (temp.size() > 1 && temp.back() == '/')
        temp.pop_back();
    const std::string folder = temp + "/korvane-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    return IsPrivateFolderOfMine(folder) ? folder : std::string();
}

bool ExportRuntimeFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/')
        return true;
    const std::string folder = RuntimeFolder();
    return !folder.empty() && ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1) == 0;
}

}  // namespace korvane
