#include "analog/AnalogChecks.h"

#include <algorithm>

#include "lang/NumberFormat.h"
#include "params/ParamTable.h"

namespace veska::analog {

namespace {

constexpr uint32_t kSensorOffWaitMs = 200;  ///< after "Sensor On/Off" = 0 [ms]
constexpr uint32_t kLevelWaitMs = 100;      ///< after a level write [ms]
constexpr uint32_t kStreamWaitMs = 10;      ///< between the stream modes' writes [ms]
constexpr int kSweepStartIntervalMs = 100;  ///< first tick of the sweeps and checks [ms]
constexpr int kLineStep = 8;                ///< level step of the line check [codes]
constexpr uint32_t kInCheckPeriodUs = 20000;
constexpr uint32_t kInCheckSteps = 99;
constexpr uint16_t kInCheckOutputs = 0x0A;  ///< bit 2 (IN line) and bit 8 (trigger pulses)
constexpr uint32_t kInCheckSettleMs = 100;  ///< at rest, before the stream stops [ms]
constexpr int kStreamRateMs = 5000;         ///< how long STREAM_FRQ_Check streams [ms]
constexpr int kMessageFlagsExclamation = 48;
constexpr int kConfirmAttempts = 3;       ///< reads of a level written before it counts as lost
constexpr uint32_t kReadingWaitMs = 200;  ///< a tick waits this long for a board reading [ms]
constexpr int kBoardMisses = 5;           ///< ticks in a row without a reading: the board is lost

/// The limits of one output: voltage [V] or current [mA].
struct OutputLimits {
    float coarseBelow;  ///< coarse steps from here ...
    float coarseAbove;  ///< ... and up to here (the current loop: also below its live zero)
    float end;          ///< the sweep stops beyond this
    float floor;        ///< readings below are not looked at when finding levels
    float rise;         ///< the bottom level lies this much above the smallest reading
    float full;         ///< the top level reaches this
    const char* unit;
};

constexpr OutputLimits kVoltage{0.3f, 9.7f, 10.05f, 0.0f, 0.005f, 10.0f, " V"};
constexpr OutputLimits kCurrent{4.3f, 19.7f, 20.05f, 4.0f, 0.01f, 20.0f, " mA"};

const OutputLimits& LimitsOf(OutputKind kind) {
    return kind == OutputKind::Voltage ? kVoltage : kCurrent;
}

float ReadingOf(OutputKind kind, const bench::AnalogBoard& board) {
    return kind == OutputKind::Voltage ? board.Voltage() : board.Current();
}

int32_t& Work(bench::RunFrame& frame, int row) {
    return frame.Session().values.workValues[static_cast<size_t>(row)];
}

void Save(bench::RunFrame& frame, int row) {
    frame.Session().values.savedValues[static_cast<size_t>(row)] = Work(frame, row);
}

int32_t Saved(bench::RunFrame& frame, int row) {
    return frame.Session().values.savedValues[static_cast<size_t>(row)];
}

/// The stream setup of the run's mode row.
acquire::StreamSetup SetupOfRow(const bench::ModeRow& row) {
    acquire::StreamSetup setup;
    setup.conversion = row.stream;
    setup.label = row.streamLabel;
    setup.statusStream = row.statusStream;
    return setup;
}

/// Ends the run before its start changed anything: the reason in a message box, the run an
/// error; the tick then ends it.
void Refuse(bench::RunFrame& frame, const std::string& text) {
    frame.Run().Conclude(bench::RunOutcome::Error, text);
    (void)frame.Session().View().MessageBox(text, frame.Session().Texts().Message(2),
                                            kMessageFlagsExclamation);
}

/// The start of every mode that changes the output levels: a board must be there, and both
/// levels are read from the sensor (the values its stop restores) before anything is
/// written. False when the mode must not run.
bool PrepareLevels(bench::RunFrame& frame) {
    const std::string caption(frame.Row().caption);
    if (!frame.Devices().board.Present()) {
        Refuse(frame, caption +
                          ": no analog board is open; the output cannot be measured and "
                          "nothing was written to the sensor");
        return false;
    }
    auto& session = frame.Session();
    for (const int row : {kRowBottomLevel, kRowTopLevel}) {
        if (!session.FetchParameter(row)) {
            Refuse(frame, caption + ": the sensor's output level (row " + std::to_string(row) +
                              ") could not be read (status " +
                              std::to_string(session.conn.linkStatus.load()) +
                              "); nothing was written");
            return false;
        }
        const int32_t level = session.values.sensorValues[static_cast<size_t>(row)];
        Work(frame, row) = level;
        session.values.savedValues[static_cast<size_t>(row)] = level;
    }
    return true;
}

/// Writes a level and reads it back (the write has no reply: the read answers only after the
/// sensor applied it). True when the sensor holds value.
bool WriteLevel(bench::RunFrame& frame, int row, int32_t value) {
    auto& session = frame.Session();
    session.SendValue(row, value);
    for (int attempt = 0; attempt < kConfirmAttempts; ++attempt) {
        if (session.FetchParameter(row) &&
            session.values.sensorValues[static_cast<size_t>(row)] == Work(frame, row)) {
            return true;
        }
    }
    return false;
}

/// Writes a level and makes sure the sensor applied it (the write has no reply: a read of
/// the same row answers only after it), then drops what the board took before, so that the
/// next reading is one of the new level. False (the run is an error and ends) when the
/// sensor does not confirm it.
bool ApplyLevel(bench::RunFrame& frame, int row, int32_t value) {
    if (WriteLevel(frame, row, value)) {
        (void)frame.Devices().board.UpdateReading(false, frame.View());
        return true;
    }
    frame.Run().Conclude(bench::RunOutcome::Error,
                         std::string(frame.Row().caption) + ": the sensor did not confirm level " +
                             std::to_string(Work(frame, row)) + " of row " + std::to_string(row));
    frame.EndRun();
    return false;
}

/// A fresh board reading onto the read-outs (when show), waited for up to kReadingWaitMs. A
/// board that delivers nothing kBoardMisses ticks in a row is lost: the run is an error and
/// ends.
bool FreshReading(bench::RunFrame& frame, int& misses, bool show) {
    // Right after a level's confirmation the board may not have taken a word yet.
    for (uint32_t waited = 0; waited <= kReadingWaitMs; ++waited) {
        if (frame.Devices().board.UpdateReading(show, frame.View())) {
            misses = 0;
            return true;
        }
        frame.Clock().Sleep(1);
    }
    if (++misses < kBoardMisses) return false;
    frame.Run().Conclude(bench::RunOutcome::Error,
                         std::string(frame.Row().caption) +
                             ": the analog board stopped delivering readings; the levels found "
                             "on the sensor are restored");
    frame.EndRun();
    return false;
}

/// The start of the checks and the line check: the output held at the bottom level.
bool StartAtBottomLevel(bench::RunFrame& frame) {
    if (!PrepareLevels(frame)) return false;
    auto& session = frame.Session();
    session.SendValue(kRowSensorOnOff, 0);
    frame.Clock().Sleep(kSensorOffWaitMs);
    frame.Devices().board.StartSweep();
    if (!ApplyLevel(frame, kRowBottomLevel, Work(frame, kRowBottomLevel))) return false;
    frame.Clock().Sleep(kLevelWaitMs);
    frame.SetTickInterval(kSweepStartIntervalMs);
    return true;
}

/// The stop of the level modes: both levels back as the start found them, sensor on. A level
/// the sensor does not confirm makes the run an error that names both levels.
void RestoreLevels(bench::RunFrame& frame) {
    auto& session = frame.Session();
    const int32_t bottom = Saved(frame, kRowBottomLevel);
    const int32_t top = Saved(frame, kRowTopLevel);
    bool restored = WriteLevel(frame, kRowBottomLevel, bottom);
    frame.Clock().Sleep(kLevelWaitMs);
    restored = WriteLevel(frame, kRowTopLevel, top) && restored;
    frame.Clock().Sleep(kLevelWaitMs);
    session.SendValue(kRowSensorOnOff, 1);
    if (!restored) {
        frame.Run().Conclude(bench::RunOutcome::Error,
                             std::string(frame.Row().caption) +
                                 ": the sensor did not confirm its levels back (bottom " +
                                 std::to_string(bottom) + ", top " + std::to_string(top) +
                                 "); set them again");
    }
}

/// Ends the run as failed: it measured, but found no valid result.
void EndFailed(bench::RunFrame& frame, const std::string& text) {
    frame.Run().Conclude(bench::RunOutcome::Failed, text);
    (void)frame.Session().View().MessageBox(text, frame.Session().Texts().Message(2),
                                            kMessageFlagsExclamation);
    frame.EndRun();
}

}  // namespace

SweepStep AdjustmentStep(OutputKind kind, float reading) {
    const OutputLimits& limits = LimitsOf(kind);
    SweepStep result{1, true, 20};
    if (reading > limits.coarseBelow && reading < limits.coarseAbove) result.step = 100;
    // The current loop also hurries through the codes below its live zero.
    if (kind == OutputKind::Current && reading < 3.7f) result.step = 100;
    if (reading > limits.end) result.goesOn = false;
    result.intervalMs = result.step == 1 ? 20 : 2;
    return result;
}

FoundLevels FindLevels(OutputKind kind, std::span<const float> readings) {
    const OutputLimits& limits = LimitsOf(kind);
    FoundLevels found;
    if (readings.empty()) return found;
    size_t iMin = 0;
    size_t iMax = 0;
    for (size_t i = 0; i < readings.size(); ++i) {
        const float v = readings[i];
        if (v == 0.0f) continue;
        if (v < readings[iMin] || readings[iMin] == 0.0f) iMin = i;
        if (v > readings[iMax] || readings[iMax] == 0.0f) iMax = i;
    }
    if (readings[iMin] == 0.0f) return found;  // nothing was read
    for (size_t e = iMin; e <= iMax; ++e) {
        const float v = readings[e];
        if (v < limits.floor) continue;
        if (found.bottom == -1 && v > readings[iMin] + limits.rise) {
            found.bottom = static_cast<int32_t>(e);
        }
        if (found.top == -1 && v >= limits.full) found.top = static_cast<int32_t>(e);
        if (found.top == -1 && readings[iMax] < limits.full) found.top = static_cast<int32_t>(iMax);
    }
    return found;
}

std::optional<LineErrors> EvaluateLine(std::span<const float> readings) {
    const size_t n = readings.size();
    if (n < 2) return std::nullopt;
    const float b0 = readings[0];
    const float span = readings[n - 1] - b0;
    if (span == 0.0f) return std::nullopt;
    LineErrors result;
    result.errors.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const float line = static_cast<float>(i) * span / static_cast<float>(n);
        const float err = ((readings[i] - b0) - line) * 100.0f / span;
        result.largest = std::max(result.largest, err);
        result.smallest = std::min(result.smallest, err);
        result.errors.push_back(err);
    }
    return result;
}

