#include "result/print_layout.h"

#include <algorithm>
#include <cstdio>

#include "app/formatting.h"
#include "app/text_helpers.h"
#include "result/result_file.h"
#include "result/result_rows.h"

namespace korvane {
namespace {

constexpr std::int32_t kCompressedAttribute = 0x800;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length in bytes of the UTF-8 sequence that starts with this byte; the text
// has been through DisplayText, so every sequence is whole.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    return 2;
}

// Byte offsets where characters begin, with the text's end last.
std::vector<std::size_t> CharacterStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        starts.push_back(i);
        i += SequenceLength(static_cast<unsigned char>(text[i]));
    }
    starts.push_back(text.size());
    return starts;
}

std::size_t CountCharacters(std::string_view text) {
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count;
}

// Printable text: invalid bytes and control characters (a line break in a
// file name would break the printed line) become U+FFFD.
std::string Printable(std::string_view bytes) {
    const std::string valid = DisplayText(bytes);
    std::string out;
    out.reserve(valid.size());
    for (char c : valid) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            out += kReplacement;
        } else {
            out += c;
        }
    }
    return out;
}

std::string FirstCharacters(std::string_view text, std::size_t count) {
    const std::vector<std::size_t> starts = CharacterStarts(text);
    if (count + 1 >= starts.size())
        return std::string(text);
    return std::string(text.substr(0, starts[count]));
}

std::string PageHeaderText(std::time_t now, int page_number) {
    char number[32];
    std::snprintf(number, sizeof number, "%2d", page_number);
    return FormatLocaleTime("%c", now) + " - Page " + number;
}

}  // namespace

int ReportRowsPerPage(int text_height, int printable_height) {
    const int h = text_height;
    if (h <= 0)
        return 1;
    const int rows = (printable_height - 3 * h - 2 * (h / 8) - 3 * (h / 4)) / h;
    return std::max(1, rows);
}

int CountPrintPages(const ResultData& data, int display_mode, const PrintMeasure& measure,
                    const PrintRect& page) {
    if (display_mode != kDisplayReport)
        return 1;
    const int rows = std::max(0, data.row_count);
    const int per_page = ReportRowsPerPage(measure.Metrics(PrintFont::Plain).height, page.bottom - page.top);
    return rows / per_page + (rows % per_page != 0 ? 1 : 0);
}

std::string PrintValueText(const FieldValue& value, bool parent_id, FolderTree& folders) {
    switch (value.kind) {
        case FieldKind::Integer: {
            std::int32_t number = 0;
            value.AsInt32(number);
            if (!parent_id)
                return std::to_string(number);
            std::string path;
            folders.FolderPathOfId(number, path);
            return Printable(path);
        }
        case FieldKind::Double:
            return FormatSizeApprox(value.number);
        case FieldKind::Date:
            return ResultDateText(value.number);
        case FieldKind::Text:
            return Printable(value.text);
        case FieldKind::Null:
            break;
    }
    return {};
}

std::string CutToColumn(std::string_view text, int characters) {
    if (CountCharacters(text) <= static_cast<std::size_t>(std::max(0, characters)))
        return std::string(text);
    const std::size_t kept = static_cast<std::size_t>(std::max(0, characters - 2));
    return FirstCharacters(text, kept) + "*";
}

PrintLayout::PrintLayout(const ResultData& data, int display_mode, PrintMeasure& measure,
                         const PrintRect& page)
    : data_(data), display_mode_(display_mode), measure_(measure), page_(page) {
    PrintTextMetrics metrics = measure_.Metrics(PrintFont::Plain);
    if (measure_.ColourCount() < 9 && measure_.CanStyleText()) {
        // Narrow fonts, as a monochrome printer's type is wide for its colour-less highlight.
        const int width = ((metrics.average_width + metrics.maximum_width) / 2 * 2) / 3;
        measure_.MakeFonts(metrics.height, std::max(1, width));
        fonts_made_ = true;
        highlight_ = HighlightStyle::Font;
        metrics = measure_.Metrics(PrintFont::Plain);
    }
    line_height_ = std::max(1, metrics.height);
    column_unit_ = std::max(1, (metrics.average_width + metrics.maximum_width) / 2);
    rows_per_page_ = ReportRowsPerPage(line_height_, page_.bottom - page_.top);

    const int parent_id = data_.ColumnIndex("Parent ID");
    int x = page_.left;
    for (std::size_t i = 0; i < data_.columns.size(); ++i) {
        const ColumnDescriptor& descriptor = data_.columns[i];
        if (!descriptor.shown)
            continue;
        Column column;
        column.index = static_cast<int>(i);
        column.x = x;
        column.characters = std::max(0, descriptor.width);
        const long long span = static_cast<long long>(column.characters) * column_unit_;
        column.width = x < page_.right ? static_cast<int>(std::min<long long>(span, page_.right - x)) : 0;
        const std::string name = static_cast<int>(i) == parent_id ? "Path" : Printable(descriptor.name);
        column.title = FitText(FirstCharacters(name, static_cast<std::size_t>(column.characters)),
                               column.width, PrintFont::Plain, "");
        columns_.push_back(std::move(column));
        x = static_cast<int>(std::min<long long>(x + span, page_.right));
    }
}

