#include "results/TimeText.h"

#include <cctype>
#include <cstdlib>

namespace veska::results {

namespace {

/// The number of the digits at text[at, at + n), or -1 when one is not a digit.
int Digits(const std::string& text, size_t at, size_t n) {
    if (at + n > text.size()) return -1;
    int value = 0;
    for (size_t i = at; i < at + n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

}  // namespace

std::optional<std::string> SinceBound(const std::string& input) {
    std::string text = input;
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) text.pop_back();
    if (text.size() < 10 || Digits(text, 0, 4) < 0 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const int month = Digits(text, 5, 2);
    const int day = Digits(text, 8, 2);
    if (month < 1 || month > 12 || day < 1 || day > 31) return std::nullopt;
    if (text.size() == 10) return text;
    if (text[10] != 'T' || text.size() < 16 || text[13] != ':') return std::nullopt;
    const int hour = Digits(text, 11, 2);
    const int minute = Digits(text, 14, 2);
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59) return std::nullopt;
    if (text.size() == 16) return text;
    if (text[16] != ':') return std::nullopt;
    const int second = Digits(text, 17, 2);
    if (second < 0 || second > 60) return std::nullopt;
    if (text.size() == 19) return text;
    if (text[19] != '.' || text.size() == 20 || text.size() > 29 ||
        Digits(text, 20, text.size() - 20) < 0) {
        return std::nullopt;
    }
    return text;
}

}  // namespace veska::results
