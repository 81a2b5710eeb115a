// An FTP server of the tests' own on 127.0.0.1 that serves listings written
// by the test rather than a real folder: names and entries no real file
// system holds ("x/y", "..", sizes of many GiB, DOS lines, folders that lead
// into themselves), folders it refuses, a connection it resets. It takes any
// number of control connections, one after the other, and counts them.
// Passive mode only.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korvane::testing {

// A port on 127.0.0.1 with nothing listening (taken and given back at once).
int ClosedLoopbackPort();

class ListingFtpServer {
  public:
    ListingFtpServer();
    ~ListingFtpServer();
    ListingFtpServer(const ListingFtpServer&) = delete;
    ListingFtpServer& operator=(const ListingFtpServer&) = delete;

    // Set up before Start. A folder is an absolute path as CWD names it.
    void AddFolder(const std::string& path, std::string listing);
    void AddFile(const std::string& path, std::string bytes);
    // CWD to this folder closes the control connection with a reset.
    void ResetOnCwd(const std::string& path);
    // "/" and every path made of nothing but this name ("/n", "/n/n", ...)
    // is a folder listing one folder of that name.
    void SelfNestingFolder(const std::string& name);
    // Every PASS is answered 530.
    void RefuseLogins() { refuse_logins_ = true; }

    void Start();
    void Stop();
    int port() const { return port_; }
    int connections() const { return connections_.load(); }
    // Command lines received, without CR LF, over all connections.
    std::vector<std::string> Commands();

  private:
    void Run();
    void Serve(int control);
    bool Listing(const std::string& folder, std::string& text);

    std::map<std::string, std::string> folders_;
    std::map<std::string, std::string> files_;
    std::string reset_folder_;
    std::string nesting_name_;
    bool refuse_logins_ = false;

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> commands_;
};

}  // namespace korvane::testing
