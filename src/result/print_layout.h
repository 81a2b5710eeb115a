// The printed report of a result, laid out without a painter: page count,
// rows per page, where each column starts and where its text is cut with
// "*", the header and footer texts, and which rows are highlighted as
// compressed. The printer is seen only through PrintMeasure, so a page is a
// plain list of positioned texts and rules that any painter can draw.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/field_value.h"
#include "catalogue/folder_tree.h"
#include "result/result_data.h"
#include "result/result_rows.h"

namespace korvane {

// Plain is the printer's current font until PrintMeasure::MakeFonts makes
// the two narrow fonts; Highlight is then the italic, underlined one.
enum class PrintFont : std::uint8_t { Plain, Highlight };
// Black is the device's default text colour; rows drawn in colour use
// RowText, RGB(13, 0, 0), and CompressedText, RGB(0, 0, 208).
enum class PrintColour : std::uint8_t { Black, RowText, CompressedText };
enum class HighlightStyle : std::uint8_t { Colour, Font };

struct PrintTextMetrics {
    int height = 0;
    int average_width = 0;
    int maximum_width = 0;
};

// The printer as the layout sees it, in device units.
class PrintMeasure {
  public:
    virtual ~PrintMeasure() = default;
    virtual int ColourCount() const = 0;
    // The device can draw text in italic and underlined type.
    virtual bool CanStyleText() const = 0;
    virtual PrintTextMetrics Metrics(PrintFont font) const = 0;
    // Width of a UTF-8 text drawn in the font.
    virtual int TextWidth(PrintFont font, std::string_view text) const = 0;
    // Makes the plain and the highlight font from the current one, with
    // this text height and average character width.
    virtual void MakeFonts(int height, int character_width) = 0;
};

struct PrintRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// A text whose top-left corner is at (x, y).
struct PrintText {
    int x = 0;
    int y = 0;
    std::string text;
    PrintFont font = PrintFont::Plain;
    PrintColour colour = PrintColour::Black;
};

// A horizontal line across the page.
struct PrintRule {
    int left = 0;
    int right = 0;
    int y = 0;
};

struct PrintPage {
    std::vector<PrintText> texts;
    std::vector<PrintRule> rules;
    // Graph modes: where the chart goes, between the header and the footer.
    std::optional<PrintRect> chart;
    // Rows printed on the page, counted from 0 (report mode).
    int first_row = 0;
    int rows = 0;
};

// The fonts and figures of one printout, decided once from the printer:
// a device of fewer than 9 colours gets two narrower fonts and highlights
// by font when it can style text; every other device highlights by colour.
class PrintLayout {
  public:
    PrintLayout(const ResultData& data, int display_mode, PrintMeasure& measure, const PrintRect& page);

    HighlightStyle highlight() const { return highlight_; }
    int line_height() const { return line_height_; }
    int column_unit() const { return column_unit_; }
    // At least 1, so that a page too small for the report still prints it.
    int RowsPerPage() const { return rows_per_page_; }
    // 1 in graph modes; in report mode every row once, 0 without rows.
    int PageCount() const;

    // Lays out page page_number (from 1), reading its rows afresh from the
    // stored query named by the result name. False, with nothing laid out,
    // when the result has no rows or that query cannot be opened.
    bool LayOutPage(int page_number, std::time_t now, Catalogue& catalogue, FolderTree& folders,
                    PrintPage& page) const;
    // The same with rows already open on that stored query (ResultRows of
    // the same catalogue): a job printing its pages in order keeps one
    // snapshot, each page going on where the one before stopped, instead of
    // reading past every earlier page again.
    bool LayOutPage(int page_number, std::time_t now, ResultRows& rows, Catalogue& catalogue,
                    FolderTree& folders, PrintPage& page) const;

  private:
    struct Column {
        int index = 0;  // among all columns
        int x = 0;
        int width = 0;  // device units; 0 when the column starts past the right edge
        int characters = 0;
        std::string title;
    };

    void AddText(PrintPage& page, int x, int y, std::string text, PrintFont font, PrintColour colour) const;
    // The text cut to fit a width, ending with mark when cut; empty when
    // not even the mark fits.
    std::string FitText(std::string text, int width, PrintFont font, std::string_view mark) const;

    const ResultData& data_;
    int display_mode_;
    PrintMeasure& measure_;
    PrintRect page_;
    HighlightStyle highlight_ = HighlightStyle::Colour;
    bool fonts_made_ = false;
    int line_height_ = 0;
    int column_unit_ = 0;
    int rows_per_page_ = 1;
    std::vector<Column> columns_;
};

// Rows per page for a text height and printable height, as the page layout
// leaves room for header, titles and footer; at least 1.
int ReportRowsPerPage(int text_height, int printable_height);

// The page count of a result on a printer: one page in graph modes, in
// report mode the rows spread over pages of ReportRowsPerPage rows.
int CountPrintPages(const ResultData& data, int display_mode, const PrintMeasure& measure,
                    const PrintRect& page);

// The printed text of one value: Parent ID numbers as the folder's path,
// other whole numbers decimal, sizes approximate ("1.5 KB"), dates
// "%H:%M:%S %m/%d/%Y" (empty for the filler date), texts as they are, null
// empty. Bytes that are not UTF-8 and control characters show as U+FFFD.
std::string PrintValueText(const FieldValue& value, bool parent_id, FolderTree& folders);

// A value longer than a column of this many characters: its first
// characters - 2 characters followed by "*". Counted in characters, not bytes.
std::string CutToColumn(std::string_view text, int characters);

}  // namespace korvane
