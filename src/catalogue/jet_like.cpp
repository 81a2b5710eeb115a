// Jet's Like matcher over byte strings that are usually, but not always, UTF-8.
//
// Names come from Linux file systems and may hold any bytes, so the matcher
// never transcodes: a valid UTF-8 sequence is one character, and every byte
// that does not start a valid sequence is a character of its own (given a code
// above U+10FFFF so it can only equal the same byte). Case is ignored through
// simple case folding of the scripts a catalogue is likely to hold.
//
// The common shapes ("*.ext", "prefix*", "prefix*.ext", "*part*", a plain
// name, "*") with ASCII text take a byte loop; everything else, and any text
// with a byte above 0x7F where it matters, takes the general matcher.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

#include "catalogue/jet_sql.h"
#include "catalogue/jet_tokens.h"

namespace korvane {
namespace {

constexpr char32_t kInvalidByteBase = 0x110000;

constexpr std::array<unsigned char, 256> MakeAsciiFold() {
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
    }
    return table;
}
constexpr std::array<unsigned char, 256> kAsciiFold = MakeAsciiFold();

struct Decoded {
    char32_t code;
    std::size_t length;
};

// One character at text[at] (at < text.size()).
Decoded DecodeAt(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return {lead, 1};
    }
    const Decoded invalid{kInvalidByteBase + lead, 1};
    std::size_t length;
    char32_t code;
    char32_t minimum;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return invalid;
    }
    if (text.size() - at < length) {
        return invalid;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(at + i);
        if ((next & 0xC0) != 0x80) {
            return invalid;
        }
        code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return invalid;
    }
    return {code, length};
}

// Upper case to lower case for pairs laid out as even/odd or odd/even.
constexpr char32_t FoldPair(char32_t c, bool upper_is_even) {
    return ((c & 1) == 0) == upper_is_even ? c + 1 : c;
}

// Latin Extended-B has no regular layout: its foldings one by one.
struct FoldEntry {
    char32_t from;
    char32_t to;
};
constexpr FoldEntry kLatinExtendedB[] = {
    {0x181, 0x253}, {0x182, 0x183},  {0x184, 0x185}, {0x186, 0x254}, {0x187, 0x188},  {0x189, 0x256},
    {0x18A, 0x257}, {0x18B, 0x18C},  {0x18E, 0x1DD}, {0x18F, 0x259}, {0x190, 0x25B},  {0x191, 0x192},
    {0x193, 0x260}, {0x194, 0x263},  {0x196, 0x269}, {0x197, 0x268}, {0x198, 0x199},  {0x19C, 0x26F},
    {0x19D, 0x272}, {0x19F, 0x275},  {0x1A0, 0x1A1}, {0x1A2, 0x1A3}, {0x1A4, 0x1A5},  {0x1A6, 0x280},
    {0x1A7, 0x1A8}, {0x1A9, 0x283},  {0x1AC, 0x1AD}, {0x1AE, 0x288}, {0x1AF, 0x1B0},  {0x1B1, 0x28A},
    {0x1B2, 0x28B}, {0x1B3, 0x1B4},  {0x1B5, 0x1B6}, {0x1B7, 0x292}, {0x1B8, 0x1B9},  {0x1BC, 0x1BD},
    {0x1C4, 0x1C6}, {0x1C5, 0x1C6},  {0x1C7, 0x1C9}, {0x1C8, 0x1C9}, {0x1CA, 0x1CC},  {0x1CB, 0x1CC},
    {0x1CD, 0x1CE}, {0x1CF, 0x1D0},  {0x1D1, 0x1D2}, {0x1D3, 0x1D4}, {0x1D5, 0x1D6},  {0x1D7, 0x1D8},
    {0x1D9, 0x1DA}, {0x1DB, 0x1DC},  {0x1DE, 0x1DF}, {0x1E0, 0x1E1}, {0x1E2, 0x1E3},  {0x1E4, 0x1E5},
    {0x1E6, 0x1E7}, {0x1E8, 0x1E9},  {0x1EA, 0x1EB}, {0x1EC, 0x1ED}, {0x1EE, 0x1EF},  {0x1F1, 0x1F3},
    {0x1F2, 0x1F3}, {0x1F4, 0x1F5},  {0x1F6, 0x195}, {0x1F7, 0x1BF}, {0x1F8, 0x1F9},  {0x1FA, 0x1FB},
    {0x1FC, 0x1FD}, {0x1FE, 0x1FF},  {0x200, 0x201}, {0x202, 0x203}, {0x204, 0x205},  {0x206, 0x207},
    {0x208, 0x209}, {0x20A, 0x20B},  {0x20C, 0x20D}, {0x20E, 0x20F}, {0x210, 0x211},  {0x212, 0x213},
    {0x214, 0x215}, {0x216, 0x217},  {0x218, 0x219}, {0x21A, 0x21B}, {0x21C, 0x21D},  {0x21E, 0x21F},
    {0x220, 0x19E}, {0x222, 0x223},  {0x224, 0x225}, {0x226, 0x227}, {0x228, 0x229},  {0x22A, 0x22B},
    {0x22C, 0x22D}, {0x22E, 0x22F},  {0x230, 0x231}, {0x232, 0x233}, {0x23A, 0x2C65}, {0x23B, 0x23C},
    {0x23D, 0x19A}, {0x23E, 0x2C66}, {0x241, 0x242}, {0x243, 0x180}, {0x244, 0x289},  {0x245, 0x28C},
    {0x246, 0x247}, {0x248, 0x249},  {0x24A, 0x24B}, {0x24C, 0x24D}, {0x24E, 0x24F},
};

