// The real korvane program run unattended as a scheduler runs it: its exit
// status tells every outcome apart, the two that may have no event log say
// so on standard error, a build killed at any moment or out of disk leaves
// the previous catalogue whole, and hostile script files cannot hang it.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/single_instance.h"
#include "catalogue/schema.h"
#include "program/start_program.h"
#include "support/temp_dir.h"
#include "test_paths.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct RunResult {
    int status = -1;  // exit status, or -signal
    std::string error_output;
};

class UnattendedRun : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = dir_ / "home";
        runtime_ = dir_ / "runtime";
        fs::create_directories(home_);
        fs::create_directories(runtime_);
    }

    std::string WriteScript(const std::string& name, const std::vector<std::string>& lines) {
        std::string text = "[Script]\r\nLines=" + std::to_string(lines.size()) + "\r\n";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            text += "ScriptLine[" + std::to_string(i) + "]=" + lines[i] + "\r\n";
        }
        const std::string path = home_ + "/" + name;
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }

    // Starts korvane /EXECUTE script with its standard error on error_fd.
    // as_nobody: with an ordinary account's rights (setpriv), as root only.
    pid_t Start(const std::string& script, int error_fd, bool as_nobody) {
        const pid_t child = fork();
        if (child == 0) {
            setenv("KORVANE_HOME", home_.c_str(), 1);
            setenv("XDG_RUNTIME_DIR", (as_nobody ? runtime_ + "-nobody" : runtime_).c_str(), 1);
            dup2(error_fd, 2);
            if (as_nobody) {
                execlp("setpriv", "setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                       KORVANE_BINARY_DIR "/korvane", "/EXECUTE", script.c_str(), nullptr);
            } else {
                execl(KORVANE_BINARY_DIR "/korvane", "korvane", "/EXECUTE", script.c_str(), nullptr);
            }
            _exit(127);
        }
        return child;
    }

    RunResult Run(const std::string& script, std::chrono::milliseconds kill_after = {},
                  bool as_nobody = false) {
        const std::string errors = dir_ / "stderr.txt";
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const pid_t child = Start(script, fd, as_nobody);
        ::close(fd);
        if (kill_after.count() > 0) {
            std::this_thread::sleep_for(kill_after);
            kill(child, SIGKILL);
        }
        int status = 0;
        waitpid(child, &status, 0);
        RunResult result;
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
        result.error_output = ReadFileBytes(errors);
        return result;
    }

    std::string Log() { return ReadFileBytes(home_ + "/Event.log"); }

    std::string MakeTree(const std::string& name, int folders, int files_each) {
        const std::string root = dir_ / name;
        for (int d = 0; d < folders; ++d) {
            const std::string folder = root + "/folder" + std::to_string(d);
            fs::create_directories(folder);
            for (int f = 0; f < files_each; ++f) {
                EXPECT_TRUE(WriteFileBytes(folder + "/file" + std::to_string(f) + ".dat", "x"));
            }
        }
        return root;
    }

    TempDir dir_;
    std::string home_, runtime_;
};

// Rows of the four main tables, and whether every folder, file and volume
// hangs together.
struct CatalogueState {
    long long folders = -1, files = -1, volumes = -1, orphans = -1;
    std::string integrity;
};

// Opened read-write, as the next run opens it: after a kill the write-ahead
// log may need the recovery a read-only connection is not allowed to make.
CatalogueState ReadState(const std::string& db_path) {
    CatalogueState state;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return state;
    }
    auto number = [&](const char* sql, long long& out) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            out = sqlite3_column_int64(statement, 0);
            if (sqlite3_column_type(statement, 0) == SQLITE_TEXT) {
                state.integrity = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            }
        }
        sqlite3_finalize(statement);
    };
    long long ignored = 0;
    number("PRAGMA integrity_check", ignored);
    number("SELECT count(*) FROM Folder", state.folders);
    number("SELECT count(*) FROM File", state.files);
    number("SELECT count(*) FROM Volume", state.volumes);
    number(
        "SELECT (SELECT count(*) FROM File f WHERE NOT EXISTS (SELECT 1 FROM Folder p WHERE p.\"Folder ID\" "
        "= "
        "f.\"Parent ID\")) + (SELECT count(*) FROM Folder f WHERE f.\"Parent ID\" <> 0 AND NOT EXISTS "
        "(SELECT "
        "1 FROM Folder p WHERE p.\"Folder ID\" = f.\"Parent ID\"))",
        state.orphans);
    sqlite3_close(db);
    return state;
}

