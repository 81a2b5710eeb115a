#include "actions/file_actions.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "action_fixture.h"
#include "actions/catalogue_sync.h"
#include "actions/clipboard_files.h"
#include "actions/selection_list.h"

namespace korvane::testing {
namespace {

ClipboardFiles Clip(std::vector<std::string> paths, bool cut) {
    return ClipboardFiles{std::move(paths), cut};
}

TEST_F(FileActionTest, ASelectionOfThreeFilesGivesThePathListTheTextAndTheirFileIds) {
    MakeFile("dir/a", 1);
    MakeFile("dir/b", 2);
    MakeFile("dir/c", 3);
    Scan();
    const SelectionList list = Select("dir", {"a", "b", "c"});
    const std::string dir = At("dir");
    EXPECT_EQ(list.MultiPath(), dir + "/a" + '\0' + dir + "/b" + '\0' + dir + "/c" + '\0' + '\0');
    EXPECT_EQ(list.PathText(), dir + "/a\r\n" + dir + "/b\r\n" + dir + "/c\r\n");
    EXPECT_EQ(list.file_ids, (std::vector<std::int32_t>{FileId("dir/a"), FileId("dir/b"), FileId("dir/c")}));
    EXPECT_NE(list.file_ids[0], 0);
    EXPECT_FALSE(list.holds_folder);
}

TEST_F(FileActionTest, TheSelectionRefusesFtpAndKeepsTheFirstVolumeWhenAsked) {
    Scan();
    ResultSelection ftp{"ftp:host/pub", false, {{"a", "", 0}}};
    SelectionList list;
    EXPECT_FALSE(BuildSelectionList(ftp, {}, catalogue_, tree_, ui_, list));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kFtpNotSupportedMessage);
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Stop);

    // Rows over two drives: the first row's drive wins; FTP rows are dropped with a plain box.
    ResultSelection mixed{root_,
                          true,
                          {{"report.doc", "C:\\data", 0},
                           {"b", "D:\\archive", 0},
                           {"c", "c:\\other", 0},
                           {"f", "ftp:host/x", 0}}};
    EXPECT_TRUE(BuildSelectionList(mixed, {true, false}, catalogue_, tree_, ui_, list));
    EXPECT_EQ(list.paths, (std::vector<std::string>{"C:\\data\\report.doc", "c:\\other\\c"}));
    EXPECT_TRUE(list.held_ftp);
    EXPECT_EQ(ui_.messages.back().icon, MessageIcon::None);

    const std::vector<std::string> mounts = {"/", "/mnt/a", "/mnt/b"};
    EXPECT_TRUE(OnSameVolume("/mnt/a/x", "/mnt/a/y/z", mounts));
    EXPECT_FALSE(OnSameVolume("/mnt/a/x", "/mnt/b/x", mounts));
    EXPECT_TRUE(OnSameVolume("\\\\srv\\share\\a", "\\\\SRV\\share\\b", mounts));
    EXPECT_FALSE(OnSameVolume("\\\\srv\\one\\a", "\\\\srv\\two\\a", mounts));
    EXPECT_TRUE(OnSameVolume("ftp:a/x", "ftp:b/y", mounts));
}

TEST_P(FileActionEngineTest, CopyThenPasteCopiesFilesAndTreesAndTheCatalogueMatchesAFreshScan) {
    MakeFile("src/one.txt", 1000);
    MakeFile("src/tree/inner/deep.bin", 5000);
    MakeFile("src/tree/top", 10);
    MakeFile("dest/existing.doc", 7);
    MakeFile("after/z", 3);  // folders after the destination are renumbered
    Scan();
    const ActionOutcome outcome =
        PasteFiles(context_, Clip({At("src/one.txt"), At("src/tree")}, false), At("dest"), nullptr);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_TRUE(outcome.catalogue_ok);
    EXPECT_TRUE(Exists(At("dest/tree/inner/deep.bin")));
    EXPECT_TRUE(Exists(At("src/one.txt")));
    EXPECT_EQ(outcome.hints & kHintContentsChanged, kHintContentsChanged);
    ExpectMatchesFreshScan();
}

