#include <algorithm>
#include <cmath>
#include <vector>

#include "bench/BenchModes.h"
#include "bench/CalibrationTable.h"
#include "bench/StageMotion.h"
#include "lang/NumberFormat.h"

namespace veska::bench {

namespace {

constexpr uint32_t kParamWaitMs = 100;  ///< after every parameter write [ms]
constexpr int kRowSensorOn = 0;
constexpr int kRowSamplingPeriod = 9;
constexpr int kRowMaxIntegration = 10;
constexpr uint32_t kHomingPeriodMicros = 2000;
constexpr uint32_t kSlowPeriodMicros = 30000;  ///< above it the outputs stay masked [us]
constexpr uint16_t kOutputEnable = 1;
constexpr uint16_t kOutputTrigger = 8;  ///< motor output bit that triggers the sensor
constexpr uint32_t kExtraSteps = 13;
constexpr uint32_t kMaxMoveSteps = 0xFFFFFF - kExtraSteps;
/// Poll interval of the wait for an increment's end [ms]: the tick polls at once again, as
/// closely as the clock allows, since an increment lasts a few milliseconds.
constexpr uint32_t kIncrementPollMs = 1;

}  // namespace

SweepIncrement ComputeSweepIncrement(bool synchronous, const MotorTable& table, int record,
                                     int32_t rangeMm, const MotionTiming& timing) {
    SweepIncrement inc;
    const bool last = IsLastRecord(table, record);
    const float stepLength = UsableRecord(table, record) ? table.stepLength[record] : 0.0f;
    inc.periodMicros = last ? timing.stepPeriodMicros : kHomingPeriodMicros;
    if (synchronous || !(stepLength > 0.0f)) {
        inc.stepCount = 1;
        inc.sampleStep = stepLength;
        return inc;
    }
    const long double quotient =
        static_cast<long double>(rangeMm) / (static_cast<long double>(stepLength) * 10000.0L);
    uint32_t n = (quotient > 0.0L ? static_cast<uint32_t>(std::min(quotient, 1.0e6L)) : 0u) + 1;
    if (last) {
        if (n <= 10) n = 10;
    } else if (record != 0 && n <= 6) {
        n = 3;
    }
    inc.stepCount = n;
    inc.sampleStep = static_cast<float>(n) * stepLength;
    return inc;
}

bool SweepComplete(uint32_t samples, float sampleStep, int32_t rangeMm, double k) {
    const long double step = sampleStep;
    return static_cast<long double>(samples) * step >
           static_cast<long double>(rangeMm) * static_cast<long double>(k) + 0.1L + 12.0L * step;
}

uint32_t SynchronousMoveSteps(float sampleStep, int32_t rangeMm, double k) {
    if (!(sampleStep > 0.0f)) return kExtraSteps;
    const long double m = (static_cast<long double>(rangeMm) * static_cast<long double>(k) + 0.1L) /
                          static_cast<long double>(sampleStep);
    if (m <= 0.0L) return kExtraSteps;
    return (m >= kMaxMoveSteps ? kMaxMoveSteps : static_cast<uint32_t>(m)) + kExtraSteps;
}

SweepRun::SweepRun(int32_t code) : code_(code) {}

bool SweepRun::Synchronous() const {
    return code_ == kModeSynchroCalibration || code_ == kModeSynchroPoverka;
}

bool SweepRun::Calibrating() const {
    return code_ == kModeCalibration || code_ == kModeSynchroCalibration;
}

double SweepRun::RangeFactor() const { return Calibrating() ? 1.005 : 1.001; }

void SweepRun::SendRow(RunFrame& frame, int row, int32_t value) {
    frame.Session().SendValue(row, value);
    frame.Clock().Sleep(kParamWaitMs);
}

void SweepRun::SaveRow(RunFrame& frame, int row) {
    auto& values = frame.Session().values;
    values.savedValues[row] = values.workValues[row];
}

void SweepRun::Start(RunFrame& frame) {
    started_ = false;
    complete_ = false;
    samples_ = 0;
    plotted_ = 0;
    failuresHere_ = 0;
    encoderFailures_ = 0;
    firstEncoderMm_ = 0.0;
    encoderAtRecording_.reset();
    params::SensorSession& session = frame.Session();
    RunState& run = frame.Run();
    const int record = session.conn.motorRecord;
    // Nothing on the sensor or the stage changes before the run can keep its files.
    if (!CheckOutputFolder(frame)) return;
    if (!CheckStageRecord(frame, record)) return;
    started_ = true;
    auto& work = session.values.workValues;

    if (Synchronous()) {
        SaveRow(frame, kRowSamplingPeriod);
        SendRow(frame, kRowSamplingPeriod, 1);
        SaveRow(frame, params::kRowControlSample);
        SendRow(frame, params::kRowControlSample, 1);
    }
    SendRow(frame, kRowSensorOn, 1);
    SendRow(frame, params::kRowModeOfRun, Calibrating() ? 1 : 0);
    if (Synchronous()) {
        SaveRow(frame, params::kRowLanMode);
        SendRow(frame, params::kRowLanMode, 0);
    }
    SaveRow(frame, kRowMaxIntegration);
    SendRow(frame, kRowMaxIntegration, work[kRowMaxIntegration]);

    platform::Clock& clock = frame.Clock();
    frame.OpenEncoderPort();
    // The stream of a synchronous sweep carries no encoder positions.
    run.encoderRecorded = run.encoderPresent && !Synchronous();
    clock.Sleep(10);
    frame.OpenMotorPort();
    clock.Sleep(10);

    const SweepIncrement inc = ComputeSweepIncrement(Synchronous(), frame.Motors(), record,
                                                     session.conn.measuringRange, run.timing);
    run.stepCount = inc.stepCount;
    run.sampleStep = inc.sampleStep;
    run.expectedSamples = static_cast<int32_t>(
        SynchronousMoveSteps(run.sampleStep, session.conn.measuringRange, RangeFactor()));
    run.method["reference"] = run.encoderRecorded ? "encoder" : "nominal positions";
    incrementPeriod_ = inc.periodMicros;
    MotorDrive& motor = frame.Devices().motor;
    run.activity = "homing";
    StartHoming(motor, clock, inc.periodMicros, inc.stepCount);
    deadline_.Arm(clock, HomingBoundMs(frame.Motors(), record, inc.periodMicros));
}

void SweepRun::Tick(RunFrame& frame) {
    if (!started_) {
        frame.EndRun();
        return;
    }
    RunState& run = frame.Run();
    MotorDrive& motor = frame.Devices().motor;
    platform::Clock& clock = frame.Clock();
    switch (run.tickPhase) {
        case 3:
            PlotStreamed(frame);
            EndStreamedMoveAtRest(frame, deadline_, "synchronous move", complete_);
            return;
        case 2:
            StepTick(frame);
            return;
        case 1:
            if (MoveEnded(frame, deadline_, "positioning")) {
                if (Calibrating()) {
                    clock.Sleep(10);
                    (void)motor.MaskOutputs(0);
                    clock.Sleep(10);
                    (void)motor.SetOutputs(kOutputEnable);
                    clock.Sleep(10);
                }
                StartRecording(frame, true);
            }
            return;
        default:
            break;
    }
    const std::optional<Positioning> positioning = PositioningAfterHoming(frame, deadline_);
    if (!positioning) return;
    const Positioning& move = *positioning;
    if (!move.needed) {
        StartRecording(frame, false);
        return;
    }
    const uint32_t wait = Calibrating() ? 10 : 1;
    (void)motor.LoadMove(run.timing.stepPeriodMicros, move.steps);
    clock.Sleep(wait);
    (void)motor.StartForward();
    clock.Sleep(wait);
    run.tickPhase = 1;
    run.activity = "positioning";
    deadline_.Arm(clock, ForwardMoveBoundMs(run.timing.stepPeriodMicros, move.steps));
}

void SweepRun::StartRecording(RunFrame& frame, bool afterPositioning) {
    RunState& run = frame.Run();
    MotorDrive& motor = frame.Devices().motor;
    platform::Clock& clock = frame.Clock();
    const uint32_t calibrationWait = Calibrating() && afterPositioning ? 10 : 0;
    run.tickPhase = 2;
    run.activity = "recording";
    frame.View().ChartSetAxisTitles(Calibrating() ? "Raw result" : "Distance [mm]", "Sample");
    if (!Calibrating()) {
        // The board records the analog output along the whole sweep for the report; a
        // bench without a board does nothing here.
        (void)motor.SetOutputs(kOutputEnable);
        (void)frame.Devices().board.StartLive();
    }
    if (Synchronous()) {
        run.tickPhase = 3;
        if (run.encoderPresent && frame.ReadEncoderPosition()) {
            encoderAtRecording_ = run.encoderPosition;
        }
        (void)frame.Stream().Start(StreamSetupOf(frame.Row()));
    }
    if (calibrationWait > 0) clock.Sleep(calibrationWait);
    if (run.timing.stepPeriodMicros > kSlowPeriodMicros) (void)motor.MaskOutputs(0);
    if (calibrationWait > 0) clock.Sleep(calibrationWait);
    if (Synchronous()) {
        const uint32_t wait = Calibrating() ? calibrationWait : 1;
        const uint32_t steps = SynchronousMoveSteps(
            run.sampleStep, frame.Session().conn.measuringRange, RangeFactor());
        (void)motor.LoadMove(run.timing.stepPeriodMicros, steps);
        if (wait > 0) clock.Sleep(wait);
        (void)motor.SetOutputs(kOutputTrigger);
        if (wait > 0) clock.Sleep(wait);
        deadline_.Arm(clock, ForwardMoveBoundMs(run.timing.stepPeriodMicros, steps));
    } else if (afterPositioning) {
        // The positioning move left its own count loaded: load the increment again. Loading
        // a count switches the outputs off; output 1 (the drive's enable) goes on again.
        (void)motor.LoadMove(incrementPeriod_, run.stepCount);
        clock.Sleep(1);
        if (run.timing.stepPeriodMicros <= kSlowPeriodMicros) {
            (void)motor.SetOutputs(kOutputEnable);
            clock.Sleep(1);
        }
    }
    (void)motor.StartForward();
}

void SweepRun::StepTick(RunFrame& frame) {
    RunState& run = frame.Run();
    MotorDrive& motor = frame.Devices().motor;
    platform::Clock& clock = frame.Clock();
    const int32_t range = frame.Session().conn.measuringRange;
    const uint32_t incrementBound = ForwardMoveBoundMs(incrementPeriod_, run.stepCount);
    for (int budget = kTickBudget; budget > 0 && !frame.StopPending(); --budget) {
        const RestWait wait = WaitForRestBounded(motor, clock, incrementBound, kIncrementPollMs);
        if (!wait.atRest) {
            EndOnFailedWait(frame, "increment at sample " + std::to_string(samples_), wait);
            return;
        }
        // A failed request stores nothing, uses up a place of the tick's budget and asks
        // again at the same position: every sample stays where its index says. A sensor
        // that fails kFailuresPerPosition requests in a row is lost, and the run an error.
        if (!frame.FetchResult()) {
            if (++failuresHere_ < kFailuresPerPosition) continue;
            run.Conclude(RunOutcome::Error,
                         "the sensor did not answer " + std::to_string(kFailuresPerPosition) +
                             " result requests in a row at sample " + std::to_string(samples_) +
                             " (status " + std::to_string(frame.Session().conn.linkStatus.load()) +
                             ")");
            frame.EndRun();
            return;
        }
        failuresHere_ = 0;
        float position = 0.0f;
        if (run.encoderPresent && !ReadEncoderSample(frame, position)) {
            run.Conclude(RunOutcome::Error,
                         "the encoder stopped answering at sample " + std::to_string(samples_) +
                             " (" + std::to_string(kEncoderFailures) +
                             " reads in a row failed): the run's reference is lost");
            frame.EndRun();
            return;
        }
        const float value = frame.CurrentValue().load();
        const int32_t index = frame.Samples().AppendOnePast(value);
        if (run.encoderPresent) {
            run.encoderBuffer[static_cast<size_t>(index)] = position;
            if (index == 0) firstEncoderMm_ = position;
            if (!StageMovedTarget(frame, index, position)) return;
        }
        samples_ = static_cast<uint32_t>(index) + 1;
        if (samples_ >= static_cast<uint32_t>(acquire::SampleBuffer::kSize)) complete_ = true;
        frame.View().ChartAddPoint(value, std::to_string(index), PointColour::Red);
        frame.View().ShowValue(Calibrating() ? lang::FormatFixed(value, 0) + " px"
                                             : lang::FormatFixed(value, 3) + " mm");
        if (complete_ || SweepComplete(samples_, run.sampleStep, range, RangeFactor())) {
            complete_ = true;
            if (code_ == kModeCalibration) {
                frame.CurrentValue().store(static_cast<float>(samples_));
            }
            frame.EndRun();
            return;
        }
        (void)motor.StartForward();
    }
}

bool SweepRun::ReadEncoderSample(RunFrame& frame, float& position) {
    RunState& run = frame.Run();
    // The first reading of a sample is asked again rather than left out: a sample without
    // its position would put a false reference into the table or the report.
    while (!frame.ReadEncoderPosition()) {
        if (++encoderFailures_ >= kEncoderFailures) return false;
    }
    encoderFailures_ = 0;
    position = run.encoderPosition;
    for (int32_t e = 0; e <= 2 * run.timing.encoderAveraging; ++e) {
        if (!frame.ReadEncoderPosition()) {
            if (++encoderFailures_ >= kEncoderFailures) return false;
            continue;
        }
        encoderFailures_ = 0;
        position = (position + run.encoderPosition) / 2.0f;
    }
    return true;
}

bool SweepRun::StageMovedTarget(RunFrame& frame, int32_t index, float position) {
    RunState& run = frame.Run();
    if (index < kMotionCheckSamples) return true;
    // The encoder must see at least half of the travel the increments asked for.
    const double asked = static_cast<double>(index) * run.sampleStep;
    const double seen = std::fabs(static_cast<double>(position) - firstEncoderMm_);
    if (seen >= 0.5 * asked) return true;
    run.Conclude(RunOutcome::Error, "the stage does not move the target: the encoder saw " +
                                        lang::FormatFixed(seen, 3) + " mm of the " +
                                        lang::FormatFixed(asked, 3) +
                                        " mm the motor was told to move over " +
                                        std::to_string(index) + " increments; nothing is reported");
    frame.EndRun();
    return false;
}

void SweepRun::PlotStreamed(RunFrame& frame) {
    constexpr int32_t kChunk = 1024;
    const int32_t count = frame.Samples().Count();
    if (frame.Samples().Wrapped()) return;  // past the ring's end the report says the rest
    std::vector<float> values;
    while (plotted_ < count) {
        const int32_t n = std::min(kChunk, count - plotted_);
        values.resize(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i)
            values[static_cast<size_t>(i)] = frame.Samples().At(plotted_ + i);
        frame.View().ChartAddPoints(values.data(), n, plotted_, PointColour::Red);
        plotted_ += n;
    }
}

void SweepRun::Stop(RunFrame& frame) {
    if (!started_) return;
    started_ = false;
    auto& saved = frame.Session().values.savedValues;
    if (Synchronous()) {
        SendRow(frame, kRowSamplingPeriod, saved[kRowSamplingPeriod]);
        SendRow(frame, params::kRowControlSample, saved[params::kRowControlSample]);
        SendRow(frame, params::kRowLanMode, saved[params::kRowLanMode]);
    }
    SendRow(frame, kRowMaxIntegration, saved[kRowMaxIntegration]);
    RunState& run = frame.Run();
    if (!complete_) {
        run.Conclude(RunOutcome::Stopped,
                     Calibrating()
                         ? "the calibration was stopped before its end: no table was built"
                         : "the verification was stopped before its end: no report was "
                           "written");
        return;
    }
    const int32_t count = Synchronous() ? frame.Samples().Count() : static_cast<int32_t>(samples_);
    if (Synchronous() && !SynchronousMoveMadeSteps(frame, count)) return;
    if (Calibrating()) {
        (void)BuildCalibrationTable(frame, count);
    } else {
        (void)WriteVerificationReport(frame, count, analog_);
    }
}

bool SweepRun::SynchronousMoveMadeSteps(RunFrame& frame, int32_t count) {
    RunState& run = frame.Run();
    const int32_t expected = std::min(run.expectedSamples, acquire::SampleBuffer::kSize);
    std::string why;
    // Every step of the move triggers one sample: a move that brought far fewer samples made
    // far fewer steps, or its pulses never reached the sensor.
    if (expected > 0 && count < expected / 2) {
        why = "the synchronous move brought " + std::to_string(count) + " of " +
              std::to_string(expected) +
              " samples: the stage did not step, or its pulses did not reach the sensor";
    } else if (encoderAtRecording_) {
        const double asked = static_cast<double>(expected) * run.sampleStep;
        if (!frame.ReadEncoderPosition()) {
            why =
                "the encoder stopped answering during the synchronous move: the stage's "
                "travel cannot be checked";
        } else {
            const double seen =
                std::fabs(static_cast<double>(run.encoderPosition) - *encoderAtRecording_);
            if (seen < 0.5 * asked) {
                why = "the stage does not move the target: the encoder saw " +
                      lang::FormatFixed(seen, 3) + " mm of the " + lang::FormatFixed(asked, 3) +
                      " mm the motor was told to move";
            }
        }
    }
    if (why.empty()) return true;
    run.Conclude(RunOutcome::Error, why + "; nothing is reported");
    return false;
}

}  // namespace veska::bench
