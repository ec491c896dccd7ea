// The driver against the simulated analog board on the simulated USB bus: the image load
// as the board reassembles it, acquisition, overflow and the board's fault switches.
// Driver waits run on the fake clock; the board's own timing is real.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "driver/BoardDriver.h"
#include "driver/BoardProtocol.h"
#include "driver/Images.h"
#include "sim/AnalogBoardDevice.h"
#include "sim/SimUsbBackend.h"
#include "sim/World.h"

namespace {

using veska::driver::BoardDriver;
using veska::sim::SimAnalogBoard;

/// Images that are never there.
class NoImages final : public veska::driver::ImageSource {
  public:
    veska::driver::ImageStatus Find(uint32_t, const char*, std::span<const uint8_t>&) override {
        return veska::driver::kImageNotFound;
    }
};

class SimBoardTest : public ::testing::Test {
  protected:
    explicit SimBoardTest(veska::sim::AnalogBoardOptions options = {}) {
        board = &static_cast<SimAnalogBoard&>(
            bus.AddDevice(std::make_unique<SimAnalogBoard>(world, options)));
        world.SetTargetMm(world.BaseMm() + world.RangeMm() / 4);  // 2.5 V
    }

    int32_t ListAndLock(BoardDriver& d) {
        uint32_t count = 0;
        EXPECT_EQ(d.GetDevicesCnt(&count), 0);
        EXPECT_EQ(count, 1u);
        return d.LockDevice(0);
    }

    veska::sim::World world;
    veska::sim::SimUsbBackend bus;
    SimAnalogBoard* board = nullptr;
    veska::platform::FakeClock clock;
    veska::driver::EmbeddedImages images;
    BoardDriver driver{&bus, clock, images};
};

TEST_F(SimBoardTest, TheBoardReassemblesTheEmbeddedImage) {
    ASSERT_EQ(ListAndLock(driver), 0);
    std::span<const uint8_t> image;
    ASSERT_EQ(images.Find(101, veska::driver::kImageType, image), veska::driver::kImageOk);
    ASSERT_EQ(image.size(), 19905u);
    EXPECT_EQ(veska::driver::ImageBitCount(image), 159176u);
    const std::vector<uint8_t> payload(image.begin() + 8, image.end());
    EXPECT_EQ(board->ReceivedBits(), 159176u);
    EXPECT_TRUE(board->ReceivedConfiguration() == payload);
    EXPECT_TRUE(board->Configured());
    EXPECT_FALSE(board->BitBang());
    EXPECT_EQ(board->BaudRate(), 115200u);
    EXPECT_EQ(board->ReadTimeoutMs(), 300u);
    EXPECT_EQ(board->Counters().queriesAnswered, 1u);
}

TEST_F(SimBoardTest, ABoardThatNeverAnswersFailsAfterTenAttempts) {
    board->NoAnswerForQueries(100);
    EXPECT_EQ(ListAndLock(driver), 1);
    EXPECT_EQ(board->Counters().queries, 10u);
    EXPECT_EQ(board->Counters().configurations, 10u);
}

TEST_F(SimBoardTest, ABoardThatAnswersLateLocksOnTheThirdAttempt) {
    board->NoAnswerForQueries(2);
    EXPECT_EQ(ListAndLock(driver), 0);
    EXPECT_EQ(board->Counters().queries, 3u);
}

TEST_F(SimBoardTest, AMissingImageFailsAfterOneAttempt) {
    NoImages none;
    BoardDriver d(&bus, clock, none);
    EXPECT_EQ(ListAndLock(d), 1);
    const std::vector<uint8_t> log = board->CommandLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), 0xE7), 1);
    EXPECT_EQ(board->Counters().queries, 0u);
    EXPECT_FALSE(d.Locked(0)) << "a failed lock leaves the board closed";
    EXPECT_EQ(ListAndLock(driver), 0) << "so that the next try can open it";
}

