// The Unix-domain socket between the schedule link and korvane-scheduler:
// where it lives, and blocking-with-deadline I/O for the client side.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "schedule/link_protocol.h"

namespace korvane {

// An owned file descriptor, closed when it goes.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset(int fd = -1);

  private:
    int fd_ = -1;
};

inline constexpr std::string_view kSchedulerSocketEnv = "KORVANE_SCHEDULER_SOCKET";
inline constexpr std::string_view kSchedulerSocketName = "korvane-schedule.sock";

// $KORVANE_SCHEDULER_SOCKET when set; else korvane-schedule.sock in the
// runtime folder (platform/runtime_folder.h); else, when no private folder can
// be had, korvane-schedule-<uid>.sock in $TMPDIR or /tmp.
std::string DefaultSchedulerSocketPath();

using Deadline = std::chrono::steady_clock::time_point;
Deadline DeadlineAfter(int milliseconds);

enum class IoStatus { Ok, Timeout, Closed, Error };

// Connects a stream socket to path before the deadline. The peer must run
// as this user. On failure err holds errno (ETIMEDOUT for the deadline,
// EPERM for a peer of another user).
UniqueFd ConnectUnixSocket(const std::string& path, Deadline deadline, int& err);

IoStatus SendAll(int fd, std::string_view bytes, Deadline deadline);
// Reads until the decoder gives one frame. Error covers a stream that is
// not a frame stream.
IoStatus ReceiveFrame(int fd, FrameDecoder& decoder, LinkFrame& frame, Deadline deadline);

// True when the process at the other end of a connected Unix socket runs
// under this process's user id.
bool PeerIsSameUser(int fd);

// Fills a sockaddr_un for path; false when the path is empty or too long.
bool UnixAddressFits(const std::string& path);

}  // namespace korvane
