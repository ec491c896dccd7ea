// (f) The logic thread's own cost: how closely a 1 ms timer keeps its cadence (ticks per
// second against the ideal 1000, alone and with tasks posted between the ticks), and the time
// from posting a task to its start. The ratio of the cadence must stay at 0.9 or above: the
// measurement cycle ticks on this timer.
// Usage: veska_bench_logic_thread [seconds per window, default 2]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <vector>

#include "main/LogicThread.h"

namespace {

using SteadyClock = std::chrono::steady_clock;

/// Ticks per second of a 1 ms timer over one window; posting: a task every 5 ms meanwhile.
double Cadence(double seconds, bool posting) {
    veska::main::LogicThread thread;
    std::atomic<int> ticks{0};
    const auto timer = thread.AddTimer("tick", 1, [&ticks] { ++ticks; });
    thread.Start();
    thread.SetTimerEnabled(timer, true);
    const auto start = SteadyClock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    while (SteadyClock::now() < end) {
        if (posting) thread.Post("task", [] {});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int counted = ticks.load();
    const double elapsed = std::chrono::duration<double>(SteadyClock::now() - start).count();
    thread.Stop();
    return counted / elapsed;
}

/// Median time from Post to the task's start [us], over count tasks posted one at a time.
double PostLatencyMicroseconds(int count) {
    veska::main::LogicThread thread;
    thread.Start();
    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::promise<SteadyClock::time_point> started;
        auto future = started.get_future();
        const auto posted = SteadyClock::now();
        thread.Post("task", [&started] { started.set_value(SteadyClock::now()); });
        latencies.push_back(
            std::chrono::duration<double, std::micro>(future.get() - posted).count());
    }
    thread.Stop();
    std::nth_element(latencies.begin(), latencies.begin() + count / 2, latencies.end());
    return latencies[static_cast<size_t>(count / 2)];
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    const double alone = Cadence(seconds, false);
    const double busy = Cadence(seconds, true);
    const double latency = PostLatencyMicroseconds(2000);
    std::printf("(f) logic thread, 1 ms timer over %.1f s windows\n", seconds);
    std::printf("    alone:                  %7.1f ticks/s (ratio to 1000: %.3f)\n", alone,
                alone / 1000.0);
    std::printf("    with a task every 5 ms: %7.1f ticks/s (ratio to 1000: %.3f)\n", busy,
                busy / 1000.0);
    std::printf("    post to start of a task: %.1f us (median of 2000)\n", latency);
    const double ratio = std::min(alone, busy) / 1000.0;
    std::printf("    cadence ratio %.3f %s\n", ratio, ratio >= 0.9 ? "(ok)" : "(below 0.9)");
    return ratio >= 0.9 ? 0 : 1;
}
