// veskactl bench: runs bench modes headless on the program's own run frame. The logic is
// main::MainWindow with a headless view; a small loop stands in for the window's timers.
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analog/AnalogChecks.h"
#include "analog/AnalogVerification.h"
#include "analog/BenchBoard.h"
#include "analog/VoktDriver.h"
#include "analog/VoktInterface.h"
#include "bench/BenchModes.h"
#include "bench/RunRecord.h"
#include "bench/StageDevices.h"
#include "lang/NumberFormat.h"
#include "link/PortSelection.h"
#include "link/Status.h"
#include "main/MainWindow.h"
#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"
#include "main/StoredRuns.h"
#include "platform/D2xx.h"
#include "platform/FileIo.h"
#include "simhost/ProgramBackends.h"
#include "tools/veskactl/BenchCommand.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/HeadlessView.h"
#include "tools/veskactl/Interrupt.h"
#include "tools/veskactl/Session.h"
#include "tools/veskactl/StationRecords.h"

namespace veska::tools {

namespace {

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;
using main::Timer;

constexpr double kMaxSeconds = 86400.0;                        ///< one day [s]
constexpr auto kLongestSleep = std::chrono::milliseconds(20);  ///< between two flag checks
constexpr auto kProgressEvery = std::chrono::seconds(1);       ///< progress line period
constexpr auto kProgressChangeGap = std::chrono::milliseconds(200);

/// The steps of the bench's own modes (with the analog half of the verification report) and
/// of the analog checks, bound beside the plain modes that the logic binds itself, as the
/// program binds them.
class BenchModeBindings {
  public:
    BenchModeBindings() { modes_.SetAnalogEvaluation(analog::AnalogVerification()); }
    void BindTo(bench::ModeSteps& steps) {
        modes_.BindTo(steps);
        checks_.BindTo(steps);
    }

  private:
    bench::BenchModes modes_;
    analog::AnalogChecks checks_;
};

struct BenchArgs {
    std::vector<const bench::ModeRow*> modes;
    std::string outDir = ".";
    std::optional<double> seconds;
    bool yes = false;
};

bool ParseSeconds(const std::string& text, double& seconds) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, seconds);
    return r.ec == std::errc() && r.ptr == end && std::isfinite(seconds) && seconds > 0.0 &&
           seconds <= kMaxSeconds;
}

/// Parses the command's words; an empty text, or the usage error.
std::string ParseBenchArgs(const CommandArgs& args, BenchArgs& parsed) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        std::string value;
        const auto takeValue = [&](const std::string& option) {
            if (word == option) {
                if (i + 1 >= args.size()) return false;
                value = args[++i];
                return true;
            }
            value = word.substr(option.size() + 1);
            return true;
        };
        if (word == "--yes" || word == "-y") {
            parsed.yes = true;
        } else if (word == "--out" || word.rfind("--out=", 0) == 0) {
            if (!takeValue("--out") || value.empty()) return "bench: --out needs a folder";
            parsed.outDir = value;
        } else if (word == "--seconds" || word.rfind("--seconds=", 0) == 0) {
            double seconds = 0.0;
            if (!takeValue("--seconds") || !ParseSeconds(value, seconds)) {
                return "bench: --seconds needs a duration in seconds (above 0, at most 86400)";
            }
            parsed.seconds = seconds;
        } else if (word.rfind("--", 0) == 0) {
            return "bench: unknown option '" + word + "'";
        } else {
            const bench::ModeRow* row = ResolveMode(word);
            if (row == nullptr) {
                return "bench: unknown mode '" + word + "'; the modes are " + AllowedCaptions() +
                       " (or their codes)";
            }
            parsed.modes.push_back(row);
        }
    }
    if (parsed.modes.empty()) return "bench: no mode given; the modes are " + AllowedCaptions();
    return "";
}

