// The file-system calls the owner code and the file actions make, behind one
// class whose methods tests can override to make a chosen call fail. The
// base class makes the real calls. Every method returns 0 or the errno.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

namespace korvane {

class FileSystemCalls {
  public:
    virtual ~FileSystemCalls() = default;
    // Status of the path itself; a symbolic link is not followed.
    virtual int Lstat(const std::string& path, struct stat& status);
    // Changes owner and group of the path itself; (gid_t)-1 keeps the group.
    virtual int Lchown(const std::string& path, uid_t owner, gid_t group);
};

// The real calls; stateless, so one instance serves every caller.
FileSystemCalls& SystemFileSystemCalls();

}  // namespace korvane
