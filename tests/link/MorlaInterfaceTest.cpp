#include "link/MorlaInterface.h"

#include <termios.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>
#include <vector>

#include "link/Status.h"
#include "tests/link/FakeD2xx.h"
#include "tests/support/PtyPeer.h"

namespace veska::link {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakeD2xx;
using testing::PtyPeer;

/// The line bytes of a reply carrying data with the given packet counter.
Bytes Reply(const Bytes& data, uint8_t counter = 1) {
    Bytes line;
    const uint8_t head = static_cast<uint8_t>(0x80 | (counter << 4));
    for (uint8_t d : data) {
        line.push_back(head | (d & 0x0F));
        line.push_back(head | (d >> 4));
    }
    return line;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

class SensorLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        ASSERT_EQ(link.OpenPort(0, peer.SlavePath(), 115200), kStatusOk);
    }
    /// Waits briefly for the host's bytes; all of them since the start.
    Bytes Sent(size_t atLeast) {
        peer.WaitReceived(atLeast, 1000);
        return peer.Received();
    }

    PtyPeer peer;
    platform::FakeClock clock;
    TMORLAInterface link{clock};
};

// Port settings.

TEST_F(SensorLinkTest, OpenPortUsesTheSensorLineSettings) {
    const PortSettings& s = link.Port().Settings();
    EXPECT_EQ(s.portMode, 0);
    EXPECT_EQ(s.deviceName, peer.SlavePath());
    EXPECT_EQ(s.baudRate, 115200u);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.usbOpenFlags, 128u);
    EXPECT_EQ(s.rxQueue, 5000u);
    EXPECT_EQ(s.txQueue, 5000u);
    EXPECT_EQ(s.readInterval, 500u);
    EXPECT_EQ(s.readConstant, 50u);
    termios t{};
    ASSERT_TRUE(peer.SlaveTermios(t));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B115200));
    EXPECT_EQ(t.c_cflag & CSTOPB, 0u);
    EXPECT_EQ(link.Port().DeviceControl().Parity, 2);  // even; a pty itself has no parity
    EXPECT_EQ(link.ClosePort(), kStatusOk);
    EXPECT_FALSE(link.IsOpen());
}

TEST(SensorLinkClosed, EveryOperationReportsPortNotOpenWithoutWaiting) {
    platform::FakeClock clock;
    TMORLAInterface link{clock};
    uint8_t bytes[4] = {};
    uint16_t result = 0;
    DeviceInfo info;
    EXPECT_EQ(link.Identify(1, info), kStatusNotOpen);
    EXPECT_EQ(link.WriteParam(1, 10, 2, bytes), kStatusNotOpen);
    EXPECT_EQ(link.StoreParams(1, kStoreFlash), kStatusNotOpen);
    EXPECT_EQ(link.GetResult(1, result), kStatusNotOpen);
    EXPECT_EQ(link.ReadStreamSample(result), kStatusNotOpen);
    EXPECT_EQ(link.LastStatus(), kStatusNotOpen);
    EXPECT_TRUE(clock.sleeps.empty());
}

// Framing over the line.

TEST_F(SensorLinkTest, ReplyIsDecodedAndItsCounterKept) {
    peer.Send({0xA5, 0xA3});
    uint8_t buffer[2];
    EXPECT_EQ(link.ReceiveReply(buffer, 1), kStatusOk);
    EXPECT_EQ(buffer[0], 0x35);
    EXPECT_EQ(link.PacketCounter(), 2);
}

TEST_F(SensorLinkTest, TopBitClearIsFramingErrorAndReadsNothingMore) {
    peer.Send({0xA1, 0xA2, 0xA3, 0x35, 0xA4});
    uint8_t buffer[4];
    EXPECT_EQ(link.ReceiveReply(buffer, 2), kStatusFraming);
    uint8_t next = 0;
    EXPECT_EQ(link.Port().Read({&next, 1, nullptr}), kStatusOk);
    EXPECT_EQ(next, 0xA4);
}

struct MismatchCase {
    const char* name;
    Bytes reply;    // the 4 line bytes of a 2-byte reply
    Bytes dropped;  // the rest of the newer reply
};

