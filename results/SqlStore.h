#pragma once
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "results/ResultStore.h"
#include "results/SqlConnection.h"

namespace veska::results {

/// One step of the schema: the statements that bring a database from version - 1 to version.
/// {blob} in a statement stands for the engine's blob type.
struct SchemaStep {
    int version;
    std::vector<const char*> statements;
};

/// The schema's steps in order; the last one's version is the current version.
std::span<const SchemaStep> SchemaSteps();
int CurrentSchemaVersion();

/// The results store on an SQL database (SQLite or PostgreSQL, the same schema). The schema
/// is created on first use and upgraded step by step, in one transaction, when the database
/// is older; a database newer than this program is left alone and refused.
class SqlStore final : public ResultStore {
  public:
    /// description names the database in messages. upgradeTo (for tests) stops the upgrade
    /// at that version; 0: the current one.
    SqlStore(std::unique_ptr<SqlConnection> connection, std::string description, int upgradeTo = 0);

    PutResult Put(const RunResult& result) override;
    std::optional<std::vector<RunResult>> History(const HistoryQuery& query,
                                                  std::string& error) override;
    std::optional<RunResult> Load(const std::string& runId, std::string& error) override;
    std::string Describe() const override { return description_; }

    /// Creates or upgrades the schema if that has not happened yet. false with error set when
    /// the database cannot be used (unreachable, not a database, newer schema).
    bool Ready(std::string& error);
    /// The schema version the database holds (0: none yet).
    std::optional<int> SchemaVersion(std::string& error);
    /// Every run id, oldest start first.
    std::optional<std::vector<std::string>> RunIds(std::string& error);
    /// Removes results with their measurements and files in one transaction (an unknown id
    /// is passed over).
    bool Remove(const std::vector<std::string>& runIds, std::string& error);
    /// How many results the store holds.
    std::optional<size_t> Count(std::string& error);

  private:
    bool Upgrade(std::string& error);
    /// True, with error set, when version is newer than this program knows.
    bool NewerThanProgram(int version, std::string& error) const;
    bool Rollback();

    std::unique_ptr<SqlConnection> db_;
    std::string description_;
    int target_;
    bool ready_ = false;
};

}  // namespace veska::results
