// The History view's rows, a stored run's charts and the certificate file, from the store.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "main/StationHistory.h"
#include "results/OpenStore.h"
#include "tests/support/ScratchStore.h"

namespace veska::main {

namespace {

namespace fs = std::filesystem;
using results::Outcome;

class StationHistoryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(store_) << scratch_.error;
        unit_.runId = unit_.unitId = results::NewRunId();
        unit_.operatorName = "Ada";
        unit_.sensor = {20, 4711, 3, 80, 50};
        unit_.sequence = "Full loop";
        unit_.started = "2026-12-10T02:00:00.000Z";
        unit_.outcome = Outcome::Error;
        step_ = unit_;
        step_.runId = results::NewRunId();
        step_.step = "Check";
        step_.mode = "0_10V_Check";
        step_.started = "2026-12-10T02:01:00.000Z";
        step_.outcome = Outcome::Failed;
        step_.measurements = {{"bottom_reading", 0.004, "V", -0.02, 0.02, Outcome::Passed},
                              {"top_reading", 9.9, "V", 9.98, std::nullopt, Outcome::Failed},
                              {"count", std::nullopt, "", std::nullopt, 5.0, Outcome::Error}};
        report::ChartPicture chart;
        chart.values = {1, 2, 3};
        const std::string data = report::ChartDataText(chart);
        step_.files = {{"x.chart.json", std::vector<uint8_t>(data.begin(), data.end())}};
        loose_ = unit_;
        loose_.runId = results::NewRunId();
        loose_.unitId.clear();
        loose_.sequence.clear();
        loose_.mode = "Line";
        loose_.started = "2026-12-10T03:00:00.000Z";
        other_ = loose_;
        other_.runId = results::NewRunId();
        other_.sensor.serial = 99;
        for (const results::RunResult* r : {&unit_, &step_, &loose_, &other_}) {
            ASSERT_TRUE(store_->Put(*r).Kept());
        }
    }
    veska::testing::ScratchStore scratch_{"veska_history_"};
    const fs::path& folder_ = scratch_.folder;
    std::unique_ptr<results::ResultStore>& store_ = scratch_.store;
    results::RunResult unit_, step_, loose_, other_;
};

TEST_F(StationHistoryTest, TheSensorsRunsAreListedNewestFirstWithFiguresAndLimits) {
    std::string error;
    const auto rows = SensorHistory(*store_, 4711, 0, error);
    ASSERT_TRUE(rows) << error;
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ((*rows)[0].runId, loose_.runId);
    EXPECT_EQ((*rows)[0].step, "Line") << "a bench run shows its mode";
    EXPECT_EQ((*rows)[0].date, "2026-12-10 03:00:00 UTC");
    const HistoryRow& check = (*rows)[1];
    EXPECT_EQ(check.step, "Check");
    EXPECT_EQ(check.sequence, "Full loop");
    EXPECT_EQ(check.figure, "bottom_reading 0.004 V; top_reading 9.9 V; count -");
    EXPECT_EQ(check.limits, "-0.02 … 0.02; ≥ 9.98; ≤ 5");
    EXPECT_EQ(check.outcome, "failed");
    EXPECT_EQ(check.operatorName, "Ada");
    EXPECT_EQ((*rows)[2].outcome, "error");
    EXPECT_EQ((*rows)[2].step, "") << "the unit's verdict";

    const auto newest = SensorHistory(*store_, 4711, 1, error);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->size(), 1u);
}

TEST_F(StationHistoryTest, ARunsChartsComeFromItsStoredFiles) {
    std::string error;
    const auto charts = StoredRunCharts(*store_, step_.runId, error);
    ASSERT_TRUE(charts) << error;
    ASSERT_EQ(charts->size(), 1u);
    EXPECT_EQ((*charts)[0].title, "s/n 4711");
    EXPECT_EQ((*charts)[0].values.size(), 3u);
    const auto none = StoredRunCharts(*store_, loose_.runId, error);
    ASSERT_TRUE(none) << error;
    EXPECT_TRUE(none->empty());
    EXPECT_FALSE(StoredRunCharts(*store_, "missing", error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

TEST_F(StationHistoryTest, TheCertificateIsWrittenOrAnExistingFileIsLeftAlone) {
    std::string error;
    const fs::path pdf = folder_ / "unit.pdf";
    ASSERT_TRUE(WriteCertificate(*store_, step_.runId, pdf.string(), error)) << error;
    std::ifstream in(pdf, std::ios::binary);
    std::string head(5, '\0');
    in.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");

    const fs::path kept = folder_ / "kept.pdf";
    std::ofstream(kept) << "old";
    EXPECT_FALSE(WriteCertificate(*store_, loose_.runId, kept.string(), error));
    EXPECT_NE(error.find("no sequence"), std::string::npos) << error;
    EXPECT_FALSE(
        WriteCertificate(*store_, unit_.runId, (folder_ / "none" / "x.pdf").string(), error));
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
    std::ifstream old(kept);
    std::string text;
    old >> text;
    EXPECT_EQ(text, "old");
}

}  // namespace

}  // namespace veska::main
