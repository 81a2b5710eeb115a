#include "catalogue/stored_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "catalogue/day_number.h"
#include "catalogue_fixture.h"
#include "platform/volumes.h"

namespace korvane::testing {
namespace {

double Day(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
    double value = 0.0;
    EXPECT_TRUE(DayNumberFromCivil(year, month, day, hour, minute, second, value));
    return value;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            text += "\r\n";
        }
        text += lines[i];
    }
    return text;
}

// The seven-line detail statement: folders and files below folder 100
// (Folders 20), *.doc or *.txt files of 1M to 10M modified in the 30 days
// before 15 March 1999 14:05:09, largest first.
const std::string kDetailSql = Lines({
    "SELECT Folder.[Name] AS [Name], Folder.[Size] AS [Size], Folder.[Parent ID] AS [Parent ID], "
    "Folder.[Attributes] AS [Attributes], Folder.[Folder ID] AS [Folder ID],#12/31/1899# AS [Modify Date]",
    "FROM Folder",
    "WHERE (((Folder.[Parent ID])>99)and((Folder.[Parent ID])<=120))",
    "UNION ALL SELECT File.[Name] AS [Name], File.[Size] AS [Size], File.[Parent ID] AS [Parent ID], "
    "File.[Attributes] AS [Attributes],0 AS [Folder ID], File.[Modify Date] AS [Modify Date]",
    "FROM File",
    "WHERE (((File.[Parent ID])>99)and((File.[Parent ID])<=120)) AND "
    "(((File.[Name])Like\"*.txt\")OR((File.[Name])Like\"*.doc\")) AND "
    "(( (((File.[Size])>=1000000) And ((File.[Size])<=10000000)))) AND "
    "(( (((File.[Modify Date])<=#03/15/1999 14:05:09#) And ((File.[Modify Date])>=#02/13/1999 14:5:9#))))",
    "ORDER BY [Size] DESC;",
});

const std::string kCrosstabSql = Lines({
    "SELECT File.Owner AS Owner, Sum(File.[Size]) AS Size",
    "FROM File",
    "WHERE (File.[Parent ID]>0)And (((File.[Owner])<>\"Administrator\"))",
    "GROUP BY File.Owner",
    "ORDER BY Sum(Size) DESC;",
});

class StoredQueryTest : public EngineCatalogueTest {
  protected:
    StoredQuery& query() { return catalogue_.stored_query(); }

    // Stores text under a new stored query and opens its snapshot.
    void Run(const std::string& name, const std::string& sql) {
        if (!query().StoredQueryExists(name)) {
            ASSERT_TRUE(query().CreateStoredQuery(name)) << query().last_error();
        } else {
            ASSERT_TRUE(query().OpenStoredQuery(name));
        }
        ASSERT_TRUE(query().SetStoredQuerySql(sql)) << query().last_error();
        ASSERT_TRUE(query().OpenQuerySnapshot()) << query().last_error();
    }

    FieldValue Value(int column) {
        FieldValue value;
        EXPECT_TRUE(query().QueryFieldValue(column, value));
        return value;
    }

    std::string Text(int column) { return Value(column).text; }
};

