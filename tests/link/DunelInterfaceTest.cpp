#include "link/DunelInterface.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/Status.h"
#include "tests/support/PtyPeer.h"

namespace veska::link {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::PtyPeer;

Bytes Reply(const Bytes& data, uint8_t counter = 3) {
    Bytes line;
    const uint8_t head = static_cast<uint8_t>(0x80 | (counter << 4));
    for (uint8_t d : data) {
        line.push_back(head | (d & 0x0F));
        line.push_back(head | (d >> 4));
    }
    return line;
}

/// An identity whose range field (bytes 6, 7) holds micrometres.
Bytes IdentityWithRange(uint16_t micrometres) {
    return {0x45,
            3,
            0xF5,
            0x01,
            0,
            0,
            static_cast<uint8_t>(micrometres & 0xFF),
            static_cast<uint8_t>(micrometres >> 8)};
}

class EncoderLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        ASSERT_EQ(encoder.OpenPort(0, peer.SlavePath(), 460800), kStatusOk);
    }
    PtyPeer peer;
    platform::FakeClock clock;
    TDUNELInterface encoder{clock};
};

TEST_F(EncoderLinkTest, OpenPortUsesTheEncoderLineSettings) {
    const PortSettings& s = encoder.Port().Settings();
    EXPECT_EQ(s.baudRate, 460800u);
    EXPECT_EQ(s.parity, 2);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.rxQueue, 2096u);
    EXPECT_EQ(s.txQueue, 2096u);
    EXPECT_EQ(s.readInterval, 10u);
    EXPECT_EQ(s.readConstant, 1000u);
}

struct ResultCase {
    const char* name;
    Bytes data;
    int32_t count;
    float mm;
};

class EncoderResult : public EncoderLinkTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(EncoderResult, IsASignedLittleEndianCountOfTenthMicrometres) {
    const ResultCase& c = GetParam();
    peer.ReplyAfter(2, Reply(c.data));
    EncoderState state;
    state.encoderPresent = true;
    float mm = 99.0f;
    ASSERT_TRUE(ReadEncoderPosition(encoder, state, mm));
    EXPECT_EQ(peer.ReadRequest(2, 1000), (Bytes{0x01, 0x86}));
    EXPECT_FLOAT_EQ(mm, c.mm);
    peer.ReplyAfter(2, Reply(c.data));
    int32_t count = 0;
    ASSERT_EQ(encoder.GetResult(1, count), kStatusOk);
    EXPECT_EQ(count, c.count);
}

INSTANTIATE_TEST_SUITE_P(
    Signs, EncoderResult,
    ::testing::Values(ResultCase{"Plus1mm", {0x10, 0x27, 0x00, 0x00}, 10000, 1.0f},
                      ResultCase{"Minus1mm", {0xF0, 0xD8, 0xFF, 0xFF}, -10000, -1.0f},
                      ResultCase{"Largest", {0xFF, 0xFF, 0xFF, 0x7F}, 2147483647, 214748.3647f},
                      ResultCase{
                          "Smallest", {0x00, 0x00, 0x00, 0x80}, -2147483647 - 1, -214748.3648f}),
    [](const auto& p) { return p.param.name; });

TEST_F(EncoderLinkTest, BitSevenIsNotTested) {
    Bytes reply = Reply({0x10, 0x27, 0x00, 0x00});
    for (uint8_t& b : reply) b &= 0x7F;  // counters still equal
    peer.ReplyAfter(2, reply);
    int32_t count = 0;
    EXPECT_EQ(encoder.GetResult(1, count), kStatusOk);
    EXPECT_EQ(count, 10000);
}

TEST_F(EncoderLinkTest, CounterMismatchFailsAndReadsNothingMore) {
    Bytes reply = Reply({0x10, 0x27, 0x00, 0x00}, 2);
    reply[6] = 0xB0;  // counter 3 in the seventh byte
    reply.push_back(0xB5);
    reply.push_back(0xB6);
    peer.ReplyAfter(2, reply);
    int32_t count = 42;
    EXPECT_EQ(encoder.GetResult(1, count), kStatusFraming);
    EXPECT_EQ(count, 42);
    uint8_t rest[2] = {};
    EXPECT_EQ(encoder.Port().Read({rest, 2, nullptr}), kStatusOk);
    EXPECT_EQ(rest[0], 0xB5);
    EXPECT_EQ(rest[1], 0xB6);
}

TEST_F(EncoderLinkTest, WriteParamGoesHighAddressFirstAndWaitsAfterTheBatch) {
    const uint8_t values[2] = {0xC0, 0x01};
    EXPECT_EQ(encoder.WriteParam(1, 3, 2, values), kStatusOk);
    EXPECT_EQ(peer.ReadRequest(12, 1000),
              (Bytes{0x01, 0x83, 0x84, 0x80, 0x81, 0x80, 0x01, 0x83, 0x83, 0x80, 0x80, 0x8C}));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{5}));
}

