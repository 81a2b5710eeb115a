#include "schedule/script/script_interpreter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "app/profile_file.h"
#include "catalogue/schema.h"
#include "schedule/script/script_tokens.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::TempDir;
using testing::WriteFileBytes;

// A program state on a fresh installation folder with an empty catalogue.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        state_.paths = InstallPathsOf(dir_.str());
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(dir_ / "Korvane.db", error)) << error;
        ASSERT_TRUE(state_.catalogue.OpenCatalogue(dir_ / "Korvane.db"));
    }

    std::string WriteScript(const std::string& name, const std::vector<std::string>& lines) {
        std::string text = "[Schedule]\r\nStartup=Startup\r\nInterval=None\r\n[Script]\r\nLines=" +
                           std::to_string(lines.size()) + "\r\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            text += "ScriptLine[" + std::to_string(i) + "]=" + lines[i] + "\r\n";
        }
        const std::string path = dir_ / name;
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }

    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        const std::string text = ReadFileBytes(state_.paths.event_log_path);
        std::size_t pos = 0;
        while (pos < text.size()) {
            const auto end = text.find("\r\n", pos);
            // Drop the date field: "mm/dd/yyyy hh:mm:ss", 
            lines.push_back(text.substr(pos + 23, end - pos - 23));
            pos = end + 2;
        }
        return lines;
    }

    TempDir dir_;
    RecordingUserInterface ui_;
    ProgramState state_{ui_};
};

TEST_F(ScriptTest, SuccessCountsItsLines) {
    const std::string one = WriteScript("one.sch", {"rem first"});
    EXPECT_EQ(RunScript(state_, one), 1);
    const std::string three = WriteScript("three.sch", {"remark a", "", "Compress x"});
    EXPECT_EQ(RunScript(state_, three), 1);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "\"one.sch\", \"Info\", \"Success executing script " + one + " of 1 line.\"",
                              "\"three.sch\", \"Info\", \"Success executing script " + three + " of 3 lines.\""}));
}

TEST_F(ScriptTest, EmptyOrMissingScriptIsReported) {
    EXPECT_EQ(RunScript(state_, dir_ / "missing.sch"), 0);
    const std::string empty = WriteScript("empty.sch", {});
    EXPECT_EQ(RunScript(state_, empty), 0);
    EXPECT_EQ(LogLines(), (std::vector<std::string>{
                              "\"missing.sch\", \"Error\", \"Could not open or empty script '" + (dir_ / "missing.sch") + "'.\"",
                              "\"empty.sch\", \"Error\", \"Could not open or empty script '" + empty + "'.\""}));
}

TEST_F(ScriptTest, BareNameIsTakenFromTheInstallationFolder) {
    WriteScript("night.sch", {"rem"});
    EXPECT_EQ(RunScript(state_, "night.sch"), 1);
    EXPECT_NE(ReadFileBytes(state_.paths.event_log_path).find("Success executing script " + (dir_ / "night.sch")),
              std::string::npos);
}

TEST_F(ScriptTest, FailingLinesAreLoggedAndLaterLinesStillRun) {
    std::filesystem::create_directory(dir_ / "gone");
    const std::string script = WriteScript(
        "bad.sch", {"Delete", "Delete \"a\", \"b\"", "Frobnicate now", "Scan", "Copy \"@Nothing\", \"/tmp\"",
                    "Copy \"@Sales.rst\", \"/tmp\"", "Logfile \"@Old.lst\"", "RemoveDirectory \"" + (dir_ / "gone") + "\""});
    EXPECT_EQ(RunScript(state_, script), 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "gone"));
    const auto lines = LogLines();
    const std::vector<std::string> expected = {
        "\"bad.sch\", \"Error\", \"Error on line 1: Not enough parameters\"",
        "\"bad.sch\", \"Error\", \"Error on line 2: Too many parameters\"",
        "\"bad.sch\", \"Error\", \"Error on line 3: Unknown command Frobnicate.\"",
        "\"Script.exe\", \"Error\", \"Not enough parameters\"",
        "\"bad.sch\", \"Error\", \"Error on line 4: Not enough parameters\"",
        "\"bad.sch\", \"Error\", \"Error on line 5: Query Nothing not found.\"",
        "\"bad.sch\", \"Error\", \"Error on line 6: Result not impelmented.\"",
    };
    ASSERT_GE(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]);
    EXPECT_EQ(lines.size(), expected.size()) << "Logfile succeeds with an empty log; RemoveDirectory succeeds";
    EXPECT_EQ(ReadFileBytes(dir_ / "Old.lst.log"), "");
}

TEST_F(ScriptTest, LongLinesAndUnbalancedQuotesDoNotBreakTheRun) {
    const std::string script =
        WriteScript("long.sch", {"rem " + std::string(5000, 'x'), "Delete \"@unbalanced", "rem done"});
    EXPECT_EQ(RunScript(state_, script), 1);
    const auto lines = LogLines();
    ASSERT_EQ(lines.size(), 1u) << "a script with a failed line logs no success";
    EXPECT_EQ(lines[0], "\"long.sch\", \"Error\", \"Error on line 2: Query unbalanced not found.\"");
}

