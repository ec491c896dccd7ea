#include "station/Judge.h"

#include <cmath>
#include <cstdio>

namespace veska::station {

namespace {

using results::Outcome;

std::string Figure(double value, const std::string& unit) {
    char text[40];
    std::snprintf(text, sizeof text, "%.6g", value);
    return unit.empty() ? std::string(text) : std::string(text) + " " + unit;
}

/// Why a measurement did not pass, in words; empty when it passed.
std::string ReasonOf(const results::Measurement& m) {
    if (m.outcome == Outcome::Error) return "the run gave no " + m.name;
    if (m.outcome != Outcome::Failed || !m.value) return {};
    if (m.low && *m.value < *m.low) {
        return m.name + " " + Figure(*m.value, m.unit) + " below its limit " +
               Figure(*m.low, m.unit);
    }
    return m.name + " " + Figure(*m.value, m.unit) + " above its limit " +
           Figure(m.high.value_or(0.0), m.unit);
}

int Rank(Outcome outcome) {
    switch (outcome) {
        case Outcome::Failed:
            return 3;
        case Outcome::Error:
            return 2;
        case Outcome::Aborted:
            return 1;
        case Outcome::Passed:
            return 0;
    }
    return 2;
}

}  // namespace

results::Measurement JudgeMeasurement(const Limit& limit,
                                      const std::map<std::string, double>& results) {
    results::Measurement m{limit.name, std::nullopt, limit.unit,
                           limit.low,  limit.high,   Outcome::Error};
    const auto it = results.find(limit.name);
    if (it == results.end() || !std::isfinite(it->second)) return m;
    m.value = it->second;
    const bool inside =
        (!limit.low || *m.value >= *limit.low) && (!limit.high || *m.value <= *limit.high);
    m.outcome = inside ? Outcome::Passed : Outcome::Failed;
    return m;
}

StepVerdict JudgeStep(const SequenceStep& step, const StepRun& run) {
    StepVerdict verdict;
    for (const Limit& limit : step.measurements) {
        verdict.measurements.push_back(JudgeMeasurement(limit, run.results));
    }
    if (run.outcome != Outcome::Passed) {
        verdict.outcome = run.outcome;
        verdict.reason = run.reason;
        if (verdict.reason.empty()) {
            verdict.reason = run.outcome == Outcome::Aborted ? "stopped by the operator"
                                                             : "the run did not complete";
        }
        return verdict;
    }
    std::vector<Outcome> outcomes;
    for (const results::Measurement& m : verdict.measurements) outcomes.push_back(m.outcome);
    verdict.outcome = outcomes.empty() ? Outcome::Passed : CombineOutcomes(outcomes);
    for (const results::Measurement& m : verdict.measurements) {
        if (m.outcome == verdict.outcome && verdict.outcome != Outcome::Passed) {
            verdict.reason = ReasonOf(m);
            break;
        }
    }
    return verdict;
}

Outcome CombineOutcomes(const std::vector<Outcome>& outcomes) {
    if (outcomes.empty()) return Outcome::Error;
    Outcome worst = Outcome::Passed;
    for (Outcome o : outcomes) {
        if (Rank(o) > Rank(worst)) worst = o;
    }
    return worst;
}

SequenceProgress::SequenceProgress(const Sequence& sequence, const results::SensorIdentity& sensor)
    : sequence_(sequence),
      sensor_(sensor),
      applies_(sequence.applies.Covers(sensor)),
      steps_(sequence.steps.size()) {
    for (size_t i = 0; i < steps_.size(); ++i) {
        if (!applies_ || !sequence.steps[i].applies.Covers(sensor)) {
            steps_[i].kind = StepState::Kind::NotForSensor;
        }
    }
}

std::optional<size_t> SequenceProgress::NextStep() const {
    if (stopped_) return std::nullopt;
    for (size_t i = 0; i < steps_.size(); ++i) {
        if (steps_[i].kind == StepState::Kind::Pending) return i;
    }
    return std::nullopt;
}

const StepVerdict* SequenceProgress::Record(size_t step, const StepRun& run) {
    if (NextStep() != step) return nullptr;
    StepState& state = steps_[step];
    state.kind = StepState::Kind::Judged;
    state.verdict = JudgeStep(sequence_.steps[step], run);
    const Outcome outcome = state.verdict.outcome;
    if (outcome == Outcome::Aborted ||
        (outcome != Outcome::Passed && sequence_.steps[step].stopOnFail)) {
        stopped_ = true;
        for (StepState& later : steps_) {
            if (later.kind == StepState::Kind::Pending) later.kind = StepState::Kind::NotRun;
        }
    }
    return &state.verdict;
}

StepVerdict SequenceProgress::UnitVerdict() const {
    StepVerdict unit;
    if (!applies_) {
        unit.reason = "the sequence '" + sequence_.name + "' is not for sensor type " +
                      std::to_string(sensor_.type) + ", range " + std::to_string(sensor_.range) +
                      " mm";
        return unit;
    }
    std::vector<Outcome> outcomes;
    bool pending = false;
    for (const StepState& s : steps_) {
        if (s.kind == StepState::Kind::Judged) outcomes.push_back(s.verdict.outcome);
        if (s.kind == StepState::Kind::Pending) pending = true;
    }
    if (outcomes.empty() && !pending) {
        unit.reason = "no step of the sequence '" + sequence_.name + "' is for this sensor";
        return unit;
    }
    unit.outcome = CombineOutcomes(outcomes);
    if (unit.outcome == Outcome::Passed && pending) {
        unit.outcome = Outcome::Aborted;
        unit.reason = "the sequence ended before its last step";
        return unit;
    }
    if (outcomes.empty()) {
        unit.outcome = Outcome::Aborted;
        unit.reason = "no step ran";
        return unit;
    }
    for (size_t i = 0; i < steps_.size(); ++i) {
        const StepState& s = steps_[i];
        if (s.kind == StepState::Kind::Judged && s.verdict.outcome == unit.outcome &&
            unit.outcome != Outcome::Passed) {
            unit.reason = sequence_.steps[i].name + ": " + s.verdict.reason;
            break;
        }
    }
    return unit;
}

}  // namespace veska::station
