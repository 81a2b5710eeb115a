#include "result/export_csv.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <unordered_map>
#include <vector>

#include "result/result_file.h"
#include "result/result_rows.h"

namespace korvane {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void AppendNumber(std::string& line, std::int64_t value) {
    char text[24];
    const auto result = std::to_chars(text, text + sizeof text, value);
    line.append(text, result.ptr);
}

// Folder paths by identifier, each built once and kept as the field it
// becomes: rows of one folder rarely come together (the answer is sorted),
// and a path costs a walk up the tree. Identifiers are dense from 1, so most
// are kept by position; a hash keeps the rest.
class ParentPaths {
  public:
    explicit ParentPaths(FolderTree& folders)
        : folders_(folders), positions_(folders.loaded_node_count() + 1024) {}
    const std::string& FieldOf(std::int32_t id) {
        if (id >= 0 && static_cast<std::size_t>(id) < positions_) {
            if (static_cast<std::size_t>(id) >= by_position_.size())
                by_position_.resize(static_cast<std::size_t>(id) + 1);
            Slot& slot = by_position_[static_cast<std::size_t>(id)];
            if (!slot.built) {
                slot.field = Build(id);
                slot.built = true;
            }
            return slot.field;
        }
        auto found = others_.find(id);
        if (found != others_.end())
            return found->second;
        // Bounded by the number of folders; start afresh past a generous limit.
        if (others_.size() >= kLimit)
            others_.clear();
        return others_.emplace(id, Build(id)).first->second;
    }

  private:
    struct Slot {
        bool built = false;
        std::string field;
    };
    std::string Build(std::int32_t id) {
        std::string path, field;
        folders_.FolderPathOfId(id, path);
        AppendCsvField(field, path);
        return field;
    }
    static constexpr std::size_t kLimit = 1 << 20;
    FolderTree& folders_;
    std::size_t positions_;  // identifiers below this are kept by position
    std::vector<Slot> by_position_;
    std::unordered_map<std::int32_t, std::string> others_;
};

void AppendValue(std::string& line, const FieldValue& value, bool parent_id, ParentPaths& paths) {
    switch (value.kind) {
        case FieldKind::Integer: {
            std::int32_t number = 0;
            value.AsInt32(number);
            if (parent_id) {
                line += paths.FieldOf(number);
            } else {
                AppendNumber(line, number);
            }
            break;
        }
        case FieldKind::Double:
            AppendNumber(line, SaturateToInt64(value.number));
            break;
        case FieldKind::Date:
            line += ResultDateText(value.number);
            break;
        case FieldKind::Text:
            AppendCsvField(line, value.text);
            break;
        case FieldKind::Null:
            break;
    }
}

}  // namespace

void AppendCsvField(std::string& line, std::string_view text) {
    // A double quote anywhere is enclosed and doubled too: a field that began
    // with one would otherwise swallow the fields after it when read back.
    bool plain = true;
    for (char c : text) {
        // One test for the bytes above '"' (most of a name), four below.
        if (static_cast<unsigned char>(c) <= '"' || c == ',') {
            if (c == ',' || c == '\r' || c == '\n' || c == '"') {
                plain = false;
                break;
            }
        }
    }
    if (plain) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

bool ExportCsv(const ResultData& result, const std::string& path, Catalogue& catalogue, FolderTree& folders,
               ProgressWindow* window) {
    const int parent_id_column = result.ColumnIndex("Parent ID");
    ResultRows rows(catalogue);
    if (!rows.Open(result.result_name, /*any_order=*/false, /*forward_only=*/true))
        return false;

    std::vector<char> buffer(1 << 20);  // outlives the file that uses it
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        if (window) {
            catalogue.ui().ShowMessage("Could not write to " + path + ".", MessageIcon::Exclamation,
                                       MessageButtons::Ok);
        }
        return false;
    }
    std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());
    if (window) {
        window->Show();
        window->SetRange(0, 100);
        window->SetPosition(0);
        window->SetTitle("Exporting results to CSV file...");
    }

    std::vector<int> shown;
    std::string line;
    for (std::size_t i = 0; i < result.columns.size(); ++i) {
        if (!result.columns[i].shown)
            continue;
        if (!shown.empty())
            line += ',';
        AppendCsvField(line, static_cast<int>(i) == parent_id_column ? "Path" : result.columns[i].name);
        shown.push_back(static_cast<int>(i));
    }
    line += "\r\n";
    bool written = std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();

    ParentPaths paths(folders);
    FieldValue value;
    std::int64_t done = 0;
    int percent = 0;
    // Rows go to the file in blocks of many lines.
    constexpr std::size_t kBlock = 1 << 16;
    line.clear();
    do {
        for (std::size_t i = 0; i < shown.size(); ++i) {
            if (!rows.Value(shown[i], value))
                break;
            if (i > 0)
                line += ',';
            AppendValue(line, value, shown[i] == parent_id_column, paths);
        }
        line += "\r\n";
        if (line.size() >= kBlock) {
            written = written && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();
            line.clear();
        }
        ++done;
        if (window) {
            // Polling and drawing every row would slow a large export down;
            // the bar moves in whole percent anyway.
            if (done % 64 == 0 && window->PollCancel())
                break;
            const int now =
                result.row_count > 0
                    ? static_cast<int>(std::min<std::int64_t>(100, 100 * (done - 1) / result.row_count))
                    : 0;
            if (now != percent) {
                percent = now;
                window->SetPosition(percent);
            }
        }
    } while (written && rows.Next());
    written = written && std::fwrite(line.data(), 1, line.size(), file.get()) == line.size();

    // Rows that stopped coming part-way are a failed export, not a short one.
    const bool read = !rows.Failed();
    written = std::fflush(file.get()) == 0 && written;
    written = std::fclose(file.release()) == 0 && written;
    if (window)
        window->Close();
    if (!read) {
        if (window)
            catalogue.ShowEngineMessage(rows.error());
        return false;
    }
    if (!written && window) {
        catalogue.ui().ShowMessage("Could not write to " + path + ".", MessageIcon::Exclamation,
                                   MessageButtons::Ok);
    }
    return written;
}

}  // namespace korvane