class CounterMismatchTest : public SensorLinkTest,
                            public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(CounterMismatchTest, DropsTheRestOfTheNewerReply) {
    const MismatchCase& c = GetParam();
    peer.Send(Concat({c.reply, c.dropped, {0xC7}}));
    uint8_t buffer[4];
    EXPECT_EQ(link.ReceiveReply(buffer, 2), kStatusFraming);
    uint8_t next = 0;
    EXPECT_EQ(link.Port().Read({&next, 1, nullptr}), kStatusOk);
    EXPECT_EQ(next, 0xC7) << "exactly " << c.dropped.size() << " bytes should have been dropped";
}

INSTANTIATE_TEST_SUITE_P(
    Resynchronisation, CounterMismatchTest,
    ::testing::Values(MismatchCase{"TwoOldTwoNew", {0xA1, 0xA2, 0xB3, 0xB4}, {0xB5, 0xB6}},
                      MismatchCase{"OneOldThreeNew", {0xA1, 0xB2, 0xB3, 0xB4}, {0xB5}}),
    [](const auto& p) { return p.param.name; });

TEST_F(SensorLinkTest, OversizedReplyIsRefusedBeforeReading) {
    peer.Send({0xA5, 0xA3});
    std::vector<uint8_t> big(2 * (TMORLAInterface::kMaxReplyBytes + 1));
    EXPECT_EQ(link.ReceiveReply(big.data(), TMORLAInterface::kMaxReplyBytes + 1),
              kStatusBadRequest);
    EXPECT_EQ(link.ReceiveReply(nullptr, 1), kStatusBadRequest);
    uint8_t buffer[2];
    EXPECT_EQ(link.ReceiveReply(buffer, 1), kStatusOk);
    EXPECT_EQ(buffer[0], 0x35);
}

// Commands.

TEST_F(SensorLinkTest, IdentifyDecodesTheIdentity) {
    peer.ReplyAfter(2, Reply({65, 3, 0x39, 0x30, 0xF6, 0xFF, 0x32, 0x00}, 4));
    DeviceInfo info;
    ASSERT_EQ(link.Identify(1, info), kStatusOk);
    EXPECT_EQ(Sent(2), (Bytes{0x01, 0x81}));
    EXPECT_EQ(info.deviceType, 65);
    EXPECT_EQ(info.releaseNumber, 3);
    EXPECT_EQ(info.serialNumber, 12345);
    EXPECT_EQ(info.baseDistance, -10);
    EXPECT_EQ(info.measuringRange, 50);
    EXPECT_EQ(link.Identity().serialNumber, 12345);
    EXPECT_EQ(link.PacketCounter(), 4);
}

TEST_F(SensorLinkTest, FailedIdentifyLeavesTheIdentityAlone) {
    Bytes bad = Reply({65, 3, 0x39, 0x30, 0x2C, 0x01, 0x32, 0x00});
    bad[5] = 0x05;
    peer.ReplyAfter(2, bad);
    DeviceInfo info;
    info.serialNumber = 7;
    EXPECT_EQ(link.Identify(1, info), kStatusFraming);
    EXPECT_EQ(info.serialNumber, 7);
    EXPECT_EQ(link.Identity().serialNumber, 0);
}

TEST_F(SensorLinkTest, WriteParamSendsHighAddressFirstThenWaits5ms) {
    const uint8_t value[2] = {0x34, 0x12};
    EXPECT_EQ(link.WriteParam(1, 10, 2, value), kStatusOk);
    EXPECT_EQ(Sent(12), (Bytes{0x01, 0x83, 0x8B, 0x80, 0x82, 0x81,     // address 11: 0x12
                               0x01, 0x83, 0x8A, 0x80, 0x84, 0x83}));  // address 10: 0x34
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{5}));
    EXPECT_EQ(link.NetAddress(), 1);
}

TEST_F(SensorLinkTest, WriteParamOfNothingOnlyWaits) {
    EXPECT_EQ(link.WriteParam(2, 10, 0, nullptr), kStatusOk);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{5}));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(peer.Received().empty());
}

