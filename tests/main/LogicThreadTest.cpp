// The logic thread: tasks and timer ticks in the order of their times, against a manual clock
// that moves only when a test moves it.
#include <gtest/gtest.h>

#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "main/LogicThread.h"

namespace veska::main {
namespace {

using namespace std::chrono_literals;

class ManualClock final : public LogicClock {
  public:
    TimePoint Now() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return now_;
    }
    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        if (deadline <= Now()) return;
        cv.wait(lock);
    }
    /// Moves the time on; thread (if any) looks at its timers again.
    void Advance(std::chrono::milliseconds step, LogicThread* thread = nullptr) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            now_ += step;
        }
        if (thread != nullptr) thread->Wake();
    }

  private:
    std::mutex mutex_;
    TimePoint now_{};
};

/// A thread with a log that tasks and ticks append to.
class LogicThreadTest : public ::testing::Test {
  protected:
    void Log(std::string entry) {
        std::lock_guard<std::mutex> lock(logMutex);
        log.push_back(std::move(entry));
    }
    std::vector<std::string> Logged() {
        std::lock_guard<std::mutex> lock(logMutex);
        return log;
    }
    /// Returns once everything due before now has run.
    void Sync() {
        std::promise<void> done;
        thread.Post("sync", [&done] { done.set_value(); });
        done.get_future().wait();
        while (!thread.Idle()) std::this_thread::yield();  // the sync task itself ends
    }
    LogicThread::TimerId Timer(const std::string& name, int intervalMs) {
        return thread.AddTimer(name, intervalMs, [this, name] { Log(name); });
    }

    ManualClock clock;
    LogicThread thread{clock};
    std::mutex logMutex;
    std::vector<std::string> log;
};

TEST_F(LogicThreadTest, TasksAndTicksRunInTheOrderOfTheirTimes) {
    const auto a = Timer("tick A", 10);
    const auto b = Timer("tick B", 12);
    thread.SetTimerEnabled(a, true);             // due at 10
    thread.SetTimerEnabled(b, true);             // due at 12
    thread.Post("one", [this] { Log("one"); });  // at 0
    clock.Advance(11ms);
    thread.Post("two", [this] { Log("two"); });  // at 11
    clock.Advance(4ms);
    thread.Post("three", [this] { Log("three"); });  // at 15
    thread.Start();
    Sync();
    EXPECT_EQ(Logged(), (std::vector<std::string>{"one", "tick A", "two", "tick B", "three"}));
}

TEST_F(LogicThreadTest, ADisabledTimerNeverTicks) {
    // The first timer's tick disables B, which is due at the same time.
    const auto first =
        thread.AddTimer("disables B", 10, [this] { thread.SetTimerEnabled(2, false); });
    const auto a = Timer("tick A", 10);
    const auto b = Timer("tick B", 10);
    ASSERT_EQ(b, 2);
    thread.SetTimerEnabled(first, true);
    thread.SetTimerEnabled(b, true);
    thread.SetTimerEnabled(a, true);
    thread.SetTimerEnabled(a, false);
    thread.Start();
    clock.Advance(100ms, &thread);
    Sync();
    EXPECT_TRUE(Logged().empty());
    EXPECT_FALSE(thread.TimerEnabled(b));
    EXPECT_FALSE(thread.TimerEnabled(a));
}

TEST_F(LogicThreadTest, TicksDoNotPileUpWhileATaskRuns) {
    const auto a = Timer("tick", 1);
    thread.SetTimerEnabled(a, true);
    thread.Start();
    std::promise<void> done;
    thread.Post("long", [this, &done] {
        clock.Advance(50ms);  // fifty intervals pass meanwhile
        done.set_value();
    });
    done.get_future().wait();
    Sync();
    EXPECT_EQ(Logged().size(), 1u);
    clock.Advance(1ms, &thread);
    Sync();
    EXPECT_EQ(Logged().size(), 2u);
    // Enabling an enabled timer does not restart it; a new interval counts from now.
    thread.SetTimerEnabled(a, true);
    thread.SetTimerInterval(a, 5);
    EXPECT_EQ(thread.TimerInterval(a), 5);
    clock.Advance(4ms, &thread);
    Sync();
    EXPECT_EQ(Logged().size(), 2u);
    clock.Advance(1ms, &thread);
    Sync();
    EXPECT_EQ(Logged().size(), 3u);
}