TEST_P(StoredQueryTest, DetailExampleGivesExactlyTheRowsItMeans) {
    OpenTables();
    AddFolder(99, 0, 23, "C:", 9.9e7);
    AddFolder(100, 99, 20, "Projects", 9e6);
    AddFolder(101, 100, 0, "Alpha", 5e6);
    AddFolder(120, 110, 0, "Omega", 1.5e6);
    AddFolder(121, 120, 1, "Beyond", 7e6);
    AddFolder(122, 121, 0, "Further", 3e6);
    const double inside = Day(1999, 3, 1, 10, 0, 0);
    AddFile(1, 100, "report.doc", 2e6, inside);
    AddFile(2, 120, "NOTES.TXT", 1e6, Day(1999, 2, 13, 14, 5, 9));
    AddFile(3, 101, "big.txt", 1e7, Day(1999, 3, 15, 14, 5, 9));
    AddFile(4, 100, "small.txt", 999999, inside);
    AddFile(5, 100, "huge.doc", 10000001, inside);
    AddFile(6, 100, "early.txt", 2e6, Day(1999, 2, 13, 14, 5, 8));
    AddFile(7, 100, "late.doc", 2e6, Day(1999, 3, 15, 14, 5, 10));
    AddFile(8, 100, "image.png", 2e6, inside);
    AddFile(9, 99, "outside.txt", 2e6, inside);
    AddFile(10, 121, "below.txt", 2e6, inside);
    AddFile(11, 100, "undated.txt", 2e6);
    AddFile(12, 100, "doc.docx", 2e6, inside);

    Run("Big documents", kDetailSql);
    ASSERT_EQ(query().QueryColumnCount(), 6);
    const std::vector<std::pair<std::string, ColumnType>> columns = {
        {"Name", ColumnType::Text},         {"Size", ColumnType::Double},
        {"Parent ID", ColumnType::Integer}, {"Attributes", ColumnType::Integer},
        {"Folder ID", ColumnType::Integer}, {"Modify Date", ColumnType::Date},
    };
    for (int i = 0; i < 6; ++i) {
        std::string name;
        EXPECT_EQ(query().QueryColumnInfo(i, name), columns[static_cast<std::size_t>(i)].second);
        EXPECT_EQ(name, columns[static_cast<std::size_t>(i)].first);
    }

    struct Row {
        std::string name;
        double size;
        std::int64_t parent, folder_id;
        double modified;
    };
    const std::vector<Row> expected = {
        {"big.txt", 1e7, 101, 0, Day(1999, 3, 15, 14, 5, 9)},
        {"Beyond", 7e6, 120, 121, 1.0},
        {"Alpha", 5e6, 100, 101, 1.0},
        {"report.doc", 2e6, 100, 0, inside},
        {"Omega", 1.5e6, 110, 120, 1.0},
        {"NOTES.TXT", 1e6, 120, 0, Day(1999, 2, 13, 14, 5, 9)},
    };
    std::size_t row = 0;
    for (bool more = query().MoveQueryRow(0); more; more = query().NextQueryRow(), ++row) {
        ASSERT_LT(row, expected.size()) << Text(0);
        SCOPED_TRACE(expected[row].name);
        EXPECT_EQ(Text(0), expected[row].name);
        EXPECT_EQ(Value(1), FieldValue::OfDouble(expected[row].size));
        EXPECT_EQ(Value(2), FieldValue::OfInteger(expected[row].parent));
        EXPECT_EQ(Value(4), FieldValue::OfInteger(expected[row].folder_id));
        EXPECT_EQ(Value(5), FieldValue::OfDate(expected[row].modified));
    }
    EXPECT_EQ(row, expected.size());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_P(StoredQueryTest, CrosstabExampleSumsSizesPerOwner) {
    OpenTables();
    AddFile(1, 5, "a", 100, std::nullopt, "alice");
    AddFile(2, 6, "b", 200, std::nullopt, "alice");
    AddFile(3, 5, "c", 1000, std::nullopt, "bob");
    AddFile(4, 5, "d", 5000, std::nullopt, "Administrator");
    AddFile(5, 5, "e", 7, std::nullopt, "administrator");  // = and <> compare exactly
    AddFile(6, 5, "f", 50);                                // no owner: never equal, never unequal
    AddFile(7, 0, "g", 9999, std::nullopt, "carol");       // not below any folder

    Run("Owners", kCrosstabSql);
    std::string name;
    EXPECT_EQ(query().QueryColumnInfo(0, name), ColumnType::Text);
    EXPECT_EQ(name, "Owner");
    EXPECT_EQ(query().QueryColumnInfo(1, name), ColumnType::Double);
    EXPECT_EQ(name, "Size");
    EXPECT_EQ(query().QueryColumnInfo(2, name), ColumnType::None);

    std::vector<std::pair<std::string, double>> rows;
    for (bool more = query().MoveQueryRow(0); more; more = query().NextQueryRow()) {
        double size = 0.0;
        EXPECT_TRUE(Value(1).AsDouble(size));
        rows.emplace_back(Text(0), size);
    }
    EXPECT_EQ(rows, (std::vector<std::pair<std::string, double>>{
                        {"bob", 1000.0}, {"alice", 300.0}, {"administrator", 7.0}}));
}

TEST_P(StoredQueryTest, StoredTextSurvivesExactlyAndNamesIgnoreCase) {
    EXPECT_TRUE(query().StoredQueryExists("fetchvolume"));
    EXPECT_FALSE(query().StoredQueryExists("Big documents"));
    EXPECT_FALSE(query().CreateStoredQuery("FETCHVOLUME"));
    ASSERT_TRUE(query().CreateStoredQuery("Big documents"));
    EXPECT_TRUE(query().IsOpen());
    EXPECT_EQ(query().QueryColumnCount(), 0);
    EXPECT_FALSE(query().OpenQuerySnapshot());  // no text yet
    ASSERT_TRUE(query().SetStoredQuerySql(kDetailSql));
    EXPECT_EQ(query().QueryColumnCount(), 6);
    EXPECT_TRUE(query().CloseStoredQuery());
    EXPECT_FALSE(query().CloseStoredQuery());
    ASSERT_TRUE(catalogue_.CloseCatalogue());

    ASSERT_TRUE(catalogue_.OpenCatalogue(path_));
    ASSERT_TRUE(query().OpenStoredQuery("BIG DOCUMENTS"));
    EXPECT_EQ(query().name(), "Big documents");
    EXPECT_EQ(query().sql(), kDetailSql);
    EXPECT_EQ(query().QueryColumnCount(), 6);  // known before any snapshot
    EXPECT_FALSE(query().OpenStoredQuery("No such query"));
    EXPECT_FALSE(query().IsOpen());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_P(StoredQueryTest, RefusedTextShowsTheEngineMessageAndKeepsThePreviousText) {
    ASSERT_TRUE(query().CreateStoredQuery("Q"));
    ASSERT_TRUE(query().SetStoredQuerySql(kCrosstabSql));
    const std::vector<std::string> refused = {
        "SELECT FROM WHERE",                             // the engine cannot parse it
        "SELECT File.Name & File.Type FROM File;",       // the translator cannot take it
        "SELECT File.Name FROM Nowhere;",                // no such table
        "DELETE FROM File;",                             // not a query
        "SELECT File.Name FROM File; DROP TABLE File;",  // a second statement
        "SELECT File.Name FROM File WHERE File.Name = \"x\" -- comment",
    };
    for (const std::string& text : refused) {
        SCOPED_TRACE(text);
        ui_.messages.clear();
        EXPECT_FALSE(query().SetStoredQuerySql(text));
        ASSERT_EQ(ui_.messages.size(), 1U);
        EXPECT_FALSE(ui_.messages[0].text.empty());
        EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::Ok);
        EXPECT_EQ(query().sql(), kCrosstabSql);
    }
    ASSERT_TRUE(query().OpenStoredQuery("Q"));
    EXPECT_EQ(query().sql(), kCrosstabSql);
    EXPECT_EQ(query().QueryColumnCount(), 2);
    // The statement after the ";" never ran.
    OpenTables();
    EXPECT_TRUE(catalogue_.file_table().IsOpen());
}

TEST_P(StoredQueryTest, SnapshotMovesAnywhereWithoutLosingRows) {
    OpenTables();
    const int n = 3000;
    for (int id = 1; id <= n; ++id) {
        AddFile(id, 1, "file " + std::to_string(id), id);
    }
    Run("All",
        "SELECT File.[File ID] AS [File ID], File.Name AS Name\r\nFROM File\r\nORDER BY [File ID] DESC;");
    auto id_at = [&]() {
        std::int32_t id = 0;
        EXPECT_TRUE(Value(0).AsInt32(id));
        return id;
    };
    EXPECT_EQ(id_at(), n);  // the snapshot opens on row 0
    ASSERT_TRUE(query().MoveQueryRow(2000));
    EXPECT_EQ(id_at(), n - 2000);
    ASSERT_TRUE(query().MoveQueryRow(3));
    EXPECT_EQ(id_at(), n - 3);
    EXPECT_EQ(Text(1), "file " + std::to_string(n - 3));
    ASSERT_TRUE(query().NextQueryRow());
    EXPECT_EQ(id_at(), n - 4);
    ASSERT_TRUE(query().MoveQueryRow(n - 1));
    EXPECT_EQ(id_at(), 1);
    EXPECT_FALSE(query().NextQueryRow());
    FieldValue value;
    EXPECT_FALSE(query().QueryFieldValue(0, value));
    EXPECT_FALSE(query().NextQueryRow());
    EXPECT_FALSE(query().MoveQueryRow(n));
    EXPECT_FALSE(query().MoveQueryRow(-1));

    // Rows already read stay as they were read.
    ASSERT_TRUE(ExecuteSql(catalogue_.connection(), "DELETE FROM \"File\" WHERE \"File ID\" > 10"));
    ASSERT_TRUE(query().MoveQueryRow(100));
    EXPECT_EQ(id_at(), n - 100);
    int count = 1;
    while (query().NextQueryRow()) {
        ++count;
    }
    EXPECT_EQ(count, n - 100);

    EXPECT_TRUE(query().CloseQuerySnapshot());
    EXPECT_FALSE(query().CloseQuerySnapshot());
    EXPECT_FALSE(query().MoveQueryRow(0));
    ASSERT_TRUE(query().OpenQuerySnapshot());
    count = 0;
    for (bool more = query().MoveQueryRow(0); more; more = query().NextQueryRow()) {
        ++count;
    }
    EXPECT_EQ(count, 10);
}

TEST_P(StoredQueryTest, OnlyAnOpenSnapshotReadsThroughAMemoryMap) {
    if (OnServer()) {
        GTEST_SKIP() << "The server reads its own files.";
    }
    auto mapped_bytes = [&] {
        std::int64_t bytes = -1;
        std::string error;
        SqlStatement pragma;
        EXPECT_TRUE(pragma.Prepare(catalogue_.handle(), "PRAGMA mmap_size", &error)) << error;
        EXPECT_EQ(pragma.Step(), SQLITE_ROW);
        bytes = sqlite3_column_int64(pragma.get(), 0);
        return bytes;
    };
    LinuxVolumeProbe probe;
    const bool local_disk = IsFixedLocalStorage(probe, path_);

    EXPECT_EQ(mapped_bytes(), 0);
    OpenTables();
    AddFile(1, 1, "a.txt", 1.0);
    Run("Mapped", "SELECT File.Name AS Name\r\nFROM File;");
    if (local_disk) {
        EXPECT_GT(mapped_bytes(), 0);
    } else {
        EXPECT_EQ(mapped_bytes(), 0);
    }
    EXPECT_EQ(Text(0), "a.txt");
    // A scan that follows writes without the map.
    EXPECT_TRUE(query().CloseQuerySnapshot());
    EXPECT_EQ(mapped_bytes(), 0);
    Run("Mapped", "SELECT File.Name AS Name\r\nFROM File;");
    EXPECT_TRUE(query().CloseStoredQuery());
    EXPECT_EQ(mapped_bytes(), 0);
}

TEST_P(StoredQueryTest, EmptyAnswerOpensWithNoCurrentRow) {
    Run("Nothing", "SELECT File.Name AS Name\r\nFROM File\r\nWHERE ((File.[Parent ID])=5);");
    FieldValue value;
    EXPECT_FALSE(query().QueryFieldValue(0, value));
    EXPECT_FALSE(query().MoveQueryRow(0));
    EXPECT_FALSE(query().NextQueryRow());
    EXPECT_EQ(query().QueryColumnCount(), 1);
}

TEST_P(StoredQueryTest, FillersKeepTheColumnsTypes) {
    OpenTables();
    AddFolder(1, 0, 1, "C:", 123.0);
    AddFile(1, 1, "a.txt", 77.0, Day(2001, 1, 5));
    Run("Mixed",
        "SELECT Folder.[Name] AS [Name],\"\" AS [Size],#12/31/1899# AS [Modify Date],\"\" AS [Owner]\r\n"
        "FROM Folder\r\nWHERE (Folder.[Parent ID]>=0)\r\n"
        "UNION ALL SELECT File.[Name] AS [Name], File.[Size] AS [Size], File.[Modify Date] AS [Modify Date], "
        "File.[Owner] AS [Owner]\r\nFROM File\r\nWHERE (File.[Parent ID]>0)\r\nORDER BY [Name] ;");
    std::string name;
    EXPECT_EQ(query().QueryColumnInfo(1, name), ColumnType::Double);
    EXPECT_EQ(query().QueryColumnInfo(2, name), ColumnType::Date);
    ASSERT_TRUE(query().MoveQueryRow(0));
    EXPECT_EQ(Text(0), "C:");
    EXPECT_TRUE(Value(1).IsNull());  // the "" filler of a numeric column
    EXPECT_EQ(Value(2), FieldValue::OfDate(1.0));
    EXPECT_EQ(Value(3), FieldValue::OfText(""));
    ASSERT_TRUE(query().NextQueryRow());
    EXPECT_EQ(Value(1), FieldValue::OfDouble(77.0));
    EXPECT_EQ(Value(2), FieldValue::OfDate(Day(2001, 1, 5)));
    EXPECT_TRUE(Value(3).IsNull());
    FieldValue value;
    EXPECT_FALSE(query().QueryFieldValue(4, value));
}

TEST_P(StoredQueryTest, SnapshotSeesRowsWrittenWhileTheTablesAreOpen) {
    OpenTables();
    AddFile(1, 1, "pending.txt", 1.0);
    Run("Pending", "SELECT File.Name AS Name\r\nFROM File;");
    EXPECT_EQ(Text(0), "pending.txt");
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    EXPECT_EQ(Text(0), "pending.txt");
}

TEST_P(StoredQueryTest, NothingWorksOnAClosedCatalogue) {
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    EXPECT_FALSE(query().StoredQueryExists("FetchVolume"));
    EXPECT_FALSE(query().OpenStoredQuery("FetchVolume"));
    EXPECT_FALSE(query().CreateStoredQuery("New"));
    EXPECT_FALSE(query().SetStoredQuerySql("SELECT File.Name FROM File;"));
    EXPECT_FALSE(query().OpenQuerySnapshot());
    EXPECT_TRUE(ui_.messages.empty());
}

// Names a text format would have to escape, bytes that are not UTF-8, a
// real character of the range that stands for such bytes on the server.
TEST_P(StoredQueryTest, ForwardSnapshotGivesTheRowsBrowsingGives) {
    const std::vector<std::string> names = {
        "plain",    "back\\slash",        "tab\there",         "line\nend\r", "\\N",
        "two\\\\n", "bad \xff\xfe bytes", "\xef\x9c\x80 kept", "Ünïcödé",
    };
    OpenTables();
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int id = static_cast<int>(i) + 1;
        AddFile(id, 1, names[i], 1e9 * id,
                i % 2 == 0 ? std::optional<double>(Day(2001, 1, id, 10, 11, 12)) : std::nullopt,
                i % 3 == 0 ? std::optional<std::string>("o\\wner") : std::nullopt);
    }
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    Run("Awkward",
        "SELECT File.[File ID] AS [File ID], File.Name AS Name, File.Size AS Size, "
        "File.[Modify Date] AS [Modify Date], File.Owner AS Owner\r\nFROM File\r\nORDER BY [File ID];");
    auto read_all = [&](bool forward_only) {
        std::vector<std::vector<FieldValue>> rows;
        EXPECT_TRUE(query().OpenQuerySnapshot(false, forward_only)) << query().last_error();
        for (bool more = query().MoveQueryRow(0); more; more = query().NextQueryRow()) {
            rows.emplace_back();
            for (int column = 0; column < query().QueryColumnCount(); ++column) {
                rows.back().push_back(Value(column));
            }
        }
        EXPECT_TRUE(query().last_error().empty()) << query().last_error();
        EXPECT_TRUE(query().CloseQuerySnapshot());
        return rows;
    };
    const auto browsed = read_all(false);
    ASSERT_EQ(browsed.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(browsed[i][1], FieldValue::OfText(names[i])) << i;
        EXPECT_EQ(browsed[i][2], FieldValue::OfDouble(1e9 * static_cast<double>(i + 1))) << i;
    }
    EXPECT_EQ(browsed[0][3], FieldValue::OfDate(Day(2001, 1, 1, 10, 11, 12)));
    EXPECT_TRUE(browsed[1][3].IsNull());
    EXPECT_EQ(browsed[3][4], FieldValue::OfText("o\\wner"));
    EXPECT_TRUE(browsed[1][4].IsNull());
    EXPECT_EQ(read_all(true), browsed);
}

