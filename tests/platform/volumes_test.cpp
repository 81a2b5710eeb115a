#include "platform/volumes.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "support/temp_dir.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteFileBytes;

// A machine this test box is not: its mount table is given as text, its
// devices, labels and free space as data. Paths resolve to themselves unless
// listed as missing.
class TableProbe : public VolumeProbe {
  public:
    std::string table;
    std::map<std::string, BlockDevice> devices;        // by mount point
    std::map<std::string, VolumeIdentity> identities;  // by device name
    std::map<std::string, int> space_errors;           // by path
    std::vector<std::string> missing;
    FileSystemSpace space{1000 * 4096ull, 250 * 4096ull, 4096};
    std::vector<std::string> identity_asked;

    std::vector<MountEntry> Mounts() override { return ParseMountInfo(table); }
    int ResolvePath(const std::string& path, std::string& resolved) override {
        if (std::find(missing.begin(), missing.end(), path) != missing.end())
            return ENOENT;
        resolved = path;
        return 0;
    }
    int Space(const std::string& path, FileSystemSpace& out) override {
        if (auto it = space_errors.find(path); it != space_errors.end())
            return it->second;
        out = space;
        return 0;
    }
    std::optional<BlockDevice> BlockDeviceOf(const MountEntry& mount) override {
        auto it = devices.find(mount.mount_point);
        if (it == devices.end())
            return std::nullopt;
        return it->second;
    }
    VolumeIdentity IdentityOf(const MountEntry&, const BlockDevice& device) override {
        identity_asked.push_back(device.name);
        auto it = identities.find(device.name);
        return it == identities.end() ? VolumeIdentity{} : it->second;
    }
};

constexpr std::string_view kOfficeTable =
    "22 27 0:21 / /proc rw - proc proc rw\n"
    "23 27 0:22 / /sys rw - sysfs sysfs rw\n"
    "27 1 8:2 / / rw - ext4 /dev/sda2 rw\n"
    "24 27 0:6 / /dev rw - devtmpfs udev rw\n"
    "25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
    "26 24 0:24 / /dev/pts rw - devpts devpts rw\n"
    "31 23 0:28 / /sys/fs/cgroup rw - tmpfs tmpfs rw,mode=755\n"
    "32 22 0:29 / /proc/sys/fs/binfmt_misc rw - autofs systemd-1 rw\n"
    "40 27 0:40 / /run rw - tmpfs tmpfs rw\n"
    "41 27 8:17 / /media/alice/STICK rw - vfat /dev/sdb1 rw\n"
    "42 27 11:0 / /media/alice/DVD ro - iso9660 /dev/sr0 ro\n"
    "43 27 11:0 / /media/alice/BD ro - vfat /dev/sr0 ro\n"
    "50 27 0:50 / /mnt/users rw - cifs //fileserver/users rw\n"
    "51 27 0:51 / /mnt/alice\\040docs rw - smb3 \\\\fileserver\\users\\alice\\docs rw\n"
    "52 27 0:52 / /home/shared rw - nfs4 nas.example.org:/export/shared/ rw\n"
    "53 27 0:53 / /mnt/v6 rw - nfs [fd00::7]:/data rw\n"
    "54 27 0:54 / /mnt/build rw - fuse.sshfs bob@build-host:/srv rw\n"
    "55 27 0:55 / /mnt/home-of-bob rw - fuse.sshfs build-host: rw\n"
    "56 27 0:56 / /mnt/odd rw - fuse.mystery box:/srv/odd rw\n"
    "57 27 0:57 / /mnt/scratch rw - tmpfs a:/b rw\n"
    "58 27 0:58 / /mnt/cloud rw - fuse.rclone gdrive:Photos rw\n"
    "59 27 0:59 / /mnt/cephfs rw - ceph 10.0.0.1:6789:/ rw\n"
    "60 27 0:60 / /mnt/overlay rw - overlay overlay rw,lowerdir=/a\n"
    "61 25 0:61 / /dev/shm rw - tmpfs second-shm rw\n";

class VolumesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        probe_.table = std::string(kOfficeTable);
        probe_.devices["/"] = {"sda2", "sda", false};
        probe_.devices["/media/alice/STICK"] = {"sdb1", "sdb", true};
        probe_.devices["/media/alice/DVD"] = {"sr0", "sr0", true};
        probe_.devices["/media/alice/BD"] = {"sr0", "sr0", true};
        probe_.identities["sda2"] = {"system", "d4c0b6b5-7e1f-4c3a-9b2d-0242ac120002"};
        probe_.identities["sdb1"] = {"STICK", "1234-ABCD"};
        probe_.identities["sr0"] = {"HOLIDAY_2019", "2019-08-01-10-11-12-00"};
    }

    VolumeInfo Describe(std::string_view path, int expected_rc = 0) {
        VolumeInfo info;
        EXPECT_EQ(DescribeVolume(probe_, path, info), expected_rc) << path;
        return info;
    }

    TableProbe probe_;
};

TEST_F(VolumesTest, VolumeListLeavesOutPseudoSystemsAndHiddenMounts) {
    std::vector<std::string> points;
    for (const auto& mount : ListVolumeMounts(probe_))
        points.push_back(mount.mount_point);
    const std::vector<std::string> expected = {"/",
                                               "/run",
                                               "/media/alice/STICK",
                                               "/media/alice/DVD",
                                               "/media/alice/BD",
                                               "/mnt/users",
                                               "/mnt/alice docs",
                                               "/home/shared",
                                               "/mnt/v6",
                                               "/mnt/build",
                                               "/mnt/home-of-bob",
                                               "/mnt/odd",
                                               "/mnt/scratch",
                                               "/mnt/cloud",
                                               "/mnt/cephfs",
                                               "/mnt/overlay",
                                               "/dev/shm"};
    EXPECT_EQ(points, expected);
    // Of the two mounts on /dev/shm the later one is the volume.
    EXPECT_EQ(ListVolumeMounts(probe_).back().source, "second-shm");
}

TEST_F(VolumesTest, DriveTypesFollowFileSystemSourceAndDevice) {
    const std::map<std::string, DriveType> expected = {
        {"/", DriveType::kFixed},
        {"/run", DriveType::kRamDisk},
        {"/dev/shm", DriveType::kRamDisk},
        {"/mnt/scratch", DriveType::kRamDisk},  // a memory file system is never remote, whatever its source
        {"/media/alice/STICK", DriveType::kRemovable},
        {"/media/alice/DVD", DriveType::kCdRom},
        {"/media/alice/BD", DriveType::kCdRom},  // an optical drive, whatever is written on the disc
        {"/mnt/users", DriveType::kRemote},
        {"/mnt/alice docs", DriveType::kRemote},
        {"/home/shared", DriveType::kRemote},
        {"/mnt/v6", DriveType::kRemote},
        {"/mnt/build", DriveType::kRemote},
        {"/mnt/home-of-bob", DriveType::kRemote},
        {"/mnt/odd", DriveType::kRemote},  // unknown type, but a host:/path source
        {"/mnt/cloud", DriveType::kRemote},
        {"/mnt/cephfs", DriveType::kRemote},
        {"/mnt/overlay", DriveType::kFixed},
    };
    for (const auto& [point, type] : expected) {
        EXPECT_EQ(Describe(point).drive_type, type) << point;
    }
}

