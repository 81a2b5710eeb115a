// Deleting 10,000 files of a result to the trash and pasting 10,000 files,
// each with its catalogue update, the two parts timed side by side in the
// same run: the file operations (the same calls, in the same steps of 64, as
// the commands make) and the catalogue work that follows them (rows, folder
// totals up the tree, the folders' own times, committed).
//
// Counters: file_s and catalogue_s per run, and catalogue_per_file (the
// catalogue's time as a share of the file operations' time).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/catalogue_sync.h"
#include "actions/shell_operations.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "owners/owner_resolver.h"
#include "scan/volume_scanner.h"

namespace korvane {
namespace {

constexpr int kFiles = 10000;
constexpr int kFolders = 20;
constexpr std::size_t kStep = 64;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration span) {
    return std::chrono::duration<double>(span).count();
}

// A scanned tree of kFiles files of 1 KiB in kFolders folders, with an empty
// folder "dest", its catalogue and the trash beside it.
struct ScannedTree {
    std::filesystem::path dir;
    std::string root;
    SilentUserInterface ui;
    Catalogue catalogue{ui};
    FolderTree tree;
    IdCounters counters;
    OwnerResolver owners;
    std::vector<std::string> files;

    bool Make() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            return false;
        }
        dir = pattern;
        root = (dir / "vol").string();
        setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        std::filesystem::create_directories(root + "/dest");
        const std::string data(1024, 'k');
        for (int i = 0; i < kFiles; ++i) {
            const std::string folder = root + "/f" + std::to_string(i % kFolders);
            if (i < kFolders) {
                std::filesystem::create_directories(folder);
            }
            files.push_back(folder + "/file " + std::to_string(i) + ".dat");
            std::ofstream(files.back(), std::ios::binary) << data;
        }
        std::string error;
        const std::string db = (dir / "Korvane.db").string();
        if (!CreateEmptyCatalogue(db, error) || !catalogue.OpenCatalogue(db)) {
            return false;
        }
        ScanContext scan{catalogue, tree, counters, ui, ""};
        return BuildCatalogue(scan, "\"" + root + "\"", nullptr);
    }

    ~ScannedTree() {
        catalogue.CloseCatalogue();
        std::error_code ignored;
        if (!dir.empty()) {
            std::filesystem::remove_all(dir, ignored);
        }
    }
};

template <typename FileStep, typename CatalogueStep>
void SideBySide(benchmark::State& state, FileStep file_step, CatalogueStep catalogue_step) {
    double file_total = 0, catalogue_total = 0;
    for (auto _ : state) {
        ScannedTree scanned;
        if (!scanned.Make()) {
            state.SkipWithError("the tree or its catalogue could not be made");
            return;
        }
        const Clock::time_point start = Clock::now();
        std::vector<std::string> changed;
        for (std::size_t next = 0; next < scanned.files.size(); next += kStep) {
            const std::vector<std::string> step(
                scanned.files.begin() + static_cast<std::ptrdiff_t>(next),
                scanned.files.begin() +
                    static_cast<std::ptrdiff_t>(std::min(scanned.files.size(), next + kStep)));
            file_step(scanned, step, changed);
        }
        const Clock::time_point files_done = Clock::now();
        CatalogueSync sync(scanned.catalogue, scanned.tree, scanned.counters, scanned.owners);
        sync.Begin();
        for (const std::string& path : changed) {
            catalogue_step(sync, path);
        }
        if (!sync.Finish()) {
            state.SkipWithError("the catalogue update failed");
            return;
        }
        const Clock::time_point all_done = Clock::now();
        file_total += Seconds(files_done - start);
        catalogue_total += Seconds(all_done - files_done);
        state.SetIterationTime(Seconds(all_done - start));
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["file_s"] = file_total / runs;
    state.counters["catalogue_s"] = catalogue_total / runs;
    state.counters["catalogue_per_file"] = file_total > 0 ? catalogue_total / file_total : 0;
}

void BM_Delete10000ToTrash(benchmark::State& state) {
    SideBySide(
        state,
        [](ScannedTree&, const std::vector<std::string>& step, std::vector<std::string>& changed) {
            const ShellOperationResult result = DeleteToTrash(step, SourceNames::kExact);
            for (std::size_t i = 0; i < result.items.size(); ++i) {
                changed.push_back(step[i]);
            }
        },
        [](CatalogueSync& sync, const std::string& path) { sync.EntryLeft(path); });
}

void BM_Paste10000(benchmark::State& state) {
    SideBySide(
        state,
        [](ScannedTree& scanned, const std::vector<std::string>& step, std::vector<std::string>& changed) {
            const ShellOperationResult result =
                CopyFiles(step, scanned.root + "/dest", CollisionRule::kRename, SourceNames::kExact);
            for (const ShellItemResult& item : result.items) {
                if (item.ok()) {
                    changed.push_back(item.target);
                }
            }
        },
        [](CatalogueSync& sync, const std::string& path) { sync.EntryArrived(path); });
}

BENCHMARK(BM_Delete10000ToTrash)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste10000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korvane
