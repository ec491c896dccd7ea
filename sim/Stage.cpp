#include "sim/Stage.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace veska::sim {

namespace {

constexpr size_t kMaxRecords = 5;
constexpr double kMicro = 1e-6;
/// Rounding guard: a step due exactly at t counts as done at t.
constexpr double kStepEpsilon = 1e-9;

bool IsNumberChar(char c) { return (c >= '0' && c <= '9') || c == '.'; }

}  // namespace

int64_t StageGeometry::TravelSteps() const {
    if (!(stepLengthMm > 0.0) || !(travelLengthMm > 0.0)) return 0;
    return static_cast<int64_t>(std::floor(travelLengthMm / stepLengthMm + kStepEpsilon));
}

std::vector<StageGeometry> ParseStageRecords(const std::string& text) {
    std::vector<double> numbers;
    size_t p = 0;
    while (p < text.size()) {
        while (p < text.size() && !(text[p] >= '0' && text[p] <= '9')) ++p;
        size_t end = p;
        while (end < text.size() && IsNumberChar(text[end])) ++end;
        if (end > p) {
            try {
                numbers.push_back(std::stod(text.substr(p, end - p)));
            } catch (...) {
                break;
            }
        }
        p = end;
    }
    std::vector<StageGeometry> records;
    for (size_t i = 0; i + 2 < numbers.size() && records.size() < kMaxRecords; i += 3) {
        if (!(numbers[i] > 0.0)) continue;
        records.push_back({numbers[i], numbers[i + 1], numbers[i + 2]});
    }
    return records;
}

std::vector<StageGeometry> ReadStageRecords(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    std::ostringstream text;
    text << file.rdbuf();
    return ParseStageRecords(text.str());
}

StageGeometry FittingStage(const std::vector<StageGeometry>& records, double baseMm,
                           double rangeMm) {
    if (records.empty()) return StageGeometry{};
    for (const StageGeometry& r : records) {
        if (rangeMm <= r.travelLengthMm && baseMm + rangeMm <= r.travelStartMm + r.travelLengthMm)
            return r;
    }
    return records.back();
}

Stage::Stage(const World& world, StageGeometry geometry) : world_(world), geometry_(geometry) {}

int64_t Stage::StepsDone(double t) const {
    if (move_.direction == 0 || move_.steps == 0) return 0;
    const double elapsed = t - move_.startS;
    if (elapsed <= 0.0) return 0;
    const double done = std::floor(elapsed / move_.periodS + kStepEpsilon);
    return done >= static_cast<double>(move_.steps) ? move_.steps : static_cast<int64_t>(done);
}

int64_t Stage::PositionLocked(double t) const {
    return move_.from + move_.direction * StepsDone(t);
}

uint64_t Stage::PulsesLocked(double t) const {
    if ((outputs_ & kTriggerOutput) == 0) return pulseBase_;
    return pulseBase_ + static_cast<uint64_t>(std::max<int64_t>(StepsDone(t) - markSteps_, 0));
}

void Stage::ClosePulseRun(double t) {
    const uint64_t total = PulsesLocked(t);
    if (total > pulseBase_) {
        pulseRuns_.push_back({pulseBase_ + 1, total, move_.startS, markSteps_, move_.periodS});
        if (pulseRuns_.size() > kPulseRunsKept) pulseRuns_.pop_front();
    }
    pulseBase_ = total;
}

void Stage::StartMove(int direction, int64_t steps, double t) {
    // A new move starts from where the stage is; the pulses so far are kept.
    ClosePulseRun(t);
    const int64_t from = PositionLocked(t);
    move_ = Move{t, from, direction, std::max<int64_t>(steps, 0),
                 std::max<uint32_t>(periodMicros_, 1) * kMicro};
    markSteps_ = 0;
    counters_.steps += static_cast<uint64_t>(move_.steps);
}

void Stage::LoadPeriod(uint32_t periodMicros) {
    std::lock_guard lock(mutex_);
    periodMicros_ = periodMicros;
}

void Stage::LoadCount(uint32_t count, TimePoint now) {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    count_ = count;
    ClosePulseRun(t);
    markSteps_ = StepsDone(t);
    outputs_ = 0;
    // The controller counts the loaded count down as it steps: a count loaded while a move
    // runs is what that move still makes, so a count of 0 ends it where the stage stands.
    if (move_.direction != 0 && markSteps_ < move_.steps) {
        const int64_t end = markSteps_ + static_cast<int64_t>(count);
        if (end < move_.steps) {
            counters_.steps -= static_cast<uint64_t>(move_.steps - end);
            move_.steps = end;
        }
    }
}

