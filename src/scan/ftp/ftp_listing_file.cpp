#include "scan/ftp/ftp_listing_file.h"

#include <stdio.h>

#include <ctime>

namespace korvane {

bool FtpListingFile::Open(const std::string& path) {
    return Open(path, static_cast<std::int64_t>(std::time(nullptr)));
}

bool FtpListingFile::Open(const std::string& path, std::int64_t now_utc) {
    Close();
    file_ = std::fopen(path.c_str(), "rbe");
    now_utc_ = now_utc;
    skipped_ = 0;
    return file_ != nullptr;
}

void FtpListingFile::Close() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool FtpListingFile::ReadLine(std::string& line, bool& too_long) {
    line.clear();
    too_long = false;
    int c = getc_unlocked(file_);
    if (c == EOF)
        return false;
    // A line ends at LF; a CR before it (or anywhere) is cut by the parser.
    for (; c != EOF && c != '\n'; c = getc_unlocked(file_)) {
        if (line.size() < kFtpMaxListLine) {
            line.push_back(static_cast<char>(c));
        } else {
            too_long = true;
        }
    }
    return true;
}

bool FtpListingFile::Next(FtpDirEntry& entry) {
    if (!file_)
        return false;
    std::string line;
    bool too_long = false;
    while (ReadLine(line, too_long)) {
        if (!too_long && ParseListLine(line, entry, now_utc_))
            return true;
        ++skipped_;
    }
    return false;
}

}  // namespace korvane
