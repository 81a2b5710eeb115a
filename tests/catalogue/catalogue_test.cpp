#include "catalogue/catalogue.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "catalogue/schema.h"
#include "catalogue/sql_statement.h"
#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

// A second, independent connection, as another process would have, to the
// catalogue file or to the catalogue's database on the server.
class RawConnection {
  public:
    explicit RawConnection(const std::string& path, int flags = SQLITE_OPEN_READWRITE) {
        if (IsPostgresUri(path)) {
            std::string error;
            EXPECT_TRUE(pg_.Connect(path, error)) << error;
            return;
        }
        sqlite3* raw = nullptr;
        EXPECT_EQ(sqlite3_open_v2(path.c_str(), &raw, flags, nullptr), SQLITE_OK);
        db_.reset(raw);
    }
    sqlite3* get() const { return db_.get(); }
    DbHandle handle() { return db_ != nullptr ? DbHandle(db_.get()) : DbHandle(&pg_); }
    bool Exec(const std::string& sql) { return ExecuteSql(handle(), sql.c_str()); }
    std::int64_t Count(const std::string& sql) {
        SqlStatement statement;
        if (!statement.Prepare(handle(), sql) || statement.Step() != SQLITE_ROW) {
            return -1;
        }
        return statement.ColumnInt(0);
    }
    std::vector<std::string> Texts(const std::string& sql) {
        std::vector<std::string> values;
        SqlStatement statement;
        if (!statement.Prepare(handle(), sql)) {
            return values;
        }
        while (statement.Step() == SQLITE_ROW) {
            values.emplace_back(statement.ColumnText(0));
        }
        return values;
    }

  private:
    SqliteConnection db_;
    PgConnection pg_;
};

TEST(CatalogueSchema, NewCatalogueHasEveryTableColumnTypeIndexAndStoredQuery) {
    TempDir dir;
    std::string error;
    const std::string path = dir / "Korvane.db";
    ASSERT_TRUE(CreateEmptyCatalogue(path, error)) << error;
    EXPECT_FALSE(std::filesystem::exists(path + ".creating"));
    RawConnection db(path, SQLITE_OPEN_READONLY);

    const std::vector<std::pair<std::string, std::vector<std::string>>> expected = {
        {"Computer",
         {"Computer ID INTEGER", "Name TEXT", "Volume Key INTEGER", "Folder Key INTEGER",
          "File Key INTEGER"}},
        {"Volume",
         {"Volume ID INTEGER", "Folder ID INTEGER", "Root TEXT", "Name TEXT", "Type TEXT", "Owner TEXT",
          "Serial Number INTEGER", "Format TEXT", "Size REAL", "Used REAL", "Free REAL", "Files INTEGER",
          "Folders INTEGER", "VolType INTEGER", "UserName TEXT", "Password TEXT", "Flags INTEGER"}},
        {"Folder",
         {"Folder ID INTEGER", "Name TEXT", "Parent ID INTEGER", "Size REAL", "Blocks REAL",
          "Folders INTEGER", "Files INTEGER", "Level INTEGER", "Create Date REAL", "Modify Date REAL",
          "Access Date REAL", "Attributes INTEGER", "Owner TEXT"}},
        {"File",
         {"File ID INTEGER", "Name TEXT", "Type TEXT", "Size REAL", "Compressed REAL", "Create Date REAL",
          "Modify Date REAL", "Access Date REAL", "Owner TEXT", "Attributes INTEGER", "Parent ID INTEGER"}},
        {"User Volumes",
         {"UV ID INTEGER", "Location TEXT", "UserName TEXT", "Password TEXT", "Flags INTEGER",
          "Port INTEGER"}},
        {"Stored Queries", {"Name TEXT", "SQL TEXT"}},
    };
    for (const auto& [table, columns] : expected) {
        EXPECT_EQ(db.Texts("SELECT name || ' ' || type FROM pragma_table_info('" + table + "')"), columns)
            << table;
    }
    // Identifiers are the tables' integer keys: one lookup per seek.
    for (const char* table : {"Computer", "Volume", "Folder", "File", "User Volumes"}) {
        EXPECT_EQ(
            db.Count(std::string("SELECT count(*) FROM pragma_table_info('") + table + "') WHERE pk = 1"), 1)
            << table;
    }
    EXPECT_EQ(db.Texts("SELECT name FROM pragma_index_info('Folder ID')"),
              std::vector<std::string>{"Parent ID"});
    EXPECT_EQ(db.Texts("SELECT tbl_name FROM sqlite_schema WHERE name = 'Folder ID'"),
              std::vector<std::string>{"File"});
    EXPECT_EQ(db.Texts("SELECT name FROM pragma_index_info('Folder Parent ID')"),
              std::vector<std::string>{"Parent ID"});
    EXPECT_EQ(db.Texts("SELECT Name FROM \"Stored Queries\" ORDER BY Name"),
              (std::vector<std::string>{"FetchFile", "FetchFolder", "FetchVolume"}));
    EXPECT_EQ(db.Count("SELECT count(*) FROM Computer"), 0);
    EXPECT_EQ(db.Texts("PRAGMA journal_mode"), std::vector<std::string>{"wal"});
}

