// The analog checks on the virtual bench: the simulated sensor on a pty, its output stage
// sampled by the simulated board on a simulated USB bus, read through the driver and the
// board client; the measurement cycle of the program runs the modes.
#include <gtest/gtest.h>

#include <unistd.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "analog/AnalogChecks.h"
#include "analog/AnalogVerification.h"
#include "analog/BenchBoard.h"
#include "analog/VoktDriver.h"
#include "analog/VoktInterface.h"
#include "bench/BenchModes.h"
#include "bench/MotorTable.h"
#include "bench/StageDevices.h"
#include "driver/BoardDriver.h"
#include "driver/Images.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StreamController.h"
#include "sim/AnalogBoardDevice.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/SimUsbBackend.h"
#include "sim/VirtualBench.h"
#include "sim/World.h"
#include "simhost/SimulatedBoardDriver.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"
#include "tests/support/BenchRun.h"

namespace veska::testing {
namespace {

sim::AnalogBoardOptions QuietBoard() {
    sim::AnalogBoardOptions o;
    o.noiseCounts = 0.0;
    return o;
}

sim::SensorOptions ExactSensor(sim::AnalogOutputKind kind = sim::AnalogOutputKind::Voltage) {
    sim::SensorOptions o;
    o.noise = 0.0;
    o.analog.kind = kind;
    return o;
}

struct AnalogRig {
    explicit AnalogRig(sim::AnalogOutputKind kind = sim::AnalogOutputKind::Voltage)
        : device(world, ExactSensor(kind)),
          line(device, sim::LineOptions{}),
          pty(line),
          state(clock),
          stream(state, view, window, clock),
          cycle(state, view, window, clock, stream,
                bench::BenchDevices{absent.motor, absent.encoder, benchBoard}, steps) {
        bus.AddDevice(std::make_unique<sim::SimAnalogBoard>(world, QuietBoard()));
        world.DriveAnalogOutput(&device);
        world.SetTargetMm(world.BaseMm() + world.RangeMm() / 2);
        state.session.SetView(view);
        checks.BindTo(steps);
        std::string error;
        started = pty.Start(&error) &&
                  state.session.sensor.OpenPort(0, pty.SlavePath(), 115200) == 0 &&
                  client.OpenBoard();
        state.session.conn.measuringRange = 50;
        state.session.conn.baseDistance = 80;
        state.session.conn.resultDivisor = 50000;
    }
    ~AnalogRig() {
        stream.Stream().StopThread();
        (void)client.CloseBoard();
        (void)state.session.sensor.ClosePort();
        pty.Stop();
        world.DriveAnalogOutput(nullptr);
    }

    /// Runs a mode until it ends by itself; false after maxTicks.
    bool Run(int32_t code, int maxTicks) {
        state.benchModeCode = code;
        cycle.ToggleMeasure();
        for (int i = 0; i < maxTicks && cycle.Running(); ++i) {
            // The long intervals pass for real (the board's first words of a run); the
            // sweep's short ones are taken as they come.
            const int interval = view.intervals[main::Timer::TimerMain];
            if (interval >= 100) std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            cycle.TimerMainTimer();
        }
        return !cycle.Running();
    }

    sim::World world;
    sim::SensorDevice device;
    sim::SensorLine line;
    sim::PtyLink pty;
    sim::SimUsbBackend bus;
    platform::FakeClock driverClock;
    driver::EmbeddedImages images;
    driver::BoardDriver boardDriver{&bus, driverClock, images};
    simhost::BoardDriverExports exports{boardDriver};
    platform::FakeClock clientClock;
    analog::TVOKT_Interface client{exports, clientClock};
    analog::BenchBoard benchBoard{client};
    bench::BenchDevices absent = bench::AbsentDevices();

