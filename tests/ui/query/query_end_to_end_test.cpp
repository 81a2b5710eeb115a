// The query window in the program's own setting: a catalogue on disk built
// from a tree made here, the main window over the program state, a query made
// with the mouse, executed into a result window whose rows are the tree's
// files; and the window's Select Volume rebuilding the catalogue, after which
// the open result shows the tree as it is now.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>
#include <filesystem>
#include <set>

#include "app/formatting.h"
#include "app/profile_file.h"
#include "app/settings.h"
#include "catalogue/schema.h"
#include "catalogue/user_volumes.h"
#include "program/program_state.h"
#include "program/start_program.h"
#include "qt_environment.h"
#include "scan/volume_scanner.h"
#include "schedule/modal_steps.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "test_paths.h"
#include "ui/main_frame.h"
#include "ui/query/criteria_windows.h"
#include "ui/query/query_dialogs.h"
#include "ui/query/query_frame.h"
#include "ui/result/result_frame.h"
#include "ui/volumes/select_volume_dialog.h"
#include "ui/windowed_program.h"

namespace korvane {
namespace {

using testing::ModalSteps;
using testing::ReadFileBytes;
using testing::TempDir;
using testing::WriteFileBytes;

struct TreeFile {
    std::string name;  // below the tree's root
    off_t size;
};

class QueryEndToEndTest : public ::testing::Test {
  protected:
    void SetUp() override {
        state_.paths = InstallPathsOf(dir_ / "home/");
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(state_.paths, fresh));
        const std::string database = state_.paths.folder + "Korvane.db";
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(database, error)) << error;
        ASSERT_TRUE(state_.catalogue.OpenCatalogue(database)) << state_.catalogue.last_error();
        root_ = std::filesystem::canonical(dir_.path()).string() + "/tree";
        for (const TreeFile& file : std::vector<TreeFile>{{"docs/report.doc", 2'000'000},
                                                          {"docs/notes.txt", 5'000},
                                                          {"docs/old/archive.doc", 3'000'000},
                                                          {"docs/old/huge.iso", 150'000'000},
                                                          {"docs/old/deep/plan.doc", 1'500'000},
                                                          {"pics/a.png", 4'000'000},
                                                          {"top.doc", 2'500'000}})
            MakeFile(file);

        // The tree is a user volume, built as a first run would.
        UserVolumeRecord volume;
        volume.location = root_;
        ASSERT_TRUE(OpenUserVolumes(state_.catalogue));
        ASSERT_TRUE(AddUserVolume(state_.catalogue, volume));
        CloseUserVolumes(state_.catalogue);
        uv_token_ = "\"uv: " + std::to_string(volume.uv_id) + "\",";
        ScanContext context(state_.catalogue, state_.tree, state_.counters, ui_, state_.paths.event_log_path);
        ASSERT_TRUE(BuildCatalogue(context, uv_token_, nullptr));
        ASSERT_TRUE(LoadCatalogueState(state_));
        ASSERT_TRUE(WriteSelectedVolume(state_.paths.settings_path, uv_token_, "January 01,2026 09:00AM"));

        start_.paths = state_.paths;
        start_.options = ReadProgramOptions(state_.paths.settings_path);
        start_.options.database = database;
        start_.show_splash = false;
        start_.folders = &state_.tree;
        start_.state = &state_;
        services_ = ServicesOf(state_);
        services_.programs.fstab_path = dir_ / "fstab";
        ASSERT_TRUE(WriteFileBytes(services_.programs.fstab_path, ""));
        start_.select_first_volumes = [this](CMainFrame& frame, UserInterface&) {
            return SelectVolumesAndBuild(services_, &frame);
        };
    }

    void MakeFile(const TreeFile& file) {
        const std::string path = root_ + "/" + file.name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(::ftruncate(fd, file.size), 0);
        ::close(fd);
    }

    std::unique_ptr<CMainFrame> MakeMainFrame() {
        auto frame = std::make_unique<CMainFrame>(start_, ui_);
        frame->resize(1100, 750);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        return frame;
    }

