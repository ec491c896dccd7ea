#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "acquire/SampleBuffer.h"
#include "bench/ModeTable.h"
#include "bench/MotorTable.h"
#include "lang/Language.h"
#include "lang/PublishedTexts.h"
#include "params/SensorSession.h"
#include "platform/Clock.h"

namespace veska::main {

/// The program-wide state of the main window: one instance, built in the composition root
/// and handed to every part of the logic by reference. Fields shared with the stream thread
/// are atomics (named in their comments); everything else belongs to the logic's thread.
struct ProgramState {
    /// clock: the waits of the sensor session; outlives the state.
    explicit ProgramState(platform::Clock& clock = platform::SystemClock())
        : session(texts, clock) {}
    ProgramState(const ProgramState&) = delete;
    ProgramState& operator=(const ProgramState&) = delete;

    lang::TextTable texts;
    /// The texts last applied, for the window's own thread (its busy notes); the logic
    /// publishes, the window reads.
    lang::PublishedTexts shownTexts;
    /// The sensor link, the connection state, the parameter table, value stores and grid.
    params::SensorSession session;
    bench::MotorTable motorTable;

    acquire::SampleBuffer samples;                       ///< stream thread writes while streaming
    std::atomic<float> currentValue{0.0f};               ///< stream thread writes while streaming
    std::atomic<float> zeroOffset{0.0f};                 ///< stream thread reads while streaming
    std::atomic<int32_t> measureMode{bench::kModeLine};  ///< mode of the last run or stream
    std::atomic<bool> streamRunning{false};              ///< stream thread runs; its stop clears it
    std::string samplesStart;  ///< local time the ring's samples began (run or stream start)
    uint32_t samplesBaud = 0;  ///< [bit/s] line rate of the stream that filled the ring; 0: a run

    int32_t benchModeCode = 0;  ///< the bench form's selected mode code
    bool xAutoScale = true;     ///< check mark of "X Automatic Scaling"
    bool yAutoScale = true;     ///< check mark of "Y Automatic Scaling "
    bool analogBoardPresent = false;
};

}  // namespace veska::main
