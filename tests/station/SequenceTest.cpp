// Sequence files: the shipped examples, and what a test engineer's mistakes are told.
#include <gtest/gtest.h>

#include <filesystem>

#include "station/Sequence.h"

namespace veska::station {

namespace {

std::optional<Sequence> Parse(const std::string& text, std::string& error) {
    return ParseSequence(text, "test.toml", error);
}

TEST(SequenceFile, TheShippedExamplesParse) {
    const std::filesystem::path folder = std::filesystem::path(VESKA_SOURCE_DIR) / "dist/sequences";
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::string error;
        EXPECT_TRUE(LoadSequenceFile(entry.path().string(), error).has_value()) << error;
        ++files;
    }
    EXPECT_GE(files, 1u);

    std::string error;
    const auto loop = LoadSequenceFile((folder / "full-loop.toml").string(), error);
    ASSERT_TRUE(loop.has_value()) << error;
    std::vector<std::string> modes;
    for (const SequenceStep& step : loop->steps) modes.push_back(step.mode);
    EXPECT_EQ(modes, (std::vector<std::string>{"Poverka", "Calibration", "Poverka",
                                               "0_10V_Adjustment", "0_10V_Check"}));
    EXPECT_FALSE(loop->steps[0].stopOnFail);
    EXPECT_TRUE(loop->steps[1].stopOnFail);
    EXPECT_EQ(loop->steps[2].modeCode, 131);
    ASSERT_EQ(loop->steps[2].measurements.size(), 1u);
    EXPECT_EQ(loop->steps[2].measurements[0].high, 0.10);
    EXPECT_FALSE(loop->steps[2].measurements[0].low.has_value());
}

TEST(SequenceFile, ReadsEveryKeyWithCommentsAndAnyCaseOfTheMode) {
    std::string error;
    const auto sequence = Parse(R"(# a comment
name = "Short"   # trailing comment
types = [20, 21]
ranges = [50]
[[step]]
mode = "line"
seconds = 2.5
ranges = [100]
stop_on_fail = false
  [[step.measurement]]
  name = "rate_khz"
  unit = "kHz"
  low = -1
)",
                                error);
    ASSERT_TRUE(sequence.has_value()) << error;
    EXPECT_EQ(sequence->applies.types, (std::vector{20, 21}));
    const SequenceStep& step = sequence->steps.at(0);
    EXPECT_EQ(step.mode, "Line");
    EXPECT_EQ(step.name, "Line");  // a step's name defaults to its mode
    EXPECT_EQ(step.seconds, 2.5);
    EXPECT_EQ(step.applies.ranges, (std::vector{100}));
    EXPECT_EQ(step.measurements.at(0).low, -1.0);
    EXPECT_EQ(step.measurements.at(0).unit, "kHz");
}

TEST(SequenceFile, MistakesAreNamedWithTheirPlace) {
    struct Case {
        const char* text;
        const char* expected;  // a part of the message
    };
    const Case cases[] = {
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\nstop_on_fial = true\n",
         "test.toml:4:1: unknown key 'stop_on_fial'"},
        {"name = \"x\"\n[[step]]\nmode = \"Proverka\"\n", "'Proverka' is not a bench mode"},
        {"name = \"x\"\n[[step]]\nname = \"a\"\n", "a step needs a mode"},
        {"name = \"x\"\n", "needs [[step]] tables"},
        {"[[step]]\nmode = \"Line\"\n", "the sequence needs a name"},
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\n[[step]]\nmode = \"Poverka\"\n",
         "step name 'Poverka' is used twice"},
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\n[[step.measurement]]\nname = \"f\"\nlow = "
         "2\nhigh = 1\n",
         "low is above high"},
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\n[[step.measurement]]\nname = \"f\"\nhigh = "
         "nan\n",
         "high must be a finite number"},
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\n[[step.measurement]]\nname = \"f\"\nhigh = "
         "\"0.1\"\n",
         "high must be a number"},
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\n[[step.measurement]]\nname = \"f\"\n[[step."
         "measurement]]\nname = \"f\"\n",
         "'f' is judged twice"},
        {"name = \"x\"\n[[step]]\nmode = \"Line\"\nseconds = 0\n", "seconds must be above 0"},
        {"name = \"x\"\ntypes = [20, \"a\"]\n[[step]]\nmode = \"Line\"\n", "types holds whole"},
        {"name = \"x\"\n[[step]]\nmode = \"Poverka\"\nstop_on_fail = 1\n", "true or false"},
        // A mode that never ends by itself would hold the station without a time limit.
        {"name = \"x\"\n[[step]]\nmode = \"AL_Check\"\n",
         "test.toml:2:1: step 'AL_Check': AL_Check runs until it is stopped; give it seconds"},
        {"name = \"x\"\n[[step]\nmode = \"Line\"\n", "test.toml:2:"},
        {"name = \"x\"\nname = \"y\"\n", "test.toml:2:"},
        {"\xff\xfe", "test.toml:1:"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(Parse(c.text, error).has_value()) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.text << "\n -> " << error;
    }
}

TEST(SequenceFile, AMissingFileIsNamed) {
    std::string error;
    EXPECT_FALSE(LoadSequenceFile("/nonexistent/loop.toml", error).has_value());
    EXPECT_EQ(error, "/nonexistent/loop.toml: cannot be read");
}

}  // namespace

}  // namespace veska::station
