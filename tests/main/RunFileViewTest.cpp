// The run's own view: everything reaches the window's view, each report image gets its
// chart's data beside it, and a station run's report files land in its folder unasked.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "main/RunFileView.h"
#include "report/ChartPicture.h"
#include "tests/main/FakeMainView.h"

namespace veska::testing {
namespace {

namespace fs = std::filesystem;

class RunFileViewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("run_file_view_" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    fs::path folder;
    FakeMainView window;
    main::RunFileView view{window};
};

TEST_F(RunFileViewTest, AReportImageGetsTheDataOfTheChartItShows) {
    view.ChartClear();
    view.ChartSetTitle("s/n 1234", true);
    const float points[] = {0.5f, -0.25f};
    view.ChartAddPoints(points, 2, 0, bench::PointColour::Red);
    view.ChartAddPoint(1.0, "3", bench::PointColour::Red);
    view.ChartSetBottomScale(0.05);
    const std::string image = (folder / "run_Digital_pvk.bmp").string();
    ASSERT_TRUE(view.SaveChartImage(image, 800, 400));
    ASSERT_EQ(window.chartImages.size(), 1u);  // the window drew the image itself

    const std::vector<std::string> written = view.TakeWritten();
    ASSERT_EQ(written, std::vector<std::string>{(folder / "run_Digital_pvk.chart.json").string()});
    std::ifstream in(written.front());
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    const auto chart = report::ParseChartData(text.str(), error);
    ASSERT_TRUE(chart.has_value()) << error;
    EXPECT_EQ(chart->title, "s/n 1234");
    EXPECT_EQ(chart->values, (std::vector<double>{0.5, -0.25, 1.0}));
    EXPECT_TRUE(view.TakeWritten().empty());
}

TEST_F(RunFileViewTest, ChartDataThatCannotBeWrittenIsNamedAndAnImageNotDrawnHasNone) {
    ASSERT_TRUE(view.SaveChartImage((folder / "gone" / "a.bmp").string(), 800, 400));
    const std::vector<std::string> problems = view.TakeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("a.chart.json was not written"), std::string::npos) << problems[0];

    window.chartImagesWritten = false;
    EXPECT_FALSE(view.SaveChartImage((folder / "b.bmp").string(), 800, 400));
    EXPECT_TRUE(view.TakeWritten().empty());
    EXPECT_FALSE(fs::exists(folder / "b.chart.json"));
}

TEST_F(RunFileViewTest, AStationRunsReportFilesGoIntoItsFolderUnasked) {
    window.saveDataFile = "/asked/by/the/dialog.pvk";
    EXPECT_EQ(view.AskReportFile("x_Digital.pvk"), "/asked/by/the/dialog.pvk");
    view.SetFolder(folder.string());
    EXPECT_EQ(view.AskReportFile("elsewhere/x_Digital.pvk"), (folder / "x_Digital.pvk").string());
    EXPECT_EQ(view.ReportImagePath("x.bmp"), (folder / "x.bmp").string());
    EXPECT_EQ(window.reportPresets.size(), 1u);  // only the window's own run asked
    view.SetFolder(std::nullopt);
    EXPECT_EQ(view.ReportImagePath("x.bmp"), "x.bmp");
}

}  // namespace
}  // namespace veska::testing
