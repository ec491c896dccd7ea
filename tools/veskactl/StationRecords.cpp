#include "tools/veskactl/StationRecords.h"

#include "main/StoredRuns.h"
#include "results/OpenStore.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

std::unique_ptr<results::ResultStore> OpenResultsStore(Session& session, const std::string& who) {
    std::string error;
    auto store = results::OpenStore(session.options.resultsUrl, error);
    if (!store) session.err << "veskactl: " << who << ": " << error << '\n';
    return store;
}

bool StoreBenchRun(Session& session, results::ResultStore& store, const bench::RunRecord& record,
                   const bench::RunState& run, const link::DeviceInfo& sensor,
                   const std::string& recordPath, const std::string& outDir) {
    std::string fileProblems;
    std::vector<std::string> files{recordPath};
    files.insert(files.end(), run.files.begin(), run.files.end());
    const results::PutResult put = store.Put(main::BenchRunResult(
        record, run, sensor, {main::HostStationName(), main::LoginName()}, files, fileProblems));
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
