// The NetWare layer and NetWare owners on the tests' client library, loaded
// by path through the same loader the program uses.
#include "owners/netware_layer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "netware_client/netware_fixture.h"

namespace korvane::testing {
namespace {

using namespace netware;

constexpr std::uint32_t kAdminId = 0x01000005;
constexpr std::uint32_t kJdoeId = 0x02000007;

class NetWareLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fx_.nwfx_add_server("FS1", 4, 10, "ACME");
        fx_.nwfx_add_volume("FS1", "SYS", 0, 1000, 200, 50, 8);
        fx_.nwfx_add_volume("FS1", "DATA", 1, 500, 100, 0, 16);
        fx_.nwfx_add_server("FS3", 3, 12, "");
        fx_.nwfx_add_volume("FS3", "VOL1", 0, 100, 10, 0, 8);
        AddFile("FS1", "SYS", "DOCS", nullptr, true, 0, kAdminId);
        AddFile("FS1", "SYS", "DOCS\\A.TXT", nullptr, false, 0, kAdminId);
        AddFile("FS1", "SYS", "DOCS\\B.TXT", nullptr, false, 0, kAdminId);
        AddFile("FS1", "SYS", "DOCS\\CANT.TXT", nullptr, false, kCantCompress, kAdminId);
        AddFile("FS1", "SYS", "DOCS\\DONT.TXT", nullptr, false, kDontCompress, kAdminId);
        AddFile("FS1", "SYS", "DOCS\\PACKED.TXT", nullptr, false, kCompressed, kAdminId);
        AddFile("FS1", "SYS", "DOCS\\PENDING.TXT", nullptr, false, kImmediateCompress, kAdminId);
        AddFile("FS1", "SYS", "OLD", nullptr, true, 0, kAdminId);
        AddFile("FS1", "SYS", "OLD\\X.TXT", nullptr, false, 0, kJdoeId);
        AddFile("FS1", "DATA", "Quarterly Report.xlsx", "QUARTERL.XLS", false, 0, kJdoeId);
        AddFile("FS3", "VOL1", "README.TXT", nullptr, false, 0, 0x0A000001);
        fx_.nwfx_add_bindery_object("FS1", kAdminId, "ADMIN", kUserObject);
        fx_.nwfx_add_bindery_object("FS3", 0x0A000001, "SUPERVISOR", kUserObject);
        fx_.nwfx_add_bindery_object("FS3", 0x0A000002, "GUEST", kUserObject);
        fx_.nwfx_add_bindery_object("FS3", 0x0A000003, "EVERYONE", 2);
        fx_.nwfx_add_ds_object("ACME", "Organization", 0x30);
        fx_.nwfx_add_ds_object("SALES.ACME", "Organizational Unit", 0x31);
        fx_.nwfx_add_ds_object("JDOE.SALES.ACME", "USER", kJdoeId);
        fx_.nwfx_add_ds_object("ADMIN.ACME", "USER", kAdminId);
        fx_.nwfx_add_ds_object("FS1.ACME", "NCP Server", 0x40);
        fx_.nwfx_set_ds_attribute("FS1.ACME", "CN", "FS1");
        fx_.nwfx_add_ds_object("DATAVOL.ACME", "Volume", 0x41);
        fx_.nwfx_set_ds_attribute("DATAVOL.ACME", "Host Server", "FS1.ACME");
        fx_.nwfx_set_ds_attribute("DATAVOL.ACME", "Host Resource Name", "SYS");
    }

    void AddFile(const char* server, const char* volume, const char* path, const char* dos_name, bool folder,
                 std::uint32_t attributes, std::uint32_t creator) {
        fx_.nwfx_add_entry(server, volume, path, dos_name, folder ? 1 : 0, attributes, creator, 0x586F53C0u,
                           77);
    }

    // Resolves the path and reads its last component.
    int Read(NetWareLayer& layer, const std::string& path, NWEntryRecord& entry) {
        const int rc = layer.NwResolvePath(path);
        return rc != 0 ? rc : layer.NwReadEntry(LastPathComponent(path), entry);
    }

