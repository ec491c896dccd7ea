#pragma once
// Test-side encoding of the sensor's wire format, written apart from both the host's
// framing and the simulated firmware, so each is checked against a third reading.
#include <cstdint>
#include <span>
#include <vector>

namespace veska::sim::test {

/// Host request: address (bit 7 clear), 0x80 | command, then each data byte as two
/// bytes 0x80 | nibble, low nibble first.
inline std::vector<uint8_t> Request(uint8_t address, uint8_t command,
                                    std::span<const uint8_t> data) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(address & 0x7F),
                                static_cast<uint8_t>(0x80 | command)};
    for (uint8_t d : data) {
        out.push_back(static_cast<uint8_t>(0x80 | (d & 0x0F)));
        out.push_back(static_cast<uint8_t>(0x80 | (d >> 4)));
    }
    return out;
}

inline std::vector<uint8_t> Request(uint8_t address, uint8_t command,
                                    const std::vector<uint8_t>& data) {
    return Request(address, command, std::span<const uint8_t>(data));
}

/// Reply line bytes to data bytes (counters ignored; an odd last byte is dropped).
inline std::vector<uint8_t> Decode(std::span<const uint8_t> line) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < line.size(); i += 2)
        out.push_back(static_cast<uint8_t>((line[i] & 0x0F) | (line[i + 1] & 0x0F) << 4));
    return out;
}

inline std::vector<uint8_t> Decode(const std::vector<uint8_t>& line) {
    return Decode(std::span<const uint8_t>(line));
}

}  // namespace veska::sim::test
