#include "params/ParamCodings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "lang/Language.h"

namespace veska::params {

namespace {

// clang-format off
constexpr Coding kRowCodings[kGridParamCount] = {
    Coding::OnOff,       Coding::OnOff,       Coding::UartBaud,    Coding::PickDecimal,  // 0..3
    Coding::ControlByte, Coding::ControlByte, Coding::ControlByte, Coding::PickDecimal,  // 4..7
    Coding::ControlByte, Coding::Decimal,     Coding::Decimal,     Coding::Percent,      // 8..11
    Coding::Percent,     Coding::LockTime,    Coding::ZeroPoint,   Coding::OnOff,        // 12..15
    Coding::Hex,         Coding::CanBaud,     Coding::Hex,         Coding::Hex,          // 16..19
    Coding::CanIdentifier, Coding::ControlByte,                                          // 20, 21
    Coding::DottedQuad,  Coding::DottedQuad,  Coding::DottedQuad,  Coding::DottedQuad,   // 22..25
    Coding::LanMode,     Coding::Decimal,     Coding::Decimal,     Coding::Decimal,      // 26..29
    Coding::Decimal,     Coding::Decimal,     Coding::Decimal,     Coding::Decimal,      // 30..33
    Coding::Decimal,     Coding::Signed16,    Coding::Divisor,                           // 34..36
};
// clang-format on

constexpr int32_t kUartBaudUnit = 2400;  ///< [bit/s] per step of parameter 2
constexpr int32_t kUartBaudTop = 128;    ///< parameter 2's code for 921600 bit/s
constexpr int32_t kLockTimeUnit = 5;
constexpr int32_t kCanBaudUnit = 5000;  ///< [bit/s] per step of parameter 17
constexpr int64_t kZeroPointScale = 16384;
constexpr double kWindowFull = 65534.0;
constexpr int kFirstSigned16RestoreRow = 32;  ///< rows 32..35 restore as signed 16 bits
constexpr int kRowSigned16 = 35;

std::string Word(const lang::TextTable& texts, int key) { return texts.ParamValue(key); }

std::vector<std::string> Numbers(int64_t from, int64_t to, int64_t step) {
    std::vector<std::string> list;
    for (int64_t n = from; n <= to; n += step) list.push_back(std::to_string(n));
    return list;
}

/// AL control states (bits 2, 3, 6) in pick-list order with their words.
struct AlState {
    int32_t bits;
    int word;
};
constexpr AlState kAlStates[] = {
    {0x00, kWordAl00}, {0x04, kWordAl00 + 1}, {0x08, kWordAl00 + 2}, {0x0C, kWordAl00 + 3},
    {0x40, kWordAl40}, {0x44, kWordAl40 + 1}, {0x48, kWordAl40 + 2},
};

std::string ShowControlByte(int param, int32_t v, const lang::TextTable& texts) {
    std::string word = ControlByteWord(param, v, texts);
    return word.empty() ? std::to_string(v) : word;
}

std::vector<std::string> ControlBytePicks(int param, const lang::TextTable& texts) {
    switch (param) {
        case kRowControlSample:
            return {Word(texts, kWordSampleOnRequest), Word(texts, kWordSampleFreeRun)};
        case kRowAlControl: {
            std::vector<std::string> list;
            for (const AlState& state : kAlStates) list.push_back(Word(texts, state.word));
            return list;
        }
        case kRowWindowControl:
            return {Word(texts, kWordWindowOff), Word(texts, kWordWindowOn)};
        case kRowAveragingMode:
            return {Word(texts, kWordAveragingMoving), Word(texts, kWordAveragingBlock)};
        case kRowCanMode:
            return {Word(texts, kWordCanOff), Word(texts, kWordCanOnRequest),
                    Word(texts, kWordCanFreeRun)};
        default:
            return {};
    }
}

}  // namespace

Coding CodingOf(int param) {
    if (param < 0 || param >= kGridParamCount) return Coding::Decimal;
    return kRowCodings[param];
}

bool IsControlByteRow(int param) {
    return param >= 0 && param < kGridParamCount && CodingOf(param) == Coding::ControlByte;
}

std::string ControlByteWord(int param, int32_t b, const lang::TextTable& texts) {
    switch (param) {
        case kRowControlSample:
            return Word(texts, (b & kSampleBit) ? kWordSampleFreeRun : kWordSampleOnRequest);
        case kRowWindowControl:
            return Word(texts, (b & kWindowBit) ? kWordWindowOn : kWordWindowOff);
        case kRowAveragingMode:
            return Word(texts, (b & kAveragingBit) ? kWordAveragingBlock : kWordAveragingMoving);
        case kRowAlControl:
            for (const AlState& state : kAlStates) {
                if ((b & kAlMask) == state.bits) return Word(texts, state.word);
            }
            return {};
        case kRowCanMode:
            switch (b & kCanModeMask) {
                case 0x00:
                    return Word(texts, kWordCanOff);
                case kCanBit:
                    return Word(texts, kWordCanOnRequest);
                case kCanModeMask:
                    return Word(texts, kWordCanFreeRun);
                default:
                    return {};
            }
        default:
            return {};
    }
}

int32_t ComposeControlByte(int param, const std::string& t, int32_t b,
                           const lang::TextTable& texts) {
    switch (param) {
        case kRowControlSample:
            return t == Word(texts, kWordSampleOnRequest) ? (b & ~kSampleBit) : (b | kSampleBit);
        case kRowCanMode:
            b = t == Word(texts, kWordCanOff) ? (b & ~kCanBit) : (b | kCanBit);
            if (t == Word(texts, kWordCanOnRequest)) b &= ~kSampleBit;
            if (t == Word(texts, kWordCanFreeRun)) b |= kSampleBit;
            return b;
        case kRowAveragingMode:
            return t == Word(texts, kWordAveragingMoving) ? (b & ~kAveragingBit)
                                                          : (b | kAveragingBit);
        case kRowAlControl:
            for (const AlState& state : kAlStates) {
                // 0xB3 = every bit but the AL bits (2, 3, 6)
                if (t == Word(texts, state.word)) return (b & 0xB3) | state.bits;
            }
            return b;
        case kRowWindowControl:
            return t == Word(texts, kWordWindowOff) ? (b & ~kWindowBit) : (b | kWindowBit);
        default:
            return b;
    }
}

std::string ShownText(const ParamTable& table, int param, int32_t v, const lang::TextTable& texts) {
    switch (CodingOf(param)) {
        case Coding::OnOff:
            return Word(texts, v != 0 ? kWordOn : kWordOff);
        case Coding::UartBaud:
            return std::to_string(v == kUartBaudTop ? 921600 : int64_t{v} * kUartBaudUnit);
        case Coding::ControlByte:
            return ShowControlByte(param, v, texts);
        case Coding::Percent:
            return std::to_string(WindowPercent(v));
        case Coding::LockTime:
            return std::to_string(int64_t{v} * kLockTimeUnit);
        case Coding::ZeroPoint:
            return std::to_string(int64_t{v} * 1000 / kZeroPointScale);
        case Coding::Hex:
            return FormatHex(static_cast<uint32_t>(v),
                             param < kParamCount ? table[param].maxLength : 0);
        case Coding::CanBaud:
            return std::to_string(int64_t{v} * kCanBaudUnit);
        case Coding::CanIdentifier:
            return Word(texts, v == 0 ? kWordCanStandardId : kWordCanExtendedId);
        case Coding::DottedQuad:
            return FormatDottedQuad(static_cast<uint32_t>(v));
        case Coding::LanMode:
            return Word(texts, (v & 1) ? kWordLanOn : kWordOff);
        case Coding::Signed16:
            return std::to_string(static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)));
        case Coding::PickDecimal:
        case Coding::Decimal:
        case Coding::Divisor:
            break;
    }
    return std::to_string(v);
}