TEST_P(FileActionEngineTest, CutThenPasteMovesFilesAndFoldersAndTheCatalogueFollows) {
    MakeFile("a/f1", 100);
    MakeFile("a/sub/s1", 200);
    MakeFile("a/sub/deeper/s2", 300);
    MakeFile("b/g", 50);
    MakeFile("c/h", 60);
    Scan();
    const ActionOutcome outcome =
        PasteFiles(context_, Clip({At("a/f1"), At("a/sub")}, true), At("c"), nullptr);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_FALSE(Exists(At("a/sub")));
    EXPECT_TRUE(Exists(At("c/sub/deeper/s2")));
    ExpectMatchesFreshScan();
    // And back, which removes the folder from after its old place.
    PasteFiles(context_, Clip({At("c/sub")}, true), At("b"), nullptr);
    ExpectMatchesFreshScan();
}

TEST_P(FileActionEngineTest, AMoveToAnotherFileSystemCopiesThenRemovesTheSourceAndItsRows) {
    OtherDeviceDir other;
    if (other.path().empty()) {
        GTEST_SKIP() << "no second writable file system here";
    }
    MakeFile("src/-x", 3000);
    MakeFile("src/bad\xFF\nname", 4000);
    MakeFile("src/stays", 10);
    Scan();
    const ActionOutcome outcome =
        PasteFiles(context_, Clip({At("src/-x"), At("src/bad\xFF\nname")}, true), other.path(), nullptr);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_EQ(ReadFileBytes(other / "bad\xFF\nname"), std::string(4000, 'k'));
    EXPECT_EQ(NamesIn(At("src")), (std::vector<std::string>{"stays"}));
    ExpectMatchesFreshScan();
}

TEST_F(FileActionTest, ANameInUseIsAskedAboutAndEachAnswerIsKept) {
    MakeFile("src/same.txt", 10, 'n');
    MakeFile("src/other.txt", 20, 'n');
    MakeFile("src/third.txt", 30, 'n');
    MakeFile("dest/same.txt", 99, 'o');
    MakeFile("dest/other.txt", 98, 'o');
    MakeFile("dest/third.txt", 97, 'o');
    Scan();
    const std::int32_t kept_id = FileId("dest/same.txt");
    ui_.conflict_answers = {{NameConflictAnswer::Replace, false},
                            {NameConflictAnswer::KeepBoth, false},
                            {NameConflictAnswer::Skip, false}};
    const ActionOutcome outcome =
        PasteFiles(context_, Clip({At("src/same.txt"), At("src/other.txt"), At("src/third.txt")}, true),
                   At("dest"), nullptr);
    EXPECT_EQ(ui_.conflicts.size(), 3u);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_EQ(outcome.skipped, 1u);
    EXPECT_EQ(ReadFileBytes(At("dest/same.txt")), std::string(10, 'n'));
    EXPECT_EQ(ReadFileBytes(At("dest/other.txt")), std::string(98, 'o'));
    EXPECT_EQ(ReadFileBytes(At("dest/other (2).txt")), std::string(20, 'n'));
    EXPECT_EQ(ReadFileBytes(At("src/third.txt")), std::string(30, 'n'));
    EXPECT_EQ(ReadFileBytes(At("dest/third.txt")), std::string(97, 'o'));
    EXPECT_EQ(FileId("dest/same.txt"), kept_id);
    ExpectMatchesFreshScan();

    // Cancel at the first question changes nothing; unattended, nothing is replaced.
    ui_.conflict_answers = {{NameConflictAnswer::Cancel, false}};
    EXPECT_TRUE(PasteFiles(context_, Clip({At("src/third.txt")}, false), At("dest"), nullptr).cancelled);
    SilentUserInterface silent;
    FileActionContext unattended{catalogue_, tree_, counters_, silent, owners_, {}, ""};
    EXPECT_EQ(PasteFiles(unattended, Clip({At("src/third.txt")}, false), At("dest"), nullptr).skipped, 1u);
    EXPECT_EQ(ReadFileBytes(At("dest/third.txt")), std::string(97, 'o'));
    // A copy onto itself keeps both without asking.
    ui_.conflicts.clear();
    EXPECT_EQ(PasteFiles(context_, Clip({At("src/third.txt")}, false), At("src"), nullptr).done, 1u);
    EXPECT_TRUE(ui_.conflicts.empty());
    EXPECT_TRUE(Exists(At("src/third (2).txt")));
    ExpectMatchesFreshScan();
}

