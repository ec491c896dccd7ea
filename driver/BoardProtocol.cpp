#include "driver/BoardProtocol.h"

#include <bit>
#include <cctype>
#include <cstring>

namespace veska::driver {

uint32_t ImageIdForBoard(uint32_t boardNumber) {
    return boardNumber < kFirstHighBoard ? kImageLow : kImageHigh;
}

std::optional<uint32_t> BoardNumberOf(const char* serial) {
    constexpr size_t kPrefixLength = sizeof kSerialPrefix - 1;
    constexpr size_t kNumberChars = 3;
    if (serial == nullptr || std::strncmp(serial, kSerialPrefix, kPrefixLength) != 0)
        return std::nullopt;
    // Only the three characters after the prefix count; the string may end earlier.
    char text[kNumberChars + 1] = {};
    std::strncpy(text, serial + kPrefixLength, kNumberChars);
    const char* p = text;
    while (*p != '\0' && std::isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    uint32_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<uint32_t>(*p - '0');
    return negative ? 0u - value : value;
}

namespace {

/// Nibble j of value: bits 4j ... 4j+3.
uint8_t Nibble(uint32_t value, int j) { return static_cast<uint8_t>((value >> (4 * j)) & 0x0F); }

}  // namespace

ConfigPlan PlanConfig(const DeviceConfig& config) {
    ConfigPlan plan;
    uint8_t mask = 0;
    for (int k = 0; k < 8; ++k)
        if (config.channelOn[k] != 0) mask |= static_cast<uint8_t>(1u << k);
    plan.channelCount = static_cast<uint8_t>(std::popcount(mask));
    if (plan.channelCount == 0) {
        plan.result = VOKTDRV_ERR_NO_CHANNEL;
        return plan;
    }
    plan.steps.push_back({{cmd::kIdle}, VOKTDRV_ERR_INDEX});
    plan.steps.push_back(
        {{static_cast<uint8_t>(0xD0 | (mask & 0x0F)), static_cast<uint8_t>(0xC0 | (mask >> 4))},
         VOKTDRV_ERR_DEVICE});
    if (config.reg0Value < 40) {
        plan.result = VOKTDRV_ERR_ARG;
        return plan;
    }
    const uint32_t v = config.reg0Value - 2;
    CommandStep reg0{{}, VOKTDRV_ERR_INDEX};
    for (int j = 0; j < 8; ++j) reg0.bytes.push_back(Nibble(v, j));
    plan.steps.push_back(std::move(reg0));
    if (config.reg8Value > 0xFFFF) {
        plan.result = VOKTDRV_ERR_ARG;
        return plan;
    }
    const uint32_t r8 = config.reg8Value;
    plan.steps.push_back(
        {{static_cast<uint8_t>(0xB0 | Nibble(r8, 3)), static_cast<uint8_t>(0xA0 | Nibble(r8, 2)),
          static_cast<uint8_t>(0x90 | Nibble(r8, 1)), static_cast<uint8_t>(0x80 | Nibble(r8, 0))},
         VOKTDRV_ERR_DEVICE});
    uint8_t flags = 0xF0;
    if (config.regFBit3 != 0) flags |= 8;
    if (config.regFBit2 != 0) flags |= 4;
    if (config.regFBit1 != 0) flags |= 2;
    plan.steps.push_back({{flags}, VOKTDRV_ERR_DEVICE});
    CommandStep reg3{{}, VOKTDRV_ERR_INDEX};
    for (int j = 0; j < 4; ++j)
        reg3.bytes.push_back(static_cast<uint8_t>(0x30 | Nibble(config.reg3Value, j)));
    plan.steps.push_back(std::move(reg3));
    plan.steps.push_back({{static_cast<uint8_t>(0x10 + plan.channelCount)}, VOKTDRV_ERR_INDEX});
    const unsigned span = config.reg2Span > 8 ? 8u : config.reg2Span;
    const uint8_t counted = static_cast<uint8_t>(mask & ((1u << span) - 1u));
    // S - 1 in 8-bit arithmetic: no counted channel gives 0xFF, which the flag cannot change.
    uint8_t figure = static_cast<uint8_t>(std::popcount(counted) - 1);
    if (config.reg2Bit3 != 0) figure |= 0x08;
    plan.steps.push_back({{static_cast<uint8_t>(figure + 0x20)}, VOKTDRV_ERR_INDEX});
    return plan;
}

uint32_t ImageBitCount(std::span<const uint8_t> image) {
    if (image.size() < kImageHeaderSize) return 0;
    return uint32_t{image[0]} | uint32_t{image[1]} << 8 | uint32_t{image[2]} << 16 |
           uint32_t{image[3]} << 24;
}

std::vector<uint8_t> StageImageBits(std::span<const uint8_t> image, uint32_t bitCount) {
    std::vector<uint8_t> pins;
    pins.reserve(size_t{bitCount} * 2);
    for (uint32_t i = 0; i < bitCount; ++i) {
        const bool bit = (image[kImageHeaderSize + i / 8] >> (i % 8)) & 1;
        const uint8_t low = static_cast<uint8_t>(kPinsReady | (bit ? kPinData : 0));
        pins.push_back(low);
        pins.push_back(static_cast<uint8_t>(low | kPinClock));
    }
    return pins;
}

bool ScanMarkerRuns(std::span<const uint8_t> bytes, uint8_t& runCounter) {
    bool overflow = false;
    for (uint8_t b : bytes) {
        if (b == kMarker) {
            ++runCounter;
            if (runCounter > kMarkerRunLimit) overflow = true;
        } else {
            runCounter = 0;
        }
    }
    return overflow;
}

}  // namespace veska::driver
