// The bench modes' steps on a fake frame: the motor sequences, the refusal without a motor
// record, the stepping sweep's samples, encoder averaging, end and stop.
#include <gtest/gtest.h>

#include <algorithm>

#include "bench/BenchModes.h"
#include "tests/bench/FakeRunFrame.h"

namespace veska::bench {
namespace {

MotorTable OneStage(float step, int32_t start, int32_t length) {
    MotorTable t;
    t.stepLength[0] = step;
    t.travelStart[0] = start;
    t.travelLength[0] = length;
    t.stepLength[1] = 0.025f;
    t.travelStart[1] = 320;
    t.travelLength[1] = 1060;
    t.recordCount = 2;
    return t;
}

void Sensor(testing::FakeRunFrame& f, int16_t base, int16_t range) {
    f.session.conn.baseDistance = base;
    f.session.conn.measuringRange = range;
    f.session.conn.motorRecord = 0;
}

TEST(BenchModesTest, MotionHomeWithoutPositioningLoadsTwelveStepsAndEnds) {
    testing::FakeRunFrame f(kModeMotionHome);
    f.table = OneStage(0.0125f, 70, 170);
    Sensor(f, 80, 170);  // R >= travelLength: no positioning move
    f.motor.busyPollsPerMove = 3;
    MotionHomeMode mode(false);
    f.RunToEnd(mode);
    EXPECT_EQ(f.ends, 1);
    const std::vector<std::string> expected{
        "Open",          "LoadMove 2000 8500", "SetOutputs 1",    "StartHomeward",
        "MaskOutputs 0", "SetOutputs 1",       "LoadMove 2000 12"};
    EXPECT_EQ(f.motor.calls, expected);
    EXPECT_EQ(std::count(f.clock.sleeps.begin(), f.clock.sleeps.end(), 1000u), 1);
}

TEST(BenchModesTest, MotionHomePositionsTheStageWithinOneTick) {
    testing::FakeRunFrame f(kModeHomePulse);
    f.table = OneStage(0.0125f, 70, 170);
    Sensor(f, 80, 50);  // 10 mm before the range: 10 / 0.0125f + 1 = 800.99.. steps
    MotionHomeMode mode(true);
    const int ticks = f.RunToEnd(mode);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(f.fetches, 1);
    EXPECT_EQ(f.motor.calls.back(), "StartForward");
    EXPECT_EQ(f.motor.calls[f.motor.calls.size() - 2],
              "LoadMove " + std::to_string(f.run.timing.stepPeriodMicros) + " 800");
}

TEST(BenchModesTest, StageModesRefuseWithoutAMotorRecord) {
    MotionHomeMode home(false);
    MotionEndMode end(false);
    ScanMode scan;
    SweepRun poverka(kModePoverka);
    RunMode* modes[] = {&home, &end, &scan, &poverka};
    for (RunMode* mode : modes) {
        testing::FakeRunFrame f(kModePoverka);
        Sensor(f, 80, 50);  // the table stays empty
        f.RunToEnd(*mode);
        EXPECT_EQ(f.ends, 1);
        EXPECT_TRUE(f.motor.calls.empty());
        ASSERT_EQ(f.paramView.messages.size(), 1u);
        ASSERT_EQ(f.run.notes.size(), 1u);
        EXPECT_NE(f.run.notes[0].find("Motor.dat"), std::string::npos);
    }
}

TEST(BenchModesTest, MotionEndEndsAtRestAndAStalledMoveIsBounded) {
    testing::FakeRunFrame f(kModeMotionEnd);
    f.table = OneStage(0.0125f, 70, 170);
    Sensor(f, 80, 50);
    f.motor.busyPollsPerMove = 4;
    MotionEndMode mode(false);
    EXPECT_EQ(f.RunToEnd(mode), 5);
    EXPECT_EQ(f.motor.calls[1], "LoadMove 2000 8500");

    testing::FakeRunFrame stalled(kModeMotionEnd);
    stalled.table = f.table;
    Sensor(stalled, 80, 50);
    stalled.motor.neverAtRest = true;
    MotionEndMode mode2(false);
    for (int i = 0; i < 10 && stalled.ends == 0; ++i) {
        if (i == 0) mode2.Start(stalled);
        stalled.clock.Sleep(5000);
        mode2.Tick(stalled);
    }
    EXPECT_EQ(stalled.ends, 1);
    ASSERT_EQ(stalled.run.notes.size(), 1u);
    EXPECT_NE(stalled.run.notes[0].find("did not come to rest"), std::string::npos);
}

/// A stepping Poverka of a 5 mm range on 0.0125 mm steps.
class SteppingRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        f.table = OneStage(0.0125f, 70, 170);
        Sensor(f, 70, 5);  // base at the travel start: no positioning move
        f.session.values.workValues[10] = 321;
        // The encoder sees the stage 0.0125 mm further on with every forward move.
        f.encoder.follow = [this] {
            return 1.0f + 0.0125f * static_cast<float>(f.motor.Count("StartForward"));
        };
    }
    testing::FakeRunFrame f{kModePoverka};
    SweepRun mode{kModePoverka};
};

