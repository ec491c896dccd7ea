#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/LinePeer.h"
#include "sim/ReplyQueue.h"
#include "sim/SensorDevice.h"
#include "sim/TriggerSource.h"

namespace veska::sim {

/// How a sensor's line behaves.
struct LineOptions {
    uint32_t baudOverride = 0;  ///< [bit/s]; 0: the rate in the sensor's parameter memory
    bool unpaced = false;       ///< send stream samples as fast as the transport takes them
    /// Output queued and not taken beyond which due stream samples are lost, as a UART
    /// overruns a host that does not read [bytes].
    size_t backlogLimit = 65536;
};

/// The line end of a simulated sensor: feeds the host's bytes to the device, holds its
/// replies back by the device's reply delay and its busy time (a table erase, during which
/// the host's bytes are lost), and paces the stream at the rate the line
/// allows (11 bits per byte: start, 8 data, parity, stop), sending the samples due so far
/// in batches on a steady schedule that restarts with every stream start. While the sensor
/// samples on its trigger input (TriggeredSampling), a stream sends one sample per pulse of
/// the connected trigger source instead, and none without one.
class SensorLine final : public LinePeer {
  public:
    explicit SensorLine(SensorDevice& device, LineOptions options = {});

    /// A host at another rate than the sensor's is not heard (a UART sees framing errors);
    /// 0 (unknown) is heard at any rate.
    void HostLineRate(uint32_t baud) override;
    void HostBytes(std::span<const uint8_t> bytes, TimePoint now) override;
    void EndOfBurst(TimePoint now) override;
    size_t Take(uint8_t* out, size_t max, TimePoint now) override;
    TimePoint NextEvent(TimePoint now) override;
    void Purge() override;
    /// Requests the sensor heard, for any address.
    uint64_t RequestsHeard() const override;

    /// Wires the sensor's trigger input to a pulse source (null: unconnected). The source
    /// must outlive the line end.
    void ConnectTrigger(const TriggerSource* source);

    /// The line rate in use [bit/s].
    uint32_t Baud() const;
    /// Samples per second that the line carries for the running stream (0 when none).
    double SampleRate() const;
    /// Due samples lost because the host did not take the output.
    uint64_t SamplesLost() const;
    /// Host bytes not heard because the host's rate differed from the sensor's.
    uint64_t MismatchedBytes() const;
    /// Host bytes not heard because the sensor was busy erasing its table.
    uint64_t BusyBytes() const;
    SensorDevice& Device() { return device_; }

    /// Unpaced streams keep this much output queued [bytes].
    static constexpr size_t kUnpacedFill = 4096;

  private:
    void Collect(TimePoint release);
    void Pace(TimePoint now);
    /// Pace for a triggered stream: one sample per pulse since the schedule started.
    void PaceTriggered(TimePoint now, size_t sampleBytes);
    uint32_t BaudLocked() const;

    SensorDevice& device_;
    const LineOptions options_;

    mutable std::mutex mutex_;  ///< guards every member below
    ReplyQueue queue_;
    std::vector<uint8_t> scratch_;
    bool streaming_ = false;
    uint32_t generation_ = 0;
    double rate_ = 0.0;  ///< samples per second of the running schedule
    TimePoint streamStart_{};
    uint64_t emitted_ = 0;  ///< samples of the running schedule sent or lost
    uint64_t lost_ = 0;
    const TriggerSource* trigger_ = nullptr;
    bool triggered_ = false;         ///< the running schedule counts trigger pulses
    uint64_t pulsesSeen_ = 0;        ///< pulses of the trigger source already turned into samples
    uint32_t hostBaud_ = 0;          ///< the host's rate as the transport last told it; 0 unknown
    uint32_t previousHostBaud_ = 0;  ///< the rate before the host's last change
    TimePoint hostBaudChanged_{};    ///< when hostBaud_ last changed
    uint64_t mismatched_ = 0;
    TimePoint busyUntil_{};  ///< the sensor hears nothing before (a table erase)
    uint64_t busyBytes_ = 0;
};

}  // namespace veska::sim
