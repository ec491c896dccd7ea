#include "bench/RunOutcome.h"

namespace veska::bench {

const char* OutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::Passed:
            return "passed";
        case RunOutcome::Stopped:
            return "stopped";
        case RunOutcome::Failed:
            return "failed";
        case RunOutcome::Error:
            return "error";
    }
    return "error";
}

bool RunVerdict::Conclude(RunOutcome worse, const std::string& why) {
    if (worse <= outcome) return false;
    outcome = worse;
    reason = why;
    return true;
}

}  // namespace veska::bench
