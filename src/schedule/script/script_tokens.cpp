#include "schedule/script/script_tokens.h"

namespace korvane {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == ',' || c == '='; }
bool EndsLine(char c) { return c == '\0' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<std::string> SplitScriptLine(std::string_view line) {
    std::vector<std::string> tokens;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && IsSeparator(line[pos])) ++pos;
        if (pos >= line.size() || EndsLine(line[pos])) break;
        const std::size_t start = pos;
        if (line[pos] == '"') {
            ++pos;
            while (pos < line.size() && line[pos] != '"' && !EndsLine(line[pos])) ++pos;
            std::string token(line.substr(start, pos - start));
            if (pos < line.size() && line[pos] == '"') ++pos;
            token.push_back('"');
            tokens.push_back(std::move(token));
            continue;
        }
        while (pos < line.size() && !IsSeparator(line[pos]) && !EndsLine(line[pos])) ++pos;
        tokens.emplace_back(line.substr(start, pos - start));
    }
    return tokens;
}

std::string UnquoteParameter(std::string_view parameter) {
    if (!parameter.empty() && parameter.front() == '"') {
        parameter.remove_prefix(1);
        if (!parameter.empty() && parameter.back() == '"') parameter.remove_suffix(1);
    }
    std::string out(parameter);
    for (char& c : out) {
        if (c == '"') c = ' ';
    }
    return out;
}

}  // namespace korvane
