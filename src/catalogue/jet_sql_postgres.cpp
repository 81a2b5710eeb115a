// The PostgreSQL forms of a lexed Jet statement's tokens.
//
// Names: PostgreSQL folds unquoted names to lower case, while Jet names ignore
// case, so every name is quoted in one spelling: a name given after AS in
// the statement (an alias) keeps the spelling written there; a catalogue
// table or column keeps the catalogue's spelling; any other word stays as
// written (functions, keywords). A name after "." is always a column.
//
// A bare name that is a whole ORDER BY term means the answer's column of that
// name (an alias) before a table's column; anywhere else a table's column
// comes first, as SQLite resolves them.
//
// Numbers: SQLite keeps whole numbers in 64 bits where the server's integer
// columns hold 32, so an integer column in + - * is widened to bigint (the
// answer is still a whole number). Like on a number column compares its text
// as SQLite writes it: integers plainly, doubles with 15 significant digits
// and ".0" after a whole value. That holds for every value from 0.0001 to
// 10^15 (sizes up to a petabyte, every date from 1900); beyond, SQLite writes an
// exponent and the server writes the digits.
//
// Fillers: the empty text that stands for a number in a branch without that
// column ('' AS [Size]) becomes NaN, which sorts after every number as the
// empty text does on SQLite and reads back as no value.
#include <optional>
#include <string>
#include <vector>

#include "catalogue/jet_tokens.h"
#include "catalogue/pg_text.h"
#include "catalogue/schema.h"

namespace korvane {
namespace {

std::size_t NextSolid(const std::vector<Token>& tokens, std::size_t at, std::size_t end) {
    while (at < end && tokens[at].kind == TokenKind::kSpace) {
        ++at;
    }
    return at;
}

// The index of the solid token before at, or end when none.
std::size_t PreviousSolid(const std::vector<Token>& tokens, std::size_t begin, std::size_t at,
                          std::size_t end) {
    while (at > begin) {
        --at;
        if (tokens[at].kind != TokenKind::kSpace) {
            return at;
        }
    }
    return end;
}

// The value of a text token as the lexer emits it ('...' with '' doubled).
std::string TextValue(const Token& token) {
    std::string value;
    const std::string& text = token.text;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        value += text[i];
        if (text[i] == '\'') {
            ++i;
        }
    }
    return value;
}

std::string NameOf(const Token& token) {
    return token.kind == TokenKind::kName ? token.text.substr(1, token.text.size() - 2) : token.text;
}

std::optional<std::string> TableSpelling(std::string_view name) {
    for (const TableDef* table : CatalogueTables()) {
        if (SameIgnoringAsciiCase(table->name, name)) {
            return std::string(table->name);
        }
    }
    return std::nullopt;
}

std::optional<std::string> ColumnSpelling(std::string_view name) {
    for (const TableDef* table : CatalogueTables()) {
        const int index = table->ColumnIndex(name);
        if (index >= 0) {
            return std::string(table->columns[static_cast<std::size_t>(index)].name);
        }
    }
    return std::nullopt;
}

struct Names {
    std::vector<std::string> aliases;

