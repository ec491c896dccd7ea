#include "tools/veskactl/ConsoleAnswers.h"

#include "params/ParamView.h"

namespace veska::tools {

ConsoleAnswers::Answer ConsoleAnswers::Decide(int flags) {
    Answer answer;
    if (flags == params::kMbOkCancelExclamation) {
        if (yes_) {
            answer.id = params::kIdOk;
        } else {
            answer.id = params::kIdCancel;
            answer.refused = true;
            answer.note = "confirmation refused: give --yes to go ahead";
        }
        return answer;
    }
    if (flags == kMbRetryCancel) {
        if (yes_ && retries_ < kMaxRetries) {
            ++retries_;
            answer.id = kIdRetry;
            answer.note = "retrying (" + std::to_string(retries_) + " of " +
                          std::to_string(kMaxRetries) + ")";
        } else {
            answer.id = params::kIdCancel;
            answer.note = yes_ ? "no more retries" : "not retried (give --yes to retry)";
        }
        return answer;
    }
    answer.id = params::kIdOk;
    return answer;
}

}  // namespace veska::tools