TEST_F(SensorLinkTest, ReadParamStopsAtTheThirdAddressKeepingTwoBytes) {
    peer.ReplyAfter(4, Reply({0x11}));
    peer.ReplyAfter(4, Reply({0x22}));
    peer.ReplyAfter(4, {0xA1, 0x12});  // bit 7 clear
    uint8_t destination[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(link.ReadParam(1, 20, 4, destination), kStatusFraming);
    EXPECT_EQ(Sent(12), (Bytes{0x01, 0x82, 0x84, 0x81,     // address 20
                               0x01, 0x82, 0x85, 0x81,     // address 21
                               0x01, 0x82, 0x86, 0x81}));  // address 22
    EXPECT_EQ(destination[0], 0x11);
    EXPECT_EQ(destination[1], 0x22);
    EXPECT_EQ(destination[2], 0xEE);
    EXPECT_EQ(destination[3], 0xEE);
}

TEST_F(SensorLinkTest, ReadParamAddressesWrapAt256) {
    peer.ReplyAfter(4, Reply({0x01}));
    peer.ReplyAfter(4, Reply({0x02}));
    uint8_t destination[2] = {};
    EXPECT_EQ(link.ReadParam(1, 0xFF, 2, destination), kStatusOk);
    EXPECT_EQ(Sent(8), (Bytes{0x01, 0x82, 0x8F, 0x8F, 0x01, 0x82, 0x80, 0x80}));
    EXPECT_EQ(destination[0], 0x01);
    EXPECT_EQ(destination[1], 0x02);
}

struct StoreCase {
    const char* name;
    uint8_t code;
    uint8_t echo;
    int32_t status;
};

class StoreParamsTest : public SensorLinkTest, public ::testing::WithParamInterface<StoreCase> {};

TEST_P(StoreParamsTest, EchoDecidesAfterOneSecond) {
    const StoreCase& c = GetParam();
    peer.ReplyAfter(4, Reply({c.echo}));
    EXPECT_EQ(link.StoreParams(1, c.code), c.status);
    const uint8_t lo = static_cast<uint8_t>(0x80 | (c.code & 0x0F));
    const uint8_t hi = static_cast<uint8_t>(0x80 | (c.code >> 4));
    EXPECT_EQ(Sent(4), (Bytes{0x01, 0x84, lo, hi}));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000}));
}

INSTANTIATE_TEST_SUITE_P(Echo, StoreParamsTest,
                         ::testing::Values(StoreCase{"FlashEchoed", 0xAA, 0xAA, kStatusOk},
                                           StoreCase{"FlashWrongEcho", 0xAA, 0x69,
                                                     kStatusWriteFailed},
                                           StoreCase{"DefaultEchoed", 0x69, 0x69, kStatusOk},
                                           StoreCase{"FactoryEchoed", 0x96, 0x96, kStatusOk}),
                         [](const auto& p) { return p.param.name; });

TEST_F(SensorLinkTest, StoreParamsWithABrokenReplyKeepsTheFramingStatus) {
    peer.ReplyAfter(4, {0x0A, 0x8A});  // bit 7 clear in the first byte
    EXPECT_EQ(link.StoreParams(1, kStoreFlash), kStatusFraming);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000}));
}

TEST_F(SensorLinkTest, GetResultIsLowByteFirst) {
    peer.ReplyAfter(2, Reply({0x34, 0x12}));
    uint16_t result = 0;
    EXPECT_EQ(link.GetResult(3, result), kStatusOk);
    EXPECT_EQ(result, 0x1234);
    EXPECT_EQ(Sent(2), (Bytes{0x03, 0x86}));
}

TEST_F(SensorLinkTest, FailedGetResultLeavesTheResultAlone) {
    peer.ReplyAfter(2, {0xA4, 0xB3, 0xA2, 0xA1});
    uint16_t result = 777;
    EXPECT_EQ(link.GetResult(1, result), kStatusFraming);
    EXPECT_EQ(result, 777);
}

struct PlainRequestCase {
    const char* name;
    Status (TMORLAInterface::*operation)(uint8_t);
    Bytes line;
};

class PlainRequestTest : public SensorLinkTest,
                         public ::testing::WithParamInterface<PlainRequestCase> {};

