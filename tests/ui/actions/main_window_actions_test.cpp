// The main window's Cut, Copy, Paste and Delete act on the active result
// window's files, clicked on the main tool bar; an action in one result
// window refreshes every other result open on the same catalogue, each
// staying on its folder even when folders were numbered anew.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTableView>
#include <QToolBar>
#include <filesystem>

#include "actions/action_fixture.h"
#include "app/settings.h"
#include "catalogue/user_volumes.h"
#include "ftp_test_server.h"
#include "qt_environment.h"
#include "result/result_fixture.h"
#include "scan/ftp/ftp_scan.h"
#include "test_paths.h"
#include "ui/actions/clipboard_bridge.h"
#include "ui/main_frame.h"
#include "ui/result/result_actions_binding.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

namespace fs = std::filesystem;

class MainWindowActions : public testing::ResultWindowTest {
  protected:
    void SetUp() override {
        ResultWindowTest::SetUp();
        fs::create_directories(dir_ / "data");
        MakeSmallTree();
        ScanAndWriteResult();
        start_.paths = state_.paths;
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(start_.paths, fresh));
        start_.options = ReadProgramOptions(start_.paths.settings_path);
        start_.show_splash = false;
        start_.state = &state_;
        start_.folders = &state_.tree;
        start_.scheduler_link.socket_path = dir_ / "no-scheduler.sock";
        main_ = std::make_unique<CMainFrame>(start_, ui_);
        main_->resize(1200, 800);
        main_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main_.get()));
        main_->activateWindow();
        QApplication::clipboard()->clear();
    }
    void TearDown() override {
        main_.reset();
        ResultWindowTest::TearDown();
    }

    // A second result of the same query, run for a folder below the tree.
    std::string WriteResultFor(const std::string& name, const std::string& folder) {
        return WriteResultAt(name, tree_ + "/" + folder);
    }
    std::string WriteResultAt(const std::string& name, const std::string& folder) {
        const std::string query = state_.paths.folder + name + ".qry";
        if (query != QueryPath())
            fs::copy_file(QueryPath(), query, fs::copy_options::overwrite_existing);
        ResultDocument result;
        result.data.current_folder_id = state_.tree.FolderIdOfPath(folder);
        EXPECT_NE(result.data.current_folder_id, 0) << folder;
        state_.tree.FolderPath(state_.tree.FindFolderById(result.data.current_folder_id), result.data.path);
        const std::string path = state_.paths.folder + name + ".rst";
        EXPECT_TRUE(WriteResultFile(result, path, state_.catalogue, state_.tree));
        return path;
    }

    CResultFrame* Open(const std::string& path) {
        WindowDocument* document = main_->OpenDocumentFile(path);
        EXPECT_NE(document, nullptr) << path;
        Settle();
        return qobject_cast<CResultFrame*>(main_->FrameOf(document));
    }

    void Settle() {
        for (int i = 0; i < 6; ++i)
            QApplication::processEvents();
    }

    QAction* Main(int id) { return main_->CommandAction(id); }
    // A real click on the main tool bar's button of the command.
    void ClickTool(int id) {
        QWidget* button = main_->MainToolBar()->widgetForAction(Main(id));
        ASSERT_NE(button, nullptr) << id;
        QTest::mouseClick(button, Qt::LeftButton);
        Settle();
    }

    static ReportRows& RowsOf(CResultFrame& frame) { return frame.ResultView()->Model()->Rows(); }
    // The display position of the row whose label is name; -1 when not listed.
    int PositionIn(CResultFrame& frame, const std::string& name) {
        ReportRows& rows = RowsOf(frame);
        int label = 0;
        while (label < static_cast<int>(rows.columns().size()) && rows.columns()[label].title != "Name")
            ++label;
        for (int i = 0; i < rows.ItemCount(); ++i) {
            if (rows.CellText(i, label, state_.tree) == name)
                return i;
        }
        return -1;
    }
    void ClickRow(CResultFrame& frame, const std::string& name) {
        const int position = PositionIn(frame, name);
        ASSERT_GE(position, 0) << name;
        QTableView* report = frame.ResultView()->Report();
        const QRect cell = report->visualRect(report->model()->index(position, 0));
        QTest::mouseClick(report->viewport(), Qt::LeftButton, {}, cell.center());
        Settle();
    }

    // The query of the results shows each row's folder (the Path column).
    void ShowPathColumn() {
        QueryProfile profile;
        ASSERT_TRUE(ReadQueryFile(profile, QueryPath(), state_.tree, true));
        profile.fields[FindQueryField(profile, "File", "Parent ID")].in_query = true;
        ASSERT_TRUE(WriteQueryFile(profile, QueryPath()));
    }

    QAction* ActionMenuItem(CResultFrame& frame, const QString& text) {
        for (QAction* entry : frame.menuBar()->actions()) {
            if (entry->text() != "&Action" || entry->menu() == nullptr)
                continue;
            for (QAction* item : entry->menu()->actions()) {
                if (item->text() == text)
                    return item;
            }
        }
        ADD_FAILURE() << "no " << text.toStdString() << " in the Action menu";
        return nullptr;
    }

    testing::ScopedEnvironment trash_home_{"XDG_DATA_HOME", (dir_ / "data")};
    WindowedStart start_;
    std::unique_ptr<CMainFrame> main_;
};

