// The View menu's choice between report and graphs, and the graph settings
// a person edits, applied to a result document. The windows call these and
// keep to the answers: a change marks the document modified and redraws it.
#pragma once

#include <array>
#include <string>

#include "result/result_data.h"

namespace korvane {

struct DisplayModeCommand {
    int mode;
    const char* menu_text;
    const char* prompt;  // status-bar text
};

// Report, Pie Graph, Bar Graph, Line Graph and Forecast Graph, in menu order.
extern const std::array<DisplayModeCommand, 5> kDisplayModeCommands;
inline constexpr const char* kGraphOptionsMenuText = "&Graph Options...";
inline constexpr const char* kGraphOptionsPrompt = "Graph options.";

// What the windows of a result do when a command changed it.
class ResultDocumentHost {
  public:
    virtual ~ResultDocumentHost() = default;
    virtual void MarkModified() = 0;
    // Rebuilds every view of the result from the document.
    virtual void RefreshAllViews() = 0;
};

// The mode's command: nothing when the document already shows mode (false);
// otherwise the document is marked modified, takes the mode and every view
// is refreshed (true). A value that is no display mode changes nothing.
bool SelectDisplayMode(ResultDocument& document, int mode, ResultDocumentHost& host);

// The four settings of the "Graph Options" dialog.
struct GraphSettings {
    std::string title;
    std::string x_title;
    std::string y_title;
    bool three_d = true;
};

inline constexpr std::size_t kGraphTitleLength = 255;

GraphSettings GraphSettingsOf(const ResultDocument& document);
// The dialog's OK: the settings are stored (titles cut to 255 bytes) and
// the document is marked modified; the views are redrawn at their next
// refresh, not now.
void ApplyGraphSettings(ResultDocument& document, const GraphSettings& settings, ResultDocumentHost& host);

}  // namespace korvane