// Simple case folding (one character to one character) for ASCII, Latin-1,
// Latin Extended-A and -B, Latin Extended Additional, Greek, Cyrillic,
// Armenian, the sign letters (Kelvin, Angstrom, Ohm) and full-width Latin.
char32_t FoldCase(char32_t c) {
    if (c < 0x80) {
        return c >= 'A' && c <= 'Z' ? c + 32 : c;
    }
    if (c < 0x100) {
        if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
            return c + 32;
        }
        return c == 0xB5 ? 0x3BC : c;
    }
    if (c < 0x180) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149) {
            return c;  // no one-to-one folding
        }
        if (c == 0x178) {
            return 0xFF;
        }
        if (c == 0x17F) {
            return 's';
        }
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) {
            return FoldPair(c, false);
        }
        return FoldPair(c, true);
    }
    if (c < 0x250) {
        const auto* entry = std::lower_bound(std::begin(kLatinExtendedB), std::end(kLatinExtendedB), c,
                                             [](const FoldEntry& e, char32_t key) { return e.from < key; });
        return entry != std::end(kLatinExtendedB) && entry->from == c ? entry->to : c;
    }
    if (c < 0x370) {
        return c == 0x345 ? 0x3B9 : c;
    }
    if (c < 0x400) {
        if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) {
            return c + 32;
        }
        if ((c >= 0x370 && c <= 0x373) || (c >= 0x3D8 && c <= 0x3EF)) {
            return FoldPair(c, true);
        }
        if (c >= 0x388 && c <= 0x38A) {
            return c + 37;
        }
        if (c >= 0x3FD) {
            return c - 130;
        }
        switch (c) {
            case 0x376:
                return 0x377;
            case 0x37F:
                return 0x3F3;
            case 0x386:
                return 0x3AC;
            case 0x38C:
                return 0x3CC;
            case 0x38E:
                return 0x3CD;
            case 0x38F:
                return 0x3CE;
            case 0x3C2:
                return 0x3C3;
            case 0x3CF:
                return 0x3D7;
            case 0x3D0:
                return 0x3B2;
            case 0x3D1:
                return 0x3B8;
            case 0x3D5:
                return 0x3C6;
            case 0x3D6:
                return 0x3C0;
            case 0x3F0:
                return 0x3BA;
            case 0x3F1:
                return 0x3C1;
            case 0x3F4:
                return 0x3B8;
            case 0x3F5:
                return 0x3B5;
            case 0x3F7:
                return 0x3F8;
            case 0x3F9:
                return 0x3F2;
            case 0x3FA:
                return 0x3FB;
            default:
                return c;
        }
    }
    if (c < 0x530) {
        if (c < 0x410) {
            return c + 80;
        }
        if (c < 0x430) {
            return c + 32;
        }
        if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || c >= 0x4D0) {
            return FoldPair(c, true);
        }
        if (c == 0x4C0) {
            return 0x4CF;
        }
        if (c >= 0x4C1 && c <= 0x4CE) {
            return FoldPair(c, false);
        }
        return c;
    }
    if (c >= 0x531 && c <= 0x556) {
        return c + 48;
    }
    if (c >= 0x1E00 && c <= 0x1EFF) {
        if (c == 0x1E9E) {
            return 0xDF;
        }
        if (c == 0x1E9B) {
            return 0x1E61;
        }
        if (c <= 0x1E95 || c >= 0x1EA0) {
            return FoldPair(c, true);
        }
        return c;
    }
    switch (c) {
        case 0x2126:
            return 0x3C9;
        case 0x212A:
            return 'k';
        case 0x212B:
            return 0xE5;
        default:
            break;
    }
    if (c >= 0xFF21 && c <= 0xFF3A) {
        return c + 32;
    }
    return c;
}

