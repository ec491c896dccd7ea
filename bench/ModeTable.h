#pragma once
#include <cstdint>
#include <span>
#include <string_view>

#include "acquire/ValueLabel.h"

namespace veska::bench {

/// Mode codes (measureMode) that code outside the mode rows names.
enum ModeCode : int32_t {
    kModeLine = 0,
    kModeNonline = 1,
    kModeTemperature = 2,
    kModePulse = 128,
    kModeCalibration = 129,
    kModeSynchroCalibration = 130,
    kModePoverka = 131,
    kModeSynchroPoverka = 132,
    kModeMotionHome = 133,
    kModeMotionEnd = 134,
    kMode0_10VAdjustment = 137,
    kMode0_10VCheck = 138,
    kMode4_20mAAdjustment = 139,
    kMode4_20mACheck = 140,
    kModeAnalogLineCheck = 141,
    kModeInCheck = 142,
    kModeAlCheck = 143,
    kModeStreamFrqCheck = 144,
    kModeHomePulse = 145,
    kModeEndPulse = 146,
    kModeScan = 147,
    kModeLaserAdjustment = 148,
};

/// What FetchResult makes of a good result in a mode.
enum class ResultConversion : uint8_t {
    Millimetres,  ///< raw x measuringRange / resultDivisor
    Raw,          ///< the raw value
    Unchanged,    ///< currentValue keeps its value
};

/// One mode of the bench form's list: how a run and a stream of it read and show values.
/// Its start, tick and stop steps are bound separately (ModeSteps), by the layer that owns
/// them.
struct ModeRow {
    int32_t code;
    std::string_view caption;          ///< the list item, a fixed text
    ResultConversion result;           ///< FetchResult's conversion
    bool readsProfile;                 ///< FetchResult reads the video profile first
    bool requestsResult;               ///< FetchResult asks for a result
    acquire::ValueLabel label;         ///< LabelRast of the plain run steps
    acquire::StreamConversion stream;  ///< what a stream sample does in this mode
    acquire::ValueLabel streamLabel;   ///< LabelRast while this mode streams
    bool statusStream;                 ///< the mode streams 3-byte status samples
    bool runsUntilStopped;             ///< the run never ends by itself (plain modes, Pulse, ...)
};

/// The modes in the order of the bench form's list (item 0 is "Line").
std::span<const ModeRow> ModeList();
/// The row of a code; null for codes that are no mode (135, 136, anything else).
const ModeRow* FindMode(int32_t code);
/// The code of a list item; nullptr-like -1 for an index outside the list.
int32_t ModeCodeOfItem(int index);
/// The list item of a code; -1 when the code has none.
int ModeItemOfCode(int32_t code);
/// True for a code whose run never ends by itself: a mode that runs until it is stopped, and
/// a code that is no mode (its run has no steps).
bool RunsUntilStopped(int32_t code);
/// Codes 128..148: the factory bench's own modes.
bool IsBenchMode(int32_t code);

}  // namespace veska::bench
