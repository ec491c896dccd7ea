#pragma once
#include <memory>
#include <string>

#include "results/SqlConnection.h"

struct sqlite3;

namespace veska::results {

/// A connection to an SQLite database file. Two connections (threads or processes) may write
/// the same file: a writer waits up to kBusyWaitMs for the other's transaction to end.
class SqliteConnection final : public SqlConnection {
  public:
    static constexpr int kBusyWaitMs = 30000;

    /// Opens (creating when absent) the database file at path. nullptr with error set when
    /// it cannot be opened; a file that is not a database is found by the first statement.
    static std::unique_ptr<SqliteConnection> Open(const std::string& path, std::string& error);
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    bool Exec(const std::string& sql, const std::vector<SqlValue>& params,
              std::vector<SqlRow>* rows, std::string& error) override;
    const SqlDialect& Dialect() const override;
    using SqlConnection::Exec;

  private:
    SqliteConnection(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}
    std::string Failure(int code) const;

    sqlite3* db_;
    std::string path_;
};

}  // namespace veska::results
