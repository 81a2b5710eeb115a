#include "result/graph_series.h"

#include <gtest/gtest.h>

#include <cmath>

#include "app/formatting.h"
#include "catalogue/day_number.h"
#include "query/query_catalogue.h"
#include "result/display_mode.h"
#include "result/run_query.h"

namespace korvane {
namespace {

using testing::RecordingUserInterface;

// Results run on a real catalogue; files are added to the fixture's folders.
class GraphSeriesTest : public testing::QueryCatalogueTest {
  protected:
    void SetUp() override {
        QueryCatalogueTest::SetUp();
        profile_.query_name = "Graph";
        document_.data.result_name = "Graph";
        document_.data.profile = &profile_;
    }

    void AddFiles(std::int32_t parent, const std::vector<std::pair<double, std::optional<double>>>& files,
                  const std::string& prefix = "f") {
        for (const auto& [size, date] : files) {
            ++next_file_;
            AddFile(next_file_, parent, prefix + std::to_string(next_file_), size, date);
        }
    }

    // Runs Name, Size, Modify Date (and any more fields) for a folder, sorted
    // by size, largest first.
    void Run(std::int32_t folder, std::vector<std::pair<const char*, const char*>> fields = {
                                      {"File", "Name"}, {"File", "Size"}, {"File", "Modify Date"}}) {
        LoadTree();
        for (const auto& [table, name] : fields)
            profile_.fields[FindQueryField(profile_, table, name)].in_query = true;
        profile_.sort_column = "Size";
        profile_.sort_direction = "DESC";
        CheckQueryShape(profile_);
        document_.data.current_folder_id = folder;
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
    struct Case {
        std::uint32_t span;
        long items;
        std::uint32_t width;
        std::string_view suffix;
        std::string_view format;
    };
    const Case cases[] = {
        {0, 25, 1, " per Second", "%X"},
        {5 * 25, 25, 10, " per 10 Seconds", "%X"},
        {1'800 * 25, 25, 3'600, " per Hour", "%c"},
        {2'592'000, 25, 604'800, " per Week", "%b %d %Y"},  // ideal 103,680
        {86'399 * 25, 25, 86'400, " per 24 Hours", "%c"},
        {86'400 * 25, 25, 604'800, " per Week", "%b %d %Y"},
        {2'678'400, 1, 7'776'000, " per Quarter", "%b %d %Y"},
        {315'359'999, 1, 315'360'000, " per Decade", "%b %d %Y"},
        {400'000'000, 1, 400'000'000, "", "%b %d %Y"},
        {86'400 * 25, 0, 604'800, " per Week", "%b %d %Y"},   // GraphItems 0 counts as 25
        {86'400 * 25, -3, 604'800, " per Week", "%b %d %Y"},  // and so does a negative one
    };
    for (const Case& c : cases) {
        const TimeBucket bucket = ChooseBucket(c.span, c.items);
        EXPECT_EQ(bucket.width, c.width) << c.span << " / " << c.items;
        EXPECT_EQ(bucket.suffix, c.suffix) << c.span;
        EXPECT_STREQ(bucket.label_format, c.format.data()) << c.span;
    }
}

TEST(GraphText, TitlesLegendsAndAxisFormats) {
    EXPECT_EQ(GraphTitle("untitled", "Name by Size"), "Name by Size");
    EXPECT_EQ(GraphTitle("UNTITLED", "Name by Size"), "Name by Size");
    EXPECT_EQ(GraphTitle("", "Name by Size"), "Name by Size");
    EXPECT_EQ(GraphTitle("Untitled 2", "Name by Size"), "Untitled 2");

    EXPECT_EQ(LegendText("quarterly-report-of-the-northern-region.xlsx"), "quarterly-report-of-the-northern");
    EXPECT_EQ(LegendText("short.txt"), "short.txt");
    // 31 ASCII characters and a two-byte one: the 32nd character is kept whole.
    const std::string accented = std::string(31, 'a') + "\xc3\xa9" + "tail";
    EXPECT_EQ(LegendText(accented), std::string(31, 'a') + "\xc3\xa9");

    const std::pair<std::uint64_t, const char*> formats[] = {
        {0, "###0,\\K\\B"},
        {9'999'999, "###0,\\K\\B"},
        {10'000'000, "###0,,\\M\\B"},
        {9'999'999'999, "###0,,\\M\\B"},
        {10'000'000'000, "###0,,,\\G\\B"},
        {10'000'000'000'000, "###0,,,,\\T\\B"},
    };
    for (const auto& [total, format] : formats)
        EXPECT_EQ(AxisNumberFormat(total), format) << total;
    EXPECT_EQ(FormatAxisNumber("###0,,\\M\\B", 2'500'000), "3MB");
    EXPECT_EQ(FormatAxisNumber("###0,\\K\\B", 0), "0KB");
    EXPECT_EQ(FormatAxisNumber("###0,,,,\\T\\B", 12e12), "12TB");
}

TEST(ForecastText, NoGrowthAndFarDatesSayWhatTheyMean) {
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

TEST_F(GraphSeriesTest, PieOfThreeRowsLabelsEachSliceWithItsOwnSize) {
    AddFiles(3, {{600, std::nullopt}, {300, std::nullopt}, {100, std::nullopt}});
    Run(3);
    ASSERT_EQ(document_.data.total_size, 1000u);
    const GraphSeries pie = Build(kDisplayPie);
    ASSERT_TRUE(built_);
    EXPECT_EQ(pie.graph_type, kGraphTypePie);
    EXPECT_EQ(pie.points, 3);
    EXPECT_TRUE(pie.hot);
    EXPECT_EQ(pie.values, (std::vector<double>{600, 300, 100}));
    EXPECT_EQ(pie.point_labels, (std::vector<std::string>{"600 bytes", "300 bytes", "100 bytes"}));
    EXPECT_EQ(pie.legend_texts, (std::vector<std::string>{"f1", "f2", "f3"}));
    EXPECT_EQ(document_.computed_title, "Name by Size");
}

TEST_F(GraphSeriesTest, PieOfTwentyEqualRowsLabelsPairsOnTheirSecondSlice) {
    AddFiles(3, std::vector<std::pair<double, std::optional<double>>>(20, {10, std::nullopt}));
    Run(3);
    const GraphSeries pie = Build(kDisplayPie);
    ASSERT_TRUE(built_);
    ASSERT_EQ(pie.points, 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(pie.point_labels[i], i % 2 == 1 ? "2 (20 bytes)" : " ") << i;
}

TEST_F(GraphSeriesTest, PieBelowTenBytesIsNotBuiltAndGroupsStayWithinTen) {
    AddFiles(3, {{6, std::nullopt}, {5, std::nullopt}});
    Run(3);
    document_.data.total_size = 9;
    Build(kDisplayPie);
    EXPECT_FALSE(built_);
    EXPECT_TRUE(ui_.messages.empty());

    // A running total past the result's total (folder rows counted in the
    // values, left out of the total) stays in the last of the ten groups.
    document_.data.total_size = 10;
    const GraphSeries pie = Build(kDisplayPie);
    ASSERT_TRUE(built_);
    EXPECT_EQ(pie.point_labels, (std::vector<std::string>{"6 bytes", "5 bytes"}));
}

TEST_F(GraphSeriesTest, BarLabelsSizesAndCutsLongNames) {
    AddFile(1, 3, "quarterly-report-of-the-northern-region.xlsx", 1536, std::nullopt);
    AddFile(2, 3, "small.txt", 2, std::nullopt);
    Run(3);
    const GraphSeries bar = Build(kDisplayBar);
    ASSERT_TRUE(built_);
    EXPECT_EQ(bar.graph_type, kGraphTypeBar);
    EXPECT_EQ(bar.values, (std::vector<double>{1536, 2}));
    EXPECT_EQ(bar.point_labels, (std::vector<std::string>{"1.5 KB", "2 bytes"}));
    EXPECT_EQ(bar.legend_texts, (std::vector<std::string>{"quarterly-report-of-the-northern", "small.txt"}));
}

TEST_F(GraphSeriesTest, TooManyRowsForAPieFallBackToTheReportButNotForALine) {
    std::vector<std::pair<double, std::optional<double>>> files;
    for (int i = 0; i < 26; ++i)
        files.push_back({100.0 + i, Day(2026, 3, 1 + i)});
    AddFiles(3, files);
    Run(3);
    document_.display_mode = kDisplayPie;
    EXPECT_EQ(PlanGraph(document_, 25, ui_), GraphPlan::Report);
    EXPECT_EQ(document_.display_mode, kDisplayReport);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kTooManyItemsMessage);
    EXPECT_EQ(ui_.messages[0].icon, MessageIcon::Exclamation);

    document_.display_mode = kDisplayLine;
    EXPECT_EQ(PlanGraph(document_, 25, ui_), GraphPlan::TimeLine);
    EXPECT_EQ(ui_.messages.size(), 1u);
    const GraphSeries line = Build(kDisplayLine);
    ASSERT_TRUE(built_);
    // 25 days over 25 items: ideal 86,400, so weekly points.
    EXPECT_EQ(line.computed_title, "Bytes Changed per Week");
    EXPECT_EQ(line.points, 5);
    EXPECT_EQ(line.point_labels[0], "Mar 01 2026");
    EXPECT_EQ(line.point_labels[1], "Mar 08 2026");
}

TEST_F(GraphSeriesTest, EqualDatesGiveOneSecondPoints) {
    const double when = Day(2026, 5, 4, 13, 14, 15);
    AddFiles(3, {{100, when}, {50, when}});
    Run(3);
    const GraphSeries line = Build(kDisplayLine);
    ASSERT_TRUE(built_);
    EXPECT_EQ(line.graph_type, kGraphTypeLine);
    EXPECT_EQ(line.computed_title, "Bytes Changed per Second");
    EXPECT_EQ(line.points, 2);
    EXPECT_EQ(line.values, (std::vector<double>{150, 0}));
    EXPECT_EQ(line.counts, (std::vector<std::int32_t>{2, 0}));
    EXPECT_EQ(line.point_labels[0], FormatLocaleTime("%X", UnixFromDayNumber(when)));
    EXPECT_EQ(line.point_labels[1], FormatLocaleTime("%X", UnixFromDayNumber(when) + 1));

    // One point holding rows: no trend, and the forecast says so.
    const GraphSeries forecast = Build(kDisplayForecast);
    ASSERT_TRUE(built_);
    EXPECT_EQ(forecast.computed_title, "Cumulative Bytes Changed per Second");
    EXPECT_EQ(forecast.trend, (std::vector<double>{0, 0}));
    EXPECT_EQ(document_.forecast_text, "At 0 bytes per day, drive is not filling");
}

TEST_F(GraphSeriesTest, ThirtyDaysGiveSixWeeklyPoints) {
    AddFiles(3, {{100, Day(2026, 1, 1)}, {200, Day(2026, 1, 31)}, {300, std::nullopt}});
    Run(3);
    const GraphSeries line = Build(kDisplayLine);
    ASSERT_TRUE(built_);
    EXPECT_EQ(line.points, 6);
    EXPECT_EQ(line.values, (std::vector<double>{100, 0, 0, 0, 200, 0}));  // the null date is skipped
    EXPECT_EQ(line.point_labels[5], "Feb 05 2026");
}

TEST_F(GraphSeriesTest, WeeklyForecastOfAGrowingVolume) {
    AddFiles(
        3,
        {{1e6, Day(2026, 2, 2)}, {1e6, Day(2026, 2, 9)}, {1e6, Day(2026, 2, 16)}, {1e6, Day(2026, 2, 23)}});
    Run(3);
    document_.data.free_space = 1'000'000'000;
    // 21 days over 4 items: ideal 453,600, so weekly points.
    const GraphSeries forecast = Build(kDisplayForecast, 4);
    ASSERT_TRUE(built_);
    EXPECT_EQ(forecast.graph_type, kGraphTypeForecast);
    EXPECT_EQ(forecast.computed_title, "Cumulative Bytes Changed per Week");
    EXPECT_EQ(forecast.sets, 1);
    EXPECT_EQ(forecast.values, (std::vector<double>{1e6, 2e6, 3e6, 4e6, 4e6}));
    EXPECT_DOUBLE_EQ(forecast.trend_slope, 1e6);
    EXPECT_EQ(forecast.trend, (std::vector<double>{1e6, 2e6, 3e6, 4e6, 5e6}));
    EXPECT_EQ(forecast.axis_labels,
              (std::array<std::string, 5>{"0 bytes", "1.0 MB", "2.0 MB", "3.0 MB", "4.0 MB"}));
    std::tm full{};
    localtime_r(&now_, &full);
    full.tm_mday += 7000;
    full.tm_isdst = -1;
    EXPECT_EQ(document_.forecast_text, "At 142.9 KB per day, drive could be full on " +
                                           FormatLocalTime(kForecastDateFormat, std::mktime(&full)));

    // The same rows per bucket, not summed up: no growth.
    const GraphSeries line = Build(kDisplayLine, 4);
    ASSERT_TRUE(built_);
    EXPECT_EQ(line.values, (std::vector<double>{1e6, 1e6, 1e6, 1e6, 0}));
    EXPECT_EQ(line.trend_slope, 0.0);
    EXPECT_EQ(document_.forecast_text, "0 bytes per day");
}

TEST_F(GraphSeriesTest, TimeLineWithoutDateColumnShowsTheMessage) {
    AddFiles(3, {{100, Day(2026, 1, 1)}});
    Run(3, {{"File", "Name"}, {"File", "Size"}});
    Build(kDisplayForecast);
    EXPECT_FALSE(built_);
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].text, kNoDateFieldMessage);
}

TEST_F(GraphSeriesTest, AClickOnAFolderRowGivesItsFolderAndOnAFileRowNothing) {
    AddFiles(2, {{20, std::nullopt}});
    Run(1, {{"Folder", "Name"}, {"Folder", "Size"}, {"File", "Name"}, {"File", "Size"}});
    // C: holds Data (300) and Other (50) and no file of its own; Data's own
    // file is not in C:'s answer.
    ASSERT_EQ(document_.data.row_count, 2);
    document_.display_mode = kDisplayBar;
    std::int32_t folder = -1;
    EXPECT_TRUE(FolderIdOfPoint(document_, catalogue_, 0, folder));
    EXPECT_EQ(folder, 2);
    EXPECT_TRUE(FolderIdOfPoint(document_, catalogue_, 1, folder));
    EXPECT_EQ(folder, 4);
    EXPECT_FALSE(FolderIdOfPoint(document_, catalogue_, 2, folder));
    document_.display_mode = kDisplayLine;
    EXPECT_FALSE(FolderIdOfPoint(document_, catalogue_, 0, folder));

    document_.data.current_folder_id = 2;
    ASSERT_TRUE(RunQuery(&profile_, document_.data, catalogue_, tree_, nullptr));
    document_.display_mode = kDisplayPie;
    // Data: the folder Old, then its own file f1 (Folder ID 0).
    ASSERT_EQ(document_.data.row_count, 2);
    EXPECT_TRUE(FolderIdOfPoint(document_, catalogue_, 0, folder));
    EXPECT_EQ(folder, 3);
    EXPECT_FALSE(FolderIdOfPoint(document_, catalogue_, 1, folder));
}

class RecordingHost : public ResultDocumentHost {
  public:
    void MarkModified() override { calls.push_back("modified"); }
    void RefreshAllViews() override { calls.push_back("refresh"); }
    std::vector<std::string> calls;
};

TEST(DisplayModeCommands, OnlyAChangeMarksModifiedAndRefreshes) {
    ASSERT_EQ(kDisplayModeCommands.size(), 5u);
    EXPECT_STREQ(kDisplayModeCommands[4].menu_text, "&Forecast Graph");
    EXPECT_STREQ(kDisplayModeCommands[4].prompt, "Display results in cumulative line graph form.");
    ResultDocument document;
    RecordingHost host;
    EXPECT_FALSE(SelectDisplayMode(document, kDisplayReport, host));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_FALSE(SelectDisplayMode(document, 17, host));
    EXPECT_TRUE(SelectDisplayMode(document, kDisplayBar, host));
    EXPECT_EQ(document.display_mode, kDisplayBar);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"modified", "refresh"}));

    host.calls.clear();
    GraphSettings settings{std::string(300, 'x'), "Month", std::string(254, 'y') + "\xc3\xa9", false};
    ApplyGraphSettings(document, settings, host);
    EXPECT_EQ(document.title, std::string(255, 'x'));
    EXPECT_EQ(document.x_title, "Month");
    EXPECT_EQ(document.y_title, std::string(254, 'y'));  // never half a character
    EXPECT_FALSE(document.three_d);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"modified"}));
}

}  // namespace
}  // namespace korvane
