// FTP user volumes scanned into a real catalogue from a real FTP server
// (python3-pyftpdlib on 127.0.0.1) serving a tree the test makes, through
// the build itself; files downloaded from it for file actions; the browse
// dialog's tree walked on it. Rows and bytes are compared with the tree.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/day_number.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "ftp_test_server.h"
#include "listing_ftp_server.h"
#include "scan/ftp/ftp_browse.h"
#include "scan/ftp/ftp_download.h"
#include "scan/ftp/ftp_list_parser.h"
#include "scan/ftp/ftp_scan.h"
#include "scan/volume_scanner.h"
#include "scan_results.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::CatalogueRows;
using testing::Row;

constexpr std::uint64_t kHugeSize = 5ull << 30;  // listed, never fetched

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned value = seed;
    for (char& byte : bytes) {
        value = value * 1103515245u + 12345u;
        byte = static_cast<char>(value >> 16);
    }
    return bytes;
}

// What the server lists for one entry of the served tree.
struct ServedEntry {
    bool folder = false;
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::string owner;
    std::int64_t time = 0;  // as listed: minutes for recent entries, midnight for old ones
};

// A served folder's totals as the catalogue must hold them.
struct ServedTotals {
    std::int64_t files = 0, folders = 0, level = 0;
    double size = 0;
};

struct ServedTree {
    std::map<std::string, ServedEntry> entries;   // by path below the start, "pub/a.txt"
    std::map<std::string, ServedTotals> folders;  // by path below the start, "" for the start
};

ServedEntry ListedEntry(const fs::path& path, std::int64_t now) {
    struct stat info {};
    lstat(path.c_str(), &info);
    ServedEntry entry;
    entry.folder = S_ISDIR(info.st_mode);
    entry.attributes = entry.folder ? kFtpAttrDirectory : S_ISLNK(info.st_mode) ? kFtpAttrLink : 0;
    entry.size = static_cast<std::uint64_t>(info.st_size);
    const passwd* account = getpwuid(info.st_uid);
    entry.owner = account ? account->pw_name : std::to_string(info.st_uid);
    const std::int64_t mtime = info.st_mtim.tv_sec;
    entry.time = now - mtime > 180 * 86400 ? mtime - mtime % 86400 : mtime - mtime % 60;
    return entry;
}

ServedTotals CollectServed(const fs::path& folder, const std::string& relative, std::int64_t level,
                           std::int64_t now, ServedTree& tree) {
    ServedTotals totals;
    totals.level = level;
    for (const auto& item : fs::directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        const std::string path = relative.empty() ? name : relative + "/" + name;
        const ServedEntry entry = ListedEntry(item.path(), now);
        tree.entries[path] = entry;
        if (entry.folder) {
            const ServedTotals below = CollectServed(item.path(), path, level + 1, now, tree);
            totals.files += below.files;
            totals.folders += below.folders + 1;
            totals.size += below.size;
        } else {
            ++totals.files;
            totals.size += static_cast<double>(entry.size);
        }
    }
    tree.folders[relative] = totals;
    return totals;
}

ServedTree Served(const std::string& folder) {
    ServedTree tree;
    CollectServed(folder, "", 0, std::time(nullptr), tree);
    return tree;
}

// The catalogue's view of one volume, by path below its root folder.
struct ScannedVolume {
    const Row* root = nullptr;
    std::map<std::string, const Row*> folders;  // "" for the root
    std::map<std::string, const Row*> files;
};

void CollectScanned(const CatalogueRows& rows, std::int64_t folder_id, const std::string& relative,
                    ScannedVolume& volume) {
    volume.folders[relative] = &rows.folders.at(folder_id);
    for (const auto& [id, file] : rows.files) {
        if (file.at("Parent ID").integer == folder_id)
            volume.files[relative.empty() ? file.at("Name").text : relative + "/" + file.at("Name").text] =
                &file;
    }
    for (const auto& [id, folder] : rows.folders) {
        if (folder.at("Parent ID").integer == folder_id) {
            const std::string& name = folder.at("Name").text;
            CollectScanned(rows, id, relative.empty() ? name : relative + "/" + name, volume);
        }
    }
}

