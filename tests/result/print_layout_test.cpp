#include "result/print_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "app/formatting.h"
#include "query/query_catalogue.h"
#include "result/run_query.h"

namespace korvane {
namespace {

const CivilTime kRunTime{1999, 3, 15, 14, 5, 9};

// A printer whose every character is the same width, so positions and cuts
// can be worked out by hand. The two made fonts take the character width
// they are asked for.
class FixedMeasure : public PrintMeasure {
  public:
    int colours = 1 << 24;
    bool styles = true;
    PrintTextMetrics current{40, 10, 14};
    PrintTextMetrics made{};
    int make_calls = 0;
    int made_height = 0;
    int made_width = 0;

    int ColourCount() const override { return colours; }
    bool CanStyleText() const override { return styles; }
    PrintTextMetrics Metrics(PrintFont) const override { return make_calls > 0 ? made : current; }
    int TextWidth(PrintFont font, std::string_view text) const override {
        int characters = 0;
        for (unsigned char c : text)
            characters += (c & 0xC0) != 0x80 ? 1 : 0;
        return characters * Metrics(font).average_width;
    }
    void MakeFonts(int height, int character_width) override {
        ++make_calls;
        made_height = height;
        made_width = character_width;
        made = PrintTextMetrics{height, character_width, character_width + 4};
    }
};

// 50 rows per page with h = 40: (2160 - 120 - 10 - 30) / 40.
const PrintRect kPage{100, 50, 2100, 2210};

class PrintLayoutTest : public testing::QueryCatalogueTest {
  protected:
    // Files in C:\Data named f001.txt ... in order; every seventh compressed.
    void AddFiles(int count) {
        for (int i = 1; i <= count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%03d.txt", i);
            AddFile(100 + i, 2, name, 1000.0 * i, Day(1999, 3, 1, 10, 0, i % 60), "ann",
                    i % 7 == 0 ? 0x820 : 0x20);
        }
    }

    void Run() {
        LoadTree();
        profile_.query_name = "Listing";
        document_.data.result_name = "Listing";
        for (const char* name : {"Name", "Size", "Parent ID", "Modify Date", "Attributes"}) {
            const int index = FindQueryField(profile_, "File", name);
            ASSERT_GE(index, 0) << name;
            profile_.fields[index].in_query = true;
        }
        profile_.sort_column = "Name";
        profile_.sort_direction = "";
        profile_.include_subfolders = true;  // the answer then names each row's folder
        CheckQueryShape(profile_);
        document_.data.current_folder_id = 2;
        QueryBuildOptions options;
        options.run_time = kRunTime;
        ASSERT_TRUE(RunQuery(&profile_, document_.data, catalogue_, tree_, nullptr, options));
    }

    PrintPage Page(int number, const PrintRect& rect = kPage) {
        PrintLayout layout(document_.data, document_.display_mode, measure_, rect);
        PrintPage page;
        EXPECT_TRUE(layout.LayOutPage(number, 0, catalogue_, tree_, page));
        return page;
    }

    // Texts on the line whose top is y, left to right.
    static std::vector<PrintText> Line(const PrintPage& page, int y) {
        std::vector<PrintText> line;
        for (const PrintText& text : page.texts) {
            if (text.y == y)
                line.push_back(text);
        }
        std::sort(line.begin(), line.end(), [](const PrintText& a, const PrintText& b) { return a.x < b.x; });
        return line;
    }

    static const PrintText* Find(const PrintPage& page, std::string_view prefix) {
        for (const PrintText& text : page.texts) {
            if (text.text.starts_with(prefix))
                return &text;
        }
        return nullptr;
    }

    int ColumnOf(std::string_view name) const {
        for (std::size_t i = 0; i < document_.data.columns.size(); ++i) {
            if (document_.data.columns[i].name == name)
                return static_cast<int>(i);
        }
        return -1;
    }

