// The command table of the schedule editor: the words a script list shows,
// in icon order, and whether the editor offers them.
#pragma once

#include <array>
#include <string_view>

namespace korvane {

struct ScheduleCommand {
    std::string_view word;  // as the table writes it
    bool enabled;
};

inline constexpr std::array<ScheduleCommand, 11> kScheduleCommands = {{
    {"Copy", true},
    {"Delete", true},
    {"Email", false},
    {"Move", true},
    {"Query", true},
    {"Link", true},
    {"Scan", true},
    {"Command", true},
    {"Print", true},
    {"Logfile", true},
    {"Export", true},
}};

// Index (and icon) of the enabled command whose word equals the given one
// without regard to case; -1 when it is unknown or not enabled.
int FindEnabledCommand(std::string_view word);

}  // namespace korvane
