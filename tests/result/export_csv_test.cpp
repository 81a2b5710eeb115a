#include "result/export_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "catalogue/sql_statement.h"
#include "query/query_catalogue.h"
#include "result/csv_reader.h"
#include "result/run_query.h"
#include "support/scripted_progress.h"

namespace korvane {
namespace {

using testing::ParseCsv;
using testing::ReadFileBytes;

class ExportCsvTest : public testing::OnBothEngines<testing::QueryCatalogueTest> {
  protected:
    void SetUp() override {
        QueryCatalogueTest::SetUp();
        AddFile(1, 2, "plain.txt", 10, Day(1999, 3, 1, 10, 2, 3));
        AddFile(2, 2, "a, b.txt", 20);
        AddFile(3, 3, "say \"hi\".txt", 30, Day(2000, 12, 31, 23, 59, 59));
        AddFile(4, 3, "both, \"q\".txt", 40);
        AddFile(5, 3, "two\nlines.txt", 50);
        AddFile(6, 2, "huge.iso", 3e9);
        AddFile(7, 3, "\"lead.txt", 60);
        AddFile(8, 3, "\"both\"", 70);
        AddFile(9, 3, "\"a\"b", 80);
        AddFile(10, 3, "\"\"\"", 90);
        LoadTree();
        profile_.query_name = result_.result_name = "Export";
        for (const char* name : {"Name", "Size", "Modify Date"}) {
            profile_.fields[FindQueryField(profile_, "File", name)].in_query = true;
        }
        profile_.include_subfolders = true;
        profile_.sort_column = "Size";
        CheckQueryShape(profile_);
    }

    void AddFileLater(std::int32_t id) {
        if (!catalogue_.TablesOpen())
            OpenTables();
        AddFile(id, 4, "f" + std::to_string(id), 1);
    }

    void RunFor(std::int32_t folder_id) {
        if (catalogue_.TablesOpen()) {
            ASSERT_TRUE(catalogue_.CloseCatalogueTables());
        }
        result_.current_folder_id = folder_id;
        ASSERT_TRUE(RunQuery(&profile_, result_, catalogue_, tree_, nullptr));
    }

