#include "result/report_rows.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <unordered_map>

#include "app/formatting.h"
#include "app/text_helpers.h"
#include "result/print_layout.h"
#include "result/result_rows.h"

namespace korvane {
namespace {

constexpr std::int32_t kCompressedAttribute = 0x800;

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::int32_t IntegerOf(ResultRows& rows, int column) {
    FieldValue value;
    std::int32_t number = 0;
    if (column >= 0 && rows.Value(column, value))
        value.AsInt32(number);
    return number;
}

}  // namespace

int ReportLabelColumn(const ResultData& result) {
    for (const char* name : {"Name", "Owner", "Type"}) {
        const int index = result.ColumnIndex(name);
        if (index >= 0)
            return index;
    }
    return -1;
}

void ReportRows::Clear() {
    for (Store& store : stores_)
        store = Store{};
    row_of_item_ = {};
    folder_ids_ = {};
    attributes_ = {};
    order_ = {};
}

void ReportRows::Append(Store& store, ColumnType type, const FieldValue& value) {
    const bool null = value.IsNull();
    store.nulls.push_back(null);
    switch (type) {
        case ColumnType::Double:
        case ColumnType::Date: {
            double number = 0.0;
            value.AsDouble(number);
            store.numbers.push_back(number);
            break;
        }
        case ColumnType::Integer: {
            std::int32_t number = 0;
            value.AsInt32(number);
            store.integers.push_back(number);
            break;
        }
        default:
            if (value.kind == FieldKind::Text)
                store.text += value.text;
            store.text_starts.push_back(static_cast<std::uint32_t>(store.text.size()));
            break;
    }
}

bool ReportRows::Load(const ResultData& result, Catalogue& catalogue, const Progress& progress) {
    Clear();
    columns_.clear();
    const int parent_column = result.ColumnIndex("Parent ID");
    for (std::size_t i = 0; i < result.columns.size(); ++i) {
        const ColumnDescriptor& descriptor = result.columns[i];
        if (!descriptor.shown)
            continue;
        Column column;
        column.source = static_cast<int>(i);
        column.type = descriptor.type;
        column.parent_id = static_cast<int>(i) == parent_column;
        column.name = descriptor.name;
        column.title = column.parent_id ? "Path" : descriptor.name;
        column.width = descriptor.width;
        columns_.push_back(std::move(column));
    }
    stores_.assign(columns_.size(), Store{});
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        if (columns_[c].type != ColumnType::Double && columns_[c].type != ColumnType::Date &&
            columns_[c].type != ColumnType::Integer) {
            stores_[c].text_starts.push_back(0);
        }
    }
    if (result.row_count <= 0 || columns_.empty())
        return false;

    ResultRows rows(catalogue);
    if (!rows.Open(result.result_name))
        return false;
    const int label_column = ReportLabelColumn(result);
    const int folder_column = result.ColumnIndex("Folder ID");
    const int attribute_column = result.ColumnIndex("Attributes");
    // The row count is known in advance; a text column's characters are not.
    const auto expected = static_cast<std::size_t>(result.row_count);
    row_of_item_.reserve(expected);
    if (folder_column >= 0)
        folder_ids_.reserve(expected);
    if (attribute_column >= 0)
        attributes_.reserve(expected);
    for (std::size_t c = 0; c < columns_.size(); ++c) {
        Store& store = stores_[c];
        store.nulls.reserve(expected);
        if (columns_[c].type == ColumnType::Double || columns_[c].type == ColumnType::Date) {
            store.numbers.reserve(expected);
        } else if (columns_[c].type == ColumnType::Integer) {
            store.integers.reserve(expected);
        } else {
            store.text_starts.reserve(expected + 1);
        }
    }

    FieldValue value;
    std::int32_t row = 0;
    do {
        if (label_column >= 0) {
            if (!rows.Value(label_column, value))
                break;
            if (value.IsNull())
                continue;
        }
        bool readable = true;
        for (std::size_t c = 0; c < columns_.size() && readable; ++c) {
            readable = rows.Value(columns_[c].source, value);
            if (readable)
                Append(stores_[c], columns_[c].type, value);
        }
        if (!readable) {
            // The row's first columns went in already: take them out again.
            for (std::size_t c = 0; c < columns_.size(); ++c) {
                Store& store = stores_[c];
                if (store.nulls.size() <= row_of_item_.size())
                    continue;
                store.nulls.pop_back();
                if (!store.numbers.empty() && store.numbers.size() > row_of_item_.size())
                    store.numbers.pop_back();
                if (!store.integers.empty() && store.integers.size() > row_of_item_.size())
                    store.integers.pop_back();
                if (store.text_starts.size() > row_of_item_.size() + 1) {
                    store.text_starts.pop_back();
                    store.text.resize(store.text_starts.back());
                }
            }
            break;
        }
        row_of_item_.push_back(row);
        if (folder_column >= 0)
            folder_ids_.push_back(IntegerOf(rows, folder_column));
        if (attribute_column >= 0)
            attributes_.push_back(IntegerOf(rows, attribute_column));
    } while (((++row % 64) != 0 || !progress || progress(row)) && rows.Next());
    return true;
}