    NetWareFixture fx_;
    NetWareLayer layer_{NetWareFixture::kPath};
};

TEST_F(NetWareLayerTest, EntriesOfOneFolderShareOneConnectionVolumeAndDirectoryHandle) {
    NWEntryRecord entry{};
    ASSERT_EQ(Read(layer_, "\\\\FS1\\SYS\\DOCS\\A.TXT", entry), 0);
    EXPECT_EQ(entry.creator_id, kAdminId);
    ASSERT_EQ(Read(layer_, "\\\\fs1\\sys\\docs\\B.TXT", entry), 0);
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 1);
    EXPECT_EQ(fx_.Count("NWGetVolumeNumber"), 1);
    EXPECT_EQ(fx_.Count("NWAllocPermanentDirectoryHandle"), 1);
    EXPECT_EQ(fx_.Count("NWDeallocateDirectoryHandle"), 0);

    // Another folder gives the old handle back before taking a new one.
    ASSERT_EQ(Read(layer_, "\\\\FS1\\SYS\\OLD\\X.TXT", entry), 0);
    EXPECT_EQ(fx_.Count("NWAllocPermanentDirectoryHandle"), 2);
    EXPECT_EQ(fx_.Count("NWDeallocateDirectoryHandle"), 1);
    // A folder is read in its parent, where the file scan does not find it.
    ASSERT_EQ(Read(layer_, "\\\\FS1\\SYS\\DOCS", entry), 0);
    EXPECT_NE(entry.attributes & 0x10, 0u);
    const std::vector<std::string> names = fx_.CallNames();
    EXPECT_EQ(names.back(), "NWIntScanDirEntryInfo");
    EXPECT_EQ(names[names.size() - 2], "NWIntScanExtendedInfo");
    EXPECT_EQ(fx_.Calls()[fx_.Calls().size() - 3], "NWAllocPermanentDirectoryHandle 1 SYS:");
}

TEST_F(NetWareLayerTest, AFirstResolveAndReadCallTheClientInOrder) {
    NWEntryRecord entry{};
    ASSERT_EQ(Read(layer_, "\\\\FS1\\SYS\\DOCS\\A.TXT", entry), 0);
    EXPECT_EQ(fx_.Calls(), (std::vector<std::string>{
                               "NWGetConnectionIDFromName FS1",
                               "NWGetFileServerVersionInfo 1",
                               "NWGetVolumeNumber 1 SYS",
                               "NWGetNSLoadedList 1 0",
                               "NWAllocPermanentDirectoryHandle 1 SYS:\\DOCS",
                               "NWIntScanExtendedInfo 1 A.TXT 6",
                           }));
    EXPECT_FALSE(layer_.long_names());
    EXPECT_EQ(layer_.servers()[0].version, 410u);
    EXPECT_EQ(layer_.servers()[0].state, NetWareServerEntry::kConnectedByName);

    // On a volume with long names the entry is scanned under its DOS name.
    fx_.nwfx_clear_calls();
    ASSERT_EQ(Read(layer_, "\\\\FS1\\DATA\\Quarterly Report.xlsx", entry), 0);
    EXPECT_TRUE(layer_.long_names());
    EXPECT_EQ(entry.creator_id, kJdoeId);
    const std::vector<std::string> calls = fx_.Calls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2], "NWGetNSEntryInfo Quarterly Report.xlsx 4>0");
    EXPECT_EQ(calls.back(), "NWIntScanExtendedInfo 1 QUARTERL.XLS 6");
}

