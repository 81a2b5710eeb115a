// The FTP scan and download against the tests' own listing server, for what
// real servers rarely send: "." and ".." entries, DOS lines, names with "/",
// sizes of many GiB, refused folders, a reset in the middle of a walk,
// folders that lead into themselves, logins that always fail, and names a
// download must never turn into a path outside its folder.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "catalogue/catalogue.h"
#include "catalogue/day_number.h"
#include "catalogue/row_writers.h"
#include "catalogue/schema.h"
#include "listing_ftp_server.h"
#include "scan/ftp/ftp_download.h"
#include "scan/ftp/ftp_list_parser.h"
#include "scan/ftp/ftp_scan.h"
#include "scan/ftp/ftp_site_login.h"
#include "scan_results.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::CatalogueRows;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::ListingFtpServer;

std::int64_t Utc(int year, int month, int day, int hour = 0, int minute = 0) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    return timegm(&time);
}

std::vector<std::string> Only(const std::vector<std::string>& commands, const std::string& verb) {
    std::vector<std::string> found;
    for (const std::string& command : commands) {
        if (command.rfind(verb, 0) == 0)
            found.push_back(command);
    }
    return found;
}

class FtpListingSiteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db_path_ = dir_ / "Korvane.db";
        log_path_ = dir_ / "Event.log";
        temp_ = dir_ / "tmp";
        fs::create_directories(temp_);
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(db_path_, error)) << error;
        ASSERT_TRUE(catalogue_.OpenCatalogue(db_path_)) << catalogue_.last_error();
        ui_.interactive = false;
    }

    UserVolumeRecord Site(int port, const std::string& location = "ftp:127.0.0.1") {
        UserVolumeRecord volume;
        volume.location = location;
        volume.user_name = "walker";
        volume.password = "secret";
        volume.port = port;
        volume.flags = kPassiveTransfers;
        return volume;
    }

    bool Scan(const UserVolumeRecord& volume, ProgressWindow* progress = nullptr) {
        EXPECT_TRUE(catalogue_.OpenCatalogueTables());
        FtpScanTarget target{catalogue_, counters_, ui_, log_path_, FtpTimeouts{5, 5, 5, 5, 5}, temp_};
        const bool scanned = FtpScanVolume(target, volume, progress);
        EXPECT_TRUE(catalogue_.CloseCatalogueTables());
        return scanned;
    }

    // The Volume row a scan of the site would have left: the download's login.
    void AddVolumeRow(int port) {
        ASSERT_TRUE(catalogue_.OpenCatalogueTables());
        VolumeScanRecord volume;
        volume.volume_id = 1;
        volume.root_folder_id = 1;
        volume.root = "ftp:127.0.0.1";
        volume.name = "127.0.0.1";
        volume.media = "FTP Server";
        volume.serial_number = static_cast<std::uint32_t>(port);
        volume.volume_type = 2;
        volume.flags = kPassiveTransfers;
        volume.user_name = "walker";
        volume.password = "secret";
        ASSERT_TRUE(WriteVolumeRow(catalogue_, volume));
        ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    }

    FtpDownloadTarget DownloadTarget() {
        return FtpDownloadTarget{catalogue_, ui_, log_path_, FtpTimeouts{5, 5, 5, 5, 5}, temp_};
    }

    std::vector<std::string> EventLines() { return testing::EventLogLines(log_path_); }

    testing::TempDir dir_;
    std::string db_path_, log_path_, temp_;
    testing::RecordingUserInterface ui_;
    Catalogue catalogue_{ui_};
    IdCounters counters_{1, 1, 1};
    ListingFtpServer server_;
};

