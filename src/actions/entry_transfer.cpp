#include "actions/entry_transfer.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <vector>

#include "actions/file_handle.h"

namespace korvane {
namespace {

constexpr int kTemporaryNameAttempts = 100;
constexpr std::size_t kCopyBufferSize = 256 * 1024;
constexpr std::size_t kCopyRangeChunk = std::size_t{1} << 30;

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::string Below(const std::string& prefix, const std::string& name) {
    return prefix.empty() ? name : prefix + "/" + name;
}

// The names in an open folder, "." and ".." left out, in byte order so a
// run is repeatable.
int ListNames(int dir, std::vector<std::string>& names) {
    names.clear();
    const int copy = ::dup(dir);
    if (copy < 0)
        return errno;
    DIR* stream = ::fdopendir(copy);
    if (stream == nullptr) {
        const int code = errno;
        ::close(copy);
        return code;
    }
    ::rewinddir(stream);
    int code = 0;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(stream);
        if (entry == nullptr) {
            code = errno;
            break;
        }
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(stream);
    std::sort(names.begin(), names.end());
    return code;
}

int OpenFolderAt(int dir, const std::string& name, FileHandle& folder) {
    folder = FileHandle(::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return folder.valid() ? 0 : errno;
}

// A hidden name that no user file has, for data on its way into place.
int CreateTemporaryName(std::string& name, const std::function<int(const std::string&)>& create) {
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        unsigned char bytes[8] = {};
        if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
            for (std::size_t i = 0; i < sizeof bytes; ++i) {
                bytes[i] = static_cast<unsigned char>((::getpid() >> (i % 4)) + attempt * 31 + i);
            }
        }
        static constexpr char kHex[] = "0123456789abcdef";
        name = ".korvane-";
        for (const unsigned char byte : bytes) {
            name.push_back(kHex[byte >> 4]);
            name.push_back(kHex[byte & 0x0F]);
        }
        name += ".part";
        const int code = create(name);
        if (code != EEXIST)
            return code;
    }
    return EEXIST;
}

// Puts the finished temporary entry under its real name. kKeep never
// replaces an entry that appeared meanwhile: the no-replace rename where
// the file system has it, else a hard link (which fails on an existing
// name), else a check just before the rename.
int PlaceEntry(int dir, const std::string& temporary, const std::string& target, ExistingTarget existing) {
    if (existing == ExistingTarget::kReplace) {
        return ::renameat(dir, temporary.c_str(), dir, target.c_str()) == 0 ? 0 : errno;
    }
    if (::renameat2(dir, temporary.c_str(), dir, target.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (::linkat(dir, temporary.c_str(), dir, target.c_str(), 0) == 0) {
        ::unlinkat(dir, temporary.c_str(), 0);
        return 0;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat status;
    if (::fstatat(dir, target.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(dir, temporary.c_str(), dir, target.c_str()) == 0 ? 0 : errno;
}

int CopyData(int in, int out) {
    bool use_range = true;
    std::vector<char> buffer;
    for (;;) {
        if (use_range) {
            const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, kCopyRangeChunk, 0);
            if (copied > 0)
                continue;
            if (copied < 0 && errno == EINTR)
                continue;
            // Some file systems answer 0 or refuse instead of copying: the
            // plain loop continues from where the offsets stand.
            if (copied == 0 || errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
                errno == EBADF || errno == EPERM || errno == ETXTBSY) {
                use_range = false;
                continue;
            }
            return errno;
        }
        if (buffer.empty())
            buffer.resize(kCopyBufferSize);
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        std::size_t done = 0;
        while (done < static_cast<std::size_t>(got)) {
            const ssize_t put = ::write(out, buffer.data() + done, static_cast<std::size_t>(got) - done);
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += static_cast<std::size_t>(put);
        }
    }
}

class Transfer {
  public:
    explicit Transfer(TransferFailure& failure) : failure_(failure) {}

    bool Copy(int from_dir, const std::string& name, const struct stat& status, int to_dir,
              const std::string& target, ExistingTarget existing, const std::string& shown);
    bool Move(int from_dir, const std::string& name, const struct stat& status, int to_dir,
              const std::string& target, ExistingTarget existing, const std::string& shown);
    bool Remove(int dir, const std::string& name, dev_t device, const std::string& shown);

    bool Fail(int error, const std::string& step, const std::string& shown) {
        if (failure_.error == 0) {
            failure_.error = error;
            failure_.step = step;
            failure_.entry = shown;
        }
        return false;
    }

    // The target name of the item itself (not of an entry below it) was in use.
    bool Taken(const std::string& step, const std::string& shown) {
        if (depth_ == 0 && failure_.error == 0)
            failure_.target_taken = true;
        return Fail(EEXIST, step, shown);
    }

    // Set when the last Copy made the target entry itself.
    bool created_target = false;

  private:
    bool CopyFile(int from_dir, const std::string& name, int to_dir, const std::string& target,
                  ExistingTarget existing, bool replacing, const std::string& shown);
    bool CopyNonFolder(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                       const std::string& target, ExistingTarget existing, bool replacing,
                       const std::string& shown);
    bool CopyFolder(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                    const std::string& target, ExistingTarget existing, const std::string& shown);
    bool MergeFolder(int from_dir, const std::string& name, int to_dir, const std::string& target,
                     const std::string& shown);
    bool MoveAcrossDevices(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                           const std::string& target, ExistingTarget existing, const std::string& shown);
    // Checks a target that exists before it is replaced; false when it
    // must not be.
    bool MayReplace(int from_dir, const std::string& name, const struct stat& status,
                    const struct stat& found, const std::string& shown);

    TransferFailure& failure_;
    int depth_ = 0;  // 0 while working on the item itself
};

bool Transfer::MayReplace(int from_dir, const std::string& name, const struct stat& status,
                          const struct stat& found, const std::string& shown) {
    bool same = SameInode(status, found);
    struct stat followed;
    // A link that leads to the target would replace the target's data by a
    // link to itself.
    if (!same && S_ISLNK(status.st_mode) && ::fstatat(from_dir, name.c_str(), &followed, 0) == 0) {
        same = SameInode(followed, found);
    }
    if (same) {
        if (failure_.error == 0)
            failure_.same_file = true;
        return Fail(EINVAL, "comparing", shown);
    }
    if (S_ISDIR(found.st_mode) != S_ISDIR(status.st_mode)) {
        return Fail(S_ISDIR(found.st_mode) ? EISDIR : ENOTDIR, "replacing", shown);
    }
    return true;
}

bool Transfer::Copy(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                    const std::string& target, ExistingTarget existing, const std::string& shown) {
    created_target = false;
    struct stat found;
    const bool exists = ::fstatat(to_dir, target.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && existing == ExistingTarget::kKeep)
        return Taken("placing", shown);
    if (exists && !MayReplace(from_dir, name, status, found, shown))
        return false;
    if (S_ISDIR(status.st_mode))
        return CopyFolder(from_dir, name, status, to_dir, target, existing, shown);
    return CopyNonFolder(from_dir, name, status, to_dir, target, existing, exists, shown);
}

bool Transfer::CopyNonFolder(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                             const std::string& target, ExistingTarget existing, bool replacing,
                             const std::string& shown) {
    if (S_ISREG(status.st_mode)) {
        return CopyFile(from_dir, name, to_dir, target, existing, replacing, shown);
    }
    std::string temporary;
    int code = 0;
    if (S_ISLNK(status.st_mode)) {
        std::vector<char> text(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : 255) + 1);
        ssize_t length = 0;
        for (;;) {
            length = ::readlinkat(from_dir, name.c_str(), text.data(), text.size());
            if (length < 0)
                return Fail(errno, "reading the link", shown);
            if (static_cast<std::size_t>(length) < text.size())
                break;
            text.resize(text.size() * 2);
        }
        const std::string content(text.data(), static_cast<std::size_t>(length));
        code = CreateTemporaryName(temporary, [&](const std::string& candidate) {
            return ::symlinkat(content.c_str(), to_dir, candidate.c_str()) == 0 ? 0 : errno;
        });
        if (code != 0)
            return Fail(code, "creating the link", shown);
    } else {
        // Pipes, sockets and device nodes are made anew with the same type.
        code = CreateTemporaryName(temporary, [&](const std::string& candidate) {
            return ::mknodat(to_dir, candidate.c_str(), (status.st_mode & S_IFMT) | 0600, status.st_rdev) == 0
                       ? 0
                       : errno;
        });
        if (code != 0)
            return Fail(code, "creating the special file", shown);
        ::fchmodat(to_dir, temporary.c_str(), status.st_mode & 01777, 0);
    }
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    ::utimensat(to_dir, temporary.c_str(), times, AT_SYMLINK_NOFOLLOW);
    code = PlaceEntry(to_dir, temporary, target, existing);
    if (code != 0) {
        ::unlinkat(to_dir, temporary.c_str(), 0);
        if (code == EEXIST && existing == ExistingTarget::kKeep)
            return Taken("placing", shown);
        return Fail(code, "placing", shown);
    }
    created_target = true;
    return true;
}

bool Transfer::CopyFile(int from_dir, const std::string& name, int to_dir, const std::string& target,
                        ExistingTarget existing, bool replacing, const std::string& shown) {
    FileHandle in(
        ::openat(from_dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!in.valid())
        return Fail(errno, "opening", shown);
    struct stat opened;
    if (::fstat(in.get(), &opened) != 0)
        return Fail(errno, "reading", shown);
    if (!S_ISREG(opened.st_mode))
        return Fail(EINVAL, "reading (it changed meanwhile)", shown);

    std::string temporary;
    FileHandle out;
    int code = CreateTemporaryName(temporary, [&](const std::string& candidate) {
        out = FileHandle(
            ::openat(to_dir, candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        return out.valid() ? 0 : errno;
    });
    if (code != 0)
        return Fail(code, "creating a copy of", shown);

    const char* step = "writing";
    code = CopyData(in.get(), out.get());
    // The copy is complete only when it is as long as the source now is;
    // a move removes its source on the strength of it.
    if (code == 0) {
        struct stat source_now, written;
        if (::fstat(in.get(), &source_now) != 0 || ::fstat(out.get(), &written) != 0) {
            code = errno;
        } else if (written.st_size != source_now.st_size) {
            code = EIO;
        }
        if (code != 0)
            step = "verifying the size of";
    }
    if (code == 0 && ::fchmod(out.get(), opened.st_mode & 01777) != 0) {
        code = errno;
        step = "setting the permissions of";
    }
    if (code == 0) {
        const struct timespec times[2] = {opened.st_atim, opened.st_mtim};
        if (::futimens(out.get(), times) != 0) {
            code = errno;
            step = "setting the times of";
        }
    }
    // The file being replaced is only as safe as the new data on disk.
    if (code == 0 && replacing && ::fsync(out.get()) != 0)
        code = errno;
    if (code == 0)
        code = out.Close();
    if (code == 0) {
        step = "placing";
        code = PlaceEntry(to_dir, temporary, target, existing);
    }
    if (code != 0) {
        out.Close();
        ::unlinkat(to_dir, temporary.c_str(), 0);
        if (code == EEXIST && existing == ExistingTarget::kKeep)
            return Taken(step, shown);
        return Fail(code, step, shown);
    }
    created_target = true;
    return true;
}

bool Transfer::CopyFolder(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                          const std::string& target, ExistingTarget existing, const std::string& shown) {
    FileHandle source;
    int code = OpenFolderAt(from_dir, name, source);
    if (code != 0)
        return Fail(code, "opening", shown);
    bool made = false;
    if (::mkdirat(to_dir, target.c_str(), 0700) == 0) {
        made = true;
    } else if (errno != EEXIST || existing == ExistingTarget::kKeep) {
        if (errno == EEXIST)
            return Taken("creating the folder for", shown);
        return Fail(errno, "creating the folder for", shown);
    }
    created_target = made;
    FileHandle destination;
    code = OpenFolderAt(to_dir, target, destination);
    if (code != 0)
        return Fail(code, "opening the copy of", shown);

    std::vector<std::string> names;
    code = ListNames(source.get(), names);
    bool ok = code == 0 || Fail(code, "listing", shown);
    // Below a folder made here nothing can be in the way; below a folder
    // merged into, the caller's choice holds.
    const ExistingTarget inner = made ? ExistingTarget::kKeep : existing;
    for (const std::string& child : names) {
        struct stat child_status;
        if (::fstatat(source.get(), child.c_str(), &child_status, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = Fail(errno, "reading", Below(shown, child));
            continue;
        }
        ++depth_;
        if (!Copy(source.get(), child, child_status, destination.get(), child, inner, Below(shown, child))) {
            ok = false;
        }
        --depth_;
    }
    created_target = made;
    if (made) {
        // Last, because adding the entries changed the time and a read-only
        // folder would have refused them.
        if (::fchmod(destination.get(), status.st_mode & 01777) != 0)
            ok = Fail(errno, "setting the permissions of", shown);
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        if (::futimens(destination.get(), times) != 0)
            ok = Fail(errno, "setting the times of", shown);
    }
    return ok;
}

bool Transfer::Move(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                    const std::string& target, ExistingTarget existing, const std::string& shown) {
    struct stat found;
    const bool exists = ::fstatat(to_dir, target.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && SameInode(status, found)) {
        struct stat from_folder, to_folder;
        if (::fstat(from_dir, &from_folder) == 0 && ::fstat(to_dir, &to_folder) == 0 &&
            SameInode(from_folder, to_folder) && name == target) {
            return true;  // already where it is asked to be
        }
        if (existing == ExistingTarget::kReplace && !S_ISDIR(status.st_mode)) {
            // Another name of the same file: the data is in place already.
            if (::unlinkat(from_dir, name.c_str(), 0) != 0)
                return Fail(errno, "removing", shown);
            return true;
        }
    }
    if (exists && existing == ExistingTarget::kKeep)
        return Taken("placing", shown);
    if (exists && !MayReplace(from_dir, name, status, found, shown))
        return false;
    if (exists && S_ISDIR(found.st_mode))
        return MergeFolder(from_dir, name, to_dir, target, shown);

    int code = 0;
    if (existing == ExistingTarget::kReplace) {
        code = ::renameat(from_dir, name.c_str(), to_dir, target.c_str()) == 0 ? 0 : errno;
    } else if (::renameat2(from_dir, name.c_str(), to_dir, target.c_str(), RENAME_NOREPLACE) == 0) {
        code = 0;
    } else {
        code = errno;
        if (code == EINVAL || code == ENOSYS) {
            // No no-replace rename here (moving a folder into itself is
            // refused before it gets this far).
            code = ::fstatat(to_dir, target.c_str(), &found, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST
                   : ::renameat(from_dir, name.c_str(), to_dir, target.c_str()) == 0   ? 0
                                                                                       : errno;
        }
    }
    if (code == 0)
        return true;
    if (code == EXDEV)
        return MoveAcrossDevices(from_dir, name, status, to_dir, target, existing, shown);
    if (code == EEXIST && existing == ExistingTarget::kKeep)
        return Taken("moving", shown);
    return Fail(code, "moving", shown);
}

bool Transfer::MergeFolder(int from_dir, const std::string& name, int to_dir, const std::string& target,
                           const std::string& shown) {
    FileHandle source, destination;
    int code = OpenFolderAt(from_dir, name, source);
    if (code != 0)
        return Fail(code, "opening", shown);
    code = OpenFolderAt(to_dir, target, destination);
    if (code != 0)
        return Fail(code, "opening the destination of", shown);
    std::vector<std::string> names;
    code = ListNames(source.get(), names);
    if (code != 0)
        return Fail(code, "listing", shown);
    bool ok = true;
    for (const std::string& child : names) {
        struct stat child_status;
        if (::fstatat(source.get(), child.c_str(), &child_status, AT_SYMLINK_NOFOLLOW) != 0) {
            ok = Fail(errno, "reading", Below(shown, child));
            continue;
        }
        ++depth_;
        if (!Move(source.get(), child, child_status, destination.get(), child, ExistingTarget::kReplace,
                  Below(shown, child))) {
            ok = false;
        }
        --depth_;
    }
    if (ok && ::unlinkat(from_dir, name.c_str(), AT_REMOVEDIR) != 0)
        ok = Fail(errno, "removing", shown);
    return ok;
}

bool Transfer::MoveAcrossDevices(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                                 const std::string& target, ExistingTarget existing,
                                 const std::string& shown) {
    if (!Copy(from_dir, name, status, to_dir, target, existing, shown)) {
        // A half-made copy in a place that was free is ours to take back;
        // anything that was there before stays.
        if (created_target) {
            TransferFailure ignored;
            struct stat made;
            if (::fstatat(to_dir, target.c_str(), &made, AT_SYMLINK_NOFOLLOW) == 0) {
                Transfer(ignored).Remove(to_dir, target, made.st_dev, shown);
            }
        }
        return false;
    }
    if (!Remove(from_dir, name, status.st_dev, shown)) {
        failure_.source_left = true;
        return false;
    }
    return true;
}

bool Transfer::Remove(int dir, const std::string& name, dev_t device, const std::string& shown) {
    struct stat status;
    if (::fstatat(dir, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(errno, "removing", shown);
    if (!S_ISDIR(status.st_mode)) {
        return ::unlinkat(dir, name.c_str(), 0) == 0 || Fail(errno, "removing", shown);
    }
    if (status.st_dev != device)
        return Fail(EXDEV, "removing (another file system is mounted there)", shown);
    FileHandle folder;
    int code = OpenFolderAt(dir, name, folder);
    if (code != 0)
        return Fail(code, "opening", shown);
    std::vector<std::string> names;
    code = ListNames(folder.get(), names);
    if (code != 0)
        return Fail(code, "listing", shown);
    bool ok = true;
    for (const std::string& child : names) {
        if (!Remove(folder.get(), child, device, Below(shown, child)))
            ok = false;
    }
    if (ok && ::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0)
        ok = Fail(errno, "removing", shown);
    return ok;
}

}  // namespace

bool CopyEntryAt(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                 const std::string& target, ExistingTarget existing, TransferFailure& failure) {
    failure = TransferFailure();
    return Transfer(failure).Copy(from_dir, name, status, to_dir, target, existing, name);
}

bool MoveEntryAt(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                 const std::string& target, ExistingTarget existing, TransferFailure& failure) {
    failure = TransferFailure();
    return Transfer(failure).Move(from_dir, name, status, to_dir, target, existing, name);
}

bool RemoveEntryAt(int dir, const std::string& name, dev_t device, TransferFailure& failure) {
    failure = TransferFailure();
    return Transfer(failure).Remove(dir, name, device, name);
}

bool FolderLiesWithin(int folder, dev_t device, ino_t inode) {
    FileHandle current(::dup(folder));
    if (!current.valid())
        return false;
    for (;;) {
        struct stat here;
        if (::fstat(current.get(), &here) != 0)
            return false;
        if (here.st_dev == device && here.st_ino == inode)
            return true;
        FileHandle parent(::openat(current.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!parent.valid())
            return false;
        struct stat above;
        if (::fstat(parent.get(), &above) != 0)
            return false;
        if (SameInode(here, above))
            return false;  // reached the root
        current = std::move(parent);
    }
}

}  // namespace korvane
