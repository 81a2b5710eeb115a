// Scans of NetWare volumes: real folder trees that the volume probe shows as
// NetWare mounts, their NetWare details from the tests' client library.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "app/formatting.h"
#include "catalogue/day_number.h"
#include "catalogue/user_volumes.h"
#include "netware_client/netware_fixture.h"
#include "netware_client/netware_mount_probe.h"
#include "owners/netware_layer.h"
#include "platform/volume_probe.h"
#include "scan/netware_volume.h"
#include "scan/volume_selection.h"
#include "scan_fixture.h"

namespace korvane::testing {
namespace {

using namespace netware;
namespace fs = std::filesystem;

constexpr std::uint32_t kAdminId = 0x01000005;
constexpr std::uint32_t kJdoeId = 0x02000007;
// 15 March 2024, 10:30:00 as a DOS date and time.
constexpr std::uint32_t kCreated = (((2024u - 1980) << 9 | 3u << 5 | 15u) << 16) | (10u << 11 | 30u << 5);

std::uint32_t IdStoredAs(unsigned char a, unsigned char b, unsigned char c, unsigned char d) {
    const unsigned char bytes[4] = {a, b, c, d};
    std::uint32_t id = 0;
    std::memcpy(&id, bytes, sizeof id);
    return id;
}

class NetWareScanTest : public ScanTest {
  protected:
    void SetUp() override {
        ScanTest::SetUp();
        sys_ = Tree("nwsys");
        fs::create_directories(sys_ + "/DOCS");
        MakeFile(sys_ + "/DOCS/A.TXT", 12);
        MakeFile(sys_ + "/DOCS/PACKED.TXT", 5000);
        MakeFile(sys_ + "/DOCS/PENDCANT.TXT", 300);
        MakeFile(sys_ + "/README.TXT", 40);
        MakeFile(sys_ + "/LOCAL.TMP", 7);  // on disk, unknown to the server
        data_ = Tree("dsvol");
        MakeFile(data_ + "/Quarterly Report.xlsx", 100);
        plain_ = Tree("plain");
        MakeFile(plain_ + "/local.txt", 3);

        fx_.nwfx_add_server("FS1", 4, 10, "ACME");
        fx_.nwfx_add_volume("FS1", "SYS", 0, 1000, 200, 50, 8);
        fx_.nwfx_add_volume("FS1", "DATA", 1, 300, 100, 0, 16);
        fx_.nwfx_add_entry("FS1", "SYS", "DOCS", nullptr, 1, 0, kAdminId, kCreated, 0);
        fx_.nwfx_add_entry("FS1", "SYS", "DOCS\\A.TXT", nullptr, 0, 0, kJdoeId, kCreated, 0);
        fx_.nwfx_add_entry("FS1", "SYS", "DOCS\\PACKED.TXT", nullptr, 0, kCompressed, kAdminId, kCreated,
                           1200);
        fx_.nwfx_add_entry("FS1", "SYS", "DOCS\\PENDCANT.TXT", nullptr, 0, kImmediateCompress | kCantCompress,
                           kAdminId, kCreated, 99);
        fx_.nwfx_add_entry("FS1", "SYS", "README.TXT", nullptr, 0, 0, IdStoredAs(1, 2, 3, 4), kCreated, 0);
        fx_.nwfx_add_entry("FS1", "DATA", "Quarterly Report.xlsx", "QUARTERL.XLS", 0, kCompressed, kAdminId,
                           kCreated, 10);
        fx_.nwfx_add_ds_object("ADMIN.ACME", "USER", kAdminId);
        fx_.nwfx_add_ds_object("JDOE.SALES.ACME", "USER", kJdoeId);
        fx_.nwfx_add_ds_object("FS1.ACME", "NCP Server", 0x40);
        fx_.nwfx_set_ds_attribute("FS1.ACME", "CN", "FS1");
        fx_.nwfx_add_ds_object("DATAVOL.ACME", "Volume", 0x41);
        fx_.nwfx_set_ds_attribute("DATAVOL.ACME", "Host Server", "FS1.ACME");
        fx_.nwfx_set_ds_attribute("DATAVOL.ACME", "Host Resource Name", "DATA");

        probe_.extra = {{sys_, "NWFS", "//FS1/SYS", "rw", 0, "/"},
                        {data_, "ncpfs", "//ACME/DATAVOL.ACME", "rw", 0, "/"}};
        context_.probe = &probe_;
    }

