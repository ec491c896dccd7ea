#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace veska::results {

/// A statement's parameter: NULL, an integer, a real, a text or a blob.
using SqlValue = std::variant<std::nullptr_t, int64_t, double, std::string, std::vector<uint8_t>>;
/// One row of a result: each cell's bytes (blobs decoded), nullopt for NULL.
using SqlRow = std::vector<std::optional<std::string>>;

/// The differences between the SQL of the two engines that the store's statements meet.
struct SqlDialect {
    const char* blobType;        ///< column type of file contents
    const char* beginWrite;      ///< starts a transaction that will write
    const char* lockForUpgrade;  ///< run first inside the upgrade's transaction; may be empty
    const char* tableExists;     ///< counts tables named $1
};

/// One open connection to a database. Statements use $1, $2 ... for their parameters, each
/// appearing once and in order.
class SqlConnection {
  public:
    virtual ~SqlConnection() = default;

    /// Runs one statement; rows (when given) receives what it returns. false with error set
    /// on failure.
    virtual bool Exec(const std::string& sql, const std::vector<SqlValue>& params,
                      std::vector<SqlRow>* rows, std::string& error) = 0;
    virtual const SqlDialect& Dialect() const = 0;

    bool Exec(const std::string& sql, std::string& error) { return Exec(sql, {}, nullptr, error); }
};

}  // namespace veska::results
