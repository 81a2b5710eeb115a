#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>

#include "actions/shell_operations.h"
#include "actions/tree_helpers.h"
#include "platform/trash.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::Exists;
using testing::IsFolder;
using testing::NamesIn;
using testing::OtherDeviceDir;
using testing::ReadFileBytes;
using testing::ScopedEnvironment;
using testing::TempDir;
using testing::WriteFileBytes;

std::string CanonicalPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

// The Path value of a trash record, after checking the record's layout and
// its deletion date ("YYYY-MM-DDThh:mm:ss"); "" when the layout is wrong.
std::string RecordedPath(const std::string& record) {
    const std::string head = "[Trash Info]\nPath=";
    const std::string date_key = "\nDeletionDate=";
    const auto date_at = record.find(date_key);
    if (record.rfind(head, 0) != 0 || date_at == std::string::npos)
        return "";
    const std::string date = record.substr(date_at + date_key.size());
    const std::string shape = "dddd-dd-ddTdd:dd:dd\n";
    if (date.size() != shape.size())
        return "";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool fits =
            shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(date[i])) != 0 : date[i] == shape[i];
        if (!fits)
            return "";
    }
    return record.substr(head.size(), date_at - head.size());
}

class TrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(temp.str().empty());
        ASSERT_EQ(::mkdir((temp / "work").c_str(), 0755), 0);
        work = CanonicalPath(temp / "work");
        trash = CanonicalPath(temp.str()) + "/data/Trash";
    }
    std::string Work(const std::string& name) const { return work + "/" + name; }
    std::string Info(const std::string& name) const {
        return ReadFileBytes(trash + "/info/" + name + ".trashinfo");
    }

    TempDir temp;
    ScopedEnvironment data_home{"XDG_DATA_HOME", temp / "data"};
    std::string work, trash;
};

TEST_F(TrashTest, FilesAndTreesGoToTheHomeTrashWithTheirRecords) {
    ASSERT_TRUE(WriteFileBytes(Work("a.txt"), "alpha"));
    ASSERT_EQ(::mkdir(Work("tree").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Work("tree/in.txt"), "inner"));
    EXPECT_EQ(HomeTrashPath(), temp / "data/Trash");

    const ShellOperationResult result = DeleteToTrash({Work("a.txt"), Work("tree")});

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    EXPECT_EQ(result.items[0].target, trash + "/files/a.txt");
    EXPECT_FALSE(Exists(Work("a.txt")));
    EXPECT_FALSE(Exists(Work("tree")));
    EXPECT_EQ(NamesIn(trash + "/files"), (std::vector<std::string>{"a.txt", "tree"}));
    EXPECT_EQ(ReadFileBytes(trash + "/files/a.txt"), "alpha");
    EXPECT_EQ(ReadFileBytes(trash + "/files/tree/in.txt"), "inner");
    EXPECT_EQ(RecordedPath(Info("a.txt")), EncodeTrashPath(Work("a.txt")));
    EXPECT_EQ(RecordedPath(Info("tree")), EncodeTrashPath(Work("tree")));
}

