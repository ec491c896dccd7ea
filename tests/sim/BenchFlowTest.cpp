// The host's motor and encoder links and the bounded wait for rest against the coupled
// virtual bench, over real pseudo-terminals (COM2, COM4, COM7 of the port directory).
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "bench/MotorTable.h"
#include "bench/StageMotion.h"
#include "link/DunelInterface.h"
#include "link/MorlaInterface.h"
#include "link/MotorInterface.h"
#include "link/Status.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"

namespace veska::sim {
namespace {

using link::kStatusOk;

constexpr double kTimeScale = 20.0;
/// The encoder's reading is at most one resolution step off the stage [mm], plus the
/// single-precision conversion of the count.
constexpr double kEncoderTolerance = 5 * 0.0001 + 1e-5;

BenchOptions CoupledBench() {
    BenchOptions o;
    o.installUsbBackend = false;
    o.sensor.noise = 0.0;
    o.stage = StageGeometry{0.0125, 70.0, 170.0};
    o.timeScale = kTimeScale;
    return o;
}

class BenchFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        platform::SetPortDirectory(bench.PortDirectory());
        ASSERT_EQ(link::OpenMotorPort(motor, "COM2", clock), kStatusOk);
    }

    /// A bench move as the modes start it: load, output 1 (or 8), start; then the wait.
    bench::RestWait Move(bool homeward, uint32_t period, uint32_t count, uint16_t outputs) {
        EXPECT_EQ(motor.LoadMove(period, count), kStatusOk);
        EXPECT_EQ(motor.SetOutputs(outputs), kStatusOk);
        EXPECT_EQ(homeward ? motor.StartHomeward() : motor.StartForward(), kStatusOk);
        const bench::MotorTable table = bench::ParseMotorTable("0.0125 70 170\n");
        const uint32_t bound = homeward ? bench::HomingBoundMs(table, 0, period)
                                        : bench::ForwardMoveBoundMs(period, count);
        return bench::WaitForRest(motor, clock, bound);
    }

    int64_t StageSteps() { return bench.GetStage().PositionSteps(World::SteadyClock::now()); }

    VirtualBench bench{CoupledBench()};
    platform::Clock& clock = platform::SystemClock();
    link::TMotorInterface motor;
};

TEST_F(BenchFlowTest, HomeThenForwardAndTheEncoderFollowsTheStage) {
    ASSERT_GT(StageSteps(), 0);  // power-on: the target in the middle of the range
    const bench::RestWait home = Move(true, 2000, 8500, link::kMotorOutputMove);
    ASSERT_TRUE(home.atRest) << home.Message();
    EXPECT_EQ(StageSteps(), 0);

    link::TDUNELInterface encoder;
    link::EncoderState state;
    ASSERT_TRUE(link::OpenEncoderPort(encoder, state, "COM7", 50));
    EXPECT_EQ(state.encoderRange, 65);
    EXPECT_EQ(bench.Encoder().Baud(), 460800u);
    float mm = -1.0f;
    ASSERT_TRUE(link::ReadEncoderPosition(encoder, state, mm));
    EXPECT_NEAR(mm, 0.0, kEncoderTolerance);

    for (const uint32_t steps : {801u, 1u, 2399u}) {
        const int64_t before = StageSteps();
        const bench::RestWait forward = Move(false, 2000, steps, link::kMotorOutputMove);
        ASSERT_TRUE(forward.atRest) << forward.Message();
        EXPECT_EQ(StageSteps(), before + steps);
        ASSERT_TRUE(link::ReadEncoderPosition(encoder, state, mm));
        EXPECT_NEAR(mm, StageSteps() * 0.0125, kEncoderTolerance) << steps << " steps";
    }
    EXPECT_EQ(bench.Encoder().Counters().wrongRate, 0u);
}

TEST_F(BenchFlowTest, OutputsDoNotGateAMove) {
    for (const uint16_t outputs : {uint16_t{0}, link::kMotorOutputSync}) {
        const int64_t before = StageSteps();
        ASSERT_TRUE(Move(false, 500, 40, outputs).atRest);
        EXPECT_EQ(StageSteps(), before + 40) << "outputs " << outputs;
    }
}