/// OpenEncoderPort against a scripted encoder: the rate switch (6 bytes at 115200), then
/// Identify (2 bytes) at the working rate answered with the identity. The 5 ms after the
/// switch are real here: the reopen's purge would drop a switch the peer has not read yet,
/// as it drops bytes a UART has not sent.
class OpenEncoderTest : public ::testing::Test {
  protected:
    bool Open(uint16_t rangeMicrometres, int32_t measuringRange) {
        peer.ReplyAfter(8, Reply(IdentityWithRange(rangeMicrometres)));
        return OpenEncoderPort(encoder, state, peer.SlavePath(), measuringRange);
    }
    PtyPeer peer;
    TDUNELInterface encoder{platform::SystemClock()};
    EncoderState state;
};

TEST_F(OpenEncoderTest, SwitchesTheRateThenIdentifiesAtAddressOne) {
    state.address = 9;  // whatever was there: every request goes to 1
    ASSERT_TRUE(Open(50000, 50));
    EXPECT_EQ(peer.ReadRequest(8, 1000), (Bytes{0x01, 0x83, 0x83, 0x80, 0x80, 0x8C, 0x01, 0x81}));
    EXPECT_EQ(state.address, 1);
    EXPECT_EQ(state.lineRate, 460800u);
    EXPECT_EQ(encoder.Port().Settings().baudRate, 460800u);
    EXPECT_TRUE(encoder.IsOpen());
    EXPECT_EQ(state.encoderRange, 50);
    EXPECT_TRUE(state.encoderPresent);
    EXPECT_EQ(state.lastStatus, kStatusOk);
}

TEST_F(OpenEncoderTest, AnEncoderThatMissedTheSwitchGetsItOnceMore) {
    // Silent after the first switch and identify; the second switch is heard.
    peer.ReplyAfter(16, Reply(IdentityWithRange(50000)));
    ASSERT_TRUE(OpenEncoderPort(encoder, state, peer.SlavePath(), 50));
    const Bytes attempt{0x01, 0x83, 0x83, 0x80, 0x80, 0x8C, 0x01, 0x81};
    EXPECT_EQ(peer.ReadRequest(8, 1000), attempt);
    EXPECT_EQ(peer.ReadRequest(8, 1000), attempt);
    EXPECT_TRUE(state.encoderPresent);

    // One that never answers is absent after the second switch, not later.
    EncoderState silent;
    EXPECT_FALSE(OpenEncoderPort(encoder, silent, peer.SlavePath(), 50));
    EXPECT_EQ(peer.ReadRequest(16, 1000).size(), 16u);
    EXPECT_FALSE(peer.WaitReceived(peer.Received().size() + 1, 100));
    EXPECT_FALSE(silent.encoderPresent);
    EXPECT_EQ(silent.lastStatus, kStatusEncoderCheck);
}

TEST_F(OpenEncoderTest, RangeBelowTheSensorsIsRefusedWithTheCheckStatus) {
    EXPECT_FALSE(Open(50000, 51));
    EXPECT_EQ(state.encoderRange, 50);
    EXPECT_FALSE(state.encoderPresent);
    EXPECT_EQ(state.lastStatus, kStatusEncoderCheck);
    EXPECT_EQ(state.identifyStatus, kStatusOk);
    EXPECT_FALSE(encoder.IsOpen());
}

TEST_F(OpenEncoderTest, AnEncoderThatCannotBeOpenedIsAbsent) {
    state.encoderPresent = true;
    EXPECT_FALSE(OpenEncoderPort(encoder, state, "/nonexistent/tty", 0));
    EXPECT_FALSE(state.encoderPresent);
    EXPECT_EQ(state.lastStatus, kStatusEncoderCheck);
    EXPECT_EQ(state.identifyStatus, kStatusNotOpen);
    float mm = 3.0f;
    EXPECT_FALSE(ReadEncoderPosition(encoder, state, mm));
    EXPECT_EQ(mm, 3.0f);
}

TEST_F(OpenEncoderTest, RateSwitchTakesTheLowByteAndTheQuotientStays) {
    state.lineRate = 921600;  // 384 units: the low byte 128 stands for 921600
    ASSERT_TRUE(Open(65000, 0));
    EXPECT_EQ(peer.ReadRequest(6, 1000), (Bytes{0x01, 0x83, 0x83, 0x80, 0x80, 0x88}));
    EXPECT_EQ(state.lineRate, 921600u);
    state.lineRate = 100000;  // not a multiple of 2400: 41 units
    ASSERT_TRUE(Open(65000, 0));
    peer.ReadRequest(2, 1000);
    EXPECT_EQ(peer.ReadRequest(6, 1000), (Bytes{0x01, 0x83, 0x83, 0x80, 0x89, 0x82}));
    EXPECT_EQ(state.lineRate, 98400u);
}

TEST(EncoderClosePort, KeepsPresenceForTheNextRunStop) {
    TDUNELInterface encoder;
    EncoderState state;
    state.encoderPresent = true;
    CloseEncoderPort(encoder, state);
    EXPECT_TRUE(state.encoderPresent);
    EXPECT_EQ(state.lastStatus, kStatusOk);
}

}  // namespace
}  // namespace veska::link
