#include "result/run_query.h"

#include <gtest/gtest.h>

#include "catalogue/sql_statement.h"
#include "query/query_catalogue.h"
#include "support/scripted_progress.h"

namespace korvane {
namespace {

const CivilTime kRunTime{1999, 3, 15, 14, 5, 9};

class RunQueryTest : public testing::OnBothEngines<testing::QueryCatalogueTest> {
  protected:
    void SetUp() override {
        QueryCatalogueTest::SetUp();
        AddFile(1, 2, "a.doc", 100, Day(1999, 3, 1, 10), "ann");
        AddFile(2, 3, "b.txt", 200, Day(1999, 3, 10), "bob");
        AddFile(3, 2, "c.doc", 50, std::nullopt, "ann");
        AddFile(4, 4, "d.doc", 3e9, Day(1998, 1, 1), "ann");
        AddFile(5, 1, "root.txt", 7, Day(1999, 2, 1), "bob");
        AddFile(6, 6, "x.doc", 11, Day(2000, 1, 1), "ann");
    }

    void Add(const char* table, const char* name, std::string value_text = {}) {
        QueryField& field = profile_.fields[FindQueryField(profile_, table, name)];
        field.in_query = true;
        field.value_text = std::move(value_text);
    }

    bool Run(std::int32_t folder_id, ProgressWindow* window = nullptr) {
        CheckQueryShape(profile_);
        result_.current_folder_id = folder_id;
        QueryBuildOptions options;
        options.run_time = kRunTime;
        return RunQuery(&profile_, result_, catalogue_, tree_, window, options);
    }

    QueryProfile profile_;
    ResultData result_;

    void SetUpNames() {
        profile_.query_name = "Docs";
        result_.result_name = "Docs";
    }
};

TEST_P(RunQueryTest, WorkedExampleKindOfQueryForAFolder) {
    LoadTree();
    SetUpNames();
    Add("Folder", "Name");
    Add("Folder", "Size");
    Add("File", "Name", "Include  \"*.doc\",\"*.txt\"");
    Add("File", "Size");
    Add("File", "Modify Date", "Include Previous  30 Days");
    profile_.include_subfolders = true;
    ASSERT_TRUE(Run(2));
    // Old, then a.doc and b.txt (c.doc has no date and so fails the criterion).
    EXPECT_EQ(result_.row_count, 3);
    EXPECT_EQ(result_.total_size, 300u);  // folder rows are not added with subfolders
    EXPECT_EQ(result_.earliest_date, Day(1999, 3, 1, 10));
    EXPECT_EQ(result_.latest_date, Day(1999, 3, 10));
    EXPECT_EQ(result_.free_space, 1000u);
    EXPECT_EQ(result_.path, "C:\\Data");
    EXPECT_TRUE(result_.include_subfolders);
    EXPECT_EQ(profile_.initial_folder_id, 2);

    ASSERT_EQ(result_.columns.size(), 6u);
    const char* names[] = {"Name", "Size", "Parent ID", "Attributes", "Folder ID", "Modify Date"};
    const bool shown[] = {true, true, true, false, false, true};
    const int widths[] = {14, 12, 40, 0, 12, 20};  // Folder ID keeps a new column's width
    const ColumnType types[] = {ColumnType::Text,    ColumnType::Double,  ColumnType::Integer,
                                ColumnType::Integer, ColumnType::Integer, ColumnType::Date};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(result_.columns[i].name, names[i]);
        EXPECT_EQ(result_.columns[i].shown, shown[i]) << names[i];
        EXPECT_EQ(result_.columns[i].width, widths[i]) << names[i];
        EXPECT_EQ(result_.columns[i].type, types[i]) << names[i];
    }
    EXPECT_EQ(result_.columns[4].sort_direction, 2);
}

TEST_P(RunQueryTest, WithoutSubfoldersFolderSizesCount) {
    LoadTree();
    SetUpNames();
    Add("Folder", "Name");
    Add("Folder", "Size");
    Add("File", "Name");
    Add("File", "Size");
    ASSERT_TRUE(Run(2));
    // Old (100 with all it holds) beside a.doc and c.doc.
    EXPECT_EQ(result_.row_count, 3);
    EXPECT_EQ(result_.total_size, 250u);
    EXPECT_EQ(result_.earliest_date, 0.0);
}

TEST_P(RunQueryTest, AllVolumesSumFreeSpaceUpToTheFirstGap) {
    LoadTree();
    SetUpNames();
    Add("File", "Name");
    Add("File", "Size");
    Add("File", "Modify Date");
    profile_.include_subfolders = true;
    ASSERT_TRUE(Run(0));
    EXPECT_EQ(result_.free_space, 1000u);  // volume 2 is missing: volume 3 is not reached
    EXPECT_EQ(result_.path, "My Computer (Scanned Volumes)");
    // No Folder ID column: every row is a file.
    EXPECT_EQ(result_.row_count, 6);
    EXPECT_EQ(result_.total_size, 100u + 200u + 50u + 3000000000u + 7u + 11u);
    EXPECT_EQ(result_.earliest_date, Day(1998, 1, 1));
    EXPECT_EQ(result_.latest_date, Day(2000, 1, 1));
}

TEST_P(RunQueryTest, OnlyFoldersWithSubfoldersHaveNoTotals) {
    ASSERT_TRUE(ExecuteSql(catalogue_.connection(), "UPDATE \"Folder\" SET \"Modify Date\"=36000.5"));
    LoadTree();
    SetUpNames();
    Add("Folder", "Name");
    Add("Folder", "Size");
    Add("Folder", "Modify Date");
    profile_.include_subfolders = true;
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(result_.row_count, 3);
    EXPECT_EQ(result_.total_size, 0u);
    EXPECT_EQ(result_.earliest_date, 0.0);
    EXPECT_EQ(result_.latest_date, 0.0);
}

TEST_P(RunQueryTest, FillerDatesAreNoDates) {
    ASSERT_TRUE(ExecuteSql(catalogue_.connection(),
                           "UPDATE \"Folder\" SET \"Modify Date\"=36000.5 WHERE \"Folder ID\"=3"));
    LoadTree();
    SetUpNames();
    Add("Folder", "Name");
    Add("Folder", "Size");
    Add("Folder", "Modify Date");
    Add("File", "Name");
    Add("File", "Size");
    ASSERT_TRUE(Run(2));  // the file rows carry 12/31/1899 in Modify Date
    EXPECT_EQ(result_.row_count, 3);
    EXPECT_EQ(result_.earliest_date, 36000.5);
    EXPECT_EQ(result_.latest_date, 36000.5);
}

TEST_P(RunQueryTest, ProgressEverySixtyFourRowsAndAtTheEnd) {
    for (int i = 0; i < 200; ++i)
        AddFile(100 + i, 4, "f" + std::to_string(i), 1);
    LoadTree();
    SetUpNames();
    Add("File", "Name");
    Add("File", "Size");
    std::unique_ptr<ProgressWindow> window = ui_.CreateProgressWindow();
    ASSERT_TRUE(Run(4, window.get()));
    EXPECT_EQ(result_.row_count, 201);
    const testing::ProgressLog& log = *ui_.progress.back();
    EXPECT_TRUE(log.shown);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.titles, (std::vector<std::string>{"Setting query...", "Scanning for results..."}));
    EXPECT_EQ(log.first_lines,
              (std::vector<std::string>{"     Found        64...", "     Found       128...",
                                        "     Found       192...", "     Found       201..."}));
    EXPECT_EQ(log.cancel_polls, 3);
}

