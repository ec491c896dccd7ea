#include "bench/BenchModes.h"

#include <filesystem>

#include "link/Status.h"
#include "params/ParamView.h"
#include "platform/FileIo.h"

namespace veska::bench {

void MoveDeadline::Arm(platform::Clock& clock, uint32_t boundMs) {
    start_ = clock.TickCount();
    boundMs_ = boundMs;
    failures_ = 0;
}

MoveState MoveDeadline::Poll(MotorDrive& motor, platform::Clock& clock) {
    uint8_t nibble = 0xFF;
    lastStatus_ = motor.ReadStatus(nibble);
    if (lastStatus_ == link::kStatusOk) {
        failures_ = 0;
        if (nibble == 0) return MoveState::AtRest;
    } else if (++failures_ >= kRestReadFailures) {
        return MoveState::Lost;
    }
    return Expired(clock) ? MoveState::Expired : MoveState::Moving;
}

bool MoveDeadline::Expired(platform::Clock& clock) const {
    return clock.TickCount() - start_ > boundMs_;
}

bool CheckStageRecord(RunFrame& frame, int record) {
    const MotorTable& table = frame.Motors();
    if (UsableRecord(table, record)) return true;
    std::string searched;
    for (const std::string& folder : MotorTableFolders()) {
        searched += (searched.empty() ? "" : ", ") + folder;
    }
    const bool refused = record >= 0 && record < table.recordCount &&
                         record < MotorTable::kMaxRecords && !table.refusal[record].empty();
    const std::string text = refused ? table.refusal[record] + ": the stage cannot be moved."
                             : table.recordCount == 0
                                 ? std::string("The motor table (") + kMotorTableFile +
                                       ") is empty or missing (looked in " + searched +
                                       "): the stage cannot be moved."
                                 : std::string("No record of the motor table (") + kMotorTableFile +
                                       ") fits this sensor: the stage cannot be moved.";
    params::SensorSession& session = frame.Session();
    session.View().MessageBox(text, session.Texts().Message(2), params::kMbIconExclamation);
    frame.Run().Conclude(RunOutcome::Error, text);
    return false;
}

bool CheckOutputFolder(RunFrame& frame) {
    std::string folder =
        std::filesystem::path(frame.View().ReportImagePath("probe")).parent_path().string();
    if (folder.empty()) folder = ".";
    std::string reason;
    if (platform::CheckWritableFolder(folder, kRunFilesBytes, reason)) return true;
    const std::string text = std::string(frame.Row().caption) +
                             ": the run's files cannot be "
                             "written into the folder " +
                             folder + " (" + reason + "); nothing was started";
    frame.Run().Conclude(RunOutcome::Error, text);
    params::SensorSession& session = frame.Session();
    session.View().MessageBox(text, session.Texts().Message(2), params::kMbIconExclamation);
    return false;
}

void EndOnStalledMove(RunFrame& frame, const std::string& what) {
    frame.Run().Conclude(RunOutcome::Error,
                         what + ": the stage did not come to rest (motor status " +
                             std::to_string(frame.Devices().motor.LastStatus()) + ")");
    frame.EndRun();
}

void EndOnLostController(RunFrame& frame, const std::string& what, int32_t status) {
    frame.Run().Conclude(RunOutcome::Error, what +
                                                ": the motor controller stopped answering "
                                                "(motor status " +
                                                std::to_string(status) + ", " +
                                                link::StatusMeaning(status) + ")");
    frame.EndRun();
}

void EndOnFailedWait(RunFrame& frame, const std::string& what, const RestWait& wait) {
    if (wait.lost) {
        EndOnLostController(frame, what, wait.lastStatus);
    } else {
        EndOnStalledMove(frame, what);
    }
}

bool MoveEnded(RunFrame& frame, MoveDeadline& deadline, const std::string& what) {
    switch (deadline.Poll(frame.Devices().motor, frame.Clock())) {
        case MoveState::AtRest:
            return true;
        case MoveState::Moving:
            return false;
        case MoveState::Expired:
            EndOnStalledMove(frame, what);
            return false;
        case MoveState::Lost:
            EndOnLostController(frame, what, deadline.LastStatus());
            return false;
    }
    return false;
}

void EndStreamedMoveAtRest(RunFrame& frame, MoveDeadline& deadline, const std::string& what,
                           bool& complete) {
    if (!MoveEnded(frame, deadline, what)) return;
    frame.Stream().Stop(1);
    complete = true;
    frame.CurrentValue().store(static_cast<float>(frame.Samples().Index()));
    frame.EndRun();
}

std::optional<Positioning> PositioningAfterHoming(RunFrame& frame, MoveDeadline& deadline) {
    if (!MoveEnded(frame, deadline, "homing")) return std::nullopt;
    Settle(frame.Devices().motor, frame.Clock());
    const params::ConnectionState& conn = frame.Session().conn;
    return ComputePositioning(frame.Motors(), conn.motorRecord, conn.baseDistance,
                              conn.measuringRange);
}

void BenchModes::BindTo(ModeSteps& steps) {
    steps.Bind(kModePulse, pulse_);
    steps.Bind(kModeMotionHome, home_);
    steps.Bind(kModeHomePulse, homePulse_);
    steps.Bind(kModeMotionEnd, end_);
    steps.Bind(kModeEndPulse, endPulse_);
    steps.Bind(kModeScan, scan_);
    steps.Bind(kModeCalibration, calibration_);
    steps.Bind(kModeSynchroCalibration, synchroCalibration_);
    steps.Bind(kModePoverka, poverka_);
    steps.Bind(kModeSynchroPoverka, synchroPoverka_);
}

void BenchModes::SetAnalogEvaluation(const AnalogEvaluation& analog) {
    poverka_.SetAnalogEvaluation(analog);
    synchroPoverka_.SetAnalogEvaluation(analog);
}

}  // namespace veska::bench