TEST_F(MainWindowActions, TheMainToolBarCutsCopiesPastesAndDeletesInTheActiveResult) {
    CResultFrame* sizes = Open(ResultPath());
    ASSERT_NE(sizes, nullptr);
    EXPECT_FALSE(Main(kEditCut)->isEnabled()) << "nothing selected";
    EXPECT_FALSE(Main(kEditCopy)->isEnabled());
    EXPECT_FALSE(Main(kEditPaste)->isEnabled()) << "no files on the clipboard";
    EXPECT_TRUE(Main(kEditDelete)->isEnabled());

    ClickRow(*sizes, "report.doc");
    EXPECT_TRUE(Main(kEditCut)->isEnabled());
    EXPECT_TRUE(Main(kEditCopy)->isEnabled());
    ClickTool(kEditCopy);
    EXPECT_TRUE(Main(kEditPaste)->isEnabled()) << "the copied file is on the clipboard";
    const QString pictures = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(pictures));
    main_->Area()->activeSubWindow()->showMaximized();
    Settle();
    EXPECT_TRUE(main_->grab().save(pictures + "/main_window_edit_tools.png", "PNG"));

    ASSERT_TRUE(sizes->Document().DrillDown(state_.tree.FolderIdOfPath(tree_ + "/other")));
    Settle();
    ClickTool(kEditPaste);
    EXPECT_EQ(fs::file_size(tree_ + "/other/report.doc"), 2'000'000u);
    EXPECT_TRUE(fs::exists(tree_ + "/docs/report.doc"));
    EXPECT_GE(PositionIn(*sizes, "report.doc"), 0) << "the pasted file is listed";
    ExpectCatalogueMatchesFreshScan();

    // Cut then Paste moves.
    ClickRow(*sizes, "outside.doc");
    ClickTool(kEditCut);
    ASSERT_TRUE(sizes->Document().DrillDown(state_.tree.FolderIdOfPath(tree_ + "/docs/old")));
    Settle();
    ClickTool(kEditPaste);
    EXPECT_TRUE(fs::exists(tree_ + "/docs/old/outside.doc"));
    EXPECT_FALSE(fs::exists(tree_ + "/other/outside.doc"));
    ExpectCatalogueMatchesFreshScan();

    // Delete sends the selection to the trash.
    ClickRow(*sizes, "archive.doc");
    ClickTool(kEditDelete);
    EXPECT_FALSE(fs::exists(tree_ + "/docs/old/archive.doc"));
    EXPECT_TRUE(fs::exists(dir_ / "data/Trash/files/archive.doc"));
    EXPECT_EQ(PositionIn(*sizes, "archive.doc"), -1);
    ExpectCatalogueMatchesFreshScan();

    // A window without file actions leaves Cut, Paste and Delete off.
    ASSERT_NE(main_->OpenDocumentFile(QueryPath()), nullptr);
    Settle();
    EXPECT_NE(main_->ActiveDocument(), &sizes->Document());
    EXPECT_FALSE(Main(kEditCut)->isEnabled());
    EXPECT_FALSE(Main(kEditPaste)->isEnabled());
    EXPECT_FALSE(Main(kEditDelete)->isEnabled());
}

