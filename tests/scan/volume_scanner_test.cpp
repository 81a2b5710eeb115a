#include "scan/volume_scanner.h"

#include <sqlite3.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/user_volumes.h"
#include "catalogue/volume_fetch.h"
#include "platform/computer_name.h"
#include "platform/volume_probe.h"
#include "scan_fixture.h"
#include "support/scripted_progress.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

std::string OwnerName() {
    const passwd* account = getpwuid(geteuid());
    return account != nullptr ? account->pw_name : "";
}

std::uint32_t ClusterOf(const std::string& path) {
    struct statvfs info;
    EXPECT_EQ(statvfs(path.c_str(), &info), 0);
    return static_cast<std::uint32_t>(info.f_frsize != 0 ? info.f_frsize : info.f_bsize);
}

std::uint64_t Allocated(const std::string& path) {
    struct stat st;
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return static_cast<std::uint64_t>(st.st_blocks) * 512;
}

TEST_F(ScanTest, ATreeIsRecordedWithExactTotalsOwnersAndTypes) {
    const std::string root = Tree("vol");
    fs::create_directories(root + "/docs/old");
    fs::create_directories(root + "/empty");
    MakeFile(root + "/top.txt", 1);
    MakeFile(root + "/docs/report.final.doc", 4096);
    MakeFile(root + "/docs/README", 4097);
    MakeFile(root + "/docs/old/a.tar.gz", 10000);
    MakeFile(root + "/docs/old/zero", 0);
    ASSERT_TRUE(Build("\"" + root + "\","));

    const CatalogueRows rows = Read();
    EXPECT_EQ(rows.computer_rows, 1);
    EXPECT_EQ(rows.computer_name, ComputerName());
    ASSERT_EQ(rows.volumes.size(), 1u);
    const ScannedVolume& volume = rows.volumes[0];
    EXPECT_EQ(volume.id, 1);
    EXPECT_EQ(volume.root_folder, 1);
    EXPECT_EQ(volume.files, 5);
    EXPECT_EQ(volume.folders, 3);
    EXPECT_EQ(volume.type, 1);
    EXPECT_FALSE(volume.media.empty());
    EXPECT_FALSE(volume.format.empty());
    EXPECT_GT(volume.size, 0);
    EXPECT_EQ(volume.used + volume.free, volume.size);
    EXPECT_EQ(volume.root, MountPointOf(root, MountPointsOf(ReadMountTable())));
    EXPECT_EQ(rows.counters.next_volume, 2);
    EXPECT_EQ(rows.counters.next_folder, 5);
    EXPECT_EQ(rows.counters.next_file, 6);

    ASSERT_EQ(rows.folders.size(), 4u);
    const ScannedFolder& top = rows.folders.at(1);
    EXPECT_EQ(top.name, root);
    EXPECT_EQ(top.parent, 0);
    EXPECT_EQ(top.level, 0);
    EXPECT_EQ(top.files, 5);
    EXPECT_EQ(top.folders, 3);
    EXPECT_EQ(top.size, 1 + 4096 + 4097 + 10000);
    EXPECT_EQ(top.owner, "");  // a local volume has no server
    EXPECT_TRUE(top.has_modify);

    const std::int32_t docs = FolderId(root + "/docs");
    const std::int32_t old = FolderId(root + "/docs/old");
    ASSERT_NE(docs, 0);
    ASSERT_EQ(old, docs + 1);
    EXPECT_EQ(rows.folders.at(docs).folders, 1);
    EXPECT_EQ(rows.folders.at(docs).files, 4);
    EXPECT_EQ(rows.folders.at(docs).size, 4096 + 4097 + 10000);
    EXPECT_EQ(rows.folders.at(docs).level, 1);
    EXPECT_EQ(rows.folders.at(docs).owner, OwnerName());
    EXPECT_EQ(rows.folders.at(docs).attributes & 0x10, 0x10);
    EXPECT_EQ(rows.folders.at(old).level, 2);
    EXPECT_EQ(rows.folders.at(old).size, 10000);
    const std::int32_t empty = FolderId(root + "/empty");
    ASSERT_NE(empty, 0);
    EXPECT_EQ(rows.folders.at(empty).files, 0);
    EXPECT_EQ(rows.folders.at(empty).size, 0);

    const std::uint32_t cluster = ClusterOf(root);
    auto blocks = [cluster](std::uint64_t bytes) {
        return static_cast<double>((bytes + cluster - 1) / cluster);
    };
    // Blocks count the compressed size, which is the size of a file that is
    // not compressed.
    EXPECT_EQ(rows.folders.at(docs).blocks, blocks(4096) + blocks(4097));
    EXPECT_EQ(rows.folders.at(1).blocks, blocks(1));
    EXPECT_EQ(rows.folders.at(empty).blocks, 0);

    const auto in_docs = FilesIn(rows, docs);
    ASSERT_EQ(in_docs.size(), 2u);
    EXPECT_EQ(in_docs.at("report.final.doc").type, "doc");
    EXPECT_EQ(in_docs.at("README").type, std::nullopt);
    EXPECT_EQ(in_docs.at("README").size, 4097);
    EXPECT_EQ(in_docs.at("README").compressed, 4097);
    EXPECT_EQ(in_docs.at("README").owner, OwnerName());
    EXPECT_EQ(in_docs.at("README").attributes & 0x20, 0x20);
    EXPECT_TRUE(in_docs.at("README").has_modify);
    EXPECT_TRUE(in_docs.at("README").has_access);
    EXPECT_EQ(FilesIn(rows, old).at("a.tar.gz").type, "gz");

    // The reloaded tree answers for the new catalogue.
    EXPECT_EQ(tree_.DescendantCountOf(1), 3);
    EXPECT_EQ(counters_.next_folder, 5);
}

