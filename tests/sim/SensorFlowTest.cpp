// Flow tests: the real host side (TMORLAInterface) against the simulated sensor over the
// virtual bench's real pseudo-terminal (COM4 in the port directory) and its USB bus.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <thread>
#include <vector>

#include "link/MorlaInterface.h"
#include "link/PortSelection.h"
#include "link/Status.h"
#include "platform/Clock.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"

namespace veska::sim {
namespace {

using link::kStatusOk;
using link::TMORLAInterface;

constexpr const char* kCom4 = "\\\\.\\COM4";

BenchOptions QuietBench() {
    BenchOptions o;
    o.sensor.noise = 0.0;
    return o;
}

class SensorFlowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(bench_.Start(&error)) << error;
        platform::SetPortDirectory(bench_.PortDirectory());
        bench_.GetWorld().SetTargetMm(105);
    }

    /// A host on COM4, opened as the connect sequence does.
    void Open(TMORLAInterface& host) { ASSERT_EQ(host.OpenPort(0, kCom4, 115200), kStatusOk); }

    VirtualBench bench_{QuietBench()};
};

TEST_F(SensorFlowTest, IdentifyThroughThePortDirectory) {
    TMORLAInterface host;
    Open(host);
    link::DeviceInfo info;
    ASSERT_EQ(host.Identify(1, info), kStatusOk);
    EXPECT_EQ(info.deviceType, 20);
    EXPECT_EQ(info.releaseNumber, kFirmwareRelease);
    EXPECT_EQ(info.serialNumber, 1234);
    EXPECT_EQ(info.baseDistance, 80);
    EXPECT_EQ(info.measuringRange, 50);
    EXPECT_EQ(host.PacketCounter(), 0);
    EXPECT_EQ(bench_.Sensor().Counters().requests[1], 1u);
}

TEST_F(SensorFlowTest, WriteThenReadParameters) {
    platform::FakeClock clock;
    TMORLAInterface host(clock);
    Open(host);
    const uint8_t period[2] = {0x34, 0x12};
    ASSERT_EQ(host.WriteParam(1, 0x08, 2, period), kStatusOk);
    // The host's WriteParam has no reply to wait for: see the bytes land.
    for (int i = 0; i < 200 && bench_.Sensor().Counters().paramWrites[0x08] == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(bench_.Sensor().Param16(0x08), 0x1234);
    const std::vector<ReceivedRequest> log = bench_.Sensor().RecentRequests();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].data[0], 0x09) << "high address first";
    EXPECT_EQ(log[1].data[0], 0x08);

    uint8_t back[4] = {};
    ASSERT_EQ(host.ReadParam(1, 0x08, 4, back), kStatusOk);
    EXPECT_EQ(back[0], 0x34);
    EXPECT_EQ(back[1], 0x12);
    EXPECT_EQ(back[2] | back[3] << 8, 1000);
    EXPECT_EQ(host.PacketCounter(), 3);
}

TEST_F(SensorFlowTest, GetResultConvertsToTheTargetWithinAFewPercent) {
    TMORLAInterface host;
    Open(host);
    for (double mm : {82.0, 105.0, 128.0}) {
        bench_.GetWorld().SetTargetMm(mm);
        uint16_t raw = 0;
        ASSERT_EQ(host.GetResult(1, raw), kStatusOk);
        EXPECT_NEAR(raw * 50.0 / 50000.0, mm - 80.0, 1.5) << mm;
    }
}

TEST_F(SensorFlowTest, StoreParamsEchoAndFlash) {
    platform::FakeClock clock;
    TMORLAInterface host(clock);
    Open(host);
    const uint8_t averaging = 16;
    ASSERT_EQ(host.WriteParam(1, 0x06, 1, &averaging), kStatusOk);
    ASSERT_EQ(host.StoreParams(1, link::kStoreFlash), kStatusOk);
    EXPECT_EQ(bench_.Sensor().FlashSet()[0x06], 16);
    EXPECT_EQ(clock.sleeps.back(), 1000u);
    ASSERT_EQ(host.StoreParams(1, link::kStoreDefault), kStatusOk);
    uint8_t v = 0;
    ASSERT_EQ(host.ReadParam(1, 0x06, 1, &v), kStatusOk);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(host.StoreParams(1, 0x12), link::kStatusWriteFailed) << "no echo of an unknown code";
}

