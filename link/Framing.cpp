#include "link/Framing.h"

namespace veska::link {

namespace {

constexpr uint8_t kTopBit = 0x80;

uint8_t CounterOf(uint8_t lineByte) { return (lineByte >> 4) & 0x07; }

}  // namespace

void BuildRequest(uint8_t netAddress, uint8_t command, std::span<const uint8_t> data,
                  std::vector<uint8_t>& out) {
    out.reserve(out.size() + 2 + 2 * data.size());
    out.push_back(netAddress & 0x7F);
    out.push_back(kTopBit | (command & 0x0F));
    for (uint8_t d : data) {
        out.push_back(kTopBit | (d & 0x0F));
        out.push_back(kTopBit | (d >> 4));
    }
}

ReplyCheck CheckReply(std::span<const uint8_t> line) {
    ReplyCheck check;
    if (line.empty()) return check;
    for (uint8_t b : line) {
        if ((b & kTopBit) == 0) {
            check.kind = ReplyCheck::kTopBitClear;
            return check;
        }
    }
    const uint8_t reference = CounterOf(line[0]);
    bool agree = true;
    for (uint8_t b : line) agree = agree && CounterOf(b) == reference;
    if (agree) {
        check.counter = reference;
        return check;
    }
    // The trailing run of one counter is the head of a newer reply; as many of its bytes
    // are still under way as precede the run.
    size_t i = line.size() - 1;
    while (i > 0 && CounterOf(line[i]) == CounterOf(line[i - 1])) --i;
    check.kind = ReplyCheck::kCounterMismatch;
    check.bytesToDrop = i;
    return check;
}

bool CountersAgree(std::span<const uint8_t> line) {
    for (uint8_t b : line) {
        if (CounterOf(b) != CounterOf(line[0])) return false;
    }
    return true;
}

void DecodeReply(std::span<uint8_t> line) {
    const size_t n = line.size() / 2;
    for (size_t k = 0; k < n; ++k) {
        line[k] = static_cast<uint8_t>((line[2 * k] & 0x0F) | ((line[2 * k + 1] & 0x0F) << 4));
    }
}

}  // namespace veska::link