TEST(CatalogueSchema, StoredQueryNamesAreUniqueWithoutRegardToCase) {
    TempDir dir;
    std::string error;
    const std::string path = dir / "Korvane.db";
    ASSERT_TRUE(CreateEmptyCatalogue(path, error)) << error;
    RawConnection db(path);
    EXPECT_FALSE(db.Exec("INSERT INTO \"Stored Queries\"(Name, SQL) VALUES ('fetchvolume', 'x')"));
    EXPECT_TRUE(db.Exec("INSERT INTO \"Stored Queries\"(Name, SQL) VALUES ('Big files', 'x')"));
}

TEST(CatalogueSchema, CreatingNeverReplacesAnExistingFile) {
    TempDir dir;
    const std::string path = dir / "Korvane.db";
    ASSERT_TRUE(WriteFileBytes(path, "precious"));
    std::string error;
    EXPECT_FALSE(CreateEmptyCatalogue(path, error));
    EXPECT_NE(error.find("exists"), std::string::npos);
    EXPECT_EQ(ReadFileBytes(path), "precious");
    EXPECT_FALSE(CreateEmptyCatalogue(dir / "missing-folder/Korvane.db", error));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing-folder"));
}

TEST(CatalogueSchema, ColumnTypesComeFromTheSchemaByName) {
    EXPECT_EQ(ColumnTypeOfName("Name"), ColumnType::Text);
    EXPECT_EQ(ColumnTypeOfName("Size"), ColumnType::Double);
    EXPECT_EQ(ColumnTypeOfName("Compressed"), ColumnType::Double);
    EXPECT_EQ(ColumnTypeOfName("Modify Date"), ColumnType::Date);
    EXPECT_EQ(ColumnTypeOfName("parent id"), ColumnType::Integer);
    EXPECT_EQ(ColumnTypeOfName("Folder ID"), ColumnType::Integer);
    EXPECT_EQ(ColumnTypeOfName("Owner"), ColumnType::Text);
    EXPECT_EQ(ColumnTypeOfName("Port"), ColumnType::Integer);
    EXPECT_EQ(ColumnTypeOfName("Sum(Size)"), ColumnType::None);
}

class OpenRefusal : public ::testing::Test {
  protected:
    // Opening must fail, say why, show nothing, and leave the bytes alone.
    void ExpectRefused(const std::string& path, const std::string& reason_part) {
        const std::string before = ReadFileBytes(path);
        catalogue_.set_busy_timeout_ms(100);
        EXPECT_FALSE(catalogue_.OpenCatalogue(path));
        EXPECT_FALSE(catalogue_.IsOpen());
        EXPECT_NE(catalogue_.last_error().find(reason_part), std::string::npos) << catalogue_.last_error();
        EXPECT_TRUE(ui_.messages.empty());
        EXPECT_EQ(ReadFileBytes(path), before);
        EXPECT_FALSE(catalogue_.OpenCatalogueTables());
    }

    TempDir dir_;
    RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
};

TEST_F(OpenRefusal, MissingFileIsNotCreated) {
    const std::string path = dir_ / "none.db";
    EXPECT_FALSE(catalogue_.OpenCatalogue(path));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(catalogue_.OpenCatalogue(""));
}

TEST_F(OpenRefusal, FileThatIsNoDatabase) {
    const std::string path = dir_ / "notes.db";
    std::string bytes = "This is a text file, not a catalogue.\n";
    bytes.append(8192, 'x');
    ASSERT_TRUE(WriteFileBytes(path, bytes));
    ExpectRefused(path, "not a database");
}

