#include "platform/directory_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "platform/run_unprivileged.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::RunUnprivileged;
using testing::TempDir;
using testing::WriteFileBytes;

std::vector<DirectoryEntry> ListAll(DirectoryReader& reader) {
    std::vector<DirectoryEntry> entries;
    DirectoryEntry entry;
    while (reader.Next(entry))
        entries.push_back(entry);
    return entries;
}

std::map<std::string, DirectoryEntry> ByName(const std::vector<DirectoryEntry>& entries) {
    std::map<std::string, DirectoryEntry> map;
    for (const auto& e : entries) {
        EXPECT_TRUE(map.emplace(e.name, e).second) << "listed twice: " << e.name;
    }
    return map;
}

void SetTimes(const std::string& path, std::time_t access, std::time_t modify) {
    const timespec times[2] = {{access, 0}, {modify, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

struct WalkTotals {
    int folders = 0;  // below the start folder
    int files = 0;    // everything that is not a folder, links included
    std::uint64_t size = 0;
};

// Depth first, never into another device, as the scanner walks.
void Walk(DirectoryReader& folder, WalkTotals& totals) {
    DirectoryEntry entry;
    while (folder.Next(entry)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        if (entry.IsDirectory()) {
            ++totals.folders;
            DirectoryReader child;
            if (child.OpenChild(folder, entry.name, folder.self().device))
                Walk(child, totals);
        } else {
            ++totals.files;
            totals.size += entry.size;
        }
    }
}

class DirectoryReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Readable by everyone, so the unprivileged parts can reach it.
        fs::permissions(tmp_.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                         fs::perms::others_read | fs::perms::others_exec);
        tree_ = tmp_ / "tree";
        fs::create_directory(tree_);
    }

    std::string Path(const std::string& name) const { return tree_ + "/" + name; }

    TempDir tmp_;
    std::string tree_;
};

TEST_F(DirectoryReaderTest, ListsDotsFirstThenEveryEntryWithItsDetails) {
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(WriteFileBytes(Path("a.txt"), "hello"));
    fs::create_directory(Path("sub"));
    fs::create_directory_symlink("sub", Path("link-to-sub"));
    ASSERT_TRUE(WriteFileBytes(Path(".hidden"), ""));
    ASSERT_TRUE(WriteFileBytes(Path("ro"), "x"));
    ASSERT_EQ(chmod(Path("ro").c_str(), 0444), 0);
    ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0644), 0);
    SetTimes(Path("a.txt"), 1100000000, 1000000000);

    DirectoryReader reader;
    ASSERT_TRUE(reader.OpenPath(tree_));
    const auto entries = ListAll(reader);
    EXPECT_FALSE(reader.failed());
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0].name, ".");
    EXPECT_EQ(entries[1].name, "..");

    struct stat folder, parent;
    ASSERT_EQ(stat(tree_.c_str(), &folder), 0);
    ASSERT_EQ(stat(tmp_.str().c_str(), &parent), 0);
    EXPECT_EQ(entries[0].inode, folder.st_ino);
    EXPECT_EQ(entries[0].device, folder.st_dev);
    EXPECT_EQ(entries[0].attributes, kAttrDirectory);
    EXPECT_EQ(entries[1].inode, parent.st_ino);
    EXPECT_EQ(entries[1].attributes & kAttrDirectory, kAttrDirectory);

    auto by_name = ByName(entries);
    const DirectoryEntry& file = by_name.at("a.txt");
    EXPECT_EQ(file.attributes, kAttrArchive);
    EXPECT_EQ(file.size, 5u);
    EXPECT_EQ(file.allocated % 512, 0u);
    EXPECT_EQ(file.modify_time, 1000000000);
    EXPECT_EQ(file.access_time, 1100000000);
    EXPECT_EQ(file.uid, geteuid());
    EXPECT_EQ(file.device, folder.st_dev);
    // Creation time: the birth time where the file system keeps one, else none.
    if (file.create_time != 0) {
        EXPECT_GE(file.create_time, before - 5);
        EXPECT_LE(file.create_time, std::time(nullptr) + 5);
    }

    EXPECT_EQ(by_name.at("sub").attributes, kAttrDirectory);
    EXPECT_TRUE(by_name.at("sub").IsDirectory());
    // A link to a folder is a link, never the folder.
    EXPECT_EQ(by_name.at("link-to-sub").attributes, kAttrSymlink);
    EXPECT_FALSE(by_name.at("link-to-sub").IsDirectory());
    EXPECT_EQ(by_name.at("link-to-sub").size, 3u);  // the link's own length
    EXPECT_EQ(by_name.at(".hidden").attributes, kAttrArchive | kAttrHidden);
    EXPECT_EQ(by_name.at("ro").attributes, kAttrArchive | kAttrReadOnly);
    EXPECT_EQ(by_name.at("pipe").attributes, 0u);
}