std::vector<std::string> PickList(int param, const lang::TextTable& texts) {
    switch (CodingOf(param)) {
        case Coding::OnOff:
            return {Word(texts, kWordOn), Word(texts, kWordOff)};
        case Coding::UartBaud:
            return UartBaudTexts();
        case Coding::PickDecimal:
            return param == kRowNetAddress ? Numbers(1, 127, 1) : Numbers(1, 255, 1);
        case Coding::ControlByte:
            return ControlBytePicks(param, texts);
        case Coding::LockTime:
            return Numbers(0, 1275, kLockTimeUnit);
        case Coding::CanBaud:
            return CanBaudTexts();
        case Coding::CanIdentifier:
            return {Word(texts, kWordCanStandardId), Word(texts, kWordCanExtendedId)};
        case Coding::LanMode:
            return {Word(texts, kWordOff), Word(texts, kWordLanOn)};
        default:
            return {};
    }
}

const std::vector<std::string>& UartBaudTexts() {
    static const std::vector<std::string> kTexts = {"2400",   "4800",   "9600",  "14400",
                                                    "19200",  "38400",  "57600", "115200",
                                                    "230400", "460800", "921600"};
    return kTexts;
}

const std::vector<std::string>& CanBaudTexts() {
    static const std::vector<std::string> kTexts = {"50000",  "100000", "125000",
                                                    "250000", "500000", "1000000"};
    return kTexts;
}

