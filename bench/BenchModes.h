#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "bench/MotionTiming.h"
#include "bench/RunFrame.h"
#include "bench/VerificationReport.h"

namespace veska::bench {

/// Where a move that the ticks poll stands.
enum class MoveState {
    Moving,   ///< still under way, within its bound
    AtRest,   ///< ended
    Expired,  ///< still under way past its bound
    Lost,     ///< kRestReadFailures status reads in a row failed: the controller is gone
};

/// A deadline on a move that the ticks poll for its end: armed with a bound [ms] on the
/// frame's clock. It also counts the failed status reads in a row of its polls.
class MoveDeadline {
  public:
    void Arm(platform::Clock& clock, uint32_t boundMs);
    bool Expired(platform::Clock& clock) const;
    /// One status poll of the move.
    MoveState Poll(MotorDrive& motor, platform::Clock& clock);
    /// The motor status of the last poll.
    int32_t LastStatus() const { return lastStatus_; }

  private:
    uint32_t start_ = 0;
    uint32_t boundMs_ = 0;
    uint32_t failures_ = 0;
    int32_t lastStatus_ = 0;
};

/// The stream of a bench run, as the mode row converts and labels its samples.
acquire::StreamSetup StreamSetupOf(const ModeRow& row);

/// True when the motor table names a record with a step length for the sensor. Otherwise
/// shows why the stage cannot move (message box and the run's notes) and returns false.
bool CheckStageRecord(RunFrame& frame, int record);
/// True when the run's files can be written where the view keeps them (the folder exists,
/// is writable, has room). Otherwise the run is an error before it touches the sensor: a
/// message box says why. Checked at the start of every run that writes files.
bool CheckOutputFolder(RunFrame& frame);
/// Free space a run that writes files needs at its start [bytes].
inline constexpr uint64_t kRunFilesBytes = 8u << 20;

/// Ends the run as an error because a move did not end within its bound (noted in the run's
/// notes).
void EndOnStalledMove(RunFrame& frame, const std::string& what);
/// Ends the run as an error because the motor controller stopped answering during what.
void EndOnLostController(RunFrame& frame, const std::string& what, int32_t status);
/// Ends the run as the wait says: the controller lost, or the stage not at rest.
void EndOnFailedWait(RunFrame& frame, const std::string& what, const RestWait& wait);
/// Polls the move once; ends the run when it expired or the controller is lost. True at rest.
bool MoveEnded(RunFrame& frame, MoveDeadline& deadline, const std::string& what);
/// One tick of a move under way while the sensor streams. At rest: the stream stops once,
/// complete is set (before the run's stop, which reads it), currentValue = the newest sample
/// index, and the run ends. Past the deadline or with the controller lost the run ends as an
/// error (MoveEnded).
void EndStreamedMoveAtRest(RunFrame& frame, MoveDeadline& deadline, const std::string& what,
                           bool& complete);
/// One tick of homing. Still moving: nullopt (past the deadline, or with the controller
/// lost, the run ends as an error). At rest: the stage settled, and the positioning move
/// from the sensor's base and range.
std::optional<Positioning> PositioningAfterHoming(RunFrame& frame, MoveDeadline& deadline);

/// Pulse (128): the video profile every tick; the left axis fixed to the profile's scale.
class PulseMode final : public RunMode {
  public:
    void Start(RunFrame& frame) override;
    void Tick(RunFrame& frame) override;
};

/// A motion mode: refuses to start without a usable motor record (the run then ends at its
/// first tick), takes a result every tick when it shows the profile (the __Pulse variants),
/// and runs one move whose end the ticks poll.
class StageMoveMode : public RunMode {
  public:
    void Start(RunFrame& frame) final;
    void Tick(RunFrame& frame) final;

  protected:
    explicit StageMoveMode(bool withProfile) : withProfile_(withProfile) {}
    /// Starts the move (the motor port opened here) and arms deadline_.
    virtual void StartMove(RunFrame& frame) = 0;
    /// One tick while the move is under way; ends the run at its end.
    virtual void TickMove(RunFrame& frame) = 0;

    MoveDeadline deadline_;

  private:
    bool withProfile_;
    bool refused_ = false;
};

/// Motion_Home (133) and Motion_Home__Pulse (145): homing, settling, the positioning move
/// inside one tick, then the run ends.
class MotionHomeMode final : public StageMoveMode {
  public:
    explicit MotionHomeMode(bool withProfile) : StageMoveMode(withProfile) {}

  private:
    void StartMove(RunFrame& frame) override;
    void TickMove(RunFrame& frame) override;
};

/// Motion_End (134) and Motion_End__Pulse (146): one forward move of 8500 steps; the run
/// ends at rest.
class MotionEndMode final : public StageMoveMode {
  public:
    explicit MotionEndMode(bool withProfile) : StageMoveMode(withProfile) {}

  private:
    void StartMove(RunFrame& frame) override;
    void TickMove(RunFrame& frame) override;
};

/// Scan (147): homing, then one forward move over 100 mm while the sensor streams; the stop
/// plots the profile against the stage position.
class ScanMode final : public RunMode {
  public:
    /// Steps of the scan move: (100 x 1.001 + 0.1) / sampleStep truncated, plus 13.
    static uint32_t MoveSteps(float sampleStep);

