#include "platform/ReadTimeoutRule.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <vector>

namespace veska::platform {
namespace {

using std::chrono::milliseconds;
using TimePoint = ReadTimeoutRule::TimePoint;

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
constexpr int64_t kNoLimit = -1;

struct RuleCase {
    const char* name;
    uint32_t interval, multiplier, constant, count;  // [ms], bytes
    std::vector<int> bytesAtMs;                      // when bytes came, from the start
    int askAtMs;                                     // when the rule is asked
    int64_t expectedMs;                              // what may still be waited; kNoLimit
};

class ReadTimeoutRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(ReadTimeoutRuleTest, LeavesTheRightTimeToWait) {
    const RuleCase& c = GetParam();
    const TimePoint start{};
    ReadTimeoutRule rule(c.interval, c.multiplier, c.constant, c.count, start);
    for (int at : c.bytesAtMs) rule.BytesArrived(start + milliseconds(at));
    const ReadTimeoutRule::Duration left = rule.Remaining(start + milliseconds(c.askAtMs));
    if (c.expectedMs == kNoLimit) {
        EXPECT_EQ(left, ReadTimeoutRule::kNoLimit);
    } else {
        EXPECT_EQ(left, milliseconds(c.expectedMs));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadTimeoutRuleTest,
    ::testing::Values(
        // Sensor link: 500 ms per byte and 50 ms; a 2-byte reply may take 1050 ms.
        RuleCase{"SensorTotal", 500, 500, 50, 2, {}, 0, 1050},
        RuleCase{"TotalCountsFromTheStart", 0, 10, 50, 5, {}, 60, 40},
        RuleCase{"TotalOverIsZero", 0, 10, 50, 5, {}, 150, 0},
        RuleCase{"BytesDoNotExtendTheTotal", 0, 10, 50, 5, {30, 90}, 95, 5},
        RuleCase{"NoIntervalBeforeTheFirstByte", 20, 10, 50, 5, {}, 30, 70},
        RuleCase{"IntervalAfterAByte", 20, 10, 50, 5, {30}, 40, 10},
        RuleCase{"IntervalFromTheLastByte", 20, 10, 50, 5, {30, 45}, 50, 15},
        RuleCase{"IntervalOver", 20, 10, 50, 5, {30}, 51, 0},
        RuleCase{"TotalEndsBeforeTheInterval", 20, 10, 50, 5, {95}, 98, 2},
        RuleCase{"IntervalOnlyWaitsForeverForTheFirstByte", 20, 0, 0, 5, {}, 5000, kNoLimit},
        RuleCase{"IntervalOnlyAfterAByte", 20, 0, 0, 5, {5}, 10, 15},
        RuleCase{"AllZeroWaitsForAllBytes", 0, 0, 0, 5, {1, 2}, 100000, kNoLimit},
        RuleCase{"MaxIntervalAloneReturnsAtOnce", kMaxDword, 0, 0, 5, {}, 0, 0},
        RuleCase{"FirstByteRuleWaitsTheConstant", kMaxDword, kMaxDword, 100, 5, {}, 30, 70},
        RuleCase{"FirstByteRuleEndsAtTheFirstByte", kMaxDword, kMaxDword, 100, 5, {30}, 30, 0},
        RuleCase{"HugeTotalIsNoLimitNotAnOverflow",
                 0,
                 kMaxDword,
                 kMaxDword,
                 kMaxDword,
                 {},
                 0,
                 kNoLimit}),
    [](const ::testing::TestParamInfo<RuleCase>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace veska::platform
