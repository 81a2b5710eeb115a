// Text as the catalogue keeps it on PostgreSQL.
//
// Linux names are bytes, and PostgreSQL text holds only valid UTF-8 without
// NUL. A name is stored as text in which every byte that does not belong to a
// valid UTF-8 sequence (and NUL) becomes one character of U+F700..U+F7FF
// (U+F700 + the byte), so it is still one character to Like and "?" as the
// SQLite matcher counts it. A name that really holds a character of that range
// has that character's bytes escaped the same way, so decoding always gives the
// original bytes back. Valid UTF-8 outside that range is stored unchanged, so
// ordinary names read the same with any client.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

// The first and last code points that stand for single bytes.
inline constexpr char32_t kPgByteEscapeFirst = 0xF700;
inline constexpr char32_t kPgByteEscapeLast = 0xF7FF;

// Bytes as the text stored on PostgreSQL (always valid UTF-8, no NUL).
std::string PgTextFromBytes(std::string_view bytes);
// Stored text back to the original bytes.
std::string BytesFromPgText(std::string_view text);

// "name" with every " doubled; the name's bytes are encoded as above.
std::string QuotePgName(std::string_view name);
// A string literal for the text's bytes encoded as above: 'text' with every '
// doubled, or E'...' with every \ doubled too when the text holds a
// backslash, so the literal means the same whatever standard_conforming_strings
// says.
std::string PgTextLiteral(std::string_view bytes);

// The length of the valid UTF-8 sequence at text[at], or 0 when the byte there
// starts none (strictly: no overlong forms, no surrogates, at most U+10FFFF).
std::size_t ValidUtf8Length(std::string_view text, std::size_t at);
// The code point of the valid sequence of that length at text[at].
char32_t Utf8CodeAt(std::string_view text, std::size_t at, std::size_t length);

}  // namespace korvane
