#include "acquire/SampleStream.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "link/Status.h"

namespace veska::acquire {

namespace {

constexpr uint32_t kStepWaitMs = 100;  ///< after each parameter write of a start or stop [ms]
constexpr int kStreamNice = -10;       ///< well above the interface thread, never real-time
/// A read that fails at once (port closed or vanished) is retried after this pause, so the
/// raised-priority thread never spins [ms].
constexpr auto kFailedReadPause = std::chrono::milliseconds(10);
/// The stop wakes the thread again at this period until it has left its read.
constexpr auto kWakeRepeat = std::chrono::milliseconds(2);

/// Raised priority where the system allows it (a lower nice value of this thread alone);
/// otherwise the thread keeps its priority. Not a real-time policy: a reader that keeps up
/// with a pouring line at SCHED_FIFO would starve the interface thread and, on the
/// simulated bench, the simulated sensor itself.
void RaiseThreadPriority() {
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, kStreamNice);
}

uint64_t PackAxis(int32_t minimum, int32_t maximum) {
    return static_cast<uint32_t>(minimum) |
           (static_cast<uint64_t>(static_cast<uint32_t>(maximum)) << 32);
}

int32_t NextNewestIndex(const SampleBuffer& buffer) {
    const int32_t index = buffer.Index();
    if (index == -1 && !buffer.Wrapped()) return 0;
    return (index + 1) % SampleBuffer::kSize;
}

}  // namespace

SampleStream::SampleStream(params::SensorSession& session, StreamShared shared)
    : session_(session), shared_(shared) {
    axisWindow_.store(PackAxis(0, kAxisWindow));
}

SampleStream::~SampleStream() { StopThread(); }

void SampleStream::MoveAxis(int32_t& minimum, int32_t& maximum, int32_t sampleIndex) {
    if (maximum - minimum > sampleIndex) {
        minimum = 0;
        maximum = kAxisWindow;
    } else {
        ++minimum;
        ++maximum;
    }
}

link::Status SampleStream::Start(const StreamSetup& setup) {
    auto& conn = session_.conn;
    const auto status = static_cast<link::Status>(
        setup.statusStream ? session_.sensor.StartStatusStream(conn.netAddress)
                           : session_.sensor.StartStream(conn.netAddress));
    conn.Record(status);
    StartThread(setup);
    return status;
}

void SampleStream::StartThread(const StreamSetup& setup) {
    if (thread_.joinable()) StopThread();
    setup_ = setup;
    measuringRange_ = session_.conn.measuringRange;
    resultDivisor_ = session_.conn.resultDivisor;
    axisMin_ = 0;
    axisMax_ = kAxisWindow;
    axisWindow_.store(PackAxis(axisMin_, axisMax_));
    axisManual_.store(setup.axisManual);
    received_.store(0);
    failures_.store(0);
    framing_.store(0);
    gaps_.store(0);
    {
        std::lock_guard lock(doneMutex_);
        threadDone_ = false;
    }
    shared_.running.store(true, std::memory_order_release);
    thread_ = std::thread([this] { ThreadLoop(); });
}

void SampleStream::StopThread() {
    shared_.running.store(false, std::memory_order_release);
    if (!thread_.joinable()) return;
    {
        // The wake stays pending until the next write, but the thread may test the flag
        // just before the wake and enter a read after it: wake until it has left.
        std::unique_lock lock(doneMutex_);
        while (!threadDone_) {
            session_.sensor.Wake();
            doneSignal_.wait_for(lock, kWakeRepeat);
        }
    }
    thread_.join();
}

void SampleStream::Stop(int stopRequests) {
    StopThread();
    auto& conn = session_.conn;
    for (int i = 0; i < stopRequests; ++i) {
        conn.linkStatus.store(session_.sensor.StopStream(conn.netAddress));
    }
}

StreamCounters SampleStream::Counters() const {
    return {received_.load(), failures_.load(), framing_.load(), gaps_.load()};
}

