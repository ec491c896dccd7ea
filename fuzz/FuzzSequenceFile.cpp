// Any bytes as a sequence file: parsed or refused with a message, and what parses keeps the
// format's rules (at least one step, unique step names, finite limits the right way round).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "station/Sequence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    const auto sequence = veska::station::ParseSequence(
        std::string(reinterpret_cast<const char*>(data), size), "fuzz.toml", error);
    if (!sequence) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    if (sequence->steps.empty()) __builtin_trap();
    std::set<std::string> names;
    for (const auto& step : sequence->steps) {
        if (!names.insert(step.name).second) __builtin_trap();
        for (const auto& limit : step.measurements) {
            if (limit.low && !std::isfinite(*limit.low)) __builtin_trap();
            if (limit.high && !std::isfinite(*limit.high)) __builtin_trap();
            if (limit.low && limit.high && *limit.low > *limit.high) __builtin_trap();
        }
    }
    return 0;
}
