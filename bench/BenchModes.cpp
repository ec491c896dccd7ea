#include "bench/BenchModes.h"

#include <filesystem>

#include "params/ParamView.h"
#include "platform/FileIo.h"

namespace veska::bench {

void MoveDeadline::Arm(platform::Clock& clock, uint32_t boundMs) {
    start_ = clock.TickCount();
    boundMs_ = boundMs;
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
    const std::string text = table.recordCount == 0
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

void EndStreamedMoveAtRest(RunFrame& frame, const MoveDeadline& deadline, const std::string& what,
                           bool& complete) {
    if (AtRest(frame.Devices().motor)) {
        frame.Stream().Stop(1);
        complete = true;
        frame.CurrentValue().store(static_cast<float>(frame.Samples().Index()));
        frame.EndRun();
    } else if (deadline.Expired(frame.Clock())) {
        EndOnStalledMove(frame, what);
    }
}

std::optional<Positioning> PositioningAfterHoming(RunFrame& frame, const MoveDeadline& deadline) {
    MotorDrive& motor = frame.Devices().motor;
    if (!AtRest(motor)) {
        if (deadline.Expired(frame.Clock())) EndOnStalledMove(frame, "homing");
        return std::nullopt;
    }
    Settle(motor, frame.Clock());
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
