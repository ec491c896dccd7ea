// The analog evaluation of a verification run: from the board's recording bytes to the
// curve, the figure, the chart points and the data file.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "analog/AnalogReport.h"

namespace veska::analog {
namespace {

constexpr float kGain = 0.0004f;
constexpr uint16_t kOffset = 0x8000;

/// The recording bytes of a list of voltages (with the unread last word after them).
std::vector<uint8_t> Recording(const std::vector<float>& volts) {
    std::vector<uint8_t> bytes;
    const double voltsPerCount = kGain * 500.0 / 454.5;
    auto push = [&](int32_t raw) {
        const auto word = static_cast<uint16_t>(raw - 0x8000 + kOffset);
        bytes.push_back(static_cast<uint8_t>(word & 0xFF));
        bytes.push_back(static_cast<uint8_t>(word >> 8));
    };
    for (float v : volts) push(static_cast<int32_t>(std::lround(v / voltsPerCount)));
    push(0);
    return bytes;
}

/// Twelve samples dropped at the start, then a ramp from low to high over count samples.
std::vector<float> Ramp(float low, float high, int count) {
    std::vector<float> v(12, 0.2f);
    for (int i = 0; i < count; ++i) v.push_back(low + (high - low) * i / (count - 1));
    return v;
}

TEST(AnalogReport, ConversionHasNoWrapAndSkipsTheLastWord) {
    const std::vector<uint8_t> bytes = {0xFF, 0xFF, 0x00, 0x00, 0x34, 0x12};
    const std::vector<float> volts = RecordingVolts(bytes, 1.0f, 0x8000);
    ASSERT_EQ(volts.size(), 2u);  // the third word is the last: not used
    EXPECT_FLOAT_EQ(volts[0], static_cast<float>(65535.0 * 500.0 / 454.5));
    EXPECT_FLOAT_EQ(volts[1], 0.0f);
    EXPECT_TRUE(RecordingVolts(std::vector<uint8_t>{1, 2, 3}, 1.0f, 0).empty());
}

TEST(AnalogReport, MedianOfSeven) {
    const float values[] = {1, 9, 2, 8, 3, 7, 4};
    EXPECT_FLOAT_EQ(Median7(values), 4.0f);
}

TEST(AnalogReport, SpanOfFourVoltsOrLessGivesNoReport) {
    struct Case {
        float low;
        float high;
        bool report;
    };
    for (const Case c :
         {Case{0.5f, 4.4f, false}, Case{0.5f, 9.5f, true}, Case{1.0f, 5.0f, false}}) {
        const std::vector<uint8_t> bytes = Recording(Ramp(c.low, c.high, 400));
        AnalogReportInput input{bytes, kGain, kOffset, 0.0125f, 50, {}};
        EXPECT_EQ(EvaluateAnalog(input).has_value(), c.report) << c.low << " .. " << c.high;
    }
}

TEST(AnalogReport, AStraightRampHasAFlatCurveAndItsFile) {
    const std::vector<uint8_t> bytes = Recording(Ramp(0.5f, 9.5f, 400));
    const auto report = EvaluateAnalog({bytes, kGain, kOffset, 0.0125f, 50, {}});
    ASSERT_TRUE(report);
    EXPECT_EQ(report->first, 0);
    EXPECT_EQ(report->last, 399);
    EXPECT_LT(report->figure, 0.01f);
    ASSERT_EQ(report->points.size(), 399u);
    EXPECT_EQ(report->points[3].label, "0.0375");
    // Position along the ramp: sample i stands for i x step.
    EXPECT_NEAR(report->curve[200], 200 * 0.0125f, 0.002f);
    EXPECT_EQ(report->fileText.rfind("0.012500\n0.0000\r\n", 0), 0u);
    EXPECT_EQ(report->fileText.substr(report->fileText.size() - 2), "\r\n");
}

TEST(AnalogReport, VoltagesOutsideTheValidRangeAreIgnoredInTheSearchButMapped) {
    std::vector<float> v = Ramp(0.5f, 9.5f, 400);
    v[12 + 50] = 11.5f;  // above the valid range: not the maximum
    const std::vector<uint8_t> bytes = Recording(v);
    const auto report = EvaluateAnalog({bytes, kGain, kOffset, 0.0125f, 50, {}});
    ASSERT_TRUE(report);
    EXPECT_EQ(report->last, 399);  // the end of the ramp stays the maximum
}

TEST(AnalogReport, TwelveSamplesOrFewerOrNoStepGiveNoReport) {
    const std::vector<uint8_t> shortOne = Recording(std::vector<float>(12, 5.0f));
    EXPECT_FALSE(EvaluateAnalog({shortOne, kGain, kOffset, 0.0125f, 50, {}}));
    const std::vector<uint8_t> bytes = Recording(Ramp(0.5f, 9.5f, 400));
    EXPECT_FALSE(EvaluateAnalog({bytes, kGain, kOffset, 0.0f, 50, {}}));
    EXPECT_FALSE(EvaluateAnalog({bytes, kGain, kOffset, 0.0125f, 0, {}}));
}

TEST(AnalogReport, PvkLinesUseThePointAndTheirLineEnds) {
    const std::vector<float> samples = {12.3456f, 1.0f};
    EXPECT_EQ(PvkText(0.0125f, samples, 0, 2), "0.012500\n12.3456\r\n1.0000\r\n");
    EXPECT_EQ(PvkText(0.0125f, samples, 0, 0), "0.012500\n");
}

}  // namespace
}  // namespace veska::analog
