// ExportCsv of every file of the scanned tree (about 1,000,000 rows: name,
// size, modify date and the folder's path) next to the sqlite3 tool writing
// the same rows of the same catalogue file with -csv, interleaved in one run.
//
// Reported: the time of ExportCsv and export_over_sqlite (ExportCsv's time /
// sqlite3's, target at most 2).
#include <filesystem>

#include "query/sql_builder.h"
#include "query_bench_catalogue.h"
#include "result/export_csv.h"
#include "result/run_query.h"

namespace korvane::bench {
namespace {

void BM_ExportCsvVsSqlite3Csv(benchmark::State& state) {
    BenchCatalogue& shared = SharedCatalogue();
    if (!shared.error.empty()) {
        state.SkipWithError(shared.error.c_str());
        return;
    }
    QueryProfile profile;
    profile.query_name = "BenchExport";
    profile.include_subfolders = true;
    for (const char* name : {"Name", "Size", "Modify Date"}) {
        profile.fields[FindQueryField(profile, "File", name)].in_query = true;
    }
    CheckQueryShape(profile);
    ResultData result;
    result.result_name = profile.query_name;
    result.current_folder_id = shared.root_id;
    if (!RunQuery(&profile, result, shared.catalogue, shared.tree, nullptr)) {
        state.SkipWithError("RunQuery failed");
        return;
    }
    const std::int32_t last = shared.root_id + shared.tree.DescendantCountOf(shared.root_id);
    const std::vector<std::string> sqlite3 = {
        "sqlite3", "-readonly", "-csv", shared.catalogue_path,
        "SELECT Name, Size, \"Modify Date\", \"Parent ID\" FROM File WHERE \"Parent ID\">" +
            std::to_string(shared.root_id - 1) + " AND \"Parent ID\"<=" + std::to_string(last) +
            " ORDER BY Size;"};
    const std::string ours = shared.catalogue_path + ".export.csv";
    const std::string theirs = shared.catalogue_path + ".sqlite3.csv";

    double export_seconds = 0, sqlite_seconds = 0;
    for (auto _ : state) {
        bool exported = false;
        const double export_time =
            TimeWork([&] { exported = ExportCsv(result, ours, shared.catalogue, shared.tree, nullptr); });
        const double sqlite_time = TimeCommand(sqlite3, theirs);
        if (!exported || sqlite_time < 0) {
            state.SkipWithError("the export or sqlite3 failed");
            return;
        }
        state.SetIterationTime(export_time);
        export_seconds += export_time;
        sqlite_seconds += sqlite_time;
    }
    state.counters["export_over_sqlite"] = export_seconds / sqlite_seconds;
    state.counters["sqlite_s"] = sqlite_seconds / state.iterations();
    state.counters["rows"] = result.row_count;
    std::error_code ignored;
    state.counters["csv_bytes"] = static_cast<double>(std::filesystem::file_size(ours, ignored));
    std::filesystem::remove(ours, ignored);
    std::filesystem::remove(theirs, ignored);
}
BENCHMARK(BM_ExportCsvVsSqlite3Csv)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane::bench
