// The named faults of the virtual bench's devices: their text form, when they take hold,
// and what each does to a device, over the bench's real pseudo-terminals and on the board.
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/AnalogBoardDevice.h"
#include "sim/DeviceFaults.h"
#include "sim/FaultControl.h"
#include "sim/SimUsbBackend.h"
#include "sim/VirtualBench.h"
#include "tests/sim/SimBytes.h"

namespace veska::sim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// --- The text form ----------------------------------------------------------------------

TEST(FaultTextTest, ReadsEveryFormAndWritesItBack) {
    struct Case {
        const char* text;
        FaultSetting setting;
    };
    const Case cases[] = {
        {"encoder:silent", {FaultDevice::kEncoder, FaultKind::kSilent, 0, 0}},
        {"stage:vanish@200", {FaultDevice::kStage, FaultKind::kVanish, 0, 200}},
        {"sensor:slow=40", {FaultDevice::kSensor, FaultKind::kSlow, 40, 0}},
        {"board:vanish", {FaultDevice::kBoard, FaultKind::kVanish, 0, 0}},
        {"encoder:rate=9600@10", {FaultDevice::kEncoder, FaultKind::kWrongRate, 9600, 10}},
        {"stage:stall", {FaultDevice::kStage, FaultKind::kNeverAtRest, 0, 0}},
        {"stage:frozen@0", {FaultDevice::kStage, FaultKind::kFrozen, 0, 0}},
        {"sensor:stall", {FaultDevice::kSensor, FaultKind::kStall, 0, 0}},
        {"board:garbage", {FaultDevice::kBoard, FaultKind::kGarbage, 0, 0}},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto setting = ParseFault(c.text, &error);
        ASSERT_TRUE(setting.has_value()) << c.text << ": " << error;
        EXPECT_EQ(*setting, c.setting) << c.text;
        EXPECT_EQ(ParseFault(FormatFault(*setting)), setting) << c.text;
    }
    EXPECT_EQ(FormatFault(*ParseFault("stage:frozen@0")), "stage:frozen");
}

TEST(FaultTextTest, RefusesWhatItDoesNotKnowWithAReason) {
    const char* bad[] = {
        "",
        "silent",
        "encoder",
        ":silent",
        "laser:silent",
        "encoder:",
        "encoder:frozen",
        "board:frozen",
        "sensor:slow",
        "encoder:silent=3",
        "stage:vanish@",
        "stage:vanish@-1",
        "stage:vanish@x",
        "sensor:slow=-5",
        "sensor:slow=1e3",
        "sensor:slow=600001",
        "encoder:rate=0",
        "encoder:rate=99999999999",
        "Encoder:silent",
        "encoder:silent ",
        "encoder:silent@3@4",
    };
    for (const char* text : bad) {
        std::string error;
        EXPECT_FALSE(ParseFault(text, &error).has_value()) << "'" << text << "'";
        EXPECT_FALSE(error.empty()) << "'" << text << "'";
    }
}

TEST(FaultTextTest, EveryDeviceHasTheCommonFaultsAndOnlyTheStageIsFrozen) {
    for (FaultDevice device : kFaultDevices) {
        for (FaultKind kind : {FaultKind::kSilent, FaultKind::kGarbage, FaultKind::kVanish,
                               FaultKind::kSlow, FaultKind::kWrongRate}) {
            EXPECT_NE(FindFaultRow(device, kind), nullptr) << FaultDeviceName(device);
        }
        EXPECT_EQ(FindFaultRow(device, FaultKind::kFrozen) != nullptr,
                  device == FaultDevice::kStage);
    }
}

// --- When a fault holds -----------------------------------------------------------------

TEST(DeviceFaultsTest, AFaultWithACountHoldsFromTheRequestAfterThatMany) {
    DeviceFaults faults(FaultDevice::kEncoder);
    faults.CountRequests(5);  // heard before the switch: not counted for it
    ASSERT_TRUE(faults.Switch(*ParseFault("encoder:silent@2")));
    for (int request = 1; request <= 2; ++request) {
        faults.RequestComing();
        EXPECT_FALSE(faults.Holds(FaultKind::kSilent)) << request;
        faults.CountRequests(1);
    }
    faults.RequestComing();
    EXPECT_TRUE(faults.Holds(FaultKind::kSilent));
    faults.Clear();
    EXPECT_FALSE(faults.Holds(FaultKind::kSilent));
    EXPECT_FALSE(faults.Switch(*ParseFault("sensor:silent")));  // another device's
    EXPECT_TRUE(faults.Active().empty());
}

