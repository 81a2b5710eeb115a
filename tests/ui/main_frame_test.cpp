#include "ui/main_frame.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QTest>
#include <QToolBar>
#include <filesystem>

#include "app/profile_file.h"
#include "app/settings.h"
#include "qt_environment.h"
#include "schedule/scheduler_link.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/document_frame.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

using testing::ReadFileBytes;
using testing::RecordingUserInterface;
using testing::TempDir;
using testing::WaitUntil;
using testing::WriteFileBytes;

class MainFrameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        start.paths = InstallPathsOf(dir.str());
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(start.paths, fresh));
        start.options = ReadProgramOptions(start.paths.settings_path);
        start.show_splash = false;
        // No scheduler answers here: each schedule opened says so once.
        start.scheduler_link.socket_path = dir / "no-scheduler.sock";
    }
    std::unique_ptr<CMainFrame> MakeFrame() {
        auto frame = std::make_unique<CMainFrame>(start, ui);
        frame->resize(1000, 700);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        return frame;
    }
    std::string MakeFile(const std::string& name, const std::string& text = "[Query Options]\r\n") {
        const std::string path = dir / name;
        EXPECT_TRUE(WriteFileBytes(path, text));
        return path;
    }
    std::string Setting(const std::string& section, const std::string& key) {
        return ReadProfileString(start.paths.settings_path, section, key, "<missing>");
    }

    TempDir dir;
    WindowedStart start;
    RecordingUserInterface ui;
};

TEST_F(MainFrameTest, ProjectListHoldsSavedDocumentsFirstInTemplateOrder) {
    const std::string result = MakeFile("Weekly.rst", "[Graph Options]\r\nDisplayMode=16\r\n");
    const std::string query = MakeFile("Big Files.qry");
    const std::string gone = MakeFile("Gone.sch", "[Schedule]\r\n");
    const std::string schedule = MakeFile("Night.sch", "[Schedule]\r\nStartup=Startup\r\n");
    ASSERT_TRUE(WriteProfileString(start.paths.settings_path, "Current Project", "File16", "kept.qry"));
    auto frame = MakeFrame();
    // Opened result first: the list still starts with the query.
    ASSERT_NE(frame->OpenDocumentFile(result), nullptr);
    ASSERT_NE(frame->OpenDocumentFile(query), nullptr);
    ASSERT_NE(frame->OpenDocumentFile(gone), nullptr);
    ASSERT_NE(frame->OpenDocumentFile(schedule), nullptr);
    std::filesystem::remove(gone);

    EXPECT_TRUE(frame->close());
    EXPECT_EQ(Setting("Current Project", "File1"), query);
    EXPECT_EQ(Setting("Current Project", "File2"), result);
    EXPECT_EQ(Setting("Current Project", "File3"), schedule);
    // Four documents considered: twelve empty places follow the three saved ones.
    for (int i = 4; i <= 15; ++i)
        EXPECT_EQ(Setting("Current Project", "File" + std::to_string(i)), "") << i;
    EXPECT_EQ(Setting("Current Project", "File16"), "kept.qry");
    EXPECT_EQ(ReadProjectList(start.paths.settings_path),
              (std::vector<std::string>{query, result, schedule}));
    EXPECT_TRUE(frame->Documents().empty());
    EXPECT_FALSE(frame->StatusPanes()->FirstTimer().isActive());
    EXPECT_FALSE(frame->StatusPanes()->MinuteTimer().isActive());
}

TEST_F(MainFrameTest, OnlySixteenDocumentsAreConsidered) {
    auto frame = MakeFrame();
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i) {
        paths.push_back(MakeFile("q" + std::to_string(100 + i) + ".qry"));
        ASSERT_NE(frame->OpenDocumentFile(paths.back()), nullptr);
    }
    ASSERT_TRUE(frame->SaveProjectList());
    const auto list = ReadProjectList(start.paths.settings_path);
    EXPECT_EQ(list, std::vector<std::string>(paths.begin(), paths.begin() + 16));
}

TEST_F(MainFrameTest, ReopeningPassesOverWhatFailsAndStopsAtTheFirstEmptyEntry) {
    const std::string query = MakeFile("a.qry");
    const std::string schedule = MakeFile("c.sch", "[Schedule]\r\n");
    const std::string after_gap = MakeFile("x.rst", "[Graph Options]\r\n");
    ProfileDocument settings;
    ASSERT_TRUE(settings.Load(start.paths.settings_path));
    settings.Set("Current Project", "File1", query);
    settings.Set("Current Project", "File2", dir / "missing.qry");
    settings.Set("Current Project", "File3", schedule);
    settings.Set("Current Project", "File4", "");
    settings.Set("Current Project", "File5", after_gap);
    ASSERT_TRUE(settings.Save(start.paths.settings_path));

    auto frame = MakeFrame();
    frame->ReopenProjectList();
    const auto documents = frame->Documents();
    ASSERT_EQ(documents.size(), 2u);
    EXPECT_EQ(documents[0]->PathName(), query);
    EXPECT_EQ(documents[1]->PathName(), schedule);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[0].text.find("missing.qry"), std::string::npos);
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(ui.messages[1].text, kSchedulerNotOnline);
}

