#pragma once
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

namespace veska::ui {

/// Tick label of the chart's left axis in the manner of the number format "#,####.###":
/// thousands separated by ",", at most three decimals with trailing zeros dropped, the point
/// as decimal separator whatever the locale ("1,234.5", "-0.25", "0").
inline std::string FormatAxisNumber(double value) {
    if (!std::isfinite(value)) return {};
    const double magnitude = std::fabs(value);
    if (magnitude >= 1e15) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.6g", value);
        return buffer;
    }
    const auto scaled = static_cast<int64_t>(std::llround(magnitude * 1000.0));
    const std::string digits = std::to_string(scaled / 1000);
    std::string text;
    if (value < 0 && scaled != 0) text += '-';
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
        text += digits[i];
    }
    int fraction = static_cast<int>(scaled % 1000);
    if (fraction != 0) {
        std::string decimals = {char('0' + fraction / 100), char('0' + fraction / 10 % 10),
                                char('0' + fraction % 10)};
        while (!decimals.empty() && decimals.back() == '0') decimals.pop_back();
        text += '.';
        text += decimals;
    }
    return text;
}

}  // namespace veska::ui
