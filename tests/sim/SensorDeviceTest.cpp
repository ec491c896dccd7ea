// Device-level tests of the simulated sensor: host bytes in, exact reply bytes out.
#include <gtest/gtest.h>

#include <vector>

#include "sim/SensorDevice.h"
#include "sim/SensorOptics.h"
#include "sim/World.h"
#include "tests/sim/SimBytes.h"

namespace veska::sim {
namespace {

using test::Decode;
using test::Request;

class SensorDeviceTest : public ::testing::Test {
  protected:
    SensorDeviceTest() : world_(80, 50), sensor_(world_, Quiet()) { world_.SetTargetMm(105); }

    static SensorOptions Quiet() {
        SensorOptions o;
        o.noise = 0.0;
        return o;
    }

    /// Feeds one request and returns everything the sensor sent.
    std::vector<uint8_t> Exchange(uint8_t command, std::vector<uint8_t> data = {},
                                  uint8_t address = 1) {
        sensor_.Feed(Request(address, command, data));
        sensor_.EndOfBurst();
        std::vector<uint8_t> out;
        sensor_.TakeOutput(out);
        return out;
    }

    World world_;
    SensorDevice sensor_;
};

TEST_F(SensorDeviceTest, IdentifyAnswersTheIdentityFromMemoryWithCounterZero) {
    const std::vector<uint8_t> line = Exchange(1);
    // Type 20, release 23, serial 1234 = 0x04D2, base 80 = 0x50, range 50 = 0x32, nibbles
    // low first, counter 0 in bits 4..6.
    const std::vector<uint8_t> expected = {0x84, 0x81, 0x87, 0x81, 0x82, 0x8D, 0x84, 0x80,
                                           0x80, 0x85, 0x80, 0x80, 0x82, 0x83, 0x80, 0x80};
    EXPECT_EQ(line, expected);
}

TEST_F(SensorDeviceTest, IdentifyFollowsTheIdentityRowsOfTheMemory) {
    sensor_.SetParam(0x90, 65);
    sensor_.SetParam16(0x92, 4321);
    sensor_.SetParam16(0x94, 0xFFF6);  // -10 mm
    sensor_.SetParam16(0x96, 500);
    sensor_.SetParam(0x91, 99);  // the release is the firmware's, not the memory's
    const std::vector<uint8_t> id = Decode(Exchange(1));
    EXPECT_EQ(id, (std::vector<uint8_t>{65, kFirmwareRelease, 0xE1, 0x10, 0xF6, 0xFF, 0xF4, 0x01}));
}

TEST_F(SensorDeviceTest, ReplyCounterAdvancesPerReplyAndWrapsAfterSeven) {
    for (int i = 0; i < 10; ++i) {
        const std::vector<uint8_t> line = Exchange(2, {0x03});
        ASSERT_EQ(line.size(), 2u);
        EXPECT_EQ((line[0] >> 4) & 7, i % 8) << "reply " << i;
        EXPECT_EQ((line[1] >> 4) & 7, i % 8);
    }
    // Requests without a reply do not advance it.
    EXPECT_TRUE(Exchange(3, {0x06, 4}).empty());
    EXPECT_EQ(sensor_.NextCounter(), 2);
}

TEST_F(SensorDeviceTest, AnswersOnlyItsOwnNetAddress) {
    EXPECT_TRUE(Exchange(1, {}, 2).empty());
    EXPECT_TRUE(Exchange(1, {}, 0).empty());  // no broadcast
    EXPECT_TRUE(Exchange(3, {0x06, 9}, 5).empty());
    EXPECT_EQ(sensor_.Param(0x06), 1) << "a write for another address must not land";
    EXPECT_EQ(sensor_.Counters().foreignPackets, 3u);

    // A new net address takes effect with the next request.
    Exchange(3, {0x03, 7});
    EXPECT_TRUE(Exchange(1).empty());
    EXPECT_EQ(Exchange(1, {}, 7).size(), 16u);
}

TEST_F(SensorDeviceTest, WriteThenReadParameterBytes) {
    EXPECT_TRUE(Exchange(3, {0x09, 0x12}).empty());  // high byte first, as the host sends
    EXPECT_TRUE(Exchange(3, {0x08, 0x34}).empty());
    EXPECT_EQ(sensor_.Param16(0x08), 0x1234);
    EXPECT_EQ(Decode(Exchange(2, {0x08})), std::vector<uint8_t>{0x34});
    EXPECT_EQ(Decode(Exchange(2, {0x09})), std::vector<uint8_t>{0x12});
    const SensorCounters c = sensor_.Counters();
    EXPECT_EQ(c.paramWrites[0x08], 1u);
    EXPECT_EQ(c.paramReads[0x09], 1u);
    EXPECT_EQ(c.requests[3], 2u);
}

TEST_F(SensorDeviceTest, DefaultsCoverTheParameterRows) {
    struct Row {
        uint8_t address;
        int size;
        uint32_t value;
    };
    const Row rows[] = {
        {0x00, 1, 1},    {0x01, 1, 1},     {0x03, 1, 1},          {0x04, 1, 48},
        {0x06, 1, 1},    {0x07, 1, 0},     {0x08, 2, 1000},       {0x0A, 2, 1000},
        {0x0C, 2, 0},    {0x0E, 2, 65534}, {0x20, 1, 50},         {0x29, 1, 0},
        {0x30, 1, 1},    {0x88, 1, 0},     {0x6C, 4, 0xC0A80064}, {0x74, 4, 0xFFFFFF00},
        {0x90, 1, 20},   {0x92, 2, 1234},  {0x94, 2, 80},         {0x96, 2, 50},
        {0x9C, 2, 1024}, {0xA0, 2, 50000},
    };
    for (const Row& row : rows) {
        uint32_t v = 0;
        for (int i = 0; i < row.size; ++i)
            v |= uint32_t{sensor_.Param(static_cast<uint8_t>(row.address + i))} << (8 * i);
        EXPECT_EQ(v, row.value) << "address 0x" << std::hex << int{row.address};
    }
}

TEST_F(SensorDeviceTest, StoreParamsEchoesAndMovesTheSets) {
    Exchange(3, {0x06, 8});
    EXPECT_EQ(Decode(Exchange(4, {0xAA})), std::vector<uint8_t>{0xAA});
    EXPECT_EQ(sensor_.FlashSet()[0x06], 8);
    EXPECT_EQ(sensor_.FactorySet()[0x06], 1);

    Exchange(3, {0x06, 9});
    EXPECT_EQ(Decode(Exchange(4, {0x96})), std::vector<uint8_t>{0x96});
    EXPECT_EQ(sensor_.FactorySet()[0x06], 9);

    // Defaults come back from the factory set, with the line at 115200 baud, address 1.
    Exchange(3, {0x06, 3});
    Exchange(3, {0x04, 128});
    Exchange(3, {0x03, 9});
    EXPECT_EQ(sensor_.LineBaud(), 921600u);
    EXPECT_EQ(Decode(Exchange(4, {0x69}, 9)), std::vector<uint8_t>{0x69});
    EXPECT_EQ(sensor_.Param(0x06), 9);
    EXPECT_EQ(sensor_.NetAddress(), 1);
    EXPECT_EQ(sensor_.LineBaud(), 115200u);

    // Power up loads the flash set.
    sensor_.PowerCycle();
    EXPECT_EQ(sensor_.Param(0x06), 8);
}

TEST_F(SensorDeviceTest, UnknownStoreCodeIsNotEchoed) {
    EXPECT_EQ(Decode(Exchange(4, {0x12})), std::vector<uint8_t>{0xED});
    EXPECT_EQ(sensor_.FlashSet(), sensor_.FactorySet());
}

TEST_F(SensorDeviceTest, BaudCodesOfTheLine) {
    const std::pair<uint8_t, uint32_t> codes[] = {{1, 2400},     {48, 115200},  {96, 230400},
                                                  {192, 460800}, {128, 921600}, {0, 115200}};
    for (auto [code, baud] : codes) {
        sensor_.SetParam(0x04, code);
        EXPECT_EQ(sensor_.LineBaud(), baud) << int{code};
    }
}

TEST_F(SensorDeviceTest, GetResultFollowsTheTargetWithinAFewPercentOfTheRange) {
    for (double mm : {80.0, 90.0, 105.0, 117.5, 130.0}) {
        world_.SetTargetMm(mm);
        const std::vector<uint8_t> r = Decode(Exchange(6));
        ASSERT_EQ(r.size(), 2u);
        const double reading = (r[0] | r[1] << 8) * 50.0 / 50000.0;  // raw x range / divisor
        EXPECT_NEAR(reading, mm - 80.0, 0.03 * 50.0 + 0.01) << mm;
    }
    // ... and is not simply linear: mid-range reads off by more than a hundredth of the range.
    world_.SetTargetMm(105);
    const std::vector<uint8_t> r = Decode(Exchange(6));
    EXPECT_GT((r[0] | r[1] << 8) * 50.0 / 50000.0 - 25.0, 0.5);
}

TEST_F(SensorDeviceTest, ModeOfRunSelectsLinePixelOrTemperature) {
    world_.SetTargetMm(80);
    Exchange(3, {0x07, 1});
    std::vector<uint8_t> r = Decode(Exchange(6));
    const int pixelCounts = r[0] | r[1] << 8;
    EXPECT_NEAR(pixelCounts / double(optics::kCountsPerPixel), 0.06 * 1024, 1.0);
    world_.SetTargetMm(130);
    r = Decode(Exchange(6));
    EXPECT_NEAR((r[0] | r[1] << 8) / double(optics::kCountsPerPixel), 0.94 * 1024, 1.0);

    Exchange(3, {0x07, 2});
    r = Decode(Exchange(6));
    const int tenthsOfDegree = r[0] | r[1] << 8;
    EXPECT_GE(tenthsOfDegree, 250);
    EXPECT_LE(tenthsOfDegree, 310);
}

TEST_F(SensorDeviceTest, NoResultOutsideTheRangeOrWithTheLaserOff) {
    world_.SetTargetMm(60);
    EXPECT_EQ(Decode(Exchange(6)), (std::vector<uint8_t>{0, 0}));
    world_.SetTargetMm(100);
    Exchange(3, {0x00, 0});
    EXPECT_EQ(Decode(Exchange(6)), (std::vector<uint8_t>{0, 0}));
}

TEST_F(SensorDeviceTest, StreamSamplesAreRepliesWithAdvancingCounters) {
    EXPECT_TRUE(Exchange(7).empty());
    EXPECT_EQ(sensor_.Streaming(), StreamKind::kPlain);
    EXPECT_EQ(sensor_.SampleLineBytes(), 4u);
    sensor_.EmitSamples(9);
    std::vector<uint8_t> out;
    sensor_.TakeOutput(out);
    ASSERT_EQ(out.size(), 36u);
    const uint16_t expected = sensor_.CurrentResult();
    for (int s = 0; s < 9; ++s) {
        const std::vector<uint8_t> sample(out.begin() + 4 * s, out.begin() + 4 * s + 4);
        for (uint8_t b : sample) EXPECT_EQ((b >> 4) & 7, s % 8);
        const std::vector<uint8_t> d = Decode(sample);
        EXPECT_EQ(d[0] | d[1] << 8, expected);
    }
    EXPECT_EQ(sensor_.Counters().samplesSent, 9u);

    // StopStream (data 0x00 0x00) ends it.
    EXPECT_TRUE(Exchange(8, {0x00, 0x00}).empty());
    EXPECT_EQ(sensor_.Streaming(), StreamKind::kNone);
    sensor_.EmitSamples(3);
    EXPECT_FALSE(sensor_.HasOutput());
}

TEST_F(SensorDeviceTest, StatusStreamCarriesTheLimitBit) {
    Exchange(12);
    EXPECT_EQ(sensor_.SampleLineBytes(), 6u);
    auto statusNow = [&] {
        sensor_.EmitSamples(1);
        std::vector<uint8_t> out;
        sensor_.TakeOutput(out);
        EXPECT_EQ(out.size(), 6u);
        return Decode(out).at(2);
    };
    world_.SetTargetMm(90);  // below the middle of the window
    EXPECT_EQ(statusNow() & 0x02, 0);
    world_.SetTargetMm(120);
    EXPECT_EQ(statusNow() & 0x02, 0x02);
}

TEST_F(SensorDeviceTest, WriteTableStoresTheBlockAndCalibratesTheLine) {
    // A table that maps every pixel count to the true position code (16384 = range).
    world_.SetTargetMm(105);
    Exchange(3, {0x07, 1});
    const std::vector<uint8_t> p = Decode(Exchange(6));
    const uint16_t pixel = static_cast<uint16_t>(p[0] | p[1] << 8);
    Exchange(3, {0x07, 0});

    const uint8_t block = static_cast<uint8_t>(pixel / 512);
    std::vector<uint8_t> data(1026);
    for (int i = 0; i < 512; ++i) {
        const uint16_t code = 8192;  // half the range for every entry of the block
        data[2 * i] = code >> 8;
        data[2 * i + 1] = code & 0xFF;
    }
    data[1024] = block;
    data[1025] = 0xAA;
    EXPECT_EQ(Decode(Exchange(10, data)), std::vector<uint8_t>{0xAA});
    EXPECT_EQ(sensor_.TableEntry(pixel), 8192);
    EXPECT_EQ(sensor_.Counters().tableBlocks, 1u);

    const std::vector<uint8_t> r = Decode(Exchange(6));
    EXPECT_EQ(r[0] | r[1] << 8, 25000) << "8192 x 50000 / 16384";

    // Once a table is held, a raw value without an entry knows no position: the result is
    // 0, not the uncalibrated line.
    world_.SetTargetMm(128);
    const std::vector<uint8_t> outside = Decode(Exchange(6));
    EXPECT_EQ(outside[0] | outside[1] << 8, 0);
}

TEST_F(SensorDeviceTest, WriteTableWithoutTrailerIsRefused) {
    std::vector<uint8_t> data(1026, 0x11);
    data[1024] = 3;
    data[1025] = 0x55;
    EXPECT_EQ(Decode(Exchange(10, data)), std::vector<uint8_t>{0x00});
    EXPECT_EQ(sensor_.TableEntry(3 * 512), 0);
    EXPECT_EQ(sensor_.Counters().rejectedTableBlocks, 1u);
}

TEST_F(SensorDeviceTest, ReadVideoArmsThenAnswersTheProfileWithThePeakAtTheSpot) {
    world_.SetTargetMm(105);
    EXPECT_TRUE(Exchange(15).empty()) << "the first request arms";
    const std::vector<uint8_t> bytes = Decode(Exchange(15));
    ASSERT_EQ(bytes.size(), 2048u);
    size_t peak = 0;
    for (size_t i = 1; i < 1024; ++i)
        if ((bytes[2 * i] | bytes[2 * i + 1] << 8) > (bytes[2 * peak] | bytes[2 * peak + 1] << 8))
            peak = i;
    EXPECT_NEAR(double(peak), optics::SpotPixel(0.5, 1024), 1.0);
    EXPECT_EQ(bytes[0] | bytes[1] << 8, 120) << "dark level away from the spot";

    // The spot moves with the target.
    world_.SetTargetMm(85);
    Exchange(15);
    const std::vector<uint8_t> near = Decode(Exchange(15, {0xE8, 0x03}));  // 2n = 1000
    ASSERT_EQ(near.size(), 500u);
    size_t peak2 = 0;
    for (size_t i = 1; i < 250; ++i)
        if ((near[2 * i] | near[2 * i + 1] << 8) > (near[2 * peak2] | near[2 * peak2 + 1] << 8))
            peak2 = i;
    EXPECT_NEAR(double(peak2), optics::SpotPixel(0.1, 1024), 1.0);
}

TEST_F(SensorDeviceTest, ReadVideoNamingASizeWithoutTheArmingRequestOnlyArms) {
    EXPECT_TRUE(Exchange(15, {0xE8, 0x03}).empty()) << "unarmed: no answer";
    EXPECT_EQ(sensor_.Counters().unarmedVideoRequests, 1u);
    // It armed the capture, so the next request reads the profile.
    EXPECT_EQ(Decode(Exchange(15, {0xE8, 0x03})).size(), 500u);
    // An arming request after a read arms afresh.
    EXPECT_TRUE(Exchange(15).empty());
    EXPECT_EQ(Decode(Exchange(15, {0xE8, 0x03})).size(), 500u);
    EXPECT_EQ(sensor_.Counters().unarmedVideoRequests, 1u);
}

TEST_F(SensorDeviceTest, ReadVideoLengthFollowsLengthCcd) {
    sensor_.SetParam16(0x9C, 300);
    Exchange(15);
    const std::vector<uint8_t> bytes = Decode(Exchange(15, {0xB0, 0x04}));  // 2n = 1200: 600 bytes
    ASSERT_EQ(bytes.size(), 600u);
    EXPECT_NE(bytes[2 * 299] | bytes[2 * 299 + 1] << 8, 0);
    // A size beyond the largest profile is cut to 4096 bytes.
    Exchange(15);
    EXPECT_EQ(Decode(Exchange(15, {0x00, 0x40})).size(), 4096u);
}

TEST_F(SensorDeviceTest, ReadVideoWithoutDataIsCompletedByTheNextStartByte) {
    // Arm and read back to back in one burst: the start byte of the second request
    // completes the first.
    std::vector<uint8_t> both = Request(1, 15, std::vector<uint8_t>{});
    const std::vector<uint8_t> second = Request(1, 15, std::vector<uint8_t>{});
    both.insert(both.end(), second.begin(), second.end());
    sensor_.Feed(both);
    EXPECT_FALSE(sensor_.HasOutput());
    sensor_.EndOfBurst();
    std::vector<uint8_t> out;
    sensor_.TakeOutput(out);
    EXPECT_EQ(out.size(), 4096u);
}

TEST_F(SensorDeviceTest, MalformedInputIsCountedAndDoesNotDerailTheParser) {
    // Stray bytes, a request cut short by a new start byte, an unknown command.
    std::vector<uint8_t> junk = {0x85, 0x8F, 0x01, 0x82, 0x83, 0x01, 0x8B, 0x81, 0x81};
    sensor_.Feed(junk);
    sensor_.EndOfBurst();
    std::vector<uint8_t> out;
    sensor_.TakeOutput(out);
    EXPECT_TRUE(out.empty());
    const SensorCounters c = sensor_.Counters();
    EXPECT_EQ(c.strayBytes, 4u);
    EXPECT_EQ(c.malformedPackets, 1u);
    EXPECT_EQ(c.unknownCommands, 1u);
    EXPECT_EQ(c.bytesReceived, junk.size());
    EXPECT_EQ(Exchange(1).size(), 16u);
}

TEST_F(SensorDeviceTest, RequestSplitAcrossBurstsIsReassembled) {
    const std::vector<uint8_t> req = Request(1, 2, {0x04});
    sensor_.Feed(std::span(req).first(3));
    sensor_.EndOfBurst();
    EXPECT_FALSE(sensor_.HasOutput());
    sensor_.Feed(std::span(req).subspan(3));
    std::vector<uint8_t> out;
    sensor_.TakeOutput(out);
    EXPECT_EQ(Decode(out), std::vector<uint8_t>{48});
}

TEST_F(SensorDeviceTest, RecentRequestsRecordWhatTheSensorSaw) {
    Exchange(3, {0x09, 0x03});
    Exchange(3, {0x08, 0xE8});
    Exchange(1, {}, 9);
    const std::vector<ReceivedRequest> log = sensor_.RecentRequests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].data, (std::vector<uint8_t>{0x09, 0x03}));
    EXPECT_EQ(log[1].data, (std::vector<uint8_t>{0x08, 0xE8}));
    EXPECT_EQ(log[2].address, 9);
    EXPECT_EQ(log[2].command, 1);
}

