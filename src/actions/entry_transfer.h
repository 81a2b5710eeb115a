// Copying, moving and removing one directory entry (a file, a symbolic link,
// a special file or a whole folder tree) relative to open folders, the
// building blocks of the shell operations. Symbolic links are never followed:
// a link is copied, moved or removed as the link itself.
#pragma once

#include <sys/stat.h>

#include <string>

namespace korvane {

// What happens when the target name is already in use.
enum class ExistingTarget {
    kKeep,     // the existing entry stays; the transfer fails with target_taken
    kReplace,  // a file or link is replaced, a folder is merged into
};

struct TransferFailure {
    int error = 0;              // errno of the first failure
    std::string step;           // what failed: "opening", "writing", "placing", ...
    std::string entry;          // where: the item's name, or a path below it ("docs/sub/a.txt")
    bool target_taken = false;  // kKeep only: the target name itself was in use
    bool same_file = false;     // kReplace: source and target are the same file
    // A cross-device move copied everything but could not remove all of the
    // source: nothing is lost, but the source still (partly) exists.
    bool source_left = false;
};

// Copies the entry `name` of the folder `from_dir` (whose lstat is `status`)
// to the name `target` in the folder `to_dir`. A file's data goes to a
// temporary name in the target folder first and is renamed into place when
// complete, so a failure never leaves a partial file and never harms a file
// that was to be replaced; a replaced file's data is flushed to disk before
// the rename. Permission bits (without set-user and set-group id) and access
// and modification times are kept. A folder tree is copied entry by entry;
// after a failure the rest is still copied and the first failure reported.
bool CopyEntryAt(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                 const std::string& target, ExistingTarget existing, TransferFailure& failure);

// Moves the entry by rename(2). Across devices it is copied and the source
// removed only after the whole copy succeeded. With kReplace a folder is
// merged into an existing folder entry by entry; a file and a folder never
// replace each other. Moving an entry onto itself changes nothing and
// succeeds; onto another hard link of the same file, the source name goes.
bool MoveEntryAt(int from_dir, const std::string& name, const struct stat& status, int to_dir,
                 const std::string& target, ExistingTarget existing, TransferFailure& failure);

// Removes the entry and everything below it, never following a link and
// never entering a folder of another device than `device` (such a folder
// and the folders above it stay, and the removal fails).
bool RemoveEntryAt(int dir, const std::string& name, dev_t device, TransferFailure& failure);

// True when the open folder `folder` is the folder (device, inode) or lies
// anywhere below it, found by walking up through "..".
bool FolderLiesWithin(int folder, dev_t device, ino_t inode);

}  // namespace korvane
