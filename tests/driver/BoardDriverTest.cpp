// The driver's exports against a recording fake D2XX backend and the fake clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "driver/BoardDriver.h"
#include "driver/Images.h"
#include "tests/driver/FakeBoardUsb.h"

namespace {

using veska::driver::BoardDriver;
using veska::testing::FakeBoardUsb;
using Bytes = std::vector<uint8_t>;

/// One small image for every id: 16 bits.
class TinyImages final : public veska::driver::ImageSource {
  public:
    veska::driver::ImageStatus status = veska::driver::kImageOk;
    std::vector<uint32_t> asked;
    veska::driver::ImageStatus Find(uint32_t id, const char*,
                                    std::span<const uint8_t>& bytes) override {
        asked.push_back(id);
        bytes = image_;
        return status;
    }

  private:
    Bytes image_ = {16, 0, 0, 0, 2, 0, 0, 0, 0xA5, 0x0F};
};

class BoardDriverTest : public ::testing::Test {
  protected:
    veska::platform::FakeClock clock;
    FakeBoardUsb usb{clock};
    TinyImages images;
    BoardDriver driver{&usb, clock, images};

    /// Lists the devices and locks slot 0; the calls so far are forgotten.
    void LockSlot0(std::vector<std::string> serials = {"VOKT.001"}) {
        usb.serials = std::move(serials);
        uint32_t count = 0;
        ASSERT_EQ(driver.GetDevicesCnt(&count), 0);
        ASSERT_EQ(driver.LockDevice(0), 0);
        usb.calls.clear();
        clock.sleeps.clear();
    }
};

TEST_F(BoardDriverTest, WithoutUsbEveryExportButTheVersionIsNotReady) {
    BoardDriver absent(nullptr, clock, images);
    uint32_t n = 0;
    float gain = 0;
    int16_t offset = 0;
    uint8_t b = 0;
    uint32_t len = 1;
    DeviceConfig config{};
    EXPECT_EQ(absent.GetDLLVersion(), 2);
    EXPECT_EQ(absent.GetDevicesCnt(&n), 2);
    EXPECT_EQ(absent.GetDevicesCnt(nullptr), 2);
    EXPECT_EQ(absent.GetDeviceSerialNumber(0, &n), 2);
    EXPECT_EQ(absent.LockDevice(0), 2);
    EXPECT_EQ(absent.GetCoefs(0, &gain, &offset), 2);
    EXPECT_EQ(absent.ConfigDevice(0, &config), 2);
    EXPECT_EQ(absent.StartDevice(0), 2);
    EXPECT_EQ(absent.GetDeviceData(0, &b, &len, &b), 2);
    EXPECT_EQ(absent.StopDevice(0), 2);
    EXPECT_EQ(absent.ClearBuffer(0), 2);
    EXPECT_EQ(absent.UnlockDevice(0), 2);
    EXPECT_EQ(driver.GetDLLVersion(), 204);
}

TEST_F(BoardDriverTest, ListsTheBoardsByTheirSerialNumbers) {
    struct Case {
        const char* name;
        std::vector<std::string> serials;
        std::vector<uint32_t> numbers;
    } const cases[] = {
        {"none", {}, {}},
        {"others skipped", {"FT12AB", "VOKT.042A", "vokt.7", "VOKT7", "VOKT.1234"}, {42, 123}},
        {"duplicates both listed", {"VOKT.5", "VOKT.5"}, {5, 5}},
        {"at most ten",
         {"VOKT.0", "VOKT.1", "VOKT.2", "VOKT.3", "VOKT.4", "VOKT.5", "VOKT.6", "VOKT.7", "VOKT.8",
          "VOKT.9", "VOKT.10"},
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const Case& c : cases) {
        usb.serials = c.serials;
        uint32_t count = 99;
        EXPECT_EQ(driver.GetDevicesCnt(&count), 0) << c.name;
        ASSERT_EQ(count, c.numbers.size()) << c.name;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t number = 0;
            EXPECT_EQ(driver.GetDeviceSerialNumber(i, &number), 0);
            EXPECT_EQ(number, c.numbers[i]) << c.name << " slot " << i;
        }
        uint32_t number = 0;
        EXPECT_EQ(driver.GetDeviceSerialNumber(count, &number), 3) << c.name;
    }
}

TEST_F(BoardDriverTest, AFailedListingLeavesNoBoard) {
    usb.serials = {"VOKT.1"};
    uint32_t count = 0;
    ASSERT_EQ(driver.GetDevicesCnt(&count), 0);
    usb.listFails = true;
    EXPECT_EQ(driver.GetDevicesCnt(&count), 3);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(driver.BoardCount(), 0u);
    EXPECT_EQ(driver.LockDevice(0), 3);
}

TEST_F(BoardDriverTest, ChecksTheIndexBeforeThePointers) {
    usb.serials = {"VOKT.1"};
    uint32_t count = 0;
    ASSERT_EQ(driver.GetDevicesCnt(&count), 0);
    EXPECT_EQ(driver.GetDevicesCnt(nullptr), 5);
    struct Case {
        const char* name;
        int32_t (*call)(BoardDriver&, uint32_t);
    } const cases[] = {
        {"GetDeviceSerialNumber",
         [](BoardDriver& d, uint32_t i) { return d.GetDeviceSerialNumber(i, nullptr); }},
        {"GetCoefs gain",
         [](BoardDriver& d, uint32_t i) {
             int16_t o;
             return d.GetCoefs(i, nullptr, &o);
         }},
        {"GetCoefs offset",
         [](BoardDriver& d, uint32_t i) {
             float g;
             return d.GetCoefs(i, &g, nullptr);
         }},
        {"ConfigDevice", [](BoardDriver& d, uint32_t i) { return d.ConfigDevice(i, nullptr); }},
        {"GetDeviceData buffer",
         [](BoardDriver& d, uint32_t i) {
             uint32_t l = 1;
             uint8_t o;
             return d.GetDeviceData(i, nullptr, &l, &o);
         }},
        {"GetDeviceData length",
         [](BoardDriver& d, uint32_t i) {
             uint8_t b, o;
             return d.GetDeviceData(i, &b, nullptr, &o);
         }},
        {"GetDeviceData overflow",
         [](BoardDriver& d, uint32_t i) {
             uint32_t l = 1;
             uint8_t b;
             return d.GetDeviceData(i, &b, &l, nullptr);
         }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(driver, 1), 3) << c.name << ": index equal to the count";
        EXPECT_EQ(c.call(driver, 0), 5) << c.name << ": null with a valid index";
    }
    EXPECT_TRUE(usb.Names() == std::vector<std::string>({"ListDevices", "ListDevices"}))
        << "no device was touched";
}

TEST_F(BoardDriverTest, LockOpensTheFirstDeviceWithTheNumberAndLoadsItsImage) {
    LockSlot0({"FT0001", "VOKT.700", "VOKT.699", "VOKT.699"});
    EXPECT_EQ(images.asked, std::vector<uint32_t>{102});
    images.asked.clear();
    ASSERT_EQ(driver.UnlockDevice(0), 0);
    usb.calls.clear();
    ASSERT_EQ(driver.LockDevice(1), 0);  // slot 1: board 699, device index 2 (not 3)
    EXPECT_EQ(images.asked, std::vector<uint32_t>{101});
    ASSERT_GE(usb.calls.size(), 4u);
    const auto open = std::find_if(usb.calls.begin(), usb.calls.end(),
                                   [](const auto& c) { return c.name == "Open"; });
    ASSERT_NE(open, usb.calls.end());
    EXPECT_EQ(open->arg, 2u);
    EXPECT_EQ(open[1].name, "ResetDevice");
    EXPECT_EQ(open[2].name, "SetTimeouts");
    EXPECT_EQ(open[2].arg, 300u);
    EXPECT_EQ(open[3].name, "Purge");
    EXPECT_EQ(open[3].arg, 1u);
}

TEST_F(BoardDriverTest, TheImageLoadSendsItsSequence) {
    LockSlot0();
    ASSERT_EQ(driver.LoadImage(0, 101), 0);
    Bytes expected = {0xE7, 0x01, 0x03};
    for (int i = 0; i < 16; ++i) {  // 0xA5 0x0F, least significant bit first
        const bool bit = (i < 8 ? (0xA5 >> i) : (0x0F >> (i - 8))) & 1;
        expected.push_back(bit ? 0x83 : 0x03);
        expected.push_back(bit ? 0xC3 : 0x43);
    }
    expected.insert(expected.end(), {0x00, 0x70, 0x60, 0x50, 0x40, 0x30, 0x20, 0x12, 0x08, 0xB0,
                                     0xA0, 0x90, 0x81, 0xF0, 0xE8, 0xE9, 0xEA});
    EXPECT_EQ(usb.Written(), expected);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1, 1, 1000, 1, 100}));
}

