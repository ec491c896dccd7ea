// The chart's statistics line and the live trace's decimation: pure functions of the values.
#include "acquire/ChartData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace veska::acquire {
namespace {

TEST(ChartStatistics, SummariseCountsExtremesMeanAndDeviation) {
    struct Case {
        const char* name;
        std::vector<double> values;
        SampleStatistics expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {"empty", {}, {0, 0, 0, 0, 0}},
        {"one value", {4.5}, {1, 4.5, 4.5, 4.5, 0}},
        {"textbook set", {2, 4, 4, 4, 5, 5, 7, 9}, {8, 2, 9, 5, 2}},
        {"negative values", {-1, -3}, {2, -3, -1, -2, 1}},
        {"non-finite skipped", {1, nan, 3, INFINITY}, {2, 1, 3, 2, 1}},
    };
    for (const Case& c : cases) {
        const SampleStatistics s = Summarise(c.values);
        EXPECT_EQ(s.count, c.expected.count) << c.name;
        EXPECT_DOUBLE_EQ(s.minimum, c.expected.minimum) << c.name;
        EXPECT_DOUBLE_EQ(s.maximum, c.expected.maximum) << c.name;
        EXPECT_DOUBLE_EQ(s.mean, c.expected.mean) << c.name;
        EXPECT_NEAR(s.deviation, c.expected.deviation, 1e-12) << c.name;
    }
}

TEST(ChartStatistics, RunningStatisticsStayPreciseOnALargeOffset) {
    // A distance near 100 mm with 1 um of noise: a sum of squares would lose the deviation.
    RunningStatistics running;
    for (int i = 0; i < 60000; ++i) running.Add(100000.0 + (i % 2 == 0 ? 0.001 : -0.001));
    const SampleStatistics s = running.Result();
    EXPECT_EQ(s.count, 60000);
    EXPECT_NEAR(s.mean, 100000.0, 1e-9);
    EXPECT_NEAR(s.deviation, 0.001, 1e-9);
    running.Reset();
    EXPECT_EQ(running.Result().count, 0);
}

TEST(ChartStatistics, LineShowsTheFiguresWithUnitAndKnownRate) {
    const SampleStatistics s{3, -0.5, 12.3456, 4.0, 0.25};
    EXPECT_EQ(StatisticsText(s, "mm", 20945.4),
              "n 3   min -0.500   max 12.346   mean 4.000   sd 0.250 mm   20945 /s");
    EXPECT_EQ(StatisticsText(s, "", 0.0), "n 3   min -0.500   max 12.346   mean 4.000   sd 0.250");
    EXPECT_EQ(StatisticsText(SampleStatistics{}, "mm", 10.0), "");
}

TEST(ChartAxes, TitlesNameTheQuantityAndTheUnitOfTheMode) {
    EXPECT_EQ(UnitOf(kLabelMillimetres), "mm");
    EXPECT_EQ(UnitOf(kLabelPixels), "px");
    EXPECT_EQ(UnitOf(kLabelCounts), "cl");
    EXPECT_EQ(UnitOf(kLabelNone), "");
    EXPECT_EQ(AxisTitlesFor("mm"),
              std::make_pair(std::string("Distance [mm]"), std::string("Sample")));
    EXPECT_EQ(AxisTitlesFor("px").first, "Position [px]");
    EXPECT_EQ(AxisTitlesFor("cl").first, "Level [cl]");
    EXPECT_EQ(AxisTitlesFor(""), std::make_pair(std::string(), std::string()));
}

/// The envelope as (x, y) pairs.
std::vector<std::pair<double, double>> EnvelopeOf(const MinMaxDecimator& d) {
    std::vector<double> x, y;
    d.Envelope(x, y);
    std::vector<std::pair<double, double>> points;
    for (size_t i = 0; i < x.size(); ++i) points.emplace_back(x[i], y[i]);
    return points;
}

TEST(MinMaxDecimator, FewSamplesAreDrawnAsTheyAre) {
    MinMaxDecimator d(8);
    for (double v : {3.0, 1.0, 2.0}) d.Add(v);
    using P = std::pair<double, double>;
    EXPECT_EQ(EnvelopeOf(d), (std::vector<P>{{0, 3}, {1, 1}, {2, 2}}));
    EXPECT_EQ(d.Width(), 1);
}

TEST(MinMaxDecimator, ManySamplesStayBoundedAndKeepEveryExcursion) {
    struct Case {
        int limit;
        int samples;
    };
    for (const Case c : {Case{16, 1000}, Case{1024, 60000}, Case{1024, 1000}, Case{7, 100}}) {
        MinMaxDecimator d(c.limit);
        for (int i = 0; i < c.samples; ++i) {
            double v = std::sin(i * 0.01);
            if (i == c.samples / 3) v = 50.0;   // a spike
            if (i == c.samples / 2) v = -50.0;  // and a dip
            d.Add(v);
        }
        const auto points = EnvelopeOf(d);
        EXPECT_EQ(d.Count(), c.samples);
        EXPECT_LE(points.size(), static_cast<size_t>(2 * c.limit)) << c.samples;
        bool spike = false, dip = false;
        for (size_t i = 0; i < points.size(); ++i) {
            if (i > 0) EXPECT_LT(points[i - 1].first, points[i].first) << "x ascends";
            spike = spike || (points[i] == std::make_pair(double(c.samples / 3), 50.0));
            dip = dip || (points[i] == std::make_pair(double(c.samples / 2), -50.0));
        }
        EXPECT_TRUE(spike) << c.limit << "/" << c.samples;
        EXPECT_TRUE(dip) << c.limit << "/" << c.samples;
        EXPECT_EQ(points.front().first, 0.0);
        EXPECT_GE(points.back().first, c.samples - d.Width());
    }
}

TEST(MinMaxDecimator, NonFiniteSamplesTakeTheirPlaceButAreNotDrawn) {
    MinMaxDecimator d(4);
    d.Add(std::numeric_limits<double>::quiet_NaN());
    d.Add(2.0);
    using P = std::pair<double, double>;
    EXPECT_EQ(EnvelopeOf(d), (std::vector<P>{{1, 2}}));
    d.Reset();
    EXPECT_EQ(d.Count(), 0);
    EXPECT_TRUE(EnvelopeOf(d).empty());
}

}  // namespace
}  // namespace veska::acquire
