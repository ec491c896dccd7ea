// veskactl bench: the analog checks and a synchronous verification headless on the
// in-process virtual bench, whose board samples the bench's sensor output; each record's
// results name what the mode found.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "sim/AnalogStage.h"

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The first code whose board reading, taken as a loop current (I = 2 U), reaches milliamps.
int32_t FirstCodeAtCurrent(const veska::sim::AnalogStage& stage, double milliamps) {
    for (int32_t c = 0; c < veska::sim::AnalogStage::kCodes; ++c) {
        if (2.0 * stage.BoardVoltsAtCode(c) >= milliamps) return c;
    }
    return -1;
}

class BenchAnalogRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("veskactl-analog-" + std::to_string(::getpid()));
        fs::create_directories(dir / "lang");
        // A stage of 0.05 mm steps for the bench's 50 mm sensor: short sweeps.
        std::ofstream(dir / "Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
    }
    void TearDown() override { fs::remove_all(dir); }

    /// veskactl --simulate bench MODES in dir; the exit code.
    int Run(const std::string& modes) {
        const std::string command = "cd '" + dir.string() + "' && VESKA_USB=sim VESKA_TRACE= '" +
                                    VESKACTL_PATH + "' --simulate --time-scale 2 --language lang" +
                                    " bench " + modes + " --out runs > stdout.txt 2> stderr.txt";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    /// The record of the run of caption: runs/1234_<caption>_<start time>.json.
    fs::path RecordOf(const std::string& caption) const {
        const std::string prefix = "1234_" + caption + "_";
        for (const auto& entry : fs::directory_iterator(dir / "runs")) {
            const std::string name = entry.path().filename().string();
            // Not a chart's data file ("<image>.chart.json"), which lies beside.
            if (name.rfind(prefix, 0) == 0 && entry.path().extension() == ".json" &&
                entry.path().stem().extension() != ".chart") {
                return entry.path();
            }
        }
        return dir / "runs" / (prefix + ".json");
    }
    nlohmann::json Results(const std::string& caption) {
        const nlohmann::json record =
            nlohmann::json::parse(ReadText(RecordOf(caption)), nullptr, false);
        EXPECT_TRUE(record.is_object()) << caption;
        if (!record.is_object()) return nlohmann::json::object();
        EXPECT_EQ(record["completed"], true) << caption << ": " << record.dump();
        return record["results"];
    }

    fs::path dir;
};

TEST_F(BenchAnalogRunTest, EveryAnalogModeNamesWhatItFoundAndAVerificationBothFigures) {
    ASSERT_EQ(Run("4_20mA_Adjustment 4_20mA_Check 0_10V_Check Analog_Line_Check IN_Check "
                  "STREAM_FRQ_Check Synchro_Poverka"),
              0)
        << ReadText(dir / "stderr.txt");
    const veska::sim::AnalogStage stage;  // the simulated sensor's voltage output

    // The adjustment finds the levels of 4 mA and 20 mA (the loop read as I = 2 U).
    const nlohmann::json adjustment = Results("4_20mA_Adjustment");
    EXPECT_NEAR(adjustment.value("bottom_level", -9.0), FirstCodeAtCurrent(stage, 4.0), 1.0);
    EXPECT_NEAR(adjustment.value("top_level", -9.0), FirstCodeAtCurrent(stage, 20.0), 1.0);
    // The checks read the output at those levels, in mA and in V.
    const nlohmann::json current = Results("4_20mA_Check");
    EXPECT_NEAR(current.value("bottom_reading", -9.0), 4.0, 0.02);
    EXPECT_NEAR(current.value("top_reading", -9.0), 20.0, 0.02);
    const nlohmann::json voltage = Results("0_10V_Check");
    EXPECT_NEAR(voltage.value("bottom_reading", -9.0), 2.0, 0.01);
    EXPECT_NEAR(voltage.value("top_reading", -9.0), 10.0, 0.01);
    // A straight output stage: the line's error stays small, since every level is read
    // back from the sensor before the board is read.
    const nlohmann::json line = Results("Analog_Line_Check");
    EXPECT_GE(line.value("error_max_percent", -9.0), 0.0);
    EXPECT_LT(line.value("error_max_percent", 9.0), 0.2);
    EXPECT_LE(line.value("error_min_percent", 9.0), 0.0);
    EXPECT_GT(line.value("error_min_percent", -9.0), -0.2);
    EXPECT_EQ(Results("IN_Check").value("samples", -9.0), 99.0);
    // 115200 bit/s, 44 bits a sample: 2.62 kHz.
    EXPECT_NEAR(Results("STREAM_FRQ_Check").value("rate_khz", -9.0), 115200.0 / 44.0 / 1000.0, 0.1);
    // The digital figure carries the optics' bow; the analog one the straight output stage
    // (the board's noise may put the largest voltage a sample or two into the clip beyond
    // the range's end, a flat of 0.1 mm at most).
    const nlohmann::json verification = Results("Synchro_Poverka");
    EXPECT_GE(verification.value("figure_percent", -9.0), 0.5);
    EXPECT_GT(verification.value("analog_figure_percent", -9.0), 0.0);
    EXPECT_LT(verification.value("analog_figure_percent", 9.0), 0.2);
}

}  // namespace
