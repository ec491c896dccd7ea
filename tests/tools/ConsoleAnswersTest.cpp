// How veskactl answers the program's message boxes, shared by every command.
#include <gtest/gtest.h>

#include "params/ParamView.h"
#include "tools/veskactl/ConsoleAnswers.h"

namespace veska::tools {
namespace {

TEST(ConsoleAnswers, AConfirmationIsApprovedOnlyWithYes) {
    ConsoleAnswers without(false);
    const ConsoleAnswers::Answer refused = without.Decide(params::kMbOkCancelExclamation);
    EXPECT_EQ(refused.id, params::kIdCancel);
    EXPECT_TRUE(refused.refused);
    EXPECT_NE(refused.note.find("--yes"), std::string::npos);

    ConsoleAnswers with(true);
    const ConsoleAnswers::Answer approved = with.Decide(params::kMbOkCancelExclamation);
    EXPECT_EQ(approved.id, params::kIdOk);
    EXPECT_FALSE(approved.refused);
}

TEST(ConsoleAnswers, RetriesAreBoundedAndCountedAgainAfterAClear) {
    ConsoleAnswers with(true);
    for (int i = 0; i < ConsoleAnswers::kMaxRetries; ++i)
        EXPECT_EQ(with.Decide(ConsoleAnswers::kMbRetryCancel).id, ConsoleAnswers::kIdRetry);
    EXPECT_EQ(with.Decide(ConsoleAnswers::kMbRetryCancel).id, params::kIdCancel);
    with.ClearRetries();
    EXPECT_EQ(with.Decide(ConsoleAnswers::kMbRetryCancel).id, ConsoleAnswers::kIdRetry);

    ConsoleAnswers without(false);
    EXPECT_EQ(without.Decide(ConsoleAnswers::kMbRetryCancel).id, params::kIdCancel);
    EXPECT_FALSE(without.Decide(ConsoleAnswers::kMbRetryCancel).refused);
}

TEST(ConsoleAnswers, NoticesAreAnsweredOkWithoutANote) {
    ConsoleAnswers without(false);
    for (int flags : {params::kMbOk, params::kMbIconStop, params::kMbIconExclamation}) {
        const ConsoleAnswers::Answer answer = without.Decide(flags);
        EXPECT_EQ(answer.id, params::kIdOk) << flags;
        EXPECT_TRUE(answer.note.empty()) << flags;
    }
}

}  // namespace
}  // namespace veska::tools
