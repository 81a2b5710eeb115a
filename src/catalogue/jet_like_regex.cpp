// Jet Like patterns as PostgreSQL regular expressions, or as ILIKE patterns
// where that gives the same answer.
//
// Case is made part of the expression rather than left to the server: every
// pattern character becomes the set of characters the matcher folds to the
// same character ([kK\u212A] for "k"), so the answer does not depend on the
// database's locale and equals JetLikeMatch's, including its Greek, Cyrillic
// and sign-letter foldings. Texts are matched in collation "C", code point by
// code point.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/jet_tokens.h"
#include "catalogue/pg_text.h"

namespace korvane {
namespace {

// The matcher's code for a byte that starts no valid UTF-8 sequence.
constexpr char32_t kInvalidByteBase = 0x110000;
// Every character the folding changes lies below this.
constexpr char32_t kFoldingLimit = 0x10000;

using Interval = std::pair<char32_t, char32_t>;  // inclusive

struct Character {
    char32_t code;  // as the matcher decodes it
    std::size_t length;
};

Character CharacterAt(std::string_view text, std::size_t at) {
    const std::size_t length = ValidUtf8Length(text, at);
    if (length == 0) {
        return {kInvalidByteBase + static_cast<unsigned char>(text[at]), 1};
    }
    return {Utf8CodeAt(text, at, length), length};
}

// Every character the folding changes, with what it folds to, by the latter.
const std::vector<std::pair<char32_t, char32_t>>& FoldedSources() {
    static const std::vector<std::pair<char32_t, char32_t>> sources = [] {
        std::vector<std::pair<char32_t, char32_t>> list;
        for (char32_t c = 0; c < kFoldingLimit; ++c) {
            const char32_t folded = JetLikeFoldCase(c);
            if (folded != c) {
                list.emplace_back(folded, c);
            }
        }
        std::sort(list.begin(), list.end());
        return list;
    }();
    return sources;
}

bool FoldingChanges(char32_t c) {
    return c < kFoldingLimit && JetLikeFoldCase(c) != c;
}

// The characters whose folding lies in [low, high], the folded ones included.
void AddFoldedRange(char32_t low, char32_t high, std::vector<Interval>& set) {
    if (low > high) {
        return;
    }
    // Characters the folding keeps, in [low, high].
    char32_t start = low;
    for (char32_t c = low; c <= std::min<char32_t>(high, kFoldingLimit - 1); ++c) {
        if (FoldingChanges(c)) {
            if (c > start) {
                set.emplace_back(start, c - 1);
            }
            start = c + 1;
        }
    }
    if (start <= high) {
        set.emplace_back(start, high);
    }
    const auto& sources = FoldedSources();
    for (auto it = std::lower_bound(sources.begin(), sources.end(), std::make_pair(low, char32_t{0}));
         it != sources.end() && it->first <= high; ++it) {
        set.emplace_back(it->second, it->second);
    }
}

void AddCharacter(char32_t c, std::vector<Interval>& set) {
    set.emplace_back(c, c);
    const char32_t folded = c < kInvalidByteBase ? JetLikeFoldCase(c) : c;
    AddFoldedRange(folded, folded, set);
}

void AddRange(char32_t low, char32_t high, std::vector<Interval>& set) {
    set.emplace_back(low, high);
    const auto fold = [](char32_t c) { return c < kInvalidByteBase ? JetLikeFoldCase(c) : c; };
    AddFoldedRange(fold(low), fold(high), set);
}

// The intervals in PostgreSQL's code points: the matcher's invalid-byte codes
// become the escape characters, and real escape characters (which stored text
// never holds) drop out.
std::vector<Interval> AsStoredCodes(std::vector<Interval> set) {
    std::vector<Interval> stored;
    for (const auto& [low, high] : set) {
        if (low < kInvalidByteBase) {
            const char32_t top = std::min<char32_t>(high, 0x10FFFF);
            if (low < kPgByteEscapeFirst) {
                stored.emplace_back(low, std::min<char32_t>(top, kPgByteEscapeFirst - 1));
            }
            if (top > kPgByteEscapeLast) {
                stored.emplace_back(std::max<char32_t>(low, kPgByteEscapeLast + 1), top);
            }
        }
        if (high >= kInvalidByteBase) {
            const char32_t from = std::max(low, kInvalidByteBase) - kInvalidByteBase;
            const char32_t to = std::min<char32_t>(high - kInvalidByteBase, 0xFF);
            if (from <= to) {
                stored.emplace_back(kPgByteEscapeFirst + from, kPgByteEscapeFirst + to);
            }
        }
    }
    std::sort(stored.begin(), stored.end());
    std::vector<Interval> merged;
    for (const Interval& interval : stored) {
        if (!merged.empty() && interval.first <= merged.back().second + 1) {
            merged.back().second = std::max(merged.back().second, interval.second);
        } else {
            merged.push_back(interval);
        }
    }
    return merged;
}

void AppendCode(char32_t c, std::string& regex) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
        regex += static_cast<char>(c);
        return;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    const bool wide = c > 0xFFFF;
    regex += wide ? "\\U" : "\\u";
    for (int shift = wide ? 28 : 12; shift >= 0; shift -= 4) {
        regex += kHex[(c >> shift) & 0xF];
    }
}

void AppendSet(const std::vector<Interval>& set, bool negated, std::string& regex) {
    if (!negated && set.size() == 1 && set[0].first == set[0].second) {
        AppendCode(set[0].first, regex);
        return;
    }
    regex += negated ? "[^" : "[";
    for (const auto& [low, high] : set) {
        AppendCode(low, regex);
        if (high != low) {
            regex += '-';
            AppendCode(high, regex);
        }
    }
    regex += ']';
}

// A character list after "[" (and "!"), read as the matcher reads it. at is
// left after the closing "]".
bool ReadList(std::string_view pattern, std::size_t& at, std::vector<Interval>& set) {
    char32_t previous = 0;
    bool have_previous = false;
    while (at < pattern.size() && pattern[at] != ']') {
        const Character item = CharacterAt(pattern, at);
        at += item.length;
        if (item.code == '-' && have_previous && at < pattern.size() && pattern[at] != ']') {
            const Character high = CharacterAt(pattern, at);
            at += high.length;
            if (high.code < previous) {
                return false;
            }
            AddRange(previous, high.code, set);
            have_previous = false;
            continue;
        }
        AddCharacter(item.code, set);
        previous = item.code;
        have_previous = true;
    }
    if (at >= pattern.size()) {
        return false;
    }
    ++at;
    return true;
}

}  // namespace

