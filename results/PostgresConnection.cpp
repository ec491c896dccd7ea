#include "results/PostgresConnection.h"

#include <libpq-fe.h>

#include <cstdio>
#include <memory>

namespace veska::results {

namespace {

constexpr SqlDialect kPostgresDialect = {
    "BYTEA",
    "BEGIN",
    // Two stations opening an old schema at once upgrade it one after the other.
    "SELECT pg_advisory_xact_lock(73510022)",
    "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() "
    "AND table_name = $1",
};

constexpr Oid kByteaOid = 17;

void IgnoreNotice(void*, const char*) {}

/// libpq's message on one line: its line breaks and indents become single spaces.
std::string OneLine(const char* text) {
    std::string line;
    for (const char* c = text == nullptr ? "" : text; *c != '\0'; ++c) {
        const bool space = *c == '\n' || *c == '\t' || *c == ' ';
        if (!space) {
            line += *c;
        } else if (!line.empty() && line.back() != ' ') {
            line += ' ';
        }
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

struct ResultDeleter {
    void operator()(PGresult* r) const { PQclear(r); }
};

}  // namespace

std::string MaskPassword(const std::string& url) {
    std::string masked = url;
    const size_t scheme = masked.find("://");
    if (scheme != std::string::npos) {
        const size_t authority = scheme + 3;
        const size_t at = masked.find('@', authority);
        const size_t slash = masked.find('/', authority);
        if (at != std::string::npos && (slash == std::string::npos || at < slash)) {
            const size_t colon = masked.find(':', authority);
            if (colon != std::string::npos && colon < at) {
                masked.replace(colon + 1, at - colon - 1, "***");
            }
        }
    }
    size_t key = 0;
    while ((key = masked.find("password=", key)) != std::string::npos) {
        const size_t start = key + 9;
        size_t end = masked.find_first_of("& ", start);
        if (end == std::string::npos) end = masked.size();
        masked.replace(start, end - start, "***");
        key = start + 3;
    }
    return masked;
}

PostgresConnection::~PostgresConnection() { PQfinish(conn_); }

const SqlDialect& PostgresConnection::Dialect() const { return kPostgresDialect; }

bool PostgresConnection::Connect(std::string& error) {
    PQfinish(conn_);
    // The URI (expanded from dbname) overrides the keywords before it: these are defaults.
    // Over TCP a server that vanishes without closing the connection is noticed within about
    // half a minute instead of the system's two hours; a Unix socket ignores them.
    const char* keywords[] = {"connect_timeout",
                              "keepalives_idle",
                              "keepalives_interval",
                              "keepalives_count",
                              "tcp_user_timeout",
                              "dbname",
                              nullptr};
    const char* values[] = {kConnectTimeoutSeconds, "10", "5", "3", "30000", uri_.c_str(), nullptr};
    conn_ = PQconnectdbParams(keywords, values, 1);
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
        error = "results server " + MaskPassword(uri_) + ": " +
                OneLine(conn_ != nullptr ? PQerrorMessage(conn_) : "out of memory");
        PQfinish(conn_);
        conn_ = nullptr;
        return false;
    }
    PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
    return true;
}

bool PostgresConnection::Exec(const std::string& sql, const std::vector<SqlValue>& params,
                              std::vector<SqlRow>* rows, std::string& error) {
    if ((conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) && !Connect(error)) return false;
    const bool inTransaction = PQtransactionStatus(conn_) != PQTRANS_IDLE;
    if (Send(sql, params, rows, error)) return true;
    if (inTransaction || PQstatus(conn_) == CONNECTION_OK) return false;
    // The server went away since the last statement (a restart): once more on a new one.
    std::string again;
    if (!Connect(again)) {
        error += "; " + again;
        return false;
    }
    if (rows != nullptr) rows->clear();
    return Send(sql, params, rows, error);
}

bool PostgresConnection::Send(const std::string& sql, const std::vector<SqlValue>& params,
                              std::vector<SqlRow>* rows, std::string& error) {
    std::vector<std::string> texts(params.size());
    std::vector<const char*> values(params.size(), nullptr);
    std::vector<int> lengths(params.size(), 0);
    std::vector<int> formats(params.size(), 0);
    for (size_t i = 0; i < params.size(); ++i) {
        const SqlValue& p = params[i];
        if (std::holds_alternative<std::nullptr_t>(p)) continue;
        if (const auto* n = std::get_if<int64_t>(&p)) {
            texts[i] = std::to_string(*n);
        } else if (const auto* d = std::get_if<double>(&p)) {
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", *d);
            texts[i] = text;
        } else if (const auto* s = std::get_if<std::string>(&p)) {
            texts[i] = *s;
        } else {
            const auto& blob = std::get<std::vector<uint8_t>>(p);
            texts[i].assign(blob.begin(), blob.end());
            formats[i] = 1;  // binary: the bytes as they are
        }
        values[i] = texts[i].data();
        lengths[i] = static_cast<int>(texts[i].size());
    }
    std::unique_ptr<PGresult, ResultDeleter> result(
        PQexecParams(conn_, sql.c_str(), static_cast<int>(params.size()), nullptr, values.data(),
                     lengths.data(), formats.data(), 0));
    const ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        error = "results server " + MaskPassword(uri_) + ": " + OneLine(PQerrorMessage(conn_));
        return false;
    }
    if (rows == nullptr) return true;
    const int columns = PQnfields(result.get());
    for (int r = 0; r < PQntuples(result.get()); ++r) {
        SqlRow row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            if (PQgetisnull(result.get(), r, c)) {
                row.emplace_back();
                continue;
            }
            const char* text = PQgetvalue(result.get(), r, c);
            if (PQftype(result.get(), c) != kByteaOid) {
                row.emplace_back(
                    std::string(text, static_cast<size_t>(PQgetlength(result.get(), r, c))));
                continue;
            }
            size_t size = 0;
            unsigned char* bytes =
                PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
            if (bytes == nullptr) {
                error =
                    "results server " + MaskPassword(uri_) + ": a file's content did not decode";
                return false;
            }
            row.emplace_back(std::string(reinterpret_cast<const char*>(bytes), size));
            PQfreemem(bytes);
        }
        rows->push_back(std::move(row));
    }
    return true;
}

}  // namespace veska::results
