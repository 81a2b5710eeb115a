#include "listing_ftp_server.h"
#include "loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

namespace korvane::testing {

namespace {

constexpr int kPollMs = 100;

// Accepts within five seconds; -1 otherwise.
int AcceptSoon(int listener) {
    pollfd wait{listener, POLLIN, 0};
    if (::poll(&wait, 1, 5000) != 1)
        return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

}  // namespace

int ClosedLoopbackPort() {
    int port = 0;
    const int fd = ListenOnLoopback(port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

ListingFtpServer::ListingFtpServer() = default;

ListingFtpServer::~ListingFtpServer() {
    Stop();
}

void ListingFtpServer::AddFolder(const std::string& path, std::string listing) {
    folders_[path] = std::move(listing);
}

void ListingFtpServer::AddFile(const std::string& path, std::string bytes) {
    files_[path] = std::move(bytes);
}

void ListingFtpServer::ResetOnCwd(const std::string& path) {
    reset_folder_ = path;
}

void ListingFtpServer::SelfNestingFolder(const std::string& name) {
    nesting_name_ = name;
}

void ListingFtpServer::Start() {
    listener_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Run(); });
}

void ListingFtpServer::Stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0) {
        ::close(listener_);
        listener_ = -1;
    }
}

std::vector<std::string> ListingFtpServer::Commands() {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

void ListingFtpServer::Run() {
    while (!stop_) {
        pollfd wait{listener_, POLLIN, 0};
        if (::poll(&wait, 1, kPollMs) != 1)
            continue;
        const int control = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (control < 0)
            continue;
        ++connections_;
        // A reply sent right after another must not wait for its ACK.
        const int on = 1;
        ::setsockopt(control, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Serve(control);
        ::close(control);
    }
}

bool ListingFtpServer::Listing(const std::string& folder, std::string& text) {
    if (auto found = folders_.find(folder); found != folders_.end()) {
        text = found->second;
        return true;
    }
    if (nesting_name_.empty() || folder.empty())
        return false;
    const std::string step = "/" + nesting_name_;
    for (std::size_t at = 0; folder != "/" && at < folder.size(); at += step.size()) {
        if (folder.compare(at, step.size(), step) != 0)
            return false;
    }
    text = "drwxr-xr-x 2 owner group 0 Jan 05 2001 " + nesting_name_ + "\r\n";
    return true;
}

void ListingFtpServer::Serve(int control) {
    std::string buffer;
    std::string cwd = "/";
    int passive = -1;
    auto reply = [control](const std::string& text) { return SendAll(control, text + "\r\n"); };
    // Answers a LIST or RETR over the passive connection.
    auto send_data = [&](const std::string& bytes) {
        if (passive < 0)
            return reply("425 Use PASV first");
        reply("150 Here it comes");
        const int data = AcceptSoon(passive);
        ::close(passive);
        passive = -1;
        if (data < 0)
            return reply("425 No data connection");
        SendAll(data, bytes);
        ::close(data);
        return reply("226 Done");
    };

    reply("220 Listing server ready");
    while (!stop_) {
        const std::size_t end = buffer.find("\r\n");
        if (end == std::string::npos) {
            pollfd wait{control, POLLIN, 0};
            if (::poll(&wait, 1, kPollMs) != 1)
                continue;
            char chunk[4096];
            const ssize_t got = ::recv(control, chunk, sizeof chunk, 0);
            if (got <= 0)
                break;
            buffer.append(chunk, static_cast<std::size_t>(got));
            continue;
        }
        const std::string line = buffer.substr(0, end);
        buffer.erase(0, end + 2);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            commands_.push_back(line);
        }
        const std::size_t blank = line.find(' ');
        const std::string verb = line.substr(0, blank);
        const std::string argument = blank == std::string::npos ? std::string() : line.substr(blank + 1);

        if (verb == "USER") {
            reply("331 Password please");
        } else if (verb == "PASS") {
            reply(refuse_logins_ ? "530 Login incorrect." : "230 Logged in");
        } else if (verb == "CWD") {
            std::string ignored;
            if (!reset_folder_.empty() && argument == reset_folder_) {
                const linger hard{1, 0};
                ::setsockopt(control, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
                break;
            }
            if (Listing(argument, ignored)) {
                cwd = argument;
                reply("250 Folder changed");
            } else {
                reply("550 No such folder");
            }
        } else if (verb == "TYPE") {
            reply("200 Type set");
        } else if (verb == "PASV") {
            if (passive >= 0)
                ::close(passive);
            int port = 0;
            passive = ListenOnLoopback(port);
            char text[96];
            std::snprintf(text, sizeof text, "227 Entering Passive Mode (127,0,0,1,%d,%d)", port / 256,
                          port % 256);
            reply(text);
        } else if (verb == "LIST") {
            std::string text;
            Listing(cwd, text);
            send_data(text);
        } else if (verb == "RETR") {
            const std::string path = cwd == "/" ? "/" + argument : cwd + "/" + argument;
            if (auto found = files_.find(path); found != files_.end()) {
                send_data(found->second);
            } else {
                if (passive >= 0)
                    ::close(passive);
                passive = -1;
                reply("550 No such file");
            }
        } else if (verb == "QUIT") {
            reply("221 Bye");
            break;
        } else {
            reply("502 Not implemented");
        }
    }
    if (passive >= 0)
        ::close(passive);
}

}  // namespace korvane::testing
