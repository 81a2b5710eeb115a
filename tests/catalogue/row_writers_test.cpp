#include "catalogue/row_writers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue/day_number.h"
#include "catalogue/folder_tree.h"
#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

struct FolderRow {
    std::int32_t id = 0, parent = 0, folders = 0, files = 0, level = 0, attributes = 0;
    double size = 0, blocks = 0;
    std::string name, owner;
    bool create_null = true, modify_null = true, access_null = true;
};

struct FileRow {
    std::int32_t id = 0, parent = 0, attributes = 0;
    double size = 0, compressed = 0;
    std::string name, owner;
    std::optional<std::string> type;
    std::optional<double> modified;
};

class RowWritersTest : public EngineCatalogueTest {
  protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        OpenTables();
    }

    std::map<std::int32_t, FolderRow> Folders() {
        std::map<std::int32_t, FolderRow> rows;
        TableCursor& t = catalogue_.folder_table();
        for (bool row = t.MoveFirst(); row; row = t.MoveNext()) {
            FolderRow r;
            t.GetInt("Folder ID", r.id);
            t.GetInt("Parent ID", r.parent);
            t.GetInt("Folders", r.folders);
            t.GetInt("Files", r.files);
            t.GetInt("Level", r.level);
            t.GetInt("Attributes", r.attributes);
            t.GetDouble("Size", r.size);
            t.GetDouble("Blocks", r.blocks);
            t.GetText("Name", r.name);
            t.GetText("Owner", r.owner);
            r.create_null = t.IsNull("Create Date");
            r.modify_null = t.IsNull("Modify Date");
            r.access_null = t.IsNull("Access Date");
            rows[r.id] = r;
        }
        return rows;
    }

    std::map<std::int32_t, FileRow> Files() {
        std::map<std::int32_t, FileRow> rows;
        TableCursor& t = catalogue_.file_table();
        for (bool row = t.MoveFirst(); row; row = t.MoveNext()) {
            FileRow r;
            t.GetInt("File ID", r.id);
            t.GetInt("Parent ID", r.parent);
            t.GetInt("Attributes", r.attributes);
            t.GetDouble("Size", r.size);
            t.GetDouble("Compressed", r.compressed);
            t.GetText("Name", r.name);
            t.GetText("Owner", r.owner);
            std::string type;
            if (t.GetText("Type", type)) {
                r.type = type;
            }
            double modified = 0;
            if (t.GetDate("Modify Date", modified)) {
                r.modified = modified;
            }
            rows[r.id] = r;
        }
        return rows;
    }

    FolderScanRecord FileRecord(const std::string& name, std::uint64_t size, std::int32_t id = 1,
                                std::int32_t parent = 1) {
        FolderScanRecord record;
        record.file_id = id;
        record.parent_id = parent;
        record.entry.name = name;
        record.entry.size = size;
        record.entry.attributes = kAttrArchive;
        record.entry.modify_time = 1600000000;
        record.compressed_size = size / 2;
        return record;
    }

    FolderTree tree_;
    IdCounters counters_;
};

