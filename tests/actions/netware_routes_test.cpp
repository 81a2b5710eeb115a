// File actions on NetWare volumes reach the server through the NetWare layer
// and the tests' client library.
#include "actions/netware_routes.h"

#include <gtest/gtest.h>

#include "actions/file_properties.h"
#include "netware_client/netware_fixture.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane::testing {
namespace {

using namespace netware;

constexpr std::uint32_t kAdminId = 0x01000005;
constexpr std::uint32_t kJdoeId = 0x02000007;

TEST(NetWareRoutes, CompressionOwnersAndAccountsOfNetWareFilesGoToTheServer) {
    NetWareFixture fx;
    fx.nwfx_add_server("FS1", 4, 10, "ACME");
    fx.nwfx_add_volume("FS1", "SYS", 0, 100, 10, 0, 8);
    fx.nwfx_add_entry("FS1", "SYS", "A.TXT", nullptr, 0, 0, kAdminId, 0, 0);
    fx.nwfx_add_entry("FS1", "SYS", "CANT.TXT", nullptr, 0, kCantCompress, kAdminId, 0, 0);
    fx.nwfx_add_ds_object("ACME", "Organization", 0x30);
    fx.nwfx_add_ds_object("JDOE.ACME", "USER", kJdoeId);

    TempDir dir;
    const std::string root = dir.path();
    ASSERT_TRUE(WriteFileBytes(root + "/A.TXT", "a"));
    ASSERT_TRUE(WriteFileBytes(root + "/CANT.TXT", "c"));
    VolumeScanRecord volume;
    volume.root = root;
    volume.owner = "FS1";
    volume.name = "SYS";
    volume.volume_type = 10;

    NetWareLayer layer(NetWareFixture::kPath);
    const NetWareRoutes routes = NetWareRoutesThrough(layer);
    EXPECT_EQ(SetVolumeCompression(routes, volume, root + "/A.TXT", true), 0);
    EXPECT_EQ(fx.Entry("FS1", "SYS", "A.TXT").attributes, kImmediateCompress);
    EXPECT_EQ(SetVolumeCompression(routes, volume, root + "/A.TXT", false), 0);
    EXPECT_EQ(fx.Entry("FS1", "SYS", "A.TXT").attributes, 0u);
    EXPECT_EQ(SetVolumeCompression(routes, volume, root + "/CANT.TXT", true), kNetWareActionError);

    OwnerResolver owners;
    EXPECT_EQ(SetVolumeOwner(routes, owners, volume, root + "/A.TXT", "JDOE.ACME"), 0);
    EXPECT_EQ(fx.Entry("FS1", "SYS", "A.TXT").creator_id, kJdoeId);
    EXPECT_EQ(SetVolumeOwner(routes, owners, volume, root + "/A.TXT", "NOBODY"), kNetWareActionError);
    EXPECT_EQ(routes.owner_of(volume, root + "/A.TXT"), "JDOE.ACME");
    EXPECT_EQ(routes.owner_of(volume, root + "/GONE.TXT"), "(Unknown)");

    AccountTree tree;
    RecordingUserInterface ui;
    int count = 0;
    ASSERT_TRUE(ListVolumeAccounts(routes, volume, tree, ui, count));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(tree.item(tree.top_items().at(0)).text, "Tree: ACME");

    // Other volumes never reach the NetWare layer.
    fx.nwfx_clear_calls();
    volume.volume_type = 1;
    SetVolumeCompression(routes, volume, root + "/A.TXT", true);
    EXPECT_EQ(fx.nwfx_call_count(), 0u);
}

}  // namespace
}  // namespace korvane::testing
