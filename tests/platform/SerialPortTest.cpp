#include "platform/SerialPort.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/PtyPeer.h"

// Flow tests over real pseudo-terminals. Time bounds are generous: the machine is shared.

namespace veska::platform {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

long ElapsedMs(SteadyClock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(SteadyClock::now() - since).count());
}

void Pause(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

SerialTimeouts ReadTimeouts(uint32_t interval, uint32_t multiplier, uint32_t constant) {
    SerialTimeouts t;
    t.readInterval = interval;
    t.readMultiplier = multiplier;
    t.readConstant = constant;
    return t;
}

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer_.Ok());
        ASSERT_TRUE(port_.Open(peer_.SlavePath()));
        SerialLine line;
        line.parity = 2;
        ASSERT_TRUE(port_.Configure(line));
    }

    /// Reads count bytes with the timeouts; returns the bytes got and sets ok and the time.
    std::vector<uint8_t> TimedRead(uint32_t count, bool& ok, long& elapsedMs) {
        std::vector<uint8_t> buffer(count);
        uint32_t got = 0;
        const auto start = SteadyClock::now();
        ok = port_.Read(buffer.data(), count, got);
        elapsedMs = ElapsedMs(start);
        buffer.resize(got);
        return buffer;
    }

    testing::PtyPeer peer_;
    SerialPort port_;
};

TEST_F(SerialPortTest, IdleReadEndsAfterTheTotalTimeout) {
    port_.SetTimeouts(ReadTimeouts(0, 20, 100));  // 5 bytes: 200 ms
    bool ok = false;
    long ms = 0;
    const std::vector<uint8_t> got = TimedRead(5, ok, ms);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(got.empty());
    EXPECT_GE(ms, 180);
    EXPECT_LE(ms, 500);
}

TEST_F(SerialPortTest, SilenceAfterTheFirstBytesEndsTheReadAfterTheInterval) {
    port_.SetTimeouts(ReadTimeouts(50, 100, 100));  // total 1100 ms for 10 bytes
    peer_.Send({0x81, 0x82, 0x83});
    bool ok = false;
    long ms = 0;
    const std::vector<uint8_t> got = TimedRead(10, ok, ms);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, (std::vector<uint8_t>{0x81, 0x82, 0x83}));
    EXPECT_GE(ms, 45);
    EXPECT_LE(ms, 400);
}

TEST_F(SerialPortTest, BytesArrivingInPiecesMakeOneWholeRead) {
    port_.SetTimeouts(ReadTimeouts(200, 100, 100));
    std::thread sender([this] {
        for (uint8_t i = 0; i < 5; ++i) {
            Pause(20);
            peer_.Send({static_cast<uint8_t>(2 * i), static_cast<uint8_t>(2 * i + 1)});
        }
    });
    bool ok = false;
    long ms = 0;
    const std::vector<uint8_t> got = TimedRead(10, ok, ms);
    sender.join();
    std::vector<uint8_t> expected(10);
    std::iota(expected.begin(), expected.end(), uint8_t{0});
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, expected);
    EXPECT_LE(ms, 800);  // ends with the last byte, not at a time-out
}

TEST_F(SerialPortTest, WakeFromAnotherThreadEndsABlockingRead) {
    port_.SetTimeouts(ReadTimeouts(0, 0, 0));  // no time-out at all
    peer_.Send({0x90, 0x91});
    std::thread waker([this] {
        Pause(80);
        port_.Wake();
    });
    bool ok = false;
    long ms = 0;
    const std::vector<uint8_t> got = TimedRead(4, ok, ms);
    waker.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(got, (std::vector<uint8_t>{0x90, 0x91}));
    EXPECT_GE(ms, 60);
    EXPECT_LE(ms, 1000);
}

TEST_F(SerialPortTest, PendingWakeEndsTheNextReadsUntilCleared) {
    port_.SetTimeouts(ReadTimeouts(0, 0, 1000));
    port_.Wake();
    bool ok = false;
    long ms = 0;
    TimedRead(2, ok, ms);
    EXPECT_TRUE(ok);
    EXPECT_LT(ms, 600);
    TimedRead(2, ok, ms);
    EXPECT_LT(ms, 600);  // still pending

    port_.ClearWake();
    TimedRead(2, ok, ms);
    EXPECT_TRUE(ok);
    EXPECT_GE(ms, 950);
}

TEST_F(SerialPortTest, ReceivePurgeDropsReceivedBytesAndTransmitPurgeKeepsThem) {
    port_.SetTimeouts(ReadTimeouts(0, 0, 100));
    peer_.Send({1, 2, 3});
    Pause(50);
    port_.Purge(kPurgeRxAbort | kPurgeRxClear);
    bool ok = false;
    long ms = 0;
    EXPECT_TRUE(TimedRead(3, ok, ms).empty());

    peer_.Send({9});
    Pause(50);
    port_.Purge(kPurgeTxAbort | kPurgeTxClear);
    EXPECT_EQ(TimedRead(1, ok, ms), std::vector<uint8_t>{9});
}

