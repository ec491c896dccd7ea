// The digital evaluation of a verification sweep, its ".pvk" text and the report's files.
#include <gtest/gtest.h>

#include <filesystem>

#include "bench/VerificationReport.h"
#include "lang/NumberFormat.h"
#include "tests/bench/FakeRunFrame.h"

namespace veska::bench {
namespace {

/// Deviation [mm] of sample k of the 50 mm example: 0 at the ends, a plateau of -0.05 and
/// one of +0.03, joined by ramps, so that the moving average keeps the extremes.
double ExampleDeviation(int k) {
    if (k >= 20 && k <= 40) return -0.05;
    if (k >= 60 && k <= 80) return 0.03;
    if (k < 20) return -0.05 * k / 20.0;
    if (k < 60) return -0.05 + 0.08 * (k - 40) / 20.0;
    return 0.03 - 0.03 * (k - 80) / 21.0;
}

std::vector<float> ExampleSweep(float step) {
    std::vector<float> s(12, 7.0f);  // the stage's start-up, dropped
    for (int k = 0; k <= 101; ++k)
        s.push_back(static_cast<float>(10.0 + k * step + ExampleDeviation(k)));
    return s;
}

TEST(VerificationReportTest, FigureOfTheFiftyMillimetreExample) {
    const float step = 0.5f;
    const std::vector<float> s = ExampleSweep(step);
    const DigitalEvaluation e =
        EvaluateDigital(s, {}, static_cast<int32_t>(s.size()), false, step, 50);
    EXPECT_EQ(e.count, 101);  // limited to 50 / 0.5 + 1
    EXPECT_EQ(e.first, 0);
    EXPECT_EQ(e.last, 100);
    EXPECT_NEAR(e.figurePercent, 0.08, 1e-4);
    EXPECT_EQ(lang::FormatFixed(e.figurePercent, 3), "0.080");
    EXPECT_NEAR(e.centre, 10.0 - 0.01, 1e-4);
    ASSERT_EQ(e.points.size(), 100u);
    EXPECT_NEAR(*std::min_element(e.points.begin(), e.points.end()), -0.08, 1e-3);
    EXPECT_NEAR(*std::max_element(e.points.begin(), e.points.end()), 0.08, 1e-3);
    EXPECT_EQ(e.labels[3], "1.5");
}

TEST(VerificationReportTest, EncoderReferenceAndEmptyRanges) {
    // With the encoder the deviation is sample minus the rebased reference: a sensor that
    // follows the encoder exactly has figure 0.
    std::vector<float> s, enc;
    for (int i = 0; i < 60; ++i) {
        s.push_back(20.0f + 0.25f * i);
        enc.push_back(3.0f + 0.25f * i);
    }
    DigitalEvaluation e = EvaluateDigital(s, enc, 60, true, 0.25f, 50);
    EXPECT_NEAR(e.figurePercent, 0.0, 1e-4);
    EXPECT_NEAR(e.centre, 23.0, 1e-4);  // an offset of 23 mm does not widen the band
    // 12 samples or fewer, or nothing but zeros: an empty range and the figure 0.
    e = EvaluateDigital(s, enc, 12, true, 0.25f, 50);
    EXPECT_EQ(e.count, 0);
    EXPECT_EQ(e.figurePercent, 0.0);
    e = EvaluateDigital(std::vector<float>(40, 0.0f), {}, 40, false, 0.25f, 50);
    EXPECT_EQ(e.figurePercent, 0.0);
    EXPECT_TRUE(e.points.empty());
    EXPECT_EQ(PvkFileText(0.25f, e.smoothed, e.first, e.last), "0.250000\n");
}

TEST(VerificationReportTest, PvkLinesAndMedian) {
    EXPECT_EQ(PvkFileText(0.0125f, {12.3456f, 1.5f}, 0, 1), "0.012500\n12.3456\r\n");
    const float values[] = {1, 9, 2, 8, 3, 7, 4};
    EXPECT_EQ(MedianOfSeven(values), 4.0f);
}

TEST(VerificationReportTest, ReportWritesTheDataFileTheImageAndTheFigure) {
    testing::FakeRunFrame frame(kModePoverka);
    frame.session.conn.measuringRange = 50;
    frame.session.conn.deviceInfo.serialNumber = 77;
    frame.run.stem = "77";
    frame.run.sampleStep = 0.5f;
    for (float v : ExampleSweep(0.5f)) frame.samples.AppendOnePast(v);
    const auto dir = std::filesystem::temp_directory_path() / "veska_pvk_test";
    std::filesystem::create_directories(dir);
    frame.view.reportFile = (dir / "77_Digital.pvk").string();
    int analogCalls = 0;
    const DigitalEvaluation e = WriteVerificationReport(
        frame, frame.samples.Index(), [&analogCalls](RunFrame&) { ++analogCalls; });
    EXPECT_NEAR(frame.run.results.at("figure_percent"), 0.08, 1e-4);
    EXPECT_EQ(frame.view.presets, (std::vector<std::string>{"77_Digital.pvk"}));
    EXPECT_EQ(frame.view.images, (std::vector<std::string>{"77_Digital_pvk.bmp 800x400"}));
    EXPECT_EQ(frame.view.title, "s/n 77");
    EXPECT_EQ(frame.view.points.size(), e.points.size());
    EXPECT_EQ(analogCalls, 1);
    EXPECT_EQ(frame.run.files.size(), 2u);
    EXPECT_TRUE(std::filesystem::exists(dir / "77_Digital.pvk"));
    std::filesystem::remove_all(dir);
    // The chart's bottom axis is the position in mm; the foot names the figure's unit.
    EXPECT_EQ(frame.view.bottomScale, 0.5);
    EXPECT_NE(frame.view.foot.find("0.080 %"), std::string::npos) << frame.view.foot;
    EXPECT_EQ(frame.view.foot.find(": 0\r"), std::string::npos) << "no empty maximum line";
    EXPECT_EQ(frame.run.verdict.outcome, RunOutcome::Passed);
    EXPECT_EQ(frame.run.method.at("reference"), "nominal positions");
}

TEST(VerificationReportTest, AReportFileThatCannotBeWrittenIsAnError) {
    testing::FakeRunFrame frame(kModePoverka);
    frame.session.conn.measuringRange = 50;
    frame.run.stem = "77";
    frame.run.sampleStep = 0.5f;
    for (float v : ExampleSweep(0.5f)) frame.samples.AppendOnePast(v);
    frame.view.reportFile = "/proc/veska_no_such_folder/77_Digital.pvk";
    (void)WriteVerificationReport(frame, frame.samples.Index(), {});
    EXPECT_EQ(frame.run.verdict.outcome, RunOutcome::Error);
    EXPECT_EQ(frame.paramView.flagsShown.back(), 48) << "the operator is told at once";
}

TEST(VerificationReportTest, AnEncoderThatRecordedNothingIsNoReference) {
    // A synchronous sweep opens the encoder but records no positions: its deviations are
    // taken against the nominal line, not against a reference of zeros.
    testing::FakeRunFrame frame(kModeSynchroPoverka);
    frame.session.conn.measuringRange = 50;
    frame.run.sampleStep = 0.5f;
    frame.run.encoderPresent = true;
    for (float v : ExampleSweep(0.5f)) frame.samples.AppendOnePast(v);
    EXPECT_FALSE(UsesEncoderReference(frame.run));
    frame.run.encoderRecorded = true;  // a stepping sweep whose encoder reads all failed
    EXPECT_FALSE(UsesEncoderReference(frame.run));
    (void)WriteVerificationReport(frame, frame.samples.Index(), {});
    EXPECT_NEAR(frame.run.results.at("figure_percent"), 0.08, 1e-4);

    frame.run.encoderBuffer[20] = 10.0f;
    EXPECT_TRUE(UsesEncoderReference(frame.run));
    frame.run.encoderRecorded = false;  // a synchronous sweep
    EXPECT_FALSE(UsesEncoderReference(frame.run));
}

}  // namespace
}  // namespace veska::bench