// The build writes through a rollback journal when it can and hands the
// catalogue back in WAL mode; a reader in another connection keeps it in WAL
// throughout and still sees the finished build.
TEST_F(ScanTest, TheBuildLeavesTheCatalogueSharedAndDurable) {
    const std::string root = Tree("vol");
    MakeFile(root + "/a.txt", 10);
    auto journal_mode = [&](sqlite3* db) {
        sqlite3_stmt* statement = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &statement, nullptr), SQLITE_OK);
        EXPECT_EQ(sqlite3_step(statement), SQLITE_ROW);
        std::string mode = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
        return mode;
    };
    ASSERT_TRUE(Build(root));
    EXPECT_EQ(journal_mode(catalogue_.handle()), "wal");

    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db_path_.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(reader, "SELECT count(*) FROM File", -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);  // the reader holds its snapshot open
    MakeFile(root + "/b.txt", 20);
    ASSERT_TRUE(Build(root));
    EXPECT_EQ(journal_mode(catalogue_.handle()), "wal");
    sqlite3_finalize(count);
    ASSERT_EQ(sqlite3_prepare_v2(reader, "SELECT count(*) FROM File", -1, &count, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 2);
    sqlite3_finalize(count);
    sqlite3_close(reader);
}

TEST_F(ScanTest, HostileNamesAreStoredByteForByteAndFoundAgainByPath) {
    const std::string root = Tree("names");
    const std::vector<std::string> names = {
        "with blank", "a,b,c",       "say \"hi\"",       "line\nbreak", std::string("bad\xff\xc3(utf8"),
        ".hidden",    "back\\slash", "semi;colon'quote", "*?[x]"};
    for (const std::string& name : names) {
        fs::create_directories(root + "/" + name);
        MakeFile(root + "/" + name + "/" + name, 3);
    }
    ASSERT_TRUE(Build(root));

    const CatalogueRows rows = Read();
    EXPECT_EQ(rows.volumes.at(0).files, static_cast<std::int32_t>(names.size()));
    for (const std::string& name : names) {
        const std::int32_t id = FolderId(root + "/" + name);
        ASSERT_NE(id, 0) << name;
        EXPECT_EQ(rows.folders.at(id).name, name);
        const auto files = FilesIn(rows, id);
        ASSERT_EQ(files.size(), 1u) << name;
        EXPECT_EQ(files.begin()->first, name);
        // The stored folder path and file name lead back to the file.
        std::string folder_path;
        ASSERT_TRUE(tree_.FolderPathOfId(id, folder_path));
        struct stat st;
        EXPECT_EQ(lstat((folder_path + "/" + files.begin()->first).c_str(), &st), 0) << name;
    }
    const std::int32_t hidden = FolderId(root + "/.hidden");
    EXPECT_EQ(rows.folders.at(hidden).attributes & 0x02, 0x02);
    EXPECT_EQ(FilesIn(rows, hidden).at(".hidden").attributes & 0x02, 0x02);
    EXPECT_EQ(FilesIn(rows, hidden).at(".hidden").type, "hidden");
}