TEST_F(SerialPortTest, LongWriteArrivesWhole) {
    std::vector<uint8_t> data(2054);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0x80 | (i % 0x7F));
    uint32_t written = 0;
    ASSERT_TRUE(port_.Write(data.data(), static_cast<uint32_t>(data.size()), written));
    EXPECT_EQ(written, data.size());
    ASSERT_TRUE(peer_.WaitReceived(data.size(), 3000));
    EXPECT_EQ(peer_.Received(), data);
}

TEST_F(SerialPortTest, VanishingPeerEndsAReadInProgressWithAFailure) {
    port_.SetTimeouts(ReadTimeouts(0, 0, 0));  // would wait forever for data
    auto read = std::async(std::launch::async, [this] {
        uint8_t buffer[4];
        uint32_t got = 0;
        return port_.Read(buffer, sizeof buffer, got);
    });
    Pause(50);
    peer_.CloseMaster();
    if (read.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        port_.Wake();  // free the thread before failing
        read.wait();
        FAIL() << "read did not end when the port vanished";
    }
    EXPECT_FALSE(read.get());

    uint8_t byte = 0x81;
    uint32_t written = 0;
    EXPECT_FALSE(port_.Write(&byte, 1, written));
    EXPECT_EQ(written, 0u);
}

TEST_F(SerialPortTest, ZeroByteTransfersSucceedAtOnce) {
    port_.SetTimeouts(ReadTimeouts(0, 0, 0));
    uint32_t n = 99;
    EXPECT_TRUE(port_.Read(nullptr, 0, n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(port_.Write(nullptr, 0, n));
    EXPECT_EQ(n, 0u);
}

TEST_F(SerialPortTest, SecondOpenOfTheSamePortFailsUntilTheFirstCloses) {
    SerialPort second;
    EXPECT_FALSE(second.Open(peer_.SlavePath()));
    port_.Close();
    EXPECT_TRUE(second.Open(peer_.SlavePath()));
}

TEST_F(SerialPortTest, NonStandardAndZeroRatesStillGiveAWorkingLine) {
    for (uint32_t rate : {14400u, 0u, 921600u}) {
        SerialLine line;
        line.baudRate = rate;
        EXPECT_TRUE(port_.Configure(line)) << rate;
    }
    port_.SetTimeouts(ReadTimeouts(0, 0, 200));
    peer_.Send({0x42});
    bool ok = false;
    long ms = 0;
    EXPECT_EQ(TimedRead(1, ok, ms), std::vector<uint8_t>{0x42});
}

struct LineCase {
    uint8_t parity, stopBits;
    bool parityOn, odd, twoStopBits;
};

class SerialLineTest : public SerialPortTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(SerialLineTest, ConfigureSetsRawEightBitLineWithoutFlowControl) {
    const LineCase& c = GetParam();
    // Start from the opposite settings so that "keep" codes show what they keep.
    SerialLine first;
    first.parity = 1;
    first.stopBits = 2;
    ASSERT_TRUE(port_.Configure(first));
    SerialLine line;
    line.parity = c.parity;
    line.stopBits = c.stopBits;
    ASSERT_TRUE(port_.Configure(line));

    termios tio{};
    ASSERT_TRUE(peer_.SlaveTermios(tio));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_EQ(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    // A pseudo-terminal forces PARENB off (and CS8 on); the rest of the parity shows.
    EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parityOn);
    if (c.parityOn) {
        EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.odd);
    }
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStopBits);
}

INSTANTIATE_TEST_SUITE_P(Codes, SerialLineTest,
                         ::testing::Values(LineCase{0, 0, false, false, false},  // none, one
                                           LineCase{1, 0, true, true, false},    // odd
                                           LineCase{2, 0, true, false, false},   // even
                                           LineCase{2, 1, true, false, true},    // one and a half
                                           LineCase{2, 2, true, false, true},    // two
                                           LineCase{7, 9, true, true, true}));   // keep both

TEST(SerialPortOpenTest, RefusesMissingPathsAndFilesThatAreNoTerminal) {
    SerialPort port;
    EXPECT_FALSE(port.Open(""));
    EXPECT_FALSE(port.Open("/nonexistent/ttyVESKA"));
    char path[] = "/tmp/veska-serial-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_FALSE(port.Open(path));
    unlink(path);
    EXPECT_FALSE(port.IsOpen());

    uint8_t buffer[2];
    uint32_t n = 7;
    EXPECT_FALSE(port.Read(buffer, 2, n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(port.Write(buffer, 2, n));
    EXPECT_FALSE(port.Configure(SerialLine{}));
}

}  // namespace
}  // namespace veska::platform
