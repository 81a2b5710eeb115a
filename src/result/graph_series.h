// A result's rows turned into what a chart draws: values, labels, titles,
// the time buckets of a time line, its trend and the drive-full forecast.
// The rows are read afresh from the result's stored query; the chart gets
// only the points, never the rows.
#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "result/result_data.h"

namespace korvane {

// Type codes of a series, one per graph kind.
inline constexpr int kGraphTypePie = 2;
inline constexpr int kGraphTypeBar = 4;
inline constexpr int kGraphTypeForecast = 8;
inline constexpr int kGraphTypeLine = 14;

inline constexpr std::size_t kLegendTextLength = 32;  // characters
inline constexpr long kDefaultGraphItems = 25;

struct GraphSeries {
    int graph_type = 0;
    int graph_style = 1;
    int sets = 0;
    int points = 0;
    bool hot = false;                        // built: the chart reports clicks
    std::vector<double> values;              // sets × points, set-major
    std::vector<std::int32_t> counts;        // time line: rows per point
    std::vector<std::string> point_labels;   // one per point
    std::vector<std::string> legend_texts;   // pie and bar: one per point
    std::array<std::string, 5> axis_labels;  // time line: 0, ¼, ½, ¾ and all of the greatest value
    double greatest_value = 0.0;             // time line: what the top axis label stands for
    std::vector<double> trend;               // time line: one per point, through the origin
    double trend_slope = 0.0;                // bytes per point; 0 when there is no trend
    std::string computed_title;
    std::string forecast_text;  // time line only
};

// A row of the time-line bucket table.
struct TimeBucket {
    std::uint32_t width = 1;        // seconds
    std::string_view suffix;        // appended to the series name, starts with a blank
    const char* label_format = "";  // strftime format of the point labels
};

// The smallest bucket wider than span / graph_items; from 315,360,000
// seconds on, a bucket of that ideal width itself with no suffix.
// graph_items counts as EffectiveGraphItems says.
TimeBucket ChooseBucket(std::uint32_t span_seconds, long graph_items);

// The GraphItems setting in force: a value below 1 (possible only by
// editing the settings file) counts as the default, so buckets and limits
// always divide by a positive number; a value above 1,000 counts as 1,000,
// so a time line never has more than 1,002 points (a setting of nine
// digits would otherwise ask for hundreds of millions) and no chart gets
// more bars or slices than it can draw.
inline constexpr long kMaxGraphItems = 1000;
long EffectiveGraphItems(long graph_items);

// What the columns of a result mean to a graph; -1 when absent.
struct GraphColumns {
    int label = -1;  // Name, else Owner, else Type
    int value = -1;  // Size, else Compressed
    int date = -1;   // the leftmost of Create Date, Modify Date, Access Date
};
GraphColumns FindGraphColumns(const ResultData& result);

// The rows a series reads, one at a time (the stored query's snapshot).
class GraphRowSource {
  public:
    virtual ~GraphRowSource() = default;
    // The current row's value of a column; false when it cannot be read.
    virtual bool Value(int column, FieldValue& value) = 0;
    // Moves to the next row; false at the end.
    virtual bool Next() = 0;
};

// The pie: one slice per row (at most result.row_count), grouped into ten
// deciles of the running total; only one slice per group carries a label.
// False, with nothing built, when the total size is below 10 bytes, when
// there is no value column or no row could be read.
bool BuildPieSeries(const ResultData& result, GraphRowSource& rows, GraphSeries& series);

// The bar graph: one bar per row, labelled with its approximate size.
// False when there is no value column or no row could be read.
bool BuildBarSeries(const ResultData& result, GraphRowSource& rows, GraphSeries& series);

struct TimeLineOptions {
    bool forecast = false;  // cumulative values and the drive-full date
    long graph_items = kDefaultGraphItems;
    std::time_t now = 0;  // the forecast counts from here; 0: the current time
};

// The time line over the result's date column, summed per bucket (and
// cumulatively for the forecast), with the axis labels, the trend through
// the origin and the forecast text. False, with nothing built, when there is
// no date column (message_out then holds the message to show), when the
// result has no start or end date, or no value column.
bool BuildTimeLineSeries(const ResultData& result, GraphRowSource& rows, const TimeLineOptions& options,
                         GraphSeries& series, std::string* message_out = nullptr);

inline constexpr const char* kNoDateFieldMessage = "You must select a date field for a time line.";
inline constexpr const char* kTooManyItemsMessage =
    "Too many items for a good graph, defaulting to report view.";

// The forecast text for a trend of slope bytes per point of width seconds:
// in forecast mode "At %s per day, drive could be full on %s"; in line mode
// "%s per day". A slope of zero or less (no growth, or fewer than two points
// holding rows) gives "At %s per day, drive is not filling"; a date past
// the year 9999 gives "At %s per day, drive could be full after 9999".
std::string ForecastText(double slope, std::uint32_t width, std::uint64_t free_space, bool forecast,
                         std::time_t now);

// The vertical axis's number format for a result's total size:
// "###0,\K\B", "###0,,\M\B", "###0,,,\G\B" or "###0,,,,\T\B".
std::string AxisNumberFormat(std::uint64_t total_size);
// A value written with such a format: each comma after the digits divides
// by 1,000, the result is rounded to a whole number, and the letters after
// a backslash are copied (2,500,000 with "###0,,\M\B" gives "3MB").
std::string FormatAxisNumber(std::string_view format, double value);

// The user's title unless it is empty or "Untitled" (any case); else the
// computed title.
std::string GraphTitle(const std::string& user_title, const std::string& computed_title);

// A label cut to its first 32 characters (UTF-8 characters, never a part
// of one).
std::string LegendText(std::string_view label);

// How a refresh shows a result in its mode.
enum class GraphPlan { Report, Pie, Bar, TimeLine };

// The mode's plan for a result with rows. A pie or bar of more rows than
// GraphItems shows kTooManyItemsMessage (exclamation) and switches the
// document to Report (not marking it modified: the person did not ask).
GraphPlan PlanGraph(ResultDocument& document, long graph_items, UserInterface& ui);

// Reads the result's rows from its stored query and builds the series of
// the document's mode; the computed title and, for a time line, the
// forecast text go into the document. False when no graph is to be shown
// (the report is then not shown either: the view stays empty); a missing
// date column shows kNoDateFieldMessage.
bool BuildGraphSeries(ResultDocument& document, Catalogue& catalogue, long graph_items, UserInterface& ui,
                      GraphSeries& series, std::time_t now = 0);

// A click on point of a pie or bar of a result with a "Folder ID" column:
// the identifier of that row's folder. False for a file row (null Folder
// ID), a result without the column, a point past the answer, and every
// time-line point (a point there is a span of time, not a row).
bool FolderIdOfPoint(const ResultDocument& document, Catalogue& catalogue, int point,
                     std::int32_t& folder_id);

}  // namespace korvane
