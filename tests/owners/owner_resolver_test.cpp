#include "owners/owner_resolver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/run_unprivileged.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::RunUnprivileged;
using testing::TempDir;
using testing::WriteFileBytes;

// The real account database, counting how often it is asked; it can be told
// to fail instead.
class CountingAccounts : public AccountDatabase {
  public:
    mutable int name_lookups = 0;
    bool fail = false;
    AccountLookup NameOfUid(std::uint32_t uid, std::string& name) const override {
        ++name_lookups;
        return fail ? AccountLookup::kFailed : AccountDatabase::NameOfUid(uid, name);
    }
    AccountLookup UidOfName(const std::string& name, std::uint32_t& uid) const override {
        return fail ? AccountLookup::kFailed : AccountDatabase::UidOfName(name, uid);
    }
};

// The real calls, except that a change of owner fails with a chosen errno.
class FailingChown : public FileSystemCalls {
  public:
    int error = EROFS;
    int Lchown(const std::string&, uid_t, gid_t) override { return error; }
};

std::uint32_t UnusedUid() {
    std::uint32_t uid = 4242421;
    std::string name;
    while (SystemAccountDatabase().NameOfUid(uid, name) != AccountLookup::kNotFound)
        ++uid;
    return uid;
}

std::string NameOf(std::uint32_t uid) {
    std::string name;
    EXPECT_EQ(SystemAccountDatabase().NameOfUid(uid, name), AccountLookup::kFound);
    return name;
}

uid_t OwnerUid(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(lstat(path.c_str(), &status), 0) << path;
    return status.st_uid;
}

TEST(OwnerResolverTest, EachUidIsLookedUpOnce) {
    CountingAccounts accounts;
    OwnerResolver resolver(SystemFileSystemCalls(), accounts);
    DirectoryEntry entry;
    entry.uid = geteuid();
    const std::uint32_t unused = UnusedUid();
    for (int i = 0; i < 1000; ++i) {
        entry.uid = i % 2 == 0 ? geteuid() : unused;
        resolver.OwnerOf(entry);
    }
    EXPECT_EQ(accounts.name_lookups, 2);
    EXPECT_EQ(resolver.NameOfUid(geteuid()), NameOf(geteuid()));
    EXPECT_EQ(resolver.NameOfUid(unused), kAccountDeletedName);
    EXPECT_EQ(accounts.name_lookups, 2);
}

TEST(OwnerResolverTest, OwnerOfPathNamesTheOwnerOrReportsNone) {
    TempDir tmp;
    ASSERT_TRUE(WriteFileBytes(tmp / "mine", "x"));
    std::string name = "before";
    EXPECT_TRUE(OwnerOfPath("", tmp / "mine", name));
    EXPECT_EQ(name, NameOf(geteuid()));
    // The server of a network volume changes nothing: its owners are local uids.
    EXPECT_TRUE(OwnerOfPath("fileserver", tmp / "mine", name));
    EXPECT_EQ(name, NameOf(geteuid()));

    name = "before";
    EXPECT_FALSE(OwnerOfPath("", tmp / "missing", name));
    EXPECT_EQ(name, "before");

    // A name service that cannot answer records no owner rather than a wrong one.
    CountingAccounts failing;
    failing.fail = true;
    OwnerResolver resolver(SystemFileSystemCalls(), failing);
    EXPECT_FALSE(resolver.OwnerOfPath("", tmp / "mine", name));
    EXPECT_EQ(name, "before");
    DirectoryEntry entry;
    entry.uid = 0;
    EXPECT_EQ(resolver.OwnerOf(entry), "");
}

TEST(OwnerResolverTest, DeletedAccountAndLinkOwnersAsRoot) {
    if (geteuid() != 0)
        GTEST_SKIP() << "giving files to other accounts needs root";
    TempDir tmp;
    ASSERT_TRUE(WriteFileBytes(tmp / "orphan", "x"));
    ASSERT_TRUE(WriteFileBytes(tmp / "target", "x"));
    std::filesystem::create_symlink("target", tmp / "link");
    const std::uint32_t unused = UnusedUid();
    ASSERT_EQ(chown((tmp / "orphan").c_str(), unused, static_cast<gid_t>(-1)), 0);
    ASSERT_EQ(lchown((tmp / "link").c_str(), 1, static_cast<gid_t>(-1)), 0);

    std::string name;
    ASSERT_TRUE(OwnerOfPath("", tmp / "orphan", name));
    EXPECT_EQ(name, "(Account Deleted)");
    // The link's own owner, not its target's.
    ASSERT_TRUE(OwnerOfPath("", tmp / "link", name));
    EXPECT_EQ(name, NameOf(1));
    ASSERT_TRUE(OwnerOfPath("", tmp / "target", name));
    EXPECT_EQ(name, NameOf(0));
}

