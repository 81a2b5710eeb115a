// A real tree scanned into a real catalogue, the context the file actions
// work in, and the check that the catalogue equals a fresh scan of the same
// tree: every folder and file row by path, the folder totals, and the
// numbering rule (the folders below X are exactly X+1 to X+Folders(X)).
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "actions/file_actions.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"
#include "owners/owner_resolver.h"
#include "scan/volume_scanner.h"
#include "support/catalogue_engines.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "tree_helpers.h"

namespace korvane::testing {

struct FolderFacts {
    double size = 0, blocks = 0;
    std::int64_t files = 0, folders = 0, level = 0, attributes = 0;
    std::string owner;
    std::optional<double> modify;
    auto tie() const { return std::tie(size, blocks, files, folders, level, attributes, owner, modify); }
    bool operator==(const FolderFacts& other) const { return tie() == other.tie(); }
};

struct FileFacts {
    double size = 0, compressed = 0;
    std::int64_t attributes = 0;
    std::string owner;
    std::optional<std::string> type;
    std::optional<double> modify, create;
    auto tie() const { return std::tie(size, compressed, attributes, owner, type, modify, create); }
    bool operator==(const FileFacts& other) const { return tie() == other.tie(); }
};

inline std::ostream& operator<<(std::ostream& out, const FolderFacts& f) {
    out.precision(17);
    return out << "{size " << f.size << " blocks " << f.blocks << " files " << f.files << " folders "
               << f.folders << " level " << f.level << " attr " << f.attributes << " owner " << f.owner
               << " modify " << f.modify.value_or(-1) << "}";
}
inline std::ostream& operator<<(std::ostream& out, const FileFacts& f) {
    out.precision(17);
    return out << "{size " << f.size << " compressed " << f.compressed << " attr " << f.attributes
               << " owner " << f.owner << " type " << f.type.value_or("(null)") << " modify "
               << f.modify.value_or(-1) << "}";
}

struct CatalogueByPath {
    std::map<std::string, FolderFacts> folders;  // path below the volume root
    std::map<std::string, FileFacts> files;
    std::vector<std::string> numbering_faults;
    std::map<std::string, std::pair<std::int64_t, std::int64_t>> volume_counts;  // Root: Files, Folders
};

inline std::optional<double> OptionalDouble(SqlStatement& s, int column) {
    if (s.ColumnType(column) == SQLITE_NULL) {
        return std::nullopt;
    }
    return s.ColumnDouble(column);
}

inline CatalogueByPath ReadCatalogueByPath(DbHandle db) {
    CatalogueByPath result;
    struct Row {
        std::int64_t parent = 0;
        std::string name;
    };
    std::map<std::int64_t, Row> rows;
    std::map<std::int64_t, FolderFacts> facts;
    SqlStatement folders;
    EXPECT_TRUE(folders.Prepare(
        db,
        "SELECT \"Folder ID\", \"Parent ID\", \"Name\", \"Size\", \"Blocks\", \"Files\", "
        "\"Folders\", \"Level\", \"Attributes\", \"Owner\", \"Modify Date\" FROM \"Folder\""));
    while (folders.Step() == SQLITE_ROW) {
        const std::int64_t id = folders.ColumnInt(0);
        rows[id] = Row{folders.ColumnInt(1), std::string(folders.ColumnText(2))};
        FolderFacts& f = facts[id];
        f.size = folders.ColumnDouble(3);
        f.blocks = folders.ColumnDouble(4);
        f.files = folders.ColumnInt(5);
        f.folders = folders.ColumnInt(6);
        f.level = folders.ColumnInt(7);
        f.attributes = folders.ColumnInt(8);
        f.owner = std::string(folders.ColumnText(9));
        f.modify = OptionalDouble(folders, 10);
    }
    std::map<std::int64_t, std::string> paths;
    const std::function<std::string(std::int64_t)> path_of = [&](std::int64_t id) -> std::string {
        if (auto it = paths.find(id); it != paths.end()) {
            return it->second;
        }
        const Row& row = rows[id];
        std::string path = row.parent == 0 ? "" : path_of(row.parent) + "/" + row.name;
        paths[id] = path;
        return path;
    };
    for (const auto& [id, f] : facts) {
        result.folders[path_of(id)] = f;
        // Every folder below X lies in X+1 .. X+Folders(X), and there are exactly Folders(X) of them.
        std::int64_t below = 0;
        for (const auto& [other, row] : rows) {
            std::int64_t up = row.parent;
            while (up != 0 && up != id) {
                up = rows.count(up) != 0 ? rows[up].parent : 0;
            }
            if (up == id && other != id) {
                ++below;
                if (other <= id || other > id + f.folders) {
                    result.numbering_faults.push_back(path_of(other) + " lies outside its ancestor's range");
                }
            }
        }
        if (below != f.folders) {
            result.numbering_faults.push_back(path_of(id) + " counts " + std::to_string(f.folders) +
                                              " folders, has " + std::to_string(below));
        }
    }
    SqlStatement files;
    EXPECT_TRUE(
        files.Prepare(db,
                      "SELECT \"Parent ID\", \"Name\", \"Size\", \"Compressed\", \"Attributes\", \"Owner\", "
                      "\"Type\", \"Modify Date\", \"Create Date\" FROM \"File\""));
    while (files.Step() == SQLITE_ROW) {
        FileFacts f;
        f.size = files.ColumnDouble(2);
        f.compressed = files.ColumnDouble(3);
        f.attributes = files.ColumnInt(4);
        f.owner = std::string(files.ColumnText(5));
        if (files.ColumnType(6) != SQLITE_NULL) {
            f.type = std::string(files.ColumnText(6));
        }
        f.modify = OptionalDouble(files, 7);
        f.create = OptionalDouble(files, 8);
        const std::int64_t parent = files.ColumnInt(0);
        const std::string key =
            (rows.count(parent) != 0 ? path_of(parent) : "<no folder " + std::to_string(parent) + ">") + "/" +
            std::string(files.ColumnText(1));
        result.files[key] = f;
    }
    return result;
}

// The recording interface that also answers name conflicts, in order, and
// keeps what it was asked.
class AnsweringUserInterface : public RecordingUserInterface {
  public:
    std::deque<NameConflictReply> conflict_answers;
    std::vector<std::string> conflicts;  // the targets asked about