    static void ClickTool(CQueryFrame& frame, int command) {
        QWidget* button = frame.QueryToolBar()->widgetForAction(frame.CommandAction(command));
        ASSERT_NE(button, nullptr) << command;
        QTest::mouseClick(button, Qt::LeftButton);
    }

    static void DoubleClickItem(QAbstractItemView* view, const QString& text) {
        const QModelIndexList found =
            view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << text.toStdString();
        const QPoint at = view->visualRect(found.front()).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    }

    // A picture for a person to look at, in the build folder's "screenshots".
    static void Picture(QWidget& widget, const char* name) {
        const QString folder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
        ASSERT_TRUE(QDir().mkpath(folder));
        QApplication::processEvents();
        EXPECT_TRUE(widget.grab().save(folder + "/" + name, "PNG")) << name;
    }

    static void ClickOk(QWidget* dialog) {
        QTest::mouseClick(dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }

    // The result window's rows as "name size" texts.
    std::multiset<std::string> ResultRows(CMainFrame& main, WindowDocument* result) {
        auto* frame = qobject_cast<CResultFrame*>(main.FrameOf(result));
        EXPECT_NE(frame, nullptr);
        if (frame == nullptr)
            return {};
        ReportRows& rows = frame->ResultView()->Model()->Rows();
        int name = -1, size = -1;
        for (int i = 0; i < static_cast<int>(rows.columns().size()); ++i) {
            if (rows.columns()[i].title == "Name")
                name = i;
            if (rows.columns()[i].title == "Size")
                size = i;
        }
        EXPECT_TRUE(name >= 0 && size >= 0);
        std::multiset<std::string> texts;
        for (int i = 0; i < rows.ItemCount(); ++i)
            texts.insert(rows.CellText(i, name, state_.tree) + " " + rows.CellText(i, size, state_.tree));
        return texts;
    }

    // A query of File Name and File Size over docs and its subfolders.
    std::string WriteDocsQuery() {
        const std::string path = state_.paths.folder + "Docs.qry";
        EXPECT_TRUE(WriteFileBytes(
            path, "[Query Options]\r\nIncludeSubFolders=1\r\n[Query]\r\nInitial Folder=" + root_ +
                      "/docs\r\nLines=2\r\nQueryLine[0]= \"File\", \"Name\",\r\n"
                      "QueryLine[1]= \"File\", \"Size\",\r\n"));
        return path;
    }

    TempDir dir_;
    std::string root_;
    std::string uv_token_;
    testing::RecordingUserInterface ui_;
    ProgramState state_{ui_};
    WindowedStart start_;
    VolumeSelectionServices services_;
};

TEST_F(QueryEndToEndTest, AQueryMadeInTheWindowExecutesIntoTheTreesFiles) {
    auto main = MakeMainFrame();
    WindowDocument* document = main->NewProject(state_.paths.folder + "Big Docs.qry");
    auto* frame = qobject_cast<CQueryFrame*>(main->FrameOf(document));
    ASSERT_NE(frame, nullptr);

    DoubleClickItem(frame->FieldView(), QStringLiteral("File Name"));
    DoubleClickItem(frame->FieldView(), QStringLiteral("File Size"));
    ClickTool(*frame, kQueryIncludeSubfolders);
    ModalSteps steps;
    steps
        .Then("korvane::CSizeCriteriaDialog",
              [](QWidget* dialog) {
                  auto* size = static_cast<CSizeCriteriaDialog*>(dialog);
                  QTest::keyClicks(size->edit, QStringLiteral("1M - 100M"));
                  ClickOk(size);
              })
        .Then("korvane::CInitialFolderDialog", [&](QWidget* dialog) {
            auto* chooser = static_cast<CInitialFolderDialog*>(dialog);
            const QModelIndex docs = chooser->model->IndexOf(state_.tree.FindFolderByPath(root_ + "/docs"));
            ASSERT_TRUE(docs.isValid());
            chooser->tree->expand(docs.parent());
            chooser->tree->scrollTo(docs);
            QTest::mouseClick(chooser->tree->viewport(), Qt::LeftButton, {},
                              chooser->tree->visualRect(docs).center());
            ClickOk(chooser);
        });
    DoubleClickItem(frame->QueryView(), QStringLiteral("File Size"));
    ClickTool(*frame, kQueryInitialFolder);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(frame->StatusPane(0)->text().toStdString(), root_ + "/docs");

    ClickTool(*frame, kQueryExecute);
    ASSERT_EQ(main->Documents().size(), 2u) << ::testing::PrintToString(ui_.messages.size());
    WindowDocument* result = main->Documents()[1];
    EXPECT_EQ(result->PathName(), state_.paths.folder + "Big Docs.rst");
    // The tree itself answers the same question: files of 1 MB to 100 MB
    // in docs and below.
    std::multiset<std::string> expected;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_ + "/docs")) {
        const std::uintmax_t size = entry.is_regular_file() ? entry.file_size() : 0;
        if (size >= 1'000'000 && size <= 100'000'000)
            expected.insert(entry.path().filename().string() + " " +
                            FormatSizeApprox(static_cast<double>(size)));
    }
    EXPECT_EQ(expected.size(), 3u);
    EXPECT_EQ(ResultRows(*main, result), expected);
    main->Area()->tileSubWindows();
    Picture(*main, "query_executed.png");
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(QueryEndToEndTest, SelectVolumeInTheQueryWindowRebuildsAndTheResultShowsTheTreeAsItIsNow) {
    auto main = MakeMainFrame();
    auto* frame = qobject_cast<CQueryFrame*>(main->FrameOf(main->OpenDocumentFile(WriteDocsQuery())));
    ASSERT_NE(frame, nullptr);
    ClickTool(*frame, kQueryExecute);
    ASSERT_EQ(main->Documents().size(), 2u);
    WindowDocument* result = main->Documents()[1];
    auto names = [&] {
        std::set<std::string> listed;
        for (const std::string& row : ResultRows(*main, result))
            listed.insert(row.substr(0, row.find(' ')));
        return listed;
    };
    EXPECT_EQ(names(),
              (std::set<std::string>{"report.doc", "notes.txt", "archive.doc", "huge.iso", "plan.doc"}));

    // Cancelled, and OK with nothing chosen: nothing is built.
    std::filesystem::remove(root_ + "/docs/old/archive.doc");
    MakeFile({"docs/new.doc", 700'000});
    QSignalSpy refreshed(result, &WindowDocument::Updated);
    ModalSteps steps;
    steps.Then("SelectVolumeDialog", [&](QWidget* dialog) {
        ClickOk(dialog);
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClick(dialog, Qt::Key_Escape);
    });
    ClickTool(*frame, kQuerySelectVolume);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, "Volumes must be selected to build a database.");
    EXPECT_EQ(refreshed.size(), 0);
    EXPECT_EQ(ReadSelectedDrive(state_.paths.settings_path), uv_token_);

    // The tree's user volume chosen with the mouse: the catalogue is built
    // anew, the query finds its folder again and the result runs again.
    steps.Then("SelectVolumeDialog", [&](QWidget* dialog) {
        auto* select = static_cast<SelectVolumeDialog*>(dialog);
        QTest::mouseClick(select->ViewButton(VolumeView::UserVolumes), Qt::LeftButton);
        QTreeWidget* list = select->List();
        ASSERT_EQ(list->topLevelItemCount(), 1);
        EXPECT_EQ(list->topLevelItem(0)->text(kLocationColumn).toStdString(), root_);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        Picture(*select, "select_volume_from_query.png");
        ClickOk(select);
    });
    ClickTool(*frame, kQuerySelectVolume);
    ASSERT_TRUE(steps.Done()) << steps.Waiting();
    EXPECT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ReadSelectedDrive(state_.paths.settings_path), uv_token_);
    EXPECT_NE(ReadProfileString(state_.paths.settings_path, "Selected Volume", "ScanDateTime", ""),
              "January 01,2026 09:00AM");
    EXPECT_EQ(frame->Document().Profile().initial_folder_id, state_.tree.FolderIdOfPath(root_ + "/docs"));
    EXPECT_NE(frame->Document().Profile().initial_folder_id, 0);
    EXPECT_GE(refreshed.size(), 1);
    EXPECT_EQ(names(), (std::set<std::string>{"report.doc", "notes.txt", "new.doc", "huge.iso", "plan.doc"}));
}

}  // namespace
}  // namespace korvane
