#pragma once
#include <cstdint>
#include <string>

#include <memory>

#include "bench/ModeTable.h"
#include "link/MorlaInterface.h"
#include "main/SequenceRunner.h"

namespace veska::tools {

/// How a headless bench run ended.
enum class RunEnd {
    Self,         ///< the mode ended its own run
    TimeLimit,    ///< --seconds ran out; the run was stopped as the Measure button does
    Interrupted,  ///< SIGINT or SIGTERM; stopped as the Measure button does
    Failure,      ///< an error box, an error display or a refused confirmation; stopped
    Lost,         ///< the answer watchdog lost the sensor and abandoned the run
};

/// "self", "time limit", "interrupted", "failure", "sensor lost".
const char* RunEndName(RunEnd end);

/// The mode a command-line word names: a caption of the mode list (compared without regard
/// to case) or a mode code in decimal. Null when it names none.
const bench::ModeRow* ResolveMode(const std::string& word);
/// The captions of the mode list, comma-separated, in the list's order.
std::string AllowedCaptions();

class Session;

/// The bench of `veskactl bench`, connected once, running the steps of a sequence: each
/// step's mode is started as the Measure button does, stopped after the step's seconds,
/// and its record written beside its files in the output folder. SIGINT or SIGTERM stops
/// the running mode and asks the sequence to stop.
class BenchStepDriver final : public main::StepDriver {
  public:
    /// Connects to the sensor (and the stage's ports) as `bench` does. Null with code set
    /// (the failure printed) when the sensor did not connect.
    static std::unique_ptr<BenchStepDriver> Connect(Session& session, bool yes,
                                                    const std::string& outDir, int& code);
    ~BenchStepDriver() override;

    main::StepRunReport RunStep(const station::SequenceStep& step) override;
    bool StopRequested() const override;
    /// The connected sensor's identity.
    const link::DeviceInfo& Sensor() const;

    struct Parts;

  private:
    BenchStepDriver(Session& session, std::unique_ptr<Parts> parts, std::string outDir);

    Session& session_;
    std::unique_ptr<Parts> parts_;
    std::string outDir_;
};

}  // namespace veska::tools
