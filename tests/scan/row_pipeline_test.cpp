#include "scan/row_pipeline.h"

#include <gtest/gtest.h>

#include <string>

#include "scan_fixture.h"

namespace korvane::testing {
namespace {

class RowPipelineTest : public ScanTest, public ::testing::WithParamInterface<bool> {
  protected:
    static FolderScanRecord FileNumber(std::int32_t id) {
        FolderScanRecord record;
        record.file_id = id;
        record.parent_id = id / 100 + 1;
        record.entry.name = "file " + std::to_string(id) + std::string(id % 50, 'x');
        record.entry.size = static_cast<std::uint64_t>(id) << 20;
        record.entry.modify_time = 1600000000 + id;
        record.owner = id % 2 == 0 ? "even" : "";
        record.compressed_size = static_cast<std::uint64_t>(id);
        record.path = "/not/written/for/files";
        return record;
    }
};

// Many times the writer's ring: the walk must wait for free slots, and every
// row still arrives, in order, with its own fields.
TEST_P(RowPipelineTest, EveryRowPushedIsSavedWithItsOwnFields) {
    constexpr std::int32_t kRows = 5000;
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    {
        RowPipeline pipeline(catalogue_, GetParam());
        EXPECT_EQ(pipeline.threaded(), GetParam());
        FolderScanRecord reused;
        for (std::int32_t id = 1; id <= kRows; ++id) {
            reused = FileNumber(id);
            pipeline.PushFile(reused);
            if (id % 1000 == 0) {
                FolderScanRecord folder;
                folder.folder_id = id / 1000;
                folder.parent_id = 0;
                folder.path = "/volume/folder " + std::to_string(id);
                folder.files = id;
                pipeline.PushFolder(folder, '/');
            }
        }
        // A second row with an identifier already used is refused, and
        // counted, without stopping the rows after it.
        pipeline.PushFile(FileNumber(7));
        pipeline.PushFile(FileNumber(kRows + 1));
        EXPECT_EQ(pipeline.Finish(), 1u);
        EXPECT_FALSE(pipeline.threaded());
    }
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());

    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.files.size(), static_cast<std::size_t>(kRows + 1));
    for (const auto& [id, file] : rows.files) {
        const FolderScanRecord expected = FileNumber(id);
        ASSERT_EQ(file.name, expected.entry.name) << id;
        EXPECT_EQ(file.parent, expected.parent_id) << id;
        EXPECT_EQ(file.size, static_cast<double>(expected.entry.size)) << id;
        EXPECT_EQ(file.compressed, static_cast<double>(id)) << id;
        EXPECT_EQ(file.owner, expected.owner) << id;
    }
    ASSERT_EQ(rows.folders.size(), 5u);
    EXPECT_EQ(rows.folders.at(3).name, "/volume/folder 3000");
    EXPECT_EQ(rows.folders.at(3).files, 3000);
}

TEST_P(RowPipelineTest, AFinishedPipelineSavesFurtherRowsDirectly) {
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    RowPipeline pipeline(catalogue_, GetParam());
    pipeline.PushFile(FileNumber(1));
    pipeline.Finish();
    pipeline.PushFile(FileNumber(2));
    TableCursor& files = catalogue_.file_table();
    int count = 0;
    for (bool row = files.MoveFirst(); row; row = files.MoveNext()) {
        ++count;
    }
    EXPECT_EQ(count, 2);
    EXPECT_EQ(pipeline.Finish(), 0u);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
}

INSTANTIATE_TEST_SUITE_P(WriterThread, RowPipelineTest, ::testing::Bool());

}  // namespace
}  // namespace korvane::testing
