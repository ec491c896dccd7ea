#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "results/RunResult.h"

namespace veska::station {

/// One figure a step judges: a named result of the bench run and its inclusive limits.
struct Limit {
    std::string name;  ///< the run's result name, e.g. "figure_percent"
    std::string unit;  ///< shown and stored beside the value, e.g. "%"
    std::optional<double> low;
    std::optional<double> high;
};

/// The sensors something is for; an empty list allows any.
struct Applicability {
    std::vector<int> types;
    std::vector<int> ranges;  ///< measuring ranges [mm]

    bool Covers(const results::SensorIdentity& sensor) const;
};

/// One step: a bench mode run and the figures judged from it.
struct SequenceStep {
    std::string name;  ///< unique within the sequence
    std::string mode;  ///< the bench mode's caption
    int32_t modeCode = 0;
    std::optional<double> seconds;  ///< stop the run after this long [s]; for modes without an end
    bool stopOnFail = true;         ///< a step that did not pass ends the sequence
    Applicability applies;
    std::vector<Limit> measurements;
};

/// A test sequence as a test engineer writes it.
struct Sequence {
    std::string name;
    std::string description;
    Applicability applies;
    std::vector<SequenceStep> steps;
};

/// Parses a sequence text (TOML). nullopt with error set ("source:line:column: what") when
/// the text does not parse or names something unknown: a mode that is not a bench mode, a
/// key the format does not have, limits the wrong way round, a step name used twice.
std::optional<Sequence> ParseSequence(const std::string& text, const std::string& source,
                                      std::string& error);
/// Reads and parses a sequence file.
std::optional<Sequence> LoadSequenceFile(const std::string& path, std::string& error);

}  // namespace veska::station
