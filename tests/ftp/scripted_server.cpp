#include "scripted_server.h"
#include "loopback_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace korvane::testing {

namespace {

constexpr int kServerWaitMs = 10000;  // no step of the server waits longer

int AcceptWithin(int listener, int stop_fd) {
    pollfd entries[2] = {{listener, POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (::poll(entries, 2, kServerWaitMs) <= 0 || !(entries[0].revents & POLLIN))
        return -1;
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    return fd;
}

}  // namespace

ScriptedServer::ScriptedServer() {
    listener_ = ListenOnLoopback(port_);
    if (::pipe2(stop_pipe_, O_CLOEXEC) != 0)
        stop_pipe_[0] = stop_pipe_[1] = -1;
}

ScriptedServer::~ScriptedServer() {
    if (stop_pipe_[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(stop_pipe_[1], &byte, 1);
    }
    if (thread_.joinable())
        thread_.join();
    for (int fd : {listener_, data_listener_, stop_pipe_[0], stop_pipe_[1]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

void ScriptedServer::Fail(const std::string& what) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (problem_.empty())
        problem_ = what;
}

bool ScriptedServer::WaitStop(std::chrono::milliseconds time) {
    pollfd entry{stop_pipe_[0], POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(time.count())) > 0;
}

bool ScriptedServer::ReadLine(int fd, std::string& line) {
    for (;;) {
        std::size_t end = buffer_.find("\r\n");
        if (end != std::string::npos) {
            line = buffer_.substr(0, end);
            buffer_.erase(0, end + 2);
            return true;
        }
        pollfd entries[2] = {{fd, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
        if (::poll(entries, 2, kServerWaitMs) <= 0 || !(entries[0].revents & (POLLIN | POLLHUP)))
            return false;
        char chunk[4096];
        ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
        if (got <= 0)
            return false;
        buffer_.append(chunk, static_cast<std::size_t>(got));
    }
}

ScriptedServer& ScriptedServer::Send(std::string bytes) {
    steps_.push_back([bytes](int& fd) { return SendAll(fd, bytes); });
    return *this;
}

ScriptedServer& ScriptedServer::Receive() {
    steps_.push_back([this](int& fd) {
        std::string line;
        if (!ReadLine(fd, line))
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        received_.push_back(line);
        return true;
    });
    return *this;
}

ScriptedServer& ScriptedServer::Pause(std::chrono::milliseconds time) {
    steps_.push_back([this, time](int&) { return !WaitStop(time); });
    return *this;
}

ScriptedServer& ScriptedServer::Reset() {
    steps_.push_back([](int& fd) {
        linger option{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
        ::close(fd);
        fd = -1;
        return true;
    });
    return *this;
}

ScriptedServer& ScriptedServer::Close() {
    steps_.push_back([](int& fd) {
        ::close(fd);
        fd = -1;
        return true;
    });
    return *this;
}

ScriptedServer& ScriptedServer::Silence() {
    steps_.push_back([this](int&) {
        pollfd entry{stop_pipe_[0], POLLIN, 0};
        ::poll(&entry, 1, -1);
        return true;
    });
    return *this;
}

ScriptedServer& ScriptedServer::PassiveReply(std::string host) {
    steps_.push_back([this, host](int& fd) {
        int data_port = 0;
        if (data_listener_ >= 0)
            ::close(data_listener_);
        data_listener_ = ListenOnLoopback(data_port);
        if (data_listener_ < 0)
            return false;
        char text[96];
        std::snprintf(text, sizeof text, "227 Entering Passive Mode (%s,%d,%d)\r\n", host.c_str(),
                      data_port / 256, data_port % 256);
        return SendAll(fd, text);
    });
    return *this;
}

ScriptedServer& ScriptedServer::SendPassiveData(std::string bytes) {
    steps_.push_back([this, bytes](int&) {
        int data = AcceptWithin(data_listener_, stop_pipe_[0]);
        if (data < 0)
            return false;
        bool ok = SendAll(data, bytes);
        ::close(data);
        return ok;
    });
    return *this;
}

ScriptedServer& ScriptedServer::HoldPassiveData() {
    steps_.push_back([this](int&) {
        int data = AcceptWithin(data_listener_, stop_pipe_[0]);
        if (data < 0)
            return false;
        pollfd entry{stop_pipe_[0], POLLIN, 0};
        ::poll(&entry, 1, -1);
        ::close(data);
        return true;
    });
    return *this;
}

ScriptedServer& ScriptedServer::SendActiveData(std::string bytes) {
    steps_.push_back([this, bytes](int&) {
        std::string port_line;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (const std::string& line : received_) {
                if (line.rfind("PORT ", 0) == 0)
                    port_line = line;
            }
        }
        unsigned h1, h2, h3, h4, p1, p2;
        if (std::sscanf(port_line.c_str(), "PORT %u,%u,%u,%u,%u,%u", &h1, &h2, &h3, &h4, &p1, &p2) != 6)
            return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl((h1 << 24) | (h2 << 16) | (h3 << 8) | h4);
        address.sin_port = htons(static_cast<std::uint16_t>(p1 * 256 + p2));
        int data = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (data < 0)
            return false;
        bool ok = ::connect(data, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  SendAll(data, bytes);
        ::close(data);
        return ok;
    });
    return *this;
}

ScriptedServer& ScriptedServer::Login() {
    return Send("220 Scripted server ready\r\n")
        .Receive()
        .Send("331 Password please\r\n")
        .Receive()
        .Send("230 Logged in\r\n");
}

void ScriptedServer::Start() {
    thread_ = std::thread([this] { Run(); });
}

void ScriptedServer::Run() {
    int fd = AcceptWithin(listener_, stop_pipe_[0]);
    if (fd < 0) {
        Fail("no client connected");
    } else {
        for (std::size_t i = 0; i < steps_.size(); ++i) {
            if (fd < 0) {
                Fail("step " + std::to_string(i) + " after the connection was closed");
                break;
            }
            if (!steps_[i](fd)) {
                Fail("step " + std::to_string(i) + " failed");
                break;
            }
        }
        if (fd >= 0) {
            // Keep the connection until the test is done with it, so that the
            // client sees no close the script did not ask for.
            pollfd entries[2] = {{stop_pipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
            while (::poll(entries, 2, kServerWaitMs) > 0 && !(entries[0].revents & POLLIN)) {
                char chunk[4096];
                ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
                if (got <= 0)
                    break;
                std::string rest(chunk, static_cast<std::size_t>(got));
                std::lock_guard<std::mutex> lock(mutex_);
                received_.push_back("(unread) " + rest);
            }
            ::close(fd);
        }
    }
}

std::vector<std::string> ScriptedServer::Received() {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

void ScriptedServer::Stop() {
    if (stop_pipe_[1] >= 0) {
        char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(stop_pipe_[1], &byte, 1);
    }
    if (thread_.joinable())
        thread_.join();
}

std::string ScriptedServer::Problem() {
    std::lock_guard<std::mutex> lock(mutex_);
    return problem_;
}

}  // namespace korvane::testing
