// The catalogue on a PostgreSQL server next to the catalogue file, side by
// side in one run, on the same tree (made by shared/bench/make-tree):
//
//   KORVANE_BENCH_TREE=/tmp/T1m KORVANE_BENCH_PG=postgresql:///bench?host=/tmp/pg
//   build/bench/pg_catalogue_bench    (the two lines are one command)
//
// (bench/pg_catalogue_bench.sh makes the tree, starts a server and runs it.)
//
// Reported, each against the named comparison measured in the same run:
// - a whole build of the tree into the server and into a catalogue file,
//   interleaved: build_pg_over_sqlite (target at most 1.5);
// - RunQuery of the worked example's question (name patterns, a size range,
//   Previous 30 Days, from the tree's folder) on both: query_pg_over_sqlite
//   (target at most 2);
// - ExportCsv of every file of the tree from the server's catalogue next to
//   psql's \copy of the same rows to a CSV file: export_over_psql (target at
//   most 2).
#include <filesystem>

#include "query/criterion.h"
#include "query/sql_builder.h"
#include "query_bench_catalogue.h"
#include "result/export_csv.h"
#include "result/run_query.h"

namespace korvane::bench {
namespace {

// The server's catalogue of the tree, built once by the first benchmark.
struct ServerCatalogue {
    SilentUserInterface ui;
    Catalogue catalogue{ui};
    FolderTree tree;
    std::string uri;
    std::int32_t root_id = 0;
    std::string error;
};

ServerCatalogue& Server() {
    static ServerCatalogue server;
    static bool prepared = false;
    if (prepared) {
        return server;
    }
    prepared = true;
    const char* uri = std::getenv("KORVANE_BENCH_PG");
    if (uri == nullptr || *uri == '\0') {
        server.error = "set KORVANE_BENCH_PG to the URI of an empty database";
        return server;
    }
    server.uri = uri;
    if (!server.catalogue.OpenCatalogue(server.uri)) {
        server.error = server.catalogue.last_error();
        return server;
    }
    // A server kept from an earlier run may hold the tree already, so the
    // query and export benchmarks can run alone (--benchmark_filter).
    const char* tree = std::getenv("KORVANE_BENCH_TREE");
    if (tree != nullptr && server.tree.LoadFolderTree(server.catalogue)) {
        server.root_id = server.tree.FolderIdOfPath(tree);
    }
    return server;
}

bool BuildInto(Catalogue& catalogue, FolderTree& tree, const std::string& tree_path) {
    IdCounters counters;
    SilentUserInterface ui;
    ScanContext context(catalogue, tree, counters, ui, "");
    return BuildCatalogue(context, "\"" + tree_path + "\"", nullptr);
}

void BM_BuildPostgresVsSqlite(benchmark::State& state) {
    BenchCatalogue& shared = SharedCatalogue();
    ServerCatalogue& server = Server();
    if (!shared.error.empty() || !server.error.empty()) {
        state.SkipWithError((shared.error + server.error).c_str());
        return;
    }
    const std::string file = shared.catalogue_path + ".build.db";
    double pg_seconds = 0, sqlite_seconds = 0;
    for (auto _ : state) {
        std::error_code ignored;
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(file + suffix, ignored);
        }
        std::string error;
        SilentUserInterface ui;
        Catalogue sqlite(ui);
        FolderTree sqlite_tree;
        if (!CreateEmptyCatalogue(file, error) || !sqlite.OpenCatalogue(file)) {
            state.SkipWithError("the catalogue file could not be made");
            return;
        }
        bool built = true;
        const double on_file = TimeWork([&] { built = BuildInto(sqlite, sqlite_tree, shared.tree_path); });
        const double on_server =
            TimeWork([&] { built = BuildInto(server.catalogue, server.tree, shared.tree_path) && built; });
        if (!built) {
            state.SkipWithError(("a build failed: " + server.catalogue.last_error()).c_str());
            return;
        }
        state.SetIterationTime(on_server);
        pg_seconds += on_server;
        sqlite_seconds += on_file;
    }
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(file + suffix, ignored);
    }
    server.root_id = server.tree.FolderIdOfPath(shared.tree_path);
    state.counters["build_pg_over_sqlite"] = pg_seconds / sqlite_seconds;
    state.counters["sqlite_s"] = sqlite_seconds / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BuildPostgresVsSqlite)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

