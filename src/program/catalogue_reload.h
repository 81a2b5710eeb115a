// Reading the catalogue again while the program runs: after its connection
// to the server was made again, or after another program built it.
#pragma once

#include "program/program_state.h"

namespace korvane {

// Reloads the folder tree and reads the ID counters, keeping for each the
// higher of the one in memory and the catalogue's: rows this program added
// are numbered above the catalogue's counters until the counters are written
// back at the end. False, with the tree and counters untouched, when the
// tables cannot be opened.
bool ReloadCatalogueState(ProgramState& state);

}  // namespace korvane
