// One running Korvane per user session: an flock()ed Korvane.lock in
// the runtime folder (platform/runtime_folder.h), held for the process's life.
#pragma once

#include <string>

namespace korvane {

std::string DefaultInstanceLockPath();

class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    // True when this process now holds the lock; false when another process
    // holds it (or the lock file cannot be made, which is reported the same way).
    bool Acquire(const std::string& lock_path);
    bool Held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace korvane
