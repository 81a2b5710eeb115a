#include "ui/result/graph_view.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QGraphicsSimpleTextItem>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLinearGradient>
#include <QPieSeries>
#include <QPieSlice>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>

namespace korvane {
namespace {

QString Text(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Axis labels must differ from each other; equal texts (two bars of the
// same size, a repeated hour at a clock change) get trailing blanks, which
// do not show.
QString Distinct(QString label, QStringList& taken) {
    while (taken.contains(label))
        label += QLatin1Char(' ');
    taken.append(label);
    return label;
}

// A light-to-dark fill over each slice or bar, for the 3D look.
QBrush ShadedBrush(const QColor& color) {
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setCoordinateMode(QGradient::ObjectBoundingMode);
    gradient.setColorAt(0.0, color.lighter(135));
    gradient.setColorAt(1.0, color.darker(135));
    return QBrush(gradient);
}

// The vertical axis: five labelled marks from 0 to top.
QCategoryAxis* LabelledAxis(const QStringList& labels, double top) {
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(0, top);
    axis->setStartValue(0);
    QStringList taken;
    for (int j = 0; j < labels.size(); ++j)
        axis->append(Distinct(labels[j], taken), top * j / (labels.size() - 1));
    return axis;
}

}  // namespace

GraphLook GraphLookOf(const ResultDocument& document, const GraphSeries& series) {
    GraphLook look;
    look.title = GraphTitle(document.title, series.computed_title);
    look.x_title = document.x_title;
    look.y_title = document.y_title;
    look.three_d = document.three_d;
    look.total_size = document.data.total_size;
    return look;
}

GraphView::GraphView(QWidget* parent) : QChartView(parent) {
    setAccessibleName(QStringLiteral("Graph"));
    setRenderHint(QPainter::Antialiasing);
    setMinimumSize(120, 90);
}

bool GraphView::ShowGraph(ResultDocument& document, Catalogue& catalogue, long graph_items,
                          UserInterface& ui) {
    document_ = &document;
    catalogue_ = &catalogue;
    GraphSeries series;
    if (!BuildGraphSeries(document, catalogue, graph_items, ui, series)) {
        Clear();
        return false;
    }
    const GraphLook look = GraphLookOf(document, series);
    ShowSeries(series, look);
    return HasGraph();
}

void GraphView::Clear() {
    series_ = GraphSeries{};
    bar_labels_.clear();
    setChart(new QChart);  // the view deletes the chart it had
    setAccessibleDescription(QString());
}

void GraphView::ShowSeries(const GraphSeries& series, const GraphLook& look) {
    if (series.points <= 0) {
        Clear();
        return;
    }
    series_ = series;
    bar_labels_.clear();  // they go with the chart they were drawn on
    auto* chart = new QChart;
    chart->setTitle(Text(look.title));
    QFont title_font = chart->titleFont();
    title_font.setPointSizeF(title_font.pointSizeF() * 1.3);
    title_font.setBold(true);
    chart->setTitleFont(title_font);
    chart->setAnimationOptions(QChart::NoAnimation);
    switch (series_.graph_type) {
        case kGraphTypePie:
            ShowPie(*chart, look);
            break;
        case kGraphTypeBar:
            ShowBar(*chart, look);
            break;
        default:
            ShowTimeLine(*chart, look);
            break;
    }
    setChart(chart);
    setAccessibleDescription(Text(look.title));
    look_ = look;
    shown_width_ = width();
}

void GraphView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    // The time line's date labels are spaced for the width: drawn afresh
    // when it changed.
    if (HasGraph() && series_.graph_type != kGraphTypePie && series_.graph_type != kGraphTypeBar &&
        width() != shown_width_) {
        ShowSeries(GraphSeries(series_), look_);
    }
}

void GraphView::ShowPie(QChart& chart, const GraphLook& look) {
    auto* pie = new QPieSeries;
    for (int i = 0; i < series_.points; ++i) {
        QPieSlice* slice = pie->append(Text(series_.point_labels[i]), std::max(series_.values[i], 0.0));
        // One slice per decile group carries its size; the rest stay bare.
        slice->setLabelVisible(series_.point_labels[i] != " ");
        slice->setLabelPosition(QPieSlice::LabelOutside);
    }
    pie->setPieSize(0.62);
    chart.addSeries(pie);
    // The legend names the rows; the slices carry the sizes.
    const QList<QLegendMarker*> markers = chart.legend()->markers(pie);
    for (int i = 0; i < markers.size() && i < series_.points; ++i)
        markers[i]->setLabel(Text(series_.legend_texts[i]));
    // Neighbouring slices in clearly different colours (the theme's pie
    // colours are shades of one).
    const QList<QPieSlice*> slices = pie->slices();
    for (int i = 0; i < slices.size(); ++i) {
        const QColor color = QColor::fromHsv((i * 137) % 360, 150, 215);
        slices[i]->setColor(color);
        slices[i]->setBorderColor(Qt::white);
        if (look.three_d)
            slices[i]->setBrush(ShadedBrush(color));
    }
    chart.legend()->setAlignment(Qt::AlignRight);
    connect(pie, &QPieSeries::clicked, this, [this, pie](QPieSlice* slice) {
        OnPointClicked(static_cast<int>(pie->slices().indexOf(slice)));
    });
}

void GraphView::ShowBar(QChart& chart, const GraphLook& look) {
    // One set per row, each holding only its own bar, so every bar has its
    // colour and its row's name in the legend.
    auto* bars = new QStackedBarSeries;
    double top = 0.0;
    for (int i = 0; i < series_.points; ++i) {
        auto* set = new QBarSet(Text(series_.legend_texts[i]));
        for (int k = 0; k < series_.points; ++k)
            set->append(k == i ? series_.values[i] : 0.0);
        bars->append(set);
        top = std::max(top, series_.values[i]);
    }
    bars->setBarWidth(0.7);
    chart.addSeries(bars);
    if (look.three_d) {
        for (QBarSet* set : bars->barSets())
            set->setBrush(ShadedBrush(set->color()));
    }

    // Each bar carries its size above it (standing upright where the bars
    // are too narrow for it), placed whenever the plot area moves.
    auto* x_axis = new QBarCategoryAxis;
    QStringList taken;
    QStringList categories;
    for (int i = 0; i < series_.points; ++i) {
        categories.append(Distinct(Text(series_.point_labels[i]), taken));
        bar_labels_.append(new QGraphicsSimpleTextItem(Text(series_.point_labels[i]), &chart));
    }
    x_axis->append(categories);
    x_axis->setLabelsVisible(false);
    x_axis->setTitleText(Text(look.x_title));
    chart.addAxis(x_axis, Qt::AlignBottom);
    bars->attachAxis(x_axis);
    connect(&chart, &QChart::plotAreaChanged, this, [this, &chart, bars] { PlaceBarLabels(chart, *bars); });

    if (top <= 0.0)
        top = 1.0;
    const std::string format = AxisNumberFormat(look.total_size);
    QStringList labels;
    for (int j = 0; j < 5; ++j)
        labels.append(Text(FormatAxisNumber(format, top * j / 4)));
    QCategoryAxis* y_axis = LabelledAxis(labels, top);
    y_axis->setMax(top * 1.2);  // room for the tallest bar's label
    y_axis->setTitleText(Text(look.y_title));
    chart.addAxis(y_axis, Qt::AlignLeft);
    bars->attachAxis(y_axis);

    chart.legend()->setAlignment(Qt::AlignRight);
    connect(bars, &QStackedBarSeries::clicked, this, [this](int index, QBarSet*) { OnPointClicked(index); });
}

void GraphView::PlaceBarLabels(QChart& chart, QAbstractSeries& bars) {
    const double slot = chart.plotArea().width() / std::max(series_.points, 1);
    for (int i = 0; i < bar_labels_.size() && i < series_.points; ++i) {
        QGraphicsSimpleTextItem* label = bar_labels_[i];
        const QRectF text = label->boundingRect();
        const QPointF top = chart.mapToPosition(QPointF(i, std::max(series_.values[i], 0.0)), &bars);
        if (text.width() + 4 <= slot) {
            label->setRotation(0);
            label->setPos(top.x() - text.width() / 2, top.y() - text.height() - 2);
        } else {
            label->setRotation(-90);
            label->setPos(top.x() - text.height() / 2, top.y() - 3);
        }
    }
}

QStringList GraphView::BarLabelTexts() const {
    QStringList texts;
    for (const QGraphicsSimpleTextItem* label : bar_labels_)
        texts.append(label->text());
    return texts;
}

void GraphView::ShowTimeLine(QChart& chart, const GraphLook& look) {
    auto* line = new QLineSeries;
    line->setName(Text(series_.computed_title));
    for (int k = 0; k < series_.points; ++k)
        line->append(k, series_.values[k]);
    line->setPointsVisible(true);
    chart.addSeries(line);
    QPen pen = line->pen();  // the theme's colour, drawn thicker
    pen.setWidthF(2.5);
    line->setPen(pen);

    QLineSeries* trend = nullptr;
    double top = series_.greatest_value;
    if (series_.graph_type == kGraphTypeForecast) {
        trend = new QLineSeries;
        trend->setName(QStringLiteral("Trend"));
        for (int k = 0; k < series_.points; ++k) {
            trend->append(k, series_.trend[k]);
            top = std::max(top, series_.trend[k]);
        }
        chart.addSeries(trend);
        QPen dashed(QColor(200, 60, 40));
        dashed.setStyle(Qt::DashLine);
        dashed.setWidthF(2.0);
        trend->setPen(dashed);
    }
    const double greatest = series_.greatest_value > 0.0 ? series_.greatest_value : 1.0;
    top = std::max(top, greatest);

    // Dates stand level and whole: as many as the width holds, at every
    // step-th point, the first always.
    auto* x_axis = new QCategoryAxis;
    x_axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // A little room before the first point and after the last keeps their
    // dates clear of the vertical axis's labels and of the edge.
    x_axis->setRange(-0.3, std::max(series_.points - 1, 1) + 0.3);
    x_axis->setStartValue(0);
    const QFontMetrics metrics(x_axis->labelsFont());
    int widest = 1;
    for (const std::string& label : series_.point_labels)
        widest = std::max(widest, metrics.horizontalAdvance(Text(label)));
    const int room = std::max(width() - 160, 200);
    const int fitting = std::max(room / (widest + 16), 2);
    const int step = (series_.points + fitting - 1) / fitting;
    QStringList taken;
    for (int k = 0; k < series_.points; k += step)
        x_axis->append(Distinct(Text(series_.point_labels[k]), taken), k);
    x_axis->setTitleText(Text(look.x_title));
    chart.addAxis(x_axis, Qt::AlignBottom);

    // The five labels of the core stand at 0, ¼, ½, ¾ and all of the
    // greatest value; the trend may rise above it.
    auto* y_axis = new QCategoryAxis;
    y_axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    y_axis->setRange(0, top * 1.02);
    y_axis->setStartValue(0);
    QStringList y_taken;
    for (int j = 0; j < 5; ++j)
        y_axis->append(Distinct(Text(series_.axis_labels[j]), y_taken), greatest * j / 4);
    y_axis->setTitleText(Text(look.y_title));
    chart.addAxis(y_axis, Qt::AlignLeft);

    line->attachAxis(x_axis);
    line->attachAxis(y_axis);
    if (trend) {
        trend->attachAxis(x_axis);
        trend->attachAxis(y_axis);
    }
    // The time line has no legend: its title says what the line is.
    chart.legend()->hide();
}

void GraphView::OnPointClicked(int point) {
    if (!document_ || !catalogue_ || point < 0)
        return;
    std::int32_t folder_id = 0;
    if (FolderIdOfPoint(*document_, *catalogue_, point, folder_id))
        emit FolderClicked(folder_id);
}

void GraphView::Paint(QPainter& painter, const QRect& body) {
    render(&painter, QRectF(body), viewport()->rect(), Qt::KeepAspectRatio);
}

}  // namespace korvane
