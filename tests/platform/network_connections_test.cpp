#include "platform/network_connections.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "platform/mount_table.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(NetworkFstab, KeepsOnlyNetworkEntriesWithTheirRemoteNames) {
    const std::string fstab =
        "# /etc/fstab\n"
        "UUID=1234-abcd  /            ext4   defaults        0 1\n"
        "//fileserver/public  /mnt/public  cifs  credentials=/root/c,_netdev  0 0\n"
        "nas:/export/home  /mnt/home\\040dir  nfs4  rw  0 0\n"
        "joe@127.0.0.1:/srv/data  /mnt/ssh  fuse.sshfs  IdentityFile=/k  0 0\n"
        "tmpfs  /mnt/scratch  tmpfs  size=1m,_netdev  0 0\n"
        "proc /proc proc defaults 0 0\n"
        "broken-line-without-fields\n"
        "  \t# only a comment\n";
    const auto entries = ParseNetworkFstab(fstab);
    ASSERT_EQ(entries.size(), 4u);
    struct Expected {
        const char *mount_point, *fs_type, *server, *share;
    };
    const Expected expected[] = {
        {"/mnt/public", "cifs", "fileserver", "public"},
        {"/mnt/home dir", "nfs4", "nas", "/export/home"},
        {"/mnt/ssh", "fuse.sshfs", "127.0.0.1", "/srv/data"},
        {"/mnt/scratch", "tmpfs", nullptr, nullptr},
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(entries[i].mount_point, expected[i].mount_point);
        EXPECT_EQ(entries[i].fs_type, expected[i].fs_type);
        if (expected[i].server == nullptr) {
            EXPECT_FALSE(entries[i].remote.has_value());
        } else {
            ASSERT_TRUE(entries[i].remote.has_value());
            EXPECT_EQ(entries[i].remote->server, expected[i].server);
            EXPECT_EQ(entries[i].remote->share, expected[i].share);
        }
    }
}

TEST(NetworkFstab, ConnectedMountsAreTheRemoteOnesOfTheMountTable) {
    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
        "40 22 0:40 / /mnt/public rw - cifs //fileserver/public rw\n"
        "41 22 0:41 / /mnt/ssh rw,nosuid - fuse.sshfs joe@127.0.0.1:/srv/data rw\n"
        "42 22 0:42 / /mnt/nfs rw - nfs4 nas:/export rw\n"
        "43 22 0:43 / /run/user/0 rw - tmpfs tmpfs rw\n";
    const auto connected = ConnectedNetworkMounts(ParseMountInfo(mountinfo));
    ASSERT_EQ(connected.size(), 3u);
    EXPECT_EQ(connected[0].mount_point, "/mnt/public");
    EXPECT_EQ(connected[1].fs_type, "fuse.sshfs");
    ASSERT_TRUE(connected[1].remote.has_value());
    EXPECT_EQ(connected[1].remote->server, "127.0.0.1");
    EXPECT_EQ(connected[2].remote->share, "/export");
}

TEST(NetworkFstab, NoRememberedEntryLeavesBothListsEmpty) {
    TempDir dir;
    const std::string mountinfo = "40 22 0:40 / /mnt/public rw - cifs //fileserver/public rw\n";
    NetworkPrograms programs;
    programs.fstab_path = dir / "fstab";
    ASSERT_TRUE(WriteFileBytes(programs.fstab_path, "UUID=1 / ext4 defaults 0 1\n"));
    const auto lists = TakeNetworkConnections(programs, ParseMountInfo(mountinfo));
    EXPECT_TRUE(lists.remembered.empty());
    EXPECT_TRUE(lists.connected.empty());
    programs.fstab_path = dir / "missing";
    EXPECT_TRUE(TakeNetworkConnections(programs, ParseMountInfo(mountinfo)).connected.empty());
}

TEST(MapNetworkDrive, KindsOfLocation) {
    struct Case {
        const char* location;
        MapLocationKind kind;
    };
    const Case cases[] = {
        {"smb://server/share", MapLocationKind::Address},
        {"sftp://joe@host/home", MapLocationKind::Address},
        {"nfs://nas/export", MapLocationKind::Address},
        {"//server/share", MapLocationKind::Share},
        {"\\\\server\\share", MapLocationKind::Share},
        {"nas:/export/home", MapLocationKind::Share},
        {"smb://", MapLocationKind::Invalid},
        {"//server", MapLocationKind::Invalid},
        {"/local/folder", MapLocationKind::Invalid},
        {"plain words", MapLocationKind::Invalid},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KindOfMapLocation(c.location), c.kind) << c.location;
}

TEST(MapNetworkDrive, AFailedProgramKeepsItsErrorText) {
    NetworkPrograms programs;
    programs.mount = "/bin/sh";
    // A mount program that is not there, and one that fails with a message.
    programs.gio = "/nonexistent/gio";
    const ProgramOutcome missing = MapNetworkDrive(programs, "smb://server/share", "");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error_text.find("/nonexistent/gio"), std::string::npos);
    const ProgramOutcome failed = RunProgram("/bin/sh", {"-c", "echo 'no such share' >&2; exit 32"});
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.error_text, "no such share");
    EXPECT_TRUE(RunProgram("/bin/true", {}).ok);
}

