#include "analog/AnalogReport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "lang/NumberFormat.h"

namespace veska::analog {

namespace {

constexpr size_t kMaxRecordingBytes = 131072;  ///< 65,536 words
constexpr size_t kMaxSamples = 65536;
constexpr int32_t kDropped = 12;       ///< leading samples of the sweep's start
constexpr int32_t kHalfWindow = 3;     ///< H: windows of 7 samples
constexpr float kValidBelowV = 11.0f;  ///< valid voltages: 0 <= U < 11 V
constexpr float kMinimumSpanV = 4.0f;  ///< a report needs more span than this [V]
constexpr double kVoltageScale = 500.0;
constexpr double kVoltageDivider = 1.0 / 454.5;

/// The position label: k x step cut to 4 decimals, in general number format.
std::string PositionLabel(int32_t k, float step) {
    const double cut = std::trunc(static_cast<double>(k) * step * 10000.0) * 0.0001;
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", cut);
    return text;
}

}  // namespace

std::vector<float> RecordingVolts(std::span<const uint8_t> recording, float gain, uint16_t offset) {
    const size_t bytes = std::min(recording.size(), kMaxRecordingBytes);
    const size_t words = bytes / 2;
    std::vector<float> volts;
    if (words < 2) return volts;
    volts.reserve(words - 1);
    for (size_t k = 0; k + 1 < words && volts.size() < kMaxSamples; ++k) {
        const int32_t word = recording[2 * k] | recording[2 * k + 1] << 8;
        const int32_t raw = word + 0x8000 - int32_t{offset};  // no 16-bit wrap here
        float v = gain * static_cast<float>(raw);
        v = static_cast<float>(double{v} * kVoltageScale * kVoltageDivider);
        volts.push_back(v);
    }
    return volts;
}

float Median7(const float* values) {
    std::array<float, 7> sorted{};
    std::copy_n(values, 7, sorted.begin());
    std::nth_element(sorted.begin(), sorted.begin() + 3, sorted.end());
    return sorted[3];
}

void SmoothInPlace(std::vector<float>& samples, int32_t first, int32_t last) {
    const auto size = static_cast<int32_t>(samples.size());
    for (int32_t i = first + kHalfWindow; i < last - kHalfWindow && i + kHalfWindow < size; ++i) {
        float sum = 0.0f;
        for (int32_t j = i - kHalfWindow; j <= i + kHalfWindow; ++j) sum += samples[j];
        samples[i] = sum / static_cast<float>(2 * kHalfWindow + 1);
    }
}

std::string PvkText(float sampleStep, std::span<const float> samples, int32_t first, int32_t last) {
    std::string text = lang::FormatFixedPrecision(sampleStep, 10, 6) + "\n";
    for (int32_t i = std::max(first, 0); i < last && i < static_cast<int32_t>(samples.size());
         ++i) {
        text += lang::FormatFixedPrecision(samples[static_cast<size_t>(i)], 12, 4) + "\r\n";
    }
    return text;
}

std::optional<AnalogReport> EvaluateAnalog(const AnalogReportInput& input) {
    if (!(input.sampleStep > 0.0f) || input.rangeMm <= 0) return std::nullopt;
    AnalogReport report;
    std::vector<float>& v = report.curve;
    v = RecordingVolts(input.recording, input.gain, input.offset);

    // The sweep's first samples are dropped; the range keeps 1 % clear of its far end.
    if (static_cast<int32_t>(v.size()) <= kDropped) return std::nullopt;
    v.erase(v.begin(), v.begin() + kDropped);
    const auto limit = static_cast<int64_t>(input.rangeMm * 0.99 / input.sampleStep);
    if (static_cast<int64_t>(v.size()) > limit)
        v.resize(static_cast<size_t>(std::max<int64_t>(limit, 0)));
    const auto n = static_cast<int32_t>(v.size());

    // The valid voltages: the largest (its first occurrence ends the curve), then the
    // smallest before it.
    const int32_t first = 0;
    int32_t last = n;
    float vMax = 0.0f;
    for (int32_t i = 0; i < n; ++i) {
        if (v[i] >= 0.0f && v[i] < kValidBelowV && v[i] > vMax) {
            vMax = v[i];
            last = i;
        }
    }
    float vMin = kValidBelowV;
    for (int32_t i = 0; i < last && i < n; ++i) {
        if (v[i] >= 0.0f && v[i] < kValidBelowV && v[i] < vMin) vMin = v[i];
    }
    if (last >= n || vMax - vMin <= kMinimumSpanV) return std::nullopt;

    // Voltage to position along a straight line from the smallest to the largest.
    const float slope = (vMax - vMin) / static_cast<float>(last - first);
    for (int32_t i = 0; i <= last; ++i) {
        const float clamped = std::clamp(v[i], vMin, vMax);
        v[i] = (clamped - vMin) * input.sampleStep / slope;
    }
    const std::vector<float> copy = v;
    for (int32_t i = first + kHalfWindow; i < last - kHalfWindow; ++i) {
        v[i] = Median7(&copy[static_cast<size_t>(i - kHalfWindow)]);
    }
    SmoothInPlace(v, first, last);

    // Deviation from the reference (or the nominal line) and its spread.
    const bool withEncoder = !input.encoder.empty();
    std::vector<float> deviation;
    float dMin = static_cast<float>(n) * input.sampleStep;
    float dMax = -static_cast<float>(n) * input.sampleStep;
    for (int32_t i = first; i < last; ++i) {
        const float reference =
            withEncoder ? (static_cast<size_t>(i) < input.encoder.size() ? input.encoder[i] : 0.0f)
                        : static_cast<float>(i - first) * input.sampleStep;
        const float d = v[i] - reference;
        dMin = std::min(dMin, d);
        dMax = std::max(dMax, d);
        deviation.push_back(d);
    }
    const float centre = (dMax + dMin) * 0.5f;
    const auto range = static_cast<float>(input.rangeMm);
    report.figure = (dMax - dMin) * 100.0f / (range * 2.0f);
    for (size_t k = 0; k < deviation.size(); ++k) {
        report.points.push_back({(deviation[k] - centre) * 100.0f / range,
                                 PositionLabel(static_cast<int32_t>(k), input.sampleStep)});
    }
    report.first = first;
    report.last = last;
    report.fileText = PvkText(input.sampleStep, v, first, last);
    return report;
}

}  // namespace veska::analog
