#include "sim/AnalogStage.h"

#include <algorithm>

namespace veska::sim {

double AnalogStage::OutputAtCode(int32_t code) const {
    const double c = std::clamp<int32_t>(code, 0, kCodes - 1);
    const double span = std::max(fullCode - zeroCode, 1.0);
    const double out = FullScale() * (c - zeroCode) / span;
    return std::clamp(out, 0.0, FullScale() * clipFraction);
}

double AnalogStage::BoardVoltsAtCode(int32_t code) const {
    const double out = OutputAtCode(code);
    return kind == AnalogOutputKind::Voltage ? out : out / 2.0;
}

int32_t AnalogStage::FirstCodeAbove(double rise, double floor) const {
    const double base = OutputAtCode(0);
    for (int32_t c = 0; c < kCodes; ++c) {
        const double v = OutputAtCode(c);
        if (v >= floor && v > base + rise) return c;
    }
    return -1;
}

int32_t AnalogStage::FirstCodeAtFullScale() const {
    for (int32_t c = 0; c < kCodes; ++c) {
        if (OutputAtCode(c) >= FullScale()) return c;
    }
    return -1;
}

}  // namespace veska::sim