TEST_F(OpenRefusal, DatabaseWithoutTheCatalogueTables) {
    const std::string path = dir_ / "other.db";
    {
        RawConnection db(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        ASSERT_TRUE(db.Exec("CREATE TABLE songs(title TEXT); INSERT INTO songs VALUES ('a')"));
    }
    ExpectRefused(path, "Computer");
}

TEST_F(OpenRefusal, CatalogueMissingAColumn) {
    const std::string path = dir_ / "old.db";
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(path, error));
    {
        RawConnection db(path);
        ASSERT_TRUE(db.Exec("ALTER TABLE File DROP COLUMN Compressed"));
    }
    ExpectRefused(path, "Compressed");
}

TEST_F(OpenRefusal, CatalogueWhoseIdentifiersAreNotItsKeys) {
    const std::string path = dir_ / "keys.db";
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(path, error));
    {
        RawConnection db(path);
        ASSERT_TRUE(
            db.Exec("DROP TABLE Folder; CREATE TABLE Folder(\"Folder ID\" TEXT, Name TEXT, \"Parent ID\" "
                    "INTEGER, Size REAL, Blocks REAL, Folders INTEGER, Files INTEGER, Level INTEGER, "
                    "\"Create Date\" REAL, \"Modify Date\" REAL, \"Access Date\" REAL, Attributes "
                    "INTEGER, Owner TEXT)"));
    }
    ExpectRefused(path, "keyed");
}

TEST_F(OpenRefusal, ReadOnlyCatalogue) {
    const std::string path = dir_ / "Korvane.db";
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(path, error));
    // Permission bits do not stop root; the immutable flag does.
    if (std::system(("chattr +i '" + path + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "the file system cannot make a file immutable";
    }
    ExpectRefused(path, "cannot be written");
    std::system(("chattr -i '" + path + "'").c_str());
}

TEST_F(OpenRefusal, CatalogueLockedByAnotherProgram) {
    const std::string path = dir_ / "Korvane.db";
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(path, error));
    RawConnection other(path);
    ASSERT_TRUE(other.Exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; SELECT count(*) FROM Folder;"));
    ExpectRefused(path, "locked");
    ASSERT_TRUE(other.Exec("COMMIT; PRAGMA locking_mode=NORMAL; SELECT count(*) FROM Folder;"));
}

class CatalogueLifecycle : public EngineCatalogueTest {};

TEST_P(CatalogueLifecycle, TablesOpenOnlyOnAnOpenCatalogueAndCloseOnce) {
    EXPECT_TRUE(catalogue_.CloseCatalogue());
    EXPECT_FALSE(catalogue_.CloseCatalogue());
    EXPECT_FALSE(catalogue_.OpenCatalogueTables());
    EXPECT_TRUE(ui_.messages.empty());
    ASSERT_TRUE(catalogue_.OpenCatalogue(path_));
    EXPECT_FALSE(catalogue_.CloseCatalogueTables());
    OpenTables();
    EXPECT_TRUE(catalogue_.computer_table().IsOpen());
    EXPECT_TRUE(catalogue_.file_table().IsOpen());
    EXPECT_TRUE(catalogue_.CloseCatalogueTables());
    EXPECT_FALSE(catalogue_.file_table().IsOpen());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_P(CatalogueLifecycle, WorkIsCommittedWhenTheTablesCloseAndOthersCanReadMeanwhile) {
    RawConnection other(path_);
    OpenTables();
    for (int i = 1; i <= 1000; ++i) {
        AddFile(i, 1, "file" + std::to_string(i), i);
    }
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"File\""), 0);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"File\""), 1000);
    EXPECT_EQ(other.Count("SELECT sum(\"Size\") FROM \"File\""), 500500);
}

TEST_P(CatalogueLifecycle, ClosingTheCatalogueCommitsOpenTables) {
    OpenTables();
    AddFolder(1, 0, 0, "C:");
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    RawConnection other(path_);
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"Folder\""), 1);
}

