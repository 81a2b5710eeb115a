// A result window over a real catalogue: a directory tree made here is
// scanned into a fresh catalogue in an installation folder, a query file
// and its result file are written there, and the window opens the result
// as the program does.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QTest>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

#include "actions/action_fixture.h"
#include "catalogue/schema.h"
#include "program/program_state.h"
#include "program/start_program.h"
#include "query/query_file.h"
#include "result/result_file.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/result/result_frame.h"

namespace korvane::testing {

class ResultWindowTest : public ::testing::Test {
  protected:
    static constexpr std::time_t kDay = 86400;

    void SetUp() override {
        state_.paths = InstallPathsOf(dir_ / "home");
        std::filesystem::create_directories(state_.paths.folder);
        std::string error;
        const std::string db = state_.paths.folder + "Korvane.db";
        ASSERT_TRUE(CreateEmptyCatalogue(db, error)) << error;
        ASSERT_TRUE(state_.catalogue.OpenCatalogue(db)) << state_.catalogue.last_error();
        tree_ = std::filesystem::canonical(dir_.path()).string() + "/tree";
    }

    // A file of the size with the modification time now - days_old days.
    void MakeFile(const std::string& relative, off_t size, int days_old) {
        const std::string path = tree_ + "/" + relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << path;
        ASSERT_EQ(::ftruncate(fd, size), 0);
        const std::time_t when = now_ - days_old * kDay - 3600;
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ASSERT_EQ(::futimens(fd, times), 0);
        ::close(fd);
    }

    // The small tree most tests use: docs with two levels below it, and other.
    void MakeSmallTree() {
        MakeFile("docs/report.doc", 2'000'000, 2);
        MakeFile("docs/Notes.txt", 5'000, 10);
        MakeFile("docs/tiny.doc", 10, 1);
        MakeFile("docs/old/archive.doc", 3'000'000, 400);
        MakeFile("docs/old/deep/plan.txt", 12'000, 3);
        MakeFile("docs/old/deep/Huge.doc", 50'000'000, 1);
        MakeFile("other/outside.doc", 2'000'000, 1);
    }

    // Scans the tree and writes the query "Sizes" (folder and file names
    // and sizes, the modify date, subfolders included) and its result for
    // the folder below the tree.
    void ScanAndWriteResult(const std::string& folder = "docs") {
        IdCounters counters;
        ScanContext context(state_.catalogue, state_.tree, counters, ui_, state_.paths.event_log_path);
        ASSERT_TRUE(BuildCatalogue(context, "\"" + tree_ + "\"", nullptr));
        ASSERT_TRUE(LoadCatalogueState(state_));
        QueryProfile saved;
        saved.database_path = state_.paths.folder + "Korvane.db";
        saved.initial_folder = tree_ + "/" + folder;
        saved.include_subfolders = true;
        saved.sort_column = "Name";
        for (auto [table, name] : {std::pair{"Folder", "Name"},
                                   {"Folder", "Size"},
                                   {"File", "Name"},
                                   {"File", "Size"},
                                   {"File", "Modify Date"}}) {
            saved.fields[FindQueryField(saved, table, name)].in_query = true;
        }
        ASSERT_TRUE(WriteQueryFile(saved, QueryPath()));
        ResultDocument result;
        result.data.current_folder_id = state_.tree.FolderIdOfPath(tree_ + "/" + folder);
        ASSERT_NE(result.data.current_folder_id, 0);
        state_.tree.FolderPath(state_.tree.FindFolderById(result.data.current_folder_id), result.data.path);
        ASSERT_TRUE(WriteResultFile(result, ResultPath(), state_.catalogue, state_.tree));
    }

    std::string QueryPath() const { return state_.paths.folder + "Sizes.qry"; }
    std::string ResultPath() const { return state_.paths.folder + "Sizes.rst"; }

    ResultContext Context() {
        ResultContext context;
        context.catalogue = &state_.catalogue;
        context.folders = &state_.tree;
        context.options = &state_.options;
        return context;
    }

    // Opens the result and its window, which runs it for its folder.
    void OpenWindow() {
        document_ = std::make_unique<ResultWindowDocument>(Context());
        std::string error;
        ASSERT_TRUE(document_->OnOpenDocument(ResultPath(), error)) << error;
        frame_ = std::make_unique<CResultFrame>(*document_);
        frame_->resize(900, 600);
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
    }

    CResultView& View() { return *frame_->ResultView(); }
    ReportRows& Rows() { return View().Model()->Rows(); }
    ResultData& Data() { return document_->Data(); }
    std::string Status(int pane) { return frame_->StatusPane(pane)->text().toStdString(); }
    int ColumnTitled(const std::string& title) {
        for (int i = 0; i < static_cast<int>(Rows().columns().size()); ++i) {
            if (Rows().columns()[i].title == title)
                return i;
        }
        return -1;
    }
    // The display position of the row whose Name is name; -1 when not listed.
    int PositionOf(const std::string& name) {
        const int column = ColumnTitled("Name");
        for (int i = 0; i < Rows().ItemCount(); ++i) {
            if (Rows().CellText(i, column, state_.tree) == name)
                return i;
        }
        return -1;
    }
    // The catalogue equals a fresh scan of the same tree, row by row.
    void ExpectCatalogueMatchesFreshScan() {
        const std::string fresh_path = dir_ / ("Fresh" + std::to_string(++fresh_scans_) + ".db");
        std::string error;
        ASSERT_TRUE(CreateEmptyCatalogue(fresh_path, error)) << error;
        SilentUserInterface silent;
        Catalogue fresh(silent);
        FolderTree fresh_tree;
        IdCounters fresh_counters;
        ASSERT_TRUE(fresh.OpenCatalogue(fresh_path));
        ScanContext scan{fresh, fresh_tree, fresh_counters, silent, ""};
        ASSERT_TRUE(BuildCatalogue(scan, "\"" + tree_ + "\"", nullptr));
        testing::CatalogueByPath expected = testing::ReadCatalogueByPath(fresh.handle());
        testing::CatalogueByPath actual = testing::ReadCatalogueByPath(state_.catalogue.handle());
        expected.folders[""].modify = actual.folders[""].modify;  // the root carries its scan's time
        EXPECT_EQ(actual.folders, expected.folders);
        EXPECT_EQ(actual.files, expected.files);
        EXPECT_TRUE(actual.numbering_faults.empty());
    }

    std::string Cell(int position, const std::string& title) {
        return Rows().CellText(position, ColumnTitled(title), state_.tree);
    }

    TempDir dir_;
    const std::time_t now_ = std::time(nullptr);
    std::string tree_;
    RecordingUserInterface ui_;
    ProgramState state_{ui_};
    std::unique_ptr<ResultWindowDocument> document_;
    std::unique_ptr<CResultFrame> frame_;
    int fresh_scans_ = 0;
};

}  // namespace korvane::testing
