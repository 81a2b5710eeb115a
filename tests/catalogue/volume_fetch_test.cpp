#include "catalogue/volume_fetch.h"

#include <gtest/gtest.h>

#include "catalogue/fetch_templates.h"
#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

class VolumeFetchTest : public EngineCatalogueTest {
  protected:
    void AddVolume(std::int32_t id, const std::string& root, bool full = true) {
        TableCursor& volume = catalogue_.volume_table();
        ASSERT_TRUE(volume.AddNew());
        volume.SetInt("Volume ID", id);
        volume.SetInt("Folder ID", id * 10);
        volume.SetText("Root", root);
        volume.SetText("Name", "label " + std::to_string(id));
        volume.SetText("Type", "Fixed Drive");
        if (full) {
            volume.SetText("Owner", "server");
            volume.SetText("Format", "ext4");
            volume.SetText("UserName", "user");
            volume.SetText("Password", "secret");
        }
        volume.SetInt("Serial Number", -2);
        volume.SetDouble("Size", 1e12);
        volume.SetDouble("Used", 4e11);
        volume.SetDouble("Free", 6000000000.75);
        volume.SetInt("Files", 12345);
        volume.SetInt("Folders", 678);
        volume.SetInt("VolType", 1);
        volume.SetInt("Flags", 1);
        ASSERT_TRUE(volume.Update()) << volume.last_error();
    }
};

