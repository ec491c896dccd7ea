// The mode list as the bench form shows it, and what each row makes a run and a stream do.
#include <gtest/gtest.h>

#include <set>

#include "bench/ModeTable.h"

namespace veska::bench {
namespace {

TEST(ModeTable, ItemsMapToTheirCodesAndTheUnusedCodesHaveNone) {
    const auto modes = ModeList();
    ASSERT_EQ(modes.size(), 22u);
    EXPECT_EQ(ModeCodeOfItem(0), kModeLine);
    EXPECT_EQ(ModeCodeOfItem(3), kModePulse);
    EXPECT_EQ(ModeCodeOfItem(10), kMode0_10VAdjustment);
    EXPECT_EQ(ModeCodeOfItem(21), kModeLaserAdjustment);
    EXPECT_EQ(ModeCodeOfItem(22), -1);
    EXPECT_EQ(ModeCodeOfItem(-1), -1);
    for (int32_t unused : {135, 136, 3, 127, 149}) {
        EXPECT_EQ(FindMode(unused), nullptr) << unused;
        EXPECT_EQ(ModeItemOfCode(unused), -1) << unused;
    }
    std::set<int32_t> codes;
    for (size_t i = 0; i < modes.size(); ++i) {
        EXPECT_TRUE(codes.insert(modes[i].code).second) << "code twice: " << modes[i].code;
        EXPECT_EQ(ModeItemOfCode(modes[i].code), static_cast<int>(i));
    }
}

TEST(ModeTable, ResultConversionsAndProfileReads) {
    struct Case {
        int32_t code;
        ResultConversion result;
        bool profile;
        bool requests;
    };
    const Case cases[] = {
        {kModeLine, ResultConversion::Millimetres, false, true},
        {kModePoverka, ResultConversion::Millimetres, false, true},
        {kModeNonline, ResultConversion::Raw, false, true},
        {kModeTemperature, ResultConversion::Raw, false, true},
        {kModeCalibration, ResultConversion::Raw, false, true},
        {kModePulse, ResultConversion::Unchanged, true, false},
        {kModeHomePulse, ResultConversion::Unchanged, true, true},
        {kModeEndPulse, ResultConversion::Unchanged, true, true},
        {kModeScan, ResultConversion::Unchanged, false, true},
    };
    for (const Case& c : cases) {
        const ModeRow* row = FindMode(c.code);
        ASSERT_NE(row, nullptr) << c.code;
        EXPECT_EQ(row->result, c.result) << row->caption;
        EXPECT_EQ(row->readsProfile, c.profile) << row->caption;
        EXPECT_EQ(row->requestsResult, c.requests) << row->caption;
    }
}

TEST(ModeTable, OnlyTheBenchCodesAreBenchModes) {
    EXPECT_FALSE(IsBenchMode(kModeLine));
    EXPECT_FALSE(IsBenchMode(kModeTemperature));
    EXPECT_TRUE(IsBenchMode(kModePulse));
    EXPECT_TRUE(IsBenchMode(kModeLaserAdjustment));
    EXPECT_FALSE(IsBenchMode(149));
}

}  // namespace
}  // namespace veska::bench
