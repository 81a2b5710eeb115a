// A query window on a catalogue scanned from a real tree: the tree, the
// catalogue and its folder tree, the main window with the query documents,
// and helpers that drive modal dialogs and read a query's answer.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/settings.h"
#include "catalogue/schema.h"
#include "qt_environment.h"
#include "query/sql_builder.h"
#include "scan/volume_scanner.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"
#include "ui/main_frame.h"
#include "ui/query/query_frame.h"
#include "ui/windowed_program.h"

namespace korvane::testing {

struct TreeFile {
    std::string name;  // below the tree's root
    off_t size;
    std::time_t modified;
};

class QueryWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = std::filesystem::canonical(dir_.path()).string() + "/tree";
        const std::time_t day = 86400;
        files_ = {
            {"docs/report.doc", 2'000'000, now_ - 2 * day},
            {"docs/notes, draft.TXT", 5'000, now_ - 10 * day},
            {"docs/plan.txt", 12'000, now_ - 40 * day},
            {"docs/old/archive.doc", 3'000'000, now_ - 400 * day},
            {"docs/old/huge.iso", 50'000'000, now_ - 1 * day},
            {"pics/a.png", 700'000, now_ - 3 * day},
            {"pics/b.png", 25'000, now_ - 100 * day},
            {"top.txt", 4'000, now_ - 1 * day},
        };
        for (const TreeFile& file : files_) {
            std::filesystem::create_directories(std::filesystem::path(root_ + "/" + file.name).parent_path());
            const int fd =
                ::open((root_ + "/" + file.name).c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::ftruncate(fd, file.size), 0);
            const struct timespec times[2] = {{file.modified, 0}, {file.modified, 0}};
            ASSERT_EQ(::futimens(fd, times), 0);
            ::close(fd);
        }
        std::string error;
        database_ = dir_ / "Korvane.db";
        ASSERT_TRUE(CreateEmptyCatalogue(database_, error)) << error;
        scan_ui_.interactive = false;
        ASSERT_TRUE(catalogue_.OpenCatalogue(database_)) << catalogue_.last_error();
        IdCounters counters;
        ScanContext context(catalogue_, tree_, counters, scan_ui_, dir_ / "Event.log");
        ASSERT_TRUE(BuildCatalogue(context, "\"" + root_ + "\"", nullptr));

        start_.paths = InstallPathsOf(dir_.str());
        bool fresh = false;
        ASSERT_TRUE(PrepareInstallFolder(start_.paths, fresh));
        start_.options = ReadProgramOptions(start_.paths.settings_path);
        start_.options.database = database_;
        start_.show_splash = false;
        start_.folders = &tree_;
    }

    std::unique_ptr<CMainFrame> MakeMainFrame() {
        auto frame = std::make_unique<CMainFrame>(start_, ui_);
        frame->resize(1100, 750);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        return frame;
    }

    // Opens (making it empty when missing) a query file in the main window.
    CQueryFrame* OpenQuery(CMainFrame& main, const std::string& path) {
        WindowDocument* document = main.NewProject(path);
        EXPECT_NE(document, nullptr);
        auto* frame = qobject_cast<CQueryFrame*>(main.FrameOf(document));
        EXPECT_NE(frame, nullptr);
        return frame;
    }

    // The next modal dialog of type T that comes up is handed to act, which
    // sets it and accepts or rejects it.
    template <typename T>
    static void OnNextDialog(std::function<void(T*)> act) {
        auto* timer = new QTimer(qApp);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (dialog == nullptr || !dialog->isVisible())
                return;
            timer->stop();
            timer->deleteLater();
            act(dialog);
        });
        timer->start(10);
    }

    // Builds the profile's statement and reads the Name column of its file
    // rows (Folder ID 0 or absent).
    std::multiset<std::string> FileNamesOf(QueryProfile profile) {
        profile.query_name = "Check";
        std::string error;
        EXPECT_TRUE(CheckQueryShape(profile));
        EXPECT_TRUE(BuildQuerySql(profile, catalogue_, tree_, {}, &error)) << error;
        std::multiset<std::string> names;
        StoredQuery& query = catalogue_.stored_query();
        EXPECT_TRUE(query.OpenStoredQuery("Check"));
        int name_column = -1, folder_column = -1;
        for (int i = 0; i < query.QueryColumnCount(); ++i) {
            std::string column;
            query.QueryColumnInfo(i, column);
            if (column == "Name" && name_column < 0)
                name_column = i;
            if (column == "Folder ID")
                folder_column = i;
        }
        EXPECT_GE(name_column, 0);
        if (query.OpenQuerySnapshot() && query.MoveQueryRow(0)) {
            do {
                FieldValue folder, name;
                std::int32_t folder_id = 0;
                if (folder_column >= 0 && query.QueryFieldValue(folder_column, folder))
                    folder.AsInt32(folder_id);
                if (folder_id == 0 && query.QueryFieldValue(name_column, name))
                    names.insert(name.text);
            } while (query.NextQueryRow());
        }
        query.CloseQuerySnapshot();
        query.CloseStoredQuery();
        return names;
    }

    // The files of the tree that pass the test, by name.
    std::multiset<std::string> TreeFilesWhere(const std::function<bool(const TreeFile&)>& keep) const {
        std::multiset<std::string> names;
        for (const TreeFile& file : files_) {
            if (keep(file))
                names.insert(std::filesystem::path(file.name).filename().string());
        }
        return names;
    }

    TempDir dir_;
    std::string root_;
    std::string database_;
    std::time_t now_ = std::time(nullptr);
    std::vector<TreeFile> files_;
    RecordingUserInterface scan_ui_;
    Catalogue catalogue_{scan_ui_};
    FolderTree tree_;
    WindowedStart start_;
    RecordingUserInterface ui_;
};

}  // namespace korvane::testing
