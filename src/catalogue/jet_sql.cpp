// Jet SQL to SQLite (or PostgreSQL): one left-to-right lexing pass that turns each literal
// into one token (so nothing inside a literal or a bracketed name is ever
// rewritten), then a structural pass over the tokens for TOP, UNION and
// ORDER BY.
#include "catalogue/jet_sql.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/day_number.h"
#include "catalogue/jet_tokens.h"

namespace korvane {
namespace {

std::string At(std::size_t position) {
    return " (at character " + std::to_string(position + 1) + ")";
}

// Words that are not Jet, or that would reach SQLite's own LIKE, GLOB or
// collations and so break the translator's contract. INTO, FOR and RETURNING
// have no place in a SELECT SQLite can run, while a server would make a
// table of the answer or lock the rows.
constexpr std::string_view kRefusedWords[] = {
    "DISTINCTROW", "IIF",    "NZ",     "ESCAPE", "GLOB",   "REGEXP",  "MATCH", "COLLATE", "LIMIT",
    "OFFSET",      "PRAGMA", "ATTACH", "DETACH", "VACUUM", "REINDEX", "INTO",  "FOR",     "RETURNING",
};

class Lexer {
  public:
    explicit Lexer(std::string_view sql) : sql_(sql) {}

    bool Run(std::vector<Token>& tokens, std::string& error) {
        while (at_ < sql_.size()) {
            const char c = sql_[at_];
            const std::size_t start = at_;
            bool ok = true;
            if (IsSpace(c)) {
                while (at_ < sql_.size() && IsSpace(sql_[at_])) {
                    ++at_;
                }
                tokens.push_back({TokenKind::kSpace, std::string(sql_.substr(start, at_ - start)), start});
            } else if (c == '[') {
                ok = Bracket(tokens, error);
            } else if (c == '"') {
                ok = DoubleQuoted(tokens, error);
            } else if (c == '\'') {
                ok = SingleQuoted(tokens, error);
            } else if (c == '#') {
                ok = Date(tokens, error);
            } else if (IsLetter(c)) {
                while (at_ < sql_.size() && (IsLetter(sql_[at_]) || IsDigit(sql_[at_]))) {
                    ++at_;
                }
                tokens.push_back({TokenKind::kWord, std::string(sql_.substr(start, at_ - start)), start});
                for (const std::string_view refused : kRefusedWords) {
                    if (WordIs(tokens.back(), refused)) {
                        error = "the word " + tokens.back().text + " is not supported" + At(start);
                        return false;
                    }
                }
            } else if (IsDigit(c)) {
                while (at_ < sql_.size() && IsDigit(sql_[at_])) {
                    ++at_;
                }
                if (at_ < sql_.size() && sql_[at_] == '.') {
                    ++at_;
                    while (at_ < sql_.size() && IsDigit(sql_[at_])) {
                        ++at_;
                    }
                }
                tokens.push_back({TokenKind::kNumber, std::string(sql_.substr(start, at_ - start)), start});
            } else {
                ok = Punctuation(tokens, error);
            }
            if (!ok) {
                return false;
            }
        }
        return true;
    }

  private:
    bool Bracket(std::vector<Token>& tokens, std::string& error) {
        const std::size_t end = sql_.find(']', at_ + 1);
        if (end == std::string_view::npos) {
            error = "a name opened with [ has no closing ]" + At(at_);
            return false;
        }
        tokens.push_back({TokenKind::kName, std::string(sql_.substr(at_, end + 1 - at_)), at_});
        at_ = end + 1;
        return true;
    }

    bool DoubleQuoted(std::vector<Token>& tokens, std::string& error) {
        const std::size_t start = at_;
        std::string text = "'";
        ++at_;
        while (true) {
            if (at_ >= sql_.size()) {
                error = "a text opened with \" has no closing \"" + At(start);
                return false;
            }
            const char c = sql_[at_++];
            if (c == '"') {
                if (at_ < sql_.size() && sql_[at_] == '"') {
                    text += '"';
                    ++at_;
                    continue;
                }
                break;
            }
            if (c == '\'') {
                text += '\'';
            }
            text += c;
        }
        text += '\'';
        tokens.push_back({TokenKind::kText, std::move(text), start});
        return true;
    }