double StreamRateKhz(int32_t newestIndex, bool wrapped, uint32_t elapsedMs) {
    double f = static_cast<double>(std::max(newestIndex, 0));
    if (wrapped) f += static_cast<double>(acquire::SampleBuffer::kSize);
    if (elapsedMs == 0 || f == 0.0) return 0.0;
    return f / static_cast<double>(elapsedMs);
}

// --- Adjustments ----------------------------------------------------------------------------

void AdjustmentMode::Start(bench::RunFrame& frame) {
    std::fill(readings_.begin(), readings_.end(), 0.0f);
    analysed_ = false;
    misses_ = 0;
    started_ = PrepareLevels(frame);
    if (!started_) return;
    frame.Run().activity = "sweeping the top level";
    auto& session = frame.Session();
    session.SendValue(kRowSensorOnOff, 0);
    frame.Clock().Sleep(kSensorOffWaitMs);
    frame.View().ShowProgress(0);
    frame.Devices().board.StartSweep();
    if (!ApplyLevel(frame, kRowTopLevel, 0)) return;
    frame.Clock().Sleep(kLevelWaitMs);
    frame.SetTickInterval(kSweepStartIntervalMs);
}

void AdjustmentMode::Tick(bench::RunFrame& frame) {
    if (!started_) {
        frame.EndRun();
        return;
    }
    bench::AnalogBoard& board = frame.Devices().board;
    if (!FreshReading(frame, misses_, true)) return;
    const int32_t level = std::clamp(Work(frame, kRowTopLevel), 0, kLevelCodes - 1);
    const float reading = ReadingOf(kind_, board);
    readings_[static_cast<size_t>(level)] = reading;
    const SweepStep step = AdjustmentStep(kind_, reading);
    frame.SetTickInterval(step.intervalMs);
    frame.View().ShowProgress(level * 100 / kLevelCodes);
    if (level + step.step < kLevelCodes - 1 && step.goesOn) {
        (void)ApplyLevel(frame, kRowTopLevel, level + step.step);
        return;
    }
    Analyse(frame);
}