// gio's side of the talk, played by shell scripts that prompt as gio does:
// each prompt gets its answer once on the standard input; a prompt asked
// again, a question, a guest asked for a name or a gio that hangs is ended
// with a plain reason instead of waiting for ever.
TEST(MapNetworkDrive, GiosPromptsAreAnsweredOnceAndAStuckGioIsEnded) {
    TempDir dir;
    const std::string answers = dir / "answers";
    const std::string asked_everything =
        "echo 'Authentication Required'\n"
        "printf 'User [guest]: '; read -r u\n"
        "printf 'Domain [WORKGROUP]: '; read -r d\n"
        "printf 'Password: '; read -r p; echo\n"
        "printf '%s|%s|%s|%s' \"$*\" \"$u\" \"$d\" \"$p\" >'" +
        answers + "'\n";
    const std::string asked_again =
        "echo 'Enter password for share'\n"
        "while :; do printf 'Password: '; read -r p || exit 2; done\n";
    struct Case {
        std::string script;
        const char* location;
        MapCredentials credentials;
        const char* error;     // empty when the mapping works
        const char* answered;  // what the script was given and read
    };
    const Case cases[] = {
        {asked_everything,
         "smb://srv/share",
         {false, "HOME\\joe", "se cret"},
         "",
         "mount smb://srv/share|joe|HOME|se cret"},
        {asked_everything,
         "SMB://srv/share",
         {false, "joe@home.lan", "pw"},
         "",
         "mount SMB://srv/share|joe|home.lan|pw"},
        {asked_everything,
         "sftp://srv/home",
         {false, "joe@home", "pw"},
         "",
         "mount sftp://srv/home|joe@home||pw"},
        {asked_again,
         "smb://srv/share",
         {false, "joe", "bad"},
         "The name or password was not accepted.",
         nullptr},
        {asked_again,
         "smb://srv/share",
         {false, "", ""},
         "This location asks for a name and password.",
         nullptr},
        {"echo 'Can not verify the identity of srv'; echo '[1] Log In Anyway'; printf 'Choice: '; read -r c "
         "|| exit 2\n",
         "sftp://srv/home",
         {false, "joe", "pw"},
         "gio asked \"Choice\", which Korvane cannot answer.",
         nullptr},
        {"printf 'User [guest]: '; read -r u || exit 2\n",
         "smb://srv/share",
         {true, "", ""},
         "This location does not let guests in; give a name and password.",
         nullptr},
        {"printf 'Password: '; read -r p; exec sleep 30\n",
         "smb://srv/share",
         {false, "joe", "pw"},
         "did not finish in time",
         nullptr},
        {"echo 'gio: smb://srv/share: Connection refused' >&2; exit 2\n",
         "smb://srv/share",
         {false, "", ""},
         "gio: smb://srv/share: Connection refused",
         nullptr},
    };
    NetworkPrograms programs;
    programs.gio = dir / "gio";
    programs.map_timeout_ms = 1500;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        std::filesystem::remove(answers);
        ASSERT_TRUE(WriteFileBytes(programs.gio, "#!/bin/sh\n" + c.script));
        ::chmod(programs.gio.c_str(), 0755);
        const auto started = std::chrono::steady_clock::now();
        const ProgramOutcome outcome = MapNetworkDrive(programs, c.location, "", c.credentials);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
        EXPECT_EQ(outcome.ok, std::string(c.error).empty()) << outcome.error_text;
        EXPECT_NE(outcome.error_text.find(c.error), std::string::npos) << outcome.error_text;
        if (c.answered != nullptr) {
            EXPECT_EQ(ReadFileBytes(answers), c.answered);
        }
        if (!c.credentials.password.empty()) {
            EXPECT_EQ(outcome.error_text.find(c.credentials.password), std::string::npos);
            EXPECT_EQ(outcome.program_text.find(c.credentials.password), std::string::npos);
        }
    }
}

// A private fstab entry connected and disconnected with the real mount and
// umount (root only).
TEST(NetworkConnect, MountAndUmountARememberedEntryOfAPrivateFstab) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    TempDir dir;
    const std::string point = dir / "share";
    NetworkPrograms programs;
    programs.fstab_path = dir / "fstab";
    ASSERT_TRUE(WriteFileBytes(programs.fstab_path, "korvanetest " + point + " tmpfs size=1m,_netdev 0 0\n"));
    ASSERT_EQ(ParseNetworkFstab(ReadFileBytes(programs.fstab_path)).size(), 1u);
    ::mkdir(point.c_str(), 0755);
    const ProgramOutcome connected = ConnectNetworkDrive(programs, point);
    ASSERT_TRUE(connected.ok) << connected.error_text;
    EXPECT_NE(FindMount(ReadMountTable(), point), nullptr);
    const ProgramOutcome disconnected = DisconnectNetworkDrive(programs, point);
    EXPECT_TRUE(disconnected.ok) << disconnected.error_text;
    EXPECT_EQ(FindMount(ReadMountTable(), point), nullptr);
    const ProgramOutcome again = DisconnectNetworkDrive(programs, point);
    EXPECT_FALSE(again.ok);
    EXPECT_NE(again.error_text.find("not mounted"), std::string::npos) << again.error_text;
}

}  // namespace
}  // namespace korvane