    QueryProfile profile_;
    ResultData result_;
};

TEST_P(ExportCsvTest, RowsReadBackUnchanged) {
    RunFor(2);
    const std::string path = dir_ / "out.csv";
    ASSERT_TRUE(ExportCsv(result_, path, catalogue_, tree_, nullptr));
    const std::string text = ReadFileBytes(path);
    // Hidden Attributes; Parent ID titled Path.
    EXPECT_TRUE(text.starts_with("Name,Size,Modify Date,Path\r\n")) << text;
    EXPECT_NE(text.find("\r\n\"say \"\"hi\"\".txt\",30,23:59:59 12/31/2000,C:\\Data\\Old\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n\"a, b.txt\",20,,C:\\Data\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nhuge.iso,3000000000,,C:\\Data\r\n"), std::string::npos);

    const std::vector<std::vector<std::string>> expected = {
        {"Name", "Size", "Modify Date", "Path"},
        {"plain.txt", "10", "10:02:03 03/01/1999", "C:\\Data"},
        {"a, b.txt", "20", "", "C:\\Data"},
        {"say \"hi\".txt", "30", "23:59:59 12/31/2000", "C:\\Data\\Old"},
        {"both, \"q\".txt", "40", "", "C:\\Data\\Old"},
        {"two\nlines.txt", "50", "", "C:\\Data\\Old"},
        {"\"lead.txt", "60", "", "C:\\Data\\Old"},
        {"\"both\"", "70", "", "C:\\Data\\Old"},
        {"\"a\"b", "80", "", "C:\\Data\\Old"},
        {"\"\"\"", "90", "", "C:\\Data\\Old"},
        {"huge.iso", "3000000000", "", "C:\\Data"},
    };
    EXPECT_EQ(ParseCsv(text), expected);
}

TEST_P(ExportCsvTest, FieldQuoting) {
    std::string line;
    AppendCsvField(line, "plain");
    AppendCsvField(line, "a\"b");
    AppendCsvField(line, "a,\"b\"");
    AppendCsvField(line, "cr\r");
    AppendCsvField(line, "");
    EXPECT_EQ(line, "plain\"a\"\"b\"\"a,\"\"b\"\"\"\"cr\r\"");
}

TEST_P(ExportCsvTest, ProgressAndCancel) {
    for (int i = 0; i < 300; ++i)
        AddFileLater(100 + i);
    RunFor(4);
    ASSERT_EQ(result_.row_count, 300);
    std::unique_ptr<ProgressWindow> window = ui_.CreateProgressWindow();
    const std::string path = dir_ / "all.csv";
    ASSERT_TRUE(ExportCsv(result_, path, catalogue_, tree_, window.get()));
    const testing::ProgressLog& log = *ui_.progress.back();
    EXPECT_EQ(log.titles, std::vector<std::string>{"Exporting results to CSV file..."});
    EXPECT_EQ(log.low, 0);
    EXPECT_EQ(log.high, 100);
    ASSERT_FALSE(log.positions.empty());
    EXPECT_EQ(log.positions.front(), 0);
    EXPECT_EQ(log.positions.back(), 99);
    EXPECT_TRUE(std::is_sorted(log.positions.begin(), log.positions.end()));
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(ParseCsv(ReadFileBytes(path)).size(), 301u);

    ui_.cancel_on_poll = ui_.polls + 2;  // the second poll of the next export
    window = ui_.CreateProgressWindow();
    ASSERT_TRUE(ExportCsv(result_, path, catalogue_, tree_, window.get()));
    EXPECT_EQ(ParseCsv(ReadFileBytes(path)).size(), 1u + 128u);
}

TEST_P(ExportCsvTest, AStoredQueryThatCannotRunExportsNothing) {
    RunFor(2);
    // Another program left text in the stored query that cannot run.
    ASSERT_TRUE(ExecuteSql(
        catalogue_.connection(),
        "UPDATE \"Stored Queries\" SET \"SQL\"='SELECT Nothing FROM Nowhere' WHERE \"Name\"='Export'"));
    const std::string path = dir_ / "bad.csv";
    EXPECT_FALSE(ExportCsv(result_, path, catalogue_, tree_, nullptr));
    EXPECT_FALSE(std::filesystem::exists(path));
    // A new run stores the statement again.
    RunFor(2);
    EXPECT_TRUE(ExportCsv(result_, path, catalogue_, tree_, nullptr));
}

TEST_P(ExportCsvTest, NothingToExportOrNowhereToWrite) {
    RunFor(6);  // ann holds no files
    EXPECT_EQ(result_.row_count, 0);
    const std::string path = dir_ / "empty.csv";
    EXPECT_FALSE(ExportCsv(result_, path, catalogue_, tree_, nullptr));
    EXPECT_FALSE(std::filesystem::exists(path));

    RunFor(2);
    const std::string nowhere = dir_ / "no/such/dir/x.csv";
    EXPECT_FALSE(ExportCsv(result_, nowhere, catalogue_, tree_, nullptr));
    EXPECT_TRUE(ui_.messages.empty());  // unattended: the caller reports
    std::unique_ptr<ProgressWindow> window = ui_.CreateProgressWindow();
    EXPECT_FALSE(ExportCsv(result_, nowhere, catalogue_, tree_, window.get()));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Could not write to " + nowhere + ".");
}

// The server's rows stream to an export; a statement run on the catalogue's
// connection in its middle cuts them off, and the export says it failed
// rather than leaving a short file that looks whole.
class ServerExportCsv : public ExportCsvTest {
  protected:
    testing::CatalogueEngine engine() const override { return testing::CatalogueEngine::Postgres; }
};

TEST_F(ServerExportCsv, RowsCutOffFailTheExport) {
    for (int i = 0; i < 300; ++i)
        AddFileLater(100 + i);
    RunFor(4);
    testing::ScriptedProgress window;
    window.on_poll = [&](int) {
        ExecuteSql(catalogue_.connection(), "SELECT 1");  // cuts the answer's stream off
        return false;
    };
    const std::string path = dir_ / "cut.csv";
    EXPECT_FALSE(ExportCsv(result_, path, catalogue_, tree_, &window));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find("cut off"), std::string::npos) << ui_.messages[0].text;
    // The catalogue still answers.
    ui_.messages.clear();
    EXPECT_TRUE(ExportCsv(result_, path, catalogue_, tree_, nullptr));
    EXPECT_EQ(ParseCsv(ReadFileBytes(path)).size(), 301u);
}

}  // namespace
INSTANTIATE_ON_BOTH_ENGINES(ExportCsvTest);

}  // namespace korvane
