// A result's graph on Qt Charts: the pie, bar, line or forecast of a graph
// series built by the core (result/graph_series.h), with its titles, axes
// and legend, covering the whole view and following its size. A click on a
// slice or bar of a result with folder rows names that folder.
#pragma once

#include <QChartView>
#include <QGraphicsSimpleTextItem>
#include <cstdint>
#include <string>

#include "app/user_interface.h"
#include "catalogue/catalogue.h"
#include "result/graph_series.h"
#include "result/result_data.h"

namespace korvane {

// What the chart shows besides the series.
struct GraphLook {
    std::string title;             // the user's title, or the computed one
    std::string x_title;           // below the graph
    std::string y_title;           // at the left of the graph
    bool three_d = true;           // shaded slices and bars; flat colours when off
    std::uint64_t total_size = 0;  // picks the bar graph's axis unit
};

// The document's titles, 3D flag and total, with the computed title in
// place of an empty or "Untitled" one.
GraphLook GraphLookOf(const ResultDocument& document, const GraphSeries& series);

class GraphView : public QChartView {
    Q_OBJECT
  public:
    explicit GraphView(QWidget* parent = nullptr);

    // The result's graph in its display mode: the series is built from the
    // rows of its stored query (see BuildGraphSeries) and shown. False, with
    // the view emptied, when no graph is to be shown. Clicks then resolve
    // against this document and catalogue, which must outlive the chart.
    bool ShowGraph(ResultDocument& document, Catalogue& catalogue, long graph_items, UserInterface& ui);
    // Shows a series already built; nothing when it has no points.
    void ShowSeries(const GraphSeries& series, const GraphLook& look);
    // An empty view (a result without rows).
    void Clear();
    // Draws the chart into a rectangle of a painter (a printed page's body).
    void Paint(QPainter& painter, const QRect& body);

    const GraphSeries& Series() const { return series_; }
    bool HasGraph() const { return series_.points > 0; }
    // The sizes written above the bars of a bar graph.
    QStringList BarLabelTexts() const;

  signals:
    // A slice or bar of a folder row was clicked: the folder to drill into.
    void FolderClicked(int folder_id);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void ShowPie(QChart& chart, const GraphLook& look);
    void ShowBar(QChart& chart, const GraphLook& look);
    void ShowTimeLine(QChart& chart, const GraphLook& look);
    void PlaceBarLabels(QChart& chart, QAbstractSeries& bars);
    void OnPointClicked(int point);

    GraphSeries series_;
    GraphLook look_;
    QList<QGraphicsSimpleTextItem*> bar_labels_;  // owned by the chart
    int shown_width_ = 0;
    const ResultDocument* document_ = nullptr;
    Catalogue* catalogue_ = nullptr;
};

}  // namespace korvane
