// The result window with its graphs and file actions bound as the program
// binds them: the display-mode commands show the graph of the core's
// numbers, a click on a folder's slice drills into it, and the Edit and
// Action commands act on the real files and leave the catalogue equal to
// a fresh scan of the tree.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QLineSeries>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QProcess>
#include <QStackedBarSeries>
#include <QTimer>
#include <cmath>
#include <filesystem>

#include "actions/action_fixture.h"
#include "qt_environment.h"
#include "result/graph_series.h"
#include "result_fixture.h"
#include "test_paths.h"
#include "ui/result/graph_options_dialog.h"
#include "ui/result/result_actions_binding.h"
#include "ui/result/result_graph_binding.h"

namespace korvane {
namespace {

using testing::ResultWindowTest;

std::string PdfText(const std::string& pdf) {
    QProcess process;
    process.start("pdftotext", {"-layout", QString::fromStdString(pdf), "-"});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return "pdftotext (poppler-utils) failed on " + pdf;
    return process.readAllStandardOutput().toStdString();
}

class ResultWindowWiring : public ResultWindowTest {
  protected:
    // The window as the program's template makes it: graph pane and file actions.
    void OpenBoundWindow() {
        ResultContext context = Context();
        context.make_graph_pane = GraphViewPaneFactory();
        context.counters = &state_.counters;
        document_ = std::make_unique<ResultWindowDocument>(context);
        std::string error;
        ASSERT_TRUE(document_->OnOpenDocument(ResultPath(), error)) << error;
        frame_ = std::make_unique<CResultFrame>(*document_);
        frame_->resize(1000, 640);
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
        frame_->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));
        binding_ = frame_->findChild<ResultActionsBinding*>();
        ASSERT_NE(binding_, nullptr);
        QApplication::clipboard()->clear();
    }

    // The frame's menu command (a menu-bar entry's item) with that text.
    QAction* MenuCommand(const QString& menu_text, const QString& text) {
        for (QAction* entry : frame_->menuBar()->actions()) {
            if (entry->menu() == nullptr || entry->text() != menu_text)
                continue;
            for (QAction* item : entry->menu()->actions()) {
                if (item->text() == text)
                    return item;
            }
        }
        ADD_FAILURE() << "no " << text.toStdString() << " in " << menu_text.toStdString();
        return nullptr;
    }

    GraphView* Graph() {
        auto* pane = dynamic_cast<GraphViewPane*>(View().GraphPane());
        return pane != nullptr && View().ShowsGraph() ? pane->View() : nullptr;
    }

    // Clicks the row of that name in the report (it becomes the selection).
    void SelectRow(const std::string& name, Qt::KeyboardModifiers keys = {}) {
        const int position = PositionOf(name);
        ASSERT_GE(position, 0) << name;
        QTableView* report = View().Report();
        const QRect cell = report->visualRect(report->model()->index(position, 0));
        QTest::mouseClick(report->viewport(), Qt::LeftButton, keys, cell.center());
    }

    // The deferred re-run and tree rebuild after an action.
    void Settle() {
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
    }

    testing::ScopedEnvironment trash_home_{"XDG_DATA_HOME", (dir_ / "data")};
    ResultActionsBinding* binding_ = nullptr;
};

