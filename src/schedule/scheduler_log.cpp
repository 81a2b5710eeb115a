#include "schedule/scheduler_log.h"

#include <ctime>
#include <string>

#include "app/formatting.h"

namespace korvane {

void SchedulerLog(std::ostream& out, std::string_view text) {
    // Job names and commands come from clients: a line end in one must not
    // make a log line of its own.
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else {
            line.push_back(c);
        }
    }
    out << "korvane-scheduler: " << FormatLocalTime("%Y-%m-%d %H:%M:%S", std::time(nullptr)) << ' ' << line
        << std::endl;
}

}  // namespace korvane
