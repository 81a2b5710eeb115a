#include "scan/drive_descriptions.h"

#include <gtest/gtest.h>

namespace korvane::testing {
namespace {

TEST(DriveDescriptionsTest, MediaTextsFollowTheDriveType) {
    EXPECT_EQ(MediaOfDriveType(DriveType::kNoRootDir), "(FAT32?)");
    EXPECT_EQ(MediaOfDriveType(DriveType::kRemovable), "Removable Disk Media");
    EXPECT_EQ(MediaOfDriveType(DriveType::kFixed), "Fixed Disk Media");
    EXPECT_EQ(MediaOfDriveType(DriveType::kRemote), "Remote Media");
    EXPECT_EQ(MediaOfDriveType(DriveType::kCdRom), "Compact Disk Media");
    EXPECT_EQ(MediaOfDriveType(DriveType::kRamDisk), "Memory Media");
    // An unknown type has no media text: such a volume is not scanned.
    EXPECT_EQ(MediaOfDriveType(DriveType::kUnknown), "");
    EXPECT_EQ(MediaOfDriveType(static_cast<DriveType>(9)), "");
    EXPECT_EQ(MediaOfDriveType(static_cast<DriveType>(-1)), "");
}

TEST(DriveDescriptionsTest, TypeTextsNameTheFileSystemWhenThereIsOne) {
    EXPECT_EQ(DescribeDriveType(3, "ext4"), "Fixed 'ext4' Disk");
    EXPECT_EQ(DescribeDriveType(3, ""), "Fixed Disk");
    EXPECT_EQ(DescribeDriveType(0, "zfs"), "Unknown 'zfs' Disk");
    EXPECT_EQ(DescribeDriveType(0, ""), "Unknown Drive Type");
    EXPECT_EQ(DescribeDriveType(1, "vfat"), "NoRoot 'vfat' Disk");
    EXPECT_EQ(DescribeDriveType(1, ""), "");
    EXPECT_EQ(DescribeDriveType(2, "vfat"), "Removable 'vfat' Disk");
    EXPECT_EQ(DescribeDriveType(2, ""), "Removable Disk");
    EXPECT_EQ(DescribeDriveType(4, "cifs"), "Remote 'cifs' Disk");
    EXPECT_EQ(DescribeDriveType(4, ""), "Remote '' Disk");
    EXPECT_EQ(DescribeDriveType(5, "iso9660"), "Compact 'iso9660' Disk");
    EXPECT_EQ(DescribeDriveType(5, ""), "Compact Disk");
    EXPECT_EQ(DescribeDriveType(6, "tmpfs"), "Memory 'tmpfs' Disk");
    EXPECT_EQ(DescribeDriveType(6, ""), "Memory Drive");
    EXPECT_EQ(DescribeDriveType(7, "x"), "Type 0007 'x' Disk");
    EXPECT_EQ(DescribeDriveType(0x1A2B, ""), "Unknown Type 1A2B Disk");
    // A name with a placeholder of its own is inserted as it is.
    EXPECT_EQ(DescribeDriveType(3, "%s%d"), "Fixed '%s%d' Disk");
}

TEST(DriveDescriptionsTest, ImagesFollowTheDriveType) {
    EXPECT_EQ(DriveImageOf(0), 5);
    EXPECT_EQ(DriveImageOf(1), 0);
    EXPECT_EQ(DriveImageOf(2), 1);
    EXPECT_EQ(DriveImageOf(3), 0);
    EXPECT_EQ(DriveImageOf(4), 3);
    EXPECT_EQ(DriveImageOf(5), 2);
    EXPECT_EQ(DriveImageOf(6), 4);
    EXPECT_EQ(DriveImageOf(42), 5);
    EXPECT_EQ(kDisconnectedImage, 10);
}

}  // namespace
}  // namespace korvane::testing
