// The command word of a script line and where its parameters begin, as the
// schedule editor sees a line: separators are blank, tab, "," and "=", a
// line ends at NUL, CR or LF, and a token that begins with a double quote
// runs to the next double quote (or the line end).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

struct ScriptLineHead {
    std::string word;                 // the first token, its quotes removed; empty for an empty line
    std::optional<std::size_t> rest;  // offset of the second token; none when there is none
};

ScriptLineHead SplitScriptLineHead(std::string_view line);

// The text from the start of the second token to the end of the text (line
// ends included), or none. Scheduler answers name a job this way, so a name
// with blanks comes back whole.
std::optional<std::string> TextFromSecondToken(std::string_view text);

}  // namespace korvane