TEST_P(RowWritersTest, ComputerAndVolumeRowsKeepOptionalTextsNull) {
    ASSERT_TRUE(WriteComputerRow(catalogue_, {1, "", "someone"}));
    TableCursor& computer = catalogue_.computer_table();
    ASSERT_TRUE(computer.MoveFirst());
    std::int32_t id = 0;
    EXPECT_TRUE(computer.GetInt("Computer ID", id));
    EXPECT_EQ(id, 1);
    EXPECT_TRUE(computer.IsNull("Name"));

    VolumeScanRecord volume;
    volume.volume_id = 3;
    volume.root_folder_id = 7;
    volume.root = "/srv/data";
    volume.media = "Fixed Disk Media";
    volume.serial_number = 0xDEADBEEF;
    volume.size = 6'000'000'000'000ULL;
    volume.free = 1'000'000'000'000ULL;
    volume.used = 5'000'000'000'000ULL;
    volume.files = 12;
    volume.folders = 4;
    volume.volume_type = 1;
    ASSERT_TRUE(WriteVolumeRow(catalogue_, volume));
    TableCursor& v = catalogue_.volume_table();
    ASSERT_TRUE(v.MoveFirst());
    std::string text;
    EXPECT_TRUE(v.GetText("Name", text));
    EXPECT_EQ(text, "Unlabeled");
    EXPECT_TRUE(v.GetText("Root", text));
    EXPECT_EQ(text, "/srv/data");
    EXPECT_TRUE(v.GetText("Type", text));
    EXPECT_EQ(text, "Fixed Disk Media");
    for (const char* field : {"Owner", "Format", "UserName", "Password"}) {
        EXPECT_TRUE(v.IsNull(field)) << field;
    }
    double size = 0;
    EXPECT_TRUE(v.GetDouble("Size", size));
    EXPECT_EQ(size, 6e12);
    EXPECT_TRUE(v.GetDouble("Used", size));
    EXPECT_EQ(size, 5e12);
    std::int32_t value = 0;
    EXPECT_TRUE(v.GetInt("Folder ID", value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(v.GetInt("Files", value));
    EXPECT_EQ(value, 12);
    const FieldValue* serial = v.Field("Serial Number");
    ASSERT_NE(serial, nullptr);
    EXPECT_EQ(serial->integer, 0xDEADBEEFLL);
}

TEST_P(RowWritersTest, FolderRowsAreNamedByRootPathOrLastComponent) {
    FolderScanRecord root;
    root.folder_id = 1;
    root.path = "/mnt/data/start";
    root.entry.modify_time = 1700000000;
    root.folders = 1;
    root.files = 2;
    root.size = 5'000'000'000ULL;
    ASSERT_TRUE(WriteFolderRow(catalogue_, root, '/'));

    FolderScanRecord sub;
    sub.folder_id = 2;
    sub.parent_id = 1;
    sub.level = 1;
    sub.path = "/mnt/data/start/a,b \"c\"";
    sub.owner = "alice";
    sub.blocks = 3;
    sub.entry.attributes = kAttrDirectory | kAttrHidden;
    sub.entry.access_time = 1700000000;
    ASSERT_TRUE(WriteFolderRow(catalogue_, sub, '/'));

    FolderScanRecord odd;
    odd.folder_id = 3;
    odd.parent_id = 1;
    odd.path = "C:\\Data\\";
    ASSERT_TRUE(WriteFolderRow(catalogue_, odd, '\\'));

    const auto rows = Folders();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows.at(1).name, "/mnt/data/start");
    EXPECT_EQ(rows.at(1).size, 5e9);
    EXPECT_EQ(rows.at(1).files, 2);
    EXPECT_TRUE(rows.at(1).create_null);
    EXPECT_FALSE(rows.at(1).modify_null);
    EXPECT_EQ(rows.at(1).owner, "");
    EXPECT_EQ(rows.at(2).name, "a,b \"c\"");
    EXPECT_EQ(rows.at(2).owner, "alice");
    EXPECT_EQ(rows.at(2).blocks, 3);
    EXPECT_EQ(rows.at(2).level, 1);
    EXPECT_EQ(rows.at(2).attributes, 0x12);
    EXPECT_TRUE(rows.at(2).modify_null);
    EXPECT_FALSE(rows.at(2).access_null);
    EXPECT_EQ(rows.at(3).name, "\\");
}

TEST_P(RowWritersTest, FileRowsKeepNamesTypesSizesAndTimes) {
    const std::string hostile = std::string("bad\xff\xfe name\nwith \"quotes\", commas.TXT");
    ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord("report.final.doc", 10, 1)));
    ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord("README", 20, 2)));
    ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord("trailing.", 30, 3)));
    ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord("huge.iso", 5ULL << 32, 4, 9)));
    ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord(hostile, 1, 5)));
    FolderScanRecord no_times = FileRecord("plain", 0, 6);
    no_times.entry.modify_time = 0;
    no_times.owner = "bob";
    ASSERT_TRUE(WriteFileRow(catalogue_, no_times));

    const auto rows = Files();
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows.at(1).type, "doc");
    EXPECT_EQ(rows.at(2).type, std::nullopt);
    EXPECT_EQ(rows.at(3).type, "");
    EXPECT_EQ(rows.at(4).size, 21474836480.0);
    EXPECT_EQ(rows.at(4).compressed, 10737418240.0);
    EXPECT_EQ(rows.at(4).parent, 9);
    EXPECT_EQ(rows.at(5).name, hostile);
    EXPECT_EQ(rows.at(5).type, "TXT");
    ASSERT_TRUE(rows.at(1).modified.has_value());
    EXPECT_EQ(*rows.at(1).modified, DayNumberFromUnix(1600000000));
    EXPECT_EQ(UnixFromDayNumber(*rows.at(1).modified), 1600000000);
    EXPECT_FALSE(rows.at(6).modified.has_value());
    EXPECT_EQ(rows.at(6).owner, "bob");
    EXPECT_EQ(rows.at(1).owner, "");
    EXPECT_EQ(rows.at(1).attributes, static_cast<std::int32_t>(kAttrArchive));
}

