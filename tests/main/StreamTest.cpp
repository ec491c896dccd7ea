// Stream acquisition: the start and stop sequences as the sensor sees them, the thread's
// append rule and conversions, the display hand-over and the stop of a blocked read.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "acquire/CsvExport.h"
#include "lang/NumberFormat.h"
#include "link/MorlaInterface.h"
#include "link/Status.h"
#include "main/MeasurementCycle.h"
#include "main/StreamController.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"
#include "tests/support/PtyPeer.h"

namespace veska::testing {
namespace {

using acquire::SampleConversion;
using acquire::SampleStream;
using main::Control;
using main::PointColour;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kLanModeAddress = 0x88;
constexpr uint8_t kModeOfRunAddress = 0x07;

bool WaitForSamples(SimSensorRig& rig, uint64_t n, int timeoutMs = 5000) {
    return SimSensorRig::WaitFor([&] { return rig.stream.Stream().Counters().received >= n; },
                                 timeoutMs);
}

// --- The conversion table -----------------------------------------------------------------

struct ConversionRow {
    const char* name;
    int32_t mode;
    uint16_t raw;
    uint8_t statusByte;
    bool setsCurrent;
    float current;
    bool stores;
    float stored;
    bool shows;
    double labelValue;
    const char* text;
};

// raw 12500 with range 50 and divisor 50000 is 12.5 mm; the zero offset is 2.5 and the
// sample lands at index 7.
const ConversionRow kRows[] = {
    {"Line", 0, 12500, 0, true, 12.5f, true, 10.0f, true, 10.0, "10.000 mm"},
    {"StreamFrqCheck", 144, 12500, 0, true, 12.5f, true, 10.0f, true, 10.0, "10.000 mm"},
    {"SynchroPoverka", 132, 12500, 0, true, 12.5f, true, 12.5f, true, 12.5, "12.500 mm"},
    {"Scan", 147, 12500, 0, true, 12.5f, true, 12.5f, true, 12.5, "12.500 mm"},
    {"Nonline", 1, 1234, 0, true, 1234.0f, true, 1234.0f, true, 1234, "1234 px"},
    {"SynchroCalibration", 130, 1234, 0, true, 1234.0f, true, 1234.0f, true, 1234, "1234 px"},
    {"Temperature", 2, 281, 0, true, 281.0f, true, 281.0f, true, 281, "281 cl"},
    {"InCheck", 142, 1234, 0, false, 0, false, 0, true, 7, "7"},
    {"AlCheckHigh", 143, 1234, 0x02, false, 0, false, 0, true, 1, "Hi"},
    {"AlCheckLow", 143, 1234, 0xFD, false, 0, false, 0, true, 0, "Lo"},
    {"Pulse", 128, 1234, 0, false, 0, false, 0, false, 0, ""},
    {"LaserAdjustment", 148, 1234, 0, false, 0, false, 0, false, 0, ""},
};

class StreamConversion : public ::testing::TestWithParam<ConversionRow> {};

TEST_P(StreamConversion, FollowsTheModeTable) {
    const ConversionRow& r = GetParam();
    const bench::ModeRow* row = bench::FindMode(r.mode);
    ASSERT_NE(row, nullptr);
    const SampleConversion c =
        acquire::ConvertSample(row->stream, r.raw, r.statusByte, 50, 50000, 2.5f, 7);
    EXPECT_EQ(c.setsCurrent, r.setsCurrent);
    if (r.setsCurrent) EXPECT_FLOAT_EQ(c.current, r.current);
    EXPECT_EQ(c.stores, r.stores);
    if (r.stores) EXPECT_FLOAT_EQ(c.stored, r.stored);
    EXPECT_EQ(c.shows, r.shows);
    if (r.shows) EXPECT_DOUBLE_EQ(c.labelValue, r.labelValue);
    EXPECT_EQ(row->streamLabel.Text(c.labelValue), r.text);
    EXPECT_EQ(row->statusStream, r.mode == bench::kModeAlCheck);
}

INSTANTIATE_TEST_SUITE_P(Modes, StreamConversion, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(StreamConversionPrecision, MillimetresAreComputedBeforeRoundingToSingle) {
    using acquire::StreamConversion;
    // 65535 x 100 / 37500 = 174.76 exactly; in single precision only once, at the end.
    const SampleConversion c =
        acquire::ConvertSample(StreamConversion::RelativeMm, 65535, 0, 100, 37500, 0.0f, 0);
    EXPECT_EQ(c.current, 174.76f);
    // A divisor of 0 (no grid built yet) must not divide by zero.
    const SampleConversion z =
        acquire::ConvertSample(StreamConversion::RelativeMm, 100, 0, 50, 0, 0.0f, 0);
    EXPECT_TRUE(std::isfinite(z.current));
}

TEST(StreamAxis, ResetsWhileNarrowerThanTheIndexThenSlides) {
    struct Step {
        int32_t index;
        int32_t min, max;
    };
    int32_t minimum = 0, maximum = 25;
    const Step steps[] = {{-1, 0, 25}, {0, 0, 25},  {24, 0, 25}, {25, 1, 26},
                          {26, 2, 27}, {26, 3, 28},  // a failed read still moves the window
                          {0, 0, 25}};               // after the wrap
    for (const Step& s : steps) {
        SampleStream::MoveAxis(minimum, maximum, s.index);
        EXPECT_EQ(minimum, s.min) << "index " << s.index;
        EXPECT_EQ(maximum, s.max) << "index " << s.index;
    }
}

// --- Start and stop as the sensor sees them -----------------------------------------------

TEST(StreamFlow, StartAndStopSendTheirRequestsInOrder) {
    SimSensorRig rig(RigLine::kCounted, 10);
    ASSERT_TRUE(rig.started);
    rig.state.session.values.workValues[26] = 5;
    rig.device.SetParam(kLanModeAddress, 5);
    rig.device.SetParam(kModeOfRunAddress, 2);

    rig.stream.ButtonStreamClick();
    EXPECT_TRUE(rig.stream.Running());
    EXPECT_EQ(rig.view.Text(Control::ButtonStream), rig.state.texts.Button(6));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonConnect));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonZero));
    EXPECT_FALSE(rig.view.Enabled(Control::ValueListEditorParam)) << "one thread on the link";
    EXPECT_EQ(rig.view.intervals[main::Timer::TimerAnswer], 30000);
    EXPECT_EQ(rig.state.session.values.savedValues[26], 5);
    ASSERT_TRUE(WaitForSamples(rig, 10));
    EXPECT_EQ(rig.device.Param(kLanModeAddress), 0);
    EXPECT_EQ(rig.device.Param(kModeOfRunAddress), 0);
    EXPECT_EQ(rig.RequestCommands(), (std::vector<int>{3, 3, 7}));

    rig.stream.ButtonStreamClick();
    EXPECT_FALSE(rig.stream.Running());
    ASSERT_TRUE(rig.WaitParam(kLanModeAddress, 5));
    ASSERT_TRUE(SimSensorRig::WaitFor([&] {
        const auto r = rig.device.RecentRequests();
        return r.back().command == 3 && r.back().data.at(0) == kModeOfRunAddress;
    }));
    // Stop flag, two StopStream, row 26 restored, row 39 back to 0.
    EXPECT_EQ(rig.RequestCommands(), (std::vector<int>{3, 3, 7, 8, 8, 3, 3}));
    const auto requests = rig.device.RecentRequests();
    EXPECT_EQ(requests[5].data, (std::vector<uint8_t>{kLanModeAddress, 5}));
    EXPECT_EQ(requests[6].data, (std::vector<uint8_t>{kModeOfRunAddress, 0}));
    EXPECT_EQ(rig.device.Param(kLanModeAddress), 5);
    EXPECT_EQ(rig.view.Text(Control::ButtonStream), rig.state.texts.Button(2));
    EXPECT_TRUE(rig.view.Enabled(Control::ButtonConnect));
    EXPECT_TRUE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_TRUE(rig.view.Enabled(Control::ButtonZero));
    EXPECT_TRUE(rig.view.Enabled(Control::ValueListEditorParam));
    // Three 100 ms waits of the host at the start, three at the stop.
    EXPECT_EQ(std::count(rig.clock.sleeps.begin(), rig.clock.sleeps.end(), 100u), 6);
}