void AdjustmentMode::Analyse(bench::RunFrame& frame) {
    frame.View().ShowProgress(100);
    const FoundLevels found = FindLevels(kind_, readings_);
    if (found.bottom < 0 || found.top < 0 || found.top <= found.bottom) {
        // Nothing that was not measured goes to the sensor: its own levels come back.
        EndFailed(frame, std::string(frame.Row().caption) +
                             ": no output levels were found in the readings (bottom " +
                             std::to_string(found.bottom) + ", top " + std::to_string(found.top) +
                             "); the sensor's levels are restored");
        return;
    }
    analysed_ = true;
    const bool written = WriteLevel(frame, kRowBottomLevel, found.bottom);
    frame.Clock().Sleep(kLevelWaitMs);
    if (!(WriteLevel(frame, kRowTopLevel, found.top) && written)) {
        frame.Run().Conclude(bench::RunOutcome::Error,
                             std::string(frame.Row().caption) +
                                 ": the sensor did not confirm the levels found (bottom " +
                                 std::to_string(found.bottom) + ", top " +
                                 std::to_string(found.top) + ")");
    }
    frame.Clock().Sleep(kLevelWaitMs);
    auto& results = frame.Run().results;
    results["bottom_level"] = found.bottom;
    results["top_level"] = found.top;
    frame.EndRun();
}

