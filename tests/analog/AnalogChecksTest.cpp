// The analog checks on a fake run frame: a scripted board, the simulated sensor on a pty (the
// level modes read the levels from it and confirm every level they write), the fake clock.
#include <gtest/gtest.h>

#include <optional>

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "analog/AnalogChecks.h"
#include "bench/BenchDevices.h"
#include "bench/ModeTable.h"
#include "lang/Language.h"
#include "params/SensorSession.h"
#include "platform/Clock.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"
#include "tests/params/FakeParamView.h"

namespace veska::analog {
namespace {

/// A board whose readings follow a function of the output level the sensor was last given.
class ScriptedBoard final : public bench::AnalogBoard {
  public:
    bool Open() override { return true; }
    void StartSweep() override { ++sweeps; }
    bool UpdateReading(bool show, bench::RunView& view) override {
        ++calls;
        if (lost) return false;
        reading = output ? output() : 0.0f;
        if (show) view.ShowReadout(bench::Readout::BoardVoltage, "shown");
        ++updates;
        return true;
    }
    void Stop() override {}
    void Close() override {}
    float Voltage() const override { return reading; }
    float Current() const override { return 2.0f * reading; }
    bool Present() const override { return present; }

    std::function<float()> output;  ///< the voltage the next reading finds [V]
    float reading = 0.0f;
    int sweeps = 0;
    int updates = 0;  ///< readings delivered
    int calls = 0;    ///< readings asked for
    bool present = true;
    bool lost = false;  ///< unplugged: no reading comes
};

class RecordingView final : public bench::RunView {
  public:
    void ShowValue(const std::string& text) override { value = text; }
    std::optional<std::string> AskReportFile(const std::string&) override { return {}; }
    bool SaveChartImage(const std::string&, int, int) override { return false; }
    void ShowReadout(bench::Readout readout, const std::string& text) override {
        readouts[readout] = text;
    }
    void ShowProgress(int position) override { progress.push_back(position); }
    void ChartClear() override { points.clear(); }
    void ChartAddPoint(double y, const std::string& label, bench::PointColour) override {
        points.push_back({y, label});
    }
    void ChartAddPoints(const float*, int, int, bench::PointColour) override {}
    void ChartRepaint() override {}
    void ChartSetTitle(const std::string&, bool) override {}
    void ChartSetAxisTitles(const std::string&, const std::string&) override {}
    void ChartSetFoot(const std::string& text) override { foot = text; }
    void SetBottomAxisAutomatic(bool) override {}
    void SetBottomAxisRange(double, double) override {}
    void SetLeftAxisAutomatic(bool) override {}
    void SetLeftAxisRange(double, double) override {}

    struct Point {
        double y;
        std::string label;
    };
    std::string value;
    std::map<bench::Readout, std::string> readouts;
    std::vector<int> progress;
    std::vector<Point> points;
    std::string foot;
};

/// The run frame of one mode, ticked by hand.
class FakeFrame final : public bench::RunFrame {
  public:
    const bench::MotorTable& Motors() const override { return motors_; }
    bench::MotorTable motors_;

    explicit FakeFrame(int32_t code)
        : row_(*bench::FindMode(code)), stream_(session_, {samples_, current_, zero_, running_}) {
        session_.SetView(paramView);
        run_.mode = code;
        // The level modes talk to the sensor; the stream modes run with its port closed.
        if (code < bench::kMode0_10VAdjustment || code > bench::kModeAnalogLineCheck) return;
        std::string error;
        EXPECT_TRUE(pty_.Start(&error)) << error;
        EXPECT_EQ(session_.sensor.OpenPort(0, pty_.SlavePath(), 115200), 0);
    }
    ~FakeFrame() override {
        stream_.StopThread();
        (void)session_.sensor.ClosePort();
        pty_.Stop();
    }

    /// The simulated sensor's own value of a two-byte row (the levels).
    int32_t SensorRow(int row) const { return device_.Param16(session_.table[row].address); }
    void SetSensorRow(int row, uint16_t value) {
        device_.SetParam16(session_.table[row].address, value);
    }
    /// The sensor answers no read of this row.
    void MuteSensorRow(int row) { device_.MuteParamAddress(session_.table[row].address); }

