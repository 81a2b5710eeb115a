// Wild cards in the sources of a shell operation: "*" and "?" in the last
// component of a path are expanded against that folder's entries, the way
// a shell expands them.
#pragma once

#include <string>
#include <vector>

namespace korvane {

// True when the last component of the path holds "*" or "?".
bool HasWildcard(const std::string& path);

// The paths of the entries of the pattern's folder whose names match its
// last component, in byte order. "*" matches any run of bytes and "?" one
// byte; every other byte (brackets and backslashes too) matches only
// itself; as in a shell, a leading "." must be matched by a "." in the
// pattern, and "." and ".." are never listed. Returns 0 (matches may be
// empty) or the errno of listing the folder.
int ExpandWildcard(const std::string& pattern, std::vector<std::string>& matches);

}  // namespace korvane