TEST_P(RowWritersTest, UpdatesRewriteOnlyTheirFieldsAndRefuseMissingRows) {
    ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord("old.txt", 100, 1)));
    FolderScanRecord renamed = FileRecord("NEWNAME", 200, 1);
    renamed.entry.modify_time = 0;
    ASSERT_TRUE(UpdateFileRow(catalogue_, renamed));
    auto files = Files();
    EXPECT_EQ(files.at(1).name, "NEWNAME");
    EXPECT_EQ(files.at(1).type, "txt");
    EXPECT_EQ(files.at(1).size, 200);
    EXPECT_TRUE(files.at(1).modified.has_value());
    EXPECT_FALSE(UpdateFileRow(catalogue_, FileRecord("x.y", 1, 99)));
    EXPECT_EQ(Files().size(), 1u);

    FolderScanRecord folder;
    folder.folder_id = 4;
    folder.parent_id = 1;
    folder.level = 2;
    folder.files = 7;
    folder.blocks = 5;
    folder.path = "/v/old";
    folder.entry.create_time = 1500000000;
    ASSERT_TRUE(WriteFolderRow(catalogue_, folder, '/'));
    folder.path = "/v/new name";
    folder.size = 123;
    folder.folders = 2;
    folder.files = 1;
    folder.level = 0;
    folder.entry.attributes = kAttrDirectory | kAttrReadOnly;
    folder.owner = "carol";
    ASSERT_TRUE(UpdateFolderRow(catalogue_, folder));
    const FolderRow row = Folders().at(4);
    EXPECT_EQ(row.name, "new name");
    EXPECT_EQ(row.size, 123);
    EXPECT_EQ(row.folders, 2);
    EXPECT_EQ(row.attributes, 0x11);
    EXPECT_EQ(row.owner, "carol");
    EXPECT_EQ(row.files, 7);
    EXPECT_EQ(row.blocks, 5);
    EXPECT_EQ(row.level, 2);
    EXPECT_EQ(row.parent, 1);
    EXPECT_FALSE(row.create_null);
    folder.folder_id = 5;
    EXPECT_FALSE(UpdateFolderRow(catalogue_, folder));

    FolderScanRecord big = FileRecord("big", 6ULL << 30);
    ASSERT_TRUE(AdjustFolderTotals(catalogue_, 4, big, true));
    EXPECT_EQ(Folders().at(4).size, 123.0 + 6442450944.0);
    EXPECT_EQ(Folders().at(4).files, 8);
    ASSERT_TRUE(AdjustFolderTotals(catalogue_, 4, big, false));
    ASSERT_TRUE(AdjustFolderTotals(catalogue_, 4, big, false));
    EXPECT_EQ(Folders().at(4).size, 123.0 - 6442450944.0);
    EXPECT_EQ(Folders().at(4).files, 6);
    EXPECT_FALSE(AdjustFolderTotals(catalogue_, 77, big, true));
}