std::string PadNumber(int64_t value, int width) {
    std::string text = std::to_string(value);
    if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string FormatDottedQuad(uint32_t v) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty()) text += '.';
        text += PadNumber((v >> shift) & 0xFF, 3);
    }
    return text;
}

bool ParseDottedQuad(std::string_view t, uint32_t& value) {
    uint32_t result = 0;
    size_t pos = 0;
    for (int group = 0; group < 4; ++group) {
        if (group > 0) {
            if (pos >= t.size() || t[pos] != '.') return false;
            ++pos;
        }
        while (pos < t.size() && t[pos] == ' ') ++pos;
        uint32_t number = 0;
        int digits = 0;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') {
            if (++digits > 3) return false;
            number = number * 10 + static_cast<uint32_t>(t[pos] - '0');
            ++pos;
        }
        while (pos < t.size() && t[pos] == ' ') ++pos;
        if (digits == 0 || number > 255) return false;
        result = (result << 8) | number;
    }
    if (pos != t.size()) return false;
    value = result;
    return true;
}

std::string DottedQuadReport(const std::string& t) {
    return "'" + t + "' is not an address: four numbers 0 to 255 separated by points are needed.";
}

std::string WordReport(const std::string& t, const std::vector<std::string>& words) {
    std::string report = "'" + t + "' is not allowed here; allowed are: ";
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) report += ", ";
        report += words[i];
    }
    return report + ".";
}

std::string HexReport(const std::string& t) {
    return "'" + t + "' is not a hexadecimal number (digits 0-9 and A-F).";
}

bool IsHexText(std::string_view t) {
    return std::all_of(t.begin(), t.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    });
}

std::string RestoredText(const ParamTable& table, int param, int32_t v,
                         const lang::TextTable& texts) {
    if (CodingOf(param) == Coding::ZeroPoint) {
        const int64_t shown = (int64_t{v} * 1000 + kZeroPointScale / 2) / kZeroPointScale;
        return std::to_string(static_cast<uint16_t>(shown));
    }
    if (param >= kFirstSigned16RestoreRow && param <= kRowSigned16) {
        return std::to_string(static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF)));
    }
    return ShownText(table, param, v, texts);
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return 0;
}

bool ParseHex(std::string_view t, uint32_t& value) {
    uint64_t result = 0;
    for (char c : t) {
        result = result * 16 + static_cast<uint64_t>(HexDigitValue(c));
        if (result > std::numeric_limits<uint32_t>::max()) return false;
    }
    value = static_cast<uint32_t>(result);
    return true;
}

std::string FormatHex(uint32_t v, int digits) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[v & 0xF]);
        v >>= 4;
    } while (v != 0);
    if (static_cast<int>(text.size()) < digits) text.insert(0, digits - text.size(), '0');
    return text;
}

bool ParseInteger(const std::string& t, int32_t& value) {
    const char* begin = t.data();
    const char* end = t.data() + t.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && (*begin == '-' || *begin == '+')) return false;
    }
    int32_t result = 0;
    auto [ptr, error] = std::from_chars(begin, end, result, 10);
    if (error != std::errc() || ptr != end) return false;
    value = result;
    return true;
}

std::string InvalidIntegerReport(const std::string& t) {
    return "'" + t + "' is not a valid integer value.";
}

int32_t RoundHalfUp(double x) {
    double r = std::trunc(x + 0.5);
    if (!(r >= std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    if (r > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(r);
}

int32_t WindowPercent(int32_t v) { return RoundHalfUp(v * 100.0 / kWindowFull); }

int32_t WindowValueOfPercent(int32_t p) { return RoundHalfUp(p * kWindowFull * 0.01); }

}  // namespace veska::params
