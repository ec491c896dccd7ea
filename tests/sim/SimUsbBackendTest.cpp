// The simulated USB bus: open by description, single open, the Win32 read time-out rule,
// wake-ups, and the adapter's CBUS 3 line powering its sensor.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "platform/SerialPort.h"
#include "sim/SimUsbBackend.h"
#include "tests/sim/SimBytes.h"

namespace veska::sim {
namespace {

using platform::FT_HANDLE;
using test::Decode;
using test::Request;
using Ms = std::chrono::milliseconds;

class SimUsbBackendTest : public ::testing::Test {
  protected:
    SimUsbBackendTest() : world_(80, 50), converterSensor_(world_), adapterSensor_(world_) {
        converter_ = &usb_.AddConverter(converterSensor_);
        adapter_ = &usb_.AddAdapter(adapterSensor_);
    }

    /// Opens and sets the line as the host does: 115200 bit/s, even parity (unless told
    /// otherwise).
    FT_HANDLE OpenW32(const char* description, uint32_t baud = 115200, uint8_t parity = 2) {
        FT_HANDLE h =
            usb_.W32_CreateFile(description, platform::kGenericRead | platform::kGenericWrite, 0,
                                platform::kOpenExisting, 128 | platform::FT_OPEN_BY_DESCRIPTION);
        platform::Dcb dcb;
        if (usb_.W32_GetCommState(h, &dcb)) {
            dcb.BaudRate = baud;
            dcb.Parity = parity;
            (void)usb_.W32_SetCommState(h, &dcb);
        }
        return h;
    }

    void SetTimeouts(FT_HANDLE h, uint32_t interval, uint32_t multiplier, uint32_t constant) {
        platform::CommTimeouts t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_TRUE(usb_.W32_SetCommTimeouts(h, &t));
    }

    void Write(FT_HANDLE h, const std::vector<uint8_t>& bytes) {
        uint32_t written = 0;
        ASSERT_TRUE(
            usb_.W32_WriteFile(h, bytes.data(), static_cast<uint32_t>(bytes.size()), &written));
        ASSERT_EQ(written, bytes.size());
    }

    /// Reads count bytes; returns them and the time the read took.
    std::pair<std::vector<uint8_t>, Ms> Read(FT_HANDLE h, uint32_t count) {
        std::vector<uint8_t> buffer(count);
        uint32_t got = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(usb_.W32_ReadFile(h, buffer.data(), count, &got));
        const auto took = std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - start);
        buffer.resize(got);
        return {buffer, took};
    }

    bool SetAdapterLine(int level) {
        FT_HANDLE h = nullptr;
        if (usb_.OpenEx(kAdapterDescription, platform::FT_OPEN_BY_DESCRIPTION, &h) !=
            platform::FT_OK)
            return false;
        EXPECT_EQ(usb_.SetBitMode(h, level ? 0x88 : 0x80, platform::FT_BITMODE_CBUS_BITBANG),
                  platform::FT_OK);
        EXPECT_EQ(usb_.Close(h), platform::FT_OK);
        return true;
    }

