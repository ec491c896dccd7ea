#pragma once
#include <cstdint>

namespace veska::sim {

/// Which analog output a sensor carries: 0..10 V, or the 4..20 mA loop (codes map to 0..20 mA
/// and the bottom level is set at the loop's live zero).
enum class AnalogOutputKind { Voltage, Current };

/// The sensor's analog output stage: a 14-bit DAC code (0..16383) to the output, with an
/// offset and a gain error given as the two codes at which the ideal straight line crosses
/// 0 and full scale (10 V or 20 mA), a floor at 0 and a clip a little above full scale.
struct AnalogStage {
    static constexpr int32_t kCodes = 16384;

    AnalogOutputKind kind = AnalogOutputKind::Voltage;
    double zeroCode = 183.0;      ///< the code of 0 V (0 mA): the offset error [codes]
    double fullCode = 16021.0;    ///< the code of 10 V (20 mA): the gain error [codes]
    double clipFraction = 1.025;  ///< the output clips at this fraction of full scale

    /// Full scale [V] or [mA].
    double FullScale() const { return kind == AnalogOutputKind::Voltage ? 10.0 : 20.0; }
    /// The output at a code (clamped to 0..16383) [V] or [mA].
    double OutputAtCode(int32_t code) const;
    /// What the analog board's channel 0 sees [V]: the voltage output itself, or the loop
    /// current across the board's shunt (U = I / 2, I in mA).
    double BoardVoltsAtCode(int32_t code) const;
    /// The first code whose output exceeds the output at code 0 by more than rise, and the
    /// first code reaching full scale (-1 when none): the levels an adjustment should find.
    int32_t FirstCodeAbove(double rise, double floor) const;
    int32_t FirstCodeAtFullScale() const;
};

}  // namespace veska::sim
