// A real tree for the graph windows: folders of files whose change times
// spread over about seven months, scanned into a fresh catalogue, and a
// result document to run questions on it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "query/query_profile.h"
#include "result/run_query.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane::testing {

class GraphTree {
  public:
    // Five folders below the root, 36 files in all; sizes and change times
    // grow with the file's number, so the volume is filling.
    void Make() {
        namespace fs = std::filesystem;
        root_ = fs::canonical(dir_.path()).string() + "/Shared";
        const char* folders[] = {"Projects", "Photos", "Mail archive", "Scans", "Music"};
        const std::time_t base = 1'755'000'000;  // August 2025
        for (int i = 0; i < 36; ++i) {
            const std::string folder = root_ + "/" + folders[i % 5];
            fs::create_directories(folder);
            const std::string path = folder + "/item " + std::to_string(i) + (i % 2 ? ".pdf" : ".jpg");
            const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::ftruncate(fd, 40'000 + static_cast<off_t>(i) * i * 9'000 * (i % 5 + 1)), 0);
            ::close(fd);
            const std::time_t when = base + static_cast<std::time_t>(i) * 6 * 86'400 + (i * 7919 % 86'400);
            const struct timespec times[2] = {{when, 0}, {when, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        }
        // A file of the root itself, beside the folders.
        const std::string top = root_ + "/readme.txt";
        const int fd = ::open(top.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 40'000'000), 0);
        ::close(fd);
        const struct timespec readme_times[2] = {{base + 100 * 86'400, 0}, {base + 100 * 86'400, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, top.c_str(), readme_times, AT_SYMLINK_NOFOLLOW), 0);

        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(dir_ / "Korvane.db", error)) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(dir_ / "Korvane.db")) << catalogue_.last_error();
        IdCounters counters;
        ScanContext context(catalogue_, folders_, counters, ui_, dir_ / "Event.log");
        ASSERT_TRUE(BuildCatalogue(context, "\"" + root_ + "\"", nullptr));
        root_id_ = folders_.FolderIdOfPath(root_);
        ASSERT_NE(root_id_, 0);
    }

    // Runs the fields for the root folder into document.
    void Run(ResultDocument& document, const std::vector<std::pair<const char*, const char*>>& fields,
             bool subfolders) {
        profile_ = QueryProfile{};
        profile_.query_name = "Graph";
        profile_.include_subfolders = subfolders;
        for (const auto& [table, name] : fields)
            profile_.fields[FindQueryField(profile_, table, name)].in_query = true;
        profile_.sort_column = "Size";
        profile_.sort_direction = "DESC";
        ASSERT_TRUE(CheckQueryShape(profile_));
        document.data.result_name = "Graph";
        document.data.profile = &profile_;
        document.data.current_folder_id = root_id_;
        ASSERT_TRUE(RunQuery(&profile_, document.data, catalogue_, folders_, nullptr));
    }
    // Folders and the root's own files: a result with folder rows.
    void RunFolders(ResultDocument& document) {
        Run(document, {{"Folder", "Name"}, {"Folder", "Size"}, {"File", "Name"}, {"File", "Size"}}, false);
    }
    // Every file below the root with its change time.
    void RunChanges(ResultDocument& document) {
        Run(document, {{"File", "Name"}, {"File", "Size"}, {"File", "Modify Date"}}, true);
    }

    Catalogue& catalogue() { return catalogue_; }
    FolderTree& folders() { return folders_; }
    RecordingUserInterface& ui() { return ui_; }
    const std::string& root() const { return root_; }

  private:
    TempDir dir_;
    RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
    FolderTree folders_;
    QueryProfile profile_;
    std::string root_;
    std::int32_t root_id_ = 0;
};

}  // namespace korvane::testing