TEST_F(MainFrameTest, DocumentsOpenOnceWithTheirTypesAndTitles) {
    const std::string query = MakeFile("Big Files.qry");
    const std::string result = MakeFile("Big Files.rst", "[Graph Options]\r\n");
    const std::string schedule = MakeFile("Night.SCH", "[Schedule]\r\n");
    auto frame = MakeFrame();
    WindowDocument* opened = frame->OpenDocumentFile(query);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(frame->OpenDocumentFile(dir.str() + "/./Big Files.qry"), opened);
    EXPECT_EQ(frame->Area()->subWindowList().size(), 1);
    EXPECT_EQ(frame->WindowOf(opened)->windowTitle(), "Big Files - Korvane Query");
    ASSERT_NE(frame->OpenDocumentFile(result), nullptr);
    WindowDocument* night = frame->OpenDocumentFile(schedule);
    ASSERT_NE(night, nullptr);
    EXPECT_EQ(night->Type().kind, DocumentKind::Schedule);
    EXPECT_EQ(frame->WindowOf(night)->windowTitle(), "Night - Korvane Schedule");
    EXPECT_EQ(frame->windowTitle(), "Korvane - Night");
    EXPECT_EQ(frame->ActiveDocument(), night);

    EXPECT_EQ(frame->OpenDocumentFile(MakeFile("notes.txt")), nullptr);
    EXPECT_EQ(frame->OpenDocumentFile(dir.str()), nullptr);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, kSchedulerNotOnline);
    EXPECT_NE(ui.messages[1].text.find("notes.txt"), std::string::npos);
    EXPECT_EQ(frame->Documents().size(), 3u);
}

TEST_F(MainFrameTest, NewProjectMakesAnEmptyFileOrSaysItCannot) {
    auto frame = MakeFrame();
    const std::string fresh = dir / "Fresh.sch";
    WindowDocument* document = frame->NewProject(fresh);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(std::filesystem::exists(fresh));
    EXPECT_EQ(std::filesystem::file_size(fresh), 0u);
    EXPECT_EQ(document->Type().kind, DocumentKind::Schedule);

    const std::string existing = MakeFile("Kept.qry", "[Query Options]\r\nDuplicates=NAME,\r\n");
    ASSERT_NE(frame->NewProject(existing), nullptr);
    EXPECT_EQ(ReadFileBytes(existing), "[Query Options]\r\nDuplicates=NAME,\r\n");

    EXPECT_EQ(frame->NewProject(dir / "no/such/folder/New.qry"), nullptr);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, kSchedulerNotOnline);
    EXPECT_EQ(ui.messages[1].text, "Cannot create project.");
    EXPECT_EQ(ui.messages[1].buttons, MessageButtons::Ok);
}

TEST_F(MainFrameTest, RecentFilesAreKeptInTheSettings) {
    const std::string first = MakeFile("First.qry");
    const std::string second = MakeFile("Second.rst", "[Graph Options]\r\n");
    {
        auto frame = MakeFrame();
        ASSERT_NE(frame->OpenDocumentFile(first), nullptr);
        ASSERT_NE(frame->OpenDocumentFile(second), nullptr);
        EXPECT_EQ(Setting("Recent File List", "File1"), second);
        EXPECT_EQ(Setting("Recent File List", "File2"), first);
    }
    std::filesystem::remove(second);
    auto frame = MakeFrame();
    ASSERT_EQ(frame->RecentFiles().Files().size(), 2u);
    QAction* latest = nullptr;
    for (QAction* action : frame->menuBar()->actions().front()->menu()->actions()) {
        if (action->text().startsWith("&1 "))
            latest = action;
    }
    ASSERT_NE(latest, nullptr);
    EXPECT_TRUE(latest->text().endsWith("Second.rst"));
    latest->trigger();
    // The file is gone: after its message it leaves the list.
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(frame->RecentFiles().Files(), std::vector<std::string>{first});
    EXPECT_EQ(Setting("Recent File List", "File1"), first);
    EXPECT_EQ(Setting("Recent File List", "File2"), "<missing>");
}

