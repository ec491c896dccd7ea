#pragma once
#include <memory>

#include "results/ResultStore.h"
#include "results/SqlStore.h"

namespace veska::results {

/// A shared store (a plant's server) with a local spool in front of it. A result the shared
/// store does not take goes into the spool and waits; a delivery moves the spool's results to
/// the shared store oldest first and removes each only once the shared store holds it, so an
/// interrupted delivery repeats without duplicates (the shared store ignores a known run id).
class SpooledStore final : public ResultStore {
  public:
    /// Delivered results leave the spool in batches of this many: one spool transaction
    /// instead of one per result.
    static constexpr size_t kRemoveBatch = 64;

    SpooledStore(std::unique_ptr<ResultStore> shared, std::unique_ptr<SqlStore> spool);

    /// Stores into the shared store and then delivers what waits; when the shared store fails,
    /// into the spool (Spooled, with the shared store's message).
    PutResult Put(const RunResult& result) override;
    /// From the shared store; while it is away an error that says how many results wait.
    std::optional<std::vector<RunResult>> History(const HistoryQuery& query,
                                                  std::string& error) override;
    /// From the shared store, else from the spool.
    std::optional<RunResult> Load(const std::string& runId, std::string& error) override;
    size_t Pending() override;
    DeliveryReport Deliver() override;
    std::string Describe() const override;

  private:
    std::unique_ptr<ResultStore> shared_;
    std::unique_ptr<SqlStore> spool_;
};

}  // namespace veska::results
