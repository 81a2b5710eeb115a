#include "result/graph_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "app/formatting.h"
#include "catalogue/day_number.h"
#include "result/result_rows.h"

namespace korvane {
namespace {

constexpr std::uint32_t kSecondsPerDay = 86'400;
constexpr std::uint32_t kLongestBucket = 315'360'000;

constexpr TimeBucket kBuckets[] = {
    {1, " per Second", "%X"},
    {5, " per 5 Seconds", "%X"},
    {10, " per 10 Seconds", "%X"},
    {30, " per 30 Seconds", "%X"},
    {60, " per Minute", "%X"},
    {120, " per 2 Minutes", "%X"},
    {300, " per 5 Minutes", "%X"},
    {600, " per 10 Minutes", "%X"},
    {1'800, " per 30 Minutes", "%X"},
    {3'600, " per Hour", "%c"},
    {7'200, " per 2 Hours", "%c"},
    {21'600, " per 6 Hours", "%c"},
    {43'200, " per 12 Hours", "%c"},
    {86'400, " per 24 Hours", "%c"},
    {604'800, " per Week", "%b %d %Y"},
    {2'678'400, " per Month", "%b %d %Y"},
    {7'776'000, " per Quarter", "%b %d %Y"},
    {31'536'000, " per Year", "%b %d %Y"},
    {63'072'000, " per 2 Years", "%b %d %Y"},
    {157'680'000, " per 5 Years", "%b %d %Y"},
    {kLongestBucket, " per Decade", "%b %d %Y"},
};

bool CaseBlindEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// Whole seconds between two day numbers. Catalogue dates hold whole
// seconds, so the nearest second is the true difference; cutting would turn
// a difference of 2,592,000 held as 2,591,999.9999 into the wrong bucket.
std::int64_t SecondsBetween(double from, double to) {
    const double seconds = std::round((to - from) * kSecondsPerDay);
    if (!(seconds > -9.0e18 && seconds < 9.0e18))
        return seconds > 0 ? std::numeric_limits<std::int64_t>::max()
                           : std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(seconds);
}

std::string LabelOf(const ResultData& result, int column, GraphRowSource& rows) {
    FieldValue value;
    std::string text;
    if (column >= 0 && rows.Value(column, value) && !value.IsNull()) {
        if (!value.AsText(text)) {
            double number = 0;
            if (value.AsDouble(number))
                text = std::to_string(SaturateToInt64(number));
        }
        return LegendText(text);
    }
    const std::string name = column >= 0 ? result.columns[column].name : std::string("Label");
    return LegendText("(No " + name + " Found)");
}

// "Name by Size"; without a label column the value column's name alone.
std::string ByTitle(const ResultData& result, const GraphColumns& columns) {
    const std::string& value = result.columns[columns.value].name;
    return columns.label >= 0 ? result.columns[columns.label].name + " by " + value : value;
}

void StartSeries(GraphSeries& series, int type, int sets) {
    series = GraphSeries{};
    series.graph_type = type;
    series.graph_style = 1;
    series.sets = sets;
    series.hot = true;
}

// Reads a whole row's label and value; false when a value cannot be read.
bool ReadLabelledRow(const ResultData& result, const GraphColumns& columns, GraphRowSource& rows,
                     double& number, std::string& legend) {
    FieldValue value;
    if (!rows.Value(columns.value, value))
        return false;
    number = 0.0;
    value.AsDouble(number);
    legend = LabelOf(result, columns.label, rows);
    return true;
}

struct DecileGroup {
    int count = 0;
    int first = 0;
    std::uint64_t sum = 0;
    std::string label;
};

class SnapshotRows : public GraphRowSource {
  public:
    explicit SnapshotRows(Catalogue& catalogue) : rows_(catalogue) {}
    bool Open(std::string_view name, bool any_order) { return rows_.Open(name, any_order); }
    bool Value(int column, FieldValue& value) override { return rows_.Value(column, value); }
    bool Next() override { return rows_.Next(); }

  private:
    ResultRows rows_;
};

}  // namespace

long EffectiveGraphItems(long graph_items) {
    return graph_items < 1 ? kDefaultGraphItems : std::min(graph_items, kMaxGraphItems);
}

TimeBucket ChooseBucket(std::uint32_t span_seconds, long graph_items) {
    const std::uint32_t ideal = span_seconds / static_cast<std::uint64_t>(EffectiveGraphItems(graph_items));
    if (ideal >= kLongestBucket)
        return TimeBucket{ideal, "", "%b %d %Y"};
    for (const TimeBucket& bucket : kBuckets) {
        if (bucket.width > ideal)
            return bucket;
    }
    return kBuckets[std::size(kBuckets) - 1];
}

GraphColumns FindGraphColumns(const ResultData& result) {
    GraphColumns columns;
    for (const char* name : {"Name", "Owner", "Type"}) {
        if (columns.label < 0)
            columns.label = result.ColumnIndex(name);
    }
    columns.value = result.ColumnIndex("Size");
    if (columns.value < 0)
        columns.value = result.ColumnIndex("Compressed");
    for (const char* name : {"Create Date", "Modify Date", "Access Date"}) {
        const int index = result.ColumnIndex(name);
        if (index >= 0 && (columns.date < 0 || index < columns.date))
            columns.date = index;
    }
    return columns;
}

std::string LegendText(std::string_view label) {
    std::size_t end = 0;
    for (std::size_t characters = 0; end < label.size() && characters < kLegendTextLength; ++characters) {
        ++end;
        while (end < label.size() && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80)
            ++end;
    }
    return std::string(label.substr(0, end));
}

std::string GraphTitle(const std::string& user_title, const std::string& computed_title) {
    if (user_title.empty() || CaseBlindEqual(user_title, "Untitled"))
        return computed_title;
    return user_title;
}

std::string AxisNumberFormat(std::uint64_t total_size) {
    if (total_size < 10'000'000ULL)
        return "###0,\\K\\B";
    if (total_size < 10'000'000'000ULL)
        return "###0,,\\M\\B";
    if (total_size < 10'000'000'000'000ULL)
        return "###0,,,\\G\\B";
    return "###0,,,,\\T\\B";
}

std::string FormatAxisNumber(std::string_view format, double value) {
    std::string literal;
    int divisions = 0;
    bool digits_seen = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '\\' && i + 1 < format.size()) {
            literal += format[++i];
        } else if (c == '#' || c == '0') {
            digits_seen = true;
        } else if (c == ',' && digits_seen) {
            ++divisions;
        } else {
            literal += c;
        }
    }
    for (int i = 0; i < divisions; ++i)
        value /= 1000.0;
    char number[32];
    std::snprintf(number, sizeof number, "%.0f", std::round(value));
    return number + literal;
}

bool BuildPieSeries(const ResultData& result, GraphRowSource& rows, GraphSeries& series) {
    const GraphColumns columns = FindGraphColumns(result);
    StartSeries(series, kGraphTypePie, 1);
    if (columns.value < 0)
        return false;
    series.computed_title = ByTitle(result, columns);
    const std::uint64_t t = result.total_size / 10;
    const std::uint64_t r = result.total_size % 10;
    if (t == 0)
        return false;

    std::array<DecileGroup, 10> groups;
    std::int64_t running = 0;
    const int limit = std::max(result.row_count, 0);
    for (int i = 0; i < limit; ++i) {
        if (i > 0 && !rows.Next())
            break;
        double number = 0;
        std::string legend;
        if (!ReadLabelledRow(result, columns, rows, number, legend))
            break;
        const std::int64_t v = SaturateToInt64(number);
        running = v > 0 && running > std::numeric_limits<std::int64_t>::max() - v ? running : running + v;
        // |S − r − 1| div t; a running total past the result's total (folder
        // rows counted in it but not in the total) stays in the last group.
        const long double offset = static_cast<long double>(running) - static_cast<long double>(r) - 1.0L;
        const long double group = std::floor(std::fabs(offset) / static_cast<long double>(t));
        DecileGroup& g = groups[static_cast<std::size_t>(std::min<long double>(group, 9.0L))];
        ++g.count;
        g.sum += v > 0 ? static_cast<std::uint64_t>(v) : 0;
        if (g.count == 1) {
            g.first = i;
            g.label = FormatSize(g.sum);
        }
        series.values.push_back(number);
        series.legend_texts.push_back(std::move(legend));
        series.point_labels.emplace_back(" ");
    }
    series.points = static_cast<int>(series.values.size());
    if (series.points == 0)
        return false;
    for (DecileGroup& g : groups) {
        if (g.count == 1) {
            series.point_labels[g.first] = g.label;
        } else if (g.count >= 2) {
            g.label = std::to_string(g.count) + " (" + FormatSize(g.sum) + ")";
            series.point_labels[g.first + g.count / 2] = g.label;
        }
    }
    return true;
}

bool BuildBarSeries(const ResultData& result, GraphRowSource& rows, GraphSeries& series) {
    const GraphColumns columns = FindGraphColumns(result);
    StartSeries(series, kGraphTypeBar, 1);
    if (columns.value < 0)
        return false;
    series.computed_title = ByTitle(result, columns);
    const int limit = std::max(result.row_count, 0);
    for (int i = 0; i < limit; ++i) {
        if (i > 0 && !rows.Next())
            break;
        double number = 0;
        std::string legend;
        if (!ReadLabelledRow(result, columns, rows, number, legend))
            break;
        series.values.push_back(number);
        series.legend_texts.push_back(std::move(legend));
        series.point_labels.push_back(FormatSizeApprox(number));
    }
    series.points = static_cast<int>(series.values.size());
    return series.points > 0;
}

std::string ForecastText(double slope, std::uint32_t width, std::uint64_t free_space, bool forecast,
                         std::time_t now) {
    const double per_day = width > 0 ? slope * kSecondsPerDay / width : 0.0;
    const std::string rate = FormatSizeApprox(per_day);
    if (!forecast)
        return rate + " per day";
    if (!(slope > 0.0) || !std::isfinite(per_day))
        return "At " + rate + " per day, drive is not filling";
    const double days = static_cast<double>(free_space) / slope * width / kSecondsPerDay;
    std::tm local{};
    localtime_r(&now, &local);
    // Past the year 9999 a date means nothing to anyone.
    const double days_left_in_range = (9999.0 - (local.tm_year + 1900)) * 365.2425;
    if (!(days < days_left_in_range))
        return "At " + rate + " per day, drive could be full after 9999";
    const double whole_days = std::floor(days);
    local.tm_mday += static_cast<int>(whole_days);
    local.tm_sec += static_cast<int>(std::lround((days - whole_days) * kSecondsPerDay));
    local.tm_isdst = -1;
    const std::time_t full = std::mktime(&local);
    return "At " + rate + " per day, drive could be full on " + FormatLocalTime(kForecastDateFormat, full);
}

bool BuildTimeLineSeries(const ResultData& result, GraphRowSource& rows, const TimeLineOptions& options,
                         GraphSeries& series, std::string* message_out) {
    const GraphColumns columns = FindGraphColumns(result);
    series = GraphSeries{};
    if (columns.date < 0) {
        if (message_out)
            *message_out = kNoDateFieldMessage;
        return false;
    }
    if (result.earliest_date == 0.0 || result.latest_date == 0.0 || columns.value < 0)
        return false;
    const std::string& date_name = result.columns[columns.date].name;
    std::string name = date_name == "Create Date"   ? "Bytes Created"
                       : date_name == "Modify Date" ? "Bytes Changed"
                                                    : "Bytes Accessed";
    if (options.forecast)
        name = "Cumulative " + name;

    const std::int64_t span64 = SecondsBetween(result.earliest_date, result.latest_date);
    const std::uint32_t span = static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(span64, 0, std::numeric_limits<std::uint32_t>::max()));
    const TimeBucket bucket = ChooseBucket(span, options.graph_items);
    const int points = static_cast<int>(span / bucket.width) + 2;
    StartSeries(series, options.forecast ? kGraphTypeForecast : kGraphTypeLine, 1);
    series.computed_title = name + std::string(bucket.suffix);
    series.points = points;
    series.values.assign(points, 0.0);
    series.counts.assign(points, 0);
    const std::time_t start = static_cast<std::time_t>(UnixFromDayNumber(result.earliest_date));
    const bool locale_format =
        bucket.label_format[0] == '%' && (bucket.label_format[1] == 'X' || bucket.label_format[1] == 'c');
    for (int k = 0; k < points; ++k) {
        const std::time_t when = start + static_cast<std::time_t>(k) * bucket.width;
        series.point_labels.push_back(locale_format ? FormatLocaleTime(bucket.label_format, when)
                                                    : FormatLocalTime(bucket.label_format, when));
    }

    FieldValue date;
    FieldValue value;
    do {
        if (!rows.Value(columns.date, date) || !rows.Value(columns.value, value))
            break;
        // Null dates, the filler date and dates outside the result's span
        // (a folder row's own date) have no point.
        if (date.kind != FieldKind::Date || date.number == 1.0)
            continue;
        const std::int64_t offset = SecondsBetween(result.earliest_date, date.number);
        if (offset < 0)
            continue;
        const std::int64_t k = offset / bucket.width;
        if (k >= points)
            continue;
        double bytes = 0.0;
        value.AsDouble(bytes);
        series.values[k] += bytes;
        ++series.counts[k];
    } while (rows.Next());

    if (options.forecast && series.counts[0] > 0) {
        for (int k = 1; k < points; ++k)
            series.values[k] += series.values[k - 1];
    }
    double greatest = 0.0;
    for (double v : series.values)
        greatest = std::max(greatest, v);
    series.greatest_value = greatest;
    for (int j = 0; j < 5; ++j)
        series.axis_labels[j] = FormatSizeApprox(j * greatest * 0.25);

    // Least squares over the points holding rows, drawn through the origin.
    double n = 0, sum_x = 0, sum_y = 0, sum_xy = 0, sum_xx = 0;
    for (int k = 0; k < points; ++k) {
        if (series.counts[k] <= 0)
            continue;
        const double x = k + 1.0;
        const double y = series.values[k];
        n += 1;
        sum_x += x;
        sum_y += y;
        sum_xy += x * y;
        sum_xx += x * x;
    }
    double slope = 0.0;
    if (n >= 2) {
        const double mean_x = sum_x / n;
        const double mean_y = sum_y / n;
        const double spread = sum_xx - mean_x * sum_x;
        if (spread > 0)
            slope = (sum_xy - mean_y * sum_x) / spread;
    }
    series.trend_slope = slope;
    series.trend.resize(points);
    for (int k = 0; k < points; ++k)
        series.trend[k] = (k + 1.0) * slope;
    series.forecast_text = ForecastText(slope, bucket.width, result.free_space, options.forecast,
                                        options.now != 0 ? options.now : std::time(nullptr));
    return true;
}

GraphPlan PlanGraph(ResultDocument& document, long graph_items, UserInterface& ui) {
    const int mode = document.display_mode;
    if ((mode == kDisplayPie || mode == kDisplayBar) &&
        document.data.row_count > EffectiveGraphItems(graph_items)) {
        ui.ShowMessage(kTooManyItemsMessage, MessageIcon::Exclamation, MessageButtons::Ok);
        document.display_mode = kDisplayReport;
        return GraphPlan::Report;
    }
    switch (mode) {
        case kDisplayPie:
            return GraphPlan::Pie;
        case kDisplayBar:
            return GraphPlan::Bar;
        case kDisplayLine:
        case kDisplayForecast:
            return GraphPlan::TimeLine;
        default:
            return GraphPlan::Report;
    }
}

bool BuildGraphSeries(ResultDocument& document, Catalogue& catalogue, long graph_items, UserInterface& ui,
                      GraphSeries& series, std::time_t now) {
    const int mode = document.display_mode;
    const bool time_line = mode == kDisplayLine || mode == kDisplayForecast;
    series = GraphSeries{};
    if (!time_line && mode != kDisplayPie && mode != kDisplayBar)
        return false;
    if (time_line && FindGraphColumns(document.data).date < 0) {
        ui.ShowMessage(kNoDateFieldMessage, MessageIcon::Exclamation, MessageButtons::Ok);
        return false;
    }
    SnapshotRows rows(catalogue);
    // A time line sums per bucket: the answer's order does not matter, so
    // its sort is skipped, as the run's own pass over the rows does.
    if (!rows.Open(document.data.result_name, /*any_order=*/time_line))
        return false;
    bool built = false;
    if (mode == kDisplayPie) {
        built = BuildPieSeries(document.data, rows, series);
    } else if (mode == kDisplayBar) {
        built = BuildBarSeries(document.data, rows, series);
    } else {
        TimeLineOptions options;
        options.forecast = mode == kDisplayForecast;
        options.graph_items = graph_items;
        options.now = now;
        built = BuildTimeLineSeries(document.data, rows, options, series);
        if (built)
            document.forecast_text = series.forecast_text;
    }
    if (!series.computed_title.empty())
        document.computed_title = series.computed_title;
    return built;
}

bool FolderIdOfPoint(const ResultDocument& document, Catalogue& catalogue, int point,
                     std::int32_t& folder_id) {
    folder_id = 0;
    const int mode = document.display_mode;
    const int column = document.data.ColumnIndex("Folder ID");
    if ((mode != kDisplayPie && mode != kDisplayBar) || column < 0 || point < 0)
        return false;
    ResultRows rows(catalogue);
    if (!rows.Open(document.data.result_name) || !rows.Move(point))
        return false;
    FieldValue value;
    return rows.Value(column, value) && value.AsInt32(folder_id) && folder_id != 0;
}

}  // namespace korvane