TEST_F(FtpListingSiteTest, WalkSkipsDotEntriesAndImpossibleNamesAndReadsBothListingForms) {
    server_.AddFolder("/",
                      "total 12\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 .\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 ..\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 a\r\n"
                      "drwx------ 2 root root 0 Feb 10 2002 locked\r\n"
                      "-rw-r--r-- 1 ftp ftp 6442450944 Mar 03 2003 disk.img\r\n"
                      "lrwxrwxrwx 1 root root 7 Jan 05 2001 bin -> usr/bin\r\n"
                      "-rw-r--r-- 1 ftp ftp 5 Jan 05 2001 x/y\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 ../../etc\r\n"
                      "12-05-98  10:30PM       <DIR>          dos\r\n"
                      "this line is no listing at all\r\n");
    server_.AddFolder("/a",
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 .\r\n"
                      "-rw-r--r-- 1 ftp ftp 3 Jan 05 2001 f.txt\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 ..\r\n"
                      "-rw-r--r-- 1 ftp ftp 4 Jan 05 2001 g.txt\r\n");
    server_.AddFolder("/dos",
                      "12-05-98  10:30PM                  123 file.txt\r\n"
                      "01-01-99  12:15AM       <DIR>          ..\r\n");
    server_.Start();
    ASSERT_TRUE(Scan(Site(server_.port())));
    server_.Stop();

    EXPECT_THAT(Only(server_.Commands(), "CWD"), ElementsAre("CWD /", "CWD /a", "CWD /locked", "CWD /dos"));
    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    EXPECT_THAT(testing::NumberingProblems(rows), IsEmpty());
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.volumes[0].at("Files").integer, 5);
    EXPECT_EQ(rows.volumes[0].at("Folders").integer, 3);

    std::map<std::string, const testing::Row*> folders, files;
    for (const auto& [id, row] : rows.folders)
        folders[testing::FolderPath(rows, id)] = &row;
    for (const auto& [id, row] : rows.files)
        files[testing::FolderPath(rows, row.at("Parent ID").integer) + "/" + row.at("Name").text] = &row;
    EXPECT_THAT(folders, ::testing::SizeIs(4));
    ASSERT_EQ(folders.count("ftp:127.0.0.1/locked"), 1u);
    ASSERT_EQ(files.count("ftp:127.0.0.1/disk.img"), 1u);
    ASSERT_EQ(files.count("ftp:127.0.0.1/dos/file.txt"), 1u);
    EXPECT_THAT(files, ::testing::SizeIs(5));

    const testing::Row& root = *folders.at("ftp:127.0.0.1");
    EXPECT_EQ(root.at("Size").real, 6442450944.0 + 7 + 3 + 4 + 123);
    EXPECT_EQ(root.at("Files").integer, 5);
    EXPECT_EQ(root.at("Folders").integer, 3);

    const testing::Row& locked = *folders.at("ftp:127.0.0.1/locked");
    EXPECT_EQ(locked.at("Files").integer, 0) << "a refused folder is recorded empty";
    EXPECT_EQ(locked.at("Attributes").integer, kFtpAttrDirectory);
    EXPECT_EQ(locked.at("Owner").text, "root");
    EXPECT_EQ(locked.at("Modify Date").real, DayNumberFromUnix(Utc(2002, 2, 10)));

    EXPECT_EQ(files.at("ftp:127.0.0.1/disk.img")->at("Size").real, 6442450944.0);
    EXPECT_EQ(files.at("ftp:127.0.0.1/bin")->at("Attributes").integer, kFtpAttrLink);
    EXPECT_EQ(files.at("ftp:127.0.0.1/bin")->at("Size").real, 7.0);
    const testing::Row& dos_file = *files.at("ftp:127.0.0.1/dos/file.txt");
    EXPECT_EQ(dos_file.at("Modify Date").real, DayNumberFromUnix(Utc(1998, 12, 5, 22, 30)));
    EXPECT_TRUE(dos_file.at("Owner").null) << "DOS listings name no owner";
    EXPECT_EQ(folders.at("ftp:127.0.0.1/dos")->at("Modify Date").real,
              DayNumberFromUnix(Utc(1998, 12, 5, 22, 30)));
    EXPECT_THAT(EventLines(), IsEmpty()) << "a refusal is no error";
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(FtpListingSiteTest, NetworkFailureEndsTheSiteWithOneLogLineAndKeepsItsRows) {
    server_.AddFolder("/",
                      "-rw-r--r-- 1 ftp ftp 10 Jan 05 2001 first.txt\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 a\r\n"
                      "drwxr-xr-x 2 ftp ftp 0 Jan 05 2001 b\r\n");
    server_.AddFolder("/a", "-rw-r--r-- 1 ftp ftp 3 Jan 05 2001 f.txt\r\n");
    server_.AddFolder("/b", "-rw-r--r-- 1 ftp ftp 3 Jan 05 2001 g.txt\r\n");
    server_.ResetOnCwd("/a");
    server_.Start();
    EXPECT_FALSE(Scan(Site(server_.port())));
    server_.Stop();

    EXPECT_THAT(EventLines(), ElementsAre("FTP Scan | Error | FTP Scan failed with error 10054."));
    EXPECT_THAT(Only(server_.Commands(), "CWD"), ElementsAre("CWD /", "CWD /a")) << "the walk ended there";
    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.folders.size(), 2u) << "the root and the folder being entered";
    EXPECT_EQ(rows.files.size(), 1u);
    EXPECT_THAT(testing::NumberingProblems(rows), IsEmpty());
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(FtpListingSiteTest, FoldersThatLeadIntoThemselvesEndAtTheDepthAndPathBounds) {
    server_.SelfNestingFolder("n");
    server_.Start();
    EXPECT_TRUE(Scan(Site(server_.port())));
    server_.Stop();
    CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.volumes[0].at("Folders").integer, kFtpMaxWalkDepth);
    EXPECT_EQ(rows.folders.rbegin()->second.at("Level").integer, kFtpMaxWalkDepth);
    EXPECT_THAT(testing::NumberingProblems(rows), IsEmpty());

    const std::string long_name(1500, 'L');
    ListingFtpServer long_names;
    long_names.SelfNestingFolder(long_name);
    long_names.Start();
    EXPECT_TRUE(Scan(Site(long_names.port())));
    long_names.Stop();
    rows = testing::ReadCatalogueRows(db_path_);
    ASSERT_EQ(rows.volumes.size(), 2u);
    // "/L...L/L...L" fits in the bound; a third name would not, so that folder is recorded unlisted.
    EXPECT_EQ(rows.volumes[1].at("Folders").integer, 3);
    EXPECT_EQ(Only(long_names.Commands(), "CWD").size(), 3u);
    EXPECT_THAT(EventLines(), IsEmpty());
}

