#include "results/SpooledStore.h"

namespace veska::results {

SpooledStore::SpooledStore(std::unique_ptr<ResultStore> shared, std::unique_ptr<SqlStore> spool)
    : shared_(std::move(shared)), spool_(std::move(spool)) {}

std::string SpooledStore::Describe() const {
    return shared_->Describe() + " (spool " + spool_->Describe() + ")";
}

PutResult SpooledStore::Put(const RunResult& result) {
    PutResult shared = shared_->Put(result);
    if (shared.Kept()) {
        if (Pending() > 0) Deliver();
        return shared;
    }
    PutResult spooled = spool_->Put(result);
    if (!spooled.Kept()) {
        spooled.message = shared.message + "; the spool failed too: " + spooled.message;
        return spooled;
    }
    return {PutStatus::Spooled, shared.message};
}

std::optional<std::vector<RunResult>> SpooledStore::History(const HistoryQuery& query,
                                                            std::string& error) {
    auto runs = shared_->History(query, error);
    if (!runs) {
        const size_t waiting = Pending();
        if (waiting > 0) error += " (" + std::to_string(waiting) + " result(s) wait in the spool)";
    }
    return runs;
}

std::optional<RunResult> SpooledStore::Load(const std::string& runId, std::string& error) {
    auto run = shared_->Load(runId, error);
    if (run) return run;
    std::string spoolError;
    auto spooled = spool_->Load(runId, spoolError);
    if (spooled) error.clear();
    return spooled;
}

size_t SpooledStore::Pending() {
    std::string error;
    return spool_->Count(error).value_or(0);
}

DeliveryReport SpooledStore::Deliver() {
    DeliveryReport report;
    const auto ids = spool_->RunIds(report.message);
    if (!ids) return report;
    for (size_t i = 0; i < ids->size(); ++i) {
        const std::string& id = (*ids)[i];
        std::string error;
        const std::optional<RunResult> run = spool_->Load(id, error);
        PutResult put;
        if (!run) {
            error = error.empty() ? "a spooled result vanished" : error;
        } else if ((put = shared_->Put(*run)).Kept()) {
            if (spool_->Remove(id, error)) {
                ++report.delivered;
                continue;
            }
        } else {
            error = put.message;
        }
        report.message = error;
        report.waiting = ids->size() - i;
        return report;
    }
    return report;
}

}  // namespace veska::results
