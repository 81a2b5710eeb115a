#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "actions/shell_operations.h"
#include "actions/tree_helpers.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::Exists;
using testing::IsFolder;
using testing::IsLink;
using testing::LinkText;
using testing::NamesIn;
using testing::OtherDeviceDir;
using testing::ReadFileBytes;
using testing::StatOf;
using testing::TempDir;
using testing::WriteFileBytes;

class ShellMoveTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.str().empty());
        ASSERT_EQ(::mkdir((temp / "src").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((temp / "dest").c_str(), 0755), 0);
    }
    std::string Src(const std::string& name) const { return temp / ("src/" + name); }
    std::string Dest(const std::string& name) const { return temp / ("dest/" + name); }

    // src/docs with a file, a subfolder, a link and odd modes and times.
    void MakeDocs(const std::string& root) {
        ASSERT_EQ(::mkdir((root + "/docs").c_str(), 0750), 0);
        ASSERT_EQ(::mkdir((root + "/docs/sub").c_str(), 0755), 0);
        ASSERT_TRUE(WriteFileBytes(root + "/docs/a.txt", "alpha"));
        ASSERT_TRUE(WriteFileBytes(root + "/docs/sub/b.txt", std::string(200000, 'b')));
        ASSERT_EQ(::symlink("a.txt", (root + "/docs/link").c_str()), 0);
        ASSERT_EQ(::chmod((root + "/docs/a.txt").c_str(), 0604), 0);
        ASSERT_TRUE(testing::SetTimes(root + "/docs/a.txt", 1234567890, 42));
        ASSERT_TRUE(testing::SetTimes(root + "/docs", 1234500000, 0));
    }

    void ExpectDocs(const std::string& copy) {
        EXPECT_EQ(NamesIn(copy), (std::vector<std::string>{"a.txt", "link", "sub"}));
        EXPECT_EQ(ReadFileBytes(copy + "/a.txt"), "alpha");
        EXPECT_EQ(ReadFileBytes(copy + "/sub/b.txt"), std::string(200000, 'b'));
        EXPECT_EQ(LinkText(copy + "/link"), "a.txt");
        EXPECT_EQ(StatOf(copy + "/a.txt").st_mode & 07777, 0604u);
        EXPECT_EQ(StatOf(copy + "/a.txt").st_mtim.tv_sec, 1234567890);
        EXPECT_EQ(StatOf(copy + "/a.txt").st_mtim.tv_nsec, 42);
        EXPECT_EQ(StatOf(copy).st_mode & 07777, 0750u);
        EXPECT_EQ(StatOf(copy).st_mtim.tv_sec, 1234500000);
    }

    TempDir temp;
};

TEST_F(ShellMoveTest, MovesFilesAndTreesByRenamingThem) {
    MakeDocs(temp / "src");
    ASSERT_TRUE(WriteFileBytes(Src("top.txt"), "top"));
    const ino_t file_inode = StatOf(Src("top.txt")).st_ino;

    const ShellOperationResult result =
        MoveFiles({Src("docs"), Src("top.txt")}, temp / "dest/made", CollisionRule::kRename);

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    EXPECT_EQ(result.items[0].target, Dest("made/docs"));
    ExpectDocs(Dest("made/docs"));
    EXPECT_EQ(StatOf(Dest("made/top.txt")).st_ino, file_inode);
    EXPECT_TRUE(NamesIn(temp / "src").empty());
}

