// The sequence runner: steps in order, judged, stored with their files, the unit's verdict.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "main/SequenceRunner.h"
#include "results/OpenStore.h"

namespace veska::main {

namespace {

namespace fs = std::filesystem;
using results::Outcome;

constexpr const char* kSequence = R"(
name = "Loop"
[[step]]
name = "Before"
mode = "Poverka"
stop_on_fail = false
  [[step.measurement]]
  name = "figure_percent"
  unit = "%"
[[step]]
name = "Calibrate"
mode = "Calibration"
  [[step.measurement]]
  name = "table_uploaded"
  low = 1
  high = 1
[[step]]
name = "After"
mode = "Poverka"
  [[step.measurement]]
  name = "figure_percent"
  unit = "%"
  high = 0.10
)";

/// Plays back one prepared run per step name, writing a file for each.
class ScriptedDriver final : public StepDriver {
  public:
    explicit ScriptedDriver(fs::path folder) : folder_(std::move(folder)) {}

    StepRunReport RunStep(const station::SequenceStep& step) override {
        ran.push_back(step.name);
        StepRunReport report;
        report.run = runs.at(step.name);
        const fs::path file = folder_ / (step.name + ".json");
        std::ofstream(file) << "{\"step\":\"" << step.name << "\"}";
        report.files = {file.string(), file.string(), (folder_ / "gone.bmp").string()};
        report.started = "2026-12-10T02:00:00.000Z";
        report.ended = "2026-12-10T02:00:05.000Z";
        if (step.name == stopAfter) stop_ = true;
        return report;
    }
    bool StopRequested() const override { return stop_; }

    std::map<std::string, station::StepRun> runs;
    std::vector<std::string> ran;
    std::string stopAfter;

  private:
    fs::path folder_;
    bool stop_ = false;
};

class Recorder final : public SequenceObserver {
  public:
    void StepStarting(size_t index, const station::SequenceStep&) override {
        events.push_back("start " + std::to_string(index));
    }
    void StepJudged(size_t index, const station::SequenceStep&, const station::StepVerdict& verdict,
                    const StoreNote& note) override {
        events.push_back("judged " + std::to_string(index) + " " +
                         results::OutcomeName(verdict.outcome));
        notes.push_back(note);
    }
    void UnitJudged(const station::StepVerdict& verdict, const StoreNote& note) override {
        events.push_back(std::string("unit ") + results::OutcomeName(verdict.outcome));
        notes.push_back(note);
    }
    std::vector<std::string> events;
    std::vector<StoreNote> notes;
};

class SequenceRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() /
            ("veska_runner_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        std::string error;
        sequence_ = station::ParseSequence(kSequence, "loop.toml", error);
        ASSERT_TRUE(sequence_) << error;
        store_ = results::OpenStore("sqlite:" + (folder_ / "results.sqlite").string(), error);
        ASSERT_TRUE(store_) << error;
        driver_ = std::make_unique<ScriptedDriver>(folder_);
        driver_->runs["Before"] = {Outcome::Passed, "", {{"figure_percent", 0.8}}};
        driver_->runs["Calibrate"] = {Outcome::Passed, "", {{"table_uploaded", 1}}};
        driver_->runs["After"] = {Outcome::Passed, "", {{"figure_percent", 0.05}}};
    }
    void TearDown() override { fs::remove_all(folder_); }

    station::UnitContext Unit() const {
        return {results::NewRunId(), "Bench 2", "Ada", "2.0", {20, 1234, 3, 80, 50}, "Loop"};
    }

    fs::path folder_;
    std::optional<station::Sequence> sequence_;
    std::unique_ptr<results::ResultStore> store_;
    std::unique_ptr<ScriptedDriver> driver_;
    Recorder recorder_;
};

TEST_F(SequenceRunnerTest, APassingUnitStoresEveryStepWithItsFilesAndTheUnitVerdict) {
    SequenceRunner runner(*sequence_, Unit(), *store_, recorder_);
    const UnitSummary& summary = runner.Run(*driver_);

    EXPECT_EQ(summary.verdict.outcome, Outcome::Passed);
    EXPECT_EQ(summary.notStored, 0u);
    EXPECT_EQ(driver_->ran, (std::vector<std::string>{"Before", "Calibrate", "After"}));
    EXPECT_EQ(recorder_.events,
              (std::vector<std::string>{"start 0", "judged 0 passed", "start 1", "judged 1 passed",
                                        "start 2", "judged 2 passed", "unit passed"}));
    ASSERT_EQ(summary.stepRunIds.size(), 3u);

    std::string error;
    const auto after = store_->Load(summary.stepRunIds[2], error);
    ASSERT_TRUE(after) << error;
    EXPECT_EQ(after->unitId, summary.unitId);
    EXPECT_EQ(after->step, "After");
    EXPECT_EQ(after->mode, "Poverka");
    EXPECT_EQ(after->operatorName, "Ada");
    EXPECT_EQ(after->started, "2026-12-10T02:00:00.000Z");
    ASSERT_EQ(after->measurements.size(), 1u);
    EXPECT_EQ(after->measurements[0].value, 0.05);
    EXPECT_EQ(after->measurements[0].high, 0.10);
    // The file given twice is kept once; the one that vanished is named, not fatal.
    ASSERT_EQ(after->files.size(), 1u);
    EXPECT_EQ(after->files[0].name, "After.json");
    EXPECT_EQ(std::string(after->files[0].content.begin(), after->files[0].content.end()),
              "{\"step\":\"After\"}");
    EXPECT_NE(recorder_.notes[2].fileProblems.find("gone.bmp"), std::string::npos);

    const auto unit = store_->Load(summary.unitId, error);
    ASSERT_TRUE(unit) << error;
    EXPECT_EQ(unit->outcome, Outcome::Passed);
    EXPECT_TRUE(unit->step.empty());
    EXPECT_EQ(unit->sensor.serial, 1234);
}