    /// The frame's start: the mode's start steps, then the timer runs.
    void Start(bench::RunMode& mode) {
        mode_ = &mode;
        samples_.ClearValues();
        samples_.Reset();
        running = true;
        mode.Start(*this);
    }
    /// Ticks until the run ends or count ticks have passed; the ticks made.
    int Ticks(int count) {
        int made = 0;
        while (running && made < count) {
            clock.now += static_cast<uint32_t>(interval);
            mode_->Tick(*this);
            ++made;
        }
        return made;
    }
    void UserStop() { EndRun(); }

    bool FetchResult() override { return false; }
    bool ReadEncoderPosition() override { return false; }
    bool OpenMotorPort() override { return false; }
    bool OpenEncoderPort() override { return false; }
    void EndRun() override {
        if (!running) return;
        running = false;
        if (stream_.Running()) stream_.Stop(2);
        mode_->Stop(*this);
    }
    void SetTickInterval(int milliseconds) override {
        interval = milliseconds;
        intervals.push_back(milliseconds);
    }
    bench::RunState& Run() override { return run_; }
    const bench::ModeRow& Row() const override { return row_; }
    acquire::SampleBuffer& Samples() override { return samples_; }
    std::atomic<float>& CurrentValue() override { return current_; }
    std::atomic<float>& ZeroOffset() override { return zero_; }
    acquire::SampleStream& Stream() override { return stream_; }
    params::SensorSession& Session() override { return session_; }
    bench::BenchDevices& Devices() override { return devices_; }
    bench::RunView& View() override { return view; }
    platform::Clock& Clock() override { return clock; }

    int32_t& Work(int row) { return session_.values.workValues[static_cast<size_t>(row)]; }

    platform::FakeClock clock;
    ScriptedBoard board;
    RecordingView view;
    params::test::FakeParamView paramView;
    bool running = false;
    int interval = 1;
    std::vector<int> intervals;

