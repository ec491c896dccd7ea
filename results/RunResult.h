#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veska::results {

/// How a measurement, a step or a unit ended.
enum class Outcome {
    Passed,
    Failed,   ///< measured, outside its limits
    Error,    ///< the bench could not measure (no figure, a device failed)
    Aborted,  ///< stopped by the operator
};

/// "passed", "failed", "error", "aborted".
const char* OutcomeName(Outcome outcome);
/// The inverse of OutcomeName (exact lower-case word); "stopped", the bench's word for a run
/// the operator ended, reads as Aborted. nullopt for anything else.
std::optional<Outcome> ParseOutcome(std::string_view word);

/// One judged figure of a run.
struct Measurement {
    std::string name;             ///< the run's result name, e.g. "figure_percent"
    std::optional<double> value;  ///< nullopt: the run gave none (outcome Error)
    std::string unit;             ///< e.g. "%", "V", "" for a count
    std::optional<double> low;    ///< inclusive lower limit; nullopt: none
    std::optional<double> high;   ///< inclusive upper limit; nullopt: none
    Outcome outcome = Outcome::Error;

    bool operator==(const Measurement&) const = default;
};

/// A file a run wrote, kept whole so that a report can be rebuilt from the store alone.
struct StoredFile {
    std::string name;  ///< the file's name as written (no folder)
    std::vector<uint8_t> content;

    bool operator==(const StoredFile&) const = default;
};

/// The sensor a run measured.
struct SensorIdentity {
    int type = 0;
    int serial = 0;
    int release = 0;
    int base = 0;   ///< [mm]
    int range = 0;  ///< [mm]

    bool operator==(const SensorIdentity&) const = default;
};

/// One stored result: a bench run (one step of a sequence), or a unit's verdict over a whole
/// sequence (step and mode empty). The steps of one unit share unitId, which is the run id of
/// the unit's own verdict record.
struct RunResult {
    std::string runId;  ///< unique; a second store of the same id changes nothing
    std::string unitId;
    std::string station;
    std::string operatorName;
    std::string programVersion;
    SensorIdentity sensor;
    std::string sequence;  ///< the sequence's name; empty for a run outside a sequence
    std::string step;      ///< the step's name; empty for a unit verdict
    std::string mode;      ///< the bench mode's caption; empty for a unit verdict
    std::string started;   ///< UTC, ISO 8601 "YYYY-MM-DDTHH:MM:SS.mmmZ"
    std::string ended;
    Outcome outcome = Outcome::Error;
    std::string reason;  ///< why it did not pass (or what ended it); may be empty
    std::vector<Measurement> measurements;
    std::vector<StoredFile> files;

    bool operator==(const RunResult&) const = default;
};

/// A fresh random run id (a version 4 UUID in its usual text form).
std::string NewRunId();

}  // namespace veska::results