std::optional<double> SampleStream::TakeLabelValue(uint32_t& seenSerial) const {
    const uint32_t serial = labelSerial_.load(std::memory_order_acquire);
    if (serial == seenSerial) return std::nullopt;
    seenSerial = serial;
    return labelValue_.load(std::memory_order_relaxed);
}

std::pair<int32_t, int32_t> SampleStream::AxisWindow() const {
    const uint64_t window = axisWindow_.load(std::memory_order_acquire);
    return {static_cast<int32_t>(static_cast<uint32_t>(window)),
            static_cast<int32_t>(static_cast<uint32_t>(window >> 32))};
}

void SampleStream::HandleSample(uint16_t raw, uint8_t statusByte) {
    auto& samples = shared_.samples;
    const int32_t index = NextNewestIndex(samples);
    const SampleConversion c = ConvertSample(setup_.conversion, raw, statusByte, measuringRange_,
                                             resultDivisor_, shared_.zeroOffset.load(), index);
    if (c.setsCurrent) shared_.currentValue.store(c.current);
    // Modes that store nothing still advance the index; the slot keeps its value.
    samples.AppendNewest(c.stores ? c.stored : samples.At(index));
    if (c.shows && setup_.label.kind != ValueLabel::Kind::None) {
        labelValue_.store(c.labelValue, std::memory_order_relaxed);
        labelSerial_.fetch_add(1, std::memory_order_release);
    }
}

void SampleStream::PublishAxis() {
    if (!axisManual_.load(std::memory_order_relaxed)) return;
    MoveAxis(axisMin_, axisMax_, shared_.samples.Index());
    axisWindow_.store(PackAxis(axisMin_, axisMax_), std::memory_order_release);
}

void SampleStream::ThreadLoop() {
    RaiseThreadPriority();
    auto& conn = session_.conn;
    auto& sensor = session_.sensor;
    while (shared_.running.load(std::memory_order_acquire)) {
        uint16_t raw = 0;
        uint8_t statusByte = 0;
        const int32_t status = setup_.statusStream ? sensor.ReadStatusStreamSample(raw, statusByte)
                                                   : sensor.ReadStreamSample(raw);
        // A read cut short by the stop is no sample and no failure.
        if (status != link::kStatusOk && !shared_.running.load(std::memory_order_acquire)) break;
        conn.linkStatus.store(status);
        if (status == link::kStatusOk) {
            received_.fetch_add(1, std::memory_order_relaxed);
            HandleSample(raw, statusByte);
        } else {
            failures_.fetch_add(1, std::memory_order_relaxed);
            if (status == link::kStatusFraming) framing_.fetch_add(1, std::memory_order_relaxed);
            if (status == link::kStatusShortRead) gaps_.fetch_add(1, std::memory_order_relaxed);
        }
        PublishAxis();
        conn.answerStatus.store(status);
        if (status == link::kStatusNotOpen || status == link::kStatusReadFailed) {
            std::this_thread::sleep_for(kFailedReadPause);
        }
    }
    timespec cpu{};
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu) == 0) {
        threadCpu_.store(static_cast<double>(cpu.tv_sec) + cpu.tv_nsec * 1e-9);
    }
    {
        std::lock_guard lock(doneMutex_);
        threadDone_ = true;
    }
    doneSignal_.notify_all();
}

void PrepareSensorForStream(params::SensorSession& session, int32_t modeOfRun) {
    auto& values = session.values;
    values.savedValues[params::kRowLanMode] = values.workValues[params::kRowLanMode];
    session.SendValue(params::kRowLanMode, 0);
    session.Clock().Sleep(kStepWaitMs);
    session.SendValue(params::kRowModeOfRun, modeOfRun);
    session.Clock().Sleep(kStepWaitMs);
}

void RestoreSensorAfterStream(params::SensorSession& session) {
    session.SendValue(params::kRowLanMode, session.values.savedValues[params::kRowLanMode]);
    session.Clock().Sleep(kStepWaitMs);
    session.SendValue(params::kRowModeOfRun, 0);
    session.Clock().Sleep(kStepWaitMs);
}

}  // namespace veska::acquire
