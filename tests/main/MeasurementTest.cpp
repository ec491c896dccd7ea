// The measurement cycle: run start and stop, the tick of the plain modes, FetchResult with
// its retry budget. Flows run against the simulated sensor on a pty; exact raw values come
// from a scripted pty peer.
#include <gtest/gtest.h>

#include <cmath>

#include <algorithm>
#include <string>
#include <vector>

#include "acquire/SampleBuffer.h"
#include "lang/Language.h"
#include "lang/NumberFormat.h"
#include "link/Status.h"
#include "main/MeasurementCycle.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"
#include "tests/support/PtyPeer.h"

namespace veska::testing {
namespace {

using main::Control;
using main::PointColour;
using main::Timer;

constexpr uint8_t kModeOfRunAddress = 0x07;

/// A reply as the sensor frames it: every byte as two line bytes 1ccc pppp, low nibble first.
std::vector<uint8_t> Framed(const std::vector<uint8_t>& data, uint8_t counter) {
    std::vector<uint8_t> line;
    for (uint8_t b : data) {
        line.push_back(static_cast<uint8_t>(0x80 | counter << 4 | (b & 0x0F)));
        line.push_back(static_cast<uint8_t>(0x80 | counter << 4 | b >> 4));
    }
    return line;
}

std::vector<uint8_t> ResultReply(uint16_t raw, uint8_t counter) {
    return Framed({static_cast<uint8_t>(raw & 0xFF), static_cast<uint8_t>(raw >> 8)}, counter);
}

std::string Mm(double value) { return lang::FormatFixed(value, 3) + " mm"; }

// --- Flows against the simulated sensor ---------------------------------------------------

TEST(MeasurementRun, LineRunShowsLabelsPointsAndBuffer) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    rig.view.texts[Control::LabelRast] = "";
    rig.cycle.ToggleMeasure();

    EXPECT_TRUE(rig.cycle.Running());
    EXPECT_TRUE(rig.view.timers[Timer::TimerMain]);
    EXPECT_EQ(rig.view.intervals[Timer::TimerMain], 1);
    EXPECT_EQ(rig.view.Text(Control::ButtonMeasure), rig.state.texts.Button(12));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonConnect));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonStream));
    EXPECT_FALSE(rig.view.Enabled(Control::ValueListEditorParam));
    EXPECT_FALSE(rig.view.Enabled(Control::RadioGroupMode));
    EXPECT_TRUE(SimSensorRig::WaitFor(
        [&] { return rig.device.Counters().paramWrites[kModeOfRunAddress] == 1; }));
    EXPECT_EQ(rig.device.Param(kModeOfRunAddress), 0);
    EXPECT_NE(std::find(rig.clock.sleeps.begin(), rig.clock.sleeps.end(), 100u),
              rig.clock.sleeps.end());
    // The run start refreshed the identity from the sensor.
    EXPECT_EQ(rig.view.identity[params::IdentityLabel::Range], "50 mm");

    const double mm = rig.ExpectedMm();
    for (int i = 0; i < 3; ++i) {
        rig.clock.now += 250;
        rig.cycle.TimerMainTimer();
    }

    EXPECT_EQ(rig.view.Text(Control::LabelRast), Mm(mm));
    ASSERT_EQ(rig.view.points.size(), 3u);  // no 1800 point: the value is far below
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(rig.view.points[i].y, mm);
        EXPECT_EQ(rig.view.points[i].label, std::to_string(i));
        EXPECT_EQ(rig.view.points[i].colour, PointColour::Red);
    }
    EXPECT_EQ(rig.state.samples.Index(), 3);  // one past the newest value
    EXPECT_FLOAT_EQ(rig.state.samples.At(0), static_cast<float>(mm));
    EXPECT_FLOAT_EQ(rig.state.samples.At(2), static_cast<float>(mm));
    std::string lines;
    rig.state.samples.ExportLines(lines);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    // A polled run has no line rate: each sample keeps the time it was taken.
    const auto t0 = rig.state.samples.StampedTime(0), t2 = rig.state.samples.StampedTime(2);
    ASSERT_TRUE(t0 && t2);
    EXPECT_GE(*t0, 0.25);
    EXPECT_GE(*t2 - *t0, 0.5);
    EXPECT_EQ(rig.cycle.run.pointNumber, 3u);
    EXPECT_EQ(rig.view.repaints, 3);  // one repaint request per tick, no full replot
    EXPECT_EQ(rig.view.chartClears, 1);
    EXPECT_TRUE(rig.view.timers[Timer::TimerMain]);
    EXPECT_EQ(rig.state.session.conn.answerStatus.load(), 0);
    // Without an encoder the bench read-outs show the run's maximum and minimum.
    EXPECT_EQ(rig.view.Text(Control::LabelEncoder), lang::FormatFixedPrecision(mm, 8, 4));
}

