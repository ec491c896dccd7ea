#include "main/StreamAcquisition.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <ctime>

#include "link/Status.h"
#include "main/MeasurementCycle.h"

namespace veska::main {

namespace {

constexpr uint32_t kStepWaitMs = 100;       ///< between the start and stop steps [ms]
constexpr int kWatchdogIntervalMs = 30000;  ///< TimerAnswer while streaming [ms]
constexpr int kStreamNice = -10;  ///< well above the interface thread, never real-time
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

StreamAcquisition::StreamAcquisition(ProgramState& state, MainView& view,
                                     link::TMORLAInterface& sensor, params::ParamTransfer& params,
                                     platform::Clock& clock)
    : state_(state), view_(view), sensor_(sensor), params_(params), clock_(clock) {
    axisWindow_.store(PackAxis(0, kAxisWindow));
    plotScratch_.reserve(SampleBuffer::kSize);
}

StreamAcquisition::~StreamAcquisition() { StopThread(); }

StreamLabel StreamAcquisition::LabelOf(int32_t mode) {
    switch (mode) {
        case kModeLine:
        case kModeStreamFrqCheck:
        case kModeSynchroPoverka:
        case kModeScan:
            return StreamLabel::Millimetres;
        case kModeNonline:
        case kModeSynchroCalibration:
            return StreamLabel::Pixels;
        case kModeTemperature:
            return StreamLabel::Counts;
        case kModeInCheck:
            return StreamLabel::Index;
        case kModeAlCheck:
            return StreamLabel::Level;
        default:
            return StreamLabel::None;
    }
}

SampleConversion StreamAcquisition::Convert(int32_t mode, uint16_t raw, uint8_t statusByte,
                                            int16_t measuringRange, uint16_t resultDivisor,
                                            float zeroOffset, int32_t newIndex) {
    SampleConversion c;
    c.label = LabelOf(mode);
    const long double divisor = resultDivisor == 0 ? 1 : resultDivisor;
    const auto millimetres = [&] {
        return static_cast<float>(static_cast<long double>(raw) * measuringRange / divisor);
    };
    switch (mode) {
        case kModeLine:
        case kModeStreamFrqCheck: {
            c.setsCurrent = true;
            c.current = millimetres();
            const long double relative =
                static_cast<long double>(c.current) - static_cast<long double>(zeroOffset);
            c.stores = true;
            c.stored = static_cast<float>(relative);
            c.labelValue = static_cast<double>(relative);
            break;
        }
        case kModeSynchroPoverka:
        case kModeScan:
            c.setsCurrent = true;
            c.current = millimetres();
            c.stores = true;
            c.stored = c.current;
            c.labelValue = c.current;
            break;
        case kModeNonline:
        case kModeSynchroCalibration:
        case kModeTemperature:
            c.setsCurrent = true;
            c.current = raw;
            c.stores = true;
            c.stored = raw;
            c.labelValue = raw;
            break;
        case kModeInCheck:
            c.labelValue = newIndex;
            break;
        case kModeAlCheck:
            c.labelValue = (statusByte & 0x02) != 0 ? 1.0 : 0.0;
            break;
        default:
            break;
    }
    return c;
}

std::string StreamAcquisition::LabelText(StreamLabel label, double value) {
    switch (label) {
        case StreamLabel::Millimetres:
            return FormatFixed(value, 3) + " mm";
        case StreamLabel::Pixels:
            return FormatFixed(value, 0) + " px";
        case StreamLabel::Counts:
            return FormatFixed(value, 0) + " cl";
        case StreamLabel::Index:
            return FormatFixed(value, 0);
        case StreamLabel::Level:
            return value != 0.0 ? "Hi" : "Lo";
        case StreamLabel::None:
            break;
    }
    return {};
}

void StreamAcquisition::MoveAxis(int32_t& minimum, int32_t& maximum, int32_t sampleIndex) {
    if (maximum - minimum > sampleIndex) {
        minimum = 0;
        maximum = kAxisWindow;
    } else {
        ++minimum;
        ++maximum;
    }
}

void StreamAcquisition::ButtonStreamClick() {
    if (view_.TimerEnabled(Timer::TimerMore)) return;
    if (Running()) {
        Stop();
    } else {
        Start();
    }
}

void StreamAcquisition::Start() {
    auto& values = state_.values;
    auto& conn = state_.conn;
    const int32_t mode = state_.benchModeCode;
    state_.measureMode.store(mode);

    state_.samples.Reset();
    view_.ChartClear();
    if (!state_.xAutoScale) view_.SetBottomAxisRange(0.0, kAxisWindow);
    state_.currentValue.store(0.0f);

    view_.SetText(Control::ButtonStream, state_.texts.Button(6));
    view_.SetEnabled(Control::ButtonConnect, false);
    view_.SetEnabled(Control::ButtonMeasure, false);
    view_.SetEnabled(Control::ButtonZero, false);
    // The parameter menu would talk to the sensor while the stream thread reads from it.
    view_.SetEnabled(Control::ValueListEditorParam, false);
    clock_.Sleep(kStepWaitMs);

    view_.SetTimerInterval(Timer::TimerAnswer, kWatchdogIntervalMs);

    values.savedValues[params::kRowLanMode] = values.workValues[params::kRowLanMode];
    values.workValues[params::kRowLanMode] = 0;
    params_.SendParameter(params::kRowLanMode);
    clock_.Sleep(kStepWaitMs);

    values.workValues[params::kRowModeOfRun] = mode == kModeNonline ? 1 : 0;
    params_.SendParameter(params::kRowModeOfRun);
    clock_.Sleep(kStepWaitMs);

    conn.answerStatus.store(link::kStatusOk);
    conn.previousAnswerStatus = 0;

    startStatus_ = sensor_.StartStream(conn.netAddress);
    conn.Record(startStatus_);
    StartThread();
}

void StreamAcquisition::StartThread() {
    if (thread_.joinable()) StopThread();
    mode_ = state_.measureMode.load();
    measuringRange_ = state_.conn.measuringRange;
    resultDivisor_ = state_.conn.resultDivisor;
    axisMin_ = 0;
    axisMax_ = kAxisWindow;
    axisWindow_.store(PackAxis(axisMin_, axisMax_));
    shownAxis_ = PackAxis(axisMin_, axisMax_);
    axisManual_.store(!state_.xAutoScale);
    shownLabelSerial_ = labelSerial_.load();
    received_.store(0);
    failures_.store(0);
    framing_.store(0);
    gaps_.store(0);
    {
        std::lock_guard lock(doneMutex_);
        threadDone_ = false;
    }
    state_.streamRunning.store(true, std::memory_order_release);
    thread_ = std::thread([this] { ThreadLoop(); });
}

void StreamAcquisition::StopThread() {
    state_.streamRunning.store(false, std::memory_order_release);
    if (!thread_.joinable()) return;
    {
        // The wake stays pending until the next write, but the thread may test the flag
        // just before the wake and enter a read after it: wake until it has left.
        std::unique_lock lock(doneMutex_);
        while (!threadDone_) {
            sensor_.Wake();
            doneSignal_.wait_for(lock, kWakeRepeat);
        }
    }
    thread_.join();
}

void StreamAcquisition::StopForTeardown() {
    StopThread();
    auto& conn = state_.conn;
    conn.linkStatus.store(sensor_.StopStream(conn.netAddress));
    conn.linkStatus.store(sensor_.StopStream(conn.netAddress));
    view_.SetEnabled(Control::ValueListEditorParam, true);
    ShowLabel();
    view_.ChartRepaint();
}

void StreamAcquisition::Stop() {
    auto& values = state_.values;
    StopForTeardown();

    view_.SetText(Control::ButtonStream, state_.texts.Button(2));
    view_.SetEnabled(Control::ButtonConnect, true);
    view_.SetEnabled(Control::ButtonMeasure, true);
    view_.SetEnabled(Control::ButtonZero, true);
    view_.SetEnabled(Control::ValueListEditorParam, true);
    clock_.Sleep(kStepWaitMs);

    values.workValues[params::kRowLanMode] = values.savedValues[params::kRowLanMode];
    params_.SendParameter(params::kRowLanMode);
    clock_.Sleep(kStepWaitMs);

    values.workValues[params::kRowModeOfRun] = 0;
    params_.SendParameter(params::kRowModeOfRun);
    clock_.Sleep(kStepWaitMs);

    // The samples from the cursor up to, not including, the newest one, in one pass.
    auto& samples = state_.samples;
    const int32_t newest = samples.Index();
    if (samples.cursor < newest) {
        plotScratch_.clear();
        for (int32_t i = samples.cursor; i < newest; ++i) plotScratch_.push_back(samples.At(i));
        view_.ChartAddPoints(plotScratch_.data(), static_cast<int>(plotScratch_.size()),
                             samples.cursor, PointColour::Red);
        samples.cursor = newest;
    }
    view_.ChartRepaint();
}

void StreamAcquisition::DisplayTick() {
    ShowLabel();
    const bool manual = !state_.xAutoScale;
    axisManual_.store(manual);
    if (!manual) return;
    const uint64_t window = axisWindow_.load(std::memory_order_acquire);
    if (window == shownAxis_) return;
    shownAxis_ = window;
    const auto minimum = static_cast<int32_t>(static_cast<uint32_t>(window));
    const auto maximum = static_cast<int32_t>(static_cast<uint32_t>(window >> 32));
    view_.SetBottomAxisRange(minimum, maximum);
}

void StreamAcquisition::ShowLabel() {
    const uint32_t serial = labelSerial_.load(std::memory_order_acquire);
    if (serial == shownLabelSerial_) return;
    shownLabelSerial_ = serial;
    const StreamLabel label = LabelOf(mode_);
    if (label == StreamLabel::None) return;
    view_.SetText(Control::LabelRast,
                  LabelText(label, labelValue_.load(std::memory_order_relaxed)));
}

void StreamAcquisition::HandleSample(uint16_t raw, uint8_t statusByte) {
    auto& samples = state_.samples;
    const int32_t index = NextNewestIndex(samples);
    const SampleConversion c = Convert(mode_, raw, statusByte, measuringRange_, resultDivisor_,
                                       state_.zeroOffset.load(), index);
    if (c.setsCurrent) state_.currentValue.store(c.current);
    // Modes that store nothing still advance the index; the slot keeps its value.
    samples.AppendNewest(c.stores ? c.stored : samples.At(index));
    if (c.label != StreamLabel::None) {
        labelValue_.store(c.labelValue, std::memory_order_relaxed);
        labelSerial_.fetch_add(1, std::memory_order_release);
    }
}

void StreamAcquisition::PublishAxis() {
    if (!axisManual_.load(std::memory_order_relaxed)) return;
    MoveAxis(axisMin_, axisMax_, state_.samples.Index());
    axisWindow_.store(PackAxis(axisMin_, axisMax_), std::memory_order_release);
}

void StreamAcquisition::ThreadLoop() {
    RaiseThreadPriority();
    auto& conn = state_.conn;
    while (state_.streamRunning.load(std::memory_order_acquire)) {
        uint16_t raw = 0;
        uint8_t statusByte = 0;
        const int32_t status = mode_ == kModeAlCheck
                                   ? sensor_.ReadStatusStreamSample(raw, statusByte)
                                   : sensor_.ReadStreamSample(raw);
        // A read cut short by the stop is no sample and no failure.
        if (status != link::kStatusOk && !state_.streamRunning.load(std::memory_order_acquire)) {
            break;
        }
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

}  // namespace veska::main
