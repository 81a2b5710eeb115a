#include "catalogue/user_volume_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace korvane::testing {
namespace {

// The platform lookups as they would answer on a machine where /mnt/share is
// a cifs mount of //srv/share/dept and /data a local disk.
LocationLookup MachineLookup() {
    LocationLookup lookup;
    lookup.root_of_location = [](std::string_view location) {
        return RootOfLocation(location, std::vector<std::string>{"/", "/mnt/share", "/data"});
    };
    lookup.split_network_name = [](std::string_view name) -> std::optional<NetworkName> {
        if (name == "/mnt/share") {
            return NetworkName{"srv", "share", "dept"};
        }
        return SplitUncName(name);
    };
    return lookup;
}

void ExpectKindShown(const AddVolumeForm& form, UserVolumeKind kind) {
    const bool ftp = kind == UserVolumeKind::Ftp;
    EXPECT_EQ(form.kind, kind);
    EXPECT_EQ(form.type_line, ftp ? "FTP" : kind == UserVolumeKind::Remote ? "Remote" : "Local");
    EXPECT_EQ(form.ftp_site_selected, ftp);
    EXPECT_EQ(form.use_default.checked, kind != UserVolumeKind::Local);
    EXPECT_EQ(form.use_default.enabled, kind != UserVolumeKind::Local);
    EXPECT_FALSE(form.save_password.checked);
    EXPECT_FALSE(form.save_password.enabled);
    EXPECT_FALSE(form.passive.checked);
    EXPECT_EQ(form.passive.enabled, ftp);
    EXPECT_EQ(form.user_name.text, ftp ? "anonymous" : "");
    EXPECT_FALSE(form.user_name.enabled);
    EXPECT_EQ(form.password.text, ftp ? std::string(kDefaultFtpPassword) : "");
    EXPECT_FALSE(form.password.enabled);
    EXPECT_EQ(form.port.text, ftp ? "21" : "");
    EXPECT_FALSE(form.port.enabled);
    EXPECT_TRUE(form.browse_enabled);
}

TEST(AddVolumeRules, EachKindShowsItsControls) {
    AddVolumeForm form = NewAddVolumeForm();
    ExpectKindShown(form, UserVolumeKind::Local);
    ChooseFtpSite(form);
    ExpectKindShown(form, UserVolumeKind::Ftp);
    ShowVolumeKind(form, UserVolumeKind::Remote);
    ExpectKindShown(form, UserVolumeKind::Remote);
    ChooseLogicalDrive(form);  // not FTP: nothing changes
    ExpectKindShown(form, UserVolumeKind::Remote);
    ChooseFtpSite(form);
    form.passive.checked = true;
    ChooseFtpSite(form);  // already FTP: the tick stays
    EXPECT_TRUE(form.passive.checked);
    ChooseLogicalDrive(form);
    ExpectKindShown(form, UserVolumeKind::Local);
    EXPECT_TRUE(kDefaultFtpPassword.find('@') != std::string_view::npos);
}

TEST(AddVolumeRules, UseDefaultAndSavePasswordSwitchTheLoginFields) {
    AddVolumeForm form = NewAddVolumeForm();
    ChooseFtpSite(form);
    SetUseDefault(form, false);
    EXPECT_TRUE(form.user_name.enabled);
    EXPECT_EQ(form.user_name.text, "anonymous");
    EXPECT_EQ(form.password.text, "");
    EXPECT_FALSE(form.password.enabled);
    EXPECT_TRUE(form.save_password.enabled);
    EXPECT_TRUE(form.port.enabled);
    SetSavePassword(form, true);
    EXPECT_TRUE(form.password.enabled);
    form.password.text = "typed";
    SetSavePassword(form, false);
    EXPECT_FALSE(form.password.enabled);
    EXPECT_EQ(form.password.text, "");
    SetSavePassword(form, true);
    form.user_name.text = "bob";
    form.port.text = "2121";
    SetUseDefault(form, true);
    ExpectKindShown(form, UserVolumeKind::Ftp);

    ShowVolumeKind(form, UserVolumeKind::Remote);
    SetUseDefault(form, false);
    EXPECT_TRUE(form.user_name.enabled);
    EXPECT_FALSE(form.port.enabled);
}

TEST(AddVolumeRules, OkChecksInOrderAndKeepsTheFocusOnTheField) {
    const LocationLookup lookup = MachineLookup();
    AddVolumeForm form = NewAddVolumeForm();
    UserVolumeRecord record;
    AddVolumeOutcome outcome = AcceptAddVolume(form, record, lookup);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "You must supply a location.");
    EXPECT_EQ(outcome.focus, AddVolumeField::Location);

    ChooseFtpSite(form);
    form.location = "host";
    SetUseDefault(form, false);
    form.user_name.text.clear();
    outcome = AcceptAddVolume(form, record, lookup);
    EXPECT_EQ(outcome.message, "You must supply a username or turn the 'Use default' option on.");
    EXPECT_EQ(outcome.focus, AddVolumeField::UserName);

    form.user_name.text = "bob";
    SetSavePassword(form, true);
    outcome = AcceptAddVolume(form, record, lookup);
    EXPECT_EQ(
        outcome.message,
        "You must supply a password, turn the 'Use default' option on, or turn the 'Save password' option "
        "off.");
    EXPECT_EQ(outcome.focus, AddVolumeField::Password);

