// A real FTP server for the tests: Debian's python3-pyftpdlib serving a
// folder on 127.0.0.1 (ephemeral port), with one user who has a password and
// an anonymous login, started and stopped by the test.
#pragma once

#include <sys/types.h>

#include <string>

namespace korvane::testing {

inline constexpr const char* kFtpTestUser = "korvane";
inline constexpr const char* kFtpTestPassword = "s3cret pass";

// The interpreter that can import pyftpdlib (the system's python3 first), or
// empty when none can.
std::string FindPyFtpdlibPython();

class FtpTestServer {
  public:
    FtpTestServer() = default;
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer&) = delete;
    FtpTestServer& operator=(const FtpTestServer&) = delete;

    // Serves root; work_folder receives the server's script and log. False
    // with the reason in why when the server did not come up.
    bool Start(const std::string& python, const std::string& root, const std::string& work_folder,
               std::string& why);
    void Stop();
    int port() const { return port_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

}  // namespace korvane::testing