TEST(StreamFlow, NonlineStreamSetsModeOfRunOne) {
    SimSensorRig rig(RigLine::kCounted, 3);
    ASSERT_TRUE(rig.started);
    rig.state.benchModeCode = 1;
    rig.stream.Start();
    EXPECT_TRUE(rig.WaitParam(kModeOfRunAddress, 1));
    ASSERT_TRUE(WaitForSamples(rig, 3));
    rig.stream.Stop();
    EXPECT_TRUE(rig.WaitParam(kModeOfRunAddress, 0));
    const float raw = rig.state.samples.At(2);
    EXPECT_EQ(raw, std::floor(raw));
    EXPECT_EQ(rig.view.Text(Control::LabelRast), lang::FormatFixed(raw, 0) + " px");
}

TEST(StreamFlow, TenSamplesPlotNinePointsInOnePass) {
    SimSensorRig rig(RigLine::kCounted, 10);
    ASSERT_TRUE(rig.started);
    rig.state.zeroOffset = 1.0f;
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 10));
    EXPECT_TRUE(rig.view.points.empty());  // nothing plotted while streaming
    const double mm = rig.ExpectedMm();
    rig.stream.Stop();

    EXPECT_EQ(rig.state.samples.Index(), 9);  // the first sample landed at 0
    EXPECT_FALSE(rig.state.samples.Wrapped());
    EXPECT_EQ(rig.view.addPointsCalls, 1);
    ASSERT_EQ(rig.view.points.size(), 9u);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(rig.view.points[i].label, std::to_string(i));
        EXPECT_EQ(rig.view.points[i].colour, PointColour::Red);
        EXPECT_FLOAT_EQ(static_cast<float>(rig.view.points[i].y), static_cast<float>(mm) - 1.0f);
    }
    EXPECT_EQ(rig.state.samples.cursor, 9);
    EXPECT_FLOAT_EQ(rig.state.currentValue.load(), static_cast<float>(mm));
    // The newest value reached the label on the interface thread.
    EXPECT_EQ(rig.view.Text(Control::LabelRast),
              lang::FormatFixed(static_cast<double>(static_cast<float>(mm)) - 1.0, 3) + " mm");
    EXPECT_EQ(rig.stream.Stream().Counters().received, 10u);
    EXPECT_EQ(rig.stream.Stream().Counters().failures, 0u);
    EXPECT_EQ(rig.view.foreignThreadCalls.load(), 0);
}

