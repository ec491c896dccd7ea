// The board client on a scripted fake of the driver, and once on the simulated driver
// library loaded as the programs load it.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "analog/BenchBoard.h"
#include "analog/LoadedDriver.h"
#include "analog/VoktInterface.h"
#include "tests/bench/FakeRunFrame.h"

namespace {

using veska::analog::TVOKT_Interface;
using Bytes = std::vector<uint8_t>;

/// The driver as the client sees it: scripted results, queued bytes, every call recorded.
class FakeVoktDriver final : public veska::analog::VoktDriver {
  public:
    uint32_t boards = 1;
    std::map<std::string, int32_t> results;  ///< result of a call by name (default 0)
    float gain = 1.0f;
    int16_t offset = static_cast<int16_t>(0x8000);
    std::deque<Bytes> reads;        ///< what each GetDeviceData delivers
    std::deque<uint8_t> overflows;  ///< overflow of each GetDeviceData (default 0)
    std::vector<std::string> calls;
    std::vector<DeviceConfig> configs;
    std::vector<uint32_t> lengthsAsked;
    bool locked = false;
    bool simulated = false;  ///< what Simulated() answers

    bool Simulated() const override { return simulated; }

    int32_t GetDevicesCnt(uint32_t* count) override {
        *count = boards;
        return Result("GetDevicesCnt");
    }
    int32_t GetDeviceSerialNumber(uint32_t, uint32_t* number) override {
        *number = 1;
        return Result("GetDeviceSerialNumber");
    }
    int32_t LockDevice(uint32_t) override {
        const int32_t r = Result("LockDevice");
        locked = r == 0;
        return r;
    }
    int32_t GetCoefs(uint32_t, float* g, int16_t* o) override {
        const int32_t r = Result("GetCoefs");
        if (r == 0) {
            *g = gain;
            *o = offset;
        }
        return r;
    }
    int32_t ConfigDevice(uint32_t, const DeviceConfig* config) override {
        configs.push_back(*config);
        return Result("ConfigDevice");
    }
    int32_t StartDevice(uint32_t) override { return Result("StartDevice"); }
    int32_t GetDeviceData(uint32_t, uint8_t* buffer, uint32_t* length, uint8_t* overflow) override {
        lengthsAsked.push_back(*length);
        *length &= ~VOKTDRV_IMMEDIATE;
        const int32_t r = Result("GetDeviceData");
        if (r != 0) return r;
        Bytes next;
        if (!reads.empty()) {
            next = reads.front();
            reads.pop_front();
        }
        if (!next.empty()) std::memcpy(buffer, next.data(), next.size());
        *length = static_cast<uint32_t>(next.size());
        *overflow = 0;
        if (!overflows.empty()) {
            *overflow = overflows.front();
            overflows.pop_front();
        }
        return 0;
    }
    int32_t StopDevice(uint32_t) override {
        return locked ? Result("StopDevice") : Fail("StopDevice");
    }
    int32_t ClearBuffer(uint32_t) override {
        return locked ? Result("ClearBuffer") : Fail("ClearBuffer");
    }
    int32_t UnlockDevice(uint32_t) override {
        if (!locked) return Fail("UnlockDevice");
        locked = false;
        return Result("UnlockDevice");
    }

