// Bench device faults during a run on the virtual bench: a motor controller that stops
// answering, never comes to rest or hangs up, a stage that does not move the target, an
// encoder that goes silent, an implausible motor table, a file that cannot be written, and
// stops during homing, the synchronous sweep and a silent sensor. Each run must end as an
// error or stopped, say why, leave the sensor's settings as they were and the stage at rest.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/main/VirtualBenchRig.h"

namespace veska::testing {
namespace {

using bench::RunOutcome;

class BenchFaultTest : public VirtualBenchRunTest {
  protected:
    void SetUp() override {
        VirtualBenchRunTest::SetUp();
        before = state.session.values.workValues;
    }

    /// Starts a mode and ticks until pred holds (the run still going).
    void StartUntil(int32_t code, const std::function<bool()>& pred) {
        state.benchModeCode = code;
        cycle.ToggleMeasure();
        ASSERT_TRUE(TickUntil(pred)) << ::testing::PrintToString(cycle.run.notes);
        ASSERT_TRUE(cycle.Running()) << ::testing::PrintToString(cycle.run.notes);
    }
    /// Ticks the run to its end; false when it did not end.
    bool TickToTheEnd() {
        for (int i = 0; i < 200000 && cycle.Running(); ++i) cycle.TimerMainTimer();
        return !cycle.Running();
    }
    bool StageAtRest() { return !bench.GetStage().Moving(sim::World::SteadyClock::now()); }
    bool Noted(const std::string& words) const {
        return cycle.run.verdict.reason.find(words) != std::string::npos;
    }
    /// The rows a sweep borrows are the sensor's own again, in the program and on the sensor.
    void ExpectSensorSettingsRestored() {
        const auto& work = state.session.values.workValues;
        for (const int row : {9, int{params::kRowControlSample}, int{params::kRowLanMode}, 10,
                              int{params::kRowModeOfRun}}) {
            EXPECT_EQ(work[row], before[row]) << "row " << row;
            EXPECT_EQ(bench.Sensor().Param(state.session.table[row].address),
                      static_cast<uint8_t>(before[row] & 0xFF))
                << "row " << row;
        }
    }
    /// No figure, no report, no table.
    void ExpectNothingReported() {
        EXPECT_EQ(cycle.run.results.count("figure_percent"), 0u);
        EXPECT_TRUE(view.chartImages.empty());
        EXPECT_EQ(bench.Sensor().Counters().tableBlocks, 0u);
    }

    std::remove_reference_t<decltype(state.session.values.workValues)> before{};
};

/// A stage fault switched on half way through a stepping verification.
struct StageFaultCase {
    const char* name;
    const char* fault;
    const char* reason;  ///< words of the run's reason
    bool stoppable;      ///< the stop brings the stage to rest
};

class StageFaultTest : public BenchFaultTest,
                       public ::testing::WithParamInterface<StageFaultCase> {};

TEST_P(StageFaultTest, EndsTheSweepAsAnErrorThatSaysWhy) {
    const StageFaultCase& c = GetParam();
    StartUntil(bench::kModePoverka, [&] { return state.samples.Count() >= 100; });
    ASSERT_TRUE(cycle.run.encoderPresent);
    ASSERT_TRUE(bench.SetFault(c.fault));
    ASSERT_TRUE(TickToTheEnd());
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Error);
    EXPECT_TRUE(Noted(c.reason)) << cycle.run.verdict.reason
                                 << ::testing::PrintToString(cycle.run.method);
    // A stage that cannot be brought to rest is named as such on the window.
    bool named = false;
    for (const auto& m : view.messages)
        named |= m.text.find("could not be stopped") != std::string::npos;
    EXPECT_EQ(named, !c.stoppable);
    ExpectNothingReported();
    ExpectSensorSettingsRestored();
    EXPECT_TRUE(StageAtRest());
}

INSTANTIATE_TEST_SUITE_P(
    Stage, StageFaultTest,
    ::testing::Values(
        StageFaultCase{"Silent", "stage:silent", "the motor controller stopped answering", false},
        StageFaultCase{"NeverAtRest", "stage:stall", "did not come to rest", false},
        StageFaultCase{"HungUp", "stage:vanish", "the motor controller stopped answering", false},
        StageFaultCase{"Frozen", "stage:frozen", "the stage does not move the target", true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BenchFaultTest, AFrozenStageFailsTheSynchronousSweepToo) {
    ASSERT_TRUE(bench.SetFault("stage:frozen"));
    ASSERT_TRUE(RunMode(bench::kModeSynchroPoverka));
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Error);
    EXPECT_TRUE(Noted("the stage did not step")) << cycle.run.verdict.reason;
    ExpectNothingReported();
    ExpectSensorSettingsRestored();
}

/// The encoder silent early (after the first samples) or late (after most of the sweep).
class EncoderFaultTest : public BenchFaultTest, public ::testing::WithParamInterface<int> {};

TEST_P(EncoderFaultTest, EndsTheSweepAsAnErrorNamingTheEncoder) {
    const int after = GetParam();
    StartUntil(bench::kModePoverka, [&] { return state.samples.Count() >= after; });
    ASSERT_TRUE(cycle.run.encoderPresent);
    ASSERT_TRUE(bench.SetFault("encoder:silent"));
    const int32_t samplesAtFault = state.samples.Count();
    ASSERT_TRUE(TickToTheEnd());
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Error);
    EXPECT_TRUE(Noted("the encoder stopped answering"))
        << cycle.run.verdict.reason << ::testing::PrintToString(cycle.run.notes)
        << ::testing::PrintToString(cycle.run.method) << bench.FaultStatus();
    // No sample after the fault went without its reference.
    EXPECT_LE(state.samples.Count(), samplesAtFault + 1);
    ExpectNothingReported();
    ExpectSensorSettingsRestored();
    EXPECT_TRUE(StageAtRest());
}

INSTANTIATE_TEST_SUITE_P(Encoder, EncoderFaultTest, ::testing::Values(3, 900), [](const auto& p) {
    return p.param < 100 ? std::string("Early") : std::string("Late");
});

TEST_F(BenchFaultTest, AnImplausibleMotorRecordIsRefusedBeforeTheStageMoves) {
    state.motorTable = bench::ParseMotorTable("0.0000001 70 170\n");
    const uint32_t movesBefore = bench.GetStage().Counters().homewardMoves;
    ASSERT_TRUE(RunMode(bench::kModePoverka));
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Error);
    EXPECT_TRUE(Noted("Motor.dat record 0: step length 0.0000001 mm is not plausible"))
        << cycle.run.verdict.reason;
    ASSERT_FALSE(view.messages.empty());
    EXPECT_NE(view.messages.back().text.find("0.0000001"), std::string::npos);
    EXPECT_EQ(bench.GetStage().Counters().homewardMoves, movesBefore);
    EXPECT_EQ(bench.GetStage().Counters().forwardMoves, 0u);
    ExpectNothingReported();
}