    std::optional<std::string> Alias(std::string_view name) const {
        for (const std::string& alias : aliases) {
            if (SameIgnoringAsciiCase(alias, name)) {
                return alias;
            }
        }
        return std::nullopt;
    }
};

Names CollectAliases(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    Names names;
    for (std::size_t i = begin; i < end; ++i) {
        if (!WordIs(tokens[i], "AS")) {
            continue;
        }
        const std::size_t next = NextSolid(tokens, i + 1, end);
        if (next < end && (tokens[next].kind == TokenKind::kWord || tokens[next].kind == TokenKind::kName) &&
            !names.Alias(NameOf(tokens[next]))) {
            names.aliases.push_back(NameOf(tokens[next]));
        }
    }
    return names;
}

// The spelling to quote a name in, or none to leave a word as written.
std::optional<std::string> Spelling(const std::vector<Token>& tokens, std::size_t i, std::size_t begin,
                                    std::size_t end, const Names& names, bool order_term) {
    const std::string name = NameOf(tokens[i]);
    const std::size_t before = PreviousSolid(tokens, begin, i, end);
    const std::size_t after = NextSolid(tokens, i + 1, end);
    const bool qualified = before < end && PunctIs(tokens[before], ".");
    const bool qualifier = after < end && PunctIs(tokens[after], ".");
    const bool after_as = before < end && WordIs(tokens[before], "AS");
    if (after_as) {
        return name;
    }
    if (qualified) {
        return ColumnSpelling(name);
    }
    std::optional<std::string> alias = names.Alias(name);
    if (alias && (qualifier || order_term)) {
        return alias;
    }
    if (qualifier) {
        return TableSpelling(name);
    }
    std::optional<std::string> column = ColumnSpelling(name);
    if (column) {
        return column;
    }
    return alias ? alias : TableSpelling(name);
}

// Marks each name that is a whole term of an ORDER BY clause.
std::vector<bool> BareOrderTerms(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    std::vector<bool> bare(tokens.size(), false);
    std::vector<int> order_depths;  // depths of the ORDER BY clauses open
    int depth = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const Token& token = tokens[i];
        if (PunctIs(token, "(")) {
            ++depth;
        } else if (PunctIs(token, ")")) {
            --depth;
            while (!order_depths.empty() && order_depths.back() > depth) {
                order_depths.pop_back();
            }
        } else if (WordIs(token, "UNION")) {
            while (!order_depths.empty() && order_depths.back() >= depth) {
                order_depths.pop_back();
            }
        } else if (WordIs(token, "ORDER")) {
            const std::size_t by = NextSolid(tokens, i + 1, end);
            if (by < end && WordIs(tokens[by], "BY")) {
                order_depths.push_back(depth);
                i = by;
            }
        } else if ((token.kind == TokenKind::kName || token.kind == TokenKind::kWord) &&
                   !order_depths.empty() && order_depths.back() == depth) {
            const std::size_t before = PreviousSolid(tokens, begin, i, end);
            const std::size_t after = NextSolid(tokens, i + 1, end);
            const bool starts =
                before < end && (WordIs(tokens[before], "BY") || PunctIs(tokens[before], ","));
            const bool ends = after == end || PunctIs(tokens[after], ",") || PunctIs(tokens[after], ")") ||
                              WordIs(tokens[after], "ASC") || WordIs(tokens[after], "DESC");
            bare[i] = starts && ends;
        }
    }
    return bare;
}

// The first token of the name chain (Table.Column) that ends at last, or
// end when last ends none.
std::size_t ChainStart(const std::vector<Token>& tokens, std::size_t begin, std::size_t last,
                       std::size_t end) {
    if (tokens[last].kind != TokenKind::kName && tokens[last].kind != TokenKind::kWord) {
        return end;
    }
    std::size_t first = last;
    while (first >= begin + 2 && PunctIs(tokens[first - 1], ".") &&
           (tokens[first - 2].kind == TokenKind::kName || tokens[first - 2].kind == TokenKind::kWord)) {
        first -= 2;
    }
    return first;
}

// A text to put before the first token of a range and after its last.
struct Wrap {
    std::size_t first;
    std::size_t last;
    std::string before;
    std::string after;
};

// The end (exclusive) of the operand that starts at or after at, or at when
// there is none to read.
std::size_t OperandEnd(const std::vector<Token>& tokens, std::size_t at, std::size_t end) {
    std::size_t i = NextSolid(tokens, at, end);
    while (i < end && (PunctIs(tokens[i], "-") || PunctIs(tokens[i], "+"))) {
        i = NextSolid(tokens, i + 1, end);
    }
    if (i >= end) {
        return at;
    }
    const auto close_group = [&](std::size_t open) {
        int depth = 0;
        for (std::size_t j = open; j < end; ++j) {
            if (PunctIs(tokens[j], "(")) {
                ++depth;
            } else if (PunctIs(tokens[j], ")") && --depth == 0) {
                return j + 1;
            }
        }
        return at;
    };
    if (PunctIs(tokens[i], "(")) {
        return close_group(i);
    }
    if (tokens[i].kind == TokenKind::kNumber || tokens[i].kind == TokenKind::kDate) {
        return i + 1;
    }
    if (tokens[i].kind != TokenKind::kWord && tokens[i].kind != TokenKind::kName) {
        return at;
    }
    const std::size_t next = NextSolid(tokens, i + 1, end);
    if (tokens[i].kind == TokenKind::kWord && next < end && PunctIs(tokens[next], "(")) {
        return close_group(next);
    }
    std::size_t last = i;
    while (last + 2 < end && PunctIs(tokens[last + 1], ".") &&
           (tokens[last + 2].kind == TokenKind::kWord || tokens[last + 2].kind == TokenKind::kName)) {
        last += 2;
    }
    return last + 1;
}

