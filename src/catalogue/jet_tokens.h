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

// keyword in upper case; the token's own case is ignored.
inline bool WordIs(const Token& token, std::string_view keyword) {
    if (token.kind != TokenKind::kWord || token.text.size() != keyword.size()) {
        return false;
    }
    for (std::size_t i = 0; i < keyword.size(); ++i) {
        char c = token.text[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
        if (c != keyword[i]) {
            return false;
        }
    }
    return true;
}

inline bool PunctIs(const Token& token, std::string_view text) {
    return token.kind == TokenKind::kPunct && token.text == text;
}

// Orders the terms of every WHERE clause in tokens [begin, end) for SQLite,
// which tests them in the order written. The token count, and so every index
// into tokens, stays the same. Parentheses must be balanced.
void PlanWhereClauses(std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                      const JetPlanHints& hints);

}  // namespace korvane
