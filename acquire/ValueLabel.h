#pragma once
#include <cstdint>
#include <string>

namespace veska::acquire {

/// How the large value label (LabelRast) shows a number of a mode.
struct ValueLabel {
    enum class Kind : uint8_t {
        None,    ///< the label is not touched
        Number,  ///< fixed notation with `decimals`, then `unit`
        Level,   ///< "Hi" for a non-zero value, "Lo" for 0
    };
    Kind kind = Kind::None;
    int decimals = 0;
    const char* unit = "";  ///< " mm", " px", " cl" or ""

    /// The label text of a value; empty for Kind::None.
    std::string Text(double value) const;
};

inline constexpr ValueLabel kLabelMillimetres{ValueLabel::Kind::Number, 3, " mm"};
inline constexpr ValueLabel kLabelPixels{ValueLabel::Kind::Number, 0, " px"};
inline constexpr ValueLabel kLabelCounts{ValueLabel::Kind::Number, 0, " cl"};
inline constexpr ValueLabel kLabelIndex{ValueLabel::Kind::Number, 0, ""};
inline constexpr ValueLabel kLabelLevel{ValueLabel::Kind::Level, 0, ""};
inline constexpr ValueLabel kLabelNone{};

/// What one good stream sample does, by mode (the stream's conversion of a mode row).
enum class StreamConversion : uint8_t {
    None,        ///< nothing stored (the ring index still advances), nothing shown
    RelativeMm,  ///< currentValue = mm; stored and shown: mm - zeroOffset
    AbsoluteMm,  ///< currentValue, stored and shown: mm
    Raw,         ///< currentValue, stored and shown: the raw value
    Index,       ///< shown: the ring position the sample lands at; nothing stored
    Level,       ///< shown: bit 1 of the status byte (the limit output); nothing stored
};

/// The effect of one good sample.
struct SampleConversion {
    bool setsCurrent = false;  ///< currentValue becomes `current`
    float current = 0.0f;
    bool stores = false;  ///< `stored` goes into the ring at the new index
    float stored = 0.0f;
    bool shows = false;       ///< the label shows `labelValue`
    double labelValue = 0.0;  ///< Level: 1 for "Hi", 0 for "Lo"
};

/// The conversion of one good sample (extended precision, stored single). raw: the sample;
/// statusByte: the status sample's third byte; newIndex: the ring position it lands at;
/// mm = raw x measuringRange / resultDivisor (a divisor of 0 counts as 1).
SampleConversion ConvertSample(StreamConversion conversion, uint16_t raw, uint8_t statusByte,
                               int16_t measuringRange, uint16_t resultDivisor, float zeroOffset,
                               int32_t newIndex);

/// raw x measuringRange / resultDivisor in extended precision, stored single; a divisor of 0
/// counts as 1 [mm].
float ResultMillimetres(uint16_t raw, int16_t measuringRange, uint16_t resultDivisor);

}  // namespace veska::acquire
