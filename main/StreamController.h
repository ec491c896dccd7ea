#pragma once
#include <cstdint>
#include <vector>

#include "acquire/SampleStream.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "platform/Clock.h"

namespace veska::main {

/// The window's side of a stream: the stream button's start and stop sequences (captions,
/// enables, the parameters the stream changes and restores, the plot at the stop) and the
/// display of what the acquisition thread publishes. The thread, the ring and the counters
/// belong to the view-free acquire::SampleStream it owns.
class StreamController {
  public:
    StreamController(ProgramState& state, MainView& view, platform::Clock& clock);

    /// ButtonStreamClick: nothing while the window animates; else start when stopped, stop
    /// when running.
    void ButtonStreamClick();
    /// The start sequence: buffer reset, captions, rows 26 and 39, StartStream, the thread.
    void Start();
    /// The stop sequence: flag, thread ended, StopStream twice, captions, rows 26 and 39
    /// restored, the samples plotted in one pass.
    void Stop();
    /// Disconnect, watchdog, measurement stop and program end: clear the flag, end the
    /// thread (waking a read in progress), StopStream twice, the last label and axis window
    /// shown. No restores, no plot.
    void StopForTeardown();

    /// On a display timer while streaming: LabelRast and the bottom axis.
    void DisplayTick();
    bool Running() const { return stream_.Running(); }

    /// The acquisition itself (bench modes start and stop its thread directly).
    acquire::SampleStream& Stream() { return stream_; }
    /// The setup a stream of mode `mode` runs with.
    acquire::StreamSetup SetupOf(int32_t mode) const;
    /// Status of the last start's StartStream request.
    int32_t StartStatus() const { return startStatus_; }

  private:
    void ShowLabel();
    /// The thread's last bottom-axis window, when the axis is manual and it moved.
    void ShowAxis();

    ProgramState& state_;
    MainView& view_;
    platform::Clock& clock_;
    acquire::SampleStream stream_;

    int32_t startStatus_ = 0;
    uint32_t shownLabelSerial_ = 0;
    std::pair<int32_t, int32_t> shownAxis_{-1, -1};
    std::vector<float> plotScratch_;  ///< contiguous copy of the samples plotted at stop
};

}  // namespace veska::main
