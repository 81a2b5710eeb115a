#include "program/catalogue_upkeep.h"

#include "program/start_program.h"
#include "catalogue/row_writers.h"
#include "platform/computer_name.h"

namespace korvane {

bool CompactOpenCatalogue(ProgramState& state) {
    state.catalogue.CloseCatalogue();
    std::string error;
    const bool compacted = CompactCatalogue(state.database_path, &error);
    const bool reopened = state.catalogue.OpenCatalogue(state.database_path);
    if (reopened) LoadCatalogueState(state);
    return compacted && reopened;
}

bool RepairOpenCatalogue(ProgramState& state, std::string& report) {
    // On a server only the catalogue's own tables are reindexed.
    const char* reindex = state.catalogue.OnServer()
                              ? "REINDEX TABLE \"Computer\"; REINDEX TABLE \"Volume\"; REINDEX TABLE \"Folder\"; "
                                "REINDEX TABLE \"File\"; REINDEX TABLE \"User Volumes\"; "
                                "REINDEX TABLE \"Stored Queries\";"
                              : "REINDEX;";
    std::string message;
    if (!ExecuteSql(state.catalogue.connection(), reindex, &message)) {
        report = !message.empty() ? message : "The indexes could not be rebuilt.";
        return false;
    }
    return state.catalogue.IntegrityCheck(report);
}

bool EmptyOpenCatalogue(ProgramState& state) {
    if (!state.catalogue.OpenCatalogueTables()) return false;
    bool emptied = state.catalogue.EmptyCatalogueTables();
    ComputerRecord computer;
    computer.id = 1;
    computer.computer_name = ComputerName();
    emptied = emptied && WriteComputerRow(state.catalogue, computer);
    state.counters = IdCounters{1, 1, 1};
    emptied = emptied && state.catalogue.WriteIdCounters(state.counters);
    emptied = state.catalogue.CloseCatalogueTables() && emptied;
    state.tree.FreeFolderTree();
    return emptied;
}

}  // namespace korvane