TEST_F(BoardDriverTest, LockStatusesOfTheImageLoad) {
    struct Case {
        const char* name;
        veska::driver::ImageStatus image;
        std::vector<uint8_t> answer;
        int32_t result;
        int attempts;
    } const cases[] = {
        {"answered", veska::driver::kImageOk, {0x11}, 0, 1},
        {"wrong answer", veska::driver::kImageOk, {0x12, 0x11}, 1, 10},
        {"no answer", veska::driver::kImageOk, {}, 1, 10},
        {"image missing", veska::driver::kImageNotFound, {0x11}, 1, 1},
        {"image unloadable", veska::driver::kImageLoadFailed, {0x11}, 1, 1},
        {"image unlockable", veska::driver::kImageLockFailed, {0x11}, 1, 1},
    };
    for (const Case& c : cases) {
        FakeBoardUsb fresh(clock);
        fresh.serials = {"VOKT.3"};
        fresh.queryAnswer = c.answer;
        images.status = c.image;
        BoardDriver d(&fresh, clock, images);
        uint32_t count = 0;
        ASSERT_EQ(d.GetDevicesCnt(&count), 0);
        EXPECT_EQ(d.LockDevice(0), c.result) << c.name;
        int prepares = 0;
        for (const auto& call : fresh.calls)
            prepares += call.name == "Write" && call.bytes == Bytes{0xE7};
        EXPECT_EQ(prepares, c.attempts) << c.name;
        // A failed lock closes the device again, so that another program or try can open it.
        EXPECT_EQ(d.Locked(0), c.result == 0) << c.name;
        EXPECT_EQ(fresh.Count("Close"), c.result == 0 ? 0 : 1) << c.name;
    }
}