TEST_F(MainWindowActions, AnActionInOneResultRefreshesTheOthersOnTheirOwnFolders) {
    // Of docs and other, the folder numbered first and the one after it.
    const bool docs_first =
        state_.tree.FolderIdOfPath(tree_ + "/docs") < state_.tree.FolderIdOfPath(tree_ + "/other");
    const std::string first = docs_first ? "docs" : "other";
    const std::string second = docs_first ? "other" : "docs";
    const std::string moving = docs_first ? "Notes.txt" : "outside.doc";    // a file of first
    const std::string staying = docs_first ? "outside.doc" : "report.doc";  // a file of second
    CResultFrame* later = Open(WriteResultFor("Later", second));
    CResultFrame* sizes = Open(WriteResultFor("Sizes", first));
    ASSERT_NE(later, nullptr);
    ASSERT_NE(sizes, nullptr);
    ASSERT_EQ(main_->ActiveDocument(), &sizes->Document());
    ASSERT_GE(PositionIn(*later, staying), 0);
    const std::int32_t second_before = state_.tree.FolderIdOfPath(tree_ + "/" + second);
    EXPECT_EQ(later->Document().Data().current_folder_id, second_before);

    // A new folder in the first gives the folders after its subtree new numbers.
    auto* binding = sizes->findChild<ResultActionsBinding*>();
    ASSERT_NE(binding, nullptr);
    binding->Actions().Action(ResultCommand::kNewFolder)->trigger();
    Settle();
    // The new folder's name is being edited: leave it as it is.
    if (QWidget* editor = QApplication::focusWidget())
        QTest::keyClick(editor, Qt::Key_Escape);
    Settle();
    ASSERT_TRUE(fs::is_directory(tree_ + "/" + first + "/New Folder"));
    const std::int32_t second_now = state_.tree.FolderIdOfPath(tree_ + "/" + second);
    ASSERT_NE(second_now, second_before) << "the folder after the first was numbered anew";
    EXPECT_EQ(later->Document().Data().current_folder_id, second_now);
    EXPECT_EQ(later->Document().Data().path, tree_ + "/" + second);
    EXPECT_GE(PositionIn(*later, staying), 0) << "still the rows of " << second;
    EXPECT_EQ(PositionIn(*later, "New Folder"), -1);
    EXPECT_GE(PositionIn(*sizes, "New Folder"), 0);
    EXPECT_EQ(main_->ActiveDocument(), &sizes->Document()) << "the other window stayed behind";

    // Cut in one window, paste in the other through the main tool bar: both show the move.
    ClickRow(*sizes, moving);
    ClickTool(kEditCut);
    main_->Area()->setActiveSubWindow(main_->WindowOf(&later->Document()));
    Settle();
    ASSERT_TRUE(Main(kEditPaste)->isEnabled());
    ClickTool(kEditPaste);
    EXPECT_TRUE(fs::exists(tree_ + "/" + second + "/" + moving));
    EXPECT_GE(PositionIn(*later, moving), 0);
    EXPECT_EQ(PositionIn(*sizes, moving), -1) << "the window the file left shows it gone";
    ExpectCatalogueMatchesFreshScan();

    // The folder another window shows goes away: that window moves up to what is left.
    const std::string deep_path = WriteResultFor("Deep", "docs/old/deep");
    CResultFrame* deep = Open(deep_path);
    ASSERT_NE(deep, nullptr);
    main_->Area()->setActiveSubWindow(main_->WindowOf(&sizes->Document()));
    Settle();
    ASSERT_TRUE(sizes->Document().DrillDown(state_.tree.FolderIdOfPath(tree_ + "/docs/old")));
    Settle();
    ClickRow(*sizes, "deep");
    ClickTool(kEditDelete);
    ASSERT_FALSE(fs::exists(tree_ + "/docs/old/deep"));
    EXPECT_EQ(deep->Document().Data().path, tree_ + "/docs/old");
    EXPECT_EQ(deep->Document().Data().current_folder_id, state_.tree.FolderIdOfPath(tree_ + "/docs/old"));
    EXPECT_EQ(PositionIn(*deep, "Huge.doc"), -1);
    ExpectCatalogueMatchesFreshScan();
}

