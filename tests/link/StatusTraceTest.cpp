#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "link/Status.h"
#include "link/Trace.h"
#include "platform/TraceLine.h"

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

/// Subscribes to the process's trace for the life of the test.
class Subscriber {
  public:
    Subscriber()
        : id_(platform::Trace().Subscribe([this](const std::string& l) { lines.push_back(l); })) {}
    ~Subscriber() { Unsubscribe(); }
    void Unsubscribe() {
        if (id_ != 0) platform::Trace().Unsubscribe(id_);
        id_ = 0;
    }
    std::vector<std::string> lines;

  private:
    platform::TraceHub::SinkId id_;
};

TEST(TraceHub, SubscribersGetEveryLinkLineWhileStandardErrorGetsOnlyTheSelectedOnes) {
    const LineTrace quiet("sensor", nullptr);  // VESKA_TRACE unset
    const LineTrace loud("motor", "motor");
    const uint8_t bytes[] = {0x01, 0x81};
    EXPECT_FALSE(quiet.Enabled());
    {
        Subscriber sub;
        EXPECT_TRUE(quiet.Enabled()) << "a subscriber wants every link";
        ::testing::internal::CaptureStderr();
        quiet.Request(bytes);
        quiet.Note("counter mismatch");
        loud.Reply(bytes);
        const std::string err = ::testing::internal::GetCapturedStderr();
        ASSERT_EQ(sub.lines.size(), 3u);
        EXPECT_EQ(sub.lines[0].substr(12), " sensor >> 01 81");
        EXPECT_EQ(sub.lines[1].substr(12), " sensor -- counter mismatch");
        EXPECT_EQ(sub.lines[2].substr(12), " motor << 01 81");
        EXPECT_EQ(err.substr(12), " motor << 01 81\n") << "the sensor is not selected";

        sub.Unsubscribe();
        quiet.Request(bytes);
        EXPECT_EQ(sub.lines.size(), 3u) << "nothing after unsubscribing";
    }
    EXPECT_FALSE(quiet.Enabled());
}

TEST(TraceHub, EverySubscriberGetsTheLineAndLeavesAlone) {
    Subscriber first;
    Subscriber second;
    platform::EmitTraceLine("usb", "FT_Open 0 -> 0", false);
    second.Unsubscribe();
    platform::EmitTraceLine("usb", "FT_Close -> 0", false);
    ASSERT_EQ(first.lines.size(), 2u);
    ASSERT_EQ(second.lines.size(), 1u);
    EXPECT_EQ(first.lines[0], second.lines[0]);
    EXPECT_EQ(first.lines[1].substr(12), " usb FT_Close -> 0");
}

}  // namespace
}  // namespace veska::link