TEST(OwnerResolverTest, SetOwnerChangesThePathItselfAsRoot) {
    if (geteuid() != 0)
        GTEST_SKIP() << "giving files to other accounts needs root";
    TempDir tmp;
    ASSERT_TRUE(WriteFileBytes(tmp / "file", "x"));
    ASSERT_TRUE(WriteFileBytes(tmp / "target", "x"));
    std::filesystem::create_symlink("target", tmp / "link");
    struct stat before {};
    ASSERT_EQ(lstat((tmp / "file").c_str(), &before), 0);

    const std::string account = NameOf(1);
    EXPECT_EQ(SetOwnerOfPath("", tmp / "file", account), 0);
    EXPECT_EQ(OwnerUid(tmp / "file"), 1u);
    struct stat after {};
    ASSERT_EQ(lstat((tmp / "file").c_str(), &after), 0);
    EXPECT_EQ(after.st_gid, before.st_gid);  // the group stays

    EXPECT_EQ(SetOwnerOfPath("", tmp / "link", account), 0);
    EXPECT_EQ(OwnerUid(tmp / "link"), 1u);
    EXPECT_EQ(OwnerUid(tmp / "target"), 0u);

    // A uid no account carries can be given back by number.
    const std::uint32_t unused = UnusedUid();
    EXPECT_EQ(SetOwnerOfPath("", tmp / "file", std::to_string(unused)), 0);
    EXPECT_EQ(OwnerUid(tmp / "file"), unused);
}

TEST(OwnerResolverTest, SetOwnerFailuresAreReportedAndChangeNothing) {
    TempDir tmp;
    ASSERT_TRUE(WriteFileBytes(tmp / "file", "x"));
    const uid_t owner = OwnerUid(tmp / "file");

    EXPECT_EQ(SetOwnerOfPath("", tmp / "file", "no such account here"), kUnknownAccountError);
    EXPECT_EQ(SetOwnerOfPath("", tmp / "file", ""), kUnknownAccountError);
    EXPECT_EQ(SetOwnerOfPath("", tmp / "file", "4294967295"), kUnknownAccountError);
    EXPECT_EQ(SetOwnerOfPath("", tmp / "file", "12x"), kUnknownAccountError);
    EXPECT_EQ(SetOwnerOfPath("", tmp / "missing", NameOf(0)), ENOENT);
    EXPECT_EQ(OwnerUid(tmp / "file"), owner);

    CountingAccounts failing;
    failing.fail = true;
    OwnerResolver no_database(SystemFileSystemCalls(), failing);
    EXPECT_EQ(no_database.SetOwnerOfPath("", tmp / "file", NameOf(0)), kAccountLookupError);

    FailingChown read_only;
    OwnerResolver on_read_only(read_only);
    EXPECT_EQ(on_read_only.SetOwnerOfPath("", tmp / "file", NameOf(0)), EROFS);
    EXPECT_EQ(OwnerUid(tmp / "file"), owner);
}

TEST(OwnerResolverTest, GivingFilesAwayWithoutPrivilegeIsThePrivilegeFailure) {
    TempDir tmp;
    std::filesystem::permissions(tmp.path(), std::filesystem::perms::all);
    ASSERT_TRUE(WriteFileBytes(tmp / "file", "x"));
    ASSERT_EQ(chmod((tmp / "file").c_str(), 0666), 0);
    const uid_t owner = OwnerUid(tmp / "file");
    int result = 0;
    ASSERT_TRUE(RunUnprivileged([&] { result = SetOwnerOfPath("", tmp / "file", NameOf(1)); }));
    EXPECT_EQ(result, kOwnerPrivilegeError);
    EXPECT_EQ(OwnerUid(tmp / "file"), owner);
}

}  // namespace
}  // namespace korvane
