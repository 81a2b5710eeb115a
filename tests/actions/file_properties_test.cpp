#include "actions/file_properties.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "action_fixture.h"

namespace korvane::testing {
namespace {

// A btrfs file system in an image file, loop-mounted on a folder for the
// test's life. Empty path() when it cannot be made here (not root, no tools).
class LoopBtrfs {
  public:
    LoopBtrfs(const std::string& image, const std::string& mount_point) : mount_point_(mount_point) {
        if (::geteuid() != 0 || ::access("/usr/sbin/mkfs.btrfs", X_OK) != 0) {
            return;
        }
        const std::string make = "truncate -s 128M '" + image + "' && mkfs.btrfs -q -f '" + image +
                                 "' >/dev/null 2>&1 && mount -o loop '" + image + "' '" + mount_point + "'";
        mounted_ = std::system(make.c_str()) == 0;
    }
    ~LoopBtrfs() {
        if (mounted_) {
            std::system(("umount '" + mount_point_ + "'").c_str());
        }
    }
    bool mounted() const { return mounted_; }

  private:
    std::string mount_point_;
    bool mounted_ = false;
};

std::string Lsattr(const std::string& path) {
    const std::string command = "lsattr -d '" + path + "' 2>/dev/null";
    std::string text;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            text += buffer;
        }
        ::pclose(pipe);
    }
    return text.substr(0, text.find(' '));
}

std::int64_t AttributesOf(Catalogue& catalogue, std::int32_t file_id) {
    SqlStatement s;
    EXPECT_TRUE(s.Prepare(catalogue.handle(), "SELECT \"Attributes\" FROM \"File\" WHERE \"File ID\" = ?"));
    s.BindInt(1, file_id);
    return s.Step() == SQLITE_ROW ? s.ColumnInt(0) : -1;
}

TEST_F(FileActionTest, CompressOnBtrfsSetsTheFlagLsattrShowsAndTheCatalogueBit) {
    LoopBtrfs btrfs(base_ + "/btrfs.img", root_);
    if (!btrfs.mounted()) {
        GTEST_SKIP() << "a loop-mounted btrfs needs root and btrfs-progs";
    }
    MakeFile("d/a.txt", 20000, 'a');
    MakeFile("d/b.txt", 100, 'b');
    MakeFolder("d/sub");
    Scan();
    const std::int32_t a = FileId("d/a.txt");
    EXPECT_EQ(AttributesOf(catalogue_, a) & 0x800, 0);
    ActionOutcome outcome = CompressSelection(context_, Select("d", {"a.txt", "b.txt", "sub"}), true);
    EXPECT_EQ(outcome.done, 2u);
    EXPECT_EQ(outcome.failed, 0u);
    EXPECT_NE(Lsattr(At("d/a.txt")).find('c'), std::string::npos) << Lsattr(At("d/a.txt"));
    EXPECT_EQ(Lsattr(At("d/sub")).find('c'), std::string::npos);
    EXPECT_EQ(AttributesOf(catalogue_, a) & 0x800, 0x800);
    ExpectMatchesFreshScan();
    // Already compressed counts as done.
    EXPECT_EQ(CompressSelection(context_, Select("d", {"a.txt"}), true).done, 1u);
    outcome = CompressSelection(context_, Select("d", {"a.txt"}), false);
    EXPECT_EQ(outcome.done, 1u);
    EXPECT_EQ(Lsattr(At("d/a.txt")).find('c'), std::string::npos);
    EXPECT_EQ(AttributesOf(catalogue_, a) & 0x800, 0);
    ExpectMatchesFreshScan();
}