// A catalogue laid out the way a scan numbers it, with folders on disk below
// a temporary volume root: volume 1's root is folder 1 and holds 2 (3..9),
// 10 (11..14) and 15 (16..29); volume 2's root is folder 30 with 31..39 below.
// Every folder of 15..39 holds one file, whose File ID is 100 + its folder.
class InsertFolderTest : public RowWritersTest {
  protected:
    void SetUp() override {
        RowWritersTest::SetUp();
        root_ = dir_.str() + "/vol";
        second_ = dir_.str() + "/vol2";
        std::filesystem::create_directories(root_ + "/f10");
        std::filesystem::create_directories(second_);
        Add(1, 0, 28, root_, 0);
        Add(2, 1, 7, "f2", 1);
        for (int i = 3; i <= 9; ++i) {
            Add(i, i - 1, 9 - i, "f" + std::to_string(i), i - 1);
        }
        Add(10, 1, 4, "f10", 1);
        for (int i = 11; i <= 14; ++i) {
            Add(i, 10, 0, "f" + std::to_string(i), 2);
        }
        Add(15, 1, 14, "f15", 1);
        for (int i = 16; i <= 29; ++i) {
            Add(i, 15, 0, "f" + std::to_string(i), 2);
        }
        Add(30, 0, 9, second_, 0);
        for (int i = 31; i <= 39; ++i) {
            Add(i, 30, 0, "g" + std::to_string(i), 1);
        }
        for (int i = 15; i <= 39; ++i) {
            ASSERT_TRUE(WriteFileRow(catalogue_, FileRecord("file" + std::to_string(i), 1, 100 + i, i)));
        }
        for (auto [id, folder, root] : {std::tuple{1, 1, root_}, std::tuple{2, 30, second_}}) {
            VolumeScanRecord volume;
            volume.volume_id = id;
            volume.root_folder_id = folder;
            volume.root = root;
            volume.media = "Fixed Disk Media";
            ASSERT_TRUE(WriteVolumeRow(catalogue_, volume));
        }
        ASSERT_TRUE(WriteComputerRow(catalogue_, {1, "host", ""}));
        counters_ = {3, 40, 140};
        ASSERT_TRUE(catalogue_.WriteIdCounters(counters_));
        ASSERT_TRUE(tree_.LoadFolderTree(catalogue_));
    }

    void Add(std::int32_t id, std::int32_t parent, std::int32_t folders, const std::string& name, int level) {
        FolderScanRecord record;
        record.folder_id = id;
        record.parent_id = parent;
        record.folders = folders;
        record.level = level;
        record.path = name;
        record.entry.attributes = kAttrDirectory;
        ASSERT_TRUE(WriteFolderRow(catalogue_, record, '/'));
    }

    // Every folder's subtree is exactly the identifiers after it up to its
    // Folders count, and every file's folder exists.
    void ExpectNumberingHolds() {
        const auto rows = Folders();
        std::map<std::int32_t, std::set<std::int32_t>> below;
        for (const auto& [id, row] : rows) {
            for (std::int32_t p = row.parent; p != 0; p = rows.at(p).parent) {
                ASSERT_TRUE(rows.count(p)) << "parent " << p << " of " << id;
                below[p].insert(id);
            }
        }
        for (const auto& [id, row] : rows) {
            std::set<std::int32_t> expected;
            for (std::int32_t i = id + 1; i <= id + row.folders; ++i) {
                expected.insert(i);
            }
            EXPECT_EQ(below[id], expected) << "folder " << id;
        }
        for (const auto& [id, file] : Files()) {
            EXPECT_TRUE(rows.count(file.parent)) << "file " << id;
        }
    }

