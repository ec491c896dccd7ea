#include "tools/veskactl/StationRecords.h"

#include <unistd.h>

#include <cstdlib>

#include "main/StoredRuns.h"
#include "results/OpenStore.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

std::string HostStationName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "station";
    return name;
}

std::string LoginName() {
    const char* user = std::getenv("USER");
    return user != nullptr && *user != '\0' ? user : "unknown";
}

std::unique_ptr<results::ResultStore> OpenResultsStore(Session& session, const std::string& who) {
    std::string error;
    auto store = results::OpenStore(session.options.resultsUrl, error);
    if (!store) session.err << "veskactl: " << who << ": " << error << '\n';
    return store;
}

results::RunResult BenchRunResult(const bench::RunRecord& record, const bench::RunState& run,
                                  const link::DeviceInfo& sensor, const std::string& recordPath,
                                  std::string& fileProblems) {
    results::RunResult r;
    r.runId = results::NewRunId();
    r.station = HostStationName();
    r.operatorName = LoginName();
    r.programVersion = VESKA_VERSION;
    r.sensor = main::StoredSensor(sensor);
    if (record.row != nullptr) r.mode = std::string(record.row->caption);
    r.started = record.started;
    r.ended = record.ended;
    r.outcome = main::StoredOutcome(run.verdict.outcome);
    r.reason = run.verdict.reason;
    r.measurements = main::UnjudgedMeasurements(run.results);
    std::vector<std::string> paths{recordPath};
    paths.insert(paths.end(), run.files.begin(), run.files.end());
    r.files = main::ReadRunFiles(paths, fileProblems);
    return r;
}

bool StoreBenchRun(Session& session, results::ResultStore& store, const bench::RunRecord& record,
                   const bench::RunState& run, const link::DeviceInfo& sensor,
                   const std::string& recordPath, const std::string& outDir) {
    std::string fileProblems;
    const results::PutResult put =
        store.Put(BenchRunResult(record, run, sensor, recordPath, fileProblems));
    if (!fileProblems.empty()) {
        session.err << "veskactl: bench: files not stored: " << fileProblems << '\n';
    }
    if (!put.Kept()) {
        session.err << "veskactl: bench: the run was not stored in " << store.Describe() << ": "
                    << put.message << "; its files are in " << outDir << '\n';
        return false;
    }
    if (put.status == results::PutStatus::Spooled) {
        session.err << "bench: the run waits in the spool: " << put.message << '\n';
    }
    return true;
}

}  // namespace veska::tools
