// The whole calibration loop on the virtual bench, over real pseudo-terminals: a
// verification of an uncalibrated sensor, a calibration that builds and uploads the table,
// and a verification afterwards, with the stepping and with the synchronous runs; and a
// calibration stopped early. Moves run twenty times faster than real; the protocol's long
// waits are cut short by the test clock.
#include <gtest/gtest.h>

#include <atomic>
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
#include "sim/ParamMemory.h"
#include "sim/VirtualBench.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"
#include "tests/support/BenchRun.h"

namespace veska::testing {
namespace {

constexpr const char* kTable = "0.05 70 170\n0.025 320 1060\n";

sim::BenchOptions LoopBench() {
    sim::BenchOptions o;
    o.installUsbBackend = false;
    o.sensor.noise = 0.0;
    o.stage = sim::StageGeometry{0.05, 70.0, 170.0};
    o.timeScale = 20.0;
    return o;
}

/// The stage's home far behind the motor table's record: the positioning move leaves the
/// target beyond the sensor's range, where it sees nothing.
sim::BenchOptions OutOfRangeBench() {
    sim::BenchOptions o = LoopBench();
    o.stage = sim::StageGeometry{0.05, 200.0, 170.0};
    return o;
}

class BenchLoopTest : public ::testing::Test {
  protected:
    explicit BenchLoopTest(const sim::BenchOptions& options = LoopBench()) : bench(options) {}

    void SetUp() override {
        clock.maxRealSleepMs = 2;
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        platform::SetPortDirectory(bench.PortDirectory());
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

/// Verification, calibration, verification with one pair of runs (stepping or synchronous).
struct LoopCase {
    const char* name;
    int32_t verification;
    int32_t calibration;
};

class BenchLoopRuns : public BenchLoopTest, public ::testing::WithParamInterface<LoopCase> {};

TEST_P(BenchLoopRuns, CalibrationStraightensTheSensor) {
    const LoopCase c = GetParam();
    ASSERT_TRUE(RunMode(c.verification)) << ::testing::PrintToString(cycle.run.notes);
    ASSERT_TRUE(cycle.run.encoderPresent) << ::testing::PrintToString(cycle.run.notes);
    const double before = cycle.run.results.at("figure_percent");
    EXPECT_GE(before, 0.5) << "the simulated optics are non-linear by a few percent";

    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Passed) << cycle.run.verdict.reason;
    const std::string firstStem = cycle.run.stem;

    ASSERT_TRUE(RunMode(c.calibration)) << ::testing::PrintToString(cycle.run.notes);
    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Passed) << cycle.run.verdict.reason;
    EXPECT_EQ(cycle.run.results.at("table_uploaded"), 1)
        << ::testing::PrintToString(cycle.run.notes);
    EXPECT_EQ(cycle.run.results.at("table_blocks"), 111);
    EXPECT_EQ(bench.Sensor().Counters().tableBlocks, 111u);
    EXPECT_EQ(state.session.values.workValues[params::kRowModeOfRun], 0);

    ASSERT_TRUE(RunMode(c.verification)) << ::testing::PrintToString(cycle.run.notes);
    const double after = cycle.run.results.at("figure_percent");
    EXPECT_LT(after, 0.05) << "before " << before;
    RecordProperty("figure_before", std::to_string(before));
    RecordProperty("figure_after", std::to_string(after));
    EXPECT_GT(after, 0.0);
    EXPECT_EQ(view.chartImages.size(), 2u);
    // Each run's files have names of their own.
    EXPECT_NE(cycle.run.stem, firstStem);
    ASSERT_EQ(view.chartImages.size(), 2u);
    EXPECT_NE(view.chartImages[0].path, view.chartImages[1].path);
}

INSTANTIATE_TEST_SUITE_P(
    Loop, BenchLoopRuns,
    ::testing::Values(LoopCase{"Stepping", bench::kModePoverka, bench::kModeCalibration},
                      LoopCase{"Synchronous", bench::kModeSynchroPoverka,
                               bench::kModeSynchroCalibration}),
    [](const ::testing::TestParamInfo<LoopCase>& info) { return std::string(info.param.name); });

TEST_F(BenchLoopTest, ACalibratedSensorReadsTheTargetsPositionEverywhereInItsRange) {
    ASSERT_TRUE(RunMode(bench::kModeCalibration)) << ::testing::PrintToString(cycle.run.notes);
    ASSERT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Passed) << cycle.run.verdict.reason;
    ASSERT_EQ(bench.Sensor().Counters().tableBlocks, 111u);
    state.session.SendValue(params::kRowModeOfRun, 0);
    const double step = bench.GetStage().Geometry().stepLengthMm;
    const double base = state.session.conn.baseDistance;
    for (const double mm : {5.0, 25.0, 45.0}) {
        const auto steps = static_cast<int64_t>(std::lround((base + mm - 70.0) / step));
        bench.GetStage().PlaceAt(steps, sim::World::SteadyClock::now());
        const double target = bench.GetStage().TargetMmAt(sim::World::SteadyClock::now()) - base;
        EXPECT_NEAR(SensorReadingMm(), target, step) << "at " << mm << " mm";
    }
}

TEST_F(BenchLoopTest, ASensorSwitchedOffMidSweepFailsTheCalibrationAndUploadsNothing) {
    state.benchModeCode = bench::kModeCalibration;
    cycle.ToggleMeasure();
    ASSERT_TRUE(TickUntil([&] { return state.samples.Count() >= 300; }));
    bench.Sensor().SetParam(sim::addr::kSensorOn, 0);
    for (int i = 0; i < 200000 && cycle.Running(); ++i) cycle.TimerMainTimer();
    ASSERT_FALSE(cycle.Running());
    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Failed) << cycle.run.verdict.reason;
    EXPECT_NE(cycle.run.verdict.reason.find("did not see the target"), std::string::npos)
        << cycle.run.verdict.reason;
    EXPECT_EQ(bench.Sensor().Counters().tableBlocks, 0u);
    EXPECT_EQ(cycle.run.results.at("table_uploaded"), 0);
    EXPECT_LT(cycle.run.results.at("valid_samples"), cycle.run.results.at("kept_samples"));
    for (const std::string& preset : view.reportPresets) {
        EXPECT_EQ(preset.find(".klb"), std::string::npos) << "no table file is offered";
    }
}

