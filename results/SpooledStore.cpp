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
    std::vector<std::string> delivered;
    // Takes the delivered ones out of the spool; false when the spool refused.
    const auto removeDelivered = [&] {
        std::string error;
        if (!spool_->Remove(delivered, error)) {
            report.message = error;
            return false;
        }
        report.delivered += delivered.size();
        delivered.clear();
        return true;
    };
    for (const std::string& id : *ids) {
        std::string error;
        const std::optional<RunResult> run = spool_->Load(id, error);
        if (!run) {
            report.message = error.empty() ? "a spooled result vanished" : error;
            break;
        }
        const PutResult put = shared_->Put(*run);
        if (!put.Kept()) {
            report.message = put.message;
            break;
        }
        delivered.push_back(id);
        if (delivered.size() == kRemoveBatch && !removeDelivered()) break;
    }
    if (!delivered.empty()) removeDelivered();
    report.waiting = ids->size() - report.delivered;
    return report;
}

}  // namespace veska::results
