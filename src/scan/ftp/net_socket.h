// TCP stream sockets whose every wait has a limit in whole seconds, so that
// the FTP client never hangs on a silent peer. Sockets used here are
// non-blocking; each operation waits for readiness and then makes its call.
// Every failure stores a network error number (net_error.h); a wait that runs
// out stores kNetErrorTimedOut. IPv4 only: the FTP data commands (PORT, PASV)
// carry IPv4 addresses.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <cstddef>
#include <string_view>

namespace korvane {

// Owns one socket descriptor; closes it when destroyed or reset.
class SocketHandle {
  public:
    SocketHandle() = default;
    explicit SocketHandle(int fd) : fd_(fd) {}
    ~SocketHandle() { Close(); }
    SocketHandle(SocketHandle&& other) noexcept : fd_(other.Release()) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept;
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Close();

  private:
    int fd_ = -1;
};

// A non-blocking IPv4 TCP socket (close-on-exec), or an invalid handle with the error stored.
SocketHandle MakeTcpSocket();

// A timeout of -1 waits without limit (reading only); any other negative value is taken as 0.
// Results: 1 ready, 0 timed out (kNetErrorTimedOut stored), -1 error (stored).
// A connection in error or closed by the peer counts as ready.
int WaitUntilWritable(int fd, int seconds);
int WaitUntilReadable(int fd, int seconds);

// Connects a non-blocking socket. True only when the connection is
// established within the time; a refusal or a timeout is stored.
bool ConnectWithTimeout(int fd, const sockaddr* address, socklen_t length, int seconds);

// Waits for a connection on a listening socket and accepts it as a
// non-blocking socket. Invalid handle on timeout or error.
SocketHandle AcceptWithTimeout(int fd, sockaddr* address, socklen_t* length, int seconds);

// Waits until readable, then one recv: bytes received, 0 at end of stream,
// -1 on error. 0 also when the wait ran out (error kNetErrorTimedOut).
ssize_t ReceiveWithTimeout(int fd, void* buffer, std::size_t size, int flags, int seconds);
ssize_t ReceiveFromWithTimeout(int fd, void* buffer, std::size_t size, int flags, sockaddr* address,
                               socklen_t* length, int seconds);

// Sends the whole length within the time (SIGPIPE never raised: a closed
// peer is kNetErrorConnectionReset). A short write goes on with the rest
// rather than reporting a partial command as sent.
bool SendWithTimeout(int fd, const void* data, std::size_t length, int flags, int seconds);
bool SendToWithTimeout(int fd, const void* data, std::size_t length, int flags, const sockaddr* address,
                       socklen_t address_length, int seconds);

// Bytes ready to be read without waiting; 0 with the error stored on failure.
std::size_t BytesWaiting(int fd);
bool SetNonBlocking(int fd, bool on);

// The first IPv4 address of a host name or dotted address; the error is
// stored on failure (kNetErrorHostNotFound for an unknown name).
bool ResolveHostIPv4(std::string_view host, in_addr& address);
// getsockname as an IPv4 address.
bool LocalAddressOf(int fd, sockaddr_in& address);

}  // namespace korvane