    std::int32_t VolumeRootFolder(std::int32_t volume_id) {
        TableCursor& v = catalogue_.volume_table();
        for (bool row = v.MoveFirst(); row; row = v.MoveNext()) {
            std::int32_t id = 0, folder = 0;
            v.GetInt("Volume ID", id);
            v.GetInt("Folder ID", folder);
            if (id == volume_id) {
                return folder;
            }
        }
        return -1;
    }

    const EntryDetailsFiller filler_ = [](const VolumeScanRecord& volume, FolderScanRecord& record) {
        record.owner = "filled on " + volume.root;
    };
    std::string root_, second_;
};

TEST_P(InsertFolderTest, OneNewFolderBelowFolderTenRenumbersTheRest) {
    ASSERT_TRUE(std::filesystem::create_directory(root_ + "/f10/New"));
    FolderNode* ten = tree_.FindFolderById(10);
    ASSERT_NE(ten, nullptr);
    FolderNode* added = tree_.AddFolderNode("New", ten);
    ASSERT_TRUE(InsertFolderSubtree(catalogue_, tree_, counters_, added, 1, ten, filler_));

    const auto rows = Folders();
    ASSERT_EQ(rows.size(), 40u);
    const FolderRow& fresh = rows.at(15);
    EXPECT_EQ(fresh.name, "New");
    EXPECT_EQ(fresh.parent, 10);
    EXPECT_EQ(fresh.level, 2);
    EXPECT_EQ(fresh.folders, 0);
    EXPECT_EQ(fresh.size, 0);
    EXPECT_EQ(fresh.owner, "filled on " + root_);
    EXPECT_EQ(fresh.attributes & 0x10, 0x10);
    EXPECT_EQ(rows.at(16).name, "f15");
    EXPECT_EQ(rows.at(16).folders, 14);
    EXPECT_EQ(rows.at(17).parent, 16);
    EXPECT_EQ(rows.at(31).name, second_);
    EXPECT_EQ(rows.at(32).parent, 31);
    EXPECT_EQ(rows.at(40).name, "g39");
    EXPECT_EQ(rows.at(10).folders, 5);
    EXPECT_EQ(rows.at(1).folders, 29);
    EXPECT_EQ(rows.at(2).folders, 7);
    EXPECT_EQ(rows.at(31).folders, 9);
    for (const auto& [id, file] : Files()) {
        EXPECT_EQ(file.parent, id - 100 + 1) << file.name;
    }
    EXPECT_EQ(counters_.next_folder, 41);
    EXPECT_EQ(VolumeRootFolder(1), 1);
    EXPECT_EQ(VolumeRootFolder(2), 31);
    ExpectNumberingHolds();

    EXPECT_EQ(added->folder_id, 15);
    EXPECT_EQ(tree_.FindFolderById(16)->name(), "f15");
    EXPECT_EQ(tree_.FolderIdOfPath(second_ + "/g39"), 40);
    EXPECT_EQ(tree_.FolderIdOfPath(root_ + "/f10/New"), 15);
    EXPECT_EQ(tree_.DescendantCountOf(10), 5);

    ASSERT_EQ(ui_.progress.size(), 1u);
    const ProgressLog& log = *ui_.progress[0];
    EXPECT_FALSE(log.show_cancel);
    EXPECT_TRUE(log.shown);
    EXPECT_TRUE(log.closed);
    EXPECT_EQ(log.titles, std::vector<std::string>{"Please wait..."});
    EXPECT_EQ(log.first_lines, std::vector<std::string>{"Database operation..."});
    EXPECT_EQ(log.second_lines,
              (std::vector<std::string>{"Updating folders...", "Updating memory folders...",
                                        "Adding folders to database...", "Updating files..."}));
    EXPECT_EQ(log.positions.front(), 0);
    EXPECT_EQ(log.positions.back(), 0);
    EXPECT_NE(std::find(log.positions.begin(), log.positions.end(), 100), log.positions.end());

    IdCounters stored;
    ASSERT_TRUE(catalogue_.ReadIdCounters(stored));
    EXPECT_EQ(stored.next_folder, 41);
    EXPECT_EQ(stored.next_file, 140);
}

