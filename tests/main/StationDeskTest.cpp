// The station in the window: a unit through a sequence on the window's own run frame, over
// the virtual bench, judged, stored with its files and shown in the panel's model.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "main/StationDesk.h"
#include "tests/main/VirtualBenchRig.h"
#include "tests/support/ScratchStore.h"

namespace veska::testing {
namespace {

namespace fs = std::filesystem;

class StationDeskTest : public VirtualBenchRunTest {
  protected:
    void SetUp() override {
        VirtualBenchRunTest::SetUp();
        ASSERT_NE(scratch.store, nullptr) << scratch.error;
        scratch.store.reset();  // the desk opens the same file
        state.session.conn.connected = true;
        cycle.writeRunRecords = true;
        desk.SetResultsUrl("sqlite:" + (scratch.folder / "results.sqlite").string());
    }

    std::string WriteSequence(const std::string& text, const std::string& name = "sequence") {
        const fs::path path = scratch.folder / (name + ".toml");
        std::ofstream(path) << text;
        return path.string();
    }
    main::StationRequest Request(const std::string& sequence) {
        return {sequence, "Erika", "bench 3", (scratch.folder / "runs").string()};
    }
    /// Ticks the window's run frame, the desk following after each tick, until the unit ended.
    void RunUnit(int maxTicks = 400000) {
        for (int i = 0; i < maxTicks && desk.Running(); ++i) {
            cycle.TimerMainTimer();
            desk.Continue();
        }
        ASSERT_FALSE(desk.Running());
    }
    std::vector<results::RunResult> Stored() {
        std::string error;
        auto store =
            results::OpenStore("sqlite:" + (scratch.folder / "results.sqlite").string(), error);
        EXPECT_NE(store, nullptr) << error;
        if (store == nullptr) return {};
        const auto listed = store->History({}, error);
        EXPECT_TRUE(listed.has_value()) << error;
        std::vector<results::RunResult> runs;
        for (const results::RunResult& run : listed.value_or(std::vector<results::RunResult>{})) {
            // The list leaves the files out; the whole result has them.
            if (auto whole = store->Load(run.runId, error)) runs.push_back(std::move(*whole));
        }
        return runs;
    }

