#include "app/event_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "app/formatting.h"
#include "app/text_helpers.h"

namespace korvane {
namespace {

constexpr std::size_t kMaxLineLength = 1023;

// A line break inside a field would start a false line of its own.
std::string OneLine(std::string_view field) {
    std::string out(field);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

}  // namespace

std::string FormatEventLine(std::string_view date_time, std::string_view source, std::string_view type,
                            std::string_view message) {
    std::string line = "\"" + OneLine(date_time) + "\", \"" + OneLine(source) + "\", \"" + OneLine(type) +
                       "\", \"" + OneLine(message) + "\"";
    // A long line is cut, but keeps its CR LF so the next line starts on its own.
    if (line.size() > kMaxLineLength - 2) line.resize(kMaxLineLength - 2);
    line += "\r\n";
    return line;
}

int WriteEvent(const std::string& log_path, std::string_view source, std::string_view type,
               std::string_view message) {
    const std::string line = FormatEventLine(FormatLocalTime(kEventTimeFormat, std::time(nullptr)), source, type, message);
    const int fd = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return 0;
    // One write call: concurrent writers (a scheduled run beside the open program) never interleave a line.
    ssize_t written;
    do {
        written = ::write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    // A full disk, a quota or a network file system's delayed error: the event was not kept.
    const bool closed = ::close(fd) == 0;
    return written == static_cast<ssize_t>(line.size()) && closed ? 1 : 0;
}

bool ParseEventLine(std::string_view line, EventRow& row) {
    if (line.size() > kMaxLineLength) line = line.substr(0, kMaxLineLength);
    const auto tokens = SplitTokens(line);
    if (tokens.size() < 4) return false;
    row.date_time = tokens[0];
    row.source = tokens[1];
    row.type = tokens[2];
    row.message = tokens[3];
    if (EqualsNoCase(row.type, "Info")) {
        row.icon = 0;
    } else if (EqualsNoCase(row.type, "Error")) {
        row.icon = 1;
    } else if (EqualsNoCase(row.type, "Warning")) {
        row.icon = 2;
    } else {
        row.icon = 3;
    }
    return true;
}

}  // namespace korvane