TEST(MeasurementRun, ZeroSetDuringRunShiftsLabelsAndPointsButNotTheBuffer) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    rig.state.zeroOffset = 10.0f;
    rig.cycle.ToggleMeasure();
    const double mm = rig.ExpectedMm();
    rig.cycle.TimerMainTimer();
    const double shifted = static_cast<double>(static_cast<float>(mm)) - 10.0;
    EXPECT_EQ(rig.view.Text(Control::LabelRast), Mm(shifted));
    EXPECT_DOUBLE_EQ(rig.view.points.back().y, shifted);
    EXPECT_FLOAT_EQ(rig.state.samples.At(0), static_cast<float>(mm));

    // "Zero set" takes the latest value: the following ticks show zero.
    rig.state.zeroOffset = rig.state.currentValue.load();
    rig.cycle.TimerMainTimer();
    EXPECT_EQ(rig.view.Text(Control::LabelRast), "0.000 mm");
    EXPECT_DOUBLE_EQ(rig.view.points.back().y, 0.0);
    EXPECT_FLOAT_EQ(rig.state.samples.At(1), static_cast<float>(mm));
}

TEST(MeasurementRun, FailedRequestsAreGapsNotReadingsAndFiveAreKeptFromTheWatchdog) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    rig.cycle.ToggleMeasure();
    rig.cycle.TimerMainTimer();
    ASSERT_EQ(rig.state.samples.Index(), 1);

    for (int failure = 1; failure <= 5; ++failure) {
        rig.device.CorruptNextReply();
        rig.cycle.TimerMainTimer();
        EXPECT_EQ(rig.cycle.resultRetryBudget, 5 - failure);
        EXPECT_EQ(rig.state.session.conn.answerStatus.load(), 0) << "failure " << failure;
        EXPECT_EQ(rig.state.samples.Index(), 1) << "nothing stored";
        EXPECT_TRUE(std::isnan(rig.view.points.back().y)) << "a gap, not a point";
        EXPECT_EQ(rig.view.Text(Control::LabelRast),
                  rig.state.texts.Text(lang::ProgramText::RequestFailed));
    }
    EXPECT_EQ(rig.view.points.size(), 6u);

    rig.device.CorruptNextReply();
    rig.cycle.TimerMainTimer();  // the sixth failure reaches the watchdog
    EXPECT_EQ(rig.state.samples.Index(), 1);
    EXPECT_EQ(rig.state.session.conn.answerStatus.load(), link::kStatusFraming);
    EXPECT_TRUE(rig.view.timers[Timer::TimerMain]);  // the run goes on

    rig.cycle.TimerMainTimer();  // a good result restores the budget
    EXPECT_EQ(rig.cycle.resultRetryBudget, 5);
    EXPECT_EQ(rig.state.samples.Index(), 2);
    EXPECT_EQ(rig.state.session.conn.answerStatus.load(), 0);
}