TEST_P(PlainRequestTest, SendsOneRequestAndReadsNothing) {
    const PlainRequestCase& c = GetParam();
    peer.Send({0xA1});  // a stray byte must not disturb a request without reply
    EXPECT_EQ((link.*c.operation)(1), kStatusOk);
    EXPECT_EQ(Sent(c.line.size()), c.line);
    EXPECT_TRUE(clock.sleeps.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Streams, PlainRequestTest,
    ::testing::Values(
        PlainRequestCase{"StartStream", &TMORLAInterface::StartStream, {0x01, 0x87}},
        PlainRequestCase{"StartStatusStream", &TMORLAInterface::StartStatusStream, {0x01, 0x8C}},
        PlainRequestCase{
            "StopStream", &TMORLAInterface::StopStream, {0x01, 0x88, 0x80, 0x80, 0x80, 0x80}}),
    [](const auto& p) { return p.param.name; });

std::vector<uint16_t> TableValues() {
    std::vector<uint16_t> values(512);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<uint16_t>(0x1234 + 0x0101 * i);
    return values;
}

TEST_F(SensorLinkTest, WriteTableBlock0SendsTheFullLayoutAndWaits8s) {
    const std::vector<uint16_t> values = TableValues();
    peer.ReplyAfter(2054, Reply({0xAA}));
    EXPECT_EQ(link.WriteTable(1, 0, values.data()), kStatusOk);

    Bytes expected = {0x01, 0x8A};
    auto nibbles = [&](uint8_t b) {
        expected.push_back(0x80 | (b & 0x0F));
        expected.push_back(0x80 | (b >> 4));
    };
    for (uint16_t v : values) {
        nibbles(static_cast<uint8_t>(v >> 8));  // high byte first
        nibbles(static_cast<uint8_t>(v & 0xFF));
    }
    nibbles(0);     // block number
    nibbles(0xAA);  // end mark
    ASSERT_EQ(expected.size(), 2054u);
    EXPECT_EQ(Sent(2054), expected);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{8000}));
}

TEST_F(SensorLinkTest, WriteTableLaterBlockWaits1msAndNeedsTheMark) {
    const std::vector<uint16_t> values = TableValues();
    peer.ReplyAfter(2054, Reply({0x55}));
    EXPECT_EQ(link.WriteTable(1, 1, values.data()), kStatusWriteFailed);
    const Bytes sent = Sent(2054);
    ASSERT_EQ(sent.size(), 2054u);
    EXPECT_EQ(sent[2050], 0x81);  // block 1
    EXPECT_EQ(sent[2051], 0x80);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1}));
}

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

TEST_F(SensorLinkTest, ReadVideoOf300SendsTwoRequestsAndKeepsTheRestOfTheArea) {
    const Bytes full = Pattern(2048, 1);
    const Bytes part = Pattern(300, 100);
    std::vector<uint8_t> destination(4096, 0xEE);

    peer.ReplyAfter(4, Reply(full, 5));  // n = 0: both requests without data
    ASSERT_EQ(link.ReadVideo(1, 0, destination.data()), kStatusOk);
    EXPECT_EQ(Sent(4), (Bytes{0x01, 0x8F, 0x01, 0x8F}));
    EXPECT_TRUE(std::equal(full.begin(), full.end(), destination.begin()));
    EXPECT_EQ(destination[2048], 0);  // the area beyond the reply starts out cleared

    peer.ReplyAfter(8, Reply(part, 6));
    ASSERT_EQ(link.ReadVideo(1, 300, destination.data()), kStatusOk);
    const Bytes sent = Sent(12);
    EXPECT_EQ(Bytes(sent.begin() + 4, sent.end()),
              (Bytes{0x01, 0x8F, 0x01, 0x8F, 0x88, 0x85, 0x82, 0x80}));
    EXPECT_TRUE(std::equal(part.begin(), part.end(), destination.begin()));
    EXPECT_TRUE(std::equal(full.begin() + 300, full.end(), destination.begin() + 300));
    EXPECT_EQ(peer.PendingReplies(), 0u);
}

TEST_F(SensorLinkTest, ReadVideoTakesAFullProfileOf4096Bytes) {
    const Bytes profile = Pattern(4096, 3);  // 2048 pixels of 16 bits
    std::vector<uint8_t> destination(4096, 0);
    peer.ReplyAfter(8, Reply(profile));
    ASSERT_EQ(link.ReadVideo(1, 4096, destination.data()), kStatusOk);
    const Bytes sent = Sent(8);
    EXPECT_EQ(Bytes(sent.begin() + 4, sent.end()), (Bytes{0x80, 0x80, 0x80, 0x82}));  // 8192
    EXPECT_EQ(destination, profile);
}

