// The sensor's line end: stream pacing on a steady schedule, reply delay, backlog, purge.
// Time points are passed in, so nothing here waits.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <vector>

#include "sim/SensorLine.h"
#include "tests/sim/SimBytes.h"

namespace veska::sim {
namespace {

using namespace std::chrono_literals;
using test::Decode;
using test::Request;
using TimePoint = LinePeer::TimePoint;

class SensorLineTest : public ::testing::Test {
  protected:
    SensorLineTest() : world_(80, 50), sensor_(world_) { world_.SetTargetMm(100); }

    void Send(SensorLine& line, uint8_t command, std::vector<uint8_t> data, TimePoint at) {
        line.HostBytes(Request(1, command, data), at);
        line.EndOfBurst(at);
    }

    /// Takes everything available at the time point.
    static std::vector<uint8_t> TakeAll(SensorLine& line, TimePoint at) {
        std::vector<uint8_t> out;
        std::array<uint8_t, 1024> buffer{};
        for (;;) {
            const size_t n = line.Take(buffer.data(), buffer.size(), at);
            if (n == 0) return out;
            out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
        }
    }

    World world_;
    SensorDevice sensor_;
    const TimePoint t0_ = LinePeer::SteadyClock::now();
};

/// A WriteTable request of block b: 512 entries, the block number and the trailer.
std::vector<uint8_t> TableBlock(uint8_t block) {
    std::vector<uint8_t> data(1026, 0x10);
    data[1024] = block;
    data[1025] = 0xAA;
    return data;
}

TEST_F(SensorLineTest, BlockZeroErasesTheTableAtTheWorldsTimeScaleAndIsDeafMeanwhile) {
    for (const double scale : {1.0, 20.0}) {
        World world(80, 50);
        world.SetTimeScale(scale);
        SensorDevice sensor(world);
        SensorLine line(sensor);
        const auto erase = std::chrono::duration_cast<LinePeer::SteadyClock::duration>(
            std::chrono::duration<double>(SensorDevice::kTableEraseSeconds / scale));

        Send(line, 10, TableBlock(0), t0_);
        EXPECT_TRUE(TakeAll(line, t0_ + erase - 1ms).empty()) << scale << ": still erasing";
        EXPECT_EQ(line.NextEvent(t0_), t0_ + erase);
        Send(line, 1, {}, t0_ + erase / 2);  // an Identify while erasing is not heard
        EXPECT_EQ(line.BusyBytes(), 2u);
        EXPECT_EQ(Decode(TakeAll(line, t0_ + erase)), std::vector<uint8_t>{0xAA}) << scale;
        EXPECT_EQ(sensor.Counters().tableErases, 1u);
        EXPECT_EQ(sensor.Counters().requests[1], 0u);

        // Later blocks are written without an erase: the reply follows at once.
        const TimePoint t1 = t0_ + erase + 1ms;
        Send(line, 10, TableBlock(1), t1);
        EXPECT_EQ(Decode(TakeAll(line, t1)), std::vector<uint8_t>{0xAA}) << scale;
        EXPECT_EQ(sensor.Counters().tableBlocks, 2u);
        EXPECT_EQ(sensor.Counters().tableErases, 1u);
    }
}

TEST_F(SensorLineTest, StreamIsPacedAtTheLineRate) {
    struct Case {
        uint8_t baudCode;
        uint8_t startCommand;
        size_t sampleBytes;
        double samplesPerSecond;
    };
    // 11 bits per byte: 921600 / 44 = 20945.45, 115200 / 44 = 2618.18, 115200 / 66 = 1745.45.
    const Case cases[] = {{128, 7, 4, 20945.45}, {48, 7, 4, 2618.18}, {48, 12, 6, 1745.45}};
    for (const Case& c : cases) {
        SensorDevice sensor(world_);
        SensorLine line(sensor);
        sensor.SetParam(0x04, c.baudCode);
        Send(line, c.startCommand, {}, t0_);
        EXPECT_NEAR(line.SampleRate(), c.samplesPerSecond, 0.01);
        TakeAll(line, t0_);  // the schedule starts here
        size_t bytes = 0;
        for (int ms = 1; ms <= 500; ++ms)
            bytes += TakeAll(line, t0_ + std::chrono::milliseconds(ms)).size();
        EXPECT_EQ(bytes % c.sampleBytes, 0u);
        const double samples = static_cast<double>(bytes / c.sampleBytes);
        EXPECT_NEAR(samples, c.samplesPerSecond * 0.5, 1.0) << int{c.baudCode};
    }
}

TEST_F(SensorLineTest, BaudOverrideReplacesTheSensorsRate) {
    SensorLine line(sensor_, LineOptions{9600, false, 65536});
    Send(line, 7, {}, t0_);
    TakeAll(line, t0_);
    EXPECT_EQ(line.Baud(), 9600u);
    const size_t bytes = TakeAll(line, t0_ + 1s).size();
    EXPECT_EQ(bytes / 4, 218u);  // 9600 / 44
}

TEST_F(SensorLineTest, NextEventIsTheNextSampleDue) {
    SensorLine line(sensor_);
    EXPECT_EQ(line.NextEvent(t0_), TimePoint::max()) << "nothing to send without a stream";
    Send(line, 7, {}, t0_);  // the schedule starts with the request
    EXPECT_TRUE(TakeAll(line, t0_).empty());
    const TimePoint next = line.NextEvent(t0_);
    EXPECT_GT(next, t0_);
    EXPECT_LT(next, t0_ + 1ms) << "one sample every 382 us at 115200 bit/s";
    EXPECT_EQ(TakeAll(line, next).size(), 4u);
}

TEST_F(SensorLineTest, StopStreamEndsTheSamples) {
    SensorLine line(sensor_);
    Send(line, 7, {}, t0_);
    TakeAll(line, t0_);
    EXPECT_FALSE(TakeAll(line, t0_ + 10ms).empty());
    Send(line, 8, {0, 0}, t0_ + 10ms);
    EXPECT_TRUE(TakeAll(line, t0_ + 50ms).empty());
    EXPECT_EQ(line.NextEvent(t0_ + 50ms), TimePoint::max());
}

TEST_F(SensorLineTest, RestartedStreamStartsANewSchedule) {
    SensorLine line(sensor_);
    Send(line, 7, {}, t0_);
    TakeAll(line, t0_);
    Send(line, 8, {0, 0}, t0_ + 1ms);
    TakeAll(line, t0_ + 1ms);
    // Ten seconds later a new stream must not send the ten seconds it was stopped.
    Send(line, 7, {}, t0_ + 10s);
    TakeAll(line, t0_ + 10s);
    const size_t samples = TakeAll(line, t0_ + 10s + 100ms).size() / 4;
    EXPECT_NEAR(double(samples), 261.8, 1.0);
}

TEST_F(SensorLineTest, ReplyDelayHoldsTheReplyBack) {
    SensorLine line(sensor_);
    sensor_.SetReplyDelayMs(30);
    Send(line, 1, {}, t0_);
    EXPECT_TRUE(TakeAll(line, t0_ + 29ms).empty());
    EXPECT_EQ(line.NextEvent(t0_), t0_ + 30ms);
    EXPECT_EQ(TakeAll(line, t0_ + 30ms).size(), 16u);
}

TEST_F(SensorLineTest, UnreadOutputBeyondTheBacklogLosesSamples) {
    SensorLine line(sensor_, LineOptions{0, false, 400});
    Send(line, 7, {}, t0_);
    TakeAll(line, t0_);
    std::array<uint8_t, 8> buffer{};
    line.Take(buffer.data(), 0, t0_ + 1s);  // a host that reads nothing for a second
    EXPECT_EQ(TakeAll(line, t0_ + 1s).size(), 400u);
    EXPECT_NEAR(double(line.SamplesLost()), 2618 - 100, 2.0);
}

TEST_F(SensorLineTest, UnpacedStreamKeepsTheOutputFilled) {
    SensorLine line(sensor_, LineOptions{0, true, 65536});
    Send(line, 7, {}, t0_);
    std::vector<uint8_t> buffer(2 * SensorLine::kUnpacedFill);
    size_t bytes = 0;
    for (int i = 0; i < 10; ++i)
        bytes += line.Take(buffer.data(), buffer.size(), t0_);  // no time passes
    EXPECT_EQ(bytes, 10 * SensorLine::kUnpacedFill);
    EXPECT_EQ(bytes % 4, 0u);
}

TEST_F(SensorLineTest, PurgeDropsWhatWasNotTaken) {
    SensorLine line(sensor_);
    Send(line, 1, {}, t0_);
    line.Purge();
    EXPECT_TRUE(TakeAll(line, t0_).empty());
    Send(line, 2, {0x03}, t0_);
    EXPECT_EQ(Decode(TakeAll(line, t0_)), std::vector<uint8_t>{1});
}

TEST_F(SensorLineTest, RateChangeMidStreamRestartsTheSchedule) {
    SensorLine line(sensor_);
    Send(line, 7, {}, t0_);
    TakeAll(line, t0_);
    TakeAll(line, t0_ + 100ms);
    Send(line, 3, {0x04, 128}, t0_ + 100ms);  // the sensor switches to 921600 bit/s
    TakeAll(line, t0_ + 100ms);
    const size_t samples = TakeAll(line, t0_ + 200ms).size() / 4;
    EXPECT_NEAR(double(samples), 2094.5, 1.5);
}

/// A trigger line whose pulse count the test sets.
struct FakeTrigger final : TriggerSource {
    uint64_t PulsesUntil(TimePoint) const override { return pulses; }
    TimePoint NextPulseAfter(TimePoint) const override { return next; }
    TimePoint ExposureTime(uint64_t, TimePoint now) const override { return now; }
    uint64_t pulses = 0;
    TimePoint next = TimePoint::max();
};

TEST_F(SensorLineTest, TriggeredStreamSendsOneSamplePerPulseAndNothingElse) {
    FakeTrigger trigger;
    trigger.pulses = 7;  // pulses before the stream starts are not samples
    SensorLine line(sensor_, LineOptions{.backlogLimit = 40});
    line.ConnectTrigger(&trigger);
    sensor_.SetParam(0x02, 0x01);  // UART Control of Sample
    Send(line, 7, {}, t0_);
    EXPECT_TRUE(TakeAll(line, t0_).empty());
    EXPECT_TRUE(TakeAll(line, t0_ + 1s).empty());  // no pulses: no samples, whatever the rate

    trigger.pulses = 10;
    trigger.next = t0_ + 2s;
    EXPECT_EQ(TakeAll(line, t0_ + 1s).size(), 3u * 4);
    EXPECT_EQ(line.NextEvent(t0_ + 1s), t0_ + 2s);
    trigger.pulses = 30;  // 20 owed, room for 10 within the backlog of 40 bytes
    line.Take(nullptr, 0, t0_ + 2s);
    EXPECT_EQ(line.SamplesLost(), 10u);
    EXPECT_EQ(TakeAll(line, t0_ + 2s).size(), 10u * 4);
    EXPECT_EQ(sensor_.Counters().samplesSent, 13u);
}

TEST_F(SensorLineTest, TriggeredStreamWithoutASourceSendsNothing) {
    SensorLine line(sensor_);
    sensor_.SetParam(0x02, 0x01);
    Send(line, 7, {}, t0_);
    EXPECT_TRUE(TakeAll(line, t0_ + 5s).empty());
    sensor_.SetParam(0x02, 0x00);  // back to the paced stream
    TakeAll(line, t0_ + 5s);
    EXPECT_FALSE(TakeAll(line, t0_ + 6s).empty());
}

}  // namespace
}  // namespace veska::sim