/// The board client's exports: on the virtual bench its own board, which samples the
/// bench's sensor; otherwise the driver the program chose.
std::unique_ptr<analog::VoktDriver> BoardDriverOf(Session& session) {
    return simhost::ChooseBoardDriver(session.usb, session.bench, session.clock);
}

/// The program's parts for headless runs, composed as the window's composition root does:
/// the motor link, the sensor link (in the program state), the encoder link, the board
/// client on the driver library, the logic with the headless view.
struct HeadlessBench {
    HeadlessBench(Session& session, bool yes)
        : clock(session.clock),
          state(clock),
          view(session.err, yes),
          motor(clock),
          encoder(clock),
          boardDriver(BoardDriverOf(session)),
          boardClient(*boardDriver, clock),
          board(boardClient),
          logic(state, view, clock, platform::UsbBackend(),
                main::StartOptions{session.options.languageDir, "", true, {}}, Wiring()) {}

    main::BenchWiring Wiring() {
        main::BenchWiring wiring{bench::BenchDevices{motor, encoder, board}, {}};
        wiring.bindModes = [this](bench::ModeSteps& steps) { benchModes.BindTo(steps); };
        return wiring;
    }

    platform::Clock& clock;
    main::ProgramState state;
    HeadlessView view;
    bench::StageMotor motor;
    bench::StageEncoder encoder;
    std::unique_ptr<analog::VoktDriver> boardDriver;
    analog::TVOKT_Interface boardClient;
    analog::BenchBoard board;
    BenchModeBindings benchModes;
    main::MainWindow logic;
};

/// Progress on the error stream: tick, phase, samples, value, stage, progress bar.
class ProgressPrinter {
  public:
    ProgressPrinter(std::ostream& err, const bench::ModeRow& row) : err_(err), row_(row) {}

    /// After a tick of the run.
    void Tick(HeadlessBench& b) {
        ++ticks_;
        Print(b, false);
    }
    /// The run's last line.
    void Final(HeadlessBench& b) { Print(b, true); }

  private:
    void Print(HeadlessBench& b, bool force) {
        const auto now = SteadyClock::now();
        const int progress = b.view.Progress();
        const bool changed = progress != shownProgress_;
        if (!force && now - last_ < kProgressEvery &&
            !(changed && now - last_ >= kProgressChangeGap))
            return;
        last_ = now;
        shownProgress_ = progress;
        const bench::RunState& run = b.logic.Measurement().run;
        err_ << "bench: " << row_.caption << " tick " << ticks_;
        if (!run.activity.empty()) err_ << ' ' << run.activity;
        err_ << " samples " << b.state.samples.Count();
        if (run.expectedSamples > 0) err_ << " of " << run.expectedSamples;
        if (!b.view.ValueText().empty()) err_ << " value " << b.view.ValueText();
        if (run.encoderPresent) {
            err_ << " stage " << lang::FormatFixedPrecision(run.encoderPosition, 8, 4) << " mm";
        }
        err_ << " progress " << progress << "%\n";
    }

    std::ostream& err_;
    const bench::ModeRow& row_;
    uint64_t ticks_ = 0;
    SteadyClock::time_point last_ = SteadyClock::now();
    int shownProgress_ = 0;
};

void SleepUntil(SteadyClock::time_point until) {
    const auto now = SteadyClock::now();
    if (until <= now) return;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(until - now).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    // One call: a signal cuts it short, and the loop looks at the stop flag at once.
    (void)::nanosleep(&ts, nullptr);
}