TEST_F(ScanTest, SymbolicLinksAreRecordedAsFilesAndNeverFollowed) {
    const std::string root = Tree("links");
    fs::create_directories(root + "/real/inner");
    MakeFile(root + "/real/inner/data", 100);
    fs::create_directory_symlink(".", root + "/real/self");
    fs::create_directory_symlink("..", root + "/real/inner/up");
    fs::create_directory_symlink(root + "/real", root + "/to-real");
    fs::create_symlink("missing-target", root + "/dangling");
    ASSERT_TRUE(Build(root));

    const CatalogueRows rows = Read();
    EXPECT_EQ(rows.folders.size(), 3u);
    EXPECT_EQ(rows.volumes.at(0).folders, 2);
    EXPECT_EQ(rows.volumes.at(0).files, 5);
    const auto top = FilesIn(rows, 1);
    ASSERT_EQ(top.count("to-real"), 1u);
    EXPECT_EQ(top.at("to-real").attributes & 0x410, 0x400);
    EXPECT_EQ(top.at("dangling").size, std::string("missing-target").size());
    EXPECT_EQ(FilesIn(rows, FolderId(root + "/real")).at("self").attributes & 0x400, 0x400);
    EXPECT_EQ(rows.folders.at(1).size, 100 + 1 + 2 + root.size() + 5 + 14);
}

// Only a file carrying the compressed attribute has a compressed size of its
// own: a sparse file and a small one record their size there, whatever the
// file system allocated for them.
TEST_F(ScanTest, FilesWithoutTheCompressedAttributeRecordTheirSizeAsCompressed) {
    const std::string root = Tree("sparse");
    const std::uint64_t five_gib = 5ULL << 30;
    MakeSparse(root + "/disk.img", five_gib);
    MakeFile(root + "/ten", 10);
    ASSERT_TRUE(Build(root));
    const CatalogueRows rows = Read();
    const ScannedFile image = FilesIn(rows, 1).at("disk.img");
    EXPECT_EQ(image.size, 5368709120.0);
    EXPECT_LT(Allocated(root + "/disk.img"), 1024u * 1024u);
    EXPECT_EQ(image.compressed, 5368709120.0);
    EXPECT_EQ(image.attributes & 0x800, 0);
    EXPECT_GE(Allocated(root + "/ten"), 512u);
    EXPECT_EQ(FilesIn(rows, 1).at("ten").compressed, 10.0);
    EXPECT_EQ(rows.folders.at(1).size, 5368709130.0);
    EXPECT_EQ(image.type, "img");
}

TEST_F(ScanTest, AFileVanishingBetweenListingAndStatIsSkipped) {
    const std::string root = Tree("vanish");
    for (int i = 0; i < 10; ++i) {
        MakeFile(root + "/v" + std::to_string(i), 7);
    }
    ScriptedProgress progress;
    // Polls 1 and 2 come before "." and ".."; poll 3 follows the first real
    // entry, by which time the listing holds every name: the others go now.
    progress.on_poll = [&](int poll) {
        if (poll == 3) {
            for (int i = 0; i < 10; ++i) {
                fs::remove(root + "/v" + std::to_string(i));
            }
        }
        return false;
    };
    ASSERT_TRUE(Build(root, &progress));
    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.files.size(), 1u);
    EXPECT_TRUE(rows.files.begin()->second.has_modify);
    EXPECT_EQ(rows.files.begin()->second.size, 7);
    EXPECT_EQ(rows.folders.at(1).files, 1);
    EXPECT_EQ(rows.folders.at(1).size, 7);
    EXPECT_EQ(rows.volumes.at(0).files, 1);
}