TEST_F(VolumesTest, RemoteVolumesNameServerAndShare) {
    struct Case {
        const char* point;
        const char* server;
        const char* share;
        const char* rest;
    };
    const Case cases[] = {
        {"/mnt/users", "fileserver", "users", ""},
        {"/mnt/alice docs", "fileserver", "users", "alice/docs"},
        {"/home/shared", "nas.example.org", "/export/shared", ""},
        {"/mnt/v6", "fd00::7", "/data", ""},
        {"/mnt/build", "build-host", "/srv", ""},
        {"/mnt/home-of-bob", "build-host", "", ""},
        {"/mnt/odd", "box", "/srv/odd", ""},
        {"/mnt/cloud", "gdrive", "Photos", ""},
    };
    for (const Case& c : cases) {
        const VolumeInfo info = Describe(c.point);
        ASSERT_TRUE(info.remote.has_value()) << c.point;
        EXPECT_EQ(info.remote->server, c.server) << c.point;
        EXPECT_EQ(info.remote->share, c.share) << c.point;
        EXPECT_EQ(info.remote->rest, c.rest) << c.point;
        EXPECT_TRUE(info.label.empty()) << c.point;
        EXPECT_EQ(info.serial, 0u) << c.point;
    }
    // The block device of a network volume is never probed for a label.
    EXPECT_TRUE(probe_.identity_asked.empty());
    EXPECT_FALSE(Describe("/").remote.has_value());
}

TEST_F(VolumesTest, LocalVolumesCarryLabelSerialSizesAndFileSystem) {
    const VolumeInfo stick = Describe("/media/alice/STICK");
    EXPECT_EQ(stick.root, "/media/alice/STICK");
    EXPECT_EQ(stick.fs_type, "vfat");
    EXPECT_EQ(stick.source, "/dev/sdb1");
    EXPECT_EQ(stick.label, "STICK");
    EXPECT_EQ(stick.uuid, "1234-ABCD");
    EXPECT_EQ(stick.serial, 0x1234ABCDu);
    EXPECT_EQ(stick.size, 4096000u);
    EXPECT_EQ(stick.free, 1024000u);
    EXPECT_EQ(stick.used, 3072000u);
    EXPECT_EQ(stick.cluster_size, 4096u);

    const VolumeInfo root = Describe("/");
    EXPECT_EQ(root.label, "system");
    EXPECT_EQ(root.serial, 0xac120002u);

    // A memory volume has no device and so no label.
    const VolumeInfo run = Describe("/run");
    EXPECT_TRUE(run.label.empty());
    EXPECT_TRUE(run.uuid.empty());
    EXPECT_EQ(run.size, 4096000u);
}

TEST_F(VolumesTest, PathInsideMountDescribesThatMount) {
    const VolumeInfo info = Describe("/media/alice/STICK/photos/2019");
    EXPECT_EQ(info.root, "/media/alice/STICK");
    EXPECT_EQ(info.drive_type, DriveType::kRemovable);
    EXPECT_EQ(Describe("/etc/ssh").root, "/");
    EXPECT_EQ(Describe("/mnt/alice docs/letters").root, "/mnt/alice docs");
}

TEST_F(VolumesTest, DriveTypeOfAPathNeedsNoLabelOrSpace) {
    std::string fs_type;
    probe_.space_errors["/mnt/users"] = EIO;
    EXPECT_EQ(DriveTypeOf(probe_, "/mnt/users/alice/Korvane.db", fs_type), DriveType::kRemote);
    EXPECT_EQ(fs_type, "cifs");
    EXPECT_EQ(DriveTypeOf(probe_, "/media/alice/STICK/Korvane.db", fs_type), DriveType::kRemovable);
    EXPECT_EQ(DriveTypeOf(probe_, "/home/alice/.local/share/korvane/Korvane.db", fs_type), DriveType::kFixed);
    EXPECT_EQ(fs_type, "ext4");
    EXPECT_EQ(DriveTypeOf(probe_, "/mnt/odd/Korvane.db", fs_type), DriveType::kRemote);
    EXPECT_TRUE(probe_.identity_asked.empty());
    probe_.missing.push_back("/nowhere/Korvane.db");
    EXPECT_EQ(DriveTypeOf(probe_, "/nowhere/Korvane.db", fs_type), DriveType::kNoRootDir);
    EXPECT_TRUE(fs_type.empty());
}