TEST_P(InsertFolderTest, CopiedTreeIsNumberedInPreOrderAndMissingFoldersTakeNoIdentifier) {
    std::filesystem::create_directories(root_ + "/f10/Copy/Inner/Deep");
    std::filesystem::create_directories(root_ + "/f10/Copy/Second");
    FolderNode* ten = tree_.FindFolderById(10);
    FolderNode* copy = tree_.AddFolderNode("Copy", ten);
    FolderNode* inner = tree_.AddFolderNode("Inner", copy);
    tree_.AddFolderNode("Deep", inner);
    FolderNode* gone = tree_.AddFolderNode("Gone", copy);
    tree_.AddFolderNode("GoneChild", gone);
    tree_.AddFolderNode("Second", copy);
    ASSERT_TRUE(InsertFolderSubtree(catalogue_, tree_, counters_, copy, 6, ten, filler_));

    const auto rows = Folders();
    ASSERT_EQ(rows.size(), 43u);
    EXPECT_EQ(rows.at(15).name, "Copy");
    EXPECT_EQ(rows.at(15).folders, 3);
    EXPECT_EQ(rows.at(16).name, "Inner");
    EXPECT_EQ(rows.at(16).parent, 15);
    EXPECT_EQ(rows.at(16).folders, 1);
    EXPECT_EQ(rows.at(17).name, "Deep");
    EXPECT_EQ(rows.at(17).level, 4);
    EXPECT_EQ(rows.at(18).name, "Second");
    EXPECT_EQ(rows.at(18).parent, 15);
    EXPECT_EQ(rows.at(19).name, "f15");
    EXPECT_EQ(rows.at(10).folders, 8);
    EXPECT_EQ(rows.at(1).folders, 32);
    EXPECT_EQ(counters_.next_folder, 44);
    EXPECT_EQ(VolumeRootFolder(2), 34);
    for (const auto& [id, file] : Files()) {
        EXPECT_EQ(file.parent, id - 100 + 4) << file.name;
    }
    ExpectNumberingHolds();
    EXPECT_EQ(gone->folder_id, 0);
}

TEST_P(InsertFolderTest, BelowTheLastSubtreeNothingMovesAndTheCounterIsTheNewIdentifier) {
    std::filesystem::create_directories(second_ + "/g39/Last");
    FolderNode* last = tree_.FindFolderById(39);
    FolderNode* added = tree_.AddFolderNode("Last", last);
    ASSERT_TRUE(InsertFolderSubtree(catalogue_, tree_, counters_, added, 1, last, filler_));
    const auto rows = Folders();
    EXPECT_EQ(rows.at(40).name, "Last");
    EXPECT_EQ(rows.at(40).parent, 39);
    EXPECT_EQ(rows.at(39).folders, 1);
    EXPECT_EQ(rows.at(30).folders, 10);
    EXPECT_EQ(rows.at(1).folders, 28);
    EXPECT_EQ(VolumeRootFolder(2), 30);
    EXPECT_EQ(counters_.next_folder, 41);
    for (const auto& [id, file] : Files()) {
        EXPECT_EQ(file.parent, id - 100);
    }
    ExpectNumberingHolds();
}

TEST_P(InsertFolderTest, AnAncestorMissingFromTheCatalogueFailsWithoutWritingTheCounters) {
    std::filesystem::create_directories(root_ + "/f10/New");
    FolderNode* ten = tree_.FindFolderById(10);
    FolderNode* added = tree_.AddFolderNode("New", ten);
    ASSERT_TRUE(catalogue_.SeekFolderRow(10));
    ASSERT_TRUE(catalogue_.folder_table().Delete());
    EXPECT_FALSE(InsertFolderSubtree(catalogue_, tree_, counters_, added, 1, ten, filler_));
    EXPECT_EQ(counters_.next_folder, 40);
    ASSERT_EQ(ui_.progress.size(), 1u);
    EXPECT_TRUE(ui_.progress[0]->closed);
}