TEST_F(ScanTest, AnUnreadableFolderIsRecordedAsEmptyWithAWarning) {
    const std::string root = Tree("locked");
    fs::create_directories(root + "/open");
    fs::create_directories(root + "/shut/inner");
    MakeFile(root + "/open/a", 5);
    MakeFile(root + "/shut/secret", 50);
    ASSERT_EQ(chmod((root + "/shut").c_str(), 0), 0);
    // The scan runs in a child with an ordinary account's rights, so the
    // permission holds even when the tests run as root.
    catalogue_.CloseCatalogue();
    constexpr uid_t kNobody = 65534;
    const bool as_root = geteuid() == 0;
    if (as_root) {
        for (const auto& entry :
             fs::recursive_directory_iterator(dir_.path(), fs::directory_options::skip_permission_denied)) {
            lchown(entry.path().c_str(), kNobody, kNobody);
        }
        lchown(dir_.str().c_str(), kNobody, kNobody);
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (as_root && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) {
            _exit(3);
        }
        SilentUserInterface silent;
        Catalogue catalogue(silent);
        FolderTree tree;
        IdCounters counters;
        ScanContext context{catalogue, tree, counters, silent, dir_ / "Event.log"};
        const bool ok = catalogue.OpenCatalogue(db_path_) && BuildCatalogue(context, root, nullptr);
        catalogue.CloseCatalogue();
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    chmod((root + "/shut").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_));
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    const CatalogueRows rows = Read();
    const std::int32_t shut = FolderId(root + "/shut");
    ASSERT_NE(shut, 0);
    EXPECT_EQ(rows.folders.at(shut).files, 0);
    EXPECT_EQ(rows.folders.at(shut).folders, 0);
    EXPECT_EQ(rows.folders.at(shut).size, 0);
    EXPECT_EQ(rows.folders.size(), 3u);
    EXPECT_EQ(rows.folders.at(1).files, 1);
    EXPECT_EQ(rows.folders.at(1).folders, 2);
    EXPECT_EQ(rows.folders.at(1).size, 5);
    EXPECT_EQ(rows.counters.next_folder, 4);
    const std::string log = ReadFileBytes(dir_ / "Event.log");
    EXPECT_NE(log.find("\"Warning\", \"Scan of " + root + " left out the contents of 1 folder, the first being " +
                       root + "/shut (Permission denied).\""),
              std::string::npos)
        << log;
}

class CancelTest : public ScanTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CancelTest, CancelInASubfolderKeepsWhatWasScannedAndStopsTheList) {
    context_.overlap_writing = GetParam();
    const std::string first = Tree("first");
    const std::string second = Tree("second");
    fs::create_directories(first + "/sub");
    for (int i = 0; i < 5; ++i) {
        MakeFile(first + "/sub/f" + std::to_string(i), 10);
    }
    MakeFile(second + "/never", 1);
    // Polls: first's ".", "..", "sub"; then sub's ".", "..", one file; the
    // seventh poll, before sub's second file, is a confirmed cancel.
    ui_.cancel_on_poll = 7;
    auto progress = ui_.CreateProgressWindow();
    ASSERT_TRUE(Build(first + "," + second, progress.get()));

    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.volumes[0].files, 1);
    EXPECT_EQ(rows.volumes[0].folders, 1);
    ASSERT_EQ(rows.files.size(), 1u);
    ASSERT_EQ(rows.folders.size(), 2u);
    EXPECT_EQ(rows.folders.at(1).name, first);
    EXPECT_EQ(rows.folders.at(1).files, 1);
    EXPECT_EQ(rows.folders.at(1).size, 10);
    EXPECT_EQ(rows.folders.at(2).files, 1);
    EXPECT_EQ(rows.files.begin()->second.parent, 2);
    EXPECT_EQ(rows.counters.next_volume, 2);
    EXPECT_EQ(rows.counters.next_folder, 3);
    EXPECT_EQ(rows.counters.next_file, 2);
    EXPECT_EQ(FolderId(first + "/sub"), 2);
    const ProgressLog& log = *ui_.progress[0];
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.titles.back(), "Database Close...");
    EXPECT_EQ(std::count(log.titles.begin(), log.titles.end(), "Scanning '" + rows.volumes[0].root + "'"), 1);
}

INSTANTIATE_TEST_SUITE_P(WriterThread, CancelTest, ::testing::Bool());

TEST_F(ScanTest, AClosedCatalogueIsNotBuiltAndItsTreeIsKept) {
    const std::string root = Tree("kept");
    fs::create_directories(root + "/sub");
    ASSERT_TRUE(Build(root));
    ASSERT_NE(FolderId(root + "/sub"), 0);
    catalogue_.CloseCatalogue();
    auto progress = ui_.CreateProgressWindow();
    EXPECT_FALSE(Build(root, progress.get()));
    EXPECT_NE(FolderId(root + "/sub"), 0);
    EXPECT_FALSE(ui_.progress[0]->shown);
}

