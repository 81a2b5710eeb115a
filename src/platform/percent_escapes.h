// Hexadecimal escapes as mount tables, GIO mount names and file URIs write
// them.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The value of one hexadecimal digit (either case); -1 for any other character.
int HexDigitValue(char c);

// Replaces every "%XX" (two hexadecimal digits) by the byte it names; a "%"
// not followed by two digits stays as it is.
std::string DecodePercentEscapes(std::string_view text);

}  // namespace korvane
