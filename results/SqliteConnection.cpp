#include "results/SqliteConnection.h"

#include <sqlite3.h>

#include <cstdio>

namespace veska::results {

namespace {

constexpr SqlDialect kSqliteDialect = {
    "BLOB",
    // Takes the write lock at once, so that two writers queue instead of deadlocking on the
    // upgrade from a read lock.
    "BEGIN IMMEDIATE",
    "",
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = $1",
};

/// Frees a prepared statement at scope end.
struct Statement {
    sqlite3_stmt* handle = nullptr;
    ~Statement() { sqlite3_finalize(handle); }
};

bool Bind(sqlite3_stmt* stmt, int index, const SqlValue& value) {
    if (std::holds_alternative<std::nullptr_t>(value)) {
        return sqlite3_bind_null(stmt, index) == SQLITE_OK;
    }
    if (const auto* i = std::get_if<int64_t>(&value)) {
        return sqlite3_bind_int64(stmt, index, *i) == SQLITE_OK;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        return sqlite3_bind_double(stmt, index, *d) == SQLITE_OK;
    }
    if (const auto* s = std::get_if<std::string>(&value)) {
        return sqlite3_bind_text64(stmt, index, s->data(), s->size(), SQLITE_TRANSIENT,
                                   SQLITE_UTF8) == SQLITE_OK;
    }
    const auto& blob = std::get<std::vector<uint8_t>>(value);
    return sqlite3_bind_blob64(stmt, index, blob.data(), blob.size(), SQLITE_TRANSIENT) ==
           SQLITE_OK;
}

std::optional<std::string> Cell(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_NULL:
            return std::nullopt;
        case SQLITE_FLOAT: {
            // The column's own text has 15 digits; 17 bring the double back exactly.
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", sqlite3_column_double(stmt, column));
            return std::string(text);
        }
        case SQLITE_BLOB: {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt, column));
            const int size = sqlite3_column_bytes(stmt, column);
            return bytes == nullptr ? std::string() : std::string(bytes, static_cast<size_t>(size));
        }
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            const int size = sqlite3_column_bytes(stmt, column);
            return text == nullptr ? std::string() : std::string(text, static_cast<size_t>(size));
        }
    }
}

}  // namespace

std::unique_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path,
                                                         std::string& error) {
    sqlite3* db = nullptr;
    const int code =
        sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        error = "results database " + path + ": " +
                (db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code));
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, kBusyWaitMs);
    sqlite3_extended_result_codes(db, 1);
    return std::unique_ptr<SqliteConnection>(new SqliteConnection(db, path));
}

SqliteConnection::~SqliteConnection() { sqlite3_close(db_); }

const SqlDialect& SqliteConnection::Dialect() const { return kSqliteDialect; }

std::string SqliteConnection::Failure(int code) const {
    const std::string message = sqlite3_errmsg(db_);
    const std::string kind = sqlite3_errstr(code);
    return "results database " + path_ + ": " + message +
           (kind == message ? "" : " (" + kind + ")");
}

bool SqliteConnection::Exec(const std::string& sql, const std::vector<SqlValue>& params,
                            std::vector<SqlRow>* rows, std::string& error) {
    Statement stmt;
    int code =
        sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &stmt.handle, nullptr);
    if (code != SQLITE_OK) {
        error = Failure(code);
        return false;
    }
    for (size_t i = 0; i < params.size(); ++i) {
        const std::string name = "$" + std::to_string(i + 1);
        const int index = sqlite3_bind_parameter_index(stmt.handle, name.c_str());
        if (index == 0 || !Bind(stmt.handle, index, params[i])) {
            error = "results database " + path_ + ": cannot bind " + name;
            return false;
        }
    }
    const int columns = sqlite3_column_count(stmt.handle);
    while ((code = sqlite3_step(stmt.handle)) == SQLITE_ROW) {
        if (rows == nullptr) continue;
        SqlRow row;
        row.reserve(static_cast<size_t>(columns));
        for (int c = 0; c < columns; ++c) row.push_back(Cell(stmt.handle, c));
        rows->push_back(std::move(row));
    }
    if (code != SQLITE_DONE) {
        error = Failure(code);
        return false;
    }
    return true;
}

}  // namespace veska::results
