// The Options dialog's catalogue work, on the program's own catalogue.
#pragma once

#include <string>

#include "program/program_state.h"

namespace korvane {

// Closes the catalogue, compacts its file and opens it again; the folder
// tree is reloaded. False when the compaction or the reopening failed (a
// failed compaction leaves the file as it was and it is reopened).
bool CompactOpenCatalogue(ProgramState& state);

// Rebuilds the indexes and checks the file and the rules queries rely on.
// report receives the findings, one per line.
bool RepairOpenCatalogue(ProgramState& state, std::string& report);

// Removes every volume, folder and file; the catalogue keeps a Computer row
// with every counter at 1, as after a build of no volumes. The user volumes
// and stored queries stay.
bool EmptyOpenCatalogue(ProgramState& state);

}  // namespace korvane
