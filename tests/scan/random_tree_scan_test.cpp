// Random trees, scanned and checked against an independent walk of the same
// folders: the pre-order numbering and every folder's totals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <tuple>

#include "scan/volume_scanner.h"
#include "scan_fixture.h"

namespace korvane::testing {
namespace {

namespace fs = std::filesystem;

struct Totals {
    std::int64_t files = 0, folders = 0, level = 0, own_files = 0;
    double size = 0, blocks = 0, own_size = 0;
};

// Totals of every folder below and including `path`, by lstat alone.
class IndependentWalk {
  public:
    explicit IndependentWalk(std::uint64_t cluster) : cluster_(cluster) {}

    Totals Walk(const std::string& path, std::int64_t level) {
        Totals totals;
        totals.level = level;
        for (const fs::directory_entry& entry : fs::directory_iterator(path)) {
            struct stat st;
            if (lstat(entry.path().c_str(), &st) != 0) {
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                const Totals below = Walk(entry.path().string(), level + 1);
                totals.files += below.files;
                totals.folders += below.folders + 1;
                totals.size += below.size;
            } else {
                totals.files += 1;
                totals.own_files += 1;
                totals.size += static_cast<double>(st.st_size);
                totals.own_size += static_cast<double>(st.st_size);
                // No file here is compressed: its compressed size is its size.
                const auto size = static_cast<std::uint64_t>(st.st_size);
                totals.blocks += static_cast<double>((size + cluster_ - 1) / cluster_);
            }
        }
        by_path[path] = totals;
        return totals;
    }

    std::map<std::string, Totals> by_path;

  private:
    std::uint64_t cluster_;
};

class RandomTreeBuilder {
  public:
    RandomTreeBuilder(unsigned seed, std::string root) : random_(seed), root_(std::move(root)) {}

    void Build() { Fill(root_, 0); }

  private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

    std::string Name() {
        static const char* const kParts[] = {
            "a", "B c", ".h", "x,y", "q\"t", "\xe9t\xe9", "long-name-part", "n\nl", "z.tar", "dot.", "\xff"};
        std::string name;
        const int parts = Pick(1, 3);
        for (int i = 0; i < parts; ++i) {
            name += kParts[Pick(0, 10)];
        }
        return name + std::to_string(counter_++);
    }

    void Fill(const std::string& folder, int depth) {
        const int files = Pick(0, 12);
        for (int i = 0; i < files; ++i) {
            const std::string path = folder + "/" + Name();
            const int kind = Pick(0, 19);
            if (kind == 0) {
                fs::create_symlink(Pick(0, 1) ? "." : "..", path);
            } else if (kind == 1) {
                const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                ASSERT_GE(fd, 0);
                ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(Pick(1, 1 << 20)) << 12), 0);
                ::close(fd);
            } else {
                ASSERT_TRUE(WriteFileBytes(path, std::string(static_cast<std::size_t>(Pick(0, 9000)), 'r')));
            }
        }
        if (depth >= 6) {
            return;
        }
        const int folders = depth == 0 ? Pick(2, 5) : Pick(0, 3);
        for (int i = 0; i < folders; ++i) {
            const std::string path = folder + "/" + Name();
            fs::create_directory(path);
            Fill(path, depth + 1);
        }
    }

    std::mt19937 random_;
    std::string root_;
    int counter_ = 0;
};

// Seeds, and whether rows are saved on a writer thread or directly.
class RandomTreeScanTest : public ScanTest,
                           public ::testing::WithParamInterface<std::tuple<unsigned, bool>> {};

