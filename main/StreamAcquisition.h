#pragma once
#include <atomic>
#include <cstdint>
#include <thread>

#include "link/MorlaInterface.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "params/ParamTransfer.h"
#include "platform/Clock.h"

namespace veska::main {

/// Stream acquisition: the sensor sends results unasked, a worker thread reads them into
/// the sample buffer. The thread never touches the view: it publishes the newest value and
/// the axis window through atomics, and DisplayTick (interface thread) shows them.
class StreamAcquisition {
public:
    StreamAcquisition(ProgramState& state, MainView& view, link::TMORLAInterface& sensor,
                      params::ParamTransfer& params, platform::Clock& clock);
    ~StreamAcquisition();  ///< ends a running thread

    /// ButtonStreamClick: start when stopped, stop when running.
    void ButtonStreamClick();
    void Start();
    void Stop();
    /// Disconnect, watchdog, measurement stop and program end: clear the flag, end the
    /// thread (waking a read in progress), StopStream twice. No restores, no plot.
    void StopForTeardown();
    /// Interface thread, on a display timer while streaming: LabelRast and the bottom axis.
    void DisplayTick();
    bool Running() const { return state_.streamRunning.load(); }

    /// Samples read without error / reads that failed since the start (statistics).
    uint64_t SamplesReceived() const { return received_.load(); }
    uint64_t ReadFailures() const { return failures_.load(); }

private:
    void ThreadLoop();
    void JoinThread();

    ProgramState& state_;
    MainView& view_;
    link::TMORLAInterface& sensor_;
    params::ParamTransfer& params_;
    platform::Clock& clock_;
    std::thread thread_;
    std::atomic<uint64_t> received_{0};
    std::atomic<uint64_t> failures_{0};
};

}  // namespace veska::main
