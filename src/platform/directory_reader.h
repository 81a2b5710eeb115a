// The directory walk primitive: one open folder, listed entry by entry with
// one stat call per entry, relative to the folder's own descriptor so deep
// trees never build long paths and a renamed parent cannot redirect the walk.
#pragma once

#include <dirent.h>

#include <cstdint>
#include <string>

#include "platform/directory_entry.h"

namespace korvane {

class DirectoryReader {
  public:
    DirectoryReader() = default;
    ~DirectoryReader();
    DirectoryReader(DirectoryReader&& other) noexcept;
    DirectoryReader& operator=(DirectoryReader&& other) noexcept;
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // Opens a folder by path (a volume root or a starting folder); symbolic
    // links in the path are followed, as a user typing it would expect.
    // False when it cannot be opened: the folder then reads as empty and
    // failed() is true.
    bool OpenPath(const std::string& path);
    // Opens the folder `name` below an open parent without following a
    // symbolic link. A non-zero required_device refuses a folder of another
    // device (a mount point), checked on the opened folder itself so a mount
    // made after the entry was listed is refused too.
    bool OpenChild(const DirectoryReader& parent, const std::string& name, std::uint64_t required_device = 0);
    void Close();

    // The next entry into `entry`, reusing its name buffer. "." and ".." come
    // first, then the platform's order. An entry that vanished between the
    // listing and its stat is skipped. False at the end (or when not open).
    bool Next(DirectoryEntry& entry);

    bool is_open() const { return fd_ >= 0; }
    // True when the folder could not be opened or the listing broke off, or
    // when an entry could not be stat'ed for another reason than vanishing
    // (it is then listed with its name and type only).
    bool failed() const { return error_ != 0; }
    int error() const { return error_; }
    // The folder itself, as its "." entry shows it.
    const DirectoryEntry& self() const { return self_; }
    int fd() const { return fd_; }

  private:
    bool Attach(int fd);

    int fd_ = -1;
    DIR* dir_ = nullptr;
    int error_ = 0;
    int state_ = 0;  // 0: "." next, 1: ".." next, 2: platform entries
    DirectoryEntry self_;
    DirectoryEntry parent_;
};

// Stats `name` relative to the folder descriptor dir_fd (AT_FDCWD for the
// working folder) without following a final symbolic link; fills every field
// of `entry` except the name. Returns 0 or the errno.
int StatEntryAt(int dir_fd, const char* name, DirectoryEntry& entry);
// The entry of one path (name = its last component). Returns 0 or the errno.
int ReadPathEntry(const std::string& path, DirectoryEntry& entry);

}  // namespace korvane