    World world_;
    SensorDevice converterSensor_;
    SensorDevice adapterSensor_;
    SimUsbBackend usb_;
    SimSerialUsbDevice* converter_ = nullptr;
    SimSerialUsbDevice* adapter_ = nullptr;
};

TEST_F(SimUsbBackendTest, ASensorHearsOnlyItsOwnRateAndParity) {
    struct Case {
        uint32_t baud;
        uint8_t parity;
        bool heard;
    };
    for (const Case& c : {Case{9600, 2, false}, Case{115200, 0, false}, Case{115200, 2, true}}) {
        SCOPED_TRACE(std::to_string(c.baud) + " parity " + std::to_string(c.parity));
        FT_HANDLE h = OpenW32(kConverterDescription, c.baud, c.parity);
        SetTimeouts(h, 0, 0, 200);
        Write(h, Request(1, 1, std::vector<uint8_t>{}));
        EXPECT_EQ(Read(h, 16).first.size(), c.heard ? 16u : 0u);
        EXPECT_TRUE(usb_.W32_CloseHandle(h));
    }
    EXPECT_EQ(converter_->MismatchedBytes(), 4u);
}

TEST_F(SimUsbBackendTest, WrittenBytesLeaveAtTheLineRateAndOnlyATransmitClearDropsThem) {
    FT_HANDLE h = OpenW32(kConverterDescription, 2400);
    converterSensor_.SetParam(addr::kBaudCode, 1);  // the sensor at 2400 bit/s too
    SetTimeouts(h, 0, 0, 500);
    Write(h, Request(1, 1, std::vector<uint8_t>{}));
    EXPECT_TRUE(converter_->TransmitPending());  // 2 bytes take 9 ms at 2400 bit/s
    EXPECT_TRUE(usb_.W32_PurgeComm(h, platform::kPurgeTxAbort));
    EXPECT_EQ(Read(h, 16).first.size(), 16u);  // the abort dropped nothing
    Write(h, Request(1, 1, std::vector<uint8_t>{}));
    EXPECT_TRUE(usb_.W32_PurgeComm(h, platform::kPurgeTxClear));
    EXPECT_FALSE(converter_->TransmitPending());
    EXPECT_TRUE(Read(h, 16).first.empty());
    EXPECT_TRUE(usb_.W32_CloseHandle(h));
}

TEST_F(SimUsbBackendTest, ConverterOpensByDescriptionAndCarriesTheSensor) {
    EXPECT_EQ(OpenW32("No Such Device"), platform::kInvalidHandle);
    FT_HANDLE h = OpenW32(kConverterDescription);
    ASSERT_NE(h, platform::kInvalidHandle);
    ASSERT_NE(h, nullptr);
    SetTimeouts(h, 500, 500, 50);
    Write(h, Request(1, 1, std::vector<uint8_t>{}));
    auto [reply, took] = Read(h, 16);
    ASSERT_EQ(reply.size(), 16u);
    EXPECT_EQ(Decode(reply)[0], 20);
    EXPECT_TRUE(usb_.W32_CloseHandle(h));
    EXPECT_FALSE(usb_.W32_CloseHandle(h)) << "a closed handle is refused";
    uint32_t got = 0;
    uint8_t b = 0;
    EXPECT_FALSE(usb_.W32_ReadFile(h, &b, 1, &got));
}

TEST_F(SimUsbBackendTest, DeviceOpensOnceAtATime) {
    FT_HANDLE h = OpenW32(kAdapterDescription);
    ASSERT_NE(h, platform::kInvalidHandle);
    EXPECT_EQ(OpenW32(kAdapterDescription), platform::kInvalidHandle);
    FT_HANDLE classic = nullptr;
    EXPECT_EQ(usb_.OpenEx(kAdapterDescription, platform::FT_OPEN_BY_DESCRIPTION, &classic),
              platform::FT_DEVICE_NOT_OPENED);
    EXPECT_FALSE(SetAdapterLine(1)) << "the adapter line cannot switch while the link holds it";
    EXPECT_TRUE(usb_.W32_CloseHandle(h));
    EXPECT_TRUE(SetAdapterLine(1));
    EXPECT_EQ(usb_.OpenEx("PLSIM001", platform::FT_OPEN_BY_SERIAL_NUMBER, &classic),
              platform::FT_OK);
    EXPECT_EQ(usb_.Close(classic), platform::FT_OK);
    EXPECT_EQ(usb_.OpenEx("nothing", platform::FT_OPEN_BY_DESCRIPTION, &classic),
              platform::FT_DEVICE_NOT_FOUND);
}

TEST_F(SimUsbBackendTest, AdapterSensorAnswersOnlyWhileCbus3IsHigh) {
    EXPECT_EQ(adapter_->Cbus3Level(), 0);
    FT_HANDLE h = OpenW32(kAdapterDescription);
    SetTimeouts(h, 20, 20, 20);
    Write(h, Request(1, 1, std::vector<uint8_t>{}));
    EXPECT_TRUE(Read(h, 16).first.empty()) << "unpowered";
    EXPECT_EQ(adapterSensor_.Counters().bytesReceived, 0u);
    usb_.W32_CloseHandle(h);

    ASSERT_TRUE(SetAdapterLine(1));
    EXPECT_TRUE(adapter_->Powered());
    h = OpenW32(kAdapterDescription);
    SetTimeouts(h, 20, 20, 20);
    Write(h, Request(1, 1, std::vector<uint8_t>{}));
    EXPECT_EQ(Read(h, 16).first.size(), 16u);
    usb_.W32_CloseHandle(h);

    ASSERT_TRUE(SetAdapterLine(0));
    EXPECT_FALSE(adapter_->Powered());
    const std::vector<std::pair<uint8_t, uint8_t>> expected = {{0x88, 0x20}, {0x80, 0x20}};
    EXPECT_EQ(adapter_->BitModeHistory(), expected);
    const UsbCallCounters c = usb_.Counters();
    EXPECT_EQ(c.setBitMode, 2u);
    EXPECT_EQ(c.openEx, 2u);
}

TEST_F(SimUsbBackendTest, PowerUpBootsTheAdapterSensorFromFlash) {
    ASSERT_TRUE(SetAdapterLine(1));
    adapterSensor_.SetParam(0x06, 7);  // a working value never stored
    ASSERT_TRUE(SetAdapterLine(0));
    ASSERT_TRUE(SetAdapterLine(1));
    EXPECT_EQ(adapterSensor_.Param(0x06), 1);
}

TEST_F(SimUsbBackendTest, ReadTimeOutFollowsTheWin32Rule) {
    FT_HANDLE h = OpenW32(kConverterDescription);
    // Total rule: nothing comes, the read ends after multiplier x n + constant.
    SetTimeouts(h, 0, 10, 30);
    auto [none, took] = Read(h, 4);
    EXPECT_TRUE(none.empty());
    EXPECT_GE(took.count(), 70 - 2);
    EXPECT_LT(took.count(), 70 + 600);

    // Interval rule: after the first bytes a gap longer than the interval ends the read,
    // long before the total time-out.
    SetTimeouts(h, 20, 500, 50);
    Write(h, Request(1, 6, std::vector<uint8_t>{}));
    auto [some, tookSome] = Read(h, 16);
    EXPECT_EQ(some.size(), 4u);
    EXPECT_GE(tookSome.count(), 20 - 2);
    EXPECT_LT(tookSome.count(), 500);

    // Return at once: interval MAXDWORD with zero total time-outs.
    SetTimeouts(h, 0xFFFFFFFFu, 0, 0);
    auto [empty, tookEmpty] = Read(h, 4);
    EXPECT_TRUE(empty.empty());
    EXPECT_LT(tookEmpty.count(), 500);  // no time-out: it would never end
    usb_.W32_CloseHandle(h);
}

TEST_F(SimUsbBackendTest, DelayedReplyArrivesWithinTheTotalTimeOut) {
    FT_HANDLE h = OpenW32(kConverterDescription);
    SetTimeouts(h, 500, 500, 50);
    converterSensor_.SetReplyDelayMs(40);
    Write(h, Request(1, 6, std::vector<uint8_t>{}));
    auto [reply, took] = Read(h, 4);
    EXPECT_EQ(reply.size(), 4u);
    EXPECT_GE(took.count(), 40 - 2);
    usb_.W32_CloseHandle(h);
}

TEST_F(SimUsbBackendTest, WakeEndsAReadInProgress) {
    FT_HANDLE h = OpenW32(kConverterDescription);
    SetTimeouts(h, 500, 500, 5000);
    std::thread waker([&] {
        std::this_thread::sleep_for(Ms(30));
        usb_.W32_Wake(h);
    });
    auto [bytes, took] = Read(h, 4);
    waker.join();
    EXPECT_TRUE(bytes.empty());
    EXPECT_LT(took.count(), 1000);

    // A wake with no read running ends the next read, unless a write comes first.
    usb_.W32_Wake(h);
    EXPECT_LT(Read(h, 4).second.count(), 100);
    usb_.W32_Wake(h);
    Write(h, Request(1, 6, std::vector<uint8_t>{}));
    EXPECT_EQ(Read(h, 4).first.size(), 4u);
    usb_.W32_CloseHandle(h);
}

TEST_F(SimUsbBackendTest, StreamOverTheConverterAndPurge) {
    FT_HANDLE h = OpenW32(kConverterDescription);
    SetTimeouts(h, 500, 500, 50);
    Write(h, Request(1, 7, std::vector<uint8_t>{}));
    for (int i = 0; i < 20; ++i) {
        auto [sample, took] = Read(h, 4);
        ASSERT_EQ(sample.size(), 4u);
        EXPECT_EQ((sample[0] >> 4) & 7, i % 8);
    }
    std::this_thread::sleep_for(Ms(20));
    EXPECT_TRUE(usb_.W32_PurgeComm(h, platform::kPurgeRxClear | platform::kPurgeTxClear));
    Write(h, Request(1, 8, std::vector<uint8_t>{0, 0}));
    // The stop leaves the chip at the line rate; samples under way until then are dropped.
    std::this_thread::sleep_for(Ms(20));
    EXPECT_TRUE(usb_.W32_PurgeComm(h, platform::kPurgeRxClear));
    Write(h, Request(1, 2, std::vector<uint8_t>{0x03}));
    EXPECT_EQ(Decode(Read(h, 2).first), std::vector<uint8_t>{1}) << "the reply after the purge";
    usb_.W32_CloseHandle(h);
}

TEST_F(SimUsbBackendTest, ClassicCallsHaveNoBoardYet) {
    uint32_t count = 99;
    EXPECT_EQ(usb_.ListDevices(&count, nullptr, platform::FT_LIST_NUMBER_ONLY), platform::FT_OK);
    EXPECT_EQ(count, 0u);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(usb_.Open(0, &h), platform::FT_DEVICE_NOT_FOUND);
    char text[64] = {};
    EXPECT_EQ(usb_.ListDevices(reinterpret_cast<void*>(uintptr_t{0}), text,
                               platform::FT_LIST_BY_INDEX | platform::FT_OPEN_BY_DESCRIPTION),
              platform::FT_DEVICE_NOT_FOUND);
    uint32_t got = 0;
    uint8_t b = 0;
    EXPECT_EQ(usb_.Read(nullptr, &b, 1, &got), platform::FT_INVALID_HANDLE);
    EXPECT_EQ(usb_.SetBitMode(reinterpret_cast<FT_HANDLE>(0x1234), 0x88, 0x20),
              platform::FT_INVALID_HANDLE);
}

}  // namespace
}  // namespace veska::sim
