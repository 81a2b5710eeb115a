// The files an SQLite catalogue consists of on disk.
#pragma once

#include <string>

namespace korvane {

// Removes the catalogue file and its journal, WAL and shared-memory files.
void RemoveDatabaseFiles(const std::string& path);
// fsync of a file or folder opened with the given flags; false when it failed.
bool SyncPath(const std::string& path, int flags);

}  // namespace korvane