    ScratchStore scratch{"station_desk_"};
    main::StationDesk desk{state, cycle, window, view};
};

bool HasFileEnding(const results::RunResult& run, const std::string& ending) {
    for (const results::StoredFile& f : run.files) {
        if (f.name.size() >= ending.size() &&
            f.name.compare(f.name.size() - ending.size(), ending.size(), ending) == 0 &&
            !f.content.empty()) {
            return true;
        }
    }
    return false;
}

TEST_F(StationDeskTest, AUnitRunsStepByStepIsJudgedAndStoredWithEveryFileUnasked) {
    const std::string sequence = WriteSequence(R"(name = "Two verifications"
[[step]]
name = "Loose"
mode = "Poverka"
stop_on_fail = false
  [[step.measurement]]
  name = "figure_percent"
  unit = "%"
  high = 5.0
[[step]]
name = "Strict"
mode = "Poverka"
  [[step.measurement]]
  name = "figure_percent"
  unit = "%"
  high = 0.001
)");
    ASSERT_TRUE(desk.Start(Request(sequence))) << desk.Model().message;
    EXPECT_TRUE(desk.Model().running);
    EXPECT_EQ(window.Model().station.steps.at(0).outcome, "running");
    RunUnit();

    const main::StationModel& model = window.Model().station;
    EXPECT_FALSE(model.running);
    ASSERT_EQ(model.steps.size(), 2u);
    EXPECT_EQ(model.steps[0].outcome, "passed") << model.steps[0].reason;
    EXPECT_EQ(model.steps[1].outcome, "failed");
    EXPECT_NE(model.steps[1].measurements.find("figure_percent"), std::string::npos);
    EXPECT_NE(model.steps[1].reason.find("above its limit"), std::string::npos);
    EXPECT_EQ(model.verdict, "FAILED");
    EXPECT_EQ(model.serial, "1234");
    EXPECT_FALSE(model.unitId.empty());
    // Nobody was asked where the reports go.
    EXPECT_TRUE(view.reportPresets.empty());

    const auto runs = Stored();
    ASSERT_EQ(runs.size(), 3u);  // two steps and the unit
    int steps = 0;
    for (const results::RunResult& run : runs) {
        EXPECT_EQ(run.operatorName, "Erika");
        EXPECT_EQ(run.station, "bench 3");
        if (run.step.empty()) {
            EXPECT_EQ(run.runId, model.unitId);
            EXPECT_EQ(run.outcome, results::Outcome::Failed);
            continue;
        }
        ++steps;
        EXPECT_EQ(run.unitId, model.unitId);
        // The run's record, its report data and the chart's data (the fake view draws no
        // image).
        EXPECT_TRUE(HasFileEnding(run, ".pvk")) << run.step;
        EXPECT_TRUE(HasFileEnding(run, ".chart.json")) << run.step;
        EXPECT_EQ(run.files.size(), 3u) << run.step;  // and the run's record
        EXPECT_TRUE(HasFileEnding(run, ".json")) << run.step;
    }
    EXPECT_EQ(steps, 2);
    // The certificate is made from the store alone.
    std::string error;
    const std::string pdf = (scratch.folder / "unit.pdf").string();
    EXPECT_TRUE(desk.WriteCertificate(pdf, error)) << error;
    EXPECT_GT(fs::file_size(pdf), 1000u);
}

TEST_F(StationDeskTest, AStopEndsTheRunningStepAbortedAndNoFurtherStepRuns) {
    const std::string sequence = WriteSequence(R"(name = "Moves"
[[step]]
mode = "Motion_End"
[[step]]
mode = "Motion_Home"
)");
    state.benchModeCode = bench::kModeScan;  // the bench form's choice
    ASSERT_TRUE(desk.Start(Request(sequence))) << desk.Model().message;
    for (int i = 0; i < 20 && cycle.Running(); ++i) cycle.TimerMainTimer();
    ASSERT_TRUE(cycle.Running());
    // Another store chosen meanwhile takes the next unit; this one ends where it began.
    desk.SetResultsUrl("sqlite:" + (scratch.folder / "other.sqlite").string());
    desk.Stop();

    EXPECT_FALSE(desk.Running());
    EXPECT_FALSE(cycle.Running());
    const main::StationModel& model = window.Model().station;
    EXPECT_EQ(model.verdict, "ABORTED");
    EXPECT_EQ(model.steps.at(0).outcome, "aborted");
    EXPECT_EQ(model.steps.at(1).outcome, "not run");
    EXPECT_EQ(state.benchModeCode, bench::kModeScan);
    const auto runs = Stored();
    ASSERT_EQ(runs.size(), 2u);
    for (const results::RunResult& run : runs) EXPECT_EQ(run.outcome, results::Outcome::Aborted);
    EXPECT_FALSE(fs::exists(scratch.folder / "other.sqlite"));
    desk.storeBenchRuns = true;
    ASSERT_TRUE(RunMode(bench::kModeMotionHome));
    EXPECT_TRUE(fs::exists(scratch.folder / "other.sqlite"));
}

TEST_F(StationDeskTest, ASensorLostMidStepEndsTheUnitAsAnErrorAndStoresIt) {
    const std::string sequence = WriteSequence(R"(name = "Moves"
[[step]]
mode = "Motion_End"
stop_on_fail = false
[[step]]
mode = "Motion_Home"
)");
    ASSERT_TRUE(desk.Start(Request(sequence))) << desk.Model().message;
    for (int i = 0; i < 20 && cycle.Running(); ++i) cycle.TimerMainTimer();
    ASSERT_TRUE(cycle.Running());
    // The answer watchdog gives the sensor up: the run is abandoned, the connection gone.
    bench.Sensor().SetSilent(true);
    cycle.AbandonRun();
    state.session.conn.connected = false;
    desk.Continue();

    EXPECT_FALSE(desk.Running());
    const main::StationModel& model = window.Model().station;
    EXPECT_EQ(model.steps.at(0).outcome, "error");
    EXPECT_NE(model.steps.at(0).reason.find("sensor lost"), std::string::npos);
    EXPECT_EQ(model.steps.at(1).outcome, "error");  // it could not start
    EXPECT_NE(model.steps.at(1).reason.find("not connected"), std::string::npos);
    EXPECT_EQ(model.verdict, "ERROR");
    EXPECT_EQ(Stored().size(), 3u);
    EXPECT_FALSE(bench.GetStage().Moving(sim::World::SteadyClock::now()));
}

TEST_F(StationDeskTest, AStepWithSecondsEndsByItsTimeLimit) {
    // An endless mode keeps its outcome; a mode cut short before its own end is stopped.
    const std::string sequence = WriteSequence(R"(name = "Timed"
[[step]]
mode = "Line"
seconds = 0.5
[[step]]
mode = "Motion_End"
seconds = 0.05
)");
    ASSERT_TRUE(desk.Start(Request(sequence))) << desk.Model().message;
    for (int i = 0; i < 100000 && desk.Running(); ++i) {
        clock.now += 1;  // the run's own clock moves on
        cycle.TimerMainTimer();
        desk.Continue();
    }
    ASSERT_FALSE(desk.Running());
    const main::StationModel& model = window.Model().station;
    EXPECT_EQ(model.steps.at(0).outcome, "passed") << model.steps.at(0).reason;
    EXPECT_EQ(model.steps.at(1).outcome, "aborted");
    EXPECT_NE(model.steps.at(1).reason.find("the time limit ran out"), std::string::npos)
        << model.steps.at(1).reason;
    EXPECT_EQ(model.verdict, "ABORTED");
}

TEST_F(StationDeskTest, AStartIsRefusedWithItsReasonBeforeAnythingRuns) {
    const std::string good = WriteSequence("name = \"One\"\n[[step]]\nmode = \"Motion_Home\"\n");
    struct Case {
        std::function<void(main::StationRequest&)> change;
        std::string expected;
    };
    const Case cases[] = {
        {[](main::StationRequest& r) { r.operatorName.clear(); }, "operator"},
        {[](main::StationRequest& r) { r.sequenceFile += ".missing"; }, "cannot be read"},
        {[this](main::StationRequest& r) {
             r.sequenceFile =
                 WriteSequence("name = \"Endless\"\n[[step]]\nmode = \"Line\"\n", "endless");
         },
         "runs until it is stopped"},
        {[this](main::StationRequest& r) {
             std::ofstream(scratch.folder / "a-file") << "x";
             r.folder = (scratch.folder / "a-file" / "runs").string();
         },
         "cannot be written"},
    };
    for (const Case& c : cases) {
        main::StationRequest request = Request(good);
        c.change(request);
        EXPECT_FALSE(desk.Start(request));
        EXPECT_NE(window.Model().station.message.find(c.expected), std::string::npos)
            << window.Model().station.message;
        EXPECT_FALSE(cycle.Running());
    }
    // A store that cannot be opened refuses too, and no sensor at all.
    desk.SetResultsUrl("mysql://nowhere");
    EXPECT_FALSE(desk.Start(Request(good)));
    EXPECT_NE(window.Model().station.message.find("results store"), std::string::npos);
    state.session.conn.connected = false;
    EXPECT_FALSE(desk.Start(Request(good)));
    EXPECT_NE(window.Model().station.message.find("no sensor"), std::string::npos);
    EXPECT_TRUE(Stored().empty());
}

TEST_F(StationDeskTest, ABenchRunOutsideASequenceIsStoredAndAStoreFaultIsShown) {
    desk.storeBenchRuns = true;
    desk.SetOperator("Erika");
    ASSERT_TRUE(RunMode(bench::kModeMotionHome));
    auto runs = Stored();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].mode, "Motion_Home");
    EXPECT_EQ(runs[0].operatorName, "Erika");
    EXPECT_TRUE(runs[0].sequence.empty());

    // A store that cannot be opened: the operator is told, the files stay.
    desk.SetResultsUrl("mysql://nowhere");
    view.messages.clear();
    ASSERT_TRUE(RunMode(bench::kModeMotionHome));
    ASSERT_FALSE(view.messages.empty());
    EXPECT_NE(view.messages.back().text.find("was not stored"), std::string::npos);
}

}  // namespace
}  // namespace veska::testing