TEST_F(BenchFlowTest, SynchronousMoveGivesOneStreamSamplePerStep) {
    link::TMORLAInterface sensor;
    ASSERT_EQ(sensor.OpenPort(0, "\\\\.\\COM4", 115200), kStatusOk);
    uint8_t control = 0;
    ASSERT_EQ(sensor.ReadParam(1, 2, 1, &control), kStatusOk);
    control |= 0x01;  // "UART Control of Sample": one sample per trigger pulse
    ASSERT_EQ(sensor.WriteParam(1, 2, 1, &control), kStatusOk);
    ASSERT_EQ(sensor.StartStream(1), kStatusOk);
    // The request has no reply: wait until the sensor has heard it, as the bytes would have
    // reached a real sensor long before the stage's first step.
    for (int i = 0; i < 5000 && bench.Sensor().Streaming() == sim::StreamKind::kNone; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_NE(bench.Sensor().Streaming(), sim::StreamKind::kNone);

    constexpr uint32_t kSteps = 250;
    const bench::RestWait move = Move(false, 1000, kSteps, link::kMotorOutputSync);
    ASSERT_TRUE(move.atRest) << move.Message();
    uint16_t previous = 0;
    for (uint32_t i = 0; i < kSteps; ++i) {
        uint16_t raw = 0;
        ASSERT_EQ(sensor.ReadStreamSample(raw), kStatusOk) << "sample " << i;
        EXPECT_GE(raw, previous);  // the target moves away: the results rise
        previous = raw;
    }
    EXPECT_EQ(bench.Sensor().Counters().samplesSent, kSteps);
    EXPECT_EQ(sensor.StopStream(1), kStatusOk);
}

TEST_F(BenchFlowTest, AStageThatNeverComesToRestEndsTheWaitAtItsBound) {
    bench.Motor().SetNeverAtRest(true);
    const bench::RestWait wait = bench::WaitForRest(motor, clock, 200);
    EXPECT_FALSE(wait.atRest);
    EXPECT_GE(wait.elapsedMs, 200u);
    EXPECT_NE(wait.Message().find("did not come to rest"), std::string::npos);
    EXPECT_NE(wait.Message().find("nibble 1"), std::string::npos);
}

TEST_F(BenchFlowTest, AVanishedControllerEndsTheWaitWithItsStatus) {
    bench.MotorPty().Vanish();
    const bench::RestWait wait = bench::WaitForRest(motor, clock, 60000);
    EXPECT_FALSE(wait.atRest);
    EXPECT_EQ(wait.polls, bench::kRestReadFailures);
    EXPECT_NE(wait.lastStatus, kStatusOk);
    EXPECT_NE(wait.Message().find("motor status"), std::string::npos);
}

struct EncoderFault {
    const char* name;
    void (*apply)(VirtualBench&);
};

class EncoderFaultTest : public BenchFlowTest,
                         public ::testing::WithParamInterface<EncoderFault> {};

TEST_P(EncoderFaultTest, LeavesTheEncoderAbsentWithTheCheckStatus) {
    GetParam().apply(bench);
    link::TDUNELInterface encoder;
    link::EncoderState state;
    state.encoderPresent = true;
    EXPECT_FALSE(link::OpenEncoderPort(encoder, state, "COM7", 50));
    EXPECT_FALSE(state.encoderPresent);
    EXPECT_EQ(state.lastStatus, link::kStatusEncoderCheck);
    EXPECT_FALSE(encoder.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Bench, EncoderFaultTest,
    ::testing::Values(EncoderFault{"Silent", [](VirtualBench& b) { b.Encoder().SetSilent(true); }},
                      EncoderFault{"IgnoresTheRateSwitch",
                                   [](VirtualBench& b) { b.Encoder().SetIgnoreRateSwitch(true); }},
                      EncoderFault{"Vanished", [](VirtualBench& b) { b.EncoderPty().Vanish(); }}),
    [](const auto& p) { return p.param.name; });

TEST_F(BenchFlowTest, TheStagePlacesTheSensorsTarget) {
    // Home is 10 mm before the base: the sensor sees nothing there; 10 mm forward the
    // target stands at the base, 25 mm further in the middle of the range.
    ASSERT_TRUE(Move(true, 2000, 8500, 1).atRest);
    EXPECT_EQ(bench.Sensor().CurrentResult(), 0);
    ASSERT_TRUE(Move(false, 2000, 800 + 2000, 1).atRest);
    EXPECT_NEAR(bench.GetWorld().TargetMm(), 105.0, 1e-9);
    link::TMORLAInterface sensor;
    ASSERT_EQ(sensor.OpenPort(0, "\\\\.\\COM4", 115200), kStatusOk);
    uint16_t raw = 0;
    ASSERT_EQ(sensor.GetResult(1, raw), kStatusOk);
    EXPECT_NEAR(raw / 50000.0 * 50.0, 25.0, 1.5);  // within the response's non-linearity
}

}  // namespace
}  // namespace veska::sim