TEST_F(SequenceRunnerTest, AFigureOutOfItsLimitFailsTheUnitAndOnlyAStopOnFailStepEndsIt) {
    // The first step does not stop the sequence; the figure after calibration does.
    driver_->runs["Before"] = {Outcome::Failed, "blind sweep", {}};
    driver_->runs["After"] = {Outcome::Passed, "", {{"figure_percent", 0.15}}};
    SequenceRunner runner(*sequence_, Unit(), *store_, recorder_);
    const UnitSummary& summary = runner.Run(*driver_);
    EXPECT_EQ(driver_->ran.size(), 3u);
    EXPECT_EQ(summary.verdict.outcome, Outcome::Failed);

    // A failed calibration ends it there.
    ScriptedDriver second(folder_);
    second.runs = driver_->runs;
    second.runs["Calibrate"] = {Outcome::Passed, "", {{"table_uploaded", 0}}};
    Recorder recorder;
    SequenceRunner stopped(*sequence_, Unit(), *store_, recorder);
    EXPECT_EQ(stopped.Run(second).verdict.outcome, Outcome::Failed);
    EXPECT_EQ(second.ran, (std::vector<std::string>{"Before", "Calibrate"}));
    EXPECT_EQ(recorder.events.back(), "unit failed");
}

TEST_F(SequenceRunnerTest, AStopBetweenStepsOrInsideOneAbortsTheUnitAndStoresIt) {
    driver_->stopAfter = "Before";
    SequenceRunner between(*sequence_, Unit(), *store_, recorder_);
    const UnitSummary& summary = between.Run(*driver_);
    EXPECT_EQ(driver_->ran, (std::vector<std::string>{"Before"}));
    EXPECT_EQ(summary.verdict.outcome, Outcome::Aborted);
    std::string error;
    ASSERT_TRUE(store_->Load(summary.unitId, error));

    ScriptedDriver inside(folder_);
    inside.runs = driver_->runs;
    inside.runs["Calibrate"] = {Outcome::Aborted, "stopped by a signal", {}};
    Recorder recorder;
    SequenceRunner runner(*sequence_, Unit(), *store_, recorder);
    EXPECT_EQ(runner.Run(inside).verdict.outcome, Outcome::Aborted);
    EXPECT_EQ(inside.ran.size(), 2u);
}

TEST_F(SequenceRunnerTest, OnlyTheAnnouncedStepIsRecordedAndFinishStoresTheUnitOnce) {
    SequenceRunner runner(*sequence_, Unit(), *store_, recorder_);
    ASSERT_EQ(runner.Next(), 0u);
    EXPECT_EQ(runner.Next(), 0u);  // asking again announces nothing new
    EXPECT_FALSE(runner.Complete(1, {}));
    EXPECT_TRUE(runner.Complete(0, {{Outcome::Passed, "", {{"figure_percent", 0.3}}}, "", "", {}}));
    const UnitSummary first = runner.Finish();
    EXPECT_EQ(first.verdict.outcome, Outcome::Aborted);  // left before its end
    EXPECT_EQ(runner.Finish().stepRunIds, first.stepRunIds);
    EXPECT_FALSE(runner.Next());
    EXPECT_FALSE(runner.Complete(1, {}));
    EXPECT_EQ(recorder_.events,
              (std::vector<std::string>{"start 0", "judged 0 passed", "unit aborted"}));
}

TEST_F(SequenceRunnerTest, AStoreThatCannotBeWrittenIsCountedAndTheSequenceGoesOn) {
    const fs::path broken = folder_ / "broken.sqlite";
    std::ofstream(broken) << "this is not a database, only text long enough to be read as one";
    std::string error;
    auto store = results::OpenStore("sqlite:" + broken.string(), error);
    ASSERT_TRUE(store) << error;
    SequenceRunner runner(*sequence_, Unit(), *store, recorder_);
    const UnitSummary& summary = runner.Run(*driver_);
    EXPECT_EQ(summary.verdict.outcome, Outcome::Passed);
    EXPECT_EQ(driver_->ran.size(), 3u);
    EXPECT_EQ(summary.notStored, 4u);
    EXPECT_NE(summary.storeProblem.find("broken.sqlite"), std::string::npos)
        << summary.storeProblem;
    // The run's files stay where the bench wrote them.
    EXPECT_TRUE(fs::exists(folder_ / "After.json"));
}

TEST_F(SequenceRunnerTest, ASequenceNotForTheSensorRunsNothingAndIsAnError) {
    std::string error;
    const auto other =
        station::ParseSequence(std::string("types = [99]\n") + kSequence, "other.toml", error);
    ASSERT_TRUE(other) << error;
    SequenceRunner runner(*other, Unit(), *store_, recorder_);
    EXPECT_EQ(runner.Run(*driver_).verdict.outcome, Outcome::Error);
    EXPECT_TRUE(driver_->ran.empty());
}

}  // namespace

}  // namespace veska::main
