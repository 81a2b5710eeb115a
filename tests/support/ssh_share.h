// A real remote share for the tests (root only): an sshd on 127.0.0.1 with
// its own host and client keys in a temporary folder, and the fstab line
// that mounts a folder of it with sshfs. The mount shows in the mount table
// as fuse.sshfs with the source "root@127.0.0.1:/path".
#pragma once

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/spawned_daemon.h"

namespace korvane::testing {

class SshShare {
  public:
    // work: a folder of the test's own; the keys and the server's files go there.
    explicit SshShare(const std::string& work) : work_(work) {}
    ~SshShare() { Stop(); }
    SshShare(const SshShare&) = delete;
    SshShare& operator=(const SshShare&) = delete;

    // Why the share cannot be made on this machine; empty when it can.
    static std::string Missing() {
        if (geteuid() != 0)
            return "mounting needs root";
        for (const char* program : {"/usr/sbin/sshd", "/usr/bin/sshfs", "/usr/bin/ssh-keygen", "/dev/fuse"})
            if (!std::filesystem::exists(program))
                return std::string(program) + " is missing (Debian sshfs, openssh-server)";
        return {};
    }

    bool Start() {
        port_ = FreeLoopbackPort();
        std::filesystem::create_directories("/run/sshd");
        const std::string keygen = "/usr/bin/ssh-keygen -q -t ed25519 -N '' -f ";
        if (std::system((keygen + work_ + "/host_key").c_str()) != 0)
            return false;
        if (std::system((keygen + work_ + "/client_key").c_str()) != 0)
            return false;
        std::filesystem::copy_file(work_ + "/client_key.pub", work_ + "/authorized_keys");
        std::ofstream(work_ + "/sshd_config")
            << "Port " << port_ << "\nListenAddress 127.0.0.1\nHostKey " << work_
            << "/host_key\nAuthorizedKeysFile " << work_
            << "/authorized_keys\nPasswordAuthentication no\nPermitRootLogin yes\n"
               "StrictModes no\nUsePAM no\nSubsystem sftp internal-sftp\nPidFile "
            << work_ << "/sshd.pid\n";
        if (std::system(("/usr/sbin/sshd -f " + work_ + "/sshd_config -E " + work_ + "/sshd.log").c_str()) !=
            0)
            return false;
        for (int i = 0; i < 100 && !std::filesystem::exists(work_ + "/sshd.pid"); ++i)
            usleep(20000);
        return std::filesystem::exists(work_ + "/sshd.pid");
    }

    void Stop() {
        std::ifstream pid_file(work_ + "/sshd.pid");
        pid_t pid = 0;
        if (pid_file >> pid && pid > 0)
            kill(pid, SIGTERM);
        std::filesystem::remove(work_ + "/sshd.pid");
    }

    // The fstab line that mounts the server's folder at mount_point.
    std::string FstabLine(const std::string& folder, const std::string& mount_point) const {
        return "root@127.0.0.1:" + folder + " " + mount_point + " fuse.sshfs port=" + std::to_string(port_) +
               ",IdentityFile=" + work_ +
               "/client_key,StrictHostKeyChecking=no,UserKnownHostsFile=/dev/null,BatchMode=yes,_netdev 0 "
               "0\n";
    }

  private:
    std::string work_;
    int port_ = 0;
};

}  // namespace korvane::testing