    bool BuildAll(NetWareLayer& layer) {
        context_.netware = &layer;
        return Build("\"" + sys_ + "\",\"" + data_ + "\",\"" + plain_ + "\"");
    }

    static const ScannedFile& FileNamed(const CatalogueRows& rows, const std::string& name) {
        for (const auto& [id, file] : rows.files) {
            if (file.name == name)
                return file;
        }
        static const ScannedFile none;
        ADD_FAILURE() << "no file " << name;
        return none;
    }

    // The Create Date of the file, a day number.
    double CreateDateOf(std::int32_t file_id) {
        EXPECT_TRUE(catalogue_.OpenCatalogueTables());
        TableCursor& files = catalogue_.file_table();
        double date = 0;
        for (bool row = files.MoveFirst(); row; row = files.MoveNext()) {
            std::int32_t id = 0;
            files.GetInt("File ID", id);
            if (id == file_id)
                files.GetDouble("Create Date", date);
        }
        EXPECT_TRUE(catalogue_.CloseCatalogueTables());
        return date;
    }

    NetWareFixture fx_;
    NetWareMountProbe probe_;
    std::string sys_, data_, plain_;
};

TEST_F(NetWareScanTest, ANetWareVolumeRecordsSizesOwnersDatesAndCompressionFromTheServer) {
    NetWareLayer layer(NetWareFixture::kPath);
    ASSERT_TRUE(BuildAll(layer));
    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 3u);

    const ScannedVolume& sys = rows.volumes[0];
    EXPECT_EQ(sys.type, 10);
    EXPECT_EQ(sys.owner, "FS1");
    EXPECT_EQ(sys.name, "SYS");
    EXPECT_EQ(sys.format, "NWFS");
    EXPECT_EQ(sys.media, "Remote Media");
    EXPECT_EQ(sys.size, 1000.0 * 4096);
    EXPECT_EQ(sys.free, 250.0 * 4096);
    EXPECT_EQ(sys.used, 750.0 * 4096);
    EXPECT_EQ(sys.files, 5);

    const ScannedFile& a = FileNamed(rows, "A.TXT");
    EXPECT_EQ(a.owner, "JDOE.SALES.ACME");
    EXPECT_EQ(a.compressed, 12);
    EXPECT_EQ(a.attributes & 0x800, 0);
    double created = 0;
    ASSERT_TRUE(DayNumberFromCivil(2024, 3, 15, 10, 30, 0, created));
    EXPECT_NEAR(CreateDateOf(a.id), created, 1e-6);

    const ScannedFile& packed = FileNamed(rows, "PACKED.TXT");
    EXPECT_EQ(packed.owner, "ADMIN.ACME");
    EXPECT_EQ(packed.size, 5000);
    EXPECT_EQ(packed.compressed, 1200);
    EXPECT_EQ(packed.attributes & 0x800, 0x800);

    // A compression the server cannot do is taken back on the server.
    const ScannedFile& pending = FileNamed(rows, "PENDCANT.TXT");
    EXPECT_EQ(pending.compressed, 300);
    EXPECT_EQ(pending.attributes & 0x800, 0);
    EXPECT_EQ(fx_.Entry("FS1", "SYS", "DOCS\\PENDCANT.TXT").attributes, kCantCompress);

    EXPECT_EQ(FileNamed(rows, "README.TXT").owner, "(Invalid ID:01020304)");
    const ScannedFile& unknown = FileNamed(rows, "LOCAL.TMP");
    EXPECT_EQ(unknown.owner, "(Unknown)");
    EXPECT_EQ(unknown.compressed, 7);

    const std::int32_t docs = FolderId(sys_ + "/DOCS");
    ASSERT_NE(docs, 0);
    EXPECT_EQ(rows.folders.at(docs).owner, "ADMIN.ACME");
    EXPECT_EQ(rows.folders.at(sys.root_folder).owner, "FS1");

