#include "app/minute_clock.h"

#include "app/formatting.h"

namespace korvane {

int FirstClockDelayMs(const std::tm& now) {
    const int delay = kMinuteMilliseconds - 1000 * now.tm_sec;
    return delay < 0 ? 0 : delay;
}

std::string StatusDateText(const std::tm& local) {
    return FormatTm(kStatusDateFormat, local);
}

std::string StatusTimeText(const std::tm& local) {
    std::string text = " " + FormatTm(kStatusTimeFormat, local) + "  ";
    text += local.tm_hour < 12 ? "AM " : "PM ";
    return text;
}

}  // namespace korvane