  private:
    int32_t Result(const std::string& name) {
        calls.push_back(name);
        const auto it = results.find(name);
        return it == results.end() ? 0 : it->second;
    }
    int32_t Fail(const std::string& name) {
        calls.push_back(name);
        return VOKTDRV_ERR_DEVICE;
    }
};

/// The bench form's two labels.
struct FakeLabels final : veska::analog::BoardLabels {
    std::string voltage = veska::analog::kInitialVoltageCaption;
    std::string current = veska::analog::kInitialCurrentCaption;
    void SetVoltageCaption(const std::string& text) override { voltage = text; }
    void SetCurrentCaption(const std::string& text) override { current = text; }
};

class VoktInterfaceTest : public ::testing::Test {
  protected:
    FakeVoktDriver driver;
    veska::platform::FakeClock clock;
    FakeLabels labels;
};

TEST_F(VoktInterfaceTest, WithoutABoardEveryOperationIsInert) {
    struct Case {
        const char* name;
        uint32_t boards;
        std::map<std::string, int32_t> results;
        std::vector<std::string> calls;
    } const cases[] = {
        {"no board", 0, {}, {"GetDevicesCnt"}},
        {"listing failed", 1, {{"GetDevicesCnt", 3}}, {"GetDevicesCnt"}},
        {"lock failed", 1, {{"LockDevice", 1}}, {"GetDevicesCnt", "LockDevice"}},
        {"coefficients unreadable",
         1,
         {{"GetCoefs", 1}},
         {"GetDevicesCnt", "LockDevice", "GetCoefs", "UnlockDevice"}},
    };
    for (const Case& c : cases) {
        FakeVoktDriver d;
        d.boards = c.boards;
        d.results = c.results;
        d.reads = {{0x01, 0x00}};
        FakeLabels l;
        {
            TVOKT_Interface board(d, clock);
            EXPECT_FALSE(board.OpenBoard()) << c.name;
            EXPECT_EQ(d.calls, c.calls) << c.name;
            d.calls.clear();
            std::vector<uint8_t> buffer(16);
            EXPECT_FALSE(board.StartSweep());
            EXPECT_FALSE(board.StartLive());
            EXPECT_EQ(board.ReadLive(buffer), 0u);
            EXPECT_EQ(board.ReadAll(buffer), 0u);
            EXPECT_FALSE(board.StopBoard());
            EXPECT_FALSE(board.CloseBoard());
            EXPECT_EQ(board.GetGain(), 0.0f);
            EXPECT_EQ(board.GetOffset(), 0);
            board.UpdateBoardReading(true, &l);
            EXPECT_EQ(board.BoardVoltage(), 0.0f);
            EXPECT_EQ(board.BoardCurrent(), 0.0f);
        }
        EXPECT_TRUE(d.calls.empty()) << c.name << ": nothing reaches the driver";
        EXPECT_EQ(l.voltage, "0.0000 V");
        EXPECT_EQ(l.current, "0.000  mA");
    }
}

TEST_F(VoktInterfaceTest, OpenKeepsTheCoefficients) {
    driver.gain = 0.5f;
    driver.offset = 0x1234;
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    EXPECT_TRUE(board.Present());
    EXPECT_EQ(board.GetGain(), 0.5f);
    EXPECT_EQ(board.GetOffset(), 0x1234);
    driver.offset = -2;  // the driver hands over 16 bits; the client reads them unsigned
    TVOKT_Interface other(driver, clock);
    ASSERT_TRUE(other.OpenBoard());
    EXPECT_EQ(other.GetOffset(), 0xFFFE);
}

TEST(BoardConversion, WordsWithOffset0x8000AndGainOne) {
    const float u1 = static_cast<float>(500.0 * 0.0022002200220022);
    struct Case {
        uint16_t word;
        float voltage;
        const char* voltageText;
        const char* currentText;
    } const cases[] = {
        {0x0000, 0.0f, "0.0000 V", "0.000  mA"},
        {0x0001, u1, "1.1001 V", "2.200  mA"},
        {0xFFFF, -u1, "-1.1001 V", "-2.200  mA"},
    };
    for (const Case& c : cases) {
        const auto r = veska::analog::ConvertSample(c.word, 1.0f, 0x8000);
        EXPECT_FLOAT_EQ(r.voltage, c.voltage) << c.word;
        EXPECT_FLOAT_EQ(r.current, static_cast<float>(c.voltage * 2.0)) << c.word;
        EXPECT_EQ(veska::analog::VoltageCaption(r.voltage), c.voltageText);
        EXPECT_EQ(veska::analog::CurrentCaption(r.current), c.currentText);
    }
}

TEST_F(VoktInterfaceTest, AReadingShowsTheFirstWordAndRestartsAcquisition) {
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    driver.calls.clear();
    driver.reads = {{0x01, 0x00, 0xFF, 0xFF}};
    board.UpdateBoardReading(true, &labels);
    EXPECT_EQ(labels.voltage, "1.1001 V");
    EXPECT_EQ(labels.current, "2.200  mA");
    EXPECT_NEAR(board.BoardVoltage(), 1.1001, 1e-4);
    EXPECT_EQ(driver.calls, (std::vector<std::string>{"GetDeviceData", "StartDevice"}));
    EXPECT_EQ(driver.lengthsAsked.back(), 524288u | VOKTDRV_IMMEDIATE);

    driver.reads = {{0x00, 0x00}};
    board.UpdateBoardReading(false, &labels);
    EXPECT_EQ(board.BoardVoltage(), 0.0f);
    EXPECT_EQ(labels.voltage, "1.1001 V") << "show false leaves the labels";
}

TEST_F(VoktInterfaceTest, TheBenchFormMarksASimulatedBoardsReadings) {
    for (const bool simulated : {false, true}) {
        FakeVoktDriver d;
        d.simulated = simulated;
        TVOKT_Interface client(d, clock);
        ASSERT_TRUE(client.OpenBoard());
        veska::analog::BenchBoard board(client);
        veska::testing::RecordingRunView view;
        d.reads = {{0x01, 0x00}};
        board.UpdateReading(true, view);
        const std::string mark = simulated ? " (simulated)" : "";
        EXPECT_EQ(view.readouts[veska::bench::Readout::BoardVoltage], "1.1001 V" + mark);
        EXPECT_EQ(view.readouts[veska::bench::Readout::BoardCurrent], "2.200  mA" + mark);
    }
}

TEST_F(VoktInterfaceTest, AShortOrFailedReadChangesNothing) {
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    driver.reads = {{0x01, 0x00}};
    board.UpdateBoardReading(true, &labels);
    const std::string shown = labels.voltage;
    driver.reads = {{0x55}};
    board.UpdateBoardReading(true, &labels);
    EXPECT_EQ(labels.voltage, shown);
    EXPECT_NEAR(board.BoardVoltage(), 1.1001, 1e-4);
    driver.results["GetDeviceData"] = 1;
    driver.reads = {{0x00, 0x00}};
    board.UpdateBoardReading(true, &labels);
    EXPECT_EQ(labels.voltage, shown);
}

TEST_F(VoktInterfaceTest, OverflowRestartsAndReadsOnceMore) {
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    driver.calls.clear();
    driver.reads = {Bytes(16, 0x11), {0x02, 0x00}};
    driver.overflows = {1};
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(board.ReadLive(buffer), 2u);
    EXPECT_EQ(driver.calls,
              (std::vector<std::string>{"GetDeviceData", "StopDevice", "ClearBuffer", "StartDevice",
                                        "GetDeviceData", "StartDevice"}));
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1, 50}));
    EXPECT_EQ(buffer[0], 0x02);
}

