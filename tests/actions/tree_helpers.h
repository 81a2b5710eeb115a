// Small helpers for tests that build and inspect real trees.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace korvane::testing {

inline bool Exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

inline struct stat StatOf(const std::string& path) {
    struct stat status = {};
    ::lstat(path.c_str(), &status);
    return status;
}

inline bool IsLink(const std::string& path) {
    return S_ISLNK(StatOf(path).st_mode);
}
inline bool IsFolder(const std::string& path) {
    return Exists(path) && S_ISDIR(StatOf(path).st_mode);
}

inline std::string LinkText(const std::string& path) {
    char text[4096];
    const ssize_t length = ::readlink(path.c_str(), text, sizeof text);
    return length < 0 ? std::string() : std::string(text, static_cast<std::size_t>(length));
}

// The names in a folder, "." and ".." left out, sorted.
inline std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* listing = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(listing)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        ::closedir(listing);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Sets a file's (or link's) modification and access times, in seconds and nanoseconds.
inline bool SetTimes(const std::string& path, time_t seconds, long nanoseconds) {
    const struct timespec times[2] = {{seconds - 100, 0}, {seconds, nanoseconds}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

inline bool SameModificationTime(const struct stat& a, const struct stat& b) {
    return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Sets an environment variable for the life of the object, then restores it.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (had_) {
            ::setenv(name_, old_.c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// A temporary folder on another device than the usual temporary folder
// (the shared-memory file system), removed with its content; path() is
// empty when no such device is writable here.
class OtherDeviceDir {
  public:
    OtherDeviceDir() {
        struct stat here, there;
        if (::stat(std::filesystem::temp_directory_path().c_str(), &here) != 0 ||
            ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev ||
            ::access("/dev/shm", W_OK) != 0) {
            return;
        }
        std::string pattern = "/dev/shm/korvane-test-XXXXXX";
        if (char* made = ::mkdtemp(pattern.data()))
            path_ = made;
    }
    ~OtherDeviceDir() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    OtherDeviceDir(const OtherDeviceDir&) = delete;
    OtherDeviceDir& operator=(const OtherDeviceDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace korvane::testing
