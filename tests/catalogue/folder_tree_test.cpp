#include "catalogue/folder_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

class FolderTreeTest : public EngineCatalogueTest {
  protected:
    std::vector<std::string> ChildNames(const FolderNode* node) {
        std::vector<std::string> names;
        for (const FolderNode* child = node->first_child; child != nullptr; child = child->next_sibling) {
            names.emplace_back(child->name());
        }
        return names;
    }

    std::string PathOf(std::int32_t id) {
        std::string path;
        EXPECT_TRUE(tree_.FolderPathOfId(id, path)) << id;
        return path;
    }

    FolderTree tree_;
};

TEST_P(FolderTreeTest, EmptyCatalogueGivesTheRootAlone) {
    OpenTables();
    EXPECT_FALSE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(tree_.root()->name(), kFolderTreeRootName);
    EXPECT_EQ(tree_.root()->folders, 0);
    EXPECT_EQ(tree_.root()->first_child, nullptr);
    EXPECT_EQ(tree_.FindFolderByPath("my computer (scanned volumes)"), tree_.root());
    EXPECT_EQ(tree_.FolderIdOfPath("MY COMPUTER (SCANNED VOLUMES)"), 0);
    EXPECT_EQ(tree_.FindFolderById(0), tree_.root());
    std::string path;
    ASSERT_TRUE(tree_.FolderPath(tree_.root(), path));
    EXPECT_EQ(path, "My Computer (Scanned Volumes)");
    EXPECT_FALSE(tree_.FolderPath(nullptr, path));
}

TEST_P(FolderTreeTest, DriveRootsMatchWithOrWithoutSeparatorInAnyCase) {
    OpenTables();
    AddFolder(1, 0, 2, "C:");
    AddFolder(2, 1, 1, "Data");
    AddFolder(3, 2, 0, "Old");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    const FolderNode* c = tree_.FindFolderById(1);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(tree_.FindFolderByPath("C:"), c);
    EXPECT_EQ(tree_.FindFolderByPath("C:\\"), c);
    EXPECT_EQ(tree_.FindFolderByPath("c:\\"), c);
    EXPECT_EQ(tree_.FolderIdOfPath("c:\\DATA\\old\\"), 3);
    EXPECT_EQ(tree_.FolderIdOfPath("C:\\Data\\Missing"), 0);
    EXPECT_EQ(tree_.FindFolderByPath("C:Data"), nullptr);
    EXPECT_EQ(PathOf(1), "C:\\");
    EXPECT_EQ(PathOf(3), "C:\\Data\\Old");
    EXPECT_EQ(tree_.root()->folders, 1);
    EXPECT_EQ(tree_.DescendantCountOf(1), 2);
    EXPECT_EQ(tree_.DescendantCountOf(77), 0);
    std::string path;
    EXPECT_FALSE(tree_.FolderPathOfId(77, path));
}

TEST_P(FolderTreeTest, ShareNamesThatStartAlikeAreKeptApart) {
    OpenTables();
    AddFolder(1, 0, 1, "\\\\srv\\share");
    AddFolder(2, 1, 0, "Data");
    AddFolder(3, 0, 1, "\\\\srv\\share2");
    AddFolder(4, 3, 0, "Data");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(tree_.FolderIdOfPath("\\\\srv\\share2\\Data"), 4);
    EXPECT_EQ(tree_.FolderIdOfPath("\\\\SRV\\Share\\data"), 2);
    EXPECT_EQ(PathOf(4), "\\\\srv\\share2\\Data");
    EXPECT_EQ(PathOf(3), "\\\\srv\\share2\\");
}

TEST_P(FolderTreeTest, FtpPathsUseSlashes) {
    OpenTables();
    AddFolder(1, 0, 2, "ftp:host");
    AddFolder(2, 1, 1, "pub");
    AddFolder(3, 2, 0, "docs");
    AddFolder(4, 0, 1, "ftp:other/start");
    AddFolder(5, 4, 0, "Below");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(tree_.FolderIdOfPath("ftp:host/pub/docs"), 3);
    EXPECT_EQ(tree_.FolderIdOfPath("FTP:HOST/PUB/"), 2);
    EXPECT_EQ(tree_.FolderIdOfPath("ftp:host\\pub"), 0);
    EXPECT_EQ(PathOf(1), "ftp:host/");
    EXPECT_EQ(PathOf(3), "ftp:host/pub/docs");
    EXPECT_EQ(PathOf(5), "ftp:other/start/Below");
    EXPECT_EQ(tree_.FolderIdOfPath("ftp:other/start/below"), 5);
}

