#pragma once
#include <string>

#include "results/SqlConnection.h"

struct pg_conn;

namespace veska::results {

/// A connection to a PostgreSQL server, by a libpq connection URI (postgresql://...; a Unix
/// socket folder as host= or as an encoded host). It connects on first use and again after
/// the server went away; a statement outside a transaction that met a broken connection is
/// sent once more on a fresh one (every statement of the store may be repeated).
class PostgresConnection final : public SqlConnection {
  public:
    /// A connection attempt gives up after this long unless the URI says otherwise [s].
    static constexpr const char* kConnectTimeoutSeconds = "10";

    explicit PostgresConnection(std::string uri) : uri_(std::move(uri)) {}
    ~PostgresConnection() override;
    PostgresConnection(const PostgresConnection&) = delete;
    PostgresConnection& operator=(const PostgresConnection&) = delete;

    bool Exec(const std::string& sql, const std::vector<SqlValue>& params,
              std::vector<SqlRow>* rows, std::string& error) override;
    const SqlDialect& Dialect() const override;
    using SqlConnection::Exec;

  private:
    bool Connect(std::string& error);
    bool Send(const std::string& sql, const std::vector<SqlValue>& params,
              std::vector<SqlRow>* rows, std::string& error);

    std::string uri_;
    pg_conn* conn_ = nullptr;
};

/// The URL with its password (user:PASSWORD@ or password=...) replaced by "***".
std::string MaskPassword(const std::string& url);

}  // namespace veska::results
