#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "actions/shell_operations.h"
#include "actions/tree_helpers.h"
#include "platform/run_unprivileged.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::Exists;
using testing::IsFolder;
using testing::IsLink;
using testing::LinkText;
using testing::NamesIn;
using testing::ReadFileBytes;
using testing::StatOf;
using testing::TempDir;
using testing::WriteFileBytes;

bool NoPartFiles(const std::string& folder) {
    for (const std::string& name : NamesIn(folder)) {
        if (name.rfind(".korvane-", 0) == 0)
            return false;
    }
    return true;
}

class ShellCopyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.str().empty());
        ASSERT_EQ(::mkdir((temp / "src").c_str(), 0755), 0);
        ASSERT_EQ(::mkdir((temp / "dest").c_str(), 0755), 0);
    }
    std::string Src(const std::string& name) const { return temp / ("src/" + name); }
    std::string Dest(const std::string& name) const { return temp / ("dest/" + name); }

    TempDir temp;
};

TEST_F(ShellCopyTest, CopiesFilesAndTreesIntoANewFolderKeepingModesTimesAndLinks) {
    ASSERT_EQ(::mkdir(Src("docs").c_str(), 0750), 0);
    ASSERT_EQ(::mkdir(Src("docs/sub").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Src("docs/empty").c_str(), 0700), 0);
    ASSERT_TRUE(WriteFileBytes(Src("docs/a.txt"), "alpha"));
    std::string binary(300000, '\0');
    for (std::size_t i = 0; i < binary.size(); ++i)
        binary[i] = static_cast<char>(i * 7);
    ASSERT_TRUE(WriteFileBytes(Src("docs/sub/b.bin"), binary));
    ASSERT_EQ(::symlink("a.txt", Src("docs/link").c_str()), 0);
    ASSERT_EQ(::symlink("/nowhere/at/all", Src("docs/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo(Src("docs/pipe").c_str(), 0620), 0);
    ASSERT_TRUE(WriteFileBytes(Src("top.txt"), "top"));
    ASSERT_EQ(::chmod(Src("docs/a.txt").c_str(), 0640), 0);
    ASSERT_EQ(::chmod(Src("docs/pipe").c_str(), 0620), 0);
    ASSERT_EQ(::chmod(Src("top.txt").c_str(), 0751), 0);
    ASSERT_TRUE(testing::SetTimes(Src("docs/a.txt"), 1000000000, 123456789));
    ASSERT_TRUE(testing::SetTimes(Src("docs/link"), 1100000000, 5));
    ASSERT_TRUE(testing::SetTimes(Src("docs/empty"), 1200000000, 0));
    ASSERT_TRUE(testing::SetTimes(Src("docs"), 1300000000, 0));

    const std::string destination = temp / "dest/new/deeper";
    const ShellOperationResult result =
        CopyFiles({Src("docs"), Src("top.txt")}, destination, CollisionRule::kRename);

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_EQ(result.items[0].source, Src("docs"));
    EXPECT_EQ(result.items[0].target, destination + "/docs");
    EXPECT_EQ(result.items[1].target, destination + "/top.txt");
    const std::string copy = destination + "/docs";
    EXPECT_EQ(NamesIn(copy), (std::vector<std::string>{"a.txt", "dangling", "empty", "link", "pipe", "sub"}));
    EXPECT_EQ(ReadFileBytes(copy + "/a.txt"), "alpha");
    EXPECT_EQ(ReadFileBytes(copy + "/sub/b.bin"), binary);
    EXPECT_EQ(ReadFileBytes(destination + "/top.txt"), "top");
    EXPECT_TRUE(IsLink(copy + "/link"));
    EXPECT_EQ(LinkText(copy + "/link"), "a.txt");
    EXPECT_EQ(LinkText(copy + "/dangling"), "/nowhere/at/all");
    EXPECT_TRUE(S_ISFIFO(StatOf(copy + "/pipe").st_mode));

    EXPECT_EQ(StatOf(copy + "/a.txt").st_mode & 07777, 0640u);
    EXPECT_EQ(StatOf(destination + "/top.txt").st_mode & 07777, 0751u);
    EXPECT_EQ(StatOf(copy).st_mode & 07777, 0750u);
    EXPECT_EQ(StatOf(copy + "/empty").st_mode & 07777, 0700u);
    EXPECT_EQ(StatOf(copy + "/pipe").st_mode & 07777, 0620u);
    EXPECT_TRUE(testing::SameModificationTime(StatOf(copy + "/a.txt"), StatOf(Src("docs/a.txt"))));
    EXPECT_TRUE(testing::SameModificationTime(StatOf(copy + "/link"), StatOf(Src("docs/link"))));
    EXPECT_TRUE(testing::SameModificationTime(StatOf(copy + "/empty"), StatOf(Src("docs/empty"))));
    EXPECT_TRUE(testing::SameModificationTime(StatOf(copy), StatOf(Src("docs"))));
    EXPECT_NE(StatOf(copy + "/a.txt").st_ino, StatOf(Src("docs/a.txt")).st_ino);
    EXPECT_TRUE(NoPartFiles(copy));
    EXPECT_EQ(ReadFileBytes(Src("docs/a.txt")), "alpha");
}

TEST_F(ShellCopyTest, NamesInUseGetNumberedNamesAndTheExistingEntriesStay) {
    ASSERT_TRUE(WriteFileBytes(Src("a.txt"), "new a"));
    ASSERT_TRUE(WriteFileBytes(Src("README"), "new readme"));
    ASSERT_TRUE(WriteFileBytes(Src(".profile"), "new profile"));
    ASSERT_EQ(::mkdir(Src("v1.2").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("v1.2/in.txt"), "in"));
    ASSERT_TRUE(WriteFileBytes(Dest("a.txt"), "old a"));
    ASSERT_TRUE(WriteFileBytes(Dest("a (2).txt"), "old a 2"));
    ASSERT_TRUE(WriteFileBytes(Dest("README"), "old readme"));
    ASSERT_TRUE(WriteFileBytes(Dest(".profile"), "old profile"));
    ASSERT_EQ(::mkdir(Dest("v1.2").c_str(), 0755), 0);

    const ShellOperationResult result = CopyFiles({Src("a.txt"), Src("README"), Src(".profile"), Src("v1.2")},
                                                  temp / "dest", CollisionRule::kRename);

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    EXPECT_EQ(result.items[0].target, Dest("a (3).txt"));
    EXPECT_EQ(result.items[1].target, Dest("README (2)"));
    EXPECT_EQ(result.items[2].target, Dest(".profile (2)"));
    EXPECT_EQ(result.items[3].target, Dest("v1.2 (2)"));
    EXPECT_EQ(ReadFileBytes(Dest("a (3).txt")), "new a");
    EXPECT_EQ(ReadFileBytes(Dest("a.txt")), "old a");
    EXPECT_EQ(ReadFileBytes(Dest("a (2).txt")), "old a 2");
    EXPECT_EQ(ReadFileBytes(Dest("README")), "old readme");
    EXPECT_EQ(ReadFileBytes(Dest("v1.2 (2)/in.txt")), "in");
    EXPECT_TRUE(NamesIn(Dest("v1.2")).empty());

    const ShellOperationResult kept = CopyFiles({Src("a.txt")}, temp / "dest", CollisionRule::kKeepExisting);
    ASSERT_EQ(kept.items.size(), 1u);
    EXPECT_EQ(kept.items[0].error, EEXIST);
    EXPECT_EQ(kept.failed, 1u);
    EXPECT_EQ(ReadFileBytes(Dest("a.txt")), "old a");
}

TEST(CollisionNameTest, NumbersBeforeTheLastExtensionAndStaysWithinTheNameLimit) {
    EXPECT_EQ(CollisionName("a.txt", 2, false), "a (2).txt");
    EXPECT_EQ(CollisionName("archive.tar.gz", 3, false), "archive.tar (3).gz");
    EXPECT_EQ(CollisionName(".bashrc", 2, false), ".bashrc (2)");
    EXPECT_EQ(CollisionName("v1.2", 2, true), "v1.2 (2)");
    EXPECT_EQ(CollisionName("name", 10, false), "name (10)");
    const std::string long_name = std::string(250, 'x') + ".txt";
    const std::string numbered = CollisionName(long_name, 2, false);
    EXPECT_EQ(numbered.size(), 255u);
    EXPECT_EQ(numbered.substr(numbered.size() - 8), " (2).txt");
    // Two-byte characters are never cut in half.
    std::string accents;
    for (int i = 0; i < 127; ++i)
        accents += "\xC3\xA9";
    const std::string cut = CollisionName(accents, 2, true);
    EXPECT_LE(cut.size(), 255u);
    EXPECT_EQ(cut.substr(cut.size() - 4), " (2)");
    EXPECT_EQ((cut.size() - 4) % 2, 0u);
}

TEST_F(ShellCopyTest, OverwriteReplacesFilesMergesFoldersAndNeverSwapsAFileForAFolder) {
    ASSERT_EQ(::mkdir(Src("docs").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("docs/a.txt"), "new"));
    ASSERT_TRUE(WriteFileBytes(Src("docs/b.txt"), "b"));
    ASSERT_TRUE(WriteFileBytes(Src("clash"), "a file"));
    ASSERT_EQ(::mkdir(Dest("docs").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Dest("docs/a.txt"), "old and longer"));
    ASSERT_TRUE(WriteFileBytes(Dest("docs/extra.txt"), "extra"));
    ASSERT_EQ(::mkdir(Dest("clash").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Dest("clash/keep.txt"), "keep"));
    const ino_t folder_inode = StatOf(Dest("docs")).st_ino;

    const ShellOperationResult result =
        CopyFiles({Src("docs"), Src("clash")}, temp / "dest", CollisionRule::kOverwrite);

    ASSERT_EQ(result.items.size(), 2u);
    EXPECT_TRUE(result.items[0].ok()) << result.items[0].error_text;
    EXPECT_EQ(result.items[0].target, Dest("docs"));
    EXPECT_EQ(StatOf(Dest("docs")).st_ino, folder_inode);
    EXPECT_EQ(NamesIn(Dest("docs")), (std::vector<std::string>{"a.txt", "b.txt", "extra.txt"}));
    EXPECT_EQ(ReadFileBytes(Dest("docs/a.txt")), "new");
    EXPECT_EQ(ReadFileBytes(Dest("docs/extra.txt")), "extra");
    EXPECT_EQ(result.items[1].error, EISDIR);
    EXPECT_EQ(result.failed, 1u);
    EXPECT_EQ(ReadFileBytes(Dest("clash/keep.txt")), "keep");
    EXPECT_TRUE(NoPartFiles(temp / "dest") && NoPartFiles(Dest("docs")));
}

TEST_F(ShellCopyTest, ACopyOntoItselfNeverLosesTheFile) {
    ASSERT_TRUE(WriteFileBytes(Src("a.txt"), "precious"));
    ASSERT_EQ(::mkdir(Src("tree").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("tree/in.txt"), "inner"));
    ASSERT_TRUE(WriteFileBytes(Dest("target.txt"), "target data"));
    ASSERT_EQ(::link(Dest("target.txt").c_str(), Src("target.txt").c_str()), 0);
    ASSERT_TRUE(WriteFileBytes(Dest("pointed.txt"), "pointed data"));
    ASSERT_EQ(::symlink(Dest("pointed.txt").c_str(), Src("pointed.txt").c_str()), 0);

    const ShellOperationResult renamed = CopyFiles({Src("a.txt")}, temp / "src", CollisionRule::kRename);
    ASSERT_TRUE(renamed.AllSucceeded()) << renamed.FirstError();
    EXPECT_EQ(renamed.items[0].target, Src("a (2).txt"));
    EXPECT_EQ(ReadFileBytes(Src("a (2).txt")), "precious");
    EXPECT_EQ(ReadFileBytes(Src("a.txt")), "precious");

    // Same path, another name of the same file, and a link to the target:
    // each would destroy the data it copies from.
    const ShellOperationResult same = CopyFiles({Src("a.txt")}, temp / "src", CollisionRule::kOverwrite);
    const ShellOperationResult hard =
        CopyFiles({Src("target.txt")}, temp / "dest", CollisionRule::kOverwrite);
    const ShellOperationResult link =
        CopyFiles({Src("pointed.txt")}, temp / "dest", CollisionRule::kOverwrite);
    const ShellOperationResult tree = CopyFiles({Src("tree")}, temp / "src", CollisionRule::kOverwrite);
    for (const ShellOperationResult* result : {&same, &hard, &link, &tree}) {
        ASSERT_EQ(result->items.size(), 1u);
        EXPECT_FALSE(result->AllSucceeded());
        EXPECT_NE(result->FirstError().find("source and destination are the same file"), std::string::npos)
            << result->FirstError();
    }
    EXPECT_EQ(ReadFileBytes(Src("a.txt")), "precious");
    EXPECT_EQ(ReadFileBytes(Dest("target.txt")), "target data");
    EXPECT_FALSE(IsLink(Dest("pointed.txt")));
    EXPECT_EQ(ReadFileBytes(Dest("pointed.txt")), "pointed data");
    EXPECT_EQ(ReadFileBytes(Src("tree/in.txt")), "inner");

    const ShellOperationResult into = CopyFiles({Src("tree")}, Src("tree/inner"), CollisionRule::kRename);
    EXPECT_EQ(into.items[0].error, EINVAL);
    EXPECT_NE(into.FirstError().find("cannot go into itself"), std::string::npos);
    EXPECT_TRUE(NamesIn(Src("tree/inner")).empty());
}

// Runs the work in a child process whose file size limit is `limit` bytes,
// so writing past it fails as a full disk would. Returns the child's exit code.
template <typename Work>
int WithFileSizeLimit(rlim_t limit, Work work) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit small = {limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

TEST_F(ShellCopyTest, AWriteThatFailsLeavesNoHalfFileAndKeepsTheFileItWasToReplace) {
    ASSERT_TRUE(WriteFileBytes(Src("big.bin"), std::string(1 << 20, 'B')));
    ASSERT_TRUE(WriteFileBytes(Src("other.bin"), std::string(1 << 20, 'O')));
    ASSERT_TRUE(WriteFileBytes(Dest("big.bin"), "the old big"));

    const int code = WithFileSizeLimit(64 * 1024, [&] {
        const ShellOperationResult result =
            CopyFiles({Src("big.bin"), Src("other.bin")}, temp / "dest", CollisionRule::kOverwrite);
        return result.failed == 2 && result.items[0].error == EFBIG && result.items[1].error == EFBIG ? 0 : 1;
    });

    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFileBytes(Dest("big.bin")), "the old big");
    EXPECT_FALSE(Exists(Dest("other.bin")));
    EXPECT_EQ(NamesIn(temp / "dest"), std::vector<std::string>{"big.bin"});
}

TEST_F(ShellCopyTest, MissingSourcesAndUnusableDestinationsFailTheirItemsOnly) {
    ASSERT_TRUE(WriteFileBytes(Src("a.txt"), "a"));
    ASSERT_TRUE(WriteFileBytes(Src("b.txt"), "b"));
    ASSERT_TRUE(WriteFileBytes(temp / "plain-file", "not a folder"));

    const ShellOperationResult partly =
        CopyFiles({Src("a.txt"), Src("missing.txt"), Src("b.txt")}, temp / "dest", CollisionRule::kRename);
    ASSERT_EQ(partly.items.size(), 3u);
    EXPECT_TRUE(partly.items[0].ok());
    EXPECT_EQ(partly.items[1].error, ENOENT);
    EXPECT_NE(partly.items[1].error_text.find(Src("missing.txt")), std::string::npos);
    EXPECT_TRUE(partly.items[2].ok());
    EXPECT_EQ(partly.failed, 1u);
    EXPECT_EQ(partly.FirstError(), partly.items[1].error_text);

    for (const std::string& destination :
         std::vector<std::string>{temp / "plain-file", temp / "plain-file/below"}) {
        const ShellOperationResult refused =
            CopyFiles({Src("a.txt"), Src("b.txt")}, destination, CollisionRule::kRename);
        ASSERT_EQ(refused.items.size(), 2u);
        EXPECT_EQ(refused.failed, 2u);
        EXPECT_EQ(refused.items[0].error, ENOTDIR) << destination;
        EXPECT_NE(refused.FirstError().find("destination folder"), std::string::npos);
    }
    EXPECT_EQ(ReadFileBytes(temp / "plain-file"), "not a folder");

    const ShellOperationResult nothing = CopyFiles({}, temp / "never-made", CollisionRule::kRename);
    EXPECT_TRUE(nothing.items.empty());
    EXPECT_FALSE(Exists(temp / "never-made"));
}

TEST_F(ShellCopyTest, AReadOnlyDestinationRefusesTheCopyForAnOrdinaryAccount) {
    ASSERT_EQ(::chmod(temp.str().c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("a.txt"), "a"));
    ASSERT_EQ(::chmod(Src("a.txt").c_str(), 0644), 0);
    ASSERT_EQ(::chmod(Dest("").c_str(), 0555), 0);
    ShellOperationResult result;
    if (!testing::RunUnprivileged(
            [&] { result = CopyFiles({Src("a.txt")}, temp / "dest", CollisionRule::kRename); })) {
        GTEST_SKIP() << "cannot drop file-system rights here";
    }
    ASSERT_EQ(result.items.size(), 1u);
    EXPECT_EQ(result.items[0].error, EACCES);
    EXPECT_TRUE(NamesIn(temp / "dest").empty());
}

TEST_F(ShellCopyTest, WildCardsInTheLastComponentExpandLikeAShell) {
    for (const char* name :
         {"a.txt", "b.txt", "ab.txt", ".hidden.txt", "c.doc", "report[1].txt", "report11.txt"}) {
        ASSERT_TRUE(WriteFileBytes(Src(name), name));
    }
    ASSERT_EQ(::mkdir(Src("x*").c_str(), 0755), 0);

    const ShellOperationResult stars = CopyFiles({Src("*.txt")}, temp / "stars", CollisionRule::kRename);
    ASSERT_TRUE(stars.AllSucceeded()) << stars.FirstError();
    EXPECT_EQ(NamesIn(temp / "stars"),
              (std::vector<std::string>{"a.txt", "ab.txt", "b.txt", "report11.txt", "report[1].txt"}));
    EXPECT_EQ(stars.items.front().source, Src("a.txt"));

    const ShellOperationResult one =
        CopyFiles({Src("?.txt"), Src(".h*")}, temp / "one", CollisionRule::kRename);
    ASSERT_TRUE(one.AllSucceeded()) << one.FirstError();
    EXPECT_EQ(NamesIn(temp / "one"), (std::vector<std::string>{".hidden.txt", "a.txt", "b.txt"}));

    // Brackets match only themselves; a wild card in a folder part is a plain name.
    const ShellOperationResult brackets =
        CopyFiles({Src("report[1]*")}, temp / "brackets", CollisionRule::kRename);
    ASSERT_TRUE(brackets.AllSucceeded()) << brackets.FirstError();
    EXPECT_EQ(NamesIn(temp / "brackets"), std::vector<std::string>{"report[1].txt"});

    ASSERT_TRUE(WriteFileBytes(Src("x*/in.txt"), "literal folder"));
    ASSERT_EQ(::mkdir(Src("xy").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("xy/in.txt"), "other folder"));
    const ShellOperationResult literal =
        CopyFiles({Src("x*/in.txt")}, temp / "literal", CollisionRule::kRename);
    ASSERT_TRUE(literal.AllSucceeded()) << literal.FirstError();
    EXPECT_EQ(NamesIn(temp / "literal"), std::vector<std::string>{"in.txt"});
    EXPECT_EQ(ReadFileBytes(temp / "literal/in.txt"), "literal folder");

    const ShellOperationResult none =
        CopyFiles({Src("*.none"), Src("a.txt"), Src("nofolder/*")}, temp / "none", CollisionRule::kRename);
    ASSERT_EQ(none.items.size(), 3u);
    EXPECT_EQ(none.failed, 2u);
    EXPECT_EQ(none.items[0].error_text, "No file matches " + Src("*.none"));
    EXPECT_EQ(none.items[1].target, temp / "none/a.txt");
    EXPECT_EQ(none.items[2].error, ENOENT);
    EXPECT_EQ(NamesIn(temp / "none"), std::vector<std::string>{"a.txt"});
}

TEST_F(ShellCopyTest, HostileNamesAreCopiedByteForByte) {
    const std::vector<std::string> names = {"blank name.txt",
                                            "comma,name",
                                            "\"quoted\" 'name'",
                                            "new\nline",
                                            std::string("bad\xFF\xFEutf8"),
                                            "back\\slash",
                                            "-starts-with-dash",
                                            "tab\there"};
    std::vector<std::string> sources;
    for (const std::string& name : names) {
        ASSERT_TRUE(WriteFileBytes(Src(name), "data of " + name));
        sources.push_back(Src(name));
    }
    ASSERT_EQ(::mkdir(Src("bad\xC0 folder").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("bad\xC0 folder/in\xFF"), "inner"));

    const ShellOperationResult listed = CopyFiles(sources, temp / "listed", CollisionRule::kRename);
    ASSERT_TRUE(listed.AllSucceeded()) << listed.FirstError();
    const ShellOperationResult globbed = CopyFiles({Src("*")}, temp / "globbed", CollisionRule::kRename);
    ASSERT_TRUE(globbed.AllSucceeded()) << globbed.FirstError();

    for (const std::string& name : names) {
        EXPECT_EQ(ReadFileBytes(temp / ("listed/" + name)), "data of " + name);
        EXPECT_EQ(ReadFileBytes(temp / ("globbed/" + name)), "data of " + name);
    }
    EXPECT_EQ(ReadFileBytes(temp / "globbed/bad\xC0 folder/in\xFF"), "inner");
    EXPECT_EQ(NamesIn(temp / "globbed").size(), names.size() + 1);
}

TEST_F(ShellCopyTest, ALinkSourceIsCopiedAsTheLinkNeverAsWhatItPointsAt) {
    ASSERT_EQ(::mkdir(Src("real").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Src("real/file.txt"), "file"));
    ASSERT_EQ(::symlink("real/file.txt", Src("to-file").c_str()), 0);
    ASSERT_EQ(::symlink("real", Src("to-folder").c_str()), 0);
    ASSERT_EQ(::symlink("gone", Src("to-nothing").c_str()), 0);

    const ShellOperationResult result = CopyFiles({Src("to-file"), Src("to-folder"), Src("to-nothing")},
                                                  temp / "dest", CollisionRule::kRename);

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    for (const char* name : {"to-file", "to-folder", "to-nothing"})
        EXPECT_TRUE(IsLink(Dest(name))) << name;
    EXPECT_EQ(LinkText(Dest("to-file")), "real/file.txt");
    EXPECT_EQ(LinkText(Dest("to-folder")), "real");
    EXPECT_EQ(LinkText(Dest("to-nothing")), "gone");
}

}  // namespace
}  // namespace korvane
