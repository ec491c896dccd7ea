#include "bench/BenchModes.h"
#include "bench/StageMotion.h"

namespace veska::bench {

namespace {

constexpr int kRowCcdDebugFormat = 53;  ///< "CCD Debug Format"
constexpr double kProfileScale = 4095.0;
constexpr double kWideProfileScale = 65535.0;
constexpr uint32_t kHomingCount = 8500;  ///< steps of the motion modes' homing and end move
constexpr uint32_t kEndPeriodMicros = 2000;
constexpr uint32_t kRestLoadCount = 12;  ///< the load that follows a homing without positioning

}  // namespace

void PulseMode::Start(RunFrame& frame) {
    const int32_t format = frame.Session().values.workValues[kRowCcdDebugFormat];
    frame.View().SetLeftAxisAutomatic(false);
    frame.View().SetLeftAxisRange(0.0,
                                  format == 2 || format == 3 ? kWideProfileScale : kProfileScale);
}

void PulseMode::Tick(RunFrame& frame) { (void)frame.FetchResult(); }

void StageMoveMode::Start(RunFrame& frame) {
    refused_ = !CheckStageRecord(frame, frame.Session().conn.motorRecord);
    if (!refused_) StartMove(frame);
}

void StageMoveMode::Tick(RunFrame& frame) {
    if (refused_) {
        frame.EndRun();
        return;
    }
    if (withProfile_) (void)frame.FetchResult();
    TickMove(frame);
}

void MotionHomeMode::StartMove(RunFrame& frame) {
    const int record = frame.Session().conn.motorRecord;
    const MotorTable& table = frame.Motors();
    const uint32_t period = HomingPeriodMicros(table, record, frame.Run().timing);
    frame.OpenMotorPort();
    StartHoming(frame.Devices().motor, frame.Clock(), period, kHomingCount);
    deadline_.Arm(frame.Clock(), HomingBoundMs(table, record, period));
}

void MotionHomeMode::TickMove(RunFrame& frame) {
    MotorDrive& motor = frame.Devices().motor;
    platform::Clock& clock = frame.Clock();
    const std::optional<Positioning> positioning = PositioningAfterHoming(frame, deadline_);
    if (!positioning) return;
    const Positioning& move = *positioning;
    RestWait wait;
    if (move.needed) {
        const uint32_t period = frame.Run().timing.stepPeriodMicros;
        clock.Sleep(10);
        (void)motor.LoadMove(period, move.steps);
        clock.Sleep(10);
        (void)motor.StartForward();
        wait = WaitForRestBounded(motor, clock, ForwardMoveBoundMs(period, move.steps));
    } else {
        (void)motor.LoadMove(kEndPeriodMicros, kRestLoadCount);
        clock.Sleep(1);
        wait =
            WaitForRestBounded(motor, clock, ForwardMoveBoundMs(kEndPeriodMicros, kRestLoadCount));
    }
    if (!wait.atRest) {
        EndOnFailedWait(frame, "positioning", wait);
        return;
    }
    frame.EndRun();
}

void MotionEndMode::StartMove(RunFrame& frame) {
    MotorDrive& motor = frame.Devices().motor;
    platform::Clock& clock = frame.Clock();
    frame.OpenMotorPort();
    (void)motor.LoadMove(kEndPeriodMicros, kHomingCount);
    clock.Sleep(1);
    (void)motor.SetOutputs(1);
    clock.Sleep(1);
    (void)motor.StartForward();
    deadline_.Arm(clock, ForwardMoveBoundMs(kEndPeriodMicros, kHomingCount));
}

void MotionEndMode::TickMove(RunFrame& frame) {
    if (MoveEnded(frame, deadline_, "forward move")) frame.EndRun();
}

}  // namespace veska::bench
