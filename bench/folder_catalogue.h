// The 1,000,000-folder catalogue the benchmarks share: four volumes,
// depth up to 8, skewed fan-out, names of varied length and script, written
// once per benchmark program into a scratch folder removed at its end.
#pragma once

#include <stdlib.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "catalogue/schema.h"

namespace folder_bench {

constexpr std::int32_t kFolders = 1000000;
constexpr int kVolumes = 4;

// A scratch folder removed when the benchmark program ends.
struct Scratch {
    std::filesystem::path dir;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "korvane-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            dir = pattern;
        }
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
};

inline Scratch& ScratchDir() {
    static Scratch scratch;
    return scratch;
}

// A folder tree numbered in depth-first pre-order as a scan numbers it: four
// volumes, depth up to 8, skewed fan-out, names of varied length and script.
inline bool WriteFolderCatalogue(const std::string& path) {
    std::string error;
    if (!korvane::CreateEmptyCatalogue(path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    korvane::SilentUserInterface ui;
    korvane::Catalogue catalogue(ui);
    if (!catalogue.OpenCatalogue(path) || !catalogue.OpenCatalogueTables()) {
        return false;
    }
    static const char* const kWords[] = {"Documents",
                                         "Photos",
                                         "src",
                                         "include",
                                         "2019",
                                         "Backup",
                                         "Music",
                                         "Projects",
                                         "Reports",
                                         "build",
                                         "node_modules",
                                         "\xd0\x90\xd1\x80\xd1\x85\xd0\xb8\xd0\xb2",
                                         "\xe5\x86\x99\xe7\x9c\x9f",
                                         "Invoices",
                                         "tmp",
                                         "logs",
                                         ".git",
                                         "My Files",
                                         "Q3 (final)",
                                         "data, old",
                                         "[archive]"};
    std::mt19937 random(1);
    std::vector<std::int32_t> parent(kFolders + 1, 0), folders(kFolders + 1, 0), level(kFolders + 1, 0);
    std::int32_t next = 1;
    for (int v = 0; v < kVolumes; ++v) {
        std::vector<std::int32_t> stack{next};
        parent[next] = 0;
        ++next;
        const std::int32_t end = v == kVolumes - 1 ? kFolders + 1 : next - 1 + kFolders / kVolumes;
        auto close_top = [&] {
            folders[stack.back()] = next - 1 - stack.back();
            stack.pop_back();
        };
        while (next < end) {
            while (stack.size() > 1 && (stack.size() > 8 || random() % 100 < 35)) {
                close_top();
            }
            parent[next] = stack.back();
            level[next] = static_cast<std::int32_t>(stack.size());
            stack.push_back(next);
            ++next;
        }
        while (!stack.empty()) {
            close_top();
        }
    }
    korvane::TableCursor& table = catalogue.folder_table();
    std::string name;
    for (std::int32_t id = 1; id <= kFolders; ++id) {
        if (parent[id] == 0) {
            name = "/mnt/volume" + std::to_string(id);
        } else {
            name = kWords[random() % std::size(kWords)];
            if (random() % 3 != 0) {
                name += ' ';
                name += std::to_string(random() % 5000);
            }
        }
        table.AddNew();
        table.SetInt("Folder ID", id);
        table.SetText("Name", name);
        table.SetInt("Parent ID", parent[id]);
        table.SetDouble("Size", static_cast<double>(random() % 100000000));
        table.SetDouble("Blocks", 8.0);
        table.SetInt("Folders", folders[id]);
        table.SetInt("Files", 20);
        table.SetInt("Level", level[id]);
        table.SetDate("Modify Date", 45000.5);
        table.SetInt("Attributes", 0x10);
        table.SetText("Owner", "user");
        if (!table.Update()) {
            std::fprintf(stderr, "%s\n", table.last_error().c_str());
            return false;
        }
    }
    return catalogue.CloseCatalogueTables() && catalogue.CloseCatalogue();
}

inline const std::string& FolderCatalogue() {
    static const std::string path = [] {
        std::string file = (ScratchDir().dir / "folders.db").string();
        return WriteFolderCatalogue(file) ? file : std::string();
    }();
    return path;
}

}  // namespace folder_bench
