#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "acquire/ChartData.h"
#include "acquire/SampleStream.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "main/WindowState.h"
#include "platform/Clock.h"

namespace veska::main {

/// The window's side of a stream: the stream button's start and stop sequences (captions,
/// enables, the parameters the stream changes and restores, the plot at the stop) and the
/// display of what the acquisition thread publishes. The thread, the ring and the counters
/// belong to the view-free acquire::SampleStream it owns.
class StreamController {
  public:
    StreamController(ProgramState& state, MainView& view, WindowState& window,
                     platform::Clock& clock);

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

    /// On a display timer while streaming: LabelRast, the bottom axis, and the samples that
    /// arrived since the last tick into the live trace (decimated: a tick costs the same with
    /// 1,000 or 60,000 samples on the chart) and the statistics line.
    void DisplayTick();
    bool Running() const { return stream_.Running(); }
    /// "Clear" while a stream runs: the live trace and its statistics start again from the
    /// samples that come next (the ring is not touched).
    void ClearLive();

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
    /// Resets the live trace for a stream of mode; sets the axis titles and the unit.
    void StartLive(int32_t mode);
    /// Takes the samples before the newest one that the live trace has not seen; true when
    /// there were any.
    bool FeedLive();
    /// The live trace and the statistics of the samples fed so far.
    void ShowLive();
    /// [samples/s] since the start, as fed.
    double LiveRate() const;

    ProgramState& state_;
    MainView& view_;
    WindowState& window_;
    platform::Clock& clock_;
    acquire::SampleStream stream_;

    int32_t startStatus_ = 0;
    uint32_t shownLabelSerial_ = 0;
    std::pair<int32_t, int32_t> shownAxis_{-1, -1};
    std::vector<float> plotScratch_;  ///< contiguous copy of the samples plotted at stop

    // The live trace of a stream started with Start (bench modes' streams have none).
    bool liveActive_ = false;
    bool liveStores_ = false;  ///< the mode stores its samples in the ring
    int32_t liveNext_ = 0;     ///< ring position of the next sample to feed
    uint32_t liveStartTick_ = 0;
    std::string liveUnit_;
    acquire::MinMaxDecimator live_;
    acquire::RunningStatistics liveStatistics_;
    std::vector<double> liveX_, liveY_;
};

}  // namespace veska::main
