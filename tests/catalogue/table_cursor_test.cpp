#include "catalogue/table_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/day_number.h"
#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

class TableCursorTest : public OnBothEngines<CatalogueTest> {
  protected:
    // A row of every table with every column set, and a folder and a file
    // for each hostile name.
    void WriteEveryColumn(double when);
    // What WriteEveryColumn wrote, read back.
    void CheckEveryColumn(double when);
};

// Names as a Linux file system may hand them over: quotes, brackets, Jet
// wildcards, a CR LF, a NUL-free invalid UTF-8 byte, non-ASCII letters.
const std::vector<std::string> kHostileNames = {
    "plain.txt",
    "with \"quotes\" and 'single'.doc",
    "[bracket]#hash*star?.log",
    "line\r\nbreak",
    "tab\tand\\backslash\\N",
    std::string("bad\xff\xfe") + "utf8",
    "Ελληνικά ✓ 日本.txt",
    "",
};

void TableCursorTest::WriteEveryColumn(double when) {
    TableCursor& computer = catalogue_.computer_table();
    ASSERT_TRUE(computer.AddNew());
    computer.SetInt("Computer ID", 1);
    computer.SetText("Name", "workstation");
    computer.SetInt("Volume Key", 2);
    computer.SetInt("Folder Key", 3);
    computer.SetInt("File Key", 4);
    ASSERT_TRUE(computer.Update());

    TableCursor& volume = catalogue_.volume_table();
    ASSERT_TRUE(volume.AddNew());
    volume.SetInt("Volume ID", 5);
    volume.SetInt("Folder ID", 6);
    volume.SetText("Root", "\\\\srv\\share");
    volume.SetText("Name", "share");
    volume.SetText("Type", "Network Drive");
    volume.SetText("Owner", "srv");
    volume.SetInt("Serial Number", -559038737);
    volume.SetText("Format", "cifs");
    volume.SetDouble("Size", 8.0e12);
    volume.SetDouble("Used", 5.5e12);
    volume.SetDouble("Free", 2.5e12);
    volume.SetInt("Files", 1000000);
    volume.SetInt("Folders", 50000);
    volume.SetInt("VolType", 2);
    volume.SetText("UserName", "anonymous");
    volume.SetText("Password", "p\"w");
    volume.SetInt("Flags", 1);
    ASSERT_TRUE(volume.Update());

    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        TableCursor& folder = catalogue_.folder_table();
        ASSERT_TRUE(folder.AddNew());
        folder.SetInt("Folder ID", static_cast<std::int32_t>(10 + i));
        folder.SetText("Name", kHostileNames[i]);
        folder.SetInt("Parent ID", 9);
        folder.SetDouble("Size", 4294967296.0 * 3 + 7);
        folder.SetDouble("Blocks", 12.0);
        folder.SetInt("Folders", 0);
        folder.SetInt("Files", 3);
        folder.SetInt("Level", 2);
        folder.SetDate("Modify Date", when);
        folder.SetInt("Attributes", 0x10 | 0x800);
        folder.SetText("Owner", "(Account Deleted)");
        ASSERT_TRUE(folder.Update()) << folder.last_error();

        TableCursor& file = catalogue_.file_table();
        ASSERT_TRUE(file.AddNew());
        file.SetInt("File ID", static_cast<std::int32_t>(100 + i));
        file.SetText("Name", kHostileNames[i]);
        file.SetText("Type", "txt");
        file.SetDouble("Size", 5000000000.0);
        file.SetDouble("Compressed", 4096.0);
        file.SetDate("Create Date", when);
        file.SetDate("Modify Date", when + 1.0);
        file.SetDate("Access Date", when + 2.0);
        file.SetText("Owner", "root");
        file.SetInt("Attributes", 0x21);
        file.SetInt("Parent ID", static_cast<std::int32_t>(10 + i));
        ASSERT_TRUE(file.Update()) << file.last_error();
    }
}

