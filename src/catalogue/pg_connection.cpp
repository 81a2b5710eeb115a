#include "catalogue/pg_connection.h"

#include <cctype>
#include <cstring>

#include "catalogue/pg_text.h"

namespace korvane {
namespace {

// Sent buffers are this large: big enough that a COPY costs little per row,
// small enough that a build's memory does not grow with the catalogue.
constexpr std::size_t kCopyFlushBytes = 4 << 20;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::string Trimmed(const char* message) {
    std::string text = message != nullptr ? message : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

std::string ResultMessage(PGconn* conn, const PGresult* result) {
    std::string text = Trimmed(result != nullptr ? PQresultErrorMessage(result) : nullptr);
    if (text.empty()) {
        text = Trimmed(PQerrorMessage(conn));
    }
    if (text.empty()) {
        text = "The catalogue server did not answer.";
    }
    return text;
}

bool Succeeded(const PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_EMPTY_QUERY;
}

// A statement that can change rows (anything but a plain read).
bool MayChangeRows(std::string_view sql) {
    while (!sql.empty() && std::isspace(static_cast<unsigned char>(sql.front()))) {
        sql.remove_prefix(1);
    }
    return !StartsWithNoCase(sql, "select") && !StartsWithNoCase(sql, "fetch") &&
           !StartsWithNoCase(sql, "move");
}

}  // namespace

bool IsPostgresUri(std::string_view database) {
    return StartsWithNoCase(database, "postgresql://") || StartsWithNoCase(database, "postgres://");
}

PgConnection::~PgConnection() {
    if (conn_ != nullptr) {
        PQfinish(conn_);
    }
}

bool PgConnection::Connect(const std::string& uri, std::string& error) {
    if (conn_ != nullptr) {
        PQfinish(conn_);
    }
    conn_ = PQconnectdb(uri.c_str());
    if (conn_ == nullptr) {
        error = "The catalogue server could not be reached: out of memory.";
        return false;
    }
    if (PQstatus(conn_) != CONNECTION_OK) {
        error = "The catalogue server could not be reached: " + Message();
        PQfinish(conn_);
        conn_ = nullptr;
        return false;
    }
    return Configure(error);
}

bool PgConnection::Reconnect(std::string& error) {
    if (conn_ == nullptr) {
        error = "The catalogue is not open.";
        return false;
    }
    DiscardCopies();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK) {
        error = "The catalogue server could not be reached: " + Message();
        return false;
    }
    return Configure(error);
}

bool PgConnection::Configure(std::string& error) {
    // Notices (such as "there is no transaction in progress") are not errors.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // Answers are read to their end (counted, totalled, exported), so a
    // snapshot's cursor is planned for all of its rows, not the first few.
    return Execute(
        "SET client_encoding = 'UTF8'; SET standard_conforming_strings = on; SET cursor_tuple_fraction = 1.0",
        &error);
}

std::string PgConnection::Message() const {
    return conn_ != nullptr ? Trimmed(PQerrorMessage(conn_)) : std::string();
}

bool PgConnection::Alive() const {
    return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK;
}

bool PgConnection::InTransaction() const {
    if (conn_ == nullptr) {
        return false;
    }
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

PgResult PgConnection::Run(const std::string& sql, const std::vector<const char*>& values,
                           std::string& error) {
    if (conn_ == nullptr) {
        error = "The catalogue is not open.";
        return nullptr;
    }
    if (!FlushCopies(&error)) {
        return nullptr;
    }
    const bool guarded = PQtransactionStatus(conn_) == PQTRANS_INTRANS;
    if (guarded) {
        PgResult mark(PQexec(conn_, "SAVEPOINT korvane_statement"));
        if (!Succeeded(mark.get())) {
            error = ResultMessage(conn_, mark.get());
            return nullptr;
        }
    }
    if (MayChangeRows(sql)) {
        ++changes_;
    }
    PgResult result(PQexecParams(conn_, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                 nullptr, nullptr, 0));
    const bool ok = result != nullptr && Succeeded(result.get());
    if (!ok) {
        error = ResultMessage(conn_, result.get());
    }
    if (guarded) {
        PgResult end(PQexec(conn_, ok ? "RELEASE SAVEPOINT korvane_statement"
                                      : "ROLLBACK TO SAVEPOINT korvane_statement; "
                                        "RELEASE SAVEPOINT korvane_statement"));
        if (ok && !Succeeded(end.get())) {
            error = ResultMessage(conn_, end.get());
            return nullptr;
        }
    }
    return ok ? std::move(result) : nullptr;
}

bool PgConnection::Execute(std::string_view sql, std::string* error) {
    std::string message;
    if (conn_ == nullptr) {
        message = "The catalogue is not open.";
    } else if (FlushCopies(&message)) {
        ++changes_;
        PgResult result(PQexec(conn_, std::string(sql).c_str()));
        if (result != nullptr && Succeeded(result.get())) {
            return true;
        }
        message = ResultMessage(conn_, result.get());
    }
    if (error != nullptr) {
        *error = message;
    }
    return false;
}

bool PgConnection::CopyRow(const std::string& target, std::string_view row) {
    if (!copy_error_.empty()) {
        return false;
    }
    if (!streaming_.empty() && streaming_ == target) {
        if (PQputCopyData(conn_, row.data(), static_cast<int>(row.size())) != 1) {
            copy_error_ = Message();
            return false;
        }
        return true;
    }
    CopyBuffer* buffer = nullptr;
    for (CopyBuffer& candidate : copies_) {
        if (candidate.target == target) {
            buffer = &candidate;
            break;
        }
    }
    if (buffer == nullptr) {
        buffer = &copies_.emplace_back(CopyBuffer{target, {}});
    }
    buffer->rows.append(row);
    if (buffer->rows.size() < kCopyFlushBytes && !streaming_.empty()) {
        return true;
    }
    // This table's rows now stream: the server stores them while the next
    // ones are made. Another table's rows wait in memory meanwhile.
    if (!EndStreaming(copy_error_) || !StartStreaming(*buffer, copy_error_)) {
        return false;
    }
    return true;
}

bool PgConnection::StartStreaming(CopyBuffer& buffer, std::string& error) {
    const std::string sql = "COPY " + buffer.target + " FROM STDIN (FORMAT binary)";
    PgResult start(PQexec(conn_, sql.c_str()));
    if (PQresultStatus(start.get()) != PGRES_COPY_IN) {
        error = ResultMessage(conn_, start.get());
        return false;
    }
    streaming_ = buffer.target;
    ++changes_;
    // The signature, no flags, no header extension.
    static constexpr char kHeader[] = "PGCOPY\n\377\r\n\0\0\0\0\0\0\0\0\0";
    const bool sent = PQputCopyData(conn_, kHeader, sizeof kHeader - 1) == 1 &&
                      (buffer.rows.empty() ||
                       PQputCopyData(conn_, buffer.rows.data(), static_cast<int>(buffer.rows.size())) == 1);
    buffer.rows.clear();
    if (!sent) {
        error = Message();
    }
    return sent;
}

bool PgConnection::EndStreaming(std::string& error, const char* abandon) {
    if (streaming_.empty()) {
        return true;
    }
    streaming_.clear();
    static constexpr char kTrailer[] = "\377\377";
    bool ok =
        (abandon != nullptr || PQputCopyData(conn_, kTrailer, 2) == 1) && PQputCopyEnd(conn_, abandon) == 1;
    if (!ok && error.empty()) {
        error = Message();
    }
    while (PGresult* raw = PQgetResult(conn_)) {
        PgResult result(raw);
        if (PQresultStatus(raw) != PGRES_COMMAND_OK) {
            if (ok && abandon == nullptr) {
                error = ResultMessage(conn_, raw);
            }
            ok = false;
        }
    }
    return ok || abandon != nullptr;
}

bool PgConnection::FlushCopies(std::string* error) {
    if (copy_error_.empty() && EndStreaming(copy_error_)) {
        for (CopyBuffer& buffer : copies_) {
            if (!buffer.rows.empty() &&
                (!StartStreaming(buffer, copy_error_) || !EndStreaming(copy_error_))) {
                break;
            }
        }
    }
    copies_.clear();
    if (!copy_error_.empty()) {
        if (error != nullptr) {
            *error = copy_error_;
        }
        return false;
    }
    return true;
}

void PgConnection::DiscardCopies() {
    std::string ignored;
    EndStreaming(ignored, "The rows were discarded.");
    copies_.clear();
    copy_error_.clear();
}

std::string_view ToServerText(std::string_view bytes, std::string& scratch) {
    for (char c : bytes) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) {
            scratch = PgTextFromBytes(bytes);
            return scratch;
        }
    }
    return bytes;
}

std::string_view FromServerText(std::string_view text, std::string& scratch) {
    // Only U+F700..U+F7FF (EF 9C 80 to EF 9F BF) stand for single bytes.
    if (text.empty() || std::memchr(text.data(), '\xEF', text.size()) == nullptr) {
        return text;
    }
    scratch = BytesFromPgText(text);
    return scratch;
}

}  // namespace korvane