TEST_F(VolumesTest, OnlyFixedLocalStorageIsSafeToMap) {
    probe_.table += "70 27 8:33 / /mnt/ntfs rw - fuseblk /dev/sdc1 rw\n";
    probe_.devices["/mnt/ntfs"] = {"sdc1", "sdc", false};
    probe_.missing.push_back("/nowhere/Korvane.db");
    for (const char* local : {"/home/alice/Korvane.db", "/run/Korvane.db"}) {
        EXPECT_TRUE(IsFixedLocalStorage(probe_, local)) << local;
    }
    for (const char* elsewhere :
         {"/mnt/users/Korvane.db", "/media/alice/STICK/Korvane.db", "/media/alice/DVD/Korvane.db",
          "/mnt/ntfs/Korvane.db", "/nowhere/Korvane.db"}) {
        EXPECT_FALSE(IsFixedLocalStorage(probe_, elsewhere)) << elsewhere;
    }
}

TEST_F(VolumesTest, FailuresKeepWhatWasLearnt) {
    // Free space unreadable (a dead server, a medium gone): the type and
    // name stay, the sizes are 0 and the errno is returned.
    probe_.space_errors["/media/alice/STICK"] = EIO;
    const VolumeInfo stick = Describe("/media/alice/STICK", EIO);
    EXPECT_EQ(stick.drive_type, DriveType::kRemovable);
    EXPECT_EQ(stick.label, "STICK");
    EXPECT_EQ(stick.size, 0u);
    EXPECT_EQ(stick.used, 0u);

    probe_.missing.push_back("/media/alice/GONE");
    const VolumeInfo gone = Describe("/media/alice/GONE", ENOENT);
    EXPECT_EQ(gone.drive_type, DriveType::kNoRootDir);
    EXPECT_EQ(gone.root, "/media/alice/GONE");

    // A table without any mount holding the path.
    probe_.table = "41 27 8:17 / /media/x rw - vfat /dev/sdb1 rw\n";
    EXPECT_EQ(Describe("/etc", ENODEV).drive_type, DriveType::kNoRootDir);
}

TEST_F(VolumesTest, FreeSpaceNeverExceedsSize) {
    probe_.space = {4096, 8192, 4096};
    const VolumeInfo info = Describe("/");
    EXPECT_EQ(info.free, 4096u);
    EXPECT_EQ(info.used, 0u);
}

TEST(RemoteSourceTest, OnlyNetworkFormsAreRemote) {
    for (const char* local : {"/dev/sda1", "tmpfs", "overlay", "systemd-1", "UUID=1234", "", "/", "//",
                              "//\\", "host", ":/path", "a/b:/c", "[::1:/x", "C:", "host:relative"}) {
        EXPECT_FALSE(ParseRemoteSource(local).has_value()) << local;
    }
    // sshfs may name a path relative to the remote home, or none.
    EXPECT_TRUE(ParseRemoteSource("host:relative", "fuse.sshfs").has_value());
    const auto trailing = ParseRemoteSource("//server/share/", "cifs");
    ASSERT_TRUE(trailing);
    EXPECT_EQ(trailing->share, "share");
    EXPECT_EQ(trailing->rest, "");
    const auto root_export = ParseRemoteSource("nas:/", "nfs");
    ASSERT_TRUE(root_export);
    EXPECT_EQ(root_export->share, "/");
    const auto server_only = ParseRemoteSource("//server", "cifs");
    ASSERT_TRUE(server_only);
    EXPECT_EQ(server_only->server, "server");
    EXPECT_EQ(server_only->share, "");
}

TEST(RemoteSourceTest, WellKnownNetworkTypesAreRemote) {
    for (const char* type :
         {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs", "fuse.sshfs", "afs", "ceph", "9p", "glusterfs",
          "lustre", "davfs", "ncpfs", "fuse.rclone", "gfs2", "ocfs2", "coda"}) {
        EXPECT_TRUE(IsRemoteFileSystem(type)) << type;
    }
    for (const char* type :
         {"ext4", "xfs", "btrfs", "tmpfs", "vfat", "fuseblk", "fuse.encfs", "overlay", "nfsd"}) {
        EXPECT_FALSE(IsRemoteFileSystem(type)) << type;
    }
}

