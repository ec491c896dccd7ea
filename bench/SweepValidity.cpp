#include "bench/SweepValidity.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "bench/RunFrame.h"
#include "lang/NumberFormat.h"

namespace veska::bench {

namespace {

constexpr double kLargestDistanceShare = 1.5;  ///< of the range
constexpr float kLargestRaw = 65535.0f;
constexpr double kFlatMmShare = 0.5;   ///< distances must change over half the range
constexpr double kFlatRawShare = 0.1;  ///< raw results over a tenth of their largest

bool ValidReading(float value, SweepValues kind, int32_t rangeMm) {
    if (!std::isfinite(value) || value <= 0.0f) return false;
    if (kind == SweepValues::Raw) return value < kLargestRaw;
    return static_cast<double>(value) <= kLargestDistanceShare * rangeMm;
}

std::string Percent(double share) { return lang::FormatFixed(share * 100.0, 1) + " %"; }

}  // namespace

SweepValidity JudgeSweep(const float* values, int32_t n, SweepValues kind, float sampleStep,
                         int32_t rangeMm) {
    SweepValidity v;
    v.kept = std::max<int32_t>(n, 0);
    int32_t first = -1;
    int32_t last = -1;
    float smallest = std::numeric_limits<float>::max();
    float largest = 0.0f;
    for (int32_t i = 0; i < v.kept; ++i) {
        if (!ValidReading(values[i], kind, rangeMm)) continue;
        ++v.valid;
        if (first < 0) first = i;
        last = i;
        smallest = std::min(smallest, values[i]);
        largest = std::max(largest, values[i]);
    }
    if (v.valid > 0) {
        v.spanMm = static_cast<double>(last - first) * static_cast<double>(sampleStep);
        v.valueSpan = static_cast<double>(largest) - static_cast<double>(smallest);
    }
    if (v.kept < 2 || rangeMm <= 0) {
        v.reason = "the sweep kept " + std::to_string(v.kept) + " samples: too few to judge";
        return v;
    }
    const double validShare = static_cast<double>(v.valid) / v.kept;
    if (validShare < SweepValidity::kValidShare) {
        v.reason = "the sensor did not see the target: " + std::to_string(v.valid) + " of " +
                   std::to_string(v.kept) + " samples valid (" + Percent(validShare) +
                   ", at least " + Percent(SweepValidity::kValidShare) + " needed)";
        return v;
    }
    const double spanShare = v.spanMm / rangeMm;
    if (spanShare < SweepValidity::kSpanShare) {
        v.reason = "the valid samples cover " + Percent(spanShare) + " of the range (at least " +
                   Percent(SweepValidity::kSpanShare) + " needed)";
        return v;
    }
    const double flatBound =
        kind == SweepValues::Raw ? kFlatRawShare * largest : kFlatMmShare * rangeMm;
    if (v.valueSpan < flatBound) {
        v.reason = "the readings are flat: they change by " + lang::FormatFixed(v.valueSpan, 3) +
                   (kind == SweepValues::Raw ? "" : " mm") + " along the sweep";
        return v;
    }
    v.ok = true;
    return v;
}

void RecordValidity(RunState& run, const SweepValidity& validity) {
    run.results["kept_samples"] = validity.kept;
    run.results["valid_samples"] = validity.valid;
    run.results["valid_span_mm"] = std::round(validity.spanMm * 1e4) / 1e4;
    run.method["validity"] =
        "valid readings (not 0, inside the output) in at least 90 % of the kept samples, "
        "along at least 90 % of the range, not flat";
    run.method["validity_result"] = validity.ok ? "valid" : validity.reason;
}

}  // namespace veska::bench
