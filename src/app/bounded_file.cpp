#include "app/bounded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace korvane {

bool ReadBoundedFile(const std::string& path, std::string& text, int& error) {
    text.clear();
    error = 0;
    // Non-blocking, so opening a FIFO returns at once; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = errno;
        return false;
    }
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (!ok) {
        error = errno;
    } else if (!S_ISREG(info.st_mode)) {
        error = EINVAL;
        ok = false;
    } else if (static_cast<std::size_t>(info.st_size) > kMaxDocumentBytes) {
        error = EFBIG;
        ok = false;
    }
    if (ok) {
        text.reserve(static_cast<std::size_t>(info.st_size));
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                error = errno;
                ok = false;
                break;
            }
            if (got == 0) {
                break;
            }
            // A file that grows while it is read is held to the bound too.
            if (text.size() + static_cast<std::size_t>(got) > kMaxDocumentBytes) {
                error = EFBIG;
                ok = false;
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    if (!ok) {
        text.clear();
    }
    return ok;
}

bool IsBoundedRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           static_cast<std::size_t>(info.st_size) <= kMaxDocumentBytes;
}

}  // namespace korvane