    bool SingleQuoted(std::vector<Token>& tokens, std::string& error) {
        const std::size_t start = at_;
        ++at_;
        while (true) {
            if (at_ >= sql_.size()) {
                error = "a text opened with ' has no closing '" + At(start);
                return false;
            }
            if (sql_[at_++] == '\'') {
                if (at_ < sql_.size() && sql_[at_] == '\'') {
                    ++at_;
                    continue;
                }
                break;
            }
        }
        tokens.push_back({TokenKind::kText, std::string(sql_.substr(start, at_ - start)), start});
        return true;
    }

    bool Date(std::vector<Token>& tokens, std::string& error) {
        const std::size_t start = at_;
        const std::size_t end = sql_.find('#', at_ + 1);
        if (end == std::string_view::npos) {
            error = "a date opened with # has no closing #" + At(start);
            return false;
        }
        const std::string_view literal = sql_.substr(start, end + 1 - start);
        double day_number = 0;
        std::string problem;
        if (!ParseDate(sql_.substr(start + 1, end - start - 1), day_number, problem)) {
            error = "the date " + std::string(literal) + " " + problem + At(start);
            return false;
        }
        tokens.push_back({TokenKind::kDate, FormatDayNumber(day_number), start});
        at_ = end + 1;
        return true;
    }

    // m/d/yyyy with an optional h:m or h:m:s; one or two digits per field
    // except the four-digit year. Any other form is refused rather than guessed.
    static bool ParseDate(std::string_view text, double& day_number, std::string& problem) {
        std::size_t at = 0;
        const auto skip_blanks = [&] {
            while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
                ++at;
            }
        };
        const auto field = [&](std::size_t min_digits, std::size_t max_digits, int& value) {
            const std::size_t begin = at;
            value = 0;
            while (at < text.size() && IsDigit(text[at]) && at - begin < max_digits) {
                value = value * 10 + (text[at] - '0');
                ++at;
            }
            const std::size_t digits = at - begin;
            return digits >= min_digits && (at == text.size() || !IsDigit(text[at]));
        };
        const auto expect = [&](char separator) {
            if (at < text.size() && text[at] == separator) {
                ++at;
                return true;
            }
            return false;
        };
        problem = "is not in the form m/d/yyyy or m/d/yyyy h:m:s";
        int month = 0, day = 0, year = 0, hour = 0, minute = 0, second = 0;
        skip_blanks();
        if (!field(1, 2, month) || !expect('/') || !field(1, 2, day) || !expect('/')) {
            return false;
        }
        if (!field(4, 4, year)) {
            problem = "needs a four-digit year";
            return false;
        }
        const std::size_t after_date = at;
        skip_blanks();
        if (at < text.size() && at > after_date) {
            if (!field(1, 2, hour) || !expect(':') || !field(1, 2, minute)) {
                return false;
            }
            if (expect(':') && !field(1, 2, second)) {
                return false;
            }
            skip_blanks();
        }
        if (at != text.size()) {
            return false;
        }
        if (month > 12) {
            problem = "has a month above 12; only month/day/year dates are read";
            return false;
        }
        if (hour > 23 || minute > 59 || second > 59) {
            problem = "has a time of day out of range";
            return false;
        }
        if (year < 1899 || (year == 1899 && (month < 12 || day < 30))) {
            problem = "is before 12/30/1899";
            return false;
        }
        if (!DayNumberFromCivil(year, month, day, hour, minute, second, day_number)) {
            problem = "is not a calendar date";
            return false;
        }
        return true;
    }

