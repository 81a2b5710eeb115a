#include "schedule/schedule_editing.h"

#include <algorithm>
#include <filesystem>

#include "app/document_settings.h"
#include "app/text_helpers.h"

namespace korvane {
namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '=';
}
bool IsLineEnd(char c) {
    return c == '\0' || c == '\r' || c == '\n';
}

}  // namespace

std::vector<std::string> RowParameterTokens(std::string_view parameters) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    for (;;) {
        while (pos < parameters.size() && IsSeparator(parameters[pos]))
            ++pos;
        if (pos >= parameters.size() || IsLineEnd(parameters[pos]))
            return tokens;
        std::string token;
        if (parameters[pos] == '"') {
            ++pos;
            while (pos < parameters.size() && parameters[pos] != '"' && !IsLineEnd(parameters[pos]))
                token.push_back(parameters[pos++]);
            if (pos < parameters.size() && parameters[pos] == '"')
                ++pos;
        } else {
            while (pos < parameters.size() && !IsSeparator(parameters[pos]) && !IsLineEnd(parameters[pos]))
                token.push_back(parameters[pos++]);
        }
        tokens.push_back(std::move(token));
    }
}

std::vector<std::string> EarlierQueryNames(const std::vector<ScriptRow>& rows, std::size_t index) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < index && i < rows.size(); ++i) {
        if (!EqualsNoCase(rows[i].command, "Query"))
            continue;
        std::vector<std::string> tokens = RowParameterTokens(rows[i].parameters);
        if (!tokens.empty() && !tokens.front().empty())
            names.push_back(std::move(tokens.front()));
    }
    return names;
}

bool FitsInParameter(std::string_view text) {
    return text.find_first_of("\"\r\n") == std::string_view::npos &&
           text.find('\0') == std::string_view::npos;
}

std::string QuotedParameter(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

std::string TwoQuotedParameters(std::string_view first, std::string_view second) {
    return QuotedParameter(first) + ", " + QuotedParameter(second);
}

std::string FileCommandParameters(std::string_view source, std::string_view destination,
                                  std::string_view option) {
    return TwoQuotedParameters(source, destination) + ", " + std::string(option);
}

std::string PrintParameters(std::string_view source, std::string_view driver, std::string_view device,
                            std::string_view port) {
    return TwoQuotedParameters(source, driver) + ", " + TwoQuotedParameters(device, port);
}

std::string CommandOptionText(bool subfolder, bool overwrite) {
    if (subfolder && overwrite)
        return "/SUBFOLDER/OVERWRITE";
    if (subfolder)
        return " /SUBFOLDER";
    if (overwrite)
        return " /OVERWRITE";
    return {};
}

CommandOptions CommandOptionsOf(std::string_view option) {
    option = TrimBlanks(option);
    CommandOptions options;
    options.subfolder = option == "/SUBFOLDER" || option == "/SUBFOLDER/OVERWRITE";
    options.overwrite = option == "/OVERWRITE" || option == "/SUBFOLDER/OVERWRITE";
    return options;
}

std::optional<CommandDialogShape> CommandDialogShapeOf(std::string_view word) {
    CommandDialogShape shape;
    if (EqualsNoCase(word, "Copy") || EqualsNoCase(word, "Move") || EqualsNoCase(word, "Link")) {
        shape.source_browse = true;
        shape.destination = true;
        shape.subfolder_box = true;
        // A link always replaces what is at the destination.
        shape.overwrite_box = !EqualsNoCase(word, "Link");
        return shape;
    }
    if (EqualsNoCase(word, "Delete")) {
        shape.source_browse = true;
        shape.from_query = false;
        return shape;
    }
    if (EqualsNoCase(word, "Logfile") || EqualsNoCase(word, "Print") || EqualsNoCase(word, "Export"))
        return shape;
    return std::nullopt;
}

std::vector<SavedQueryEntry> ListSavedQueries(const std::string& install_folder) {
    std::vector<SavedQueryEntry> entries;
    DocumentSettings settings;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(install_folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= 4 || !EndsWithNoCase(name, ".qry") || !it->is_regular_file(ec))
            continue;
        settings.SelectFile(it->path().string());
        settings.SelectSection("Query");
        entries.push_back({name.substr(0, name.size() - 4), settings.ReadText("Description")});
    }
    std::sort(entries.begin(), entries.end(),
              [](const SavedQueryEntry& a, const SavedQueryEntry& b) { return a.name < b.name; });
    return entries;
}

ScheduleTimeFields ScheduleTimeFieldsOf(std::string_view startup, std::string_view interval,
                                        std::time_t now) {
    ScheduleTimeFields fields;
    fields.interval = ParseInterval(interval).value_or(ScheduleInterval::UserDefined);
    StartupTime time;
    if (const auto parsed = ParseStartup(startup)) {
        time = *parsed;
        fields.startup_is_time = true;
    } else {
        std::tm local{};
        localtime_r(&now, &local);
        time = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, 0};
    }
    fields.year = time.year;
    fields.month = time.month;
    fields.day = time.day;
    const TwelveHour twelve = ToTwelveHour(time.hour);
    fields.hour = twelve.hour;
    fields.pm = twelve.pm;
    fields.minute = time.minute;
    return fields;
}

std::string StartupOfFields(const ScheduleTimeFields& fields) {
    StartupTime time;
    time.year = fields.year;
    time.month = fields.month;
    time.day = fields.day;
    time.hour = FromTwelveHour(fields.hour, fields.pm);
    time.minute = fields.minute;
    return FormatStartup(time);
}

}  // namespace korvane
