#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "bench/RunRecord.h"
#include "main/SequenceRunner.h"
#include "main/StoredRuns.h"
#include "main/WindowModel.h"
#include "results/ResultStore.h"
#include "station/Sequence.h"

namespace veska::main {

class MainView;
class MeasurementCycle;
class WindowState;
struct ProgramState;

/// What the operator gives to run a unit through a sequence in the window.
struct StationRequest {
    std::string sequenceFile;
    std::string operatorName;
    std::string station;  ///< empty: this machine's name
    std::string folder;   ///< where the runs' files go (made when absent)
};

/// The production station in the window: a unit through a sequence, one step's bench run
/// after the other on the window's own run frame, each judged and stored with its files, the
/// unit's verdict at the end, and the whole shown in the station panel (StationModel). The
/// bench runs the operator starts outside a sequence are stored too (storeBenchRuns). Lives
/// on the logic thread; the window calls Continue after each of its events, so that the next
/// step starts once the run of the last one ended.
class StationDesk final : private SequenceObserver {
  public:
    StationDesk(ProgramState& state, MeasurementCycle& cycle, WindowState& window, MainView& view);
    ~StationDesk() override;
    StationDesk(const StationDesk&) = delete;
    StationDesk& operator=(const StationDesk&) = delete;

    /// Bench runs outside a sequence are stored as they end (the window; veskactl stores its
    /// own).
    bool storeBenchRuns = false;

    /// The results store for every run from now on (results::OpenStore's URL; empty: the
    /// default SQLite file); a unit under way ends in the store it started with.
    void SetResultsUrl(std::string url);
    /// Who runs the bench runs outside a sequence (empty: the login name).
    void SetOperator(std::string name);

    /// Starts the unit on the connected sensor through the sequence file. Refused, with the
    /// reason in the panel and nothing run, while a sequence or a run goes on, without a
    /// sensor or an operator, for a file that is not a sequence, a folder that cannot take
    /// the files or a store that cannot be opened.
    bool Start(const StationRequest& request);
    /// The operator's stop: the running step ends stopped and no further step runs; the unit
    /// is aborted.
    void Stop();
    /// Starts the next step when the last one's run ended (after each event of the window).
    void Continue();
    bool Running() const { return runner_ != nullptr; }

    /// Delivers the results waiting in the spool, if any, and shows how many still wait (at
    /// start-up, and when the operator asks).
    void Deliver();
    /// The certificate of the last unit as a PDF at path; false with error set.
    bool WriteCertificate(const std::string& path, std::string& error);
    /// WriteCertificate, its end shown in the panel.
    void SaveCertificate(const std::string& path);

    const StationModel& Model() const { return model_; }

  private:
    void RunEnded(const bench::RunRecord& record);
    void StartStep(size_t index);
    void FinishUnit();
    void StoreBenchRun(const bench::RunRecord& record);
    /// The store, opened on first use; null with error set when it cannot be opened.
    results::ResultStore* Store(std::string& error);
    void Refuse(const std::string& why);
    void Publish();
    void ShowWaiting();

    // SequenceObserver
    void StepStarting(size_t index, const station::SequenceStep& step) override;
    void StepJudged(size_t index, const station::SequenceStep& step,
                    const station::StepVerdict& verdict, const StoreNote& note) override;
    void UnitJudged(const station::StepVerdict& verdict, const StoreNote& note) override;
    void NoteStore(const StoreNote& note);

    ProgramState& state_;
    MeasurementCycle& cycle_;
    WindowState& window_;
    MainView& view_;
    std::string url_;
    std::optional<std::string> nextUrl_;  ///< chosen while a unit ran
    std::unique_ptr<results::ResultStore> store_;
    std::string operator_;
    std::unique_ptr<station::Sequence> sequence_;
    std::unique_ptr<SequenceRunner> runner_;
    std::optional<size_t> stepRunning_;  ///< the step whose run goes on
    std::string stepStarted_;            ///< ISO 8601 UTC
    bool stopAsked_ = false;
    int32_t modeBefore_ = 0;   ///< the bench form's mode, back once the unit ended
    bool continuing_ = false;  ///< Continue is under way (a step's run may end at its start)
    std::string folder_;
    std::string lastUnitId_;
    StationModel model_;
};

}  // namespace veska::main