TEST_F(VoktInterfaceTest, AnOverflowWithNothingAfterTheRestartKeepsTheWordsReadBefore) {
    // Output words of 0x1111 look like the board's marker run; the reading must not be lost.
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    driver.reads = {Bytes{0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}, {}};
    driver.overflows = {1};
    std::vector<uint8_t> buffer(64);
    EXPECT_EQ(board.ReadLive(buffer), 8u);
    EXPECT_EQ(buffer[0], 0x11);
}

TEST_F(VoktInterfaceTest, SweepAndLiveConfigurations) {
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    ASSERT_TRUE(board.StartSweep());
    EXPECT_FALSE(board.Started());
    std::vector<uint8_t> buffer(16);
    driver.reads = {{1, 2}};
    EXPECT_EQ(board.ReadAll(buffer), 0u) << "ReadAll after StartSweep alone";
    ASSERT_TRUE(board.StartLive());
    EXPECT_TRUE(board.Started());
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{100, 100}));
    EXPECT_EQ(board.ReadAll(buffer), 2u);

    ASSERT_EQ(driver.configs.size(), 2u);
    const DeviceConfig& sweep = driver.configs[0];
    const DeviceConfig& live = driver.configs[1];
    EXPECT_EQ(sweep.reg0Value, 500u);
    EXPECT_EQ(sweep.reg8Value, 1u);
    EXPECT_EQ(sweep.regFBit2 | sweep.regFBit3 | sweep.regFBit1 | sweep.reg2Bit3, 0u);
    EXPECT_EQ(live.reg0Value, 500u);
    EXPECT_EQ(live.reg8Value, 0xFFFFu);
    EXPECT_EQ(live.regFBit2, 1u);
    EXPECT_EQ(live.regFBit3, 1u);
    for (const DeviceConfig& c : driver.configs) {
        EXPECT_EQ(c.channelOn[0], 1u);
        for (int k = 1; k < 8; ++k) EXPECT_EQ(c.channelOn[k], 0u);
    }

    ASSERT_TRUE(board.StopBoard());
    EXPECT_FALSE(board.Started());
    EXPECT_EQ(board.ReadAll(buffer), 0u);
}