TEST_F(BenchFaultTest, AReportImageThatCannotBeWrittenIsAnError) {
    view.chartImagesWritten = false;
    ASSERT_TRUE(RunMode(bench::kModePoverka));
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Error);
    EXPECT_TRUE(Noted("was not written")) << cycle.run.verdict.reason;
    ASSERT_FALSE(view.messages.empty());
    EXPECT_NE(view.messages.back().text.find("chart image"), std::string::npos);
}

/// A stop while the stage moves: during homing, and during the synchronous sweep.
struct StopCase {
    const char* name;
    int32_t code;
    uint8_t movingState;  ///< the controller's state nibble to stop in
};

class StopWhileMovingTest : public BenchFaultTest,
                            public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopWhileMovingTest, LeavesTheStageAtRest) {
    const StopCase& c = GetParam();
    // Slow the world so that the move is still under way when the stop comes.
    bench.GetWorld().SetTimeScale(1.0);
    StartUntil(c.code, [&] {
        return bench.GetStage().StateNibble(sim::World::SteadyClock::now()) == c.movingState &&
               (c.movingState != 1 || state.samples.Count() > 10);
    });
    cycle.ToggleMeasure();
    EXPECT_FALSE(cycle.Running());
    EXPECT_TRUE(StageAtRest()) << "the stop ended the move";
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Stopped) << cycle.run.verdict.reason;
    EXPECT_EQ(bench.GetStage().Outputs(), 0) << "every output off";
    ExpectSensorSettingsRestored();
}

INSTANTIATE_TEST_SUITE_P(Stop, StopWhileMovingTest,
                         ::testing::Values(StopCase{"Homing", bench::kModePoverka, 3},
                                           StopCase{"SynchronousSweep",
                                                    bench::kModeSynchroCalibration, 1}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(BenchFaultTest, AStopIsHeardBetweenTheRequestsToASilentSensor) {
    bool stopAsked = false;
    cycle.stopSignal = [&] { return stopAsked; };
    StartUntil(bench::kModePoverka, [&] { return state.samples.Count() >= 50; });
    bench.Sensor().SetSilent(true);
    const uint64_t failedBefore = cycle.resultsFailed;
    // The stop comes with the first request that fails; the tick returns at once.
    cycle.stopSignal = [&] { return stopAsked || cycle.resultsFailed > failedBefore; };
    cycle.TimerMainTimer();
    EXPECT_EQ(cycle.resultsFailed, failedBefore + 1) << "no further request in that tick";
    ASSERT_TRUE(cycle.Running());
    stopAsked = true;
    bench.Sensor().SetSilent(false);
    cycle.ToggleMeasure();
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Stopped) << cycle.run.verdict.reason;
    EXPECT_TRUE(StageAtRest());
    ExpectSensorSettingsRestored();
}

TEST_F(BenchFaultTest, AStopAskedFromTheWindowsThreadIsHeardByTheRunningTickAndNotByTheNextRun) {
    StartUntil(bench::kModePoverka, [&] { return state.samples.Count() >= 50; });
    bench.Sensor().SetSilent(true);
    const uint64_t failedBefore = cycle.resultsFailed;
    std::thread window([&] { cycle.AskStop(); });
    window.join();
    cycle.TimerMainTimer();
    EXPECT_LE(cycle.resultsFailed, failedBefore + 1) << "the tick went on asking a silent sensor";
    bench.Sensor().SetSilent(false);
    cycle.ToggleMeasure();
    EXPECT_EQ(cycle.run.verdict.outcome, RunOutcome::Stopped) << cycle.run.verdict.reason;
    EXPECT_TRUE(StageAtRest());
    // The next run starts without the old request.
    StartUntil(bench::kModePoverka, [&] { return state.samples.Count() >= 20; });
    EXPECT_TRUE(cycle.Running());
    cycle.ToggleMeasure();
}

}  // namespace
}  // namespace veska::testing