QueryProfile WorkedExample() {
    QueryProfile profile;
    profile.query_name = "BenchQuery";
    profile.include_subfolders = true;
    const std::pair<const char*, const char*> criteria[] = {
        {"Name", "Include  \"*.log\",\"*.txt\""},
        {"Size", "Include  1M - 100M "},
        {"Modify Date", "Include Previous  30 Days"},
    };
    for (const auto& [name, value_text] : criteria) {
        QueryField& field = profile.fields[FindQueryField(profile, "File", name)];
        field.in_query = true;
        field.value_text = value_text;
    }
    CheckQueryShape(profile);
    return profile;
}

void BM_WorkedExamplePostgresVsSqlite(benchmark::State& state) {
    BenchCatalogue& shared = SharedCatalogue();
    ServerCatalogue& server = Server();
    if (!shared.error.empty() || !server.error.empty() || server.root_id == 0) {
        state.SkipWithError("the catalogues are not ready (run the build benchmark first)");
        return;
    }
    QueryProfile profile = WorkedExample();
    QueryBuildOptions options;
    options.run_time = CurrentRunTime();
    ResultData on_file, on_server;
    on_file.result_name = on_server.result_name = profile.query_name;
    on_file.current_folder_id = shared.root_id;
    on_server.current_folder_id = server.root_id;
    double pg_seconds = 0, sqlite_seconds = 0;
    for (auto _ : state) {
        const double file_time =
            TimeWork([&] { RunQuery(&profile, on_file, shared.catalogue, shared.tree, nullptr, options); });
        const double server_time =
            TimeWork([&] { RunQuery(&profile, on_server, server.catalogue, server.tree, nullptr, options); });
        state.SetIterationTime(server_time);
        pg_seconds += server_time;
        sqlite_seconds += file_time;
    }
    state.counters["query_pg_over_sqlite"] = pg_seconds / sqlite_seconds;
    state.counters["sqlite_s"] = sqlite_seconds / static_cast<double>(state.iterations());
    state.counters["rows_pg"] = on_server.row_count;
    state.counters["rows_sqlite"] = on_file.row_count;
}
BENCHMARK(BM_WorkedExamplePostgresVsSqlite)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_ExportCsvVsPsqlCopy(benchmark::State& state) {
    BenchCatalogue& shared = SharedCatalogue();
    ServerCatalogue& server = Server();
    if (!shared.error.empty() || !server.error.empty() || server.root_id == 0) {
        state.SkipWithError("the catalogues are not ready (run the build benchmark first)");
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
    result.current_folder_id = server.root_id;
    if (!RunQuery(&profile, result, server.catalogue, server.tree, nullptr)) {
        state.SkipWithError("RunQuery failed");
        return;
    }
    const std::int32_t last = server.root_id + server.tree.DescendantCountOf(server.root_id);
    const std::string copy =
        "\\copy (SELECT \"Name\", \"Size\", \"Modify Date\", \"Parent ID\" FROM \"File\" "
        "WHERE \"Parent ID\" > " +
        std::to_string(server.root_id - 1) + " AND \"Parent ID\" <= " + std::to_string(last) +
        " ORDER BY \"Size\") TO STDOUT WITH CSV";
    const std::vector<std::string> psql = {"psql", "-X", "-q", "-d", server.uri, "-c", copy};
    // The same export from the catalogue file, for comparison.
    ResultData on_file = result;
    on_file.current_folder_id = shared.root_id;
    if (!RunQuery(&profile, on_file, shared.catalogue, shared.tree, nullptr)) {
        state.SkipWithError("RunQuery failed on the catalogue file");
        return;
    }
    const std::string ours = shared.catalogue_path + ".pg-export.csv";
    const std::string theirs = shared.catalogue_path + ".psql.csv";
    double export_seconds = 0, psql_seconds = 0, file_seconds = 0;
    for (auto _ : state) {
        bool exported = false;
        file_seconds +=
            TimeWork([&] { exported = ExportCsv(on_file, ours, shared.catalogue, shared.tree, nullptr); });
        const double export_time = TimeWork(
            [&] { exported = ExportCsv(result, ours, server.catalogue, server.tree, nullptr) && exported; });
        const double psql_time = TimeCommand(psql, theirs);
        if (!exported || psql_time < 0) {
            state.SkipWithError("the export or psql failed");
            return;
        }
        state.SetIterationTime(export_time);
        export_seconds += export_time;
        psql_seconds += psql_time;
    }
    state.counters["export_over_psql"] = export_seconds / psql_seconds;
    state.counters["psql_s"] = psql_seconds / static_cast<double>(state.iterations());
    state.counters["export_pg_over_sqlite"] = export_seconds / file_seconds;
    state.counters["rows"] = result.row_count;
    std::error_code ignored;
    std::filesystem::remove(ours, ignored);
    std::filesystem::remove(theirs, ignored);
}
BENCHMARK(BM_ExportCsvVsPsqlCopy)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane::bench