TEST(DeviceFaultsTest, StallPassesHalfAReplyThenNothingAndGarbageChangesBytes) {
    DeviceFaults faults(FaultDevice::kSensor);
    uint8_t reply[8] = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87};
    EXPECT_EQ(faults.FilterOutput(reply, 8), 8u);
    faults.Switch(*ParseFault("sensor:stall"));
    EXPECT_EQ(faults.FilterOutput(reply, 8), 4u);
    EXPECT_EQ(faults.FilterOutput(reply, 8), 0u);
    faults.Clear();
    faults.Switch(*ParseFault("sensor:garbage"));
    uint8_t copy[8];
    std::memcpy(copy, reply, 8);
    EXPECT_EQ(faults.FilterOutput(copy, 8), 8u);
    EXPECT_NE(std::memcmp(copy, reply, 8), 0);
}

// --- The pty devices of the bench -------------------------------------------------------

/// The host's end of a bench port, opened raw at a rate, as a test reads it.
class HostPort {
  public:
    HostPort(const std::string& path, speed_t speed = B115200) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) return;
        termios tio{};
        ::tcgetattr(fd_, &tio);
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, speed);
        ::tcsetattr(fd_, TCSANOW, &tio);
    }
    ~HostPort() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }
    bool Send(const std::vector<uint8_t>& bytes) {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    /// Reads until n bytes came, the line hung up, or waitMs passed.
    std::vector<uint8_t> Read(size_t n, int waitMs) {
        std::vector<uint8_t> got;
        const auto end = Clock::now() + milliseconds(waitMs);
        hungUp_ = false;
        while (got.size() < n) {
            const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
            if (left <= 0) break;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
            uint8_t buffer[256];
            const ssize_t r = ::read(fd_, buffer, std::min(sizeof buffer, n - got.size()));
            if (r > 0) {
                got.insert(got.end(), buffer, buffer + r);
            } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
                hungUp_ = true;
                break;
            }
        }
        return got;
    }
    bool HungUp() const { return hungUp_; }

  private:
    int fd_ = -1;
    bool hungUp_ = false;
};

constexpr int kAnswerMs = 5000;  // a healthy answer comes well within this, however loaded
constexpr int kSilenceMs = 300;  // no answer within this counts as none

/// One request a device answers with a known number of bytes.
struct Probe {
    FaultDevice device;
    int com;
    std::vector<uint8_t> request;
    size_t replyBytes;
};

std::vector<Probe> Probes() {
    return {
        {FaultDevice::kSensor, VirtualBench::kSensorCom,
         test::Request(1, 1, std::vector<uint8_t>{}), 16},
        {FaultDevice::kStage, VirtualBench::kMotorCom, {0x02}, 1},
        {FaultDevice::kEncoder, VirtualBench::kEncoderCom,
         test::Request(1, 1, std::vector<uint8_t>{}), 16},
    };
}

class PtyFaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        BenchOptions options;
        options.installUsbBackend = false;
        options.sensor.noise = 0.0;
        options.stage = StageGeometry{0.0125, 70.0, 170.0};
        bench = std::make_unique<VirtualBench>(options);
        std::string error;
        ASSERT_TRUE(bench->Start(&error)) << error;
    }
    std::vector<uint8_t> Ask(HostPort& port, const Probe& p, int waitMs = kAnswerMs) {
        EXPECT_TRUE(port.Send(p.request)) << FaultDeviceName(p.device);
        return port.Read(p.replyBytes, waitMs);
    }

    std::unique_ptr<VirtualBench> bench;
};

TEST_F(PtyFaultTest, SilentAnswersNothingUntilCleared) {
    for (const Probe& p : Probes()) {
        HostPort port(bench->PortPath(p.com));
        ASSERT_TRUE(port.Ok());
        const std::vector<uint8_t> healthy = Ask(port, p);
        ASSERT_EQ(healthy.size(), p.replyBytes) << FaultDeviceName(p.device);
        bench->SetFault(FaultSetting{p.device, FaultKind::kSilent});
        EXPECT_TRUE(Ask(port, p, kSilenceMs).empty()) << FaultDeviceName(p.device);
        ASSERT_TRUE(bench->ClearFaults(p.device));
        EXPECT_EQ(Ask(port, p).size(), p.replyBytes) << FaultDeviceName(p.device);
    }
}