TEST_F(FtpListingSiteTest, AnUnreachableSiteGivesUpAfterElevenAttemptsWithOneLogLine) {
    EXPECT_FALSE(Scan(Site(testing::ClosedLoopbackPort())));
    EXPECT_THAT(EventLines(), ElementsAre("FTP Scan | Error | Could not connect to 127.0.0.1."));

    server_.RefuseLogins();
    server_.Start();
    fs::remove(log_path_);
    EXPECT_FALSE(Scan(Site(server_.port())));
    EXPECT_EQ(server_.connections(), 11);
    EXPECT_THAT(EventLines(), ElementsAre("FTP Scan | Error | Could not connect to 127.0.0.1."));
    EXPECT_THAT(ui_.messages, IsEmpty());

    const CatalogueRows rows = testing::ReadCatalogueRows(db_path_);
    EXPECT_TRUE(rows.volumes.empty() && rows.folders.empty()) << "nothing is written without a login";
    EXPECT_EQ(counters_.next_volume, 1);
    EXPECT_EQ(counters_.next_folder, 1);
}

TEST_F(FtpListingSiteTest, ThePersonDecidesHowOftenALoginIsRetried) {
    server_.RefuseLogins();
    server_.Start();
    ui_.interactive = true;
    ui_.answers = {MessageAnswer::Retry, MessageAnswer::Retry, MessageAnswer::Cancel};
    EXPECT_FALSE(Scan(Site(server_.port())));
    EXPECT_EQ(server_.connections(), 3);
    ASSERT_EQ(ui_.messages.size(), 3u);
    for (const auto& message : ui_.messages) {
        EXPECT_EQ(message.text, "530 Login incorrect.");
        EXPECT_EQ(message.icon, MessageIcon::Stop);
        EXPECT_EQ(message.buttons, MessageButtons::RetryCancel);
    }
    EXPECT_THAT(EventLines(), IsEmpty());
    EXPECT_TRUE(testing::ReadCatalogueRows(db_path_).volumes.empty());

    // Without a reply to show, the message names the host.
    ui_.messages.clear();
    ui_.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(Scan(Site(testing::ClosedLoopbackPort())));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Can't connect to 127.0.0.1.");
}