ScannedVolume Scanned(const CatalogueRows& rows, const Row& volume_row) {
    ScannedVolume volume;
    const std::int64_t root_id = volume_row.at("Folder ID").integer;
    volume.root = &rows.folders.at(root_id);
    CollectScanned(rows, root_id, "", volume);
    return volume;
}

template <typename Map>
std::vector<std::string> KeysOf(const Map& map) {
    std::vector<std::string> keys;
    for (const auto& item : map)
        keys.push_back(item.first);
    return keys;
}

// Every row of the volume against the served tree.
void ExpectVolumeMatchesTree(const CatalogueRows& rows, const Row& volume_row, const ServedTree& served,
                             const std::string& label) {
    SCOPED_TRACE(label);
    const ScannedVolume scanned = Scanned(rows, volume_row);
    std::vector<std::string> served_files, served_folders{""};
    for (const auto& [path, entry] : served.entries)
        (entry.folder ? served_folders : served_files).push_back(path);
    std::sort(served_folders.begin(), served_folders.end());
    ASSERT_EQ(KeysOf(scanned.files), served_files);
    ASSERT_EQ(KeysOf(scanned.folders), served_folders);

    for (const auto& [path, row] : scanned.files) {
        SCOPED_TRACE(path);
        const ServedEntry& entry = served.entries.at(path);
        EXPECT_EQ(row->at("Size").real, static_cast<double>(entry.size));
        EXPECT_EQ(row->at("Compressed").real, 0.0);
        EXPECT_EQ(row->at("Attributes").integer, entry.attributes);
        EXPECT_EQ(row->at("Owner").text, entry.owner);
        const double listed = DayNumberFromUnix(entry.time);
        EXPECT_EQ(row->at("Modify Date").real, listed);
        EXPECT_EQ(row->at("Create Date").real, listed);
        EXPECT_EQ(row->at("Access Date").real, listed);
    }
    for (const auto& [path, row] : scanned.folders) {
        SCOPED_TRACE("folder '" + path + "'");
        const ServedTotals& totals = served.folders.at(path);
        EXPECT_EQ(row->at("Files").integer, totals.files);
        EXPECT_EQ(row->at("Folders").integer, totals.folders);
        EXPECT_EQ(row->at("Size").real, totals.size);
        EXPECT_EQ(row->at("Blocks").real, 0.0);
        EXPECT_EQ(row->at("Level").integer, totals.level);
        if (path.empty())
            continue;
        const ServedEntry& entry = served.entries.at(path);
        EXPECT_EQ(row->at("Attributes").integer, kFtpAttrDirectory);
        EXPECT_EQ(row->at("Owner").text, entry.owner);
        EXPECT_EQ(row->at("Modify Date").real, DayNumberFromUnix(entry.time));
    }
    const ServedTotals& all = served.folders.at("");
    EXPECT_EQ(volume_row.at("Files").integer, all.files);
    EXPECT_EQ(volume_row.at("Folders").integer, all.folders);
}

class FtpSiteTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        python_ = testing::FindPyFtpdlibPython();
        if (python_.empty())
            return;
        work_ = std::make_unique<testing::TempDir>();
        root_ = (work_->path() / "site").string();
        MakeTree(root_);
        server_ = std::make_unique<testing::FtpTestServer>();
        if (!server_->Start(python_, root_, work_->str(), start_problem_))
            server_.reset();
    }

    static void TearDownTestSuite() {
        server_.reset();
        work_.reset();
    }

    static void MakeTree(const std::string& root) {
        fs::create_directories(root + "/My Documents");
        fs::create_directories(root + "/pub/docs/deep");
        fs::create_directories(root + "/sub");
        testing::WriteFileBytes(root + "/readme.txt", PatternBytes(100, 1));
        testing::WriteFileBytes(root + "/empty.dat", "");
        testing::WriteFileBytes(root + "/\xc3\xa9t\xc3\xa9.txt", "utf-8 name");
        testing::WriteFileBytes(root + "/My Documents/report 2001.doc", "quarterly report");
        testing::WriteFileBytes(root + "/My Documents/notes.txt", PatternBytes(3000, 2));
        testing::WriteFileBytes(root + "/pub/a.txt", "a in pub");
        testing::WriteFileBytes(root + "/pub/big.bin", PatternBytes(8 << 20, 3));
        testing::WriteFileBytes(root + "/pub/docs/b.txt", PatternBytes(70000, 4));
        testing::WriteFileBytes(root + "/pub/docs/c.tar.gz", PatternBytes(12345, 5));
        testing::WriteFileBytes(root + "/sub/a.txt", "a in sub, a longer text");
        fs::create_symlink("readme.txt", root + "/link");
        // Sparse: 5 GiB listed, nothing on the disk.
        testing::WriteFileBytes(root + "/huge.iso", "");
        fs::resize_file(root + "/huge.iso", kHugeSize);
        std::tm old{};
        old.tm_year = 2001 - 1900;
        old.tm_mon = 0;
        old.tm_mday = 5;
        old.tm_hour = 12;
        old.tm_min = 34;
        const timespec times[2] = {{timegm(&old), 0}, {timegm(&old), 0}};
        utimensat(AT_FDCWD, (root + "/readme.txt").c_str(), times, 0);
    }

    void SetUp() override {
        if (python_.empty())
            GTEST_SKIP()
                << "python3 -c 'import pyftpdlib' failed: install the Debian package python3-pyftpdlib "
                   "to run the tests against a real FTP server";
        ASSERT_TRUE(server_) << start_problem_;
        db_path_ = dir_ / "Korvane.db";
        log_path_ = dir_ / "Event.log";
        fs::create_directories(dir_ / "tmp");
        temp_ = dir_ / "tmp";
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(db_path_, error)) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_)) << catalogue_.last_error();
    }

    std::int32_t AddSite(const std::string& location, bool passive, bool anonymous = false) {
        UserVolumeRecord record;
        record.location = location;
        record.user_name = anonymous ? "anonymous" : testing::kFtpTestUser;
        record.password = anonymous ? "guest@example.org" : testing::kFtpTestPassword;
        record.port = server_->port();
        record.flags = passive ? kPassiveTransfers : 0;
        EXPECT_TRUE(OpenUserVolumes(catalogue_));
        EXPECT_TRUE(AddUserVolume(catalogue_, record));
        EXPECT_TRUE(CloseUserVolumes(catalogue_));
        return record.uv_id;
    }

    bool Build(const std::string& list, ProgressWindow* progress) {
        ScanContext context{catalogue_, tree_, counters_, ui_, log_path_};
        context.ftp_scan = [this](ScanContext& scan, const UserVolumeRecord& volume, ProgressWindow* window) {
            FtpScanTarget target{scan.catalogue,      scan.counters, scan.ui,
                                 scan.event_log_path, Timeouts(),    temp_};
            return FtpScanVolume(target, volume, window);
        };
        return BuildCatalogue(context, list, progress);
    }

    static FtpTimeouts Timeouts() { return FtpTimeouts{10, 10, 10, 10, 10}; }

    FtpDownloadTarget DownloadTarget() {
        return FtpDownloadTarget{catalogue_, ui_, log_path_, Timeouts(), temp_};
    }

    std::vector<std::string> EventLines() { return testing::EventLogLines(log_path_); }

    static inline std::string python_;
    static inline std::string root_;
    static inline std::string start_problem_;
    static inline std::unique_ptr<testing::TempDir> work_;
    static inline std::unique_ptr<testing::FtpTestServer> server_;

    testing::TempDir dir_;
    std::string db_path_, log_path_, temp_;
    testing::RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
    FolderTree tree_;
    IdCounters counters_;
};