  private:
    sim::World world_;
    sim::SensorDevice device_{world_, {}};
    sim::SensorLine line_{device_, {}};
    sim::PtyLink pty_{line_};
    lang::TextTable texts_;
    params::SensorSession session_{texts_, clock};
    bench::RunState run_;
    const bench::ModeRow& row_;
    acquire::SampleBuffer samples_;
    std::atomic<float> current_{0.0f};
    std::atomic<float> zero_{0.0f};
    std::atomic<bool> running_{false};
    acquire::SampleStream stream_;
    bench::BenchDevices devices_{bench::AbsentDevices().motor, bench::AbsentDevices().encoder,
                                 board};
    bench::RunMode* mode_ = nullptr;
};

// --- Sweep steps and level analysis ---------------------------------------------------------

TEST(AdjustmentStep, FineNearTheEndsCoarseBetweenAndStopPastTheEnd) {
    struct Case {
        OutputKind kind;
        float reading;
        int32_t step;
        bool goesOn;
        int interval;
    };
    const Case cases[] = {
        {OutputKind::Voltage, 0.0f, 1, true, 20},    {OutputKind::Voltage, 0.3f, 1, true, 20},
        {OutputKind::Voltage, 0.31f, 100, true, 2},  {OutputKind::Voltage, 9.69f, 100, true, 2},
        {OutputKind::Voltage, 9.7f, 1, true, 20},    {OutputKind::Voltage, 10.05f, 1, true, 20},
        {OutputKind::Voltage, 10.06f, 1, false, 20}, {OutputKind::Current, 3.69f, 100, true, 2},
        {OutputKind::Current, 3.7f, 1, true, 20},    {OutputKind::Current, 4.3f, 1, true, 20},
        {OutputKind::Current, 12.0f, 100, true, 2},  {OutputKind::Current, 19.7f, 1, true, 20},
        {OutputKind::Current, 20.06f, 1, false, 20},
    };
    for (const Case& c : cases) {
        const SweepStep step = AdjustmentStep(c.kind, c.reading);
        EXPECT_EQ(step.step, c.step) << c.reading;
        EXPECT_EQ(step.goesOn, c.goesOn) << c.reading;
        EXPECT_EQ(step.intervalMs, c.interval) << c.reading;
    }
}

TEST(FindLevels, BottomAboveTheMinimumTopAtFullScaleOrTheLargest) {
    struct Case {
        const char* name;
        OutputKind kind;
        std::vector<float> readings;
        int32_t bottom;
        int32_t top;
    };
    const Case cases[] = {
        // 0.005 V above the minimum is not enough; 0.0051 V is.
        {"bottom", OutputKind::Voltage, {0.0f, 0.001f, 0.006f, 0.0061f, 5.0f, 10.0f, 10.1f}, 3, 5},
        {"top is the largest when nothing reaches 10 V",
         OutputKind::Voltage,
         {0.0f, 0.01f, 1.0f, 9.8f, 9.9f, 9.7f},
         2,
         4},
        {"zero readings (levels never read) are no minimum",
         OutputKind::Voltage,
         {0.0f, 0.0f, 0.02f, 0.0f, 0.05f, 10.2f},
         4,
         5},
        {"current below 4 mA is not looked at",
         OutputKind::Current,
         {3.9f, 3.95f, 4.0f, 4.02f, 19.0f, 20.0f},
         2,
         5},
        {"nothing read", OutputKind::Voltage, {0.0f, 0.0f}, -1, -1},
    };
    for (const Case& c : cases) {
        const FoundLevels found = FindLevels(c.kind, c.readings);
        EXPECT_EQ(found.bottom, c.bottom) << c.name;
        EXPECT_EQ(found.top, c.top) << c.name;
    }
}

TEST(EvaluateLine, PercentOfSpanAndNoDivisionWithoutASpan) {
    const auto line = EvaluateLine(std::vector<float>{1.0f, 2.5f, 3.0f, 5.0f});
    ASSERT_TRUE(line);
    // span 4, the line i x 4 / 4: errors 0, 0.5, 0, 1 of 4.
    ASSERT_EQ(line->errors.size(), 4u);
    EXPECT_FLOAT_EQ(line->errors[1], 12.5f);
    EXPECT_FLOAT_EQ(line->errors[3], 25.0f);
    EXPECT_FLOAT_EQ(line->largest, 25.0f);
    EXPECT_FLOAT_EQ(line->smallest, 0.0f);

    EXPECT_FALSE(EvaluateLine(std::vector<float>{}));
    EXPECT_FALSE(EvaluateLine(std::vector<float>{3.0f}));
    EXPECT_FALSE(EvaluateLine(std::vector<float>{3.0f, 4.0f, 3.0f}));
}

TEST(StreamRateKhz, NewestIndexOverElapsed) {
    EXPECT_DOUBLE_EQ(StreamRateKhz(9999, false, 5000), 1.9998);
    EXPECT_DOUBLE_EQ(StreamRateKhz(100, true, 1000), (100.0 + 65536.0) / 1000.0);
    EXPECT_DOUBLE_EQ(StreamRateKhz(100, false, 0), 0.0);
    EXPECT_DOUBLE_EQ(StreamRateKhz(-1, false, 5000), 0.0);
}

// --- Runs on the fake frame -----------------------------------------------------------------

TEST(AdjustmentRun, SweepsFineAndCoarseWritesTheLevelsAndSwitchesTheSensorBackOn) {
    FakeFrame frame(bench::kMode0_10VAdjustment);
    // An output of 1.2 mV per code from code 200, flat below.
    frame.board.output = [&] {
        const int32_t code = frame.Work(kRowTopLevel);
        return code <= 200 ? 0.0001f : 0.0001f + 0.0012f * static_cast<float>(code - 200);
    };
    frame.Work(kRowSensorOnOff) = 1;
    frame.SetSensorRow(kRowTopLevel, 9000);
    AdjustmentMode mode(OutputKind::Voltage);
    frame.Start(mode);
    EXPECT_EQ(frame.Work(kRowSensorOnOff), 0);
    EXPECT_EQ(frame.Work(kRowTopLevel), 0);
    EXPECT_EQ(frame.interval, 100);
    EXPECT_EQ(frame.board.sweeps, 1);

    frame.Ticks(100000);
    ASSERT_FALSE(frame.running);
    // Fine steps with 20 ms, coarse ones with 2 ms, both seen.
    EXPECT_NE(std::find(frame.intervals.begin(), frame.intervals.end(), 20), frame.intervals.end());
    EXPECT_NE(std::find(frame.intervals.begin(), frame.intervals.end(), 2), frame.intervals.end());
    // Bottom: 0.0001 + 0.005 V is passed at code 205; top: 10.0 V at code 8534, reached by
    // fine steps after the coarse ones stopped at 9.7 V.
    EXPECT_EQ(frame.Work(kRowBottomLevel), 205);
    EXPECT_EQ(frame.Work(kRowTopLevel), 8534);
    EXPECT_EQ(frame.Run().results["bottom_level"], 205);
    EXPECT_EQ(frame.Run().results["top_level"], 8534);
    EXPECT_EQ(frame.view.readouts[bench::Readout::BoardVoltage], "205");
    EXPECT_EQ(frame.view.readouts[bench::Readout::BoardCurrent], "8534");
    EXPECT_EQ(frame.view.progress.back(), 100);
    EXPECT_EQ(frame.Work(kRowSensorOnOff), 1);
    // The sensor holds what the sweep found: every level write was read back.
    EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 205);
    EXPECT_EQ(frame.SensorRow(kRowTopLevel), 8534);
    EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Passed);
}