TEST_F(ScriptTest, RemoveDirectoryRefusesAFolderThatIsNotEmpty) {
    std::filesystem::create_directories(dir_ / "full/inner");
    ScriptInterpreter interpreter(state_);
    EXPECT_FALSE(interpreter.RunScriptLine(SplitScriptLine("RemoveDirectory \"" + (dir_ / "full") + "\"")));
    EXPECT_EQ(interpreter.error_text(), "Could not remove folder " + (dir_ / "full") + ": Directory not empty.");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "full/inner"));
}

TEST_F(ScriptTest, CommandStartsAProgramOrSaysItCouldNot) {
    ScriptInterpreter interpreter(state_);
    const std::string marker = dir_ / "ran marker";
    EXPECT_TRUE(interpreter.RunScriptLine(SplitScriptLine("Command \"touch '" + marker + "'\"")));
    for (int i = 0; i < 100 && !std::filesystem::exists(marker); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_FALSE(interpreter.RunScriptLine(SplitScriptLine("Command \"/no/such/program --x\"")));
    EXPECT_EQ(interpreter.error_text(), "Could not execute command /no/such/program --x.");
    EXPECT_FALSE(interpreter.RunScriptLine(SplitScriptLine("Command")));
}

TEST_F(ScriptTest, CopyRenamesOnCollisionUnlessOverwriting) {
    ASSERT_TRUE(WriteFileBytes(dir_ / "report, final.doc", "new"));
    std::filesystem::create_directory(dir_ / "backup");
    ASSERT_TRUE(WriteFileBytes(dir_ / "backup/report, final.doc", "old"));
    ScriptInterpreter interpreter(state_);
    const std::string copy = "Copy \"" + (dir_ / "report, final.doc") + "\", \"" + (dir_ / "backup") + "\"";
    EXPECT_TRUE(interpreter.RunScriptLine(SplitScriptLine(copy)));
    EXPECT_EQ(ReadFileBytes(dir_ / "backup/report, final.doc"), "old");
    EXPECT_EQ(ReadFileBytes(dir_ / "backup/report, final (2).doc"), "new");
    EXPECT_TRUE(interpreter.RunScriptLine(SplitScriptLine(copy + ", /OVERWRITE")));
    EXPECT_EQ(ReadFileBytes(dir_ / "backup/report, final.doc"), "new");
    EXPECT_FALSE(interpreter.RunScriptLine(SplitScriptLine("Copy \"" + (dir_ / "absent") + "\", \"" + (dir_ / "backup") + "\"")));
    EXPECT_EQ(interpreter.error_text().rfind("Could not copy to " + (dir_ / "backup") + ": ", 0), 0u) << interpreter.error_text();
}

TEST_F(ScriptTest, LinkMovesAndLeavesAShortcutAtTheOldPlace) {
    ASSERT_TRUE(WriteFileBytes(dir_ / "report.doc", "data"));
    ScriptInterpreter interpreter(state_);
    ASSERT_TRUE(interpreter.RunScriptLine(
        SplitScriptLine("Link \"" + (dir_ / "report.doc") + "\", \"" + (dir_ / "archive") + "\"")));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "report.doc"));
    EXPECT_EQ(ReadFileBytes(dir_ / "archive/report.doc"), "data");
    ASSERT_TRUE(std::filesystem::is_symlink(dir_ / "report.doc.lnk"));
    EXPECT_EQ(std::filesystem::read_symlink(dir_ / "report.doc.lnk"), dir_ / "archive/report.doc");
}

TEST_F(ScriptTest, DeleteGoesToTheTrashAndMoveReportsFailure) {
    const std::string saved = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    ASSERT_TRUE(WriteFileBytes(dir_ / "old.log", "x"));
    ScriptInterpreter interpreter(state_);
    EXPECT_TRUE(interpreter.RunScriptLine(SplitScriptLine("Delete \"" + (dir_ / "old.log") + "\"")));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "old.log"));
    EXPECT_EQ(ReadFileBytes(dir_ / "data/Trash/files/old.log"), "x");
    ASSERT_TRUE(WriteFileBytes(dir_ / "blocker", ""));
    ASSERT_TRUE(WriteFileBytes(dir_ / "a.txt", "a"));
    EXPECT_FALSE(interpreter.RunScriptLine(
        SplitScriptLine("Move \"" + (dir_ / "a.txt") + "\", \"" + (dir_ / "blocker") + "\"")));
    EXPECT_EQ(ReadFileBytes(dir_ / "a.txt"), "a") << "a failed move loses nothing";
    if (saved.empty()) {
        unsetenv("XDG_DATA_HOME");
    } else {
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    }
}

}  // namespace
}  // namespace korvane
