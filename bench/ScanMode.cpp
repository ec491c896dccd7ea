#include <cstdio>

#include "bench/BenchModes.h"
#include "bench/CalibrationTable.h"
#include "bench/StageMotion.h"

namespace veska::bench {

namespace {

constexpr uint32_t kParamWaitMs = 100;        ///< after every parameter write [ms]
constexpr uint32_t kScanPeriodMicros = 1799;  ///< 0.0018 s in single precision, truncated
constexpr uint32_t kHomingPeriodMicros = 2000;
constexpr uint32_t kScanExtraSteps = 13;
constexpr uint16_t kOutputTrigger = 8;  ///< motor output bit that triggers the sensor

std::string GeneralNumber(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

}  // namespace

acquire::StreamSetup StreamSetupOf(const ModeRow& row) {
    acquire::StreamSetup setup;
    setup.conversion = row.stream;
    setup.label = row.streamLabel;
    setup.statusStream = row.statusStream;
    setup.axisManual = false;
    return setup;
}

uint32_t ScanMode::MoveSteps(float sampleStep) {
    if (!(sampleStep > 0.0f)) return kScanExtraSteps;
    const long double n = (100.0L * 1.001L + 0.1L) / static_cast<long double>(sampleStep);
    return (n >= 16777200.0L ? 16777200u : static_cast<uint32_t>(n)) + kScanExtraSteps;
}

void ScanMode::Start(RunFrame& frame) {
    started_ = false;
    complete_ = false;
    params::SensorSession& session = frame.Session();
    RunState& run = frame.Run();
    platform::Clock& clock = frame.Clock();
    // The scan runs on the first record until the next identify.
    session.conn.motorRecord = 0;
    run.timing.stepPeriodMicros = kScanPeriodMicros;
    run.timing.encoderAveraging = 0;
    if (!CheckStageRecord(frame, 0)) return;
    started_ = true;

    auto& values = session.values;
    values.savedValues[params::kRowControlSample] = values.workValues[params::kRowControlSample];
    session.SendValue(params::kRowControlSample, 0);
    clock.Sleep(kParamWaitMs);
    session.SendValue(0, 1);
    clock.Sleep(kParamWaitMs);
    session.SendValue(params::kRowModeOfRun, 0);
    clock.Sleep(kParamWaitMs);
    values.savedValues[params::kRowLanMode] = values.workValues[params::kRowLanMode];
    session.SendValue(params::kRowLanMode, 0);
    clock.Sleep(kParamWaitMs);

    frame.OpenMotorPort();
    clock.Sleep(10);
    run.stepCount = 1;
    run.sampleStep = frame.Motors().stepLength[0];
    StartHoming(frame.Devices().motor, clock, kHomingPeriodMicros, 1);
    deadline_.Arm(clock, HomingBoundMs(frame.Motors(), 0, kHomingPeriodMicros));
}

void ScanMode::Tick(RunFrame& frame) {
    if (!started_) {
        frame.EndRun();
        return;
    }
    RunState& run = frame.Run();
    MotorDrive& motor = frame.Devices().motor;
    platform::Clock& clock = frame.Clock();
    if (run.tickPhase == 1) {
        EndStreamedMoveAtRest(frame, deadline_, "scan move", complete_);
        return;
    }
    if (!MoveEnded(frame, deadline_, "homing")) return;
    Settle(motor, clock);
    run.tickPhase = 1;
    (void)frame.Stream().Start(StreamSetupOf(frame.Row()));
    const uint32_t steps = MoveSteps(run.sampleStep);
    (void)motor.LoadMove(run.timing.stepPeriodMicros, steps);
    clock.Sleep(1);
    (void)motor.SetOutputs(kOutputTrigger);
    clock.Sleep(1);
    (void)motor.StartForward();
    deadline_.Arm(clock, ForwardMoveBoundMs(run.timing.stepPeriodMicros, steps));
}

void ScanMode::Stop(RunFrame& frame) {
    if (!started_) return;
    started_ = false;
    params::SensorSession& session = frame.Session();
    platform::Clock& clock = frame.Clock();
    auto& values = session.values;
    session.SendParameter(9);
    clock.Sleep(kParamWaitMs);
    session.SendValue(params::kRowControlSample, values.savedValues[params::kRowControlSample]);
    clock.Sleep(kParamWaitMs);
    session.SendValue(params::kRowLanMode, values.savedValues[params::kRowLanMode]);
    clock.Sleep(kParamWaitMs);
    if (!complete_) return;

    RunView& view = frame.View();
    const float step = frame.Run().sampleStep;
    const int32_t count = frame.Samples().Index();
    view.ChartSetTitle("", true);
    for (int32_t i = 0; i + kLeadingSamples < count; ++i) {
        const auto tenths = static_cast<int64_t>(static_cast<long double>(i) * step * 10000.0L);
        view.ChartAddPoint(frame.Samples().At(i),
                           GeneralNumber(static_cast<double>(tenths) * 0.0001), PointColour::Red);
    }
}

}  // namespace veska::bench
