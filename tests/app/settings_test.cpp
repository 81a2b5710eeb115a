#include "app/settings.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/profile_file.h"
#include "app/single_instance.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

TEST(InstallFolder, EnvironmentOrder) {
    const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("KORVANE_HOME", "/opt/k", 1);
    EXPECT_EQ(InstallFolder(), "/opt/k/");
    unsetenv("KORVANE_HOME");
    setenv("XDG_DATA_HOME", "/data", 1);
    EXPECT_EQ(InstallFolder(), "/data/korvane/");
    setenv("XDG_DATA_HOME", "relative", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(InstallFolder(), "/home/u/.local/share/korvane/");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", saved_home.c_str(), 1);
    const auto paths = InstallPathsOf("/opt/k");
    EXPECT_EQ(paths.settings_path, "/opt/k/Korvane.ini");
    EXPECT_EQ(paths.event_log_path, "/opt/k/Event.log");
}

TEST(PrepareInstallFolder, FirstStartWritesDefaultsOnce) {
    TempDir dir;
    const auto paths = InstallPathsOf(dir / "a/b");
    bool fresh = false;
    ASSERT_TRUE(PrepareInstallFolder(paths, fresh));
    EXPECT_TRUE(fresh);
    const ProgramOptions options = ReadProgramOptions(paths.settings_path);
    EXPECT_EQ(options.database, paths.folder + "Korvane.db");
    EXPECT_EQ(options.display_sql, 0);
    EXPECT_EQ(options.graph_items, 25);
    ASSERT_TRUE(WriteProfileString(paths.settings_path, "Options", "GraphItems", "7"));
    ASSERT_TRUE(PrepareInstallFolder(paths, fresh));
    EXPECT_FALSE(fresh);
    EXPECT_EQ(ReadProgramOptions(paths.settings_path).graph_items, 7);
}

TEST(ProgramOptions, DefaultsForMissingKeysAndGraphItemsZeroIsNotWritten) {
    TempDir dir;
    const std::string ini = dir / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(ini, "[Options]\r\nGraphItems=40\r\n"));
    ProgramOptions options = ReadProgramOptions(ini);
    EXPECT_EQ(options.database, "");
    EXPECT_EQ(options.graph_items, 40);
    options.graph_items = 0;
    options.display_sql = 1;
    options.smtp_server = "mail.example";
    ASSERT_TRUE(WriteProgramOptions(ini, options));
    options = ReadProgramOptions(ini);
    EXPECT_EQ(options.graph_items, 40);
    EXPECT_EQ(options.display_sql, 1);
    EXPECT_EQ(options.smtp_server, "mail.example");
}

TEST(ProgramOptions, NetWareClientLibraryNamedOrDefault) {
    TempDir dir;
    const std::string ini = dir / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(ini, "[Options]\r\nNetWareClient=\r\n"));
    EXPECT_EQ(ReadProgramOptions(ini).netware_client, "libkorvane-netware-client.so.1");
    ASSERT_TRUE(WriteProfileString(ini, "Options", "NetWareClient", "/opt/nw/libclient.so"));
    ProgramOptions options = ReadProgramOptions(ini);
    EXPECT_EQ(options.netware_client, "/opt/nw/libclient.so");
    // The Options dialog's OK keeps it.
    ASSERT_TRUE(WriteProgramOptions(ini, options));
    EXPECT_EQ(ReadProgramOptions(ini).netware_client, "/opt/nw/libclient.so");
}

TEST(ProjectList, SavedDocumentsFirstThenEmptyPlaces) {
    TempDir dir;
    const std::string ini = dir / "Korvane.ini";
    ASSERT_TRUE(WriteFileBytes(ini, "[Current Project]\r\nFile16=old\r\n"));
    ASSERT_TRUE(WriteFileBytes(dir / "a.qry", ""));
    ASSERT_TRUE(WriteFileBytes(dir / "b.rst", ""));
    ASSERT_TRUE(SaveProjectList(ini, {{dir / "a.qry"}, {""}, {dir / "b.rst"}}));
    ProfileDocument doc;
    ASSERT_TRUE(doc.Load(ini));
    EXPECT_EQ(doc.Get("Current Project", "File1"), dir / "a.qry");
    EXPECT_EQ(doc.Get("Current Project", "File2"), dir / "b.rst");
    for (int i = 3; i <= 15; ++i) {
        EXPECT_TRUE(doc.HasKey("Current Project", "File" + std::to_string(i)));
        EXPECT_EQ(doc.Get("Current Project", "File" + std::to_string(i)), "");
    }
    EXPECT_EQ(doc.Get("Current Project", "File16"), "old");
    EXPECT_EQ(ReadProjectList(ini), (std::vector<std::string>{dir / "a.qry", dir / "b.rst"}));
}

