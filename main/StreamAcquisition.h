#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/MorlaInterface.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "params/ParamTransfer.h"
#include "platform/Clock.h"

namespace veska::main {

/// How LabelRast shows the newest sample of a stream, by measureMode.
enum class StreamLabel {
    Millimetres,  ///< 3 decimals, " mm"
    Pixels,       ///< 0 decimals, " px"
    Counts,       ///< 0 decimals, " cl" (temperature)
    Index,        ///< sampleIndex, 0 decimals, no unit
    Level,        ///< "Hi" or "Lo"
    None,         ///< the label is not touched
};

/// What one good stream sample does in a mode: the conversion table of the stream.
struct SampleConversion {
    bool setsCurrent = false;  ///< currentValue becomes `current`
    float current = 0.0f;
    bool stores = false;  ///< `stored` goes into the ring at the new index
    float stored = 0.0f;
    StreamLabel label = StreamLabel::None;
    double labelValue = 0.0;  ///< the number shown; Level: 1 for "Hi", 0 for "Lo"
};

/// Stream acquisition: the sensor sends results unasked, a worker thread reads them into
/// the sample buffer. The thread never touches the view: it publishes the newest label
/// value and the bottom-axis window through atomics, and DisplayTick (interface thread)
/// shows them. The link is used by one thread at a time: the stream thread between the
/// thread start and the join of a stop, the interface thread otherwise.
class StreamAcquisition {
  public:
    /// Width of the sliding bottom-axis window of a manual axis [samples].
    static constexpr int32_t kAxisWindow = 25;

    StreamAcquisition(ProgramState& state, MainView& view, link::TMORLAInterface& sensor,
                      params::ParamTransfer& params, platform::Clock& clock);
    ~StreamAcquisition();  ///< ends a running thread (no requests are sent)
    StreamAcquisition(const StreamAcquisition&) = delete;
    StreamAcquisition& operator=(const StreamAcquisition&) = delete;

    /// ButtonStreamClick: nothing while the window animates; else start when stopped, stop
    /// when running.
    void ButtonStreamClick();
    /// The start sequence: buffer reset, captions, rows 26 and 39, StartStream, the thread.
    void Start();
    /// The stop sequence: flag, thread ended, StopStream twice, captions, rows 26 and 39
    /// restored, the samples plotted in one pass.
    void Stop();
    /// Disconnect, watchdog, measurement stop and program end: clear the flag, end the
    /// thread (waking a read in progress), StopStream twice. No restores, no plot.
    void StopForTeardown();

    /// Bench modes: only the thread, with measureMode as it stands (the mode has sent its
    /// own start command), and only the end of the thread (no request is sent).
    void StartThread();
    void StopThread();

    /// Interface thread, on a display timer while streaming: LabelRast and the bottom axis.
    void DisplayTick();
    bool Running() const { return state_.streamRunning.load(); }

    /// Samples read without error / reads that failed since the start (statistics). A read
    /// cut short by the stop is not counted.
    uint64_t SamplesReceived() const { return received_.load(); }
    uint64_t ReadFailures() const { return failures_.load(); }
    /// Failures by kind: framing errors (status 8) and gaps (read time-outs, status 3).
    uint64_t FramingFailures() const { return framing_.load(); }
    uint64_t Gaps() const { return gaps_.load(); }
    /// CPU time the stream thread used in its last run, taken when it ends [s].
    double ThreadCpuSeconds() const { return threadCpu_.load(); }
    /// Status of the last start's StartStream request.
    int32_t StartStatus() const { return startStatus_; }

    /// The conversion of one good sample in mode `mode` (extended precision, stored single).
    /// raw: the sample; statusByte: the status sample's third byte; newIndex: the ring
    /// position the sample lands at.
    static SampleConversion Convert(int32_t mode, uint16_t raw, uint8_t statusByte,
                                    int16_t measuringRange, uint16_t resultDivisor,
                                    float zeroOffset, int32_t newIndex);
    static StreamLabel LabelOf(int32_t mode);
    /// The LabelRast text of a published value.
    static std::string LabelText(StreamLabel label, double value);

    /// The bottom-axis window after one read, as the thread moves a manual axis: back to
    /// 0..25 while its width exceeds the newest index, else one sample further.
    static void MoveAxis(int32_t& minimum, int32_t& maximum, int32_t sampleIndex);

  private:
    void ThreadLoop();
    void HandleSample(uint16_t raw, uint8_t statusByte);
    void PublishAxis();
    void ShowLabel();

    ProgramState& state_;
    MainView& view_;
    link::TMORLAInterface& sensor_;
    params::ParamTransfer& params_;
    platform::Clock& clock_;
    std::thread thread_;  ///< interface thread only

    // Set before the thread starts, constant while it runs.
    int32_t mode_ = 0;
    int16_t measuringRange_ = 0;
    uint16_t resultDivisor_ = 1;
    // Owned by the stream thread while it runs.
    int32_t axisMin_ = 0;
    int32_t axisMax_ = kAxisWindow;

    std::atomic<bool> axisManual_{false};  ///< interface thread writes, stream thread reads
    std::atomic<uint64_t> axisWindow_{0};  ///< stream thread publishes min (low) and max (high)
    std::atomic<double> labelValue_{0.0};  ///< stream thread publishes, then bumps labelSerial_
    std::atomic<uint32_t> labelSerial_{0};
    std::atomic<uint64_t> received_{0};
    std::atomic<uint64_t> failures_{0};
    std::atomic<uint64_t> framing_{0};
    std::atomic<uint64_t> gaps_{0};
    std::atomic<double> threadCpu_{0.0};  ///< stream thread stores at its end

    std::mutex doneMutex_;  ///< guards threadDone_
    std::condition_variable doneSignal_;
    bool threadDone_ = true;

    // Interface thread only.
    int32_t startStatus_ = 0;
    uint32_t shownLabelSerial_ = 0;
    uint64_t shownAxis_ = ~0ull;
    std::vector<float> plotScratch_;  ///< contiguous copy of the samples plotted at stop
};

}  // namespace veska::main
