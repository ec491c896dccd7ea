// What the sensor holds, and the marks of the grid rows whose working value is not on it.
#include "params/SensorSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestTexts.h"
#include "params/ParamGrid.h"

namespace veska::params {
namespace {

class RecordingMarks : public GridObserver {
  public:
    void GridRebuilt() override { ++rebuilds; }
    void CellChanged(int) override {}
    void MarkChanged(int param) override { marked.push_back(param); }
    int rebuilds = 0;
    std::vector<int> marked;
};

class SensorSetTest : public ::testing::Test {
  protected:
    /// The sensor and the grid agree on every row, as after a connect.
    void Connected() {
        for (int i = 0; i < kParamCount; ++i) {
            values.workValues[i] = table[i].minimum < 0 ? 0 : table[i].minimum;
            LearnSensorValue(table, values.sensorSet, i, values.workValues[i]);
        }
        BuildParamGrid(grid, values, divisor);
        grid.SetObserver(&observer);
    }

    lang::TextTable texts = test::TestTexts();
    ParamTable table = BuiltInParamTable();
    ValueStores values;
    ParamGrid grid{table, texts};
    uint16_t divisor = 1;
    RecordingMarks observer;
};

TEST_F(SensorSetTest, NothingCountsBeforeAnyContactWithASensor) {
    values.workValues[9] = 1234;
    EXPECT_TRUE(UnsentRows(table, values).empty());
    LearnSensorValue(table, values.sensorSet, 0, 0);
    const std::vector<int> rows = UnsentRows(table, values);
    ASSERT_EQ(rows.size(), 36u) << "rows the sensor has not told count once it has told one";
    EXPECT_EQ(rows.front(), 1);
}

TEST_F(SensorSetTest, RowsCompareTheBitsTheyStandFor) {
    struct Case {
        const char* name;
        int row;
        int32_t sensor;  // what the sensor told
        int32_t work;
        bool unsent;
    };
    const Case cases[] = {
        {"same value", 9, 100, 100, false},
        {"edited value", 9, 100, 200, true},
        {"-5 in a 2-byte row is 65531 on the sensor", 35, 65531, -5, false},
        {"921600 as 384 is 128 on the sensor", 2, 128, 384, false},
        {"9600 against 115200", 2, 48, 4, true},
        {"4-byte row uses all bits", 22, -1, -1, false},
        {"row 4: bit 0 only, other bits differ", 4, 0x00, 0x60, false},
        {"row 4: bit 0 differs", 4, 0x00, 0x01, true},
        {"row 5: AL bits differ", 5, 0x00, 0x04, true},
        {"row 5: bit 0 does not belong to it", 5, 0x00, 0x01, false},
        {"row 21: CAN bits 4 and 0", 21, 0x00, 0x10, true},
        {"row 8: averaging bit", 8, 0x20, 0x00, true},
        {"row 6: window bit", 6, 0x02, 0x02, false},
    };
    for (const Case& c : cases) {
        ValueStores v;
        LearnSensorValue(table, v.sensorSet, c.row, c.sensor);
        v.workValues[c.row] = c.work;
        EXPECT_EQ(RowUnsent(table, v, c.row), c.unsent) << c.name;
    }
}

TEST_F(SensorSetTest, LearningOneControlByteRowTeachesAllFiveAndForgettingForgetsThem) {
    LearnSensorValue(table, values.sensorSet, 4, 0x45);
    for (int row : {4, 5, 6, 8, 21}) {
        EXPECT_TRUE(values.sensorSet.known[row]) << row;
        EXPECT_EQ(values.sensorSet.value[row], 0x45u) << row;
    }
    EXPECT_FALSE(values.sensorSet.known[3]);
    ForgetSensorValue(table, values.sensorSet, 21);
    for (int row : {4, 5, 6, 8, 21}) EXPECT_FALSE(values.sensorSet.known[row]) << row;
    EXPECT_TRUE(values.sensorSet.contact);
}

TEST_F(SensorSetTest, AnEditMarksItsRowWithTheSensorValueInTheRowsText) {
    Connected();
    EXPECT_FALSE(grid.Row(9).unsent);
    grid.SetCurrentParam(9);
    grid.EditCell(9, "2500");
    ASSERT_TRUE(ApplyGridCell(grid, values));
    EXPECT_TRUE(grid.Row(9).unsent);
    EXPECT_EQ(grid.Row(9).markNote, "Not on the sensor. On the sensor: 1");
    EXPECT_EQ(observer.marked, std::vector<int>{9});

    // A word row explains itself in its words: the sensor's "Off", not its number.
    grid.SetCurrentParam(0);
    grid.EditCell(0, "On");
    ASSERT_TRUE(ApplyGridCell(grid, values));
    EXPECT_EQ(grid.Row(0).markNote, "Not on the sensor. On the sensor: Off");

    // Typing the sensor's value back unmarks the row.
    grid.SetCurrentParam(9);
    grid.EditCell(9, "1");
    ASSERT_TRUE(ApplyGridCell(grid, values));
    EXPECT_FALSE(grid.Row(9).unsent);
    EXPECT_EQ(grid.Row(9).markNote, "");
    EXPECT_EQ(observer.marked, (std::vector<int>{9, 0, 9}));
}

TEST_F(SensorSetTest, AControlByteEditMarksOnlyTheRowWhoseBitsChanged) {
    Connected();
    grid.SetCurrentParam(6);
    grid.EditCell(6, "Window");
    ASSERT_TRUE(ApplyGridCell(grid, values));
    EXPECT_EQ(UnsentRows(table, values), std::vector<int>{6});
}

TEST_F(SensorSetTest, UnknownSensorValueIsMarkedAsNotKnown) {
    Connected();
    ForgetSensorValue(table, values.sensorSet, 9);
    UpdateGridMarks(grid, values);
    EXPECT_TRUE(grid.Row(9).unsent);
    EXPECT_EQ(grid.Row(9).markNote, "Not on the sensor. On the sensor: not known");
}

TEST_F(SensorSetTest, QuestionNamesEachRowWithBothValues) {
    Connected();
    values.workValues[9] = 2500;
    values.workValues[3] = 9;
    const std::string text = DiscardEditsQuestion(table, values, UnsentRows(table, values),
                                                  "Read All replaces them.", texts);
    EXPECT_EQ(text,
              "These values are not on the sensor:\r'UART Network Address': 9 (on the sensor: "
              "1)\r'Sampling Period': 2500 (on the sensor: 1)\rRead All replaces them. Discard "
              "these edits?");
}

}  // namespace
}  // namespace veska::params
