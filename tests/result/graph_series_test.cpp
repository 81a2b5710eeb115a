#include "result/graph_series.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cmath>

#include "app/formatting.h"
#include "catalogue/day_number.h"
#include "query/query_catalogue.h"
#include "result/display_mode.h"
#include "result/graph_tree.h"

namespace korvane {
namespace {

using Files = std::vector<std::pair<double, std::optional<double>>>;  // size, Modify Date

// Results run on the fixture's real catalogue, files added to folder Old (3).
class GraphSeriesTest : public testing::QueryCatalogueTest {
  protected:
    void Run(const Files& files, std::vector<const char*> fields = {"Name", "Size", "Modify Date"}) {
        for (const auto& [size, date] : files) {
            ++next_file_;
            AddFile(next_file_, 3, "f" + std::to_string(next_file_), size, date);
        }
        LoadTree();
        for (const char* name : fields)
            profile_.fields[FindQueryField(profile_, "File", name)].in_query = true;
        profile_.query_name = document_.data.result_name = "Graph";
        profile_.sort_column = "Size";
        profile_.sort_direction = "DESC";
        CheckQueryShape(profile_);
        document_.data.current_folder_id = 3;
        ASSERT_TRUE(RunQuery(&profile_, document_.data, catalogue_, tree_, nullptr));
    }
    GraphSeries Build(int mode, long items = 25) {
        document_.display_mode = mode;
        GraphSeries series;
        built_ = BuildGraphSeries(document_, catalogue_, items, ui_, series, now_);
        return series;
    }

