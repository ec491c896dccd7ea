#pragma once
#include <memory>
#include <string>

#include "bench/RunFrame.h"
#include "bench/RunRecord.h"
#include "link/MorlaInterface.h"
#include "results/ResultStore.h"

namespace veska::tools {

class Session;

/// The store --results names; null with the reason printed when it cannot be opened.
std::unique_ptr<results::ResultStore> OpenResultsStore(Session& session, const std::string& who);

/// Stores a bench run outside a sequence (main::BenchRunResult); a result the store does not
/// keep is reported on the error stream with the folder that holds the run's files.
/// False then.
bool StoreBenchRun(Session& session, results::ResultStore& store, const bench::RunRecord& record,
                   const bench::RunState& run, const link::DeviceInfo& sensor,
                   const std::string& recordPath, const std::string& outDir);

}  // namespace veska::tools