    bool Punctuation(std::vector<Token>& tokens, std::string& error) {
        const std::size_t start = at_;
        const char c = sql_[at_];
        const char next = at_ + 1 < sql_.size() ? sql_[at_ + 1] : '\0';
        if (c == '-' && next == '-') {
            error = "-- is not supported (it would start a comment)" + At(start);
            return false;
        }
        if (c == '/' && next == '*') {
            error = "/* is not supported (it would start a comment)" + At(start);
            return false;
        }
        if (c == '<' || c == '>' || c == '=') {
            while (at_ < sql_.size() && (sql_[at_] == '<' || sql_[at_] == '>' || sql_[at_] == '=')) {
                ++at_;
            }
            const std::string_view op = sql_.substr(start, at_ - start);
            if (op != "=" && op != "<" && op != ">" && op != "<=" && op != ">=" && op != "<>") {
                error = "the operator " + std::string(op) + " is not supported" + At(start);
                return false;
            }
            tokens.push_back({TokenKind::kPunct, std::string(op), start});
            return true;
        }
        if (std::string_view("(),.;+-*/").find(c) == std::string_view::npos) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte >= 0x20 && byte < 0x7F) {
                error = std::string("the character ") + c + " is not supported";
            } else {
                static constexpr char kHex[] = "0123456789ABCDEF";
                error = std::string("the byte 0x") + kHex[byte >> 4] + kHex[byte & 15] +
                        " is not allowed outside a text or a [name]";
            }
            if (c == '&') {
                error += "; join texts before building the statement";
            }
            error += At(start);
            return false;
        }
        tokens.push_back({TokenKind::kPunct, std::string(1, c), start});
        ++at_;
        return true;
    }

    std::string_view sql_;
    std::size_t at_ = 0;
};

// A SELECT branch of the statement: tokens [begin, end) without the
// whitespace around it.
struct Branch {
    std::size_t begin;
    std::size_t end;
    std::string limit;  // TOP n, moved to a LIMIT
    std::size_t top_begin = 0;
    std::size_t top_end = 0;  // tokens [top_begin, top_end) are dropped
    std::size_t blank_drop = 0;
};

std::size_t SkipSpace(const std::vector<Token>& tokens, std::size_t at, std::size_t end) {
    while (at < end && tokens[at].kind == TokenKind::kSpace) {
        ++at;
    }
    return at;
}

// Finds "SELECT [ALL|DISTINCT] TOP n" at the head of a branch. Any other TOP
// in the branch is refused.
bool ReadTop(const std::vector<Token>& tokens, Branch& branch, std::string& error) {
    if (!WordIs(tokens[branch.begin], "SELECT")) {
        error = "a statement or UNION branch must start with SELECT" + At(tokens[branch.begin].position);
        return false;
    }
    std::size_t at = SkipSpace(tokens, branch.begin + 1, branch.end);
    if (at < branch.end && (WordIs(tokens[at], "DISTINCT") || WordIs(tokens[at], "ALL"))) {
        at = SkipSpace(tokens, at + 1, branch.end);
    }
    if (at < branch.end && WordIs(tokens[at], "TOP")) {
        const std::size_t top = at;
        at = SkipSpace(tokens, at + 1, branch.end);
        if (at >= branch.end || tokens[at].kind != TokenKind::kNumber ||
            tokens[at].text.find('.') != std::string::npos || tokens[at].text.size() > 10 ||
            std::stoll(tokens[at].text) > INT32_MAX) {
            error = "TOP must be followed by a whole number of rows" + At(tokens[top].position);
            return false;
        }
        branch.limit = std::to_string(std::stoll(tokens[at].text));
        const std::size_t after = SkipSpace(tokens, at + 1, branch.end);
        if (after < branch.end && WordIs(tokens[after], "PERCENT")) {
            error = "TOP n PERCENT is not supported" + At(tokens[top].position);
            return false;
        }
        branch.top_begin = top;
        branch.top_end = at + 1;
        // One blank after n goes with it, so "SELECT TOP 5 x" becomes "SELECT x".
        if (branch.top_end < branch.end && tokens[branch.top_end].kind == TokenKind::kSpace &&
            tokens[branch.top_end].text[0] == ' ') {
            branch.blank_drop = 1;
        }
        at = branch.top_end;
    }
    for (std::size_t i = at; i < branch.end; ++i) {
        if (WordIs(tokens[i], "TOP")) {
            error = "TOP is supported only right after the SELECT of a statement or UNION branch" +
                    At(tokens[i].position);
            return false;
        }
    }
    return true;
}