TEST_F(FtpSiteTest, BuildRecordsUserVolumesInPassiveActiveAndBelowAStartingFolder) {
    const std::int32_t passive = AddSite("ftp:127.0.0.1", true);
    const std::int32_t active = AddSite("ftp:127.0.0.1", false);
    const std::int32_t pub = AddSite("ftp:127.0.0.1/pub", true, true);
    auto progress = ui_.CreateProgressWindow();
    const std::string list = "\"" + UserVolumeToken(passive) + "\", \"" + UserVolumeToken(active) + "\", \"" +
                             UserVolumeToken(pub) + "\"";
    ASSERT_TRUE(Build(list, progress.get()));

    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 3u);
    EXPECT_THAT(testing::NumberingProblems(rows), ::testing::IsEmpty());
    const ServedTree site = Served(root_);
    const ServedTree pub_tree = Served(root_ + "/pub");
    ExpectVolumeMatchesTree(rows, rows.volumes[0], site, "passive");
    ExpectVolumeMatchesTree(rows, rows.volumes[1], site, "active");
    ExpectVolumeMatchesTree(rows, rows.volumes[2], pub_tree, "below /pub");

    const std::int64_t now = std::time(nullptr);
    for (std::size_t i = 0; i < 3; ++i) {
        const Row& volume = rows.volumes[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(volume.at("Volume ID").integer, static_cast<std::int64_t>(i + 1));
        EXPECT_EQ(volume.at("Root").text, "ftp:127.0.0.1");
        EXPECT_EQ(volume.at("Name").text, "127.0.0.1");
        EXPECT_EQ(volume.at("Owner").text, "127.0.0.1");
        EXPECT_EQ(volume.at("Type").text, "FTP Server");
        EXPECT_EQ(volume.at("Format").text, "FTP");
        EXPECT_EQ(volume.at("Serial Number").integer, server_->port());
        EXPECT_EQ(volume.at("VolType").integer, 2);
        EXPECT_EQ(volume.at("Flags").integer, i == 1 ? 0 : kPassiveTransfers);
        EXPECT_EQ(volume.at("UserName").text, i == 2 ? "anonymous" : testing::kFtpTestUser);
        EXPECT_EQ(volume.at("Password").text, i == 2 ? "guest@example.org" : testing::kFtpTestPassword);
        EXPECT_EQ(volume.at("Size").real, 0.0);
        EXPECT_EQ(volume.at("Used").real, 0.0);
        EXPECT_EQ(volume.at("Free").real, 0.0);
        const Row& root = rows.folders.at(volume.at("Folder ID").integer);
        EXPECT_EQ(root.at("Name").text, i == 2 ? "ftp:127.0.0.1/pub" : "ftp:127.0.0.1");
        EXPECT_EQ(root.at("Parent ID").integer, 0);
        EXPECT_EQ(root.at("Owner").text, "127.0.0.1");
        EXPECT_NEAR(static_cast<double>(UnixFromDayNumber(root.at("Create Date").real)), now, 120);
    }

    // The 5 GiB file keeps its size, and every folder above it grows by it.
    const ScannedVolume first = Scanned(rows, rows.volumes[0]);
    EXPECT_EQ(first.files.at("huge.iso")->at("Size").real, 5368709120.0);
    EXPECT_GT(first.root->at("Size").real, 5368709120.0);
    EXPECT_EQ(first.files.at("link")->at("Attributes").integer, 1 << 20);
    EXPECT_EQ(first.files.at("pub/docs/c.tar.gz")->at("Type").text, "gz");
    std::tm day{};
    day.tm_year = 2001 - 1900;
    day.tm_mon = 0;
    day.tm_mday = 5;
    EXPECT_EQ(first.files.at("readme.txt")->at("Modify Date").real, DayNumberFromUnix(timegm(&day)));

    // The build's counters follow what was written; the folder tree finds "/" paths.
    EXPECT_EQ(rows.computer.at("Folder Key").integer, static_cast<std::int64_t>(rows.folders.size()) + 1);
    EXPECT_EQ(rows.computer.at("File Key").integer, static_cast<std::int64_t>(rows.files.size()) + 1);
    EXPECT_EQ(rows.computer.at("Volume Key").integer, 4);
    EXPECT_NE(tree_.FindFolderByPath("ftp:127.0.0.1/pub/docs/deep"), nullptr);
    EXPECT_NE(tree_.FindFolderByPath("ftp:127.0.0.1/pub/docs"), nullptr);

    const testing::ProgressLog& log = *ui_.progress.front();
    EXPECT_THAT(log.titles, ::testing::IsSupersetOf({"Connecting to 127.0.0.1...", "Scanning 127.0.0.1...",
                                                     "Disconnecting from 127.0.0.1..."}));
    EXPECT_THAT(log.first_lines, ::testing::Contains("/pub/docs/deep"));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(EventLines().empty());
    EXPECT_TRUE(fs::is_empty(temp_)) << "every listing file was deleted";
}

