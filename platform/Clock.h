#pragma once
#include <cstdint>
#include <vector>

namespace veska::platform {

/// Millisecond clock of the protocol waits. The system clock really sleeps; tests swap in
/// FakeClock so that the fixed waits of the protocol (5 ms, 1000 ms, 8000 ms) cost nothing.
class Clock {
  public:
    virtual ~Clock() = default;
    /// Blocks the calling thread for [ms].
    virtual void Sleep(uint32_t ms) = 0;
    /// Milliseconds since an arbitrary start, wrapping at 2^32 [ms].
    virtual uint32_t TickCount() = 0;
};

/// The process-wide real clock (steady clock, nanosleep).
Clock& SystemClock();

/// Test clock: Sleep advances the time at once and records every wait.
class FakeClock final : public Clock {
  public:
    void Sleep(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
    }
    uint32_t TickCount() override { return now; }

    std::vector<uint32_t> sleeps;  ///< every Sleep argument, in call order [ms]
    uint32_t now = 0;              ///< current time [ms]
};

}  // namespace veska::platform
