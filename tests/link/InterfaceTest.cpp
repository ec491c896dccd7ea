#include "link/Interface.h"

#include <dirent.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <future>
#include <thread>
#include <vector>

#include "link/Status.h"
#include "tests/link/FakeD2xx.h"
#include "tests/support/PtyPeer.h"

namespace veska::link {
namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using testing::FakeD2xx;
using testing::PtyPeer;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

/// Descriptors of this process that refer to path.
int OpenDescriptorsOn(const std::string& path) {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return -1;
    while (dirent* entry = readdir(dir)) {
        char target[PATH_MAX];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == path) ++count;
    }
    closedir(dir);
    return count;
}

PortSettings SerialSettings(const std::string& path, uint32_t interval = 20,
                            uint32_t constant = 50) {
    PortSettings s;
    s.portMode = 0;
    s.deviceName = path;
    s.parity = 2;
    s.stopBits = 0;
    s.baudRate = 115200;
    s.rxQueue = 5000;
    s.txQueue = 5000;
    s.readInterval = interval;
    s.readConstant = constant;
    return s;
}

int32_t WriteBytes(TInterface& port, Bytes bytes) {
    PortTransfer t;
    t.buffer = bytes.data();
    t.count = static_cast<uint32_t>(bytes.size());
    return port.Write(t);
}

int32_t ReadBytes(TInterface& port, Bytes& into, uint32_t count) {
    into.assign(count, 0);
    PortTransfer t;
    t.buffer = into.data();
    t.count = count;
    return port.Read(t);
}

class SerialInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.Ok()); }
    PtyPeer peer;
    TInterface port;
};

struct LineCase {
    const char* label;
    uint8_t parity;
    uint8_t stopBits;
    uint8_t fParity;  ///< expected in the control block
    bool cstopb;      ///< expected on the device
};

class SerialLineTest : public SerialInterfaceTest,
                       public ::testing::WithParamInterface<LineCase> {};

// A pseudo-terminal forces 8 data bits without parity, so parity is checked in the
// control block; rate and stop bits reach the device.
TEST_P(SerialLineTest, OpenAppliesTheLineSettings) {
    const LineCase& c = GetParam();
    PortSettings s = SerialSettings(peer.SlavePath());
    s.parity = c.parity;
    s.stopBits = c.stopBits;
    s.baudRate = 57600;
    ASSERT_EQ(port.Open(s), kStatusOk);
    EXPECT_EQ(port.DeviceControl().Parity, c.parity);
    EXPECT_EQ(port.DeviceControl().fParity, c.fParity);
    EXPECT_EQ(port.DeviceControl().StopBits, c.stopBits);
    termios t{};
    ASSERT_TRUE(peer.SlaveTermios(t));
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B57600));
    EXPECT_EQ((t.c_cflag & CSIZE), static_cast<tcflag_t>(CS8));
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.cstopb);
    EXPECT_EQ((t.c_cflag & CRTSCTS), 0u);
    EXPECT_EQ((t.c_iflag & (IXON | IXOFF)), 0u);
    EXPECT_EQ((t.c_lflag & (ICANON | ECHO)), 0u);
}

INSTANTIATE_TEST_SUITE_P(ParityAndStopBits, SerialLineTest,
                         ::testing::Values(LineCase{"None", 0, 0, 0, false},
                                           LineCase{"Odd", 1, 0, 1, false},
                                           LineCase{"Even", 2, 0, 1, false},
                                           LineCase{"EvenTwoStopBits", 2, 2, 1, true}),
                         [](const auto& p) { return p.param.label; });

TEST_F(SerialInterfaceTest, OpenKeepsSettingsControlBlockAndTimeouts) {
    PortSettings s = SerialSettings(peer.SlavePath(), 500, 50);
    ASSERT_EQ(port.Open(s), kStatusOk);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.DevicePath(), peer.SlavePath());
    EXPECT_EQ(port.Settings().rxQueue, 5000u);
    const platform::Dcb& dcb = port.DeviceControl();
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 115200u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 2);
    EXPECT_EQ(dcb.fParity, 1);
    EXPECT_EQ(dcb.fBinary, 1);
    EXPECT_EQ(dcb.fDtrControl, platform::kDtrControlEnable);
    EXPECT_EQ(dcb.fRtsControl, platform::kRtsControlEnable);
    EXPECT_EQ(dcb.fOutxCtsFlow + dcb.fOutxDsrFlow + dcb.fOutX + dcb.fInX + dcb.fAbortOnError, 0);
    const platform::CommTimeouts& t = port.Timeouts();
    EXPECT_EQ(t.ReadIntervalTimeout, 500u);
    EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 500u);
    EXPECT_EQ(t.ReadTotalTimeoutConstant, 50u);
    EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(t.WriteTotalTimeoutConstant, 1u);
}

