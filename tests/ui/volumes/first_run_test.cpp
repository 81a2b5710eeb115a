// The first run through the program's own windowed start, and /OPEN handed
// from a second real process to a running one.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/profile_file.h"
#include "app/settings.h"
#include "app/single_instance.h"
#include "catalogue/catalogue.h"
#include "catalogue/folder_tree.h"
#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "platform/open_request_channel.h"
#include "qt_environment.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/frame/open_request_receiver.h"
#include "ui/main_frame.h"
#include "ui/volumes/select_volume_dialog.h"
#include "ui/windowed_main.h"
#include "ui/windowed_program.h"
#include "volume_dialog_fixture.h"
#include "test_paths.h"

extern char** environ;

namespace korvane {
namespace {

using testing::TempDir;
using testing::WaitUntil;
using testing::WriteFileBytes;

// Restores an environment variable when the test ends.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> old_;
};

// An installation folder whose catalogue has never been built, with one
// user volume over a small tree; no tip at start.
struct Installation {
    explicit Installation(const TempDir& dir) {
        home = dir / "home";
        data = std::filesystem::canonical(dir.path()).string() + "/data";
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(data + "/sub");
        WriteFileBytes(data + "/a.txt", "aaa");
        WriteFileBytes(data + "/sub/b.txt", "bbbb");
        database = home + "/Korvane.db";
        std::string error;
        EXPECT_TRUE(CreateEmptyCatalogue(database, error)) << error;
        testing::RecordingUserInterface ui;
        Catalogue catalogue(ui);
        EXPECT_TRUE(catalogue.OpenCatalogue(database));
        UserVolumeRecord record;
        record.location = data;
        EXPECT_TRUE(OpenUserVolumes(catalogue));
        EXPECT_TRUE(AddUserVolume(catalogue, record));
        CloseUserVolumes(catalogue);
        uv_id = record.uv_id;
        settings = home + "/Korvane.ini";
        WriteFileBytes(settings, "[Options]\r\nDatabase=" + database + "\r\n[Tip]\r\nStartUp=0\r\n");
    }
    std::string home, data, database, settings;
    std::int32_t uv_id = 0;
};

template <typename T>
T* VisibleWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<T*>(widget); found != nullptr && found->isVisible())
            return found;
    return nullptr;
}

TEST(FirstRun, TheWindowedStartAsksForVolumesAndBuilds) {
    TempDir dir;
    Installation installation(dir);
    ScopedEnv home("KORVANE_HOME", installation.home);
    bool dialog_seen = false, frame_shown_first = false;
    QTimer driver;
    driver.setInterval(20);
    bool closed = false;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        auto* dialog = VisibleWindow<SelectVolumeDialog>();
        if (dialog == nullptr) {
            // Once the build is over, the person closes the program.
            auto* frame = VisibleWindow<CMainFrame>();
            if (dialog_seen && !closed && frame != nullptr) {
                closed = true;
                frame->close();
            }
            return;
        }
        if (dialog_seen || dialog->Building())
            return;
        dialog_seen = true;
        frame_shown_first = VisibleWindow<CMainFrame>() != nullptr;
        QTest::mouseClick(dialog->ViewButton(VolumeView::UserVolumes), Qt::LeftButton);
        dialog->List()->topLevelItem(0)->setSelected(true);
        QTimer::singleShot(0, dialog, [dialog] { dialog->accept(); });
    });
    driver.start();
    SingleInstanceLock lock;
    // The start makes the installation folder the current one.
    struct RestoreFolder {
        std::filesystem::path folder = std::filesystem::current_path();
        ~RestoreFolder() { std::filesystem::current_path(folder); }
    } restore;
    char name[] = "korvane";
    char* argv[] = {name, nullptr};
    int argc = 1;
    const int code = RunWithWindows(argc, argv, {}, lock, dir / "Korvane.lock");
    driver.stop();
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(dialog_seen);
    EXPECT_TRUE(frame_shown_first);
    EXPECT_EQ(ReadSelectedDrive(installation.settings),
              "\"uv: " + std::to_string(installation.uv_id) + "\",");
    EXPECT_FALSE(ReadProfileString(installation.settings, kSelectedVolumeSection, "ScanDateTime").empty());
    // A query can read what was built.
    testing::RecordingUserInterface ui;
    Catalogue catalogue(ui);
    ASSERT_TRUE(catalogue.OpenCatalogue(installation.database));
    FolderTree tree;
    ASSERT_TRUE(catalogue.OpenCatalogueTables());
    ASSERT_TRUE(tree.LoadFolderTree(catalogue));
    catalogue.CloseCatalogueTables();
    EXPECT_NE(tree.FolderIdOfPath(installation.data + "/sub"), 0);
}