TEST_F(PtyFaultTest, GarbageAndStallSpoilTheReplies) {
    for (const Probe& p : Probes()) {
        HostPort port(bench->PortPath(p.com));
        const std::vector<uint8_t> healthy = Ask(port, p);
        ASSERT_EQ(healthy.size(), p.replyBytes);
        bench->SetFault(FaultSetting{p.device, FaultKind::kGarbage});
        const std::vector<uint8_t> noise = Ask(port, p);
        EXPECT_EQ(noise.size(), p.replyBytes) << FaultDeviceName(p.device);
        EXPECT_NE(noise, healthy) << FaultDeviceName(p.device);
        bench->ClearFaults(p.device);
        if (p.device == FaultDevice::kStage) continue;  // its stall is a move without end
        bench->SetFault(FaultSetting{p.device, FaultKind::kStall});
        EXPECT_EQ(Ask(port, p, kSilenceMs).size(), p.replyBytes / 2) << FaultDeviceName(p.device);
        EXPECT_TRUE(Ask(port, p, kSilenceMs).empty()) << FaultDeviceName(p.device);
    }
}

TEST_F(PtyFaultTest, VanishAfterNRequestsHangsUpAndClearPlugsItBackIn) {
    for (const Probe& p : Probes()) {
        bench->SetFault(FaultSetting{p.device, FaultKind::kVanish, 0, 2});
        {
            HostPort port(bench->PortPath(p.com));
            ASSERT_TRUE(port.Ok());
            EXPECT_EQ(Ask(port, p).size(), p.replyBytes) << FaultDeviceName(p.device);
            EXPECT_EQ(Ask(port, p).size(), p.replyBytes) << FaultDeviceName(p.device);
            port.Send(p.request);
            EXPECT_TRUE(port.Read(p.replyBytes, kAnswerMs).empty());
            EXPECT_TRUE(port.HungUp()) << FaultDeviceName(p.device);
        }
        EXPECT_NE(bench->FaultStatus().find("(port gone)"), std::string::npos);
        std::string error;
        ASSERT_TRUE(bench->ClearFaults(p.device, &error)) << error;
        HostPort again(bench->PortPath(p.com));
        ASSERT_TRUE(again.Ok());
        EXPECT_EQ(Ask(again, p).size(), p.replyBytes) << FaultDeviceName(p.device);
    }
}

TEST_F(PtyFaultTest, VanishAtOnceClosesAnOpenPort) {
    HostPort port(bench->PortPath(VirtualBench::kEncoderCom));
    ASSERT_TRUE(port.Ok());
    bench->SetFault(*ParseFault("encoder:vanish"));
    EXPECT_TRUE(port.Read(1, kAnswerMs).empty());
    EXPECT_TRUE(port.HungUp());
}

TEST_F(PtyFaultTest, SlowRepliesComeLateButWhole) {
    constexpr uint32_t kLateMs = 300;
    for (const Probe& p : Probes()) {
        HostPort port(bench->PortPath(p.com));
        bench->SetFault(FaultSetting{p.device, FaultKind::kSlow, kLateMs});
        const auto start = Clock::now();
        EXPECT_EQ(Ask(port, p).size(), p.replyBytes) << FaultDeviceName(p.device);
        EXPECT_GE(Clock::now() - start, milliseconds(kLateMs - 20)) << FaultDeviceName(p.device);
    }
}

TEST_F(PtyFaultTest, WrongRateHearsOnlyAHostAtThatRate) {
    for (const Probe& p : Probes()) {
        bench->SetFault(FaultSetting{p.device, FaultKind::kWrongRate, 9600});
        HostPort fast(bench->PortPath(p.com), B115200);
        EXPECT_TRUE(Ask(fast, p, kSilenceMs).empty()) << FaultDeviceName(p.device);
        HostPort slow(bench->PortPath(p.com), B9600);
        EXPECT_EQ(Ask(slow, p).size(), p.replyBytes) << FaultDeviceName(p.device);
    }
}

TEST_F(PtyFaultTest, TheStageStallsAtMovingOrStaysFrozen) {
    HostPort port(bench->PortPath(VirtualBench::kMotorCom));
    const Probe status = Probes()[1];
    EXPECT_EQ(Ask(port, status), std::vector<uint8_t>{0x30});  // at rest
    bench->SetFault(*ParseFault("stage:stall"));
    EXPECT_EQ(Ask(port, status), std::vector<uint8_t>{0x31});  // moving, for ever
    bench->ClearFaults(FaultDevice::kStage);

    bench->SetFault(*ParseFault("stage:frozen"));
    const int64_t before = bench->GetStage().PositionSteps(Clock::now());
    // Count 100 (nibbles low first), period 1 us, then forward.
    ASSERT_TRUE(port.Send({0x08, 0xF4, 0xF6, 0xF0, 0xF0, 0xF0, 0xF0, 0x07, 0xF1, 0xF0, 0xF0, 0xF0,
                           0xF0, 0xF0, 0x06}));
    EXPECT_EQ(Ask(port, status), std::vector<uint8_t>{0x30});
    EXPECT_EQ(bench->GetStage().PositionSteps(Clock::now()), before);
    EXPECT_GE(bench->Motor().Counters().commands[6], 1u);  // the controller took the move
}

