#include "platform/trash.h"

#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/mount_table.h"

namespace korvane {
namespace {

constexpr const char* kInfoSuffix = ".trashinfo";
constexpr std::size_t kInfoSuffixLength = 10;
constexpr int kMaxNameAttempts = 10000;

class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and reports what close said (a late write error on some file systems).
    int Close() {
        const int rc = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return rc == 0 ? 0 : errno;
    }

  private:
    int fd_;
};

bool Fail(int code, const std::string& text, int& error, std::string& error_text) {
    error = code;
    error_text = text + ": " + std::strerror(code);
    return false;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/')
        return home;
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return "/";
}

std::string JoinName(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

// The path with every existing folder above it resolved, so it can be
// matched against mount points; the part that does not exist yet is kept.
std::string CanonicalPrefix(const std::string& path) {
    std::string head = path, tail;
    for (;;) {
        char resolved[PATH_MAX];
        if (realpath(head.c_str(), resolved) != nullptr)
            return tail.empty() ? resolved : JoinName(resolved, tail);
        const auto slash = head.find_last_of('/');
        if (slash == std::string::npos || head == "/")
            return path;
        tail = tail.empty() ? head.substr(slash + 1) : head.substr(slash + 1) + "/" + tail;
        head = slash == 0 ? "/" : head.substr(0, slash);
    }
}

// Creates each missing folder of an absolute path with the given mode.
int MakeFolders(const std::string& path, mode_t mode) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos != path.size() && path[pos] != '/')
            continue;
        const std::string part = path.substr(0, pos);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return errno;
    return S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
}

// A trash folder below a mount point must be a real folder of ours: a link
// planted there by someone else would redirect what we trash.
bool IsOwnPrivateFolder(const std::string& path) {
    struct stat status;
    return lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == getuid();
}

int PrepareTrash(const std::string& trash) {
    for (const char* part : {"files", "info"}) {
        const std::string folder = JoinName(trash, part);
        if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
        struct stat status;
        if (lstat(folder.c_str(), &status) != 0)
            return errno;
        if (!S_ISDIR(status.st_mode))
            return ENOTDIR;
    }
    return 0;
}

// The trash of a mount other than the home's, or "" with the reason.
std::string MountTrash(const std::string& top, int& error) {
    const std::string uid = std::to_string(getuid());
    const std::string shared = JoinName(top, ".Trash");
    struct stat status;
    if (lstat(shared.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && (status.st_mode & S_ISVTX) != 0) {
        const std::string own = JoinName(shared, uid);
        if (mkdir(own.c_str(), 0700) == 0 || errno == EEXIST) {
            if (IsOwnPrivateFolder(own) && PrepareTrash(own) == 0)
                return own;
        }
    }
    const std::string own = JoinName(top, ".Trash-" + uid);
    if (mkdir(own.c_str(), 0700) != 0 && errno != EEXIST) {
        error = errno;
        return "";
    }
    if (!IsOwnPrivateFolder(own)) {
        error = EACCES;
        return "";
    }
    error = PrepareTrash(own);
    return error == 0 ? own : "";
}

// The name the item gets inside the trash: its own name, then "<name>.2"
// and on, cut so that the record's name stays within the limit.
std::string TrashName(const std::string& name, int attempt) {
    const std::string suffix = attempt < 2 ? std::string() : "." + std::to_string(attempt);
    const std::size_t room = NAME_MAX - kInfoSuffixLength - suffix.size();
    return (name.size() > room ? name.substr(0, room) : name) + suffix;
}

std::string DeletionDate() {
    const time_t now = time(nullptr);
    struct tm local;
    char text[32] = "";
    if (localtime_r(&now, &local) != nullptr)
        strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

int WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<std::size_t>(written);
    }
    return 0;
}

// A rename that never replaces what may have appeared at the target since
// it was checked; file systems without that rename get the plain one.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

std::string HomeTrashPath() {
    const char* data_home = std::getenv("XDG_DATA_HOME");
    if (data_home != nullptr && data_home[0] == '/')
        return JoinName(data_home, "Trash");
    return JoinName(HomeFolder(), ".local/share/Trash");
}