TEST_P(FolderTreeTest, PosixRootsCompareExactlyAndTheDeepestMountWins) {
    OpenTables();
    AddFolder(1, 0, 2, "/");
    AddFolder(2, 1, 1, "etc");
    AddFolder(3, 2, 0, "ssh");
    AddFolder(4, 0, 2, "/home");
    AddFolder(5, 4, 0, "ann");
    AddFolder(6, 4, 0, "Ann");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(tree_.FolderIdOfPath("/"), 1);
    EXPECT_EQ(tree_.FolderIdOfPath("/etc/ssh"), 3);
    EXPECT_EQ(tree_.FolderIdOfPath("/ETC"), 0);
    EXPECT_EQ(tree_.FolderIdOfPath("/home"), 4);
    EXPECT_EQ(tree_.FolderIdOfPath("/home/"), 4);
    EXPECT_EQ(tree_.FolderIdOfPath("/home/ann"), 5);
    EXPECT_EQ(tree_.FolderIdOfPath("/home/Ann"), 6);
    EXPECT_EQ(tree_.FolderIdOfPath("/homework"), 0);
    EXPECT_EQ(PathOf(1), "/");
    EXPECT_EQ(PathOf(3), "/etc/ssh");
    EXPECT_EQ(PathOf(4), "/home/");
    EXPECT_EQ(PathOf(6), "/home/Ann");
}

TEST_P(FolderTreeTest, ChildrenFollowTheTableOrderAndEmptyCountsGetNone) {
    OpenTables();
    AddFolder(1, 0, 4, "C:");
    AddFolder(2, 1, 0, "zeta");
    AddFolder(3, 1, 0, "alpha");
    AddFolder(4, 1, 0, "Mid");
    AddFolder(5, 3, 0, "named below a folder whose count is 0");
    AddFolder(6, 0, 0, "D:");
    AddFolder(7, 6, 0, "under D: whose count is 0");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(ChildNames(tree_.root()), (std::vector<std::string>{"C:", "D:"}));
    EXPECT_EQ(ChildNames(tree_.FindFolderById(1)), (std::vector<std::string>{"zeta", "alpha", "Mid"}));
    EXPECT_EQ(tree_.FindFolderById(3)->first_child, nullptr);
    EXPECT_EQ(tree_.FindFolderById(5), nullptr);
    EXPECT_EQ(tree_.FindFolderById(7), nullptr);
    EXPECT_EQ(tree_.FindFolderById(4)->parent, tree_.FindFolderById(1));
    EXPECT_EQ(tree_.root()->folders, 2);
}

TEST_P(FolderTreeTest, OrphansAndCyclesStayOutOfTheTree) {
    OpenTables();
    AddFolder(1, 0, 1, "C:");
    AddFolder(2, 1, 0, "Kept");
    AddFolder(10, 9, 1, "parent missing");
    AddFolder(11, 10, 0, "below a missing parent");
    AddFolder(20, 21, 1, "cycle a");
    AddFolder(21, 20, 1, "cycle b");
    AddFolder(30, 30, 1, "its own parent");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(tree_.loaded_node_count(), 7U);
    for (std::int32_t id : {10, 11, 20, 21, 30}) {
        EXPECT_EQ(tree_.FindFolderById(id), nullptr) << id;
        EXPECT_EQ(tree_.DescendantCountOf(id), 0) << id;
        std::string path;
        EXPECT_FALSE(tree_.FolderPathOfId(id, path));
    }
    EXPECT_EQ(ChildNames(tree_.root()), std::vector<std::string>{"C:"});
    EXPECT_EQ(PathOf(2), "C:\\Kept");
}

TEST_P(FolderTreeTest, HostileValuesLoadWithoutHarm) {
    if (OnServer()) {
        GTEST_SKIP() << "The server's typed columns refuse such values when they are stored.";
    }
    ASSERT_TRUE(ExecuteSql(catalogue_.handle(),
                           "INSERT INTO Folder(\"Folder ID\", Name, \"Parent ID\", Folders) VALUES "
                           "(1, 'C:', 0, 3), (2, NULL, 1, 0), (3, 'text parent', 'x', 1), "
                           "(3000000000, 'big a', 1, 0), (4000000000, 'big b', 1, 0)"));
    OpenTables();
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(ChildNames(tree_.FindFolderById(1)), (std::vector<std::string>{"", "big a", "big b"}));
    EXPECT_EQ(tree_.FindFolderById(3), nullptr);
}

// What both engines store: no name, no parent, a missing parent, counts out
// of all proportion, the extreme identifiers.
TEST_P(FolderTreeTest, OddStorableValuesLoadWithoutHarm) {
    ASSERT_TRUE(
        ExecuteSql(catalogue_.connection(),
                   "INSERT INTO \"Folder\"(\"Folder ID\", \"Name\", \"Parent ID\", \"Folders\") VALUES "
                   "(1, 'C:', 0, 2147483647), (2, NULL, 1, -5), (3, 'no parent', NULL, 0), "
                   "(2147483647, 'last', 1, NULL), (-2147483648, 'first', 1, 0), (5, 'lost', 99, 0)"));
    OpenTables();
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    std::vector<std::string> names = ChildNames(tree_.FindFolderById(1));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"", "first", "last"}));
    EXPECT_EQ(tree_.FindFolderById(3), nullptr);
    EXPECT_EQ(tree_.FindFolderById(5), nullptr);
    EXPECT_EQ(PathOf(2147483647), "C:\\last");
    EXPECT_EQ(PathOf(-2147483648), "C:\\first");
}

