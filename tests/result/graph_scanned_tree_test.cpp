// Time lines of a real scanned tree whose files were changed over several
// months, checked against sums computed here from the files themselves.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "catalogue/day_number.h"
#include "query/query_profile.h"
#include "result/graph_series.h"
#include "result/run_query.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

struct TreeFile {
    std::string name;
    off_t size;
    std::time_t modified;
};

void MakeFile(const std::string& path, const TreeFile& file) {
    fs::create_directories(fs::path(path).parent_path());
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::ftruncate(fd, file.size), 0);
    ::close(fd);
    const struct timespec times[2] = {{file.modified, 0}, {file.modified, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(GraphOfScannedTree, TimeLineSumsAgreeWithTheFiles) {
    testing::TempDir dir;
    const std::string root = fs::canonical(dir.path()).string() + "/tree";
    const std::time_t base = 1'760'000'000;  // October 2025
    std::vector<TreeFile> files;
    for (int i = 0; i < 24; ++i) {
        // Over about 200 days, unevenly, in three folders.
        const std::string folder = i % 3 == 0 ? "photos/" : i % 3 == 1 ? "docs/old/" : "logs/";
        files.push_back({folder + "file" + std::to_string(i) + ".dat",
                         static_cast<off_t>(1000 + i * i * 7919),
                         base + static_cast<std::time_t>(i * i) * 30'000 + i * 3'701});
    }
    for (const TreeFile& file : files)
        MakeFile(root + "/" + file.name, file);

    const std::string db = dir / "Korvane.db";
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(db, error)) << error;
    testing::RecordingUserInterface ui;
    ui.interactive = false;
    Catalogue catalogue(ui);
    ASSERT_TRUE(catalogue.OpenCatalogue(db)) << catalogue.last_error();
    FolderTree tree;
    IdCounters counters;
    ScanContext context(catalogue, tree, counters, ui, dir / "Event.log");
    ASSERT_TRUE(BuildCatalogue(context, "\"" + root + "\"", nullptr));

    QueryProfile profile;
    profile.query_name = "Changes";
    profile.include_subfolders = true;
    for (const char* name : {"Name", "Size", "Modify Date"})
        profile.fields[FindQueryField(profile, "File", name)].in_query = true;
    ASSERT_TRUE(CheckQueryShape(profile));
    ResultDocument document;
    document.data.result_name = "Changes";
    document.data.profile = &profile;
    document.data.current_folder_id = tree.FolderIdOfPath(root);
    ASSERT_NE(document.data.current_folder_id, 0);
    ASSERT_TRUE(RunQuery(&profile, document.data, catalogue, tree, nullptr));
    ASSERT_EQ(document.data.row_count, 24);

    // The same sums from the files: seconds from the earliest change, in
    // months of 31 days (about 200 days over 25 points: ideal 691,200 s).
    auto day_of = [](std::time_t t) { return DayNumberFromUnix(t); };
    double first = day_of(files[0].modified), last = first;
    for (const TreeFile& file : files) {
        first = std::min(first, day_of(file.modified));
        last = std::max(last, day_of(file.modified));
    }
    const std::int64_t span = std::llround((last - first) * 86'400);
    ASSERT_GT(span / 25, 604'800);
    ASSERT_LT(span / 25, 2'678'400);
    const std::int64_t width = 2'678'400;
    const int points = static_cast<int>(span / width) + 2;
    std::vector<double> sums(points, 0.0);
    std::vector<std::int32_t> counts(points, 0);
    for (const TreeFile& file : files) {
        const std::int64_t k = std::llround((day_of(file.modified) - first) * 86'400) / width;
        sums[k] += static_cast<double>(file.size);
        ++counts[k];
    }

    document.display_mode = kDisplayLine;
    GraphSeries line;
    ASSERT_TRUE(BuildGraphSeries(document, catalogue, 25, ui, line));
    EXPECT_EQ(line.computed_title, "Bytes Changed per Month");
    EXPECT_EQ(line.points, points);
    EXPECT_EQ(line.values, sums);
    EXPECT_EQ(line.counts, counts);

    document.display_mode = kDisplayForecast;
    GraphSeries forecast;
    ASSERT_TRUE(BuildGraphSeries(document, catalogue, 25, ui, forecast));
    std::vector<double> cumulative = sums;
    for (int k = 1; k < points; ++k)
        cumulative[k] += cumulative[k - 1];
    EXPECT_EQ(forecast.values, cumulative);
    // The sizes grow with the square of the number and the dates too: the
    // volume is filling, so the forecast names a date.
    EXPECT_GT(forecast.trend_slope, 0.0);
    EXPECT_NE(document.forecast_text.find("drive could be full on"), std::string::npos)
        << document.forecast_text;

    // The bars are the rows in the answer's order (largest first here).
    document.display_mode = kDisplayBar;
    profile.sort_column = "Size";
    profile.sort_direction = "DESC";
    ASSERT_TRUE(RunQuery(&profile, document.data, catalogue, tree, nullptr));
    GraphSeries bar;
    ASSERT_TRUE(BuildGraphSeries(document, catalogue, 25, ui, bar));
    std::vector<TreeFile> largest_first = files;
    std::stable_sort(largest_first.begin(), largest_first.end(),
                     [](const TreeFile& a, const TreeFile& b) { return a.size > b.size; });
    ASSERT_EQ(bar.points, 24);
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(bar.values[i], static_cast<double>(largest_first[i].size)) << i;
        EXPECT_EQ(bar.legend_texts[i], fs::path(largest_first[i].name).filename().string()) << i;
    }
}

}  // namespace
}  // namespace korvane