TEST_F(PtyFaultTest, AFaultSwitchedFromAnotherThreadWhileRequestsGoOn) {
    const Probe p = Probes()[2];
    HostPort port(bench->PortPath(p.com));
    ASSERT_EQ(Ask(port, p).size(), p.replyBytes);
    std::thread([&] { bench->SetFault(*ParseFault("encoder:silent@3")); }).join();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Ask(port, p).size(), p.replyBytes) << i;
    EXPECT_TRUE(Ask(port, p, kSilenceMs).empty());
    EXPECT_EQ(bench->FaultStatus(), "sensor: none\nstage: none\nencoder: silent@3\nboard: none\n");
}

TEST(BenchFaultOptionsTest, FaultsGivenAtStartHoldFromTheStart) {
    BenchOptions options;
    options.installUsbBackend = false;
    options.faults = {*ParseFault("encoder:vanish"), *ParseFault("board:silent")};
    VirtualBench bench(options);
    ASSERT_TRUE(bench.Start());
    HostPort port(bench.PortPath(VirtualBench::kEncoderCom));
    if (port.Ok()) {  // the link points at a closed pty: the open fails, or nothing answers
        port.Send(test::Request(1, 1, std::vector<uint8_t>{}));
        EXPECT_TRUE(port.Read(16, kSilenceMs).empty());
    }
    EXPECT_NE(bench.FaultStatus().find("encoder: vanish (port gone)"), std::string::npos);
    EXPECT_TRUE(bench.GetWorld().BoardFaults().Holds(FaultKind::kSilent));
}

// --- The board --------------------------------------------------------------------------

class BoardFaultTest : public ::testing::Test {
  protected:
    BoardFaultTest() {
        AnalogBoardOptions options;
        options.configurationBits = 4;
        bus.AddDevice(std::make_unique<SimAnalogBoard>(world, options));
    }
    platform::FT_HANDLE OpenConfigured() {
        platform::FT_HANDLE h = nullptr;
        EXPECT_EQ(bus.Open(0, &h), platform::FT_OK);
        EXPECT_EQ(bus.SetBitMode(h, 0xFF, 1), platform::FT_OK);
        Write(h, {0x01, 0x03, 0x03, 0x43, 0x03, 0x43, 0x03, 0x43, 0x03, 0x43, 0x00});
        EXPECT_EQ(bus.SetBitMode(h, 0xFF, 0), platform::FT_OK);
        EXPECT_EQ(bus.Purge(h, 1), platform::FT_OK);
        EXPECT_EQ(bus.SetTimeouts(h, 100, 100), platform::FT_OK);
        return h;
    }
    void Write(platform::FT_HANDLE h, std::vector<uint8_t> bytes) {
        uint32_t written = 0;
        EXPECT_EQ(bus.Write(h, bytes.data(), uint32_t(bytes.size()), &written), platform::FT_OK);
    }
    /// Sends the query and reads what comes back.
    std::vector<uint8_t> Query(platform::FT_HANDLE h) {
        Write(h, {0xEA});
        uint8_t buffer[4] = {};
        uint32_t got = 0;
        if (bus.Read(h, buffer, 1, &got) != platform::FT_OK) return {0xFF, 0xFF};
        return std::vector<uint8_t>(buffer, buffer + got);
    }

    World world;
    SimUsbBackend bus;
};

TEST_F(BoardFaultTest, SilentGarbageAndWrongRateSpoilTheQuery) {
    const platform::FT_HANDLE h = OpenConfigured();
    ASSERT_EQ(Query(h), std::vector<uint8_t>{SimAnalogBoard::kMarker});
    world.BoardFaults().Switch(*ParseFault("board:silent"));
    EXPECT_TRUE(Query(h).empty());
    world.BoardFaults().Clear();
    world.BoardFaults().Switch(*ParseFault("board:garbage"));
    const std::vector<uint8_t> noise = Query(h);
    ASSERT_EQ(noise.size(), 1u);
    EXPECT_NE(noise[0], SimAnalogBoard::kMarker);
    world.BoardFaults().Clear();
    world.BoardFaults().Switch(*ParseFault("board:rate=19200"));
    EXPECT_TRUE(Query(h).empty());
    ASSERT_EQ(bus.SetBaudRate(h, 19200), platform::FT_OK);
    EXPECT_EQ(Query(h), std::vector<uint8_t>{SimAnalogBoard::kMarker});
    bus.Close(h);
}