TEST_P(CatalogueLifecycle, EngineErrorOpeningTablesIsShownWithTheExclamationIcon) {
    {
        RawConnection other(path_);
        ASSERT_TRUE(other.Exec("DROP TABLE \"File\""));
    }
    EXPECT_FALSE(catalogue_.OpenCatalogueTables());
    ASSERT_EQ(ui_.messages.size(), 1U);
    EXPECT_NE(ui_.messages[0].text.find("File"), std::string::npos) << ui_.messages[0].text;
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::Ok);
    EXPECT_FALSE(catalogue_.TablesOpen());
    EXPECT_FALSE(catalogue_.computer_table().IsOpen());
}

TEST_P(CatalogueLifecycle, LongEngineMessagesAreCutTo511Characters) {
    catalogue_.ShowEngineMessage(std::string(600, 'e'));
    ASSERT_EQ(ui_.messages.size(), 1U);
    EXPECT_EQ(ui_.messages[0].text.size(), 511U);
}

TEST_P(CatalogueLifecycle, IdCountersNeedTheComputerRow) {
    IdCounters counters{7, 8, 9};
    EXPECT_FALSE(catalogue_.ReadIdCounters(counters));
    EXPECT_FALSE(catalogue_.WriteIdCounters(IdCounters{1, 1, 1}));
    EXPECT_EQ(counters.next_volume, 7);
    EXPECT_EQ(counters.next_file, 9);
    RawConnection other(path_);
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"Computer\""), 0);

    OpenTables();
    TableCursor& computer = catalogue_.computer_table();
    ASSERT_TRUE(computer.AddNew());
    computer.SetInt("Computer ID", 1);
    computer.SetText("Name", "host");
    ASSERT_TRUE(computer.Update());
    EXPECT_TRUE(catalogue_.WriteIdCounters(IdCounters{3, 41, 1000001}));
    IdCounters read;
    ASSERT_TRUE(catalogue_.ReadIdCounters(read));
    EXPECT_EQ(read.next_volume, 3);
    EXPECT_EQ(read.next_folder, 41);
    EXPECT_EQ(read.next_file, 1000001);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    EXPECT_EQ(other.Count("SELECT \"Folder Key\" FROM \"Computer\""), 41);
}

TEST_P(CatalogueLifecycle, EmptyingKeepsUserVolumesAndStoredQueries) {
    OpenTables();
    TableCursor& computer = catalogue_.computer_table();
    ASSERT_TRUE(computer.AddNew());
    computer.SetInt("Computer ID", 1);
    ASSERT_TRUE(computer.Update());
    TableCursor& volume = catalogue_.volume_table();
    ASSERT_TRUE(volume.AddNew());
    volume.SetInt("Volume ID", 1);
    ASSERT_TRUE(volume.Update());
    AddFolder(1, 0, 1, "C:");
    AddFolder(2, 1, 0, "Data");
    AddFile(1, 2, "a.txt", 10);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    {
        RawConnection other(path_);
        ASSERT_TRUE(other.Exec("INSERT INTO \"User Volumes\"(\"Location\") VALUES ('ftp:host')"));
    }

    OpenTables();
    ASSERT_TRUE(catalogue_.folder_table().MoveFirst());
    EXPECT_TRUE(catalogue_.EmptyCatalogueTables());
    EXPECT_FALSE(catalogue_.folder_table().MoveNext());
    EXPECT_FALSE(catalogue_.SeekFolderRow(2));
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    RawConnection other(path_);
    for (const char* table : {"Computer", "Volume", "Folder", "File"}) {
        EXPECT_EQ(other.Count(std::string("SELECT count(*) FROM \"") + table + "\""), 0) << table;
    }
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"User Volumes\""), 1);
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"Stored Queries\""), 3);

    // Emptying empty tables, with the tables closed, succeeds and changes nothing.
    EXPECT_TRUE(catalogue_.EmptyCatalogueTables());
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"User Volumes\""), 1);
}