TEST_F(FtpSiteTest, TheBuildsOwnHookScansWithTheProgramsWaits) {
    const std::int32_t id = AddSite("ftp:127.0.0.1/My Documents", false);
    ScanContext context{catalogue_, tree_, counters_, ui_, log_path_};
    context.ftp_scan = kScanFtpUserVolume;
    ASSERT_TRUE(BuildCatalogue(context, "\"" + UserVolumeToken(id) + "\"", nullptr));
    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 1u);
    ExpectVolumeMatchesTree(rows, rows.volumes[0], Served(root_ + "/My Documents"), "My Documents");
}

TEST_F(FtpSiteTest, AnUnreachableSiteInAnUnattendedBuildIsLoggedOnceAndTheListGoesOn) {
    UserVolumeRecord unreachable;
    unreachable.location = "ftp:127.0.0.1/pub";
    unreachable.user_name = "anonymous";
    unreachable.port = testing::ClosedLoopbackPort();
    ASSERT_TRUE(OpenUserVolumes(catalogue_));
    ASSERT_TRUE(AddUserVolume(catalogue_, unreachable));
    ASSERT_TRUE(CloseUserVolumes(catalogue_));
    const std::int32_t reachable = AddSite("ftp:127.0.0.1/sub", true);
    ui_.interactive = false;
    ASSERT_TRUE(Build("\"" + UserVolumeToken(unreachable.uv_id) + "\",\"" + UserVolumeToken(reachable) + "\"",
                      nullptr));

    EXPECT_THAT(EventLines(), ::testing::ElementsAre("FTP Scan | Error | Could not connect to 127.0.0.1."));
    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.volumes[0].at("Volume ID").integer, 1) << "the unreachable site took no number";
    ExpectVolumeMatchesTree(rows, rows.volumes[0], Served(root_ + "/sub"), "sub");
}