TEST_P(FolderTreeTest, SearchByIdCoversStartItsSubtreeAndLaterSiblings) {
    OpenTables();
    AddFolder(1, 0, 6, "C:");
    AddFolder(2, 1, 1, "A");
    AddFolder(3, 2, 0, "A1");
    AddFolder(4, 1, 1, "B");
    AddFolder(5, 4, 0, "B1");
    AddFolder(6, 1, 1, "C");
    AddFolder(7, 6, 0, "C1");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    FolderNode* b = tree_.FindFolderById(4);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(tree_.FindFolderById(5, b)->name(), "B1");
    EXPECT_EQ(tree_.FindFolderById(7, b)->name(), "C1");
    EXPECT_EQ(tree_.FindFolderById(6, b)->name(), "C");
    EXPECT_EQ(tree_.FindFolderById(3, b), nullptr);  // an earlier sibling's subtree
    EXPECT_EQ(tree_.FindFolderById(1, b), nullptr);  // the parent
    EXPECT_EQ(tree_.FindFolderById(3, tree_.FindFolderById(3))->name(), "A1");
    EXPECT_EQ(tree_.FindFolderById(5, tree_.FindFolderById(3)), nullptr);
    EXPECT_EQ(tree_.FindFolderById(2, nullptr), nullptr);
}

TEST_P(FolderTreeTest, AddedNodesJoinAsLastChildAndAreReleased) {
    OpenTables();
    AddFolder(1, 0, 1, "C:");
    AddFolder(2, 1, 0, "Data");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    FolderNode* data = tree_.FindFolderById(2);
    FolderNode* first = tree_.AddFolderNode("New", data);
    FolderNode* second = tree_.AddFolderNode("Newer", data);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->folder_id, 0);
    EXPECT_EQ(first->parent_id, 0);
    EXPECT_EQ(first->folders, 0);
    EXPECT_EQ(data->folders, 0);
    EXPECT_EQ(ChildNames(data), (std::vector<std::string>{"New", "Newer"}));
    EXPECT_EQ(tree_.AddFolderNode("x", nullptr), nullptr);
    std::string path;
    ASSERT_TRUE(tree_.FolderPath(second, path));
    EXPECT_EQ(path, "C:\\Data\\Newer");
    first->folder_id = 3;  // as the catalogue update numbers it
    EXPECT_EQ(tree_.FindFolderById(3), first);
    EXPECT_EQ(tree_.FolderIdOfPath("C:\\Data\\new"), 3);

    tree_.SetFolderName(data, "Renamed");
    EXPECT_EQ(tree_.FolderIdOfPath("C:\\Renamed\\New"), 3);
    EXPECT_EQ(tree_.FolderIdOfPath("C:\\Data"), 0);

    tree_.FreeFolderTree();
    EXPECT_EQ(tree_.root()->first_child, nullptr);
    EXPECT_EQ(tree_.root()->folders, 0);
    EXPECT_EQ(tree_.FindFolderById(1), nullptr);
    EXPECT_EQ(tree_.FolderIdOfPath("C:"), 0);
    EXPECT_EQ(tree_.loaded_bytes(), 0U);
}

TEST_P(FolderTreeTest, ReloadReplacesTheTreeAndCountsItsBytes) {
    OpenTables();
    AddFolder(1, 0, 1, "C:");
    AddFolder(2, 1, 0, "Data");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    tree_.AddFolderNode("temporary", tree_.FindFolderById(2));
    ASSERT_TRUE(catalogue_.EmptyCatalogueTables());
    AddFolder(1, 0, 0, "D:");
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(ChildNames(tree_.root()), std::vector<std::string>{"D:"});
    EXPECT_EQ(tree_.FindFolderById(2), nullptr);
    EXPECT_EQ(tree_.loaded_bytes(), sizeof(FolderNode) + 3);
}

TEST_P(FolderTreeTest, AnEngineErrorLeavesTheRootAlone) {
    OpenTables();
    AddFolder(1, 0, 0, "C:");
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    ASSERT_TRUE(ExecuteSql(catalogue_.connection(), "ALTER TABLE \"Folder\" RENAME TO \"Gone\""));
    EXPECT_TRUE(tree_.LoadFolderTree(catalogue_));
    EXPECT_EQ(tree_.root()->first_child, nullptr);
    EXPECT_EQ(tree_.FolderIdOfPath("C:"), 0);
}

INSTANTIATE_ON_BOTH_ENGINES(FolderTreeTest);

}  // namespace
}  // namespace korvane::testing