TEST_F(SensorFlowTest, WriteTableBlockZeroWaitsOnTheHostClock) {
    // The erase takes 2 s / 20 of world time: within the host's read time-out, so a host on a
    // clock that does not really wait still gets its answer.
    bench_.GetWorld().SetTimeScale(20.0);
    platform::FakeClock clock;
    TMORLAInterface host(clock);
    Open(host);
    std::array<uint16_t, 512> values{};
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint16_t>(1000 + i);
    ASSERT_EQ(host.WriteTable(1, 0, values.data()), kStatusOk);
    EXPECT_EQ(clock.sleeps.back(), 8000u);
    ASSERT_EQ(host.WriteTable(1, 1, values.data()), kStatusOk);
    EXPECT_EQ(clock.sleeps.back(), 1u);
    EXPECT_EQ(bench_.Sensor().TableEntry(0), 1000);
    EXPECT_EQ(bench_.Sensor().TableEntry(511), 1511);
    EXPECT_EQ(bench_.Sensor().TableEntry(512 + 7), 1007);
    EXPECT_EQ(bench_.Sensor().Counters().tableBlocks, 2u);
}

TEST_F(SensorFlowTest, AHostThatDoesNotWaitForTheTableEraseTimesOut) {
    platform::FakeClock clock;  // the 8 s after block 0 pass at once
    TMORLAInterface host(clock);
    Open(host);
    std::array<uint16_t, 512> values{};
    EXPECT_EQ(host.WriteTable(1, 0, values.data()), link::kStatusShortRead);
    EXPECT_EQ(bench_.Sensor().Counters().tableErases, 1u);
}

TEST_F(SensorFlowTest, ReadVideoProfileHasThePeakAtTheSpot) {
    TMORLAInterface host;
    Open(host);
    std::array<uint8_t, 4096> video{};
    ASSERT_EQ(host.ReadVideo(1, 0, video.data()), kStatusOk);
    size_t peak = 0;
    for (size_t i = 0; i < 1024; ++i)
        if ((video[2 * i] | video[2 * i + 1] << 8) > (video[2 * peak] | video[2 * peak + 1] << 8))
            peak = i;
    EXPECT_NEAR(double(peak), 616, 2) << "the spot of a target in mid-range";
    EXPECT_EQ(bench_.Sensor().Counters().requests[15], 2u);

    ASSERT_EQ(host.ReadVideo(1, 300, video.data()), kStatusOk);
    const std::vector<ReceivedRequest> log = bench_.Sensor().RecentRequests();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[2].data.empty()) << "the first request arms";
    EXPECT_EQ(log[3].data, (std::vector<uint8_t>{0x58, 0x02})) << "2n = 600, low byte first";
    EXPECT_EQ(video[4095], 0) << "beyond every reply the area is untouched";
}

TEST_F(SensorFlowTest, StreamStartsAndStops) {
    TMORLAInterface host;
    Open(host);
    ASSERT_EQ(host.StartStream(1), kStatusOk);
    uint8_t lastCounter = 0;
    for (int i = 0; i < 200; ++i) {
        uint16_t raw = 0;
        ASSERT_EQ(host.ReadStreamSample(raw), kStatusOk) << i;
        EXPECT_NEAR(raw, 26500, 1);  // mid-range, no noise: 50000 x 0.53
        if (i > 0) {
            EXPECT_EQ(host.PacketCounter(), (lastCounter + 1) & 7);
        }
        lastCounter = host.PacketCounter();
    }
    ASSERT_EQ(host.StopStream(1), kStatusOk);
    ASSERT_EQ(host.StopStream(1), kStatusOk);
    // Samples under way while the stops went out are dropped by the purge before the next
    // write; the program waits 100 ms here, the test a little.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(bench_.Sensor().Streaming(), StreamKind::kNone);
    const uint64_t sent = bench_.Sensor().Counters().samplesSent;
    EXPECT_GE(sent, 200u);
    link::DeviceInfo info;
    EXPECT_EQ(host.Identify(1, info), kStatusOk);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(bench_.Sensor().Counters().samplesSent, sent) << "no samples after the stop";
}