// Fault switches.

TEST_F(SensorDeviceTest, DropNextReplyBytesSpansReplies) {
    sensor_.DropNextReplyBytes(18);
    EXPECT_TRUE(Exchange(1).empty());
    const std::vector<uint8_t> line = Exchange(6);
    EXPECT_EQ(line.size(), 2u) << "2 of the 4 bytes of the second reply dropped";
    EXPECT_EQ(Exchange(6).size(), 4u);
}

TEST_F(SensorDeviceTest, CorruptNextReplyClearsBitSevenOfOneByte) {
    sensor_.CorruptNextReply(3);
    std::vector<uint8_t> line = Exchange(1);
    ASSERT_EQ(line.size(), 16u);
    for (size_t i = 0; i < line.size(); ++i) EXPECT_EQ((line[i] & 0x80) == 0, i == 3) << i;
    line = Exchange(1);
    for (uint8_t b : line) EXPECT_NE(b & 0x80, 0);
    // An index beyond the reply hits its last byte.
    sensor_.CorruptNextReply(100);
    line = Exchange(2, {0});
    EXPECT_EQ(line[1] & 0x80, 0);
}

TEST_F(SensorDeviceTest, StaleCounterRepeatsThePreviousCounterOnce) {
    auto counterOf = [&] { return (Exchange(6)[0] >> 4) & 7; };
    EXPECT_EQ(counterOf(), 0);
    EXPECT_EQ(counterOf(), 1);
    sensor_.StaleCounterNextReply();
    EXPECT_EQ(counterOf(), 1);
    EXPECT_EQ(counterOf(), 2);
}