TEST_F(UnattendedRun, ExitStatusesTellTheOutcomesApart) {
    const std::string tree = MakeTree("tree", 1, 2);
    const std::string good = WriteScript("good.sch", {"Scan \"" + tree + "\"", "rem fine"});
    const std::string bad = WriteScript("bad.sch", {"Scan \"" + tree + "\"", "Delete"});
    EXPECT_EQ(Run(good).status, kExitSuccess) << Log();
    EXPECT_EQ(Run(bad).status, kExitLineFailed);
    EXPECT_NE(Log().find("Error on line 2: Not enough parameters"), std::string::npos);
    EXPECT_EQ(Run(home_ + "/missing.sch").status, kExitScriptUnreadable);

    // A second instance: refused, logged, and said on standard error.
    {
        SingleInstanceLock held;
        ASSERT_TRUE(held.Acquire(runtime_ + "/Korvane.lock"));
        const RunResult second = Run(good);
        EXPECT_EQ(second.status, kExitAnotherInstance);
        EXPECT_EQ(second.error_output, "korvane: Only one instance allowed.\n");
    }

    // An account that cannot write the installation folder is told so.
    if (geteuid() == 0) {
        ASSERT_EQ(chmod(home_.c_str(), 0755), 0);
        ASSERT_EQ(chmod(dir_.str().c_str(), 0755), 0);
        fs::create_directories(runtime_ + "-nobody");
        ASSERT_EQ(chown((runtime_ + "-nobody").c_str(), 65534, 65534), 0);
        const RunResult stranger = Run(good, {}, true);
        EXPECT_EQ(stranger.status, kExitCannotStart);
        EXPECT_NE(stranger.error_output.find("korvane: The catalogue '" + home_ +
                                             "/Korvane.db' cannot be used: The "
                                             "catalogue " +
                                             home_ + "/Korvane.db cannot be written."),
                  std::string::npos)
            << stranger.error_output;
    }

    // A catalogue that cannot be used, and an event log that cannot be written.
    ASSERT_TRUE(
        WriteFileBytes(home_ + "/Korvane.ini", "[Options]\r\nDatabase=" + dir_ / "nothing.db" + "\r\n"));
    RunResult unusable = Run(good);
    EXPECT_EQ(unusable.status, kExitCannotStart);
    EXPECT_NE(
        unusable.error_output.find("korvane: The catalogue '" + dir_ / "nothing.db" + "' cannot be used"),
        std::string::npos)
        << unusable.error_output;
    ASSERT_TRUE(WriteFileBytes(home_ + "/Korvane.ini", "[Options]\r\nDatabase=" + home_ + "/Korvane.db\r\n"));
    fs::remove(home_ + "/Event.log");
    fs::create_directory(home_ + "/Event.log");
    unusable = Run(good);
    EXPECT_EQ(unusable.status, kExitCannotStart);
    EXPECT_NE(unusable.error_output.find("korvane: The event log " + home_ +
                                         "/Event.log cannot be written: Is a directory"),
              std::string::npos)
        << unusable.error_output;
}

// A FIFO or a device given as the script, and line counts far beyond the
// lines present, end at once with the status of an unreadable script or a
// plain run.
TEST_F(UnattendedRun, HostileScriptFilesNeitherHangNorExhaustTheRun) {
    const std::string fifo = home_ + "/pipe.sch";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(Run(fifo).status, kExitScriptUnreadable);
    EXPECT_EQ(Run("/dev/zero").status, kExitScriptUnreadable);
    ASSERT_TRUE(WriteFileBytes(home_ + "/huge.sch", "[Script]\r\nLines=2147483648\r\nScriptLine[0]=rem\r\n"));
    EXPECT_EQ(Run(home_ + "/huge.sch").status, kExitSuccess);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_NE(Log().find("Could not open or empty script '" + fifo + "'."), std::string::npos) << Log();
    EXPECT_NE(Log().find("Success executing script " + home_ + "/huge.sch of 2147483648 lines."),
              std::string::npos);

    // A FIFO as the settings file leaves the run without a catalogue.
    fs::remove(home_ + "/Korvane.ini");
    ASSERT_EQ(mkfifo((home_ + "/Korvane.ini").c_str(), 0644), 0);
    EXPECT_EQ(Run(home_ + "/huge.sch").status, kExitCannotStart);
}

