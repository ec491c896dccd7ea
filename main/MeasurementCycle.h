#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "bench/RunFrame.h"
#include "bench/RunRecord.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "main/RunFileView.h"
#include "main/WindowState.h"
#include "platform/Clock.h"

namespace veska::main {

class StreamController;

/// The measurement run: ToggleMeasure starts and stops, TimerMainTimer is one tick. It is the
/// frame of every mode: the common start and stop steps, the tick timer, FetchResult and
/// ReadEncoderPosition, and the services a mode's steps use (bench::RunFrame); the mode's own
/// steps come from the bound ModeSteps. A tick costs the mode's exchanges plus one repaint
/// request, whatever the number of points already on the chart.
class MeasurementCycle final : public bench::RunFrame {
  public:
    /// The encoder's line rate every run start sets [bit/s].
    static constexpr uint32_t kEncoderRunRate = 460800;
    /// Failed result requests a run bridges with the last value.
    static constexpr int16_t kRetryBudget = 5;

    MeasurementCycle(ProgramState& state, MainView& view, WindowState& window,
                     platform::Clock& clock, StreamController& stream, bench::BenchDevices devices,
                     const bench::ModeSteps& steps);

    void ToggleMeasure();
    void TimerMainTimer();
    /// The sensor was lost (answer watchdog): the run ends without another exchange, so
    /// that the next click on Measure starts a new one.
    void AbandonRun();
    bool Running() const { return running_; }

    /// The window writes each bench run's record ("<stem>.json") beside the run's first
    /// file, or where the reports go when it wrote none. veskactl writes its own.
    bool writeRunRecords = false;

    /// Stops each run after this long [s] as the Measure button does (a station step's
    /// seconds, veskactl's --seconds); a mode that would have ended by itself then ends
    /// stopped, one that runs until stopped keeps its outcome, and the record says "time
    /// limit". nullopt: no limit.
    std::optional<double> secondsLimit;
    /// The last run was ended by secondsLimit.
    bool TimeLimitReached() const { return timeLimitReached_; }

    /// Told of the end of every run, last, with how it ended ("self", "stopped", "time
    /// limit", "sensor lost"); run holds its outcome and files. On the logic thread.
    std::function<void(const bench::RunRecord& record)> runEnded;

    /// In a station run the report files go into this folder without a question; nullopt:
    /// the window asks.
    void SetReportFolder(const std::optional<std::string>& folder) { runView_.SetFolder(folder); }

    /// Replaces the run start's identity refresh (tests count it); when null the start
    /// refreshes the identity as the connect sequence does (RefreshIdentity).
    std::function<void()> refreshIdentity;

    /// Asked between the exchanges of a tick: true when a stop came from outside the loop
    /// that ticks the run (veskactl: a signal). Null: only the Measure button stops.
    std::function<bool()> stopSignal;

    /// A stop asked from another thread (the window's Measure click while a run goes on):
    /// heard between the exchanges of the tick under way, before the click's own task runs.
    /// Cleared when a run starts.
    void AskStop() { stopAsked_.store(true); }

    /// The run state shared with the mode steps; read by tests and the export.
    bench::RunState run;
    int16_t resultRetryBudget = kRetryBudget;
    /// Result requests of the running or the last run: answered, and failed (none of which
    /// gives a value). Reset at each start; the status bar shows them.
    uint64_t resultsReceived = 0;
    uint64_t resultsFailed = 0;

    // bench::RunFrame
    bool FetchResult() override;
    bool ReadEncoderPosition() override;
    bool OpenMotorPort() override;
    bool OpenEncoderPort() override;
    void EndRun() override;
    void SetTickInterval(int milliseconds) override;
    bool StopPending() override {
        return run.stopRequested || stopAsked_.load() || (stopSignal && stopSignal());
    }
    bench::RunState& Run() override { return run; }
    const bench::ModeRow& Row() const override;
    acquire::SampleBuffer& Samples() override { return state_.samples; }
    std::atomic<float>& CurrentValue() override { return state_.currentValue; }
    std::atomic<float>& ZeroOffset() override { return state_.zeroOffset; }
    acquire::SampleStream& Stream() override;
    params::SensorSession& Session() override { return state_.session; }
    bench::BenchDevices& Devices() override { return devices_; }
    bench::RunView& View() override { return runView_; }
    platform::Clock& Clock() override { return clock_; }
    const bench::MotorTable& Motors() const override { return state_.motorTable; }

  private:
    void Start();
    void Stop();
    /// Stops the running run as the Measure button does, because its time ran out.
    void StopForTimeLimit();

    std::atomic<bool> stopAsked_{false};
    void IdentifyForRun();
    void ReadProfile();
    void ShowRunExtremes();
    /// The statistics line's unit and the run's measured point rate.
    void ShowRunRate();
    /// The status line: what the run does and the samples taken of those expected.
    void ShowActivity();
    /// stem, numbered when a record of that stem lies where the run's files go.
    std::string UniqueStem(const std::string& stem);
    /// The bench run's record beside its files (writeRunRecords).
    void WriteRunRecord(const bench::RunRecord& record);
    /// The record of the run ending now, ended as end says.
    bench::RunRecord RecordOfRun(std::string end) const;
    /// The running mode never ends its run by itself.
    bool RunsUntilStopped() const;
    /// A run that opened the motor port and did not end by itself at rest: ends a move that
    /// may be under way (bench::StopStage). A stage that does not come to rest makes the run
    /// an error and says so.
    void LeaveStageAtRest();

    ProgramState& state_;
    MainView& view_;
    RunFileView runView_;  ///< the same view for what a run shows, keeping its charts' data
    WindowState& window_;
    platform::Clock& clock_;
    StreamController& stream_;
    bench::BenchDevices devices_;
    const bench::ModeSteps& steps_;
    bench::RunMode* mode_ = nullptr;  ///< the steps of the running mode; null: none
    bool running_ = false;            ///< a measurement runs (Measure turned into Stop)
    uint32_t runStartTick_ = 0;       ///< [ms] clock tick of the run's start
    uint32_t rateShownTick_ = 0;      ///< [ms] when the rate was last shown
    std::string runUnit_;             ///< unit of the run's points; empty: not a plain value
    std::chrono::system_clock::time_point runStartedAt_{};
    std::string activityShown_;      ///< the status line's last text of this run
    std::string activityOf_;         ///< the activity that text named
    std::string lastStem_;           ///< the file stem of the last run
    bool motorOpened_ = false;       ///< the run opened the motor port
    bool timeLimitReached_ = false;  ///< secondsLimit stopped the run
};

}  // namespace veska::main
