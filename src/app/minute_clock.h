// The main window's status-bar clock: the date and time texts of its two
// panes and the delay that puts its first tick on the next whole minute.
#pragma once

#include <ctime>
#include <string>

namespace korvane {

inline constexpr int kMinuteMilliseconds = 60000;

// Milliseconds from now to the next whole minute, counted from the current
// second alone: 60,000 - 1,000 x seconds. Never negative (a leap second
// gives 0, a tick at once).
int FirstClockDelayMs(const std::tm& now);

// The date pane: "%a, %b %d, %Y " in English, with its trailing blank.
std::string StatusDateText(const std::tm& local);

// The time pane: a blank, the hour 1 to 12 without a leading zero, ":",
// the minutes, two blanks, then "AM " before noon and "PM " from noon on.
std::string StatusTimeText(const std::tm& local);

}  // namespace korvane