TEST_F(FtpSiteTest, CancelKeepsWhatWasScannedAndWritesTheRootAndVolume) {
    const std::int32_t id = AddSite("ftp:127.0.0.1", true);
    UserVolumeRecord volume;
    ASSERT_TRUE(OpenUserVolumes(catalogue_));
    ASSERT_TRUE(SeekUserVolume(catalogue_, id) && ReadUserVolume(catalogue_, volume));
    ASSERT_TRUE(CloseUserVolumes(catalogue_));
    // Polls: the root folder, then the listing's blocks; the fourth folder poll or so stops it.
    ui_.cancel_on_poll = 6;
    auto progress = ui_.CreateProgressWindow();
    ASSERT_TRUE(catalogue_.OpenCatalogueTables());
    counters_ = IdCounters{1, 1, 1};
    FtpScanTarget target{catalogue_, counters_, ui_, log_path_, Timeouts(), temp_};
    EXPECT_FALSE(FtpScanVolume(target, volume, progress.get()));
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());

    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 1u);
    const ScannedVolume scanned = Scanned(rows, rows.volumes[0]);
    EXPECT_EQ(scanned.root->at("Name").text, "ftp:127.0.0.1");
    EXPECT_GT(scanned.folders.size(), 1u) << "the folders entered before the cancel are kept";
    EXPECT_LT(scanned.folders.size(), Served(root_).folders.size()) << "the walk stopped";
    EXPECT_THAT(testing::NumberingProblems(rows), ::testing::IsEmpty());
    EXPECT_EQ(counters_.next_volume, 2);
    EXPECT_EQ(counters_.next_folder, static_cast<std::int32_t>(rows.folders.size()) + 1);
    EXPECT_EQ(rows.volumes[0].at("Files").integer, static_cast<std::int64_t>(rows.files.size()));
    EXPECT_TRUE(EventLines().empty()) << "a cancel is not an error";
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(FtpSiteTest, DownloadsFetchTheSelectedFilesOfOneSiteInBothModes) {
    for (bool passive : {true, false}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        catalogue_.CloseCatalogue();
        fs::remove(db_path_);
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(db_path_, error)) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_));
        ASSERT_TRUE(Build("\"" + UserVolumeToken(AddSite("ftp:127.0.0.1", passive)) + "\"", nullptr));

        ui_.interactive = false;
        const std::vector<std::string> paths = {
            "ftp:127.0.0.1/pub/a.txt",
            "ftp:127.0.0.1/sub/a.txt",
            "/etc/hostname",
            "ftp:127.0.0.1/readme.txt",
            "ftp:elsewhere.example/pub/a.txt",
            "ftp:127.0.0.1/My Documents/report 2001.doc",
            "ftp:127.0.0.1/pub/docs/b.txt",
            "ftp:127.0.0.1/pub/missing.txt",
            "ftp:127.0.0.1/no such folder/x.txt",
            "ftp:127.0.0.1/\xc3\xa9t\xc3\xa9.txt",
        };
        const std::vector<int> skip = {0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
        FtpDownloadTarget target = DownloadTarget();
        FtpDownloadResult result;
        auto progress = ui_.CreateProgressWindow();
        ASSERT_TRUE(FtpDownload(target, paths, skip, progress.get(), result));
        EXPECT_FALSE(result.cancelled);

        std::vector<std::size_t> fetched;
        for (const FtpFetchedFile& file : result.files) {
            fetched.push_back(file.entry);
            const std::string remote = paths[file.entry].substr(paths[file.entry].find('/'));
            EXPECT_EQ(testing::ReadFileBytes(file.local_path), testing::ReadFileBytes(root_ + remote))
                << remote;
            EXPECT_EQ(fs::path(file.local_path).filename(), fs::path(remote).filename());
            EXPECT_EQ(fs::path(file.local_path).parent_path().parent_path(), fs::path(result.folder));
        }
        EXPECT_THAT(fetched, ::testing::ElementsAre(0, 1, 3, 5, 9));
        ASSERT_EQ(result.files.size(), 5u);
        EXPECT_NE(result.files[0].local_path, result.files[1].local_path) << "same name, other folder";
        EXPECT_EQ(fs::path(result.folder).parent_path(), fs::path(temp_));
        EXPECT_THAT(EventLines(), ::testing::ElementsAre(::testing::StartsWith("FTP | Error | 550 "),
                                                         ::testing::StartsWith("FTP | Error | 550 ")));
        const testing::ProgressLog& log = *ui_.progress.back();
        EXPECT_TRUE(log.shown && log.closed);
        EXPECT_THAT(log.titles, ::testing::ElementsAre("Connecting to 127.0.0.1...", "Downloading files...",
                                                       "Disconnecting from 127.0.0.1..."));
        EXPECT_THAT(log.first_lines, ::testing::Contains("/My Documents/report 2001.doc"));

        RemoveFtpDownload(result);
        EXPECT_TRUE(fs::is_empty(temp_));
        fs::remove(log_path_);
        ui_.interactive = true;
    }
}