bool IsWildcard(char c) {
    return c == '*' || c == '?' || c == '#' || c == '[';
}

// Checks every character list: closed by "]", ranges in ascending order.
bool PatternIsWellFormed(std::string_view pattern) {
    std::size_t at = 0;
    while (at < pattern.size()) {
        if (pattern[at] != '[') {
            ++at;
            continue;
        }
        ++at;
        if (at < pattern.size() && pattern[at] == '!') {
            ++at;
        }
        char32_t previous = 0;
        bool have_previous = false;
        bool closed = false;
        while (at < pattern.size()) {
            if (pattern[at] == ']') {
                ++at;
                closed = true;
                break;
            }
            const Decoded item = DecodeAt(pattern, at);
            at += item.length;
            if (item.code == '-' && have_previous && at < pattern.size() && pattern[at] != ']') {
                const Decoded high = DecodeAt(pattern, at);
                at += high.length;
                if (high.code < previous) {
                    return false;
                }
                have_previous = false;
                continue;
            }
            previous = item.code;
            have_previous = true;
        }
        if (!closed) {
            return false;
        }
    }
    return true;
}

// Tests one character against the list starting after "[" (and "!").
// Sets list_end to the position after the closing "]". The list is known to
// be well formed.
bool ListContains(std::string_view pattern, std::size_t at, char32_t c, std::size_t& list_end) {
    const char32_t folded = FoldCase(c);
    bool found = false;
    char32_t previous = 0;
    bool have_previous = false;
    while (pattern[at] != ']') {
        const Decoded item = DecodeAt(pattern, at);
        at += item.length;
        if (item.code == '-' && have_previous && pattern[at] != ']') {
            const Decoded high = DecodeAt(pattern, at);
            at += high.length;
            const char32_t low_folded = FoldCase(previous);
            const char32_t high_folded = FoldCase(high.code);
            if ((c >= previous && c <= high.code) || (folded >= low_folded && folded <= high_folded)) {
                found = true;
            }
            have_previous = false;
            continue;
        }
        if (FoldCase(item.code) == folded) {
            found = true;
        }
        previous = item.code;
        have_previous = true;
    }
    list_end = at + 1;
    return found;
}

// Iterative matcher with one backtracking point (the last "*"): every other
// element consumes exactly one character, except "[]" which consumes none.
bool GeneralMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star_p = std::string_view::npos;
    std::size_t star_t = 0;
    while (true) {
        if (p < pattern.size() && pattern[p] == '*') {
            while (p < pattern.size() && pattern[p] == '*') {
                ++p;
            }
            star_p = p;
            star_t = t;
            continue;
        }
        if (p + 1 < pattern.size() && pattern[p] == '[' && pattern[p + 1] == ']') {
            p += 2;  // an empty list stands for the empty string
            continue;
        }
        if (t == text.size()) {
            if (p == pattern.size()) {
                return true;
            }
        } else if (p < pattern.size()) {
            const Decoded c = DecodeAt(text, t);
            bool matched;
            std::size_t next_p;
            switch (pattern[p]) {
                case '?':
                    matched = true;
                    next_p = p + 1;
                    break;
                case '#':
                    matched = c.code >= '0' && c.code <= '9';
                    next_p = p + 1;
                    break;
                case '[': {
                    std::size_t list = p + 1;
                    const bool negated = pattern[list] == '!';
                    if (negated) {
                        ++list;
                    }
                    matched = ListContains(pattern, list, c.code, next_p) != negated;
                    break;
                }
                default: {
                    const Decoded pc = DecodeAt(pattern, p);
                    matched = pc.code == c.code || FoldCase(pc.code) == FoldCase(c.code);
                    next_p = p + pc.length;
                    break;
                }
            }
            if (matched) {
                p = next_p;
                t += c.length;
                continue;
            }
        }
        if (star_p == std::string_view::npos || star_t == text.size()) {
            return false;
        }
        star_t += DecodeAt(text, star_t).length;
        t = star_t;
        p = star_p;
    }
}

enum class FastResult { kNoMatch, kMatch, kUndecided };

