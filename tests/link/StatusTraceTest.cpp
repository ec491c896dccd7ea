#include <gtest/gtest.h>

#include <set>
#include <string>

#include "link/Status.h"
#include "link/Trace.h"

namespace veska::link {
namespace {

TEST(StatusMeaning, EveryKnownCodeHasItsOwnText) {
    std::set<std::string> texts;
    for (int32_t code : {0, 2, 3, 4, 5, 6, 7, 8, 9}) {
        const std::string text = StatusMeaning(code);
        EXPECT_NE(text, "unknown status") << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 9u);
}

TEST(StatusMeaning, OtherCodesAreUnknown) {
    for (int32_t code : {-1, 1, 10, 255}) EXPECT_STREQ(StatusMeaning(code), "unknown status");
}

struct SelectCase {
    const char* label;
    const char* names;
    bool selected;
};

class TraceSelectTest : public ::testing::TestWithParam<SelectCase> {};

TEST_P(TraceSelectTest, SelectsTheSensorLink) {
    EXPECT_EQ(LineTrace::Selects(GetParam().names, "sensor"), GetParam().selected);
    EXPECT_EQ(LineTrace("sensor", GetParam().names).Enabled(), GetParam().selected);
}

INSTANTIATE_TEST_SUITE_P(Names, TraceSelectTest,
                         ::testing::Values(SelectCase{"Unset", nullptr, false},
                                           SelectCase{"Empty", "", false},
                                           SelectCase{"All", "all", true},
                                           SelectCase{"Alone", "sensor", true},
                                           SelectCase{"InList", "motor,sensor", true},
                                           SelectCase{"InListWithBlanks", "motor, sensor ", true},
                                           SelectCase{"OthersOnly", "motor,encoder", false},
                                           SelectCase{"LongerName", "sensors", false},
                                           SelectCase{"OnlyCommas", ",", false}),
                         [](const auto& p) { return p.param.label; });

TEST(LineTrace, DisabledTracePrintsNothing) {
    const LineTrace trace("sensor", "motor");
    ::testing::internal::CaptureStderr();
    const uint8_t bytes[] = {0x01, 0x81};
    trace.Request(bytes);
    trace.Note("nothing");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(LineTrace, OneLinePerPacketWithTimeStamp) {
    const LineTrace trace("encoder", "all");
    ::testing::internal::CaptureStderr();
    const uint8_t bytes[] = {0x01, 0x8F, 0xA0};
    trace.Request(bytes);
    trace.Reply(bytes);
    const std::string out = ::testing::internal::GetCapturedStderr();
    // hh:mm:ss.mmm encoder >> 01 8F A0
    ASSERT_EQ(out.size(), 2 * std::string("00:00:00.000 encoder >> 01 8F A0\n").size()) << out;
    EXPECT_EQ(out.substr(12, 21), " encoder >> 01 8F A0\n");
    EXPECT_EQ(out[2], ':');
    EXPECT_EQ(out[8], '.');
    EXPECT_NE(out.find(" encoder << 01 8F A0\n"), std::string::npos);
}

}  // namespace
}  // namespace veska::link