TEST_F(ShellMoveTest, CollisionsRenameOrOverwriteWithFoldersMerged) {
    ASSERT_TRUE(WriteFileBytes(Src("a.txt"), "new a"));
    ASSERT_TRUE(WriteFileBytes(Dest("a.txt"), "old a"));
    ASSERT_EQ(::mkdir(Src("docs").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("docs/one.txt"), "new one"));
    ASSERT_EQ(::mkdir(Src("docs/deep").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("docs/deep/two.txt"), "new two"));
    ASSERT_EQ(::mkdir(Dest("docs").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Dest("docs/one.txt"), "old one"));
    ASSERT_TRUE(WriteFileBytes(Dest("docs/mine.txt"), "mine"));
    ASSERT_EQ(::mkdir(Dest("docs/deep").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Dest("docs/deep/three.txt"), "three"));

    const ShellOperationResult renamed = MoveFiles({Src("a.txt")}, temp / "dest", CollisionRule::kRename);
    ASSERT_TRUE(renamed.AllSucceeded()) << renamed.FirstError();
    EXPECT_EQ(renamed.items[0].target, Dest("a (2).txt"));
    EXPECT_EQ(ReadFileBytes(Dest("a (2).txt")), "new a");
    EXPECT_EQ(ReadFileBytes(Dest("a.txt")), "old a");
    EXPECT_FALSE(Exists(Src("a.txt")));

    const ShellOperationResult merged = MoveFiles({Src("docs")}, temp / "dest", CollisionRule::kOverwrite);
    ASSERT_TRUE(merged.AllSucceeded()) << merged.FirstError();
    EXPECT_FALSE(Exists(Src("docs")));
    EXPECT_EQ(NamesIn(Dest("docs")), (std::vector<std::string>{"deep", "mine.txt", "one.txt"}));
    EXPECT_EQ(ReadFileBytes(Dest("docs/one.txt")), "new one");
    EXPECT_EQ(ReadFileBytes(Dest("docs/mine.txt")), "mine");
    EXPECT_EQ(NamesIn(Dest("docs/deep")), (std::vector<std::string>{"three.txt", "two.txt"}));

    // A file never replaces a folder, nor a folder a file.
    ASSERT_TRUE(WriteFileBytes(Src("docs"), "a file called docs"));
    ASSERT_EQ(::mkdir(Src("a.txt").c_str(), 0755), 0);
    const ShellOperationResult clash =
        MoveFiles({Src("docs"), Src("a.txt")}, temp / "dest", CollisionRule::kOverwrite);
    ASSERT_EQ(clash.items.size(), 2u);
    EXPECT_EQ(clash.items[0].error, EISDIR);
    EXPECT_EQ(clash.items[1].error, ENOTDIR);
    EXPECT_TRUE(Exists(Src("docs")) && Exists(Src("a.txt")));
    EXPECT_EQ(ReadFileBytes(Dest("a.txt")), "old a");
    EXPECT_TRUE(IsFolder(Dest("docs")));
}

TEST_F(ShellMoveTest, MovingOntoItselfKeepsTheData) {
    ASSERT_TRUE(WriteFileBytes(Src("a.txt"), "stay"));
    ASSERT_EQ(::mkdir(Src("tree").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Dest("shared.txt"), "shared"));
    ASSERT_EQ(::link(Dest("shared.txt").c_str(), Src("shared.txt").c_str()), 0);

    for (const CollisionRule rule : {CollisionRule::kRename, CollisionRule::kOverwrite}) {
        const ShellOperationResult same = MoveFiles({Src("a.txt"), Src("tree")}, temp / "src", rule);
        ASSERT_TRUE(same.AllSucceeded()) << same.FirstError();
        EXPECT_EQ(same.items[0].target, Src("a.txt"));
        EXPECT_EQ(NamesIn(temp / "src"), (std::vector<std::string>{"a.txt", "shared.txt", "tree"}));
    }
    EXPECT_EQ(ReadFileBytes(Src("a.txt")), "stay");

    // Another name of the same file: the moved name goes, the data stays.
    const ShellOperationResult linked =
        MoveFiles({Src("shared.txt")}, temp / "dest", CollisionRule::kOverwrite);
    ASSERT_TRUE(linked.AllSucceeded()) << linked.FirstError();
    EXPECT_FALSE(Exists(Src("shared.txt")));
    EXPECT_EQ(ReadFileBytes(Dest("shared.txt")), "shared");

    const ShellOperationResult into = MoveFiles({Src("tree")}, Src("tree/below"), CollisionRule::kOverwrite);
    EXPECT_EQ(into.items[0].error, EINVAL);
    EXPECT_TRUE(IsFolder(Src("tree")));
}

