#include "result/display_mode.h"

namespace korvane {
namespace {

// At most kGraphTitleLength bytes, never part of a UTF-8 character.
std::string CutTitle(const std::string& title) {
    if (title.size() <= kGraphTitleLength)
        return title;
    std::size_t end = kGraphTitleLength;
    while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80)
        --end;
    return title.substr(0, end);
}

}  // namespace

const std::array<DisplayModeCommand, 5> kDisplayModeCommands = {{
    {kDisplayReport, "&Report", "Display results in report form."},
    {kDisplayPie, "&Pie Graph", "Display results in pie graph form."},
    {kDisplayBar, "&Bar Graph", "Display results in bar graph form."},
    {kDisplayLine, "&Line Graph", "Display results in line graph form."},
    {kDisplayForecast, "&Forecast Graph", "Display results in cumulative line graph form."},
}};

bool SelectDisplayMode(ResultDocument& document, int mode, ResultDocumentHost& host) {
    bool known = false;
    for (const DisplayModeCommand& command : kDisplayModeCommands)
        known = known || command.mode == mode;
    if (!known || document.display_mode == mode)
        return false;
    host.MarkModified();
    document.display_mode = mode;
    host.RefreshAllViews();
    return true;
}

GraphSettings GraphSettingsOf(const ResultDocument& document) {
    return GraphSettings{document.title, document.x_title, document.y_title, document.three_d};
}

void ApplyGraphSettings(ResultDocument& document, const GraphSettings& settings, ResultDocumentHost& host) {
    document.title = CutTitle(settings.title);
    document.x_title = CutTitle(settings.x_title);
    document.y_title = CutTitle(settings.y_title);
    document.three_d = settings.three_d;
    host.MarkModified();
}

}  // namespace korvane
