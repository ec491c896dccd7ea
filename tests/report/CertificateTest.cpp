// A unit's certificate from the store alone: the unit found from any of its runs, the PDF's
// text as an extractor reads it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "report/Certificate.h"
#include "report/ChartPicture.h"
#include "results/OpenStore.h"
#include "tests/support/ScratchStore.h"

namespace veska::report {

namespace {

namespace fs = std::filesystem;
using results::Outcome;

results::StoredFile FileOf(const std::string& name, const std::string& text) {
    return {name, std::vector<uint8_t>(text.begin(), text.end())};
}

class CertificateTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(store_) << scratch_.error;
        unit_.runId = results::NewRunId();
        unit_.unitId = unit_.runId;
        unit_.station = "Line 3";
        unit_.operatorName = "Ada Lovelace";
        unit_.programVersion = "2.0";
        unit_.sensor = {20, 4711, 3, 80, 50};
        unit_.sequence = "Full loop";
        unit_.started = "2026-12-10T02:00:00.000Z";
        unit_.ended = "2026-12-10T02:09:00.000Z";
        unit_.outcome = Outcome::Passed;

        results::RunResult before = unit_;
        before.runId = results::NewRunId();
        before.step = "Verification as delivered";
        before.mode = "Poverka";
        before.started = "2026-12-10T02:01:00.000Z";
        before.measurements = {{"figure_percent", 0.4321, "%", {}, {}, Outcome::Passed}};
        // Only the verification data: its chart is rebuilt from it.
        before.files = {FileOf("4711_Poverka_Digital.pvk", "0.5\n10\n10.51\n10.99\n11.5\n")};

        results::RunResult after = unit_;
        after.runId = results::NewRunId();
        after.step = "Verification after calibration";
        after.mode = "Poverka";
        after.started = "2026-12-10T02:05:00.000Z";
        after.measurements = {{"figure_percent", 0.0765, "%", {}, 0.1, Outcome::Passed}};
        ChartPicture chart;
        chart.title = "s/n 4711";
        chart.foot = "Linearity after: 0.0765 %";
        chart.values = {0.01, -0.02, 0.03};
        after.files = {FileOf("4711_Poverka_Digital_pvk.chart.json", ChartDataText(chart)),
                       FileOf("4711_Poverka_Digital.pvk", "garbage")};
        stepIds_ = {before.runId, after.runId};

        // Stored out of order: the certificate orders the steps by their start.
        for (const results::RunResult* r : {&after, &unit_, &before}) {
            ASSERT_TRUE(store_->Put(*r).Kept());
        }
    }
    veska::testing::ScratchStore scratch_{"veska_certificate_"};
    const fs::path& folder_ = scratch_.folder;
    std::unique_ptr<results::ResultStore>& store_ = scratch_.store;
    results::RunResult unit_;
    std::vector<std::string> stepIds_;
};

TEST_F(CertificateTest, TheUnitIsFoundFromItsOwnIdOrAnyStepsWithItsStepsInOrder) {
    for (const std::string& id : {unit_.runId, stepIds_[0], stepIds_[1]}) {
        std::string error;
        const auto data = LoadCertificate(*store_, id, error);
        ASSERT_TRUE(data) << error;
        EXPECT_EQ(data->unit.runId, unit_.runId);
        ASSERT_EQ(data->steps.size(), 2u);
        EXPECT_EQ(data->steps[0].runId, stepIds_[0]);
        EXPECT_EQ(data->steps[1].runId, stepIds_[1]);
        EXPECT_EQ(data->steps[1].files.size(), 2u) << "files loaded whole";
    }
}

TEST_F(CertificateTest, ARunOfNoUnitOrNoneAtAllIsAClearError) {
    results::RunResult loose = unit_;
    loose.runId = results::NewRunId();
    loose.unitId.clear();
    loose.sequence.clear();
    ASSERT_TRUE(store_->Put(loose).Kept());
    results::RunResult orphan = loose;
    orphan.runId = results::NewRunId();
    orphan.unitId = results::NewRunId();
    ASSERT_TRUE(store_->Put(orphan).Kept());

    std::string error;
    EXPECT_FALSE(LoadCertificate(*store_, loose.runId, error));
    EXPECT_NE(error.find("no sequence"), std::string::npos) << error;
    EXPECT_FALSE(LoadCertificate(*store_, orphan.runId, error));
    EXPECT_NE(error.find("not in the store"), std::string::npos) << error;
    EXPECT_FALSE(LoadCertificate(*store_, "no-such-run", error));
    EXPECT_NE(error.find("no-such-run"), std::string::npos) << error;
}

TEST_F(CertificateTest, ChartsComeFromChartDataFirstThenFromVerificationData) {
    std::string error;
    const auto data = LoadCertificate(*store_, unit_.runId, error);
    ASSERT_TRUE(data) << error;
    const auto rebuilt = StepCharts(data->steps[0]);
    ASSERT_EQ(rebuilt.size(), 1u);
    EXPECT_EQ(rebuilt[0].values.size(), 4u);
    const auto stored = StepCharts(data->steps[1]);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].foot, "Linearity after: 0.0765 %");
    results::RunResult broken = data->steps[1];
    broken.files = {FileOf("x.chart.json", "{"), FileOf("x.pvk", "not a number")};
    EXPECT_TRUE(StepCharts(broken).empty());
}

std::string Extracted(const fs::path& pdf) {
    const fs::path text = pdf.string() + ".txt";
    const std::string command = "pdftotext -layout '" + pdf.string() + "' '" + text.string() + "'";
    if (std::system(command.c_str()) != 0) return "";
    std::ifstream in(text);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
}

TEST_F(CertificateTest, ThePdfsTextNamesTheSensorTheFiguresAndTheOutcome) {
    if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    std::string error;
    auto data = LoadCertificate(*store_, stepIds_[1], error);
    ASSERT_TRUE(data) << error;
    // A long reason wraps instead of running off the page.
    data->steps[0].reason = std::string(60, 'w') + " " + std::string(200, 'z');
    const std::string pdf = CertificatePdf(*data, error);
    ASSERT_FALSE(pdf.empty()) << error;
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
    const fs::path file = folder_ / "certificate.pdf";
    std::ofstream(file, std::ios::binary) << pdf;
    const std::string text = Extracted(file);
    for (const char* expected :
         {"4711", "Full loop", "Line 3", "Ada Lovelace", "2026-12-10 02:00:00 UTC",
          "Verification as delivered", "Verification after calibration", "0.4321", "0.0765", "0.1",
          "PASSED", "Linearity after: 0.0765 %"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
}

}  // namespace

}  // namespace veska::report
