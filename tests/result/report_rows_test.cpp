#include "result/report_rows.h"

#include <gtest/gtest.h>

#include "app/formatting.h"
#include "query/query_catalogue.h"
#include "result/run_query.h"

namespace korvane {
namespace {

class ReportRowsTest : public testing::QueryCatalogueTest {
  protected:
    // Files in four folders whose paths differ only in case order:
    // C:\Data, C:\Data\Old, C:\Other and /srv/users/ann.
    void SetUp() override {
        QueryCatalogueTest::SetUp();
        const std::int32_t parents[] = {4, 2, 6, 3, 2, 4, 6, 3};
        for (std::int32_t i = 0; i < kFiles; ++i)
            AddFile(i + 1, parents[i % 8], "f" + std::to_string(1000 + i), 10.0 * i, std::nullopt, "ann");
        LoadTree();
        profile_.query_name = result_.result_name = "Rows";
        profile_.include_subfolders = true;
        profile_.sort_column = "Name";
        for (const char* name : {"Name", "Size", "Parent ID"})
            profile_.fields[FindQueryField(profile_, "File", name)].in_query = true;
        CheckQueryShape(profile_);
        result_.current_folder_id = 0;
        ASSERT_TRUE(RunQuery(&profile_, result_, catalogue_, tree_, nullptr));
        ASSERT_EQ(result_.row_count, kFiles);
    }
    std::string Path(int position) { return rows_.CellText(position, 2, tree_); }

    static constexpr std::int32_t kFiles = 130;
    QueryProfile profile_;
    ResultData result_;
    ReportRows rows_;
};

TEST_F(ReportRowsTest, LoadsTheShownColumnsAndStopsWhenTheProgressSaysSo) {
    ASSERT_TRUE(rows_.Load(result_, catalogue_));
    ASSERT_EQ(rows_.ItemCount(), kFiles);
    ASSERT_EQ(rows_.columns().size(), 3u);
    EXPECT_EQ(rows_.columns()[2].title, "Path");
    EXPECT_EQ(rows_.CellText(1, 0, tree_), "f1001");
    EXPECT_EQ(rows_.CellText(1, 1, tree_), "10 bytes");
    EXPECT_EQ(Path(1), "C:\\Data");
    EXPECT_EQ(rows_.ResultRow(1), 1);
    // A few bytes a row: the name, the size, the parent, the row number.
    EXPECT_LT(rows_.MemoryBytes(), static_cast<std::size_t>(kFiles) * 40);

    std::vector<int> calls;
    ASSERT_TRUE(rows_.Load(result_, catalogue_, [&](int read) {
        calls.push_back(read);
        return false;
    }));
    EXPECT_EQ(calls, std::vector<int>{64});
    EXPECT_EQ(rows_.ItemCount(), 64);
}

TEST_F(ReportRowsTest, SortsByPathWithoutRegardToCaseKeepingTheAnswersOrderAmongEquals) {
    ASSERT_TRUE(rows_.Load(result_, catalogue_));
    for (bool descending : {false, true}) {
        rows_.SortByText(2, descending, tree_);
        for (int i = 1; i < rows_.ItemCount(); ++i) {
            std::string before = Path(i - 1), after = Path(i);
            for (std::string* text : {&before, &after}) {
                for (char& c : *text)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            ASSERT_TRUE(descending ? before >= after : before <= after) << i;
            if (before == after) {
                EXPECT_LT(rows_.ResultRow(i - 1), rows_.ResultRow(i)) << i;
            }
        }
    }
    EXPECT_EQ(Path(0), "C:\\Other");
    rows_.SortByText(0, false, tree_);
    EXPECT_EQ(rows_.CellText(0, 0, tree_), "f1000");
}

TEST(ResultStatusTexts, CountTotalsAndTheFileADoubleClickOpens) {
    ResultData result;
    result.path = "/srv/data";
    result.total_size = 1'500'000;
    result.free_space = 2'000'000'000;
    struct Case {
        int rows;
        double earliest, latest;
        const char* text;
    };
    for (const Case& test :
         {Case{0, 0, 0, "No results matching criteria."}, Case{1, 36000, 36010, "1 object."},
          Case{5, 36000.75, 36010.5, "5 objects (9 days)."}, Case{2, 0, 0, "2 objects (0 days)."}}) {
        result.row_count = test.rows;
        result.earliest_date = test.earliest;
        result.latest_date = test.latest;
        EXPECT_EQ(ResultCountText(result), test.text);
    }
    EXPECT_EQ(ResultTotalsText(result),
              FormatSize(1'500'000) + " (" + FormatSize(2'000'000'000) + " free)  On: /srv/data");

    const FileToOpen posix = FileToOpenOf("/srv/data", "a.txt");
    EXPECT_EQ(posix.folder, "/srv/data/");
    EXPECT_EQ(posix.path, "/srv/data/a.txt");
    EXPECT_FALSE(posix.ftp);
    EXPECT_EQ(FileToOpenOf("C:\\Data\\", "b.doc").path, "C:\\Data\\b.doc");
    EXPECT_TRUE(FileToOpenOf("ftp:host/pub", "c.zip").ftp);
    EXPECT_EQ(FileToOpenOf("ftp:host/pub", "c.zip").path, "ftp:host/pub/c.zip");
}

}  // namespace
}  // namespace korvane