TEST(StreamFlow, OneSamplePlotsNothing) {
    SimSensorRig rig(RigLine::kCounted, 1);
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 1));
    rig.stream.Stop();
    EXPECT_EQ(rig.state.samples.Index(), 0);
    EXPECT_TRUE(rig.view.points.empty());
}

TEST(StreamFlow, TheSample65537LandsAtZeroAndSetsWrapped) {
    SimSensorRig rig(RigLine::kCounted, 65537);
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 65537, 60000));
    rig.stream.Stop();
    EXPECT_TRUE(rig.state.samples.Wrapped());
    EXPECT_EQ(rig.state.samples.Index(), 0);
    EXPECT_EQ(rig.stream.Stream().Counters().failures, 0u);
    // The chart shows what a file saved now holds: the 65535 samples before the newest, each
    // labelled with its number since the start, and the CSV says so in its header.
    ASSERT_EQ(rig.view.points.size(), 65535u);
    EXPECT_EQ(rig.view.points.front().label, "1");
    EXPECT_EQ(rig.view.points.back().label, "65535");
    acquire::CsvHeader header;
    header.sampleInterval = acquire::StreamSampleInterval(44000);
    const std::string csv = acquire::CsvText(rig.state.samples, header);
    EXPECT_NE(csv.find(",Samples,65535,First sample,1,Last sample,65535,First time [s],0.001000,"
                       "Last time [s],65.535000\r\n"),
              std::string::npos);
    EXPECT_EQ(static_cast<size_t>(std::count(csv.begin(), csv.end(), '\n')), 65535u + 2u);
}

