// A whole unattended run: scan a real tree, run a saved query for one of its
// folders, export it, list it in a log file, and check the outcome against
// the tree itself.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include "catalogue/schema.h"
#include "program/start_program.h"
#include "schedule/script/script_interpreter.h"
#include "support/catalogue_engines.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::TempDir;
using testing::WriteFileBytes;

// Runs on both engines: the catalogue file in the installation folder, or a
// fresh database of the test server.
class ScriptEndToEndBase : public ::testing::Test {
  protected:
    void SetUp() override {
        state_.paths = InstallPathsOf(dir_ / "home");
        std::filesystem::create_directories(state_.paths.folder);
        std::string error;
        database_ = engine() == testing::CatalogueEngine::Postgres ? testing::FreshPostgresDatabase(error)
                                                                   : state_.paths.folder + "Korvane.db";
        ASSERT_FALSE(database_.empty()) << error;
        if (engine() == testing::CatalogueEngine::Sqlite) {
            ASSERT_TRUE(CreateEmptyCatalogue(database_, error)) << error;
        }
        state_.database_path = database_;
        ASSERT_TRUE(state_.catalogue.OpenCatalogue(database_)) << state_.catalogue.last_error();
        ASSERT_TRUE(LoadCatalogueState(state_));
        tree_ = dir_ / "tree";
        // Three .doc files of known sizes, one in a subfolder, plus files the query must leave out.
        std::filesystem::create_directories(tree_ + "/sub dir");
        ASSERT_TRUE(WriteFileBytes(tree_ + "/a.doc", std::string(1500, 'a')));
        ASSERT_TRUE(WriteFileBytes(tree_ + "/big, \"quoted\".doc", std::string(2500, 'b')));
        ASSERT_TRUE(WriteFileBytes(tree_ + "/sub dir/c.DOC", std::string(4000, 'c')));
        ASSERT_TRUE(WriteFileBytes(tree_ + "/notes.txt", std::string(9000, 'n')));
        ASSERT_TRUE(WriteFileBytes(tree_ + "/tiny.doc", "x"));
        ASSERT_TRUE(WriteFileBytes(
            state_.paths.folder + "Docs.qry",
            "[Query "
            "Options]\r\nIncludeSubFolders=1\r\nDuplicates=\r\nFileThreshold=0\r\nFolderThreshold=0\r\n"
            "SortColumn=Size\r\nDescending=DESC\r\n[Query]\r\nDescription=Documents\r\nInitial Folder=" +
                tree_ +
                "\r\nLines=3\r\n"
                "QueryLine[0]= \"File\", \"Name\", Include  \"*.doc\", \r\n"
                "QueryLine[1]= \"File\", \"Size\", Include  1K - 10K , \r\n"
                "QueryLine[2]= \"File\", \"Parent ID\",\r\n"));
    }

    std::string WriteScript(const std::vector<std::string>& lines) {
        std::string text = "[Script]\r\nLines=" + std::to_string(lines.size()) + "\r\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            text += "ScriptLine[" + std::to_string(i) + "]=" + lines[i] + "\r\n";
        }
        const std::string path = state_.paths.folder + "night.sch";
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }

    void TearDown() override {
        if (engine() == testing::CatalogueEngine::Postgres && !database_.empty()) {
            state_.catalogue.CloseCatalogue();
            std::string error;
            testing::DropPostgresDatabase(database_, error);
        }
    }

    virtual testing::CatalogueEngine engine() const { return testing::CatalogueEngine::Sqlite; }

    TempDir dir_;
    std::string tree_;
    std::string database_;
    RecordingUserInterface ui_;
    ProgramState state_{ui_};
};

using ScriptEndToEnd = testing::OnBothEngines<ScriptEndToEndBase>;