TEST(SerialOfUuidTest, TakesLastEightHexDigits) {
    EXPECT_EQ(SerialOfUuid("1234-ABCD"), 0x1234ABCDu);         // FAT
    EXPECT_EQ(SerialOfUuid("0123456789ABCDEF"), 0x89ABCDEFu);  // NTFS
    EXPECT_EQ(SerialOfUuid("d4c0b6b5-7e1f-4c3a-9b2d-0242ac120002"), 0xac120002u);
    EXPECT_EQ(SerialOfUuid("2019-08-01-10-11-12-00"), 0x10111200u);  // ISO 9660 date
    EXPECT_EQ(SerialOfUuid("1f"), 0x1fu);
    EXPECT_EQ(SerialOfUuid(""), 0u);
    EXPECT_EQ(SerialOfUuid("xyz!"), 0u);
}

TEST(UdevNameTest, DecodesHexEscapes) {
    EXPECT_EQ(DecodeUdevName("My\\x20Stick"), "My Stick");
    EXPECT_EQ(DecodeUdevName("a\\x2fb\\x5c"), "a/b\\");
    EXPECT_EQ(DecodeUdevName("plain"), "plain");
    EXPECT_EQ(DecodeUdevName("bad\\xZZ\\x2"), "bad\\xZZ\\x2");
}

// The real probe on a prepared /sys and /dev: a USB stick partition, a
// fixed disk, an optical drive, and an encrypted volume on a USB disk.
class PreparedSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::canonical(tmp_.path());
        sys_ = root_ / "sys";
        dev_ = root_ / "dev";
        MakeDisk("devices/pci0000:00/usb1/block/sdb", "1", "sdb1", "8:16", "8:17");
        MakeDisk("devices/pci0000:00/ata1/block/sda", "0", "sda2", "8:0", "8:2");
        MakeDisk("devices/pci0000:00/ata2/block/sr0", "1", "", "11:0", "");
        MakeDisk("devices/pci0000:00/usb2/block/sdc", "1", "sdc1", "8:32", "8:33");
        MakeDisk("devices/virtual/block/dm-0", "0", "", "254:0", "");
        fs::create_directories(sys_ / "devices/virtual/block/dm-0/slaves");
        fs::create_directory_symlink("../../../../pci0000:00/usb2/block/sdc/sdc1",
                                     sys_ / "devices/virtual/block/dm-0/slaves/sdc1");

        fs::create_directories(dev_ / "disk/by-label");
        fs::create_directories(dev_ / "disk/by-uuid");
        for (const char* node : {"sdb1", "sda2", "sr0", "dm-0"})
            WriteFileBytes((dev_ / node).string(), "");
        fs::create_symlink("../../sdb1", dev_ / "disk/by-label/My\\x20Stick");
        fs::create_symlink("../../sdb1", dev_ / "disk/by-uuid/1234-ABCD");
        fs::create_symlink("../../sda2", dev_ / "disk/by-uuid/d4c0b6b5-7e1f-4c3a-9b2d-0242ac120002");

        for (const char* point : {"stick", "system", "dvd", "vault", "share"}) {
            fs::create_directories(root_ / "media" / point);
        }
        const std::string media = (root_ / "media").string();
        const std::string table = "41 27 8:17 / " + media + "/stick rw - vfat /dev/sdb1 rw\n" +
                                  "42 27 8:2 / " + media + "/system rw - ext4 /dev/sda2 rw\n" +
                                  "43 27 11:0 / " + media + "/dvd ro - udf /dev/sr0 ro\n" + "44 27 254:0 / " +
                                  media + "/vault rw - ext4 /dev/mapper/vault rw\n" + "45 27 0:70 / " +
                                  media + "/share rw - cifs //nas/share rw\n";
        WriteFileBytes((root_ / "mountinfo").string(), table);
        paths_.mount_info = (root_ / "mountinfo").string();
        paths_.sys = sys_.string();
        paths_.dev = dev_.string();
    }

    // A disk folder with its removable flag, an optional partition, and the
    // /sys/dev/block links of both.
    void MakeDisk(const std::string& folder, const std::string& removable, const std::string& partition,
                  const std::string& disk_number, const std::string& partition_number) {
        const fs::path disk = sys_ / folder;
        fs::create_directories(disk);
        WriteFileBytes((disk / "removable").string(), removable + "\n");
        fs::create_directories(sys_ / "dev/block");
        fs::create_directory_symlink("../../" + folder, sys_ / "dev/block" / disk_number);
        if (!partition.empty()) {
            fs::create_directories(disk / partition);
            WriteFileBytes((disk / partition / "partition").string(), "1\n");
            fs::create_directory_symlink("../../" + folder + "/" + partition,
                                         sys_ / "dev/block" / partition_number);
        }
    }

    VolumeInfo Describe(const char* point) {
        LinuxVolumeProbe probe(paths_);
        VolumeInfo info;
        EXPECT_EQ(DescribeVolume(probe, (root_ / "media" / point).string(), info), 0) << point;
        return info;
    }

    TempDir tmp_;
    fs::path root_, sys_, dev_;
    VolumeProbePaths paths_;
};