TEST(StreamFlow, DisplayTickShowsTheNewestValueAndSlidesAManualAxis) {
    SimSensorRig rig(RigLine::kCounted, 30);
    ASSERT_TRUE(rig.started);
    rig.state.xAutoScale = false;
    rig.stream.Start();
    ASSERT_EQ(rig.view.bottomRange, (std::pair<double, double>{0, 25}));
    ASSERT_TRUE(WaitForSamples(rig, 30));
    rig.stream.DisplayTick();
    EXPECT_EQ(rig.view.bottomRange, (std::pair<double, double>{5, 30}));
    EXPECT_EQ(rig.view.Text(Control::LabelRast), lang::FormatFixed(rig.ExpectedMm(), 3) + " mm");
    const size_t texts = rig.view.textLog.size();
    const size_t ranges = rig.view.bottomRanges.size();
    rig.stream.DisplayTick();  // nothing new: nothing shown again
    EXPECT_EQ(rig.view.textLog.size(), texts);
    EXPECT_EQ(rig.view.bottomRanges.size(), ranges);
    rig.stream.Stop();
    EXPECT_EQ(rig.view.foreignThreadCalls.load(), 0);
}

TEST(StreamFlow, DisplayTickDrawsTheLiveTraceAndTheStopTheSamplesThemselves) {
    SimSensorRig rig(RigLine::kCounted, 30);
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    // Without language files the axis titles are the texts' numbers, with the unit.
    EXPECT_EQ(rig.view.leftAxisTitle.substr(rig.view.leftAxisTitle.size() - 5), " [mm]");
    EXPECT_FALSE(rig.view.bottomAxisTitle.empty());
    EXPECT_EQ(rig.view.statistics.unit, "mm");
    ASSERT_TRUE(WaitForSamples(rig, 30));
    rig.stream.DisplayTick();
    // Every sample before the newest, as the stop would plot them; none on SeriesOsc yet.
    ASSERT_EQ(rig.view.liveX.size(), 29u);
    EXPECT_EQ(rig.view.liveX.front(), 0.0);
    EXPECT_EQ(rig.view.liveX.back(), 28.0);
    EXPECT_TRUE(rig.view.points.empty());
    EXPECT_TRUE(rig.view.statistics.haveSamples);
    EXPECT_EQ(rig.view.statistics.samples.count, 29);
    EXPECT_FLOAT_EQ(static_cast<float>(rig.view.statistics.samples.mean),
                    static_cast<float>(rig.ExpectedMm()));
    const int traces = rig.view.liveTraces;
    rig.stream.DisplayTick();  // nothing new: the trace is not sent again
    EXPECT_EQ(rig.view.liveTraces, traces);
    rig.stream.ClearLive();  // "Clear": the trace starts again with the samples to come
    rig.stream.DisplayTick();
    EXPECT_EQ(rig.view.liveTraces, traces);

    rig.stream.Stop();
    EXPECT_TRUE(rig.view.liveX.empty()) << "the live trace gives way to the plotted samples";
    EXPECT_EQ(rig.view.points.size(), 29u);
    EXPECT_FALSE(rig.view.statistics.haveSamples);
    EXPECT_EQ(rig.view.foreignThreadCalls.load(), 0);
}

TEST(StreamStop, TheStopShowsTheLastAxisWindowAsWellAsTheLastLabel) {
    SimSensorRig rig(RigLine::kCounted, 30);
    ASSERT_TRUE(rig.started);
    rig.state.xAutoScale = false;
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 30));
    rig.stream.Stop();  // no display tick came in between
    EXPECT_EQ(rig.view.bottomRange, (std::pair<double, double>{5, 30}));
    EXPECT_EQ(rig.view.Text(Control::LabelRast), lang::FormatFixed(rig.ExpectedMm(), 3) + " mm");
}

TEST(StreamFlow, AutomaticAxisIsNeverMoved) {
    SimSensorRig rig(RigLine::kCounted, 30);
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 30));
    rig.stream.DisplayTick();
    rig.stream.Stop();
    EXPECT_TRUE(rig.view.bottomRanges.empty());
}

