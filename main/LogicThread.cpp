#include "main/LogicThread.h"

#include <cstdio>
#include <exception>
#include <utility>

namespace veska::main {
namespace {

class SteadyClock final : public LogicClock {
  public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }
    void WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        if (deadline == TimePoint::max()) {
            cv.wait(lock);
        } else {
            cv.wait_until(lock, deadline);
        }
    }
};

/// Longest wait of TryRunNow for a tick in progress (real time) [ms].
constexpr auto kTickWaitLimit = std::chrono::milliseconds(50);
/// How often Stop lets the caller serve the interface while it waits [ms].
constexpr auto kServePeriod = std::chrono::milliseconds(2);

}  // namespace

LogicClock& SteadyLogicClock() {
    static SteadyClock clock;
    return clock;
}

LogicThread::LogicThread(LogicClock& clock) : clock_(clock) {}

LogicThread::~LogicThread() {
    if (thread_.joinable()) Stop();
}

void LogicThread::Start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable() || finished_) return;
    thread_ = std::thread([this] { Loop(); });
    logicId_ = thread_.get_id();
}

void LogicThread::SetExceptionHandler(std::function<void(const std::string&)> handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    onException_ = std::move(handler);
}

void LogicThread::Guarded(const std::function<void()>& fn) {
    std::string what;
    try {
        fn();
        return;
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
    }
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handler = onException_;
    }
    if (handler) {
        handler(what);
    } else {
        std::fprintf(stderr, "logic thread: %s\n", what.c_str());
    }
}

LogicThread::TimerId LogicThread::AddTimer(std::string name, int intervalMs,
                                           std::function<void()> tick) {
    std::lock_guard<std::mutex> lock(mutex_);
    TimerSlot slot;
    slot.name = std::move(name);
    slot.tick = std::move(tick);
    slot.intervalMs = intervalMs;
    timers_.push_back(std::move(slot));
    return static_cast<TimerId>(timers_.size() - 1);
}

void LogicThread::SetTimerEnabled(TimerId timer, bool enabled) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer < 0 || timer >= static_cast<int>(timers_.size())) return;
    TimerSlot& slot = timers_[static_cast<size_t>(timer)];
    if (slot.enabled == enabled) return;
    slot.enabled = enabled;
    if (enabled) slot.due = clock_.Now() + std::chrono::milliseconds(slot.intervalMs);
    cv_.notify_all();
}

bool LogicThread::TimerEnabled(TimerId timer) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer < 0 || timer >= static_cast<int>(timers_.size())) return false;
    return timers_[static_cast<size_t>(timer)].enabled;
}

void LogicThread::SetTimerInterval(TimerId timer, int intervalMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer < 0 || timer >= static_cast<int>(timers_.size())) return;
    TimerSlot& slot = timers_[static_cast<size_t>(timer)];
    slot.intervalMs = intervalMs;
    if (slot.enabled) slot.due = clock_.Now() + std::chrono::milliseconds(intervalMs);
    cv_.notify_all();
}

int LogicThread::TimerInterval(TimerId timer) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timer < 0 || timer >= static_cast<int>(timers_.size())) return 0;
    return timers_[static_cast<size_t>(timer)].intervalMs;
}

void LogicThread::Post(std::string name, std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    queue_.push_back(Task{std::move(name), std::move(fn), clock_.Now()});
    cv_.notify_all();
}

bool LogicThread::TryRunNow(const std::function<void()>& fn) {
    std::unique_lock<std::mutex> lock(mutex_);
    // A tick is one short exchange: wait for it, but never for long (an exchange with a
    // silent sensor waits for its time-out) and not when it waits for the interface itself.
    cv_.wait_for(lock, kTickWaitLimit,
                 [this] { return phase_ != Phase::Tick || interfaceWaits_ > 0; });
    if (phase_ != Phase::Idle || !queue_.empty() || stopping_) return false;
    phase_ = Phase::Interface;
    lock.unlock();
    struct Release {
        LogicThread& self;
        ~Release() { self.SetPhase(Phase::Idle); }
    } release{*this};
    fn();
    return true;
}

void LogicThread::SetPhase(Phase phase) {
    std::lock_guard<std::mutex> lock(mutex_);
    phase_ = phase;
    cv_.notify_all();
}