TEST(MeasurementRun, IndexWrapsAfter65536Values) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    rig.cycle.ToggleMeasure();
    // The ring after 65534 ticks, then two real ticks fill positions 65534 and 65535.
    for (int i = 0; i < acquire::SampleBuffer::kSize - 2; ++i)
        rig.state.samples.AppendOnePast(1.0f);
    rig.cycle.TimerMainTimer();
    EXPECT_FALSE(rig.state.samples.Wrapped());
    EXPECT_EQ(rig.state.samples.Index(), 65535);
    rig.cycle.TimerMainTimer();
    EXPECT_TRUE(rig.state.samples.Wrapped());
    EXPECT_EQ(rig.state.samples.Index(), 0);
    EXPECT_FLOAT_EQ(rig.state.samples.At(65535), rig.state.currentValue.load());

    // The next run starts empty with every value cleared.
    rig.cycle.ToggleMeasure();
    rig.cycle.ToggleMeasure();
    EXPECT_EQ(rig.state.samples.Index(), -1);
    EXPECT_FALSE(rig.state.samples.Wrapped());
    EXPECT_FLOAT_EQ(rig.state.samples.At(100), 0.0f);
}

struct PlainModeCase {
    int32_t mode;
    const char* unit;
};

class PlainModeRun : public ::testing::TestWithParam<PlainModeCase> {};

TEST_P(PlainModeRun, ShowsTheRawValueWithItsUnitAndSetsModeOfRun) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    rig.state.benchModeCode = GetParam().mode;
    rig.cycle.ToggleMeasure();
    EXPECT_TRUE(rig.WaitParam(kModeOfRunAddress, static_cast<uint8_t>(GetParam().mode)));
    EXPECT_EQ(rig.state.measureMode.load(), GetParam().mode);
    rig.cycle.TimerMainTimer();
    const float raw = rig.state.samples.At(0);
    EXPECT_GT(raw, 0.0f);
    EXPECT_EQ(raw, static_cast<float>(static_cast<int>(raw)));  // a raw count, unconverted
    EXPECT_EQ(rig.view.Text(Control::LabelRast), lang::FormatFixed(raw, 0) + " " + GetParam().unit);
    // The first tick's 1800 reference point belongs to Line mode alone.
    ASSERT_EQ(rig.view.points.size(), 1u);
    EXPECT_DOUBLE_EQ(rig.view.points.back().y, raw);

    // A stop sends "Mode of Run" 0 once.
    rig.device.ResetCounters();
    rig.cycle.ToggleMeasure();
    EXPECT_TRUE(SimSensorRig::WaitFor(
        [&] { return rig.device.Counters().paramWrites[kModeOfRunAddress] == 1; }));
    EXPECT_EQ(rig.device.Param(kModeOfRunAddress), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, PlainModeRun,
                         ::testing::Values(PlainModeCase{1, "px"}, PlainModeCase{2, "cl"}));

TEST(MeasurementRun, StopRestoresTheControlsAndModeOfRunEvenWhenUnchanged) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    rig.cycle.ToggleMeasure();
    rig.cycle.TimerMainTimer();
    rig.device.ResetCounters();
    rig.clock.sleeps.clear();
    rig.cycle.ToggleMeasure();

    EXPECT_FALSE(rig.cycle.Running());
    EXPECT_FALSE(rig.view.timers[Timer::TimerMain]);
    EXPECT_EQ(rig.view.Text(Control::ButtonMeasure), rig.state.texts.Button(1));
    for (Control c :
         {Control::ButtonConnect, Control::ButtonStream, Control::ButtonZero,
          Control::TrackBarLaser, Control::RadioGroupMode, Control::ValueListEditorParam}) {
        EXPECT_TRUE(rig.view.Enabled(c)) << static_cast<int>(c);
    }
    EXPECT_TRUE(SimSensorRig::WaitFor(
        [&] { return rig.device.Counters().paramWrites[kModeOfRunAddress] == 1; }));
    // Two 10 ms waits around the motor masks (no motor: they fail harmlessly).
    EXPECT_EQ(std::count(rig.clock.sleeps.begin(), rig.clock.sleeps.end(), 10u), 2);
    // A tick that was queued before the stop does nothing.
    const size_t points = rig.view.points.size();
    rig.cycle.TimerMainTimer();
    EXPECT_EQ(rig.view.points.size(), points);
    EXPECT_FALSE(rig.view.timers[Timer::TimerMain]);
}