TEST_F(SteppingRunTest, SamplesUntilTheEndTestWithSixEncoderReadsEach) {
    // R = 5 on record 0: travel time (0.01706 + 0.001) x 5 / 0.0125 = 7.2 s, averaging 3;
    // force 2 to see the six reads.
    f.run.timing.encoderAveraging = 2;
    mode.Start(f);
    f.run.timing.encoderAveraging = 2;
    ASSERT_TRUE(f.run.encoderPresent);
    EXPECT_EQ(f.run.stepCount, 1u);
    f.encoder.reads = 0;
    while (f.ends == 0) mode.Tick(f);
    // End: samples x 0.0125 > 5 x 1.001 + 0.1 + 12 x 0.0125 = 5.255, i.e. 421 samples.
    EXPECT_EQ(f.samples.Index(), 421);
    EXPECT_EQ(f.encoder.reads, 421 * 6);
    EXPECT_FLOAT_EQ(f.run.encoderBuffer[5], 1.0f + 6 * 0.0125f);  // after six increments
    // The recording's start starts the board's live acquisition, never a sweep.
    EXPECT_EQ(f.board.lives, 1);
    EXPECT_EQ(f.board.sweeps, 0);
    // 25 samples a tick at most.
    EXPECT_EQ(f.motor.Count("StartForward"), 421u);
}

TEST_F(SteppingRunTest, StopBeforeTheEndRestoresRow10AndReportsNothing) {
    mode.Start(f);
    mode.Tick(f);
    mode.Tick(f);
    mode.Stop(f);
    EXPECT_EQ(f.session.values.workValues[10], 321);
    EXPECT_TRUE(f.view.presets.empty());
    ASSERT_EQ(f.run.notes.size(), 1u);
    EXPECT_NE(f.run.notes[0].find("stopped before"), std::string::npos);
}

TEST_F(SteppingRunTest, AfterPositioningTheIncrementIsLoadedAgain) {
    Sensor(f, 80, 50);  // positioning 10 mm
    mode.Start(f);
    mode.Tick(f);  // homing at rest: positioning move
    EXPECT_EQ(f.run.tickPhase, 1);
    mode.Tick(f);  // positioning at rest: the recording starts
    EXPECT_EQ(f.run.tickPhase, 2);
    const auto& c = f.motor.calls;
    const auto forward = std::find(c.rbegin(), c.rend(), "StartForward");
    ASSERT_NE(forward, c.rend());
    // Loading the count switches the outputs off: output 1 goes on again before the move.
    EXPECT_EQ(*(forward + 1), "SetOutputs 1");
    EXPECT_EQ(*(forward + 2), "LoadMove 2000 1");
}

TEST_F(SteppingRunTest, ASilentSensorEndsTheRunAsAnErrorWithoutMovingTheStageOn) {
    f.failFetches = true;
    mode.Start(f);
    mode.Tick(f);  // homing over, the first increment started
    const auto forwardsBefore =
        std::count(f.motor.calls.begin(), f.motor.calls.end(), "StartForward");
    mode.Tick(f);
    EXPECT_EQ(f.fetches, SweepRun::kFailuresPerPosition);
    EXPECT_EQ(f.ends, 1);
    EXPECT_EQ(f.samples.Index(), -1);
    EXPECT_EQ(std::count(f.motor.calls.begin(), f.motor.calls.end(), "StartForward"),
              forwardsBefore)
        << "no position is skipped";
    EXPECT_EQ(f.run.verdict.outcome, RunOutcome::Error);
}

TEST_F(SteppingRunTest, AFailedRequestIsAskedAgainAtTheSamePosition) {
    f.failFetchesAt = {0, 1};  // the first two requests fail, the rest answer
    mode.Start(f);
    mode.Tick(f);
    mode.Tick(f);
    EXPECT_EQ(f.ends, 0);
    // 25 places of the budget: two failed requests, then 23 samples at 23 positions.
    EXPECT_EQ(f.samples.Index(), SweepRun::kTickBudget - 2);
    EXPECT_EQ(f.run.verdict.outcome, RunOutcome::Passed);
}

TEST(BenchModesTest, OnlyASteppingSweepRecordsEncoderPositions) {
    // The stream of a synchronous sweep carries no encoder positions: its table and report
    // take the nominal positions even with the encoder present.
    for (const auto& [code, recorded] :
         {std::pair{kModeCalibration, true}, std::pair{kModePoverka, true},
          std::pair{kModeSynchroCalibration, false}, std::pair{kModeSynchroPoverka, false}}) {
        testing::FakeRunFrame f{code};
        f.table = OneStage(0.0125f, 70, 170);
        Sensor(f, 70, 5);
        SweepRun mode{code};
        mode.Start(f);
        ASSERT_TRUE(f.run.encoderPresent) << code;
        EXPECT_EQ(f.run.encoderRecorded, recorded) << code;
    }
}

TEST(BenchModesTest, PulseScalesTheLeftAxisByTheDebugFormat) {
    for (const auto& [format, maximum] : {std::pair{0, 4095.0}, {2, 65535.0}, {3, 65535.0}}) {
        testing::FakeRunFrame f(kModePulse);
        f.session.values.workValues[53] = format;
        PulseMode mode;
        mode.Start(f);
        EXPECT_FALSE(f.view.leftAutomatic);
        EXPECT_EQ(f.view.leftMaximum, maximum) << format;
    }
}

TEST(BenchModesTest, BindsTheBenchCodes) {
    BenchModes modes;
    ModeSteps steps;
    modes.BindTo(steps);
    for (int32_t code : {128, 129, 130, 131, 132, 133, 134, 145, 146, 147}) {
        EXPECT_NE(steps.Find(code), nullptr) << code;
    }
    for (int32_t code : {0, 137, 148}) EXPECT_EQ(steps.Find(code), nullptr) << code;
}

}  // namespace
}  // namespace veska::bench