/// One run: the Measure button once, then the timers until the run ends; a stop request or
/// a failure stops it as the Measure button does, and the run frame itself stops it once it
/// ran seconds.
RunEnd DriveRun(HeadlessBench& b, const bench::ModeRow& row, std::optional<double> seconds,
                std::ostream& err) {
    ProgressPrinter progress(err, row);
    b.view.ClearProblems();
    main::MeasurementCycle& cycle = b.logic.Measurement();
    cycle.secondsLimit = seconds;
    b.logic.ButtonMeasureClick();
    RunEnd end = RunEnd::Self;
    while (b.logic.MeasurementRunning()) {
        if (Interrupted()) {
            end = RunEnd::Interrupted;
        } else if (!b.view.Problems().empty()) {
            end = RunEnd::Failure;
        }
        if (end != RunEnd::Self) {
            b.logic.ButtonMeasureClick();
            break;
        }
        const auto now = SteadyClock::now();
        if (const auto due = b.view.DueAt(Timer::TimerAnswer); due && *due <= now) {
            b.view.Fired(Timer::TimerAnswer);
            b.logic.TimerAnswerTimer();
            if (!b.state.session.conn.connected) {
                end = RunEnd::Lost;
                break;
            }
            continue;
        }
        if (const auto due = b.view.DueAt(Timer::TimerMain); due && *due <= now) {
            b.view.Fired(Timer::TimerMain);
            b.logic.TimerMainTimer();
            progress.Tick(b);
            continue;
        }
        auto wake = now + kLongestSleep;
        for (const Timer timer : {Timer::TimerMain, Timer::TimerAnswer}) {
            if (const auto due = b.view.DueAt(timer); due && *due < wake) wake = *due;
        }
        SleepUntil(wake);
    }
    cycle.secondsLimit.reset();
    if (end == RunEnd::Self && cycle.TimeLimitReached()) end = RunEnd::TimeLimit;
    progress.Final(b);
    if (end == RunEnd::Self && Interrupted()) {
        // The signal came while the run finished its work (the upload, its files), which
        // must not be cut short: it was finished, and the run counts as stopped.
        err << "bench: " << row.caption
            << ": the stop came while the run was finishing; what it had to finish (an "
               "upload, its files) was finished\n";
        end = RunEnd::Interrupted;
    }
    if (!b.view.Problems().empty() && (end == RunEnd::Self || end == RunEnd::TimeLimit)) {
        end = RunEnd::Failure;
    }
    return end;
}

/// The outcome of a headless run: the run's own, made worse by how the loop ended it. The
/// run frame concluded a time limit itself.
void ConcludeRunEnd(bench::RunState& run, RunEnd end) {
    switch (end) {
        case RunEnd::Self:
        case RunEnd::TimeLimit:
            return;
        case RunEnd::Interrupted:
            run.Conclude(bench::RunOutcome::Stopped, "stopped by a signal");
            return;
        case RunEnd::Failure:
            run.Conclude(bench::RunOutcome::Error, "stopped by an error message");
            return;
        case RunEnd::Lost:
            run.Conclude(bench::RunOutcome::Error, "sensor lost: the sensor stopped answering");
            return;
    }
}

/// A mode run headless to its end, its record written into the output folder.
struct HeadlessRun {
    RunEnd end = RunEnd::Self;
    bench::RunRecord record;
    std::string recordPath;
    std::string recordProblem;  ///< why the record was not written; empty: written
};