TEST(ProjectList, OnlySixteenDocumentsAreConsideredAndVanishedFilesSkipped) {
    TempDir dir;
    const std::string ini = dir / "Korvane.ini";
    std::vector<OpenDocumentInfo> docs;
    for (int i = 0; i < 20; ++i) {
        const std::string path = dir / ("d" + std::to_string(i) + ".qry");
        if (i != 3) {
            ASSERT_TRUE(WriteFileBytes(path, ""));
        }
        docs.push_back({path});
    }
    ASSERT_TRUE(SaveProjectList(ini, docs));
    const auto list = ReadProjectList(ini);
    ASSERT_EQ(list.size(), 15u);
    EXPECT_EQ(list.front(), dir / "d0.qry");
    EXPECT_EQ(list[3], dir / "d4.qry");
    EXPECT_EQ(list.back(), dir / "d15.qry");
}

TEST(SelectedVolume, EmptyMeansNeverBuilt) {
    TempDir dir;
    const std::string ini = dir / "Korvane.ini";
    EXPECT_EQ(ReadSelectedDrive(ini), "");
    ASSERT_TRUE(WriteSelectedVolume(ini, "\"/home\",\"uv: 7\"", "December 31,1998 11:47PM"));
    EXPECT_EQ(ReadSelectedDrive(ini), "\"/home\",\"uv: 7\"");
}

TEST(DecideRunMode, FirstTokenDecides) {
    using R = RunMode;
    auto mode = [](std::vector<std::string> t) { return DecideRunMode(t); };
    EXPECT_EQ(mode({"/EXECUTE", "night.sch"}).mode, R::Script);
    EXPECT_EQ(mode({"/EXECUTE", "night.sch"}).path, "night.sch");
    EXPECT_EQ(mode({"/execute", "x"}).mode, R::Script);
    EXPECT_EQ(mode({"Night.SCH"}).mode, R::Script);
    EXPECT_EQ(mode({"Night.SCH"}).path, "Night.SCH");
    EXPECT_EQ(mode({"/srv/Batch"}).mode, R::Interactive);
    EXPECT_EQ(mode({"C:\\Batsch"}).mode, R::Script);
    EXPECT_EQ(mode({"sch"}).mode, R::Interactive);
    EXPECT_EQ(mode({"/EXECUTE"}).mode, R::Script);
    EXPECT_EQ(mode({"/EXECUTE"}).path, "");
    EXPECT_EQ(mode({"/p", "Weekly.rst"}).mode, R::Print);
    EXPECT_EQ(mode({"/OPEN", "Weekly.qry"}).mode, R::Open);
    EXPECT_EQ(mode({"/OPEN"}).mode, R::Interactive);
    EXPECT_EQ(mode({"report.qry"}).mode, R::Interactive);
    EXPECT_EQ(mode({"/X", "a.sch"}).mode, R::Interactive);
    EXPECT_EQ(mode({}).mode, R::Interactive);
}

TEST(SingleInstanceLock, SecondProcessIsRefusedUntilTheFirstEnds) {
    TempDir dir;
    const std::string lock = dir / "Korvane.lock";
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    if (child == 0) {
        SingleInstanceLock held;
        const char ok = held.Acquire(lock) ? 'y' : 'n';
        (void)!write(ready[1], &ok, 1);
        char wait;
        (void)!read(release[0], &wait, 1);
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    EXPECT_EQ(answer, 'y');
    {
        SingleInstanceLock second;
        EXPECT_FALSE(second.Acquire(lock));
    }
    (void)!write(release[1], "x", 1);
    waitpid(child, nullptr, 0);
    SingleInstanceLock after;
    EXPECT_TRUE(after.Acquire(lock));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);
}

}  // namespace
}  // namespace korvane
