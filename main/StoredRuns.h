#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "bench/RunOutcome.h"
#include "bench/RunRecord.h"
#include "link/MorlaInterface.h"
#include "results/RunResult.h"

namespace veska::main {

/// The largest file of a run that is kept in the store [bytes]; a larger one stays on disk
/// only and is named in the problems.
constexpr size_t kLargestStoredFile = 256u * 1024u * 1024u;

/// A bench run's end as the store words it: Stopped reads as Aborted.
results::Outcome StoredOutcome(bench::RunOutcome outcome);

/// The sensor's identity from its Identify reply.
results::SensorIdentity StoredSensor(const link::DeviceInfo& info);

/// The contents of the files a run wrote, in the order given, each under its name without
/// the folder. A file that cannot be read is left out and named in problems ("; "-joined);
/// the same path given twice is kept once.
std::vector<results::StoredFile> ReadRunFiles(const std::vector<std::string>& paths,
                                              std::string& problems);

/// The named results of a run outside a sequence as measurements without limits: Passed
/// when finite, Error otherwise.
std::vector<results::Measurement> UnjudgedMeasurements(
    const std::map<std::string, double>& results);

/// This machine's name, the default station name ("station" when it has none).
std::string HostStationName();
/// The user running the program ($USER, else "unknown").
std::string LoginName();

/// Who ran a bench run outside a sequence, and where.
struct RunAuthor {
    std::string station;
    std::string operatorName;
};

/// The result of a bench run outside a sequence: the run's identity and end, its named
/// results (without limits) and the contents of its files (the record first, when given).
results::RunResult BenchRunResult(const bench::RunRecord& record, const bench::RunState& run,
                                  const link::DeviceInfo& sensor, const RunAuthor& author,
                                  const std::vector<std::string>& files, std::string& fileProblems);

}  // namespace veska::main