TEST_F(ResultWindowWiring, EachGraphModeShowsTheCoreNumbersAndReportModeTheRows) {
    MakeSmallTree();
    ScanAndWriteResult();
    OpenBoundWindow();
    ASSERT_FALSE(document_->IsModified());
    struct Case {
        const char* command;
        int mode;
    };
    for (const Case& c : {Case{"&Pie Graph", kDisplayPie}, Case{"&Bar Graph", kDisplayBar},
                          Case{"&Line Graph", kDisplayLine}, Case{"&Forecast Graph", kDisplayForecast}}) {
        SCOPED_TRACE(c.command);
        QAction* command = MenuCommand("&Display", c.command);
        ASSERT_NE(command, nullptr);
        command->trigger();
        EXPECT_EQ(document_->DisplayMode(), c.mode);
        EXPECT_TRUE(document_->IsModified());
        GraphView* graph = Graph();
        ASSERT_NE(graph, nullptr);
        // The core's series of the same stored answer, built apart from the window.
        GraphSeries core;
        ASSERT_TRUE(BuildGraphSeries(document_->Result(), state_.catalogue, 25, ui_, core));
        EXPECT_EQ(graph->Series().points, core.points);
        EXPECT_EQ(graph->Series().values, core.values);
        EXPECT_EQ(graph->Series().point_labels, core.point_labels);
        const QList<QAbstractSeries*> shown = graph->chart()->series();
        ASSERT_FALSE(shown.isEmpty());
        if (c.mode == kDisplayPie) {
            auto* pie = qobject_cast<QPieSeries*>(shown.first());
            ASSERT_NE(pie, nullptr);
            ASSERT_EQ(pie->count(), core.points);
            for (int i = 0; i < core.points; ++i)
                EXPECT_EQ(pie->slices()[i]->value(), core.values[i]);
        } else if (c.mode == kDisplayBar) {
            auto* bars = qobject_cast<QStackedBarSeries*>(shown.first());
            ASSERT_NE(bars, nullptr);
            ASSERT_EQ(bars->count(), core.points);
        } else {
            auto* line = qobject_cast<QLineSeries*>(shown.first());
            ASSERT_NE(line, nullptr);
            ASSERT_EQ(line->count(), core.points);
            for (int i = 0; i < core.points; ++i)
                EXPECT_EQ(line->at(i).y(), core.values[i]);
            // The forecast text stands in the second pane.
            EXPECT_FALSE(core.forecast_text.empty());
            EXPECT_EQ(Status(1), core.forecast_text);
        }
    }
    // Picking the mode shown again changes nothing; Report brings the rows back.
    document_->SetModifiedFlag(false);
    MenuCommand("&Display", "&Forecast Graph")->trigger();
    EXPECT_FALSE(document_->IsModified());
    MenuCommand("&Display", "&Report")->trigger();
    EXPECT_FALSE(View().ShowsGraph());
    EXPECT_GE(PositionOf("report.doc"), 0);
    EXPECT_EQ(Status(1), ResultTotalsText(Data()));
}

TEST_F(ResultWindowWiring, APieOfMoreRowsThanGraphItemsSaysSoAndShowsTheReport) {
    for (int i = 0; i < 26; ++i)
        MakeFile("docs/file " + std::to_string(i) + ".txt", 1000 + i, i);
    ScanAndWriteResult();
    OpenBoundWindow();
    ASSERT_EQ(Data().row_count, 26);
    MenuCommand("&Display", "&Pie Graph")->trigger();
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, "Too many items for a good graph, defaulting to report view.");
    EXPECT_EQ(document_->DisplayMode(), kDisplayReport);
    EXPECT_FALSE(View().ShowsGraph());
    EXPECT_EQ(Rows().ItemCount(), 26);
    // A time line has no such limit.
    MenuCommand("&Display", "&Line Graph")->trigger();
    EXPECT_NE(Graph(), nullptr);
}

TEST_F(ResultWindowWiring, ATimeLineWithoutADateColumnSaysSoAndLeavesTheViewEmpty) {
    MakeSmallTree();
    ScanAndWriteResult();
    QueryProfile profile;
    ASSERT_TRUE(ReadQueryFile(profile, QueryPath(), state_.tree, true));
    profile.fields[FindQueryField(profile, "File", "Modify Date")].in_query = false;
    ASSERT_TRUE(WriteQueryFile(profile, QueryPath()));
    OpenBoundWindow();
    MenuCommand("&Display", "&Line Graph")->trigger();
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_EQ(ui_.messages.back().text, "You must select a date field for a time line.");
    EXPECT_EQ(document_->DisplayMode(), kDisplayLine);
    GraphView* graph = Graph();
    ASSERT_NE(graph, nullptr) << "the report does not stand in";
    EXPECT_FALSE(graph->HasGraph());
    EXPECT_EQ(Status(1), ResultTotalsText(Data()));
}

