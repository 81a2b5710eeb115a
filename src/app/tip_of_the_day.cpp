#include "app/tip_of_the_day.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>

#include "app/formatting.h"
#include "app/profile_file.h"
#include "app/settings.h"

namespace korvane {

bool TipsShownAtStartUp(const std::string& settings_path) {
    return ReadProfileInt(settings_path, kTipSection, "StartUp", 1) != 0;
}

std::string TipsFileTimeStamp(const std::string& tips_path) {
    struct statx info {};
    if (statx(AT_FDCWD, tips_path.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0)
        return {};
    const std::time_t when = (info.stx_mask & STATX_BTIME) != 0
                                 ? static_cast<std::time_t>(info.stx_btime.tv_sec)
                                 : static_cast<std::time_t>(info.stx_mtime.tv_sec);
    // The layout of the C library's ctime, day of the month padded with a blank.
    return FormatLocalTime("%a %b %e %H:%M:%S %Y", when);
}

TipOfTheDay::TipOfTheDay(std::string tips_path, std::string settings_path)
    : tips_path_(std::move(tips_path)), settings_path_(std::move(settings_path)) {}

bool TipOfTheDay::Open() {
    problem_.clear();
    position_ = 0;
    file_.reset(std::fopen(tips_path_.c_str(), "rb"));
    if (file_ == nullptr) {
        problem_ = kTipFileMissing;
        return false;
    }
    const std::string stamp = TipsFileTimeStamp(tips_path_);
    if (stamp != ReadProfileString(settings_path_, kTipSection, "TimeStamp")) {
        WriteProfileString(settings_path_, kTipSection, "TimeStamp", stamp);
        return true;
    }
    const long wanted = ReadProfileInt(settings_path_, kTipSection, "FilePos", 0);
    if (wanted < 0 || std::fseek(file_.get(), wanted, SEEK_SET) != 0) {
        problem_ = kTipFileTrouble;
        std::rewind(file_.get());
        return true;
    }
    position_ = wanted;
    return true;
}

bool TipOfTheDay::ReadLine(std::string& line) {
    line.clear();
    int c = std::fgetc(file_.get());
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = std::fgetc(file_.get())) {
        if (line.size() < kMaxTipLength + 1)
            line.push_back(static_cast<char>(c));
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.size() > kMaxTipLength)
        line.resize(kMaxTipLength);
    return true;
}

std::string TipOfTheDay::NextTip() {
    if (file_ == nullptr)
        return {};
    // One pass from the current place round to it again at most, so a file
    // without a single tip ends the search instead of circling for ever.
    bool wrapped = false;
    std::string line;
    for (;;) {
        if (!ReadLine(line)) {
            if (wrapped)
                break;
            wrapped = true;
            std::rewind(file_.get());
            continue;
        }
        const char first = line.empty() ? '\n' : line.front();
        if (first == '\t' || first == '\n' || first == ' ' || first == ';')
            continue;
        position_ = std::ftell(file_.get());
        return line;
    }
    std::rewind(file_.get());
    position_ = 0;
    return {};
}

bool TipOfTheDay::SavePosition() const {
    return WriteProfileString(settings_path_, kTipSection, "FilePos", std::to_string(position_));
}

bool TipOfTheDay::SaveStartUp(bool show_at_start_up) const {
    return WriteProfileString(settings_path_, kTipSection, "StartUp", show_at_start_up ? "1" : "0");
}

}  // namespace korvane