    // With "Save Password" off the stored password is empty.
    SetSavePassword(form, false);
    outcome = AcceptAddVolume(form, record, lookup);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(record.user_name, "bob");
    EXPECT_EQ(record.password, "");
}

TEST(AddVolumeRules, FtpLocationsUseSlashesWithoutAFinalOne) {
    const LocationLookup lookup = MachineLookup();
    AddVolumeForm form = NewAddVolumeForm();
    ChooseFtpSite(form);
    form.location = "ftp.example.com\\pub\\";
    form.passive.checked = true;
    UserVolumeRecord record;
    ASSERT_TRUE(AcceptAddVolume(form, record, lookup).ok);
    EXPECT_EQ(record.location, "ftp:ftp.example.com/pub");
    EXPECT_EQ(form.location, "ftp:ftp.example.com/pub");
    EXPECT_EQ(record.user_name, "anonymous");
    EXPECT_EQ(record.password, kDefaultFtpPassword);
    EXPECT_EQ(record.port, 21);
    EXPECT_EQ(record.flags, kPassiveTransfers);

    EXPECT_EQ(NormaliseFtpLocation("ftp://host/dir/"), "ftp:host/dir");
    EXPECT_EQ(NormaliseFtpLocation("FTP:host"), "ftp:host");
    EXPECT_EQ(NormaliseFtpLocation("host//"), "ftp:host/");
}

TEST(AddVolumeRules, PortIsTheFieldsLeadingNumberOrZero) {
    const LocationLookup lookup = MachineLookup();
    const std::map<std::string, std::int32_t> ports = {{"2121", 2121}, {"", 0},   {"abc", 0},
                                                       {"99x", 99},    {"-5", 0}, {"99999999999", 0}};
    for (const auto& [text, port] : ports) {
        AddVolumeForm form = NewAddVolumeForm();
        ChooseFtpSite(form);
        form.location = "host";
        form.port.text = text;
        UserVolumeRecord record;
        ASSERT_TRUE(AcceptAddVolume(form, record, lookup).ok);
        EXPECT_EQ(record.port, port) << text;
    }
}

TEST(AddVolumeRules, LogicalDrivesBecomeLocalOrRemote) {
    const LocationLookup lookup = MachineLookup();
    struct Case {
        std::string typed;
        UserVolumeKind kind;
        std::string location;
    };
    const Case cases[] = {
        {"\\\\srv\\share\\Projects\\", UserVolumeKind::Remote, "\\\\srv\\share\\Projects"},
        {"\\\\srv\\share", UserVolumeKind::Remote, "\\\\srv\\share"},
        {"/mnt/share/Projects/", UserVolumeKind::Remote, "/mnt/share/Projects"},
        {"/data/photos", UserVolumeKind::Local, "/data/photos"},
        {"/", UserVolumeKind::Local, "/"},
        {"C:\\Data\\", UserVolumeKind::Local, "C:\\Data"},
        {"C:\\", UserVolumeKind::Local, "C:"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        NormalisedLocation normalised = NormaliseLogicalDrive(c.typed, lookup);
        EXPECT_EQ(normalised.kind, c.kind);
        EXPECT_EQ(normalised.location, c.location);
    }
}

TEST(AddVolumeRules, LocalVolumeStoresNoLoginAndRemoteKeepsWhatWasTyped) {
    const LocationLookup lookup = MachineLookup();
    AddVolumeForm form = NewAddVolumeForm();
    form.location = "/data/photos";
    UserVolumeRecord record;
    ASSERT_TRUE(AcceptAddVolume(form, record, lookup).ok);
    EXPECT_EQ(record.location, "/data/photos");
    EXPECT_EQ(record.user_name, "");
    EXPECT_EQ(record.password, "");
    EXPECT_EQ(record.port, 0);
    EXPECT_EQ(record.flags, 0);

    form.location = "\\\\srv\\share\\x";
    ASSERT_TRUE(AcceptAddVolume(form, record, lookup).ok);
    EXPECT_EQ(form.kind, UserVolumeKind::Remote);
    EXPECT_EQ(form.type_line, "Remote");
    EXPECT_EQ(record.location, "\\\\srv\\share\\x");
}

TEST(AddVolumeRules, BrowsingFillsTheLocationAndShowsTheKind) {
    const LocationLookup lookup = MachineLookup();
    AddVolumeForm form = NewAddVolumeForm();
    AddVolumeOutcome outcome = TakeBrowsedFolder(form, std::nullopt, lookup);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "Invalid selection.");
    ASSERT_TRUE(TakeBrowsedFolder(form, std::string_view("/mnt/share/a/"), lookup).ok);
    EXPECT_EQ(form.location, "/mnt/share/a");
    ExpectKindShown(form, UserVolumeKind::Remote);

    EXPECT_EQ(FtpBrowseHost("ftp.example.com\\pub\\docs"), "ftp.example.com");
    EXPECT_EQ(FtpBrowseHost("ftp:host/pub"), "host");
    EXPECT_EQ(FtpBrowseHost("host"), "host");
    ChooseFtpSite(form);
    TakeFtpBrowse(form, "host", "/");
    UserVolumeRecord record;
    ASSERT_TRUE(AcceptAddVolume(form, record, lookup).ok);
    EXPECT_EQ(record.location, "ftp:host");
    TakeFtpBrowse(form, "host", "/pub/docs");
    ASSERT_TRUE(AcceptAddVolume(form, record, lookup).ok);
    EXPECT_EQ(record.location, "ftp:host/pub/docs");
}

}  // namespace
}  // namespace korvane::testing