void TableCursorTest::CheckEveryColumn(double when) {
    std::int32_t integer = 0;
    double number = 0.0;
    std::string text;
    TableCursor& computer = catalogue_.computer_table();
    TableCursor& volume = catalogue_.volume_table();
    ASSERT_TRUE(computer.MoveFirst());
    EXPECT_TRUE(computer.GetText("Name", text));
    EXPECT_EQ(text, "workstation");
    EXPECT_TRUE(computer.GetInt("File Key", integer));
    EXPECT_EQ(integer, 4);
    EXPECT_FALSE(computer.MoveNext());

    ASSERT_TRUE(volume.MoveFirst());
    EXPECT_TRUE(volume.GetInt("Serial Number", integer));
    EXPECT_EQ(static_cast<std::uint32_t>(integer), 0xDEADBEEFU);
    EXPECT_TRUE(volume.GetDouble("Size", number));
    EXPECT_EQ(number, 8.0e12);
    EXPECT_TRUE(volume.GetText("Password", text));
    EXPECT_EQ(text, "p\"w");
    EXPECT_TRUE(volume.GetText("Root", text));
    EXPECT_EQ(text, "\\\\srv\\share");

    for (std::size_t i = 0; i < kHostileNames.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(catalogue_.SeekFolderRow(static_cast<std::int32_t>(10 + i)));
        TableCursor& folder = catalogue_.folder_table();
        EXPECT_TRUE(folder.GetText("Name", text));
        EXPECT_EQ(text, kHostileNames[i]);
        EXPECT_TRUE(folder.GetDouble("Size", number));
        EXPECT_EQ(number, 4294967296.0 * 3 + 7);
        EXPECT_TRUE(folder.GetDate("Modify Date", number));
        EXPECT_EQ(number, when);
        EXPECT_EQ(folder.Field("Modify Date")->kind, FieldKind::Date);
        EXPECT_TRUE(folder.IsNull("Create Date"));
        EXPECT_FALSE(folder.GetDate("Create Date", number));
        EXPECT_TRUE(folder.GetInt("Attributes", integer));
        EXPECT_EQ(integer, 0x810);

        ASSERT_TRUE(catalogue_.SeekFileRow(static_cast<std::int32_t>(100 + i)));
        TableCursor& file = catalogue_.file_table();
        EXPECT_TRUE(file.GetText("Name", text));
        EXPECT_EQ(text, kHostileNames[i]);
        EXPECT_TRUE(file.GetDouble("Size", number));
        EXPECT_EQ(number, 5000000000.0);
        EXPECT_TRUE(file.GetDate("Access Date", number));
        EXPECT_EQ(number, when + 2.0);
        EXPECT_TRUE(file.GetInt("Parent ID", integer));
        EXPECT_EQ(integer, static_cast<std::int32_t>(10 + i));
    }
}

TEST_P(TableCursorTest, EveryTableRoundTripsEveryColumn) {
    double when = 0.0;
    ASSERT_TRUE(DayNumberFromCivil(2024, 2, 29, 23, 59, 58, when));
    // A build writes its rows in its own way (on the server through COPY).
    for (const bool in_a_build : {false, true}) {
        SCOPED_TRACE(in_a_build ? "written by a build" : "written in place");
        if (in_a_build) {
            ASSERT_TRUE(catalogue_.BeginRebuild()) << catalogue_.last_error();
        }
        OpenTables();
        WriteEveryColumn(when);
        ASSERT_TRUE(catalogue_.CloseCatalogueTables());
        if (in_a_build) {
            ASSERT_TRUE(catalogue_.FinishRebuild()) << catalogue_.last_error();
        }
        ASSERT_TRUE(catalogue_.CloseCatalogue());
        ASSERT_TRUE(catalogue_.OpenCatalogue(path_));
        OpenTables();
        CheckEveryColumn(when);
        ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    }
}

