// (e) The plot of a full ring at stream stop (one ChartAddPoints pass into a view that keeps
// points in plain vectors) and the export of a full ring to a file.
// Usage: veska_bench_plot_export [repetitions, default 20]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "benchmarks/BenchSupport.h"

namespace {

using veska::benchmarks::SecondsSince;
using veska::benchmarks::VectorView;
using SteadyClock = std::chrono::steady_clock;

}  // namespace

int main(int argc, char** argv) {
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 20;
    veska::platform::FakeClock clock;
    // The sensor is never opened: the stop's requests fail at once.
    veska::main::ProgramState state(clock);
    VectorView view;
    veska::main::WindowState window(view, state.texts, false);
    veska::main::StreamController stream(state, view, window, clock);

    constexpr int kSize = veska::acquire::SampleBuffer::kSize;
    double plotSeconds = 0.0;
    size_t plotted = 0;
    for (int r = 0; r < repetitions; ++r) {
        state.samples.Reset();
        for (int i = 0; i < kSize; ++i) state.samples.AppendNewest(0.001f * i);
        view.ChartClear();
        const auto start = SteadyClock::now();
        stream.Stop();  // flag, StopStream x2, restores (all fail at once), then the plot
        plotSeconds += SecondsSince(start);
        plotted = view.pointY.size();
    }

    char path[] = "/tmp/veska-export-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return 1;
    close(fd);
    double exportSeconds = 0.0;
    bool ok = true;
    for (int r = 0; r < repetitions; ++r) {
        std::string error;
        const auto start = SteadyClock::now();
        ok = state.samples.ExportToFile(path, error) && ok;
        exportSeconds += SecondsSince(start);
    }
    FILE* f = std::fopen(path, "rb");
    long bytes = 0;
    if (f != nullptr) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
    }
    unlink(path);

    std::printf("(e) a full ring of %d samples, %d repetitions\n", kSize, repetitions);
    std::printf("    stream-stop plot of %zu points   %.2f ms per stop (%.1f ns per point)\n",
                plotted, 1e3 * plotSeconds / repetitions,
                1e9 * plotSeconds / repetitions / static_cast<double>(plotted));
    std::printf("    export of 65535 lines (%ld bytes)  %.2f ms per file%s\n", bytes,
                1e3 * exportSeconds / repetitions, ok ? "" : "  (WRITE FAILED)");
    return ok ? 0 : 1;
}
