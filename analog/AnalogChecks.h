#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bench/RunFrame.h"

namespace veska::analog {

/// Parameter rows the analog checks write.
enum AnalogRow : int {
    kRowSensorOnOff = 0,
    kRowSamplingPeriod = 9,
    kRowBottomLevel = 37,  ///< "Bottom Analog Level", an output code
    kRowTopLevel = 38,     ///< "Top Analog Level", an output code
};

/// Output codes of the level sweeps: 0 .. kLevelCodes - 1.
inline constexpr int32_t kLevelCodes = 16384;

/// Which output a check measures: the voltage output (0..10 V) or the current loop (4..20 mA).
enum class OutputKind { Voltage, Current };

/// One step of an adjustment sweep.
struct SweepStep {
    int32_t step;    ///< 1 (fine) or 100 (coarse) [codes]
    bool goesOn;     ///< false once the reading passed the end value
    int intervalMs;  ///< the next tick's interval: 20 with the fine step, else 2 [ms]
};

/// The step after a reading (voltage [V] or current [mA]) of an adjustment sweep: fine near
/// the ends of the output range, coarse in between.
SweepStep AdjustmentStep(OutputKind kind, float reading);

/// The levels an adjustment found; -1 when not found.
struct FoundLevels {
    int32_t bottom = -1;
    int32_t top = -1;
};

/// The levels in a sweep's readings (index = level code, 0 = not read): bottom is the first
/// level whose reading exceeds the smallest non-zero reading by more than 5 mV (10 uA), top
/// the first level reaching 10.0 V (20.0 mA), or the level of the largest reading when none
/// does. Current readings below 4.0 mA are not looked at.
FoundLevels FindLevels(OutputKind kind, std::span<const float> readings);

/// The deviation of a line check's readings from the straight line through the first and
/// the last, in percent of the span.
struct LineErrors {
    std::vector<float> errors;  ///< one per reading [%]
    float largest = 0.0f;       ///< starts from 0 [%]
    float smallest = 0.0f;      ///< starts from 0 [%]
};

/// Nothing when there are fewer than two readings or the span is 0.
std::optional<LineErrors> EvaluateLine(std::span<const float> readings);

/// The stream rate [kHz] from the stream's newest index (plus the ring size when wrapped)
/// over the elapsed time [ms]; 0 when either is 0.
double StreamRateKhz(int32_t newestIndex, bool wrapped, uint32_t elapsedMs);

/// "0_10V_Adjustment" (137) and "4_20mA_Adjustment" (139): sweeps the top level from 0 up
/// while reading the output, then writes the bottom and top levels found.
class AdjustmentMode final : public bench::RunMode {
  public:
    explicit AdjustmentMode(OutputKind kind) : kind_(kind) {}
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& frame) override;
    void Stop(bench::RunFrame& frame) override;

  private:
    void Analyse(bench::RunFrame& frame);

    OutputKind kind_;
    bool started_ = false;   ///< the start read the sensor's levels (its stop restores them)
    bool analysed_ = false;  ///< the sweep ended and the levels found were written
    int misses_ = 0;         ///< board readings in a row without data
    std::vector<float> readings_ = std::vector<float>(kLevelCodes, 0.0f);  ///< by level code
};

/// "0_10V_Check" (138) and "4_20mA_Check" (140): reads the output at the bottom level, sets
/// the top level and reads it two ticks later; both on the board's read-outs.
class CheckMode final : public bench::RunMode {
  public:
    explicit CheckMode(OutputKind kind) : kind_(kind) {}
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& frame) override;
    void Stop(bench::RunFrame& frame) override;

  private:
    OutputKind kind_;
    float checkValue_ = 0.0f;  ///< the reading at the bottom level
    bool started_ = false;     ///< the start read the sensor's levels (its stop restores them)
    bool done_ = false;        ///< both readings were taken
    int misses_ = 0;           ///< board readings in a row without data
};

/// "Analog_Line_Check" (141): steps the bottom level by 8 up to the top level, then charts
/// the deviation from the straight line.
class LineCheckMode final : public bench::RunMode {
  public:
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& frame) override;
    void Stop(bench::RunFrame& frame) override;

  private:
    void Evaluate(bench::RunFrame& frame);

    bool started_ = false;  ///< the start read the sensor's levels (its stop restores them)
    bool done_ = false;     ///< the line was evaluated
    int misses_ = 0;        ///< board readings in a row without data
};

/// "IN_Check" (142): the motor controller makes 99 steps with outputs 2 and 8 set while the
/// sensor streams one sample per trigger pulse.
class InCheckMode final : public bench::RunMode {
  public:
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& frame) override;
    void Stop(bench::RunFrame& frame) override;
};

/// "AL_Check" (143): the status stream, its AL bit shown as "Hi" or "Lo"; runs until the
/// user stops it.
class AlCheckMode final : public bench::RunMode {
  public:
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& /*frame*/) override {}
    void Stop(bench::RunFrame& frame) override;
};

/// "STREAM_FRQ_Check" (144): streams for 5 s and shows the rate.
class StreamRateMode final : public bench::RunMode {
  public:
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& frame) override;
    void Stop(bench::RunFrame& frame) override;

  private:
    uint32_t startTick_ = 0;  ///< [ms]
    uint32_t elapsedMs_ = 0;
    bool ticked_ = false;
};

/// The eight analog output and signal checks, bound to their codes 137..144.
class AnalogChecks {
  public:
    void BindTo(bench::ModeSteps& steps);

  private:
    AdjustmentMode voltageAdjustment_{OutputKind::Voltage};
    AdjustmentMode currentAdjustment_{OutputKind::Current};
    CheckMode voltageCheck_{OutputKind::Voltage};
    CheckMode currentCheck_{OutputKind::Current};
    LineCheckMode lineCheck_;
    InCheckMode inCheck_;
    AlCheckMode alCheck_;
    StreamRateMode streamRate_;
};

}  // namespace veska::analog
