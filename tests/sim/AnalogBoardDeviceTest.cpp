// The simulated analog board on its own, as the bus reaches it: listing, opening, the
// EEPROM user area, the configuration pins and the register commands.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "sim/AnalogBoardDevice.h"
#include "sim/SimUsbBackend.h"
#include "sim/TriggerSource.h"
#include "sim/World.h"

namespace {

using veska::platform::FT_HANDLE;
using veska::platform::FT_OK;
using veska::sim::SimAnalogBoard;

class AnalogBoardDeviceTest : public ::testing::Test {
  protected:
    AnalogBoardDeviceTest() {
        veska::sim::AnalogBoardOptions options;
        options.serialNumber = "VOKT.321";
        options.configurationBits = 12;
        board = &static_cast<SimAnalogBoard&>(
            bus.AddDevice(std::make_unique<SimAnalogBoard>(world, options)));
    }

    FT_HANDLE Open() {
        FT_HANDLE h = nullptr;
        EXPECT_EQ(bus.Open(0, &h), FT_OK);
        return h;
    }
    void Write(FT_HANDLE h, std::vector<uint8_t> bytes) {
        uint32_t written = 0;
        ASSERT_EQ(bus.Write(h, bytes.data(), uint32_t(bytes.size()), &written), FT_OK);
        ASSERT_EQ(written, bytes.size());
    }
    /// Clocks bits out on pin 7 with pin 6 rising, as a configuration does.
    void Configure(FT_HANDLE h, const std::vector<int>& bits) {
        ASSERT_EQ(bus.SetBitMode(h, 0xFF, 1), FT_OK);
        std::vector<uint8_t> pins = {0x01, 0x03};
        for (int bit : bits) {
            pins.push_back(bit ? 0x83 : 0x03);
            pins.push_back(bit ? 0xC3 : 0x43);
        }
        pins.push_back(0x00);
        Write(h, pins);
        ASSERT_EQ(bus.SetBitMode(h, 0xFF, 0), FT_OK);
        ASSERT_EQ(bus.Purge(h, 1), FT_OK);
    }
    uint32_t Queued(FT_HANDLE h) {
        uint32_t n = 0;
        EXPECT_EQ(bus.GetQueueStatus(h, &n), FT_OK);
        return n;
    }

