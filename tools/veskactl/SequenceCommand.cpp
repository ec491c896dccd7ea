// veskactl sequence: one unit through a sequence file on the connected sensor, every step
// judged and stored, and the unit's verdict as the exit code.
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/BenchModes.h"
#include "bench/RunRecord.h"
#include "main/SequenceRunner.h"
#include "main/StoredRuns.h"
#include "platform/FileIo.h"
#include "station/Sequence.h"
#include "tools/veskactl/BenchCommand.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"
#include "tools/veskactl/StationRecords.h"

namespace veska::tools {

namespace {

struct SequenceArgs {
    std::string file;
    std::string operatorName;
    std::string station;
    std::string outDir = ".";
    bool yes = false;
};

std::string ParseSequenceArgs(const CommandArgs& args, SequenceArgs& parsed) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        std::string* target = nullptr;
        std::string option;
        for (const auto& [name, field] :
             {std::pair<const char*, std::string*>{"--operator", &parsed.operatorName},
              {"--station", &parsed.station},
              {"--out", &parsed.outDir}}) {
            const std::string prefix = std::string(name) + "=";
            if (word == name || word.rfind(prefix, 0) == 0) {
                target = field;
                option = name;
            }
        }
        if (target != nullptr) {
            if (word == option) {
                if (i + 1 >= args.size()) return "sequence: " + option + " needs a value";
                *target = args[++i];
            } else {
                *target = word.substr(option.size() + 1);
            }
            if (target->empty()) return "sequence: " + option + " needs a value";
        } else if (word == "--yes" || word == "-y") {
            parsed.yes = true;
        } else if (word.rfind("--", 0) == 0) {
            return "sequence: unknown option '" + word + "'";
        } else if (parsed.file.empty()) {
            parsed.file = word;
        } else {
            return "sequence: one sequence file only ('" + word + "')";
        }
    }
    if (parsed.file.empty()) return "sequence: no sequence file given";
    if (parsed.operatorName.empty()) return "sequence: --operator NAME is required";
    return "";
}

std::string Figure(const std::optional<double>& value) {
    if (!value) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", *value);
    return text;
}

/// Each step as it starts on the error stream; its judged measurements on standard output.
class ConsoleObserver final : public main::SequenceObserver {
  public:
    ConsoleObserver(Session& session, size_t steps) : session_(session), steps_(steps) {}

    void StepStarting(size_t index, const station::SequenceStep& step) override {
        session_.err << "sequence: step " << index + 1 << " of " << steps_ << ": " << step.name
                     << '\n';
    }
    void StepJudged(size_t, const station::SequenceStep& step, const station::StepVerdict& verdict,
                    const main::StoreNote& note) override {
        std::ostream& out = session_.out;
        out << step.name << ": " << results::OutcomeName(verdict.outcome);
        if (!verdict.reason.empty()) out << " (" << verdict.reason << ')';
        out << '\n';
        for (const results::Measurement& m : verdict.measurements) {
            out << "  " << m.name << ' ' << Figure(m.value);
            if (!m.unit.empty()) out << ' ' << m.unit;
            out << " [" << Figure(m.low) << ".." << Figure(m.high) << "] "
                << results::OutcomeName(m.outcome) << '\n';
        }
        Report(note);
    }
    void UnitJudged(const station::StepVerdict&, const main::StoreNote& note) override {
        Report(note);
    }

  private:
    void Report(const main::StoreNote& note) {
        if (!note.fileProblems.empty()) {
            session_.err << "veskactl: sequence: files not stored: " << note.fileProblems << '\n';
        }
        if (!note.put.Kept()) {
            session_.err << "veskactl: sequence: result " << note.runId
                         << " not stored: " << note.put.message << '\n';
        } else if (note.put.status == results::PutStatus::Spooled) {
            session_.err << "sequence: result " << note.runId
                         << " waits in the spool: " << note.put.message << '\n';
        }
    }

    Session& session_;
    size_t steps_;
};

int ExitCodeOf(const main::UnitSummary& summary) {
    if (summary.notStored > 0) return kExitStore;
    switch (summary.verdict.outcome) {
        case results::Outcome::Passed:
            return kExitOk;
        case results::Outcome::Failed:
            return kExitFailed;
        case results::Outcome::Error:
            return kExitError;
        case results::Outcome::Aborted:
            return kExitIncomplete;
    }
    return kExitError;
}

}  // namespace

int RunSequence(Session& session, const CommandArgs& args) {
    SequenceArgs parsed;
    parsed.yes = session.options.yes;
    if (const std::string problem = ParseSequenceArgs(args, parsed); !problem.empty()) {
        return session.Fail(kExitUsage, problem);
    }
    if (parsed.station.empty()) parsed.station = main::HostStationName();
    std::string error;
    const std::optional<station::Sequence> sequence = station::LoadSequenceFile(parsed.file, error);
    if (!sequence) return session.Fail(kExitFile, "sequence: " + error);

    auto store = OpenResultsStore(session, "sequence");
    if (!store) return kExitStore;
    if (store->Pending() > 0) {
        const results::DeliveryReport delivery = store->Deliver();
        session.err << "sequence: delivered " << delivery.delivered << " waiting results, "
                    << delivery.waiting << " still wait\n";
    }

    std::error_code ec;
    std::filesystem::create_directories(parsed.outDir, ec);
    std::string reason;
    if (ec || !platform::CheckWritableFolder(parsed.outDir, bench::kRunFilesBytes, reason)) {
        return session.Fail(kExitFile, "sequence: the runs' files cannot be written into '" +
                                           parsed.outDir + "': " + (ec ? ec.message() : reason));
    }

    int code = kExitOk;
    auto driver = BenchStepDriver::Connect(session, parsed.yes, parsed.outDir, code);
    if (!driver) return code;

    const station::UnitContext unit{results::NewRunId(),
                                    parsed.station,
                                    parsed.operatorName,
                                    VESKA_VERSION,
                                    main::StoredSensor(driver->Sensor()),
                                    sequence->name};
    ConsoleObserver observer(session, sequence->steps.size());
    main::SequenceRunner runner(*sequence, unit, *store, observer);
    const main::UnitSummary& summary = runner.Run(*driver);

    std::string verdict = results::OutcomeName(summary.verdict.outcome);
    for (char& c : verdict) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    session.out << "unit " << unit.sensor.serial << ": " << verdict;
    if (!summary.verdict.reason.empty()) session.out << " (" << summary.verdict.reason << ')';
    session.out << "\nrun " << summary.unitId << '\n';
    if (summary.notStored > 0) {
        session.err << "veskactl: sequence: " << summary.notStored << " results were not stored in "
                    << store->Describe() << ": " << summary.storeProblem
                    << "; the runs' files are in " << parsed.outDir << '\n';
    }
    return ExitCodeOf(summary);
}

}  // namespace veska::tools
