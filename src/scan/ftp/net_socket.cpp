#include "scan/ftp/net_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <string>

#include "scan/ftp/net_error.h"

namespace korvane {

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int SocketHandle::Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void SocketHandle::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

SocketHandle MakeTcpSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        StoreErrnoAsNetError();
    return SocketHandle(fd);
}

namespace {

using Clock = std::chrono::steady_clock;

// poll rather than select: select cannot watch a descriptor numbered 1024 or
// above, which a program with many open files can be handed.
int WaitFor(int fd, short events, int seconds) {
    if (fd < 0) {
        SetLastNetError(kNetErrorBadHandle);
        return -1;
    }
    const bool unlimited = seconds == -1;
    if (seconds < 0 && !unlimited)
        seconds = 0;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(unlimited ? 0 : seconds);
    for (;;) {
        int wait_ms = -1;
        if (!unlimited) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left < 0)
                left = 0;
            wait_ms = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        }
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, wait_ms);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            StoreErrnoAsNetError();
            return -1;
        }
        if (ready == 0) {
            if (!unlimited && Clock::now() < deadline)
                continue;
            SetLastNetError(kNetErrorTimedOut);
            return 0;
        }
        if (entry.revents & POLLNVAL) {
            SetLastNetError(kNetErrorBadHandle);
            return -1;
        }
        return 1;
    }
}

int SocketError(int fd) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

}  // namespace

int WaitUntilWritable(int fd, int seconds) {
    return WaitFor(fd, POLLOUT, seconds);
}

int WaitUntilReadable(int fd, int seconds) {
    return WaitFor(fd, POLLIN, seconds);
}

bool ConnectWithTimeout(int fd, const sockaddr* address, socklen_t length, int seconds) {
    if (::connect(fd, address, length) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR) {
        StoreErrnoAsNetError();
        return false;
    }
    if (WaitUntilWritable(fd, seconds) != 1)
        return false;
    // A refused or failed connection also makes the socket writable; its
    // pending error tells the two apart.
    if (int error = SocketError(fd); error != 0) {
        SetLastNetError(NetErrorFromErrno(error));
        return false;
    }
    return true;
}

SocketHandle AcceptWithTimeout(int fd, sockaddr* address, socklen_t* length, int seconds) {
    if (WaitUntilReadable(fd, seconds) != 1)
        return SocketHandle();
    int accepted = ::accept4(fd, address, length, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (accepted < 0)
        StoreErrnoAsNetError();
    return SocketHandle(accepted);
}

ssize_t ReceiveFromWithTimeout(int fd, void* buffer, std::size_t size, int flags, sockaddr* address,
                               socklen_t* length, int seconds) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
    int wait = seconds;
    for (;;) {
        if (WaitUntilReadable(fd, wait) != 1)
            return 0;
        ssize_t got = ::recvfrom(fd, buffer, size, flags, address, length);
        if (got >= 0)
            return got;
        // Readiness can be spurious; wait again for what is left of the time.
        if (errno == EAGAIN || errno == EINTR) {
            if (seconds != -1) {
                auto left = std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now()).count();
                if (left <= 0) {
                    SetLastNetError(kNetErrorTimedOut);
                    return 0;
                }
                wait = static_cast<int>(left);
            }
            continue;
        }
        StoreErrnoAsNetError();
        return -1;
    }
}

ssize_t ReceiveWithTimeout(int fd, void* buffer, std::size_t size, int flags, int seconds) {
    return ReceiveFromWithTimeout(fd, buffer, size, flags, nullptr, nullptr, seconds);
}

bool SendToWithTimeout(int fd, const void* data, std::size_t length, int flags, const sockaddr* address,
                       socklen_t address_length, int seconds) {
    const char* next = static_cast<const char*>(data);
    std::size_t left = length;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
    int wait = seconds < 0 ? 0 : seconds;
    for (;;) {
        if (WaitUntilWritable(fd, wait) != 1)
            return false;
        ssize_t sent = ::sendto(fd, next, left, flags | MSG_NOSIGNAL, address, address_length);
        if (sent < 0 && errno != EAGAIN && errno != EINTR) {
            StoreErrnoAsNetError();
            return false;
        }
        if (sent > 0) {
            next += sent;
            left -= static_cast<std::size_t>(sent);
        }
        if (left == 0)
            return true;
        auto remaining = std::chrono::duration_cast<std::chrono::seconds>(deadline - Clock::now()).count();
        if (remaining <= 0) {
            SetLastNetError(kNetErrorTimedOut);
            return false;
        }
        wait = static_cast<int>(remaining);
    }
}

bool SendWithTimeout(int fd, const void* data, std::size_t length, int flags, int seconds) {
    return SendToWithTimeout(fd, data, length, flags, nullptr, 0, seconds);
}

std::size_t BytesWaiting(int fd) {
    int count = 0;
    if (::ioctl(fd, FIONREAD, &count) != 0) {
        StoreErrnoAsNetError();
        return 0;
    }
    return count > 0 ? static_cast<std::size_t>(count) : 0;
}

bool SetNonBlocking(int fd, bool on) {
    int value = on ? 1 : 0;
    if (::ioctl(fd, FIONBIO, &value) != 0) {
        StoreErrnoAsNetError();
        return false;
    }
    return true;
}

bool ResolveHostIPv4(std::string_view host, in_addr& address) {
    const std::string name(host);
    if (name.empty() || name.find('\0') != std::string::npos) {
        SetLastNetError(kNetErrorHostNotFound);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    errno = 0;
    int code = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (code != 0 || found == nullptr) {
        SetLastNetError(code != 0 ? NetErrorFromResolver(code, errno) : kNetErrorNoData);
        if (found)
            ::freeaddrinfo(found);
        return false;
    }
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    ::freeaddrinfo(found);
    return true;
}

bool LocalAddressOf(int fd, sockaddr_in& address) {
    std::memset(&address, 0, sizeof address);
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        StoreErrnoAsNetError();
        return false;
    }
    if (address.sin_family != AF_INET) {
        SetLastNetError(kNetErrorInvalid);
        return false;
    }
    return true;
}

}  // namespace korvane