TEST_F(BenchLoopTest, AStalledUploadIsAnErrorThatSaysTheTableIsIncomplete) {
    std::atomic<bool> done{false};
    // The sensor goes silent after the 40th block of the upload.
    std::thread stall([&] {
        while (!done && bench.Sensor().Counters().tableBlocks < 40) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        bench.Sensor().SetSilent(true);
    });
    view.messageAnswers = {2};  // Cancel the Retry question
    const bool ended = RunMode(bench::kModeSynchroCalibration);
    done = true;
    stall.join();
    bench.Sensor().SetSilent(false);
    ASSERT_TRUE(ended);
    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Error);
    EXPECT_NE(cycle.run.verdict.reason.find("table is incomplete"), std::string::npos)
        << cycle.run.verdict.reason;
    EXPECT_EQ(cycle.run.results.at("table_uploaded"), 0);
    EXPECT_EQ(cycle.run.results.at("table_blocks"), 40);
}

class OutOfRangeTest : public BenchLoopTest {
  protected:
    OutOfRangeTest() : BenchLoopTest(OutOfRangeBench()) {}
};

TEST_F(OutOfRangeTest, ABlindSweepNeitherCalibratesNorPasses) {
    ASSERT_TRUE(RunMode(bench::kModeSynchroCalibration));
    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Failed) << cycle.run.verdict.reason;
    EXPECT_EQ(bench.Sensor().Counters().tableBlocks, 0u);
    EXPECT_EQ(cycle.run.results.at("valid_samples"), 0);
    EXPECT_TRUE(view.reportPresets.empty()) << "no table file is offered";

    ASSERT_TRUE(RunMode(bench::kModeSynchroPoverka));
    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Failed) << cycle.run.verdict.reason;
    EXPECT_EQ(cycle.run.results.count("figure_percent"), 0u);
    EXPECT_TRUE(view.chartImages.empty());
}

TEST_F(BenchLoopTest, CalibrationStoppedEarlyBuildsNothingAndRestoresTheParameters) {
    auto& work = state.session.values.workValues;
    const auto before = work;
    state.benchModeCode = bench::kModeSynchroCalibration;
    cycle.ToggleMeasure();
    for (int i = 0; i < 200000 && cycle.Running() && state.samples.Index() < 100; ++i) {
        cycle.TimerMainTimer();
    }
    ASSERT_TRUE(cycle.Running()) << "stopped before the recording had begun";
    cycle.ToggleMeasure();
    EXPECT_FALSE(cycle.Running());

    EXPECT_EQ(bench.Sensor().Counters().tableBlocks, 0u);
    EXPECT_EQ(cycle.run.results.count("table_uploaded"), 0u);
    EXPECT_TRUE(view.chartImages.empty());
    EXPECT_EQ(cycle.run.verdict.outcome, bench::RunOutcome::Stopped);
    for (const int row : {9, int{params::kRowControlSample}, int{params::kRowLanMode}, 10}) {
        EXPECT_EQ(work[row], before[row]) << "row " << row;
        EXPECT_EQ(bench.Sensor().Param(state.session.table[row].address),
                  static_cast<uint8_t>(before[row] & 0xFF))
            << "row " << row;
    }
}

}  // namespace
}  // namespace veska::testing
