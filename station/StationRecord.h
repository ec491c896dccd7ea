#pragma once
#include <string>
#include <vector>

#include "results/RunResult.h"
#include "station/Judge.h"

namespace veska::station {

/// What every record of one unit's pass through a sequence shares.
struct UnitContext {
    std::string unitId;  ///< the run id of the unit's verdict record; results::NewRunId()
    std::string station;
    std::string operatorName;
    std::string programVersion;
    results::SensorIdentity sensor;
    std::string sequence;  ///< the sequence's name
};

/// The stored record of one step's run (a fresh run id).
results::RunResult StepRecord(const UnitContext& unit, const SequenceStep& step,
                              const StepVerdict& verdict, std::string started, std::string ended,
                              std::vector<results::StoredFile> files);

/// The stored record of the unit's verdict over the sequence (run id = unit id, no step).
results::RunResult UnitRecord(const UnitContext& unit, const StepVerdict& verdict,
                              std::string started, std::string ended);

}  // namespace veska::station
