// (j) Stepping samples per second of a verification run (Poverka) on the virtual bench at
// time scale 1, against the stage's own limit: one increment's move time plus the line
// exchanges a sample needs (one motor status read, one result, one move start and
// 2 + 2 x encoderAveraging encoder reads), each timed on the same links before the run.
// A ratio near 1 means the tick loop adds little to what the devices themselves take.
// Usage: veska_bench_stepping [samples, default 400]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchModes.h"
#include "bench/MotorTable.h"
#include "bench/StageDevices.h"
#include "benchmarks/BenchSupport.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StreamController.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"

namespace {

using veska::benchmarks::SecondsSince;
using SteadyClock = std::chrono::steady_clock;
namespace bench = veska::bench;
namespace link = veska::link;

/// Mean duration of one call of exchange [s] over n calls.
template <typename Exchange>
double TimeEach(int n, Exchange exchange) {
    const auto start = SteadyClock::now();
    for (int i = 0; i < n; ++i) exchange();
    return SecondsSince(start) / n;
}

}  // namespace

int main(int argc, char** argv) {
    const int samples = argc > 1 ? std::atoi(argv[1]) : 400;
    if (samples < 20) {
        std::fprintf(stderr, "usage: veska_bench_stepping [samples >= 20]\n");
        return 2;
    }
    veska::sim::BenchOptions options;
    options.installUsbBackend = false;
    options.sensor.noise = 0.0;
    options.stage = veska::sim::StageGeometry{0.0125, 70.0, 170.0};
    options.timeScale = 1.0;
    veska::sim::VirtualBench virtualBench(options);
    std::string error;
    if (!virtualBench.Start(&error)) {
        std::fprintf(stderr, "cannot start the virtual bench: %s\n", error.c_str());
        return 1;
    }
    veska::platform::SetPortDirectory(virtualBench.PortDirectory());

    veska::platform::Clock& clock = veska::platform::SystemClock();
    veska::main::ProgramState state{clock};
    veska::benchmarks::VectorView view;
    bench::StageMotor motor{clock};
    bench::StageEncoder encoder{clock};
    bench::BenchModes modes;
    bench::ModeSteps steps;
    veska::main::WindowState window{view, state.texts, false};
    veska::main::StreamController stream{state, view, window, clock};
    veska::main::MeasurementCycle cycle{
        state, view,   window,
        clock, stream, bench::BenchDevices{motor, encoder, bench::AbsentDevices().board},
        steps};

    state.session.SetView(view);
    if (!state.session.OpenPort() || state.session.Identify() != link::kStatusOk ||
        !state.session.FetchAllParameters()) {
        std::fprintf(stderr, "the simulated sensor did not answer\n");
        return 1;
    }
    state.session.CopySensorToWork(37);
    auto& conn = state.session.conn;
    conn.resultDivisor = 50000;
    state.motorTable = bench::ParseMotorTable("0.0125 70 170\n0.025 320 1060\n");
    conn.motorRecord =
        bench::ChooseMotorRecord(state.motorTable, conn.baseDistance, conn.measuringRange);
    modes.BindTo(steps);
    cycle.refreshIdentity = [] {};

    // The exchanges of one sample, each timed on its own with the stage at rest.
    constexpr int kRounds = 200;
    if (motor.Open() != link::kStatusOk || !encoder.Open(conn.measuringRange)) {
        std::fprintf(stderr, "the simulated motor controller or encoder did not answer\n");
        return 1;
    }
    const double statusRead = TimeEach(kRounds, [&] {
        uint8_t nibble = 0;
        (void)motor.ReadStatus(nibble);
    });
    const double encoderRead = TimeEach(kRounds, [&] {
        float mm = 0.0f;
        (void)encoder.ReadPositionMm(mm);
    });
    (void)motor.LoadMove(2000, 0);  // a start of nothing: the command's cost alone
    const double moveStart = TimeEach(kRounds, [&] { (void)motor.StartForward(); });
    const double result = TimeEach(kRounds, [&] {
        uint16_t raw = 0;
        (void)state.session.sensor.GetResult(conn.netAddress, raw);
    });
    motor.Close();
    encoder.Close();

    // The run: from its first sample to the given count.
    state.benchModeCode = bench::kModePoverka;
    cycle.ToggleMeasure();
    SteadyClock::time_point first{};
    int32_t firstIndex = 0;
    while (cycle.Running() && state.samples.Index() < samples) {
        cycle.TimerMainTimer();
        if (first == SteadyClock::time_point{} && state.samples.Index() > 0) {
            first = SteadyClock::now();
            firstIndex = state.samples.Index();
        }
    }
    const double elapsed = SecondsSince(first);
    const int32_t taken = state.samples.Index() - firstIndex;
    const bench::RunState& run = cycle.run;
    const double incrementMove = run.stepCount * 2000e-6;
    if (cycle.Running()) cycle.ToggleMeasure();
    (void)state.session.sensor.ClosePort();

    const int encoderReads = 2 + 2 * run.timing.encoderAveraging;
    const double limit =
        incrementMove + statusRead + result + moveStart + encoderReads * encoderRead;
    std::printf("stepping verification, time scale 1, %d samples in %.2f s\n", taken, elapsed);
    std::printf("    increment              %u steps of 2000 us: %.2f ms\n", run.stepCount,
                incrementMove * 1e3);
    std::printf(
        "    exchanges              status %.3f ms, result %.3f ms, move %.3f ms, "
        "%d encoder reads of %.3f ms\n",
        statusRead * 1e3, result * 1e3, moveStart * 1e3, encoderReads, encoderRead * 1e3);
    std::printf("    stage limit            %.1f samples/s (%.2f ms a sample)\n", 1.0 / limit,
                limit * 1e3);
    std::printf("    measured               %.1f samples/s\n", taken / elapsed);
    std::printf("    ratio measured/limit   %.3f\n", taken / elapsed * limit);
    return 0;
}
