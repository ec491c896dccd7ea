#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "acquire/SampleBuffer.h"
#include "acquire/ValueLabel.h"
#include "params/SensorSession.h"

namespace veska::acquire {

/// The program state a stream shares with the rest of the program. Every field outlives the
/// stream; the stream thread writes samples, currentValue and running's end, reads zeroOffset.
struct StreamShared {
    SampleBuffer& samples;
    std::atomic<float>& currentValue;
    std::atomic<float>& zeroOffset;
    std::atomic<bool>& running;  ///< true from the thread's start until a stop clears it
};

/// What a stream does with its samples; fixed from the thread's start to its end.
struct StreamSetup {
    StreamConversion conversion = StreamConversion::RelativeMm;
    ValueLabel label = kLabelMillimetres;
    bool statusStream = false;  ///< 3-byte status samples (StartStatusStream) instead of results
    /// The thread moves a manual bottom-axis window along with the samples.
    bool axisManual = false;
};

/// Statistics of the running or the last stream.
struct StreamCounters {
    uint64_t received = 0;  ///< samples read without error
    uint64_t failures = 0;  ///< reads that failed (a read cut short by the stop is not one)
    uint64_t framing = 0;   ///< of them framing errors (status 8)
    uint64_t gaps = 0;      ///< of them read time-outs (status 3)
};

/// The acquisition side of a stream, free of any view: it owns the thread that reads the
/// sensor's unasked results into the sample ring, and the counters. It publishes the newest
/// label value and the bottom-axis window through atomics, for whoever shows them. The link
/// is used by one thread at a time: the stream thread between StartThread and the join of
/// StopThread, its owner otherwise.
class SampleStream {
  public:
    /// Width of the sliding bottom-axis window of a manual axis [samples].
    static constexpr int32_t kAxisWindow = 25;

    SampleStream(params::SensorSession& session, StreamShared shared);
    ~SampleStream();  ///< ends a running thread (no requests are sent)
    SampleStream(const SampleStream&) = delete;
    SampleStream& operator=(const SampleStream&) = delete;

    /// StartStream (or StartStatusStream) at the session's address, status recorded, then the
    /// thread. Returns the start request's status; the thread runs whatever it was.
    link::Status Start(const StreamSetup& setup);
    /// The thread alone; the sensor was told to stream by the caller.
    void StartThread(const StreamSetup& setup);
    /// Clears the flag and ends the thread, waking a read in progress; no request is sent.
    void StopThread();
    /// StopThread, then StopStream `stopRequests` times (statuses recorded).
    void Stop(int stopRequests = 2);

    bool Running() const { return shared_.running.load(); }
    StreamCounters Counters() const;
    /// CPU time the stream thread used in its last run, taken when it ends [s].
    double ThreadCpuSeconds() const { return threadCpu_.load(); }
    const StreamSetup& Setup() const { return setup_; }
    StreamShared& Shared() { return shared_; }

    /// The newest label value when it changed since the last call (a consumer's serial).
    std::optional<double> TakeLabelValue(uint32_t& seenSerial) const;
    uint32_t LabelSerial() const { return labelSerial_.load(std::memory_order_acquire); }
    /// The bottom-axis window (minimum, maximum) the thread last published [samples].
    std::pair<int32_t, int32_t> AxisWindow() const;
    /// Whether the thread moves the axis window; the display may switch it while streaming.
    void SetAxisManual(bool manual) { axisManual_.store(manual); }

    /// The window after one read, as the thread moves a manual axis: back to 0..25 while its
    /// width exceeds the newest index, else one sample further.
    static void MoveAxis(int32_t& minimum, int32_t& maximum, int32_t sampleIndex);

  private:
    void ThreadLoop();
    void HandleSample(uint16_t raw, uint8_t statusByte);
    void PublishAxis();

    params::SensorSession& session_;
    StreamShared shared_;
    std::thread thread_;  ///< owner's thread only

    // Set before the thread starts, constant while it runs.
    StreamSetup setup_;
    int16_t measuringRange_ = 0;
    uint16_t resultDivisor_ = 1;
    // Owned by the stream thread while it runs.
    int32_t axisMin_ = 0;
    int32_t axisMax_ = kAxisWindow;

    std::atomic<bool> axisManual_{false};  ///< owner writes, stream thread reads
    std::atomic<uint64_t> axisWindow_{0};  ///< stream thread publishes min (low) and max (high)
    std::atomic<double> labelValue_{0.0};  ///< stream thread publishes, then bumps labelSerial_
    std::atomic<uint32_t> labelSerial_{0};
    std::atomic<uint64_t> received_{0};  ///< the counters: stream thread writes, anyone reads
    std::atomic<uint64_t> failures_{0};
    std::atomic<uint64_t> framing_{0};
    std::atomic<uint64_t> gaps_{0};
    std::atomic<double> threadCpu_{0.0};  ///< stream thread stores at its end

    std::mutex doneMutex_;  ///< guards threadDone_
    std::condition_variable doneSignal_;
    bool threadDone_ = true;
};

/// The sensor's side of a stream start: "LAN Mode" saved in savedValues and switched off, then
/// "Mode of Run" = modeOfRun; 100 ms after each write.
void PrepareSensorForStream(params::SensorSession& session, int32_t modeOfRun);
/// The sensor's side of a stream stop: "LAN Mode" restored from savedValues, then "Mode of
/// Run" = 0; 100 ms after each write.
void RestoreSensorAfterStream(params::SensorSession& session);

}  // namespace veska::acquire
