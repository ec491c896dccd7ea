#pragma once
#include <string>

namespace veska::lang {

/// Fixed notation with 10 significant digits and the given decimals, point as separator
/// whatever the locale (12.345, -0.500). Values needing more than 10 significant digits
/// before the point fall back to exponent notation as the number formatter does.
std::string FormatFixed(double value, int decimals);

/// Fixed notation with the given significant digits and decimals, point as separator
/// (the bench read-outs use 8 digits and 4 decimals). Exponent notation when the integer
/// part needs more digits than the precision.
std::string FormatFixedPrecision(double value, int precision, int decimals);

}  // namespace veska::lang
