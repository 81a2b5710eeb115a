#include "result/result_file.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/bounded_file.h"
#include "app/document_settings.h"
#include "query/civil_time.h"
#include "result/result_rows.h"

namespace korvane {
namespace {

constexpr const char* kGraphSection = "Graph Options";
constexpr const char* kTableSection = "Result Table";
constexpr std::size_t kWhole = 0;

std::string QuotedText(std::string_view text) {
    std::string out = "\"";
    for (char c : text)
        out += (c == '\r' || c == '\n') ? ' ' : c;
    out += '"';
    return out;
}

std::string FieldText(const FieldValue& value, bool parent_id, FolderTree& folders) {
    switch (value.kind) {
        case FieldKind::Integer: {
            std::int32_t number = 0;
            value.AsInt32(number);
            if (parent_id) {
                std::string path;
                folders.FolderPathOfId(number, path);
                return QuotedText(path);
            }
            return std::to_string(number);
        }
        case FieldKind::Double:
            return std::to_string(SaturateToInt64(value.number));
        case FieldKind::Date:
            return ResultDateText(value.number);
        case FieldKind::Text:
            return QuotedText(value.text);
        case FieldKind::Null:
            break;
    }
    return {};
}

// Writes the sections; false when the standalone rows could not be written.
bool WriteSections(DocumentSettings& settings, const ResultDocument& document, Catalogue& catalogue,
                   FolderTree& folders) {
    const ResultData& data = document.data;
    settings.BeginSection(kGraphSection);
    settings.WriteText("Title", document.title);
    settings.WriteText("XTitle", document.x_title);
    settings.WriteText("YTitle", document.y_title);
    settings.WriteInt("DisplayMode", document.display_mode);
    settings.BeginSection(kTableSection);
    settings.WriteText("Path", data.path);
    settings.WriteInt("Standalone", document.standalone ? 1 : 0);
    settings.WriteInt("Fields", static_cast<long>(data.columns.size()));
    if (!document.standalone)
        return true;

    for (std::size_t i = 0; i < data.columns.size(); ++i) {
        settings.WriteText("FieldLine[" + std::to_string(i) + "]", FieldLineOf(data.columns[i]));
    }
    settings.WriteInt("Lines", data.row_count);
    ResultRows rows(catalogue);
    if (!rows.Open(data.result_name))
        return false;
    const int parent_id_column = data.ColumnIndex("Parent ID");
    std::vector<FieldValue> values;
    long row = 0;
    do {
        values.clear();
        for (std::size_t column = 0; column < data.columns.size(); ++column) {
            FieldValue value;
            if (!rows.Value(static_cast<int>(column), value))
                break;
            values.push_back(std::move(value));
        }
        settings.WriteText("ResultLine[" + std::to_string(row++) + "]",
                           ResultLineOf(values, parent_id_column, folders));
    } while (rows.Next());
    return true;
}

}  // namespace

std::string ResultDateText(double day_number) {
    CivilTime civil;
    if (day_number == 1.0 || !CivilOfDayNumber(day_number, civil))
        return {};
    return FormatCivilTime(civil);
}

std::string FieldLineOf(const ColumnDescriptor& column) {
    return "\"" + column.name + "\"," + std::to_string(column.shown ? 1 : 0) + "," +
           std::to_string(static_cast<int>(column.type)) + "," + std::to_string(column.sort_direction) + "," +
           std::to_string(column.width);
}

std::string ResultLineOf(const std::vector<FieldValue>& values, int parent_id_column, FolderTree& folders) {
    std::string line;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += ',';
        line += FieldText(values[i], static_cast<int>(i) == parent_id_column, folders);
    }
    return line;
}

bool ReadResultFile(ResultDocument& document, const std::string& path, FolderTree& folders) {
    if (!IsBoundedRegularFile(path))
        return false;
    DocumentSettings settings;
    settings.SelectFile(path);
    settings.SelectSection(kGraphSection);
    document.title = settings.ReadText("Title", "", kWhole);
    document.x_title = settings.ReadText("XTitle", "", kWhole);
    document.y_title = settings.ReadText("YTitle", "", kWhole);
    document.display_mode = static_cast<int>(settings.ReadInt("DisplayMode"));

    settings.SelectSection(kTableSection);
    ResultData& data = document.data;
    data.result_name = DocumentNameOfPath(path);
    const FolderNode* folder = folders.FindFolderByPath(settings.ReadText("Path", "", kWhole));
    if (!folder)
        folder = folders.root();
    data.current_folder_id = folder->folder_id;
    folders.FolderPath(folder, data.path);
    document.standalone = settings.ReadInt("Standalone") != 0;
    const long fields = settings.ReadInt("Fields");
    const std::size_t count = fields < 0 ? 0 : std::min<std::size_t>(fields, kMaxResultColumns);
    data.columns.resize(count);
    return true;
}

bool WriteResultFile(const ResultDocument& document, const std::string& path, Catalogue& catalogue,
                     FolderTree& folders) {
    namespace fs = std::filesystem;
    const std::string fresh = path + ".~new";
    std::error_code ignored;
    fs::remove(fresh, ignored);

    DocumentSettings settings;
    settings.SelectFile(fresh);
    settings.BeginBatch();
    const bool complete = WriteSections(settings, document, catalogue, folders);
    if (!settings.Commit()) {
        fs::remove(fresh, ignored);
        return false;
    }
    std::error_code renamed;
    fs::rename(fresh, path, renamed);
    if (renamed) {
        fs::remove(fresh, ignored);
        return false;
    }
    return complete;
}

}  // namespace korvane