TEST_F(BoardDriverTest, AUsbFailureDuringTheLoadIsRetried) {
    usb.serials = {"VOKT.3"};
    usb.Fail("SetBitMode", 1);  // the first attempt cannot enter bit-bang mode
    uint32_t count = 0;
    ASSERT_EQ(driver.GetDevicesCnt(&count), 0);
    EXPECT_EQ(driver.LockDevice(0), 0);
    EXPECT_EQ(usb.Count("SetBaudRate"), 2);
}

TEST_F(BoardDriverTest, LockFailsWhenTheBoardIsGone) {
    usb.serials = {"VOKT.3"};
    uint32_t count = 0;
    ASSERT_EQ(driver.GetDevicesCnt(&count), 0);
    usb.serials = {"VOKT.4"};
    EXPECT_EQ(driver.LockDevice(0), 1);
    EXPECT_FALSE(driver.Locked(0));
}

TEST_F(BoardDriverTest, CoefficientsComeFromTheEepromUserArea) {
    LockSlot0();
    float gain = 0;
    int16_t offset = 0;
    ASSERT_EQ(driver.GetCoefs(0, &gain, &offset), 0);
    EXPECT_EQ(static_cast<uint16_t>(offset), 0x8000);
    EXPECT_EQ(gain, 1.0f);
    EXPECT_EQ(usb.calls.back().arg, 6u);

    usb.Fail("EE_UARead", 2);
    gain = 7;
    offset = 7;
    EXPECT_EQ(driver.GetCoefs(0, &gain, &offset), 1);
    EXPECT_EQ(gain, 7.0f);
    EXPECT_EQ(offset, 7);
}

TEST_F(BoardDriverTest, ConfigDeviceWritesAndItsFailureCodes) {
    LockSlot0();
    DeviceConfig sweep{};
    sweep.reg0Value = 500;
    sweep.reg8Value = 1;
    sweep.channelOn[0] = 1;
    ASSERT_EQ(driver.ConfigDevice(0, &sweep), 0);
    EXPECT_EQ(usb.Written(),
              (Bytes{0xE1, 0xD1, 0xC0, 0x02, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
                     0xB0, 0xA0, 0x90, 0x81, 0xF0, 0x30, 0x30, 0x30, 0x30, 0x11, 0x1F}));
    EXPECT_EQ(driver.ChannelCount(0), 1);
    // The nth write of the configuration fails: the code of its step.
    const int32_t codes[] = {3, 1, 3, 1, 1, 3, 3, 3};
    for (int nth = 1; nth <= 8; ++nth) {
        for (bool shortWrite : {false, true}) {
            FakeBoardUsb fresh(clock);
            fresh.serials = {"VOKT.1"};
            BoardDriver d(&fresh, clock, images);
            uint32_t count = 0;
            ASSERT_EQ(d.GetDevicesCnt(&count), 0);
            ASSERT_EQ(d.LockDevice(0), 0);
            fresh.Fail("Write", fresh.Count("Write") + nth, shortWrite);
            EXPECT_EQ(d.ConfigDevice(0, &sweep), codes[nth - 1])
                << "write " << nth << (shortWrite ? " short" : " failed");
        }
    }
}