    void Start(RunFrame& frame) override;
    void Tick(RunFrame& frame) override;
    void Stop(RunFrame& frame) override;

  private:
    bool started_ = false;
    bool complete_ = false;
    MoveDeadline deadline_;
};

/// The increment of a stepping run and its homing load.
struct SweepIncrement {
    uint32_t stepCount = 1;        ///< steps per increment
    float sampleStep = 0.0f;       ///< [mm] per sample
    uint32_t periodMicros = 2000;  ///< [us] of the increment and the homing load
};
/// Stepping runs: n = R / (stepLength x 10000) + 1, then 10 at least on the last record, 3
/// for n <= 6 on records other than 0. Synchronous runs: one step.
SweepIncrement ComputeSweepIncrement(bool synchronous, const MotorTable& table, int record,
                                     int32_t rangeMm, const MotionTiming& timing);
/// The end test of a stepping run: samples x sampleStep > R x k + 0.1 + 12 x sampleStep.
bool SweepComplete(uint32_t samples, float sampleStep, int32_t rangeMm, double k);
/// Steps of the synchronous move: (R x k + 0.1) / sampleStep truncated, plus 13.
uint32_t SynchronousMoveSteps(float sampleStep, int32_t rangeMm, double k);

/// Calibration (129), Synchro_Calibration (130), Poverka (131), Synchro_Poverka (132): the
/// sweeps over the measuring range that build the calibration table or the verification
/// report.
class SweepRun final : public RunMode {
  public:
    /// Samples a stepping tick takes at most.
    static constexpr int kTickBudget = 25;
    /// Failed result requests in a row at one position that end a stepping run.
    static constexpr int kFailuresPerPosition = 5;
    /// Failed encoder reads in a row that end a stepping run: its reference is lost.
    static constexpr int kEncoderFailures = 3;
    /// Samples of a stepping run with the encoder after which every sample checks that the
    /// encoder saw at least half of the travel the increments asked for.
    static constexpr int32_t kMotionCheckSamples = 10;

    explicit SweepRun(int32_t code);
    void Start(RunFrame& frame) override;
    void Tick(RunFrame& frame) override;
    void Stop(RunFrame& frame) override;

    /// The evaluation of the analog output after the digital report (verification runs).
    void SetAnalogEvaluation(AnalogEvaluation analog) { analog_ = std::move(analog); }

  private:
    bool Synchronous() const;
    bool Calibrating() const;
    double RangeFactor() const;
    void SendRow(RunFrame& frame, int row, int32_t value);
    void SaveRow(RunFrame& frame, int row);
    void StepTick(RunFrame& frame);
    /// Plots the samples the stream stored since the last call (the live chart of a
    /// synchronous sweep).
    void PlotStreamed(RunFrame& frame);
    void StartRecording(RunFrame& frame, bool afterPositioning);
    /// One encoder position of a stepping sample (averaged as the timing says); false when
    /// kEncoderFailures reads in a row failed.
    bool ReadEncoderSample(RunFrame& frame, float& position);
    /// False (and the run ended as an error) when the encoder saw less than half of the
    /// travel asked for since the first sample.
    bool StageMovedTarget(RunFrame& frame, int32_t index, float position);
    /// False (and the run concluded as an error) when the synchronous move brought fewer
    /// than half of its samples, or the encoder saw less than half of its travel.
    bool SynchronousMoveMadeSteps(RunFrame& frame, int32_t count);

    int32_t code_;
    bool started_ = false;
    bool complete_ = false;        ///< sampleWrapped: the run recorded its whole sweep
    uint32_t samples_ = 0;         ///< stepping runs: samples stored (one past the newest)
    int32_t plotted_ = 0;          ///< synchronous runs: streamed samples on the chart
    int failuresHere_ = 0;         ///< stepping runs: failed requests in a row at this position
    int encoderFailures_ = 0;      ///< stepping runs: failed encoder reads in a row
    double firstEncoderMm_ = 0.0;  ///< stepping runs: the encoder at the first sample [mm]
    std::optional<double> encoderAtRecording_;  ///< synchronous runs: the encoder at the start
    uint32_t incrementPeriod_ = 2000;
    MoveDeadline deadline_;
    AnalogEvaluation analog_;
};

/// The bench's own modes bound to their codes: Pulse, the motion modes, Scan and the four
/// sweeps. Laser_Adjustment (148) has no steps and stays unbound. The analog checks
/// (137..144) are bound by analog/.
class BenchModes {
  public:
    BenchModes() = default;
    BenchModes(const BenchModes&) = delete;
    BenchModes& operator=(const BenchModes&) = delete;

    void BindTo(ModeSteps& steps);
    /// The analog part of the verification report (Poverka and Synchro_Poverka).
    void SetAnalogEvaluation(const AnalogEvaluation& analog);

  private:
    PulseMode pulse_;
    MotionHomeMode home_{false};
    MotionHomeMode homePulse_{true};
    MotionEndMode end_{false};
    MotionEndMode endPulse_{true};
    ScanMode scan_;
    SweepRun calibration_{kModeCalibration};
    SweepRun synchroCalibration_{kModeSynchroCalibration};
    SweepRun poverka_{kModePoverka};
    SweepRun synchroPoverka_{kModeSynchroPoverka};
};

}  // namespace veska::bench
