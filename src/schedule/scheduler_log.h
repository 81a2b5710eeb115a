// korvane-scheduler's log lines on stderr: "korvane-scheduler: <local time> <text>".
#pragma once

#include <ostream>
#include <string_view>

namespace korvane {

void SchedulerLog(std::ostream& out, std::string_view text);

}  // namespace korvane
