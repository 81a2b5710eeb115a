#include "schedule/script_line_head.h"

namespace korvane {
namespace {

bool IsSeparator(char c) {
    return c == ' ' || c == '\t' || c == ',' || c == '=';
}
bool IsLineEnd(char c) {
    return c == '\0' || c == '\r' || c == '\n';
}

std::size_t SkipSeparators(std::string_view line, std::size_t pos) {
    while (pos < line.size() && IsSeparator(line[pos]))
        ++pos;
    return pos;
}

}  // namespace

ScriptLineHead SplitScriptLineHead(std::string_view line) {
    ScriptLineHead head;
    std::size_t pos = SkipSeparators(line, 0);
    if (pos >= line.size() || IsLineEnd(line[pos]))
        return head;
    if (line[pos] == '"') {
        ++pos;
        while (pos < line.size() && line[pos] != '"' && !IsLineEnd(line[pos]))
            head.word.push_back(line[pos++]);
        if (pos < line.size() && line[pos] == '"')
            ++pos;
    } else {
        while (pos < line.size() && !IsSeparator(line[pos]) && !IsLineEnd(line[pos])) {
            head.word.push_back(line[pos++]);
        }
    }
    pos = SkipSeparators(line, pos);
    if (pos < line.size() && !IsLineEnd(line[pos]))
        head.rest = pos;
    return head;
}

std::optional<std::string> TextFromSecondToken(std::string_view text) {
    const ScriptLineHead head = SplitScriptLineHead(text);
    if (!head.rest)
        return std::nullopt;
    return std::string(text.substr(*head.rest));
}

}  // namespace korvane
