#pragma once
#include <cstdint>
#include <string>

namespace veska::bench {

/// What the samples of a sweep hold: distances [mm] or raw results.
enum class SweepValues { Millimetres, Raw };

/// The judgement of a sweep's kept samples (after the drop of the leading samples): did the
/// sensor see the target along the range?
///
/// A reading is valid when it is finite, not 0 (the sensor's "no target") and inside the
/// sensor's output (distances at most 1.5 x the range, which a result code above the divisor gives;
/// raw results below 65535). The sweep is valid when
/// - at least 90 % of its kept samples are valid readings,
/// - the valid readings lie along at least 90 % of the range (first to last, by position),
/// - and they are not flat: distances change over at least half the range, raw results over
///   at least a tenth of their largest value.
struct SweepValidity {
    static constexpr double kValidShare = 0.90;
    static constexpr double kSpanShare = 0.90;

    int32_t kept = 0;        ///< samples judged
    int32_t valid = 0;       ///< valid readings among them
    double spanMm = 0.0;     ///< range covered by the valid readings [mm]
    double valueSpan = 0.0;  ///< largest minus smallest valid reading (mm or raw)
    bool ok = false;
    std::string reason;  ///< why the sweep is not valid; empty when ok
};

/// Judges n samples taken sampleStep apart over a range of rangeMm.
SweepValidity JudgeSweep(const float* values, int32_t n, SweepValues kind, float sampleStep,
                         int32_t rangeMm);

struct RunState;
/// The judgement's counts in the run's results ("kept_samples", "valid_samples",
/// "valid_span_mm") and the rule in its method ("validity").
void RecordValidity(RunState& run, const SweepValidity& validity);

}  // namespace veska::bench