void EmitRange(const std::vector<Token>& tokens, std::size_t begin, std::size_t end, std::string& out) {
    for (std::size_t i = begin; i < end; ++i) {
        const Token& token = tokens[i];
        // A day number is a numeric token: keep it apart from a neighbouring
        // word or number, which "#1/1/2000#And" would otherwise run into.
        if (token.kind == TokenKind::kDate && !out.empty() && (IsLetter(out.back()) || IsDigit(out.back()))) {
            out += ' ';
        }
        out += token.text;
        if (token.kind == TokenKind::kDate && i + 1 < end &&
            (tokens[i + 1].kind == TokenKind::kWord || tokens[i + 1].kind == TokenKind::kNumber ||
             tokens[i + 1].kind == TokenKind::kDate)) {
            out += ' ';
        }
    }
}

void EmitBranch(const std::vector<Token>& tokens, const Branch& branch, std::string& out) {
    if (branch.limit.empty()) {
        EmitRange(tokens, branch.begin, branch.end, out);
        return;
    }
    EmitRange(tokens, branch.begin, branch.top_begin, out);
    std::size_t rest = branch.top_end;
    if (branch.blank_drop > 0) {
        out += tokens[rest].text.substr(1);
        ++rest;
    }
    EmitRange(tokens, rest, branch.end, out);
}

bool Translate(std::string_view jet_sql, std::string& sqlite_sql, std::string& error,
               const JetPlanHints& hints, bool postgres) {
    sqlite_sql.clear();
    error.clear();
    if (const std::size_t nul = jet_sql.find('\0'); nul != std::string_view::npos) {
        // SQLite would end the statement there, whatever surrounds it.
        error = "the statement holds a NUL byte" + At(nul);
        return false;
    }
    std::vector<Token> tokens;
    if (!Lexer(jet_sql).Run(tokens, error)) {
        return false;
    }
    // Rule: one statement, the trailing ";" and blanks dropped.
    std::size_t end = tokens.size();
    while (end > 0 && tokens[end - 1].kind == TokenKind::kSpace) {
        --end;
    }
    if (end > 0 && tokens[end - 1].text == ";" && tokens[end - 1].kind == TokenKind::kPunct) {
        --end;
        while (end > 0 && tokens[end - 1].kind == TokenKind::kSpace) {
            --end;
        }
    }
    const std::size_t begin = SkipSpace(tokens, 0, end);
    if (begin == end) {
        error = "the statement is empty";
        return false;
    }

    // Branches at depth-0 UNION [ALL]; the separators keep their text.
    std::vector<Branch> branches;
    std::vector<std::pair<std::size_t, std::size_t>> separators;  // token ranges between branches
    int depth = 0;
    std::size_t branch_begin = begin;
    std::size_t order_by = end;
    for (std::size_t i = begin; i < end; ++i) {
        const Token& token = tokens[i];
        if (token.kind == TokenKind::kPunct) {
            if (token.text == "(") {
                ++depth;
            } else if (token.text == ")") {
                if (--depth < 0) {
                    error = "a ) has no matching (" + At(token.position);
                    return false;
                }
            } else if (token.text == ";") {
                error = "only one statement can be given" + At(token.position);
                return false;
            }
            continue;
        }
        if (depth != 0) {
            continue;
        }
        if (WordIs(token, "UNION")) {
            std::size_t branch_end = i;
            while (branch_end > branch_begin && tokens[branch_end - 1].kind == TokenKind::kSpace) {
                --branch_end;
            }
            std::size_t next = SkipSpace(tokens, i + 1, end);
            if (next < end && WordIs(tokens[next], "ALL")) {
                next = SkipSpace(tokens, next + 1, end);
            }
            if (branch_end == branch_begin || next == end) {
                error = "UNION needs a SELECT on each side" + At(token.position);
                return false;
            }
            branches.push_back({branch_begin, branch_end, {}});
            separators.emplace_back(branch_end, next);
            branch_begin = next;
            order_by = end;
            i = next - 1;
        } else if (WordIs(token, "ORDER")) {
            const std::size_t by = SkipSpace(tokens, i + 1, end);
            if (by < end && WordIs(tokens[by], "BY") && order_by == end) {
                order_by = i;
            }
        }
    }
    if (depth != 0) {
        error = "a ( is not closed";
        return false;
    }
    // order_by is now the last branch's depth-0 ORDER BY, which sorts the
    // whole statement; one in an earlier branch stays where it is.
    std::size_t last_end = order_by;
    while (last_end > branch_begin && tokens[last_end - 1].kind == TokenKind::kSpace) {
        --last_end;
    }
    if (last_end == branch_begin) {
        error = "ORDER BY needs a SELECT before it";
        return false;
    }
    branches.push_back({branch_begin, last_end, {}});

    for (Branch& branch : branches) {
        if (!ReadTop(tokens, branch, error)) {
            return false;
        }
    }
    if (postgres) {
        if (!RewriteTokensForPostgres(tokens, begin, end, error)) {
            return false;
        }
        OrderNullsAsSqlite(tokens, last_end, end);
    } else if (hints.plan_where) {
        PlanWhereClauses(tokens, begin, end, hints);
    }

    std::string out;
    out.reserve(jet_sql.size() + 64);
    EmitRange(tokens, 0, begin, out);
    const bool wrap = branches.size() > 1;
    for (std::size_t b = 0; b < branches.size(); ++b) {
        const Branch& branch = branches[b];
        if (wrap && !branch.limit.empty()) {
            // LIMIT may not stand before UNION, and SQLite has no
            // parenthesised SELECT there: the branch becomes a subquery.
            out += "SELECT * FROM (";
            EmitBranch(tokens, branch, out);
            out += " LIMIT " + branch.limit + ")";
            if (postgres) {
                out += " AS \"TOP " + std::to_string(b + 1) + "\"";  // a subquery needs a name there
            }
        } else {
            EmitBranch(tokens, branch, out);
        }
        if (b < separators.size()) {
            EmitRange(tokens, separators[b].first, separators[b].second, out);
        }
    }
    const bool any_top = std::any_of(branches.begin(), branches.end(),
                                     [](const Branch& branch) { return !branch.limit.empty(); });
    if (!hints.any_order || any_top) {
        EmitRange(tokens, last_end, end, out);
    }
    if (!wrap && !branches[0].limit.empty()) {
        out += " LIMIT " + branches[0].limit;
    }
    out += ';';
    sqlite_sql = std::move(out);
    return true;
}

}  // namespace