TEST_F(BoardDriverTest, OperationsOnAnUnlockedSlotFail) {
    usb.serials = {"VOKT.1"};
    uint32_t count = 0;
    ASSERT_EQ(driver.GetDevicesCnt(&count), 0);
    DeviceConfig config{};
    config.reg0Value = 500;
    config.channelOn[3] = 1;
    float gain;
    int16_t offset;
    uint8_t b[4], overflow;
    uint32_t len = 4;
    EXPECT_EQ(driver.ConfigDevice(0, &config), 1);
    EXPECT_EQ(driver.GetCoefs(0, &gain, &offset), 1);
    EXPECT_EQ(driver.StartDevice(0), 1);
    EXPECT_EQ(driver.GetDeviceData(0, b, &len, &overflow), 1);
    EXPECT_EQ(driver.StopDevice(0), 1);
    EXPECT_EQ(driver.ClearBuffer(0), 1);
    EXPECT_EQ(driver.UnlockDevice(0), 1);
    EXPECT_EQ(usb.Count("Write"), 0);
}

TEST_F(BoardDriverTest, StartAndStopSequences) {
    LockSlot0();
    ASSERT_EQ(driver.StartDevice(0), 0);
    ASSERT_EQ(driver.StopDevice(0), 0);
    const std::vector<std::string> names = {"Purge", "Write", "Purge", "Write", "Write", "Purge"};
    EXPECT_EQ(usb.Names(), names);
    EXPECT_EQ(usb.calls[0].arg, 3u);
    EXPECT_EQ(usb.calls[2].arg, 1u);
    EXPECT_EQ(usb.Written(), (Bytes{0xE1, 0xE2, 0xE4}));
    usb.Fail("Write", 5);
    EXPECT_EQ(driver.StartDevice(0), 1);
}