TEST_P(CatalogueLifecycle, IntegrityCheckReportsOrderOrEachBrokenRule) {
    OpenTables();
    std::string report;
    // A catalogue that was never built is in good order: it needs no Computer row yet.
    EXPECT_TRUE(catalogue_.IntegrityCheck(report)) << report;

    TableCursor& computer = catalogue_.computer_table();
    ASSERT_TRUE(computer.AddNew());
    computer.SetInt("Computer ID", 1);
    computer.SetInt("Volume Key", 2);
    computer.SetInt("Folder Key", 3);
    computer.SetInt("File Key", 2);
    ASSERT_TRUE(computer.Update());
    TableCursor& volume = catalogue_.volume_table();
    ASSERT_TRUE(volume.AddNew());
    volume.SetInt("Volume ID", 1);
    volume.SetInt("Folder ID", 1);
    ASSERT_TRUE(volume.Update());
    AddFolder(1, 0, 1, "C:");
    AddFolder(2, 1, 0, "Data");
    AddFile(1, 2, "a.txt", 10);
    EXPECT_TRUE(catalogue_.IntegrityCheck(report)) << report;
    EXPECT_EQ(report, "The catalogue is in good order.\n");

    AddFolder(7, 5, 0, "Lost");
    AddFile(9, 6, "lost.txt", 1);
    EXPECT_FALSE(catalogue_.IntegrityCheck(report));
    EXPECT_NE(report.find("1 folders name a parent folder that does not exist."), std::string::npos)
        << report;
    EXPECT_NE(report.find("1 files name a folder that does not exist."), std::string::npos) << report;
    EXPECT_NE(report.find("counters"), std::string::npos) << report;

    // Rows without the Computer row that numbers them.
    RawConnection other(path_);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    ASSERT_TRUE(other.Exec("DELETE FROM \"Computer\""));
    EXPECT_FALSE(catalogue_.IntegrityCheck(report));
    EXPECT_NE(report.find("The Computer row is missing"), std::string::npos) << report;
}

class Compaction : public CatalogueTest {
  protected:
    void Fill(int files) {
        OpenTables();
        AddFolder(1, 0, 0, "C:");
        for (int i = 1; i <= files; ++i) {
            AddFile(i, 1, "a rather long file name to take some room " + std::to_string(i), i);
        }
        ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    }
};

TEST_F(Compaction, KeepsEveryRowAndGivesBackFreedSpace) {
    Fill(20000);
    {
        RawConnection other(path_);
        ASSERT_TRUE(other.Exec("DELETE FROM File WHERE \"File ID\" > 100"));
    }
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    const auto before = std::filesystem::file_size(path_);
    // A stray copy from an earlier failure is replaced, not an obstacle.
    ASSERT_TRUE(WriteFileBytes(dir_ / "~tmp.db", "left over"));
    std::string error;
    ASSERT_TRUE(CompactCatalogue(path_, &error)) << error;
    EXPECT_LT(std::filesystem::file_size(path_), before / 4);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "~tmp.db"));
    ASSERT_TRUE(catalogue_.OpenCatalogue(path_)) << catalogue_.last_error();
    RawConnection other(path_);
    EXPECT_EQ(other.Count("SELECT count(*) FROM File"), 100);
    EXPECT_EQ(other.Count("SELECT count(*) FROM \"Stored Queries\""), 3);
}

TEST_F(Compaction, CatalogueInUseElsewhereIsLeftAlone) {
    Fill(10);
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    RawConnection other(path_);
    ASSERT_EQ(other.Count("SELECT count(*) FROM File"), 10);
    struct stat before {};
    ASSERT_EQ(::stat(path_.c_str(), &before), 0);
    std::string error;
    EXPECT_FALSE(CompactCatalogue(path_, &error, 100));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    struct stat after {};
    ASSERT_EQ(::stat(path_.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "~tmp.db"));
    EXPECT_EQ(other.Count("SELECT count(*) FROM File"), 10);
}

TEST_F(Compaction, BareFileNameCompactsInTheCurrentFolder) {
    Fill(10);
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir_.path());
    std::string error;
    const bool compacted = CompactCatalogue("Korvane.db", &error);
    std::filesystem::current_path(previous);
    ASSERT_TRUE(compacted) << error;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "~tmp.db"));
    RawConnection other(path_);
    EXPECT_EQ(other.Count("SELECT count(*) FROM File"), 10);
}

TEST_F(Compaction, FailureLeavesTheFileAsItWas) {
    std::string error;
    EXPECT_FALSE(CompactCatalogue(dir_ / "missing.db", &error));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.db"));
    const std::string text = dir_ / "text.db";
    ASSERT_TRUE(WriteFileBytes(text, std::string(5000, 't')));
    EXPECT_FALSE(CompactCatalogue(text, &error));
    EXPECT_EQ(ReadFileBytes(text), std::string(5000, 't'));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "~tmp.db"));
}

INSTANTIATE_ON_BOTH_ENGINES(CatalogueLifecycle);

}  // namespace
}  // namespace korvane::testing