TEST_F(MainWindowActions, LaunchExplorerHandsTheSelectedRowsFolderToTheDesktopsOpener) {
    // No file manager on the session bus here: the desktop's opener is used,
    // and the one first on the PATH records what it was given.
    const std::string bin = dir_ / "bin";
    const std::string opened = dir_ / "opened.txt";
    fs::create_directories(bin);
    ASSERT_TRUE(testing::WriteFileBytes(bin + "/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + opened +
                                                               ".part' && mv '" + opened + ".part' '" +
                                                               opened + "'\n"));
    fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
    testing::ScopedEnvironment path("PATH", bin + ":" + qEnvironmentVariable("PATH").toStdString());
    testing::ScopedEnvironment no_bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (dir_ / "no-bus"));
    MakeFile("docs/old/deep/Weird -name.txt", 10, 1);
    ScanAndWriteResult();
    ShowPathColumn();
    CResultFrame* sizes = Open(ResultPath());
    ASSERT_NE(sizes, nullptr);
    QAction* launch = ActionMenuItem(*sizes, "&Launch Explorer");
    ASSERT_NE(launch, nullptr);
    auto launched = [&] {
        fs::remove(opened);
        launch->trigger();
        for (int i = 0; i < 300 && !fs::exists(opened); ++i)
            QTest::qWait(10);
        return testing::ReadFileBytes(opened);
    };
    auto url = [](const std::string& path) {
        return QUrl::fromLocalFile(QString::fromStdString(path)).toString(QUrl::FullyEncoded).toStdString() +
               "\n";
    };
    EXPECT_EQ(launched(), url(tree_ + "/docs")) << "nothing selected: the result's folder";
    ClickRow(*sizes, "Weird -name.txt");
    EXPECT_EQ(launched(), url(tree_ + "/docs/old/deep")) << "the selected row's own folder";
}

