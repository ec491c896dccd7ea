#include "lang/NumberFormat.h"

#include <charconv>
#include <cmath>

namespace veska::lang {

namespace {

std::string NonFinite(double value) {
    return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
}

/// No "-0.000": a value that rounds to zero is shown without a sign.
void DropNegativeZeroSign(std::string& text) {
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
}

}  // namespace

std::string FormatFixed(double value, int decimals) {
    constexpr int kPrecision = 10;
    if (!std::isfinite(value)) return NonFinite(value);
    char buffer[64];
    // Round to 10 significant digits first, as the number formatter does.
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           kPrecision - 1);
    double rounded = 0.0;
    std::from_chars(buffer, r.ptr, rounded);
    if (rounded != 0.0 && std::fabs(rounded) >= 1e10) {
        r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::scientific,
                          kPrecision - 1);
        return std::string(buffer, r.ptr);
    }
    r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    std::string text(buffer, r.ptr);
    DropNegativeZeroSign(text);
    return text;
}

std::string FormatFixedPrecision(double value, int precision, int decimals) {
    if (!std::isfinite(value)) return NonFinite(value);
    char buffer[96];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           precision - 1);
    double rounded = 0.0;
    std::from_chars(buffer, r.ptr, rounded);
    if (rounded != 0.0 && std::fabs(rounded) >= std::pow(10.0, precision)) {
        return std::string(buffer, r.ptr);
    }
    r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    std::string text(buffer, r.ptr);
    DropNegativeZeroSign(text);
    return text;
}

}  // namespace veska::lang