    // The host's protocol waits are real: the sensor takes each write before the next read.
    platform::Clock& clock = platform::SystemClock();
    main::ProgramState state;
    FakeMainView view;
    main::WindowState window{view, state.texts, false};
    bench::ModeSteps steps;
    analog::AnalogChecks checks;
    main::StreamController stream;
    main::MeasurementCycle cycle;
    bool started = false;
};

TEST(AnalogBench, AdjustmentFindsTheStageLevelsAndTheCheckReadsZeroAndTen) {
    AnalogRig rig;
    ASSERT_TRUE(rig.started);
    const sim::AnalogStage stage = ExactSensor().analog;

    ASSERT_TRUE(rig.Run(bench::kMode0_10VAdjustment, 20000));
    const auto& results = rig.cycle.run.results;
    ASSERT_EQ(rig.cycle.run.verdict.outcome, bench::RunOutcome::Passed)
        << rig.cycle.run.verdict.reason;
    EXPECT_NEAR(results.at("bottom_level"), stage.FirstCodeAbove(0.005, 0.0), 1.0);
    EXPECT_NEAR(results.at("top_level"), stage.FirstCodeAtFullScale(), 1.0);
    // The sensor holds the new levels and is on again.
    EXPECT_EQ(rig.device.Param(0x00), 1);
    EXPECT_EQ(rig.device.Param16(0x19), static_cast<uint16_t>(results.at("bottom_level")));
    EXPECT_EQ(rig.device.Param16(0x1B), static_cast<uint16_t>(results.at("top_level")));

    ASSERT_TRUE(rig.Run(bench::kMode0_10VCheck, 10));
    EXPECT_NEAR(rig.cycle.run.results.at("bottom_reading"), 0.0, 0.01);
    EXPECT_NEAR(rig.cycle.run.results.at("top_reading"), 10.0, 0.01);
}

TEST(AnalogBench, CurrentAdjustmentFindsTheLoopLevelsAndTheCheckReadsFourAndTwenty) {
    AnalogRig rig(sim::AnalogOutputKind::Current);
    ASSERT_TRUE(rig.started);
    const sim::AnalogStage stage = ExactSensor(sim::AnalogOutputKind::Current).analog;

    ASSERT_TRUE(rig.Run(bench::kMode4_20mAAdjustment, 20000));
    const auto& results = rig.cycle.run.results;
    ASSERT_EQ(rig.cycle.run.verdict.outcome, bench::RunOutcome::Passed)
        << rig.cycle.run.verdict.reason;
    // The bottom level is the first at 4 mA or more (readings below are ignored), the top
    // level the first at 20 mA.
    EXPECT_NEAR(results.at("bottom_level"), stage.FirstCodeAbove(0.01, 4.0), 1.0);
    EXPECT_NEAR(results.at("top_level"), stage.FirstCodeAtFullScale(), 1.0);
    EXPECT_EQ(rig.device.Param16(0x19), static_cast<uint16_t>(results.at("bottom_level")));
    EXPECT_EQ(rig.device.Param16(0x1B), static_cast<uint16_t>(results.at("top_level")));

    ASSERT_TRUE(rig.Run(bench::kMode4_20mACheck, 10));
    EXPECT_NEAR(rig.cycle.run.results.at("bottom_reading"), 4.0, 0.02);
    EXPECT_NEAR(rig.cycle.run.results.at("top_reading"), 20.0, 0.02);
}

/// The virtual bench (sensor, motor controller and stage on ptys) for the stream checks.
struct StreamRig {
    StreamRig() {
        state.session.SetView(view);
        checks.BindTo(steps);
        std::string error;
        started = bench.Start(&error) &&
                  state.session.sensor.OpenPort(0, bench.SensorPty().SlavePath(), 115200) == 0;
        EXPECT_TRUE(started) << error;
        motor.SetPortChoice(bench.PortPath(sim::VirtualBench::kMotorCom));
        state.session.conn.measuringRange = 50;
        state.session.conn.baseDistance = 80;
        state.session.conn.resultDivisor = 50000;
    }
    ~StreamRig() {
        stream.Stream().StopThread();
        motor.Close();
        (void)state.session.sensor.ClosePort();
    }

