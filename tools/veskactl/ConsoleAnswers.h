#pragma once
#include <string>

namespace veska::tools {

/// How veskactl answers the program's message boxes, for every command alike: a confirmation
/// (OK/Cancel) is approved only with --yes, a Retry/Cancel question is retried a few times
/// with --yes, and everything else is a notice, answered OK.
class ConsoleAnswers {
  public:
    /// Message box flags of a Retry/Cancel question, and its Retry answer.
    static constexpr int kMbRetryCancel = 5;
    static constexpr int kIdRetry = 4;
    /// Retry answers with --yes until ClearRetries.
    static constexpr int kMaxRetries = 3;

    struct Answer {
        int id = 0;            ///< the button pressed (params::kIdOk, kIdCancel or kIdRetry)
        bool refused = false;  ///< a confirmation was turned down for want of --yes
        std::string note;      ///< the line to print about it (empty: none)
    };

    explicit ConsoleAnswers(bool yes) : yes_(yes) {}

    Answer Decide(int flags);
    void ClearRetries() { retries_ = 0; }

  private:
    bool yes_;
    int retries_ = 0;
};

}  // namespace veska::tools
