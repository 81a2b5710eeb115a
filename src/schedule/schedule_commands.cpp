#include "schedule/schedule_commands.h"

#include "app/text_helpers.h"

namespace korvane {

int FindEnabledCommand(std::string_view word) {
    for (std::size_t i = 0; i < kScheduleCommands.size(); ++i) {
        if (kScheduleCommands[i].enabled && EqualsNoCase(kScheduleCommands[i].word, word)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace korvane