TEST_F(VoktInterfaceTest, AFailedStopKeepsLiveAcquisitionStarted) {
    TVOKT_Interface board(driver, clock);
    ASSERT_TRUE(board.OpenBoard());
    ASSERT_TRUE(board.StartLive());
    driver.results["StopDevice"] = 1;
    EXPECT_FALSE(board.StopBoard());
    EXPECT_TRUE(board.Started());
}

TEST_F(VoktInterfaceTest, CloseTwiceIsHarmless) {
    auto board = std::make_unique<TVOKT_Interface>(driver, clock);
    ASSERT_TRUE(board->OpenBoard());
    ASSERT_TRUE(board->StartLive());
    driver.calls.clear();
    EXPECT_TRUE(board->CloseBoard());
    EXPECT_FALSE(board->Started());
    EXPECT_EQ(driver.calls,
              (std::vector<std::string>{"StopDevice", "ClearBuffer", "UnlockDevice"}));
    EXPECT_FALSE(board->CloseBoard());
    EXPECT_TRUE(board->Present()) << "present stays set after the close";
    board.reset();  // the destructor closes once more
    EXPECT_EQ(driver.calls.size(), 9u);
}

/// The client on the simulated driver library, loaded as the programs load it.
TEST(VoktInterfaceOnLibrary, ReadsTheSimulatedBoard) {
    veska::analog::LoadedDriver library(VESKA_SIM_DRIVER_LIBRARY, true);
    ASSERT_TRUE(library.Ready()) << library.Error();
    veska::platform::FakeClock clock;  // the client's own waits only
    FakeLabels labels;
    TVOKT_Interface board(library, clock);
    ASSERT_TRUE(board.OpenBoard());
    EXPECT_TRUE(board.Simulated());
    EXPECT_GT(board.GetGain(), 0.0f);
    ASSERT_TRUE(board.StartSweep());
    for (int i = 0; i < 2000 && labels.voltage == veska::analog::kInitialVoltageCaption; ++i) {
        veska::platform::SystemClock().Sleep(1);
        board.UpdateBoardReading(true, &labels);
    }
    EXPECT_NE(labels.voltage, veska::analog::kInitialVoltageCaption);
    EXPECT_GE(board.BoardVoltage(), -0.1f);
    EXPECT_LE(board.BoardVoltage(), 10.1f);
    EXPECT_FLOAT_EQ(board.BoardCurrent(), static_cast<float>(board.BoardVoltage() * 2.0));
    EXPECT_TRUE(board.StopBoard());
    EXPECT_TRUE(board.CloseBoard());
    EXPECT_FALSE(board.CloseBoard());
}

TEST(VoktInterfaceOnLibrary, AMissingLibraryAnswersLikeALibraryWithoutUsb) {
    veska::analog::LoadedDriver missing("/nonexistent/libVOKTDrv-sim.so", true);
    EXPECT_FALSE(missing.Ready());
    EXPECT_NE(missing.Error().find("/nonexistent/libVOKTDrv-sim.so"), std::string::npos)
        << missing.Error();
    uint32_t count = 7;
    EXPECT_EQ(missing.GetDevicesCnt(&count), VOKTDRV_ERR_NOT_READY);
    veska::platform::FakeClock clock;
    TVOKT_Interface board(missing, clock);
    EXPECT_FALSE(board.OpenBoard());
    // A library without the exports (this test program's C library) is not taken either.
    veska::analog::LoadedDriver wrong("libc.so.6", false);
    EXPECT_FALSE(wrong.Ready());
    EXPECT_NE(wrong.Error().find("GetDevicesCnt"), std::string::npos) << wrong.Error();
}

}  // namespace
