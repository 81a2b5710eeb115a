#include "program/start_program.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/profile_file.h"
#include "program/catalogue_upkeep.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::TempDir;

class StartProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVANE_HOME", (dir_ / "home").c_str(), 1);
        lock_path_ = dir_ / "Korvane.lock";
    }
    void TearDown() override { unsetenv("KORVANE_HOME"); }

    StartResult Start(ProgramState& state, const std::vector<std::string>& arguments, SingleInstanceLock& lock) {
        return StartProgram(state, arguments, lock, lock_path_, [this](ProgramState& program, const std::string& path) {
            runs_.push_back(path);
            seen_counters_ = program.counters;
            seen_interactive_ = program.interactive;
            return kExitSuccess;
        });
    }

    TempDir dir_;
    std::string lock_path_;
    std::vector<std::string> runs_;
    IdCounters seen_counters_;
    bool seen_interactive_ = true;
};

TEST_F(StartProgramTest, FirstStartCreatesSettingsAndAnEmptyCatalogueThenRunsTheScript) {
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    const StartResult result = Start(state, {"/EXECUTE", "night.sch"}, lock);
    EXPECT_EQ(result.outcome, StartOutcome::End);
    EXPECT_EQ(result.exit_code, 0);
    ASSERT_EQ(runs_, std::vector<std::string>{"night.sch"});
    EXPECT_FALSE(seen_interactive_);
    EXPECT_EQ(seen_counters_.next_folder, 0) << "an empty catalogue has no Computer row";
    const std::string home = dir_ / "home/";
    EXPECT_TRUE(std::filesystem::exists(home + "Korvane.ini"));
    EXPECT_TRUE(std::filesystem::exists(home + "Korvane.db"));
    EXPECT_EQ(ReadProfileString(home + "Korvane.ini", "Options", "Database"), home + "Korvane.db");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(state.catalogue.IsOpen()) << "the script run ends the program";
}

TEST_F(StartProgramTest, ScheduleFileAsFirstTokenRunsLikeExecute) {
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    Start(state, {"Night.SCH"}, lock);
    EXPECT_EQ(runs_, std::vector<std::string>{"Night.SCH"});
}

TEST_F(StartProgramTest, SecondInstanceLogsAndEndsBeforeLookingAtTheCommandLine) {
    std::filesystem::create_directories(dir_ / "home");  // the running instance made it
    SingleInstanceLock first;
    ASSERT_TRUE(first.Acquire(lock_path_));
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock second;
    const StartResult result = Start(state, {"/EXECUTE", "night.sch"}, second);
    EXPECT_EQ(result.outcome, StartOutcome::End);
    EXPECT_TRUE(runs_.empty());
    EXPECT_TRUE(ui.messages.empty());
    const std::string log = ReadFileBytes(dir_ / "home/Event.log");
    EXPECT_NE(log.find("\"Korvane\", \"Warning\", \"Only one instance allowed.\"\r\n"), std::string::npos) << log;
}

TEST_F(StartProgramTest, InvalidDatabaseShowsTheMessageAndEnds) {
    std::filesystem::create_directories(dir_ / "home");
    ASSERT_TRUE(WriteProfileString(dir_ / "home/Korvane.ini", "Options", "Database", dir_ / "missing.db"));
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    const StartResult result = Start(state, {}, lock);
    EXPECT_EQ(result.outcome, StartOutcome::End);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "The databse '" + (dir_ / "missing.db") +
                                       "' is invalid or does not exist.\n  Check for proper installation.");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::Ok);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.db"));
}

TEST_F(StartProgramTest, UnattendedRunWithInvalidDatabaseLogsTheMessage) {
    std::filesystem::create_directories(dir_ / "home");
    ASSERT_TRUE(WriteProfileString(dir_ / "home/Korvane.ini", "Options", "Database", ""));
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    Start(state, {"/EXECUTE", "x.sch"}, lock);
    EXPECT_TRUE(runs_.empty());
    EXPECT_NE(ReadFileBytes(dir_ / "home/Event.log").find("The databse '' is invalid"), std::string::npos);
}

TEST_F(StartProgramTest, WindowedModesKeepTheCatalogueOpen) {
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    const StartResult result = Start(state, {"/OPEN", "weekly.qry"}, lock);
    EXPECT_EQ(result.outcome, StartOutcome::OpenWindows);
    EXPECT_EQ(result.request.mode, RunMode::Open);
    EXPECT_EQ(result.request.path, "weekly.qry");
    EXPECT_TRUE(state.catalogue.IsOpen());
    EXPECT_TRUE(runs_.empty());
    EndProgram(state);
    EXPECT_FALSE(state.catalogue.IsOpen());
}

TEST_F(StartProgramTest, RepairOfACatalogueNeverBuiltFindsNothingWrong) {
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    ASSERT_EQ(Start(state, {"/OPEN", "weekly.qry"}, lock).outcome, StartOutcome::OpenWindows);
    std::string report;
    EXPECT_TRUE(RepairOpenCatalogue(state, report)) << report;
    EndProgram(state);
}

TEST_F(StartProgramTest, TheNetWareLayerLoadsTheClientLibraryTheSettingsName) {
    {
        RecordingUserInterface ui;
        ProgramState state(ui);
        SingleInstanceLock lock;
        Start(state, {"/EXECUTE", "first.sch"}, lock);
    }
    const std::string missing = dir_ / "no-such-client.so";
    ASSERT_TRUE(WriteProfileString(dir_ / "home/Korvane.ini", "Options", "NetWareClient", missing));
    RecordingUserInterface ui;
    ProgramState state(ui);
    SingleInstanceLock lock;
    Start(state, {"/EXECUTE", "second.sch"}, lock);
    ASSERT_NE(state.netware, nullptr);
    EXPECT_FALSE(state.netware->ClientLoaded());
    EXPECT_NE(state.netware->client_error().find(missing), std::string::npos) << state.netware->client_error();
    EXPECT_TRUE(ui.messages.empty()) << "a missing client library is not worth a word";
}

}  // namespace
}  // namespace korvane
