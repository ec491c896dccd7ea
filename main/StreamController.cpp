#include "main/StreamController.h"

#include <algorithm>
#include <chrono>
#include <climits>

#include "acquire/CsvExport.h"
#include "bench/ModeTable.h"
#include "link/Status.h"

namespace veska::main {

namespace {

constexpr uint32_t kStepWaitMs = 100;       ///< between the start and stop steps [ms]
constexpr int kWatchdogIntervalMs = 30000;  ///< TimerAnswer while streaming [ms]

}  // namespace

StreamController::StreamController(ProgramState& state, MainView& view, WindowState& window,
                                   platform::Clock& clock)
    : state_(state),
      view_(view),
      window_(window),
      clock_(clock),
      stream_(state.session, acquire::StreamShared{state.samples, state.currentValue,
                                                   state.zeroOffset, state.streamRunning}) {
    plotScratch_.reserve(acquire::SampleBuffer::kSize);
}

acquire::StreamSetup StreamController::SetupOf(int32_t mode) const {
    acquire::StreamSetup setup;
    const bench::ModeRow* row = bench::FindMode(mode);
    setup.conversion = row != nullptr ? row->stream : acquire::StreamConversion::None;
    setup.label = row != nullptr ? row->streamLabel : acquire::kLabelNone;
    setup.statusStream = row != nullptr && row->statusStream;
    setup.axisManual = !state_.xAutoScale;
    return setup;
}

void StreamController::ButtonStreamClick() {
    if (window_.Animating()) return;
    if (Running()) {
        Stop();
    } else {
        Start();
    }
}

void StreamController::Start() {
    auto& session = state_.session;
    const int32_t mode = state_.benchModeCode;
    state_.measureMode.store(mode);

    state_.samples.Reset();
    state_.samplesStart = acquire::LocalTimeText(std::chrono::system_clock::now());
    state_.samplesBaud = session.conn.baudRate;
    view_.ChartClear();
    if (!state_.xAutoScale) view_.SetBottomAxisRange(0.0, acquire::SampleStream::kAxisWindow);
    state_.currentValue.store(0.0f);
    StartLive(mode);

    // The parameter menu would talk to the sensor while the stream thread reads from it.
    window_.Enter(Activity::Streaming);
    clock_.Sleep(kStepWaitMs);

    view_.SetTimerInterval(Timer::TimerAnswer, kWatchdogIntervalMs);

    acquire::PrepareSensorForStream(session, mode == bench::kModeNonline ? 1 : 0);

    session.conn.answerStatus.store(link::kStatusOk);
    session.conn.previousAnswerStatus = 0;

    // The request is always StartStream; the thread reads the samples the mode's row names.
    startStatus_ = session.sensor.StartStream(session.conn.netAddress);
    session.conn.Record(startStatus_);
    shownLabelSerial_ = stream_.LabelSerial();
    shownAxis_ = {0, acquire::SampleStream::kAxisWindow};
    stream_.StartThread(SetupOf(mode));
}

void StreamController::StartLive(int32_t mode) {
    const bench::ModeRow* row = bench::FindMode(mode);
    const acquire::StreamConversion conversion =
        row != nullptr ? row->stream : acquire::StreamConversion::None;
    liveStores_ = conversion == acquire::StreamConversion::RelativeMm ||
                  conversion == acquire::StreamConversion::AbsoluteMm ||
                  conversion == acquire::StreamConversion::Raw;
    liveUnit_ = row != nullptr ? acquire::UnitOf(row->streamLabel) : std::string();
    liveActive_ = true;
    liveNext_ = 0;
    liveStartTick_ = clock_.TickCount();
    live_.Reset();
    liveStatistics_.Reset();
    const auto [leftTitle, bottomTitle] = acquire::AxisTitlesFor(liveUnit_, state_.texts);
    view_.ChartSetAxisTitles(leftTitle, bottomTitle);
    view_.ChartSetLiveTrace({}, {});
    view_.ChartSetStatistics(acquire::ChartStatistics{
        false, {}, liveUnit_, 0.0, acquire::StatisticsWordsOf(state_.texts, true)});
}

bool StreamController::FeedLive() {
    if (!liveActive_ || !liveStores_) return false;
    const int32_t newest = state_.samples.Index();
    if (newest < 0) return false;
    bool fed = false;
    while (liveNext_ != newest) {
        const double v = state_.samples.At(liveNext_);
        live_.Add(v);
        liveStatistics_.Add(v);
        liveNext_ = (liveNext_ + 1) & (acquire::SampleBuffer::kSize - 1);
        fed = true;
    }
    return fed;
}

void StreamController::ClearLive() {
    if (!liveActive_) return;
    FeedLive();  // the samples so far are skipped, not drawn later
    live_.Reset();
    liveStatistics_.Reset();
    liveStartTick_ = clock_.TickCount();
}

double StreamController::LiveRate() const {
    const uint32_t elapsed = clock_.TickCount() - liveStartTick_;
    return elapsed > 0 ? 1000.0 * static_cast<double>(live_.Count()) / elapsed : 0.0;
}

void StreamController::ShowLive() {
    live_.Envelope(liveX_, liveY_);
    view_.ChartSetLiveTrace(liveX_, liveY_);
    // The status bar names the stream's rate while it runs.
    view_.ChartSetStatistics(
        acquire::ChartStatistics{true, liveStatistics_.Result(), liveUnit_, 0.0,
                                 acquire::StatisticsWordsOf(state_.texts, true)});
}

void StreamController::StopForTeardown() {
    stream_.Stop(2);
    ShowLabel();
    ShowAxis();
    view_.ChartRepaint();
}

void StreamController::Stop() {
    StopForTeardown();

    window_.Enter(Activity::Connected);
    clock_.Sleep(kStepWaitMs);

    acquire::RestoreSensorAfterStream(state_.session);

    // The live trace gives way to the samples themselves; the statistics line then counts the
    // chart's points, at the rate the stream had.
    const bool hadLive = liveActive_ && liveStores_;
    FeedLive();
    const double rate = LiveRate();
    liveActive_ = false;
    if (hadLive) view_.ChartSetLiveTrace({}, {});
    view_.ChartSetStatistics(acquire::ChartStatistics{
        false, {}, liveUnit_, rate, acquire::StatisticsWordsOf(state_.texts, true)});

    // The samples an export writes now, in one pass, each labelled with its number since the
    // start: the chart and a file saved after the stop hold the same samples.
    auto& samples = state_.samples;
    const acquire::SampleSpan span = samples.ExportSpan();
    if (span.count > 0) {
        plotScratch_.clear();
        for (int32_t i = 0; i < span.count; ++i) plotScratch_.push_back(samples.At(span.first + i));
        const auto firstLabel = static_cast<int>(
            std::min<uint64_t>(span.firstNumber, static_cast<uint64_t>(INT32_MAX - span.count)));
        view_.ChartAddPoints(plotScratch_.data(), span.count, firstLabel, PointColour::Red);
        samples.cursor = (span.first + span.count) % acquire::SampleBuffer::kSize;
    }
    view_.ChartRepaint();
}

void StreamController::DisplayTick() {
    ShowLabel();
    const bool manual = !state_.xAutoScale;
    stream_.SetAxisManual(manual);
    if (manual) ShowAxis();
    if (FeedLive()) ShowLive();
}

void StreamController::ShowAxis() {
    if (state_.xAutoScale) return;
    const auto window = stream_.AxisWindow();
    if (window == shownAxis_) return;
    shownAxis_ = window;
    view_.SetBottomAxisRange(window.first, window.second);
}

void StreamController::ShowLabel() {
    const std::optional<double> value = stream_.TakeLabelValue(shownLabelSerial_);
    if (!value) return;
    const acquire::ValueLabel& label = stream_.Setup().label;
    if (label.kind == acquire::ValueLabel::Kind::None) return;
    view_.ShowValue(label.Text(*value));
}

}  // namespace veska::main