TEST_F(ResultWindowWiring, AClickOnAFolderSliceDrillsIntoItAndGraphOptionsAreStored) {
    MakeSmallTree();
    ScanAndWriteResult();
    OpenBoundWindow();
    MenuCommand("&Display", "&Pie Graph")->trigger();
    GraphView* graph = Graph();
    ASSERT_NE(graph, nullptr);
    const int old = static_cast<int>(std::find(graph->Series().legend_texts.begin(),
                                               graph->Series().legend_texts.end(), std::string("old")) -
                                     graph->Series().legend_texts.begin());
    ASSERT_LT(old, graph->Series().points);
    auto* pie = qobject_cast<QPieSeries*>(graph->chart()->series().first());
    QPieSlice* slice = pie->slices()[old];
    const QRectF area = graph->chart()->plotArea();
    const double radius = pie->pieSize() * std::min(area.width(), area.height()) / 2;
    const double angle = (slice->startAngle() + slice->angleSpan() / 2) * M_PI / 180;
    const QPointF at = area.center() + QPointF(std::sin(angle), -std::cos(angle)) * radius * 0.6;
    QTest::mouseClick(graph->viewport(), Qt::LeftButton, {},
                      graph->mapFromScene(graph->chart()->mapToScene(at)));
    const std::int32_t old_id = state_.tree.FolderIdOfPath(tree_ + "/docs/old");
    ASSERT_NE(old_id, 0);
    // The drill-down comes queued, after the click's own delivery.
    for (int i = 0; i < 20 && Data().current_folder_id != old_id; ++i)
        QTest::qWait(10);
    ASSERT_EQ(Data().current_folder_id, old_id);
    // The result ran for the folder: its rows are those below docs/old.
    Settle();
    GraphView* below = Graph();
    ASSERT_NE(below, nullptr);
    const auto& legends = below->Series().legend_texts;
    EXPECT_NE(std::find(legends.begin(), legends.end(), "archive.doc"), legends.end());
    EXPECT_EQ(std::find(legends.begin(), legends.end(), "report.doc"), legends.end());

    QAction* options = MenuCommand("&Display", "&Graph Options...");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->statusTip(), "Graph options.");
    document_->SetModifiedFlag(false);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<GraphOptionsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->TitleEdit()->setText("What fills old");
        dialog->accept();
    });
    options->trigger();
    EXPECT_EQ(document_->Result().title, "What fills old");
    EXPECT_TRUE(document_->IsModified());
}

TEST_F(ResultWindowWiring, AGraphModePrintsTheChartAndReportModeTheRows) {
    MakeSmallTree();
    ScanAndWriteResult();
    OpenBoundWindow();
    auto print = [&](const std::string& name) {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(dir_ / name));
        EXPECT_TRUE(View().PrintDirectly(printer)) << View().PrintError();
        return PdfText(dir_ / name);
    };
    MenuCommand("&Display", "&Pie Graph")->trigger();
    ASSERT_NE(Graph(), nullptr);
    const std::string chart = print("pie.pdf");
    EXPECT_NE(chart.find("Name by Size"), std::string::npos) << chart;
    for (const std::string& legend : Graph()->Series().legend_texts)
        EXPECT_NE(chart.find(legend), std::string::npos) << legend << "\n" << chart;
    MenuCommand("&Display", "&Report")->trigger();
    const std::string report = print("report.pdf");
    EXPECT_EQ(report.find("Name by Size"), std::string::npos) << report;
    EXPECT_NE(report.find("Modify Date"), std::string::npos) << report;
}