/// Runs row on the connected sensor as the Measure button does (announced on err after
/// prefix, stopped after seconds), concludes its outcome from how it ended (a refused
/// confirmation is an error when refusalIsError) and writes its record into outDir.
HeadlessRun RunHeadless(HeadlessBench& b, const bench::ModeRow& row, std::optional<double> seconds,
                        const std::string& outDir, const std::string& prefix, bool refusalIsError,
                        std::ostream& err) {
    params::ConnectionState& conn = b.state.session.conn;
    const std::string serial = std::to_string(conn.deviceInfo.serialNumber);
    b.state.benchModeCode = row.code;
    b.view.SetFileStem(outDir, serial + "_" + std::string(row.caption));
    err << prefix << row.caption << " (" << row.code << ") on sensor " << serial << '\n';

    HeadlessRun r;
    r.record.row = &row;
    r.record.secondsLimit = seconds;
    r.record.started = bench::IsoUtc(std::chrono::system_clock::now());
    r.end = DriveRun(b, row, seconds, err);
    r.record.end = RunEndName(r.end);
    r.record.ended = bench::IsoUtc(std::chrono::system_clock::now());
    r.record.messages = b.view.Problems();
    bench::RunState& run = b.logic.Measurement().run;
    ConcludeRunEnd(run, r.end);
    if (refusalIsError && b.view.Refused()) {
        run.Conclude(bench::RunOutcome::Error, "a confirmation was refused; give --yes");
    }
    r.recordPath = (fs::path(outDir) / (run.stem + ".json")).string();
    const std::string text =
        bench::RecordText(bench::RecordJson(r.record, conn, run, b.state.samples.Count()));
    if (!platform::ReplaceFile(r.recordPath, text, r.recordProblem) && r.recordProblem.empty()) {
        r.recordProblem = "not written";
    }
    return r;
}

int ConnectFailure(Session& session, const HeadlessBench& b) {
    const int32_t status = b.state.session.conn.linkStatus.load();
    if (status == link::kStatusNotOpen) {
        return session.Fail(kExitPort, "bench: cannot open the sensor port '" +
                                           b.state.session.conn.portName + "'");
    }
    return session.LinkFailure("bench: the sensor did not connect", status);
}

/// Connects the headless window's logic to the sensor and the bench ports of the command
/// line, a signal heard between a tick's exchanges; kExitOk, else the failure's exit code
/// (the logic then closed).
int ConnectBench(Session& session, HeadlessBench& b) {
    // A signal is acknowledged at once; the run then stops at its next safe point.
    SetInterruptNote(
        "veskactl: stopping: the run ends at its next safe point; an upload or files under "
        "way are finished first, and the stage is brought to rest\n");
    b.logic.Measurement().stopSignal = [] { return Interrupted(); };
    params::ConnectionState& conn = b.state.session.conn;
    b.logic.FormCreate();
    conn.portName = PortNameOfChoice(session.options.port);
    conn.baudRate = session.options.baud;
    conn.netAddress = session.options.address;
    b.logic.ComboBoxMotorCOMChange(session.options.motorPort);
    b.logic.ComboBoxEncoderCOMChange(session.options.encoderPort);
    b.logic.ButtonConnectClick();
    if (conn.connected) return kExitOk;
    const int code = ConnectFailure(session, b);
    b.logic.FormClose();
    return code;
}

int ExitCodeOf(bench::RunOutcome outcome, RunEnd end, bool refused) {
    if (refused) return kExitUsage;
    if (end == RunEnd::Lost) return kExitIncomplete;
    switch (outcome) {
        case bench::RunOutcome::Passed:
            return kExitOk;
        case bench::RunOutcome::Stopped:
            return kExitIncomplete;
        case bench::RunOutcome::Failed:
            return kExitFailed;
        case bench::RunOutcome::Error:
            return kExitError;
    }
    return kExitError;
}

}  // namespace

