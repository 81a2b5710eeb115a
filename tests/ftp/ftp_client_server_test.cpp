// The FTP client against a real FTP server (python3-pyftpdlib) on 127.0.0.1,
// serving a tree the test makes: listings and retrievals in passive and in
// active mode, compared with the tree byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "ftp_test_server.h"
#include "scan/ftp/ftp_client.h"
#include "scan/ftp/ftp_listing_file.h"
#include "scan/ftp/net_error.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

std::string PatternBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    unsigned value = seed;
    for (char& byte : bytes) {
        value = value * 1103515245u + 12345u;
        byte = static_cast<char>(value >> 16);
    }
    return bytes;
}

struct ListedFile {
    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    std::string owner;
    std::int64_t time = 0;

    bool operator==(const ListedFile&) const = default;
};

std::ostream& operator<<(std::ostream& out, const ListedFile& file) {
    return out << "{attributes " << file.attributes << ", size " << file.size << ", owner " << file.owner
               << ", time " << file.time << "}";
}

class FtpRealServerTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        python_ = testing::FindPyFtpdlibPython();
        if (python_.empty())
            return;
        work_ = std::make_unique<testing::TempDir>();
        root_ = (work_->path() / "site").string();
        MakeTree();
        server_ = std::make_unique<testing::FtpTestServer>();
        if (!server_->Start(python_, root_, work_->str(), start_problem_))
            server_.reset();
    }

    static void TearDownTestSuite() {
        server_.reset();
        work_.reset();
    }

    static void MakeTree() {
        fs::create_directories(root_ + "/My Documents");
        fs::create_directories(root_ + "/sub/deeper");
        testing::WriteFileBytes(root_ + "/hello.txt", "Hello, FTP\r\nsecond line\n");
        testing::WriteFileBytes(root_ + "/empty.bin", "");
        testing::WriteFileBytes(root_ + "/data.bin", PatternBytes(300000, 7));
        testing::WriteFileBytes(root_ + "/big.bin", PatternBytes(24 << 20, 11));
        testing::WriteFileBytes(root_ + "/My Documents/report 2001.doc", "quarterly report");
        testing::WriteFileBytes(root_ + "/sub/deeper/leaf.txt", "leaf");
        testing::WriteFileBytes(root_ + "/semi;colon & more.txt", "odd name");
        testing::WriteFileBytes(root_ + "/\xc3\xa9t\xc3\xa9.txt", "utf-8 name");
        fs::create_symlink("hello.txt", root_ + "/link");
        // An old file is listed with its year, a recent one with its time of day.
        std::tm old{};
        old.tm_year = 2001 - 1900;
        old.tm_mon = 0;
        old.tm_mday = 5;
        old.tm_hour = 12;
        old.tm_min = 34;
        const timespec times[2] = {{timegm(&old), 0}, {timegm(&old), 0}};
        utimensat(AT_FDCWD, (root_ + "/hello.txt").c_str(), times, 0);
    }

    void SetUp() override {
        if (python_.empty())
            GTEST_SKIP()
                << "python3 -c 'import pyftpdlib' failed: install the Debian package python3-pyftpdlib "
                   "to run the tests against a real FTP server";
        ASSERT_TRUE(server_) << start_problem_;
        connection.timeouts = FtpTimeouts{10, 10, 10, 10, 10};
        connection.temp_folder = temp.str();
        SetLastNetError(0);
    }

    void TearDown() override { FtpClose(connection); }

    void LoginAsUser() {
        std::string reply;
        ASSERT_TRUE(FtpLogin(connection, "127.0.0.1", "", testing::kFtpTestUser, testing::kFtpTestPassword,
                             server_->port(), &reply))
            << reply << " error " << LastNetError();
    }

    // What a listing of the folder should say, from lstat of the served tree.
    static std::map<std::string, ListedFile> ExpectedListing(const std::string& folder, std::int64_t now) {
        std::map<std::string, ListedFile> expected;
        for (const auto& item : fs::directory_iterator(folder)) {
            struct stat info {};
            lstat(item.path().c_str(), &info);
            ListedFile file;
            file.attributes = S_ISDIR(info.st_mode)   ? kFtpAttrDirectory
                              : S_ISLNK(info.st_mode) ? kFtpAttrLink
                                                      : 0;
            file.size = static_cast<std::uint64_t>(info.st_size);
            passwd* account = getpwuid(info.st_uid);
            file.owner = account ? account->pw_name : std::to_string(info.st_uid);
            const std::int64_t mtime = info.st_mtim.tv_sec;
            file.time = now - mtime > 180 * 86400 ? mtime - mtime % 86400 : mtime - mtime % 60;
            expected[item.path().filename().string()] = file;
        }
        return expected;
    }

    std::map<std::string, ListedFile> ListHere(bool passive, std::string_view argument, std::int64_t now) {
        std::string file;
        std::string reply;
        std::map<std::string, ListedFile> listed;
        EXPECT_TRUE(FtpTransfer(connection, file, argument, true, passive, &reply))
            << reply << " error " << LastNetError();
        EXPECT_EQ(reply.substr(0, 3), "226");
        FtpListingFile listing;
        EXPECT_TRUE(listing.Open(file, now));
        FtpDirEntry entry;
        while (listing.Next(entry))
            listed[entry.name] = ListedFile{entry.attributes, entry.size, entry.owner, entry.time};
        listing.Close();
        fs::remove(file);
        return listed;
    }

    static inline std::string python_;
    static inline std::string root_;
    static inline std::string start_problem_;
    static inline std::unique_ptr<testing::TempDir> work_;
    static inline std::unique_ptr<testing::FtpTestServer> server_;

    testing::TempDir temp;
    FtpConnection connection;
};