    static sim::BenchOptions Options() {
        sim::BenchOptions o;
        o.installUsbBackend = false;
        o.sensor.noise = 0.0;
        o.timeScale = 10.0;
        return o;
    }

    /// Runs a mode until it ends by itself, letting each tick's interval pass for real.
    bool Run(int32_t code, int maxTicks) {
        state.benchModeCode = code;
        cycle.ToggleMeasure();
        for (int i = 0; i < maxTicks && cycle.Running(); ++i) {
            const int interval = view.intervals[main::Timer::TimerMain];
            std::this_thread::sleep_for(std::chrono::milliseconds(interval));
            cycle.TimerMainTimer();
        }
        return !cycle.Running();
    }

    sim::VirtualBench bench{Options()};
    platform::Clock& clock = platform::SystemClock();
    main::ProgramState state{clock};
    FakeMainView view;
    veska::bench::StageMotor motor{clock};
    veska::bench::BenchDevices absent = veska::bench::AbsentDevices();
    veska::bench::ModeSteps steps;
    analog::AnalogChecks checks;
    main::WindowState window{view, state.texts, false};
    main::StreamController stream{state, view, window, clock};
    main::MeasurementCycle cycle{
        state, view,   window,
        clock, stream, veska::bench::BenchDevices{motor, absent.encoder, absent.board},
        steps};
    bool started = false;
};

TEST(AnalogBench, InCheckCountsOneSamplePerStep) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.Run(bench::kModeInCheck, 20000));
    EXPECT_EQ(rig.cycle.run.results.at("samples"), 99);
}

TEST(AnalogBench, StreamRateIsWhatTheLineAllows) {
    StreamRig rig;
    ASSERT_TRUE(rig.started);
    ASSERT_TRUE(rig.Run(bench::kModeStreamFrqCheck, 2));
    // 115200 bit/s, 4 line bytes of 11 bits per sample: 2.62 kHz.
    EXPECT_NEAR(rig.cycle.run.results.at("rate_khz"), 115200.0 / 44.0 / 1000.0, 0.1);
    EXPECT_EQ(rig.view.Text(main::Control::LabelRast).substr(4), " kHz");  // "2.62 kHz"
}

/// The virtual bench with the analog board on a USB bus of its own: the board samples the
/// COM4 sensor's output on the stage's trigger pulses (output 8, one per step) once the live
/// acquisition runs. The program's bench modes, with the analog half of the report. Moves
/// run twice as fast as real (faster, the trigger outruns the sensor's line at 115200 bit/s
/// and the digital curve lags); the protocol's long waits are cut short.
class VerificationBench : public ::testing::Test {
  protected:
    static sim::BenchOptions Options() {
        sim::BenchOptions o;
        o.installUsbBackend = false;
        o.sensor.noise = 0.0;
        o.stage = sim::StageGeometry{0.05, 70.0, 170.0};
        o.timeScale = 2.0;
        return o;
    }