TEST_P(RunQueryTest, CancelKeepsWhatWasCounted) {
    for (int i = 0; i < 200; ++i)
        AddFile(100 + i, 4, "f" + std::to_string(i), 2);
    LoadTree();
    SetUpNames();
    Add("File", "Name");
    Add("File", "Size");
    ui_.cancel_on_poll = 2;
    std::unique_ptr<ProgressWindow> window = ui_.CreateProgressWindow();
    ASSERT_TRUE(Run(4, window.get()));
    EXPECT_EQ(result_.row_count, 128);
    EXPECT_EQ(result_.total_size, 256u);
    EXPECT_TRUE(ui_.progress.back()->closed);
}

TEST_P(RunQueryTest, CrosstabRowsPerOwner) {
    LoadTree();
    SetUpNames();
    Add("File", "Size");
    Add("File", "Owner");
    profile_.include_subfolders = true;
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(result_.row_count, 2);  // ann and bob
    EXPECT_EQ(result_.total_size, 100u + 50u + 3000000000u + 200u + 7u);
    ASSERT_EQ(result_.columns.size(), 2u);
    EXPECT_EQ(result_.columns[0].name, "Owner");
    EXPECT_EQ(result_.columns[0].width, 15);
}

TEST_P(RunQueryTest, FailuresChangeNothingButTheStatement) {
    LoadTree();
    SetUpNames();
    EXPECT_FALSE(RunQuery(nullptr, result_, catalogue_, tree_, nullptr));

    Add("File", "Name");
    Add("File", "Size");
    Add("File", "Modify Date", "Include  1/5/1998");
    ASSERT_TRUE(Run(1));
    const std::int32_t rows = result_.row_count;
    const std::string stored = catalogue_.stored_query().sql();

    // A date that cannot be read stops the run: the old statement must not answer.
    profile_.fields[FindQueryField(profile_, "File", "Modify Date")].value_text = "Include  5.1.1998";
    EXPECT_FALSE(Run(1));
    EXPECT_EQ(result_.row_count, rows);
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_NE(ui_.messages.back().text.find("5.1.1998"), std::string::npos);
    ASSERT_TRUE(catalogue_.stored_query().OpenStoredQuery("Docs"));
    EXPECT_NE(catalogue_.stored_query().sql().find("#01/05/1998#"), std::string::npos);
    catalogue_.stored_query().CloseStoredQuery();

    // No stored query of the result's name.
    profile_.fields[FindQueryField(profile_, "File", "Modify Date")].value_text.clear();
    result_.result_name = "Other";
    EXPECT_FALSE(Run(1));

    // The catalogue's own stored queries are not a query's to replace.
    profile_.query_name = "fetchfile";
    result_.result_name = "fetchfile";
    EXPECT_FALSE(Run(1));
    ASSERT_TRUE(catalogue_.stored_query().OpenStoredQuery("FetchFile"));
    EXPECT_EQ(catalogue_.stored_query().sql().find("UNION"), std::string::npos);
    catalogue_.stored_query().CloseStoredQuery();
}

