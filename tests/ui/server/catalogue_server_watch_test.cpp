// The windowed program on a catalogue kept on a real server: the main window
// with the program state and a result window open. The server ends the
// catalogue's connection, the result runs, and the box offering to
// reconnect comes up with the server's message; a click on Reconnect brings
// the window back to work, and a server that still refuses is said so with
// nothing lost. A build another program commits reaches the open result
// without anyone touching the window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QDir>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <memory>
#include <string>

#include "app/settings.h"
#include "program/program_state.h"
#include "program/start_program.h"
#include "qt_environment.h"
#include "query/query_file.h"
#include "result/result_file.h"
#include "scan/volume_scanner.h"
#include "schedule/modal_steps.h"
#include "support/postgres_server.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "test_paths.h"
#include "ui/main_frame.h"
#include "ui/result/result_frame.h"
#include "ui/server/catalogue_server_watch.h"
#include "ui/windowed_program.h"

namespace korvane::testing {
namespace {

class CatalogueServerWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        uri_ = FreshPostgresDatabase(error);
        ASSERT_FALSE(uri_.empty()) << error;
        state_.paths = InstallPathsOf(dir_ / "home/");
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(state_.paths, fresh));
        ASSERT_TRUE(state_.catalogue.OpenCatalogue(uri_)) << state_.catalogue.last_error();
        tree_ = std::filesystem::canonical(dir_.path()).string() + "/tree";
        for (const char* name : {"docs/report.doc", "docs/notes.txt", "docs/old/archive.doc", "pics/a.png"})
            MakeFile(name);
        ScanContext context(state_.catalogue, state_.tree, state_.counters, ui_, state_.paths.event_log_path);
        ASSERT_TRUE(BuildCatalogue(context, "\"" + tree_ + "\"", nullptr));
        ASSERT_TRUE(LoadCatalogueState(state_));
        WriteQueryAndResult();

        start_.paths = state_.paths;
        start_.options = ReadProgramOptions(state_.paths.settings_path);
        start_.options.database = uri_;
        start_.show_splash = false;
        start_.folders = &state_.tree;
        start_.state = &state_;
        frame_ = std::make_unique<CMainFrame>(start_, ui_);
        frame_->resize(1000, 700);
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
        document_ = qobject_cast<ResultWindowDocument*>(frame_->OpenDocumentFile(ResultPath()));
        ASSERT_NE(document_, nullptr);
        watch_ = WatchServerCatalogue(state_, *frame_);
        ASSERT_NE(watch_, nullptr);
        ASSERT_TRUE(watch_->Listening());
        ASSERT_GE(PositionOf("report.doc"), 0);
    }

    void TearDown() override {
        watch_.reset();
        frame_.reset();
        state_.catalogue.CloseCatalogue();
        std::string error;
        DropPostgresDatabase(uri_, error);
    }

    void MakeFile(const std::string& relative) {
        const std::string path = tree_ + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(::ftruncate(fd, 1000), 0);
        ::close(fd);
    }

    // The query "Files" (folder and file names, subfolders included) and its
    // result for the docs folder.
    void WriteQueryAndResult() {
        QueryProfile saved;
        saved.database_path = uri_;
        saved.initial_folder = tree_ + "/docs";
        saved.include_subfolders = true;
        saved.sort_column = "Name";
        for (auto [table, name] : {std::pair{"Folder", "Name"}, {"File", "Name"}})
            saved.fields[FindQueryField(saved, table, name)].in_query = true;
        ASSERT_TRUE(WriteQueryFile(saved, state_.paths.folder + "Files.qry"));
        ResultDocument result;
        result.data.current_folder_id = state_.tree.FolderIdOfPath(tree_ + "/docs");
        ASSERT_NE(result.data.current_folder_id, 0);
        state_.tree.FolderPath(state_.tree.FindFolderById(result.data.current_folder_id), result.data.path);
        ASSERT_TRUE(WriteResultFile(result, ResultPath(), state_.catalogue, state_.tree));
    }
    std::string ResultPath() const { return state_.paths.folder + "Files.rst"; }

    ReportRows& Rows() {
        auto* frame = qobject_cast<CResultFrame*>(frame_->FrameOf(document_));
        return frame->ResultView()->Model()->Rows();
    }
    int PositionOf(const std::string& name) {
        int column = -1;
        for (int i = 0; i < static_cast<int>(Rows().columns().size()); ++i) {
            if (Rows().columns()[i].title == "Name")
                column = i;
        }
        for (int i = 0; column >= 0 && i < Rows().ItemCount(); ++i) {
            if (Rows().CellText(i, column, state_.tree) == name)
                return i;
        }
        return -1;
    }

    std::string DatabaseName() const {
        const std::size_t slash = uri_.find("@/") + 2;
        return uri_.substr(slash, uri_.find('?') - slash);
    }
    // Runs a statement from a connection to the server's own database, as
    // an administrator would.
    void Admin(const std::string& sql) {
        const std::string server =
            uri_.substr(0, uri_.find("@/") + 2) + "postgres" + uri_.substr(uri_.find('?'));
        PostgresTestConnection admin;
        std::string error;
        ASSERT_TRUE(admin.Connect(server, error)) << error;
        std::vector<PostgresTestConnection::Row> rows;
        ASSERT_TRUE(sql.starts_with("SELECT") ? admin.Query(sql, rows, error) : admin.Execute(sql, error))
            << error;
    }
    void EndCatalogueConnection() {
        Admin("SELECT pg_terminate_backend(" + std::to_string(state_.catalogue.ServerProcessId()) + ")");
    }
    void AllowConnections(bool allow) {
        Admin("ALTER DATABASE " + DatabaseName() + " ALLOW_CONNECTIONS " + (allow ? "true" : "false"));
    }

    // A step that keeps the box's text and clicks its button of that name.
    static std::function<void(QWidget*)> Click(const QString& button, std::string* text = nullptr,
                                               const QString& screenshot = {}) {
        return [button, text, screenshot](QWidget* widget) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            ASSERT_NE(box, nullptr);
            if (text != nullptr)
                *text = box->text().toStdString();
            if (!screenshot.isEmpty()) {
                const QString folder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
                ASSERT_TRUE(QDir().mkpath(folder));
                EXPECT_TRUE(box->grab().save(folder + "/" + screenshot, "PNG"));
            }
            for (QAbstractButton* candidate : box->buttons()) {
                if (candidate->accessibleName() == button) {
                    QTest::mouseClick(candidate, Qt::LeftButton);
                    return;
                }
            }
            ADD_FAILURE() << "no button " << button.toStdString();
        };
    }

    TempDir dir_;
    std::string uri_;
    std::string tree_;
    RecordingUserInterface ui_;
    ProgramState state_{ui_};
    WindowedStart start_;
    std::unique_ptr<CMainFrame> frame_;
    ResultWindowDocument* document_ = nullptr;
    std::unique_ptr<CatalogueServerWatch> watch_;
};