// Sets the time zone for one test and puts the previous one back.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ"); old != nullptr) {
            previous_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> previous_;
};

TEST(DayNumberCacheTest, GivesExactlyTheDayNumbersOfEachTimeInEveryZone) {
    // Zones with daylight saving changes on the hour and on the half hour,
    // half-hour offsets, historic local mean times, and leap seconds.
    const char* const zones[] = {"UTC",
                                 "America/New_York",
                                 "Australia/Adelaide",
                                 "Australia/Lord_Howe",
                                 "America/St_Johns",
                                 "Asia/Kathmandu",
                                 "Africa/Monrovia",
                                 "right/Europe/Berlin",
                                 "Europe/Amsterdam",
                                 "Europe/Berlin"};
    // Moments around changes of offset, each swept second by second; the
    // last two fall in the middle of a quarter hour (Monrovia 1972 and
    // Amsterdam 1930), a leap second ends 2016.
    const std::int64_t changes[] = {1615705200, 1617467400, 1633192200, 1617463800, 1615699800,
                                    1483228800, 1616893200, 504901800,  63593070,   -1250720372};
    std::mt19937_64 random(42);
    std::uniform_int_distribution<std::int64_t> any_time(-2208988800LL, 4102444800LL);
    for (const char* zone : zones) {
        ZoneScope scope(zone);
        DayNumberCache cache;
        std::size_t mismatches = 0;
        auto check = [&](std::int64_t t) {
            const double cached = cache.FromUnix(t);
            const double direct = DayNumberFromUnix(t);
            if (std::memcmp(&cached, &direct, sizeof cached) != 0 && ++mismatches <= 3) {
                ADD_FAILURE() << zone << " at " << t << ": " << cached << " != " << direct;
            }
        };
        for (int i = 0; i < 20000; ++i) {
            check(any_time(random));
        }
        for (std::int64_t change : changes) {
            for (std::int64_t t = change - 5400; t <= change + 5400; ++t) {
                check(t);
            }
        }
        for (std::int64_t t :
             {std::int64_t{0}, std::int64_t{-1}, std::int64_t{1} << 39, -(std::int64_t{1} << 39)}) {
            check(t);
        }
        // Times no calendar holds are taken at the limit instead of overflowing.
        constexpr std::int64_t kLimit = std::int64_t{1} << 40;
        EXPECT_EQ(cache.FromUnix(std::numeric_limits<std::int64_t>::max()), DayNumberFromUnix(kLimit));
        EXPECT_EQ(cache.FromUnix(std::numeric_limits<std::int64_t>::min()), DayNumberFromUnix(-kLimit));
        EXPECT_EQ(mismatches, 0u) << zone;
    }
}

TEST(ShiftFolderIdsTest, MovesIdentifiersAndParentsAtOrAboveTheBound) {
    FolderNode a, b, c, d;
    a.folder_id = 1;
    b.folder_id = 2, b.parent_id = 1, b.parent = &a;
    c.folder_id = 5, c.parent_id = 2, c.parent = &b;
    d.folder_id = 6, d.parent_id = 1, d.parent = &a;
    a.first_child = &b;
    b.first_child = &c;
    b.next_sibling = &d;
    ShiftFolderIds(&a, 2, 3);
    EXPECT_EQ(a.folder_id, 1);
    EXPECT_EQ(b.folder_id, 5);
    EXPECT_EQ(b.parent_id, 1);
    EXPECT_EQ(c.folder_id, 8);
    EXPECT_EQ(c.parent_id, 5);
    EXPECT_EQ(d.folder_id, 9);
    EXPECT_EQ(d.parent_id, 1);
}

INSTANTIATE_ON_BOTH_ENGINES(RowWritersTest);
INSTANTIATE_ON_BOTH_ENGINES(InsertFolderTest);

}  // namespace
}  // namespace korvane::testing
