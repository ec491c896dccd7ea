#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "results/RunResult.h"

namespace veska::results {

/// Which runs a history lists. Every given condition must hold.
struct HistoryQuery {
    std::optional<int> serial;
    /// Runs started at or after this UTC time: "YYYY-MM-DD" or a longer ISO 8601 prefix of the
    /// stored form; empty: any. Compared as text, which orders ISO 8601 UTC times.
    std::string since;
    std::optional<Outcome> outcome;
    size_t limit = 0;  ///< at most this many (the newest); 0: all
};

/// What became of a Put.
enum class PutStatus {
    Stored,     ///< written
    Duplicate,  ///< a result with this run id was already there; nothing changed
    Spooled,    ///< the store was away; kept in the local spool for a later delivery
    Failed,     ///< not stored anywhere (the message says why); the caller still holds it
};

struct PutResult {
    PutStatus status = PutStatus::Failed;
    std::string message;  ///< why it failed or was spooled; empty otherwise

    bool Kept() const { return status != PutStatus::Failed; }
};

/// The outcome of a delivery of spooled results.
struct DeliveryReport {
    size_t delivered = 0;  ///< stored (or found already stored) and removed from the spool
    size_t waiting = 0;    ///< still in the spool
    std::string message;   ///< why the delivery stopped early; empty when all went
};

/// The results store. One object is used by one thread at a time; two objects (two stations,
/// two processes) may write the same database at once.
class ResultStore {
  public:
    virtual ~ResultStore() = default;

    /// Stores a result with its measurements and files in one transaction. Idempotent by run
    /// id: a second Put of the same id changes nothing and reports Duplicate.
    virtual PutResult Put(const RunResult& result) = 0;
    /// The runs the query selects, newest first, with their measurements; file contents are
    /// left out (Load has them). nullopt with error set when the store cannot be read.
    virtual std::optional<std::vector<RunResult>> History(const HistoryQuery& query,
                                                          std::string& error) = 0;
    /// One whole result, files included. nullopt with error empty when there is none, with
    /// error set when the store cannot be read.
    virtual std::optional<RunResult> Load(const std::string& runId, std::string& error) = 0;
    /// Results waiting in a local spool for the shared store (0 for a store without one).
    virtual size_t Pending() { return 0; }
    /// Delivers what the spool holds (nothing to do for a store without one).
    virtual DeliveryReport Deliver() { return {}; }
    /// Where the results go, for messages (a password in a URL is masked).
    virtual std::string Describe() const = 0;
};

}  // namespace veska::results