TEST_F(SerialInterfaceTest, MovesExactByteCountsBothWays) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath())), kStatusOk);
    peer.ReplyAfter(3, {0x81, 0x82, 0x83, 0x84});
    EXPECT_EQ(WriteBytes(port, {0x01, 0x86, 0xFF}), kStatusOk);
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 4), kStatusOk);
    EXPECT_EQ(got, (Bytes{0x81, 0x82, 0x83, 0x84}));
    EXPECT_EQ(peer.ReadRequest(3, 500), (Bytes{0x01, 0x86, 0xFF}));
    EXPECT_EQ(port.LastStatus(), kStatusOk);
}

TEST_F(SerialInterfaceTest, ShortReadIsStatus3AndLeavesNothingQueued) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath())), kStatusOk);
    peer.ReplyAfter(1, {0x81, 0x82});
    ASSERT_EQ(WriteBytes(port, {0x01}), kStatusOk);
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 4), kStatusShortRead);
    EXPECT_EQ(got[0], 0x81);
    EXPECT_EQ(got[1], 0x82);
    EXPECT_EQ(ReadBytes(port, got, 1), kStatusShortRead);
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(SerialInterfaceTest, WriteDiscardsUnreadInputFirst) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath())), kStatusOk);
    peer.Send({0xEE, 0xEE, 0xEE});  // a late reply nobody read
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    peer.ReplyAfter(2, {0x91, 0x92});
    ASSERT_EQ(WriteBytes(port, {0x01, 0x81}), kStatusOk);
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 2), kStatusOk);
    EXPECT_EQ(got, (Bytes{0x91, 0x92}));
}

TEST_F(SerialInterfaceTest, BackToBackWritesAllReachTheDevice) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath())), kStatusOk);
    Bytes expected;
    for (uint8_t i = 0; i < 20; ++i) {
        ASSERT_EQ(WriteBytes(port, {0x01, 0x83, static_cast<uint8_t>(0x80 | (i & 0x0F))}),
                  kStatusOk);
        expected.insert(expected.end(), {0x01, 0x83, static_cast<uint8_t>(0x80 | (i & 0x0F))});
    }
    EXPECT_EQ(peer.ReadRequest(expected.size(), 1000), expected);
}

TEST_F(SerialInterfaceTest, WakeEndsAReadInProgress) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath(), 500, 50)), kStatusOk);
    const auto start = Clock::now();
    auto reader = std::async(std::launch::async, [&] {
        Bytes got;
        return ReadBytes(port, got, 8);  // would wait 4050 ms
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    port.Wake();
    EXPECT_EQ(reader.get(), kStatusShortRead);
    EXPECT_LT(ElapsedMs(start), 1000);
}

TEST_F(SerialInterfaceTest, WakeBeforeTheReadStopsItAndTheNextWriteClearsIt) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath(), 500, 50)), kStatusOk);
    port.Wake();
    const auto start = Clock::now();
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 2), kStatusShortRead);
    EXPECT_LT(ElapsedMs(start), 500);

    peer.ReplyAfter(2, {0xA5, 0xA3});
    ASSERT_EQ(WriteBytes(port, {0x01, 0x81}), kStatusOk);
    EXPECT_EQ(ReadBytes(port, got, 2), kStatusOk);
    EXPECT_EQ(got, (Bytes{0xA5, 0xA3}));
}

TEST_F(SerialInterfaceTest, ClosedPortRefusesReadAndWrite) {
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 1), kStatusNotOpen);
    EXPECT_EQ(WriteBytes(port, {0x01}), kStatusNotOpen);
    EXPECT_EQ(port.LastStatus(), kStatusNotOpen);
    EXPECT_EQ(port.Close(), kStatusOk);
    EXPECT_EQ(port.LastStatus(), kStatusOk);
    port.Wake();  // harmless when closed
}

