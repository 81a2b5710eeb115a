// The Jet translator's tokens, shared by its lexer and its WHERE planner.
// Internal to the catalogue module.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/jet_sql.h"

namespace korvane {

enum class TokenKind { kSpace, kWord, kNumber, kName, kText, kDate, kPunct };

struct Token {
    TokenKind kind;
    std::string text;  // as emitted
    std::size_t position;
};

inline bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        const char y = b[i] >= 'a' && b[i] <= 'z' ? static_cast<char>(b[i] - 32) : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

inline bool WordIs(const Token& token, std::string_view keyword) {
    return token.kind == TokenKind::kWord && SameIgnoringAsciiCase(token.text, keyword);
}

inline bool PunctIs(const Token& token, std::string_view text) {
    return token.kind == TokenKind::kPunct && token.text == text;
}

// Orders the terms of every WHERE clause in tokens [begin, end) for SQLite,
// which tests them in the order written. The token count, and so every index
// into tokens, stays the same. Parentheses must be balanced.
void PlanWhereClauses(std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                      const JetPlanHints& hints);

// The case folding the Jet Like matcher uses (one character to one).
char32_t JetLikeFoldCase(char32_t c);

// A Jet Like pattern as a PostgreSQL regular expression (ASCII only, every
// other character written as \uXXXX or \UXXXXXXXX) that matches the same texts
// as JetLikeMatch, given texts stored as pg_text.h describes and compared in
// collation "C". False with error for a malformed pattern.
bool JetLikeToPgRegex(std::string_view pattern, std::string& regex, std::string& error);

// The same pattern for ILIKE in collation "C" (which folds ASCII letters
// only), when that matches exactly the texts JetLikeMatch matches: ASCII
// patterns of literals, "*" and "?" without k or s. False otherwise.
bool JetLikeToPgIlike(std::string_view pattern, std::string& like);

// Rewrites the tokens [begin, end) of a lexed statement for PostgreSQL: names
// quoted, texts and dates as PostgreSQL literals, Like as a regular expression
// match, division by zero as NULL. The token count stays the same.
bool RewriteTokensForPostgres(std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                              std::string& error);

// Gives each term of the ORDER BY clause in tokens [begin, end) SQLite's
// place for NULL: first when ascending, last when descending.
void OrderNullsAsSqlite(std::vector<Token>& tokens, std::size_t begin, std::size_t end);

}  // namespace korvane