    veska::sim::World world;
    veska::sim::SimUsbBackend bus;
    SimAnalogBoard* board = nullptr;
};

TEST_F(AnalogBoardDeviceTest, ListedByItsSerialNumberAndOpenedOnce) {
    uint32_t count = 0;
    ASSERT_EQ(bus.ListDevices(&count, nullptr, veska::platform::FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);
    char serial[64] = {};
    ASSERT_EQ(bus.ListDevices(nullptr, serial, 0x40000001u), FT_OK);
    EXPECT_STREQ(serial, "VOKT.321");
    const FT_HANDLE h = Open();
    FT_HANDLE second = nullptr;
    EXPECT_NE(bus.Open(0, &second), FT_OK);
    EXPECT_EQ(bus.W32_CreateFile("VOKT.321", 0, 0, 0, 1), veska::platform::kInvalidHandle);
    EXPECT_EQ(bus.Close(h), FT_OK);
}

TEST_F(AnalogBoardDeviceTest, EepromUserAreaHoldsOffsetThenGain) {
    const FT_HANDLE h = Open();
    uint8_t area[6] = {};
    uint32_t read = 0;
    ASSERT_EQ(bus.EE_UARead(h, area, 6, &read), FT_OK);
    EXPECT_EQ(read, 6u);
    EXPECT_EQ(area[0] | area[1] << 8, 0x8025);
    float gain = 0;
    std::memcpy(&gain, area + 2, 4);
    EXPECT_EQ(gain, 0.0004f);
    uint8_t tooMuch[64];
    EXPECT_EQ(bus.EE_UARead(h, tooMuch, 33, &read), veska::platform::FT_INVALID_PARAMETER);
}

TEST_F(AnalogBoardDeviceTest, TheQueryIsAnsweredOnlyAfterACompleteConfiguration) {
    const FT_HANDLE h = Open();
    struct Case {
        const char* name;
        std::vector<int> bits;
        bool configured;
    } const cases[] = {
        {"one bit short", {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1}, false},
        {"complete", {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0}, true},
        {"one bit over", {1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0, 1}, false},
    };
    for (const Case& c : cases) {
        Configure(h, c.bits);
        EXPECT_EQ(board->Configured(), c.configured) << c.name;
        Write(h, {0xEA});
        EXPECT_EQ(Queued(h), c.configured ? 1u : 0u) << c.name;
        ASSERT_EQ(bus.Purge(h, 1), FT_OK);
    }
    EXPECT_EQ(board->ReceivedConfiguration(), (std::vector<uint8_t>{0x4D, 0x17}))
        << "least significant bit first";
}

TEST_F(AnalogBoardDeviceTest, PinsAreReadBackInBitBangMode) {
    const FT_HANDLE h = Open();
    ASSERT_EQ(bus.SetBitMode(h, 0xFF, 1), FT_OK);
    Write(h, {0x01, 0x03, 0x43});
    EXPECT_EQ(Queued(h), 3u);
}

TEST_F(AnalogBoardDeviceTest, RegistersTakeTheirNibbles) {
    const FT_HANDLE h = Open();
    Configure(h, std::vector<int>(12, 1));
    Write(h, {0x02, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0xD5, 0xC1});
    EXPECT_EQ(board->Register0(), 498u);
    EXPECT_EQ(board->ChannelMask(), 0x15);
    EXPECT_DOUBLE_EQ(board->SampleRate(), 100000.0);  // 50 MHz / (498 + 2)
    Write(h, {0x06, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    EXPECT_DOUBLE_EQ(board->SampleRate(), 500000.0 / 3);  // the chip's limit, three channels
    Write(h, {0xE2});
    EXPECT_TRUE(board->Acquiring());
    for (uint8_t stop : {0xE1, 0xE4, 0xE7, 0xEC}) {
        Write(h, {0xE2});
        Write(h, {stop});
        EXPECT_FALSE(board->Acquiring()) << int(stop);
    }
}

/// Pulse k comes k ms after t0 with the target k mm beyond the base; pulses have come.
class ScriptedPulses final : public veska::sim::TargetSource, public veska::sim::TriggerSource {
  public:
    explicit ScriptedPulses(TimePoint t0) : t0_(t0) {}
    double TargetMmAt(TimePoint at) const override {
        return 80.0 + std::chrono::duration<double, std::milli>(at - t0_).count();
    }
    uint64_t PulsesUntil(TimePoint) const override { return pulses; }
    TimePoint NextPulseAfter(TimePoint) const override { return TimePoint::max(); }
    TimePoint PulseTime(uint64_t k) const override { return t0_ + std::chrono::milliseconds(k); }
    TimePoint ExposureTime(uint64_t, TimePoint now) const override { return now; }
    uint64_t pulses = 0;

  private:
    TimePoint t0_;
};

TEST_F(AnalogBoardDeviceTest, RegisterFBitTwoSamplesOnceAPulseWithTheOutputOfThatPulse) {
    ScriptedPulses line(std::chrono::steady_clock::now() - std::chrono::seconds(1));
    world.DriveTarget(&line);  // no output stage: 0 .. 10 V over the 50 mm range
    board->ConnectTrigger(&line);
    const FT_HANDLE h = Open();
    Configure(h, std::vector<int>(12, 1));
    line.pulses = 3;  // before the start: not taken
    Write(h, {0xD1, 0xC0, 0xF4, 0xE2});
    EXPECT_EQ(Queued(h), 0u);
    line.pulses = 8;
    ASSERT_EQ(Queued(h), 10u);
    uint8_t bytes[10] = {};
    uint32_t got = 0;
    ASSERT_EQ(bus.Read(h, bytes, 10, &got), FT_OK);
    const veska::sim::AnalogBoardOptions o;  // the default coefficients
    for (int i = 0; i < 5; ++i) {
        const int word = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        const double volts = o.gain * (word + 0x8000 - o.offset) * 500.0 / 454.5;
        EXPECT_NEAR(volts, 10.0 * (4 + i) / 50.0, 0.002) << "pulse " << 4 + i;
    }
    world.DriveTarget(nullptr);
    board->ConnectTrigger(nullptr);
}

TEST_F(AnalogBoardDeviceTest, AnUnpluggedBoardFailsEverything) {
    const FT_HANDLE h = Open();
    board->SetUnplugged(true);
    uint32_t n = 0;
    uint8_t b = 0;
    EXPECT_NE(bus.Write(h, &b, 1, &n), FT_OK);
    EXPECT_NE(bus.Read(h, &b, 1, &n), FT_OK);
    EXPECT_NE(bus.GetQueueStatus(h, &n), FT_OK);
    uint32_t count = 9;
    ASSERT_EQ(bus.ListDevices(&count, nullptr, veska::platform::FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 0u);
}

}  // namespace