// The column a Like tests when it is a number column, given whole (in
// parentheses or not) and not part of a larger operand: then its text as
// SQLite writes it is tested.
void LikeOnNumber(const std::vector<Token>& tokens, std::size_t operand_last, std::size_t begin,
                  std::size_t end, std::vector<Wrap>& wraps) {
    std::size_t last = operand_last;
    int closing = 0;
    while (last < end && last > begin && PunctIs(tokens[last], ")")) {
        ++closing;
        last = PreviousSolid(tokens, begin, last, end);
    }
    if (last >= end) {
        return;
    }
    const std::size_t first = ChainStart(tokens, begin, last, end);
    if (first >= end) {
        return;
    }
    std::size_t before = PreviousSolid(tokens, begin, first, end);
    for (int i = 0; i < closing; ++i) {
        if (before >= end || !PunctIs(tokens[before], "(")) {
            return;
        }
        before = PreviousSolid(tokens, begin, before, end);
    }
    const bool whole = before >= end || PunctIs(tokens[before], "(") || PunctIs(tokens[before], ",") ||
                       WordIs(tokens[before], "WHERE") || WordIs(tokens[before], "AND") ||
                       WordIs(tokens[before], "OR") || WordIs(tokens[before], "NOT") ||
                       WordIs(tokens[before], "ON") || WordIs(tokens[before], "HAVING") ||
                       WordIs(tokens[before], "SELECT");
    if (!whole) {
        return;
    }
    switch (ColumnTypeOfName(NameOf(tokens[last]))) {
        case ColumnType::Integer:
            wraps.push_back({first, last, "CAST(", " AS text) COLLATE \"C\""});
            break;
        case ColumnType::Double:
        case ColumnType::Date:
            // The numeric form of a double keeps 15 significant digits.
            wraps.push_back({first, last, "regexp_replace(CAST(CAST(",
                             " AS numeric) AS text),'^(-?[0-9]+)$','\\1.0') COLLATE \"C\""});
            break;
        default:
            break;
    }
}

bool RewriteLike(std::vector<Token>& tokens, std::size_t like, std::size_t begin, std::size_t end,
                 std::vector<bool>& done, std::vector<Wrap>& wraps, std::string& error) {
    const std::size_t before = PreviousSolid(tokens, begin, like, end);
    const bool negated = before < end && WordIs(tokens[before], "NOT");
    const std::size_t operand_last = negated ? PreviousSolid(tokens, begin, before, end) : before;
    if (operand_last < end) {
        LikeOnNumber(tokens, operand_last, begin, end, wraps);
    }
    const std::size_t pattern = NextSolid(tokens, like + 1, end);
    if (pattern >= end || tokens[pattern].kind != TokenKind::kText) {
        error = "Like needs a text pattern in quotes after it (at character " +
                std::to_string(tokens[like].position + 1) + ")";
        return false;
    }
    done[like] = true;
    done[pattern] = true;
    std::string translated;
    if (JetLikeToPgIlike(TextValue(tokens[pattern]), translated)) {
        // ILIKE is the quicker; "C" keeps its folding to ASCII letters.
        tokens[like].text = "ILIKE ";
        tokens[pattern].text = PgTextLiteral(translated) + " COLLATE \"C\"";
        if (negated) {
            tokens[before].text = "NOT";
            done[before] = true;
        }
        return true;
    }
    if (!JetLikeToPgRegex(TextValue(tokens[pattern]), translated, error)) {
        return false;
    }
    if (negated) {
        tokens[before].text.clear();
        done[before] = true;
    }
    tokens[like].text = negated ? "!~" : "~";
    tokens[pattern].text = PgTextLiteral(translated);
    return true;
}

bool IsArithmetic(const Token& token) {
    return PunctIs(token, "+") || PunctIs(token, "-") || PunctIs(token, "*");
}

// Widens each integer column that is an operand of + - * (through any
// parentheses around it) to bigint.
void WidenIntegerArithmetic(const std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                            const std::vector<std::optional<std::string>>& spellings,
                            std::vector<Wrap>& wraps) {
    for (std::size_t last = begin; last < end; ++last) {
        if (!spellings[last] ||
            (tokens[last].kind != TokenKind::kName && tokens[last].kind != TokenKind::kWord)) {
            continue;
        }
        const std::size_t after_name = NextSolid(tokens, last + 1, end);
        if (after_name < end && PunctIs(tokens[after_name], ".")) {
            continue;  // a qualifier; the chain ends later
        }
        // An alias of the same name as an integer column is widened too: the
        // server takes such a name in an expression for the column.
        const std::size_t first = ChainStart(tokens, begin, last, end);
        if (first >= end || ColumnTypeOfName(*spellings[last]) != ColumnType::Integer) {
            continue;
        }
        std::size_t before = PreviousSolid(tokens, begin, first, end);
        while (before < end && PunctIs(tokens[before], "(")) {
            before = PreviousSolid(tokens, begin, before, end);
        }
        std::size_t after = after_name;
        while (after < end && PunctIs(tokens[after], ")")) {
            after = NextSolid(tokens, after + 1, end);
        }
        if ((before < end && IsArithmetic(tokens[before])) || (after < end && IsArithmetic(tokens[after]))) {
            wraps.push_back({first, last, "CAST(", " AS bigint)"});
        }
    }
}