TEST_F(SensorDeviceTest, SilentSensorIgnoresRequestsAndStopsSamples) {
    Exchange(7);
    sensor_.SetSilent(true);
    EXPECT_TRUE(Exchange(1).empty());
    EXPECT_TRUE(Exchange(3, {0x06, 5}).empty());
    EXPECT_EQ(sensor_.Param(0x06), 1);
    sensor_.EmitSamples(4);
    EXPECT_FALSE(sensor_.HasOutput());
    EXPECT_EQ(sensor_.Counters().requests[1], 1u) << "it still saw the request";
    sensor_.SetSilent(false);
    EXPECT_EQ(Exchange(1).size(), 16u);
}

TEST_F(SensorDeviceTest, MutedParameterAddressGetsNoAnswer) {
    sensor_.MuteParamAddress(0x09);
    EXPECT_EQ(Exchange(2, {0x08}).size(), 2u);
    EXPECT_TRUE(Exchange(2, {0x09}).empty());
    EXPECT_TRUE(Exchange(2, {0x09}).empty());
    EXPECT_EQ(sensor_.Counters().paramReads[0x09], 2u);
    sensor_.MuteParamAddress(0x09, false);
    EXPECT_EQ(Exchange(2, {0x09}).size(), 2u);
}

TEST(OpticsTest, ResponsesAreMonotonicAndBounded) {
    double lastLine = -1, lastPixel = -1;
    for (int i = 0; i <= 1000; ++i) {
        const double u = i / 1000.0;
        const double line = optics::LineResponse(u);
        const double pixel = optics::SpotPixel(u, 1024);
        EXPECT_GT(line, lastLine);
        EXPECT_GT(pixel, lastPixel);
        EXPECT_LE(std::abs(line - u), 0.03 + 1e-12);
        EXPECT_TRUE(optics::SpotVisible(pixel, 1024));
        lastLine = line;
        lastPixel = pixel;
    }
}

TEST(WorldTest, DriftsOverTheRangeUntilFixed) {
    World world(80, 50);
    EXPECT_TRUE(world.Drifting());
    double low = 1e9, high = -1e9;
    for (int t = 0; t < 200; ++t) {
        const double mm = world.TargetAt(t * 0.1);
        low = std::min(low, mm);
        high = std::max(high, mm);
    }
    EXPECT_GE(low, 80.0);
    EXPECT_LE(high, 130.0);
    EXPECT_GT(high - low, 30.0);
    world.SetTargetMm(99.5);
    EXPECT_FALSE(world.Drifting());
    EXPECT_DOUBLE_EQ(world.TargetMm(), 99.5);
    EXPECT_NEAR(world.RangeFraction(), 0.39, 1e-12);
}

}  // namespace
}  // namespace veska::sim