void AdjustmentMode::Stop(bench::RunFrame& frame) {
    if (!started_) return;  // refused: nothing was written
    started_ = false;
    // Stopped before the analysis: the sensor gets its levels back.
    if (!analysed_) {
        frame.Run().Conclude(bench::RunOutcome::Stopped,
                             "stopped before the levels were found; the sensor's levels are "
                             "restored");
        RestoreLevels(frame);
        return;
    }
    // The parameter grid has no rows for the levels: the new ones go on the read-outs.
    frame.View().ShowReadout(bench::Readout::BoardVoltage,
                             std::to_string(Work(frame, kRowBottomLevel)));
    frame.View().ShowReadout(bench::Readout::BoardCurrent,
                             std::to_string(Work(frame, kRowTopLevel)));
    frame.Session().SendValue(kRowSensorOnOff, 1);
}

// --- Checks ---------------------------------------------------------------------------------

void CheckMode::Start(bench::RunFrame& frame) {
    checkValue_ = 0.0f;
    misses_ = 0;
    done_ = false;
    started_ = StartAtBottomLevel(frame);
}

void CheckMode::Tick(bench::RunFrame& frame) {
    if (!started_) {
        frame.EndRun();
        return;
    }
    bench::AnalogBoard& board = frame.Devices().board;
    if (!FreshReading(frame, misses_, false)) return;
    int32_t& phase = frame.Run().tickPhase;
    switch (phase) {
        case 0:
            checkValue_ = ReadingOf(kind_, board);
            if (!ApplyLevel(frame, kRowTopLevel, Work(frame, kRowTopLevel))) return;
            phase = 1;
            return;
        case 1:
            phase = 2;
            return;
        default: {
            const float top = ReadingOf(kind_, board);
            const char* unit = LimitsOf(kind_).unit;
            frame.View().ShowReadout(bench::Readout::BoardVoltage,
                                     lang::FormatFixedPrecision(checkValue_, 10, 4) + unit);
            frame.View().ShowReadout(bench::Readout::BoardCurrent,
                                     lang::FormatFixedPrecision(top, 10, 4) + unit);
            auto& results = frame.Run().results;
            results["bottom_reading"] = checkValue_;
            results["top_reading"] = top;
            done_ = true;
            frame.EndRun();
        }
    }
}