TEST_F(FtpSiteTest, DownloadFailuresAreShownOneByOneWhenSomeoneIsThere) {
    ASSERT_TRUE(Build("\"" + UserVolumeToken(AddSite("ftp:127.0.0.1", true)) + "\"", nullptr));
    FtpDownloadTarget target = DownloadTarget();
    FtpDownloadResult result;
    ASSERT_TRUE(FtpDownload(
        target, {"ftp:127.0.0.1/pub/missing.txt", "ftp:127.0.0.1/gone/x", "ftp:127.0.0.1/pub/a.txt"}, {},
        nullptr, result));
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].entry, 2u);
    ASSERT_EQ(ui_.messages.size(), 2u);
    EXPECT_THAT(ui_.messages[0].text, ::testing::StartsWith("550 "));
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Stop);
    EXPECT_EQ(ui_.messages[0].buttons, MessageButtons::Ok);
    EXPECT_THAT(ui_.messages[1].text, ::testing::StartsWith("550 "));
    EXPECT_TRUE(EventLines().empty());
    RemoveFtpDownload(result);
}

TEST_F(FtpSiteTest, CancelledDownloadLeavesNoPartialFileAndFetchesNothingMore) {
    ASSERT_TRUE(Build("\"" + UserVolumeToken(AddSite("ftp:127.0.0.1", true)) + "\"", nullptr));
    // The small file takes a few polls; big.bin many more, and is stopped in the middle.
    ui_.cancel_on_poll = 12;
    ui_.polls = 0;
    auto progress = ui_.CreateProgressWindow();
    FtpDownloadTarget target = DownloadTarget();
    FtpDownloadResult result;
    ASSERT_TRUE(FtpDownload(
        target, {"ftp:127.0.0.1/pub/a.txt", "ftp:127.0.0.1/pub/big.bin", "ftp:127.0.0.1/readme.txt"}, {},
        progress.get(), result));
    EXPECT_TRUE(result.cancelled);
    ASSERT_EQ(result.files.size(), 1u);
    EXPECT_EQ(result.files[0].entry, 0u);
    std::vector<std::string> left;
    for (const auto& item : fs::recursive_directory_iterator(result.folder)) {
        if (item.is_regular_file())
            left.push_back(item.path().filename().string());
    }
    EXPECT_THAT(left, ::testing::ElementsAre("a.txt")) << "the half-fetched big.bin is gone";
    RemoveFtpDownload(result);
}

TEST_F(FtpSiteTest, DownloadNeedsEntriesOfAScannedSite) {
    ui_.interactive = false;
    FtpDownloadTarget target = DownloadTarget();
    FtpDownloadResult result;
    EXPECT_FALSE(FtpDownload(target, {"/etc/hostname", "ftp:127.0.0.1/pub/a.txt"}, {0, 1}, nullptr, result));
    EXPECT_TRUE(EventLines().empty()) << "nothing to fetch is not an error";
    EXPECT_FALSE(FtpDownload(target, {"ftp:127.0.0.1/pub/a.txt"}, {}, nullptr, result))
        << "no Volume row: no login details";
    EXPECT_THAT(EventLines(), ::testing::ElementsAre("FTP | Error | Couldn't connect to 127.0.0.1."));
    EXPECT_TRUE(result.folder.empty());
    EXPECT_TRUE(fs::is_empty(temp_));
}

class FtpBrowseTest : public FtpSiteTest {
  protected:
    FtpSite Site(std::string password = testing::kFtpTestPassword) {
        return FtpSite{"127.0.0.1", testing::kFtpTestUser, std::move(password), server_->port(), true};
    }

    std::vector<std::string> ChildNames(const FtpBrowser& browser, int item) {
        std::vector<std::string> names;
        for (int child : browser.Item(item)->children)
            names.push_back(browser.Item(child)->name);
        std::sort(names.begin(), names.end());
        return names;
    }

    int Child(const FtpBrowser& browser, int item, const std::string& name) {
        for (int child : browser.Item(item)->children) {
            if (browser.Item(child)->name == name)
                return child;
        }
        ADD_FAILURE() << "no child " << name;
        return 0;
    }
};

