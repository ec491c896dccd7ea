// Pure codings of the board protocol: configuration bytes, serial numbers, staging, marker runs.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "driver/BoardProtocol.h"

namespace {

using veska::driver::BoardNumberOf;
using veska::driver::PlanConfig;
using Bytes = std::vector<uint8_t>;

Bytes AllBytes(const veska::driver::ConfigPlan& plan) {
    Bytes all;
    for (const auto& step : plan.steps) all.insert(all.end(), step.bytes.begin(), step.bytes.end());
    return all;
}

DeviceConfig Channel0(uint32_t reg0, uint32_t reg8) {
    DeviceConfig c{};
    c.reg0Value = reg0;
    c.reg8Value = reg8;
    c.channelOn[0] = 1;
    return c;
}

struct ConfigCase {
    const char* name;
    DeviceConfig config;
    Bytes bytes;
    int32_t result;
};

DeviceConfig Live() {
    DeviceConfig c = Channel0(500, 0xFFFF);
    c.regFBit2 = 1;
    c.regFBit3 = 1;
    return c;
}
DeviceConfig Span(uint8_t span, uint32_t bit3) {
    DeviceConfig c = Channel0(500, 1);
    c.reg2Span = span;
    c.reg2Bit3 = bit3;
    return c;
}
DeviceConfig AllChannels() {
    DeviceConfig c = Channel0(500, 1);
    for (uint32_t& on : c.channelOn) on = 7;
    return c;
}

TEST(ConfigPlan, SendsTheBytesOfEachConfiguration) {
    const ConfigCase cases[] = {
        {"sweep",
         Channel0(500, 1),
         {0xE1, 0xD1, 0xC0, 0x02, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xB0, 0xA0, 0x90, 0x81, 0xF0, 0x30, 0x30, 0x30, 0x30, 0x11, 0x1F},
         0},
        {"live",
         Live(),
         {0xE1, 0xD1, 0xC0, 0x02, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xBF, 0xAF, 0x9F, 0x8F, 0xFC, 0x30, 0x30, 0x30, 0x30, 0x11, 0x1F},
         0},
        {"reg0 39 stops after the mask", Channel0(39, 1), {0xE1, 0xD1, 0xC0}, 5},
        {"reg0 40 sends 38",
         Channel0(40, 1),
         {0xE1, 0xD1, 0xC0, 0x06, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0xB0, 0xA0, 0x90, 0x81, 0xF0, 0x30, 0x30, 0x30, 0x30, 0x11, 0x1F},
         0},
        {"reg8 above 16 bits stops after register 0",
         Channel0(500, 0x10000),
         {0xE1, 0xD1, 0xC0, 0x02, 0x0F, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00},
         5},
    };
    for (const ConfigCase& c : cases) {
        const auto plan = PlanConfig(c.config);
        EXPECT_EQ(AllBytes(plan), c.bytes) << c.name;
        EXPECT_EQ(plan.result, c.result) << c.name;
    }
}

TEST(ConfigPlan, Register2CountsTheChannelsWithinTheSpan) {
    struct Case {
        uint8_t span;
        uint32_t bit3;
        uint8_t last;
    } const cases[] = {
        {0, 0, 0x1F}, {0, 1, 0x1F},  // nothing counted: S - 1 = 0xFF, the flag changes nothing
        {1, 0, 0x20}, {1, 1, 0x28},  // channel 0 counted
        {9, 0, 0x20},                // above 8 counts as 8
    };
    for (const Case& c : cases) {
        const Bytes bytes = AllBytes(PlanConfig(Span(c.span, c.bit3)));
        EXPECT_EQ(bytes.back(), c.last) << "span " << int(c.span) << " bit3 " << c.bit3;
    }
}

TEST(ConfigPlan, AllEightChannels) {
    const Bytes bytes = AllBytes(PlanConfig(AllChannels()));
    EXPECT_EQ(bytes[1], 0xDF);
    EXPECT_EQ(bytes[2], 0xCF);
    EXPECT_EQ(bytes[bytes.size() - 2], 0x18);
}

TEST(ConfigPlan, NoChannelSendsNothing) {
    DeviceConfig c{};
    c.reg0Value = 500;
    const auto plan = PlanConfig(c);
    EXPECT_TRUE(plan.steps.empty());
    EXPECT_EQ(plan.result, VOKTDRV_ERR_NO_CHANNEL);
}

TEST(ConfigPlan, RegisterThreeAndTheFlagsTakeTheirBits) {
    DeviceConfig c = Channel0(500, 1);
    c.reg3Value = 0xABCD;
    c.regFBit1 = 1;
    const Bytes bytes = AllBytes(PlanConfig(c));
    EXPECT_EQ(bytes[15], 0xF2);
    EXPECT_EQ(Bytes(bytes.begin() + 16, bytes.begin() + 20), (Bytes{0x3D, 0x3C, 0x3B, 0x3A}));
}

TEST(BoardNumber, ParsesThePrefixAndAtMostThreeCharacters) {
    struct Case {
        const char* serial;
        std::optional<uint32_t> number;
    } const cases[] = {
        {"VOKT.5", 5u},
        {"VOKT.042A", 42u},
        {"VOKT.1234", 123u},
        {"VOKT.XYZ", 0u},
        {"VOKT.", 0u},
        {"VOKT. 7", 7u},
        {"VOKT.+12", 12u},
        {"VOKT.-1", 0xFFFFFFFFu},
        {"VOKT.699", 699u},
        {"vokt.5", std::nullopt},
        {"VOKT5", std::nullopt},
        {"VOKT", std::nullopt},
        {"FT123456", std::nullopt},
        {"", std::nullopt},
        {nullptr, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BoardNumberOf(c.serial), c.number) << (c.serial ? c.serial : "(null)");
}

TEST(BoardNumber, ChoosesTheImage) {
    EXPECT_EQ(veska::driver::ImageIdForBoard(0), 101u);
    EXPECT_EQ(veska::driver::ImageIdForBoard(699), 101u);
    EXPECT_EQ(veska::driver::ImageIdForBoard(700), 102u);
    EXPECT_EQ(veska::driver::ImageIdForBoard(0xFFFFFFFFu), 102u);
}

TEST(Staging, TwoPinBytesPerBitLeastSignificantFirst) {
    const Bytes image = {10, 0, 0, 0, 2, 0, 0, 0, 0b00000101, 0b10};
    const Bytes pins = veska::driver::StageImageBits(image, 10);
    const Bytes expected = {0x83, 0xC3, 0x03, 0x43, 0x83, 0xC3, 0x03, 0x43, 0x03, 0x43,
                            0x03, 0x43, 0x03, 0x43, 0x03, 0x43, 0x03, 0x43, 0x83, 0xC3};
    EXPECT_EQ(pins, expected);
}

TEST(MarkerRuns, MoreThanSevenInARowIsOverflow) {
    struct Case {
        const char* name;
        std::vector<Bytes> calls;
        std::vector<bool> overflow;
    } const cases[] = {
        {"seven", {Bytes(7, 0x11)}, {false}},
        {"eight", {Bytes(8, 0x11)}, {true}},
        {"broken run", {{0x11, 0x11, 0x11, 0x11, 0x00, 0x11, 0x11, 0x11, 0x11}}, {false}},
        {"four plus four", {Bytes(4, 0x11), Bytes(4, 0x11)}, {false, true}},
        {"reset by another byte", {Bytes(4, 0x11), {0x12, 0x11, 0x11, 0x11, 0x11}}, {false, false}},
    };
    for (const Case& c : cases) {
        uint8_t counter = 0;
        for (size_t i = 0; i < c.calls.size(); ++i)
            EXPECT_EQ(veska::driver::ScanMarkerRuns(c.calls[i], counter), c.overflow[i])
                << c.name << " call " << i;
    }
}

}  // namespace