int RunBench(Session& session, const CommandArgs& args) {
    BenchArgs parsed;
    parsed.yes = session.options.yes;
    if (const std::string problem = ParseBenchArgs(args, parsed); !problem.empty()) {
        return session.Fail(kExitUsage, problem);
    }
    // The output is checked before anything on the sensor or the stage changes.
    std::error_code ec;
    fs::create_directories(parsed.outDir, ec);
    std::string reason;
    if (ec) {
        return session.Fail(
            kExitFile, "bench: cannot make the folder '" + parsed.outDir + "': " + ec.message());
    }
    if (!platform::CheckWritableFolder(parsed.outDir, bench::kRunFilesBytes, reason)) {
        return session.Fail(kExitFile, "bench: the run's files cannot be written into '" +
                                           parsed.outDir + "': " + reason);
    }

    auto store = OpenResultsStore(session, "bench");
    if (!store) return kExitStore;

    HeadlessBench b(session, parsed.yes);
    if (const int code = ConnectBench(session, b); code != kExitOk) return code;
    params::ConnectionState& conn = b.state.session.conn;

    int result = kExitOk;
    for (const bench::ModeRow* row : parsed.modes) {
        if (Interrupted()) {
            result = kExitIncomplete;
            break;
        }
        const HeadlessRun r =
            RunHeadless(b, *row, parsed.seconds, parsed.outDir, "bench: ", false, session.err);
        const std::string& path = r.recordPath;
        bench::RunState& run = b.logic.Measurement().run;
        if (!r.recordProblem.empty()) {
            session.Fail(kExitFile, "bench: cannot write " + path + ": " + r.recordProblem);
            result = kExitFile;
            break;
        }
        session.out << path << '\n';
        session.err << "bench: " << bench::RunEndLine(*row, run) << "; record " << path << '\n';
        if (!StoreBenchRun(session, *store, r.record, run, conn.deviceInfo, path, parsed.outDir)) {
            result = kExitStore;
            break;
        }
        const int code = ExitCodeOf(run.verdict.outcome, r.end, b.view.Refused());
        if (code != kExitOk) {
            result = code;
            break;
        }
    }
    b.logic.FormClose();
    return result;
}

}  // namespace veska::tools

namespace veska::tools {

struct BenchStepDriver::Parts {
    Parts(Session& session, bool yes) : bench(session, yes) {}
    HeadlessBench bench;
};

std::unique_ptr<BenchStepDriver> BenchStepDriver::Connect(Session& session, bool yes,
                                                          const std::string& outDir, int& code) {
    auto parts = std::make_unique<Parts>(session, yes);
    code = ConnectBench(session, parts->bench);
    if (code != kExitOk) return nullptr;
    return std::unique_ptr<BenchStepDriver>(new BenchStepDriver(session, std::move(parts), outDir));
}

BenchStepDriver::BenchStepDriver(Session& session, std::unique_ptr<Parts> parts, std::string outDir)
    : session_(session), parts_(std::move(parts)), outDir_(std::move(outDir)) {}

BenchStepDriver::~BenchStepDriver() { parts_->bench.logic.FormClose(); }

bool BenchStepDriver::StopRequested() const { return Interrupted(); }

const link::DeviceInfo& BenchStepDriver::Sensor() const {
    return parts_->bench.state.session.conn.deviceInfo;
}

main::StepRunReport BenchStepDriver::RunStep(const station::SequenceStep& step) {
    HeadlessBench& b = parts_->bench;
    params::ConnectionState& conn = b.state.session.conn;
    main::StepRunReport report;
    report.started = bench::IsoUtc(std::chrono::system_clock::now());
    const bench::ModeRow* row = ResolveMode(std::to_string(step.modeCode));
    if (row == nullptr || !conn.connected) {
        report.run = {results::Outcome::Error,
                      row == nullptr ? "'" + step.mode + "' is not a bench mode"
                                     : "the sensor is not connected",
                      {}};
        report.ended = report.started;
        return report;
    }
    const HeadlessRun r = RunHeadless(b, *row, step.seconds, outDir_,
                                      "sequence: " + step.name + ": ", true, session_.err);
    bench::RunState& run = b.logic.Measurement().run;
    if (!r.recordProblem.empty()) {
        run.Conclude(bench::RunOutcome::Error,
                     "cannot write " + r.recordPath + ": " + r.recordProblem);
    } else {
        report.files.push_back(r.recordPath);
    }
    report.files.insert(report.files.end(), run.files.begin(), run.files.end());
    report.ended = r.record.ended;
    report.run = {main::StoredOutcome(run.verdict.outcome), run.verdict.reason, run.results};
    session_.err << "sequence: " << bench::RunEndLine(*row, run) << '\n';
    return report;
}

}  // namespace veska::tools
