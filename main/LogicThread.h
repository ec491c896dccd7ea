#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veska::main {

/// Time of the logic thread's timers. The steady clock waits for real; tests use a manual
/// clock that moves only when told to, so that no test sleeps.
class LogicClock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~LogicClock() = default;
    virtual TimePoint Now() = 0;
    /// Waits on cv (lock held) until notified or until deadline; TimePoint::max() waits for a
    /// notification only. May return early (spuriously).
    virtual void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                           TimePoint deadline) = 0;
};

/// The process-wide steady clock.
LogicClock& SteadyLogicClock();

/// The one thread that runs the program logic (and so owns the device links, which only the
/// logic uses). Work reaches it as named tasks, run one at a time in the order they were
/// posted, and as timer ticks. The loop waits on its queue with the deadline of the next due
/// timer, so tasks and ticks run in the order of their times, a tick runs at most once per due
/// time (a timer keeps its cadence; one that fell behind during a long task ticks once, then
/// counts its interval from there), and a disabled timer never ticks.
///
/// Only the interface thread posts and calls TryRunNow; every method is safe to call from
/// any thread. Timer handles are small integers from AddTimer.
class LogicThread {
  public:
    using TimerId = int;
    using TimePoint = LogicClock::TimePoint;

    /// clock must outlive the thread.
    explicit LogicThread(LogicClock& clock = SteadyLogicClock());
    /// Stops the thread (without a close task) if Stop was not called.
    ~LogicThread();
    LogicThread(const LogicThread&) = delete;
    LogicThread& operator=(const LogicThread&) = delete;

    /// Starts the thread; tasks posted before run first, in order.
    void Start();
    /// Where an exception that escapes a task or a tick goes, with its text (on the logic
    /// thread); the thread goes on with the next task. Unset: written to standard error.
    void SetExceptionHandler(std::function<void(const std::string& what)> handler);

    /// A timer that runs tick on the logic thread every intervalMs [ms] while enabled;
    /// created disabled.
    TimerId AddTimer(std::string name, int intervalMs, std::function<void()> tick);
    /// Enabling a disabled timer makes its first tick due one interval from now; enabling an
    /// enabled one changes nothing.
    void SetTimerEnabled(TimerId timer, bool enabled);
    bool TimerEnabled(TimerId timer) const;
    /// A new interval [ms]; an enabled timer counts it from now.
    void SetTimerInterval(TimerId timer, int intervalMs);
    int TimerInterval(TimerId timer) const;

    /// Queues fn under name (the text that says what runs, e.g. "Connecting…"). Ignored once
    /// Stop has begun.
    void Post(std::string name, std::function<void()> fn);

    /// Runs fn at once on the calling thread when no task runs or waits. A timer tick in
    /// progress is waited for (one tick is one short exchange), but at most 50 ms of real time
    /// and not when it waits for the interface itself; then, and while a task runs or waits, fn
    /// does not run and the result is false.
    /// Meant for the interface thread's short, device-free handlers that must answer at once.
    bool TryRunNow(const std::function<void()>& fn);

    /// Runs closeTask on the logic thread after every task posted before it, then ends the
    /// thread and joins it. While it waits, serve is called on the calling thread every few
    /// milliseconds (the interface answers the logic's questions there). Idempotent.
    void Stop(std::function<void()> closeTask = {}, const std::function<void()>& serve = {});

    /// What runs now.
    struct Activity {
        std::string name;                      ///< empty: no task runs
        std::chrono::milliseconds elapsed{0};  ///< since the task started
        uint64_t serial = 0;                   ///< counts the tasks started so far
        std::string next;                      ///< the task that waits first, or empty
        bool waitingForInterface = false;      ///< the logic waits for an answer (InterfaceWait)
    };
    Activity Current() const;
    /// No task runs and none waits (timer ticks do not count).
    bool Idle() const;
    /// True on the logic thread itself.
    bool OnLogicThread() const;
    /// Wakes the loop to look at the time again (a manual clock calls it after moving).
    void Wake();

    /// Marks, for its lifetime, that the logic thread waits for an answer of the interface
    /// thread, so that TryRunNow does not wait for it in turn.
    class InterfaceWait {
      public:
        explicit InterfaceWait(LogicThread& thread);
        ~InterfaceWait();
        InterfaceWait(const InterfaceWait&) = delete;
        InterfaceWait& operator=(const InterfaceWait&) = delete;

      private:
        LogicThread& thread_;
    };

  private:
    struct Task {
        std::string name;
        std::function<void()> fn;
        TimePoint posted;
    };
    struct TimerSlot {
        std::string name;
        std::function<void()> tick;
        int intervalMs = 0;
        bool enabled = false;
        TimePoint due;
    };
    enum class Phase { Idle, Task, Tick, Interface };

    void Loop();
    /// The enabled timer due first, or -1.
    int NextTimer() const;
    void SetPhase(Phase phase);
    /// Runs fn, handing an exception that escapes it to the exception handler.
    void Guarded(const std::function<void()>& fn);

    LogicClock& clock_;
    // mutex_ guards everything below it; cv_ signals changes of the queue, the timers, the
    // phase and the stop request.
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task> queue_;
    std::vector<TimerSlot> timers_;
    std::function<void(const std::string&)> onException_;
    Phase phase_ = Phase::Idle;
    std::string currentName_;
    TimePoint currentSince_;
    uint64_t serial_ = 0;
    int interfaceWaits_ = 0;  ///< InterfaceWait scopes open on the logic thread
    bool stopping_ = false;   ///< no more posts; the loop ends once the queue is empty
    bool finished_ = false;   ///< the loop has left
    std::thread::id logicId_;
    std::thread thread_;
};

}  // namespace veska::main
