// The report chart: its data files, the verification chart rebuilt from its data, the image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "report/ChartDrawing.h"
#include "report/ChartPicture.h"

namespace veska::report {

namespace {

ChartPicture Sample() {
    ChartPicture p;
    p.title = "s/n 1234";
    p.leftTitle = "Deviation [%]";
    p.bottomTitle = "Position [mm]";
    p.foot = "Linearity: 0.05 %\r\n10.12.2026";
    p.bottomScale = 0.025;
    p.values = {0.01, -0.02, 0.1 / 3.0, 1e-300, -7.5};
    return p;
}

TEST(ChartData, AChartComesBackWholeAndAGapStaysAGap) {
    const ChartPicture chart = Sample();
    std::string error;
    const auto back = ParseChartData(ChartDataText(chart), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, chart);

    ChartPicture gap = chart;
    gap.values[1] = std::nan("");
    const auto withGap = ParseChartData(ChartDataText(gap), error);
    ASSERT_TRUE(withGap) << error;
    ASSERT_EQ(withGap->values.size(), gap.values.size());
    EXPECT_TRUE(std::isnan(withGap->values[1]));
    EXPECT_EQ(withGap->values[2], gap.values[2]);
}

TEST(ChartData, TextsThatAreNoChartAreRefused) {
    for (const char* text :
         {"", "[1,2]", "{\"title\":\"x\"}", "{\"values\":[1,\"2\"]}", "{\"values\":{}}",
          "{\"values\":[],\"scale\":0}", "{\"values\":[],\"scale\":-1}",
          "{\"values\":[],\"title\":3}", "{\"values\":[1,2", "\xff\xfe"}) {
        std::string error;
        EXPECT_FALSE(ParseChartData(text, error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    std::string error;
    const auto bare = ParseChartData("{\"values\":[]}", error);
    ASSERT_TRUE(bare) << error;
    EXPECT_EQ(bare->bottomScale, 1.0);
}

TEST(ChartFromPvk, DeviationsFromTheNominalLineAreCentredInPercentOfTheRange) {
    // Step 0.5 mm on a 50 mm range: deviations 0, +0.01, -0.01, 0 mm; the band is 0.02 mm,
    // its middle 0, so the points are 0, +0.02 %, -0.02 %, 0 and the figure 0.02 %.
    const std::string pvk = "  0.500000\n   10.0000\r\n   10.5100\r\n   10.9900\r\n   11.5000\r\n";
    std::string error;
    const auto chart = ChartFromPvk(pvk, 50, error);
    ASSERT_TRUE(chart) << error;
    EXPECT_EQ(chart->bottomScale, 0.5);
    ASSERT_EQ(chart->values.size(), 4u);
    const double expected[] = {0.0, 0.02, -0.02, 0.0};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(chart->values[i], expected[i], 1e-9) << i;
    EXPECT_NE(chart->foot.find("0.0200 %"), std::string::npos) << chart->foot;
}

TEST(ChartFromPvk, DataThatIsNotAVerificationIsRefused) {
    struct Case {
        const char* text;
        int range;
    };
    for (const Case c : {Case{"0.5\n1\n", 0},
                         {"", 50},
                         {"0.5\n", 50},
                         {"0\n1\n2\n", 50},
                         {"-0.5\n1\n", 50},
                         {"0.5\n1\nnan\n", 50},
                         {"0.5\n1\n2 mm\n", 50},
                         {"step\n1\n", 50}}) {
        std::string error;
        EXPECT_FALSE(ChartFromPvk(c.text, c.range, error)) << c.text;
        EXPECT_FALSE(error.empty()) << c.text;
    }
}

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

TEST(ChartImage, TheImageHasItsSizeAndDrawsThePointsInRed) {
    const std::string bmp = RenderChartBmp(Sample(), 200, 120);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(Le32(bmp, 18), 200u);
    EXPECT_EQ(Le32(bmp, 22), 120u);
    EXPECT_EQ(Le32(bmp, 2), bmp.size());
    size_t red = 0;
    const size_t rowBytes = 200 * 3;
    for (size_t y = 0; y < 120; ++y) {
        for (size_t x = 0; x < 200; ++x) {
            const size_t at = 54 + y * rowBytes + x * 3;
            red += bmp[at + 2] == '\xff' && bmp[at] == 0 && bmp[at + 1] == 0;
        }
    }
    EXPECT_GT(red, 20u);
    // Degenerate pictures still draw: nothing at all, and a size below the least.
    EXPECT_EQ(Le32(RenderChartBmp(ChartPicture{}, 1, 1), 18), 16u);
}

}  // namespace

}  // namespace veska::report
