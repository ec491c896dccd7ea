#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/ParamTable.h"

namespace veska::lang {
class TextTable;
}

namespace veska::params {

/// How the stored value of a grid row (parameters 0..36) and the text the operator sees
/// relate. Words are PARAM VALUE keys of the language file.
enum class Coding : uint8_t {
    OnOff,          ///< 0, 1, 15: v != 0 "On" word (Item_0), v = 0 "Off" word (Item_1)
    UartBaud,       ///< 2: v x 2400 [bit/s]; 128 stands for 921600
    PickDecimal,    ///< 3, 7: decimal with the pick list 1..maximum, no range check
    ControlByte,    ///< 4, 5, 6, 8, 21: bit fields of the control byte at address 2
    Decimal,        ///< 9, 10, 27..34: decimal, range-checked
    Percent,        ///< 11, 12: percent of 65534, set by the range dialog only
    LockTime,       ///< 13: v x 5
    ZeroPoint,      ///< 14: v x 1000 / 16384
    Hex,            ///< 16, 18, 19: uppercase hex, zero-padded to maxLength digits
    CanBaud,        ///< 17: v x 5000 [bit/s]
    CanIdentifier,  ///< 20: standard (Item_15) or extended (Item_16)
    DottedQuad,     ///< 22..25: IPv4 address, most significant byte first
    LanMode,        ///< 26: bit 0 clear "Off" word (Item_1), set Item_26
    Signed16,       ///< 35: low 16 bits as a signed number
    Divisor,        ///< 36: decimal, never taken back from the grid
};

/// The coding of a grid row; rows outside 0..36 count as Decimal.
Coding CodingOf(int param);

/// PARAM VALUE keys the codings use.
enum ValueWord : int {
    kWordOn = 0,
    kWordOff = 1,
    kWordSampleOnRequest = 2,   ///< control byte bit 0 clear
    kWordSampleFreeRun = 3,     ///< control byte bit 0 set
    kWordAl00 = 4,              ///< AL control 0x00; 5, 6, 7 for 0x04, 0x08, 0x0C
    kWordWindowOff = 8,         ///< control byte bit 1 clear
    kWordWindowOn = 9,          ///< control byte bit 1 set
    kWordAveragingMoving = 10,  ///< control byte bit 5 clear
    kWordAveragingBlock = 11,   ///< control byte bit 5 set
    kWordCanOff = 12,           ///< CAN mode bits 0x11 = 0x00
    kWordCanOnRequest = 13,     ///< 0x10
    kWordCanFreeRun = 14,       ///< 0x11
    kWordCanStandardId = 15,
    kWordCanExtendedId = 16,
    kWordLanOn = 26,
    kWordAl40 = 31,  ///< AL control 0x40; 32, 33 for 0x44, 0x48
};

/// Control byte at address 2, shared by parameters 4, 5, 6, 8 and 21.
inline constexpr int32_t kSampleBit = 0x01;    ///< parameter 4 (and 21's third state)
inline constexpr int32_t kWindowBit = 0x02;    ///< parameter 6
inline constexpr int32_t kAlMask = 0x4C;       ///< parameter 5: bits 2, 3 and 6
inline constexpr int32_t kCanModeMask = 0x11;  ///< parameter 21: bits 4 and 0
inline constexpr int32_t kCanBit = 0x10;
inline constexpr int32_t kAveragingBit = 0x20;  ///< parameter 8

/// True for the parameters that share the control byte.
bool IsControlByteRow(int param);

/// The word a control-byte row shows for byte b; empty when the state has no word
/// (AL control 0x4C, CAN mode 0x01), in which case the row shows the decimal of b.
std::string ControlByteWord(int param, int32_t b, const lang::TextTable& texts);

/// The control byte after the operator chose text t in control-byte row `param`, starting
/// from b. Words are compared exactly; any other text counts as "any other" per bit field.
int32_t ComposeControlByte(int param, const std::string& t, int32_t b,
                           const lang::TextTable& texts);

/// The text grid row `param` shows for the stored value v.
std::string ShownText(const ParamTable& table, int param, int32_t v, const lang::TextTable& texts);

/// The pick list of a grid row in order; empty for rows without one.
std::vector<std::string> PickList(int param, const lang::TextTable& texts);

/// The baud rates [bit/s] the UART baud row offers, as shown.
const std::vector<std::string>& UartBaudTexts();
/// The baud rates [bit/s] the CAN baud row offers, as shown.
const std::vector<std::string>& CanBaudTexts();

/// The decimal text of value, preceded by (width - its length) spaces when shorter.
std::string PadNumber(int64_t value, int width);

/// The four bytes of v, most significant first, each PadNumber(byte, 3), joined by ".";
/// always 15 characters.
std::string FormatDottedQuad(uint32_t v);

/// Reads four groups separated by "." (first group the most significant byte), each one to
/// three digits with blanks before or after them (as the edit mask leaves them), each 0..255.
/// False for any other text (a missing or empty group, a fifth group, a group above 255,
/// any other character); value is then untouched.
bool ParseDottedQuad(std::string_view t, uint32_t& value);

/// The report for a text that is no address: "'10.0.0' is not an address: four numbers
/// 0 to 255 separated by points are needed."
std::string DottedQuadReport(const std::string& t);

/// The report for a text that is none of a row's words: "'Offf' is not allowed here; allowed
/// are: On, Off."
std::string WordReport(const std::string& t, const std::vector<std::string>& words);

/// The report for a text with characters that are no hexadecimal digits.
std::string HexReport(const std::string& t);

/// True when every character of t is a hexadecimal digit (the empty text too).
bool IsHexText(std::string_view t);

/// The text a row shows when the grid restores it after a refused entry: ShownText, except
/// row 14, which shows round(v x 1000 / 16384) as an unsigned 16-bit decimal, and rows
/// 32..35, which show the low 16 bits of v as a signed decimal.
std::string RestoredText(const ParamTable& table, int param, int32_t v,
                         const lang::TextTable& texts);

/// 0..9 for '0'..'9', 10..15 for 'A'..'F' and 'a'..'f', 0 for any other character.
int HexDigitValue(char c);

/// The hexadecimal value of t (HexDigitValue over every character, empty gives 0).
/// False when the value does not fit in 32 bits (the text is then above any maximum).
bool ParseHex(std::string_view t, uint32_t& value);

/// Uppercase hexadecimal of v, zero-padded to at least `digits` digits.
std::string FormatHex(uint32_t v, int digits);

/// Converts a signed decimal integer: an optional sign, then at least one digit and nothing
/// else (no spaces), fitting in 32 bits. False for any other text; value is then untouched.
bool ParseInteger(const std::string& t, int32_t& value);

/// The general error report for a text that is not an integer, naming the rejected input:
/// "'abc' is not a valid integer value."
std::string InvalidIntegerReport(const std::string& t);

/// Percent of the analog window shown for a stored value: round(v x 100 / 65534).
int32_t WindowPercent(int32_t v);

/// Stored analog window value for a percent p: round(p x 65534 x 0.01), in floating point.
int32_t WindowValueOfPercent(int32_t p);

/// Round as the codings do: add 0.5, truncate toward zero, limited to the 32-bit range.
int32_t RoundHalfUp(double x);

}  // namespace veska::params