TEST_P(ScriptEndToEnd, ScanQueryExportAndLogfile) {
    const std::string csv = dir_ / "docs.csv";
    const std::string script = WriteScript({
        "Scan \"" + tree_ + "\"",
        "Query \"Docs\", \"" + tree_ + "\"",
        "Export \"@Docs\", \"" + csv + "\"",
        "Logfile \"@Docs\"",
    });
    ASSERT_EQ(RunScript(state_, script), 1);
    const std::string log = ReadFileBytes(state_.paths.event_log_path);
    EXPECT_NE(log.find("\"night.sch\", \"Info\", \"Success executing script " + script + " of 4 lines.\""),
              std::string::npos)
        << log;

    // The log file lists the three matching files, largest first.
    EXPECT_EQ(ReadFileBytes(state_.paths.folder + "Docs.log"),
              tree_ + "/sub dir/c.DOC\r\n" + tree_ + "/big, \"quoted\".doc\r\n" + tree_ + "/a.doc\r\n");

    // The export holds a header and the same three rows, the awkward name quoted.
    const std::string exported = ReadFileBytes(csv);
    EXPECT_NE(exported.find("\"big, \"\"quoted\"\".doc\""), std::string::npos) << exported;
    EXPECT_NE(exported.find("4000"), std::string::npos) << exported;
    EXPECT_EQ(exported.find("notes.txt"), std::string::npos);
    EXPECT_EQ(exported.find("tiny.doc"), std::string::npos);
}

TEST_P(ScriptEndToEnd, QueryFailuresNameTheirCause) {
    const std::string script = WriteScript({
        "Scan \"" + tree_ + "\"",
        "Query \"Missing\", \"" + tree_ + "\"",
        "Query \"Docs\", \"/no/such/folder\"",
        "Query \"Docs\", \"My Computer (Scanned Volumes)\"",
        "Export \"@Missing\", \"" + (dir_ / "x.csv") + "\"",
    });
    ASSERT_EQ(RunScript(state_, script), 1);
    const std::string log = ReadFileBytes(state_.paths.event_log_path);
    EXPECT_NE(log.find("Error on line 2: Could not open query " + state_.paths.folder + "Missing.qry."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Error on line 3: Initial query folder /no/such/folder not found in database."),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Error on line 5: Query Missing not found."), std::string::npos) << log;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "x.csv"));
}

TEST_P(ScriptEndToEnd, ScanOfNothingReadableFails) {
    const std::string script = WriteScript({"Scan \"" + (dir_ / "no such folder") + "\""});
    ASSERT_EQ(RunScript(state_, script), 1);
    const std::string log = ReadFileBytes(state_.paths.event_log_path);
    EXPECT_NE(log.find("\"Korvane\", \"Warning\", \"Can not scan " + (dir_ / "no such folder") +
                       "/, error 2 (No such file or directory).\""),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Error on line 1: Scan of \"" + (dir_ / "no such folder") +
                       "\" failed: No volume of the list could be read."),
              std::string::npos)
        << log;
}