TEST_F(MainFrameTest, ModifiedDocumentAsksBeforeTheWindowCloses) {
    const std::string query = MakeFile("Edited.qry");
    auto frame = MakeFrame();
    WindowDocument* document = frame->OpenDocumentFile(query);
    ASSERT_NE(document, nullptr);
    document->SetModifiedFlag();
    ui.answers = {MessageAnswer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(frame->Documents().size(), 1u);
    EXPECT_TRUE(frame->StatusPanes()->FirstTimer().isActive() ||
                frame->StatusPanes()->MinuteTimer().isActive());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Save changes to Edited?");
    EXPECT_EQ(ui.messages[0].buttons, MessageButtons::YesNoCancel);

    // Closing the document's own window asks too; No closes it unsaved.
    ui.answers = {MessageAnswer::No};
    ASSERT_TRUE(frame->WindowOf(document)->close());
    ASSERT_TRUE(WaitUntil([&] { return frame->Documents().empty(); }));
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(frame->windowTitle(), "Korvane");
}

TEST_F(MainFrameTest, PrintRunPrintsEveryViewButTheFirstAndFailsWhenOneDoesNot) {
    const std::string query = MakeFile(
        "Weekly.sch", "[Schedule]\r\nStartup=Startup\r\nInterval=Daily\r\n[Script]\r\nLines=1\r\n"
                      "ScriptLine[0]=Scan \"/srv\"\r\n");
    auto frame = MakeFrame();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string pdf = dir / "Weekly.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf));
    ASSERT_TRUE(frame->PrintRun(query, printer));
    ASSERT_TRUE(std::filesystem::exists(pdf));
    EXPECT_EQ(ReadFileBytes(pdf).substr(0, 5), "%PDF-");

    int beeps = 0;
    DocumentFrame* window = frame->FrameOf(frame->Documents().front());
    EXPECT_EQ(PrintViewsDirectly(*window, printer, [&] { ++beeps; }), 1);
    EXPECT_EQ(beeps, 1);

    // A result without a catalogue has no report to print: the run fails and the log says so.
    const std::string result = MakeFile("Weekly.rst", "[Graph Options]\r\nTitle=Weekly growth\r\n");
    EXPECT_FALSE(frame->PrintRun(result, printer));
    EXPECT_NE(ReadFileBytes(start.paths.event_log_path)
                  .find("\"Error\", \"The document " + result + " could not be printed. No catalogue is open.\""),
              std::string::npos);
    EXPECT_FALSE(frame->PrintRun(dir / "Missing.rst", printer));
}

TEST_F(MainFrameTest, MenusToolBarAndMenuPrompt) {
    auto frame = MakeFrame();
    QStringList menus;
    for (QAction* action : frame->menuBar()->actions()) {
        if (action->isVisible())
            menus << action->text();
    }
    EXPECT_EQ(menus, QStringList({"&File", "&View", "&Help"}));
    QStringList buttons;
    for (QAction* action : frame->MainToolBar()->actions()) {
        buttons << (action->isSeparator() ? QString("|") : QString::number(action->data().toInt()));
    }
    EXPECT_EQ(buttons.join(' '), "57600 57601 57603 | 57635 57634 57637 9014 | 57607 | 1046 57669");
    EXPECT_EQ(frame->MainToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    for (QAction* action : frame->MainToolBar()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_TRUE(action->isVisible()) << action->text().toStdString();
        }
    }
    EXPECT_FALSE(frame->CommandAction(kFileSave)->isEnabled());
    EXPECT_FALSE(frame->CommandAction(kFilePrint)->isEnabled());

    FrameStatusBar* bar = frame->StatusPanes();
    QApplication::processEvents();
    const int width = bar->MessagePane()->width();
    QMenu* file = frame->menuBar()->actions().front()->menu();
    file->popup(frame->mapToGlobal(QPoint(5, 25)));
    ASSERT_TRUE(WaitUntil([&] { return file->isVisible(); }));
    EXPECT_FALSE(bar->DatePane()->isVisible());
    file->hide();
    ASSERT_TRUE(WaitUntil([&] { return bar->DatePane()->isVisible(); }));
    ASSERT_TRUE(WaitUntil([&] { return bar->MessagePane()->width() == width; }));

    frame->OpenDocumentFile(MakeFile("Menus.sch", "[Schedule]\r\n"));
    menus.clear();
    for (QAction* action : frame->menuBar()->actions()) {
        if (action->isVisible())
            menus << action->text();
    }
    EXPECT_EQ(menus, QStringList({"&File", "&Edit", "&View", "&Window", "&Help"}));
    EXPECT_TRUE(frame->CommandAction(kFileSave)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(kFilePrint)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(kViewEvents)->isVisible());
    for (QAction* action : frame->MainToolBar()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_TRUE(action->isVisible()) << action->text().toStdString();
        }
    }
}

}  // namespace
}  // namespace korvane
