#include "platform/account_database.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>

namespace korvane {
namespace {

constexpr std::size_t kInitialBuffer = 1024;
constexpr std::size_t kLargestBuffer = 1 << 20;

// Runs a reentrant password lookup with a buffer that grows while the
// database answers that it is too small.
template <typename Lookup>
AccountLookup LookUp(Lookup lookup, passwd& entry, std::string& buffer) {
    buffer.resize(kInitialBuffer);
    for (;;) {
        passwd* result = nullptr;
        const int rc = lookup(&entry, buffer.data(), buffer.size(), &result);
        if (rc == 0)
            return result != nullptr ? AccountLookup::kFound : AccountLookup::kNotFound;
        if (rc == ENOENT)
            return AccountLookup::kNotFound;
        if (rc != ERANGE || buffer.size() >= kLargestBuffer)
            return AccountLookup::kFailed;
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

AccountLookup AccountDatabase::NameOfUid(std::uint32_t uid, std::string& name) const {
    passwd entry{};
    std::string buffer;
    const AccountLookup found =
        LookUp([uid](passwd* e, char* b, std::size_t n, passwd** r) { return getpwuid_r(uid, e, b, n, r); },
               entry, buffer);
    if (found == AccountLookup::kFound)
        name.assign(entry.pw_name != nullptr ? entry.pw_name : "");
    return found;
}

AccountLookup AccountDatabase::UidOfName(const std::string& name, std::uint32_t& uid) const {
    passwd entry{};
    std::string buffer;
    const AccountLookup found = LookUp([&name](passwd* e, char* b, std::size_t n,
                                               passwd** r) { return getpwnam_r(name.c_str(), e, b, n, r); },
                                       entry, buffer);
    if (found == AccountLookup::kFound)
        uid = entry.pw_uid;
    return found;
}

int AccountDatabase::ListAccountNames(std::vector<std::string>& names) const {
    passwd entry{};
    std::string buffer(kInitialBuffer, '\0');
    int error = 0;
    setpwent();
    for (;;) {
        passwd* result = nullptr;
        const int rc = getpwent_r(&entry, buffer.data(), buffer.size(), &result);
        if (rc == ERANGE && buffer.size() < kLargestBuffer) {
            // The entry is read again with the larger buffer.
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc == ENOENT)
            break;
        if (rc != 0 || result == nullptr) {
            error = rc != 0 ? rc : EIO;
            break;
        }
        names.emplace_back(result->pw_name != nullptr ? result->pw_name : "");
    }
    endpwent();
    return error;
}

const AccountDatabase& SystemAccountDatabase() {
    static const AccountDatabase database;
    return database;
}

}  // namespace korvane