TEST_F(MainWindowActions, CopyOfFtpRowsFetchesTheFilesAndPasteBringsThemIntoALocalFolder) {
    const std::string python = testing::FindPyFtpdlibPython();
    if (python.empty())
        GTEST_SKIP() << "the tests' FTP server needs the Debian package python3-pyftpdlib";
    const std::string site = dir_ / "site";
    fs::create_directories(site + "/pub/docs");
    std::string big(70'000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 131 + 7) % 251);
    ASSERT_TRUE(testing::WriteFileBytes(site + "/pub/docs/b.bin", big));
    ASSERT_TRUE(testing::WriteFileBytes(site + "/pub/docs/plan 2001.txt", "the plan"));
    ASSERT_TRUE(testing::WriteFileBytes(site + "/pub/docs/left.txt", "not selected"));
    fs::create_directories(site + "/pub/docs/inner");
    ASSERT_TRUE(testing::WriteFileBytes(site + "/pub/docs/inner/deep.txt", "deep"));
    testing::FtpTestServer server;
    std::string why;
    fs::create_directories(dir_ / "ftpwork");
    ASSERT_TRUE(server.Start(python, site, dir_ / "ftpwork", why)) << why;

    UserVolumeRecord record;
    record.location = "ftp:127.0.0.1";
    record.user_name = testing::kFtpTestUser;
    record.password = testing::kFtpTestPassword;
    record.port = server.port();
    record.flags = kPassiveTransfers;
    ASSERT_TRUE(OpenUserVolumes(state_.catalogue));
    ASSERT_TRUE(AddUserVolume(state_.catalogue, record));
    ASSERT_TRUE(CloseUserVolumes(state_.catalogue));
    ScanContext scan{state_.catalogue, state_.tree, state_.counters, ui_, state_.paths.event_log_path};
    scan.ftp_scan = [](ScanContext& context, const UserVolumeRecord& volume, ProgressWindow* window) {
        FtpScanTarget target{context.catalogue,
                             context.counters,
                             context.ui,
                             context.event_log_path,
                             FtpTimeouts{10, 10, 10, 10, 10},
                             ""};
        return FtpScanVolume(target, volume, window);
    };
    ASSERT_TRUE(BuildCatalogue(scan, "\"" + tree_ + "\" \"" + UserVolumeToken(record.uv_id) + "\"", nullptr));
    ASSERT_TRUE(LoadCatalogueState(state_));
    ShowPathColumn();
    const std::string local = WriteResultAt("Sizes", tree_ + "/other");
    const std::string remote = WriteResultAt("Site", "ftp:127.0.0.1/pub/docs");

    CResultFrame* here = Open(local);
    CResultFrame* there = Open(remote);
    ASSERT_NE(here, nullptr);
    ASSERT_NE(there, nullptr);
    ClickRow(*there, "b.bin");
    const int plan = PositionIn(*there, "plan 2001.txt");
    const int inner = PositionIn(*there, "inner");
    ASSERT_GE(plan, 0);
    ASSERT_GE(inner, 0);
    QTableView* report = there->ResultView()->Report();
    for (int position : {plan, inner}) {
        QTest::mouseClick(report->viewport(), Qt::LeftButton, Qt::ControlModifier,
                          report->visualRect(report->model()->index(position, 0)).center());
    }
    Settle();
    // A site's rows cannot be cut or pasted onto, only copied.
    EXPECT_TRUE(Main(kEditCopy)->isEnabled());
    ClickTool(kEditCopy);
    ClipboardFiles copied;
    ASSERT_TRUE(ReadFilesFromClipboard(*QApplication::clipboard(), copied));
    EXPECT_EQ(copied.paths.size(), 2u) << "the folder row is left out";
    EXPECT_TRUE(copied.cut) << "the fetched copies are moved from where they were fetched";

    main_->Area()->setActiveSubWindow(main_->WindowOf(&here->Document()));
    Settle();
    ClickTool(kEditPaste);
    EXPECT_EQ(testing::ReadFileBytes(tree_ + "/other/b.bin"), big);
    EXPECT_EQ(testing::ReadFileBytes(tree_ + "/other/plan 2001.txt"), "the plan");
    EXPECT_FALSE(fs::exists(tree_ + "/other/left.txt"));
    EXPECT_FALSE(fs::exists(tree_ + "/other/inner"));
    for (const std::string& fetched : copied.paths) {
        EXPECT_FALSE(fs::exists(fetched)) << fetched;
        EXPECT_FALSE(fs::exists(fs::path(fetched).parent_path().parent_path())) << "the download folder went";
    }
    EXPECT_GE(PositionIn(*here, "b.bin"), 0);
    EXPECT_NE(FileIdByName(state_.catalogue, state_.tree.FolderIdOfPath(tree_ + "/other"), "plan 2001.txt"),
              0);
}

}  // namespace
}  // namespace korvane