    QueryProfile profile_;
    ResultDocument document_;
    std::int32_t next_file_ = 0;
    bool built_ = false;
    std::time_t now_ = 1'700'000'000;
};

TEST(ChooseBucket, PicksTheSmallestWidthAboveTheIdeal) {
    const std::tuple<std::uint32_t, long, std::uint32_t, std::string_view, std::string_view> cases[] = {
        {0, 25, 1, " per Second", "%X"},
        {5 * 25, 25, 10, " per 10 Seconds", "%X"},
        {1'800 * 25, 25, 3'600, " per Hour", "%c"},
        {2'592'000, 25, 604'800, " per Week", "%b %d %Y"},  // 30 days: ideal 103,680
        {86'399 * 25, 25, 86'400, " per 24 Hours", "%c"},
        {86'400 * 25, 25, 604'800, " per Week", "%b %d %Y"},
        {315'359'999, 1, 315'360'000, " per Decade", "%b %d %Y"},
        {400'000'000, 1, 400'000'000, "", "%b %d %Y"},
        {86'400 * 25, 0, 604'800, " per Week", "%b %d %Y"},  // GraphItems 0 (or less) counts as 25
        {86'400 * 25, -3, 604'800, " per Week", "%b %d %Y"},
        {315'360'000, 999'999'999, 604'800, " per Week", "%b %d %Y"},  // counts as 1,000: 523 points
    };
    for (const auto& [span, items, width, suffix, format] : cases) {
        const TimeBucket bucket = ChooseBucket(span, items);
        EXPECT_EQ(bucket.width, width) << span << " / " << items;
        EXPECT_EQ(bucket.suffix, suffix) << span;
        EXPECT_EQ(std::string_view(bucket.label_format), format) << span;
    }
}

TEST(GraphText, TitlesLegendsAxisFormatsAndForecasts) {
    EXPECT_EQ(GraphTitle("untitled", "Name by Size"), "Name by Size");
    EXPECT_EQ(GraphTitle("", "Name by Size"), "Name by Size");
    EXPECT_EQ(GraphTitle("Untitled 2", "Name by Size"), "Untitled 2");
    EXPECT_EQ(LegendText("quarterly-report-of-the-northern-region.xlsx"), "quarterly-report-of-the-northern");
    // The 32nd character is a two-byte one: it is kept whole.
    EXPECT_EQ(LegendText(std::string(31, 'a') + "\xc3\xa9tail"), std::string(31, 'a') + "\xc3\xa9");

    const std::pair<std::uint64_t, const char*> formats[] = {{9'999'999, "###0,\\K\\B"},
                                                             {10'000'000, "###0,,\\M\\B"},
                                                             {10'000'000'000, "###0,,,\\G\\B"},
                                                             {10'000'000'000'000, "###0,,,,\\T\\B"}};
    for (const auto& [total, format] : formats)
        EXPECT_EQ(AxisNumberFormat(total), format) << total;
    EXPECT_EQ(FormatAxisNumber("###0,,\\M\\B", 2'500'000), "3MB");
    EXPECT_EQ(FormatAxisNumber("###0,\\K\\B", 0), "0KB");

    const std::time_t now = 1'700'000'000;
    EXPECT_EQ(ForecastText(0.0, 604'800, 1'000'000'000, true, now),
              "At 0 bytes per day, drive is not filling");
    EXPECT_EQ(ForecastText(-700'000, 604'800, 1'000'000'000, true, now),
              "At -100.0 KB per day, drive is not filling");
    EXPECT_EQ(ForecastText(1e-3, 604'800, 1'000'000'000'000, true, now),
              "At 0 bytes per day, drive could be full after 9999");
    EXPECT_EQ(ForecastText(1'000, 86'400, 0, true, now),
              "At 1.0 KB per day, drive could be full on " + FormatLocalTime(kForecastDateFormat, now));
    EXPECT_EQ(ForecastText(-700'000, 604'800, 1'000'000'000, false, now), "-100.0 KB per day");
}

TEST_F(GraphSeriesTest, PieSlicesOfOneGroupShareOneLabel) {
    Run({{600, {}}, {300, {}}, {100, {}}});
    GraphSeries pie = Build(kDisplayPie);
    ASSERT_TRUE(built_);
    EXPECT_EQ(pie.graph_type, kGraphTypePie);
    EXPECT_EQ(pie.values, (std::vector<double>{600, 300, 100}));
    // Running totals 600, 900, 1,000 fall into groups 5, 8 and 9.
    EXPECT_EQ(pie.point_labels, (std::vector<std::string>{"600 bytes", "300 bytes", "100 bytes"}));
    EXPECT_EQ(pie.legend_texts, (std::vector<std::string>{"f1", "f2", "f3"}));
    EXPECT_EQ(document_.computed_title, "Name by Size");

    // A running total past the result's total (folder rows counted in the
    // values, not in the total) stays in the last of the ten groups.
    document_.data.total_size = 10;
    pie = Build(kDisplayPie);
    EXPECT_EQ(pie.point_labels, (std::vector<std::string>{" ", "3 (1.00 KB)", " "}));
    document_.data.total_size = 9;
    Build(kDisplayPie);
    EXPECT_FALSE(built_);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(GraphSeriesTest, PieOfTwentyEqualRowsLabelsPairsOnTheirSecondSlice) {
    Run(Files(20, {10, {}}));
    const GraphSeries pie = Build(kDisplayPie);
    ASSERT_EQ(pie.points, 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(pie.point_labels[i], i % 2 == 1 ? "2 (20 bytes)" : " ") << i;
}

TEST_F(GraphSeriesTest, BarsCarryApproximateSizesAndNullNamesSaySo) {
    Run({{1536, {}}, {2, {}}});
    ASSERT_EQ(sqlite3_exec(catalogue_.handle(), "UPDATE File SET Name = NULL WHERE Size = 2", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    const GraphSeries bar = Build(kDisplayBar);
    ASSERT_TRUE(built_);
    EXPECT_EQ(bar.graph_type, kGraphTypeBar);
    EXPECT_EQ(bar.values, (std::vector<double>{1536, 2}));
    EXPECT_EQ(bar.point_labels, (std::vector<std::string>{"1.5 KB", "2 bytes"}));
    EXPECT_EQ(bar.legend_texts, (std::vector<std::string>{"f1", "(No Name Found)"}));
}

TEST_F(GraphSeriesTest, TooManyRowsForAPieFallBackToTheReportButNotForALine) {
    Files files;
    for (int i = 0; i < 26; ++i)
        files.push_back({100.0 + i, Day(2026, 3, 1 + i)});
    Run(files);
    document_.display_mode = kDisplayPie;
    EXPECT_EQ(PlanGraph(document_, 25, ui_), GraphPlan::Report);
    EXPECT_EQ(document_.display_mode, kDisplayReport);
    document_.display_mode = kDisplayLine;
    EXPECT_EQ(PlanGraph(document_, 25, ui_), GraphPlan::TimeLine);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kTooManyItemsMessage);
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);
    // 25 days over 25 items: ideal 86,400, so weekly points.
    const GraphSeries line = Build(kDisplayLine);
    EXPECT_EQ(line.computed_title, "Bytes Changed per Week");
    EXPECT_EQ(line.points, 5);
    EXPECT_EQ(line.point_labels[1], "Mar 08 2026");
}

TEST_F(GraphSeriesTest, EqualDatesGiveOneSecondPointsAndNoForecast) {
    const double when = Day(2026, 5, 4, 13, 14, 15);
    Run({{100, when}, {50, when}});
    const GraphSeries line = Build(kDisplayLine);
    EXPECT_EQ(line.graph_type, kGraphTypeLine);
    EXPECT_EQ(line.computed_title, "Bytes Changed per Second");
    EXPECT_EQ(line.values, (std::vector<double>{150, 0}));
    EXPECT_EQ(line.counts, (std::vector<std::int32_t>{2, 0}));
    EXPECT_EQ(line.point_labels[1], FormatLocaleTime("%X", UnixFromDayNumber(when) + 1));
    // One point holding rows has no trend.
    const GraphSeries forecast = Build(kDisplayForecast);
    EXPECT_EQ(forecast.computed_title, "Cumulative Bytes Changed per Second");
    EXPECT_EQ(forecast.trend, (std::vector<double>{0, 0}));
    EXPECT_EQ(document_.forecast_text, "At 0 bytes per day, drive is not filling");
}

TEST_F(GraphSeriesTest, ThirtyDaysGiveSixWeeklyPointsAndNullDatesNone) {
    Run({{100, Day(2026, 1, 1)}, {200, Day(2026, 1, 31)}, {300, std::nullopt}});
    const GraphSeries line = Build(kDisplayLine);
    EXPECT_EQ(line.values, (std::vector<double>{100, 0, 0, 0, 200, 0}));
    EXPECT_EQ(line.point_labels[5], "Feb 05 2026");
}

TEST_F(GraphSeriesTest, WeeklyForecastOfAGrowingVolume) {
    Run({{1e6, Day(2026, 2, 2)}, {1e6, Day(2026, 2, 9)}, {1e6, Day(2026, 2, 16)}, {1e6, Day(2026, 2, 23)}});
    document_.data.free_space = 1'000'000'000;
    // 21 days over 4 items: ideal 453,600, so weekly points.
    const GraphSeries forecast = Build(kDisplayForecast, 4);
    EXPECT_EQ(forecast.graph_type, kGraphTypeForecast);
    EXPECT_EQ(forecast.computed_title, "Cumulative Bytes Changed per Week");
    EXPECT_EQ(forecast.values, (std::vector<double>{1e6, 2e6, 3e6, 4e6, 4e6}));
    EXPECT_EQ(forecast.trend, (std::vector<double>{1e6, 2e6, 3e6, 4e6, 5e6}));
    EXPECT_EQ(forecast.axis_labels,
              (std::array<std::string, 5>{"0 bytes", "1.0 MB", "2.0 MB", "3.0 MB", "4.0 MB"}));
    std::tm full{};
    localtime_r(&now_, &full);
    full.tm_mday += 7000;
    full.tm_isdst = -1;
    EXPECT_EQ(document_.forecast_text, "At 142.9 KB per day, drive could be full on " +
                                           FormatLocalTime(kForecastDateFormat, std::mktime(&full)));
    // The same rows per point, not summed up: no growth.
    const GraphSeries line = Build(kDisplayLine, 4);
    EXPECT_EQ(line.values, (std::vector<double>{1e6, 1e6, 1e6, 1e6, 0}));
    EXPECT_EQ(line.trend_slope, 0.0);
    EXPECT_EQ(document_.forecast_text, "0 bytes per day");
}

TEST_F(GraphSeriesTest, TimeLineWithoutDateColumnShowsTheMessage) {
    Run({{100, Day(2026, 1, 1)}}, {"Name", "Size"});
    Build(kDisplayForecast);
    EXPECT_FALSE(built_);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kNoDateFieldMessage);
}

TEST(GraphOfScannedTree, SeriesAgreeWithTheFilesAndFolderPointsNameTheirFolder) {
    testing::GraphTree tree;
    tree.Make();
    ResultDocument document;
    tree.RunChanges(document);
    // The sums from the files themselves: seconds from the earliest change,
    // in months of 31 days (210 days over 25 points: ideal 726,478 s).
    double first = 1e9, last = 0;
    for (const auto& file : tree.files()) {
        first = std::min(first, DayNumberFromUnix(file.modified));
        last = std::max(last, DayNumberFromUnix(file.modified));
    }
    const std::int64_t width = 2'678'400;
    const int points = static_cast<int>(std::llround((last - first) * 86'400) / width) + 2;
    std::vector<double> sums(points, 0.0);
    std::vector<std::int32_t> counts(points, 0);
    for (const auto& file : tree.files()) {
        const std::int64_t k = std::llround((DayNumberFromUnix(file.modified) - first) * 86'400) / width;
        sums[k] += static_cast<double>(file.size);
        ++counts[k];
    }
    document.display_mode = kDisplayLine;
    GraphSeries series;
    ASSERT_TRUE(BuildGraphSeries(document, tree.catalogue(), 25, tree.ui(), series));
    EXPECT_EQ(series.computed_title, "Bytes Changed per Month");
    EXPECT_EQ(series.values, sums);
    EXPECT_EQ(series.counts, counts);
    document.display_mode = kDisplayForecast;
    ASSERT_TRUE(BuildGraphSeries(document, tree.catalogue(), 25, tree.ui(), series));
    for (int k = 1; k < points; ++k)
        sums[k] += sums[k - 1];
    EXPECT_EQ(series.values, sums);
    EXPECT_GT(series.trend_slope, 0.0);
    EXPECT_NE(document.forecast_text.find("drive could be full on"), std::string::npos)
        << document.forecast_text;
    std::int32_t folder = 0;
    EXPECT_FALSE(FolderIdOfPoint(document, tree.catalogue(), 0, folder)) << "a time-line point is no row";

    // The folders and the root's file, largest first: Music, Scans, Mail
    // archive, Photos, readme.txt, Projects.
    tree.RunFolders(document);
    document.display_mode = kDisplayBar;
    ASSERT_TRUE(BuildGraphSeries(document, tree.catalogue(), 25, tree.ui(), series));
    ASSERT_EQ(series.legend_texts, (std::vector<std::string>{"Music", "Scans", "Mail archive", "Photos",
                                                             "readme.txt", "Projects"}));
    EXPECT_EQ(series.values[4], 40'000'000);
    for (int point : {0, 3, 5}) {
        EXPECT_TRUE(FolderIdOfPoint(document, tree.catalogue(), point, folder));
        EXPECT_EQ(folder, tree.folders().FolderIdOfPath(tree.root() + "/" + series.legend_texts[point]));
    }
    EXPECT_FALSE(FolderIdOfPoint(document, tree.catalogue(), 4, folder)) << "a file row";
    EXPECT_FALSE(FolderIdOfPoint(document, tree.catalogue(), 6, folder)) << "past the answer";
}

class RecordingHost : public ResultDocumentHost {
  public:
    void MarkModified() override { calls.push_back("modified"); }
    void RefreshAllViews() override { calls.push_back("refresh"); }
    std::vector<std::string> calls;
};

TEST(DisplayModeCommands, OnlyAChangeMarksModifiedAndRefreshes) {
    EXPECT_STREQ(kDisplayModeCommands[4].prompt, "Display results in cumulative line graph form.");
    ResultDocument document;
    RecordingHost host;
    EXPECT_FALSE(SelectDisplayMode(document, kDisplayReport, host));
    EXPECT_FALSE(SelectDisplayMode(document, 17, host));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_TRUE(SelectDisplayMode(document, kDisplayBar, host));
    EXPECT_EQ(document.display_mode, kDisplayBar);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"modified", "refresh"}));

    host.calls.clear();
    ApplyGraphSettings(document, {std::string(300, 'x'), "Month", std::string(254, 'y') + "\xc3\xa9", false},
                       host);
    EXPECT_EQ(document.title, std::string(255, 'x'));
    EXPECT_EQ(document.y_title, std::string(254, 'y'));  // never half a character
    EXPECT_FALSE(document.three_d);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"modified"}));
}

}  // namespace
}  // namespace korvane