void LogicThread::Stop(std::function<void()> closeTask, const std::function<void()>& serve) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!stopping_) {
        stopping_ = true;
        if (closeTask) queue_.push_back(Task{"Closing…", std::move(closeTask), clock_.Now()});
        cv_.notify_all();
    }
    if (!thread_.joinable()) {
        if (finished_ || queue_.empty()) {
            finished_ = true;
            return;
        }
        // Never started: the queued work still runs, on its own thread as always.
        thread_ = std::thread([this] { Loop(); });
        logicId_ = thread_.get_id();
    }
    if (std::this_thread::get_id() == logicId_) return;  // cannot join itself
    while (!finished_) {
        if (serve) {
            cv_.wait_for(lock, kServePeriod);
            lock.unlock();
            serve();
            lock.lock();
        } else {
            cv_.wait(lock);
        }
    }
    lock.unlock();
    thread_.join();
}

LogicThread::Activity LogicThread::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    Activity activity;
    activity.serial = serial_;
    if (!queue_.empty()) activity.next = queue_.front().name;
    activity.waitingForInterface = interfaceWaits_ > 0;
    if (phase_ == Phase::Task) {
        activity.name = currentName_;
        activity.elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - currentSince_);
    }
    return activity;
}

bool LogicThread::Idle() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return phase_ != Phase::Task && queue_.empty();
}

bool LogicThread::OnLogicThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::this_thread::get_id() == logicId_;
}

void LogicThread::Wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    cv_.notify_all();
}

LogicThread::InterfaceWait::InterfaceWait(LogicThread& thread) : thread_(thread) {
    std::lock_guard<std::mutex> lock(thread_.mutex_);
    ++thread_.interfaceWaits_;
    thread_.cv_.notify_all();
}

LogicThread::InterfaceWait::~InterfaceWait() {
    std::lock_guard<std::mutex> lock(thread_.mutex_);
    --thread_.interfaceWaits_;
}

int LogicThread::NextTimer() const {
    int next = -1;
    for (size_t i = 0; i < timers_.size(); ++i) {
        const TimerSlot& t = timers_[i];
        if (t.enabled && (next < 0 || t.due < timers_[static_cast<size_t>(next)].due)) {
            next = static_cast<int>(i);
        }
    }
    return next;
}

void LogicThread::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (phase_ == Phase::Interface) {
            cv_.wait(lock);
            continue;
        }
        const TimePoint now = clock_.Now();
        // Once stopping, only the queued tasks and the close task run; no timer ticks.
        const int timer = stopping_ ? -1 : NextTimer();
        const bool timerDue = timer >= 0 && timers_[static_cast<size_t>(timer)].due <= now;
        if (!queue_.empty() &&
            (!timerDue || queue_.front().posted < timers_[static_cast<size_t>(timer)].due)) {
            Task task = std::move(queue_.front());
            queue_.pop_front();
            phase_ = Phase::Task;
            currentName_ = std::move(task.name);
            currentSince_ = now;
            ++serial_;
            lock.unlock();
            Guarded(task.fn);
            task.fn = nullptr;  // its captures go on this thread, outside the lock
            lock.lock();
            phase_ = Phase::Idle;
            currentName_.clear();
            cv_.notify_all();
            continue;
        }
        if (timerDue) {
            TimerSlot& slot = timers_[static_cast<size_t>(timer)];
            // The next tick keeps the cadence; a timer that fell behind (a long task) ticks
            // once and counts its interval from now. A tick that re-enables its timer counts
            // from its own end instead.
            const TimePoint next = slot.due + std::chrono::milliseconds(slot.intervalMs);
            slot.due = next > now ? next : now + std::chrono::milliseconds(slot.intervalMs);
            std::function<void()> tick = slot.tick;
            phase_ = Phase::Tick;
            lock.unlock();
            Guarded(tick);
            lock.lock();
            phase_ = Phase::Idle;
            cv_.notify_all();
            continue;
        }
        if (stopping_ && queue_.empty()) break;
        clock_.WaitUntil(cv_, lock,
                         timer >= 0 ? timers_[static_cast<size_t>(timer)].due : TimePoint::max());
    }
    finished_ = true;
    cv_.notify_all();
}

}  // namespace veska::main
