#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "results/ResultStore.h"
#include "station/Judge.h"
#include "station/Sequence.h"
#include "station/StationRecord.h"

namespace veska::main {

/// What the bench reported for the run of one step.
struct StepRunReport {
    station::StepRun run;            ///< the run's own end, its reason and named results
    std::string started;             ///< ISO 8601 UTC
    std::string ended;               ///< ISO 8601 UTC
    std::vector<std::string> files;  ///< paths of the files the run wrote, its record included
};

/// What became of one record in the store.
struct StoreNote {
    std::string runId;
    results::PutResult put;
    std::string fileProblems;  ///< files of the run that could not be read (still on disk)
};

/// Told what a sequence does, on the thread that runs it.
class SequenceObserver {
  public:
    virtual ~SequenceObserver() = default;
    virtual void StepStarting(size_t /*index*/, const station::SequenceStep& /*step*/) {}
    virtual void StepJudged(size_t /*index*/, const station::SequenceStep& /*step*/,
                            const station::StepVerdict& /*verdict*/, const StoreNote& /*note*/) {}
    virtual void UnitJudged(const station::StepVerdict& /*verdict*/, const StoreNote& /*note*/) {}
};

/// Runs a step's bench mode on the connected sensor and waits for its end.
class StepDriver {
  public:
    virtual ~StepDriver() = default;
    virtual StepRunReport RunStep(const station::SequenceStep& step) = 0;
    /// The operator asked to stop; no further step starts.
    virtual bool StopRequested() const { return false; }
};

/// A unit's end over a sequence.
struct UnitSummary {
    station::StepVerdict verdict;
    std::string unitId;
    std::vector<std::string> stepRunIds;  ///< in the order the steps ran
    size_t notStored = 0;                 ///< records the store did not keep
    size_t spooled = 0;                   ///< records waiting in the spool for the server
    std::string storeProblem;             ///< the first reason a record was not kept
};

/// One unit's way through a sequence, shared by the window and veskactl: which step runs
/// next, the judging of each run, the records of the steps (with the run's files) and of
/// the unit in the results store, and an observer told of each. The window calls Next,
/// starts the step's mode and calls Complete when the run ended; a headless caller lets
/// Run drive a StepDriver. A record the store does not keep is counted and the sequence
/// goes on: the run's files stay where the bench wrote them.
class SequenceRunner {
  public:
    /// sequence, store and observer must outlive the runner.
    SequenceRunner(const station::Sequence& sequence, station::UnitContext unit,
                   results::ResultStore& store, SequenceObserver& observer);

    /// The step to run next (the observer is told it starts); nullopt once the sequence has
    /// ended or Finish was called.
    std::optional<size_t> Next();
    /// Judges and stores the run of the step Next named. False (nothing recorded) for any
    /// other step.
    bool Complete(size_t index, const StepRunReport& report);
    /// Stores the unit's verdict (once; a sequence left before its end is aborted) and
    /// returns the summary. Later calls return the same summary.
    const UnitSummary& Finish();
    /// Next, driver.RunStep and Complete until the sequence ends or the driver is asked to
    /// stop, then Finish.
    const UnitSummary& Run(StepDriver& driver);

    const station::SequenceProgress& Progress() const { return progress_; }
    const station::UnitContext& Unit() const { return unit_; }

  private:
    StoreNote Store(const results::RunResult& record, std::string fileProblems);

    const station::Sequence& sequence_;
    station::UnitContext unit_;
    results::ResultStore& store_;
    SequenceObserver& observer_;
    station::SequenceProgress progress_;
    std::string started_;
    std::optional<size_t> announced_;  ///< the step Next named and the observer was told of
    bool finished_ = false;
    UnitSummary summary_;
};

}  // namespace veska::main
