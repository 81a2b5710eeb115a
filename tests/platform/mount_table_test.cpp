#include "platform/mount_table.h"

#include <sys/sysmacros.h>

#include <gtest/gtest.h>

namespace korvane {
namespace {

// A table as a desktop with a network share, an NFS home, an sshfs mount and
// the usual pseudo file systems shows it.
constexpr std::string_view kDesktopTable =
    "22 27 0:21 / /proc rw,relatime shared:12 - proc proc rw\n"
    "23 27 0:22 / /sys rw,relatime shared:2 - sysfs sysfs rw\n"
    "27 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw,errors=remount-ro\n"
    "31 23 0:28 / /sys/fs/cgroup rw,relatime shared:9 - cgroup2 cgroup2 rw\n"
    "60 27 0:50 / /mnt/team\\040share rw,relatime shared:30 - cifs //fileserver/team\\040share "
    "rw,vers=3.1.1\n"
    "61 27 0:51 / /home/alice rw,relatime shared:31 master:4 - nfs4 srv.example.org:/export/home/alice rw\n"
    "62 27 0:52 / /mnt/remote rw,nosuid,nodev - fuse.sshfs alice@build-host:/srv/data rw,user_id=1000\n"
    "63 27 8:17 /photos /media/usb rw,nosuid - vfat /dev/sdb1 rw,fmask=0022\n";

TEST(MountTableTest, ReadsEveryFieldOfRealisticTable) {
    const auto mounts = ParseMountInfo(kDesktopTable);
    ASSERT_EQ(mounts.size(), 8u);

    EXPECT_EQ(mounts[2].mount_point, "/");
    EXPECT_EQ(mounts[2].fs_type, "ext4");
    EXPECT_EQ(mounts[2].source, "/dev/sda2");
    EXPECT_EQ(mounts[2].device, makedev(8, 2));
    EXPECT_EQ(mounts[2].options, "rw,relatime");

    // Blanks in mount points and sources come escaped and are decoded.
    EXPECT_EQ(mounts[4].mount_point, "/mnt/team share");
    EXPECT_EQ(mounts[4].fs_type, "cifs");
    EXPECT_EQ(mounts[4].source, "//fileserver/team share");

    // Optional fields (shared:, master:) do not shift the fields after the dash.
    EXPECT_EQ(mounts[5].fs_type, "nfs4");
    EXPECT_EQ(mounts[5].source, "srv.example.org:/export/home/alice");
    EXPECT_EQ(mounts[5].device, makedev(0, 51));

    EXPECT_EQ(mounts[6].fs_type, "fuse.sshfs");
    EXPECT_EQ(mounts[6].source, "alice@build-host:/srv/data");

    // A bind mount of a folder keeps the folder as its root.
    EXPECT_EQ(mounts[7].root, "/photos");
    EXPECT_EQ(mounts[7].mount_point, "/media/usb");
}

TEST(MountTableTest, DecodesOctalEscapesAndKeepsOtherBackslashes) {
    const auto mounts = ParseMountInfo(
        "70 27 0:60 / /mnt/a\\011tab\\012line\\134back rw - tmpfs tmp\\040fs rw\n"
        "71 27 0:61 / /mnt/not\\8escape\\04 rw - tmpfs x rw\n"
        "72 27 0:62 / /mnt/end\\040 rw - tmpfs y rw\n");
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].mount_point, "/mnt/a\ttab\nline\\back");
    EXPECT_EQ(mounts[0].source, "tmp fs");
    EXPECT_EQ(mounts[1].mount_point, "/mnt/not\\8escape\\04");
    EXPECT_EQ(mounts[2].mount_point, "/mnt/end ");
}

TEST(MountTableTest, SkipsMalformedLinesAndKeepsTheRest) {
    const auto mounts = ParseMountInfo(
        "\n"
        "garbage\n"
        "80 27 8:1 / /no-dash rw ext4 /dev/sda1 rw\n"
        "81 27 bad / /bad-device rw - ext4 /dev/sda1 rw\n"
        "82 27 8:1 / /short rw - ext4\n"
        "83 27 8:3 / /data rw - xfs /dev/sda3 rw");  // no final line end
    ASSERT_EQ(mounts.size(), 1u);
    EXPECT_EQ(mounts[0].mount_point, "/data");
    EXPECT_EQ(mounts[0].fs_type, "xfs");
}

