// A private desktop session for GIO mounts: a D-Bus session bus started by
// the test, on which the GIO daemons start on demand, with a runtime folder,
// home and data folders in a temporary folder. While it runs, this process
// (and gio started from it) talks to that bus; shares GIO mounts show as
// folders of the gvfsd-fuse mount in FuseRoot(). Stop unmounts what is left
// and ends the bus with every daemon started on it.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/spawned_daemon.h"

namespace korvane::testing {

class GioSession {
  public:
    explicit GioSession(const std::string& work) : work_(work) {}
    ~GioSession() { Stop(); }
    GioSession(const GioSession&) = delete;
    GioSession& operator=(const GioSession&) = delete;

    // The kernel lacks FUSE: then no share can show in the mount table.
    static bool KernelLacksFuse() { return !std::filesystem::exists("/dev/fuse"); }
    // The program of the installed list that is missing; empty when none is.
    static std::string MissingProgram() {
        for (const char* program : {"/usr/bin/dbus-daemon", "/usr/bin/gio", "/usr/libexec/gvfsd",
                                    "/usr/libexec/gvfsd-fuse", "/usr/libexec/gvfsd-smb"})
            if (!std::filesystem::exists(program))
                return std::string(program) +
                       " is missing (Debian dbus-daemon, libglib2.0-bin, gvfs, "
                       "gvfs-fuse, gvfs-backends)";
        return {};
    }

    bool Start() {
        std::filesystem::create_directories(RuntimeFolder());
        std::filesystem::permissions(RuntimeFolder(), std::filesystem::perms::owner_all);
        for (const char* folder : {"home", "data", "config", "cache"})
            std::filesystem::create_directories(work_ + "/" + folder);
        const std::string address = "unix:path=" + work_ + "/bus";
        const std::vector<std::string> environment = {
            "PATH=/usr/bin:/bin:/usr/sbin:/sbin",   "HOME=" + work_ + "/home",
            "XDG_RUNTIME_DIR=" + RuntimeFolder(),   "XDG_DATA_HOME=" + work_ + "/data",
            "XDG_CONFIG_HOME=" + work_ + "/config", "XDG_CACHE_HOME=" + work_ + "/cache",
            "GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1"};
        if (!bus_.Start(
                {"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--address=" + address},
                environment, work_ + "/bus.log"))
            return false;
        for (int i = 0; i < 250 && !std::filesystem::exists(work_ + "/bus"); ++i)
            usleep(20000);
        Set("DBUS_SESSION_BUS_ADDRESS", address);
        Set("XDG_RUNTIME_DIR", RuntimeFolder());
        Set("GVFS_REMOTE_VOLUME_MONITOR_IGNORE", "1");
        return std::filesystem::exists(work_ + "/bus");
    }

    void Stop() {
        std::error_code ec;
        if (std::filesystem::is_directory(FuseRoot(), ec)) {
            for (std::filesystem::directory_iterator it(FuseRoot(), ec), end; !ec && it != end;
                 it.increment(ec))
                std::system(("/usr/bin/gio mount -u '" + it->path().string() + "' >/dev/null 2>&1").c_str());
            if (::umount2(FuseRoot().c_str(), 0) != 0)
                ::umount2(FuseRoot().c_str(), MNT_DETACH);
        }
        bus_.Stop();
        for (auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        saved_.clear();
    }

    std::string RuntimeFolder() const { return work_ + "/runtime"; }
    std::string FuseRoot() const { return RuntimeFolder() + "/gvfs"; }

  private:
    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name.c_str(), value.c_str(), 1);
    }

    std::string work_;
    SpawnedDaemon bus_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace korvane::testing
