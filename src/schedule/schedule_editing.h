// What the schedule editor's dialogs read from a script row and the exact
// parameter texts they write back, which the script interpreter reads.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/schedule_file.h"
#include "schedule/schedule_time.h"

namespace korvane {

inline constexpr std::string_view kInvalidSelection = "Invalid selection.";
inline constexpr std::string_view kQuoteInParameter =
    "A script parameter cannot hold a double quote or a line end:\n%s";

// The parameters of a row as separate texts, each with its enclosing
// quotes removed (separators as in a script line).
std::vector<std::string> RowParameterTokens(std::string_view parameters);

// The first parameters of the "Query" rows above row index, in order.
std::vector<std::string> EarlierQueryNames(const std::vector<ScriptRow>& rows, std::size_t index);

// A text can go between the double quotes of a parameter only when it holds
// no double quote and no line end: either would cut the line into other
// parameters than the person chose.
bool FitsInParameter(std::string_view text);

// "\"%s\""
std::string QuotedParameter(std::string_view text);
// "\"%s\", \"%s\"": Query (name, initial folder) and Export (source, CSV path).
std::string TwoQuotedParameters(std::string_view first, std::string_view second);
// "\"%s\", \"%s\", %s": Copy, Move and Link.
std::string FileCommandParameters(std::string_view source, std::string_view destination,
                                  std::string_view option);
// "\"%s\", \"%s\", \"%s\", \"%s\"": Print (source, driver, device, port).
std::string PrintParameters(std::string_view source, std::string_view driver, std::string_view device,
                            std::string_view port);

// "/SUBFOLDER/OVERWRITE" for both, " /SUBFOLDER" or " /OVERWRITE" (with the
// leading blank) for one, empty for neither.
std::string CommandOptionText(bool subfolder, bool overwrite);
struct CommandOptions {
    bool subfolder = false;
    bool overwrite = false;
};
// The check boxes an option text stands for (compared with regard to case,
// as the interpreter compares it).
CommandOptions CommandOptionsOf(std::string_view option);

// Which controls the "Command" dialog shows for a command word.
struct CommandDialogShape {
    bool source_browse = false;  // "Browse..." beside the source
    bool destination = false;    // the destination with its "Browse..."
    bool subfolder_box = false;  // "Construct Subfolders"
    bool overwrite_box = false;  // "Overwrite Existing Destination Files"
    bool from_query = true;      // "From Query..."
};
// None for a word that has no "Command" dialog.
std::optional<CommandDialogShape> CommandDialogShapeOf(std::string_view word);

// A saved query of the installation folder as the "Select" dialog lists it.
struct SavedQueryEntry {
    std::string name;         // file name without ".qry"
    std::string description;  // Description of section Query
};
// Every regular file whose name ends in ".qry" (any case), by name.
std::vector<SavedQueryEntry> ListSavedQueries(const std::string& install_folder);

// What the "Schedule Time" dialog shows.
struct ScheduleTimeFields {
    int year = 0, month = 1, day = 1;
    int hour = 0;  // 12-hour form; 0 only for midnight
    int minute = 0;
    bool pm = false;
    ScheduleInterval interval = ScheduleInterval::None;
    bool startup_is_time = false;  // false: the fields show now instead
};
// From Startup and Interval. A Startup that is not a time (a new schedule's
// "Startup") shows the current local date and time, given as now.
ScheduleTimeFields ScheduleTimeFieldsOf(std::string_view startup, std::string_view interval, std::time_t now);
// The dialog's OK: the Startup text ("%m/%d/%Y %H:%M:00").
std::string StartupOfFields(const ScheduleTimeFields& fields);

}  // namespace korvane
