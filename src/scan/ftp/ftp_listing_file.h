// Reads a listing saved by FtpTransfer one entry at a time, so that a walk
// can recurse into a folder while the listing of its parent stays open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "scan/ftp/ftp_list_parser.h"

namespace korvane {

// A listing line longer than this is passed over whole: cut short, it could
// give a wrong name.
inline constexpr std::size_t kFtpMaxListLine = 4096;

class FtpListingFile {
  public:
    FtpListingFile() = default;
    ~FtpListingFile() { Close(); }
    FtpListingFile(const FtpListingFile&) = delete;
    FtpListingFile& operator=(const FtpListingFile&) = delete;

    // Every entry is read against the clock at the time of opening.
    bool Open(const std::string& path);
    bool Open(const std::string& path, std::int64_t now_utc);
    // The next line that parses; false at the end of the file.
    bool Next(FtpDirEntry& entry);
    // Lines that did not parse or were too long.
    std::size_t SkippedLines() const { return skipped_; }
    void Close();

  private:
    // One line without its end, at most kFtpMaxListLine bytes; false at the
    // end of the file. too_long is set when the line was longer.
    bool ReadLine(std::string& line, bool& too_long);

    std::FILE* file_ = nullptr;
    std::int64_t now_utc_ = 0;
    std::size_t skipped_ = 0;
};

}  // namespace korvane