TEST_F(ShellMoveTest, MovesAcrossDevicesByCopyingThenRemovingTheSource) {
    OtherDeviceDir other;
    if (other.path().empty())
        GTEST_SKIP() << "no second writable device (/dev/shm)";
    MakeDocs(temp / "src");
    ASSERT_TRUE(WriteFileBytes(Src("top.txt"), "top"));
    ASSERT_TRUE(WriteFileBytes(other / "top.txt", "in the way"));

    const ShellOperationResult there =
        MoveFiles({Src("docs"), Src("top.txt")}, other.path(), CollisionRule::kRename);
    ASSERT_TRUE(there.AllSucceeded()) << there.FirstError();
    ExpectDocs(other / "docs");
    EXPECT_EQ(there.items[1].target, other / "top (2).txt");
    EXPECT_EQ(ReadFileBytes(other / "top (2).txt"), "top");
    EXPECT_EQ(ReadFileBytes(other / "top.txt"), "in the way");
    EXPECT_TRUE(NamesIn(temp / "src").empty());

    // And back, merging into a folder that is there already.
    MakeDocs(temp / "dest");
    ASSERT_TRUE(WriteFileBytes(other / "docs/extra.txt", "extra"));
    const ShellOperationResult back = MoveFiles({other / "docs"}, temp / "dest", CollisionRule::kOverwrite);
    ASSERT_TRUE(back.AllSucceeded()) << back.FirstError();
    EXPECT_FALSE(Exists(other / "docs"));
    EXPECT_EQ(NamesIn(Dest("docs")), (std::vector<std::string>{"a.txt", "extra.txt", "link", "sub"}));
    EXPECT_EQ(ReadFileBytes(Dest("docs/extra.txt")), "extra");
}

TEST_F(ShellMoveTest, AFailedCopyAcrossDevicesKeepsTheSourceAndLeavesNoHalfCopy) {
    OtherDeviceDir other;
    if (other.path().empty())
        GTEST_SKIP() << "no second writable device (/dev/shm)";
    ASSERT_EQ(::mkdir(Src("tree").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("tree/small.txt"), "small"));
    ASSERT_TRUE(WriteFileBytes(Src("tree/large.bin"), std::string(1 << 20, 'L')));
    ASSERT_TRUE(WriteFileBytes(Src("large.bin"), std::string(1 << 20, 'M')));

    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit small = {64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &small);
        const ShellOperationResult result =
            MoveFiles({Src("tree"), Src("large.bin")}, other.path(), CollisionRule::kRename);
        ::_exit(result.failed == 2 && result.items[0].error == EFBIG ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    EXPECT_EQ(NamesIn(Src("tree")), (std::vector<std::string>{"large.bin", "small.txt"}));
    EXPECT_EQ(ReadFileBytes(Src("tree/large.bin")), std::string(1 << 20, 'L'));
    EXPECT_EQ(ReadFileBytes(Src("large.bin")), std::string(1 << 20, 'M'));
    EXPECT_TRUE(NamesIn(other.path()).empty());
}

TEST_F(ShellMoveTest, HostileNamesAndLinksMoveUnchanged) {
    const std::vector<std::string> names = {
        "blank name", "comma,name", "\"quoted\"", "new\nline", std::string("bad\xFF\xFE"), "link\xE9"};
    for (std::size_t i = 0; i + 1 < names.size(); ++i)
        ASSERT_TRUE(WriteFileBytes(Src(names[i]), names[i]));
    ASSERT_EQ(::symlink("blank name", Src(names.back()).c_str()), 0);

    const ShellOperationResult result = MoveFiles({Src("*")}, temp / "dest", CollisionRule::kRename);

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    EXPECT_EQ(result.items.size(), names.size());
    for (std::size_t i = 0; i + 1 < names.size(); ++i)
        EXPECT_EQ(ReadFileBytes(Dest(names[i])), names[i]);
    EXPECT_TRUE(IsLink(Dest(names.back())));
    EXPECT_EQ(LinkText(Dest(names.back())), "blank name");
    EXPECT_TRUE(NamesIn(temp / "src").empty());

    const ShellOperationResult missing =
        MoveFiles({Src("blank name")}, temp / "dest", CollisionRule::kRename);
    ASSERT_EQ(missing.items.size(), 1u);
    EXPECT_EQ(missing.items[0].error, ENOENT);
}

}  // namespace
}  // namespace korvane