TEST_P(RunQueryTest, DisplaySqlOnlyWhenInteractive) {
    LoadTree();
    SetUpNames();
    Add("File", "Name");
    Add("File", "Size");
    CheckQueryShape(profile_);
    QueryBuildOptions options;
    options.display_sql = true;
    options.run_time = kRunTime;
    result_.current_folder_id = 2;
    ASSERT_TRUE(RunQuery(&profile_, result_, catalogue_, tree_, nullptr, options));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, profile_.sql_text);
    ui_.interactive = false;
    ASSERT_TRUE(RunQuery(&profile_, result_, catalogue_, tree_, nullptr, options));
    EXPECT_EQ(ui_.messages.size(), 1u);
}

TEST_P(RunQueryTest, RerunRefreshesTheViewsOnlyAfterARun) {
    struct Views : ResultViews {
        int activated = 0, refreshed = 0;
        void ActivateFrame() override { ++activated; }
        void RefreshViews() override { ++refreshed; }
    } views;
    LoadTree();
    ResultDocument document;
    document.data.result_name = "Docs";
    EXPECT_FALSE(RerunResult(document, catalogue_, tree_, views));  // no query open
    EXPECT_EQ(views.refreshed, 0);

    profile_.query_name = "Docs";
    Add("File", "Name");
    Add("File", "Size");
    CheckQueryShape(profile_);
    document.data.profile = &profile_;
    document.data.current_folder_id = 3;
    ASSERT_TRUE(RerunResult(document, catalogue_, tree_, views));
    ASSERT_TRUE(RerunResult(document, catalogue_, tree_, views));
    EXPECT_EQ(views.activated, 2);
    EXPECT_EQ(views.refreshed, 2);
    EXPECT_EQ(document.data.row_count, 1);
    EXPECT_EQ(ui_.progress.size(), 1u);  // the document's own window, made once
}

// A server connection ended while the run walks its rows: the rows stop
// before their end, and the run fails instead of keeping partial figures.
class ServerRunQuery : public RunQueryTest {
  protected:
    testing::CatalogueEngine engine() const override { return testing::CatalogueEngine::Postgres; }
};

TEST_F(ServerRunQuery, RowsCutOffFailTheRun) {
    // More rows than the server sends at once, so the walk must ask again.
    for (int i = 0; i < 1500; ++i)
        AddFile(100 + i, 4, "f" + std::to_string(i), 1);
    LoadTree();
    SetUpNames();
    Add("File", "Name");
    Add("File", "Size");
    testing::ScriptedProgress window;
    window.on_poll = [&](int poll) {
        if (poll == 1) {
            testing::OtherConnection other(path_);
            EXPECT_EQ(other.Rows("SELECT pg_terminate_backend(" +
                                 std::to_string(catalogue_.ServerProcessId()) + ")"),
                      "t|\n");
        }
        return false;
    };
    EXPECT_FALSE(Run(4, &window));
    EXPECT_FALSE(catalogue_.stored_query().last_error().empty());
    EXPECT_LT(result_.row_count, 1501);
    // The next run connects again and counts every row.
    ASSERT_TRUE(Run(4)) << catalogue_.stored_query().last_error();
    EXPECT_EQ(result_.row_count, 1501);
}

TEST(DescribeColumn, NamesOutsideTheTableKeepTheirValues) {
    ColumnDescriptor column;
    column.name = "Size Total";
    DescribeColumn(column);
    EXPECT_TRUE(column.shown);
    EXPECT_EQ(column.width, 12);
    column.name = "Sum";
    column.shown = false;
    column.width = 7;
    column.sort_direction = 1;
    DescribeColumn(column);
    EXPECT_FALSE(column.shown);
    EXPECT_EQ(column.width, 7);
    EXPECT_EQ(column.sort_direction, 1);
    column.name = "File ID";
    DescribeColumn(column);
    EXPECT_EQ(column.width, 7);
    EXPECT_EQ(column.sort_direction, 1);
}

}  // namespace
INSTANTIATE_ON_BOTH_ENGINES(RunQueryTest);

}  // namespace korvane
