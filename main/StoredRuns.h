#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "bench/RunOutcome.h"
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

}  // namespace veska::main
