#include "main/MeasurementCycle.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "acquire/CsvExport.h"
#include "bench/RunRecord.h"
#include "lang/Language.h"
#include "lang/NumberFormat.h"
#include "link/Status.h"
#include "main/SensorIdentity.h"
#include "main/StreamController.h"
#include "platform/FileIo.h"

namespace veska::main {

namespace {

constexpr uint32_t kMotorWaitMs = 10;     ///< before each motor mask at run stop [ms]
constexpr uint8_t kLongProfileType = 65;  ///< device type with a profile read in Pulse modes
constexpr uint32_t kRateShowIntervalMs = 500;

const bench::ModeRow& RowOf(int32_t mode) {
    const bench::ModeRow* row = bench::FindMode(mode);
    // Codes outside the list (135, 136, others) behave as a mode without steps.
    static constexpr bench::ModeRow kNoMode{-1,
                                            "",
                                            bench::ResultConversion::Unchanged,
                                            false,
                                            true,
                                            acquire::kLabelNone,
                                            acquire::StreamConversion::None,
                                            acquire::kLabelNone,
                                            false,
                                            true};
    return row != nullptr ? *row : kNoMode;
}

}  // namespace

MeasurementCycle::MeasurementCycle(ProgramState& state, MainView& view, WindowState& window,
                                   platform::Clock& clock, StreamController& stream,
                                   bench::BenchDevices devices, const bench::ModeSteps& steps)
    : state_(state),
      view_(view),
      runView_(view),
      window_(window),
      clock_(clock),
      stream_(stream),
      devices_(devices),
      steps_(steps) {}

const bench::ModeRow& MeasurementCycle::Row() const { return RowOf(state_.measureMode.load()); }

acquire::SampleStream& MeasurementCycle::Stream() { return stream_.Stream(); }

void MeasurementCycle::SetTickInterval(int milliseconds) {
    view_.SetTimerInterval(Timer::TimerMain, milliseconds);
}

void MeasurementCycle::ToggleMeasure() {
    if (running_) {
        run.stopRequested = true;
        // A bench run's stop steps take a while; a plain run stops at once and leaves no line.
        if (Row().code >= bench::kModePulse) {
            runView_.ShowRunState(std::string(Row().caption) + ": stopping…");
        }
        Stop();
    } else {
        Start();
    }
}

void MeasurementCycle::StopForTimeLimit() {
    if (!running_) return;
    timeLimitReached_ = true;
    ToggleMeasure();
}

void MeasurementCycle::EndRun() {
    if (running_) Stop();
}

void MeasurementCycle::IdentifyForRun() {
    if (refreshIdentity) {
        refreshIdentity();
        return;
    }
    RefreshIdentity(state_, view_);
}

void MeasurementCycle::Start() {
    stopAsked_.store(false);
    IdentifyForRun();
    const int32_t mode = state_.benchModeCode;
    state_.measureMode.store(mode);
    run.resultMin = 65535.0f;
    run.resultMax = 0.0f;
    resultsReceived = 0;
    resultsFailed = 0;
    run.results.clear();
    run.files.clear();
    run.notes.clear();
    run.method.clear();
    run.verdict = {};
    run.activity.clear();
    run.expectedSamples = 0;
    run.stopRequested = false;
    timeLimitReached_ = false;
    (void)runView_.TakeWritten();
    (void)runView_.TakeProblems();
    motorOpened_ = false;
    runStartedAt_ = std::chrono::system_clock::now();
    run.stem = UniqueStem(bench::RunFileStem(state_.session.conn.deviceInfo.serialNumber,
                                             std::string(RowOf(mode).caption), runStartedAt_));
    // Nothing of an earlier run stays on the read-outs.
    activityShown_.clear();
    activityOf_.clear();
    runView_.ShowValue("");
    for (const auto readout : {bench::Readout::BoardVoltage, bench::Readout::BoardCurrent,
                               bench::Readout::Encoder, bench::Readout::SensorMinusEncoder}) {
        runView_.ShowReadout(readout, "");
    }
    runView_.ShowProgress(0);
    runView_.ShowRunState("");
    SetTickInterval(1);

    runView_.ChartClear();
    runView_.ChartSetTitle("", false);
    // Modes that plot a plain value name it with its unit; the others leave the titles empty
    // for their own steps.
    runUnit_ = acquire::UnitOf(RowOf(mode).label);
    const auto [leftTitle, bottomTitle] = acquire::AxisTitlesFor(runUnit_, state_.texts);
    runView_.ChartSetAxisTitles(leftTitle, bottomTitle);
    runView_.ChartSetFoot("");
    runStartTick_ = rateShownTick_ = clock_.TickCount();
    runView_.ChartSetStatistics(acquire::ChartStatistics{
        false, {}, runUnit_, 0.0, acquire::StatisticsWordsOf(state_.texts, false)});

    window_.Enter(RowOf(mode).code >= bench::kModePulse ? Activity::BenchRun : Activity::Measuring);

    state_.samples.ClearValues();
    std::fill(run.encoderBuffer.begin(), run.encoderBuffer.end(), 0.0f);
    run.encoderRecorded = false;

    run.firstTickPending = true;
    if (!state_.xAutoScale) runView_.SetBottomAxisRange(0.0, 25.0);

    state_.samples.Reset();
    state_.samples.StampTimes(clock_);  // polled: each sample keeps the time it was taken
    state_.samplesStart = acquire::LocalTimeText(std::chrono::system_clock::now());
    state_.samplesBaud = 0;
    run.pointNumber = 0;
    state_.currentValue.store(0.0f);

    devices_.encoder.SetLineRate(kEncoderRunRate);

    runView_.SetBottomAxisAutomatic(state_.xAutoScale);
    runView_.SetLeftAxisAutomatic(state_.yAutoScale);
    if (!state_.yAutoScale) runView_.SetLeftAxisRange(0.0, state_.session.conn.measuringRange);

    // The stage timing of the run, from the range and the record the identity chose.
    run.timing = bench::ComputeMotionTiming(state_.motorTable, state_.session.conn.motorRecord,
                                            state_.session.conn.measuringRange);

    mode_ = steps_.Find(mode);
    if (mode_ != nullptr) mode_->Start(*this);

    run.tickPhase = 0;
    running_ = true;
    view_.SetTimerEnabled(Timer::TimerMain, true);
}

void MeasurementCycle::Stop() {
    view_.SetTimerEnabled(Timer::TimerMain, false);
    window_.Enter(Activity::Connected);

    // A run stopped from outside, or ended by a fault, may leave a move under way.
    if (motorOpened_ && (run.stopRequested || run.verdict.outcome != bench::RunOutcome::Passed)) {
        LeaveStageAtRest();
    }
    // A bench mode may have left its stream running.
    if (stream_.Running()) stream_.StopForTeardown();

    state_.session.SendValue(params::kRowModeOfRun, 0);

    clock_.Sleep(kMotorWaitMs);
    (void)devices_.motor.MaskOutputs(0);
    clock_.Sleep(kMotorWaitMs);
    (void)devices_.motor.MaskOutputs(0);

    // running_ is cleared first: a stop step that ends the run again does nothing.
    running_ = false;
    const bool benchRun = mode_ != nullptr && Row().code >= bench::kModePulse;
    if (mode_ != nullptr) mode_->Stop(*this);
    mode_ = nullptr;
    run.activity.clear();
    if (timeLimitReached_) {
        bench::ConcludeTimeLimit(run, !RunsUntilStopped());
    } else if (run.stopRequested && !RunsUntilStopped()) {
        // A run stopped before its own end measured nothing it could claim.
        run.Conclude(bench::RunOutcome::Stopped, stopSignal && stopSignal()
                                                     ? "stopped by a signal"
                                                     : "stopped by the operator");
    }
    // The data of each report chart lies beside its image.
    for (std::string& file : runView_.TakeWritten()) run.files.push_back(std::move(file));
    // A chart's data that was not written is a file of the run that failed.
    for (const std::string& problem : runView_.TakeProblems()) {
        run.Conclude(bench::RunOutcome::Error, problem);
    }
    const bench::RunRecord record = RecordOfRun(timeLimitReached_   ? "time limit"
                                                : run.stopRequested ? "stopped"
                                                                    : "self");
    if (benchRun) {
        if (writeRunRecords) WriteRunRecord(record);
        runView_.ShowRunState(bench::RunEndLine(Row(), run));
    }

    SetTickInterval(1);
    ShowRunRate();
    devices_.motor.Close();
    devices_.encoder.Close();
    devices_.board.Stop();
    if (runEnded) runEnded(record);
}

bool MeasurementCycle::RunsUntilStopped() const {
    return bench::RunsUntilStopped(Row().code) || steps_.Find(Row().code) == nullptr;
}

bench::RunRecord MeasurementCycle::RecordOfRun(std::string end) const {
    bench::RunRecord record;
    record.row = &Row();
    record.end = std::move(end);
    record.started = bench::IsoUtc(runStartedAt_);
    record.ended = bench::IsoUtc(std::chrono::system_clock::now());
    record.secondsLimit = secondsLimit;
    return record;
}

void MeasurementCycle::AbandonRun() {
    if (!running_) return;
    view_.SetTimerEnabled(Timer::TimerMain, false);
    // The sensor is gone, the stage is not: a move under way ends before its port closes.
    if (motorOpened_) LeaveStageAtRest();
    devices_.motor.Close();
    devices_.encoder.Close();
    devices_.board.Stop();
    mode_ = nullptr;
    running_ = false;
    run.Conclude(bench::RunOutcome::Error, "sensor lost: the sensor stopped answering");
    if (runEnded) runEnded(RecordOfRun("sensor lost"));
}

void MeasurementCycle::LeaveStageAtRest() {
    motorOpened_ = false;
    const bench::RestWait wait = bench::StopStage(devices_.motor, clock_);
    if (wait.atRest) return;
    const std::string why = "the stage could not be stopped (" + wait.Message() +
                            "): check the stage before the next run";
    run.Conclude(bench::RunOutcome::Error, why);
    view_.MessageBox(why, state_.texts.Message(2), params::kMbIconExclamation);
}

void MeasurementCycle::TimerMainTimer() {
    if (!running_) return;  // a tick queued before the stop
    view_.SetTimerEnabled(Timer::TimerMain, false);

    if (mode_ != nullptr) mode_->Tick(*this);
    // A run with a time limit is stopped as the Measure button does once it ran that long.
    if (running_ && secondsLimit &&
        clock_.TickCount() - runStartTick_ >= static_cast<uint32_t>(*secondsLimit * 1000.0)) {
        StopForTimeLimit();
    }

    runView_.ChartRepaint();
    if (clock_.TickCount() - rateShownTick_ >= kRateShowIntervalMs) {
        ShowRunRate();
        ShowActivity();
    } else if (run.activity != activityOf_) {
        ShowActivity();
    }
    run.firstTickPending = false;

    // A step that ended its run leaves the timer off.
    if (running_) view_.SetTimerEnabled(Timer::TimerMain, true);
}

void MeasurementCycle::ShowRunRate() {
    const uint32_t now = clock_.TickCount();
    rateShownTick_ = now;
    if (runUnit_.empty()) return;
    const uint32_t elapsed = now - runStartTick_;
    // While the run goes on the status bar names its rate; the chart names it once it ended.
    const double rate = elapsed > 0 && !running_ ? 1000.0 * run.pointNumber / elapsed : 0.0;
    runView_.ChartSetStatistics(acquire::ChartStatistics{
        false, {}, runUnit_, rate, acquire::StatisticsWordsOf(state_.texts, false)});
}

std::string MeasurementCycle::UniqueStem(const std::string& stem) {
    // Two runs of one mode within a second: the later one's files get a number.
    const std::filesystem::path folder =
        std::filesystem::path(runView_.ReportImagePath("probe")).parent_path();
    std::string unique = stem;
    std::error_code error;
    for (int n = 2;
         (unique == lastStem_ || std::filesystem::exists(folder / (unique + ".json"), error)) &&
         n < 1000;
         ++n) {
        unique = stem + "-" + std::to_string(n);
    }
    lastStem_ = unique;
    return unique;
}

void MeasurementCycle::ShowActivity() {
    if (!running_ || run.activity.empty()) return;
    std::string text = std::string(Row().caption) + ": " + run.activity;
    if (run.expectedSamples > 0) {
        text += ", " + std::to_string(state_.samples.Count()) + " of " +
                std::to_string(run.expectedSamples) + " samples";
    }
    activityOf_ = run.activity;
    if (text == activityShown_) return;
    activityShown_ = text;
    runView_.ShowRunState(text);
}

void MeasurementCycle::WriteRunRecord(const bench::RunRecord& record) {
    const std::filesystem::path folder =
        run.files.empty() ? std::filesystem::path(runView_.ReportImagePath(""))
                          : std::filesystem::path(run.files.front()).parent_path();
    const std::string path = (folder / (run.stem + ".json")).string();
    const std::string text = bench::RecordText(
        bench::RecordJson(record, state_.session.conn, run, state_.samples.Count()));
    std::string reason;
    if (platform::ReplaceFile(path, text, reason)) {
        run.files.push_back(path);
        return;
    }
    const std::string why = "the run record " + path + " was not written: " + reason;
    run.Conclude(bench::RunOutcome::Error, why);
    view_.MessageBox(why, state_.texts.Message(2), params::kMbIconExclamation);
}

void MeasurementCycle::ReadProfile() {
    auto& conn = state_.session.conn;
    const bool longProfile = conn.deviceType == kLongProfileType;
    // Two bytes per pixel; a length the video area cannot hold is refused by the link.
    const int64_t lengthCcd = state_.session.values.workValues[params::kRowLengthCcd];
    const int64_t requested = longProfile ? 2 * std::clamp<int64_t>(lengthCcd, 0, 0x7FFF) : 0;
    const auto n = static_cast<uint16_t>(requested);
    const int32_t status =
        state_.session.sensor.ReadVideo(conn.netAddress, n, run.profileCopy.data());
    conn.linkStatus.store(status);
    if (status != link::kStatusOk) return;

    runView_.ChartClear();
    if (longProfile) {
        const int pixels = std::min<int>(n / 2, bench::RunState::kProfileEntries);
        for (int i = 0; i < pixels; ++i) {
            const int32_t v = run.profileCopy[2 * i] + 256 * run.profileCopy[2 * i + 1];
            runView_.ChartAddPoint(v, std::to_string(i), PointColour::Red);
            if (run.captureProfile) {
                run.profileSamples[i] = v;
                run.profileLast = i;
            }
        }
    }
    run.captureProfile = false;
}

void MeasurementCycle::ShowRunExtremes() {
    runView_.ShowReadout(bench::Readout::Encoder, lang::FormatFixedPrecision(run.resultMax, 8, 4));
    runView_.ShowReadout(bench::Readout::SensorMinusEncoder,
                         lang::FormatFixedPrecision(run.resultMin, 8, 4));
}

bool MeasurementCycle::FetchResult() {
    auto& conn = state_.session.conn;
    const bench::ModeRow& row = Row();
    bool ok = true;

    if (row.readsProfile) ReadProfile();

    if (row.requestsResult) {
        uint16_t raw = 0;
        const int32_t status = state_.session.sensor.GetResult(conn.netAddress, raw);
        conn.linkStatus.store(status);
        ++(status == link::kStatusOk ? resultsReceived : resultsFailed);
        if (status == link::kStatusOk) {
            float value = state_.currentValue.load();
            switch (row.result) {
                case bench::ResultConversion::Millimetres:
                    value =
                        acquire::ResultMillimetres(raw, conn.measuringRange, conn.resultDivisor);
                    break;
                case bench::ResultConversion::Raw:
                    value = raw;
                    break;
                case bench::ResultConversion::Unchanged:
                    break;
            }
            state_.currentValue.store(value);
            if (!run.encoderPresent) {
                run.resultMax = std::max(run.resultMax, value);
                run.resultMin = std::min(run.resultMin, value);
                ShowRunExtremes();
            }
            resultRetryBudget = kRetryBudget;
        } else {
            // A failed request is no reading: nothing is stored or plotted, and the read-out
            // says so. A short run of failures does not reach the watchdog.
            ok = false;
            runView_.ShowValue(state_.texts.Text(lang::ProgramText::RequestFailed));
            if (resultRetryBudget > 0) {
                --resultRetryBudget;
                conn.linkStatus.store(link::kStatusOk);
            }
        }
    }

    conn.answerStatus.store(conn.linkStatus.load());
    return ok;
}

bool MeasurementCycle::OpenMotorPort() {
    if (devices_.motor.Open() == link::kStatusOk) {
        motorOpened_ = true;
        return true;
    }
    const lang::TextTable& t = state_.texts;
    view_.MessageBox(t.Message(0) + " " + devices_.motor.PortChoice() + "." + '\r' + t.Message(1),
                     t.Message(2), params::kMbIconExclamation);
    return false;
}

bool MeasurementCycle::OpenEncoderPort() {
    run.encoderPresent = devices_.encoder.Open(state_.session.conn.measuringRange);
    window_.SetEncoderPresent(run.encoderPresent);
    return run.encoderPresent;
}

bool MeasurementCycle::ReadEncoderPosition() {
    if (!run.encoderPresent) return false;
    float position = 0.0f;
    if (!devices_.encoder.ReadPositionMm(position)) return false;
    run.encoderPosition = position;
    runView_.ShowReadout(bench::Readout::Encoder,
                         lang::FormatFixedPrecision(run.encoderPosition, 8, 4) + " mm");
    const double difference =
        static_cast<double>(state_.currentValue.load()) - static_cast<double>(run.encoderPosition);
    runView_.ShowReadout(bench::Readout::SensorMinusEncoder,
                         lang::FormatFixedPrecision(difference, 8, 4) + " mm");
    return true;
}

}  // namespace veska::main
