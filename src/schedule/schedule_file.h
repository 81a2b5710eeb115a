// The schedule document's data and its ".sch" file:
//
//   [Schedule]
//   Startup=<Startup text>
//   Interval=<Interval text>
//   [Script]
//   Lines=<number of lines>
//   ScriptLine[0]=<command word> <parameter text>
//   ...
//
// Values pass through unchanged (CDocumentEx). Opening keeps only lines
// whose first word is an enabled command of the table, written as the table
// writes it; saving renumbers the kept lines from 0.
#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/document_settings.h"

namespace korvane {

inline constexpr std::string_view kDefaultInterval = "None";
// A script line holds at most this many characters, as the interpreter
// reads it; the editor keeps the same so that saving never shortens a line.
inline constexpr std::size_t kMaxScriptLineLength = 2047;

struct ScriptRow {
    std::string command;     // as the command table writes it
    std::string parameters;  // the raw text after the command word; may be empty
    int icon = 0;            // index of the command in the table
};

struct ScheduleContent {
    std::string startup = "Startup";
    std::string interval = std::string(kDefaultInterval);
    std::vector<ScriptRow> rows;
};

// The row a stored script line becomes, or none when its first word is not
// an enabled command (remarks, "Email" and unknown words are dropped).
std::optional<ScriptRow> ScriptRowFromLine(std::string_view line);

// The indices below lines that have a ScriptLine key, in order. Looking only
// at keys that exist keeps a huge Lines value from costing anything.
std::set<long> PresentLineIndices(const ProfileDocument& file, long lines);
// "%s %s": the command word, one blank, the parameter text.
std::string ScriptLineOf(const ScriptRow& row);

// Reads the file named by path through the document's INI access. False
// when the file cannot be read; a file without Lines, or with 0, gives an
// empty script.
bool ReadScheduleFile(CDocumentEx& document, const std::string& path, ScheduleContent& content);
// Writes Startup and Interval to Schedule, then empties Script and writes
// Lines and every row. False when a write fails.
bool WriteScheduleFile(CDocumentEx& document, const std::string& path, const ScheduleContent& content);

// "Startup on %s, run %s." with Startup and Interval, or "Startup on %s."
// when Interval is "None".
std::string ScheduleStatusText(const ScheduleContent& content);
// The schedule window's title: the document name and " - Korvane Schedule".
std::string ScheduleWindowTitle(std::string_view document_name);

}  // namespace korvane