    // A volume object of the tree, on the kernel's NetWare file system.
    const ScannedVolume& data = rows.volumes[1];
    EXPECT_EQ(data.type, 11);
    EXPECT_EQ(data.owner, "ACME");
    EXPECT_EQ(data.name, "DATAVOL.ACME");
    EXPECT_EQ(data.size, 300.0 * 8192);
    const ScannedFile& report = FileNamed(rows, "Quarterly Report.xlsx");
    EXPECT_EQ(report.owner, "ADMIN.ACME");
    EXPECT_EQ(report.compressed, 10);
    EXPECT_EQ(report.attributes & 0x800, 0x800);

    // One connection per server entry for the whole build, and a directory
    // handle per change of folder, not per entry.
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 2);
    EXPECT_LE(fx_.Count("NWAllocPermanentDirectoryHandle"), 5);

    const ScannedVolume& plain = rows.volumes[2];
    EXPECT_EQ(plain.type, 1);
    const passwd* me = getpwuid(geteuid());
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(FileNamed(rows, "local.txt").owner, me->pw_name);
}

TEST_F(NetWareScanTest, WithoutAClientLibraryNetWareVolumesKeepThePlatformsValues) {
    NetWareLayer layer("/nonexistent/libkorvane-netware-client.so.1");
    ASSERT_TRUE(BuildAll(layer));
    const CatalogueRows rows = Read();
    ASSERT_EQ(rows.volumes.size(), 3u);
    FileSystemSpace space;
    ASSERT_EQ(LinuxVolumeProbe().Space(sys_, space), 0);
    EXPECT_EQ(rows.volumes[0].type, 10);
    EXPECT_EQ(rows.volumes[0].size, static_cast<double>(space.total_bytes));
    EXPECT_EQ(rows.volumes[1].type, 11);
    for (const auto& [id, file] : rows.files) {
        if (file.name == "local.txt")
            continue;
        EXPECT_EQ(file.owner, "(Unknown)") << file.name;
        EXPECT_EQ(file.compressed, file.size) << file.name;
        EXPECT_EQ(file.attributes & 0x800, 0) << file.name;
    }
    EXPECT_EQ(fx_.nwfx_call_count(), 0u);
    const passwd* me = getpwuid(geteuid());
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(FileNamed(rows, "local.txt").owner, me->pw_name);
}

// The Select Volume list sizes a remote mount whose file system is NetWare's
// as its server counts it (SYS: 1000 blocks of 8 sectors), falling back to
// the platform's size when the server cannot be asked.
TEST_F(NetWareScanTest, SelectVolumeSizesNetWareMountsAsTheServerCountsThem) {
    NetworkPrograms programs;
    programs.fstab_path = dir_ / "fstab";
    ASSERT_TRUE(WriteFileBytes(programs.fstab_path, ""));
    FileSystemSpace space;
    ASSERT_EQ(LinuxVolumeProbe().Space(sys_, space), 0);
    const std::string platform = FormatSize(space.total_bytes);
    const std::string server = FormatSize(1000u * 8 * 512);
    UserVolumeRecord below;
    below.location = sys_ + "/DOCS";
    ASSERT_TRUE(OpenUserVolumes(catalogue_));
    ASSERT_TRUE(AddUserVolume(catalogue_, below));
    CloseUserVolumes(catalogue_);

    NetWareLayer layer(NetWareFixture::kPath);
    NetWareLayer absent("/nonexistent/libkorvane-netware-client.so.1");
    struct Case {
        const char* fs_type;
        NetWareLayer* netware;
        std::string size;
    };
    const Case cases[] = {
        {"NWFS", &layer, server},    {"OS2", &layer, server},     {"DOS", &layer, server},
        {"ncpfs", &layer, server},   {"cifs", &layer, platform},  {"nwfs", &layer, platform},
        {"NWFS", &absent, platform}, {"NWFS", nullptr, platform},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.fs_type) + (c.netware == &absent ? " without library" : ""));
        probe_.extra = {{sys_, c.fs_type, "//FS1/SYS", "rw", 0, "/"}};
        VolumeListingSource source{probe_, programs, c.netware};
        const std::vector<VolumeItem> drives = ListLogicalDrives(source, ui_);
        const auto sys = std::find_if(drives.begin(), drives.end(),
                                      [&](const VolumeItem& item) { return item.location == sys_; });
        ASSERT_NE(sys, drives.end());
        EXPECT_EQ(sys->size, c.size);
        EXPECT_EQ(sys->type, "Remote '" + std::string(c.fs_type) + "' Disk");
        EXPECT_EQ(sys->value, kNetworkItemBit | kConnectedItemBit);
        const std::vector<VolumeItem> user = ListUserVolumes(source, catalogue_, ui_);
        ASSERT_EQ(user.size(), 1u);
        EXPECT_EQ(user[0].location, below.location);
        EXPECT_EQ(user[0].size, c.size);
    }
    EXPECT_GT(fx_.Count("NWGetDirSpaceInfo"), 0);
}

