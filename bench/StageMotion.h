#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "bench/MotorTable.h"
#include "link/MotorInterface.h"
#include "platform/Clock.h"

namespace veska::bench {

/// One status poll of the motor controller: the link status, and the state nibble when the
/// status is 0 (link::TMotorInterface::ReadMotorStatus).
using MotorStatusRead = std::function<int32_t(uint8_t& nibble)>;

/// How a wait for rest ended.
struct RestWait {
    bool atRest = false;
    int32_t lastStatus = 0;  ///< status of the last poll
    uint8_t lastNibble = 0;  ///< state nibble of the last good poll
    uint32_t elapsedMs = 0;  ///< [ms] from the start of the wait to its end
    uint32_t polls = 0;
    /// kRestReadFailures reads in a row failed: the controller is gone or does not answer.
    bool lost = false;
    /// "" when at rest; "the motor controller stopped answering" with the motor status when
    /// lost; else "the stage did not come to rest" with the motor status.
    std::string Message() const;
};

/// Margin on every bound: the controller's start-up and the polls themselves [ms].
inline constexpr uint32_t kRestMarginMs = 2000;
/// Poll interval of the waits [ms].
inline constexpr uint32_t kRestPollMs = 10;
/// Failed status reads in a row after which the controller is taken as gone.
inline constexpr uint32_t kRestReadFailures = 5;
/// Homing bound when the table names no record: the bench's homing count at 2 ms [ms].
inline constexpr uint32_t kUnknownStageHomingMs = 8500 * 2 + kRestMarginMs;

/// Longest a forward move of count steps at periodMicros takes, plus the margin [ms].
uint32_t ForwardMoveBoundMs(uint32_t periodMicros, uint32_t count);
/// Longest homing the record allows: its whole travel (travelLength / stepLength steps) at
/// periodMicros, plus the margin [ms]. A record outside the table (or one with no step
/// length) takes the longest travel of all valid records; an empty table kUnknownStageHomingMs.
uint32_t HomingBoundMs(const MotorTable& table, int record, uint32_t periodMicros);

/// Polls every pollMs until the controller reports rest (status 0 and nibble 0), boundMs
/// have passed on clock, or kRestReadFailures reads in a row failed (a vanished
/// controller). Never waits longer than boundMs plus one poll. Qt-free; any thread.
RestWait WaitForRest(const MotorStatusRead& read, platform::Clock& clock, uint32_t boundMs,
                     uint32_t pollMs = kRestPollMs);
/// The same on a motor link.
RestWait WaitForRest(link::TMotorInterface& motor, platform::Clock& clock, uint32_t boundMs,
                     uint32_t pollMs = kRestPollMs);

}  // namespace veska::bench