    void SetUp() override {
        clock.maxRealSleepMs = 2;
        dir = std::filesystem::temp_directory_path() /
              ("veska_analog_verification_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
        view.reportFolder = dir.string();
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        auto simBoard = std::make_unique<sim::SimAnalogBoard>(bench.GetWorld(), QuietBoard());
        simBoard->ConnectTrigger(&bench.GetStage());
        boardBus.AddDevice(std::move(simBoard));
        ASSERT_TRUE(client.OpenBoard());

        auto& conn = state.session.conn;
        state.session.SetView(view);
        conn.portName = bench.SensorPty().SlavePath();
        conn.baudRate = 115200;
        ASSERT_TRUE(state.session.OpenPort());
        ASSERT_EQ(state.session.Identify(), link::kStatusOk);
        ASSERT_TRUE(state.session.FetchAllParameters());
        state.session.CopySensorToWork(37);
        conn.resultDivisor = 50000;
        state.motorTable = bench::ParseMotorTable("0.05 70 170\n0.025 320 1060\n");
        conn.motorRecord =
            bench::ChooseMotorRecord(state.motorTable, conn.baseDistance, conn.measuringRange);
        motor.SetPortChoice(bench.PortPath(sim::VirtualBench::kMotorCom));
        modes.SetAnalogEvaluation(analog::AnalogVerification());
        modes.BindTo(steps);
        cycle.refreshIdentity = [] {};
    }
    void TearDown() override {
        stream.Stream().StopThread();
        (void)client.CloseBoard();
        (void)state.session.sensor.ClosePort();
        std::filesystem::remove_all(dir);
    }

    /// One run of a mode to its own end; false when it did not end within maxTicks.
    bool RunMode(int32_t code) { return veska::testing::RunBenchMode(state, cycle, code); }

    std::filesystem::path dir;
    sim::VirtualBench bench{Options()};
    sim::SimUsbBackend boardBus;
    platform::FakeClock driverClock;
    driver::EmbeddedImages images;
    driver::BoardDriver boardDriver{&boardBus, driverClock, images};
    simhost::BoardDriverExports exports{boardDriver};
    platform::FakeClock clientClock;
    analog::TVOKT_Interface client{exports, clientClock};
    analog::BenchBoard board{client};

    TestClock clock;
    main::ProgramState state{clock};
    FakeMainView view;
    bench::StageMotor motor{clock};
    bench::BenchDevices absent = bench::AbsentDevices();
    bench::BenchModes modes;
    bench::ModeSteps steps;
    main::WindowState window{view, state.texts, false};
    main::StreamController stream{state, view, window, clock};
    main::MeasurementCycle cycle{state, view,   window,
                                 clock, stream, bench::BenchDevices{motor, absent.encoder, board},
                                 steps};
};

TEST_F(VerificationBench, ASynchronousVerificationWritesTheDigitalAndTheAnalogReport) {
    // The levels an adjustment finds: the output runs from just above 0 V to 10 V over the
    // range, a straight line but for the code steps.
    const sim::AnalogStage stage = Options().sensor.analog;
    state.session.SendValue(37, stage.FirstCodeAbove(0.005, 0.0));
    state.session.SendValue(38, stage.FirstCodeAtFullScale());
    const std::string serial = std::to_string(state.session.conn.deviceInfo.serialNumber);
    view.reportFiles = {(dir / (serial + "_Digital.pvk")).string(),
                        (dir / (serial + "_Analog.pvk")).string()};

    ASSERT_TRUE(RunMode(bench::kModeSynchroPoverka));
    const auto& results = cycle.run.results;
    ASSERT_EQ(results.count("figure_percent"), 1u) << ::testing::PrintToString(cycle.run.notes);
    ASSERT_EQ(results.count("analog_figure_percent"), 1u)
        << ::testing::PrintToString(cycle.run.notes);
    // The optics bow the digital result by a few percent; the output stage is straight but
    // for its code steps (some 320 codes a millimetre), and the board samples at each step.
    EXPECT_GE(results.at("figure_percent"), 0.5);
    EXPECT_GT(results.at("analog_figure_percent"), 0.0);
    EXPECT_LT(results.at("analog_figure_percent"), 0.05);
    EXPECT_TRUE(std::filesystem::exists(dir / (serial + "_Digital.pvk")));
    EXPECT_TRUE(std::filesystem::exists(dir / (serial + "_Analog.pvk")));
    ASSERT_EQ(view.chartImages.size(), 2u);
    EXPECT_EQ(view.chartImages[0].path, (dir / (cycle.run.stem + "_Digital_pvk.bmp")).string());
    EXPECT_EQ(view.chartImages[1].path, (dir / (cycle.run.stem + "_Analog_pvk.bmp")).string());
    // The first line of the analog data file is the step.
    std::ifstream analogFile(dir / (serial + "_Analog.pvk"), std::ios::binary);
    std::string firstLine;
    std::getline(analogFile, firstLine);
    EXPECT_EQ(firstLine, "0.050000");
}

}  // namespace
}  // namespace veska::testing