TEST_F(FileActionTest, APartlyFailedPasteLeavesTheCatalogueAsTheDiskIs) {
    MakeFile("src/ok", 10);
    MakeFile("src/gone", 10);
    MakeFile("dest/x", 1);
    Scan();
    ASSERT_EQ(::unlink(At("src/gone").c_str()), 0);  // vanished after the scan
    const ActionOutcome outcome =
        PasteFiles(context_, Clip({At("src/gone"), At("src/ok")}, true), At("dest"), nullptr);
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_EQ(outcome.failed, 1u);
    EXPECT_FALSE(outcome.first_error.empty());
    // The vanished file's row is still there (nothing acted on it); the rest matches the disk.
    ASSERT_EQ(::mkdir(At("src/gone").c_str(), 0755), 0);
    ASSERT_EQ(::rmdir(At("src/gone").c_str()), 0);
    EXPECT_NE(FileId("dest/ok"), 0);
    EXPECT_EQ(FileId("src/ok"), 0);
}

TEST_F(FileActionTest, PasteShortcutMakesLinksAndACutClipboardMovesInstead) {
    MakeFile("src/report.doc", 10);
    MakeFile("src/plain", 10);
    MakeFolder("dest");
    Scan();
    const ActionOutcome links =
        PasteShortcuts(context_, Clip({At("src/report.doc"), At("src/plain")}, false), At("dest"), nullptr);
    EXPECT_EQ(links.done, 2u);
    EXPECT_EQ(LinkText(At("dest/report.lnk")), At("src/report.doc"));
    EXPECT_EQ(LinkText(At("dest/plain.lnk")), At("src/plain"));
    ExpectMatchesFreshScan();

    const ActionOutcome moved =
        PasteShortcuts(context_, Clip({At("src/report.doc")}, true), At("dest"), nullptr);
    EXPECT_EQ(moved.done, 1u);
    EXPECT_TRUE(Exists(At("dest/report.doc")));
    EXPECT_FALSE(Exists(At("src/report.doc")));
    EXPECT_EQ(NamesIn(At("dest")), (std::vector<std::string>{"plain.lnk", "report.doc", "report.lnk"}));
    ExpectMatchesFreshScan();
}

TEST_P(FileActionEngineTest, DeleteSendsFilesAndFoldersToTheTrashAndTheCatalogueFollows) {
    MakeFile("keep/k", 5);
    MakeFile("doomed/x", 10);
    MakeFile("doomed/sub/y", 20);
    MakeFile("loose/-rf", 30);
    MakeFile("loose/new\nline", 40);
    MakeFile("loose/star*?", 50);
    MakeFile("loose/star1", 60);
    MakeFile("z/last", 1);
    Scan();
    const SelectionList list = Select("", {"doomed"});
    EXPECT_TRUE(list.holds_folder);
    const ActionOutcome folder = DeleteSelection(context_, list, nullptr);
    EXPECT_EQ(folder.done, 1u);
    EXPECT_EQ(ui_.messages.front().text, kDeletingFoldersMessage);
    EXPECT_FALSE(Exists(At("doomed")));
    EXPECT_TRUE(IsFolder(base_ + "/data/Trash/files/doomed"));
    ExpectMatchesFreshScan();

    const ActionOutcome files =
        DeleteSelection(context_, Select("loose", {"-rf", "new\nline", "star*?"}), nullptr);
    EXPECT_EQ(files.done, 3u);
    EXPECT_EQ(NamesIn(At("loose")), (std::vector<std::string>{"star1"}));
    ExpectMatchesFreshScan();

    // Answering No deletes nothing.
    ui_.answers = {MessageAnswer::No};
    EXPECT_TRUE(DeleteSelection(context_, Select("loose", {"star1"}), nullptr).cancelled);
    EXPECT_TRUE(Exists(At("loose/star1")));
}

