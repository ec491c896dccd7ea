#include "acquire/ValueLabel.h"

#include "lang/NumberFormat.h"

namespace veska::acquire {

std::string ValueLabel::Text(double value) const {
    switch (kind) {
        case Kind::Number:
            return lang::FormatFixed(value, decimals) + unit;
        case Kind::Level:
            return value != 0.0 ? "Hi" : "Lo";
        case Kind::None:
            break;
    }
    return {};
}

float ResultMillimetres(uint16_t raw, int16_t measuringRange, uint16_t resultDivisor) {
    const long double divisor = resultDivisor == 0 ? 1 : resultDivisor;
    return static_cast<float>(static_cast<long double>(raw) * measuringRange / divisor);
}

SampleConversion ConvertSample(StreamConversion conversion, uint16_t raw, uint8_t statusByte,
                               int16_t measuringRange, uint16_t resultDivisor, float zeroOffset,
                               int32_t newIndex) {
    SampleConversion c;
    switch (conversion) {
        case StreamConversion::RelativeMm: {
            c.setsCurrent = true;
            c.current = ResultMillimetres(raw, measuringRange, resultDivisor);
            const long double relative =
                static_cast<long double>(c.current) - static_cast<long double>(zeroOffset);
            c.stores = true;
            c.stored = static_cast<float>(relative);
            c.shows = true;
            c.labelValue = static_cast<double>(relative);
            break;
        }
        case StreamConversion::AbsoluteMm:
            c.setsCurrent = true;
            c.current = ResultMillimetres(raw, measuringRange, resultDivisor);
            c.stores = true;
            c.stored = c.current;
            c.shows = true;
            c.labelValue = c.current;
            break;
        case StreamConversion::Raw:
            c.setsCurrent = true;
            c.current = raw;
            c.stores = true;
            c.stored = raw;
            c.shows = true;
            c.labelValue = raw;
            break;
        case StreamConversion::Index:
            c.shows = true;
            c.labelValue = newIndex;
            break;
        case StreamConversion::Level:
            c.shows = true;
            c.labelValue = (statusByte & 0x02) != 0 ? 1.0 : 0.0;
            break;
        case StreamConversion::None:
            break;
    }
    return c;
}

}  // namespace veska::acquire
