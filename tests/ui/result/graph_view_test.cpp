#include "ui/result/graph_view.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QBarSet>
#include <QCategoryAxis>
#include <QDialogButtonBox>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedBarSeries>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "qt_environment.h"
#include "result/graph_tree.h"
#include "ui/result/graph_options_dialog.h"

namespace korvane {
namespace {

class GraphViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.Make();
        view.resize(900, 600);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    bool Show(int mode) {
        document.display_mode = mode;
        const bool shown = view.ShowGraph(document, tree.catalogue(), 25, tree.ui());
        QApplication::processEvents();
        return shown;
    }

    // Where a point of the chart (in its own coordinates) lies in the view.
    QPoint InView(QPointF chart_point) { return view.mapFromScene(view.chart()->mapToScene(chart_point)); }

    template <typename Series>
    Series* Only() {
        const QList<QAbstractSeries*> all = view.chart()->series();
        return all.isEmpty() ? nullptr : qobject_cast<Series*>(all.first());
    }

    testing::GraphTree tree;
    ResultDocument document;
    GraphView view;
};

TEST_F(GraphViewTest, PieShowsTheCoreSlicesAndAClickDrillsIntoAFolderOnly) {
    tree.RunFolders(document);
    ASSERT_EQ(document.data.row_count, 6);  // five folders and readme.txt
    ASSERT_TRUE(Show(kDisplayPie));
    const GraphSeries& core = view.Series();
    auto* pie = Only<QPieSeries>();
    ASSERT_NE(pie, nullptr);
    ASSERT_EQ(pie->count(), core.points);
    const QList<QLegendMarker*> markers = view.chart()->legend()->markers(pie);
    for (int i = 0; i < core.points; ++i) {
        QPieSlice* slice = pie->slices()[i];
        EXPECT_EQ(slice->value(), core.values[i]);
        EXPECT_EQ(slice->label().toStdString(), core.point_labels[i]);
        EXPECT_EQ(slice->isLabelVisible(), core.point_labels[i] != " ");
        EXPECT_EQ(markers[i]->label().toStdString(), core.legend_texts[i]);
    }
    EXPECT_EQ(view.chart()->title().toStdString(), "Name by Size");

    QSignalSpy clicked(&view, &GraphView::FolderClicked);
    auto click_slice = [&](int i) {
        QPieSlice* slice = pie->slices()[i];
        const QRectF area = view.chart()->plotArea();
        const double radius = pie->pieSize() * std::min(area.width(), area.height()) / 2;
        const double angle = (slice->startAngle() + slice->angleSpan() / 2) * M_PI / 180;
        const QPointF at = area.center() + QPointF(std::sin(angle), -std::cos(angle)) * radius * 0.6;
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, InView(at));
    };
    for (int i = 0; i < core.points; ++i) {
        const std::string name = core.legend_texts[i];
        click_slice(i);
        if (name == "readme.txt") {
            EXPECT_EQ(clicked.count(), 0) << "a file row does nothing";
            continue;
        }
        ASSERT_EQ(clicked.count(), 1) << name;
        EXPECT_EQ(clicked.takeFirst().at(0).toInt(), tree.folders().FolderIdOfPath(tree.root() + "/" + name));
    }
}

TEST_F(GraphViewTest, BarsHoldTheCoreValuesAndAClickOnOneDrillsDown) {
    tree.RunFolders(document);
    ASSERT_TRUE(Show(kDisplayBar));
    const GraphSeries& core = view.Series();
    auto* bars = Only<QStackedBarSeries>();
    ASSERT_NE(bars, nullptr);
    ASSERT_EQ(bars->count(), core.points);
    ASSERT_EQ(view.BarLabelTexts().size(), core.points);
    for (int i = 0; i < core.points; ++i) {
        EXPECT_EQ(view.BarLabelTexts()[i].toStdString(), core.point_labels[i]);
        EXPECT_EQ(bars->barSets()[i]->at(i), core.values[i]);
        EXPECT_EQ(bars->barSets()[i]->label().toStdString(), core.legend_texts[i]);
    }
    // The 3D look shades each bar; without it the bars are flat.
    EXPECT_EQ(bars->barSets()[0]->brush().style(), Qt::LinearGradientPattern);
    document.three_d = false;
    ASSERT_TRUE(Show(kDisplayBar));
    bars = Only<QStackedBarSeries>();
    EXPECT_EQ(bars->barSets()[0]->brush().style(), Qt::SolidPattern);

    QSignalSpy clicked(&view, &GraphView::FolderClicked);
    const QPointF middle = view.chart()->mapToPosition(QPointF(0, core.values[0] / 2), bars);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, InView(middle));
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.first().at(0).toInt(),
              tree.folders().FolderIdOfPath(tree.root() + "/" + core.legend_texts[0]));
}

