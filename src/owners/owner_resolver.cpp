#include "owners/owner_resolver.h"

#include <sys/stat.h>

#include <charconv>

namespace korvane {

const std::string& OwnerResolver::NameOfUid(std::uint32_t uid) {
    if (const auto found = names_.find(uid); found != names_.end())
        return found->second;
    std::string name;
    switch (accounts_.NameOfUid(uid, name)) {
        case AccountLookup::kFound:
            break;
        case AccountLookup::kNotFound:
            name = std::string(kAccountDeletedName);
            break;
        case AccountLookup::kFailed:
            // Remembered too: a name service that cannot answer would
            // otherwise be asked again for every file of the scan.
            name.clear();
            break;
    }
    return names_.emplace(uid, std::move(name)).first->second;
}

bool OwnerResolver::OwnerOfPath(std::string_view, const std::string& path, std::string& name) {
    struct stat status;
    if (calls_.Lstat(path, status) != 0)
        return false;
    const std::string& found = NameOfUid(status.st_uid);
    if (found.empty())
        return false;
    name = found;
    return true;
}

int OwnerResolver::SetOwnerOfPath(std::string_view, const std::string& path, std::string_view account) {
    std::uint32_t uid = 0;
    switch (accounts_.UidOfName(std::string(account), uid)) {
        case AccountLookup::kFound:
            break;
        case AccountLookup::kFailed:
            return kAccountLookupError;
        case AccountLookup::kNotFound: {
            const auto [end, ec] = std::from_chars(account.data(), account.data() + account.size(), uid);
            // (uid_t)-1 would tell the system to leave the owner alone.
            if (account.empty() || ec != std::errc() || end != account.data() + account.size() ||
                uid == static_cast<std::uint32_t>(-1)) {
                return kUnknownAccountError;
            }
            break;
        }
    }
    return calls_.Lchown(path, static_cast<uid_t>(uid), static_cast<gid_t>(-1));
}

bool OwnerOfPath(std::string_view system_name, const std::string& path, std::string& name) {
    OwnerResolver resolver;
    return resolver.OwnerOfPath(system_name, path, name);
}

int SetOwnerOfPath(std::string_view system_name, const std::string& path, std::string_view account) {
    OwnerResolver resolver;
    return resolver.SetOwnerOfPath(system_name, path, account);
}

}  // namespace korvane
