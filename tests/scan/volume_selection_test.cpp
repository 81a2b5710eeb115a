#include "scan/volume_selection.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/formatting.h"
#include "app/profile_file.h"
#include "app/settings.h"
#include "catalogue/user_volumes.h"
#include "scan/drive_descriptions.h"
#include "scan_fixture.h"
#include "support/test_mount.h"

namespace korvane {
namespace {

using testing::ScanTest;
using testing::TestMount;
using testing::WriteFileBytes;

TEST(VolumeItems, DisconnectedAndFtpItemsShowTheirMarks) {
    const VolumeItem nc =
        DescribeDisconnected("/mnt/share", std::string("/docs"), kUserVolumeItemBit | 5 | kConnectedItemBit);
    EXPECT_EQ(nc.location, "/mnt/share/docs");
    EXPECT_EQ(nc.label, "(n/c)");
    EXPECT_EQ(nc.size, "(n/c)");
    EXPECT_EQ(nc.type, "(n/c)");
    EXPECT_EQ(nc.image, 10);
    EXPECT_EQ(nc.value, kUserVolumeItemBit | kNetworkItemBit | 5u);
    EXPECT_TRUE(nc.letter.empty());

    const VolumeItem ftp = DescribeFtp("ftp:files.example.org/pub", 7);
    EXPECT_EQ(ftp.location, "ftp:files.example.org/pub");
    EXPECT_EQ(ftp.label + ftp.size + ftp.type, "(ftp)(ftp)(ftp)");
    EXPECT_EQ(ftp.image, 10);
    EXPECT_EQ(ftp.value, 7u | kUserVolumeItemBit | kFtpItemBit);
    EXPECT_EQ(ftp.UvId(), 7);
    EXPECT_TRUE(ftp.IsFtp() && ftp.IsUserVolume() && !ftp.IsNetwork());
}

TEST(VolumeItems, OkChecksAndTheVolumeListText) {
    VolumeItem drive;
    drive.location = "C:";
    drive.size = "12.3 GB";
    VolumeItem uv3;
    uv3.location = "/srv/data";
    uv3.size = "1.0 MB";
    uv3.value = 3 | kUserVolumeItemBit;
    VolumeItem empty;
    empty.location = "/mnt/empty";
    empty.size = "(Empty)";
    VolumeItem nc = DescribeDisconnected("/mnt/nc", std::nullopt, 0);
    VolumeItem ftp = DescribeFtp("ftp:host", 9);

    struct Case {
        std::vector<const VolumeItem*> selected;
        bool ok;
        std::string text;  // the list, or the message
    };
    const Case cases[] = {
        {{&drive, &uv3}, true, "\"C:\",\"uv: 3\","},
        {{&nc, &ftp}, true, "\"/mnt/nc\",\"uv: 9\","},
        {{&drive, &empty}, false, "Empty or unmounted volume selected..."},
        {{}, false, "Volumes must be selected to build a database."},
    };
    for (const Case& c : cases) {
        const SelectionOutcome outcome = GatherSelection(c.selected);
        EXPECT_EQ(outcome.ok, c.ok) << c.text;
        EXPECT_EQ(c.ok ? outcome.volume_list : outcome.message, c.text);
    }
}

TEST(VolumeItems, ScanDateTimeFormat) {
    std::tm local{};
    local.tm_year = 98;
    local.tm_mon = 11;
    local.tm_mday = 31;
    local.tm_hour = 13;
    local.tm_min = 5;
    local.tm_isdst = -1;
    EXPECT_EQ(FormatScanDateTime(std::mktime(&local)), "December 31,1998 01:05PM");
    local.tm_mon = 0;
    local.tm_mday = 2;
    local.tm_hour = 0;
    EXPECT_EQ(FormatScanDateTime(std::mktime(&local)), "January 02,1998 12:05AM");
}

class VolumeListingTest : public ScanTest {
  protected:
    void SetUp() override {
        ScanTest::SetUp();
        source_.programs.fstab_path = dir_ / "fstab";
        ASSERT_TRUE(WriteFileBytes(source_.programs.fstab_path, ""));
    }
    const VolumeItem* Find(const std::vector<VolumeItem>& items, const std::string& location) {
        for (const VolumeItem& item : items)
            if (item.location == location)
                return &item;
        return nullptr;
    }
    std::int32_t AddVolume(const std::string& location) {
        UserVolumeRecord record;
        record.location = location;
        EXPECT_TRUE(OpenUserVolumes(catalogue_));
        EXPECT_TRUE(AddUserVolume(catalogue_, record));
        CloseUserVolumes(catalogue_);
        return record.uv_id;
    }

    LinuxVolumeProbe probe_;
    VolumeListingSource source_{probe_, {}};
};

TEST_F(VolumeListingTest, MountsThenRememberedEntriesThatAreNotMounted) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    TestMount memory("tmpfs", Tree("memory"), "size=4m");
    TestMount empty("ramfs", Tree("empty"));
    ASSERT_TRUE(memory.mounted() && empty.mounted());
    const std::string remembered = Tree("remembered");
    ASSERT_TRUE(WriteFileBytes(source_.programs.fstab_path, "//fileserver/public " + remembered +
                                                                " cifs _netdev 0 0\n" + "//fileserver/home " +
                                                                memory.path() + " cifs _netdev 0 0\n"));