int PrintLayout::PageCount() const {
    if (display_mode_ != kDisplayReport)
        return 1;
    const int rows = std::max(0, data_.row_count);
    return rows / rows_per_page_ + (rows % rows_per_page_ != 0 ? 1 : 0);
}

std::string PrintLayout::FitText(std::string text, int width, PrintFont font, std::string_view mark) const {
    if (text.empty() || measure_.TextWidth(font, text) <= width)
        return text;
    const std::vector<std::size_t> starts = CharacterStarts(text);
    for (std::size_t kept = starts.size() - 1; kept-- > 0;) {
        std::string shorter = text.substr(0, starts[kept]);
        shorter += mark;
        if (measure_.TextWidth(font, shorter) <= width)
            return shorter;
    }
    return {};
}

void PrintLayout::AddText(PrintPage& page, int x, int y, std::string text, PrintFont font,
                          PrintColour colour) const {
    if (text.empty())
        return;
    page.texts.push_back(PrintText{x, y, std::move(text), font, colour});
}

bool PrintLayout::LayOutPage(int page_number, std::time_t now, Catalogue& catalogue, FolderTree& folders,
                             PrintPage& page) const {
    page = PrintPage{};
    if (data_.row_count <= 0 || page_number < 1)
        return false;
    ResultRows rows(catalogue);
    if (!rows.Open(data_.result_name))
        return false;
    return LayOutPage(page_number, now, rows, catalogue, folders, page);
}

bool PrintLayout::LayOutPage(int page_number, std::time_t now, ResultRows& rows, Catalogue& catalogue,
                             FolderTree& folders, PrintPage& page) const {
    page = PrintPage{};
    const ResultData& data = data_;
    if (data.row_count <= 0 || page_number < 1)
        return false;
    const int parent_id = data.ColumnIndex("Parent ID");
    const int attributes = data.ColumnIndex("Attributes");

    const int h = line_height_;
    const int left = page_.left;
    const int right = page_.right;
    int y = page_.top;

    AddText(page, left, y, "Korvane IV", PrintFont::Plain, PrintColour::Black);
    const std::string dated = PageHeaderText(now, page_number);
    AddText(page, right - measure_.TextWidth(PrintFont::Plain, dated), y, dated, PrintFont::Plain,
            PrintColour::Black);
    y += h + h / 4;
    page.rules.push_back(PrintRule{left, right, y});
    const int bottom_limit = page_.bottom - (h / 4 + h);

    const bool report = display_mode_ == kDisplayReport;
    if (report) {
        for (const Column& column : columns_) {
            if (column.width > 0)
                AddText(page, column.x, y + h / 8, column.title, PrintFont::Plain, PrintColour::Black);
        }
        y += h + 2 * (h / 8);
        page.rules.push_back(PrintRule{left, right, y});
        y += h / 4;

        const long long first = static_cast<long long>(page_number - 1) * rows_per_page_;
        page.first_row = static_cast<int>(std::min<long long>(first, data.row_count));
        StoredQuery& query = catalogue.stored_query();
        bool more = first < data.row_count && query.MoveQueryRow(first);
        FieldValue value;
        while (more && page.rows < rows_per_page_) {
            bool compressed = false;
            std::int32_t bits = 0;
            if (attributes >= 0 && rows.Value(attributes, value) && value.AsInt32(bits))
                compressed = (bits & kCompressedAttribute) != 0;
            PrintFont font = PrintFont::Plain;
            PrintColour colour = PrintColour::Black;
            if (highlight_ == HighlightStyle::Font) {
                font = compressed ? PrintFont::Highlight : PrintFont::Plain;
            } else {
                colour = compressed ? PrintColour::CompressedText : PrintColour::RowText;
            }
            for (const Column& column : columns_) {
                if (!rows.Value(column.index, value))
                    break;
                if (column.width <= 0)
                    continue;
                std::string text =
                    CutToColumn(PrintValueText(value, column.index == parent_id, folders), column.characters);
                AddText(page, column.x, y, FitText(std::move(text), column.width, font, "*"), font, colour);
            }
            y += h;
            ++page.rows;
            more = rows.Next();
        }
    } else {
        page.chart = PrintRect{left, y, right, bottom_limit};
    }

    page.rules.push_back(PrintRule{left, right, bottom_limit});
    const int footer_y = bottom_limit + h / 4;
    int footer_right = right;
    if (report) {
        const PrintFont legend_font = fonts_made_ ? PrintFont::Highlight : PrintFont::Plain;
        const std::string legend = "(Highlighted files are compressed)";
        footer_right = right - measure_.TextWidth(legend_font, legend);
        AddText(page, footer_right, footer_y, legend, legend_font, PrintColour::Black);
    }
    const int first_number = report ? page.first_row + 1 : 1;
    const std::string objects =
        std::to_string(first_number) + "/" + std::to_string(data.row_count) + " objects.";
    std::string footer = objects + "     " + FormatSize(data.total_size) + "   On: " + Printable(data.path);
    // A long path stops short of the legend instead of running into it.
    const int room = footer_right - left - (report ? column_unit_ : 0);
    AddText(page, left, footer_y, FitText(std::move(footer), room, PrintFont::Plain, "*"), PrintFont::Plain,
            PrintColour::Black);
    return true;
}

}  // namespace korvane