TEST_F(LogicThreadTest, ATimerKeepsItsCadenceWhenATickStartsLate) {
    const auto a = Timer("tick", 10);
    thread.SetTimerEnabled(a, true);  // due at 10
    thread.Start();
    clock.Advance(13ms, &thread);  // the first tick starts 3 ms late
    Sync();
    EXPECT_EQ(Logged().size(), 1u);
    clock.Advance(7ms, &thread);  // 20: the second is due on time all the same
    Sync();
    EXPECT_EQ(Logged().size(), 2u);
}

TEST_F(LogicThreadTest, TryRunNowIsRefusedWhileATaskRunsOrWaits) {
    thread.Start();
    std::promise<void> started;
    std::promise<void> gate;
    std::shared_future<void> open = gate.get_future().share();
    thread.Post("Connecting…", [&started, open] {
        started.set_value();
        open.wait();
    });
    started.get_future().wait();
    bool ran = false;
    EXPECT_FALSE(thread.TryRunNow([&ran] { ran = true; }));
    clock.Advance(200ms);
    const LogicThread::Activity busy = thread.Current();
    EXPECT_EQ(busy.name, "Connecting…");
    EXPECT_EQ(busy.elapsed, 200ms);
    EXPECT_FALSE(thread.Idle());

    thread.Post("queued", [this] { Log("queued"); });
    EXPECT_EQ(thread.Current().next, "queued");
    gate.set_value();
    Sync();
    EXPECT_TRUE(thread.Idle());
    EXPECT_TRUE(thread.Current().name.empty());
    std::thread::id where;
    EXPECT_TRUE(thread.TryRunNow([&] {
        ran = true;
        where = std::this_thread::get_id();
    }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(where, std::this_thread::get_id());
    EXPECT_EQ(Logged(), std::vector<std::string>{"queued"});
}

TEST_F(LogicThreadTest, TryRunNowDoesNotWaitForAStuckTickOrOneThatWaitsForTheInterface) {
    // A tick that waits for the interface is refused at once; one stuck on a device (here a
    // gate that stays shut) after a short bounded wait.
    for (const bool asksInterface : {true, false}) {
        SCOPED_TRACE(asksInterface);
        std::promise<void> started;
        std::promise<void> answer;
        std::shared_future<void> answered = answer.get_future().share();
        const auto t = thread.AddTimer("tick", 1, [&] {
            std::optional<LogicThread::InterfaceWait> wait;
            if (asksInterface) wait.emplace(thread);
            EXPECT_EQ(thread.Current().waitingForInterface, asksInterface);
            started.set_value();
            answered.wait();
        });
        thread.SetTimerEnabled(t, true);
        thread.Start();
        clock.Advance(1ms, &thread);
        started.get_future().wait();
        EXPECT_FALSE(thread.TryRunNow([] {}));
        thread.SetTimerEnabled(t, false);
        answer.set_value();
        Sync();
        EXPECT_TRUE(thread.TryRunNow([] {}));
    }
}

TEST_F(LogicThreadTest, StopRunsTheCloseTaskLastOnTheLogicThread) {
    const auto a = Timer("tick", 1);
    thread.SetTimerEnabled(a, true);
    thread.Post("a", [this] { Log("a"); });
    thread.Post("b", [this] { Log("b"); });
    std::thread::id closer;
    thread.Start();
    thread.Stop([&] {
        Log("close");
        closer = std::this_thread::get_id();
        clock.Advance(10ms);  // the timer would be due now
    });
    const std::vector<std::string> logged = Logged();
    ASSERT_GE(logged.size(), 3u);
    EXPECT_EQ(logged.back(), "close");
    EXPECT_EQ(logged[logged.size() - 2], "b");
    EXPECT_NE(closer, std::this_thread::get_id());
    thread.Post("late", [this] { Log("late"); });
    thread.Stop();
    EXPECT_EQ(Logged().back(), "close");
    EXPECT_FALSE(thread.TryRunNow([] {}));
}

TEST_F(LogicThreadTest, StopServesTheCallerWhileItWaits) {
    thread.Start();
    std::promise<void> answer;
    std::atomic<bool> asked{false};
    int served = 0;
    thread.Stop(
        [&] {
            asked = true;
            answer.get_future().wait();  // the logic waits for the interface thread
        },
        [&] {
            ++served;
            if (asked.exchange(false)) answer.set_value();
        });
    EXPECT_GE(served, 1);
}

}  // namespace
}  // namespace veska::main
