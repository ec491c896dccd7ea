#pragma once
#include <mutex>

#include "sim/DeviceFaults.h"
#include "sim/LinePeer.h"
#include "sim/ReplyQueue.h"

namespace veska::sim {

/// A device's line with its faults: stands between a transport and the device's own line
/// end and does to the bytes what the device's faults say. Silent: the host's bytes never
/// reach the device and nothing comes back; garbage: what the device sends is noise;
/// stall: half the next reply, then nothing; slow: everything the device sends leaves
/// late; wrong rate: only a host at that rate is heard; vanish: the line hangs up (the
/// transport closes its end). Faults switched on with a request count hold from the
/// request after that many. Thread-safe.
class FaultLine final : public LinePeer {
  public:
    /// device and faults outlive the line.
    FaultLine(LinePeer& device, DeviceFaults& faults);

    void HostLineRate(uint32_t baud) override;
    void HostBytes(std::span<const uint8_t> bytes, TimePoint now) override;
    void EndOfBurst(TimePoint now) override;
    size_t Take(uint8_t* out, size_t max, TimePoint now) override;
    TimePoint NextEvent(TimePoint now) override;
    void Purge() override;
    uint64_t RequestsHeard() const override { return device_.RequestsHeard(); }
    bool HungUp() const override { return faults_.Gone(); }

    /// Host bytes sent at another rate than the wrong-rate fault's.
    uint64_t MismatchedBytes() const;

    /// Output held back for a slow device beyond which it stops taking more from the
    /// device, so that the device's own backlog applies [bytes].
    static constexpr size_t kHeldLimit = 65536;

  private:
    LinePeer& device_;
    DeviceFaults& faults_;
    mutable std::mutex mutex_;  ///< guards every member below
    uint32_t hostBaud_ = 0;
    uint64_t mismatched_ = 0;
    ReplyQueue held_;  ///< output of a slow device, released late
};

}  // namespace veska::sim