TEST_F(TrashTest, NamesAlreadyInTheTrashAndLongOrHostileNamesAllFit) {
    ASSERT_EQ(::mkdir(Work("one").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(Work("two").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(Work("one/same.txt"), "first"));
    ASSERT_TRUE(WriteFileBytes(Work("two/same.txt"), "second"));
    const std::string hostile = std::string("bad\xFF name,\n\"x\"");
    ASSERT_TRUE(WriteFileBytes(Work(hostile), "hostile"));
    const std::string long_name = std::string(250, 'L') + ".txt";
    ASSERT_TRUE(WriteFileBytes(Work(long_name), "long"));

    const ShellOperationResult result =
        DeleteToTrash({Work("one/same.txt"), Work("two/same.txt"), Work(hostile), Work(long_name)});

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    EXPECT_EQ(ReadFileBytes(result.items[0].target), "first");
    EXPECT_EQ(ReadFileBytes(result.items[1].target), "second");
    EXPECT_NE(result.items[0].target, result.items[1].target);
    EXPECT_EQ(ReadFileBytes(trash + "/files/" + hostile), "hostile");
    EXPECT_NE(Info(hostile).find("Path=" + EncodeTrashPath(work) + "/bad%FF%20name%2C%0A%22x%22\n"),
              std::string::npos);
    EXPECT_EQ(ReadFileBytes(result.items[3].target), "long");
    EXPECT_EQ(NamesIn(trash + "/info").size(), 4u);
    for (const std::string& name : NamesIn(trash + "/info"))
        EXPECT_LE(name.size(), 255u);
}

TEST(TrashPathTest, EncodesEveryByteOutsideTheUnreservedSet) {
    EXPECT_EQ(EncodeTrashPath("/home/u/My File-1_2.~txt"), "/home/u/My%20File-1_2.~txt");
    EXPECT_EQ(EncodeTrashPath("/a%b/\xC3\xA9\xFF"), "/a%25b/%C3%A9%FF");
    EXPECT_EQ(EncodeTrashPath("rel/x?y#z"), "rel/x%3Fy%23z");
}

TEST_F(TrashTest, AnItemTheTrashRefusesStaysWhereItIs) {
    ASSERT_TRUE(WriteFileBytes(Work("keep.txt"), "keep"));
    ASSERT_EQ(::mkdir((temp / "data").c_str(), 0755), 0);
    ASSERT_TRUE(WriteFileBytes(temp / "data/Trash", "a file where the trash should be"));

    const ShellOperationResult refused = DeleteToTrash({Work("keep.txt"), Work("missing.txt")});

    ASSERT_EQ(refused.items.size(), 2u);
    EXPECT_EQ(refused.failed, 2u);
    EXPECT_EQ(refused.items[0].error, ENOTDIR);
    EXPECT_NE(refused.items[0].error_text.find("trash"), std::string::npos);
    EXPECT_EQ(refused.items[1].error, ENOENT);
    EXPECT_EQ(ReadFileBytes(Work("keep.txt")), "keep");
    EXPECT_TRUE(refused.items[0].target.empty());
}

TEST_F(TrashTest, WildCardsAndRelativePathsAreTrashedByTheirFullPath) {
    for (const char* name : {"a.log", "b.log", "c.txt"})
        ASSERT_TRUE(WriteFileBytes(Work(name), name));
    char previous[PATH_MAX];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(work.c_str()), 0);
    const ShellOperationResult result = DeleteToTrash({"*.log"});
    ASSERT_EQ(::chdir(previous), 0);

    ASSERT_TRUE(result.AllSucceeded()) << result.FirstError();
    EXPECT_EQ(NamesIn(work), std::vector<std::string>{"c.txt"});
    EXPECT_EQ(NamesIn(trash + "/files"), (std::vector<std::string>{"a.log", "b.log"}));
    EXPECT_NE(Info("a.log").find("Path=" + EncodeTrashPath(Work("a.log")) + "\n"), std::string::npos);
}

TEST_F(TrashTest, AnItemOnAnotherMountGoesToThatMountsTrash) {
    OtherDeviceDir other;
    if (other.path().empty())
        GTEST_SKIP() << "no second writable device (/dev/shm)";
    const std::string mount_trash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const bool trash_existed = Exists(mount_trash);
    ASSERT_TRUE(WriteFileBytes(other / "away.txt", "away"));

    TrashedItem item;
    int error = 0;
    std::string text;
    const bool moved = MoveToTrash(other / "away.txt", item, error, text);

    EXPECT_TRUE(moved) << text;
    EXPECT_FALSE(Exists(other / "away.txt"));
    EXPECT_EQ(item.trash_folder, mount_trash);
    EXPECT_EQ(ReadFileBytes(item.trashed_path), "away");
    // Relative to the mount, so the volume can be mounted elsewhere.
    const std::string relative = other.path().substr(std::string("/dev/shm/").size()) + "/away.txt";
    EXPECT_NE(ReadFileBytes(item.info_path).find("\nPath=" + EncodeTrashPath(relative) + "\n"),
              std::string::npos);
    EXPECT_FALSE(IsFolder(trash));

    std::error_code ignored;
    if (trash_existed) {
        std::filesystem::remove(item.trashed_path, ignored);
        std::filesystem::remove(item.info_path, ignored);
    } else {
        std::filesystem::remove_all(mount_trash, ignored);
    }
}

}  // namespace
}  // namespace korvane
