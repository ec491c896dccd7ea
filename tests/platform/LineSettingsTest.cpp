#include "platform/LineSettings.h"

#include <gtest/gtest.h>

namespace veska::platform {
namespace {

struct LineCase {
    uint8_t parity, stopBits;
    bool parityOn, odd, twoStopBits;
};

/// A block as a terminal might come: cooked, 7E2 odd, flow control on.
termios Cooked() {
    termios t{};
    t.c_iflag = ICRNL | IXON | IXOFF | ISTRIP | INPCK | IGNPAR;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 5;
    return t;
}

class LineTermiosTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineTermiosTest, GivesARawEightBitLineWithTheParityAndStopBits) {
    const LineCase& c = GetParam();
    SerialLine line;
    line.parity = c.parity;
    line.stopBits = c.stopBits;
    const termios t = LineTermios(line, Cooked());
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP | IGNPAR), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ((t.c_cflag & PARENB) != 0, c.parityOn);
    EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parityOn);
    EXPECT_EQ((t.c_cflag & PARODD) != 0, c.odd);
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
}

INSTANTIATE_TEST_SUITE_P(Codes, LineTermiosTest,
                         ::testing::Values(LineCase{0, 0, false, false, false},  // 8N1
                                           LineCase{1, 0, true, true, false},    // 8O1
                                           LineCase{2, 0, true, false, false},   // 8E1
                                           LineCase{2, 1, true, false, true},    // 1.5 as 2
                                           LineCase{2, 2, true, false, true},    // 8E2
                                           LineCase{3, 3, true, true, true}));   // keep: odd, 2

}  // namespace
}  // namespace veska::platform
