#include "results/RunResult.h"

#include <array>
#include <cstdio>
#include <random>

namespace veska::results {

namespace {

struct OutcomeWord {
    Outcome outcome;
    const char* word;
};

constexpr std::array<OutcomeWord, 4> kOutcomeWords = {{
    {Outcome::Passed, "passed"},
    {Outcome::Failed, "failed"},
    {Outcome::Error, "error"},
    {Outcome::Aborted, "aborted"},
}};

}  // namespace

const char* OutcomeName(Outcome outcome) {
    for (const OutcomeWord& w : kOutcomeWords) {
        if (w.outcome == outcome) return w.word;
    }
    return "error";
}

std::optional<Outcome> ParseOutcome(std::string_view word) {
    for (const OutcomeWord& w : kOutcomeWords) {
        if (word == w.word) return w.outcome;
    }
    if (word == "stopped") return Outcome::Aborted;
    return std::nullopt;
}

std::string NewRunId() {
    // One generator per thread, seeded from the system's entropy source.
    thread_local std::mt19937_64 generator = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::array<uint8_t, 16> bytes{};
    for (size_t i = 0; i < bytes.size(); i += 8) {
        const uint64_t word = generator();
        for (size_t k = 0; k < 8; ++k) bytes[i + k] = static_cast<uint8_t>(word >> (8 * k));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", bytes[0],
                  bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7], bytes[8],
                  bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
    return text;
}

}  // namespace veska::results
