#include "platform/Clock.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace veska::platform {
namespace {

void IgnoreSignal(int) {}

TEST(SystemClockTest, SleepLastsItsTimeEvenWhenASignalInterruptsIt) {
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = IgnoreSignal;  // no SA_RESTART: the sleep sees EINTR
    sigemptyset(&action.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

    Clock& clock = SystemClock();
    const pthread_t sleeper = pthread_self();
    std::atomic<bool> done{false};
    std::thread interrupter([&] {
        for (int i = 0; i < 5 && !done.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pthread_kill(sleeper, SIGUSR1);
        }
    });
    const uint32_t tick0 = clock.TickCount();
    const auto start = std::chrono::steady_clock::now();
    clock.Sleep(60);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const uint32_t ticks = clock.TickCount() - tick0;
    done = true;
    interrupter.join();
    sigaction(SIGUSR1, &previous, nullptr);

    EXPECT_GE(elapsed, std::chrono::milliseconds(60));
    EXPECT_LT(elapsed, std::chrono::milliseconds(400));
    EXPECT_GE(ticks, 59u);  // the tick count may round down by one
}

}  // namespace
}  // namespace veska::platform