TEST_F(NetWareLayerTest, AShareWithADotIsAVolumeObjectOfTheDirectoryTree) {
    NWEntryRecord entry{};
    ASSERT_EQ(Read(layer_, "\\\\ACME\\DATAVOL.ACME\\DOCS\\A.TXT", entry), 0);
    EXPECT_EQ(entry.creator_id, kAdminId);
    EXPECT_EQ(fx_.Calls(), (std::vector<std::string>{
                               "NWSetPreferredDSTree ACME",
                               "NWDSCreateContextHandle",
                               "NWDSSetContext 3 ",
                               "NWDSAllocBuf 4096",
                               "NWDSAllocBuf 4096",
                               "NWDSInitBuf 3",
                               "NWDSPutAttrName Host Server",
                               "NWDSPutAttrName Host Resource Name",
                               "NWDSRead DATAVOL.ACME",
                               "NWDSGetAttrCount",
                               "NWDSGetAttrName",
                               "NWDSGetAttrVal",
                               "NWDSGetAttrName",
                               "NWDSGetAttrVal",
                               "NWDSInitBuf 3",
                               "NWDSPutAttrName CN",
                               "NWDSRead FS1.ACME",
                               "NWDSGetAttrCount",
                               "NWDSGetAttrName",
                               "NWDSGetAttrVal",
                               "NWGetConnectionIDFromName FS1",
                               "NWGetFileServerVersionInfo 1",
                               "NWGetVolumeNumber 1 SYS",
                               "NWGetNSLoadedList 1 0",
                               "NWDSFreeBuf",
                               "NWDSFreeBuf",
                               "NWDSFreeContext",
                               "NWAllocPermanentDirectoryHandle 1 SYS:\\DOCS",
                               "NWIntScanExtendedInfo 1 A.TXT 6",
                           }));
    const NetWareServerEntry& server = layer_.servers()[0];
    EXPECT_EQ(server.state, NetWareServerEntry::kConnectedByVolumeObject);
    EXPECT_EQ(server.lookup_name, "ACME");
    EXPECT_EQ(server.server_name, "FS1");
    EXPECT_EQ(fx_.nwfx_live_handles(), 0);

    // An object the tree does not know is taken as server_volume.context.
    fx_.nwfx_clear_calls();
    ASSERT_EQ(Read(layer_, "\\\\ACME\\.FS3_VOL1.SALES.ACME\\README.TXT", entry), 0);
    EXPECT_EQ(entry.creator_id, 0x0A000001u);
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 1);
    EXPECT_EQ(fx_.Calls()[fx_.Calls().size() - 2], "NWAllocPermanentDirectoryHandle 2 VOL1:");
    EXPECT_EQ(fx_.nwfx_live_handles(), 0);

    // A share without a dot never asks the directory tree.
    NetWareLayer by_name(NetWareFixture::kPath);
    fx_.nwfx_clear_calls();
    ASSERT_EQ(Read(by_name, "\\\\FS3\\VOL1\\README.TXT", entry), 0);
    EXPECT_EQ(fx_.Calls().front(), "NWGetConnectionIDFromName FS3");
    EXPECT_EQ(fx_.Count("NWSetPreferredDSTree") + fx_.Count("NWDSRead"), 0);
}

TEST_F(NetWareLayerTest, AFailedResolveConnectsOnceMoreThenGivesTheLibrarysError) {
    fx_.nwfx_fail("NWGetVolumeNumber", 0x98, 1);
    ASSERT_EQ(layer_.NwResolvePath("\\\\FS1\\SYS\\DOCS\\A.TXT"), 0);
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 2);

    NetWareLayer other(NetWareFixture::kPath);
    fx_.nwfx_clear_calls();
    fx_.nwfx_fail("NWGetConnectionIDFromName", 0x880F, 2);
    EXPECT_EQ(other.NwResolvePath("\\\\FS1\\SYS\\A.TXT"), 0x880F);
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 2);
    // The freed entry is connected anew by the next call.
    EXPECT_EQ(other.NwResolvePath("\\\\FS1\\SYS\\DOCS\\A.TXT"), 0);

    for (const char* malformed : {"", "\\", "\\\\FS1", "FS1\\SYS\\A", "\\\\FS1\\"})
        EXPECT_EQ(other.NwResolvePath(malformed), kNetWareLayerError) << malformed;
}

