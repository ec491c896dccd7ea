// The motion timing of a run start, the positioning move, the sweep increments and the
// step counts of the long moves, in single precision where the stage's numbers are.
#include <gtest/gtest.h>

#include "bench/BenchModes.h"
#include "bench/MotionTiming.h"
#include "bench/MotorTable.h"

namespace veska::bench {
namespace {

MotorTable Table(std::initializer_list<std::tuple<float, int32_t, int32_t>> records) {
    MotorTable t;
    for (const auto& [step, start, length] : records) {
        t.stepLength[t.recordCount] = step;
        t.travelStart[t.recordCount] = start;
        t.travelLength[t.recordCount] = length;
        ++t.recordCount;
    }
    return t;
}

TEST(MotionTimingTest, PeriodTravelTimeAndAveraging) {
    const MotorTable two = Table({{0.0125f, 70, 170}, {0.025f, 320, 1060}});
    const MotorTable one = Table({{0.0125f, 70, 170}});
    const MotorTable three = Table({{0.0125f, 70, 170}, {0.0125f, 0, 500}, {0.025f, 320, 1060}});
    const auto r10 = static_cast<uint32_t>(
        static_cast<double>(static_cast<float>(160.0L * 0.128L / 1700.0L + 0.002L)) * 1e6);
    struct Case {
        const char* name;
        const MotorTable* table;
        int record;
        int32_t range;
        uint32_t micros;
        int32_t averaging;
    };
    const Case cases[] = {
        {"R 10 on record 0", &two, 0, 10, r10, 3},
        {"R 170 on record 0", &two, 0, 170, 2000, 1},
        {"record 0 is the last", &one, 0, 170, 4999, 0},
        {"travel time 24 s", &three, 1, 100, 2000, 2},
        {"last record", &two, 1, 1000, 4999, 0},
    };
    for (const Case& c : cases) {
        const MotionTiming t = ComputeMotionTiming(*c.table, c.record, c.range);
        EXPECT_EQ(t.stepPeriodMicros, c.micros) << c.name;
        EXPECT_EQ(t.encoderAveraging, c.averaging) << c.name;
    }
    EXPECT_EQ(r10, 14047u);
    EXPECT_NEAR(ComputeMotionTiming(three, 1, 100).travelTime, 24.0f, 1e-3f);
}

TEST(MotionTimingTest, NoRecordLeavesTheTimingDefinedWithoutDividing) {
    const MotorTable empty;
    const MotionTiming t = ComputeMotionTiming(empty, 0, 50);
    EXPECT_EQ(t.stepLength, 0.0f);
    EXPECT_EQ(t.travelTime, 0.0f);
    EXPECT_EQ(t.encoderAveraging, 0);
    EXPECT_GT(t.stepPeriodMicros, 2000u);
    const MotionTiming outside = ComputeMotionTiming(Table({{0.0125f, 70, 170}}), 1, 50);
    EXPECT_EQ(outside.travelTime, 0.0f);
    EXPECT_EQ(ComputeMotionTiming(empty, 0, 0).stepPeriodMicros,
              2000u);  // no range: no period rule
}

TEST(MotionTimingTest, PositioningDistance) {
    const MotorTable t = Table({{0.0125f, 270, 170}});
    struct Case {
        int32_t base, range;
        bool needed;
        double mm;
    };
    const Case cases[] = {{300, 100, true, 30.0},
                          {300, 150, true, 20.0},
                          {300, 170, false, 0.0},
                          {260, 100, false, 0.0}};
    for (const Case& c : cases) {
        const Positioning p = ComputePositioning(t, 0, c.base, c.range);
        EXPECT_EQ(p.needed, c.needed) << c.base << " " << c.range;
        EXPECT_DOUBLE_EQ(p.distanceMm, c.mm);
        if (c.needed) {
            EXPECT_EQ(p.steps, static_cast<uint32_t>(c.mm / 0.0125f + 1.0)) << c.mm;
        }
    }
    EXPECT_FALSE(ComputePositioning(MotorTable{}, 0, 300, 100).needed);
}

TEST(MotionTimingTest, LongMoveStepCountsUseSinglePrecision) {
    EXPECT_EQ(ScanMode::MoveSteps(0.16117647f), 634u);
    EXPECT_EQ(ScanMode::MoveSteps(0.0125f), 8015u + 13u);
    EXPECT_EQ(SynchronousMoveSteps(0.0125f, 100, 1.001), 8028u);
    EXPECT_EQ(SynchronousMoveSteps(0.0f, 100, 1.001), 13u);
}

TEST(MotionTimingTest, SweepIncrements) {
    const MotorTable first = Table({{0.0125f, 70, 170}, {0.025f, 320, 1060}});
    const MotorTable middle = Table({{0.0125f, 70, 170}, {0.025f, 320, 1060}, {0.05f, 0, 3000}});
    const MotorTable longLast = Table({{0.0125f, 70, 170}, {0.16117647f, 100, 3000}});
    struct Case {
        const char* name;
        const MotorTable* table;
        int record;
        int32_t range;
        uint32_t n;
        float step;
        bool lastPeriod;
    };
    const Case cases[] = {
        {"n = 1", &first, 0, 100, 1, 0.0125f, false},
        {"n raised to 3", &middle, 1, 1000, 3, 3 * 0.025f, false},
        {"n raised to 10", &longLast, 1, 2000, 10, 10 * 0.16117647f, true},
    };
    for (const Case& c : cases) {
        const MotionTiming timing = ComputeMotionTiming(*c.table, c.record, c.range);
        const SweepIncrement inc =
            ComputeSweepIncrement(false, *c.table, c.record, c.range, timing);
        EXPECT_EQ(inc.stepCount, c.n) << c.name;
        EXPECT_FLOAT_EQ(inc.sampleStep, c.step) << c.name;
        EXPECT_EQ(inc.periodMicros, c.lastPeriod ? timing.stepPeriodMicros : 2000u) << c.name;
    }
    for (int32_t range = 100; range <= 1500; range += 250) {  // n 1..6 on record 1 all become 3
        const MotionTiming timing = ComputeMotionTiming(middle, 1, range);
        EXPECT_EQ(ComputeSweepIncrement(false, middle, 1, range, timing).stepCount, 3u) << range;
    }
    const SweepIncrement sync =
        ComputeSweepIncrement(true, first, 0, 100, ComputeMotionTiming(first, 0, 100));
    EXPECT_EQ(sync.stepCount, 1u);
    EXPECT_FLOAT_EQ(sync.sampleStep, 0.0125f);
}

TEST(MotionTimingTest, SteppingCalibrationEndsAtThe8060thSample) {
    EXPECT_FALSE(SweepComplete(8059, 0.0125f, 100, 1.005));
    EXPECT_TRUE(SweepComplete(8060, 0.0125f, 100, 1.005));
}

}  // namespace
}  // namespace veska::bench