TEST_F(DirectoryReaderTest, ChildFolderShowsItsParentAsDotDot) {
    fs::create_directories(Path("sub/deeper"));
    DirectoryReader parent, child, grandchild;
    ASSERT_TRUE(parent.OpenPath(tree_));
    ASSERT_TRUE(child.OpenChild(parent, "sub"));
    ASSERT_TRUE(grandchild.OpenChild(child, "deeper"));
    DirectoryEntry dot, dotdot;
    ASSERT_TRUE(grandchild.Next(dot));
    ASSERT_TRUE(grandchild.Next(dotdot));
    struct stat deeper;
    ASSERT_EQ(stat(Path("sub/deeper").c_str(), &deeper), 0);
    EXPECT_EQ(dot.inode, deeper.st_ino);
    EXPECT_EQ(dotdot.name, "..");
    EXPECT_EQ(dotdot.inode, child.self().inode);
    EXPECT_NE(dotdot.inode, dot.inode);
    DirectoryEntry none;
    EXPECT_FALSE(grandchild.Next(none));
    EXPECT_FALSE(grandchild.failed());
}

TEST_F(DirectoryReaderTest, HostileNamesComeBackByteForByteAndOpen) {
    const std::vector<std::string> names = {"with blank",     "comma,name", "quote\"d",
                                            "single'q",       "new\nline",  std::string("\xff\xfe invalid"),
                                            "back\\slash",    "tab\tname",  "caf\xc3\xa9",
                                            "*?[]",           "-dash",      " leading blank",
                                            "trailing blank "};
    for (const auto& name : names) {
        fs::create_directory(Path(name));
        ASSERT_TRUE(WriteFileBytes(Path(name) + "/inside " + name, name));
    }
    DirectoryReader reader;
    ASSERT_TRUE(reader.OpenPath(tree_));
    std::set<std::string> listed;
    DirectoryEntry entry;
    while (reader.Next(entry)) {
        if (entry.name == "." || entry.name == "..")
            continue;
        listed.insert(entry.name);
        DirectoryReader child;
        ASSERT_TRUE(child.OpenChild(reader, entry.name)) << entry.name;
        const auto inside = ListAll(child);
        ASSERT_EQ(inside.size(), 3u) << entry.name;
        EXPECT_EQ(inside[2].name, "inside " + entry.name);
        EXPECT_EQ(inside[2].size, entry.name.size());
    }
    EXPECT_EQ(listed, std::set<std::string>(names.begin(), names.end()));
}

TEST_F(DirectoryReaderTest, SparseFileHasFullSizeAndSmallAllocation) {
    const std::uint64_t five_gib = 5ull << 30;
    const int fd = open(Path("sparse.img").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "end", 3, static_cast<off_t>(five_gib - 3)), 3);
    close(fd);
    DirectoryReader reader;
    ASSERT_TRUE(reader.OpenPath(tree_));
    const auto entries = ByName(ListAll(reader));
    const DirectoryEntry& sparse = entries.at("sparse.img");
    EXPECT_EQ(sparse.size, five_gib);
    EXPECT_GT(sparse.allocated, 0u);
    EXPECT_LT(sparse.allocated, 1u << 20);
}

TEST_F(DirectoryReaderTest, SymbolicLinkLoopsCannotTrapTheWalk) {
    fs::create_directory(Path("d"));
    ASSERT_TRUE(WriteFileBytes(Path("d/file"), "1234"));
    fs::create_directory_symlink(".", Path("loop"));
    fs::create_directory_symlink("..", Path("d/up"));
    fs::create_directory_symlink("../d", Path("d/again"));
    fs::create_symlink("b", Path("a"));
    fs::create_symlink("a", Path("b"));

    DirectoryReader root;
    ASSERT_TRUE(root.OpenPath(tree_));
    WalkTotals totals;
    Walk(root, totals);
    EXPECT_EQ(totals.folders, 1);
    EXPECT_EQ(totals.files, 6);  // file and five links
    EXPECT_EQ(totals.size, 4u + 1 + 2 + 4 + 1 + 1);

    // Entering a link by name is refused even when asked for.
    DirectoryReader through_link;
    EXPECT_FALSE(through_link.OpenChild(root, "loop"));
    EXPECT_TRUE(through_link.failed());
    EXPECT_TRUE(through_link.error() == ELOOP || through_link.error() == ENOTDIR) << through_link.error();
    DirectoryEntry entry;
    EXPECT_FALSE(through_link.Next(entry));
}