TEST_F(SerialInterfaceTest, OpenOnAnOpenPortClosesTheOldDeviceFirst) {
    PtyPeer other;
    ASSERT_TRUE(other.Ok());
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath())), kStatusOk);
    EXPECT_EQ(OpenDescriptorsOn(peer.SlavePath()), 2);  // the peer's own and the port's
    ASSERT_EQ(port.Open(SerialSettings(other.SlavePath())), kStatusOk);
    EXPECT_EQ(OpenDescriptorsOn(peer.SlavePath()), 1);
    EXPECT_EQ(OpenDescriptorsOn(other.SlavePath()), 2);
    EXPECT_EQ(port.DevicePath(), other.SlavePath());

    EXPECT_EQ(port.Open(SerialSettings("/nonexistent/veska-tty")), kStatusNotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(OpenDescriptorsOn(other.SlavePath()), 1);
}

TEST_F(SerialInterfaceTest, FailedOpenLeavesThePortClosed) {
    EXPECT_EQ(port.Open(SerialSettings("/nonexistent/veska-tty")), kStatusNotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastStatus(), kStatusNotOpen);
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 1), kStatusNotOpen);
}

// A mode without a transport is a failed open (2), also right after a successful close:
// reporting the close's 0 would tell the caller that the port opened.
TEST_F(SerialInterfaceTest, OtherModesOpenNothingAndFail) {
    PortSettings s = SerialSettings(peer.SlavePath());
    s.portMode = 7;
    EXPECT_EQ(port.Open(s), kStatusNotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Settings().portMode, 7);

    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath())), kStatusOk);
    s.portMode = 255;
    EXPECT_EQ(port.Open(s), kStatusNotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.LastStatus(), kStatusNotOpen);
    EXPECT_EQ(OpenDescriptorsOn(peer.SlavePath()), 1);
}

TEST_F(SerialInterfaceTest, VanishedPortFailsWithoutHanging) {
    ASSERT_EQ(port.Open(SerialSettings(peer.SlavePath(), 500, 50)), kStatusOk);
    peer.CloseMaster();
    const auto start = Clock::now();
    Bytes got;
    EXPECT_NE(ReadBytes(port, got, 4), kStatusOk);
    EXPECT_NE(WriteBytes(port, {0x01, 0x81}), kStatusOk);
    EXPECT_LT(ElapsedMs(start), 3000);
    EXPECT_EQ(port.Close(), kStatusOk);
}

TEST_F(SerialInterfaceTest, DestructionClosesTheDevice) {
    {
        TInterface scoped;
        ASSERT_EQ(scoped.Open(SerialSettings(peer.SlavePath())), kStatusOk);
        EXPECT_EQ(OpenDescriptorsOn(peer.SlavePath()), 2);
    }
    EXPECT_EQ(OpenDescriptorsOn(peer.SlavePath()), 1);
}

// Mode 1: the USB converter through the D2XX backend.

PortSettings UsbSettings() {
    PortSettings s;
    s.portMode = 1;
    s.deviceName = "D2XX Recovery PID for XP";
    s.parity = 2;
    s.stopBits = 0;
    s.baudRate = 921600;
    s.usbOpenFlags = 128;
    s.rxQueue = 2096;
    s.txQueue = 2096;
    s.readInterval = 10;
    s.readConstant = 1000;
    return s;
}

class UsbInterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override { port.SetUsbBackend(&usb); }
    FakeD2xx usb;
    TInterface port;
};

