#include "bench/ModeTable.h"

#include <array>

namespace veska::bench {

namespace {

using acquire::kLabelCounts;
using acquire::kLabelIndex;
using acquire::kLabelLevel;
using acquire::kLabelMillimetres;
using acquire::kLabelNone;
using acquire::kLabelPixels;
using acquire::StreamConversion;
using R = ResultConversion;

// One row per line reads as the table it is.
// clang-format off
constexpr std::array<ModeRow, 22> kModes = {{
    // code, caption,            result,        profile, result?, run label,        stream,                       stream label,      status  until stopped
    {0,   "Line",                R::Millimetres, false, true,  kLabelMillimetres, StreamConversion::RelativeMm, kLabelMillimetres, false, true },
    {1,   "Nonline",             R::Raw,         false, true,  kLabelPixels,      StreamConversion::Raw,        kLabelPixels,      false, true },
    {2,   "Temperature",         R::Raw,         false, true,  kLabelCounts,      StreamConversion::Raw,        kLabelCounts,      false, true },
    {128, "Pulse",               R::Unchanged,   true,  false, kLabelNone,        StreamConversion::None,       kLabelNone,        false, true },
    {129, "Calibration",         R::Raw,         false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {130, "Synchro_Calibration", R::Unchanged,   false, true,  kLabelNone,        StreamConversion::Raw,        kLabelPixels,      false, false},
    {131, "Poverka",             R::Millimetres, false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {132, "Synchro_Poverka",     R::Unchanged,   false, true,  kLabelNone,        StreamConversion::AbsoluteMm, kLabelMillimetres, false, false},
    {133, "Motion_Home",         R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {134, "Motion_End",          R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {137, "0_10V_Adjustment",    R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {138, "0_10V_Check",         R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {139, "4_20mA_Adjustment",   R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {140, "4_20mA_Check",        R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {141, "Analog_Line_Check",   R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {142, "IN_Check",            R::Unchanged,   false, true,  kLabelNone,        StreamConversion::Index,      kLabelIndex,       false, false},
    {143, "AL_Check",            R::Unchanged,   false, true,  kLabelNone,        StreamConversion::Level,      kLabelLevel,       true,  true },
    {144, "STREAM_FRQ_Check",    R::Unchanged,   false, true,  kLabelNone,        StreamConversion::RelativeMm, kLabelMillimetres, false, false},
    {145, "Motion_Home__Pulse",  R::Unchanged,   true,  true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {146, "Motion_End__Pulse",   R::Unchanged,   true,  true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, false},
    {147, "Scan",                R::Unchanged,   false, true,  kLabelNone,        StreamConversion::AbsoluteMm, kLabelMillimetres, false, false},
    {148, "Laser_Adjustment",    R::Unchanged,   false, true,  kLabelNone,        StreamConversion::None,       kLabelNone,        false, true },
}};
// clang-format on

}  // namespace

std::span<const ModeRow> ModeList() { return kModes; }

const ModeRow* FindMode(int32_t code) {
    for (const ModeRow& row : kModes) {
        if (row.code == code) return &row;
    }
    return nullptr;
}

int32_t ModeCodeOfItem(int index) {
    if (index < 0 || index >= static_cast<int>(kModes.size())) return -1;
    return kModes[static_cast<size_t>(index)].code;
}

int ModeItemOfCode(int32_t code) {
    for (size_t i = 0; i < kModes.size(); ++i) {
        if (kModes[i].code == code) return static_cast<int>(i);
    }
    return -1;
}

bool RunsUntilStopped(int32_t code) {
    const ModeRow* row = FindMode(code);
    return row == nullptr || row->runsUntilStopped;
}

bool IsBenchMode(int32_t code) { return code >= kModePulse && code <= kModeLaserAdjustment; }

}  // namespace veska::bench