TEST_F(PreparedSystemTest, PartitionsResolveToTheirDisk) {
    LinuxVolumeProbe probe(paths_);
    const auto mounts = probe.Mounts();
    ASSERT_EQ(mounts.size(), 5u);
    const auto stick = probe.BlockDeviceOf(mounts[0]);
    ASSERT_TRUE(stick);
    EXPECT_EQ(stick->name, "sdb1");
    EXPECT_EQ(stick->disk, "sdb");
    EXPECT_TRUE(stick->removable);
    const auto system = probe.BlockDeviceOf(mounts[1]);
    ASSERT_TRUE(system);
    EXPECT_EQ(system->disk, "sda");
    EXPECT_FALSE(system->removable);
    // A device mapped over a partition of a removable disk is removable too.
    const auto vault = probe.BlockDeviceOf(mounts[3]);
    ASSERT_TRUE(vault);
    EXPECT_EQ(vault->name, "dm-0");
    EXPECT_TRUE(vault->removable);
    // Network mounts have no block device.
    EXPECT_FALSE(probe.BlockDeviceOf(mounts[4]));
}

TEST_F(PreparedSystemTest, DescribesEachKindOfVolume) {
    const VolumeInfo stick = Describe("stick");
    EXPECT_EQ(stick.drive_type, DriveType::kRemovable);
    EXPECT_EQ(stick.label, "My Stick");
    EXPECT_EQ(stick.uuid, "1234-ABCD");
    EXPECT_EQ(stick.serial, 0x1234ABCDu);
    EXPECT_GT(stick.size, 0u);
    EXPECT_GT(stick.cluster_size, 0u);

    const VolumeInfo system = Describe("system");
    EXPECT_EQ(system.drive_type, DriveType::kFixed);
    EXPECT_EQ(system.uuid, "d4c0b6b5-7e1f-4c3a-9b2d-0242ac120002");
    EXPECT_EQ(system.label, "");  // no label link and an unreadable superblock

    EXPECT_EQ(Describe("dvd").drive_type, DriveType::kCdRom);
    EXPECT_EQ(Describe("vault").drive_type, DriveType::kRemovable);

    const VolumeInfo share = Describe("share");
    EXPECT_EQ(share.drive_type, DriveType::kRemote);
    ASSERT_TRUE(share.remote);
    EXPECT_EQ(share.remote->server, "nas");
}

bool RunCommand(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

TEST_F(PreparedSystemTest, SuperblockGivesLabelAndUuidWithoutUdevLinks) {
    if (!RunCommand("command -v mke2fs >/dev/null 2>&1"))
        GTEST_SKIP() << "mke2fs (e2fsprogs) is not installed";
    const std::string image = (dev_ / "sda2").string();
    ASSERT_TRUE(RunCommand("mke2fs -q -F -t ext2 -L 'Backup 2' -U 0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0 '" +
                           image + "' 1024 >/dev/null 2>&1"));
    fs::remove(dev_ / "disk/by-uuid/d4c0b6b5-7e1f-4c3a-9b2d-0242ac120002");
    const VolumeInfo system = Describe("system");
    EXPECT_EQ(system.label, "Backup 2");
    EXPECT_EQ(system.uuid, "0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0");
    EXPECT_EQ(system.serial, 0xc3d2e1f0u);
}

// The real layer on the mounts of this machine.
std::string CommandOutput(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe)
        return out;
    std::array<char, 256> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe.get()) != nullptr)
        out += buffer.data();
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

