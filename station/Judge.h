#pragma once
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "results/RunResult.h"
#include "station/Sequence.h"

namespace veska::station {

/// What the bench reported for one run of a step.
struct StepRun {
    results::Outcome outcome = results::Outcome::Error;  ///< the run's own end
    std::string reason;
    std::map<std::string, double> results;  ///< the run's named results
};

/// A step's judged end.
struct StepVerdict {
    results::Outcome outcome = results::Outcome::Error;
    std::string reason;
    std::vector<results::Measurement> measurements;  ///< one per limit of the step, in order
};

/// One figure against its limits (inclusive): Passed inside, Failed outside, Error when the
/// run gave no finite value.
results::Measurement JudgeMeasurement(const Limit& limit,
                                      const std::map<std::string, double>& results);

/// A step from its run: a run that the operator stopped is Aborted, one the bench could not
/// measure Error, one the bench failed Failed (each with the run's reason); otherwise a figure
/// outside its limits makes it Failed, a missing figure Error, else it passed. The figures are
/// judged and kept whatever the run's end.
StepVerdict JudgeStep(const SequenceStep& step, const StepRun& run);

/// The unit's outcome from its steps' outcomes: Failed before Error before Aborted (a figure
/// out of its limits is a verdict on the unit, an error or a stop is not); Passed only when
/// every one passed and there was at least one.
results::Outcome CombineOutcomes(const std::vector<results::Outcome>& outcomes);

/// The state of one unit going through a sequence: which step runs next (skipping steps that
/// are not for this sensor, stopping after a step that did not pass where the step says so
/// and after any stop by the operator), and the unit's verdict.
class SequenceProgress {
  public:
    /// What became of one step.
    struct StepState {
        enum class Kind { Pending, Judged, NotForSensor, NotRun } kind = Kind::Pending;
        StepVerdict verdict;  ///< when Judged
    };

    /// sequence must outlive the progress.
    SequenceProgress(const Sequence& sequence, const results::SensorIdentity& sensor);

    /// Whether the sequence is for this sensor at all (its types and ranges).
    bool Applies() const { return applies_; }
    /// The index of the step to run next; nullopt when the sequence has ended.
    std::optional<size_t> NextStep() const;
    /// Judges the run of the step NextStep() named and records it. Any other index changes
    /// nothing and returns nullptr.
    const StepVerdict* Record(size_t step, const StepRun& run);
    /// True once no step is left to run.
    bool Finished() const { return !NextStep().has_value(); }
    const std::vector<StepState>& Steps() const { return steps_; }
    /// The unit's verdict so far. A sequence left before its end without a step that did not
    /// pass is Aborted; one not for the sensor, or with no step for it, is Error.
    StepVerdict UnitVerdict() const;

  private:
    const Sequence& sequence_;
    results::SensorIdentity sensor_;
    bool applies_;
    bool stopped_ = false;
    std::vector<StepState> steps_;
};

}  // namespace veska::station