TEST_F(UsbInterfaceTest, OpenMakesTheW32CallsInOrder) {
    ASSERT_EQ(port.Open(UsbSettings()), kStatusOk);
    EXPECT_EQ(usb.calls,
              (std::vector<std::string>{"W32_CreateFile", "W32_SetupComm", "W32_GetCommState",
                                        "W32_SetCommState", "W32_SetCommTimeouts", "W32_PurgeComm",
                                        "W32_SetCommMask"}));
    EXPECT_EQ(usb.createName, "D2XX Recovery PID for XP");
    EXPECT_EQ(usb.createAccess, platform::kGenericRead | platform::kGenericWrite);
    EXPECT_EQ(usb.createShare, 0u);
    EXPECT_EQ(usb.createCreation, platform::kOpenExisting);
    EXPECT_EQ(usb.createFlags, 128u | platform::FT_OPEN_BY_DESCRIPTION);
    EXPECT_EQ(usb.rxQueue, 2096u);
    EXPECT_EQ(usb.txQueue, 2096u);
    EXPECT_EQ(usb.purges, (std::vector<uint32_t>{3}));
    EXPECT_EQ(usb.commMask, 5u);
    EXPECT_EQ(usb.dcb.BaudRate, 921600u);
    EXPECT_EQ(usb.dcb.Parity, 2);
    EXPECT_EQ(usb.dcb.fParity, 1);
    EXPECT_EQ(usb.dcb.ByteSize, 8);
    EXPECT_EQ(usb.dcb.StopBits, 0);
    EXPECT_EQ(usb.dcb.fDtrControl, platform::kDtrControlDisable);
    EXPECT_EQ(usb.dcb.fRtsControl, platform::kRtsControlDisable);
    EXPECT_EQ(usb.timeouts.ReadIntervalTimeout, 10u);
    EXPECT_EQ(usb.timeouts.ReadTotalTimeoutMultiplier, 10u);
    EXPECT_EQ(usb.timeouts.ReadTotalTimeoutConstant, 1000u);
    EXPECT_EQ(usb.timeouts.WriteTotalTimeoutMultiplier, 1u);
    EXPECT_EQ(usb.timeouts.WriteTotalTimeoutConstant, 1u);
}

TEST_F(UsbInterfaceTest, UnknownParityAndStopCodesKeepTheDeviceSetting) {
    usb.dcb.Parity = 4;
    usb.dcb.fParity = 1;
    usb.dcb.StopBits = 2;
    PortSettings s = UsbSettings();
    s.parity = 9;
    s.stopBits = 3;
    ASSERT_EQ(port.Open(s), kStatusOk);
    EXPECT_EQ(usb.dcb.Parity, 4);
    EXPECT_EQ(usb.dcb.fParity, 1);
    EXPECT_EQ(usb.dcb.StopBits, 2);
}

TEST_F(UsbInterfaceTest, WritePurgesFirstAndReadsNeverPurge) {
    ASSERT_EQ(port.Open(UsbSettings()), kStatusOk);
    usb.calls.clear();
    usb.purges.clear();
    EXPECT_EQ(WriteBytes(port, {0x01, 0x81}), kStatusOk);
    EXPECT_EQ(usb.output, (Bytes{0x01, 0x81}));
    usb.input = {0xA1};
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 2), kStatusShortRead);
    usb.failReads = true;
    EXPECT_EQ(ReadBytes(port, got, 2), kStatusReadFailed);
    EXPECT_EQ(usb.calls, (std::vector<std::string>{"W32_PurgeComm", "W32_WriteFile", "W32_ReadFile",
                                                   "W32_ReadFile"}));
    EXPECT_EQ(usb.purges, (std::vector<uint32_t>{3}));
}

TEST_F(UsbInterfaceTest, FailedCreateIsStatus2AndNothingToClose) {
    usb.converterPresent = false;
    EXPECT_EQ(port.Open(UsbSettings()), kStatusNotOpen);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(usb.calls, (std::vector<std::string>{"W32_CreateFile"}));
    EXPECT_EQ(port.Close(), kStatusOk);
    EXPECT_EQ(usb.calls.size(), 1u);
}

TEST_F(UsbInterfaceTest, CloseAndWakeGoToTheBackend) {
    ASSERT_EQ(port.Open(UsbSettings()), kStatusOk);
    port.Wake();
    EXPECT_EQ(usb.wakes, 1);
    EXPECT_EQ(port.Close(), kStatusOk);
    EXPECT_EQ(usb.calls.back(), "W32_CloseHandle");
    EXPECT_FALSE(port.IsOpen());
    Bytes got;
    EXPECT_EQ(ReadBytes(port, got, 1), kStatusNotOpen);
}

}  // namespace
}  // namespace veska::link
