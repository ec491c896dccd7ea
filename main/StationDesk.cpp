#include "main/StationDesk.h"

#include <cctype>
#include <chrono>
#include <filesystem>

#include "bench/BenchModes.h"
#include "main/MainView.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StationHistory.h"
#include "main/WindowState.h"
#include "platform/FileIo.h"
#include "results/OpenStore.h"

namespace veska::main {

namespace {

std::string Now() { return bench::IsoUtc(std::chrono::system_clock::now()); }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string MeasurementLine(const std::vector<results::Measurement>& measurements) {
    std::string line;
    for (const results::Measurement& m : measurements) {
        if (!line.empty()) line += "; ";
        line += FigureText(m);
        if (const std::string limits = LimitsText(m); !limits.empty()) line += " [" + limits + "]";
        line += std::string(" ") + results::OutcomeName(m.outcome);
    }
    return line;
}

}  // namespace

StationDesk::StationDesk(ProgramState& state, MeasurementCycle& cycle, WindowState& window,
                         MainView& view)
    : state_(state), cycle_(cycle), window_(window), view_(view) {
    cycle_.runEnded = [this](const bench::RunRecord& record) { RunEnded(record); };
}

StationDesk::~StationDesk() { cycle_.runEnded = nullptr; }

void StationDesk::SetResultsUrl(std::string url) {
    // A unit under way keeps the store it started with; the new one counts from its end.
    if (runner_ != nullptr) {
        nextUrl_ = std::move(url);
        return;
    }
    if (url == url_ && store_ != nullptr) return;
    url_ = std::move(url);
    store_.reset();
}

void StationDesk::SetOperator(std::string name) { operator_ = std::move(name); }

results::ResultStore* StationDesk::Store(std::string& error) {
    if (store_ == nullptr) store_ = results::OpenStore(url_, error);
    return store_.get();
}

void StationDesk::Refuse(const std::string& why) {
    model_.message = why;
    Publish();
}

void StationDesk::Publish() { window_.ShowStation(model_); }

void StationDesk::ShowWaiting() {
    model_.waiting = store_ != nullptr ? static_cast<int64_t>(store_->Pending()) : -1;
}

bool StationDesk::Start(const StationRequest& request) {
    if (runner_ != nullptr) {
        Refuse("a sequence runs already");
        return false;
    }
    if (cycle_.Running()) {
        Refuse("a run goes on: stop it first");
        return false;
    }
    if (!state_.session.conn.connected) {
        Refuse("no sensor is connected");
        return false;
    }
    if (request.operatorName.empty()) {
        Refuse("the operator's name is needed");
        return false;
    }
    std::string error;
    std::optional<station::Sequence> sequence =
        station::LoadSequenceFile(request.sequenceFile, error);
    if (!sequence) {
        Refuse(error);
        return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(request.folder, ec);
    std::string reason;
    if (request.folder.empty() || ec ||
        !platform::CheckWritableFolder(request.folder, bench::kRunFilesBytes, reason)) {
        Refuse("the runs' files cannot be written into '" + request.folder + "': " +
               (request.folder.empty() ? "no folder given"
                : ec                   ? ec.message()
                                       : reason));
        return false;
    }
    results::ResultStore* store = Store(error);
    if (store == nullptr) {
        Refuse("the results store cannot be opened: " + error);
        return false;
    }
    std::string delivered;
    if (store->Pending() > 0) {
        const results::DeliveryReport delivery = store->Deliver();
        delivered = "; delivered " + std::to_string(delivery.delivered) + " waiting results";
    }

    sequence_ = std::make_unique<station::Sequence>(std::move(*sequence));
    folder_ = request.folder;
    operator_ = request.operatorName;
    const link::DeviceInfo& sensor = state_.session.conn.deviceInfo;
    station::UnitContext unit{
        results::NewRunId(),  request.station.empty() ? HostStationName() : request.station,
        request.operatorName, VESKA_VERSION,
        StoredSensor(sensor), sequence_->name};
    model_ = StationModel{};
    model_.running = true;
    model_.sequence = sequence_->name;
    model_.serial = std::to_string(sensor.serialNumber);
    for (const station::SequenceStep& step : sequence_->steps) {
        model_.steps.push_back(StationStepLine{step.name, step.mode, "", "", ""});
    }
    model_.message = "files in " + folder_ + delivered;
    stopAsked_ = false;
    modeBefore_ = state_.benchModeCode;
    runner_ = std::make_unique<SequenceRunner>(*sequence_, std::move(unit), *store,
                                               static_cast<SequenceObserver&>(*this));
    ShowWaiting();
    Publish();
    Continue();
    return true;
}

void StationDesk::Stop() {
    if (runner_ == nullptr) return;
    stopAsked_ = true;
    if (stepRunning_ && cycle_.Running()) {
        cycle_.ToggleMeasure();  // the run ends stopped; its end is recorded at once
    }
    Continue();
}

void StationDesk::Continue() {
    if (runner_ == nullptr || continuing_ || cycle_.Running()) return;
    continuing_ = true;
    // A step whose run ends at its very start is recorded before the next one starts.
    while (runner_ != nullptr && !cycle_.Running()) {
        const std::optional<size_t> next = stopAsked_ ? std::nullopt : runner_->Next();
        if (!next) {
            FinishUnit();
            break;
        }
        StartStep(*next);
    }
    continuing_ = false;
}

void StationDesk::StartStep(size_t index) {
    const station::SequenceStep& step = sequence_->steps[index];
    stepStarted_ = Now();
    if (!state_.session.conn.connected) {
        runner_->Complete(
            index, StepRunReport{{results::Outcome::Error, "the sensor is not connected", {}},
                                 stepStarted_,
                                 stepStarted_,
                                 {}});
        return;
    }
    state_.benchModeCode = step.modeCode;
    cycle_.secondsLimit = step.seconds;
    cycle_.SetReportFolder(folder_);
    stepRunning_ = index;
    cycle_.ToggleMeasure();
    if (stepRunning_ && !cycle_.Running()) {
        // The run did not start and told nothing: the step is an error.
        stepRunning_.reset();
        cycle_.secondsLimit.reset();
        cycle_.SetReportFolder(std::nullopt);
        runner_->Complete(
            index,
            StepRunReport{
                {results::Outcome::Error, "the run did not start", {}}, stepStarted_, Now(), {}});
    }
}

void StationDesk::RunEnded(const bench::RunRecord& record) {
    if (!stepRunning_) {
        if (storeBenchRuns && record.row != nullptr && bench::IsBenchMode(record.row->code)) {
            StoreBenchRun(record);
        }
        return;
    }
    const size_t index = *stepRunning_;
    stepRunning_.reset();
    cycle_.secondsLimit.reset();
    cycle_.SetReportFolder(std::nullopt);
    const bench::RunState& run = cycle_.run;
    StepRunReport report;
    report.run = {StoredOutcome(run.verdict.outcome), run.verdict.reason, run.results};
    report.started = record.started.empty() ? stepStarted_ : record.started;
    report.ended = record.ended;
    report.files = run.files;
    runner_->Complete(index, report);
}

void StationDesk::FinishUnit() {
    const UnitSummary summary = runner_->Finish();
    lastUnitId_ = summary.unitId;
    model_.running = false;
    for (StationStepLine& line : model_.steps) {
        if (line.outcome.empty()) line.outcome = "not run";
    }
    model_.verdict = Upper(results::OutcomeName(summary.verdict.outcome));
    model_.reason = summary.verdict.reason;
    model_.unitId = summary.unitId;
    if (summary.notStored > 0) {
        model_.message = std::to_string(summary.notStored) +
                         " results were not stored: " + summary.storeProblem +
                         "; the runs' files are in " + folder_;
    } else {
        model_.message = "stored in " + store_->Describe() + "; the runs' files are in " + folder_;
    }
    runner_.reset();
    // The bench form's choice is the Measure button's mode again.
    state_.benchModeCode = modeBefore_;
    if (nextUrl_) {
        std::string url = std::move(*nextUrl_);
        nextUrl_.reset();
        SetResultsUrl(std::move(url));
    }
    ShowWaiting();
    Publish();
}

void StationDesk::StoreBenchRun(const bench::RunRecord& record) {
    std::string error;
    results::ResultStore* store = Store(error);
    const std::string serial = std::to_string(state_.session.conn.deviceInfo.serialNumber);
    std::string why;
    if (store == nullptr) {
        why = "the results store cannot be opened: " + error;
    } else {
        std::string fileProblems;
        const results::PutResult put = store->Put(
            BenchRunResult(record, cycle_.run, state_.session.conn.deviceInfo,
                           {HostStationName(), operator_.empty() ? LoginName() : operator_},
                           cycle_.run.files, fileProblems));
        if (!put.Kept()) why = put.message;
        ShowWaiting();
        Publish();
    }
    if (why.empty()) return;
    const std::string text = "The run of sensor " + serial +
                             " was not stored in the results: " + why +
                             ". Its files stay where they were written.";
    view_.MessageBox(text, state_.texts.Message(2), params::kMbIconExclamation);
}

void StationDesk::Deliver() {
    std::string error;
    results::ResultStore* store = Store(error);
    if (store == nullptr) {
        Refuse("the results store cannot be opened: " + error);
        return;
    }
    if (store->Pending() > 0) {
        const results::DeliveryReport delivery = store->Deliver();
        model_.message = "delivered " + std::to_string(delivery.delivered) + " waiting results";
    }
    ShowWaiting();
    Publish();
}

bool StationDesk::WriteCertificate(const std::string& path, std::string& error) {
    if (lastUnitId_.empty()) {
        error = "no unit has run through a sequence yet";
        return false;
    }
    results::ResultStore* store = Store(error);
    return store != nullptr && main::WriteCertificate(*store, lastUnitId_, path, error);
}

void StationDesk::SaveCertificate(const std::string& path) {
    std::string error;
    model_.message = WriteCertificate(path, error) ? "certificate written to " + path
                                                   : "the certificate was not written: " + error;
    Publish();
}

void StationDesk::StepStarting(size_t index, const station::SequenceStep&) {
    model_.steps[index].outcome = "running";
    Publish();
}

void StationDesk::StepJudged(size_t index, const station::SequenceStep&,
                             const station::StepVerdict& verdict, const StoreNote& note) {
    StationStepLine& line = model_.steps[index];
    line.outcome = results::OutcomeName(verdict.outcome);
    line.measurements = MeasurementLine(verdict.measurements);
    line.reason = verdict.reason;
    NoteStore(note);
    ShowWaiting();
    Publish();
}

void StationDesk::UnitJudged(const station::StepVerdict&, const StoreNote& note) {
    NoteStore(note);
}

void StationDesk::NoteStore(const StoreNote& note) {
    if (!note.fileProblems.empty()) model_.message = "files not stored: " + note.fileProblems;
    if (!note.put.Kept())
        model_.message = "result " + note.runId + " not stored: " + note.put.message;
}

}  // namespace veska::main
