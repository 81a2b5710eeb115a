// One directory entry as the scanner and the file actions see it: the
// platform's attribute bits and times in the program's terms.
#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// Attribute bits, with the meanings the catalogue has always stored.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;    // no owner write bit
inline constexpr std::uint32_t kAttrHidden = 0x02;      // name starts with "."
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;     // regular file
inline constexpr std::uint32_t kAttrSymlink = 0x400;    // never followed
inline constexpr std::uint32_t kAttrCompressed = 0x800;

struct DirectoryEntry {
    std::string name;  // the exact bytes the file system gave
    std::uint32_t attributes = 0;
    // Seconds since the Unix epoch, UTC; 0 means the platform gave no time
    // (creation time on file systems without a birth time).
    std::int64_t create_time = 0;
    std::int64_t modify_time = 0;
    std::int64_t access_time = 0;
    std::uint64_t size = 0;
    std::uint64_t allocated = 0;  // st_blocks * 512
    std::uint32_t uid = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool IsDirectory() const { return (attributes & kAttrDirectory) != 0; }
};

}  // namespace korvane
