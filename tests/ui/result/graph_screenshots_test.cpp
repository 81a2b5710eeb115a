// Pictures of the four graphs of a real scanned tree whose files changed
// over seven months, and of the Graph Options dialog, for a person to look at.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QTest>

#include "result/graph_tree.h"
#include "ui/result/graph_options_dialog.h"
#include "ui/result/graph_view.h"
#include "test_paths.h"

namespace korvane {
namespace {

void Save(QWidget& widget, const char* name) {
    const QString folder = QStringLiteral(KORVANE_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(folder));
    QApplication::processEvents();
    const QString path = folder + "/" + name;
    EXPECT_TRUE(widget.grab().save(path, "PNG")) << name;
    EXPECT_GT(QFileInfo(path).size(), 0) << name;
}

TEST(GraphScreenshots, EachGraphKindOfAScannedTree) {
    testing::GraphTree tree;
    tree.Make();
    GraphView view;
    view.resize(960, 620);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    struct Shot {
        int mode;
        const char* file;
    };
    for (const Shot& shot :
         {Shot{kDisplayPie, "graph_pie.png"}, Shot{kDisplayBar, "graph_bar.png"},
          Shot{kDisplayLine, "graph_line.png"}, Shot{kDisplayForecast, "graph_forecast.png"}}) {
        ResultDocument document;
        if (shot.mode == kDisplayPie || shot.mode == kDisplayBar) {
            tree.RunFolders(document);
        } else {
            tree.RunChanges(document);
            document.x_title = "Month";
            document.y_title = "Bytes";
        }
        document.display_mode = shot.mode;
        ASSERT_TRUE(view.ShowGraph(document, tree.catalogue(), 25, tree.ui())) << shot.file;
        Save(view, shot.file);
    }
    // GraphItems 100: weekly points, the date labels close together.
    ResultDocument document;
    tree.RunChanges(document);
    document.display_mode = kDisplayForecast;
    ASSERT_TRUE(view.ShowGraph(document, tree.catalogue(), 100, tree.ui()));
    Save(view, "graph_forecast_weekly.png");
    // A bar of 25 files: the size labels close together.
    document.display_mode = kDisplayBar;
    document.data.row_count = 25;
    ASSERT_TRUE(view.ShowGraph(document, tree.catalogue(), 25, tree.ui()));
    Save(view, "graph_bar_25.png");
}

TEST(GraphScreenshots, GraphOptionsDialog) {
    GraphOptionsDialog dialog(GraphSettings{"Shared drive growth", "Month", "Bytes", true});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    Save(dialog, "graph_options_dialog.png");
}

}  // namespace
}  // namespace korvane