TEST(ThisMachineTest, VolumeListHoldsRootAndNoPseudoSystems) {
    LinuxVolumeProbe probe;
    const auto volumes = ListVolumeMounts(probe);
    bool has_root = false;
    for (const auto& mount : volumes) {
        has_root = has_root || mount.mount_point == "/";
        EXPECT_FALSE(IsPseudoFileSystem(mount.fs_type)) << mount.mount_point;
        EXPECT_NE(mount.mount_point.rfind("/proc", 0), 0u) << mount.mount_point;
        EXPECT_NE(mount.mount_point.rfind("/sys/", 0), 0u) << mount.mount_point;
    }
    EXPECT_TRUE(has_root);
}

TEST(ThisMachineTest, RootSizesAgreeWithStatTool) {
    LinuxVolumeProbe probe;
    VolumeInfo info;
    ASSERT_EQ(DescribeVolume(probe, "/", info), 0);
    EXPECT_EQ(info.root, "/");
    EXPECT_FALSE(info.fs_type.empty());
    EXPECT_NE(info.drive_type, DriveType::kUnknown);
    EXPECT_NE(info.drive_type, DriveType::kNoRootDir);
    // stat -f: fundamental block size, total blocks, free blocks.
    const std::string figures = CommandOutput("stat -f -c '%S %b %f' /");
    unsigned long long block = 0, blocks = 0, free_blocks = 0;
    ASSERT_EQ(std::sscanf(figures.c_str(), "%llu %llu %llu", &block, &blocks, &free_blocks), 3) << figures;
    EXPECT_EQ(info.cluster_size, block);
    EXPECT_EQ(info.size, blocks * block);
    // Free space moves while other programs write; allow a few megabytes.
    EXPECT_NEAR(static_cast<double>(info.free), static_cast<double>(free_blocks * block), 64.0 * 1024 * 1024);
    EXPECT_EQ(info.used, info.size - info.free);
}

TEST(ThisMachineTest, RootUuidAgreesWithBlkidTool) {
    LinuxVolumeProbe probe;
    VolumeInfo info;
    ASSERT_EQ(DescribeVolume(probe, "/", info), 0);
    if (info.source.rfind("/dev/", 0) != 0 || access(info.source.c_str(), R_OK) != 0) {
        GTEST_SKIP() << "the root file system's device is not readable here";
    }
    const std::string uuid = CommandOutput("blkid -s UUID -o value '" + info.source + "' 2>/dev/null");
    if (uuid.empty())
        GTEST_SKIP() << "blkid names no UUID for " << info.source;
    EXPECT_EQ(info.uuid, uuid);
    EXPECT_EQ(info.serial, SerialOfUuid(uuid));
    EXPECT_EQ(info.label, CommandOutput("blkid -s LABEL -o value '" + info.source + "' 2>/dev/null"));
}

TEST(ThisMachineTest, MemoryVolumeAndMissingPath) {
    LinuxVolumeProbe probe;
    VolumeInfo info;
    EXPECT_EQ(DescribeVolume(probe, "/no/such/folder/here", info), ENOENT);
    EXPECT_EQ(info.drive_type, DriveType::kNoRootDir);

    const auto mounts = probe.Mounts();
    const MountEntry* shm = FindMount(mounts, "/dev/shm");
    if (shm == nullptr || shm->fs_type != "tmpfs")
        GTEST_SKIP() << "no tmpfs on /dev/shm here";
    ASSERT_EQ(DescribeVolume(probe, "/dev/shm", info), 0);
    EXPECT_EQ(info.drive_type, DriveType::kRamDisk);
    EXPECT_EQ(info.fs_type, "tmpfs");
    EXPECT_GT(info.size, 0u);
}

}  // namespace
}  // namespace korvane