TEST_P(RandomTreeScanTest, NumberingAndFolderTotalsMatchAnIndependentWalk) {
    const auto [seed, overlap] = GetParam();
    context_.overlap_writing = overlap;
    const std::string root = Tree("random");
    RandomTreeBuilder(seed, root).Build();
    // A second volume after the first checks that numbering runs on across volumes.
    const std::string other = Tree("other");
    RandomTreeBuilder(seed + 1000, other).Build();
    ASSERT_TRUE(Build("\"" + root + "\",\"" + other + "\""));
    const CatalogueRows rows = Read();

    struct statvfs info;
    ASSERT_EQ(statvfs(root.c_str(), &info), 0);
    IndependentWalk walk(info.f_frsize != 0 ? info.f_frsize : info.f_bsize);
    walk.Walk(root, 0);
    walk.Walk(other, 0);

    // Identifiers run 1..N without a gap, and each folder's subtree is exactly
    // the identifiers after it up to its Folders count.
    ASSERT_EQ(rows.folders.size(), walk.by_path.size());
    ASSERT_EQ(rows.folders.rbegin()->first, static_cast<std::int32_t>(rows.folders.size()));
    std::map<std::int32_t, std::set<std::int32_t>> below;
    for (const auto& [id, folder] : rows.folders) {
        for (std::int32_t up = folder.parent; up != 0; up = rows.folders.at(up).parent) {
            ASSERT_LT(up, id);
            below[up].insert(id);
        }
    }
    for (const auto& [id, folder] : rows.folders) {
        std::set<std::int32_t> range;
        for (std::int32_t i = id + 1; i <= id + folder.folders; ++i) {
            range.insert(i);
        }
        EXPECT_EQ(below[id], range) << "folder " << id;
    }

    std::map<std::int32_t, std::pair<std::int64_t, double>> own_files;
    for (const auto& [id, file] : rows.files) {
        own_files[file.parent].first += 1;
        own_files[file.parent].second += file.size;
    }
    std::int64_t checked = 0;
    for (const auto& [id, folder] : rows.folders) {
        std::string path;
        ASSERT_TRUE(tree_.FolderPathOfId(id, path)) << id;
        if (path.size() > 1 && path.back() == '/') {
            path.pop_back();
        }
        ASSERT_EQ(walk.by_path.count(path), 1u) << path;
        const Totals& expected = walk.by_path.at(path);
        EXPECT_EQ(folder.files, expected.files) << path;
        EXPECT_EQ(folder.folders, expected.folders) << path;
        EXPECT_EQ(folder.size, expected.size) << path;
        EXPECT_EQ(folder.blocks, expected.blocks) << path;
        EXPECT_EQ(folder.level, expected.level) << path;
        EXPECT_EQ(own_files[id].first, expected.own_files) << path;
        EXPECT_EQ(own_files[id].second, expected.own_size) << path;
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<std::int64_t>(walk.by_path.size()));

    ASSERT_EQ(rows.volumes.size(), 2u);
    for (const ScannedVolume& volume : rows.volumes) {
        const ScannedFolder& top = rows.folders.at(volume.root_folder);
        EXPECT_EQ(volume.files, top.files);
        EXPECT_EQ(volume.folders, top.folders);
        EXPECT_EQ(top.parent, 0);
    }
    EXPECT_EQ(rows.volumes[1].root_folder, rows.volumes[0].root_folder + rows.folders.at(1).folders + 1);
    EXPECT_EQ(static_cast<std::int64_t>(rows.files.size()),
              walk.by_path.at(root).files + walk.by_path.at(other).files);
    EXPECT_EQ(rows.counters.next_file, static_cast<std::int32_t>(rows.files.size()) + 1);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomTreeScanTest,
                         ::testing::Combine(::testing::Values(1u, 2u, 3u, 4u), ::testing::Bool()));

// Every row a build writes, as text: what the same tree must give on either
// engine (times and the file system's free space, which may move between two
// walks, are left out).
std::string RowsText(const CatalogueRows& rows) {
    std::string text = rows.computer_name + "|" + std::to_string(rows.counters.next_volume) + "|" +
                       std::to_string(rows.counters.next_folder) + "|" +
                       std::to_string(rows.counters.next_file) + "\n";
    for (const auto& [id, f] : rows.folders) {
        text += "folder|" + std::to_string(id) + "|" + std::to_string(f.parent) + "|" +
                std::to_string(f.folders) + "|" + std::to_string(f.files) + "|" + std::to_string(f.level) +
                "|" + std::to_string(f.attributes) + "|" + std::to_string(f.size) + "|" +
                std::to_string(f.blocks) + "|" + f.name + "|" + f.owner + "|" + std::to_string(f.has_modify) +
                "\n";
    }
    for (const auto& [id, f] : rows.files) {
        text += "file|" + std::to_string(id) + "|" + std::to_string(f.parent) + "|" +
                std::to_string(f.attributes) + "|" + std::to_string(f.size) + "|" +
                std::to_string(f.compressed) + "|" + f.name + "|" + f.owner + "|" + f.type.value_or("null") +
                "|" + std::to_string(f.has_modify) + std::to_string(f.has_access) + "\n";
    }
    for (const ScannedVolume& v : rows.volumes) {
        text += "volume|" + std::to_string(v.id) + "|" + std::to_string(v.root_folder) + "|" +
                std::to_string(v.files) + "|" + std::to_string(v.folders) + "|" + std::to_string(v.serial) +
                "|" + std::to_string(v.type) + "|" + v.root + "|" + v.name + "|" + v.owner + "|" + v.media +
                "|" + v.format + "\n";
    }
    return text;
}

// The same made tree built into a catalogue file and into a server's
// database gives the same rows.
TEST_F(ScanTest, BothEnginesGiveTheSameRowsForTheSameTree) {
    const std::string root = Tree("random");
    RandomTreeBuilder(7, root).Build();
    ASSERT_TRUE(Build("\"" + root + "\""));
    const std::string on_file = RowsText(Read());
    ASSERT_GT(on_file.size(), 1000u);

    std::string error;
    const std::string database = FreshCatalogue(CatalogueEngine::Postgres, "", error);
    ASSERT_FALSE(database.empty()) << error;
    ASSERT_TRUE(catalogue_.OpenCatalogue(database)) << catalogue_.last_error();
    ASSERT_TRUE(Build("\"" + root + "\"")) << context_.report.failure;
    EXPECT_EQ(RowsText(Read()), on_file);
    catalogue_.CloseCatalogue();
    DropPostgresDatabase(database, error);
}

}  // namespace
}  // namespace korvane::testing