TEST_F(GraphViewTest, LineAndForecastHoldTheCorePointsTrendAndLabels) {
    tree.RunChanges(document);
    for (int mode : {kDisplayLine, kDisplayForecast}) {
        ASSERT_TRUE(Show(mode)) << mode;
        const GraphSeries& core = view.Series();
        const QList<QAbstractSeries*> all = view.chart()->series();
        ASSERT_EQ(all.size(), mode == kDisplayForecast ? 2 : 1);
        auto* line = qobject_cast<QLineSeries*>(all[0]);
        ASSERT_NE(line, nullptr);
        ASSERT_EQ(line->count(), core.points);
        for (int k = 0; k < core.points; ++k)
            EXPECT_EQ(line->at(k).y(), core.values[k]) << k;
        if (mode == kDisplayForecast) {
            auto* trend = qobject_cast<QLineSeries*>(all[1]);
            for (int k = 0; k < core.points; ++k)
                EXPECT_EQ(trend->at(k).y(), core.trend[k]) << k;
            EXPECT_NE(document.forecast_text.find("drive could be full on"), std::string::npos);
        }
        // Date labels as many as fit, each at its own point.
        auto* x_axis = qobject_cast<QCategoryAxis*>(view.chart()->axes(Qt::Horizontal).first());
        ASSERT_GE(x_axis->count(), 2);
        for (const QString& label : x_axis->categoriesLabels()) {
            const int k = static_cast<int>(x_axis->endValue(label));
            EXPECT_EQ(label.toStdString(), core.point_labels[k]);
        }
        auto* y_axis = qobject_cast<QCategoryAxis*>(view.chart()->axes(Qt::Vertical).first());
        EXPECT_EQ(y_axis->categoriesLabels().last().toStdString(), core.axis_labels[4]);
        EXPECT_FALSE(view.chart()->legend()->isVisible());
    }
    EXPECT_EQ(view.chart()->title().toStdString(), "Cumulative Bytes Changed per Month");
    document.title = "Growth of Shared";
    ASSERT_TRUE(Show(kDisplayLine));
    EXPECT_EQ(view.chart()->title().toStdString(), "Growth of Shared");

    // The chart covers the view and follows its size.
    view.resize(640, 420);
    QApplication::processEvents();
    EXPECT_EQ(view.chart()->size().toSize(), view.viewport()->size());
}

TEST_F(GraphViewTest, ATimeLineWithoutDateFieldSaysSoAndShowsNothing) {
    tree.RunFolders(document);
    EXPECT_FALSE(Show(kDisplayForecast));
    EXPECT_FALSE(view.HasGraph());
    EXPECT_TRUE(view.chart()->series().isEmpty());
    ASSERT_EQ(tree.ui().messages.size(), 1u);
    EXPECT_EQ(tree.ui().messages[0].text, kNoDateFieldMessage);
}

class CountingHost : public ResultDocumentHost {
  public:
    void MarkModified() override { ++modified; }
    void RefreshAllViews() override {}
    int modified = 0;
};

TEST(GraphOptionsDialog, OkStoresTheFourSettingsAndCancelNothing) {
    ResultDocument document;
    document.title = "Old title";
    CountingHost host;
    auto answer = [](bool ok, const std::function<void(GraphOptionsDialog&)>& edit) {
        QTimer::singleShot(0, [ok, edit] {
            auto* dialog = qobject_cast<GraphOptionsDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle(), "Graph Options");
            edit(*dialog);
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QTest::mouseClick(buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                              Qt::LeftButton);
        });
    };
    answer(true, [](GraphOptionsDialog& dialog) {
        EXPECT_EQ(dialog.TitleEdit()->text(), "Old title");
        EXPECT_TRUE(dialog.ThreeDBox()->isChecked());
        // Each field is named by its label for assistive tools.
        QAccessibleInterface* named = QAccessible::queryAccessibleInterface(dialog.HorizontalTitleEdit());
        EXPECT_EQ(named->text(QAccessible::Name), "Graph Horizontal Title");
        dialog.TitleEdit()->clear();
        QTest::keyClicks(dialog.TitleEdit(), "Shared drive");
        QTest::keyClicks(dialog.HorizontalTitleEdit(), "Week");
        QTest::keyClicks(dialog.VerticalTitleEdit(), "Bytes");
        QTest::mouseClick(dialog.ThreeDBox(), Qt::LeftButton, {},
                          QPoint(8, dialog.ThreeDBox()->height() / 2));
    });
    EXPECT_TRUE(EditGraphOptions(document, host, nullptr));
    EXPECT_EQ(document.title, "Shared drive");
    EXPECT_EQ(document.x_title, "Week");
    EXPECT_EQ(document.y_title, "Bytes");
    EXPECT_FALSE(document.three_d);
    EXPECT_EQ(host.modified, 1);

    answer(false, [](GraphOptionsDialog& dialog) { QTest::keyClicks(dialog.TitleEdit(), " again"); });
    EXPECT_FALSE(EditGraphOptions(document, host, nullptr));
    EXPECT_EQ(document.title, "Shared drive");
    EXPECT_EQ(host.modified, 1);
}

}  // namespace
}  // namespace korvane
