// Runs a piece of a test with the file-system rights of an ordinary account,
// so permission checks hold even when the tests run as root (as in CI).
// Under root the work runs on its own thread whose file-system uid and gid
// are set to "nobody": that drops the capabilities that bypass file
// permissions and chown checks for that thread only. Without root the
// process has no such rights to begin with.
#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

#include <thread>

namespace korvane::testing {

inline constexpr unsigned kNobodyId = 65534;

// Runs the work and returns true, or returns false without running it when
// the rights could not be dropped.
template <typename Work>
bool RunUnprivileged(Work&& work) {
    bool dropped = geteuid() != 0;
    std::thread thread([&] {
        if (!dropped) {
            setfsgid(kNobodyId);
            setfsuid(kNobodyId);
            dropped = setfsuid(static_cast<uid_t>(-1)) == kNobodyId;  // reads back the current value
        }
        if (dropped)
            work();
    });
    thread.join();
    return dropped;
}

}  // namespace korvane::testing
