// Ordering the terms of WHERE clauses. SQLite evaluates the terms it does
// not answer from an index in the order they are written, and a term that
// rejects a row spares the rest: a query's numeric criteria reject most rows
// at the cost of reading one column, while Like calls a function for each
// row it sees and the folder scope usually holds for every row.
#include <algorithm>
#include <cstdlib>

#include "catalogue/jet_tokens.h"

namespace korvane {
namespace {

struct Span {
    std::size_t begin;
    std::size_t end;
};

// Cheapest first; a stable sort keeps the written order within a class.
enum class TermCost { kCompare = 0, kScope = 1, kCall = 2 };

// Words at the top of a WHERE clause that bind looser than And or that hide
// an And of their own: the clause is then not a plain chain and stays as it
// is written.
constexpr std::string_view kChainBreakers[] = {"OR",   "XOR",  "EQV",  "IMP",  "BETWEEN",
                                               "CASE", "WHEN", "THEN", "ELSE", "END"};

constexpr std::string_view kClauseEnds[] = {"GROUP", "HAVING", "ORDER", "UNION", "WHERE"};

bool WordIsOneOf(const Token& token, const std::string_view* words, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (WordIs(token, words[i])) {
            return true;
        }
    }
    return false;
}

bool NameIsParentId(const Token& token) {
    return token.kind == TokenKind::kName && SameIgnoringAsciiCase(token.text, "[Parent ID]");
}

std::size_t NextSolid(const std::vector<Token>& tokens, std::size_t at, std::size_t end) {
    while (at < end && tokens[at].kind == TokenKind::kSpace) {
        ++at;
    }
    return at;
}

// The first token after a WHERE clause that starts after `from`.
std::size_t ClauseEnd(const std::vector<Token>& tokens, std::size_t from, std::size_t end) {
    int depth = 0;
    for (std::size_t i = from; i < end; ++i) {
        const Token& token = tokens[i];
        if (PunctIs(token, "(")) {
            ++depth;
        } else if (PunctIs(token, ")")) {
            if (depth == 0) {
                return i;
            }
            --depth;
        } else if (depth == 0 && WordIsOneOf(token, kClauseEnds, std::size(kClauseEnds))) {
            return i;
        }
    }
    return end;
}

Span Trimmed(const std::vector<Token>& tokens, std::size_t begin, std::size_t end) {
    while (begin < end && tokens[begin].kind == TokenKind::kSpace) {
        ++begin;
    }
    while (end > begin && tokens[end - 1].kind == TokenKind::kSpace) {
        --end;
    }
    return {begin, end};
}

// The terms of a clause that is a chain of And at its top; false otherwise.
bool SplitAndChain(const std::vector<Token>& tokens, Span clause, std::vector<Span>& terms) {
    int depth = 0;
    std::size_t start = clause.begin;
    for (std::size_t i = clause.begin; i < clause.end; ++i) {
        const Token& token = tokens[i];
        if (PunctIs(token, "(")) {
            ++depth;
        } else if (PunctIs(token, ")")) {
            --depth;
        } else if (depth == 0 && token.kind == TokenKind::kWord) {
            if (WordIs(token, "AND")) {
                terms.push_back(Trimmed(tokens, start, i));
                start = i + 1;
            } else if (WordIsOneOf(token, kChainBreakers, std::size(kChainBreakers))) {
                return false;
            }
        }
    }
    terms.push_back(Trimmed(tokens, start, clause.end));
    return std::none_of(terms.begin(), terms.end(), [](const Span& term) { return term.begin == term.end; });
}

TermCost CostOf(const std::vector<Token>& tokens, Span term) {
    bool scope = false;
    bool other_column = false;
    for (std::size_t i = term.begin; i < term.end; ++i) {
        const Token& token = tokens[i];
        if (token.kind != TokenKind::kWord && token.kind != TokenKind::kName) {
            continue;
        }
        const std::size_t next = NextSolid(tokens, i + 1, term.end);
        const bool qualifier = next < term.end && PunctIs(tokens[next], ".");
        if (token.kind == TokenKind::kWord) {
            if (WordIs(token, "LIKE") || WordIs(token, "IN") || WordIs(token, "SELECT") ||
                WordIs(token, "EXISTS")) {
                return TermCost::kCall;
            }
            if (WordIs(token, "AND") || WordIs(token, "OR") || WordIs(token, "NOT") || WordIs(token, "IS") ||
                WordIs(token, "NULL")) {
                continue;
            }
        }
        if (next < term.end && PunctIs(tokens[next], "(")) {
            return TermCost::kCall;  // a function call
        }
        if (qualifier) {
            continue;
        }
        if (NameIsParentId(token)) {
            scope = true;
        } else {
            other_column = true;
        }
    }
    return scope && !other_column ? TermCost::kScope : TermCost::kCompare;
}

// True when a scope term bounds [Parent ID] to more than half of the
// catalogue's folders. Each row found through the index costs a lookup in
// the table, and past about half of the rows reading the whole table in
// order is the cheaper way. Only the plain shape "[Parent ID]) op n" is read;
// anything else is left to SQLite.
bool IsWideScope(const std::vector<Token>& tokens, Span term, const JetPlanHints& hints) {
    if (hints.highest_folder_id <= 0) {
        return false;
    }
    double low = 0;
    auto high = static_cast<double>(hints.highest_folder_id);
    for (std::size_t i = term.begin; i < term.end; ++i) {
        if (WordIs(tokens[i], "OR") || WordIs(tokens[i], "NOT")) {
            return false;
        }
        if (!NameIsParentId(tokens[i])) {
            continue;
        }
        std::size_t at = i + 1;
        while (at < term.end && (tokens[at].kind == TokenKind::kSpace || PunctIs(tokens[at], ")"))) {
            ++at;
        }
        if (at >= term.end || tokens[at].kind != TokenKind::kPunct) {
            return false;
        }
        const std::string& op = tokens[at].text;
        ++at;
        while (at < term.end && (tokens[at].kind == TokenKind::kSpace || PunctIs(tokens[at], "("))) {
            ++at;
        }
        if (at >= term.end || tokens[at].kind != TokenKind::kNumber) {
            return false;
        }
        const double value = std::strtod(tokens[at].text.c_str(), nullptr);
        if (op == ">" || op == ">=") {
            low = std::max(low, value);
        } else if (op == "<" || op == "<=") {
            high = std::min(high, value);
        } else if (op != "<>") {
            return false;  // "=" names one folder: the index is the way
        }
    }
    return (high - low) * 2 > static_cast<double>(hints.highest_folder_id);
}

// "+File.[Parent ID]": the same value, but no longer a column SQLite can
// answer from an index.
void ReadWithoutIndex(std::vector<Token>& tokens, Span term) {
    for (std::size_t i = term.begin; i < term.end; ++i) {
        if (!NameIsParentId(tokens[i])) {
            continue;
        }
        std::size_t first = i;
        if (i > term.begin && tokens[i - 1].kind != TokenKind::kSpace && !PunctIs(tokens[i - 1], "(")) {
            // Only "Table.[Parent ID]" is marked at its qualifier; any other
            // neighbour leaves this reference to SQLite.
            if (i < term.begin + 2 || !PunctIs(tokens[i - 1], ".") ||
                (tokens[i - 2].kind != TokenKind::kWord && tokens[i - 2].kind != TokenKind::kName)) {
                continue;
            }
            first = i - 2;
        }
        tokens[first].text.insert(0, 1, '+');
    }
}

void PlanClause(std::vector<Token>& tokens, Span clause, const JetPlanHints& hints) {
    std::vector<Span> terms;
    if (!SplitAndChain(tokens, clause, terms)) {
        return;
    }
    std::vector<std::pair<TermCost, std::size_t>> order;
    for (std::size_t t = 0; t < terms.size(); ++t) {
        const TermCost cost = CostOf(tokens, terms[t]);
        if (cost == TermCost::kScope && IsWideScope(tokens, terms[t], hints)) {
            ReadWithoutIndex(tokens, terms[t]);
        }
        order.emplace_back(cost, t);
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    bool moved = false;
    for (std::size_t t = 0; t < order.size(); ++t) {
        moved = moved || order[t].second != t;
    }
    if (!moved) {
        return;
    }
    // The separators (blanks and And) stay where they are; the terms take
    // their new places between them, so the token count does not change.
    std::vector<Token> planned;
    for (std::size_t t = 0; t < order.size(); ++t) {
        const Span term = terms[order[t].second];
        planned.insert(planned.end(), tokens.begin() + static_cast<std::ptrdiff_t>(term.begin),
                       tokens.begin() + static_cast<std::ptrdiff_t>(term.end));
        if (t + 1 < order.size()) {
            planned.insert(planned.end(), tokens.begin() + static_cast<std::ptrdiff_t>(terms[t].end),
                           tokens.begin() + static_cast<std::ptrdiff_t>(terms[t + 1].begin));
        }
    }
    std::move(planned.begin(), planned.end(),
              tokens.begin() + static_cast<std::ptrdiff_t>(terms.front().begin));
}

}  // namespace

void PlanWhereClauses(std::vector<Token>& tokens, std::size_t begin, std::size_t end,
                      const JetPlanHints& hints) {
    std::vector<std::size_t> wheres;
    for (std::size_t i = begin; i < end; ++i) {
        if (WordIs(tokens[i], "WHERE")) {
            wheres.push_back(i);
        }
    }
    // Last first: a clause inside a subquery is planned before the clause
    // around it moves it as part of one of its terms.
    for (auto where = wheres.rbegin(); where != wheres.rend(); ++where) {
        const std::size_t clause_end = ClauseEnd(tokens, *where + 1, end);
        PlanClause(tokens, Trimmed(tokens, *where + 1, clause_end), hints);
    }
}

}  // namespace korvane