INSTANTIATE_ON_BOTH_ENGINES(StoredQueryTest);

// A forward-only snapshot on the server streams: it only goes forward, and
// stopping it early or running a statement in its middle leaves the
// catalogue, and the transaction the stream ran in, working.
class ServerStream : public StoredQueryTest {
  protected:
    CatalogueEngine engine() const override { return CatalogueEngine::Postgres; }

    std::int32_t IdAt() {
        std::int32_t id = 0;
        EXPECT_TRUE(Value(0).AsInt32(id));
        return id;
    }
};

TEST_F(ServerStream, StoppedOrCutOffStreamsLeaveTheCatalogueWorking) {
    OpenTables();
    for (int id = 1; id <= 3000; ++id) {
        AddFile(id, 1, "file " + std::to_string(id), id);
    }
    // The tables stay open: the stream reads inside their transaction and
    // sees their rows not yet sent.
    Run("All", "SELECT File.[File ID] AS [File ID]\r\nFROM File\r\nORDER BY [File ID];");
    ASSERT_TRUE(query().CloseQuerySnapshot());
    ASSERT_TRUE(query().OpenQuerySnapshot(false, true)) << query().last_error();
    EXPECT_EQ(IdAt(), 1);
    ASSERT_TRUE(query().MoveQueryRow(10));
    EXPECT_EQ(IdAt(), 11);
    EXPECT_FALSE(query().MoveQueryRow(5));
    EXPECT_FALSE(query().last_error().empty());
    EXPECT_TRUE(query().CloseQuerySnapshot());  // stopped early

    AddFile(3001, 1, "late", 1);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables()) << catalogue_.last_error();
    OtherConnection other(path_);
    EXPECT_EQ(other.Rows("SELECT count(*) FROM \"File\""), "3001|\n");

    ASSERT_TRUE(query().OpenQuerySnapshot(false, true)) << query().last_error();
    ASSERT_TRUE(ExecuteSql(catalogue_.connection(), "SELECT 1"));
    EXPECT_FALSE(query().MoveQueryRow(2000));
    EXPECT_NE(query().last_error().find("cut off"), std::string::npos) << query().last_error();
    EXPECT_TRUE(query().CloseQuerySnapshot());

    ASSERT_TRUE(query().OpenQuerySnapshot(false, true)) << query().last_error();
    int count = 0;
    for (bool more = query().MoveQueryRow(0); more; more = query().NextQueryRow()) {
        ++count;
    }
    EXPECT_EQ(count, 3001);
    EXPECT_TRUE(query().last_error().empty()) << query().last_error();
    EXPECT_TRUE(query().CloseQuerySnapshot());
}