TEST_F(DirectoryReaderTest, UnreadableFolderReadsAsEmptyWithFailure) {
    fs::create_directory(Path("locked"));
    ASSERT_TRUE(WriteFileBytes(Path("locked/secret"), "x"));
    fs::create_directory(Path("open"));
    ASSERT_TRUE(WriteFileBytes(Path("open/public"), "x"));
    ASSERT_EQ(chmod(Path("locked").c_str(), 0), 0);

    std::vector<std::string> open_names;
    std::size_t locked_count = 99;
    int locked_error = 0;
    bool opened_locked = true;
    ASSERT_TRUE(RunUnprivileged([&] {
        DirectoryReader root;
        if (!root.OpenPath(tree_))
            return;
        DirectoryReader locked, open;
        opened_locked = locked.OpenChild(root, "locked");
        locked_count = ListAll(locked).size();
        locked_error = locked.error();
        if (open.OpenChild(root, "open")) {
            for (const auto& e : ListAll(open))
                open_names.push_back(e.name);
        }
    }));
    EXPECT_FALSE(opened_locked);
    EXPECT_EQ(locked_count, 0u);
    EXPECT_EQ(locked_error, EACCES);
    // The rights were dropped, not lost: the readable sibling still lists.
    EXPECT_EQ(open_names, (std::vector<std::string>{".", "..", "public"}));
}

TEST_F(DirectoryReaderTest, FolderWithoutSearchRightListsNamesAndTypesOnly) {
    fs::create_directory(Path("names-only"));
    ASSERT_TRUE(WriteFileBytes(Path("names-only/file"), "12345"));
    fs::create_directory(Path("names-only/folder"));
    ASSERT_EQ(chmod(Path("names-only").c_str(), 0444), 0);

    std::map<std::string, DirectoryEntry> entries;
    int error = 0;
    ASSERT_TRUE(RunUnprivileged([&] {
        DirectoryReader root, names_only;
        if (!root.OpenPath(tree_) || !names_only.OpenChild(root, "names-only"))
            return;
        for (const auto& e : ListAll(names_only))
            entries.emplace(e.name, e);
        error = names_only.error();
    }));
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries.at("file").attributes, kAttrArchive);
    EXPECT_EQ(entries.at("file").size, 0u);
    EXPECT_EQ(entries.at("folder").attributes, kAttrDirectory);
    EXPECT_EQ(error, EACCES);
}

TEST_F(DirectoryReaderTest, EntryRemovedAfterListingIsSkipped) {
    ASSERT_TRUE(WriteFileBytes(Path("first"), "1"));
    ASSERT_TRUE(WriteFileBytes(Path("second"), "2"));
    DirectoryReader reader;
    ASSERT_TRUE(reader.OpenPath(tree_));
    DirectoryEntry entry;
    ASSERT_TRUE(reader.Next(entry));  // .
    ASSERT_TRUE(reader.Next(entry));  // ..
    ASSERT_TRUE(reader.Next(entry));  // the listing is read now; one name comes back
    const std::string other = entry.name == "first" ? "second" : "first";
    ASSERT_EQ(unlink(Path(other).c_str()), 0);
    EXPECT_FALSE(reader.Next(entry));
    EXPECT_FALSE(reader.failed());
}