FieldValue ReportRows::ItemValue(int item, int column) const {
    const Store& store = stores_[column];
    if (store.nulls[item])
        return FieldValue::Null();
    switch (columns_[column].type) {
        case ColumnType::Double:
            return FieldValue::OfDouble(store.numbers[item]);
        case ColumnType::Date:
            return FieldValue::OfDate(store.numbers[item]);
        case ColumnType::Integer:
            return FieldValue::OfInteger(store.integers[item]);
        default:
            return FieldValue::OfText(
                std::string_view(store.text)
                    .substr(store.text_starts[item], store.text_starts[item + 1] - store.text_starts[item]));
    }
}

FieldValue ReportRows::Value(int position, int column) const {
    return ItemValue(ItemAt(position), column);
}

std::int32_t ReportRows::FolderId(int position) const {
    return folder_ids_.empty() ? 0 : folder_ids_[ItemAt(position)];
}

bool ReportRows::Compressed(int position) const {
    return !attributes_.empty() && (attributes_[ItemAt(position)] & kCompressedAttribute) != 0;
}

std::string ReportRows::CellText(int position, int column, FolderTree& folders) const {
    return PrintValueText(Value(position, column), columns_[column].parent_id, folders);
}

void ReportRows::SortByText(int column, bool descending, FolderTree& folders) {
    const int count = ItemCount();
    if (column < 0 || column >= static_cast<int>(columns_.size()) || count == 0)
        return;
    // Each item gets the rank of its text among the column's distinct texts.
    std::vector<std::int32_t> rank(static_cast<std::size_t>(count));
    if (columns_[column].type == ColumnType::Integer) {
        std::unordered_map<std::int64_t, std::int32_t> slot;
        std::vector<std::pair<std::string, std::int64_t>> keys;
        constexpr std::int64_t kNull = std::numeric_limits<std::int64_t>::min();
        for (int item = 0; item < count; ++item) {
            const FieldValue value = ItemValue(item, column);
            const std::int64_t key = value.IsNull() ? kNull : value.integer;
            if (slot.emplace(key, 0).second) {
                keys.emplace_back(
                    value.IsNull() ? std::string()
                                   : LowerAscii(PrintValueText(value, columns_[column].parent_id, folders)),
                    key);
            }
        }
        std::sort(keys.begin(), keys.end());
        for (std::size_t i = 0; i < keys.size(); ++i) {
            // Equal texts (two folders of the same path) share a rank.
            const bool same = i > 0 && keys[i].first == keys[i - 1].first;
            slot[keys[i].second] = same ? slot[keys[i - 1].second] : static_cast<std::int32_t>(i);
        }
        for (int item = 0; item < count; ++item) {
            const FieldValue value = ItemValue(item, column);
            rank[item] = slot[value.IsNull() ? kNull : value.integer];
        }
    } else {
        std::vector<std::pair<std::string, std::int32_t>> keys;
        keys.reserve(rank.size());
        for (int item = 0; item < count; ++item) {
            keys.emplace_back(
                LowerAscii(PrintValueText(ItemValue(item, column), columns_[column].parent_id, folders)),
                item);
        }
        std::stable_sort(keys.begin(), keys.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::int32_t current = 0;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (i > 0 && keys[i].first != keys[i - 1].first)
                current = static_cast<std::int32_t>(i);
            rank[keys[i].second] = current;
        }
    }
    if (order_.empty()) {
        order_.resize(rank.size());
        for (int i = 0; i < count; ++i)
            order_[i] = i;
    }
    std::stable_sort(order_.begin(), order_.end(), [&](std::int32_t a, std::int32_t b) {
        return descending ? rank[b] < rank[a] : rank[a] < rank[b];
    });
}

std::size_t ReportRows::MemoryBytes() const {
    std::size_t bytes =
        row_of_item_.capacity() * sizeof(std::int32_t) + folder_ids_.capacity() * sizeof(std::int32_t) +
        attributes_.capacity() * sizeof(std::int32_t) + order_.capacity() * sizeof(std::int32_t);
    for (const Store& store : stores_) {
        bytes += store.numbers.capacity() * sizeof(double) +
                 store.integers.capacity() * sizeof(std::int32_t) +
                 store.text_starts.capacity() * sizeof(std::uint32_t) + store.text.capacity() +
                 store.nulls.capacity() / 8;
    }
    return bytes;
}

std::string ResultTotalsText(const ResultData& result) {
    return FormatSize(result.total_size) + " (" + FormatSize(result.free_space) +
           " free)  On: " + result.path;
}

std::string ResultCountText(const ResultData& result) {
    if (result.row_count <= 0)
        return "No results matching criteria.";
    if (result.row_count == 1)
        return "1 object.";
    const double span = result.latest_date - result.earliest_date;
    const long days = span > 0.0 ? static_cast<long>(span) : 0L;
    char text[80];
    std::snprintf(text, sizeof text, "%d objects (%ld days).", static_cast<int>(result.row_count), days);
    return text;
}

FileToOpen FileToOpenOf(std::string_view folder_path, std::string_view name) {
    FileToOpen file;
    file.folder = std::string(folder_path);
    const char separator = PathSeparatorOf(folder_path);
    if (file.folder.empty() || file.folder.back() != separator)
        file.folder += separator;
    file.ftp = StartsWithNoCase(folder_path, "ftp:");
    file.path = file.folder + std::string(name);
    return file;
}

}  // namespace korvane
