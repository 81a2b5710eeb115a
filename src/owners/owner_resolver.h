// Owner names of files and folders on POSIX volumes, and changing them.
// The owner of a path is its uid (the link itself for a symbolic link),
// named through the account database. The system name the callers pass (the
// server of a network volume) needs no separate lookup: a network mount maps
// its owners to uids of this machine's name service.
#pragma once

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/account_database.h"
#include "platform/directory_entry.h"
#include "platform/file_system_calls.h"

namespace korvane {

// The owner of a uid that no account carries any more.
inline constexpr std::string_view kAccountDeletedName = "(Account Deleted)";
// SetOwnerOfPath results besides the errno of the change itself.
inline constexpr int kOwnerPrivilegeError = EPERM;  // the caller may not give files away
inline constexpr int kUnknownAccountError = EINVAL;
inline constexpr int kAccountLookupError = EIO;  // the account database did not answer

class OwnerResolver {
  public:
    explicit OwnerResolver(FileSystemCalls& calls = SystemFileSystemCalls(),
                           const AccountDatabase& accounts = SystemAccountDatabase())
        : calls_(calls), accounts_(accounts) {}

    // The owner name of a uid, asked of the account database once per uid
    // for the life of this resolver (one scan): "(Account Deleted)" when no
    // account has it, empty when the database could not answer.
    const std::string& NameOfUid(std::uint32_t uid);
    const std::string& OwnerOf(const DirectoryEntry& entry) { return NameOfUid(entry.uid); }

    // True with the owner's name; false when the path cannot be read or the
    // database could not answer (no owner is recorded then).
    bool OwnerOfPath(std::string_view system_name, const std::string& path, std::string& name);
    // Gives the path itself (never a link's target) to the account, keeping
    // its group. The account is a name, or a decimal uid no name stands for.
    // Returns 0, kOwnerPrivilegeError when this process may not change
    // owners, kUnknownAccountError, kAccountLookupError, or the errno.
    int SetOwnerOfPath(std::string_view system_name, const std::string& path, std::string_view account);

  private:
    FileSystemCalls& calls_;
    const AccountDatabase& accounts_;
    std::unordered_map<std::uint32_t, std::string> names_;
};

// The same with the real file system and account database, without a cache.
bool OwnerOfPath(std::string_view system_name, const std::string& path, std::string& name);
int SetOwnerOfPath(std::string_view system_name, const std::string& path, std::string_view account);

}  // namespace korvane
