#include "program/catalogue_reload.h"

#include <algorithm>

#include "program/start_program.h"

namespace korvane {

bool ReloadCatalogueState(ProgramState& state) {
    const IdCounters in_memory = state.counters;
    if (!LoadCatalogueState(state)) {
        return false;
    }
    state.counters.next_volume = std::max(state.counters.next_volume, in_memory.next_volume);
    state.counters.next_folder = std::max(state.counters.next_folder, in_memory.next_folder);
    state.counters.next_file = std::max(state.counters.next_file, in_memory.next_file);
    return true;
}

}  // namespace korvane
