// Judging a run's figures and a unit's way through a sequence.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "station/Judge.h"
#include "station/StationRecord.h"

namespace veska::station {

namespace {

using results::Outcome;

Limit Between(const char* name, std::optional<double> low, std::optional<double> high) {
    return {name, "%", low, high};
}

TEST(Judge, LimitsAreInclusiveAndAMissingOrNonFiniteFigureIsAnError) {
    struct Case {
        std::optional<double> low, high;
        double value;
        Outcome expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {std::nullopt, 0.10, 0.10, Outcome::Passed},
        {std::nullopt, 0.10, 0.1000001, Outcome::Failed},
        {-0.2, 0.2, -0.2, Outcome::Passed},
        {-0.2, 0.2, -0.21, Outcome::Failed},
        {1, 1, 1, Outcome::Passed},
        {1, 1, 0, Outcome::Failed},
        {std::nullopt, std::nullopt, -1e9, Outcome::Passed},
        {-0.2, 0.2, nan, Outcome::Error},
        {std::nullopt, 0.1, -inf, Outcome::Error},
    };
    for (const Case& c : cases) {
        const auto m = JudgeMeasurement(Between("f", c.low, c.high), {{"f", c.value}});
        EXPECT_EQ(m.outcome, c.expected) << c.value;
        EXPECT_EQ(m.value.has_value(), std::isfinite(c.value));
    }
    const auto missing = JudgeMeasurement(Between("f", 0, 1), {{"other", 0.5}});
    EXPECT_EQ(missing.outcome, Outcome::Error);
    EXPECT_FALSE(missing.value.has_value());
    EXPECT_EQ(missing.low, 0.0);  // the limits are recorded whatever the figure
}

TEST(Judge, AStepTakesTheRunsOwnEndBeforeItsFigures) {
    SequenceStep step;
    step.measurements = {Between("figure_percent", std::nullopt, 0.1),
                         Between("analog_figure_percent", std::nullopt, 0.2)};
    const std::map<std::string, double> bad = {{"figure_percent", 0.15}};

    const StepVerdict failed = JudgeStep(step, {Outcome::Passed, "", bad});
    EXPECT_EQ(failed.outcome, Outcome::Failed);  // a figure out beats a figure missing
    EXPECT_EQ(failed.reason, "figure_percent 0.15 % above its limit 0.1 %");
    EXPECT_EQ(failed.measurements.size(), 2u);

    const StepVerdict missing = JudgeStep(step, {Outcome::Passed, "", {{"figure_percent", 0.05}}});
    EXPECT_EQ(missing.outcome, Outcome::Error);
    EXPECT_EQ(missing.reason, "the run gave no analog_figure_percent");

    const StepVerdict stopped = JudgeStep(step, {Outcome::Aborted, "", bad});
    EXPECT_EQ(stopped.outcome, Outcome::Aborted);
    EXPECT_EQ(stopped.reason, "stopped by the operator");
    EXPECT_EQ(stopped.measurements[0].outcome, Outcome::Failed);  // still recorded

    const StepVerdict error =
        JudgeStep(step, {Outcome::Error, "the stage did not come to rest", {}});
    EXPECT_EQ(error.outcome, Outcome::Error);
    EXPECT_EQ(error.reason, "the stage did not come to rest");

    EXPECT_EQ(JudgeStep(SequenceStep{}, {Outcome::Passed, "", {}}).outcome, Outcome::Passed);
}

TEST(Judge, TheUnitIsFailedBeforeErrorBeforeAborted) {
    EXPECT_EQ(CombineOutcomes({Outcome::Passed, Outcome::Aborted, Outcome::Error}), Outcome::Error);
    EXPECT_EQ(CombineOutcomes({Outcome::Error, Outcome::Failed, Outcome::Aborted}),
              Outcome::Failed);
    EXPECT_EQ(CombineOutcomes({Outcome::Passed, Outcome::Aborted}), Outcome::Aborted);
    EXPECT_EQ(CombineOutcomes({Outcome::Passed, Outcome::Passed}), Outcome::Passed);
    EXPECT_EQ(CombineOutcomes({}), Outcome::Error);  // nothing judged is no pass
}

Sequence Loop() {
    Sequence s;
    s.name = "Loop";
    const auto step = [](const char* name, bool stop, Limit limit) {
        SequenceStep st;
        st.name = name;
        st.mode = "Poverka";
        st.stopOnFail = stop;
        st.measurements = {limit};
        return st;
    };
    s.steps = {step("before", false, Between("figure_percent", std::nullopt, 0.1)),
               step("calibrate", true, Between("table_uploaded", 1, 1)),
               step("after", true, Between("figure_percent", std::nullopt, 0.1))};
    return s;
}

const results::SensorIdentity kSensor{20, 1234, 0, 80, 50};

TEST(Progress, AFailedStepStopsTheSequenceOnlyWhereItSaysSo) {
    const Sequence loop = Loop();
    SequenceProgress p(loop, kSensor);
    ASSERT_EQ(p.NextStep(), 0u);
    p.Record(0, {Outcome::Passed, "", {{"figure_percent", 3.0}}});  // goes on
    ASSERT_EQ(p.NextStep(), 1u);
    EXPECT_EQ(p.Record(0, {Outcome::Passed, "", {}}), nullptr);   // not the step that runs
    p.Record(1, {Outcome::Passed, "", {{"table_uploaded", 0}}});  // stops
    EXPECT_TRUE(p.Finished());
    EXPECT_EQ(p.Steps()[2].kind, SequenceProgress::StepState::Kind::NotRun);
    const StepVerdict unit = p.UnitVerdict();
    EXPECT_EQ(unit.outcome, Outcome::Failed);
    EXPECT_EQ(unit.reason, "before: figure_percent 3 % above its limit 0.1 %");
}

TEST(Progress, AUnitPassesOnlyWhenEveryStepForItRanAndPassed) {
    Sequence loop = Loop();
    loop.steps[0].applies.types = {99};  // not for this sensor: skipped
    SequenceProgress p(loop, kSensor);
    ASSERT_EQ(p.NextStep(), 1u);
    p.Record(1, {Outcome::Passed, "", {{"table_uploaded", 1}}});
    EXPECT_EQ(p.UnitVerdict().outcome, Outcome::Aborted);  // left before its last step
    p.Record(2, {Outcome::Passed, "", {{"figure_percent", 0.1}}});
    EXPECT_TRUE(p.Finished());
    EXPECT_EQ(p.UnitVerdict().outcome, Outcome::Passed);
    EXPECT_EQ(p.Steps()[0].kind, SequenceProgress::StepState::Kind::NotForSensor);
}

TEST(Progress, AStopByTheOperatorEndsTheSequenceAsAborted) {
    const Sequence loop = Loop();
    SequenceProgress p(loop, kSensor);
    p.Record(0, {Outcome::Aborted, "", {}});
    EXPECT_TRUE(p.Finished());  // even though the step would go on after a failure
    EXPECT_EQ(p.UnitVerdict().outcome, Outcome::Aborted);
    EXPECT_EQ(p.UnitVerdict().reason, "before: stopped by the operator");
}

TEST(Progress, ASequenceNotForTheSensorIsAnErrorNotAPass) {
    Sequence loop = Loop();
    loop.applies.ranges = {100};
    SequenceProgress wrongRange(loop, kSensor);
    EXPECT_FALSE(wrongRange.Applies());
    EXPECT_TRUE(wrongRange.Finished());
    EXPECT_EQ(wrongRange.UnitVerdict().outcome, Outcome::Error);
    EXPECT_NE(wrongRange.UnitVerdict().reason.find("range 50 mm"), std::string::npos);

    Sequence noStep = Loop();
    for (SequenceStep& s : noStep.steps) s.applies.types = {99};
    SequenceProgress none(noStep, kSensor);
    EXPECT_TRUE(none.Finished());
    EXPECT_EQ(none.UnitVerdict().outcome, Outcome::Error);
}

TEST(StationRecords, StepsShareTheUnitsIdAndCarryTheirVerdict) {
    const Sequence loop = Loop();
    const UnitContext unit{results::NewRunId(), "bench 1", "op", "2.0", kSensor, loop.name};
    const StepVerdict verdict =
        JudgeStep(loop.steps[2], {Outcome::Passed, "", {{"figure_percent", 0.2}}});
    const results::RunResult step =
        StepRecord(unit, loop.steps[2], verdict, "2026-03-01T08:00:00.000Z",
                   "2026-03-01T08:05:00.000Z", {{"1234_Poverka.pvk", {'x'}}});
    EXPECT_EQ(step.unitId, unit.unitId);
    EXPECT_NE(step.runId, unit.unitId);
    EXPECT_EQ(step.step, "after");
    EXPECT_EQ(step.outcome, Outcome::Failed);
    EXPECT_EQ(step.measurements, verdict.measurements);

    const results::RunResult whole =
        UnitRecord(unit, verdict, "2026-03-01T08:00:00.000Z", "2026-03-01T08:30:00.000Z");
    EXPECT_EQ(whole.runId, unit.unitId);
    EXPECT_TRUE(whole.step.empty());
    EXPECT_NE(results::NewRunId(), results::NewRunId());
}

}  // namespace

}  // namespace veska::station