bool JetLikeToPgIlike(std::string_view pattern, std::string& like) {
    like.clear();
    for (const char c : pattern) {
        const auto byte = static_cast<unsigned char>(c);
        // Only k and s have non-ASCII characters folding to them (the Kelvin
        // sign, the long s); lists and digits have no ILIKE form.
        if (byte >= 0x80 || c == '#' || c == '[' || c == 'k' || c == 'K' || c == 's' || c == 'S') {
            return false;
        }
        if (c == '*') {
            like += '%';
        } else if (c == '?') {
            like += '_';
        } else {
            if (c == '%' || c == '_' || c == '\\') {
                like += '\\';
            }
            like += c;
        }
    }
    return true;
}

bool JetLikeToPgRegex(std::string_view pattern, std::string& regex, std::string& error) {
    regex = "^";
    std::size_t at = 0;
    while (at < pattern.size()) {
        const char c = pattern[at];
        if (c == '*') {
            while (at < pattern.size() && pattern[at] == '*') {
                ++at;
            }
            regex += ".*";
        } else if (c == '?') {
            regex += '.';
            ++at;
        } else if (c == '#') {
            regex += "[0-9]";
            ++at;
        } else if (c == '[') {
            ++at;
            const bool negated = at < pattern.size() && pattern[at] == '!';
            at += negated ? 1 : 0;
            std::vector<Interval> set;
            if (!ReadList(pattern, at, set)) {
                error = "the Like pattern \"" + std::string(pattern) +
                        "\" is malformed (an unclosed [ or a descending range)";
                return false;
            }
            const bool empty_list = set.empty();
            const std::vector<Interval> stored = AsStoredCodes(std::move(set));
            if (empty_list) {
                // "[]" stands for nothing at all, "[!]" for any one character.
                regex += negated ? "." : "";
            } else if (stored.empty()) {
                // Only characters stored text never holds.
                regex += negated ? "." : "[^\\u0001-\\U0010ffff]";
            } else {
                AppendSet(stored, negated, regex);
            }
        } else {
            const Character character = CharacterAt(pattern, at);
            if (character.code >= kPgByteEscapeFirst && character.code <= kPgByteEscapeLast) {
                // Stored as the escapes of its three bytes.
                for (std::size_t i = 0; i < character.length; ++i) {
                    AppendCode(kPgByteEscapeFirst + static_cast<unsigned char>(pattern[at + i]), regex);
                }
                at += character.length;
                continue;
            }
            at += character.length;
            std::vector<Interval> set;
            AddCharacter(character.code, set);
            AppendSet(AsStoredCodes(std::move(set)), false, regex);
        }
    }
    regex += '$';
    return true;
}

}  // namespace korvane
