// The pictures of the script commands, drawn in code, one per entry of the
// command table (the same index).
#pragma once

#include <QIcon>

namespace korvane {

QIcon ScheduleCommandIcon(int index);

// The schedule window's tool-bar buttons.
enum class ScheduleGlyph { Active, StartEvent, RunStatus };
QIcon ScheduleToolIcon(ScheduleGlyph glyph);

}  // namespace korvane