TEST_F(NetWareLayerTest, AThirtyThirdServerIsRefusedWhileThirtyTwoAreInUse) {
    char name[16];
    for (int i = 1; i <= 33; ++i) {
        std::snprintf(name, sizeof name, "S%02d", i);
        fx_.nwfx_add_server(name, 4, 0, "");
        fx_.nwfx_add_volume(name, "VOL", 0, 10, 1, 0, 8);
    }
    for (int i = 1; i <= 32; ++i) {
        std::snprintf(name, sizeof name, "S%02d", i);
        ASSERT_EQ(layer_.NwResolvePath("\\\\" + std::string(name) + "\\VOL\\"), 0) << name;
    }
    fx_.nwfx_clear_calls();
    EXPECT_EQ(layer_.NwResolvePath("\\\\S33\\VOL\\"), kNetWareLayerError);
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 0);
    // The server in use stays connected and current.
    EXPECT_EQ(layer_.servers()[layer_.current_server()].lookup_name, "S32");
    EXPECT_EQ(layer_.NwResolvePath("\\\\S32\\VOL\\"), 0);
    EXPECT_EQ(layer_.NwResolvePath("\\\\S01\\VOL\\"), 0);
    EXPECT_EQ(fx_.Count("NWGetConnectionIDFromName"), 0);
}

struct CompressionCase {
    const char* file;
    int mode;
    bool result;
    bool writes;
    std::uint32_t attributes_after;  // of the compression bits
};

TEST_F(NetWareLayerTest, CompressionFollowsTheEntrysAttributes) {
    const CompressionCase cases[] = {
        {"CANT.TXT", 1, false, false, kCantCompress},
        {"DONT.TXT", 1, false, false, kDontCompress},
        {"PACKED.TXT", 1, true, false, kCompressed},
        {"PENDING.TXT", 1, true, false, kImmediateCompress},
        {"A.TXT", 1, true, true, kImmediateCompress},
        {"B.TXT", 0, true, false, 0},
        {"PENDING.TXT", 0, true, true, 0},
        {"PACKED.TXT", 0, true, true, kCompressed},
    };
    const std::uint32_t bits = kImmediateCompress | kCompressed | kDontCompress | kCantCompress;
    for (const CompressionCase& c : cases) {
        fx_.nwfx_clear_calls();
        const std::string path = std::string("\\\\FS1\\SYS\\DOCS\\") + c.file;
        EXPECT_EQ(layer_.NwSetCompression(path, c.mode, ""), c.result) << c.file << " mode " << c.mode;
        EXPECT_EQ(fx_.Count("NWSetDirEntryInfo"), c.writes ? 1 : 0) << c.file << " mode " << c.mode;
        const NWEntryRecord entry = fx_.Entry("FS1", "SYS", (std::string("DOCS\\") + c.file).c_str());
        EXPECT_EQ(entry.attributes & bits, c.attributes_after) << c.file << " mode " << c.mode;
        if (c.writes) {
            const std::string write = fx_.Calls().back();
            EXPECT_EQ(write.substr(write.rfind(' ') + 1), "2050");
        }
    }
    // Servers before 4.00 do not compress.
    fx_.nwfx_clear_calls();
    EXPECT_FALSE(layer_.NwSetCompression("\\\\FS3\\VOL1\\README.TXT", 1, ""));
    EXPECT_EQ(fx_.Count("NWIntScanExtendedInfo") + fx_.Count("NWSetDirEntryInfo"), 0);
}

TEST_F(NetWareLayerTest, VolumeSpaceCountsAvailableAndPurgeableBlocksAsFree) {
    NetWareVolumeSpace space;
    ASSERT_EQ(layer_.NwVolumeSpace("FS1", "SYS", space), 0);
    EXPECT_EQ(space.cluster_size, 4096u);
    EXPECT_EQ(space.size, 1000u * 4096);
    EXPECT_EQ(space.free, 250u * 4096);
    EXPECT_EQ(space.used, 750u * 4096);
    EXPECT_NE(layer_.NwVolumeSpace("FS1", "NOVOL", space), 0);
}

