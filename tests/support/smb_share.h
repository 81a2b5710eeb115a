// A real SMB share for the tests: smbd on 127.0.0.1 at a free port (in the
// process group the test gives it, not a session of its own), with its
// configuration, state and shared folder in a temporary folder, letting
// guests read and write "share" or, started for a user, only that user (with
// a password of its own samba keeps in the temporary folder).
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/spawned_daemon.h"

namespace korvane::testing {

// Samba lets in only names of the machine's own accounts: "nobody" is one on
// every system, so the tests need not add an account of their own.
struct SmbUser {
    std::string name = "nobody";
    std::string password;
};

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

    // Without a user, guests are let in; with one, only that user.
    bool Start(const std::optional<SmbUser>& user = std::nullopt) {
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
            << (user ? "\nguest ok = no\nvalid users = " + user->name
                     : std::string("\nguest ok = yes\nguest only = yes"))
            << "\nread only = no\nforce user = root\n";
        if (user && !AddUser(*user))
            return false;
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
    // pdbedit reads the password (twice) from its standard input, never from
    // its command line.
    bool AddUser(const SmbUser& user) const {
        const std::string command = "/usr/bin/pdbedit -s '" + work_ + "/smb.conf' -a -t -u '" + user.name +
                                    "' >>'" + work_ + "/pdbedit.out' 2>&1";
        FILE* pdbedit = ::popen(command.c_str(), "w");
        if (pdbedit == nullptr)
            return false;
        std::fputs((user.password + "\n" + user.password + "\n").c_str(), pdbedit);
        return ::pclose(pdbedit) == 0;
    }

    std::string work_;
    int port_ = 0;
    SpawnedDaemon smbd_;
};

}  // namespace korvane::testing