TEST(MountTableTest, PseudoFileSystemsAreKnownAndRealOnesAreNot) {
    for (const char* pseudo : {"proc", "sysfs", "cgroup2", "devpts", "devtmpfs", "mqueue", "debugfs",
                               "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "cpuset", "binfmt_misc"}) {
        EXPECT_TRUE(IsPseudoFileSystem(pseudo)) << pseudo;
    }
    for (const char* real : {"ext4", "btrfs", "xfs", "vfat", "tmpfs", "nfs4", "cifs", "fuse.sshfs", "overlay",
                             "squashfs", "iso9660", "", "procfs"}) {
        EXPECT_FALSE(IsPseudoFileSystem(real)) << real;
    }
}

TEST(MountTableTest, MountPointOfTakesLongestWholeComponentMatch) {
    const std::vector<std::string> points = {"/", "/mnt/a", "/mnt/a/b", "/home", "/mnt/team share"};
    EXPECT_EQ(MountPointOf("/mnt/a/b/c", points), "/mnt/a/b");
    EXPECT_EQ(MountPointOf("/mnt/a/bc", points), "/mnt/a");
    EXPECT_EQ(MountPointOf("/mnt/ab", points), "/");
    EXPECT_EQ(MountPointOf("/mnt/a", points), "/mnt/a");
    EXPECT_EQ(MountPointOf("/home", points), "/home");
    EXPECT_EQ(MountPointOf("/mnt/team share/x", points), "/mnt/team share");
    EXPECT_EQ(MountPointOf("/etc", points), "/");
}

TEST(MountTableTest, LaterMountAtSamePointHidesEarlierOne) {
    const auto mounts = ParseMountInfo(
        "25 24 0:23 / /dev/shm rw - tmpfs first rw\n"
        "30 25 0:27 / /dev/shm rw - tmpfs second rw\n");
    const MountEntry* found = FindMount(mounts, "/dev/shm");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->source, "second");
    EXPECT_EQ(FindMount(mounts, "/dev"), nullptr);
    EXPECT_EQ(MountPointsOf(mounts), (std::vector<std::string>{"/dev/shm", "/dev/shm"}));
}

TEST(MountTableTest, ThisProcessHasRootMount) {
    const auto mounts = ReadMountTable();
    ASSERT_FALSE(mounts.empty());
    EXPECT_NE(FindMount(mounts, "/"), nullptr);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

TEST(GioMountTest, FolderNamesGiveTheRemoteName) {
    struct Case {
        const char* folder;
        std::optional<std::string> source;
    };
    const Case cases[] = {
        {"smb-share:port=445,server=nas,share=music", "//nas/music"},
        {"smb-share:server=nas,share=team%20files,user=joe", "//nas/team files"},
        {"sftp:host=build-host,port=2222,user=alice", "build-host:/"},
        {"nfs:host=srv.example.org,prefix=%2Fexport%2Fhome", "srv.example.org:/export/home"},
        {"ftp:host=files.example.org", "files.example.org:/"},
        {"smb-server:server=nas", "nas:/"},
        {"trash:", std::nullopt},
        {"archive:file=file%3A%2F%2F%2Ftmp%2Fa.zip", std::nullopt},
        {"no mount name", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SourceOfGioMount(c.folder), c.source) << c.folder;
}

std::vector<std::string> GvfsFolders(const std::string& folder) {
    if (folder != "/run/user/1000/gvfs")
        return {"smb-share:server=wrong,share=place"};
    return {"smb-share:port=445,server=nas,share=music", "trash:"};
}

TEST(GioMountTest, EachRemoteFolderOfTheGvfsMountBecomesAMount) {
    const auto mounts = WithGioMounts(
        ParseMountInfo(
            "27 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
            "90 27 0:40 / /run/user/1000/gvfs rw,nosuid - fuse.gvfsd-fuse gvfsd-fuse rw,user_id=1000\n"
            "91 27 0:41 / /mnt/other rw - tmpfs tmpfs rw\n"),
        GvfsFolders);
    ASSERT_EQ(mounts.size(), 4u);
    const MountEntry& share = mounts[2];
    EXPECT_EQ(share.mount_point, "/run/user/1000/gvfs/smb-share:port=445,server=nas,share=music");
    EXPECT_EQ(share.root, "/smb-share:port=445,server=nas,share=music");
    EXPECT_EQ(share.source, "//nas/music");
    EXPECT_EQ(share.fs_type, "fuse.gvfsd-fuse");
    EXPECT_EQ(share.device, makedev(0, 40));
    EXPECT_TRUE(IsGioMount(share));
    EXPECT_FALSE(IsGioMount(mounts[1]));  // the gvfsd-fuse mount itself holds no files
    EXPECT_EQ(mounts[3].mount_point, "/mnt/other");
    EXPECT_EQ(MountPointOf(share.mount_point + "/albums", MountPointsOf(mounts)), share.mount_point);
}

}  // namespace
}  // namespace korvane
