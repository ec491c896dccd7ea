#include <gtest/gtest.h>

#include "bench/MotorTable.h"

using veska::bench::ChooseMotorRecord;
using veska::bench::MotorTable;
using veska::bench::ParseMotorTable;

TEST(MotorTableFile, CountsOnlyRecordsFollowedByACharacter) {
    struct Case {
        const char* text;
        int records;
    } cases[] = {
        {"0.0125 270 170\r\n0.025 320 1060\r\n", 2},
        {"0.0125 270 170\r\n0.025 320 1060", 1},
        {"1 1 1\n2 2 2\n3 3 3\n4 4 4\n5 5 5\n6 6 6\n", 5},
        {"", 0},
        {"no digits at all\n", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseMotorTable(c.text).recordCount, c.records) << c.text;
}

TEST(MotorTableFile, AnyNonDigitSeparatesTheNumbers) {
    MotorTable t = ParseMotorTable("x1.5y2z3 ");
    ASSERT_EQ(t.recordCount, 1);
    EXPECT_FLOAT_EQ(t.stepLength[0], 1.5f);
    EXPECT_EQ(t.travelStart[0], 2);
    EXPECT_EQ(t.travelLength[0], 3);

    t = ParseMotorTable(".5 10 20 ");  // the point before the first digit is skipped
    ASSERT_EQ(t.recordCount, 1);
    EXPECT_FLOAT_EQ(t.stepLength[0], 5.0f);
}

TEST(MotorTableFile, ABadNumberKeepsTheRecordsBeforeIt) {
    const MotorTable t = ParseMotorTable("0.0125 270 170\n1 99999999999 1\n");
    EXPECT_EQ(t.recordCount, 1);
    EXPECT_EQ(t.travelLength[0], 170);
}

TEST(MotorTableFile, MissingFileGivesAnEmptyTable) {
    EXPECT_EQ(veska::bench::LoadMotorTable("/nonexistent/Motor.dat").recordCount, 0);
}

TEST(MotorRecord, FirstRecordThatHoldsTheSensorWins) {
    const MotorTable t = ParseMotorTable("0.01 270 170\n0.02 320 1060\n0.03 282 2850\n");
    EXPECT_EQ(ChooseMotorRecord(t, 80, 100), 0);
    EXPECT_EQ(ChooseMotorRecord(t, 300, 1000), 1);
    EXPECT_EQ(ChooseMotorRecord(t, 80, 3000), 3);  // none fits: the record count
    EXPECT_EQ(ChooseMotorRecord(MotorTable{}, 80, 100), 0);
}
