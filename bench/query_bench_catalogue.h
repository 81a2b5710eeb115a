// The catalogue the query and export benchmarks share: a tree made by
// shared/bench/make-tree, scanned once into a catalogue kept beside it.
//
//   shared/bench/make-tree /tmp/korvane-query-bench/T1m --files 1000000 --seed 1
//   KORVANE_BENCH_TREE=/tmp/korvane-query-bench/T1m build/bench/query_run_bench
//
// KORVANE_BENCH_CATALOGUE names the catalogue (default: the tree's path with
// ".korvane.db" appended); when it is missing the first benchmark builds it
// with the scanner, which takes a while and is not timed.
#pragma once

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "scan/volume_scanner.h"

extern char** environ;

namespace korvane::bench {

struct BenchCatalogue {
    SilentUserInterface ui;
    Catalogue catalogue{ui};
    FolderTree tree;
    std::string tree_path;
    std::string catalogue_path;
    std::int32_t root_id = 0;  // the scanned tree's folder
    std::string error;         // empty when usable
};

inline BenchCatalogue& SharedCatalogue() {
    static BenchCatalogue shared;
    static bool prepared = false;
    if (prepared)
        return shared;
    prepared = true;
    const char* tree = std::getenv("KORVANE_BENCH_TREE");
    if (!tree || !*tree) {
        shared.error = "set KORVANE_BENCH_TREE to a tree made by shared/bench/make-tree";
        return shared;
    }
    shared.tree_path = tree;
    const char* catalogue = std::getenv("KORVANE_BENCH_CATALOGUE");
    shared.catalogue_path = catalogue && *catalogue ? catalogue : shared.tree_path + ".korvane.db";
    struct stat info {};
    const bool exists = ::stat(shared.catalogue_path.c_str(), &info) == 0;
    if (!exists && !CreateEmptyCatalogue(shared.catalogue_path, shared.error))
        return shared;
    if (!shared.catalogue.OpenCatalogue(shared.catalogue_path)) {
        shared.error = shared.catalogue.last_error();
        return shared;
    }
    if (!exists) {
        std::fprintf(stderr, "scanning %s into %s ...\n", tree, shared.catalogue_path.c_str());
        IdCounters counters;
        ScanContext context(shared.catalogue, shared.tree, counters, shared.ui, "");
        if (!BuildCatalogue(context, "\"" + shared.tree_path + "\"", nullptr)) {
            shared.error = "the scan failed";
            return shared;
        }
    }
    shared.tree.LoadFolderTree(shared.catalogue);
    shared.root_id = shared.tree.FolderIdOfPath(shared.tree_path);
    if (shared.root_id == 0)
        shared.error = "the tree's folder is not in the catalogue";
    return shared;
}

// Runs a program with its output going to output (thrown away by default);
// seconds from start to exit, or a negative number when it could not run or
// failed.
inline double TimeCommand(const std::vector<std::string>& arguments,
                          const std::string& output = "/dev/null") {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return -1.0;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One shell word holding text exactly.
inline std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// The first line a shell command prints ("" when it prints nothing).
inline std::string CommandLine(const std::string& command) {
    std::string line;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        if (std::fgets(buffer, sizeof buffer, pipe))
            line = buffer;
        pclose(pipe);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

template <typename Work>
double TimeWork(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace korvane::bench
