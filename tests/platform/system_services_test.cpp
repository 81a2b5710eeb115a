#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/account_database.h"
#include "platform/computer_name.h"
#include "platform/file_system_calls.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct PasswdLine {
    std::string name;
    std::uint32_t uid;
};

// /etc/passwd read directly, to check the name-service answers against.
std::vector<PasswdLine> ReadPasswdFile() {
    std::vector<PasswdLine> lines;
    std::ifstream in("/etc/passwd");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, password, uid;
        if (std::getline(fields, name, ':') && std::getline(fields, password, ':') &&
            std::getline(fields, uid, ':')) {
            lines.push_back({name, static_cast<std::uint32_t>(std::stoul(uid))});
        }
    }
    return lines;
}

TEST(ComputerNameTest, IsTheKernelHostName) {
    std::string expected = ReadFileBytes("/proc/sys/kernel/hostname");
    while (!expected.empty() && expected.back() == '\n')
        expected.pop_back();
    EXPECT_FALSE(expected.empty());
    EXPECT_EQ(ComputerName(), expected);
}

TEST(AccountDatabaseTest, AnswersMatchThePasswordFile) {
    const auto passwd = ReadPasswdFile();
    ASSERT_FALSE(passwd.empty());
    const AccountDatabase& accounts = SystemAccountDatabase();
    for (const auto& line : passwd) {
        std::string name;
        std::uint32_t uid = 0;
        ASSERT_EQ(accounts.NameOfUid(line.uid, name), AccountLookup::kFound) << line.name;
        ASSERT_EQ(accounts.UidOfName(line.name, uid), AccountLookup::kFound) << line.name;
        EXPECT_EQ(uid, line.uid);
        // Several names may share a uid; the first one names it.
        if (name != line.name) {
            EXPECT_TRUE(std::any_of(passwd.begin(), passwd.end(), [&](const PasswdLine& other) {
                return other.name == name && other.uid == uid;
            }));
        }
    }
    std::vector<std::string> names;
    ASSERT_EQ(accounts.ListAccountNames(names), 0);
    for (const auto& line : passwd) {
        EXPECT_NE(std::find(names.begin(), names.end(), line.name), names.end()) << line.name;
    }
}

TEST(AccountDatabaseTest, UnknownUidAndNameAreNotFound) {
    const auto passwd = ReadPasswdFile();
    std::uint32_t unused = 4242421;
    while (std::any_of(passwd.begin(), passwd.end(), [&](const PasswdLine& l) { return l.uid == unused; }))
        ++unused;
    std::string name = "untouched";
    std::uint32_t uid = 7;
    EXPECT_EQ(SystemAccountDatabase().NameOfUid(unused, name), AccountLookup::kNotFound);
    EXPECT_EQ(name, "untouched");
    EXPECT_EQ(SystemAccountDatabase().UidOfName("no such account here", uid), AccountLookup::kNotFound);
    EXPECT_EQ(uid, 7u);
    EXPECT_EQ(SystemAccountDatabase().UidOfName("", uid), AccountLookup::kNotFound);
}

TEST(FileSystemCallsTest, WorkOnTheLinkItselfAndReportErrno) {
    TempDir tmp;
    ASSERT_TRUE(WriteFileBytes(tmp / "target", "data"));
    std::filesystem::create_symlink("target", tmp / "link");
    FileSystemCalls& calls = SystemFileSystemCalls();
    struct stat status;
    ASSERT_EQ(calls.Lstat(tmp / "link", status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ(calls.Lstat(tmp / "missing", status), ENOENT);
    EXPECT_EQ(calls.Lchown(tmp / "missing", geteuid(), static_cast<gid_t>(-1)), ENOENT);
    EXPECT_EQ(calls.Lchown(tmp / "link", geteuid(), static_cast<gid_t>(-1)), 0);
}

}  // namespace
}  // namespace korvane