/// Records the state of TimerMain while the tick talks to the bench.
class TimerProbe final : public bench::AnalogBoard {
  public:
    explicit TimerProbe(FakeMainView& v) : view(v) {}
    bool Open() override { return true; }
    void StartSweep() override {}
    void Close() override {}
    bool UpdateReading(bool show, bench::RunView&) override {
        shows.push_back(show);
        timerDuringTick.push_back(view.timers[Timer::TimerMain]);
        return true;
    }
    void Stop() override {}
    FakeMainView& view;
    std::vector<bool> shows;
    std::vector<bool> timerDuringTick;
};

TEST(MeasurementRun, TickDisablesTheTimerWhileItRuns) {
    SimSensorRig rig;
    ASSERT_TRUE(rig.started);
    TimerProbe probe(rig.view);
    bench::BenchDevices devices = bench::AbsentDevices();
    main::MeasurementCycle cycle(rig.state, rig.view, rig.window, rig.clock, rig.stream,
                                 bench::BenchDevices{devices.motor, devices.encoder, probe},
                                 rig.steps);
    cycle.ToggleMeasure();
    cycle.TimerMainTimer();
    cycle.TimerMainTimer();
    EXPECT_EQ(probe.timerDuringTick, (std::vector<bool>{false, false}));
    EXPECT_EQ(probe.shows, (std::vector<bool>{true, true}));
    EXPECT_TRUE(rig.view.timers[Timer::TimerMain]);
}

// --- Exact values through a scripted peer -------------------------------------------------

struct PeerCycle {
    PeerCycle()
        : state(clock),
          sensor(state.session.sensor),
          stream(state, view, window, clock),
          cycle(state, view, window, clock, stream, bench::AbsentDevices(), steps) {
        state.session.SetView(view);
        plainModes.BindTo(steps);
        EXPECT_TRUE(peer.Ok());
        EXPECT_EQ(sensor.OpenPort(0, peer.SlavePath(), 115200), 0);
        // The identity refresh is the main window's; here it only counts.
        cycle.refreshIdentity = [this] { ++identifies; };
    }
    ~PeerCycle() { (void)sensor.ClosePort(); }

    PtyPeer peer;
    platform::FakeClock clock;
    main::ProgramState state;
    FakeMainView view;
    main::WindowState window{view, state.texts, false};
    link::TMORLAInterface& sensor;
    main::PlainModes plainModes;
    bench::ModeSteps steps;
    main::StreamController stream;
    main::MeasurementCycle cycle;
    int identifies = 0;
};

struct ConversionCase {
    int32_t mode;
    uint16_t raw;
    int16_t range;
    uint16_t divisor;
    float expected;
};

class FetchResultConversion : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(FetchResultConversion, ConvertsTheRawResultByMode) {
    const ConversionCase& c = GetParam();
    PeerCycle rig;
    rig.state.session.conn.measuringRange = c.range;
    rig.state.session.conn.resultDivisor = c.divisor;
    rig.state.measureMode = c.mode;
    rig.state.currentValue = 7.0f;
    rig.peer.ReplyAfter(2, ResultReply(c.raw, 3));
    EXPECT_TRUE(rig.cycle.FetchResult());
    EXPECT_FLOAT_EQ(rig.state.currentValue.load(), c.expected);
    EXPECT_EQ(rig.state.session.conn.answerStatus.load(), 0);
    EXPECT_EQ(rig.peer.Received(), (std::vector<uint8_t>{0x01, 0x86}));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, FetchResultConversion,
    ::testing::Values(ConversionCase{0, 5000, 50, 50000, 5.0f},       // Line
                      ConversionCase{131, 5000, 50, 50000, 5.0f},     // Poverka
                      ConversionCase{0, 65535, 100, 37500, 174.76f},  // Line, full scale
                      ConversionCase{1, 1234, 50, 50000, 1234.0f},    // Nonline
                      ConversionCase{129, 1234, 50, 50000, 1234.0f},  // Calibration
                      ConversionCase{2, 1234, 50, 50000, 1234.0f},    // Temperature
                      ConversionCase{148, 1234, 50, 50000, 7.0f}));   // other: unchanged

