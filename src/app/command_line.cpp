#include "app/command_line.h"

#include "app/text_helpers.h"

namespace korvane {

RunRequest DecideRunMode(const std::vector<std::string>& tokens) {
    if (tokens.empty()) return {};
    const std::string& first = tokens[0];
    const std::string second = tokens.size() > 1 ? tokens[1] : std::string();
    if (EqualsNoCase(first, "/EXECUTE")) return {RunMode::Script, second};
    if (first.size() > 3 && EndsWithNoCase(first, "sch")) return {RunMode::Script, first};
    if (EqualsNoCase(first, "/P")) return {RunMode::Print, second};
    if (EqualsNoCase(first, "/OPEN") && !second.empty()) return {RunMode::Open, second};
    return {};
}

}  // namespace korvane