TEST_F(SensorFlowTest, StatusStreamDeliversThreeByteSamples) {
    TMORLAInterface host;
    Open(host);
    bench_.GetWorld().SetTargetMm(125);
    ASSERT_EQ(host.StartStatusStream(1), kStatusOk);
    for (int i = 0; i < 20; ++i) {
        uint16_t raw = 0;
        uint8_t status = 0;
        ASSERT_EQ(host.ReadStatusStreamSample(raw, status), kStatusOk);
        EXPECT_EQ(status & 0x02, 0x02) << "limit output high beyond mid-window";
    }
    EXPECT_EQ(host.StopStream(1), kStatusOk);
    EXPECT_EQ(host.StopStream(1), kStatusOk);
}

TEST_F(SensorFlowTest, FaultsReachTheHostAsStatuses) {
    TMORLAInterface host;
    Open(host);
    uint16_t raw = 0;
    bench_.Sensor().CorruptNextReply(2);
    EXPECT_EQ(host.GetResult(1, raw), link::kStatusFraming);
    EXPECT_EQ(host.GetResult(1, raw), kStatusOk) << "the next exchange is clean";

    bench_.SensorPty().Vanish();
    EXPECT_NE(host.GetResult(1, raw), kStatusOk) << "an unplugged sensor";
}

TEST_F(SensorFlowTest, UsbConverterModeOpensByDescription) {
    TMORLAInterface host;
    const link::PortChoice choice = link::MapSensorPort("\\\\.\\USB");
    ASSERT_EQ(choice.portMode, 1);
    ASSERT_EQ(host.OpenPort(choice.portMode, choice.deviceName, 115200), kStatusOk);
    link::DeviceInfo info;
    ASSERT_EQ(host.Identify(1, info), kStatusOk);
    EXPECT_EQ(info.serialNumber, 1234);
    uint16_t raw = 0;
    EXPECT_EQ(host.GetResult(1, raw), kStatusOk);
    EXPECT_EQ(bench_.UsbSensor().Counters().requests[6], 1u);
    EXPECT_EQ(bench_.Sensor().Counters().requests[6], 0u) << "not the COM4 sensor";

    ASSERT_EQ(host.StartStream(1), kStatusOk);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(host.ReadStreamSample(raw), kStatusOk);
    EXPECT_EQ(host.StopStream(1), kStatusOk);
    EXPECT_EQ(host.StopStream(1), kStatusOk);
    // The stops leave the converter at the line rate; the program waits before it asks
    // again, or a sample under way meets the next request's purge.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(host.Identify(1, info), kStatusOk);
    (void)host.ClosePort();
    EXPECT_EQ(bench_.Usb().Counters().w32Close, 1u);
}

TEST_F(SensorFlowTest, AdapterLineGatesItsSensor) {
    platform::FakeClock clock;
    TMORLAInterface host(clock);
    const link::PortChoice choice = link::MapSensorPort("\\\\.\\USB_PELRIN");
    ASSERT_EQ(host.OpenPort(choice.portMode, choice.deviceName, 115200), kStatusOk);
    const uint8_t one = 1;
    EXPECT_EQ(host.WriteParam(1, 0x06, 1, &one), kStatusOk) << "the adapter takes the bytes";
    EXPECT_EQ(bench_.AdapterSensor().Counters().bytesReceived, 0u) << "the sensor is unpowered";
    // While the link holds the adapter the line cannot be switched.
    link::SwitchAdapterLine(&bench_.Usb(), clock, 1);
    EXPECT_EQ(bench_.Adapter().Cbus3Level(), 0);
    (void)host.ClosePort();

    link::SwitchAdapterLine(&bench_.Usb(), clock, 1);
    EXPECT_EQ(bench_.Adapter().Cbus3Level(), 1);
    ASSERT_EQ(host.OpenPort(choice.portMode, choice.deviceName, 115200), kStatusOk);
    link::DeviceInfo info;
    EXPECT_EQ(host.Identify(1, info), kStatusOk);
    (void)host.ClosePort();
    link::SwitchAdapterLine(&bench_.Usb(), clock, 0);
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x88, 0x20}, {0x80, 0x20}};
    EXPECT_EQ(bench_.Adapter().BitModeHistory(), expected);
}

}  // namespace
}  // namespace veska::sim
