#include "schedule/scheduler_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/runtime_folder.h"

namespace korvane {
namespace {

int RemainingMs(Deadline deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0)
        return 0;
    return left > 60000 ? 60000 : static_cast<int>(left);
}

// Waits for the events; false on timeout (errno ETIMEDOUT) or error.
bool WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        const int ms = RemainingMs(deadline);
        if (ms == 0 && std::chrono::steady_clock::now() >= deadline) {
            errno = ETIMEDOUT;
            return false;
        }
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, ms);
        if (n > 0)
            return true;
        if (n < 0 && errno != EINTR)
            return false;
    }
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

}  // namespace

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

std::string DefaultSchedulerSocketPath() {
    if (const char* over = std::getenv(std::string(kSchedulerSocketEnv).c_str());
        over != nullptr && *over != '\0') {
        return over;
    }
    if (std::string runtime = RuntimeFolder(); !runtime.empty()) {
        std::string path = runtime;
        if (path.back() != '/')
            path.push_back('/');
        return path + std::string(kSchedulerSocketName);
    }
    std::string temp = "/tmp";
    if (const char* tmpdir = std::getenv("TMPDIR"); tmpdir != nullptr && *tmpdir == '/')
        temp = tmpdir;
    if (temp.back() != '/')
        temp.push_back('/');
    return temp + "korvane-schedule-" + std::to_string(::getuid()) + ".sock";
}

Deadline DeadlineAfter(int milliseconds) {
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
}

bool UnixAddressFits(const std::string& path) {
    sockaddr_un address;
    return FillAddress(path, address);
}

UniqueFd ConnectUnixSocket(const std::string& path, Deadline deadline, int& err) {
    err = 0;
    sockaddr_un address;
    if (!FillAddress(path, address)) {
        err = ENAMETOOLONG;
        return {};
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.Valid()) {
        err = errno;
        return {};
    }
    for (;;) {
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            break;
        const int e = errno;
        if (e == EINTR)
            continue;
        if (e == EISCONN)
            break;
        if (e == EINPROGRESS || e == EALREADY) {
            if (!WaitFor(fd.Get(), POLLOUT, deadline)) {
                err = errno;
                return {};
            }
            int so_error = 0;
            socklen_t len = sizeof so_error;
            if (::getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &so_error, &len) != 0)
                so_error = errno;
            if (so_error != 0) {
                err = so_error;
                return {};
            }
            break;
        }
        if (e == EAGAIN) {
            // A full backlog makes a non-blocking Unix connect fail at once
            // rather than wait; try again until the deadline.
            if (std::chrono::steady_clock::now() >= deadline) {
                err = ETIMEDOUT;
                return {};
            }
            ::usleep(10000);
            continue;
        }
        err = e;
        return {};
    }
    if (!PeerIsSameUser(fd.Get())) {
        err = EPERM;
        return {};
    }
    return fd;
}

IoStatus SendAll(int fd, std::string_view bytes, Deadline deadline) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitFor(fd, POLLOUT, deadline))
                return errno == ETIMEDOUT ? IoStatus::Timeout : IoStatus::Error;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return errno == EPIPE || errno == ECONNRESET ? IoStatus::Closed : IoStatus::Error;
    }
    return IoStatus::Ok;
}

IoStatus ReceiveFrame(int fd, FrameDecoder& decoder, LinkFrame& frame, Deadline deadline) {
    std::string error;
    char buffer[4096];
    for (;;) {
        switch (decoder.Next(frame, error)) {
            case FrameDecoder::Result::Frame:
                return IoStatus::Ok;
            case FrameDecoder::Result::Error:
                return IoStatus::Error;
            case FrameDecoder::Result::NeedMore:
                break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            decoder.Append(std::string_view(buffer, static_cast<std::size_t>(n)));
            continue;
        }
        if (n == 0)
            return IoStatus::Closed;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(fd, POLLIN, deadline))
                return errno == ETIMEDOUT ? IoStatus::Timeout : IoStatus::Error;
            continue;
        }
        return errno == ECONNRESET ? IoStatus::Closed : IoStatus::Error;
    }
}

bool PeerIsSameUser(int fd) {
    ucred credentials{};
    socklen_t len = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &len) != 0)
        return false;
    return credentials.uid == ::getuid();
}

}  // namespace korvane
