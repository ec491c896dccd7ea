#pragma once
#include <atomic>
#include <cstdint>

#include "bench/MotorTable.h"
#include "lang/Language.h"
#include "link/ConnectionState.h"
#include "main/SampleBuffer.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"

namespace veska::main {

/// Codes of measureMode that the main window itself runs; the bench modes are 128..148.
enum MeasureMode : int32_t { kModeLine = 0, kModeNonline = 1, kModeTemperature = 2 };

/// The program-wide state of the main window: one instance, built in the composition root
/// and handed to every part of the logic by reference. Fields shared with the stream thread
/// are atomics (named in their comments); everything else belongs to the interface thread.
struct ProgramState {
    lang::TextTable texts;
    link::ConnectionState conn;
    params::ParamTable table = params::BuiltInParamTable();
    params::ValueStores values;
    params::ParamGrid grid{table, texts};
    bench::MotorTable motorTable;

    SampleBuffer samples;                  ///< stream thread writes while streaming
    std::atomic<float> currentValue{0.0f}; ///< stream thread writes while streaming
    std::atomic<float> zeroOffset{0.0f};   ///< stream thread reads while streaming
    std::atomic<int32_t> measureMode{kModeLine};
    std::atomic<bool> streamRunning{false};

    int32_t benchModeCode = 0;  ///< the bench form's selected mode code
    bool expandNext = true;     ///< the next height animation grows the window
    int expandedHeight = 795;   ///< [px]
    int collapsedHeight = 160;  ///< [px], the window's minimum height
    bool xAutoScale = true;     ///< check mark of "X Automatic Scaling"
    bool yAutoScale = true;     ///< check mark of "Y Automatic Scaling "
    bool analogBoardPresent = false;
    bool encoderPresent = false;
};

}  // namespace veska::main
