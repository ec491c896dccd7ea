// The sensor on a real pseudo-terminal, driven by a raw host descriptor.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "sim/PtyLink.h"
#include "sim/SensorLine.h"
#include "tests/sim/SimBytes.h"

namespace veska::sim {
namespace {

namespace fs = std::filesystem;
using test::Decode;
using test::Request;

/// A host end opened on the slave side, raw, as a serial port would be.
class RawHost {
  public:
    explicit RawHost(const std::string& path, speed_t speed = B115200) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::cfsetispeed(&t, speed);  // the sensor hears only a host at its own rate
        ::cfsetospeed(&t, speed);
        t.c_cflag |= PARENB;  // even parity, as the sensor link asks: a pty ignores it
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    ~RawHost() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    void Send(const std::vector<uint8_t>& bytes) {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    /// Reads until n bytes came or timeoutMs passed; readError is set when a read fails.
    std::vector<uint8_t> Receive(size_t n, int timeoutMs) {
        std::vector<uint8_t> out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (out.size() < n) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
            uint8_t buffer[4096];
            const ssize_t r = ::read(fd_, buffer, std::min(sizeof buffer, n - out.size()));
            if (r <= 0) {
                readError = true;
                break;
            }
            out.insert(out.end(), buffer, buffer + r);
        }
        return out;
    }
    void Flush() { ::tcflush(fd_, TCIFLUSH); }
    bool readError = false;

  private:
    int fd_ = -1;
};

class PtyLinkTest : public ::testing::Test {
  protected:
    PtyLinkTest() : world_(80, 50), sensor_(world_), line_(sensor_) {
        dir_ = fs::temp_directory_path() / ("veska-pty-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    ~PtyLinkTest() override { fs::remove_all(dir_); }

    World world_;
    SensorDevice sensor_;
    SensorLine line_;
    fs::path dir_;
};

TEST_F(PtyLinkTest, AHostAtAnotherRateIsNotHeard) {
    PtyLink link(line_);
    std::string error;
    ASSERT_TRUE(link.Start(&error)) << error;
    RawHost host(link.SlavePath(), B9600);  // the sensor runs at 115200
    ASSERT_TRUE(host.Ok());
    host.Send(Request(1, 1, std::vector<uint8_t>{}));
    EXPECT_TRUE(host.Receive(16, 300).empty());
    EXPECT_EQ(sensor_.Counters().bytesReceived, 0u);
    EXPECT_EQ(line_.MismatchedBytes(), 2u);
}

TEST_F(PtyLinkTest, IdentifyOverThePseudoTerminal) {
    PtyLink link(line_);
    std::string error;
    ASSERT_TRUE(link.Start(&error)) << error;
    EXPECT_EQ(link.SlavePath().rfind("/dev/pts/", 0), 0u);
    RawHost host(link.SlavePath());
    ASSERT_TRUE(host.Ok());
    host.Send(Request(1, 1, std::vector<uint8_t>{}));
    const std::vector<uint8_t> reply = host.Receive(16, 2000);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(Decode(reply),
              (std::vector<uint8_t>{20, kFirmwareRelease, 0xD2, 0x04, 80, 0, 50, 0}));
    EXPECT_EQ(sensor_.Counters().bytesReceived, 2u);
}

TEST_F(PtyLinkTest, ReadVideoWithoutDataIsAnsweredAfterTheBurst) {
    PtyLink link(line_);
    ASSERT_TRUE(link.Start());
    RawHost host(link.SlavePath());
    host.Send(Request(1, 15, std::vector<uint8_t>{}));
    host.Send(Request(1, 15, std::vector<uint8_t>{}));
    EXPECT_EQ(host.Receive(4096, 2000).size(), 4096u);
}

TEST_F(PtyLinkTest, StreamArrivesAtAboutTheLineRate) {
    sensor_.SetParam(0x04, 128);  // 921600 bit/s: 20945 samples/s
    PtyLink link(line_);
    ASSERT_TRUE(link.Start());
    RawHost host(link.SlavePath(), B921600);
    host.Send(Request(1, 7, std::vector<uint8_t>{}));
    const auto start = std::chrono::steady_clock::now();
    const std::vector<uint8_t> bytes = host.Receive(1'000'000, 300);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = static_cast<double>(bytes.size() / 4) / seconds;
    EXPECT_GT(rate, 20945 * 0.6);
    EXPECT_LT(rate, 20945 * 1.2);
    host.Send(Request(1, 8, std::vector<uint8_t>{0, 0}));
    host.Receive(1'000'000, 100);  // what was under way
    host.Flush();
    EXPECT_TRUE(host.Receive(4, 100).empty()) << "no samples after StopStream";
}

TEST_F(PtyLinkTest, UnpacedStreamOutrunsThePacedRate) {
    SensorLine fast(sensor_, LineOptions{0, true, 65536});
    PtyLink link(fast);
    ASSERT_TRUE(link.Start());
    RawHost host(link.SlavePath());
    host.Send(Request(1, 7, std::vector<uint8_t>{}));
    const std::vector<uint8_t> bytes = host.Receive(1'000'000, 200);
    EXPECT_GT(bytes.size() / 4, 2618u) << "more than a second's worth at 115200 in 0.2 s";
}

TEST_F(PtyLinkTest, SymlinkIsMadeReplacedAndRemoved) {
    const fs::path path = dir_ / "COM4";
    fs::create_symlink("/nonexistent", path);
    {
        PtyLink link(line_, path.string());
        ASSERT_TRUE(link.Start());
        EXPECT_EQ(fs::read_symlink(path).string(), link.SlavePath());
        RawHost host(path.string());
        host.Send(Request(1, 2, std::vector<uint8_t>{0x04}));
        EXPECT_EQ(Decode(host.Receive(2, 2000)), std::vector<uint8_t>{48});
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << "removed at the end";
}

TEST_F(PtyLinkTest, RegularFileIsNeverReplaced) {
    const fs::path path = dir_ / "COM5";
    std::ofstream(path) << "keep me";
    PtyLink link(line_, path.string());
    std::string error;
    EXPECT_FALSE(link.Start(&error));
    EXPECT_NE(error.find("not a symlink"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(path));
    EXPECT_FALSE(link.Running());
}

TEST_F(PtyLinkTest, VanishedDeviceFailsTheHostsReads) {
    PtyLink link(line_);
    ASSERT_TRUE(link.Start());
    RawHost host(link.SlavePath());
    link.Vanish();
    const std::vector<uint8_t> reply = host.Receive(16, 500);
    EXPECT_TRUE(reply.empty());
    EXPECT_TRUE(host.readError) << "hang-up, not a time-out";
}

TEST_F(PtyLinkTest, HostMayCloseAndReopenThePort) {
    PtyLink link(line_);
    ASSERT_TRUE(link.Start());
    for (int round = 0; round < 3; ++round) {
        RawHost host(link.SlavePath());
        host.Send(Request(1, 6, std::vector<uint8_t>{}));
        EXPECT_EQ(host.Receive(4, 2000).size(), 4u) << round;
    }
}

}  // namespace
}  // namespace veska::sim