TEST(AdjustmentRun, AnOutputThatNeverRisesFailsAndKeepsTheSensorsLevels) {
    FakeFrame frame(bench::kMode4_20mAAdjustment);
    frame.SetSensorRow(kRowBottomLevel, 183);
    frame.SetSensorRow(kRowTopLevel, 16021);
    frame.board.output = [] { return 1.0f; };  // 2 mA everywhere: below the loop's 4 mA
    AdjustmentMode mode(OutputKind::Current);
    frame.Start(mode);
    frame.Ticks(100000);
    ASSERT_FALSE(frame.running);
    EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Failed);
    EXPECT_EQ(frame.Run().results.count("bottom_level"), 0u);
    EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 183);
    EXPECT_EQ(frame.SensorRow(kRowTopLevel), 16021);
}

TEST(AdjustmentRun, StoppedByTheUserGivesTheSensorTheLevelsItHeld) {
    FakeFrame frame(bench::kMode0_10VAdjustment);
    frame.board.output = [] { return 5.0f; };
    // The host never saw the levels (they are not rows of the grid): the sensor's count.
    frame.Work(kRowBottomLevel) = 0;
    frame.Work(kRowTopLevel) = 0;
    frame.SetSensorRow(kRowBottomLevel, 250);
    frame.SetSensorRow(kRowTopLevel, 0xFFFF);
    AdjustmentMode mode(OutputKind::Voltage);
    frame.Start(mode);
    EXPECT_EQ(frame.Ticks(3), 3);
    frame.UserStop();
    EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 250);
    EXPECT_EQ(frame.SensorRow(kRowTopLevel), 0xFFFF);
    EXPECT_EQ(frame.Work(kRowSensorOnOff), 1);
    EXPECT_EQ(frame.Run().results.count("bottom_level"), 0u);
    EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Stopped);
}

TEST(LevelModes, RefuseWithoutABoardOrAReadableLevelAndWriteNothing) {
    struct Case {
        const char* name;
        int32_t code;
        bool board;
        int mutedRow;  ///< a level the sensor does not answer; -1: none
    };
    const Case cases[] = {
        {"adjustment without a board", bench::kMode0_10VAdjustment, false, -1},
        {"check without a board", bench::kMode0_10VCheck, false, -1},
        {"line check without a board", bench::kModeAnalogLineCheck, false, -1},
        {"adjustment, top level unreadable", bench::kMode4_20mAAdjustment, true, kRowTopLevel},
        {"check, bottom level unreadable", bench::kMode4_20mACheck, true, kRowBottomLevel},
    };
    for (const Case& c : cases) {
        FakeFrame frame(c.code);
        frame.board.present = c.board;
        frame.board.output = [] { return 5.0f; };
        frame.SetSensorRow(kRowBottomLevel, 183);
        frame.SetSensorRow(kRowTopLevel, 16021);
        frame.Work(kRowSensorOnOff) = 1;
        if (c.mutedRow >= 0) frame.MuteSensorRow(c.mutedRow);
        AdjustmentMode adjustment(c.code == bench::kMode4_20mAAdjustment ? OutputKind::Current
                                                                         : OutputKind::Voltage);
        CheckMode check(c.code == bench::kMode4_20mACheck ? OutputKind::Current
                                                          : OutputKind::Voltage);
        LineCheckMode line;
        bench::RunMode& mode =
            c.code == bench::kModeAnalogLineCheck ? static_cast<bench::RunMode&>(line)
            : (c.code == bench::kMode0_10VCheck || c.code == bench::kMode4_20mACheck)
                ? static_cast<bench::RunMode&>(check)
                : static_cast<bench::RunMode&>(adjustment);
        frame.Start(mode);
        EXPECT_EQ(frame.Ticks(10), 1) << c.name;
        EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Error) << c.name;
        EXPECT_EQ(frame.paramView.boxes.size(), 1u) << c.name;
        EXPECT_EQ(frame.board.calls, 0) << c.name;
        EXPECT_EQ(frame.Work(kRowSensorOnOff), 1) << c.name << ": the sensor stays on";
        EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 183) << c.name;
        EXPECT_EQ(frame.SensorRow(kRowTopLevel), 16021) << c.name;
    }
}