TEST_F(NetWareLayerTest, OwnerNamesComeFromTheTreeOrTheBinderyThroughTheOneEntryCache) {
    NWEntryRecord entry{};
    ASSERT_EQ(Read(layer_, "\\\\FS1\\SYS\\DOCS\\A.TXT", entry), 0);
    std::string name;
    EXPECT_EQ(layer_.NetWareOwnerName(entry.creator_id, name), 0);
    EXPECT_EQ(name, "ADMIN.ACME");
    ASSERT_EQ(Read(layer_, "\\\\FS1\\SYS\\DOCS\\B.TXT", entry), 0);
    EXPECT_EQ(layer_.NetWareOwnerName(entry.creator_id, name), 0);
    EXPECT_EQ(fx_.Count("NWDSMapIDToName"), 1);
    EXPECT_EQ(fx_.nwfx_live_handles(), 0);

    // An ID the tree does not know is asked of the bindery.
    fx_.nwfx_add_bindery_object("FS1", 0x0B000001, "PRINTQ", 3);
    EXPECT_EQ(layer_.NetWareOwnerName(0x0B000001, name), 0);
    EXPECT_EQ(name, "PRINTQ");
    EXPECT_EQ(fx_.Count("NWGetObjectName"), 1);

    // Neither knows it: the ID's bytes in storage order, the cache kept.
    std::uint32_t unknown = 0;
    const unsigned char stored[4] = {0x01, 0x02, 0x03, 0x04};
    std::memcpy(&unknown, stored, sizeof unknown);
    EXPECT_NE(layer_.NetWareOwnerName(unknown, name), 0);
    EXPECT_EQ(name, "(Invalid ID:01020304)");
    EXPECT_EQ(layer_.NetWareOwnerName(0x0B000001, name), 0);
    EXPECT_EQ(fx_.Count("NWGetObjectName"), 2);  // the unknown one only

    // A server before 4.00 has only its bindery; switching servers empties the cache.
    EXPECT_FALSE(layer_.NetWareOwnerOfPath("\\\\FS3\\VOL1\\README.TXT", name));
    EXPECT_EQ(name, "SUPERVISOR");
    EXPECT_FALSE(layer_.NetWareOwnerOfPath("\\\\FS1\\SYS\\DOCS\\A.TXT", name));
    EXPECT_EQ(name, "ADMIN.ACME");
    EXPECT_EQ(fx_.Count("NWDSMapIDToName"), 4);

    EXPECT_TRUE(layer_.NetWareOwnerOfPath("\\\\FS1\\SYS\\DOCS\\MISSING.TXT", name));
    EXPECT_EQ(name, "(Unknown)");
    name = "kept";
    EXPECT_TRUE(layer_.NetWareOwnerOfPath("\\\\NOSERVER\\SYS\\A.TXT", name));
    EXPECT_EQ(name, "kept");
}

TEST_F(NetWareLayerTest, SettingAnOwnerWritesOnlyTheCreator) {
    // Without long names the entry record goes back whole, creator changed.
    EXPECT_FALSE(layer_.NetWareSetOwner("\\\\FS1\\SYS\\DOCS\\PENDING.TXT", "JDOE.SALES.ACME"));
    NWEntryRecord entry = fx_.Entry("FS1", "SYS", "DOCS\\PENDING.TXT");
    EXPECT_EQ(entry.creator_id, kJdoeId);
    EXPECT_EQ(entry.attributes, kImmediateCompress);
    EXPECT_EQ(fx_.Calls().back().substr(0, 17), "NWSetDirEntryInfo");
    EXPECT_EQ(fx_.Calls().back().substr(fx_.Calls().back().rfind(' ') + 1), "16");
    std::string name;
    EXPECT_FALSE(layer_.NetWareOwnerOfPath("\\\\FS1\\SYS\\DOCS\\PENDING.TXT", name));
    EXPECT_EQ(name, "JDOE.SALES.ACME");

    // With long names through the long name space.
    EXPECT_FALSE(layer_.NetWareSetOwner("\\\\FS1\\DATA\\Quarterly Report.xlsx", "ADMIN.ACME"));
    EXPECT_EQ(fx_.Entry("FS1", "DATA", "Quarterly Report.xlsx").creator_id, kAdminId);
    EXPECT_EQ(fx_.Calls().back(), "NWSetNSEntryDOSInfo Quarterly Report.xlsx 16");

    // A bindery server: users first, then any object type.
    EXPECT_FALSE(layer_.NetWareSetOwner("\\\\FS3\\VOL1\\README.TXT", "everyone"));
    EXPECT_EQ(fx_.Entry("FS3", "VOL1", "README.TXT").creator_id, 0x0A000003u);
    EXPECT_EQ(fx_.Count("NWScanObject"), 2);

    fx_.nwfx_clear_calls();
    EXPECT_TRUE(layer_.NetWareSetOwner("\\\\FS3\\VOL1\\README.TXT", "NOBODY"));
    EXPECT_EQ(fx_.Count("NWSetDirEntryInfo"), 0);
}