TEST(StreamFlow, FramingErrorsAreCountedAndTheStreamGoesOn) {
    SimSensorRig rig(RigLine::kCounted, 6);
    ASSERT_TRUE(rig.started);
    rig.device.CorruptNextReply(1);  // the first sample
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 5));
    ASSERT_TRUE(SimSensorRig::WaitFor([&] { return rig.stream.Stream().Counters().framing == 1; }));
    rig.stream.Stop();
    EXPECT_EQ(rig.stream.Stream().Counters().received, 5u);
    EXPECT_EQ(rig.state.samples.Index(), 4);
}

TEST(StreamFlow, AButtonClickWhileTheWindowAnimatesDoesNothing) {
    SimSensorRig rig(RigLine::kCounted, 3);
    ASSERT_TRUE(rig.started);
    rig.window.Resize(true);
    rig.stream.ButtonStreamClick();
    EXPECT_FALSE(rig.stream.Running());
    EXPECT_TRUE(rig.device.RecentRequests().empty());
    rig.window.AnimationDone(rig.view.model.sizeRequest);
    rig.stream.ButtonStreamClick();
    ASSERT_TRUE(rig.stream.Running());
    rig.window.Resize(false);
    rig.stream.ButtonStreamClick();  // the test also guards the stop
    EXPECT_TRUE(rig.stream.Running());
    rig.window.AnimationDone(rig.view.model.sizeRequest);
    rig.stream.ButtonStreamClick();
    EXPECT_FALSE(rig.stream.Running());
}

// --- Stopping a thread that is blocked or busy --------------------------------------------

TEST(StreamStop, EndsAReadInProgressWellBeforeItsTimeOut) {
    SimSensorRig rig(RigLine::kCounted, 0);  // the sensor sends no sample at all
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the thread is in its read
    const auto begin = Clock::now();
    rig.stream.Stop();
    const auto took = Clock::now() - begin;
    EXPECT_LT(took, std::chrono::milliseconds(1500));  // the read would last 2050 ms
    EXPECT_FALSE(rig.stream.Running());
    // The cut read is neither a sample nor a failure; the link works at once afterwards.
    EXPECT_EQ(rig.stream.Stream().Counters().received, 0u);
    EXPECT_EQ(rig.stream.Stream().Counters().failures, 0u);
    link::DeviceInfo info;
    EXPECT_EQ(rig.sensor.Identify(1, info), 0);
    EXPECT_EQ(info.measuringRange, 50);
}

