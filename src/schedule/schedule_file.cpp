#include "schedule/schedule_file.h"

#include <charconv>
#include <filesystem>
#include <set>

#include "app/profile_file.h"
#include "app/text_helpers.h"
#include "schedule/schedule_commands.h"
#include "schedule/script_line_head.h"

namespace korvane {
namespace {

constexpr std::string_view kScheduleSection = "Schedule";
constexpr std::string_view kScriptSection = "Script";

std::string ScriptLineKey(long index) {
    return "ScriptLine[" + std::to_string(index) + "]";
}

// A value holds one line of the file: a line end inside it would start a
// new key, so each becomes a blank.
std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    return out;
}

}  // namespace

// The indices below lines that have a ScriptLine key, in order. Looking only
// at keys that exist keeps a huge Lines value from costing anything.
std::set<long> PresentLineIndices(const ProfileDocument& file, long lines) {
    std::set<long> indices;
    constexpr std::string_view kPrefix = "ScriptLine[";
    for (const std::string& key : file.KeysOf(kScriptSection)) {
        if (!StartsWithNoCase(key, kPrefix) || key.size() < kPrefix.size() + 2 || key.back() != ']')
            continue;
        const std::string_view digits(key.data() + kPrefix.size(), key.size() - kPrefix.size() - 1);
        long index = 0;
        const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), index);
        if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size())
            continue;
        if (index >= 0 && index < lines && EqualsNoCase(key, ScriptLineKey(index)))
            indices.insert(index);
    }
    return indices;
}

std::optional<ScriptRow> ScriptRowFromLine(std::string_view line) {
    const ScriptLineHead head = SplitScriptLineHead(line);
    const int index = FindEnabledCommand(head.word);
    if (index < 0)
        return std::nullopt;
    ScriptRow row;
    row.command = std::string(kScheduleCommands[static_cast<std::size_t>(index)].word);
    row.icon = index;
    if (head.rest)
        row.parameters = std::string(line.substr(*head.rest));
    return row;
}

std::string ScriptLineOf(const ScriptRow& row) {
    return OneLine(row.command + " " + row.parameters);
}

bool ReadScheduleFile(CDocumentEx& document, const std::string& path, ScheduleContent& content) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    ProfileDocument file;
    if (!file.Load(path))
        return false;

    document.SetFile(path);
    document.SelectSection(kScheduleSection);
    content.startup = document.ReadText("Startup");
    content.interval = document.ReadText("Interval");
    document.SelectSection(kScriptSection);
    const long lines = document.ReadNumber("Lines");

    content.rows.clear();
    for (long index : PresentLineIndices(file, lines)) {
        std::string line = file.Get(kScriptSection, ScriptLineKey(index));
        if (line.size() > kMaxScriptLineLength)
            line.resize(kMaxScriptLineLength);
        if (auto row = ScriptRowFromLine(line))
            content.rows.push_back(std::move(*row));
    }
    return true;
}

bool WriteScheduleFile(CDocumentEx& document, const std::string& path, const ScheduleContent& content) {
    document.SetFile(path);
    document.SelectSection(kScheduleSection);
    bool ok = document.WriteText("Startup", OneLine(content.startup));
    ok = ok && document.WriteText("Interval", OneLine(content.interval));
    ok = ok && document.BeginSection(kScriptSection);
    ok = ok && document.WriteNumber("Lines", static_cast<long>(content.rows.size()));
    for (std::size_t i = 0; ok && i < content.rows.size(); ++i) {
        ok = document.WriteText(ScriptLineKey(static_cast<long>(i)), ScriptLineOf(content.rows[i]));
    }
    return ok;
}

std::string ScheduleStatusText(const ScheduleContent& content) {
    if (content.interval == kDefaultInterval)
        return "Startup on " + content.startup + ".";
    return "Startup on " + content.startup + ", run " + content.interval + ".";
}

std::string ScheduleWindowTitle(std::string_view document_name) {
    return std::string(document_name) + " - Korvane Schedule";
}

}  // namespace korvane
