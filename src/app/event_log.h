// Event.log: one line per event, "date", "source", "type", "message", CR LF.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// Appends one line (opened and closed for this line alone). 1 when the whole
// line was written, 0 when the file cannot be opened or the write failed (a
// full disk, say). A line is at most 1023 characters.
int WriteEvent(const std::string& log_path, std::string_view source, std::string_view type,
               std::string_view message);

// The line WriteEvent would append at the given local time text.
std::string FormatEventLine(std::string_view date_time, std::string_view source, std::string_view type,
                            std::string_view message);

struct EventRow {
    std::string date_time, source, type, message;
    int icon = 3;  // 0 Info, 1 Error, 2 Warning, 3 other
};

// Parses one line of Event.log as the event viewer shows it; false for a line
// it passes over (fewer than four tokens).
bool ParseEventLine(std::string_view line, EventRow& row);

}  // namespace korvane