    QueryProfile profile_;
    ResultDocument document_;
    FixedMeasure measure_;
};

TEST(PrintPageCount, FollowsTheRowsLeftBetweenHeaderAndFooter) {
    EXPECT_EQ(ReportRowsPerPage(40, 2160), 50);
    EXPECT_EQ(ReportRowsPerPage(40, 2199), 50);
    EXPECT_EQ(ReportRowsPerPage(40, 2200), 51);
    // h = 13: h div 8 = 1, h div 4 = 3, so 39 + 2 + 9 = 50 units are not rows.
    EXPECT_EQ(ReportRowsPerPage(13, 50 + 13 * 7), 7);
    EXPECT_EQ(ReportRowsPerPage(13, 50 + 13 * 7 - 1), 6);
    // A page too small for one row still takes one, never dividing by zero.
    EXPECT_EQ(ReportRowsPerPage(40, 100), 1);
    EXPECT_EQ(ReportRowsPerPage(0, 1000), 1);

    FixedMeasure measure;
    ResultData data;
    for (const auto& [rows, pages] : {std::pair{230, 5}, {250, 5}, {251, 6}, {1, 1}, {0, 0}}) {
        data.row_count = rows;
        EXPECT_EQ(CountPrintPages(data, kDisplayReport, measure, kPage), pages) << rows;
    }
    data.row_count = 230;
    for (int mode : {kDisplayPie, kDisplayBar, kDisplayLine, kDisplayForecast})
        EXPECT_EQ(CountPrintPages(data, mode, measure, kPage), 1) << mode;
}

TEST(PrintCuts, CountCharactersNotBytes) {
    EXPECT_EQ(CutToColumn("abcdefghijklmnopqrst", 14), "abcdefghijkl*");
    EXPECT_EQ(CutToColumn("abcdefghijklmn", 14), "abcdefghijklmn");
    EXPECT_EQ(CutToColumn("abcdefghijklmno", 14), "abcdefghijkl*");
    // Fourteen two-byte letters fit; fifteen are cut after twelve of them.
    const std::string accented = "\xC3\xA9";
    std::string fourteen, twelve;
    for (int i = 0; i < 14; ++i)
        fourteen += accented;
    for (int i = 0; i < 12; ++i)
        twelve += accented;
    EXPECT_EQ(CutToColumn(fourteen, 14), fourteen);
    EXPECT_EQ(CutToColumn(fourteen + accented, 14), twelve + "*");
    EXPECT_EQ(CutToColumn("1234", 3), "1*");
    EXPECT_EQ(CutToColumn("12", 1), "*");
    EXPECT_EQ(CutToColumn("", 0), "");
}

TEST(PrintValues, TextOfEachKindOfValue) {
    FolderTree folders;
    EXPECT_EQ(PrintValueText(FieldValue::OfDouble(3e9), false, folders), "3.0 GB");
    EXPECT_EQ(PrintValueText(FieldValue::OfDouble(1536), false, folders), "1.5 KB");
    EXPECT_EQ(PrintValueText(FieldValue::OfInteger(-42), false, folders), "-42");
    EXPECT_EQ(PrintValueText(FieldValue::OfDate(1.0), false, folders), "");
    EXPECT_EQ(PrintValueText(FieldValue::OfDate(36160.5), false, folders), "12:00:00 12/31/1998");
    EXPECT_EQ(PrintValueText(FieldValue::Null(), false, folders), "");
    // A line break or a byte that is no UTF-8 must not break or garble the line.
    EXPECT_EQ(PrintValueText(FieldValue::OfText("a\nb\xFF"), false, folders),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
}

TEST_F(PrintLayoutTest, PagesSplitTheRowsAndTheFooterCountsFromThePagesFirstRow) {
    AddFiles(230);
    Run();
    ASSERT_EQ(document_.data.row_count, 230);
    PrintLayout layout(document_.data, document_.display_mode, measure_, kPage);
    EXPECT_EQ(layout.RowsPerPage(), 50);
    EXPECT_EQ(layout.PageCount(), 5);

    const PrintPage second = Page(2);
    EXPECT_EQ(second.first_row, 50);
    EXPECT_EQ(second.rows, 50);
    // Header line: h + h div 4 below the top; titles h div 8 below it; rows
    // begin h + 2 (h div 8) + h div 4 further down.
    const int titles_y = 50 + 40 + 10 + 5;
    const int first_row_y = 50 + 40 + 10 + 40 + 10 + 10;
    ASSERT_EQ(second.rules.size(), 3u);
    EXPECT_EQ(second.rules[0].y, 100);
    EXPECT_EQ(second.rules[1].y, 150);
    EXPECT_EQ(second.rules[2].y, 2210 - 50);
    EXPECT_FALSE(Line(second, titles_y).empty());
    ASSERT_FALSE(Line(second, first_row_y).empty());
    EXPECT_EQ(Line(second, first_row_y)[0].text, "f051.txt");
    EXPECT_EQ(Line(second, first_row_y + 49 * 40)[0].text, "f100.txt");
    EXPECT_TRUE(Line(second, first_row_y + 50 * 40).empty());  // the footer rule's place

    const PrintText* footer = Find(second, "51/230 objects.");
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(footer->text,
              "51/230 objects.     " + FormatSize(document_.data.total_size) + "   On: C:\\Data");
    EXPECT_EQ(footer->x, 100);
    EXPECT_EQ(footer->y, 2160 + 10);

    const PrintPage last = Page(5);
    EXPECT_EQ(last.first_row, 200);
    EXPECT_EQ(last.rows, 30);
    EXPECT_NE(Find(last, "201/230 objects."), nullptr);
    EXPECT_EQ(Line(last, first_row_y + 29 * 40)[0].text, "f230.txt");

    // A page past the end prints header and footer but no rows.
    const PrintPage beyond = Page(6);
    EXPECT_EQ(beyond.rows, 0);
}

TEST_F(PrintLayoutTest, OneSnapshotForAWholeJobGivesThePagesThatFreshOnesGive) {
    AddFiles(230);
    Run();
    PrintLayout layout(document_.data, document_.display_mode, measure_, kPage);
    auto same = [](const PrintPage& a, const PrintPage& b) {
        if (a.texts.size() != b.texts.size() || a.first_row != b.first_row || a.rows != b.rows)
            return false;
        for (std::size_t i = 0; i < a.texts.size(); ++i) {
            if (a.texts[i].text != b.texts[i].text || a.texts[i].x != b.texts[i].x ||
                a.texts[i].y != b.texts[i].y)
                return false;
        }
        return true;
    };
    std::vector<PrintPage> fresh;
    for (int number = 1; number <= 5; ++number)
        fresh.push_back(Page(number));
    // The catalogue has one stored query: the fresh pages are done before
    // the job's snapshot opens.
    ResultRows rows(catalogue_);
    ASSERT_TRUE(rows.Open("Listing"));
    // In order, as a job prints them, then back to an earlier page, as a preview may.
    for (int number : {1, 2, 3, 4, 5, 2}) {
        PrintPage shared;
        ASSERT_TRUE(layout.LayOutPage(number, 0, rows, catalogue_, tree_, shared));
        EXPECT_TRUE(same(shared, fresh[number - 1])) << number;
    }
}

TEST_F(PrintLayoutTest, HeaderAndFooterTextsSitAtTheEdges) {
    AddFiles(3);
    Run();
    const PrintPage page = Page(7);
    const std::vector<PrintText> header = Line(page, 50);
    ASSERT_EQ(header.size(), 2u);
    EXPECT_EQ(header[0].text, "Korvane IV");
    EXPECT_EQ(header[0].x, 100);
    EXPECT_TRUE(header[1].text.ends_with(" - Page  7")) << header[1].text;
    EXPECT_EQ(header[1].x + measure_.TextWidth(PrintFont::Plain, header[1].text), 2100);

    const PrintText* legend = Find(page, "(Highlighted files are compressed)");
    ASSERT_NE(legend, nullptr);
    EXPECT_EQ(legend->x + measure_.TextWidth(legend->font, legend->text), 2100);
    EXPECT_EQ(legend->y, 2170);
    EXPECT_EQ(legend->font, PrintFont::Plain);  // colour printers highlight by colour

    const std::vector<PrintText> twelfth = Line(Page(12), 50);
    ASSERT_EQ(twelfth.size(), 2u);
    EXPECT_TRUE(twelfth[1].text.ends_with(" - Page 12")) << twelfth[1].text;
}

TEST_F(PrintLayoutTest, ColumnsAdvanceByTheirWidthAndLongValuesAreCutWithAStar) {
    AddFile(1, 2, "twenty-characters.xx", 3e9, Day(1999, 3, 2), "ann");
    AddFile(2, 2, "fourteen-chars", 5, std::nullopt, "ann");
    Run();
    const PrintPage page = Page(1);
    const int u = 12;  // (10 + 14) div 2
    // Titles in the answer's order: Name, Size, Modify Date, then Path (the
    // parent folder, titled as it is shown); Attributes is hidden.
    const std::vector<PrintText> titles = Line(page, 105);
    ASSERT_EQ(titles.size(), 4u);
    EXPECT_EQ(titles[0].text, "Name");
    EXPECT_EQ(titles[1].text, "Size");
    EXPECT_EQ(titles[2].text, "Modify Date");
    EXPECT_EQ(titles[3].text, "Path");
    EXPECT_EQ(titles[0].x, 100);
    EXPECT_EQ(titles[1].x, 100 + 14 * u);
    EXPECT_EQ(titles[2].x, 100 + 26 * u);
    EXPECT_EQ(titles[3].x, 100 + 46 * u);

    const std::vector<PrintText> fourteen = Line(page, 160);
    ASSERT_EQ(fourteen.size(), 3u);  // no date: nothing drawn, yet the x still advanced
    EXPECT_EQ(fourteen[0].text, "fourteen-chars");
    EXPECT_EQ(fourteen[1].text, "5 bytes");
    EXPECT_EQ(fourteen[2].text, "C:\\Data");
    EXPECT_EQ(fourteen[2].x, 100 + 46 * u);

    const std::vector<PrintText> twenty = Line(page, 200);
    ASSERT_EQ(twenty.size(), 4u);
    EXPECT_EQ(twenty[0].text, "twenty-chara*");
    EXPECT_EQ(twenty[1].text, "3.0 GB");
    EXPECT_EQ(twenty[2].text, "00:00:00 03/02/1999");
    EXPECT_EQ(twenty[3].text, "C:\\Data");
}

TEST_F(PrintLayoutTest, AColumnReachingPastThePageIsCutAtItsEdgeAndLaterOnesAreLeftOut) {
    AddFile(1, 2, "a-rather-long", 3e9, Day(1999, 3, 2), "ann");
    Run();
    // Name and Size fit (26 u = 312); Modify Date starts at 412 with 88 units
    // left, and Path, beyond the edge, is not printed at all.
    const PrintPage page = Page(1, PrintRect{100, 50, 500, 2210});
    const std::vector<PrintText> titles = Line(page, 105);
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[2].text, "Modify D");  // titles are cut without a star
    const std::vector<PrintText> row = Line(page, 160);
    ASSERT_EQ(row.size(), 3u);
    EXPECT_EQ(row[0].text, "a-rather-long");
    EXPECT_EQ(row[2].x, 412);
    EXPECT_EQ(row[2].text, "00:00:0*");
    const PrintPage narrower = Page(1, PrintRect{100, 50, 480, 2210});
    const std::vector<PrintText> cut = Line(narrower, 160);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(cut[2].text, "00:00*");
    for (const PrintText& text : narrower.texts)
        EXPECT_LE(text.x + measure_.TextWidth(text.font, text.text), 480) << text.text;
}

TEST_F(PrintLayoutTest, CompressedRowsAreBlueOnAColourPrinter) {
    AddFiles(8);
    Run();
    const PrintPage page = Page(1);
    EXPECT_EQ(measure_.make_calls, 0);
    for (int row = 0; row < 8; ++row) {
        const std::vector<PrintText> line = Line(page, 160 + row * 40);
        ASSERT_FALSE(line.empty());
        const bool compressed = (row + 1) % 7 == 0;
        for (const PrintText& text : line) {
            EXPECT_EQ(text.colour, compressed ? PrintColour::CompressedText : PrintColour::RowText)
                << text.text;
            EXPECT_EQ(text.font, PrintFont::Plain);
        }
    }
    EXPECT_EQ(Find(page, "Korvane IV")->colour, PrintColour::Black);
}

TEST_F(PrintLayoutTest, CompressedRowsAreItalicUnderlinedOnAMonochromePrinter) {
    AddFiles(8);
    Run();
    measure_.colours = 2;
    PrintLayout layout(document_.data, document_.display_mode, measure_, kPage);
    // Both fonts: the text height and ((10 + 14) div 2 * 2) div 3 wide.
    EXPECT_EQ(measure_.make_calls, 1);
    EXPECT_EQ(measure_.made_height, 40);
    EXPECT_EQ(measure_.made_width, 8);
    EXPECT_EQ(layout.highlight(), HighlightStyle::Font);
    // The column unit is measured again in the made font: (8 + 12) div 2.
    EXPECT_EQ(layout.column_unit(), 10);

    PrintPage page;
    ASSERT_TRUE(layout.LayOutPage(1, 0, catalogue_, tree_, page));
    const std::vector<PrintText> seventh = Line(page, 160 + 6 * 40);
    ASSERT_FALSE(seventh.empty());
    EXPECT_EQ(seventh[0].text, "f007.txt");
    for (const PrintText& text : seventh) {
        EXPECT_EQ(text.font, PrintFont::Highlight);
        EXPECT_EQ(text.colour, PrintColour::Black);
    }
    for (const PrintText& text : Line(page, 160))
        EXPECT_EQ(text.font, PrintFont::Plain);
    EXPECT_EQ(Line(page, 160)[1].x, 100 + 14 * 10);
    EXPECT_EQ(Find(page, "(Highlighted files are compressed)")->font, PrintFont::Highlight);

    // A monochrome device that cannot style its type falls back to colour.
    FixedMeasure plain;
    plain.colours = 2;
    plain.styles = false;
    PrintLayout by_colour(document_.data, document_.display_mode, plain, kPage);
    EXPECT_EQ(by_colour.highlight(), HighlightStyle::Colour);
    EXPECT_EQ(plain.make_calls, 0);
}

TEST_F(PrintLayoutTest, GraphModesPrintOnePageWithTheChartBetweenHeaderAndFooter) {
    AddFiles(120);
    Run();
    document_.display_mode = kDisplayPie;
    PrintLayout layout(document_.data, document_.display_mode, measure_, kPage);
    EXPECT_EQ(layout.PageCount(), 1);
    const PrintPage page = Page(1);
    ASSERT_TRUE(page.chart.has_value());
    EXPECT_EQ(page.chart->top, 100);
    EXPECT_EQ(page.chart->bottom, 2160);
    EXPECT_EQ(page.rows, 0);
    EXPECT_NE(Find(page, "1/120 objects."), nullptr);
    EXPECT_EQ(Find(page, "(Highlighted files are compressed)"), nullptr);
    EXPECT_EQ(Find(page, "Name"), nullptr);
}

TEST_F(PrintLayoutTest, NothingIsLaidOutWithoutRowsOrWithoutItsStoredQuery) {
    AddFiles(3);
    Run();
    PrintLayout layout(document_.data, document_.display_mode, measure_, kPage);
    PrintPage page;
    ResultData renamed = document_.data;
    renamed.result_name = "Nowhere";
    PrintLayout missing(renamed, kDisplayReport, measure_, kPage);
    EXPECT_FALSE(missing.LayOutPage(1, 0, catalogue_, tree_, page));
    EXPECT_TRUE(page.texts.empty());
    ResultData empty = document_.data;
    empty.row_count = 0;
    PrintLayout none(empty, kDisplayReport, measure_, kPage);
    EXPECT_EQ(none.PageCount(), 0);
    EXPECT_FALSE(none.LayOutPage(1, 0, catalogue_, tree_, page));
    EXPECT_TRUE(page.texts.empty() && page.rules.empty());
    EXPECT_TRUE(layout.LayOutPage(1, 0, catalogue_, tree_, page));
}

TEST_F(PrintLayoutTest, ALongPathInTheFooterStopsBeforeTheLegend) {
    AddFiles(2);
    Run();
    document_.data.path = "/" + std::string(300, 'p');
    const PrintPage page = Page(1);
    const PrintText* footer = Find(page, "1/2 objects.");
    const PrintText* legend = Find(page, "(Highlighted files are compressed)");
    ASSERT_NE(footer, nullptr);
    ASSERT_NE(legend, nullptr);
    EXPECT_TRUE(footer->text.ends_with("p*"));
    EXPECT_LT(footer->x + measure_.TextWidth(PrintFont::Plain, footer->text), legend->x);
}

}  // namespace
}  // namespace korvane