TEST(LevelModes, ABoardLostMidRunEndsAsAnErrorAndRestoresTheLevels) {
    FakeFrame frame(bench::kMode0_10VAdjustment);
    frame.SetSensorRow(kRowBottomLevel, 190);
    frame.SetSensorRow(kRowTopLevel, 15800);
    frame.board.output = [&] { return 0.0006f * static_cast<float>(frame.Work(kRowTopLevel)); };
    AdjustmentMode mode(OutputKind::Voltage);
    frame.Start(mode);
    EXPECT_EQ(frame.Ticks(20), 20);
    frame.board.lost = true;
    frame.Ticks(1000);
    ASSERT_FALSE(frame.running);
    EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Error);
    EXPECT_NE(frame.Run().verdict.reason.find("analog board"), std::string::npos);
    EXPECT_EQ(frame.Run().results.count("top_level"), 0u);
    EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 190);
    EXPECT_EQ(frame.SensorRow(kRowTopLevel), 15800);
}

TEST(CheckRun, ShowsBothReadingsWithFourDecimalsAndRestoresTheLevels) {
    struct Case {
        int32_t code;
        OutputKind kind;
        float bottom;
        float top;
        std::string bottomText;
        std::string topText;
    };
    const Case cases[] = {
        {bench::kMode0_10VCheck, OutputKind::Voltage, 0.0123f, 9.9876f, "0.0123 V", "9.9876 V"},
        {bench::kMode4_20mACheck, OutputKind::Current, 2.0f, 10.0f, "4.0000 mA", "20.0000 mA"},
    };
    for (const Case& c : cases) {
        FakeFrame frame(c.code);
        frame.SetSensorRow(kRowBottomLevel, 300);
        frame.SetSensorRow(kRowTopLevel, 15000);
        frame.Work(kRowSensorOnOff) = 1;
        // The output stays at the bottom level until the first tick sets the top one.
        frame.board.output = [&] { return frame.Run().tickPhase == 0 ? c.bottom : c.top; };
        CheckMode mode(c.kind);
        frame.Start(mode);
        EXPECT_EQ(frame.Work(kRowSensorOnOff), 0);
        EXPECT_EQ(frame.Ticks(10), 3);
        EXPECT_EQ(frame.view.readouts[bench::Readout::BoardVoltage], c.bottomText);
        EXPECT_EQ(frame.view.readouts[bench::Readout::BoardCurrent], c.topText);
        EXPECT_EQ(frame.Run().results.count("bottom_reading"), 1u);
        EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 300);
        EXPECT_EQ(frame.SensorRow(kRowTopLevel), 15000);
        EXPECT_EQ(frame.Work(kRowSensorOnOff), 1);
        EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Passed);
    }
}

TEST(LineCheckRun, From1000To1016TakesTwoReadings) {
    FakeFrame frame(bench::kModeAnalogLineCheck);
    frame.SetSensorRow(kRowBottomLevel, 1000);
    frame.SetSensorRow(kRowTopLevel, 1016);
    frame.board.output = [&] { return 0.001f * static_cast<float>(frame.Work(kRowBottomLevel)); };
    LineCheckMode mode;
    frame.Start(mode);
    EXPECT_EQ(frame.Ticks(10), 2);
    EXPECT_EQ(frame.Samples().Index(), 2);
    ASSERT_EQ(frame.view.points.size(), 2u);
    EXPECT_EQ(frame.view.points[0].label, "1000");
    EXPECT_EQ(frame.view.points[1].label, "1008");
    // Two readings 1.000 and 1.008 V: errors 0 and (0.008 - 0.004) / 0.008 = 50 %.
    EXPECT_NEAR(frame.Run().results["error_max_percent"], 50.0, 1e-3);
    EXPECT_EQ(frame.view.foot.rfind("Error,%:[50.0", 0), 0u) << frame.view.foot;
    EXPECT_EQ(frame.SensorRow(kRowBottomLevel), 1000);  // restored
}