TEST(MeasurementPeer, FirstValueAbove1800AddsTheReferencePointOnce) {
    PeerCycle rig;
    rig.state.session.conn.measuringRange = 4000;
    rig.state.session.conn.resultDivisor = 50000;
    // Mode of Run write (6 line bytes), then one GetResult (2) per tick.
    rig.peer.ReplyAfter(6 + 2, ResultReply(25000, 0));  // 2000.0 mm
    rig.peer.ReplyAfter(2, ResultReply(25000, 1));
    rig.state.zeroOffset = 0.5f;
    rig.cycle.ToggleMeasure();
    EXPECT_EQ(rig.identifies, 1);
    rig.cycle.TimerMainTimer();

    ASSERT_EQ(rig.view.points.size(), 2u);
    EXPECT_DOUBLE_EQ(rig.view.points[0].y, 1800.0);
    EXPECT_EQ(rig.view.points[0].label, "0");
    EXPECT_EQ(rig.view.points[0].colour, PointColour::SeriesDefault);
    EXPECT_DOUBLE_EQ(rig.view.points[1].y, 1999.5);
    EXPECT_EQ(rig.view.points[1].label, "0");
    EXPECT_EQ(rig.view.points[1].colour, PointColour::Red);
    EXPECT_EQ(rig.view.Text(Control::LabelRast), "1999.500 mm");
    EXPECT_FLOAT_EQ(rig.state.samples.At(0), 2000.0f);

    rig.cycle.TimerMainTimer();  // not the first tick any more
    ASSERT_EQ(rig.view.points.size(), 3u);
    EXPECT_EQ(rig.view.points[2].label, "1");
}

TEST(MeasurementPeer, ValueAt1800AddsOnlyTheMeasuredPoint) {
    PeerCycle rig;
    rig.state.session.conn.measuringRange = 4000;
    rig.state.session.conn.resultDivisor = 50000;
    rig.peer.ReplyAfter(6 + 2, ResultReply(22500, 0));  // 1800.0 mm
    rig.cycle.ToggleMeasure();
    rig.cycle.TimerMainTimer();
    ASSERT_EQ(rig.view.points.size(), 1u);
    EXPECT_DOUBLE_EQ(rig.view.points[0].y, 1800.0);
    EXPECT_EQ(rig.view.points[0].colour, PointColour::Red);
}

TEST(MeasurementPeer, ModesWithoutAStepOnlyRepaint) {
    PeerCycle rig;
    rig.state.benchModeCode = 148;
    rig.cycle.ToggleMeasure();
    rig.cycle.TimerMainTimer();
    EXPECT_TRUE(rig.view.points.empty());
    EXPECT_EQ(rig.view.repaints, 1);
    EXPECT_TRUE(rig.view.timers[Timer::TimerMain]);
    // No "Mode of Run" at the start of such a mode; the stop still sends 0.
    EXPECT_TRUE(rig.peer.Received().empty());
    rig.cycle.ToggleMeasure();
    EXPECT_TRUE(rig.peer.WaitReceived(6, 1000));
    EXPECT_EQ(rig.peer.Received(), (std::vector<uint8_t>{0x01, 0x83, 0x87, 0x80, 0x80, 0x80}));
}

TEST(FormatFixedPrecision, EightDigitsFourDecimals) {
    EXPECT_EQ(lang::FormatFixedPrecision(12.5, 8, 4), "12.5000");
    EXPECT_EQ(lang::FormatFixedPrecision(1234.56789, 8, 4), "1234.5679");
    EXPECT_EQ(lang::FormatFixedPrecision(123456.789, 8, 4), "123456.7900");
    EXPECT_EQ(lang::FormatFixedPrecision(65535.0, 8, 4), "65535.0000");
    EXPECT_EQ(lang::FormatFixedPrecision(-0.00001, 8, 4), "0.0000");
    EXPECT_EQ(lang::FormatFixedPrecision(-3.25, 8, 4), "-3.2500");
}

}  // namespace
}  // namespace veska::testing