TEST_P(VolumeFetchTest, ByIdReadsTheFifteenColumnsAndNotTheSizes) {
    OpenTables();
    AddVolume(1, "C:");
    AddVolume(2, "/mnt/data");
    VolumeScanRecord record;
    ASSERT_TRUE(FetchVolumeById(catalogue_, 2, record));
    EXPECT_EQ(record.volume_id, 2);
    EXPECT_EQ(record.root_folder_id, 20);
    EXPECT_EQ(record.root, "/mnt/data");
    EXPECT_EQ(record.name, "label 2");
    EXPECT_EQ(record.owner, "server");
    EXPECT_EQ(record.media, "Fixed Drive");
    EXPECT_EQ(record.format, "ext4");
    EXPECT_EQ(record.folders, 678);
    EXPECT_EQ(record.files, 12345);
    EXPECT_EQ(record.free, 6000000000ULL);
    EXPECT_EQ(record.volume_type, 1);
    EXPECT_EQ(record.serial_number, 0xFFFFFFFEU);
    EXPECT_EQ(record.user_name, "user");
    EXPECT_EQ(record.password, "secret");
    EXPECT_EQ(record.flags, 1);
    EXPECT_EQ(record.size, 0U);
    EXPECT_EQ(record.used, 0U);
    EXPECT_EQ(record.cluster_size, 0U);
    // The stored query holds the template's text, and is closed again.
    EXPECT_FALSE(catalogue_.stored_query().IsOpen());
    ASSERT_TRUE(catalogue_.stored_query().OpenStoredQuery("FetchVolume"));
    EXPECT_EQ(catalogue_.stored_query().sql(), FetchVolumeByIdSql(2));
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_P(VolumeFetchTest, MissingVolumeFailsAndLeavesTheRecordZero) {
    OpenTables();
    AddVolume(1, "C:");
    VolumeScanRecord record;
    record.name = "stale";
    record.size = 99;
    EXPECT_FALSE(FetchVolumeById(catalogue_, 2, record));
    EXPECT_EQ(record.name, "");
    EXPECT_EQ(record.size, 0U);
    EXPECT_EQ(record.volume_id, 0);
    EXPECT_FALSE(FetchVolumeByRoot(catalogue_, "D:\\Data", record));
    EXPECT_EQ(record.root, "");
}

TEST_P(VolumeFetchTest, NullColumnsStayZero) {
    OpenTables();
    AddVolume(3, "\\\\srv\\share", false);
    VolumeScanRecord record;
    ASSERT_TRUE(FetchVolumeById(catalogue_, 3, record));
    EXPECT_EQ(record.owner, "");
    EXPECT_EQ(record.format, "");
    EXPECT_EQ(record.user_name, "");
    EXPECT_EQ(record.root, "\\\\srv\\share");
}

TEST_P(VolumeFetchTest, ByRootCutsTheLocationToItsRoot) {
    OpenTables();
    AddVolume(1, "C:");
    AddVolume(2, "\\\\srv\\share");
    AddVolume(3, "ftp:ftp.example.com");
    VolumeScanRecord record;
    ASSERT_TRUE(FetchVolumeByRoot(catalogue_, "C:\\Data\\Old", record));
    EXPECT_EQ(record.volume_id, 1);
    ASSERT_TRUE(FetchVolumeByRoot(catalogue_, "\\\\srv\\share\\dir\\sub", record));
    EXPECT_EQ(record.volume_id, 2);
    ASSERT_TRUE(FetchVolumeByRoot(catalogue_, "ftp:ftp.example.com/pub/docs", record));
    EXPECT_EQ(record.volume_id, 3);
    ASSERT_TRUE(FetchVolumeByRoot(catalogue_, "C:", record));
    EXPECT_EQ(record.volume_id, 1);
}

TEST_P(VolumeFetchTest, QuotesInARootCannotChangeTheStatement) {
    OpenTables();
    AddVolume(1, "ftp:we\"ird");
    AddVolume(2, "ftp:other");
    VolumeScanRecord record;
    ASSERT_TRUE(FetchVolumeByRoot(catalogue_, "ftp:we\"ird/pub", record));
    EXPECT_EQ(record.volume_id, 1);
    // A root crafted to close the literal and widen the condition finds nothing.
    EXPECT_FALSE(FetchVolumeByRoot(catalogue_, "ftp:x\") OR (\"a\"=\"a", record));
    EXPECT_EQ(record.volume_id, 0);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST(FetchTemplates, TextsAreTheCatalogueTemplatesWithEscapedValues) {
    EXPECT_EQ(FetchVolumeByIdSql(7),
              "SELECT Volume.[Volume ID], Volume.[Folder ID], Volume.Root, Volume.Name, Volume.Owner, "
              "Volume.Type, Volume.Format, Volume.Folders, Volume.Files, Volume.Free, Volume.VolType, "
              "Volume.[Serial Number], Volume.UserName, Volume.Password, Volume.Flags\r\nFROM Volume\r\n"
              "WHERE (Volume.[Volume ID]=7);");
    const std::string by_root = FetchVolumeByRootSql("a\"b");
    EXPECT_EQ(by_root.substr(0, by_root.find("WHERE")),
              FetchVolumeByIdSql(7).substr(0, by_root.find("WHERE")));
    EXPECT_TRUE(by_root.ends_with("\r\nWHERE (((Volume.Root)=\"a\"\"b\"));")) << by_root;
    EXPECT_EQ(FetchFolderByIdSql(-3),
              "SELECT Folder.[Folder ID], Folder.Name, Folder.Size, Folder.Owner, Folder.Folders, "
              "Folder.[Attributes], Folder.[Parent ID]\r\nFROM Folder\r\nWHERE (Folder.[Folder ID]=-3);");
    EXPECT_EQ(FetchFileIdSql(12, "say \"hi\".txt"),
              "SELECT File.[File ID]\r\nFROM File\r\nWHERE (File.[Parent ID]=12) and "
              "(File.Name=\"say \"\"hi\"\".txt\");");
    const std::string columns =
        "SELECT File.[File ID], File.Name, File.Size, File.Compressed, File.[Create Date], File.[Modify "
        "Date], "
        "File.[Access Date], File.Owner, File.Attributes, File.[Parent ID]\r\nFROM File\r\n";
    EXPECT_EQ(FetchFileByNameSql("x", 4), columns + "WHERE (File.Name=\"x\") and (File.[Parent ID]=4);");
    EXPECT_EQ(FetchFileByIdSql(9), columns + "WHERE (File.[File ID]=9);");
}

TEST_P(VolumeFetchTest, FileTemplatesRunThroughTheStoredQuery) {
    OpenTables();
    AddFile(5, 2, "say \"hi\".txt", 10.0);
    AddFile(6, 2, "other.txt", 11.0);
    StoredQuery& query = catalogue_.stored_query();
    ASSERT_TRUE(query.OpenStoredQuery("FetchFile"));
    ASSERT_TRUE(query.SetStoredQuerySql(FetchFileIdSql(2, "say \"hi\".txt")));
    ASSERT_TRUE(query.OpenQuerySnapshot());
    FieldValue value;
    ASSERT_TRUE(query.QueryFieldValue(0, value));
    EXPECT_EQ(value, FieldValue::OfInteger(5));
    EXPECT_FALSE(query.NextQueryRow());
    ASSERT_TRUE(query.SetStoredQuerySql(FetchFileByNameSql("other.txt", 2)));
    ASSERT_TRUE(query.OpenQuerySnapshot());
    ASSERT_TRUE(query.QueryFieldValue(2, value));
    EXPECT_EQ(value, FieldValue::OfDouble(11.0));
    ASSERT_TRUE(query.OpenStoredQuery("FetchFolder"));
    ASSERT_TRUE(query.SetStoredQuerySql(FetchFolderByIdSql(1)));
    EXPECT_EQ(query.QueryColumnCount(), 7);
}

INSTANTIATE_ON_BOTH_ENGINES(VolumeFetchTest);

}  // namespace
}  // namespace korvane::testing
