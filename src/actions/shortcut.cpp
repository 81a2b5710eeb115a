#include "actions/shortcut.h"

#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace korvane {

bool CreateShortcut(const std::string& base, const std::string& description, const std::string& target) {
    ShortcutDetails details;
    return CreateShortcut(base, description, target, details);
}

bool CreateShortcut(const std::string& base, const std::string& description, const std::string& target,
                    ShortcutDetails& details) {
    details = ShortcutDetails();
    details.path = base + ".lnk";
    if (base.empty() || target.empty()) {
        details.error = EINVAL;
        return false;
    }
    const std::string& path = details.path;
    struct stat existing;
    if (::lstat(path.c_str(), &existing) != 0) {
        if (errno != ENOENT) {
            details.error = errno;
            return false;
        }
        // symlink() never replaces: a file that appeared meanwhile stays.
        if (::symlink(target.c_str(), path.c_str()) != 0) {
            details.error = errno;
            return false;
        }
    } else if (!S_ISLNK(existing.st_mode)) {
        details.error = EEXIST;
        return false;
    } else {
        const std::string fresh = path + ".korvane-" + std::to_string(::getpid());
        if (::symlink(target.c_str(), fresh.c_str()) != 0) {
            details.error = errno;
            return false;
        }
        if (::rename(fresh.c_str(), path.c_str()) != 0) {
            details.error = errno;
            ::unlink(fresh.c_str());
            return false;
        }
    }
    details.description_kept = ::lsetxattr(path.c_str(), kShortcutDescriptionAttribute, description.data(),
                                           description.size(), 0) == 0;
    return true;
}

}  // namespace korvane
