#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace veska::sim {

/// The device end of a serial line, as a transport (pseudo-terminal, simulated USB
/// converter) drives it. Times are steady-clock time points passed in by the transport,
/// so that pacing can be tested without waiting. Implementations are thread-safe: a
/// transport may write from one thread while it reads on another.
class LinePeer {
  public:
    using SteadyClock = std::chrono::steady_clock;
    using TimePoint = SteadyClock::time_point;

    virtual ~LinePeer() = default;
    /// The rate the host's side of the line is set to [bit/s], told before each batch of
    /// HostBytes by transports that know it (a pty: the termios rate). Most devices take
    /// any rate and ignore it.
    virtual void HostLineRate(uint32_t /*baud*/) {}
    /// Bytes the host sent.
    virtual void HostBytes(std::span<const uint8_t> bytes, TimePoint now) = 0;
    /// The host's line went quiet after a burst of bytes.
    virtual void EndOfBurst(TimePoint now) = 0;
    /// Moves up to max bytes that the device has sent by now to out; returns their number.
    virtual size_t Take(uint8_t* out, size_t max, TimePoint now) = 0;
    /// When Take may next give bytes: now or earlier when some are ready, TimePoint::max()
    /// when nothing is expected without new input.
    virtual TimePoint NextEvent(TimePoint now) = 0;
    /// Drops everything the device has sent and the host has not taken.
    virtual void Purge() = 0;
    /// Complete requests the device has heard so far (0 for devices that do not count).
    virtual uint64_t RequestsHeard() const { return 0; }
    /// The device hung up its line (unplugged): the transport closes its end for good.
    virtual bool HungUp() const { return false; }
};

}  // namespace veska::sim