TEST_F(ScanTest, AnEmptyListLeavesOnlyTheComputerRowWithCountersOne) {
    const std::string root = Tree("before");
    MakeFile(root + "/x", 1);
    ASSERT_TRUE(Build(root));
    ASSERT_EQ(Read().files.size(), 1u);
    ASSERT_TRUE(Build(""));
    const CatalogueRows rows = Read();
    EXPECT_EQ(rows.computer_rows, 1);
    EXPECT_TRUE(rows.folders.empty());
    EXPECT_TRUE(rows.files.empty());
    EXPECT_TRUE(rows.volumes.empty());
    EXPECT_EQ(rows.counters.next_volume, 1);
    EXPECT_EQ(rows.counters.next_folder, 1);
    EXPECT_EQ(rows.counters.next_file, 1);
    EXPECT_EQ(tree_.root()->first_child, nullptr);
    EXPECT_FALSE(fs::exists(dir_ / "~tmp.db"));
}

TEST_F(ScanTest, ProgressShowsEveryStepAndUnreadableVolumesAreReportedOnlyWithAWindow) {
    const std::string root = Tree("shown");
    fs::create_directories(root + "/sub");
    for (int i = 0; i < 45; ++i) {
        MakeFile(root + "/sub/file" + std::to_string(i), 1000);
    }
    auto progress = ui_.CreateProgressWindow();
    ASSERT_TRUE(Build("\"C:\\Data\", \"\\\\nosuch\\share\\dir\", \"" + root + "\"", progress.get()));
    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 1u);
    const ProgressLog& log = *ui_.progress[0];
    const std::vector<std::string> titles = {"Initializing Database...", "Deleting old records...",
                                             "Compacting database...",
                                             "Scanning '" + rows.volumes[0].root + "'", "Database Close..."};
    EXPECT_EQ(log.titles, titles);
    EXPECT_TRUE(log.shown);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.positions.front(), 0);
    EXPECT_EQ(log.positions.back(), 100);
    for (std::size_t i = 1; i + 1 < log.positions.size(); ++i) {
        EXPECT_LE(log.positions[i], 99);
    }
    // Every file shows its name; the percentage is set on files 1, 21 and 41.
    EXPECT_EQ(log.second_lines.size(), 45u);
    EXPECT_EQ(log.positions.size(), 5u);
    const std::string below = root.substr(rows.volumes[0].root == "/" ? 0 : rows.volumes[0].root.size());
    EXPECT_NE(std::find(log.first_lines.begin(), log.first_lines.end(), below + "/sub"),
              log.first_lines.end());
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_EQ(ui_.messages[0].text, "Can not scan C:\\, error 2.");
    EXPECT_EQ(ui_.messages[1].text, "Can not scan \\\\nosuch\\share\\, error 2.");
    EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::Ok);

    ui_.messages.clear();
    ASSERT_TRUE(Build("C:, " + root));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_EQ(Read().volumes.size(), 1u);
}

TEST_F(ScanTest, AStartingFolderBelowTheMountIsTheRootFolderOfItsVolume) {
    const std::string root = Tree("deep");
    fs::create_directories(root + "/keep/inside");
    MakeFile(root + "/skip.txt", 1);
    MakeFile(root + "/keep/inside/file", 2);
    fs::create_directory_symlink(root + "/keep", root + "/alias");
    ASSERT_TRUE(Build(root + "/alias"));
    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.folders.at(1).name, root + "/keep");
    EXPECT_EQ(rows.volumes[0].files, 1);
    EXPECT_EQ(rows.volumes[0].root, MountPointOf(root, MountPointsOf(ReadMountTable())));
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    VolumeScanRecord fetched;
    EXPECT_TRUE(FetchVolumeByRoot(catalogue_, root + "/keep/inside", fetched));
    EXPECT_EQ(fetched.root_folder_id, 1);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
}

