#include "station/StationRecord.h"

namespace veska::station {

namespace {

results::RunResult Common(const UnitContext& unit, const StepVerdict& verdict, std::string started,
                          std::string ended) {
    results::RunResult r;
    r.unitId = unit.unitId;
    r.station = unit.station;
    r.operatorName = unit.operatorName;
    r.programVersion = unit.programVersion;
    r.sensor = unit.sensor;
    r.sequence = unit.sequence;
    r.started = std::move(started);
    r.ended = std::move(ended);
    r.outcome = verdict.outcome;
    r.reason = verdict.reason;
    return r;
}

}  // namespace

results::RunResult StepRecord(const UnitContext& unit, const SequenceStep& step,
                              const StepVerdict& verdict, std::string started, std::string ended,
                              std::vector<results::StoredFile> files) {
    results::RunResult r = Common(unit, verdict, std::move(started), std::move(ended));
    r.runId = results::NewRunId();
    r.step = step.name;
    r.mode = step.mode;
    r.measurements = verdict.measurements;
    r.files = std::move(files);
    return r;
}

results::RunResult UnitRecord(const UnitContext& unit, const StepVerdict& verdict,
                              std::string started, std::string ended) {
    results::RunResult r = Common(unit, verdict, std::move(started), std::move(ended));
    r.runId = unit.unitId;
    return r;
}

}  // namespace veska::station