TEST_F(FtpListingSiteTest, ADownloadTriesElevenLoginsAtMost) {
    server_.RefuseLogins();
    server_.Start();
    AddVolumeRow(server_.port());
    FtpDownloadTarget target = DownloadTarget();
    FtpDownloadResult result;
    EXPECT_FALSE(FtpDownload(target, {"ftp:127.0.0.1/a/f.txt"}, {}, nullptr, result));
    EXPECT_EQ(server_.connections(), 11);
    EXPECT_THAT(EventLines(), ElementsAre("FTP | Error | Couldn't connect to 127.0.0.1."));

    // Someone there: asked after each failure but the last, which is logged.
    fs::remove(log_path_);
    ui_.interactive = true;
    ui_.answers.assign(20, MessageAnswer::Retry);
    auto progress = ui_.CreateProgressWindow();
    EXPECT_FALSE(FtpDownload(target, {"ftp:127.0.0.1/a/f.txt"}, {}, progress.get(), result));
    EXPECT_EQ(server_.connections(), 22);
    EXPECT_EQ(ui_.messages.size(), 10u);
    EXPECT_THAT(EventLines(), ElementsAre("FTP | Error | Couldn't connect to 127.0.0.1."));
    EXPECT_TRUE(ui_.progress.back()->closed);

    ui_.messages.clear();
    ui_.answers = {MessageAnswer::Retry, MessageAnswer::Cancel};
    EXPECT_FALSE(FtpDownload(target, {"ftp:127.0.0.1/a/f.txt"}, {}, nullptr, result));
    EXPECT_EQ(server_.connections(), 24);
    EXPECT_EQ(ui_.messages.size(), 2u);
    EXPECT_TRUE(result.folder.empty());
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(FtpListingSiteTest, DownloadNamesNeverLeadOutsideTheDownloadFolder) {
    server_.AddFolder("/a", "");
    server_.AddFolder("/b", "");
    server_.AddFile("/a/f.txt", "from a");
    server_.AddFile("/b/f.txt", "from b, longer");
    server_.AddFile(
        "/a/tab\tand\x01"
        "control",
        "odd but harmless");
    server_.AddFile("/a/..", "must never be written");
    server_.AddFile("/a/.", "must never be written");
    server_.Start();
    AddVolumeRow(server_.port());

    const std::vector<std::string> paths = {
        "ftp:127.0.0.1/a/f.txt",
        "ftp:127.0.0.1/b/f.txt",
        "ftp:127.0.0.1/a/..",
        "ftp:127.0.0.1/a/.",
        "ftp:127.0.0.1/a/",
        "ftp:127.0.0.1/a/tab\tand\x01"
        "control",
        "ftp:127.0.0.1",
    };
    FtpDownloadTarget target = DownloadTarget();
    FtpDownloadResult result;
    ASSERT_TRUE(FtpDownload(target, paths, {}, nullptr, result));
    server_.Stop();

    ASSERT_EQ(result.files.size(), 3u);
    EXPECT_EQ(result.files[0].entry, 0u);
    EXPECT_EQ(result.files[1].entry, 1u);
    EXPECT_EQ(result.files[2].entry, 5u);
    EXPECT_EQ(testing::ReadFileBytes(result.files[0].local_path), "from a");
    EXPECT_EQ(testing::ReadFileBytes(result.files[1].local_path), "from b, longer");
    EXPECT_EQ(testing::ReadFileBytes(result.files[2].local_path), "odd but harmless");
    EXPECT_EQ(fs::path(result.files[2].local_path).filename(),
              "tab\tand\x01"
              "control");
    EXPECT_EQ(fs::path(result.files[0].local_path).parent_path(),
              fs::path(result.files[2].local_path).parent_path())
        << "one subfolder per remote folder";
    EXPECT_NE(fs::path(result.files[0].local_path).parent_path(),
              fs::path(result.files[1].local_path).parent_path());

    EXPECT_THAT(Only(server_.Commands(), "RETR"), ElementsAre("RETR f.txt", "RETR f.txt",
                                                              "RETR tab\tand\x01"
                                                              "control"));
    EXPECT_THAT(EventLines(),
                ElementsAre("FTP | Error | Could not get ...", "FTP | Error | Could not get ..",
                            "FTP | Error | Could not get .", "FTP | Error | Could not get ftp:127.0.0.1."));
    // Nothing beside the download's own folder, in the temporary folder or above it.
    std::vector<std::string> in_temp;
    for (const auto& item : fs::directory_iterator(temp_))
        in_temp.push_back(item.path().string());
    EXPECT_THAT(in_temp, ElementsAre(result.folder));
    std::vector<std::string> in_dir;
    for (const auto& item : fs::directory_iterator(dir_.path()))
        in_dir.push_back(item.path().filename().string());
    EXPECT_THAT(in_dir, ::testing::IsSubsetOf(
                            {"Event.log", "Korvane.db", "Korvane.db-shm", "Korvane.db-wal", "tmp"}));
    RemoveFtpDownload(result);
    EXPECT_TRUE(fs::is_empty(temp_));
}

}  // namespace
}  // namespace korvane
