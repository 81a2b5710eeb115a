#include "schedule/scheduler_log.h"

#include <ctime>

#include "app/formatting.h"

namespace korvane {

void SchedulerLog(std::ostream& out, std::string_view text) {
    out << "korvane-scheduler: " << FormatLocalTime("%Y-%m-%d %H:%M:%S", std::time(nullptr)) << ' ' << text
        << std::endl;
}

}  // namespace korvane
