#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/ReadTimeoutRule.h"

namespace veska::platform {

/// What a read-ahead needs from a device: a clock, a wait for input that a wake-up ends,
/// and a read of whatever the device holds. SerialPort is one; tests script one.
class ByteSource {
  public:
    using TimePoint = ReadTimeoutRule::TimePoint;
    using Duration = ReadTimeoutRule::Duration;

    enum class Ready {
        kInput,    ///< bytes (or a hang-up) to read
        kWoken,    ///< a wake-up is pending
        kTimeout,  ///< the wait ran out
        kFailed,   ///< the wait itself failed
    };

    virtual ~ByteSource() = default;
    virtual TimePoint Now() = 0;
    /// Waits up to timeout (ReadTimeoutRule::kNoLimit: without limit) for input or a wake-up.
    virtual Ready Wait(Duration timeout) = 0;
    /// Reads up to max bytes of what the device holds, without waiting. Returns the count,
    /// 0 when there is nothing after all, -1 when the device failed or hung up.
    virtual long ReadSome(uint8_t* out, size_t max) = 0;
    /// True while a wake-up is pending. Must be cheap: it is asked on every read.
    virtual bool WakePending() = 0;
};

/// The receive queue of a Win32 serial driver on the host side: a read of n bytes takes
/// everything the device holds (up to the capacity) with one read call, hands out n and
/// keeps the rest for the next reads. A read that the queue covers makes no system call.
///
/// The Win32 read time-out rule holds as for the device alone: bytes already queued count
/// as come at the start of the read. A pending wake-up ends a read at once and hands out
/// nothing, even when bytes are queued (the queue keeps them).
class ReadAhead {
  public:
    /// Capacity of the queue [bytes].
    static constexpr size_t kDefaultCapacity = 64 * 1024;

    explicit ReadAhead(size_t capacity = kDefaultCapacity);

    /// Reads count bytes into out by the time-out rule of the given times [ms] (see
    /// ReadTimeoutRule). got is the number stored; false when the device failed.
    bool Read(ByteSource& source, uint32_t interval, uint32_t multiplier, uint32_t constant,
              uint8_t* out, uint32_t count, uint32_t& got);

    /// Drops every queued byte (a receive purge).
    void Clear() { head_ = tail_ = 0; }
    /// Bytes queued and not yet handed out.
    size_t Queued() const { return tail_ - head_; }
    size_t Capacity() const { return capacity_; }

  private:
    uint32_t Take(uint8_t* out, uint32_t count);

    size_t capacity_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t head_ = 0;  ///< next byte to hand out
    size_t tail_ = 0;  ///< one past the last queued byte
};

}  // namespace veska::platform
