// A real file system mounted for a test (root only) and unmounted when the
// test ends.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace korvane::testing {

class TestMount {
  public:
    // Mounts a file system of fs_type (tmpfs, ramfs ...) at mount_point,
    // making the folder. mounted() tells whether it worked.
    TestMount(const std::string& fs_type, const std::string& mount_point, const std::string& options = {})
        : mount_point_(mount_point) {
        std::filesystem::create_directories(mount_point);
        mounted_ = geteuid() == 0 && ::mount(fs_type.c_str(), mount_point.c_str(), fs_type.c_str(), 0,
                                             options.empty() ? nullptr : options.c_str()) == 0;
    }
    ~TestMount() { Unmount(); }
    TestMount(const TestMount&) = delete;
    TestMount& operator=(const TestMount&) = delete;

    void Unmount() {
        if (mounted_)
            ::umount2(mount_point_.c_str(), MNT_DETACH);
        mounted_ = false;
    }
    bool mounted() const { return mounted_; }
    const std::string& path() const { return mount_point_; }

  private:
    std::string mount_point_;
    bool mounted_ = false;
};

}  // namespace korvane::testing