TEST_F(ScanTest, UserVolumeTokensScanTheirLocationAndSkipTheRest) {
    const std::string root = Tree("user");
    MakeFile(root + "/u", 4);
    std::int32_t local_id = 0, ftp_id = 0;
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    ASSERT_TRUE(OpenUserVolumes(catalogue_));
    UserVolumeRecord local{root, "", "", 0, 0, 0};
    ASSERT_TRUE(AddUserVolume(catalogue_, local));
    local_id = local.uv_id;
    UserVolumeRecord ftp{"ftp:files.example/pub", "anonymous", "me@example", 0, 1, 2121};
    ASSERT_TRUE(AddUserVolume(catalogue_, ftp));
    ftp_id = ftp.uv_id;
    CloseUserVolumes(catalogue_);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());

    const std::string list = "\"uv: 0\",\"uv: 999\",\"uv: " + std::to_string(ftp_id) +
                             "\",\"uv: " + std::to_string(local_id) + "\"";
    auto progress = ui_.CreateProgressWindow();
    ASSERT_TRUE(Build(list, progress.get()));
    CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.folders.at(1).name, root);
    EXPECT_TRUE(ui_.messages.empty());

    std::vector<std::string> handed;
    context_.ftp_scan = [&](ScanContext& context, const UserVolumeRecord& volume, ProgressWindow* window) {
        handed.push_back(volume.location + " " + volume.user_name + " " + std::to_string(volume.port));
        EXPECT_EQ(&context, &context_);
        EXPECT_EQ(window, progress.get());
        return true;
    };
    ASSERT_TRUE(Build(list, progress.get()));
    EXPECT_EQ(handed, std::vector<std::string>{"ftp:files.example/pub anonymous 2121"});
    rows = Read();
    EXPECT_EQ(rows.volumes.size(), 1u);

    // The table survives every build.
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    ASSERT_TRUE(OpenUserVolumes(catalogue_));
    EXPECT_TRUE(SeekUserVolume(catalogue_, ftp_id));
    CloseUserVolumes(catalogue_);
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
}

// The real probe with extra mounts laid over folders of a temporary tree, to
// show kinds of volume this machine does not have.
class OverlayProbe : public LinuxVolumeProbe {
  public:
    std::vector<MountEntry> extra;
    std::vector<std::string> removable;
    std::vector<MountEntry> Mounts() override {
        std::vector<MountEntry> mounts = LinuxVolumeProbe::Mounts();
        mounts.insert(mounts.end(), extra.begin(), extra.end());
        return mounts;
    }
    std::optional<BlockDevice> BlockDeviceOf(const MountEntry& mount) override {
        if (std::find(removable.begin(), removable.end(), mount.mount_point) != removable.end()) {
            return BlockDevice{"sdz1", "sdz", true};
        }
        for (const MountEntry& added : extra) {
            if (added.mount_point == mount.mount_point) {
                return std::nullopt;
            }
        }
        return LinuxVolumeProbe::BlockDeviceOf(mount);
    }
    VolumeIdentity IdentityOf(const MountEntry& mount, const BlockDevice& device) override {
        if (device.name == "sdz1") {
            return {"", "1234-ABCD"};
        }
        return LinuxVolumeProbe::IdentityOf(mount, device);
    }
};

TEST_F(ScanTest, NetworkRemovableAndMemoryVolumesGetTheirOwnerNameMediaAndSerial) {
    const std::string share = Tree("share");
    const std::string nfs = Tree("nfs");
    const std::string stick = Tree("stick");
    const std::string ram = Tree("ram");
    fs::create_directories(share + "/dir");
    MakeFile(share + "/dir/doc.txt", 12);
    MakeFile(nfs + "/n", 1);
    MakeFile(stick + "/s", 1);
    OverlayProbe probe;
    probe.extra = {{share, "cifs", "//fileserver/Public", "rw", 0, "/"},
                   {nfs, "nfs4", "nas:/export/home", "rw", 0, "/"},
                   {stick, "vfat", "/dev/sdz1", "rw", 0, "/"},
                   {ram, "tmpfs", "tmpfs", "rw", 0, "/"}};
    probe.removable = {stick};
    context_.probe = &probe;
    ASSERT_TRUE(Build("\"\\\\FILESERVER\\public\\dir\"," + nfs + "," + stick + "," + ram));

    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 4u);
    const ScannedVolume& cifs = rows.volumes[0];
    EXPECT_EQ(cifs.root, share);
    EXPECT_EQ(cifs.owner, "fileserver");
    EXPECT_EQ(cifs.name, "Public");
    EXPECT_EQ(cifs.media, "Remote Media");
    EXPECT_EQ(cifs.format, "cifs");
    EXPECT_EQ(cifs.files, 1);
    EXPECT_EQ(rows.folders.at(cifs.root_folder).name, share + "/dir");
    EXPECT_EQ(rows.folders.at(cifs.root_folder).owner, "fileserver");
    EXPECT_EQ(rows.volumes[1].owner, "nas");
    EXPECT_EQ(rows.volumes[1].name, "/export/home");
    EXPECT_EQ(rows.volumes[2].media, "Removable Disk Media");
    EXPECT_EQ(rows.volumes[2].serial, 0);
    EXPECT_EQ(rows.volumes[2].name, "(Untitled volume)");
    EXPECT_EQ(rows.volumes[2].owner, "");
    EXPECT_EQ(rows.volumes[3].media, "Memory Media");
    EXPECT_EQ(rows.volumes[3].serial, 0);
    EXPECT_EQ(rows.volumes[3].files, 0);
}

