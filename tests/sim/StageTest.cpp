// The stage, the motor controller and the encoder as devices, on explicit time points.
#include "sim/Stage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "sim/EncoderDevice.h"
#include "sim/MotorController.h"
#include "sim/World.h"
#include "tests/sim/SimBytes.h"

namespace veska::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

/// A world at time scale 1 whose start is t0, and a stage of 0.0125 mm steps from 70 mm
/// over 170 mm (13600 steps).
class StageTest : public ::testing::Test {
  protected:
    StageTest() { stage.PlaceAt(0, t0); }
    World::SteadyClock::time_point At(std::chrono::microseconds us) const { return t0 + us; }

    World world{80.0, 50.0};
    World::SteadyClock::time_point t0 = World::SteadyClock::now();
    Stage stage{world, StageGeometry{0.0125, 70.0, 170.0}};
};

TEST_F(StageTest, ForwardRunsTheLoadedCountAtTheLoadedPeriod) {
    stage.LoadPeriod(2000);
    stage.LoadCount(100, t0);
    stage.StartForward(t0);
    EXPECT_EQ(stage.StateNibble(At(1us)), 1);
    EXPECT_EQ(stage.PositionSteps(At(99'000us)), 49);
    EXPECT_TRUE(stage.Moving(At(199'000us)));
    EXPECT_FALSE(stage.Moving(At(200'100us)));  // 100 x 2 ms
    EXPECT_EQ(stage.StateNibble(At(200'100us)), 0);
    EXPECT_EQ(stage.PositionSteps(At(300'000us)), 100);
    EXPECT_DOUBLE_EQ(stage.PositionMm(At(300'000us)), 1.25);
    EXPECT_DOUBLE_EQ(stage.TargetMmAt(At(300'000us)), 71.25);
}

TEST_F(StageTest, AForwardMoveStopsAtTheEndOfTravel) {
    stage.PlaceAt(13590, t0);
    stage.LoadPeriod(10);
    stage.LoadCount(8500, t0);
    stage.StartForward(t0);
    EXPECT_EQ(stage.PositionSteps(At(1s)), 13600);
    EXPECT_FALSE(stage.Moving(At(101us)));
}

TEST_F(StageTest, HomewardRunsHomeWhateverTheCount) {
    stage.PlaceAt(400, t0);
    stage.LoadPeriod(1000);
    stage.LoadCount(1, t0);
    stage.StartHomeward(t0);
    EXPECT_EQ(stage.StateNibble(At(1ms)), 3);
    EXPECT_EQ(stage.PositionSteps(At(100ms)), 300);
    EXPECT_TRUE(stage.Moving(At(399ms)));
    EXPECT_EQ(stage.PositionSteps(At(401ms)), 0);
    EXPECT_FALSE(stage.Moving(At(401ms)));
}

TEST_F(StageTest, TimeScaleShortensEveryMove) {
    world.SetTimeScale(10.0);
    const auto now = World::SteadyClock::now();
    stage.LoadPeriod(2000);
    stage.LoadCount(1000, now);
    stage.StartForward(now);  // 2 s of world time
    EXPECT_TRUE(stage.Moving(now + 190ms));
    EXPECT_FALSE(stage.Moving(now + 201ms));
    EXPECT_EQ(stage.PositionSteps(now + 100ms), 500);
}

TEST_F(StageTest, TriggerPulsesOnlyWhileOutputEightIsSet) {
    stage.LoadPeriod(1000);
    stage.LoadCount(100, t0);
    stage.SetOutputs(0x01, t0);  // drive on: moves, no pulses
    stage.StartForward(t0);
    EXPECT_EQ(stage.PulsesUntil(At(200ms)), 0u);
    EXPECT_EQ(stage.NextPulseAfter(At(1ms)), Stage::TimePoint::max());

    const auto start = At(200ms);
    stage.LoadCount(100, start);
    EXPECT_EQ(stage.Outputs(), 0);  // a loaded move starts with the outputs off
    stage.SetOutputs(Stage::kTriggerOutput, start);
    stage.StartForward(start);
    EXPECT_EQ(stage.PulsesUntil(start + 40500us), 40u);
    EXPECT_LE(stage.NextPulseAfter(start + 40500us), start + 41ms);
    stage.SetOutputs(0x00, start + 50500us);  // pulses stop with the bit mid-move
    stage.SetOutputs(0x08, start + 60500us);  // and count again from here
    EXPECT_EQ(stage.PulsesUntil(start + 1s), 50u + 40u);
}

TEST_F(StageTest, PulseTimesOfTheRunningMoveAndOfEarlierRuns) {
    stage.LoadPeriod(1000);
    stage.LoadCount(100, t0);
    stage.SetOutputs(Stage::kTriggerOutput, t0);
    stage.StartForward(t0);
    // Pulse k comes as step k completes: k ms after the start (within the nanosecond).
    EXPECT_NEAR((stage.PulseTime(7) - t0) / 1.0us, 7000.0, 0.01);
    stage.SetOutputs(0x00, At(50500us));  // the run of 50 pulses ends, its times are kept
    EXPECT_NEAR((stage.PulseTime(50) - t0) / 1.0us, 50000.0, 0.01);
    EXPECT_EQ(stage.PulseTime(51), Stage::TimePoint::max());
    stage.SetOutputs(Stage::kTriggerOutput, At(60500us));
    // Pulse 51 is the first step completed after the bit came back: step 61.
    EXPECT_NEAR((stage.PulseTime(51) - t0) / 1.0us, 61000.0, 0.01);
    EXPECT_EQ(stage.PulseTime(0), Stage::TimePoint::max());
}

TEST_F(StageTest, ExposureTimeFindsTheStageWhereItsPulseLeftItHoweverLateTheLook) {
    stage.LoadPeriod(1000);
    stage.LoadCount(100, t0);
    stage.SetOutputs(Stage::kTriggerOutput, t0);
    stage.StartForward(t0);
    const auto late = At(80ms);  // 80 pulses have come
    const auto first = stage.ExposureTime(1, late);
    const auto fortieth = stage.ExposureTime(40, late);
    EXPECT_NEAR(std::chrono::duration<double>(first - t0).count(), 0.0015, 1e-6);
    EXPECT_NEAR(std::chrono::duration<double>(fortieth - t0).count(), 0.0405, 1e-6);
    EXPECT_EQ(stage.PositionSteps(first), 1);
    EXPECT_EQ(stage.PositionSteps(fortieth), 40);
    EXPECT_EQ(stage.ExposureTime(81, late), late) << "not yet come";
    EXPECT_EQ(stage.ExposureTime(0, late), late);
}

TEST(StageRecords, FileTextToGeometryAndTheFittingRecord) {
    const auto records = ParseStageRecords("0.0125 70 170\r\n0.025 320 1060\r\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_DOUBLE_EQ(records[1].travelLengthMm, 1060.0);
    EXPECT_EQ(records[0].TravelSteps(), 13600);
    EXPECT_DOUBLE_EQ(FittingStage(records, 80, 50).travelStartMm, 70.0);
    EXPECT_DOUBLE_EQ(FittingStage(records, 300, 1000).travelStartMm, 320.0);
    EXPECT_DOUBLE_EQ(FittingStage(records, 0, 3000).travelStartMm, 320.0);  // the last
    EXPECT_DOUBLE_EQ(FittingStage({}, 80, 50).stepLengthMm, StageGeometry{}.stepLengthMm);
    EXPECT_TRUE(ReadStageRecords("/nonexistent/Motor.dat").empty());
}

class MotorControllerTest : public StageTest {
  protected:
    Bytes Send(const Bytes& bytes, World::SteadyClock::time_point at) {
        controller.HostBytes(bytes, at);
        uint8_t out[16];
        const size_t n = controller.Take(out, sizeof out, at);
        return Bytes(out, out + n);
    }
    MotorController controller{stage};
};

TEST_F(MotorControllerTest, CommandsDriveTheStageAndOnlyStatusIsAnswered) {
    EXPECT_TRUE(Send({0x07, 0xF0, 0xFD, 0xF7, 0xF0, 0xF0, 0xF0}, t0).empty());
    EXPECT_EQ(stage.LoadedPeriod(), 2000u);
    EXPECT_TRUE(Send({0x08, 0xF4, 0xF3, 0xF1, 0xF2, 0xF0, 0xF0}, t0).empty());
    EXPECT_EQ(stage.LoadedCount(), 8500u);
    EXPECT_TRUE(Send({0x03, 0xF9}, t0).empty());
    EXPECT_EQ(stage.Outputs(), 9);
    EXPECT_TRUE(Send({0x06}, t0).empty());
    EXPECT_EQ(Send({0x02}, At(10ms)), (Bytes{0x31}));
    EXPECT_EQ(Send({0x02}, At(17001ms)), (Bytes{0x30}));
    EXPECT_TRUE(Send({0x04}, At(17001ms)).empty());
    EXPECT_EQ(Send({0x02}, At(17002ms)), (Bytes{0x33}));
    const MotorCounters c = controller.Counters();
    EXPECT_EQ(c.commands[2], 3u);
    EXPECT_EQ(c.commands[7], 1u);
    EXPECT_EQ(c.malformed, 0u);
}

TEST_F(MotorControllerTest, AZeroCountLoadedDuringAMoveEndsItWhereTheStageStands) {
    const Bytes loadZero{0x08, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0};
    // 8500 steps forward at 2 ms; 10 ms in, the stage has made 5 of them.
    Send({0x08, 0xF4, 0xF3, 0xF1, 0xF2, 0xF0, 0xF0}, t0);
    Send({0x06}, t0);
    EXPECT_TRUE(Send(loadZero, At(10ms)).empty());
    EXPECT_EQ(Send({0x02}, At(11ms)), (Bytes{0x30})) << "at rest";
    EXPECT_EQ(stage.PositionSteps(At(1000ms)), 5);
    EXPECT_EQ(stage.Counters().steps, 5u) << "the steps not made are not counted";
    // Homing stops the same way; a count of 3 lets it make three more steps.
    Send({0x04}, At(1000ms));
    Send({0x08, 0xF3, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}, At(1002ms));
    EXPECT_EQ(stage.PositionSteps(At(2000ms)), 1);
    EXPECT_EQ(Send({0x02}, At(2000ms)), (Bytes{0x30}));
    // At rest a load starts nothing.
    Send(loadZero, At(2000ms));
    EXPECT_EQ(stage.PositionSteps(At(3000ms)), 1);
}

TEST_F(MotorControllerTest, ACommandByteCutsARequestShortAndDropsIt) {
    EXPECT_EQ(Send({0x07, 0xF1, 0xF1, 0x02}, t0), (Bytes{0x30}));
    EXPECT_EQ(stage.LoadedPeriod(), 2000u);  // unchanged
    EXPECT_TRUE(Send({0xF5, 0x0B}, t0).empty());
    const MotorCounters c = controller.Counters();
    EXPECT_EQ(c.malformed, 2u);  // the cut request and the stray data byte
    EXPECT_EQ(c.unknown, 1u);
}

TEST_F(MotorControllerTest, FaultsNeverAtRestAndSilent) {
    controller.SetNeverAtRest(true);
    EXPECT_EQ(Send({0x02}, t0), (Bytes{0x31}));
    controller.SetNeverAtRest(false);
    controller.SetSilent(true);
    EXPECT_TRUE(Send({0x02}, t0).empty());
    EXPECT_EQ(controller.Counters().commands[2], 2u);
}

class EncoderDeviceTest : public StageTest {
  protected:
    Bytes Send(const Bytes& bytes, uint32_t hostBaud) {
        encoder.HostLineRate(hostBaud);
        encoder.HostBytes(bytes, t0);
        uint8_t out[32];
        const size_t n = encoder.Take(out, sizeof out, t0);
        return Bytes(out, out + n);
    }
    EncoderDevice encoder{
        stage, EncoderOptions{.rangeMicrometres = 50000, .resolutionCounts = 5, .jitter = 0.0}};
};

TEST_F(EncoderDeviceTest, AnswersOnlyAtTheRateItHasSwitchedTo) {
    const Bytes identify = test::Request(1, 1, Bytes{});
    EXPECT_EQ(test::Decode(Send(identify, 115200)).at(6), 0x50);  // 50000 = 0xC350
    EXPECT_TRUE(Send(identify, 460800).empty());
    EXPECT_TRUE(Send({0x01, 0x83, 0x83, 0x80, 0x80, 0x8C}, 115200).empty());
    EXPECT_EQ(encoder.Baud(), 460800u);
    EXPECT_TRUE(Send(identify, 115200).empty());
    const Bytes reply = Send(identify, 460800);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(test::Decode(reply), (Bytes{0x45, 3, 0xF5, 0x01, 0, 0, 0x50, 0xC3}));
    EXPECT_EQ(encoder.Counters().wrongRate, 2u);
    EXPECT_TRUE(Send(test::Request(2, 1, Bytes{}), 460800).empty());  // another address
}

TEST_F(EncoderDeviceTest, ReadsTheStagePositionQuantised) {
    stage.PlaceAt(801, t0);  // 10.0125 mm = 100125 counts, on a 5-count grid
    const Bytes reply = test::Decode(Send(test::Request(1, 6, Bytes{}), 115200));
    ASSERT_EQ(reply.size(), 4u);
    EXPECT_EQ(reply[0] | reply[1] << 8 | reply[2] << 16 | reply[3] << 24, 100125);
    EXPECT_EQ(encoder.TrueCount(t0), 100125);
}

TEST_F(EncoderDeviceTest, FaultsSilentAndIgnoredRateSwitch) {
    encoder.SetIgnoreRateSwitch(true);
    EXPECT_TRUE(Send({0x01, 0x83, 0x83, 0x80, 0x80, 0x8C}, 115200).empty());
    EXPECT_EQ(encoder.Baud(), 115200u);
    encoder.SetSilent(true);
    EXPECT_TRUE(Send(test::Request(1, 1, Bytes{}), 115200).empty());
    EXPECT_EQ(encoder.Counters().requests[1], 1u);
}

}  // namespace
}  // namespace veska::sim
