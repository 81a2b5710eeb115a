// The program's start and end without windows: the installation folder, the
// single-instance check, the catalogue, the counters and the folder tree, and
// the unattended script run. The windowed steps are the windows' own.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "program/program_state.h"
#include "app/single_instance.h"

namespace korvane {

// Exit statuses of a run, distinct so that a scheduler can act on them.
inline constexpr int kExitSuccess = 0;           // every line of the script succeeded
inline constexpr int kExitLineFailed = 1;        // a line of the script failed
inline constexpr int kExitScriptUnreadable = 2;  // the script could not be read or was empty
inline constexpr int kExitAnotherInstance = 3;   // another instance is running
inline constexpr int kExitCannotStart = 4;       // the installation folder or catalogue cannot be used

// Runs one script to its end and gives the run's exit status.
using ScriptRunner = std::function<int(ProgramState& state, const std::string& script_path)>;

enum class StartOutcome {
    End,          // the program ends now with exit_code
    OpenWindows,  // the windowed modes (interactive, open, print) go on
};

struct StartResult {
    StartOutcome outcome = StartOutcome::End;
    int exit_code = 0;
    RunRequest request;
};

inline constexpr const char* kInvalidDatabaseMessage =
    "The databse '%s' is invalid or does not exist.\n  Check for proper installation.";

// Steps up to the choice of mode: finds the installation folder (creating it,
// Korvane.ini and an empty catalogue on first use), takes the single-instance
// lock (a second instance logs "Only one instance allowed." and ends with
// kExitAnotherInstance), opens the catalogue (a failure shows the
// invalid-database message and ends with kExitCannotStart) and reads the
// options. A script run, whose event log must be writable, then loads the
// counters and folder tree, hands the script to run_script with interactive
// off, and ends with its status. A script run that cannot start also says
// why in one line on standard error, since no event log may be writable. The
// other modes return OpenWindows with the catalogue open.
StartResult StartProgram(ProgramState& state, const std::vector<std::string>& arguments, SingleInstanceLock& lock,
                         const std::string& lock_path, const ScriptRunner& run_script);

// Opens the tables, reads the counters and loads the folder tree, then closes
// the tables. False when the tables could not be opened.
bool LoadCatalogueState(ProgramState& state);

// Writes the counters back (when the tables open), frees the folder tree and
// closes the catalogue.
void EndProgram(ProgramState& state);

}  // namespace korvane
