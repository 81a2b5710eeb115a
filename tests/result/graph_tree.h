// A real tree for graphs: five folders of files whose sizes and change
// times grow with their number over about seven months, and a large file
// of the root, scanned into a fresh catalogue; questions run on it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "result/run_query.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane::testing {

class GraphTree {
  public:
    struct Made {
        std::string name;
        off_t size;
        std::time_t modified;
    };

    void Make() {
        root_ = std::filesystem::canonical(dir_.path()).string() + "/Shared";
        const char* folders[] = {"Projects", "Photos", "Mail archive", "Scans", "Music"};
        const std::time_t base = 1'755'000'000;  // August 2025
        for (int i = 0; i < 36; ++i) {
            files_.push_back(
                {std::string(folders[i % 5]) + "/item " + std::to_string(i) + (i % 2 ? ".pdf" : ".jpg"),
                 40'000 + static_cast<off_t>(i) * i * 9'000 * (i % 5 + 1),
                 base + static_cast<std::time_t>(i) * 6 * 86'400 + (i * 7919 % 86'400)});
        }
        files_.push_back({"readme.txt", 40'000'000, base + 100 * 86'400});
        for (const Made& file : files_) {
            const std::string path = root_ + "/" + file.name;
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::ftruncate(fd, file.size), 0);
            ::close(fd);
            const struct timespec times[2] = {{file.modified, 0}, {file.modified, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        }
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(dir_ / "Korvane.db", error)) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(dir_ / "Korvane.db")) << catalogue_.last_error();
        IdCounters counters;
        ScanContext context(catalogue_, folders_, counters, ui_, dir_ / "Event.log");
        ASSERT_TRUE(BuildCatalogue(context, "\"" + root_ + "\"", nullptr));
        ASSERT_NE(folders_.FolderIdOfPath(root_), 0);
    }

    // Runs the fields for the root folder into document, largest first.
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
        document.data.current_folder_id = folders_.FolderIdOfPath(root_);
        ASSERT_TRUE(RunQuery(&profile_, document.data, catalogue_, folders_, nullptr));
    }
    // The five folders and readme.txt: a result with folder rows.
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
    const std::vector<Made>& files() const { return files_; }

  private:
    TempDir dir_;
    RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
    FolderTree folders_;
    QueryProfile profile_;
    std::string root_;
    std::vector<Made> files_;
};

}  // namespace korvane::testing
