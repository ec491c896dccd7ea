// (i) the calibration table build for a full ring of 65,536 samples, and the .klb text,
// as a ratio against one pass over the samples (the least any build can cost).
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/CalibrationTable.h"

namespace {

double Seconds(const std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main() {
    using namespace veska::bench;
    constexpr int kSamples = 65536;
    constexpr int kRounds = 20;
    std::vector<float> samples(kSamples), encoder(kSamples);
    for (int i = 0; i < kSamples; ++i) {
        // A raw result that climbs with a bend, as a real sweep's does.
        samples[i] = 1000.0f + 0.8f * static_cast<float>(i) - 2e-6f * static_cast<float>(i) * i;
        encoder[i] = 0.0125f * static_cast<float>(i);
    }

    auto t0 = std::chrono::steady_clock::now();
    double sink = 0.0;
    for (int r = 0; r < kRounds; ++r) {
        for (int i = 0; i < kSamples; ++i) sink += samples[i] * 16384.0 / 100.0;
    }
    const double pass = Seconds(t0) / kRounds;

    t0 = std::chrono::steady_clock::now();
    size_t entries = 0;
    for (int r = 0; r < kRounds; ++r) {
        const std::vector<int32_t> t =
            BuildTableFromSamples(samples, encoder, kSamples, true, 0.0125f, 100);
        entries += static_cast<size_t>(FindTableBounds(t).last);
    }
    const double build = Seconds(t0) / kRounds;

    t0 = std::chrono::steady_clock::now();
    size_t bytes = 0;
    const std::vector<int32_t> table =
        BuildTableFromSamples(samples, encoder, kSamples, true, 0.0125f, 100);
    for (int r = 0; r < kRounds; ++r) bytes += CalibrationFileText(table).size();
    const double text = Seconds(t0) / kRounds;

    std::printf("table build, 65536 samples: %.3f ms (%.1f x one pass over the samples)\n",
                build * 1e3, build / pass);
    std::printf(".klb text, 56832 lines:     %.3f ms (%.1f x one pass)\n", text * 1e3, text / pass);
    std::printf("(checks: %.0f %zu %zu)\n", sink > 0 ? 1.0 : 0.0, entries, bytes);
    return 0;
}