TEST_F(SensorLinkTest, ReadVideoBeyondTheAreaIsRefusedBeforeSending) {
    std::vector<uint8_t> destination(4096, 0xEE);
    EXPECT_EQ(link.ReadVideo(1, 4097, destination.data()), kStatusBadRequest);
    EXPECT_EQ(link.ReadVideo(1, 10, nullptr), kStatusBadRequest);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_TRUE(peer.Received().empty());
    EXPECT_EQ(destination[0], 0xEE);
}

TEST_F(SensorLinkTest, StreamSamplesAreReadWithoutRequests) {
    peer.Send(Concat({Reply({0x10, 0x27}, 2), Reply({0x34, 0x12, 0x02}, 3)}));
    uint16_t result = 0;
    uint8_t statusByte = 0;
    EXPECT_EQ(link.ReadStreamSample(result), kStatusOk);
    EXPECT_EQ(result, 10000);
    EXPECT_EQ(link.ReadStatusStreamSample(result, statusByte), kStatusOk);
    EXPECT_EQ(result, 0x1234);
    EXPECT_EQ(statusByte, 0x02);
    EXPECT_TRUE(peer.Received().empty());
}

TEST_F(SensorLinkTest, WakeEndsAWaitingSampleRead) {
    const auto start = std::chrono::steady_clock::now();
    auto reader = std::async(std::launch::async, [&] {
        uint16_t result = 0;
        return link.ReadStreamSample(result);  // would wait 2050 ms
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    link.Wake();
    EXPECT_EQ(reader.get(), kStatusShortRead);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

TEST(SensorLinkTrace, PrintsRequestAndReplyInHex) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ::setenv("VESKA_TRACE", "motor,sensor", 1);
    platform::FakeClock clock;
    TMORLAInterface link{clock};
    ::unsetenv("VESKA_TRACE");
    ASSERT_EQ(link.OpenPort(0, peer.SlavePath(), 115200), kStatusOk);
    peer.ReplyAfter(2, Reply({0x34, 0x12}, 2));
    ::testing::internal::CaptureStderr();
    uint16_t result = 0;
    EXPECT_EQ(link.GetResult(1, result), kStatusOk);
    const std::string trace = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(trace.find("sensor >> 01 86\n"), std::string::npos) << trace;
    EXPECT_NE(trace.find("sensor << A4 A3 A2 A1\n"), std::string::npos) << trace;
}

// Mode 1 through the sensor link: the converter's lines stay low, purge 3 before writes.

TEST(SensorLinkUsb, OpensTheConverterAndExchangesThroughTheBackend) {
    FakeD2xx usb;
    platform::FakeClock clock;
    TMORLAInterface link{clock};
    link.Port().SetUsbBackend(&usb);
    ASSERT_EQ(link.OpenPort(1, "D2XX Recovery PID for XP", 460800), kStatusOk);
    EXPECT_EQ(usb.createFlags, 130u);
    EXPECT_EQ(usb.dcb.fDtrControl, platform::kDtrControlDisable);
    EXPECT_EQ(usb.dcb.fRtsControl, platform::kRtsControlDisable);
    EXPECT_EQ(usb.dcb.BaudRate, 460800u);
    EXPECT_EQ(usb.timeouts.ReadTotalTimeoutConstant, 50u);

    usb.calls.clear();
    const Bytes reply = Reply({0x34, 0x12});
    usb.input.assign(reply.begin(), reply.end());
    uint16_t result = 0;
    EXPECT_EQ(link.GetResult(1, result), kStatusOk);
    EXPECT_EQ(result, 0x1234);
    EXPECT_EQ(usb.output, (Bytes{0x01, 0x86}));
    EXPECT_EQ(usb.calls,
              (std::vector<std::string>{"W32_PurgeComm", "W32_WriteFile", "W32_ReadFile"}));
    EXPECT_EQ(link.ClosePort(), kStatusOk);
    EXPECT_EQ(usb.calls.back(), "W32_CloseHandle");
}

}  // namespace
}  // namespace veska::link
