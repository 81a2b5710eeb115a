// Loading the folder tree of a catalogue with 1,000,000 folders, next to the
// sqlite3 command-line tool reading the same four columns from the same file
// in the same run, and the bulk path the row writers use to add rows.
//
// BM_LoadVsSqlite3Cli reports ratio (tree load time / sqlite3 time, both
// from a closed file to done) and bytes_per_node (node block + name block).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "folder_catalogue.h"

extern char** environ;

namespace {

using folder_bench::FolderCatalogue;
using folder_bench::kFolders;
using folder_bench::ScratchDir;


// Opens the catalogue, loads the tree and closes it again.
std::size_t LoadOnce(const std::string& path, std::size_t& bytes) {
    korvane::SilentUserInterface ui;
    korvane::Catalogue catalogue(ui);
    korvane::FolderTree tree;
    if (!catalogue.OpenCatalogue(path) || !tree.LoadFolderTree(catalogue)) {
        return 0;
    }
    bytes = tree.loaded_bytes();
    return tree.loaded_node_count();
}

// sqlite3 writing the four columns of every Folder row to /dev/null.
bool Sqlite3ReadsFolderColumns(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string sql = "SELECT \"Folder ID\", \"Parent ID\", \"Folders\", \"Name\" FROM \"Folder\"";
    std::string program = "sqlite3";
    std::string readonly = "-readonly";
    std::string file = path;
    char* argv[] = {program.data(), readonly.data(), file.data(), sql.data(), nullptr};
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, "sqlite3", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        return false;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_LoadFolderTree(benchmark::State& state) {
    const std::string& path = FolderCatalogue();
    if (path.empty()) {
        state.SkipWithError("the catalogue could not be written");
        return;
    }
    std::size_t nodes = 0, bytes = 0;
    for (auto _ : state) {
        nodes = LoadOnce(path, bytes);
    }
    if (nodes != static_cast<std::size_t>(kFolders)) {
        state.SkipWithError("the tree did not load every folder");
        return;
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["bytes_per_node"] = static_cast<double>(bytes) / static_cast<double>(nodes);
}
BENCHMARK(BM_LoadFolderTree)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void BM_Sqlite3CliReadsFolderColumns(benchmark::State& state) {
    const std::string& path = FolderCatalogue();
    for (auto _ : state) {
        if (path.empty() || !Sqlite3ReadsFolderColumns(path)) {
            state.SkipWithError("sqlite3 could not read the catalogue");
            return;
        }
    }
}
BENCHMARK(BM_Sqlite3CliReadsFolderColumns)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

// Both, interleaved within each iteration, so the ratio compares like with like.
void BM_LoadVsSqlite3Cli(benchmark::State& state) {
    const std::string& path = FolderCatalogue();
    using Clock = std::chrono::steady_clock;
    double load_seconds = 0.0, cli_seconds = 0.0;
    std::size_t nodes = 0, bytes = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        nodes = LoadOnce(path, bytes);
        const auto t1 = Clock::now();
        if (!Sqlite3ReadsFolderColumns(path)) {
            state.SkipWithError("sqlite3 could not read the catalogue");
            return;
        }
        const auto t2 = Clock::now();
        load_seconds += std::chrono::duration<double>(t1 - t0).count();
        cli_seconds += std::chrono::duration<double>(t2 - t1).count();
    }
    if (nodes == 0) {
        state.SkipWithError("the tree did not load");
        return;
    }
    state.counters["load_ms"] = 1000.0 * load_seconds / static_cast<double>(state.iterations());
    state.counters["sqlite3_ms"] = 1000.0 * cli_seconds / static_cast<double>(state.iterations());
    state.counters["ratio"] = load_seconds / cli_seconds;
    state.counters["bytes_per_node"] = static_cast<double>(bytes) / static_cast<double>(nodes);
}
BENCHMARK(BM_LoadVsSqlite3Cli)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

// The row writers' path: a million File rows through the table cursor's
// prepared INSERT, in the one transaction the open tables hold, committed.
void BM_AddMillionFileRows(benchmark::State& state) {
    std::int64_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string path = (ScratchDir().dir / ("files" + std::to_string(round++) + ".db")).string();
        std::string error;
        korvane::CreateEmptyCatalogue(path, error);
        korvane::SilentUserInterface ui;
        korvane::Catalogue catalogue(ui);
        catalogue.OpenCatalogue(path);
        state.ResumeTiming();
        catalogue.OpenCatalogueTables();
        korvane::TableCursor& file = catalogue.file_table();
        std::string name;
        for (std::int32_t id = 1; id <= 1000000; ++id) {
            name = "IMG_" + std::to_string(id) + ".jpg";
            file.AddNew();
            file.SetInt("File ID", id);
            file.SetText("Name", name);
            file.SetText("Type", "jpg");
            file.SetDouble("Size", 1234567.0);
            file.SetDouble("Compressed", 1236992.0);
            file.SetDate("Create Date", 45000.25);
            file.SetDate("Modify Date", 45000.5);
            file.SetDate("Access Date", 45001.0);
            file.SetText("Owner", "user");
            file.SetInt("Attributes", 0x20);
            file.SetInt("Parent ID", 1 + id / 20);
            if (!file.Update()) {
                state.SkipWithError(file.last_error().c_str());
                return;
            }
        }
        catalogue.CloseCatalogueTables();
        catalogue.CloseCatalogue();
        state.PauseTiming();
        std::filesystem::remove(path);
        state.ResumeTiming();
    }
    state.counters["rows_per_second"] =
        benchmark::Counter(1000000.0 * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AddMillionFileRows)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