TEST_F(FileActionTest, SetOwnerGivesFilesToAnotherAccountAndBack) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving files away needs root";
    }
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    const uid_t nobody_uid = nobody->pw_uid;
    MakeFile("d/one", 10);
    MakeFile("d/two", 10);
    MakeFolder("d/sub");
    Scan();
    const SelectionList list = Select("d", {"one", "two", "sub"});
    OwnerSummary summary = SummarizeOwners(context_, list);
    EXPECT_EQ(summary.file_text, kMultipleFiles);
    EXPECT_EQ(summary.owner_text, "root");

    ActionOutcome outcome = SetOwnerOfSelection(context_, list, "nobody");
    EXPECT_EQ(outcome.done, 3u);
    EXPECT_EQ(StatOf(At("d/one")).st_uid, nobody_uid);
    EXPECT_EQ(StatOf(At("d/sub")).st_uid, nobody_uid);
    ExpectMatchesFreshScan();
    EXPECT_EQ(SummarizeOwners(context_, Select("d", {"one"})).owner_text, "nobody");

    ASSERT_EQ(::chown(At("d/two").c_str(), 0, static_cast<gid_t>(-1)), 0);
    EXPECT_EQ(SummarizeOwners(context_, list).owner_text, kMultipleOwners);
    outcome = SetOwnerOfSelection(context_, list, "root");
    EXPECT_EQ(StatOf(At("d/one")).st_uid, 0u);
    ExpectMatchesFreshScan();

    ui_.messages.clear();
    outcome = SetOwnerOfSelection(context_, Select("d", {"one"}), "no-such-account-here");
    EXPECT_EQ(outcome.failed, 1u);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text.rfind("Could not set no-such-account-here as the owner of " + At("d/one") +
                                             ", error " + std::to_string(kUnknownAccountError) + ".",
                                         0),
              0u)
        << ui_.messages[0].text;
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);
}

TEST_F(FileActionTest, SetTimeChangesOnlyTheCheckedTimesAndTheCatalogueReadsThemBack) {
    MakeFile("d/a", 10);
    MakeFile("d/b", 10);
    MakeFolder("d/sub");
    ASSERT_TRUE(SetTimes(At("d/a"), 1000000000, 0));
    ASSERT_TRUE(SetTimes(At("d/b"), 1100000000, 0));
    Scan();
    const SelectionList list = Select("d", {"a", "b", "sub"});
    TimeSummary shown = SummarizeTimes(list);
    EXPECT_EQ(shown.file_text, kMultipleFiles);
    EXPECT_EQ(shown.modify_text, kMultipleModifyTimes);
    EXPECT_EQ(shown.access_text, kMultipleAccessTimes);

    const std::int64_t when = LocalTimeToUnix(2024, 3, 5, From12Hour(12, false), 30);
    const struct stat before = StatOf(At("d/a"));
    const struct stat folder_before = StatOf(At("d/sub"));
    const ActionOutcome outcome = SetTimesOfSelection(context_, list, when, TimeChoice{false, true});
    EXPECT_EQ(outcome.done, 2u);
    const struct stat after = StatOf(At("d/a"));
    EXPECT_EQ(after.st_mtim.tv_sec, when);
    EXPECT_EQ(after.st_atim.tv_sec, before.st_atim.tv_sec);
    EXPECT_TRUE(SameModificationTime(StatOf(At("d/sub")), folder_before));
    EXPECT_EQ(SummarizeTimes(Select("d", {"a", "b"})).modify_text, "00:30:00 03/05/2024");
    ExpectMatchesFreshScan();
}

TEST(TwelveHourClock, NoonIsTwelvePmAndMidnightIsZero) {
    struct Case {
        int hour24, hour12;
        bool pm;
    };
    for (const Case c : {Case{0, 0, false}, Case{1, 1, false}, Case{11, 11, false}, Case{12, 12, true},
                         Case{13, 1, true}, Case{23, 11, true}}) {
        int hour = -1;
        bool pm = false;
        To12Hour(c.hour24, hour, pm);
        EXPECT_EQ(hour, c.hour12) << c.hour24;
        EXPECT_EQ(pm, c.pm) << c.hour24;
    }
    EXPECT_EQ(From12Hour(12, true), 12);
    EXPECT_EQ(From12Hour(12, false), 0);
    EXPECT_EQ(From12Hour(3, true), 15);
    EXPECT_EQ(From12Hour(3, false), 3);
}

}  // namespace
}  // namespace korvane::testing