TEST_F(CatalogueServerWatchTest, ALostConnectionIsOfferedAndReconnectBringsTheWindowBack) {
    EndCatalogueConnection();
    std::string text;
    ModalSteps steps;
    steps.Then("ReconnectBox", Click("Reconnect", &text, QStringLiteral("reconnect_box.png")));
    EXPECT_FALSE(document_->Rerun());
    ASSERT_TRUE(WaitUntil([&] { return steps.Done() && watch_->Reloads() == 1; }, 10000)) << steps.Waiting();
    EXPECT_NE(text.find("terminating connection due to administrator command"), std::string::npos) << text;
    // The box said it; no plain engine message came with it.
    for (const RecordedMessage& message : ui_.messages)
        EXPECT_EQ(message.text.find("terminating"), std::string::npos) << message.text;
    // The reload ran the result again, and the next run answers too.
    EXPECT_GE(PositionOf("archive.doc"), 0);
    ASSERT_TRUE(document_->Rerun());
    EXPECT_GE(PositionOf("report.doc"), 0);
    EXPECT_EQ(PositionOf("a.png"), -1);
}

TEST_F(CatalogueServerWatchTest, AServerThatStaysAwayIsSaidSoAndNothingIsLost) {
    const int rows = Rows().ItemCount();
    AllowConnections(false);
    EndCatalogueConnection();
    std::string lost, refused;
    ModalSteps steps;
    steps.Then("ReconnectBox", Click("Reconnect", &lost))
        .Then("ReconnectBox", Click("Close", &refused, QStringLiteral("reconnect_refused.png")));
    EXPECT_FALSE(document_->Rerun());
    ASSERT_TRUE(WaitUntil([&] { return steps.Done(); }, 10000)) << steps.Waiting();
    EXPECT_NE(lost.find("terminating connection"), std::string::npos) << lost;
    EXPECT_NE(refused.find("is not currently accepting connections"), std::string::npos) << refused;
    // The window keeps what it showed, and the folders stay in memory.
    QTest::qWait(600);
    EXPECT_EQ(watch_->Reloads(), 0);
    EXPECT_EQ(Rows().ItemCount(), rows);
    EXPECT_NE(state_.tree.FolderIdOfPath(tree_ + "/docs/old"), 0);

    // The server takes connections again; the next run meets the old loss
    // and is offered to reconnect once more.
    AllowConnections(true);
    ModalSteps again;
    again.Then("ReconnectBox", Click("Reconnect"));
    document_->Rerun();
    ASSERT_TRUE(WaitUntil([&] { return again.Done() && watch_->Reloads() == 1; }, 10000)) << again.Waiting();
    ASSERT_TRUE(document_->Rerun());
    EXPECT_GE(PositionOf("notes.txt"), 0);
}

TEST_F(CatalogueServerWatchTest, AnotherProgramsBuildReachesTheOpenResult) {
    MakeFile("docs/old/added.doc");
    EXPECT_EQ(PositionOf("added.doc"), -1);
    // Another administrator's program, with a catalogue connection of its own.
    SilentUserInterface other_ui;
    Catalogue other(other_ui);
    ASSERT_TRUE(other.OpenCatalogue(uri_)) << other.last_error();
    FolderTree other_tree;
    IdCounters other_counters;
    ScanContext context(other, other_tree, other_counters, other_ui, "");
    ASSERT_TRUE(BuildCatalogue(context, "\"" + tree_ + "\"", nullptr));
    ASSERT_TRUE(WaitUntil([&] { return PositionOf("added.doc") >= 0; }, 10000));
    EXPECT_EQ(watch_->Reloads(), 1);
    EXPECT_GE(PositionOf("report.doc"), 0);
    EXPECT_EQ(PositionOf("a.png"), -1);

    // The program's own build refreshes the windows as Select Volume does,
    // and is not read back a second time.
    ScanContext own(state_.catalogue, state_.tree, state_.counters, ui_, state_.paths.event_log_path);
    ASSERT_TRUE(BuildCatalogue(own, "\"" + tree_ + "\"", nullptr));
    frame_->RefreshResults();
    QTest::qWait(800);
    EXPECT_EQ(watch_->Reloads(), 1);
}

}  // namespace
}  // namespace korvane::testing
