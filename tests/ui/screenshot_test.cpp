// Pictures of the main windows and dialogs for a person to look at; they
// land in the build folder's "screenshots" folder.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include "app/event_log.h"
#include "app/profile_file.h"
#include "qt_environment.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "test_paths.h"
#include "ui/event_viewer.h"
#include "ui/main_frame.h"
#include "ui/options_dialog.h"
#include "ui/qt_user_interface.h"
#include "ui/splash_window.h"
#include "ui/tip_dialog.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

using testing::RecordingUserInterface;
using testing::TempDir;
using testing::WriteFileBytes;

constexpr const char* kQuery =
    "[Query Options]\r\nDatabase=/home/ops/.local/share/korvane/Korvane.db\r\nIncludeSubFolders=1\r\n"
    "Duplicates=\r\nFileThreshold=0\r\nFolderThreshold=0\r\nSortColumn=Size\r\nDescending=DESC\r\n"
    "[Query]\r\nDescription=Documents changed this month\r\nInitial Folder=/srv/data\r\nLines=5\r\n"
    "QueryLine[0]= \"Folder\", \"Name\",\r\nQueryLine[1]= \"Folder\", \"Size\",\r\n"
    "QueryLine[2]= \"File\", \"Name\", Include  \"*.doc\",\"*.txt\", \r\n"
    "QueryLine[3]= \"File\", \"Size\", Include  1M - 10M , \r\n"
    "QueryLine[4]= \"File\", \"Modify Date\", Include Previous  30 Days, \r\n";
constexpr const char* kResult =
    "[Graph Options]\r\nTitle=Documents changed this month\r\nXTitle=\r\nYTitle=\r\nDisplayMode=16\r\n"
    "[Result Table]\r\nPath=/srv/data\r\nStandalone=0\r\nFields=6\r\n";
constexpr const char* kSchedule =
    "[Schedule]\r\nStartup=12/24/1998 23:05:00\r\nInterval=Daily\r\n[Script]\r\nLines=3\r\n"
    "ScriptLine[0]=Scan \"/srv\",\"/home\"\r\nScriptLine[1]=Query \"Big Files\", \"/srv/data\"\r\n"
    "ScriptLine[2]=Export \"@Big Files\", \"/srv/reports/big.csv\"\r\n";

class Screenshots : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QDir().mkpath(folder));
        start.paths = InstallPathsOf(dir.str());
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(start.paths, fresh));
        start.options = ReadProgramOptions(start.paths.settings_path);
        start.show_splash = false;
    }
    void Save(QWidget& widget, const char* name) {
        QApplication::processEvents();
        const QString path = folder + "/" + name;
        EXPECT_TRUE(widget.grab().save(path, "PNG")) << name;
        EXPECT_TRUE(QFileInfo(path).size() > 0) << name;
    }
    QString folder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
    TempDir dir;
    WindowedStart start;
    RecordingUserInterface ui;
};

TEST_F(Screenshots, MainWindowWithOneDocumentOfEachKind) {
    ASSERT_TRUE(WriteFileBytes(dir / "Big Files.qry", kQuery));
    ASSERT_TRUE(WriteFileBytes(dir / "Big Files.rst", kResult));
    ASSERT_TRUE(WriteFileBytes(dir / "Nightly.sch", kSchedule));
    CMainFrame frame(start, ui);
    frame.resize(1200, 800);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    ASSERT_NE(frame.OpenDocumentFile(dir / "Big Files.qry"), nullptr);
    ASSERT_NE(frame.OpenDocumentFile(dir / "Big Files.rst"), nullptr);
    ASSERT_NE(frame.OpenDocumentFile(dir / "Nightly.sch"), nullptr);
    Save(frame, "main_window.png");
    frame.Area()->tileSubWindows();
    Save(frame, "main_window_tiled.png");
}

TEST_F(Screenshots, MainWindowEmpty) {
    CMainFrame frame(start, ui);
    frame.resize(900, 600);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    Save(frame, "main_window_empty.png");
}

TEST_F(Screenshots, Dialogs) {
    ASSERT_TRUE(WriteProfileString(start.paths.settings_path, "Email", "SMTPServer", "mail.example.org"));
    CatalogueUpkeep upkeep{[] { return true; }, [](std::string&) { return true; }, [] { return true; }};
    COptions options(start.paths.settings_path, start.options, upkeep, ui);
    options.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&options));
    Save(options, "options_dialog.png");

    const std::string log = start.paths.event_log_path;
    WriteEvent(log, "Korvane", "Warning", "Only one instance allowed.");
    WriteEvent(log, "Nightly.sch", "Info", "Script completed successfully.");
    WriteEvent(log, "FTP Scan", "Error", "Cannot connect to ftp.example.org: connection refused.");
    WriteEvent(log, "Other", "Notice", "An entry of another type.");
    EventViewer viewer(log, ui);
    viewer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
    Save(viewer, "event_viewer.png");

    ASSERT_TRUE(
        WriteFileBytes(dir / "Korvane.txt",
                       "; tips\r\nDouble-click a folder of a result to run the result for that folder.\r\n"));
    TipDialog tips(dir / "Korvane.txt", start.paths.settings_path);
    tips.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tips));
    Save(tips, "tip_of_the_day.png");

    SplashWindow splash(BuiltInSplashImage());
    splash.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    Save(splash, "splash.png");
}

TEST_F(Screenshots, ProgressAndStatusWindows) {
    QtProgressWindow progress(nullptr);
    progress.SetTitle("Building catalogue");
    ASSERT_TRUE(progress.Show());
    progress.SetFirstLine("/srv/data/projects/2024");
    progress.SetSecondLine("quarterly-report-final.docx");
    progress.SetPosition(42);
    Save(*progress.Window(), "progress_window.png");

    QtStatusWindow status("Please wait", "Initializing...", "Reading folders into memory...", "", "");
    Save(*status.Window(), "status_window.png");
}

}  // namespace
}  // namespace korvane