TEST(LineCheckRun, WithoutASpanEndsWithAMessageAndNoChart) {
    struct Case {
        int32_t bottom;
        int32_t top;
    };
    for (const Case c : {Case{1000, 1008}, Case{1000, 1100}}) {
        FakeFrame frame(bench::kModeAnalogLineCheck);
        frame.SetSensorRow(kRowBottomLevel, static_cast<uint16_t>(c.bottom));
        frame.SetSensorRow(kRowTopLevel, static_cast<uint16_t>(c.top));
        frame.board.output = [] { return 2.5f; };  // flat: span 0
        LineCheckMode mode;
        frame.Start(mode);
        frame.Ticks(100);
        EXPECT_FALSE(frame.running);
        EXPECT_TRUE(frame.view.points.empty());
        EXPECT_EQ(frame.Run().notes.size(), 1u);
        EXPECT_EQ(frame.paramView.boxes.size(), 1u);
        EXPECT_EQ(frame.Run().results.count("error_max_percent"), 0u);
        EXPECT_EQ(frame.Run().verdict.outcome, bench::RunOutcome::Failed);
    }
}

TEST(StreamRateRun, TenThousandSamplesInFiveSecondsShow200kHz) {
    FakeFrame frame(bench::kModeStreamFrqCheck);
    frame.Work(params::kRowControlSample) = 1;
    StreamRateMode mode;
    frame.Start(mode);
    frame.Stream().StopThread();  // the port is closed: the samples come from the test
    EXPECT_EQ(frame.interval, 5000);
    EXPECT_EQ(frame.Work(params::kRowControlSample), 0);
    for (int i = 0; i < 10000; ++i) frame.Samples().AppendNewest(1.0f);
    frame.Ticks(1);
    EXPECT_FALSE(frame.running);
    EXPECT_EQ(frame.view.value, "2.00 kHz");
    EXPECT_NEAR(frame.Run().results["rate_khz"], 1.9998, 1e-9);
    EXPECT_EQ(frame.Work(params::kRowControlSample), 1);
}

TEST(AlCheckRun, StoppedByTheUserRestoresRowFourAndModeOfRun) {
    FakeFrame frame(bench::kModeAlCheck);
    frame.Work(params::kRowControlSample) = 5;
    AlCheckMode mode;
    frame.Start(mode);
    EXPECT_EQ(frame.Work(params::kRowControlSample), 0);
    EXPECT_EQ(frame.Work(params::kRowModeOfRun), 1);
    EXPECT_TRUE(frame.Stream().Running());
    EXPECT_EQ(frame.Ticks(3), 3);  // no end of its own
    frame.UserStop();
    EXPECT_FALSE(frame.Stream().Running());
    EXPECT_EQ(frame.Work(params::kRowControlSample), 5);
    EXPECT_EQ(frame.Work(params::kRowModeOfRun), 0);
}

TEST(InCheckRun, WithoutAMotorPortEndsAtItsFirstTickAndRestores) {
    FakeFrame frame(bench::kModeInCheck);
    frame.Work(kRowSamplingPeriod) = 400;
    frame.Work(params::kRowControlSample) = 0;
    InCheckMode mode;
    frame.Start(mode);
    EXPECT_EQ(frame.Work(kRowSamplingPeriod), 1);
    EXPECT_EQ(frame.Work(params::kRowControlSample), 1);
    EXPECT_EQ(frame.Ticks(5), 1);
    EXPECT_EQ(frame.Run().notes.size(), 1u);
    EXPECT_EQ(frame.Work(kRowSamplingPeriod), 400);
    EXPECT_EQ(frame.Work(params::kRowControlSample), 0);
}

TEST(AnalogChecks, BindsTheEightCodes) {
    bench::ModeSteps steps;
    AnalogChecks checks;
    checks.BindTo(steps);
    for (int32_t code = 137; code <= 144; ++code) EXPECT_NE(steps.Find(code), nullptr) << code;
    EXPECT_EQ(steps.Find(136), nullptr);
    EXPECT_EQ(steps.Find(145), nullptr);
}

}  // namespace
}  // namespace veska::analog