TEST_F(BoardFaultTest, VanishUnplugsAfterNCallsAndClearPlugsItIn) {
    const platform::FT_HANDLE h = OpenConfigured();
    world.BoardFaults().Switch(*ParseFault("board:vanish@2"));
    EXPECT_EQ(Query(h), std::vector<uint8_t>{SimAnalogBoard::kMarker});  // a write, a read
    uint32_t written = 0;
    const uint8_t query = 0xEA;
    EXPECT_NE(bus.Write(h, &query, 1, &written), platform::FT_OK);
    uint32_t count = 7;
    ASSERT_EQ(bus.ListDevices(&count, nullptr, platform::FT_LIST_NUMBER_ONLY), platform::FT_OK);
    EXPECT_EQ(count, 0u);
    bus.Close(h);
    world.BoardFaults().Clear();
    platform::FT_HANDLE again = nullptr;
    EXPECT_EQ(bus.Open(0, &again), platform::FT_OK);
    bus.Close(again);
}

TEST_F(BoardFaultTest, StallCutsTheDataAndSlowHoldsItBack) {
    const platform::FT_HANDLE h = OpenConfigured();
    Write(h, {0xE2});  // acquisition: words by time
    world.BoardFaults().Switch(*ParseFault("board:stall"));
    uint8_t buffer[64];
    uint32_t got = 0;
    ASSERT_EQ(bus.Read(h, buffer, 64, &got), platform::FT_OK);
    EXPECT_EQ(got, 32u);
    ASSERT_EQ(bus.Read(h, buffer, 64, &got), platform::FT_OK);
    EXPECT_EQ(got, 0u);
    world.BoardFaults().Clear();
    world.BoardFaults().Switch(*ParseFault("board:slow=400"));
    ASSERT_EQ(bus.Read(h, buffer, 2, &got), platform::FT_OK);  // its time-out is 100 ms
    EXPECT_EQ(got, 0u);
    bus.Close(h);
}

// --- The control commands ---------------------------------------------------------------

TEST_F(PtyFaultTest, ControlCommandsSwitchClearAndTell) {
    FaultControl control(*bench, nullptr);
    EXPECT_EQ(control.Execute("fault encoder:silent@300"), "ok encoder:silent@300\n");
    EXPECT_EQ(control.Execute("  fault   stage:slow=40 \r"), "ok stage:slow=40\n");
    EXPECT_EQ(control.Execute("status"),
              "sensor: none\nstage: slow=40\nencoder: silent@300\nboard: none\n");
    EXPECT_EQ(control.Execute("clear stage"), "ok clear stage\n");
    EXPECT_EQ(control.Execute("clear all"), "ok clear all\n");
    EXPECT_TRUE(bench->Faults(FaultDevice::kEncoder).Active().empty());
    EXPECT_EQ(control.Execute(""), "");
    for (const char* bad : {"fault", "fault encoder:frozen", "clear", "clear laser", "status x",
                            "reboot", "\x01\x02\xff"}) {
        EXPECT_EQ(control.Execute(bad).rfind("error: ", 0), 0u) << bad;
    }
    EXPECT_NE(control.Execute("help").find("stage:frozen"), std::string::npos);
}

TEST_F(PtyFaultTest, TheFifoTakesCommandsAndTheStatusFileFollows) {
    FaultControl control(*bench, nullptr);
    std::string error;
    ASSERT_TRUE(control.Start(&error)) << error;
    const auto statusText = [&] {
        std::ifstream file(control.StatusPath());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    };
    EXPECT_NE(statusText().find("encoder: none"), std::string::npos);
    {
        std::ofstream fifo(control.FifoPath());
        fifo << std::string(FaultControl::kMaxLine + 10, 'x') << "\n"  // refused whole
             << "fault encoder:garbage\n";
    }
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (statusText().find("encoder: garbage") == std::string::npos && Clock::now() < end)
        std::this_thread::sleep_for(milliseconds(10));
    EXPECT_TRUE(bench->Faults(FaultDevice::kEncoder).Holds(FaultKind::kGarbage));
    const std::string fifoPath = control.FifoPath();
    control.Stop();
    EXPECT_NE(::access(fifoPath.c_str(), F_OK), 0);  // removed at the end
}

}  // namespace
}  // namespace veska::sim
