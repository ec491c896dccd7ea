#include "link/Framing.h"

#include <gtest/gtest.h>

#include <vector>

namespace veska::link {
namespace {

using Bytes = std::vector<uint8_t>;

struct RequestCase {
    const char* name;
    uint8_t address;
    uint8_t command;
    Bytes data;
    Bytes line;
};

class BuildRequestTest : public ::testing::TestWithParam<RequestCase> {};

TEST_P(BuildRequestTest, ProducesExactLineBytes) {
    const RequestCase& c = GetParam();
    Bytes out;
    BuildRequest(c.address, c.command, c.data, out);
    EXPECT_EQ(out, c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BuildRequestTest,
    ::testing::Values(
        RequestCase{"IdentifyIsTwoBytes", 1, 1, {}, {0x01, 0x81}},
        RequestCase{"DataByteFF", 1, 2, {0xFF}, {0x01, 0x82, 0x8F, 0x8F}},
        RequestCase{"DataByte00", 1, 2, {0x00}, {0x01, 0x82, 0x80, 0x80}},
        RequestCase{"LowNibbleFirst", 5, 3, {0x0B, 0x5A}, {0x05, 0x83, 0x8B, 0x80, 0x8A, 0x85}},
        RequestCase{"AddressTopBitCleared", 0xFF, 6, {}, {0x7F, 0x86}},
        RequestCase{"CommandKeepsLowNibble", 1, 0x1F, {}, {0x01, 0x8F}},
        RequestCase{"StopStream", 3, 8, {0x00, 0x00}, {0x03, 0x88, 0x80, 0x80, 0x80, 0x80}}),
    [](const auto& p) { return p.param.name; });

TEST(BuildRequest, AppendsToWhatIsThere) {
    Bytes out = {0xEE};
    BuildRequest(1, 1, {}, out);
    EXPECT_EQ(out, (Bytes{0xEE, 0x01, 0x81}));
}

TEST(BuildRequest, OnlyTheFirstByteHasBitSevenClear) {
    Bytes data(1026);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 37);
    Bytes out;
    BuildRequest(0x7F, 10, data, out);
    ASSERT_EQ(out.size(), 2054u);
    EXPECT_EQ(out[0] & 0x80, 0);
    for (size_t i = 1; i < out.size(); ++i) EXPECT_NE(out[i] & 0x80, 0) << "byte " << i;
}

struct CheckCase {
    const char* name;
    Bytes line;
    ReplyCheck::Kind kind;
    uint8_t counter;
    size_t toDrop;
};

class CheckReplyTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckReplyTest, ClassifiesTheReply) {
    const CheckCase& c = GetParam();
    const ReplyCheck check = CheckReply(c.line);
    EXPECT_EQ(check.kind, c.kind);
    if (c.kind == ReplyCheck::kOk) {
        EXPECT_EQ(check.counter, c.counter);
    }
    if (c.kind == ReplyCheck::kCounterMismatch) {
        EXPECT_EQ(check.bytesToDrop, c.toDrop);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, CheckReplyTest,
    ::testing::Values(
        CheckCase{"WorkedExample", {0xA5, 0xA3}, ReplyCheck::kOk, 2, 0},
        CheckCase{"CounterZero", {0x80, 0x8F, 0x81, 0x82}, ReplyCheck::kOk, 0, 0},
        CheckCase{"CounterSeven", {0xF1, 0xF2}, ReplyCheck::kOk, 7, 0},
        CheckCase{
            "FourthByteTopBitClear", {0xA1, 0xA2, 0xA3, 0x35}, ReplyCheck::kTopBitClear, 0, 0},
        CheckCase{
            "TopBitWinsOverCounters", {0xA1, 0xB2, 0x03, 0xB4}, ReplyCheck::kTopBitClear, 0, 0},
        CheckCase{"HalfAndHalf", {0xA1, 0xA2, 0xB3, 0xB4}, ReplyCheck::kCounterMismatch, 0, 2},
        CheckCase{"OneOldByte", {0xA1, 0xB2, 0xB3, 0xB4}, ReplyCheck::kCounterMismatch, 0, 1},
        CheckCase{"LastByteNewer", {0xA1, 0xA2, 0xA3, 0xB4}, ReplyCheck::kCounterMismatch, 0, 3},
        CheckCase{"ThreeRuns", {0xA1, 0xB2, 0xC3, 0xC4}, ReplyCheck::kCounterMismatch, 0, 2}),
    [](const auto& p) { return p.param.name; });

TEST(CheckReply, EmptyReplyIsAccepted) { EXPECT_EQ(CheckReply({}).kind, ReplyCheck::kOk); }

TEST(DecodeReply, WorkedExampleGivesThirtyFive) {
    Bytes line = {0xA5, 0xA3};
    DecodeReply(line);
    EXPECT_EQ(line[0], 0x35);
}

TEST(DecodeReply, DecodesInPlaceLowNibbleFirst) {
    Bytes line = {0x94, 0x93, 0x92, 0x91, 0x9F, 0x90};
    DecodeReply(line);
    EXPECT_EQ(line[0], 0x34);
    EXPECT_EQ(line[1], 0x12);
    EXPECT_EQ(line[2], 0x0F);
}

TEST(Framing, RoundTripsEveryByteValue) {
    for (int v = 0; v < 256; ++v) {
        const uint8_t data = static_cast<uint8_t>(v);
        Bytes request;
        BuildRequest(1, 2, std::span<const uint8_t>(&data, 1), request);
        // A reply carries the same nibbles with a counter in bits 4..6.
        Bytes reply = {static_cast<uint8_t>(request[2] | 0x50),
                       static_cast<uint8_t>(request[3] | 0x50)};
        ASSERT_EQ(CheckReply(reply).kind, ReplyCheck::kOk);
        DecodeReply(reply);
        EXPECT_EQ(reply[0], data);
    }
}

}  // namespace
}  // namespace veska::link
