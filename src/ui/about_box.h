// The About box of the Help menu.
#pragma once

class QWidget;

namespace korvane {

inline constexpr const char* kProgramVersion = "4.0.0";

void ShowAboutBox(QWidget* parent);

}  // namespace korvane
