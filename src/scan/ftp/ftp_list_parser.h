// One line of an FTP directory listing, in the Unix long-listing form or the
// DOS form, read into an FtpDirEntry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::uint32_t kFtpAttrDirectory = 0x10;
// A Unix "l" entry; kept apart from the local scanner's link bit because the
// target of a link on a server is not known.
inline constexpr std::uint32_t kFtpAttrLink = 1u << 20;

inline constexpr std::size_t kFtpMaxNameLength = 2047;
inline constexpr std::size_t kFtpMaxOwnerLength = 255;

struct FtpDirEntry {
    std::string name;   // the server's bytes; at most kFtpMaxNameLength
    std::string owner;  // Unix listings only; cut to kFtpMaxOwnerLength
    // Modification time as listed, read as UTC: seconds since 1970-01-01.
    std::int64_t time = 0;
    // 64-bit: a file of 5 GiB on a server is recorded with its real size.
    std::uint64_t size = 0;
    std::uint32_t attributes = 0;  // kFtpAttrDirectory, kFtpAttrLink or 0
    // False for ".", "..", and names holding "/" or a control character:
    // such a name must never become part of a local path.
    bool safe_name = false;
};

// Tries the Unix form, then the DOS form. The line is first cut at its first
// CR or LF, so a name never holds a line end. False (entry left cleared) for a line that
// fits neither, such as "total 12". now_utc (seconds since 1970) decides the
// year of Unix entries that show a time of day instead of a year.
bool ParseListLine(std::string_view line, FtpDirEntry& entry, std::int64_t now_utc);
// The same with the machine's clock.
bool ParseListLine(std::string_view line, FtpDirEntry& entry);

// A name that may be used as one component of a local path.
bool IsSafeListName(std::string_view name);

}  // namespace korvane