// Runs the real program with its own home and runtime folder.
pid_t StartKorvane(const std::vector<std::string>& arguments, const std::string& home,
                   const std::string& runtime) {
    std::vector<std::string> env_text = {"KORVANE_HOME=" + home, "XDG_RUNTIME_DIR=" + runtime,
                                         "QT_QPA_PLATFORM=offscreen", "HOME=" + home};
    std::vector<char*> env;
    for (std::string& text : env_text)
        env.push_back(text.data());
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string_view entry(*e);
        if (entry.rfind("KORVANE_HOME=", 0) != 0 && entry.rfind("XDG_RUNTIME_DIR=", 0) != 0 &&
            entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("HOME=", 0) != 0)
            env.push_back(*e);
    }
    env.push_back(nullptr);
    std::string program = KORVANE_BINARY_DIR "/korvane";
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : all)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), env.data()) != 0)
        return -1;
    return pid;
}

// The exit code, or -1 when the process did not end in time (it is then killed).
int WaitExit(pid_t pid, int seconds) {
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

TEST(OpenRequests, ASecondStartHandsItsDocumentToTheRunningWindow) {
    TempDir dir;
    Installation installation(dir);
    WriteProfileString(installation.settings, kSelectedVolumeSection, "Selected Drive", "\"/\",");
    const std::string runtime = dir / "run";
    std::filesystem::create_directories(runtime);
    const std::string query = dir / "Big Files.qry";
    ASSERT_TRUE(
        WriteFileBytes(query, "[Query]\r\nDescription=Big files\r\nInitial Folder=" + installation.data +
                                  "\r\nLines=1\r\nQueryLine[0]= \"File\", \"Name\",\r\n"));
    const pid_t running = StartKorvane({}, installation.home, runtime);
    ASSERT_GT(running, 0);
    const std::string socket = OpenRequestSocketPath(runtime + "/Korvane.lock");
    bool listening = false;
    for (int i = 0; i < 400 && !listening; ++i) {
        listening = std::filesystem::exists(socket);
        if (!listening)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(listening) << socket;
    // The running window opens the file and the second start ends with 0.
    EXPECT_EQ(WaitExit(StartKorvane({"/OPEN", query}, installation.home, runtime), 30), 0);
    // A file that cannot be read is refused without a box in the running window.
    EXPECT_EQ(WaitExit(StartKorvane({"/OPEN", dir / "missing.qry"}, installation.home, runtime), 30), 1);
    // The socket is the user's own.
    EXPECT_EQ(std::filesystem::status(socket).permissions() &
                  (std::filesystem::perms::group_all | std::filesystem::perms::others_all),
              std::filesystem::perms::none);
    int status = 0;
    EXPECT_EQ(waitpid(running, &status, WNOHANG), 0) << "the running instance ended";
    kill(running, SIGTERM);
    waitpid(running, &status, 0);
}

}  // namespace
}  // namespace korvane

namespace korvane {
namespace {

// While a build holds the window (it is disabled under the progress window),
// a handed-over document waits; it opens once the window is free.
TEST(OpenRequests, TheRunningWindowKeepsARequestUntilItIsFree) {
    TempDir dir;
    WindowedStart start;
    start.paths = InstallPathsOf(dir.str());
    bool fresh = false;
    ASSERT_TRUE(PrepareInstallFolder(start.paths, fresh));
    start.options = ReadProgramOptions(start.paths.settings_path);
    start.show_splash = false;
    testing::RecordingUserInterface ui;
    CMainFrame frame(start, ui);
    frame.show();
    OpenRequestReceiver receiver(frame);
    const std::string socket = dir / "Korvane.open";
    ASSERT_TRUE(receiver.Listen(socket));
    const std::string query = dir / "Waiting.qry";
    ASSERT_TRUE(WriteFileBytes(query, "[Query]\r\nDescription=waiting\r\nLines=0\r\n"));

    frame.setEnabled(false);
    OpenRequestAnswer answer = OpenRequestAnswer::NoInstance;
    std::thread second([&] { answer = SendOpenRequest(socket, query); });
    EXPECT_TRUE(WaitUntil([&] { return receiver.Waiting() == 1; }, 10000));
    second.join();
    EXPECT_EQ(answer, OpenRequestAnswer::Queued);
    EXPECT_TRUE(frame.Documents().empty());
    frame.setEnabled(true);
    EXPECT_TRUE(WaitUntil([&] { return frame.Documents().size() == 1; }, 5000));
    EXPECT_EQ(receiver.Waiting(), 0u);
}

}  // namespace
}  // namespace korvane