TEST_F(NetWareLayerTest, AccountsAreTheBinderyUsersOrTheDirectoryTree) {
    AccountTree tree;
    EXPECT_EQ(layer_.ListNetWareAccounts("FS3", "VOL1", tree), 2);
    ASSERT_EQ(tree.top_items().size(), 1u);
    const AccountTree::ItemId server = tree.top_items()[0];
    EXPECT_EQ(tree.item(server).text, "Server: FS3");
    ASSERT_EQ(tree.children(server).size(), 2u);
    EXPECT_EQ(tree.item(tree.children(server)[0]).text, "GUEST");
    EXPECT_EQ(tree.item(tree.children(server)[1]).value, 1);

    fx_.nwfx_add_ds_object("CLERK.ACME", "USER", 0x33);
    fx_.nwfx_add_ds_object("TEMP.ACME", "USER", 0x34);
    EXPECT_EQ(layer_.ListNetWareAccounts("FS1", "SYS", tree), 1);
    const AccountTree::ItemId top = tree.top_items().at(0);
    EXPECT_EQ(tree.item(top).text, "Tree: ACME");
    const AccountTree::ItemId acme = tree.children(top).at(0);
    EXPECT_EQ(tree.item(acme).text, "ACME");
    EXPECT_EQ(tree.item(acme).value, 0);
    EXPECT_EQ(tree.item(acme).child_marker, 6);

    // Expanding a container lists it, over several batches of the search.
    tree.Select(acme);
    EXPECT_EQ(layer_.ListNdsChildren(tree), 4);
    std::vector<std::string> below;
    for (const AccountTree::ItemId child : tree.children(acme))
        below.push_back(tree.item(child).text + (tree.item(child).value == 1 ? " user" : " container"));
    EXPECT_EQ(below, (std::vector<std::string>{"ADMIN.ACME user", "CLERK.ACME user", "SALES.ACME container",
                                               "TEMP.ACME user"}));
    EXPECT_GT(fx_.Count("NWDSSearch"), 2);
    EXPECT_EQ(fx_.nwfx_live_handles(), 0);
}

TEST(NetWareLayerWithoutClient, EveryOperationFailsAndNothingIsTouched) {
    for (const char* library : {"/nonexistent/libkorvane-netware-client.so.1", "libc.so.6"}) {
        NetWareLayer layer(library);
        NWEntryRecord entry{};
        EXPECT_EQ(layer.NwResolvePath("\\\\FS1\\SYS\\A.TXT"), kNetWareLayerError) << library;
        EXPECT_EQ(layer.NwReadEntry("A.TXT", entry), kNetWareLayerError);
        EXPECT_EQ(layer.NwWriteEntry("A.TXT", kModifyAttributes, entry), kNetWareLayerError);
        NetWareVolumeSpace space;
        EXPECT_EQ(layer.NwVolumeSpace("FS1", "SYS", space), kNetWareLayerError);
        EXPECT_FALSE(layer.NwSetCompression("\\\\FS1\\SYS\\A.TXT", 1, ""));
        std::string name = "kept";
        EXPECT_TRUE(layer.NetWareOwnerOfPath("\\\\FS1\\SYS\\A.TXT", name));
        EXPECT_EQ(name, "kept");
        EXPECT_TRUE(layer.NetWareSetOwner("\\\\FS1\\SYS\\A.TXT", "ADMIN"));
        AccountTree tree;
        EXPECT_EQ(layer.ListNetWareAccounts("FS1", "SYS", tree), 0);
        EXPECT_FALSE(layer.ClientLoaded());
        EXPECT_FALSE(layer.client_error().empty());
    }
}

}  // namespace
}  // namespace korvane::testing