TEST(DirectoryReaderDeviceTest, AnotherDeviceIsSeenAndCanBeRefused) {
    struct stat root_status, proc_status;
    ASSERT_EQ(stat("/", &root_status), 0);
    if (stat("/proc", &proc_status) != 0 || proc_status.st_dev == root_status.st_dev) {
        GTEST_SKIP() << "/proc is not a mount here";
    }
    DirectoryReader root;
    ASSERT_TRUE(root.OpenPath("/"));
    const auto entries = ByName(ListAll(root));
    const DirectoryEntry& proc = entries.at("proc");
    EXPECT_TRUE(proc.IsDirectory());
    EXPECT_EQ(proc.device, proc_status.st_dev);
    EXPECT_NE(proc.device, root.self().device);

    DirectoryReader refused, allowed;
    EXPECT_FALSE(refused.OpenChild(root, "proc", root.self().device));
    EXPECT_EQ(refused.error(), EXDEV);
    EXPECT_TRUE(allowed.OpenChild(root, "proc"));
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST_F(DirectoryReaderTest, HandlesAreReleasedOnEveryPath) {
    fs::create_directories(Path("a/b/c"));
    const int before = OpenDescriptors();
    {
        std::vector<DirectoryReader> readers;
        for (int i = 0; i < 50; ++i) {
            DirectoryReader root;
            ASSERT_TRUE(root.OpenPath(tree_));
            DirectoryReader a;
            ASSERT_TRUE(a.OpenChild(root, "a"));
            DirectoryReader moved(std::move(a));
            EXPECT_FALSE(a.is_open());
            DirectoryReader b;
            ASSERT_TRUE(b.OpenChild(moved, "b"));
            b = std::move(moved);  // closes the b folder, takes a's
            readers.push_back(std::move(b));
            DirectoryReader missing;
            EXPECT_FALSE(missing.OpenChild(root, "no such folder"));
            EXPECT_EQ(missing.error(), ENOENT);
            root.Close();
            DirectoryReader orphan;
            EXPECT_FALSE(orphan.OpenChild(root, "a"));
            EXPECT_EQ(orphan.error(), EBADF);
        }
        EXPECT_EQ(OpenDescriptors(), before + 50);
    }
    EXPECT_EQ(OpenDescriptors(), before);
    DirectoryReader never_opened;
    DirectoryEntry entry;
    EXPECT_FALSE(never_opened.Next(entry));
}

TEST_F(DirectoryReaderTest, PathEntryIsNamedByLastComponent) {
    fs::create_directory(Path(".config"));
    ASSERT_TRUE(WriteFileBytes(Path(".config/settings"), "abc"));
    DirectoryEntry entry;
    ASSERT_EQ(ReadPathEntry(Path(".config") + "//", entry), 0);
    EXPECT_EQ(entry.name, ".config");
    EXPECT_EQ(entry.attributes, kAttrDirectory | kAttrHidden);
    ASSERT_EQ(ReadPathEntry(Path(".config/settings"), entry), 0);
    EXPECT_EQ(entry.name, "settings");
    EXPECT_EQ(entry.size, 3u);
    ASSERT_EQ(ReadPathEntry("/", entry), 0);
    EXPECT_EQ(entry.name, "/");
    EXPECT_EQ(ReadPathEntry(Path("missing"), entry), ENOENT);
    EXPECT_EQ(ReadPathEntry("", entry), ENOENT);
}

TEST_F(DirectoryReaderTest, RandomTreesAgreeWithIndependentWalk) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 5; ++round) {
        const std::string top = Path("round" + std::to_string(round));
        fs::create_directory(top);
        std::vector<std::string> folders = {top};
        const int count = 50 + static_cast<int>(random() % 150);
        for (int i = 0; i < count; ++i) {
            const std::string& parent = folders[random() % folders.size()];
            const std::string path = parent + "/n" + std::to_string(i);
            switch (random() % 5) {
                case 0:
                    fs::create_directory(path);
                    folders.push_back(path);
                    break;
                case 1:
                    fs::create_symlink(folders[random() % folders.size()], path);
                    break;
                default: {
                    const int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0644);
                    ASSERT_GE(fd, 0);
                    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(random() % 100000)), 0);
                    close(fd);
                }
            }
        }
        WalkTotals expected;
        for (const auto& item : fs::recursive_directory_iterator(top)) {
            if (item.is_symlink()) {
                ++expected.files;
                expected.size += fs::read_symlink(item.path()).string().size();
            } else if (item.is_directory()) {
                ++expected.folders;
            } else {
                ++expected.files;
                expected.size += item.file_size();
            }
        }
        DirectoryReader reader;
        ASSERT_TRUE(reader.OpenPath(top));
        WalkTotals walked;
        Walk(reader, walked);
        EXPECT_EQ(walked.folders, expected.folders) << round;
        EXPECT_EQ(walked.files, expected.files) << round;
        EXPECT_EQ(walked.size, expected.size) << round;
    }
}

}  // namespace
}  // namespace korvane