TEST(StreamStop, TeardownSendsStopStreamTwiceWithoutRestoresOrPlot) {
    SimSensorRig rig(RigLine::kCounted, 5);
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 5));
    rig.stream.StopForTeardown();
    EXPECT_FALSE(rig.stream.Running());
    ASSERT_TRUE(SimSensorRig::WaitFor([&] { return rig.RequestCommands().size() == 5; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // nothing more comes
    EXPECT_EQ(rig.RequestCommands(), (std::vector<int>{3, 3, 7, 8, 8}));
    EXPECT_TRUE(rig.view.points.empty());
}

TEST(StreamStop, AThreadOnAClosedPortNeitherSpinsNorHangs) {
    SimSensorRig rig(RigLine::kCounted, 5);
    ASSERT_TRUE(rig.started);
    (void)rig.sensor.ClosePort();
    rig.stream.Start();
    EXPECT_EQ(rig.state.session.conn.linkStatus.load(), link::kStatusNotOpen);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_LT(rig.stream.Stream().Counters().failures, 30u);  // paced retries, no busy loop
    const auto begin = Clock::now();
    rig.stream.Stop();
    // Far below a sample read's 2050 ms time-out, with room for a loaded machine.
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(1500));
    EXPECT_EQ(rig.state.session.conn.answerStatus.load(), link::kStatusNotOpen);
}

TEST(StreamStop, AGapIsCountedWhenTheSensorFallsSilent) {
    SimSensorRig rig(RigLine::kCounted, 3);
    ASSERT_TRUE(rig.started);
    rig.stream.Start();
    ASSERT_TRUE(WaitForSamples(rig, 3));
    // Three samples, then the 2050 ms read time-out of the next one.
    ASSERT_TRUE(
        SimSensorRig::WaitFor([&] { return rig.stream.Stream().Counters().gaps == 1; }, 4000));
    EXPECT_EQ(rig.state.session.conn.answerStatus.load(), link::kStatusShortRead);
    rig.stream.Stop();
    EXPECT_EQ(rig.stream.Stream().Counters().failures, 1u);
}

TEST(StreamStop, StartAndStopAThousandTimesWhileSamplesPourIn) {
    SimSensorRig rig(RigLine::kUnpaced);
    ASSERT_TRUE(rig.started);
    rig.state.xAutoScale = false;
    constexpr uint32_t kCycles = 1000;
    uint64_t samples = 0;
    for (uint32_t i = 0; i < kCycles; ++i) {
        rig.stream.ButtonStreamClick();
        ASSERT_TRUE(rig.stream.Running());
        // Stop while the sensor streams: once it has seen this start.
        ASSERT_TRUE(SimSensorRig::WaitFor(
            [&] { return rig.device.Counters().requests[link::kCmdStartStream] == i + 1; }));
        rig.stream.DisplayTick();
        rig.stream.ButtonStreamClick();
        ASSERT_FALSE(rig.stream.Running());
        samples += rig.stream.Stream().Counters().received;
    }
    EXPECT_GT(samples, 0u);
    ASSERT_TRUE(SimSensorRig::WaitFor(
        [&] { return rig.device.Counters().paramWrites[kModeOfRunAddress] == 2 * kCycles; }));
    const auto counters = rig.device.Counters();
    EXPECT_EQ(counters.requests[link::kCmdStopStream], 2 * kCycles);
    EXPECT_EQ(counters.paramWrites[kLanModeAddress], 2 * kCycles);
    EXPECT_EQ(rig.view.foreignThreadCalls.load(), 0);
}

// --- Bench entry points: the thread alone, status samples ---------------------------------

TEST(StreamBench, StatusSamplesShowTheLevelAndStoreNothing) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    platform::FakeClock clock;
    main::ProgramState state(clock);
    FakeMainView view;
    main::WindowState window(view, state.texts, false);
    main::StreamController controller(state, view, window, clock);
    acquire::SampleStream& stream = controller.Stream();
    link::TMORLAInterface& sensor = state.session.sensor;
    ASSERT_EQ(sensor.OpenPort(0, peer.SlavePath(), 115200), 0);

    state.samples.Reset();
    state.measureMode = bench::kModeAlCheck;
    stream.StartThread(controller.SetupOf(bench::kModeAlCheck));
    const auto sample = [](uint8_t statusByte, uint8_t counter) {
        std::vector<uint8_t> line;
        for (uint8_t b : {uint8_t{0x34}, uint8_t{0x12}, statusByte}) {
            line.push_back(static_cast<uint8_t>(0x80 | counter << 4 | (b & 0x0F)));
            line.push_back(static_cast<uint8_t>(0x80 | counter << 4 | b >> 4));
        }
        return line;
    };
    peer.Send(sample(0x02, 0));
    ASSERT_TRUE(SimSensorRig::WaitFor([&] { return stream.Counters().received == 1; }));
    controller.DisplayTick();
    EXPECT_EQ(view.Text(Control::LabelRast), "Hi");
    peer.Send(sample(0x01, 1));
    ASSERT_TRUE(SimSensorRig::WaitFor([&] { return stream.Counters().received == 2; }));
    controller.DisplayTick();
    EXPECT_EQ(view.Text(Control::LabelRast), "Lo");
    stream.StopThread();

    EXPECT_EQ(state.samples.Index(), 1);  // the index moves, the values do not
    EXPECT_FLOAT_EQ(state.samples.At(0), 0.0f);
    EXPECT_FLOAT_EQ(state.currentValue.load(), 0.0f);
    EXPECT_TRUE(peer.Received().empty());  // the thread alone sends nothing
    (void)sensor.ClosePort();
}

}  // namespace
}  // namespace veska::testing
