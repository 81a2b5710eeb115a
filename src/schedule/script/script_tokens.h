// How the script interpreter cuts a script line: blank, tab, "," and "="
// separate; a line ends at NUL, CR or LF; a word runs to a separator (a
// double quote inside it is part of it); a token that begins with a double
// quote runs to the next one and keeps its quotes (a missing closing quote is
// supplied).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

std::vector<std::string> SplitScriptLine(std::string_view line);

// A parameter as commands use it: one enclosing pair of double quotes
// removed (the leading quote, and the last character when it is a quote),
// every other double quote turned into a blank.
std::string UnquoteParameter(std::string_view parameter);

}  // namespace korvane
