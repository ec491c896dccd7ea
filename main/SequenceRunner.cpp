#include "main/SequenceRunner.h"

#include <chrono>

#include "bench/RunRecord.h"
#include "main/StoredRuns.h"

namespace veska::main {

namespace {

std::string Now() { return bench::IsoUtc(std::chrono::system_clock::now()); }

}  // namespace

SequenceRunner::SequenceRunner(const station::Sequence& sequence, station::UnitContext unit,
                               results::ResultStore& store, SequenceObserver& observer)
    : sequence_(sequence),
      unit_(std::move(unit)),
      store_(store),
      observer_(observer),
      progress_(sequence_, unit_.sensor),
      started_(Now()) {
    summary_.unitId = unit_.unitId;
}

std::optional<size_t> SequenceRunner::Next() {
    if (finished_) return std::nullopt;
    const std::optional<size_t> next = progress_.NextStep();
    if (next && announced_ != next) {
        announced_ = next;
        observer_.StepStarting(*next, sequence_.steps[*next]);
    }
    return next;
}

bool SequenceRunner::Complete(size_t index, const StepRunReport& report) {
    if (finished_) return false;
    const station::StepVerdict* verdict = progress_.Record(index, report.run);
    if (verdict == nullptr) return false;
    announced_.reset();
    std::string fileProblems;
    std::vector<results::StoredFile> files = ReadRunFiles(report.files, fileProblems);
    const station::SequenceStep& step = sequence_.steps[index];
    const results::RunResult record =
        station::StepRecord(unit_, step, *verdict, report.started.empty() ? Now() : report.started,
                            report.ended.empty() ? Now() : report.ended, std::move(files));
    const StoreNote note = Store(record, std::move(fileProblems));
    summary_.stepRunIds.push_back(record.runId);
    observer_.StepJudged(index, step, *verdict, note);
    return true;
}

const UnitSummary& SequenceRunner::Finish() {
    if (finished_) return summary_;
    finished_ = true;
    summary_.verdict = progress_.UnitVerdict();
    const StoreNote note =
        Store(station::UnitRecord(unit_, summary_.verdict, started_, Now()), std::string());
    observer_.UnitJudged(summary_.verdict, note);
    return summary_;
}

const UnitSummary& SequenceRunner::Run(StepDriver& driver) {
    while (!driver.StopRequested()) {
        const std::optional<size_t> next = Next();
        if (!next) break;
        Complete(*next, driver.RunStep(sequence_.steps[*next]));
    }
    return Finish();
}

StoreNote SequenceRunner::Store(const results::RunResult& record, std::string fileProblems) {
    StoreNote note{record.runId, store_.Put(record), std::move(fileProblems)};
    if (!note.put.Kept()) {
        ++summary_.notStored;
        if (summary_.storeProblem.empty()) summary_.storeProblem = note.put.message;
    } else if (note.put.status == results::PutStatus::Spooled) {
        ++summary_.spooled;
    }
    return note;
}

}  // namespace veska::main