    NameConflictReply AskNameConflict(std::string_view, std::string_view target, bool) override {
        conflicts.emplace_back(target);
        if (conflict_answers.empty()) {
            return {};
        }
        NameConflictReply reply = conflict_answers.front();
        conflict_answers.pop_front();
        return reply;
    }
};

// The catalogue is a file, or (a fixture made with OnBothEngines) a
// database of the test server; the fresh scans it is compared with are
// always files.
class FileActionTestBase : public ::testing::Test {
  protected:
    void TearDown() override {
        if (engine() == CatalogueEngine::Postgres && !database_.empty()) {
            catalogue_.CloseCatalogue();
            std::string error;
            DropPostgresDatabase(database_, error);
        }
    }

    virtual CatalogueEngine engine() const { return CatalogueEngine::Sqlite; }

    void SetUp() override {
        base_ = std::filesystem::canonical(dir_.path()).string();
        root_ = base_ + "/vol";
        std::filesystem::create_directories(root_);
        std::filesystem::create_directories(base_ + "/data");
    }

    std::string At(const std::string& relative) const { return root_ + "/" + relative; }
    void MakeFile(const std::string& relative, std::size_t bytes, char fill = 'k') {
        std::filesystem::create_directories(std::filesystem::path(At(relative)).parent_path());
        ASSERT_TRUE(WriteFileBytes(At(relative), std::string(bytes, fill))) << relative;
    }
    void MakeFolder(const std::string& relative) { std::filesystem::create_directories(At(relative)); }

    // Scans root_ into the fixture's catalogue.
    void Scan() {
        std::string error;
        database_ = FreshCatalogue(engine(), base_, error);
        ASSERT_FALSE(database_.empty()) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(database_)) << catalogue_.last_error();
        ScanContext scan{catalogue_, tree_, counters_, silent_, ""};
        ASSERT_TRUE(BuildCatalogue(scan, "\"" + root_ + "\"", nullptr));
    }

