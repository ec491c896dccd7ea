#pragma once
#include <memory>
#include <string>

#include "bench/RunFrame.h"
#include "bench/RunRecord.h"
#include "link/MorlaInterface.h"
#include "results/ResultStore.h"

namespace veska::tools {

class Session;

/// This machine's name, the default station name ("station" when it has none).
std::string HostStationName();
/// The user running the program ($USER, else "unknown").
std::string LoginName();

/// The store --results names; null with the reason printed when it cannot be opened.
std::unique_ptr<results::ResultStore> OpenResultsStore(Session& session, const std::string& who);

/// The result of a bench run outside a sequence: the run's identity and end, its named
/// results (without limits) and the contents of its files (recordPath first).
results::RunResult BenchRunResult(const bench::RunRecord& record, const bench::RunState& run,
                                  const link::DeviceInfo& sensor, const std::string& recordPath,
                                  std::string& fileProblems);

/// Stores a bench run outside a sequence (BenchRunResult); a result the store does not
/// keep is reported on the error stream with the folder that holds the run's files.
/// False then.
bool StoreBenchRun(Session& session, results::ResultStore& store, const bench::RunRecord& record,
                   const bench::RunState& run, const link::DeviceInfo& sensor,
                   const std::string& recordPath, const std::string& outDir);

}  // namespace veska::tools