// The server's connection lost while a snapshot is read: the next batch
// fails with the server's message, rows already read stay readable, and
// nothing is left half done.
class ServerQueryLoss : public StoredQueryTest {
  protected:
    CatalogueEngine engine() const override { return CatalogueEngine::Postgres; }
};

TEST_F(ServerQueryLoss, ALostConnectionGivesTheServersMessage) {
    OpenTables();
    for (int id = 1; id <= 2500; ++id) {
        AddFile(id, 1, "file " + std::to_string(id), id);
    }
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    Run("All", "SELECT File.[File ID] AS [File ID]\r\nFROM File\r\nORDER BY [File ID];");
    ASSERT_TRUE(query().MoveQueryRow(10));
    const int backend = PQbackendPID(catalogue_.connection().pg->get());
    OtherConnection other(path_);
    ASSERT_TRUE(other.Exec("SELECT pg_terminate_backend(" + std::to_string(backend) + ")"));
    EXPECT_TRUE(query().MoveQueryRow(500));  // in the batch already fetched
    EXPECT_EQ(Value(0), FieldValue::OfInteger(501));
    EXPECT_FALSE(query().MoveQueryRow(2000));
    EXPECT_NE(query().last_error().find("terminat"), std::string::npos) << query().last_error();
    EXPECT_TRUE(query().CloseQuerySnapshot());
    // The next piece of work connects again, and every row is there.
    ASSERT_TRUE(catalogue_.OpenCatalogueTables()) << catalogue_.last_error();
    ASSERT_TRUE(catalogue_.SeekFileRow(2500));
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    ASSERT_TRUE(query().OpenStoredQuery("All"));
    ASSERT_TRUE(query().OpenQuerySnapshot()) << query().last_error();
    ASSERT_TRUE(query().MoveQueryRow(2499));
    EXPECT_EQ(Value(0), FieldValue::OfInteger(2500));
}

}  // namespace
}  // namespace korvane::testing