    // The catalogue after the actions equals a fresh scan of the same tree.
    void ExpectMatchesFreshScan() {
        const std::string fresh_path = base_ + "/Fresh" + std::to_string(++fresh_scans_) + ".db";
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(fresh_path, error)) << error;
        Catalogue fresh(silent_);
        FolderTree fresh_tree;
        IdCounters fresh_counters;
        ASSERT_TRUE(fresh.OpenCatalogue(fresh_path));
        ScanContext scan{fresh, fresh_tree, fresh_counters, silent_, ""};
        ASSERT_TRUE(BuildCatalogue(scan, "\"" + root_ + "\"", nullptr));
        CatalogueByPath expected = ReadCatalogueByPath(fresh.handle());
        CatalogueByPath actual = ReadCatalogueByPath(catalogue_.connection());
        // The volume's root folder carries the time of its scan.
        expected.folders[""].modify = actual.folders[""].modify;
        EXPECT_EQ(actual.folders, expected.folders);
        EXPECT_EQ(actual.files, expected.files);
        EXPECT_EQ(actual.volume_counts, expected.volume_counts);
        EXPECT_TRUE(actual.numbering_faults.empty()) << ::testing::PrintToString(actual.numbering_faults);
        // The tree in memory agrees with the rows: every folder is found by its path under its identifier.
        IdCounters stored;
        ASSERT_TRUE(catalogue_.ReadIdCounters(stored));
        EXPECT_EQ(stored.next_folder, counters_.next_folder);
        SqlStatement ids;
        ASSERT_TRUE(ids.Prepare(catalogue_.connection(), "SELECT \"Folder ID\" FROM \"Folder\""));
        while (ids.Step() == SQLITE_ROW) {
            const auto id = static_cast<std::int32_t>(ids.ColumnInt(0));
            std::string path;
            ASSERT_TRUE(tree_.FolderPathOfId(id, path)) << id;
            if (path.size() > 1 && path.back() == '/') {
                path.pop_back();
            }
            EXPECT_EQ(tree_.FolderIdOfPath(path), id) << path;
            EXPECT_LT(id, counters_.next_folder);
        }
    }

    std::int32_t FileId(const std::string& relative) {
        const auto slash = relative.rfind('/');
        const std::string folder = slash == std::string::npos ? root_ : At(relative.substr(0, slash));
        return FileIdByName(catalogue_, tree_.FolderIdOfPath(folder),
                            slash == std::string::npos ? relative : relative.substr(slash + 1));
    }

    // A selection of rows of the result shown for folder (a path below root_), by name.
    SelectionList Select(const std::string& folder, std::initializer_list<std::string> names) {
        ResultSelection selection;
        selection.result_path = folder.empty() ? root_ : At(folder);
        for (const std::string& name : names) {
            const std::string path = selection.result_path + "/" + name;
            selection.rows.push_back(
                ResultSelectionRow{name, "", IsFolder(path) ? tree_.FolderIdOfPath(path) : 0});
        }
        SelectionList list;
        EXPECT_TRUE(BuildSelectionList(selection, {}, catalogue_, tree_, ui_, list));
        return list;
    }

    TempDir dir_;
    std::string base_, root_, database_;
    ScopedEnvironment trash_home_{"XDG_DATA_HOME", (dir_ / "data")};
    AnsweringUserInterface ui_;
    SilentUserInterface silent_;
    Catalogue catalogue_{ui_};
    FolderTree tree_;
    IdCounters counters_;
    OwnerResolver owners_;
    FileActionContext context_{catalogue_, tree_, counters_, ui_, owners_, {}, ""};
    int fresh_scans_ = 0;
};

using FileActionTest = FileActionTestBase;
// The file actions' catalogue upkeep, checked on both engines.
using FileActionEngineTest = OnBothEngines<FileActionTestBase>;

}  // namespace korvane::testing