// A FIFO named as a query or result file is refused at once instead of
// waiting for a writer.
TEST_P(ScriptEndToEnd, QueryAndResultFilesThatAreFifosDoNotBlock) {
    ASSERT_EQ(mkfifo((state_.paths.folder + "Pipe.qry").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((state_.paths.folder + "Docs.rst").c_str(), 0644), 0);
    const std::string script = WriteScript({"Scan \"" + tree_ + "\"", "Query \"Pipe\", \"" + tree_ + "\"",
                                            "Query \"Docs\", \"" + tree_ + "\"", "Logfile \"@Docs\""});
    ASSERT_EQ(RunScript(state_, script), 1);
    const std::string log = ReadFileBytes(state_.paths.event_log_path);
    EXPECT_NE(log.find("Error on line 2: Could not open query " + state_.paths.folder + "Pipe.qry."),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Error on line 3"), std::string::npos) << log;
    EXPECT_EQ(ReadFileBytes(state_.paths.folder + "Docs.log"),
              tree_ + "/sub dir/c.DOC\r\n" + tree_ + "/big, \"quoted\".doc\r\n" + tree_ + "/a.doc\r\n");
}

// A damaged File table: the Query line gives the engine's reason, and the
// next Scan, which writes a new catalogue, mends it.
// The files own damage: a catalogue file only.
TEST_F(ScriptEndToEndBase, ADamagedCatalogueIsReportedWithTheEnginesReasonAndAScanMendsIt) {
    ASSERT_EQ(RunScript(state_, WriteScript({"Scan \"" + tree_ + "\""})), 1);
    const std::string db = state_.paths.folder + "Korvane.db";
    int root_page = 0;
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(raw, "SELECT rootpage FROM sqlite_master WHERE name = 'File'", -1,
                                     &statement, nullptr),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_step(statement), SQLITE_ROW);
        root_page = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        sqlite3_close(raw);
    }
    EndProgram(state_);
    {
        // Garbage over the File table's root page.
        std::fstream file(db, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(root_page - 1) * 4096);
        const std::string garbage(4096, '\x5a');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    ASSERT_TRUE(state_.catalogue.OpenCatalogue(db));
    ASSERT_TRUE(LoadCatalogueState(state_));
    ASSERT_EQ(RunScript(state_, WriteScript({"Query \"Docs\", \"" + tree_ + "\"", "Scan \"" + tree_ + "\"",
                                             "Query \"Docs\", \"" + tree_ + "\""})),
              1);
    const std::string log = ReadFileBytes(state_.paths.event_log_path);
    EXPECT_NE(log.find("Error on line 1: Query Docs could not be read: database disk image is malformed"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("Error on line 2"), std::string::npos) << log;
    EXPECT_EQ(log.find("Error on line 3"), std::string::npos) << log;
    std::string report;
    EXPECT_TRUE(state_.catalogue.IntegrityCheck(report)) << report;
}

INSTANTIATE_ON_BOTH_ENGINES(ScriptEndToEnd);

// Two installations (their own folders, settings and event logs) sharing one
// catalogue on the server: what one scans, the other's queries find.
class SharedServerCatalogue : public ScriptEndToEndBase {
  protected:
    testing::CatalogueEngine engine() const override { return testing::CatalogueEngine::Postgres; }
};

TEST_F(SharedServerCatalogue, WhatOneInstallationScansTheOtherQueries) {
    RecordingUserInterface other_ui;
    ProgramState other{other_ui};
    other.paths = InstallPathsOf(dir_ / "other home");
    std::filesystem::create_directories(other.paths.folder);
    std::filesystem::copy_file(state_.paths.folder + "Docs.qry", other.paths.folder + "Docs.qry");
    other.database_path = database_;
    ASSERT_TRUE(other.catalogue.OpenCatalogue(database_)) << other.catalogue.last_error();

    // Each unattended run is a program started afresh: it reads the folder
    // tree of the catalogue as it is then.
    ASSERT_EQ(RunScript(state_, WriteScript({"Scan \"" + tree_ + "\""})), 1);
    ASSERT_TRUE(LoadCatalogueState(other));
    const std::string script = other.paths.folder + "query.sch";
    ASSERT_TRUE(WriteFileBytes(script, "[Script]\r\nLines=2\r\nScriptLine[0]=Query \"Docs\", \"" + tree_ +
                                           "\"\r\nScriptLine[1]=Logfile \"@Docs\"\r\n"));
    ASSERT_EQ(RunScript(other, script), 1) << ReadFileBytes(other.paths.event_log_path);
    EXPECT_EQ(ReadFileBytes(other.paths.folder + "Docs.log"),
              tree_ + "/sub dir/c.DOC\r\n" + tree_ + "/big, \"quoted\".doc\r\n" + tree_ + "/a.doc\r\n");

    // A file added and scanned by the first is found by the second's next run.
    ASSERT_TRUE(WriteFileBytes(tree_ + "/new.doc", std::string(3000, 'n')));
    ASSERT_EQ(RunScript(state_, WriteScript({"Scan \"" + tree_ + "\""})), 1);
    ASSERT_TRUE(LoadCatalogueState(other));
    ASSERT_EQ(RunScript(other, script), 1) << ReadFileBytes(other.paths.event_log_path);
    EXPECT_NE(ReadFileBytes(other.paths.folder + "Docs.log").find(tree_ + "/new.doc"), std::string::npos);
    other.catalogue.CloseCatalogue();
}

}  // namespace
}  // namespace korvane