void Stage::StartHomeward(TimePoint now) {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    ++counters_.homewardMoves;
    StartMove(-1, PositionLocked(t), t);
}

void Stage::StartForward(TimePoint now) {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    ++counters_.forwardMoves;
    const int64_t room = std::max<int64_t>(geometry_.TravelSteps() - PositionLocked(t), 0);
    StartMove(+1, std::min<int64_t>(count_, room), t);
}

void Stage::SetOutputs(uint8_t outputs, TimePoint now) {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    ClosePulseRun(t);
    markSteps_ = StepsDone(t);
    outputs_ = outputs;
}

uint8_t Stage::Outputs() const {
    std::lock_guard lock(mutex_);
    return outputs_;
}

bool Stage::Moving(TimePoint now) const {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    return move_.direction != 0 && StepsDone(t) < move_.steps;
}

uint8_t Stage::StateNibble(TimePoint now) const {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    if (move_.direction == 0 || StepsDone(t) >= move_.steps) return 0;
    return move_.direction > 0 ? 1 : 3;
}

int64_t Stage::PositionSteps(TimePoint now) const {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    return PositionLocked(t);
}

double Stage::PositionMm(TimePoint now) const {
    return static_cast<double>(PositionSteps(now)) * geometry_.stepLengthMm;
}

void Stage::PlaceAt(int64_t steps, TimePoint now) {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    ClosePulseRun(t);
    move_ = Move{t, std::clamp<int64_t>(steps, 0, geometry_.TravelSteps()), 0, 0, 0.0};
    markSteps_ = 0;
}

uint32_t Stage::LoadedPeriod() const {
    std::lock_guard lock(mutex_);
    return periodMicros_;
}

uint32_t Stage::LoadedCount() const {
    std::lock_guard lock(mutex_);
    return count_;
}

StageCounters Stage::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

double Stage::TargetMmAt(TimePoint now) const { return geometry_.travelStartMm + PositionMm(now); }

uint64_t Stage::PulsesUntil(TimePoint now) const {
    const double t = world_.SecondsAt(now);
    std::lock_guard lock(mutex_);
    return PulsesLocked(t);
}

Stage::TimePoint Stage::NextPulseAfter(TimePoint now) const {
    const double t = world_.SecondsAt(now);
    double next = 0.0;
    {
        std::lock_guard lock(mutex_);
        const int64_t done = StepsDone(t);
        if ((outputs_ & kTriggerOutput) == 0 || move_.direction == 0 || done >= move_.steps)
            return TimePoint::max();
        next = move_.startS + static_cast<double>(done + 1) * move_.periodS;
    }
    return world_.TimeAtSeconds(next);
}

Stage::TimePoint Stage::PulseTime(uint64_t k) const {
    double at = -1.0;
    {
        std::lock_guard lock(mutex_);
        const auto time = [k](const PulseRun& run) {
            return run.startS +
                   static_cast<double>(run.markSteps + static_cast<int64_t>(k - run.first + 1)) *
                       run.periodS;
        };
        if (k > pulseBase_ && (outputs_ & kTriggerOutput) != 0 && move_.direction != 0 &&
            static_cast<int64_t>(k - pulseBase_) + markSteps_ <= move_.steps) {
            at = time(PulseRun{pulseBase_ + 1, 0, move_.startS, markSteps_, move_.periodS});
        } else {
            for (const PulseRun& run : pulseRuns_) {
                if (k >= run.first && k <= run.last) at = time(run);
            }
        }
    }
    if (at < 0.0) return TimePoint::max();
    // The conversion to real time truncates: one nanosecond on, the step is surely complete.
    return world_.TimeAtSeconds(at) + std::chrono::nanoseconds(1);
}

Stage::TimePoint Stage::ExposureTime(uint64_t pulse, TimePoint now) const {
    const double t = world_.SecondsAt(now);
    double at = 0.0;
    {
        std::lock_guard lock(mutex_);
        if ((outputs_ & kTriggerOutput) == 0 || pulse <= pulseBase_ || pulse > PulsesLocked(t))
            return now;
        // Pulse pulseBase_ + k ends step markSteps_ + k of the present move; half a period
        // later the stage still stands there, whatever the rounding to clock ticks.
        const auto step = markSteps_ + static_cast<int64_t>(pulse - pulseBase_);
        at = move_.startS + (static_cast<double>(step) + 0.5) * move_.periodS;
    }
    return world_.TimeAtSeconds(at);
}

}  // namespace veska::sim