TEST_P(TableCursorTest, MovesInIdentifierOrderAndSeeksByEitherIndex) {
    OpenTables();
    for (std::int32_t id : {30, 10, 20}) {
        AddFile(id, id / 10, "f" + std::to_string(id), id);
    }
    AddFile(40, 2, "second in folder 2", 40);
    TableCursor& file = catalogue_.file_table();
    std::vector<std::int32_t> order;
    for (bool more = file.MoveFirst(); more; more = file.MoveNext()) {
        std::int32_t id = 0;
        ASSERT_TRUE(file.GetInt("File ID", id));
        order.push_back(id);
    }
    EXPECT_EQ(order, (std::vector<std::int32_t>{10, 20, 30, 40}));
    EXPECT_TRUE(file.IsEOF());

    EXPECT_FALSE(file.SetCurrentIndex("No Such Index"));
    ASSERT_TRUE(file.SetCurrentIndex("Folder ID"));
    ASSERT_TRUE(file.Seek(2));
    std::int32_t id = 0;
    file.GetInt("File ID", id);
    EXPECT_EQ(id, 20);
    EXPECT_FALSE(file.Seek(7));
    EXPECT_TRUE(file.IsEOF());
    // SeekFileRow goes back to the identifier index.
    ASSERT_TRUE(catalogue_.SeekFileRow(2 * 20));
    EXPECT_EQ(file.current_index(), "PrimaryKey");
    file.GetInt("Parent ID", id);
    EXPECT_EQ(id, 2);
    EXPECT_FALSE(catalogue_.SeekFileRow(2));
}

TEST_P(TableCursorTest, EditingChangesOnlyTheCurrentRowAndMayRenumberIt) {
    OpenTables();
    AddFolder(1, 0, 2, "C:");
    AddFolder(2, 1, 0, "A");
    AddFolder(3, 1, 0, "B");
    TableCursor& folder = catalogue_.folder_table();
    EXPECT_FALSE(folder.SetText("Name", "nothing is being edited"));
    ASSERT_TRUE(catalogue_.SeekFolderRow(3));
    ASSERT_TRUE(folder.Edit());
    EXPECT_TRUE(folder.IsEditing());
    folder.SetInt("Folder ID", 4);
    folder.SetText("Name", "B2");
    EXPECT_FALSE(folder.SetText("No Such Field", "x"));
    ASSERT_TRUE(folder.Update());
    EXPECT_FALSE(folder.IsEditing());
    std::string name;
    folder.GetText("Name", name);
    EXPECT_EQ(name, "B2");
    EXPECT_FALSE(catalogue_.SeekFolderRow(3));
    ASSERT_TRUE(catalogue_.SeekFolderRow(4));
    ASSERT_TRUE(catalogue_.SeekFolderRow(2));
    folder.GetText("Name", name);
    EXPECT_EQ(name, "A");

    // A taken identifier is refused; nothing is saved and the edit ends.
    ASSERT_TRUE(folder.Edit());
    folder.SetInt("Folder ID", 4);
    EXPECT_FALSE(folder.Update());
    EXPECT_FALSE(folder.last_error().empty());
    EXPECT_FALSE(folder.IsEditing());
    ASSERT_TRUE(catalogue_.SeekFolderRow(2));
    ASSERT_TRUE(folder.AddNew());
    folder.SetInt("Folder ID", 1);
    EXPECT_FALSE(folder.Update());

    // Cancelling an edit keeps the stored row.
    ASSERT_TRUE(catalogue_.SeekFolderRow(1));
    ASSERT_TRUE(folder.Edit());
    folder.SetText("Name", "D:");
    folder.CancelUpdate();
    folder.GetText("Name", name);
    EXPECT_EQ(name, "C:");
}

TEST_P(TableCursorTest, DeletingWhileMovingVisitsEveryRowOnce) {
    OpenTables();
    for (int id = 1; id <= 250; ++id) {
        AddFile(id, 1, "f", id);
    }
    TableCursor& file = catalogue_.file_table();
    int visited = 0;
    for (bool more = file.MoveFirst(); more; more = file.MoveNext()) {
        std::int32_t id = 0;
        file.GetInt("File ID", id);
        ++visited;
        if (id % 2 == 0) {
            ASSERT_TRUE(file.Delete());
            EXPECT_TRUE(file.IsEOF());
            EXPECT_FALSE(file.Delete());
            EXPECT_FALSE(file.Edit());
        }
    }
    EXPECT_EQ(visited, 250);
    int left = 0;
    for (bool more = file.MoveFirst(); more; more = file.MoveNext()) {
        std::int32_t id = 0;
        file.GetInt("File ID", id);
        EXPECT_EQ(id % 2, 1);
        ++left;
    }
    EXPECT_EQ(left, 125);
}