    const std::vector<VolumeItem> items = ListLogicalDrives(source_, ui_);
    const VolumeItem* root = Find(items, "/");
    const VolumeItem* tmpfs = Find(items, memory.path());
    const VolumeItem* ramfs = Find(items, empty.path());
    const VolumeItem* nc = Find(items, remembered);
    ASSERT_TRUE(root && tmpfs && ramfs && nc);
    EXPECT_EQ(tmpfs->type, "Memory 'tmpfs' Disk");
    EXPECT_EQ(tmpfs->image, 4);
    EXPECT_EQ(tmpfs->label, "(Untitled)");
    EXPECT_EQ(tmpfs->size, FormatSize(4u << 20));
    EXPECT_EQ(tmpfs->value, 0u);
    EXPECT_EQ(ramfs->size, "(Empty)");
    EXPECT_EQ(nc->label + nc->size + nc->type, "(n/c)(n/c)(n/c)");
    EXPECT_EQ(nc->value, kNetworkItemBit);
    // The remembered entry that is mounted is listed once, as its mount.
    EXPECT_EQ(std::count_if(items.begin(), items.end(),
                            [&](const VolumeItem& i) { return i.location == memory.path(); }),
              1);
    EXPECT_EQ(&items.back(), nc);
    EXPECT_EQ(GatherSelection({ramfs}).message, kEmptyVolumeMessage);
    EXPECT_TRUE(GatherSelection({tmpfs, nc}).ok);
    ASSERT_FALSE(ui_.statuses.empty());
    EXPECT_EQ(ui_.statuses.front()[0], "Please wait...");
    EXPECT_EQ(ui_.statuses.front()[2], "Enumerating logical drives...");
}

TEST_F(VolumeListingTest, UserVolumesByKind) {
    const std::string data = Tree("data");
    const std::string remembered = Tree("remembered");
    ASSERT_TRUE(WriteFileBytes(source_.programs.fstab_path, "nas:/export " + remembered + " nfs4 rw 0 0\n"));
    const std::int32_t ftp = AddVolume("ftp:files.example.org/pub");
    const std::int32_t local = AddVolume(data);
    const std::int32_t unc = AddVolume("\\\\fileserver\\public\\docs");
    const std::int32_t below_remembered = AddVolume(remembered + "/projects");

    const std::vector<VolumeItem> items = ListUserVolumes(source_, catalogue_, ui_);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].value, static_cast<std::uint32_t>(ftp) | kUserVolumeItemBit | kFtpItemBit);
    EXPECT_EQ(items[0].size, "(ftp)");
    EXPECT_EQ(items[1].location, data);
    EXPECT_EQ(items[1].value, static_cast<std::uint32_t>(local) | kUserVolumeItemBit);
    EXPECT_NE(items[1].size, "(n/c)");
    EXPECT_EQ(items[2].location, "\\\\fileserver\\public\\docs");
    EXPECT_EQ(items[2].size, "(n/c)");
    EXPECT_EQ(items[2].value, static_cast<std::uint32_t>(unc) | kUserVolumeItemBit | kNetworkItemBit);
    EXPECT_EQ(items[3].location, remembered + "/projects");
    EXPECT_EQ(items[3].type, "(n/c)");
    EXPECT_EQ(items[3].UvId(), below_remembered);
    EXPECT_EQ(GatherSelection({&items[1], &items[0]}).volume_list,
              "\"uv: " + std::to_string(local) + "\",\"uv: " + std::to_string(ftp) + "\",");
}

TEST_F(VolumeListingTest, BuildModeWritesTheListTheTimeAndTheCatalogue) {
    const std::string data = Tree("data");
    MakeFile(data + "/a.txt", 10);
    MakeFile(data + "/b.txt", 20);
    const std::string settings = dir_ / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(settings, "[Options]\r\nDatabase=x\r\n"));
    const std::int32_t uv = AddVolume(data);
    const std::string list = "\"uv: " + std::to_string(uv) + "\",";
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(BuildSelectedVolumes(context_, settings, list, nullptr));
    EXPECT_EQ(ReadSelectedDrive(settings), list);
    const std::string when = ReadProfileString(settings, kSelectedVolumeSection, "ScanDateTime");
    EXPECT_TRUE(when == FormatScanDateTime(before) || when == FormatScanDateTime(std::time(nullptr))) << when;
    const auto rows = Read();
    ASSERT_EQ(rows.volumes.size(), 1u);
    EXPECT_EQ(rows.files.size(), 2u);
    EXPECT_NE(FolderId(data), 0);
}

TEST_F(VolumeListingTest, AFailedBuildLeavesTheSettingsAsTheyWere) {
    const std::string settings = dir_ / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(
        settings, "[Selected Volume]\r\nSelected Drive=\"/old\",\r\nScanDateTime=May 01,2020 10:00AM\r\n"));
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    EXPECT_FALSE(BuildSelectedVolumes(context_, settings, "\"" + Tree("data") + "\",", nullptr));
    EXPECT_EQ(ReadSelectedDrive(settings), "\"/old\",");
    EXPECT_EQ(ReadProfileString(settings, kSelectedVolumeSection, "ScanDateTime"), "May 01,2020 10:00AM");
}

}  // namespace
}  // namespace korvane
