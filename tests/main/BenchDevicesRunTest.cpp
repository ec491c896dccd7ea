// A Line run on the coupled virtual bench through the run frame: with the reference encoder
// present its position and the difference go to the bench read-outs; without it the run's
// minimum and maximum do; every stop masks the motor outputs and closes both ports.
#include <gtest/gtest.h>

#include <string>

#include "bench/StageDevices.h"
#include "lang/NumberFormat.h"
#include "link/Status.h"
#include "main/MeasurementCycle.h"
#include "main/PlainModes.h"
#include "main/StreamController.h"
#include "sim/VirtualBench.h"
#include "tests/main/FakeMainView.h"

namespace veska::testing {
namespace {

using main::Control;

sim::BenchOptions QuietBench() {
    sim::BenchOptions o;
    o.installUsbBackend = false;
    o.sensor.noise = 0.0;
    o.stage = sim::StageGeometry{0.0125, 70.0, 170.0};
    o.timeScale = 20.0;
    return o;
}

class BenchDevicesRun : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        state.session.SetView(view);
        state.session.conn.portName = bench.PortPath(sim::VirtualBench::kSensorCom);
        ASSERT_TRUE(state.session.OpenPort());
        ASSERT_EQ(state.session.Identify(), link::kStatusOk);
        state.session.conn.resultDivisor = 50000;
        motor.SetPortChoice(bench.PortPath(sim::VirtualBench::kMotorCom));
        plainModes.BindTo(steps);
        cycle.refreshIdentity = [] {};
    }

    /// A Line run of n ticks, then its stop.
    void LineRun(int ticks) {
        state.benchModeCode = bench::kModeLine;
        cycle.ToggleMeasure();
        for (int i = 0; i < ticks; ++i) cycle.TimerMainTimer();
        cycle.ToggleMeasure();
    }

    sim::VirtualBench bench{QuietBench()};
    platform::Clock& clock = platform::SystemClock();
    main::ProgramState state{clock};
    FakeMainView view;
    bench::StageMotor motor{clock};
    bench::StageEncoder encoder{clock};
    bench::BenchDevices devices{motor, encoder, bench::AbsentDevices().board};
    main::PlainModes plainModes;
    bench::ModeSteps steps;
    main::WindowState window{view, state.texts, false};
    main::StreamController stream{state, view, window, clock};
    main::MeasurementCycle cycle{state, view, window, clock, stream, devices, steps};
};

TEST_F(BenchDevicesRun, WithTheEncoderTheReadoutsShowPositionAndDifference) {
    encoder.SetPortChoice(bench.PortPath(sim::VirtualBench::kEncoderCom));
    LineRun(3);
    EXPECT_TRUE(cycle.run.encoderPresent);
    EXPECT_TRUE(view.Enabled(Control::LabelEncoder));
    EXPECT_TRUE(view.Enabled(Control::LabeldMORLA_Encoder));
    EXPECT_EQ(bench.Encoder().Baud(), 460800u) << "the run start's rate switch";
    const std::string position = view.Text(Control::LabelEncoder);
    const std::string difference = view.Text(Control::LabeldMORLA_Encoder);
    ASSERT_GE(position.size(), 3u);
    EXPECT_EQ(position.substr(position.size() - 3), " mm");
    EXPECT_EQ(difference.substr(difference.size() - 3), " mm");
    // The stage stands with the target in the middle of a 50 mm range that starts 10 mm
    // after home: the encoder reads about 35 mm.
    EXPECT_NEAR(std::stod(position), 35.0, 1.0);
    EXPECT_NEAR(cycle.run.encoderPosition, 35.0, 1.0);
}

TEST_F(BenchDevicesRun, WithoutTheEncoderTheReadoutsShowTheRunExtremes) {
    encoder.SetPortChoice(bench.PortDirectory() + "/COM30");  // nothing there
    LineRun(3);
    EXPECT_FALSE(cycle.run.encoderPresent);
    EXPECT_FALSE(view.Enabled(Control::LabelEncoder));
    EXPECT_EQ(view.Text(Control::LabelEncoder),
              lang::FormatFixedPrecision(cycle.run.resultMax, 8, 4));
    EXPECT_EQ(view.Text(Control::LabeldMORLA_Encoder),
              lang::FormatFixedPrecision(cycle.run.resultMin, 8, 4));
    EXPECT_GT(cycle.run.resultMax, 0.0f);
}

TEST_F(BenchDevicesRun, EveryStopMasksTheOutputsAndClosesBothPorts) {
    encoder.SetPortChoice(bench.PortPath(sim::VirtualBench::kEncoderCom));
    ASSERT_EQ(motor.Open(), link::kStatusOk);
    ASSERT_EQ(motor.SetOutputs(8), link::kStatusOk);
    LineRun(1);
    EXPECT_EQ(motor.Link().OutputWord(), 0) << "outputs masked at the stop";
    EXPECT_FALSE(motor.Link().IsOpen());
    float mm = 0.0f;
    EXPECT_FALSE(encoder.ReadPositionMm(mm)) << "the encoder port is closed";
}

}  // namespace
}  // namespace veska::testing