bool TranslateJetSql(std::string_view jet_sql, std::string& sqlite_sql, std::string& error,
                     const JetPlanHints& hints) {
    return Translate(jet_sql, sqlite_sql, error, hints, false);
}

bool TranslateJetSqlForPostgres(std::string_view jet_sql, std::string& postgres_sql, std::string& error,
                                const JetPlanHints& hints) {
    return Translate(jet_sql, postgres_sql, error, hints, true);
}

namespace {

// like(pattern, text): SQLite calls it for "text LIKE pattern".
void JetLikeFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL ||
        sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* pattern = sqlite3_value_text(argv[0]);
    const int pattern_bytes = sqlite3_value_bytes(argv[0]);
    const auto* text = sqlite3_value_text(argv[1]);
    const int text_bytes = sqlite3_value_bytes(argv[1]);
    if (pattern == nullptr || text == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const std::string_view pattern_view(reinterpret_cast<const char*>(pattern),
                                        static_cast<std::size_t>(pattern_bytes));
    bool malformed = false;
    const bool matched = JetLikeMatch(
        pattern_view,
        std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(text_bytes)),
        &malformed);
    if (malformed) {
        const std::string message = "the Like pattern \"" + std::string(pattern_view) +
                                    "\" is malformed (an unclosed [ or a descending range)";
        sqlite3_result_error(context, message.c_str(), -1);
        return;
    }
    sqlite3_result_int(context, matched ? 1 : 0);
}

}  // namespace

bool ConfigureJetConnection(sqlite3* db, std::string& error) {
    if (db == nullptr) {
        error = "no database connection";
        return false;
    }
    if (sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr) != SQLITE_OK ||
        sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr) != SQLITE_OK ||
        sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    if (sqlite3_create_function_v2(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   &JetLikeFunction, nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return false;
    }
    return true;
}

}  // namespace korvane
