#include "ui/windowed_program.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "app/profile_file.h"
#include "qt_environment.h"
#include "support/temp_dir.h"
#include "ui/main_frame.h"
#include "ui/qt_user_interface.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

CMainFrame* RunningFrame() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* frame = qobject_cast<CMainFrame*>(widget); frame != nullptr && frame->isVisible())
            return frame;
    }
    return nullptr;
}

class WindowedProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        start.paths = InstallPathsOf(dir.str());
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(start.paths, fresh));
        ASSERT_TRUE(WriteProfileString(start.paths.settings_path, "Tip", "StartUp", "0"));
        start.options = ReadProgramOptions(start.paths.settings_path);
        start.show_splash = false;
        start.load_folder_tree = [this] {
            // The status window must be on the screen before the long load starts.
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (widget->windowTitle() == "Please wait" && widget->isVisible() && widget->windowHandle() &&
                    widget->windowHandle()->isExposed()) {
                    status_seen = true;
                }
            }
            return WriteFileBytes(dir / "tree.loaded", "1");
        };
        start.write_id_counters = [this] { WriteFileBytes(dir / "counters", "Volume Key=3"); };
        start.select_first_volumes = [this](CMainFrame& frame, UserInterface&) {
            ++first_run_dialogs;
            documents_at_first_run = frame.Documents().size();
            return false;
        };
    }
    // Closes the main window once the message loop runs, noting what it held.
    void CloseWhenRunning() {
        closer = std::make_unique<QTimer>();
        QObject::connect(closer.get(), &QTimer::timeout, [this] {
            CMainFrame* frame = RunningFrame();
            if (frame == nullptr || QThread::currentThread()->loopLevel() == 0)
                return;
            closer->stop();
            for (WindowDocument* document : frame->Documents())
                open_at_close.push_back(document->PathName());
            frame->close();
        });
        closer->start(10);
    }
    int Run() {
        int argc = 1;
        char name[] = "korvane";
        char* argv[] = {name, nullptr};
        return RunWindowedProgram(argc, argv, start);
    }

    TempDir dir;
    WindowedStart start;
    bool status_seen = false;
    int first_run_dialogs = 0;
    std::size_t documents_at_first_run = 0;
    std::vector<std::string> open_at_close;
    std::unique_ptr<QTimer> closer;
};

TEST_F(WindowedProgramTest, InteractiveRunReopensTheProjectAndAsksForVolumesOnAFirstRun) {
    const std::string query = dir / "Big Files.qry";
    ASSERT_TRUE(WriteFileBytes(query, "[Query Options]\r\n"));
    ASSERT_TRUE(WriteProfileString(start.paths.settings_path, "Current Project", "File1", query));
    CloseWhenRunning();
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(status_seen);
    EXPECT_EQ(ReadFileBytes(dir / "tree.loaded"), "1");
    EXPECT_EQ(first_run_dialogs, 1);
    EXPECT_EQ(documents_at_first_run, 1u);
    EXPECT_EQ(open_at_close, std::vector<std::string>{query});
    EXPECT_EQ(ReadProfileString(start.paths.settings_path, "Current Project", "File1"), query);
    EXPECT_EQ(ReadFileBytes(dir / "counters"), "Volume Key=3");
}

TEST_F(WindowedProgramTest, TheCoresInterfaceGetsTheMainWindow) {
    QtUserInterface ui;
    start.ui = &ui;
    QWidget* owner_while_running = nullptr;
    start.select_first_volumes = [&](CMainFrame& frame, UserInterface& given) {
        EXPECT_EQ(&given, &ui);
        EXPECT_EQ(ui.MainWindow(), &frame);
        owner_while_running = ui.MainWindow();
        return false;
    };
    CloseWhenRunning();
    EXPECT_EQ(Run(), 0);
    EXPECT_NE(owner_while_running, nullptr);
    EXPECT_EQ(ui.MainWindow(), nullptr);
}

TEST_F(WindowedProgramTest, BuiltCatalogueSkipsTheVolumeDialog) {
    ASSERT_TRUE(
        WriteProfileString(start.paths.settings_path, "Selected Volume", "Selected Drive", "\"/srv\""));
    CloseWhenRunning();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(first_run_dialogs, 0);
}

TEST_F(WindowedProgramTest, OpenRunOpensOnlyItsDocument) {
    const std::string previous = dir / "Previous.qry";
    const std::string asked = dir / "Weekly.rst";
    ASSERT_TRUE(WriteFileBytes(previous, "[Query Options]\r\n"));
    ASSERT_TRUE(WriteFileBytes(asked, "[Graph Options]\r\n"));
    ASSERT_TRUE(WriteProfileString(start.paths.settings_path, "Current Project", "File1", previous));
    start.request = {RunMode::Open, asked};
    CloseWhenRunning();
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(open_at_close, std::vector<std::string>{asked});
    EXPECT_EQ(first_run_dialogs, 0);
    EXPECT_EQ(ReadProfileString(start.paths.settings_path, "Current Project", "File1"), asked);
}

TEST_F(WindowedProgramTest, PrintRunOfAMissingDocumentEndsWithoutTheLoop) {
    ASSERT_TRUE(WriteProfileString(start.paths.settings_path, "Current Project", "File1", "kept.qry"));
    start.request = {RunMode::Print, dir / "Missing.rst"};
    // A print run is unattended: the failed open says why in the event log, never in a box.
    setenv("PRINTER", (dir / "Missing.pdf").c_str(), 1);
    testing::MessageBoxAnswerer answerer;
    EXPECT_EQ(Run(), 1);
    unsetenv("PRINTER");
    EXPECT_TRUE(answerer.boxes.empty());
    const std::string log = ReadFileBytes(start.paths.event_log_path);
    EXPECT_NE(
        log.find("\"Korvane\", \"Error\", \"Cannot open the document '" + (dir / "Missing.rst") + "'. "),
        std::string::npos)
        << log;
    // A print run never writes the project list, but still writes the counters.
    EXPECT_EQ(ReadProfileString(start.paths.settings_path, "Current Project", "File1"), "kept.qry");
    EXPECT_EQ(ReadFileBytes(dir / "counters"), "Volume Key=3");
}

TEST_F(WindowedProgramTest, FailedFolderLoadEndsTheProgram) {
    start.load_folder_tree = [] { return false; };
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(RunningFrame(), nullptr);
    EXPECT_EQ(ReadFileBytes(dir / "counters"), "");
}

}  // namespace
}  // namespace korvane
