// A real SMB share for the tests: smbd on 127.0.0.1 at a free port (in the
// process group the test gives it, not a session of its own), with its
// configuration, state and shared folder in a temporary folder, letting
// guests read and write "share".
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/spawned_daemon.h"

namespace korvane::testing {

class SmbShare {
  public:
    // work: a folder of the test's own.
    explicit SmbShare(const std::string& work) : work_(work) {}

    // The program of the installed list that is missing; empty when none is.
    // (smbd serves guests as root only: the tests that use it need root.)
    static std::string MissingProgram() {
        if (!std::filesystem::exists("/usr/sbin/smbd"))
            return "/usr/sbin/smbd is missing (Debian samba)";
        return {};
    }

    bool Start() {
        port_ = FreeLoopbackPort();
        for (const char* folder : {"run", "lock", "state", "cache", "private", "ncalrpc", "share"})
            std::filesystem::create_directories(work_ + "/" + folder);
        std::ofstream(work_ + "/smb.conf")
            << "[global]\n"
               "server role = standalone server\n"
               "smb ports = "
            << port_
            << "\ninterfaces = 127.0.0.1\nbind interfaces only = yes\ndisable netbios = yes\n"
               "map to guest = Bad User\nguest account = nobody\n"
               "load printers = no\nprinting = bsd\nprintcap name = /dev/null\ndisable spoolss = yes\n"
            << "pid directory = " << work_ << "/run\nlock directory = " << work_
            << "/lock\nstate directory = " << work_ << "/state\ncache directory = " << work_
            << "/cache\nprivate dir = " << work_ << "/private\nbinddns dir = " << work_
            << "/private\nncalrpc dir = " << work_ << "/ncalrpc\npassdb backend = tdbsam:" << work_
            << "/private/passdb.tdb\nlog file = " << work_ << "/smbd.log\n"
            << "[share]\npath = " << SharedFolder()
            << "\nguest ok = yes\nguest only = yes\nread only = no\nforce user = root\n";
        return smbd_.Start({"/usr/sbin/smbd", "--foreground", "--no-process-group", "--debug-stdout",
                            "--configfile=" + work_ + "/smb.conf"},
                           {"PATH=/usr/sbin:/usr/bin:/sbin:/bin"}, work_ + "/smbd.out") &&
               WaitForLoopbackPort(port_);
    }
    void Stop() { smbd_.Stop(); }

    std::string Address() const { return "smb://127.0.0.1:" + std::to_string(port_) + "/share"; }
    std::string SharedFolder() const { return work_ + "/share"; }
    int port() const { return port_; }

  private:
    std::string work_;
    int port_ = 0;
    SpawnedDaemon smbd_;
};

}  // namespace korvane::testing
