// The calibration table: codes, averaging, gap lines, smoothing, the ".klb" file and the
// builder's upload and save questions on a fake frame.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench/CalibrationTable.h"
#include "platform/FileIo.h"
#include "tests/bench/FakeRunFrame.h"

namespace veska::bench {
namespace {

TEST(CalibrationTableTest, CodesFromEncoderAndNominalPositions) {
    // A repeated raw value averages its codes: 800 and 803 give 801.
    std::vector<float> samples{4000.0f, 5000.0f, 5000.0f};
    std::vector<float> encoder{2.0f, 802.0f, 805.0f};  // rebased on the first sample
    std::vector<int32_t> t = BuildTableFromSamples(samples, encoder, 3, true, 0.0f, 16384);
    EXPECT_EQ(t[5000], 801);

    // 50.0 mm of a 100 mm range is the code 8192.
    t = BuildTableFromSamples({100.0f, 9000.0f}, {10.0f, 60.0f}, 2, true, 0.0f, 100);
    EXPECT_EQ(t[9000], 8192);

    // Without the encoder 2.048 codes per sample of 0.0125 mm in 100 mm: sample 10 gets 20.
    std::vector<float> nominal(11, 0.0f);
    nominal[10] = 7000.0f;
    t = BuildTableFromSamples(nominal, {}, 11, false, 0.0125f, 100);
    EXPECT_EQ(t[7000], 20);
}

TEST(CalibrationTableTest, BadInputBuildsNoEntries) {
    const std::vector<float> samples{-3.0f, 70000.0f, std::nanf(""), 12.0f};
    std::vector<int32_t> t = BuildTableFromSamples(samples, {}, 4, false, 1.0f, 100);
    EXPECT_EQ(t.size(), static_cast<size_t>(kTableEntries));
    EXPECT_NE(t[12], 0);                                        // only the good one
    t = BuildTableFromSamples(samples, {}, 4, false, 1.0f, 0);  // no range
    EXPECT_EQ(FindTableBounds(t).last, 0);
    std::vector<float> s(20, 1.0f), e(3, 0.0f);
    EXPECT_EQ(DropLeadingSamples(s, e, 12), 0);
    EXPECT_EQ(DropLeadingSamples(s, e, 500), 8);  // clamped to what exists
}

TEST(CalibrationTableTest, GapsAreStraightLinesBothWays) {
    struct Case {
        int32_t lo, hi, a, b, c;
    };
    for (const Case& c : {Case{10, 30, 15, 20, 25}, Case{30, 10, 25, 20, 15}}) {
        std::vector<int32_t> t(kTableEntries, 0);
        t[100] = c.lo;
        t[104] = c.hi;
        const TableBounds b = FindTableBounds(t);
        EXPECT_EQ(b.first, 100);
        EXPECT_EQ(b.last, 104);
        FillTableGaps(t, b);
        EXPECT_EQ(t[101], c.a);
        EXPECT_EQ(t[102], c.b);
        EXPECT_EQ(t[103], c.c);
    }
}

TEST(CalibrationTableTest, BoundsIgnoreIndexZeroAndSmoothingUsesSmoothedTerms) {
    std::vector<int32_t> t(kTableEntries, 0);
    t[0] = 5;
    EXPECT_EQ(FindTableBounds(t).first, 0);
    EXPECT_EQ(FindTableBounds(t).last, 0);
    for (int i = 10; i <= 20; ++i) t[i] = i == 13 ? 70 : 7;
    const TableBounds b = FindTableBounds(t);
    ASSERT_EQ(b.first, 10);
    SmoothTable(t, b);
    EXPECT_EQ(t[13], (7 * 6 + 70) / 7);  // 16
    EXPECT_EQ(t[14], (7 * 3 + 16 + 7 + 7 + 7) / 7);
    t[60000] = 9;  // beyond the uploaded part: not a bound
    EXPECT_EQ(FindTableBounds(t).last, 20);
}

TEST(CalibrationTableTest, FileHasOneDwLinePerEntry) {
    std::vector<int32_t> t(kTableEntries, 0);
    t[1] = 1234;
    t[2] = -5;
    const std::string text = CalibrationFileText(t);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 56832);
    EXPECT_EQ(text.substr(0, 26), "DW\t0\r\nDW\t1234\r\nDW\t-5\r\nDW\t0");
}

class CalibrationBuildTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("veska_klb_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        frame.session.conn.measuringRange = 100;
        frame.session.conn.deviceInfo.serialNumber = 4711;
        frame.run.stem = "4711_Calibration_20261209-101500";
        // 188 kept samples over the whole range of 100 mm: a valid sweep.
        frame.run.sampleStep = 0.55f;
        for (int i = 0; i < 200; ++i) frame.samples.AppendOnePast(1000.0f + 3.0f * i);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::filesystem::path dir;
    testing::FakeRunFrame frame{kModeCalibration};
};

TEST_F(CalibrationBuildTest, FailedUploadOffersRetryThenSavesAfterCancel) {
    // The sensor port is not open: block 0 fails; Retry once, then Cancel.
    frame.paramView.answers = {4, 2};
    frame.view.reportFile = (dir / "4711.klb").string();
    const CalibrationOutcome out = BuildCalibrationTable(frame, 200);
    EXPECT_TRUE(out.built);
    EXPECT_FALSE(out.uploaded);
    EXPECT_EQ(out.blocks, 0);
    EXPECT_EQ(frame.paramView.flagsShown, (std::vector<int>{5, 5}));
    EXPECT_EQ(frame.view.presets,
              (std::vector<std::string>{"4711_Calibration_20261209-101500.klb"}));
    EXPECT_EQ(frame.view.foot, "26: 200");
    EXPECT_EQ(frame.view.points.size(), 200u);
    EXPECT_EQ(frame.run.results.at("table_uploaded"), 0);
    ASSERT_EQ(frame.run.files.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(dir / "4711.klb"));
    // The table was saved, but the sensor holds none: the run is an error that says so.
    EXPECT_EQ(frame.run.verdict.outcome, RunOutcome::Error);
    EXPECT_NE(frame.run.verdict.reason.find("repeat the calibration"), std::string::npos);
}

TEST_F(CalibrationBuildTest, ABlindOrFlatSweepFailsAndBuildsNothing) {
    struct Case {
        const char* name;
        float (*value)(int i);
    };
    const Case cases[] = {
        {"no target", [](int) { return 0.0f; }},
        {"switched off half way", [](int i) { return i < 100 ? 1000.0f + 3.0f * i : 0.0f; }},
        {"stuck at one value", [](int) { return 2400.0f; }},
        {"saturated", [](int) { return 65535.0f; }},
    };
    for (const Case& c : cases) {
        testing::FakeRunFrame blind{kModeCalibration};
        blind.session.conn.measuringRange = 100;
        blind.run.sampleStep = 0.55f;
        for (int i = 0; i < 200; ++i) blind.samples.AppendOnePast(c.value(i));
        blind.view.reportFile = (dir / "blind.klb").string();
        const CalibrationOutcome out = BuildCalibrationTable(blind, 200);
        EXPECT_FALSE(out.built) << c.name;
        EXPECT_EQ(out.blocks, 0) << c.name;
        EXPECT_TRUE(blind.view.presets.empty()) << c.name << ": no table file is offered";
        EXPECT_EQ(blind.run.verdict.outcome, RunOutcome::Failed) << c.name;
        EXPECT_EQ(blind.run.results.at("kept_samples"), 188) << c.name;
    }
}

TEST(CalibrationTablePositions, CodesCountFromTheRangeStart) {
    // R = 100, sampleStep 0.0125: the first kept sample (the 13th taken) lies 13 x 0.0125 =
    // 0.1625 mm from the range start; before, it got the code 0, meaning "no entry".
    std::vector<float> samples{5000.0f, 5001.0f, 5002.0f};
    const std::vector<float> none;
    EXPECT_DOUBLE_EQ(FirstKeptPositionMm(0.0125f), 13.0 * static_cast<double>(0.0125f));
    std::vector<int32_t> t =
        BuildTableFromSamples(samples, none, 3, false, 0.0125f, 100, FirstKeptPositionMm(0.0125f));
    EXPECT_EQ(t[5000], 26);  // 0.1625 x 16384 / 100 = 26.6
    EXPECT_EQ(t[5002], 30);  // (0.1625 + 0.025) x 163.84 = 30.7
    // With the encoder: its travel since the first kept sample, plus the same offset.
    const std::vector<float> encoder{20.0f, 20.0125f, 70.0f};
    t = BuildTableFromSamples(samples, encoder, 3, true, 0.0125f, 100,
                              FirstKeptPositionMm(0.0125f));
    EXPECT_EQ(t[5000], 26);
    EXPECT_EQ(t[5002], 8218);  // (50 + 0.1625) x 163.84
}

TEST_F(CalibrationBuildTest, DecliningTheOverwriteLeavesTheFile) {
    const std::string path = (dir / "old.klb").string();
    std::string reason;
    ASSERT_TRUE(platform::ReplaceFile(path, "old", reason));
    frame.paramView.answers = {2, 2};  // Cancel the retry, Cancel the overwrite
    frame.view.reportFile = path;
    const CalibrationOutcome out = BuildCalibrationTable(frame, 200);
    EXPECT_TRUE(out.file.empty());
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), "old");
    EXPECT_EQ(frame.paramView.flagsShown.back(), 49);
}

TEST_F(CalibrationBuildTest, TwelveSamplesOrFewerBuildNothing) {
    const CalibrationOutcome out = BuildCalibrationTable(frame, 12);
    EXPECT_FALSE(out.built);
    EXPECT_TRUE(frame.view.presets.empty());
    EXPECT_TRUE(frame.paramView.messages.empty());
    ASSERT_EQ(frame.run.notes.size(), 1u);
    EXPECT_EQ(frame.run.results.at("table_blocks"), 0);
}

}  // namespace
}  // namespace veska::bench
