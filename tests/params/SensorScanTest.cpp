// The sensor scan against a simulated sensor on a pseudo-terminal that answers only at the
// rate in its parameter memory, as a real sensor's UART does.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "params/SensorScan.h"
#include "tests/support/MovedSensor.h"

namespace veska::params {
namespace {

class SensorScanTest : public ::testing::Test, protected veska::testing::MovedSensor {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(StartSensor(&error)) << error;
    }
};

TEST_F(SensorScanTest, FindsTheSensorAtItsRateAndAddressAndSkipsTheLineRatesLeft) {
    ScanPlan plan;
    plan.portNames = {pty.SlavePath()};
    plan.rates = {921600, 57600, 9600};
    std::vector<ScanHit> hits;
    std::vector<uint32_t> ratesTried;
    SensorScan scan;
    const size_t found = scan.Run(
        plan, [&](const ScanHit& hit) { hits.push_back(hit); },
        [&](const ScanProgress& where) {
            if (ratesTried.empty() || ratesTried.back() != where.baud)
                ratesTried.push_back(where.baud);
        });

    ASSERT_EQ(found, 1u);
    ASSERT_EQ(hits.size(), 1u);
    EXPECT_EQ(hits[0].portName, pty.SlavePath());
    EXPECT_EQ(hits[0].baud, 57600u);
    EXPECT_EQ(hits[0].address, 9);
    EXPECT_EQ(hits[0].info.serialNumber, sim::SensorIdentity{}.serialNumber);
    EXPECT_EQ(hits[0].info.deviceType, sim::SensorIdentity{}.deviceType);
    // The other addresses at 57600 were tried too; 9600 never was.
    EXPECT_EQ(ratesTried, (std::vector<uint32_t>{921600, 57600}));
    EXPECT_GT(device.Counters().foreignPackets, 0u);
    EXPECT_FALSE(scan.Sensor().IsOpen());
}

TEST_F(SensorScanTest, CancelEndsAfterTheTryInProgressAndClosesThePort) {
    ScanPlan plan;
    plan.portNames = {pty.SlavePath(), pty.SlavePath()};
    plan.rates = {115200, 57600};
    SensorScan scan;
    size_t tries = 0;
    const size_t found = scan.Run(plan, {}, [&](const ScanProgress&) {
        if (++tries == 3) scan.Cancel();
    });
    EXPECT_EQ(found, 0u);
    EXPECT_EQ(tries, 3u);
    EXPECT_TRUE(scan.Cancelled());
    EXPECT_FALSE(scan.Sensor().IsOpen());
}

TEST(SensorScanPorts, APortThatDoesNotOpenIsSkippedWithoutATry) {
    ScanPlan plan;
    plan.portNames = {"/nonexistent/ttyVESKA"};
    size_t tries = 0;
    SensorScan scan;
    EXPECT_EQ(scan.Run(plan, {}, [&](const ScanProgress&) { ++tries; }), 0u);
    EXPECT_EQ(tries, 0u);
    EXPECT_FALSE(scan.Sensor().IsOpen());
}

TEST(SensorScanOrder, CurrentRateAndAddressComeFirstAndEveryOneComesOnce) {
    struct Case {
        uint32_t baud;
        uint32_t firstRate;
        size_t rates;
    };
    for (const Case c : {Case{57600, 57600, 11}, Case{115200, 115200, 11},
                         Case{1000000, 1000000, 12}, Case{0, 115200, 11}}) {
        const std::vector<uint32_t> order = ScanRateOrder(c.baud);
        EXPECT_EQ(order.front(), c.firstRate) << c.baud;
        EXPECT_EQ(order.size(), c.rates) << c.baud;
    }
    EXPECT_EQ(ScanRateOrder(2400),
              (std::vector<uint32_t>{2400, 115200, 9600, 921600, 460800, 230400, 57600, 38400,
                                     19200, 4800, 14400}));
    for (const int current : {9, 1, 127, 0, 200}) {
        const std::vector<uint8_t> order = ScanAddressOrder(static_cast<uint8_t>(current));
        ASSERT_EQ(order.size(), 127u);
        EXPECT_EQ(order.front(), current >= 1 && current <= 127 ? current : 1);
        EXPECT_EQ(std::vector<bool>(127, true), [&] {
            std::vector<bool> seen(127, false);
            for (const uint8_t a : order) seen[a - 1] = true;
            return seen;
        }());
    }
}

TEST(SensorScanTimeouts, ShortAtFastRatesAndLongEnoughForTheReplyAtSlowOnes) {
    // An Identify reply is 16 line bytes; the try must outlast its line time.
    for (const uint32_t baud : {2400u, 9600u, 57600u, 115200u, 921600u}) {
        const ScanTimeouts t = ScanTimeoutsFor(baud);
        const double replyMs = 16.0 * 11 * 1000 / baud;
        EXPECT_GT(t.perByte * 16.0, replyMs) << baud;
        EXPECT_GE(t.perByte, 1u);
    }
    EXPECT_LE(ScanTimeoutsFor(115200).constant + 16 * ScanTimeoutsFor(115200).perByte, 30u);
}

}  // namespace
}  // namespace veska::params