TEST_F(FtpBrowseTest, OpensOnTheSiteAndListsFoldersAndLinksOnExpanding) {
    FtpBrowser browser(ui_, Site(), Timeouts(), temp_);
    ASSERT_TRUE(browser.Open());
    const int top = browser.top();
    EXPECT_EQ(browser.Item(top)->name, "127.0.0.1");
    EXPECT_EQ(browser.selected(), top);
    EXPECT_EQ(browser.SelectedPath(), "/");
    EXPECT_THAT(ChildNames(browser, top), ::testing::ElementsAre("My Documents", "link", "pub", "sub"))
        << "folders and links, no plain files";
    EXPECT_TRUE(browser.Item(top)->has_children && browser.Item(top)->expanded);
    ASSERT_FALSE(ui_.statuses.empty());
    EXPECT_THAT(ui_.statuses.front(), ::testing::ElementsAre("Please wait...", "FTP browse...",
                                                             "Connecting to 127.0.0.1...", "", ""));

    const int pub = Child(browser, top, "pub");
    EXPECT_TRUE(browser.Item(pub)->has_children);
    ASSERT_TRUE(browser.Expand(pub));
    EXPECT_THAT(ChildNames(browser, pub), ::testing::ElementsAre("docs"));
    EXPECT_THAT(ui_.statuses.back(),
                ::testing::IsSupersetOf({"Changing to /pub", "Downloading directory listing..."}));
    const int docs = Child(browser, pub, "docs");
    ASSERT_TRUE(browser.Expand(docs));
    const int deep = Child(browser, docs, "deep");
    ASSERT_TRUE(browser.Expand(deep));
    EXPECT_FALSE(browser.Item(deep)->has_children) << "an empty folder loses its expander";
    browser.Select(deep);
    EXPECT_EQ(browser.SelectedPath(), "/pub/docs/deep");

    // Collapsing above the selection selects the collapsed item and forgets
    // its listing; the next expansion lists the folder again.
    fs::create_directory(root_ + "/pub/fresh");
    browser.Collapse(pub);
    EXPECT_EQ(browser.selected(), pub);
    EXPECT_EQ(browser.SelectedPath(), "/pub");
    EXPECT_TRUE(browser.Item(pub)->children.empty());
    EXPECT_EQ(browser.Item(docs), nullptr);
    EXPECT_FALSE(browser.Item(pub)->expanded_once);
    ASSERT_TRUE(browser.Expand(pub));
    EXPECT_THAT(ChildNames(browser, pub), ::testing::ElementsAre("docs", "fresh"));
    fs::remove(root_ + "/pub/fresh");

    // A link to a file is offered, but the server will not change into it.
    const std::size_t messages = ui_.messages.size();
    EXPECT_FALSE(browser.Expand(Child(browser, top, "link")));
    ASSERT_EQ(ui_.messages.size(), messages + 1);
    EXPECT_THAT(ui_.messages.back().text, ::testing::StartsWith("550 "));
    EXPECT_EQ(ui_.messages.back().icon, MessageIcon::Stop);

    browser.Close();
    EXPECT_THAT(ui_.statuses.back(), ::testing::ElementsAre("Please wait...", "FTP browse...",
                                                            "Disconnecting from 127.0.0.1...", "", ""));
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(FtpBrowseTest, AFailedOpeningSaysWhyWithAStopIcon) {
    {
        FtpBrowser browser(ui_, Site("wrong"), Timeouts(), temp_);
        EXPECT_FALSE(browser.Open());
    }
    {
        FtpSite site = Site();
        site.host = "no-such-host..invalid";
        FtpBrowser browser(ui_, site, Timeouts(), temp_);
        EXPECT_FALSE(browser.Open());
    }
    {
        FtpSite site = Site();
        site.port = testing::ClosedLoopbackPort();
        FtpBrowser browser(ui_, site, Timeouts(), temp_);
        EXPECT_FALSE(browser.Open());
    }
    ASSERT_EQ(ui_.messages.size(), 3u);
    EXPECT_THAT(ui_.messages[0].text, ::testing::StartsWith("530 "));
    EXPECT_EQ(ui_.messages[1].text, "Host no-such-host..invalid not found.");
    EXPECT_EQ(ui_.messages[2].text, "Could not connect to 127.0.0.1.");
    for (const auto& message : ui_.messages)
        EXPECT_EQ(message.icon, MessageIcon::Stop);
}

}  // namespace
}  // namespace korvane
