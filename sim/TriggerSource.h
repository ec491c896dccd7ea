#pragma once
#include <chrono>
#include <cstdint>

namespace veska::sim {

/// A pulse line into a sensor's trigger input (the motor controller's output 8). Pulses are
/// counted, not pushed: the sensor's line end asks how many have come by a time point.
/// Implementations are thread-safe.
class TriggerSource {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~TriggerSource() = default;
    /// Pulses sent from the source's start until now (a running total).
    virtual uint64_t PulsesUntil(TimePoint now) const = 0;
    /// When the next pulse after now comes; TimePoint::max() when none is under way.
    virtual TimePoint NextPulseAfter(TimePoint now) const = 0;
    /// When pulse number k (the running total after it, from 1) came or comes;
    /// TimePoint::max() when the source no longer knows or never sends it.
    virtual TimePoint PulseTime(uint64_t /*k*/) const { return TimePoint::max(); }
    /// When the sensor exposes for pulse number `pulse` of the running total (1: the first):
    /// a moment after the pulse, while the stage still stands where that pulse left it. now
    /// for a pulse of an earlier move or one that has not come by now.
    virtual TimePoint ExposureTime(uint64_t pulse, TimePoint now) const = 0;
};

}  // namespace veska::sim