TEST_F(NetWareScanTest, FileActionsReachTheServerByTheirPathOnTheMount) {
    NetWareLayer layer(NetWareFixture::kPath);
    VolumeScanRecord volume;
    volume.root = sys_;
    volume.owner = "FS1";
    volume.name = "SYS";
    volume.volume_type = 10;
    ASSERT_TRUE(IsNetWareVolume(volume));
    const std::string file = sys_ + "/DOCS/A.TXT";
    EXPECT_TRUE(NetWareCompress(layer, volume, file, 1));
    EXPECT_EQ(fx_.Entry("FS1", "SYS", "DOCS\\A.TXT").attributes, kImmediateCompress);
    EXPECT_TRUE(NetWareCompress(layer, volume, file, 0));
    EXPECT_EQ(fx_.Entry("FS1", "SYS", "DOCS\\A.TXT").attributes, 0u);
    EXPECT_FALSE(NetWareCompress(layer, volume, sys_ + "/DOCS/PENDCANT.TXT", 1));
    EXPECT_FALSE(NetWareCompress(layer, volume, plain_ + "/local.txt", 1));

    EXPECT_TRUE(NetWareSetOwnerOf(layer, volume, file, "ADMIN.ACME"));
    EXPECT_EQ(fx_.Entry("FS1", "SYS", "DOCS\\A.TXT").creator_id, kAdminId);
    EXPECT_EQ(NetWareOwnerOf(layer, volume, file), "ADMIN.ACME");
    EXPECT_FALSE(NetWareSetOwnerOf(layer, volume, file, "NOBODY"));
    EXPECT_EQ(NetWareOwnerOf(layer, volume, sys_ + "/LOCAL.TMP"), "(Unknown)");
}

TEST(NetWareVolumeRules, FileSystemNamesTypesAndPaths) {
    for (const char* name : {"NWFS", "NW", "DOS", "DOSFS", "OS2", "OS2FS", "ncpfs"})
        EXPECT_TRUE(IsNetWareFileSystem(name)) << name;
    for (const char* name : {"nw", "dos", "N", "OS", "cifs", "ncp", "vfat", ""})
        EXPECT_FALSE(IsNetWareFileSystem(name)) << name;
    EXPECT_EQ(NetWareVolumeTypeOf("SYS"), 10);
    EXPECT_EQ(NetWareVolumeTypeOf("FS1_SYS.ACME"), 11);

    VolumeScanRecord volume;
    volume.root = "/mnt/nw";
    volume.owner = "FS1";
    volume.name = "SYS";
    EXPECT_EQ(NetWarePathOf(volume, "/mnt/nw"), "\\\\FS1\\SYS");
    EXPECT_EQ(NetWarePathOf(volume, "/mnt/nw/DOCS/A.TXT"), "\\\\FS1\\SYS\\DOCS\\A.TXT");
    EXPECT_EQ(NetWarePathOf(volume, "/mnt/nwother/A.TXT"), "");
    EXPECT_EQ(NetWarePathOf(volume, "/srv/A.TXT"), "");
    volume.root = "/";
    EXPECT_EQ(NetWarePathOf(volume, "/DOCS"), "\\\\FS1\\SYS\\DOCS");
}

}  // namespace
}  // namespace korvane::testing