TEST_F(BoardDriverTest, ImmediateReadTakesWhatIsQueuedAndNeverSleeps) {
    LockSlot0();
    usb.rx = {1, 2, 3, 4, 5};
    uint8_t buffer[16] = {};
    uint32_t length = 0x80000010u;
    uint8_t overflow = 9;
    ASSERT_EQ(driver.GetDeviceData(0, buffer, &length, &overflow), 0);
    EXPECT_EQ(length, 5u);
    EXPECT_EQ(overflow, 0);
    EXPECT_EQ(Bytes(buffer, buffer + 5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_EQ(usb.Names(), (std::vector<std::string>{"GetQueueStatus", "Read", "GetQueueStatus"}));

    usb.calls.clear();
    length = 0x80000010u;
    ASSERT_EQ(driver.GetDeviceData(0, buffer, &length, &overflow), 0);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(usb.Names(), (std::vector<std::string>{"GetQueueStatus"}));
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST_F(BoardDriverTest, ImmediateReadDrainsABackendThatQueuesOneTransferAtATime) {
    LockSlot0();
    usb.transferBytes = 3968;  // libftdi reports what one USB transfer brought
    usb.rx.assign(size_t{52290}, uint8_t{0x5A});
    std::vector<uint8_t> buffer(65536);
    uint32_t length = static_cast<uint32_t>(buffer.size()) | 0x80000000u;
    uint8_t overflow = 0;
    ASSERT_EQ(driver.GetDeviceData(0, buffer.data(), &length, &overflow), 0);
    EXPECT_EQ(length, 52290u);
    EXPECT_TRUE(usb.rx.empty());
    EXPECT_TRUE(clock.sleeps.empty());

    usb.rx.assign(size_t{10000},
                  uint8_t{0x5A});  // a smaller buffer takes what fits and leaves the rest
    length = 6000u | 0x80000000u;
    ASSERT_EQ(driver.GetDeviceData(0, buffer.data(), &length, &overflow), 0);
    EXPECT_EQ(length, 6000u);
    EXPECT_EQ(usb.rx.size(), 4000u);
}

TEST_F(BoardDriverTest, WaitingReadReturnsWhenAllHaveCome) {
    LockSlot0();
    const uint32_t t0 = clock.now;
    usb.arrivals = {
        {t0 + 5, Bytes(6, 0xA0)}, {t0 + 12, Bytes(10, 0xB0)}, {t0 + 20, Bytes(4, 0xC0)}};
    uint8_t buffer[16] = {};
    uint32_t length = 16;
    uint8_t overflow = 9;
    ASSERT_EQ(driver.GetDeviceData(0, buffer, &length, &overflow), 0);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(clock.now, t0 + 12);
    EXPECT_EQ(usb.rx.size(), 0u);
    EXPECT_EQ(buffer[15], 0xB0);
}

TEST_F(BoardDriverTest, WaitingReadGivesUpAfterTwoSecondsWithoutAByte) {
    LockSlot0();
    const uint32_t t0 = clock.now;
    usb.arrivals = {{t0 + 100, Bytes(3, 0x42)}};
    uint8_t buffer[16] = {};
    uint32_t length = 16;
    uint8_t overflow = 9;
    ASSERT_EQ(driver.GetDeviceData(0, buffer, &length, &overflow), 0);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(clock.now, t0 + 2100);
}

TEST_F(BoardDriverTest, AFailedReadLeavesLengthWithoutTheModeBit) {
    LockSlot0();
    usb.rx = {1, 2};
    usb.Fail("Read", 1);
    uint8_t buffer[16] = {};
    uint32_t length = 0x80000010u;
    uint8_t overflow = 9;
    EXPECT_EQ(driver.GetDeviceData(0, buffer, &length, &overflow), 1);
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(overflow, 9);
}

TEST_F(BoardDriverTest, AMarkerRunSplitOverTwoCallsIsOverflowUntilStartDevice) {
    LockSlot0();
    const Bytes four(4, 0x11);
    uint8_t buffer[16];
    uint8_t overflow = 0;
    auto read = [&]() {
        uint32_t length = 0x80000010u;
        EXPECT_EQ(driver.GetDeviceData(0, buffer, &length, &overflow), 0);
        return overflow;
    };
    usb.rx.assign(four.begin(), four.end());
    EXPECT_EQ(read(), 0);
    usb.rx.assign(four.begin(), four.end());
    EXPECT_EQ(read(), 1);

    usb.rx.assign(four.begin(), four.end());
    EXPECT_EQ(read(), 1) << "the run goes on";
    ASSERT_EQ(driver.StartDevice(0), 0);
    usb.rx.assign(four.begin(), four.end());
    EXPECT_EQ(read(), 0) << "StartDevice resets the run";
    EXPECT_EQ(driver.MarkerRun(0), 4);
}

TEST_F(BoardDriverTest, ClearBufferTakesOnePassOnAnEmptyQueue) {
    LockSlot0();
    ASSERT_EQ(driver.ClearBuffer(0), 0);
    EXPECT_EQ(clock.sleeps, std::vector<uint32_t>{100});

    clock.sleeps.clear();
    usb.rx.assign(70000, 0x55);
    ASSERT_EQ(driver.ClearBuffer(0), 0);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100, 100, 100}));
    EXPECT_TRUE(usb.rx.empty());
}

TEST_F(BoardDriverTest, ClearBufferGivesUpOnABoardThatKeepsSending) {
    LockSlot0();
    for (uint32_t t = 0; t <= 6000; t += 100)
        usb.arrivals.push_back({clock.now + t, Bytes(100, 0x22)});
    EXPECT_EQ(driver.ClearBuffer(0), 1);
    EXPECT_EQ(clock.sleeps.size(), 50u);
}

TEST_F(BoardDriverTest, UnlockParksTheBoardAndClosesOnce) {
    LockSlot0();
    EXPECT_EQ(driver.UnlockDevice(0), 0);
    EXPECT_EQ(usb.Written(), (Bytes{0xEC, 0xE1, 0x00}));
    EXPECT_EQ(usb.Names(),
              (std::vector<std::string>{"Write", "Write", "SetBitMode", "Write", "Close"}));
    EXPECT_EQ(driver.UnlockDevice(0), 1);
    EXPECT_EQ(usb.Count("Close"), 1);
}

TEST_F(BoardDriverTest, UnlockClosesEvenWhenParkingFails) {
    LockSlot0();
    usb.Fail("Write", 1);
    EXPECT_EQ(driver.UnlockDevice(0), 0);
    EXPECT_EQ(usb.Names(), (std::vector<std::string>{"Write", "Close"}));
    EXPECT_FALSE(driver.Locked(0));
}

}  // namespace
