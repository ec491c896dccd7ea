#include "bench/StageMotion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/Status.h"

namespace veska::bench {
namespace {

/// A controller that answers a scripted series of polls; the last answer repeats.
struct ScriptedController {
    struct Answer {
        int32_t status;
        uint8_t nibble;
    };
    std::vector<Answer> answers;
    size_t polls = 0;
    int32_t operator()(uint8_t& nibble) {
        const Answer& a = answers[std::min(polls, answers.size() - 1)];
        ++polls;
        if (a.status == link::kStatusOk) nibble = a.nibble;
        return a.status;
    }
};

struct WaitCase {
    const char* name;
    std::vector<ScriptedController::Answer> answers;
    uint32_t boundMs;
    bool atRest;
    uint32_t polls;
    const char* message;  ///< part of the message; "" at rest
};

class WaitForRestTest : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitForRestTest, EndsAtRestAtTheBoundOrWhenTheControllerIsGone) {
    const WaitCase& c = GetParam();
    platform::FakeClock clock;
    ScriptedController controller{c.answers};
    const RestWait wait = WaitForRest(std::ref(controller), clock, c.boundMs, 10);
    EXPECT_EQ(wait.atRest, c.atRest);
    EXPECT_EQ(wait.polls, c.polls);
    EXPECT_LE(wait.elapsedMs, c.boundMs + 10);
    EXPECT_NE(wait.Message().find(c.message), std::string::npos) << wait.Message();
    if (c.atRest) {
        EXPECT_TRUE(wait.Message().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Stage, WaitForRestTest,
    ::testing::Values(
        WaitCase{"AtRestAtOnce", {{0, 0}}, 1000, true, 1, ""},
        WaitCase{"AtRestAfterAMove", {{0, 1}, {0, 1}, {0, 3}, {0, 0}}, 1000, true, 4, ""},
        // A failed read counts as not at rest; the wait goes on.
        WaitCase{"OneFailedReadIsBridged", {{0, 1}, {3, 0}, {0, 0}}, 1000, true, 3, ""},
        WaitCase{"NeverAtRestEndsAtTheBound",
                 {{0, 1}},
                 100,
                 false,
                 11,
                 "the stage did not come to rest: motor status 0, state nibble 1"},
        WaitCase{"VanishedControllerEndsAfterFiveFailures",
                 {{4, 0}},
                 60000,
                 false,
                 5,
                 "the motor controller stopped answering: motor status 4 (read failed)"},
        WaitCase{"ClosedPort", {{2, 0}}, 60000, false, 5, "motor status 2 (port not open)"}),
    [](const auto& p) { return p.param.name; });

TEST(StageBounds, ForwardMoveIsCountTimesPeriodPlusTheMargin) {
    EXPECT_EQ(ForwardMoveBoundMs(2000, 8500), 17000u + kRestMarginMs);
    EXPECT_EQ(ForwardMoveBoundMs(2000, 0), kRestMarginMs);
    // The controller takes 24 bits of the count.
    EXPECT_EQ(ForwardMoveBoundMs(1000, (1u << 24) + 10), 10u + kRestMarginMs);
    EXPECT_EQ(ForwardMoveBoundMs(0xFFFFFFFF, 0xFFFFFFFF), 0xFFFFFFFFu);  // clamped
}

TEST(StageBounds, HomingCoversTheWholeTravelOfTheRecord) {
    const MotorTable table = ParseMotorTable("0.0125 70 170\n0.025 320 1060\n");
    EXPECT_EQ(HomingBoundMs(table, 0, 2000), 13600u * 2 + kRestMarginMs);
    EXPECT_EQ(HomingBoundMs(table, 1, 4999), static_cast<uint32_t>(42400 * 4.999) + kRestMarginMs);
    // No record fits the sensor: the longest travel of the table.
    EXPECT_EQ(HomingBoundMs(table, 2, 2000), 42400u * 2 + kRestMarginMs);
    EXPECT_EQ(HomingBoundMs(MotorTable{}, 0, 2000), kUnknownStageHomingMs);
}

}  // namespace
}  // namespace veska::bench
