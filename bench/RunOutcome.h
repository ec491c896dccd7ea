#pragma once
#include <string>

namespace veska::bench {

/// How a run ended, from the least to the most severe. A run starts as Passed; every step
/// that finds a fault concludes it with a worse outcome and the reason, and the worst one
/// stays.
enum class RunOutcome {
    Passed,   ///< the run measured what it reports (or, running until stopped, ran cleanly)
    Stopped,  ///< stopped by the operator (or a time limit) before its own end
    Failed,   ///< it ran, but what it measured is not valid (a blind sweep, ...)
    Error,    ///< a device, an upload or a file failed: the run could not measure
};

/// "passed", "stopped", "failed", "error".
const char* OutcomeName(RunOutcome outcome);

/// The outcome of a run and why.
struct RunVerdict {
    RunOutcome outcome = RunOutcome::Passed;
    std::string reason;  ///< why the outcome is not Passed (the first reason of its rank)

    /// Takes outcome when it is worse than the present one; the reason comes with it.
    /// Returns true when it was taken.
    bool Conclude(RunOutcome worse, const std::string& why);
    bool Passed() const { return outcome == RunOutcome::Passed; }
};

}  // namespace veska::bench