// Compares ASCII pattern bytes with text bytes ignoring ASCII case. A text
// byte above 0x7F before any mismatch leaves the answer to the general path.
FastResult CompareAscii(const char* pattern, const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const auto tc = static_cast<unsigned char>(text[i]);
        if (tc >= 0x80) {
            return FastResult::kUndecided;
        }
        if (kAsciiFold[tc] != kAsciiFold[static_cast<unsigned char>(pattern[i])]) {
            return FastResult::kNoMatch;
        }
    }
    return FastResult::kMatch;
}

// The same from the last byte backwards: ASCII bytes at the end of a text are
// its last characters, so a suffix can be decided up to the first byte above
// 0x7F met from the end.
FastResult CompareAsciiBackwards(const char* pattern, const char* text, std::size_t length) {
    for (std::size_t i = length; i-- > 0;) {
        const auto tc = static_cast<unsigned char>(text[i]);
        if (tc >= 0x80) {
            return FastResult::kUndecided;
        }
        if (kAsciiFold[tc] != kAsciiFold[static_cast<unsigned char>(pattern[i])]) {
            return FastResult::kNoMatch;
        }
    }
    return FastResult::kMatch;
}

bool AllAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

// Patterns made of ASCII literal runs and at most a leading and a trailing
// "*" (or "prefix*suffix"). Returns kUndecided for any other shape or when
// the text's non-ASCII bytes matter.
FastResult FastMatch(std::string_view pattern, std::string_view text) {
    std::size_t star = std::string_view::npos;
    std::size_t stars = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (static_cast<unsigned char>(c) >= 0x80 || (IsWildcard(c) && c != '*')) {
            return FastResult::kUndecided;
        }
        if (c == '*') {
            if (stars == 0) {
                star = i;
            }
            ++stars;
        }
    }
    if (stars == 0) {
        if (text.size() == pattern.size()) {
            return CompareAscii(pattern.data(), text.data(), text.size());
        }
        // Every pattern character is one byte; text with fewer bytes has fewer
        // characters, and longer text can only match through folding of a
        // non-ASCII character.
        return text.size() < pattern.size() || AllAscii(text) ? FastResult::kNoMatch : FastResult::kUndecided;
    }
    std::size_t last_star = pattern.rfind('*');
    if (last_star - star + 1 == stars) {
        // One run of stars: prefix*suffix, either possibly empty.
        const std::string_view prefix = pattern.substr(0, star);
        const std::string_view suffix = pattern.substr(last_star + 1);
        if (text.size() < prefix.size() + suffix.size()) {
            return FastResult::kNoMatch;
        }
        const FastResult tail =
            CompareAsciiBackwards(suffix.data(), text.data() + text.size() - suffix.size(), suffix.size());
        if (tail == FastResult::kNoMatch || prefix.empty()) {
            return tail;
        }
        const FastResult head = CompareAscii(prefix.data(), text.data(), prefix.size());
        if (head == FastResult::kNoMatch) {
            return head;
        }
        return head == FastResult::kMatch && tail == FastResult::kMatch ? FastResult::kMatch
                                                                        : FastResult::kUndecided;
    }
    // "*part*": only a leading and a trailing run, nothing but literals between.
    if (star != 0 || pattern.back() != '*') {
        return FastResult::kUndecided;
    }
    std::size_t begin = 0;
    while (pattern[begin] == '*') {
        ++begin;
    }
    std::size_t end = pattern.size();
    while (pattern[end - 1] == '*') {
        --end;
    }
    const std::string_view part = pattern.substr(begin, end - begin);
    if (part.find('*') != std::string_view::npos) {
        return FastResult::kUndecided;
    }
    if (text.size() < part.size()) {
        return FastResult::kNoMatch;
    }
    if (!AllAscii(text)) {
        return FastResult::kUndecided;
    }
    const auto first = kAsciiFold[static_cast<unsigned char>(part[0])];
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (kAsciiFold[static_cast<unsigned char>(text[at])] == first &&
            CompareAscii(part.data(), text.data() + at, part.size()) == FastResult::kMatch) {
            return FastResult::kMatch;
        }
    }
    return FastResult::kNoMatch;
}

}  // namespace

char32_t JetLikeFoldCase(char32_t c) {
    return FoldCase(c);
}

bool JetLikeMatch(std::string_view pattern, std::string_view text, bool* malformed) {
    if (malformed != nullptr) {
        *malformed = false;
    }
    const FastResult fast = FastMatch(pattern, text);
    if (fast != FastResult::kUndecided) {
        return fast == FastResult::kMatch;
    }
    if (!PatternIsWellFormed(pattern)) {
        if (malformed != nullptr) {
            *malformed = true;
        }
        return false;
    }
    return GeneralMatch(pattern, text);
}

}  // namespace korvane