TEST_F(FtpRealServerTest, LogsInWithPasswordAndAnonymously) {
    LoginAsUser();
    EXPECT_TRUE(connection.logged_in);
    FtpClose(connection);

    std::string reply;
    EXPECT_TRUE(
        FtpLogin(connection, "localhost", "/sub", "anonymous", "guest@example.org", server_->port(), &reply))
        << reply;
    FtpClose(connection);

    EXPECT_FALSE(
        FtpLogin(connection, "127.0.0.1", "", testing::kFtpTestUser, "wrong", server_->port(), &reply));
    EXPECT_EQ(reply.substr(0, 3), "530") << reply;
    EXPECT_EQ(LastNetError(), 0) << "a refused password is not a network error";
}

TEST_F(FtpRealServerTest, ListingsMatchTheTreeInPassiveAndActiveMode) {
    LoginAsUser();
    for (bool passive : {true, false}) {
        const std::int64_t now = std::time(nullptr);
        const auto listed = ListHere(passive, "", now);
        EXPECT_EQ(listed.size(), 9u);
        EXPECT_EQ(listed, ExpectedListing(root_, now)) << (passive ? "passive" : "active");
        ASSERT_TRUE(listed.count("link"));
        EXPECT_EQ(listed.at("link").attributes, kFtpAttrLink);
        ASSERT_TRUE(listed.count("hello.txt"));
        std::tm day{};
        day.tm_year = 2001 - 1900;
        day.tm_mon = 0;
        day.tm_mday = 5;
        EXPECT_EQ(listed.at("hello.txt").time, timegm(&day)) << "listed as Jan 05 2001, read as midnight";
    }
    EXPECT_TRUE(fs::is_empty(temp.path())) << "listings were handed over and removed by the test";
}

TEST_F(FtpRealServerTest, ListsFoldersByPathAndAfterChangingIntoThem) {
    LoginAsUser();
    const std::int64_t now = std::time(nullptr);
    const auto sub = ListHere(true, "sub", now);
    EXPECT_EQ(sub, ExpectedListing(root_ + "/sub", now));
    EXPECT_EQ(sub.count("deeper"), 1u);
    ASSERT_TRUE(FtpCommand(connection, "CWD /My Documents\r\n", "250", nullptr));
    const auto documents = ListHere(false, "", now);
    EXPECT_EQ(documents, ExpectedListing(root_ + "/My Documents", now));
    EXPECT_EQ(documents.count("report 2001.doc"), 1u);
}

TEST_F(FtpRealServerTest, RetrievesFilesByteForByteInBothModes) {
    LoginAsUser();
    for (bool passive : {true, false}) {
        for (const char* name :
             {"data.bin", "empty.bin", "hello.txt", "\xc3\xa9t\xc3\xa9.txt", "semi;colon & more.txt"}) {
            std::string local = temp / "fetched";
            std::string last_status;
            std::string reply;
            ASSERT_TRUE(FtpTransfer(connection, local, name, false, passive, &reply,
                                    [&](std::string_view text) { last_status = text; }))
                << name << ": " << reply << " error " << LastNetError();
            const std::string expected = testing::ReadFileBytes(root_ + "/" + name);
            EXPECT_EQ(testing::ReadFileBytes(local), expected) << name << (passive ? " passive" : " active");
            EXPECT_EQ(connection.transferred, expected.size());
            EXPECT_EQ(last_status, std::to_string(expected.size()));
        }
    }
    ASSERT_TRUE(FtpCommand(connection, "CWD My Documents\r\n", "250", nullptr));
    std::string local = temp / "report";
    ASSERT_TRUE(FtpTransfer(connection, local, "report 2001.doc", false, true, nullptr));
    EXPECT_EQ(testing::ReadFileBytes(local), "quarterly report");
}

TEST_F(FtpRealServerTest, MissingFolderAndFileAreTheServersRefusal) {
    LoginAsUser();
    std::string reply;
    EXPECT_FALSE(FtpCommand(connection, "CWD /no such folder\r\n", "250", &reply));
    EXPECT_EQ(reply.substr(0, 3), "550") << reply;
    EXPECT_EQ(LastNetError(), 0);

    std::string local = temp / "missing";
    EXPECT_FALSE(FtpTransfer(connection, local, "missing.bin", false, true, &reply));
    EXPECT_EQ(reply.substr(0, 3), "550") << reply;
    EXPECT_EQ(LastNetError(), 0);
    EXPECT_FALSE(fs::exists(local));
    EXPECT_TRUE(FtpCommand(connection, "CWD /sub\r\n", "250", nullptr)) << "the connection is still in step";
}

TEST_F(FtpRealServerTest, AbortedRetrievalLeavesNothingAndTheConnectionUsable) {
    LoginAsUser();
    for (bool passive : {true, false}) {
        int polls = 0;
        connection.abort_callback = [&] { return ++polls > 3 ? 1 : 0; };
        std::string local = temp / "big";
        EXPECT_FALSE(FtpTransfer(connection, local, "big.bin", false, passive, nullptr));
        EXPECT_EQ(connection.aborted, 1);
        EXPECT_LT(connection.transferred, fs::file_size(root_ + "/big.bin"));
        EXPECT_FALSE(fs::exists(local));

        connection.abort_callback = nullptr;
        std::string reply;
        EXPECT_TRUE(FtpCommand(connection, "CWD /sub\r\n", "250", &reply)) << reply;
        const std::int64_t now = std::time(nullptr);
        EXPECT_EQ(ListHere(passive, "", now), ExpectedListing(root_ + "/sub", now));
        ASSERT_TRUE(FtpCommand(connection, "CWD /\r\n", "250", nullptr));
    }
}

}  // namespace
}  // namespace korvane
