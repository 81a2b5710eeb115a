// From a real tree to a CSV file: the tree is scanned into a fresh catalogue,
// a query is saved as a query file and read back as an unattended run does,
// run for one folder and exported; the figures and the exported rows are
// checked against a walk of the tree itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <filesystem>
#include <set>
#include <tuple>

#include "catalogue/day_number.h"
#include "catalogue/schema.h"
#include "query/query_execute.h"
#include "query/query_file.h"
#include "result/csv_reader.h"
#include "result/export_csv.h"
#include "result/result_file.h"
#include "result/run_query.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::ParseCsv;
using testing::ReadFileBytes;

void MakeFile(const std::string& path, off_t size, std::time_t modified) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << path;
    ASSERT_EQ(::ftruncate(fd, size), 0);
    const struct timespec times[2] = {{modified, 0}, {modified, 0}};
    ASSERT_EQ(::futimens(fd, times), 0);
    ::close(fd);
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

TEST(ScannedTree, QueryFileRunAndExportAgreeWithTheTree) {
    testing::TempDir dir;
    const std::string root = fs::canonical(dir.path()).string() + "/tree";
    const std::time_t now = std::time(nullptr);
    const std::time_t day = 86400;
    const std::vector<std::tuple<std::string, off_t, std::time_t>> files = {
        {"docs/report.doc", 2'000'000, now - 2 * day},
        {"docs/notes, draft.TXT", 5'000, now - 10 * day},
        {"docs/say \"hi\".doc", 7'000'000, now - 29 * day},
        {"docs/old/archive.doc", 3'000'000, now - 400 * day},
        {"docs/old/deep/plan.txt", 12'000, now - 3 * day},
        {"docs/old/deep/huge.doc", 50'000'000, now - 1 * day},
        {"docs/tiny.doc", 10, now - 1 * day},
        {"docs/image.png", 2'000'000, now - 1 * day},
        {"other/outside.doc", 2'000'000, now - 1 * day},
        {"top.txt", 4'000, now - 1 * day},
    };
    for (const auto& [name, size, modified] : files) {
        fs::create_directories(fs::path(root + "/" + name).parent_path());
        MakeFile(root + "/" + name, size, modified);
    }

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

    // The query is saved and read back as the script interpreter reads it.
    QueryProfile saved;
    saved.database_path = db;
    saved.initial_folder = root + "/docs";
    saved.include_subfolders = true;
    saved.sort_column = "Name";
    auto add = [&](const char* table, const char* name, const char* value_text = "") {
        QueryField& field = saved.fields[FindQueryField(saved, table, name)];
        field.in_query = true;
        field.value_text = value_text;
    };
    add("Folder", "Name");
    add("Folder", "Size");
    add("File", "Name", "Include  \"*.doc\",\"*.txt\"");
    add("File", "Size", "Include  1K - 10M ");
    add("File", "Modify Date", "Include Previous  30 Days");
    fs::create_directories(dir / "Q");
    const std::string query_path = dir / "Q/Recent Documents.qry";
    ASSERT_TRUE(WriteQueryFile(saved, query_path));

    QueryProfile profile;
    ASSERT_TRUE(ReadQueryFile(profile, query_path, tree, false, &error)) << error;
    ASSERT_TRUE(CheckQueryShape(profile));
    ASSERT_TRUE(CheckExecute(profile, tree).ok);
    const std::optional<std::string> result_path = ResultPathOfQuery(query_path);
    ASSERT_TRUE(result_path.has_value());

    ResultDocument document;
    document.data.result_name = DocumentNameOfPath(*result_path);
    EXPECT_EQ(document.data.result_name, "Recent Documents");
    document.data.current_folder_id = profile.initial_folder_id;
    document.data.profile = &profile;
    ASSERT_TRUE(RunQuery(&profile, document.data, catalogue, tree, nullptr));

    // The same question asked of the tree.
    const std::time_t boundary = now - 30 * day;
    std::set<std::tuple<std::string, std::string, std::string>> expected;  // name, size, folder
    std::int32_t folders_below = 0;
    std::uint64_t total = 0;
    std::time_t earliest = 0, latest = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root + "/docs")) {
        if (entry.is_directory()) {
            ++folders_below;
            continue;
        }
        struct stat info {};
        ASSERT_EQ(::lstat(entry.path().c_str(), &info), 0);
        const std::string name = entry.path().filename().string();
        const std::string lower = Lower(name);
        const bool named = lower.ends_with(".doc") || lower.ends_with(".txt");
        const bool sized = info.st_size >= 1000 && info.st_size <= 10'000'000;
        // The criterion reads the run time when the statement is built, a
        // moment after `now`: no file sits near either end.
        const bool recent = info.st_mtime >= boundary && info.st_mtime <= now;
        if (!(named && sized && recent))
            continue;
        expected.emplace(name, std::to_string(info.st_size), entry.path().parent_path().string());
        total += static_cast<std::uint64_t>(info.st_size);
        if (earliest == 0 || info.st_mtime < earliest)
            earliest = info.st_mtime;
        latest = std::max(latest, info.st_mtime);
    }
    ASSERT_EQ(expected.size(), 4u);
    EXPECT_EQ(document.data.row_count, folders_below + 4);
    EXPECT_EQ(document.data.total_size, total);
    EXPECT_EQ(document.data.earliest_date, DayNumberFromUnix(earliest));
    EXPECT_EQ(document.data.latest_date, DayNumberFromUnix(latest));

    // The export holds the same files, each with its folder's path.
    const std::string csv = dir / "recent.csv";
    ASSERT_TRUE(ExportCsv(document.data, csv, catalogue, tree, nullptr));
    const std::vector<std::vector<std::string>> rows = ParseCsv(ReadFileBytes(csv));
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (std::vector<std::string>{"Name", "Size", "Path", "Modify Date"}));
    std::set<std::tuple<std::string, std::string, std::string>> exported;
    std::int32_t folder_rows = 0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 4u);
        if (rows[i][3].empty()) {
            ++folder_rows;  // folders carry no modify date in this answer
            continue;
        }
        std::string folder = rows[i][2];
        if (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        exported.emplace(rows[i][0], rows[i][1], folder);
    }
    EXPECT_EQ(folder_rows, folders_below);
    EXPECT_EQ(exported, expected);

    // The result file beside the query names the folder it ran for.
    ASSERT_TRUE(WriteResultFile(document, *result_path, catalogue, tree));
    ResultDocument reopened;
    ASSERT_TRUE(ReadResultFile(reopened, *result_path, tree));
    EXPECT_EQ(reopened.data.current_folder_id, profile.initial_folder_id);
}

}  // namespace
}  // namespace korvane
