// After an action the catalogue records what the volume's own authority
// says: a volume's size, used and free bytes as a scan would read them now,
// and a NetWare file's compression and owner as its server (the tests'
// client library, loaded by the NetWare layer) reports them, never the mount.
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <tuple>

#include "action_fixture.h"
#include "actions/file_properties.h"
#include "actions/netware_routes.h"
#include "netware_client/netware_fixture.h"
#include "netware_client/netware_mount_probe.h"
#include "platform/volume_probe.h"
#include "support/test_mount.h"

namespace korvane::testing {
namespace {

using namespace netware;

// Size, Used and Free of the (one) Volume row.
using VolumeSpaceRow = std::tuple<double, double, double>;

VolumeSpaceRow SpaceRowOf(Catalogue& catalogue) {
    VolumeSpaceRow row{-1, -1, -1};
    SqlStatement statement;
    EXPECT_TRUE(statement.Prepare(catalogue.handle(), "SELECT \"Size\", \"Used\", \"Free\" FROM \"Volume\""));
    if (statement.Step() == SQLITE_ROW)
        row = {statement.ColumnDouble(0), statement.ColumnDouble(1), statement.ColumnDouble(2)};
    return row;
}

void ForgetSpace(Catalogue& catalogue) {
    SqlStatement statement;
    ASSERT_TRUE(statement.Prepare(catalogue.handle(),
                                  "UPDATE \"Volume\" SET \"Size\" = 0, \"Used\" = 0, \"Free\" = 0"));
    ASSERT_EQ(statement.Step(), SQLITE_DONE);
}

class VolumeRefresh : public FileActionTest {
  protected:
    // The Volume row's sizes in a fresh scan of root_, for comparison.
    VolumeSpaceRow FreshScanSpace() {
        const std::string path = base_ + "/Fresh-space" + std::to_string(++fresh_spaces_) + ".db";
        std::string error;
        EXPECT_TRUE(CreateEmptyCatalogue(path, error)) << error;
        Catalogue fresh(silent_);
        FolderTree tree;
        IdCounters counters;
        EXPECT_TRUE(fresh.OpenCatalogue(path));
        ScanContext scan{fresh, tree, counters, silent_, ""};
        EXPECT_TRUE(BuildCatalogue(scan, "\"" + root_ + "\"", nullptr));
        return SpaceRowOf(fresh);
    }
    int fresh_spaces_ = 0;
};

TEST_F(VolumeRefresh, UsedAndFreeFollowWhatPastesAndMovesDidToTheFileSystem) {
    // A file system of its own, so that only this test changes its free space.
    TestMount mount("tmpfs", root_, "size=8m");
    if (!mount.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    MakeFile("keep.txt", 1000);
    Scan();
    const VolumeSpaceRow scanned = SpaceRowOf(catalogue_);
    ASSERT_GT(std::get<0>(scanned), 0);

    std::filesystem::create_directories(base_ + "/incoming");
    ASSERT_TRUE(WriteFileBytes(base_ + "/incoming/big.bin", std::string(1'500'000, 'b')));
    ActionOutcome pasted = PasteFiles(context_, {{base_ + "/incoming/big.bin"}, false}, root_, nullptr);
    ASSERT_EQ(pasted.done, 1u);
    const VolumeSpaceRow after_paste = SpaceRowOf(catalogue_);
    EXPECT_GE(std::get<1>(after_paste) - std::get<1>(scanned), 1'500'000);
    EXPECT_EQ(after_paste, FreshScanSpace());
    struct statvfs info {};
    ASSERT_EQ(::statvfs(root_.c_str(), &info), 0);
    EXPECT_EQ(std::get<2>(after_paste), static_cast<double>(info.f_bfree) * info.f_frsize);

    // Moved off the volume: its space comes back, and the row says so.
    std::filesystem::create_directories(base_ + "/out");
    ActionOutcome moved = PasteFiles(context_, {{At("big.bin")}, true}, base_ + "/out", nullptr);
    ASSERT_EQ(moved.done, 1u);
    EXPECT_EQ(SpaceRowOf(catalogue_), FreshScanSpace());
    EXPECT_EQ(SpaceRowOf(catalogue_), scanned);
    ExpectMatchesFreshScan();
}

constexpr std::uint32_t kAdminId = 0x01000005;
constexpr std::uint32_t kJdoeId = 0x02000007;

TEST_F(VolumeRefresh, NetWareCompressionOwnersAndSizesAreReadBackFromTheServer) {
    NetWareFixture fx;
    fx.nwfx_add_server("FS1", 4, 10, "ACME");
    fx.nwfx_add_volume("FS1", "SYS", 0, 1000, 200, 50, 8);
    fx.nwfx_add_entry("FS1", "SYS", "DOCS", nullptr, 1, 0, kAdminId, 0, 0);
    fx.nwfx_add_entry("FS1", "SYS", "DOCS\\A.TXT", nullptr, 0, 0, kAdminId, 0, 4);
    fx.nwfx_add_entry("FS1", "SYS", "DOCS\\B.TXT", nullptr, 0, 0, kAdminId, 0, 0);
    fx.nwfx_add_ds_object("ACME", "Organization", 0x30);
    fx.nwfx_add_ds_object("ADMIN.ACME", "USER", kAdminId);
    fx.nwfx_add_ds_object("JDOE.ACME", "USER", kJdoeId);
    MakeFile("DOCS/A.TXT", 12);
    MakeFile("DOCS/B.TXT", 30);

    NetWareLayer layer(NetWareFixture::kPath);
    NetWareMountProbe probe;
    probe.extra = {{root_, "NWFS", "//FS1/SYS", "rw", 0, "/"}};
    std::string error;
    ASSERT_TRUE(CreateEmptyCatalogue(base_ + "/Korvane.db", error)) << error;
    ASSERT_TRUE(catalogue_.OpenCatalogue(base_ + "/Korvane.db"));
    ScanContext scan{catalogue_, tree_, counters_, silent_, ""};
    scan.probe = &probe;
    scan.netware = &layer;
    ASSERT_TRUE(BuildCatalogue(scan, "\"" + root_ + "\"", nullptr));
    context_.netware = NetWareRoutesThrough(layer);
    const VolumeSpaceRow server_space{1000.0 * 4096, 750.0 * 4096, 250.0 * 4096};
    ASSERT_EQ(SpaceRowOf(catalogue_), server_space);
    ForgetSpace(catalogue_);

    auto file_row = [&](const char* name) {
        return ReadCatalogueByPath(catalogue_.handle()).files.at(std::string("/DOCS/") + name);
    };
    ASSERT_EQ(file_row("A.TXT").owner, "ADMIN.ACME");
    fx.nwfx_clear_calls();
    ActionOutcome compressed = CompressSelection(context_, Select("DOCS", {"A.TXT"}), true);
    ASSERT_EQ(compressed.done, 1u) << compressed.first_error;
    EXPECT_EQ(fx.Entry("FS1", "SYS", "DOCS\\A.TXT").attributes, kImmediateCompress);
    // The row holds the server's compressed size and mark; the mount knows neither.
    EXPECT_EQ(file_row("A.TXT").compressed, 4);
    EXPECT_EQ(file_row("A.TXT").attributes & 0x800, 0x800);
    EXPECT_GT(fx.Count("NWIntScanExtendedInfo") + fx.Count("NWIntScanDirEntryInfo"), 0);
    EXPECT_EQ(SpaceRowOf(catalogue_), server_space) << "the volume's sizes as the server counts them";

    ActionOutcome owned = SetOwnerOfSelection(context_, Select("DOCS", {"B.TXT"}), "JDOE.ACME");
    ASSERT_EQ(owned.done, 1u) << owned.first_error;
    EXPECT_EQ(fx.Entry("FS1", "SYS", "DOCS\\B.TXT").creator_id, kJdoeId);
    EXPECT_EQ(file_row("B.TXT").owner, "JDOE.ACME");

    ActionOutcome uncompressed = CompressSelection(context_, Select("DOCS", {"A.TXT"}), false);
    ASSERT_EQ(uncompressed.done, 1u);
    EXPECT_EQ(file_row("A.TXT").compressed, 12);
    EXPECT_EQ(file_row("A.TXT").attributes & 0x800, 0);
    EXPECT_EQ(file_row("A.TXT").owner, "ADMIN.ACME");
}

}  // namespace
}  // namespace korvane::testing
