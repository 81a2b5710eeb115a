#include "platform/directory_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

namespace korvane {
namespace {

constexpr unsigned kStatxMask = STATX_TYPE | STATX_MODE | STATX_UID | STATX_ATIME | STATX_MTIME | STATX_INO |
                                STATX_SIZE | STATX_BLOCKS | STATX_BTIME;
// Never trigger an automount while listing: an unmounted automount point is
// just a folder of its parent's volume.
constexpr int kStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;

bool IsDotName(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::uint32_t AttributesOfMode(mode_t mode) {
    std::uint32_t attributes = 0;
    if (S_ISDIR(mode)) {
        attributes |= kAttrDirectory;
    } else if (S_ISREG(mode)) {
        attributes |= kAttrArchive;
    } else if (S_ISLNK(mode)) {
        attributes |= kAttrSymlink;
    }
    if (!S_ISLNK(mode) && (mode & S_IWUSR) == 0)
        attributes |= kAttrReadOnly;
    return attributes;
}

std::uint32_t AttributesOfType(unsigned char type) {
    switch (type) {
        case DT_DIR:
            return kAttrDirectory;
        case DT_REG:
            return kAttrArchive;
        case DT_LNK:
            return kAttrSymlink;
        default:
            return 0;
    }
}

int StatInto(int dir_fd, const char* name, int extra_flags, DirectoryEntry& entry) {
    struct statx sx;
    if (statx(dir_fd, name, kStatFlags | extra_flags, kStatxMask, &sx) == 0) {
        entry.attributes = AttributesOfMode(sx.stx_mode);
        if ((sx.stx_attributes_mask & STATX_ATTR_COMPRESSED) != 0 &&
            (sx.stx_attributes & STATX_ATTR_COMPRESSED) != 0) {
            entry.attributes |= kAttrCompressed;
        }
        entry.create_time = (sx.stx_mask & STATX_BTIME) != 0 ? sx.stx_btime.tv_sec : 0;
        entry.modify_time = sx.stx_mtime.tv_sec;
        entry.access_time = sx.stx_atime.tv_sec;
        entry.size = sx.stx_size;
        entry.allocated = sx.stx_blocks * 512;
        entry.uid = sx.stx_uid;
        entry.device = makedev(sx.stx_dev_major, sx.stx_dev_minor);
        entry.inode = sx.stx_ino;
        return 0;
    }
    if (errno != ENOSYS)
        return errno;
    // Kernels or sandboxes without statx: the plain stat has no birth time.
    struct stat st;
    if (fstatat(dir_fd, name, &st, kStatFlags | extra_flags) != 0)
        return errno;
    entry.attributes = AttributesOfMode(st.st_mode);
    entry.create_time = 0;
    entry.modify_time = st.st_mtim.tv_sec;
    entry.access_time = st.st_atim.tv_sec;
    entry.size = static_cast<std::uint64_t>(st.st_size);
    entry.allocated = static_cast<std::uint64_t>(st.st_blocks) * 512;
    entry.uid = st.st_uid;
    entry.device = st.st_dev;
    entry.inode = st.st_ino;
    return 0;
}

void ClearDetails(DirectoryEntry& entry) {
    entry.attributes = 0;
    entry.create_time = entry.modify_time = entry.access_time = 0;
    entry.size = entry.allocated = 0;
    entry.uid = 0;
    entry.device = entry.inode = 0;
}

std::string_view LastComponent(std::string_view path) {
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || path.size() == 1 ? path : path.substr(slash + 1);
}

bool IsHiddenName(std::string_view name) {
    return name.size() > 1 && name[0] == '.' && name != "..";
}

}  // namespace

int StatEntryAt(int dir_fd, const char* name, DirectoryEntry& entry) {
    const int rc = StatInto(dir_fd, name, 0, entry);
    if (rc == 0 && IsHiddenName(name))
        entry.attributes |= kAttrHidden;
    return rc;
}

int ReadPathEntry(const std::string& path, DirectoryEntry& entry) {
    if (path.empty())
        return ENOENT;
    entry.name.assign(LastComponent(path));
    const int rc = StatInto(AT_FDCWD, path.c_str(), 0, entry);
    if (rc == 0 && IsHiddenName(entry.name))
        entry.attributes |= kAttrHidden;
    return rc;
}

DirectoryReader::~DirectoryReader() {
    Close();
}

DirectoryReader::DirectoryReader(DirectoryReader&& other) noexcept {
    *this = std::move(other);
}

DirectoryReader& DirectoryReader::operator=(DirectoryReader&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = std::exchange(other.fd_, -1);
        dir_ = std::exchange(other.dir_, nullptr);
        error_ = std::exchange(other.error_, 0);
        state_ = std::exchange(other.state_, 0);
        self_ = std::move(other.self_);
        parent_ = std::move(other.parent_);
    }
    return *this;
}

void DirectoryReader::Close() {
    if (dir_ != nullptr) {
        closedir(dir_);  // closes fd_ too
    } else if (fd_ >= 0) {
        close(fd_);
    }
    dir_ = nullptr;
    fd_ = -1;
    state_ = 0;
}

bool DirectoryReader::Attach(int fd) {
    fd_ = fd;
    self_.name.assign(".");
    if (const int rc = StatInto(fd, "", AT_EMPTY_PATH, self_); rc != 0) {
        error_ = rc;
        Close();
        return false;
    }
    dir_ = fdopendir(fd);
    if (dir_ == nullptr) {
        error_ = errno;
        Close();
        return false;
    }
    return true;
}

bool DirectoryReader::OpenPath(const std::string& path) {
    Close();
    error_ = 0;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    if (!Attach(fd))
        return false;
    parent_.name.assign("..");
    if (StatInto(fd_, "..", 0, parent_) != 0) {
        ClearDetails(parent_);
        parent_.attributes = kAttrDirectory;
    }
    return true;
}

bool DirectoryReader::OpenChild(const DirectoryReader& parent, const std::string& name,
                                std::uint64_t required_device) {
    Close();
    error_ = 0;
    if (parent.fd_ < 0) {
        error_ = EBADF;
        return false;
    }
    const int fd = openat(parent.fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        error_ = errno;
        return false;
    }
    if (!Attach(fd))
        return false;
    if (required_device != 0 && self_.device != required_device) {
        Close();
        error_ = EXDEV;
        return false;
    }
    parent_ = parent.self_;
    parent_.name.assign("..");
    return true;
}

bool DirectoryReader::Next(DirectoryEntry& entry) {
    if (dir_ == nullptr)
        return false;
    if (state_ == 0) {
        state_ = 1;
        entry = self_;
        return true;
    }
    if (state_ == 1) {
        state_ = 2;
        entry = parent_;
        return true;
    }
    for (;;) {
        errno = 0;
        const dirent* d = readdir(dir_);
        if (d == nullptr) {
            if (errno != 0)
                error_ = errno;
            return false;
        }
        if (IsDotName(d->d_name))
            continue;
        const int rc = StatInto(fd_, d->d_name, 0, entry);
        if (rc == ENOENT)
            continue;  // removed since the listing was read
        entry.name.assign(d->d_name);
        if (rc != 0) {
            // Listed but not stat-able (a folder with read but no search
            // permission): keep what the listing itself tells.
            error_ = rc;
            ClearDetails(entry);
            entry.attributes = AttributesOfType(d->d_type);
        }
        if (d->d_name[0] == '.')
            entry.attributes |= kAttrHidden;  // never "." or ".." here
        return true;
    }
}

}  // namespace korvane