TEST_F(ResultWindowWiring, DeleteFromTheMenuAndTheKeyTrashesFilesAndTheCatalogueFollows) {
    MakeSmallTree();
    ScanAndWriteResult();
    std::filesystem::create_directories(dir_ / "data");
    OpenBoundWindow();
    QAction* remove = binding_->Actions().Action(ResultCommand::kDelete);
    ASSERT_EQ(MenuCommand("&Action", "&Delete..."), remove);

    SelectRow("tiny.doc");
    remove->trigger();
    Settle();
    EXPECT_FALSE(std::filesystem::exists(tree_ + "/docs/tiny.doc"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "data/Trash/files/tiny.doc"));
    EXPECT_EQ(PositionOf("tiny.doc"), -1) << "the result ran again";
    ExpectCatalogueMatchesFreshScan();

    // The Delete key in the list runs the same command.
    SelectRow("Notes.txt");
    QTest::keyClick(View().Report(), Qt::Key_Delete);
    Settle();
    EXPECT_FALSE(std::filesystem::exists(tree_ + "/docs/Notes.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir_ / "data/Trash/files/Notes.txt"));
    EXPECT_EQ(PositionOf("Notes.txt"), -1);
    ExpectCatalogueMatchesFreshScan();
}

TEST_F(ResultWindowWiring, CopyThenPasteInAnotherFolderAndRenameInPlace) {
    MakeSmallTree();
    ScanAndWriteResult();
    OpenBoundWindow();
    QAction* copy = MenuCommand("&Edit", "&Copy");
    QAction* paste = MenuCommand("&Edit", "&Paste");
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(paste, nullptr);
    EXPECT_FALSE(copy->isEnabled()) << "nothing selected";
    EXPECT_FALSE(paste->isEnabled()) << "nothing on the clipboard";
    SelectRow("report.doc");
    EXPECT_TRUE(copy->isEnabled());
    copy->trigger();
    EXPECT_TRUE(paste->isEnabled());

    ASSERT_TRUE(document_->DrillDown(state_.tree.FolderIdOfPath(tree_ + "/other")));
    Settle();
    ASSERT_GE(PositionOf("outside.doc"), 0);
    paste->trigger();
    Settle();
    EXPECT_EQ(std::filesystem::file_size(tree_ + "/other/report.doc"), 2'000'000u);
    EXPECT_TRUE(std::filesystem::exists(tree_ + "/docs/report.doc"));
    EXPECT_GE(PositionOf("report.doc"), 0) << "the pasted file is listed";
    ExpectCatalogueMatchesFreshScan();

    // Rename in place: F2 on the row, a new name, Enter.
    SelectRow("outside.doc");
    QTest::keyClick(View().Report(), Qt::Key_F2);
    auto* editor = View().Report()->findChild<QLineEdit*>();
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "inside.doc");
    QTest::keyClick(editor, Qt::Key_Return);
    Settle();
    EXPECT_TRUE(std::filesystem::exists(tree_ + "/other/inside.doc"));
    EXPECT_FALSE(std::filesystem::exists(tree_ + "/other/outside.doc"));
    EXPECT_GE(PositionOf("inside.doc"), 0);
    ExpectCatalogueMatchesFreshScan();
}

TEST_F(ResultWindowWiring, TheContextMenuHoldsTheFileCommandsWithUpOneLevelAfterTheSeparator) {
    MakeSmallTree();
    ScanAndWriteResult();
    OpenBoundWindow();
    QStringList texts;
    for (QAction* action : View().ContextMenu()->actions())
        texts << (action->isSeparator() ? QStringLiteral("|") : action->text());
    EXPECT_EQ(texts,
              (QStringList{"Cu&t", "&Copy", "&Paste", "Paste &Shortcut", "|", "&Up One Level", "|",
                           "&Compress", "U&ncompress", "Set File &Time...", "Set File O&wner...", "&Link...",
                           "&Delete...", "&Rename...", "&New Folder", "&Launch Explorer"}));
    // A graph mode has no selection to cut; Copy takes the picture.
    MenuCommand("&Display", "&Pie Graph")->trigger();
    QAction* copy = MenuCommand("&Edit", "&Copy");
    EXPECT_FALSE(MenuCommand("&Edit", "Cu&t")->isEnabled());
    ASSERT_TRUE(copy->isEnabled());
    copy->trigger();
    EXPECT_EQ(QApplication::clipboard()->image().size(), Graph()->size());
}

TEST_F(ResultWindowWiring, ScreenshotsOfAPieAndOfTheContextMenu) {
    const char* names[] = {"Budget", "Contracts", "Minutes", "Plans", "Reports", "Scans"};
    int n = 0;
    for (const char* folder : names) {
        for (int i = 0; i < 6; ++i, ++n)
            MakeFile(std::string("docs/") + folder + "/file " + std::to_string(i) + ".doc",
                     static_cast<off_t>(200'000 + (n * 7919) % 3'000'000) * (1 + n % 4), n * 9);
    }
    MakeFile("docs/readme.txt", 800'000, 3);
    ScanAndWriteResult();
    // Only the folders and files right in docs: one slice each.
    QueryProfile profile;
    ASSERT_TRUE(ReadQueryFile(profile, QueryPath(), state_.tree, true));
    profile.include_subfolders = false;
    ASSERT_TRUE(WriteQueryFile(profile, QueryPath()));
    OpenBoundWindow();
    frame_->resize(1100, 680);
    MenuCommand("&Display", "&Pie Graph")->trigger();
    ASSERT_NE(Graph(), nullptr);
    const QString folder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    QApplication::processEvents();
    EXPECT_TRUE(frame_->grab().save(folder + "/result_window_pie.png", "PNG"));

    MenuCommand("&Display", "&Report")->trigger();
    SelectRow("readme.txt");
    QMenu* menu = View().ContextMenu();
    const QPoint at = View().Report()->viewport()->mapToGlobal(QPoint(120, 60));
    menu->popup(at);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
    // The menu is a window of its own: painted onto the frame's picture where it stands.
    QPixmap picture = frame_->grab();
    QPainter painter(&picture);
    painter.drawPixmap(frame_->mapFromGlobal(at), menu->grab());
    painter.end();
    EXPECT_TRUE(picture.save(folder + "/result_window_context_menu.png", "PNG"));
    menu->hide();
}

}  // namespace
}  // namespace korvane
