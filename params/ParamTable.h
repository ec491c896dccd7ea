#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace veska::lang {
class TextTable;
}

namespace veska::params {

inline constexpr int kParamCount = 54;      ///< rows of the parameter table
inline constexpr int kGridParamCount = 37;  ///< rows 0..36: the operator's parameters

enum EditStyle : uint8_t { kEditPlain = 0, kEditEllipsis = 1, kEditPickList = 2 };
enum DisplayKind : uint8_t { kDisplayDecimal = 0, kDisplayHex = 1, kDisplayDottedQuad = 3 };

struct ParamDescriptor {
    std::string name;     ///< display name; built-in text until localised
    uint8_t address;      ///< sensor address of the value's lowest byte
    int32_t minimum;      ///< lowest value the grid accepts where it checks a range
    int32_t maximum;      ///< highest value (rows 22..25: the bit pattern 0xFFFFFFFF)
    uint8_t size;         ///< bytes in the sensor: 1, 2 or 4, little-endian
    uint8_t editStyle;    ///< EditStyle
    uint8_t displayKind;  ///< DisplayKind
    uint8_t maxLength;    ///< longest text; hex rows: digits shown
};

using ParamTable = std::array<ParamDescriptor, kParamCount>;

/// The 54 rows with their built-in names.
ParamTable BuiltInParamTable();

/// Replaces row i's name with PARAMETER Item_i (its number when the file lacks the key).
void LocaliseParamNames(ParamTable& table, const lang::TextTable& texts);

/// What the host knows of the values in the sensor's parameter memory, per row: the value
/// last read from the sensor or written to it (its low `size` bytes, unsigned; a write counts
/// when the port took it whole, since the sensor does not confirm a write),
/// or nothing when no exchange told it or a later one may have changed it (a failed write, a
/// restore of the defaults). The marks of unsent edits compare the working set with it
/// (params/SensorSet.h); no transfer reads it.
struct SensorSet {
    std::array<uint32_t, kParamCount> value{};
    std::array<bool, kParamCount> known{};
    /// An exchange has told the host a value since the stores were cleared: before that, no
    /// working value counts as unsent (there is no sensor to compare with).
    bool contact = false;
    void Forget() { known.fill(false); }
};

/// The value stores, indexed like the table.
struct ValueStores {
    std::array<int32_t, kParamCount> workValues{};    ///< the working set the grid shows
    std::array<int32_t, kParamCount> sensorValues{};  ///< as last read from the sensor
    std::array<int32_t, kParamCount> savedValues{};   ///< kept while a mode overrides a row
    SensorSet sensorSet;                              ///< what the sensor is known to hold
    void Clear() {
        workValues.fill(0);
        sensorValues.fill(0);
        sensorSet = SensorSet{};
    }
};

/// Row indices that other code names.
enum ParamRow : int {
    kRowBaudRate = 2,
    kRowNetAddress = 3,
    kRowControlSample = 4,
    kRowAlControl = 5,
    kRowWindowControl = 6,
    kRowAveragingMode = 8,
    kRowWindowBegin = 11,
    kRowWindowEnd = 12,
    kRowCanMode = 21,
    kRowLanMode = 26,
    kRowDivisor = 36,
    kRowModeOfRun = 39,
    kRowDeviceType = 40,
    kRowSerialNumber = 41,
    kRowBaseDistance = 42,
    kRowMeasuringRange = 43,
    kRowLengthCcd = 46,
};

}  // namespace veska::params
