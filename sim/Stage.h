#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "sim/TriggerSource.h"
#include "sim/World.h"

namespace veska::sim {

/// The bench's linear stage as a motor table record describes it.
struct StageGeometry {
    double stepLengthMm = 0.0125;   ///< travel per motor step [mm]
    double travelStartMm = 70.0;    ///< target distance from the sensor's front at home [mm]
    double travelLengthMm = 170.0;  ///< usable travel [mm]
    /// Steps from home to the end of travel.
    int64_t TravelSteps() const;
};

/// Stage records of a motor table text, read leniently: three numbers per record (step
/// length, travel start, travel length), anything that is not a digit or a point between
/// them; at most five. A record with a step length of 0 is skipped.
std::vector<StageGeometry> ParseStageRecords(const std::string& text);
/// The records of a motor table file; none when it cannot be read.
std::vector<StageGeometry> ReadStageRecords(const std::string& path);
/// The stage a sensor sits on: the first record with range <= travel length and
/// base + range <= travel start + travel length; the last record when none fits; the
/// default StageGeometry when there is no record.
StageGeometry FittingStage(const std::vector<StageGeometry>& records, double baseMm,
                           double rangeMm);

/// What the stage did since its start.
struct StageCounters {
    uint32_t homewardMoves = 0;
    uint32_t forwardMoves = 0;
    uint64_t steps = 0;  ///< steps of completed and running moves, both directions
};

/// The stage under the motor controller: position in steps, home at 0, the end of travel
/// at Geometry().TravelSteps(). A move runs at the loaded step period in world time, so it
/// takes period x steps / time scale of real time; every step of a move while output 8 is
/// set sends one pulse to the sensor's trigger input. The outputs do not gate a move.
/// Thread-safe: every member locks; world time is read before the lock is taken.
class Stage final : public TargetSource, public TriggerSource {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    /// Output bit that pulses the sensor's trigger input once per step.
    static constexpr uint8_t kTriggerOutput = 0x08;

    Stage(const World& world, StageGeometry geometry);

    const StageGeometry& Geometry() const { return geometry_; }

    /// Command 7: the step period of the next moves [us] (0 counts as 1).
    void LoadPeriod(uint32_t periodMicros);
    /// Command 8: the step count of the next forward moves; the outputs go off. While a move
    /// (either way) runs, the count is also what that move still makes: 0 ends it at once.
    void LoadCount(uint32_t count, TimePoint now);
    /// Runs to home at the loaded period, whatever the loaded count.
    void StartHomeward(TimePoint now);
    /// Runs the loaded count forward at the loaded period, clamped at the end of travel.
    /// The count stays loaded for the next forward move.
    void StartForward(TimePoint now);
    void SetOutputs(uint8_t outputs, TimePoint now);
    uint8_t Outputs() const;

    bool Moving(TimePoint now) const;
    /// 0 at rest, 1 moving forward, 3 moving homeward.
    uint8_t StateNibble(TimePoint now) const;
    int64_t PositionSteps(TimePoint now) const;
    double PositionMm(TimePoint now) const;
    /// Puts the stage at rest at steps (clamped to the travel): where it stood at power-on.
    void PlaceAt(int64_t steps, TimePoint now);

    uint32_t LoadedPeriod() const;
    uint32_t LoadedCount() const;
    StageCounters Counters() const;

    double TargetMmAt(TimePoint now) const override;
    uint64_t PulsesUntil(TimePoint now) const override;
    TimePoint NextPulseAfter(TimePoint now) const override;
    /// The pulses of the running move and of the last kPulseRunsKept runs of pulses before it.
    TimePoint PulseTime(uint64_t k) const override;

    /// Runs of pulses (a move with output 8 set, up to a change of outputs or moves) whose
    /// times PulseTime still tells.
    static constexpr size_t kPulseRunsKept = 64;

    /// A moment after pulse `pulse`, while the stage stands where it left it.
    TimePoint ExposureTime(uint64_t pulse, TimePoint now) const override;

  private:
    struct Move {
        double startS = 0.0;   ///< world time of the start [s]
        int64_t from = 0;      ///< position at the start [steps]
        int direction = 0;     ///< +1 forward, -1 homeward, 0 none
        int64_t steps = 0;     ///< steps of the whole move
        double periodS = 0.0;  ///< [s] per step
    };

    /// Pulses first .. last of one move: pulse first + i at step markSteps + i + 1.
    struct PulseRun {
        uint64_t first = 0;
        uint64_t last = 0;
        double startS = 0.0;
        int64_t markSteps = 0;
        double periodS = 0.0;
    };

    int64_t StepsDone(double t) const;
    /// Ends the present run of pulses at t (kept for PulseTime); pulseBase_ becomes the total.
    void ClosePulseRun(double t);
    int64_t PositionLocked(double t) const;
    uint64_t PulsesLocked(double t) const;
    void StartMove(int direction, int64_t steps, double t);

    const World& world_;
    const StageGeometry geometry_;

    mutable std::mutex mutex_;  ///< guards every member below
    uint32_t periodMicros_ = 2000;
    uint32_t count_ = 0;
    uint8_t outputs_ = 0;
    Move move_;
    uint64_t pulseBase_ = 0;          ///< pulses counted up to the mark
    int64_t markSteps_ = 0;           ///< steps of the current move at the mark
    std::deque<PulseRun> pulseRuns_;  ///< the last closed runs of pulses, oldest first
    StageCounters counters_;
};

}  // namespace veska::sim
