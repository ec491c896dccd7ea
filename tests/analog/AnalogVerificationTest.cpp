// The analog half of the verification report on a fake run frame: the board's recording
// read, evaluated, drawn and written beside the digital report.
#include "analog/AnalogVerification.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analog/AnalogReport.h"
#include "bench/BenchModes.h"
#include "tests/bench/FakeRunFrame.h"

namespace veska::analog {
namespace {

namespace fs = std::filesystem;

constexpr float kStep = 0.0125f;  ///< [mm] per sample
constexpr int32_t kRange = 50;    ///< [mm]

/// Board words for voltages with offset 0x8000 and a gain of 1 mV per count.
std::vector<uint8_t> Words(const std::vector<float>& volts) {
    std::vector<uint8_t> bytes;
    for (float v : volts) {
        const auto w = static_cast<uint16_t>(std::lround(v * 1000.0f));
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}

/// A sweep from low to high volts over 4000 samples with a bow of bow volts in the middle,
/// after 12 leading samples.
std::vector<float> Sweep(float low, float high, float bow) {
    std::vector<float> v(12, low);
    for (int i = 0; i < 4100; ++i) {
        const float x = std::min(i, 4000) / 4000.0f;
        v.push_back(low + (high - low) * x + bow * std::sin(3.14159265f * x));
    }
    return v;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class AnalogVerificationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("veska_analog_report_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        frame.texts.Set(lang::Section::Message, 30, "Analog deviation, mm");
        frame.texts.Set(lang::Section::Message, 28, "Position, mm");
        frame.session.conn.measuringRange = kRange;
        frame.session.conn.deviceInfo.serialNumber = 77;
        frame.run.stem = "77";
        frame.run.sampleStep = kStep;
        frame.view.reportFile = (dir / "77_Analog.pvk").string();
        frame.board.gain = 454.5f / 500.0f / 1000.0f;
        frame.board.offset = 0x8000;
    }
    void TearDown() override { fs::remove_all(dir); }

    AnalogReportInput Input() const {
        AnalogReportInput input;
        input.recording = frame.board.recording;
        input.gain = frame.board.gain;
        input.offset = frame.board.offset;
        input.sampleStep = kStep;
        input.rangeMm = kRange;
        return input;
    }

    fs::path dir;
    testing::FakeRunFrame frame{bench::kModePoverka};
};

TEST_F(AnalogVerificationTest, ARecordingWithSpanIsDrawnWrittenAndNamed) {
    frame.board.present = true;
    frame.board.recording = Words(Sweep(0.5f, 9.5f, 0.02f));
    const std::optional<AnalogReport> expected = EvaluateAnalog(Input());
    ASSERT_TRUE(expected);

    ASSERT_TRUE(WriteAnalogReport(frame));
    const double figure = frame.run.results.at("analog_figure_percent");
    EXPECT_FLOAT_EQ(static_cast<float>(figure), expected->figure);
    // A bow of 0.02 V in a span of 9 V over 50 mm: 0.111 mm, half of it in % of 50 mm.
    EXPECT_NEAR(figure, 0.02 / 9.0 * 50.0 * 100.0 / 100.0, 0.02);

    EXPECT_EQ(frame.view.presets, (std::vector<std::string>{"77_Analog.pvk"}));
    EXPECT_EQ(frame.view.images, (std::vector<std::string>{"77_Analog_pvk.bmp 800x400"}));
    EXPECT_EQ(ReadFile(dir / "77_Analog.pvk"), expected->fileText);
    EXPECT_EQ(frame.run.files,
              (std::vector<std::string>{(dir / "77_Analog.pvk").string(), "77_Analog_pvk.bmp"}));
    EXPECT_EQ(frame.view.title, "s/n 77");
    EXPECT_EQ(frame.view.leftTitle, "Analog deviation, mm");
    ASSERT_GE(frame.view.feet.size(), 1u);
    std::ostringstream foot;
    foot << "Analog deviation, mm: " << std::fixed;
    foot.precision(3);
    foot << expected->figure << " %\r\n";
    // The image keeps the foot: the figure, then the date and time.
    EXPECT_EQ(frame.view.feet.back().rfind(foot.str(), 0), 0u) << frame.view.feet.back();
    EXPECT_EQ(frame.view.bottomScale, static_cast<double>(kStep));
    EXPECT_EQ(frame.view.points.size(), expected->points.size());
    EXPECT_EQ(frame.view.labels.at(1), "0.0125");
}

TEST_F(AnalogVerificationTest, NothingHappensWithoutAReportableRecording) {
    struct Case {
        const char* what;
        bool present;
        std::vector<float> volts;
        bool noted;
    };
    const Case cases[] = {
        {"no board", false, Sweep(0.5f, 9.5f, 0.0f), false},
        {"a span of 3.9 V", true, Sweep(0.5f, 4.4f, 0.0f), true},
        {"nothing recorded", true, {}, true},
        {"every voltage 11 V or more", true, std::vector<float>(500, 11.5f), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::FakeRunFrame f{bench::kModePoverka};
        f.session.conn.measuringRange = kRange;
        f.run.sampleStep = kStep;
        f.view.reportFile = (dir / "77_Analog.pvk").string();
        f.board.present = c.present;
        f.board.gain = frame.board.gain;
        f.board.offset = 0x8000;
        f.board.recording = Words(c.volts);
        EXPECT_FALSE(WriteAnalogReport(f));
        EXPECT_EQ(f.run.results.count("analog_figure_percent"), 0u);
        EXPECT_TRUE(f.view.presets.empty());
        EXPECT_TRUE(f.view.images.empty());
        EXPECT_EQ(f.board.readAlls, c.present ? 1 : 0);
        EXPECT_EQ(f.run.notes.size(), c.noted ? 1u : 0u);
    }
    EXPECT_FALSE(fs::exists(dir / "77_Analog.pvk"));
}

TEST_F(AnalogVerificationTest, ACompletedVerificationWritesBothReports) {
    // A stepping Poverka of 5 mm on 0.0125 mm steps: the sensor reads the stage exactly, the
    // board recorded a clean sweep.
    frame.table.recordCount = 2;
    frame.table.stepLength = {kStep, 0.025f};
    frame.table.travelStart = {70, 320};
    frame.table.travelLength = {170, 1060};
    frame.session.conn.baseDistance = 70;
    frame.session.conn.measuringRange = 5;
    frame.encoder.present = false;
    for (int i = 1; i < 600; ++i) frame.results.push_back(static_cast<float>(i) * kStep);
    frame.board.present = true;
    std::vector<float> volts(12, 1.0f);
    for (int i = 0; i < 420; ++i) volts.push_back(1.0f + 8.0f * static_cast<float>(i) / 400.0f);
    frame.board.recording = Words(volts);
    frame.view.reportFile.reset();  // the data files are declined in the dialog

    bench::SweepRun mode{bench::kModePoverka};
    mode.SetAnalogEvaluation(AnalogVerification());
    frame.RunToEnd(mode);
    EXPECT_EQ(frame.board.lives, 1);
    EXPECT_EQ(frame.board.readAlls, 1);
    EXPECT_EQ(frame.view.presets, (std::vector<std::string>{"77_Digital.pvk", "77_Analog.pvk"}));
    EXPECT_EQ(frame.view.images, (std::vector<std::string>{"77_Digital_pvk.bmp 800x400",
                                                           "77_Analog_pvk.bmp 800x400"}));
    EXPECT_EQ(frame.run.results.count("figure_percent"), 1u);
    EXPECT_LT(frame.run.results.at("analog_figure_percent"), 0.01) << "a straight recording";
}

}  // namespace
}  // namespace veska::analog
