// The tip of the day: one tip at a time from the tips file, carrying on
// where the last dialog stopped. The place is kept in Korvane.ini's Tip
// section: FilePos (where to go on), TimeStamp (the creation time of the
// file FilePos belongs to) and StartUp (show the tips at start).
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::string_view kTipFileMissing = "Cannot find tip of the day text file.";
inline constexpr std::string_view kTipFileTrouble = "Trouble reading the tips file";
// A tip is at most this many characters; the rest of a longer line is skipped.
inline constexpr std::size_t kMaxTipLength = 999;

// True unless the Tip key StartUp is 0 (a missing key shows the tips).
bool TipsShownAtStartUp(const std::string& settings_path);

// The file's creation time (its birth time, or its last change where the
// file system keeps no birth time) as the C library's date-and-time text
// without the line end, "Thu Dec 31 23:59:07 1998". Empty when the file
// cannot be looked at.
std::string TipsFileTimeStamp(const std::string& tips_path);

class TipOfTheDay {
  public:
    TipOfTheDay(std::string tips_path, std::string settings_path);

    // Opens the tips file and finds where to start: at the beginning when
    // the file's time stamp differs from TimeStamp (which then takes the
    // new stamp), else at FilePos. False when the file cannot be opened:
    // Problem() then says so and there is no next tip. A position that
    // cannot be reached is a problem too, but reading then starts at the
    // beginning.
    bool Open();
    // Next line that does not start with a tab, a line feed, a blank or ";"
    // (a line of nothing but its end counts as starting with the line feed);
    // at the end of the file reading goes on from the beginning. Empty when
    // the file holds no tip at all.
    std::string NextTip();
    bool HasFile() const { return file_ != nullptr; }
    // The message to show instead of (or before) a tip; empty when none.
    const std::string& Problem() const { return problem_; }
    long Position() const { return position_; }

    // Written whenever the dialog goes away.
    bool SavePosition() const;
    // Written when the dialog is closed with its Close button.
    bool SaveStartUp(bool show_at_start_up) const;

  private:
    struct FileCloser {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    // One line without its end; false at the end of the file.
    bool ReadLine(std::string& line);

    std::string tips_path_;
    std::string settings_path_;
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string problem_;
    long position_ = 0;
};

}  // namespace korvane
