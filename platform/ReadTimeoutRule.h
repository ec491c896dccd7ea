#pragma once
#include <chrono>
#include <cstdint>

namespace veska::platform {

/// The Win32 COMMTIMEOUTS rule for one read of count bytes, as pure arithmetic on time
/// points, shared by the serial port and the USB backends:
/// - total time-out multiplier x count + constant from the start of the read, none when
///   both are 0;
/// - once a byte has come, the read also ends when more than the interval passes without
///   a new byte (no interval limit when it is 0);
/// - interval MAXDWORD with multiplier and constant 0: return at once with what is there;
/// - interval and multiplier MAXDWORD, 0 < constant < MAXDWORD: wait up to the constant
///   for the first byte, then return at once with what is there.
/// All zero means no time-out: the read ends only when all bytes have come.
class ReadTimeoutRule {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Duration = std::chrono::nanoseconds;
    /// Remaining() when no time-out applies.
    static constexpr Duration kNoLimit = Duration::max();

    /// All times in [ms].
    ReadTimeoutRule(uint32_t interval, uint32_t multiplier, uint32_t constant, uint32_t count,
                    TimePoint start);

    /// Records that one or more bytes came at now.
    void BytesArrived(TimePoint now);
    /// How long the read may still wait for more bytes at now: zero when the read is over,
    /// kNoLimit when it waits without limit.
    Duration Remaining(TimePoint now) const;

  private:
    enum class Kind { kTimed, kAvailableOnly, kFirstByte };

    Kind kind_ = Kind::kTimed;
    bool hasTotal_ = false;
    TimePoint totalDeadline_;
    Duration interval_{0};  ///< zero: no interval limit
    bool anyByte_ = false;
    TimePoint lastByte_;
};

}  // namespace veska::platform