std::string FillerFor(const std::vector<Token>& tokens, std::size_t text, std::size_t end) {
    if (tokens[text].text != "''") {
        return {};
    }
    const std::size_t as = NextSolid(tokens, text + 1, end);
    if (as >= end || !WordIs(tokens[as], "AS")) {
        return {};
    }
    const std::size_t alias = NextSolid(tokens, as + 1, end);
    if (alias >= end) {
        return {};
    }
    switch (ColumnTypeOfName(NameOf(tokens[alias]))) {
        case ColumnType::Double:
        case ColumnType::Date:
            return "CAST('NaN' AS double precision)";
        case ColumnType::Integer:
            return "CAST(NULL AS integer)";
        default:
            return {};
    }
}

}  // namespace

void OrderNullsAsSqlite(std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    std::size_t at = NextSolid(tokens, begin, end);
    if (at >= end || !WordIs(tokens[at], "ORDER")) {
        return;
    }
    at = NextSolid(tokens, at + 1, end);  // BY
    int depth = 0;
    std::size_t last = end;
    const auto finish_term = [&] {
        if (last < end) {
            tokens[last].text += WordIs(tokens[last], "DESC") ? " NULLS LAST" : " NULLS FIRST";
        }
        last = end;
    };
    for (std::size_t i = at + 1; i < end; ++i) {
        if (PunctIs(tokens[i], "(")) {
            ++depth;
        } else if (PunctIs(tokens[i], ")")) {
            --depth;
        } else if (depth == 0 && PunctIs(tokens[i], ",")) {
            finish_term();
            continue;
        }
        if (tokens[i].kind != TokenKind::kSpace) {
            last = i;
        }
    }
    finish_term();
}

bool RewriteTokensForPostgres(std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                              std::string& error) {
    const Names names = CollectAliases(tokens, begin, end);
    const std::vector<bool> order_terms = BareOrderTerms(tokens, begin, end);
    std::vector<bool> done(tokens.size(), false);
    std::vector<Wrap> wraps;
    for (std::size_t i = begin; i < end; ++i) {
        if (WordIs(tokens[i], "LIKE") && !RewriteLike(tokens, i, begin, end, done, wraps, error)) {
            return false;
        }
    }
    // Spellings are decided on the original tokens, then applied.
    std::vector<std::optional<std::string>> spellings(tokens.size());
    for (std::size_t i = begin; i < end; ++i) {
        const Token& token = tokens[i];
        if (!done[i] && (token.kind == TokenKind::kName || token.kind == TokenKind::kWord)) {
            const std::size_t after = NextSolid(tokens, i + 1, end);
            const bool call = token.kind == TokenKind::kWord && after < end && PunctIs(tokens[after], "(");
            if (!call) {
                spellings[i] = Spelling(tokens, i, begin, end, names, order_terms[i]);
            }
        }
    }
    WidenIntegerArithmetic(tokens, begin, end, spellings, wraps);
    std::vector<int> closers(tokens.size(), 0);
    for (std::size_t i = begin; i < end; ++i) {
        Token& token = tokens[i];
        if (spellings[i]) {
            token.text = QuotePgName(*spellings[i]);
        } else if (token.kind == TokenKind::kName) {
            token.text = QuotePgName(NameOf(token));
        } else if (token.kind == TokenKind::kText && !done[i]) {
            const std::string filler = FillerFor(tokens, i, end);
            token.text = filler.empty() ? PgTextLiteral(TextValue(token)) : filler;
        } else if (token.kind == TokenKind::kDate) {
            token.text = "CAST(" + token.text + " AS double precision)";
        } else if (PunctIs(token, "/")) {
            // SQLite answers NULL for a division by zero; PostgreSQL would fail.
            const std::size_t operand_end = OperandEnd(tokens, i + 1, end);
            if (operand_end > i + 1) {
                token.text = "/NULLIF(";
                ++closers[operand_end - 1];
            }
        }
    }
    for (const Wrap& wrap : wraps) {
        tokens[wrap.first].text.insert(0, wrap.before);
        tokens[wrap.last].text += wrap.after;
    }
    for (std::size_t i = begin; i < end; ++i) {
        for (int c = 0; c < closers[i]; ++c) {
            tokens[i].text += ",0)";
        }
    }
    return true;
}

}  // namespace korvane