void CheckMode::Stop(bench::RunFrame& frame) {
    if (!started_) return;  // refused: nothing was written
    started_ = false;
    if (!done_) {
        frame.Run().Conclude(bench::RunOutcome::Stopped,
                             "stopped before both levels were read; the sensor's levels are "
                             "restored");
    }
    RestoreLevels(frame);
}

// --- Line check -----------------------------------------------------------------------------

void LineCheckMode::Start(bench::RunFrame& frame) {
    misses_ = 0;
    done_ = false;
    started_ = StartAtBottomLevel(frame);
    if (started_) frame.Run().activity = "stepping the bottom level";
}

void LineCheckMode::Tick(bench::RunFrame& frame) {
    if (!started_) {
        frame.EndRun();
        return;
    }
    frame.SetTickInterval(1);
    bench::AnalogBoard& board = frame.Devices().board;
    // The first reading taken since the level was confirmed.
    if (!FreshReading(frame, misses_, true)) return;
    frame.Samples().AppendOnePast(board.Voltage());
    const int32_t level = Work(frame, kRowBottomLevel);
    frame.View().ShowProgress(std::clamp(level, 0, kLevelCodes) * 100 / kLevelCodes);
    if (level + kLineStep < Work(frame, kRowTopLevel)) {
        (void)ApplyLevel(frame, kRowBottomLevel, level + kLineStep);
        return;
    }
    Work(frame, kRowBottomLevel) = level + kLineStep;
    Evaluate(frame);
}

void LineCheckMode::Evaluate(bench::RunFrame& frame) {
    frame.View().ShowProgress(100);
    const int32_t count =
        std::clamp(frame.Samples().Index(), 0, static_cast<int32_t>(acquire::SampleBuffer::kSize));
    std::vector<float> readings(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) readings[static_cast<size_t>(i)] = frame.Samples().At(i);
    const auto line = EvaluateLine(readings);
    done_ = true;
    if (!line) {
        EndFailed(frame, count < 2 ? "Analog_Line_Check: fewer than two readings"
                                   : "Analog_Line_Check: the output did not change");
        return;
    }
    bench::RunView& view = frame.View();
    view.ChartClear();
    const int32_t firstLevel = Saved(frame, kRowBottomLevel);
    for (size_t i = 0; i < line->errors.size(); ++i) {
        const int32_t label = static_cast<int32_t>(i) * kLineStep + firstLevel;
        view.ChartAddPoint(line->errors[i], std::to_string(label), bench::PointColour::Red);
    }
    view.ChartSetFoot("Error,%:[" + lang::FormatFixedPrecision(line->largest, 10, 4) + " ; " +
                      lang::FormatFixedPrecision(line->smallest, 10, 4) + "]");
    auto& results = frame.Run().results;
    results["error_max_percent"] = line->largest;
    results["error_min_percent"] = line->smallest;
    frame.EndRun();
}

void LineCheckMode::Stop(bench::RunFrame& frame) {
    if (!started_) return;  // refused: nothing was written
    started_ = false;
    if (!done_) {
        frame.Run().Conclude(bench::RunOutcome::Stopped,
                             "stopped before the line was evaluated; the sensor's levels are "
                             "restored");
    }
    RestoreLevels(frame);
}

// --- IN_Check -------------------------------------------------------------------------------

void InCheckMode::Start(bench::RunFrame& frame) {
    Save(frame, kRowSamplingPeriod);
    Save(frame, params::kRowControlSample);
    auto& session = frame.Session();
    session.SendValue(kRowSamplingPeriod, 1);
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendValue(params::kRowControlSample, 1);
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendValue(params::kRowModeOfRun, 1);
    frame.Clock().Sleep(kStreamWaitMs);
    (void)frame.Stream().Start(SetupOfRow(frame.Row()));
    if (!frame.OpenMotorPort()) return;  // the tick ends the run
    bench::MotorDrive& motor = frame.Devices().motor;
    (void)motor.LoadMove(kInCheckPeriodUs, kInCheckSteps);
    (void)motor.SetOutputs(kInCheckOutputs);
    (void)motor.StartForward();
}

