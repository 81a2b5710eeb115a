// The accounts of this machine (the password database, through NSS), behind
// a class tests can override to make lookups fail or answer differently.
// The base class asks the real database.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

enum class AccountLookup {
    kFound,
    kNotFound,  // the database answered: no such account
    kFailed,    // the database could not answer
};

class AccountDatabase {
  public:
    virtual ~AccountDatabase() = default;
    virtual AccountLookup NameOfUid(std::uint32_t uid, std::string& name) const;
    virtual AccountLookup UidOfName(const std::string& name, std::uint32_t& uid) const;
    // Every account name in database order. Returns 0, or the errno of a
    // failed enumeration (names read before it stay in `names`).
    virtual int ListAccountNames(std::vector<std::string>& names) const;
};

// The real database; stateless, so one instance serves every caller.
const AccountDatabase& SystemAccountDatabase();

}  // namespace korvane
