#include "query/query_execute.h"

#include <gtest/gtest.h>

#include "query/query_catalogue.h"
#include "query/query_file.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using ExecuteChecks = testing::QueryCatalogueTest;

TEST_F(ExecuteChecks, MessagesInOrder) {
    LoadTree();
    FolderTree& folders = tree_;
    QueryProfile profile;
    profile.initial_folder = "";
    ExecuteCheck check = CheckExecute(profile, folders);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, "Fields must be selected to build a query.");

    profile.fields[kFileParentIdRow].in_query = true;  // any row counts
    profile.initial_folder_id = 9;
    check = CheckExecute(profile, folders);
    EXPECT_EQ(check.message, "You must assign an initial query folder.");
    EXPECT_EQ(profile.initial_folder_id, 0);

    profile.initial_folder = "/srv/gone";
    check = CheckExecute(profile, folders);
    EXPECT_EQ(check.message, "Initial query folder /srv/gone not found in database.");

    profile.initial_folder = "/srv/users";
    check = CheckExecute(profile, folders);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(profile.initial_folder_id, 5);

    profile.initial_folder = "MY COMPUTER (SCANNED VOLUMES)";
    check = CheckExecute(profile, folders);
    EXPECT_TRUE(check.ok);
    EXPECT_EQ(profile.initial_folder_id, 0);
}

TEST_F(ExecuteChecks, InteractiveOpenOfAQueryWhoseFolderIsGone) {
    LoadTree();
    const std::string path = dir_ / "q.qry";
    ASSERT_TRUE(testing::WriteFileBytes(
        path,
        "[Query]\r\nInitial Folder=/srv/old\r\nLines=2\r\nQueryLine[0]= \"File\", \"Name\",\r\n"
        "QueryLine[1]= \"File\", \"Size\",\r\n"));
    QueryProfile profile;
    ASSERT_TRUE(ReadQueryFile(profile, path, tree_, true));
    EXPECT_TRUE(CheckQueryShape(profile));
    const ExecuteCheck check = CheckExecute(profile, tree_);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.message, "Initial query folder /srv/old not found in database.");
}

TEST(ResultPathOfQuery, BesideTheQueryFile) {
    EXPECT_EQ(ResultPathOfQuery("/q/Big Files.qry"), "/q/Big Files.rst");
    EXPECT_EQ(DocumentNameOfPath(*ResultPathOfQuery("/q/Big Files.qry")), "Big Files");
    EXPECT_EQ(ResultPathOfQuery("/q/a.b.qry"), "/q/a.b.rst");
    EXPECT_EQ(ResultPathOfQuery("/q.d/plain"), "/q.d/plain.rst");
    EXPECT_EQ(ResultPathOfQuery("relative.qry"), "relative.rst");
    EXPECT_EQ(ResultPathOfQuery(""), std::nullopt);
    EXPECT_EQ(ResultPathOfQuery("/q/"), std::nullopt);
}

}  // namespace
}  // namespace korvane
