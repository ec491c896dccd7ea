#include "link/MotorInterface.h"

#include <termios.h>

#include <gtest/gtest.h>

#include <vector>

#include "link/Status.h"
#include "tests/support/PtyPeer.h"

namespace veska::link {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::PtyPeer;

class MotorLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        ASSERT_EQ(motor.OpenPort(0, peer.SlavePath(), 115200), kStatusOk);
    }
    /// The bytes the host sent since the last call (waits for at least n of them).
    Bytes Next(size_t n) { return peer.ReadRequest(n, 1000); }

    PtyPeer peer;
    TMotorInterface motor;
};

TEST_F(MotorLinkTest, OpenPortUsesTheMotorLineSettings) {
    const PortSettings& s = motor.Port().Settings();
    EXPECT_EQ(s.portMode, 0);
    EXPECT_EQ(s.baudRate, 115200u);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.usbOpenFlags, 128u);
    EXPECT_EQ(s.rxQueue, 16u);
    EXPECT_EQ(s.txQueue, 16u);
    EXPECT_EQ(s.readInterval, 10u);
    EXPECT_EQ(s.readConstant, 1000u);
    termios t{};
    ASSERT_TRUE(peer.SlaveTermios(t));
    EXPECT_EQ(t.c_cflag & PARENB, 0u);
    EXPECT_EQ(motor.OutputWord(), 0);
}

struct ValueCase {
    const char* name;
    uint32_t period;
    uint32_t count;
    Bytes periodBytes;
    Bytes countBytes;
};

class LoadMoveBytes : public MotorLinkTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(LoadMoveBytes, SendsBothHalvesLeastSignificantNibbleFirst) {
    const ValueCase& c = GetParam();
    EXPECT_EQ(motor.LoadMove(c.period, c.count), kStatusOk);
    EXPECT_EQ(Next(7), c.periodBytes);
    EXPECT_EQ(Next(7), c.countBytes);
}

INSTANTIATE_TEST_SUITE_P(Motor, LoadMoveBytes,
                         ::testing::Values(ValueCase{"Period2000Count8500",
                                                     2000,
                                                     8500,
                                                     {0x07, 0xF0, 0xFD, 0xF7, 0xF0, 0xF0, 0xF0},
                                                     {0x08, 0xF4, 0xF3, 0xF1, 0xF2, 0xF0, 0xF0}},
                                           ValueCase{"CountCutTo24Bits",
                                                     2000,
                                                     (1u << 24) + 1,
                                                     {0x07, 0xF0, 0xFD, 0xF7, 0xF0, 0xF0, 0xF0},
                                                     {0x08, 0xF1, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}},
                                           ValueCase{"PeriodCutTo24Bits",
                                                     0xFFFFFFFF,
                                                     0,
                                                     {0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
                                                     {0x08, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}}),
                         [](const auto& p) { return p.param.name; });

TEST_F(MotorLinkTest, OutputWordFollowsSetAndMaskAndAMoveClearsIt) {
    ASSERT_EQ(motor.SetOutputs(0x02), kStatusOk);
    EXPECT_EQ(Next(2), (Bytes{0x03, 0xF2}));
    ASSERT_EQ(motor.LoadMove(2000, 8500), kStatusOk);
    Next(14);
    EXPECT_EQ(motor.OutputWord(), 0);  // nothing is sent for that

    struct Step {
        bool set;
        uint16_t mask;
        uint16_t word;
        uint8_t sent;
    } steps[] = {
        {true, 1, 1, 0xF1},
        {true, 8, 9, 0xF9},
        {false, 0, 0, 0xF0},
        // Bits 4 to 7 are kept in the word but cannot reach the controller.
        {true, 0x1A, 0x1A, 0xFA},
        {false, 0xFF0F, 0x0A, 0xFA},
        {true, 0x100, 0x10A, 0xFA},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(s.set ? motor.SetOutputs(s.mask) : motor.MaskOutputs(s.mask), kStatusOk);
        EXPECT_EQ(motor.OutputWord(), s.word);
        EXPECT_EQ(Next(2), (Bytes{0x03, s.sent})) << "mask " << s.mask;
    }
}

TEST_F(MotorLinkTest, StartCommandsAreSingleBytes) {
    EXPECT_EQ(motor.StartHomeward(), kStatusOk);
    EXPECT_EQ(Next(1), (Bytes{0x04}));
    EXPECT_EQ(motor.StartForward(), kStatusOk);
    EXPECT_EQ(Next(1), (Bytes{0x06}));
}

TEST_F(MotorLinkTest, StatusNibbleIsTheLowNibbleOfTheReply) {
    struct Case {
        uint8_t reply;
        uint8_t nibble;
    } cases[] = {{0x37, 7}, {0xF0, 0}, {0x30, 0}, {0x0F, 15}};
    for (const Case& c : cases) {
        peer.ReplyAfter(1, {c.reply});
        uint8_t nibble = 0xEE;
        ASSERT_EQ(motor.ReadMotorStatus(nibble), kStatusOk);
        EXPECT_EQ(Next(1), (Bytes{0x02}));
        EXPECT_EQ(nibble, c.nibble);
        EXPECT_EQ(motor.StatusNibble(), c.nibble);
    }
}

TEST_F(MotorLinkTest, FailedFirstHalfOfLoadMoveSendsNothingMoreAndKeepsTheWord) {
    ASSERT_EQ(motor.SetOutputs(1), kStatusOk);
    Next(2);
    ASSERT_EQ(motor.ClosePort(), kStatusOk);
    EXPECT_EQ(motor.LoadMove(2000, 8500), kStatusNotOpen);
    EXPECT_EQ(motor.OutputWord(), 1);
    EXPECT_EQ(motor.LastStatus(), kStatusNotOpen);
    EXPECT_TRUE(peer.ReadRequest(1, 50).empty());
}

TEST(MotorLinkClosed, EveryCommandFailsWithPortNotOpenAndTheNibbleStays) {
    TMotorInterface motor;
    uint8_t nibble = 9;
    EXPECT_EQ(motor.ReadMotorStatus(nibble), kStatusNotOpen);
    EXPECT_EQ(nibble, 9);
    EXPECT_EQ(motor.MaskOutputs(0), kStatusNotOpen);
    EXPECT_EQ(motor.StartForward(), kStatusNotOpen);
    EXPECT_EQ(motor.StartHomeward(), kStatusNotOpen);
    EXPECT_EQ(CloseMotorPort(motor), kStatusOk);
}

TEST(MotorPort, OpensTheChoiceAt115200AfterClosingAndAMillisecond) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    platform::FakeClock clock;
    TMotorInterface motor;
    EXPECT_EQ(OpenMotorPort(motor, peer.SlavePath(), clock), kStatusOk);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1}));
    EXPECT_EQ(motor.Port().Settings().baudRate, 115200u);
    EXPECT_EQ(motor.Port().DevicePath(), peer.SlavePath());
    EXPECT_EQ(OpenMotorPort(motor, "/nonexistent/tty", clock), kStatusNotOpen);
    EXPECT_FALSE(motor.IsOpen());
}

}  // namespace
}  // namespace veska::link