// Nested folders "d" below root, made and removed through descriptors: the
// paths grow longer than the system can name.
void MakeChain(const std::string& root, int depth) {
    int fd = ::open(root.c_str(), O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
        const int next = openat(fd, "d", O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ASSERT_EQ(::close(::openat(fd, "bottom", O_CREAT | O_WRONLY | O_CLOEXEC, 0644)), 0);
    ::close(fd);
}

void RemoveChainBelow(int fd) {
    unlinkat(fd, "bottom", 0);
    const int child = openat(fd, "d", O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (child >= 0) {
        RemoveChainBelow(child);
        ::close(child);
        unlinkat(fd, "d", AT_REMOVEDIR);
    }
}

TEST_F(ScanTest, AChainDeeperThanTheLimitIsRecordedDownToTheLimitWithAWarning) {
    const std::string root = Tree("chain");
    MakeChain(root, 3000);
    const bool built = Build(root);
    const int fd = ::open(root.c_str(), O_DIRECTORY | O_CLOEXEC);
    RemoveChainBelow(fd);
    ::close(fd);
    ASSERT_TRUE(built);
    const CatalogueRows rows = Read();
    // Folders down to the limit are walked; the one below the deepest walked
    // folder is recorded, empty.
    ASSERT_EQ(rows.volumes.at(0).folders, kMaxScanDepth + 1);
    EXPECT_EQ(rows.files.size(), 0u);
    for (const auto& [id, folder] : rows.folders) {
        EXPECT_EQ(folder.level, id - 1);
        EXPECT_EQ(folder.folders, kMaxScanDepth + 1 - folder.level) << id;
    }
    // What was left out is said once for the volume, with the first path.
    std::string first = root;
    for (int level = 0; level <= kMaxScanDepth; ++level) {
        first += "/d";
    }
    ASSERT_EQ(context_.report.warnings.size(), 1u);
    EXPECT_EQ(context_.report.warnings[0], "Scan of " + root + " left out the contents of 1 folder, the first being " +
                                               first + " (deeper than 2048 folders).");
    const std::string log = ReadFileBytes(dir_ / "Event.log");
    EXPECT_NE(log.find("\"Korvane\", \"Warning\", \"Scan of " + root + " left out the contents of 1 folder"),
              std::string::npos);
}

TEST_F(ScanTest, AnotherMountInsideTheTreeIsRecordedEmptyAndNotEntered) {
    const std::string root = Tree("outer");
    fs::create_directories(root + "/mnt");
    MakeFile(root + "/mnt/hidden-by-mount", 1);
    if (geteuid() != 0 || mount("korvane-test", (root + "/mnt").c_str(), "tmpfs", 0, "size=1m") != 0) {
        GTEST_SKIP() << "mounting needs root";
    }
    MakeFile(root + "/mnt/on-other-volume", 1);
    MakeFile(root + "/here", 1);
    const bool built = Build(root);
    umount2((root + "/mnt").c_str(), MNT_DETACH);
    ASSERT_TRUE(built);
    const CatalogueRows rows = Read();
    const std::int32_t mnt = FolderId(root + "/mnt");
    ASSERT_NE(mnt, 0);
    EXPECT_EQ(rows.folders.at(mnt).files, 0);
    EXPECT_EQ(rows.files.size(), 1u);
    EXPECT_EQ(rows.files.begin()->second.name, "here");
}

}  // namespace
}  // namespace korvane::testing