// SIGKILL at moments spread over a whole build: the catalogue is always the
// complete previous one or the complete new one, never a mixture.
TEST_F(UnattendedRun, ABuildKilledAtAnyMomentLeavesAWholeCatalogue) {
    const std::string old_tree = MakeTree("old", 3, 5);
    const std::string new_tree = MakeTree("new", 40, 250);
    ASSERT_EQ(Run(WriteScript("old.sch", {"Scan \"" + old_tree + "\""})).status, kExitSuccess) << Log();
    const std::string db = home_ + "/Korvane.db";
    const CatalogueState previous = ReadState(db);
    ASSERT_EQ(previous.files, 15);
    const std::string scan_new = WriteScript("new.sch", {"Scan \"" + new_tree + "\""});
    for (const int ms : {5, 20, 40, 80, 120, 200, 300, 500}) {
        SCOPED_TRACE(ms);
        const RunResult run = Run(scan_new, std::chrono::milliseconds(ms));
        const CatalogueState now = ReadState(db);
        EXPECT_EQ(now.integrity, "ok");
        EXPECT_EQ(now.orphans, 0);
        EXPECT_EQ(now.volumes, 1);
        const bool whole_new = now.files == 10000 && now.folders == 41;
        if (run.status == -SIGKILL && !whole_new) {
            EXPECT_EQ(now.files, previous.files);
            EXPECT_EQ(now.folders, previous.folders);
        } else {
            // Finished, or killed after the new catalogue was put in place.
            if (run.status != -SIGKILL) {
                EXPECT_EQ(run.status, kExitSuccess);
            }
            EXPECT_TRUE(whole_new) << now.files << " files, " << now.folders << " folders";
            ASSERT_EQ(Run(WriteScript("old.sch", {"Scan \"" + old_tree + "\""})).status, kExitSuccess);
        }
    }
}

TEST_F(UnattendedRun, AFullDiskKeepsTheCatalogueAndNamesTheCause) {
    const std::string small = dir_ / "small";
    fs::create_directories(small);
    if (geteuid() != 0 || mount("korvane-test", small.c_str(), "tmpfs", 0, "size=512k") != 0) {
        GTEST_SKIP() << "mounting needs root";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    const std::string db = small + "/Korvane.db";
    ASSERT_TRUE(WriteFileBytes(home_ + "/Korvane.ini", "[Options]\r\nDatabase=" + db + "\r\n"));
    {
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(db, error)) << error;
    }
    const std::string old_tree = MakeTree("old", 2, 3);
    ASSERT_EQ(Run(WriteScript("old.sch", {"Scan \"" + old_tree + "\""})).status, kExitSuccess) << Log();
    const CatalogueState previous = ReadState(db);
    const std::string new_tree = MakeTree("new", 20, 300);
    const RunResult run = Run(WriteScript("new.sch", {"Scan \"" + new_tree + "\""}));
    EXPECT_EQ(run.status, kExitLineFailed);
    EXPECT_NE(Log().find("Error on line 1: Scan of \"" + new_tree + "\" failed: "), std::string::npos)
        << Log();
    EXPECT_NE(Log().find("database or disk is full"), std::string::npos) << Log();
    const CatalogueState now = ReadState(db);
    EXPECT_EQ(now.integrity, "ok");
    EXPECT_EQ(now.files, previous.files);
    EXPECT_EQ(now.folders, previous.folders);
    EXPECT_FALSE(fs::exists(db + ".rebuild"));
}

}  // namespace
}  // namespace korvane
