// The PostgreSQL forms of a lexed Jet statement's tokens.
//
// Names: PostgreSQL folds unquoted names to lower case, while Jet names ignore
// case, so every name is quoted in one spelling: a name given after AS in
// the statement (an alias) keeps the spelling written there; a catalogue
// table or column keeps the catalogue's spelling; any other word stays as
// written (functions, keywords). A name after "." is always a column.
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
                                    std::size_t end, const Names& names) {
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
    if (std::optional<std::string> alias = names.Alias(name)) {
        return alias;
    }
    if (qualifier) {
        return TableSpelling(name);
    }
    std::optional<std::string> column = ColumnSpelling(name);
    return column ? column : TableSpelling(name);
}

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

bool RewriteLike(std::vector<Token>& tokens, std::size_t like, std::size_t begin, std::size_t end,
                 std::vector<bool>& done, std::string& error) {
    const std::size_t before = PreviousSolid(tokens, begin, like, end);
    const bool negated = before < end && WordIs(tokens[before], "NOT");
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
    std::vector<bool> done(tokens.size(), false);
    for (std::size_t i = begin; i < end; ++i) {
        if (WordIs(tokens[i], "LIKE") && !RewriteLike(tokens, i, begin, end, done, error)) {
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
                spellings[i] = Spelling(tokens, i, begin, end, names);
            }
        }
    }
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
    for (std::size_t i = begin; i < end; ++i) {
        for (int c = 0; c < closers[i]; ++c) {
            tokens[i].text += ",0)";
        }
    }
    return true;
}

}  // namespace korvane
