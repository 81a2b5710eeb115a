#include "catalogue/user_volumes.h"

#include <gtest/gtest.h>

#include <vector>

#include "catalogue_fixture.h"

namespace korvane::testing {
namespace {

class UserVolumesTest : public EngineCatalogueTest {
  protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        ASSERT_TRUE(OpenUserVolumes(catalogue_));
    }

    std::int32_t Add(const std::string& location, const std::string& user = "",
                     const std::string& password = "", std::int32_t flags = 0, std::int32_t port = 0) {
        UserVolumeRecord record;
        record.location = location;
        record.user_name = user;
        record.password = password;
        record.flags = flags;
        record.port = port;
        EXPECT_TRUE(AddUserVolume(catalogue_, record));
        return record.uv_id;
    }
};

TEST_P(UserVolumesTest, AddedRowsGetNumbersAndReadBack) {
    const std::int32_t share = Add("\\\\srv\\share\\dept");
    const std::int32_t site =
        Add("ftp:ftp.example.com/pub", "anonymous", "korvane@localhost", kPassiveTransfers, 21);
    EXPECT_GT(share, 0);
    EXPECT_EQ(site, share + 1);

    UserVolumeRecord record;
    ASSERT_TRUE(SeekUserVolume(catalogue_, site));
    ASSERT_TRUE(ReadUserVolume(catalogue_, record));
    EXPECT_EQ(record.uv_id, site);
    EXPECT_EQ(record.location, "ftp:ftp.example.com/pub");
    EXPECT_EQ(record.user_name, "anonymous");
    EXPECT_EQ(record.password, "korvane@localhost");
    EXPECT_EQ(record.flags, 1);
    EXPECT_EQ(record.port, 21);

    // Empty user name and password are left null, and read back empty.
    ASSERT_TRUE(SeekUserVolume(catalogue_, share));
    EXPECT_TRUE(catalogue_.user_volumes_table().IsNull("UserName"));
    EXPECT_TRUE(catalogue_.user_volumes_table().IsNull("Password"));
    EXPECT_FALSE(catalogue_.user_volumes_table().IsNull("Port"));
    ASSERT_TRUE(ReadUserVolume(catalogue_, record));
    EXPECT_EQ(record.user_name, "");
    EXPECT_EQ(record.port, 0);
    EXPECT_FALSE(SeekUserVolume(catalogue_, 999));
    EXPECT_FALSE(ReadUserVolume(catalogue_, record));
    EXPECT_EQ(record.location, "");
}

TEST_P(UserVolumesTest, ListingAndDeletingSurviveReopening) {
    const std::int32_t a = Add("C:\\Data");
    const std::int32_t b = Add("/mnt/share");
    const std::int32_t c = Add("ftp:host");
    ASSERT_TRUE(DeleteUserVolume(catalogue_, b));
    EXPECT_FALSE(DeleteUserVolume(catalogue_, b));
    ASSERT_TRUE(CloseUserVolumes(catalogue_));
    EXPECT_FALSE(CloseUserVolumes(catalogue_));
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    ASSERT_TRUE(catalogue_.OpenCatalogue(path_));
    ASSERT_TRUE(OpenUserVolumes(catalogue_));

    std::vector<std::int32_t> ids;
    UserVolumeRecord record;
    for (bool more = FirstUserVolume(catalogue_, record); more; more = NextUserVolume(catalogue_, record)) {
        ids.push_back(record.uv_id);
    }
    EXPECT_EQ(ids, (std::vector<std::int32_t>{a, c}));
    // A deleted number is never handed out again.
    EXPECT_EQ(Add("D:"), c + 1);
}

TEST_P(UserVolumesTest, BuildsLeaveUserVolumesAlone) {
    Add("ftp:host");
    OpenTables();
    ASSERT_TRUE(catalogue_.EmptyCatalogueTables());
    ASSERT_TRUE(catalogue_.CloseCatalogueTables());
    UserVolumeRecord record;
    ASSERT_TRUE(FirstUserVolume(catalogue_, record));
    EXPECT_EQ(record.location, "ftp:host");
}

TEST_P(UserVolumesTest, ClosedTableRefusesEverything) {
    ASSERT_TRUE(CloseUserVolumes(catalogue_));
    UserVolumeRecord record;
    record.location = "C:";
    EXPECT_FALSE(AddUserVolume(catalogue_, record));
    EXPECT_FALSE(FirstUserVolume(catalogue_, record));
    EXPECT_FALSE(SeekUserVolume(catalogue_, 1));
    ASSERT_TRUE(catalogue_.CloseCatalogue());
    EXPECT_FALSE(OpenUserVolumes(catalogue_));
}

TEST(UserVolumeTokens, PrefixesAndNumbers) {
    EXPECT_TRUE(IsFtpLocation("ftp:host/pub"));
    EXPECT_FALSE(IsFtpLocation("ftp"));
    EXPECT_FALSE(IsFtpLocation("C:\\ftp:"));
    EXPECT_TRUE(IsUserVolumeToken("uv: 7"));
    EXPECT_FALSE(IsUserVolumeToken("uv:7"));
    EXPECT_EQ(UserVolumeToken(7), "uv: 7");
    EXPECT_EQ(UserVolumeNumber(UserVolumeToken(7)), 7);
    EXPECT_EQ(UserVolumeNumber("uv: 12abc"), 12);
    EXPECT_EQ(UserVolumeNumber("uv: "), 0);
    EXPECT_EQ(UserVolumeNumber("uv: x"), 0);
    EXPECT_EQ(UserVolumeNumber("uv: 99999999999"), 0);
    EXPECT_EQ(UserVolumeNumber("C:"), 0);
}

INSTANTIATE_ON_BOTH_ENGINES(UserVolumesTest);

}  // namespace
}  // namespace korvane::testing