void InCheckMode::Tick(bench::RunFrame& frame) {
    uint8_t state = 0;
    const link::Status status = frame.Devices().motor.ReadStatus(state);
    // A motor port that is not open never reports rest: the check cannot run.
    const bool noMotor = status == link::kStatusNotOpen;
    if (!noMotor && (status != link::kStatusOk || state != 0)) return;
    // The samples of the last steps may still be on the line when the stage is at rest.
    if (!noMotor) frame.Clock().Sleep(kInCheckSettleMs);
    frame.Stream().Stop(1);
    frame.Run().results["samples"] = frame.Samples().Count();
    if (noMotor) frame.Run().notes.push_back("IN_Check: the motor port is not open");
    frame.EndRun();
}

void InCheckMode::Stop(bench::RunFrame& frame) {
    auto& session = frame.Session();
    session.SendValue(kRowSamplingPeriod, Saved(frame, kRowSamplingPeriod));
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendValue(params::kRowControlSample, Saved(frame, params::kRowControlSample));
    frame.Clock().Sleep(kStreamWaitMs);
}

// --- AL_Check -------------------------------------------------------------------------------

void AlCheckMode::Start(bench::RunFrame& frame) {
    Save(frame, params::kRowControlSample);
    auto& session = frame.Session();
    session.SendValue(params::kRowControlSample, 0);
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendValue(params::kRowModeOfRun, 1);
    frame.Clock().Sleep(kLevelWaitMs);
    acquire::StreamSetup setup = SetupOfRow(frame.Row());
    setup.statusStream = true;
    (void)frame.Stream().Start(setup);
}

void AlCheckMode::Stop(bench::RunFrame& frame) {
    auto& session = frame.Session();
    session.SendValue(params::kRowControlSample, Saved(frame, params::kRowControlSample));
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendValue(params::kRowModeOfRun, 0);
    frame.Clock().Sleep(kLevelWaitMs);
}

// --- STREAM_FRQ_Check -----------------------------------------------------------------------

void StreamRateMode::Start(bench::RunFrame& frame) {
    ticked_ = false;
    elapsedMs_ = 0;
    Save(frame, params::kRowControlSample);
    auto& session = frame.Session();
    session.SendValue(params::kRowModeOfRun, 0);
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendValue(params::kRowControlSample, 0);
    (void)frame.Stream().Start(SetupOfRow(frame.Row()));
    startTick_ = frame.Clock().TickCount();
    frame.SetTickInterval(kStreamRateMs);
}

void StreamRateMode::Tick(bench::RunFrame& frame) {
    frame.Stream().StopThread();
    elapsedMs_ = frame.Clock().TickCount() - startTick_;
    ticked_ = true;
    frame.Stream().Stop(1);
    frame.EndRun();
}

void StreamRateMode::Stop(bench::RunFrame& frame) {
    // Stopped by the user before its tick: the rate over the time it streamed.
    if (!ticked_) elapsedMs_ = frame.Clock().TickCount() - startTick_;
    auto& session = frame.Session();
    session.values.workValues[params::kRowControlSample] = Saved(frame, params::kRowControlSample);
    frame.Clock().Sleep(kStreamWaitMs);
    session.SendParameter(params::kRowControlSample);
    frame.Clock().Sleep(kStreamWaitMs);
    const auto& samples = frame.Samples();
    const double rate = StreamRateKhz(samples.Index(), samples.Wrapped(), elapsedMs_);
    frame.View().ShowValue(lang::FormatFixedPrecision(rate, 6, 2) + " kHz");
    frame.Run().results["rate_khz"] = rate;
}

// --- Binding --------------------------------------------------------------------------------

void AnalogChecks::BindTo(bench::ModeSteps& steps) {
    steps.Bind(bench::kMode0_10VAdjustment, voltageAdjustment_);
    steps.Bind(bench::kMode4_20mAAdjustment, currentAdjustment_);
    steps.Bind(bench::kMode0_10VCheck, voltageCheck_);
    steps.Bind(bench::kMode4_20mACheck, currentCheck_);
    steps.Bind(bench::kModeAnalogLineCheck, lineCheck_);
    steps.Bind(bench::kModeInCheck, inCheck_);
    steps.Bind(bench::kModeAlCheck, alCheck_);
    steps.Bind(bench::kModeStreamFrqCheck, streamRate_);
}

}  // namespace veska::analog
