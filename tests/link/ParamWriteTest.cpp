// The parameter write shared by the sensor and the encoder links: its failure paths (the
// order and the wait on success are checked through both links).
#include "link/ParamWrite.h"

#include <gtest/gtest.h>

#include <vector>

namespace veska::link {
namespace {

struct SentRequest {
    uint8_t command;
    uint8_t address;
    uint8_t value;
};

TEST(WriteParamBatch, AFailedRequestEndsTheBatchWithItsStatusAndNoWait) {
    platform::FakeClock clock;
    std::vector<SentRequest> sent;
    const SendFramed send = [&](uint8_t command, const uint8_t* data, uint32_t count) {
        EXPECT_EQ(count, 2u);
        sent.push_back({command, data[0], data[1]});
        return sent.size() == 2 ? kStatusWriteFailed : kStatusOk;
    };
    const uint8_t values[3] = {0x11, 0x22, 0x33};
    EXPECT_EQ(WriteParamBatch(3, 40, 3, values, send, clock, 5), kStatusWriteFailed);
    ASSERT_EQ(sent.size(), 2u) << "nothing after the failed request";
    EXPECT_EQ(sent[0].address, 42);
    EXPECT_EQ(sent[0].value, 0x33);
    EXPECT_EQ(sent[1].address, 41);
    EXPECT_TRUE(clock.sleeps.empty());
}

TEST(WriteParamBatch, ANullSourceSendsNothing) {
    platform::FakeClock clock;
    int requests = 0;
    const SendFramed send = [&](uint8_t, const uint8_t*, uint32_t) {
        ++requests;
        return kStatusOk;
    };
    EXPECT_EQ(WriteParamBatch(3, 40, 2, nullptr, send, clock, 5), kStatusBadRequest);
    EXPECT_EQ(requests, 0);
    EXPECT_TRUE(clock.sleeps.empty());
}

}  // namespace
}  // namespace veska::link
