#include <gtest/gtest.h>

#include "bench/MotionTiming.h"
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
    const char* texts[] = {
        "0.0125 270 170\n1 99999999999 1\n",  // a whole number beyond 32 bits
        "0.0125 270 170\n1.2.3 1 1\n",        // a step run that is not one number
        "0.0125 270 170\n1 2 99999999999\n",
    };
    for (const char* text : texts) {
        const MotorTable t = ParseMotorTable(text);
        EXPECT_EQ(t.recordCount, 1) << text;
        EXPECT_EQ(t.travelLength[0], 170) << text;
        EXPECT_EQ(t.stepLength[1], 0.0f) << text;
    }
}

TEST(MotorTableFile, NumbersMayEndInAPointAndSignsSeparate) {
    const MotorTable t = ParseMotorTable("5. -270 +170\t");
    ASSERT_EQ(t.recordCount, 1);
    EXPECT_FLOAT_EQ(t.stepLength[0], 5.0f);
    EXPECT_EQ(t.travelStart[0], 270);
    EXPECT_EQ(t.travelLength[0], 170);
}

TEST(MotorTableFile, EveryNumberThatRunsToTheEndIsNotTaken) {
    struct Case {
        const char* text;
        int records;
    } cases[] = {
        {"1 2 3 4", 1},       // the second record's step length runs to the end
        {"1 2 3 4 5", 1},     // its start runs to the end
        {"1 2 3 4 5 6", 1},   // its length runs to the end
        {"1 2 3 4 5 6x", 2},  // any character after the last number counts
        {"1 2", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseMotorTable(c.text).recordCount, c.records) << c.text;
}

TEST(MotorTableFile, TheShippedTableFitsTheSimulatedSensor) {
    const MotorTable t = veska::bench::LoadMotorTable(VESKA_SOURCE_DIR "/Motor.dat");
    ASSERT_EQ(t.recordCount, 2);
    // The virtual bench's default sensor: base 80 mm, range 50 mm, on the first stage,
    // whose home lies before the range so that a positioning move reaches its start.
    EXPECT_EQ(ChooseMotorRecord(t, 80, 50), 0);
    EXPECT_LT(t.travelStart[0], 80);
    EXPECT_EQ(ChooseMotorRecord(t, 300, 1000), 1);
}

TEST(MotorTableFile, FoundInTheCurrentDirectoryElseInTheDataFolder) {
    const std::string source = VESKA_SOURCE_DIR;
    EXPECT_EQ(veska::bench::FindMotorTableFile(source, "/nonexistent"), source + "/Motor.dat");
    EXPECT_EQ(veska::bench::FindMotorTableFile("/nonexistent", source), source + "/Motor.dat");
    EXPECT_EQ(veska::bench::FindMotorTableFile("/nonexistent", ""), "/nonexistent/Motor.dat");
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

TEST(MotorRecord, HugeTravelNumbersDoNotOverflow) {
    const MotorTable t = ParseMotorTable("0.01 2147483647 2147483647\n");
    ASSERT_EQ(t.recordCount, 1);
    EXPECT_EQ(ChooseMotorRecord(t, 32767, 32767), 0);
}

TEST(MotorTableFile, RecordsWithValuesNoStageHasAreRefusedByNameAndValue) {
    const MotorTable t = ParseMotorTable(
        "0.0125 70 170\n0.0000001 70 170\n2 70 170\n0.0125 70 0\n0.0125 99999 170\n");
    ASSERT_EQ(t.recordCount, 5) << "a refused record keeps its place";
    EXPECT_TRUE(t.refusal[0].empty()) << t.refusal[0];
    EXPECT_EQ(t.refusal[1],
              "Motor.dat record 1: step length 0.0000001 mm is not plausible (0.0001 to 1 mm)");
    EXPECT_NE(t.refusal[2].find("record 2: step length 2 mm"), std::string::npos) << t.refusal[2];
    EXPECT_NE(t.refusal[3].find("record 3: travel 0 mm"), std::string::npos) << t.refusal[3];
    EXPECT_NE(t.refusal[4].find("record 4: travel start 99999 mm"), std::string::npos)
        << t.refusal[4];
    // A refused record moves nothing; the others do.
    EXPECT_TRUE(veska::bench::UsableRecord(t, 0));
    for (int i = 1; i < 5; ++i) EXPECT_FALSE(veska::bench::UsableRecord(t, i)) << i;
    // More steps than the controller counts in one move.
    EXPECT_NE(ParseMotorTable("0.0001 70 9000\n").refusal[0].find("more steps"), std::string::npos);
    // The shipped stages are plausible.
    const MotorTable shipped = ParseMotorTable("0.0125 70 170\n0.025 320 1060\n");
    EXPECT_TRUE(shipped.refusal[0].empty() && shipped.refusal[1].empty());
}
