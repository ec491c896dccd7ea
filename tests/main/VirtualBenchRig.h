#pragma once
// A bench run on the virtual bench over real pseudo-terminals: the sensor, the motor
// controller and the encoder of one coupled world, the run frame with a fake view, and a test
// clock that cuts the protocol's long waits short. Moves run twenty times faster than real.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "bench/BenchModes.h"
#include "bench/MotorTable.h"
#include "bench/StageDevices.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StreamController.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"
#include "tests/support/BenchRun.h"
#include "tests/support/ScratchFolder.h"

namespace veska::testing {

inline constexpr const char* kTable = "0.05 70 170\n0.025 320 1060\n";

inline sim::BenchOptions LoopBench() {
    sim::BenchOptions o;
    o.installUsbBackend = false;
    o.sensor.noise = 0.0;
    o.stage = sim::StageGeometry{0.05, 70.0, 170.0};
    o.timeScale = 20.0;
    return o;
}

class VirtualBenchRunTest : public ::testing::Test {
  protected:
    explicit VirtualBenchRunTest(const sim::BenchOptions& options = LoopBench()) : bench(options) {}

    void SetUp() override {
        clock.maxRealSleepMs = 2;
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        platform::SetPortDirectory(bench.PortDirectory());
        state.session.SetView(view);
        view.reportFolder = runFiles.folder.string();
        ASSERT_TRUE(state.session.OpenPort());
        ASSERT_EQ(state.session.Identify(), link::kStatusOk);
        ASSERT_TRUE(state.session.FetchAllParameters());
        state.session.CopySensorToWork(37);
        auto& conn = state.session.conn;
        conn.resultDivisor = 50000;
        state.motorTable = bench::ParseMotorTable(kTable);
        conn.motorRecord =
            bench::ChooseMotorRecord(state.motorTable, conn.baseDistance, conn.measuringRange);
        ASSERT_EQ(conn.motorRecord, 0);
        modes.BindTo(steps);
        cycle.refreshIdentity = [] {};
        SwitchEncoderToItsRunRate();
    }

    /// A run switches the encoder to its working rate and waits for it on the test clock,
    /// which does not really wait: a loaded machine may read the switch only after the host
    /// changed its own rate, and the encoder then misses it. Switched here first, asking
    /// until it answers at that rate, the run finds it whatever the load.
    void SwitchEncoderToItsRunRate() {
        encoder.SetLineRate(main::MeasurementCycle::kEncoderRunRate);
        bool present = false;
        for (int i = 0; i < 50 && !present; ++i) {
            present = encoder.Open(state.session.conn.measuringRange);
            if (!present) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        encoder.Close();
        ASSERT_TRUE(present) << "the encoder does not answer";
    }
    void TearDown() override {
        stream.Stream().StopThread();
        (void)state.session.sensor.ClosePort();
    }

    /// One run of a mode to its own end; false when it did not end within maxTicks.
    bool RunMode(int32_t code) { return veska::testing::RunBenchMode(state, cycle, code); }

    /// Ticks the running run until pred holds or it ends; true when pred held.
    bool TickUntil(const std::function<bool()>& pred, int maxTicks = 200000) {
        for (int i = 0; i < maxTicks && cycle.Running(); ++i) {
            if (pred()) return true;
            cycle.TimerMainTimer();
        }
        return pred();
    }
    /// The distance the sensor reports now [mm from the range start].
    double SensorReadingMm() {
        uint16_t raw = 0;
        EXPECT_EQ(state.session.sensor.GetResult(state.session.conn.netAddress, raw),
                  link::kStatusOk);
        return static_cast<double>(raw) * state.session.conn.measuringRange /
               state.session.conn.resultDivisor;
    }

    ScratchFolder runFiles{"veska_bench_run_"};  ///< the report files and run records
    sim::VirtualBench bench;
    TestClock clock;
    main::ProgramState state{clock};
    FakeMainView view;
    bench::StageMotor motor{clock};
    bench::StageEncoder encoder{clock};
    bench::BenchModes modes;
    bench::ModeSteps steps;
    main::WindowState window{view, state.texts, false};
    main::StreamController stream{state, view, window, clock};
    main::MeasurementCycle cycle{
        state, view,   window,
        clock, stream, bench::BenchDevices{motor, encoder, bench::AbsentDevices().board},
        steps};
};

}  // namespace veska::testing
