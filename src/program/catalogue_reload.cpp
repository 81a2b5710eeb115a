#include "program/catalogue_reload.h"

#include <algorithm>

namespace korvane {

bool ReloadCatalogueState(ProgramState& state) {
    if (!state.catalogue.OpenCatalogueTables()) {
        return false;
    }
    IdCounters stored = state.counters;
    if (state.catalogue.ReadIdCounters(stored)) {
        state.counters.next_volume = std::max(state.counters.next_volume, stored.next_volume);
        state.counters.next_folder = std::max(state.counters.next_folder, stored.next_folder);
        state.counters.next_file = std::max(state.counters.next_file, stored.next_file);
    }
    state.tree.LoadFolderTree(state.catalogue);
    state.catalogue.CloseCatalogueTables();
    return true;
}

}  // namespace korvane