TEST_F(SimBoardTest, CoefficientsAndFaults) {
    ASSERT_EQ(ListAndLock(driver), 0);
    float gain = 0;
    int16_t offset = 0;
    ASSERT_EQ(driver.GetCoefs(0, &gain, &offset), 0);
    EXPECT_EQ(gain, veska::sim::AnalogBoardOptions{}.gain);
    EXPECT_EQ(static_cast<uint16_t>(offset), veska::sim::AnalogBoardOptions{}.offset);

    board->SetEepromFails(true);
    EXPECT_EQ(driver.GetCoefs(0, &gain, &offset), 1);
    board->SetEepromFails(false);

    DeviceConfig config{};
    config.reg0Value = 500;
    config.channelOn[0] = 1;
    board->FailNextWrites(1);
    EXPECT_EQ(driver.ConfigDevice(0, &config), 3);
    board->FailNextWrites(1, true);
    EXPECT_EQ(driver.StartDevice(0), 1);

    board->SetUnplugged(true);
    EXPECT_EQ(driver.StopDevice(0), 1);
    EXPECT_EQ(driver.UnlockDevice(0), 0);
    uint32_t count = 9;
    EXPECT_EQ(driver.GetDevicesCnt(&count), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(SimBoardTest, AcquisitionDeliversChannelZeroAtTheConfiguredRate) {
    ASSERT_EQ(ListAndLock(driver), 0);
    DeviceConfig config{};
    config.reg0Value = 500;
    config.reg8Value = 0xFFFF;
    config.channelOn[0] = 1;
    ASSERT_EQ(driver.ConfigDevice(0, &config), 0);
    EXPECT_EQ(board->Register0(), 498u);
    EXPECT_EQ(board->ChannelMask(), 1);
    EXPECT_DOUBLE_EQ(board->SampleRate(), 100000.0);
    ASSERT_EQ(driver.StartDevice(0), 0);
    EXPECT_TRUE(board->Acquiring());

    std::vector<uint8_t> buffer(4096);
    uint32_t length = 4096;  // waiting mode: the board delivers within milliseconds
    uint8_t overflow = 9;
    ASSERT_EQ(driver.GetDeviceData(0, buffer.data(), &length, &overflow), 0);
    ASSERT_EQ(length, 4096u);
    EXPECT_EQ(overflow, 0);
    // U = gain x (word + 0x8000 - offset) x 500 / 454.5 follows the world's 2.5 V.
    const auto options = veska::sim::AnalogBoardOptions{};
    for (size_t i = 0; i < 8; i += 2) {
        const auto word = static_cast<uint16_t>(buffer[i] | buffer[i + 1] << 8);
        const int raw = static_cast<uint16_t>(word + 0x8000) - int{options.offset};
        EXPECT_NEAR(options.gain * raw * 500 / 454.5, world.AnalogOutputV(), 0.002);
    }
    ASSERT_EQ(driver.StopDevice(0), 0);
    EXPECT_FALSE(board->Acquiring());
}

/// The embedded image 101 with its announced bit count changed.
class AlteredImage final : public veska::driver::ImageSource {
  public:
    explicit AlteredImage(uint32_t bits) {
        veska::driver::EmbeddedImages embedded;
        std::span<const uint8_t> image;
        embedded.Find(101, veska::driver::kImageType, image);
        bytes_.assign(image.begin(), image.end());
        for (int i = 0; i < 4; ++i) bytes_[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
    veska::driver::ImageStatus Find(uint32_t, const char*, std::span<const uint8_t>& out) override {
        out = bytes_;
        return veska::driver::kImageOk;
    }

  private:
    std::vector<uint8_t> bytes_;
};

TEST_F(SimBoardTest, AnImageOneBitShortLeavesThePldUnconfigured) {
    ASSERT_EQ(ListAndLock(driver), 0);
    ASSERT_EQ(driver.UnlockDevice(0), 0);
    AlteredImage shortImage(159175);
    BoardDriver d(&bus, clock, shortImage);
    uint32_t count = 0;
    ASSERT_EQ(d.GetDevicesCnt(&count), 0);
    board->NoAnswerForQueries(0);
    ASSERT_EQ(d.LockDevice(0), 1) << "ten attempts, none answered";
    EXPECT_EQ(board->ReceivedBits(), 159175u);
    EXPECT_FALSE(board->Configured());
    EXPECT_EQ(board->Counters().queriesAnswered, 1u) << "only the first, complete load";
}

class SmallFifoBoardTest : public SimBoardTest {
  protected:
    SmallFifoBoardTest() : SimBoardTest(Small()) {}
    static veska::sim::AnalogBoardOptions Small() {
        veska::sim::AnalogBoardOptions o;
        o.fifoBytes = 2048;
        return o;
    }
};

TEST_F(SmallFifoBoardTest, AHostThatLeavesTooMuchUnreadSeesAMarkerRun) {
    ASSERT_EQ(ListAndLock(driver), 0);
    DeviceConfig config{};
    config.reg0Value = 500;
    config.channelOn[0] = 1;
    ASSERT_EQ(driver.ConfigDevice(0, &config), 0);
    ASSERT_EQ(driver.StartDevice(0), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // 3000 words > 2048 bytes
    std::vector<uint8_t> buffer(65536);
    bool sawOverflow = false;
    for (int i = 0; i < 200 && !sawOverflow; ++i) {
        uint32_t length = 65536 | VOKTDRV_IMMEDIATE;
        uint8_t overflow = 0;
        ASSERT_EQ(driver.GetDeviceData(0, buffer.data(), &length, &overflow), 0);
        sawOverflow = overflow == 1;
        if (!sawOverflow) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(sawOverflow);
    EXPECT_GT(board->Counters().samplesLost, 0u);
    EXPECT_GE(board->Counters().markerRuns, 1u);
}

}  // namespace
