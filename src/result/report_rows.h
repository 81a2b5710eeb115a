// The rows a result's report shows, copied once per refresh into compact
// column arrays: the catalogue has one stored query, which export, printing
// and the file actions need while the report stays on the screen, so the
// report cannot keep a snapshot open. A row costs its shown values (8 bytes
// a number, 4 bytes and its characters a text, 4 bytes a whole number), its
// row number, its folder identifier and its attributes; the cell texts are
// made only for the rows painted.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/field_value.h"
#include "catalogue/folder_tree.h"
#include "result/result_data.h"

namespace korvane {

class ReportRows {
  public:
    struct Column {
        int source = 0;  // position among the result's columns
        ColumnType type = ColumnType::None;
        bool parent_id = false;  // shown as the parent folder's path
        std::string name;
        std::string title;       // "Path" for Parent ID
        std::int32_t width = 0;  // characters
    };

    // Called every 64 rows with the rows read so far; false stops the fill
    // (the rows read stay).
    using Progress = std::function<bool(int rows_read)>;

    // Reads the rows of the result's stored query: one item per row whose
    // label value (the first present of Name, Owner, Type) is not null; a
    // row that cannot be read ends the fill. False when the stored query
    // cannot be opened or has no rows; the report is then empty.
    bool Load(const ResultData& result, Catalogue& catalogue, const Progress& progress = {});
    void Clear();

    // The shown columns in field order; they stay known after Clear until
    // the next Load.
    const std::vector<Column>& columns() const { return columns_; }
    int ItemCount() const { return static_cast<int>(row_of_item_.size()); }

    // By display position (after any sort).
    FieldValue Value(int position, int column) const;
    // The row's position in the result's answer.
    std::int32_t ResultRow(int position) const { return row_of_item_[ItemAt(position)]; }
    // Non-zero for a folder row: the folder's identifier.
    std::int32_t FolderId(int position) const;
    // The file carries the compressed attribute (0x800).
    bool Compressed(int position) const;
    // The cell's text as the report shows it.
    std::string CellText(int position, int column, FolderTree& folders) const;

    // Sorts the items in place by the column's texts without regard to
    // case, stable, reversed for descending. Parent ID ranks each folder's
    // path once, so a million rows sort by path in well under a second.
    void SortByText(int column, bool descending, FolderTree& folders);

    // Bytes held for the rows (the arrays' capacity and the text pools).
    std::size_t MemoryBytes() const;

  private:
    struct Store {
        std::vector<double> numbers;             // Double and Date
        std::vector<std::int32_t> integers;      // Integer
        std::vector<std::uint32_t> text_starts;  // Text: start in text, one more at the end
        std::string text;
        std::vector<bool> nulls;
    };

    int ItemAt(int position) const { return order_.empty() ? position : order_[position]; }
    void Append(Store& store, ColumnType type, const FieldValue& value);
    FieldValue ItemValue(int item, int column) const;

    std::vector<Column> columns_;
    std::vector<Store> stores_;
    std::vector<std::int32_t> row_of_item_;
    std::vector<std::int32_t> folder_ids_;  // empty without a Folder ID column
    std::vector<std::int32_t> attributes_;  // empty without an Attributes column
    std::vector<std::int32_t> order_;       // empty: items in answer order
};

// The column that labels a row: the first present of "Name", "Owner",
// "Type"; -1 when none is there.
int ReportLabelColumn(const ResultData& result);

// The result frame's status texts: "%s (%s free)  On: %s" with the total
// size, the free space and the path; and "No results matching criteria.",
// "1 object." or "%d objects (%d days)." with the whole days between the
// earliest and the latest date.
std::string ResultTotalsText(const ResultData& result);
std::string ResultCountText(const ResultData& result);

// What a double click on a file row opens: the folder (the row's Path, or
// the result's path without a Parent ID column) with a trailing separator,
// and the file's full path. ftp is set for a folder on an FTP site, which
// cannot be opened from here.
struct FileToOpen {
    std::string folder;
    std::string path;
    bool ftp = false;
};
FileToOpen FileToOpenOf(std::string_view folder_path, std::string_view name);

}  // namespace korvane
