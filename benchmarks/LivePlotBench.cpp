// (j) Display ticks per second of a running stream's live chart with 1,000 and with 60,000
// samples on it: each tick takes the samples that came in at 921600 bit/s during one 40 ms
// display period (838), decimates them into the live trace, updates the statistics, and
// redraws the chart (QCustomPlot, offscreen). The ratio must stay near 1: a tick does not
// grow with the samples already drawn. For comparison, the same ticks drawing every sample
// (no decimation) into the series.
// Usage: QT_QPA_PLATFORM=offscreen veska_bench_live_plot [ticks, default 300]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "acquire/ChartData.h"
#include "acquire/CsvExport.h"
#include "ui/ChartView.h"

namespace {

using SteadyClock = std::chrono::steady_clock;
using veska::acquire::ChartStatistics;
using veska::acquire::MinMaxDecimator;
using veska::acquire::RunningStatistics;
using veska::ui::ChartView;

constexpr int kDisplayPeriodMs = 40;
constexpr uint32_t kLineRate = 921600;

double Sample(int64_t i) { return 100.0 + 0.5 * std::sin(i * 0.003) + 0.01 * ((i * 7919) % 13); }

int NewSamplesPerTick() {
    const double interval = veska::acquire::StreamSampleInterval(kLineRate);
    return static_cast<int>(kDisplayPeriodMs * 1e-3 / interval);
}

/// Ticks per second with `onChart` samples already drawn. Every tick starts from the same
/// state (a copy of the decimator and the statistics at onChart samples), so that the chart
/// holds the same number of samples in every tick; the copy costs the same for both sizes.
double LiveTicksPerSecond(ChartView& chart, int onChart, int ticks) {
    MinMaxDecimator base;
    RunningStatistics baseStatistics;
    for (int64_t i = 0; i < onChart; ++i) {
        base.Add(Sample(i));
        baseStatistics.Add(Sample(i));
    }
    const int perTick = NewSamplesPerTick();
    std::vector<double> x, y;
    chart.Clear();
    double best = 0.0;
    for (int window = 0; window < 3; ++window) {
        const auto start = SteadyClock::now();
        for (int t = 0; t < ticks; ++t) {
            MinMaxDecimator live = base;
            RunningStatistics statistics = baseStatistics;
            for (int64_t i = onChart; i < onChart + perTick; ++i) {
                live.Add(Sample(i));
                statistics.Add(Sample(i));
            }
            live.Envelope(x, y);
            chart.SetLiveTrace(x, y);
            chart.SetStatistics(ChartStatistics{true, statistics.Result(), "mm", 20945.0, {}});
            chart.ReplotIfDirty();
        }
        const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        best = std::max(best, ticks / seconds);
    }
    return best;
}

/// The same ticks without decimation: the new samples are added to the series, which starts
/// each window with onChart samples and grows by the ticks' samples; redrawn each tick.
double PlainTicksPerSecond(ChartView& chart, int onChart, int ticks) {
    std::vector<float> first(static_cast<size_t>(onChart));
    for (int i = 0; i < onChart; ++i) first[static_cast<size_t>(i)] = static_cast<float>(Sample(i));
    const int perTick = NewSamplesPerTick();
    std::vector<float> more(static_cast<size_t>(perTick));
    for (int i = 0; i < perTick; ++i) more[static_cast<size_t>(i)] = static_cast<float>(Sample(i));
    double best = 0.0;
    for (int window = 0; window < 3; ++window) {
        chart.Clear();
        chart.AddPoints(first.data(), onChart, 0);
        const auto start = SteadyClock::now();
        for (int t = 0; t < ticks; ++t) {
            chart.AddPoints(more.data(), perTick, onChart + t * perTick);
            chart.RequestReplot();
            chart.ReplotIfDirty();
        }
        const double seconds = std::chrono::duration<double>(SteadyClock::now() - start).count();
        best = std::max(best, ticks / seconds);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int ticks = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    QApplication app(argc, argv);
    ChartView chart;
    chart.resize(800, 420);
    chart.show();
    QApplication::processEvents();

    const double small = LiveTicksPerSecond(chart, 1000, ticks);
    const double large = LiveTicksPerSecond(chart, 60000, ticks);
    const int plainTicks = std::max(10, ticks / 10);
    const double plainSmall = PlainTicksPerSecond(chart, 1000, plainTicks);
    const double plainLarge = PlainTicksPerSecond(chart, 60000, plainTicks);

    std::printf("(j) live stream chart: %d new samples per %d ms display tick (%u bit/s)\n",
                NewSamplesPerTick(), kDisplayPeriodMs, kLineRate);
    std::printf("    decimated,  1,000 samples on the chart   %8.0f ticks/s\n", small);
    std::printf("    decimated, 60,000 samples on the chart   %8.0f ticks/s\n", large);
    std::printf("    ratio 60,000 / 1,000                     %8.2f (near 1: flat)\n",
                large / small);
    std::printf("    every sample drawn,  1,000 (+ticks)      %8.0f ticks/s\n", plainSmall);
    std::printf("    every sample drawn, 60,000 (+ticks)      %8.0f ticks/s\n", plainLarge);
    std::printf("    ratio without decimation                 %8.2f\n", plainLarge / plainSmall);
    return 0;
}