TEST_P(TableCursorTest, RowsAddedDuringAMoveAreSeenInOrder) {
    OpenTables();
    AddFile(1, 1, "a", 1);
    AddFile(3, 1, "c", 3);
    TableCursor& file = catalogue_.file_table();
    ASSERT_TRUE(file.MoveFirst());
    AddFile(2, 1, "b", 2);
    std::vector<std::string> names;
    std::string name;
    file.GetText("Name", name);
    names.push_back(name);
    while (file.MoveNext()) {
        file.GetText("Name", name);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));
}

TEST_P(TableCursorTest, HostileStoredValuesReadSafely) {
    if (OnServer()) {
        GTEST_SKIP() << "The server's typed columns refuse such values when they are stored.";
    }
    {
        sqlite3* db = catalogue_.handle();
        ASSERT_TRUE(
            ExecuteSql(db,
                       "INSERT INTO Folder(\"Folder ID\", Name, \"Parent ID\", Folders, Size, \"Modify "
                       "Date\") VALUES (1, 42, 'text', 99999999999, 'big', 45000)"));
    }
    OpenTables();
    ASSERT_TRUE(catalogue_.SeekFolderRow(1));
    TableCursor& folder = catalogue_.folder_table();
    std::int32_t integer = 0;
    double number = 0.0;
    std::string text;
    EXPECT_TRUE(folder.GetText("Name", text));  // the column's text affinity made it "42"
    EXPECT_EQ(text, "42");
    EXPECT_FALSE(folder.GetInt("Parent ID", integer));
    EXPECT_TRUE(folder.GetInt("Folders", integer));
    EXPECT_EQ(integer, 2147483647);
    EXPECT_FALSE(folder.GetDouble("Size", number));
    EXPECT_TRUE(folder.GetDate("Modify Date", number));
    EXPECT_EQ(number, 45000.0);
}

// What both engines store: no values at all, the extremes of each type.
TEST_P(TableCursorTest, OddStorableValuesReadAsStored) {
    ASSERT_TRUE(
        ExecuteSql(catalogue_.connection(),
                   "INSERT INTO \"Folder\"(\"Folder ID\", \"Name\", \"Parent ID\", \"Folders\", \"Size\", "
                   "\"Modify Date\", \"Attributes\") VALUES (1, NULL, NULL, -2147483648, 1e308, NULL, "
                   "2147483647)"));
    OpenTables();
    ASSERT_TRUE(catalogue_.SeekFolderRow(1));
    TableCursor& folder = catalogue_.folder_table();
    std::int32_t integer = 0;
    double number = 0.0;
    std::string text;
    EXPECT_FALSE(folder.GetText("Name", text));
    EXPECT_TRUE(folder.IsNull("Name"));
    EXPECT_FALSE(folder.GetInt("Parent ID", integer));
    EXPECT_TRUE(folder.GetInt("Folders", integer));
    EXPECT_EQ(integer, -2147483647 - 1);
    EXPECT_TRUE(folder.GetInt("Attributes", integer));
    EXPECT_EQ(integer, 2147483647);
    EXPECT_TRUE(folder.GetDouble("Size", number));
    EXPECT_EQ(number, 1e308);
    EXPECT_FALSE(folder.GetDate("Modify Date", number));
}

TEST_P(TableCursorTest, ClosedCursorRefusesEverything) {
    TableCursor& file = catalogue_.file_table();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.MoveFirst());
    EXPECT_FALSE(file.AddNew());
    EXPECT_FALSE(file.Seek(1));
    EXPECT_FALSE(catalogue_.SeekFileRow(1));
    std::string text;
    EXPECT_FALSE(file.GetText("Name", text));
}

INSTANTIATE_ON_BOTH_ENGINES(TableCursorTest);

}  // namespace
}  // namespace korvane::testing