TEST_P(FileActionEngineTest, RenameNeverReplacesAndKeepsIdentifiers) {
    MakeFile("d/report.doc", 10);
    MakeFile("d/taken", 20);
    MakeFile("d/folder/inside", 30);
    Scan();
    const std::int32_t id = FileId("d/report.doc");
    const std::int32_t folder_id = tree_.FolderIdOfPath(At("d/folder"));
    ActionOutcome outcome;
    EXPECT_FALSE(RenameEntry(context_, At("d"), "report.doc", "taken", outcome));
    EXPECT_EQ(ReadFileBytes(At("d/taken")), std::string(20, 'k'));
    EXPECT_TRUE(RenameEntry(context_, At("d"), "report.doc", "--README", outcome));
    EXPECT_EQ(FileId("d/--README"), id);
    EXPECT_TRUE(RenameEntry(context_, At("d"), "folder", "renamed", outcome));
    EXPECT_EQ(tree_.FolderIdOfPath(At("d/renamed")), folder_id);
    EXPECT_EQ(outcome.hints & kHintFolderNameChanged, kHintFolderNameChanged);
    EXPECT_FALSE(RenameEntry(context_, At("d"), "taken", "a/b", outcome));
    ExpectMatchesFreshScan();
}

TEST_P(FileActionEngineTest, NewFolderTakesTheFirstFreeNumber) {
    MakeFolder("d/New Folder");
    MakeFolder("d/New Folder 1");
    MakeFile("e/f", 1);
    Scan();
    std::string name;
    ActionOutcome outcome;
    ASSERT_TRUE(CreateNewFolder(context_, At("d"), name, outcome));
    EXPECT_EQ(name, "New Folder 2");
    EXPECT_TRUE(IsFolder(At("d/New Folder 2")));
    EXPECT_NE(tree_.FolderIdOfPath(At("d/New Folder 2")), 0);
    ExpectMatchesFreshScan();
    ui_.messages.clear();
    EXPECT_FALSE(CreateNewFolder(context_, base_ + "/missing", name, outcome));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Could not create folder " + base_ + "/missing/New Folder.");
}

TEST_P(FileActionEngineTest, LinkMovesTheFileAndLeavesAShortcutAtItsOldPlace) {
    MakeFile("data/report.doc", 100);
    MakeFile("data/notes", 10);
    MakeFolder("archive");
    Scan();
    const ActionOutcome outcome =
        LinkSelection(context_, Select("data", {"report.doc", "notes"}), At("archive"), nullptr);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_TRUE(Exists(At("archive/report.doc")));
    EXPECT_FALSE(Exists(At("data/report.doc")));
    EXPECT_EQ(LinkText(At("data/report.lnk")), At("archive/report.doc"));
    EXPECT_EQ(LinkText(At("data/notes.lnk")), At("archive/notes"));
    ExpectMatchesFreshScan();
}

TEST_F(FileActionTest, CompressionARefusalCountsAsAFailedFileAndFoldersArePassedOver) {
    MakeFile("d/a", 100);
    MakeFolder("d/sub");
    Scan();
    SelectionList list = Select("d", {"a", "sub"});
    struct stat status;
    ASSERT_EQ(::stat(root_.c_str(), &status), 0);
    const ActionOutcome outcome = CompressSelection(context_, list, true);
    // The temporary folder's file system keeps no compression flag (not btrfs).
    EXPECT_EQ(outcome.done + outcome.failed, 1u);
    ExpectMatchesFreshScan();
    // A NetWare volume goes to its layer, which is not there: the file fails.
    VolumeScanRecord netware;
    netware.volume_type = 10;
    EXPECT_EQ(SetVolumeCompression({}, netware, At("d/a"), true), ENOSYS);
    NetWareRoutes routes;
    std::string routed;
    routes.set_compression = [&](const VolumeScanRecord&, const std::string& path, bool) {
        routed = path;
        return 0;
    };
    EXPECT_EQ(SetVolumeCompression(routes, netware, At("d/a"), true), 0);
    EXPECT_EQ(routed, At("d/a"));
    netware.volume_type = 2;
    EXPECT_EQ(SetVolumeCompression(routes, netware, At("d/a"), true), EOPNOTSUPP);
}

TEST(ShortcutBase, TheExtensionOfTheLastComponentOnlyGoes) {
    EXPECT_EQ(ShortcutBaseOf("/a/report.doc"), "/a/report");
    EXPECT_EQ(ShortcutBaseOf("/a.b/plain"), "/a.b/plain");
    EXPECT_EQ(ShortcutBaseOf("/a/.hidden"), "/a/.hidden");
    EXPECT_EQ(ShortcutBaseOf("/a/x.tar.gz"), "/a/x.tar");
}

}  // namespace
INSTANTIATE_ON_BOTH_ENGINES(FileActionEngineTest);

}  // namespace korvane::testing
