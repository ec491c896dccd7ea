#include "platform/Clock.h"

#include <time.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace veska::platform {

namespace {

/// The steady clock of the system; sleeps run to an absolute deadline, so a signal that
/// interrupts one costs no time and adds none.
class SteadySystemClock final : public Clock {
  public:
    void Sleep(uint32_t ms) override {
        if (ms == 0) {
            std::this_thread::yield();
            return;
        }
        timespec deadline{};
        clock_gettime(CLOCK_MONOTONIC, &deadline);
        deadline.tv_sec += static_cast<time_t>(ms / 1000);
        deadline.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
        if (deadline.tv_nsec >= 1000000000L) {
            deadline.tv_sec += 1;
            deadline.tv_nsec -= 1000000000L;
        }
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
        }
    }

    uint32_t TickCount() override {
        using namespace std::chrono;
        const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch());
        return static_cast<uint32_t>(ms.count());
    }
};

}  // namespace

Clock& SystemClock() {
    // Never destroyed: objects that outlive main's statics (a driver library closing its
    // board from a destructor at exit) may still wait on it.
    static SteadySystemClock* const clock = new SteadySystemClock;
    return *clock;
}

}  // namespace veska::platform