std::string EncodeTrashPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(path.size());
    for (const unsigned char byte : path) {
        const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                           byte == '~' || byte == '/';
        if (plain) {
            encoded.push_back(static_cast<char>(byte));
        } else {
            encoded.push_back('%');
            encoded.push_back(kHex[byte >> 4]);
            encoded.push_back(kHex[byte & 0x0F]);
        }
    }
    return encoded;
}

bool MoveToTrash(const std::string& path, TrashedItem& item, int& error, std::string& error_text) {
    item = TrashedItem();
    error = 0;
    error_text.clear();
    std::string absolute = path;
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    if (absolute.empty())
        return Fail(ENOENT, "Could not move an empty path to the trash", error, error_text);
    if (absolute.front() != '/') {
        char working[PATH_MAX];
        if (getcwd(working, sizeof working) == nullptr) {
            return Fail(errno, "Could not move " + path + " to the trash", error, error_text);
        }
        absolute = JoinName(working, absolute);
    }
    const auto slash = absolute.find_last_of('/');
    const std::string parent = slash == 0 ? "/" : absolute.substr(0, slash);
    const std::string name = absolute.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") {
        return Fail(EINVAL, "Could not move " + path + " to the trash", error, error_text);
    }
    struct stat status;
    if (lstat(absolute.c_str(), &status) != 0) {
        return Fail(errno, "Could not move " + path + " to the trash", error, error_text);
    }
    char resolved_parent[PATH_MAX];
    if (realpath(parent.c_str(), resolved_parent) == nullptr) {
        return Fail(errno, "Could not move " + path + " to the trash", error, error_text);
    }
    const std::string full = JoinName(resolved_parent, name);

    const std::vector<std::string> mount_points = MountPointsOf(ReadMountTable());
    const std::string item_mount = MountPointOf(full, mount_points);
    if (item_mount == full) {
        return Fail(EBUSY, "Could not move the mount point " + path + " to the trash", error, error_text);
    }
    const std::string home_trash = HomeTrashPath();
    std::string trash;
    std::string recorded_path = full;
    if (MountPointOf(CanonicalPrefix(home_trash), mount_points) == item_mount) {
        int made = MakeFolders(home_trash, 0700);
        if (made == 0)
            made = PrepareTrash(home_trash);
        if (made != 0)
            return Fail(made, "Could not use the trash " + home_trash, error, error_text);
        trash = home_trash;
    } else {
        int made = 0;
        trash = MountTrash(item_mount, made);
        if (trash.empty()) {
            return Fail(made, "Could not use a trash on " + item_mount + " for " + path, error, error_text);
        }
        // Records of a mount's own trash name the item relative to the
        // mount, so the volume can be mounted elsewhere and still restore.
        recorded_path = item_mount == "/" ? full.substr(1) : full.substr(item_mount.size() + 1);
    }

    const std::string files = JoinName(trash, "files");
    const std::string info = JoinName(trash, "info");
    const std::string record =
        "[Trash Info]\nPath=" + EncodeTrashPath(recorded_path) + "\nDeletionDate=" + DeletionDate() + "\n";
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string trash_name = TrashName(name, attempt);
        const std::string info_path = JoinName(info, trash_name + kInfoSuffix);
        const std::string target = JoinName(files, trash_name);
        // The record is made first with O_EXCL: it reserves the name against
        // another program trashing at the same moment.
        Descriptor record_fd(::open(info_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (record_fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            return Fail(errno, "Could not write the trash record " + info_path, error, error_text);
        }
        struct stat existing;
        if (lstat(target.c_str(), &existing) == 0) {
            record_fd.Close();
            ::unlink(info_path.c_str());
            continue;
        }
        int written = WriteAll(record_fd.get(), record);
        if (written == 0)
            written = record_fd.Close();
        if (written != 0) {
            ::unlink(info_path.c_str());
            return Fail(written, "Could not write the trash record " + info_path, error, error_text);
        }
        if (!RenameNoReplace(absolute, target)) {
            const int code = errno;
            ::unlink(info_path.c_str());
            return Fail(code, "Could not move " + path + " to the trash " + trash, error, error_text);
        }
        item.trash_folder = trash;
        item.trashed_path = target;
        item.info_path = info_path;
        return true;
    }
    return Fail(EEXIST, "Could not find a free name in the trash " + trash, error, error_text);
}

}  // namespace korvane
