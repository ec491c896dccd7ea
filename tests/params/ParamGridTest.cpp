#include "params/ParamGrid.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

#include "TestTexts.h"
#include "params/ParamCodings.h"

namespace veska::params {
namespace {

/// Records what the grid model told its view.
class RecordingObserver : public GridObserver {
  public:
    void GridRebuilt() override { ++rebuilds; }
    void CellChanged(int param) override { changed.push_back(param); }
    void MarkChanged(int param) override { marked.push_back(param); }
    int rebuilds = 0;
    std::vector<int> changed;
    std::vector<int> marked;
};

class Grid : public ::testing::Test {
  protected:
    void Build() { BuildParamGrid(grid, values, divisor); }

    /// Builds with workValues[param] = v, types text into its cell and leaves the cell.
    GridResult Edit(int param, int32_t v, const std::string& text) {
        values.workValues[param] = v;
        Build();
        grid.SetCurrentParam(param);
        grid.EditCell(param, text);
        return ApplyGridCell(grid, values);
    }

    /// Sets the five control-byte rows to b.
    void SetControlByte(int32_t b) {
        for (int row : {4, 5, 6, 8, 21}) values.workValues[row] = b;
    }

    ParamTable table = BuiltInParamTable();
    lang::TextTable texts = test::TestTexts();
    ValueStores values;
    ParamGrid grid{table, texts};
    uint16_t divisor = 7;
};

TEST_F(Grid, FirstBuildCreatesTheRowsFromTheTable) {
    EXPECT_FALSE(grid.Built());
    EXPECT_EQ(grid.RowCount(), 1);
    values.workValues[9] = 1000;
    Build();
    ASSERT_TRUE(grid.Built());
    EXPECT_EQ(grid.RowCount(), 38);
    EXPECT_EQ(grid.KeyTitle(), "Parameter");
    EXPECT_EQ(grid.ValueTitle(), "Value");
    for (int p = 0; p < kGridParamCount; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(grid.Row(p).key, table[p].name);
        EXPECT_EQ(grid.Row(p).editStyle, table[p].editStyle);
        EXPECT_EQ(grid.Row(p).maxLength, table[p].maxLength);
        EXPECT_EQ(grid.Row(p).pickList.empty(), table[p].editStyle != kEditPickList);
        EXPECT_EQ(grid.Row(p).editMask, (p >= 22 && p <= 25) ? "990.990.990.990" : "");
    }
    EXPECT_EQ(grid.CellText(9), "1000");
    EXPECT_EQ(grid.CellText(0), "Off");
    EXPECT_EQ(grid.CellText(22), "  0.  0.  0.  0");
    EXPECT_EQ(grid.CellText(37), "");  // no such row
}

TEST_F(Grid, LaterBuildsKeepRowsAndRefreshTextsAndPickLists) {
    Build();
    table[9].name = "renamed";
    table[9].maxLength = 2;
    texts.Set(lang::Section::ParamValue, 0, "Ein");
    values.workValues[0] = 1;
    values.workValues[16] = 10;
    Build();
    EXPECT_EQ(grid.RowCount(), 38);
    EXPECT_EQ(grid.Row(9).key, "renamed");  // names follow a change of language
    EXPECT_EQ(grid.Row(9).maxLength, 5);
    EXPECT_EQ(grid.CellText(0), "Ein");
    EXPECT_EQ(grid.Row(0).pickList, (std::vector<std::string>{"Ein", "Off"}));
    EXPECT_EQ(grid.Row(1).pickList, (std::vector<std::string>{"Ein", "Off"}));
    EXPECT_EQ(grid.CellText(16), "0A");
}

TEST_F(Grid, BuildSetsTheResultDivisorFromRow36) {
    struct Case {
        int32_t v;
        uint16_t divisor;
    };
    for (const Case& c :
         {Case{50000, 50000}, Case{37500, 37500}, Case{40000, 1}, Case{0, 1}, Case{-15536, 1}}) {
        values.workValues[36] = c.v;
        Build();
        EXPECT_EQ(divisor, c.divisor) << c.v;
    }
}

TEST_F(Grid, BuildNotifiesTheViewOnce) {
    RecordingObserver view;
    grid.SetObserver(&view);
    Build();
    Build();
    EXPECT_EQ(view.rebuilds, 2);
    EXPECT_TRUE(view.changed.empty());
}

/// One cell edit: value before, typed text, value after, cell text after.
struct EditCase {
    int param;
    int32_t before;
    const char* typed;
    int32_t after;
    const char* cellAfter;
};

void PrintTo(const EditCase& c, std::ostream* os) {
    *os << "param " << c.param << " from " << c.before << " typed '" << c.typed << "'";
}

class GridEdit : public Grid, public ::testing::WithParamInterface<EditCase> {};

TEST_P(GridEdit, TakesTheTextOver) {
    const EditCase& c = GetParam();
    GridResult result = Edit(c.param, c.before, c.typed);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(values.workValues[c.param], c.after);
    EXPECT_EQ(grid.CellText(c.param), c.cellAfter);
}

INSTANTIATE_TEST_SUITE_P(
    OnOffWords, GridEdit,
    ::testing::Values(EditCase{0, 1, "Off", 0, "Off"}, EditCase{0, 0, "On", 1, "On"},
                      EditCase{15, 1, "Off", 0, "Off"}, EditCase{26, 0, "LanOn", 1, "LanOn"},
                      EditCase{26, 1, "Off", 0, "Off"}, EditCase{20, 0, "Ext", 1, "Ext"},
                      EditCase{20, 1, "Std", 0, "Std"}));

INSTANTIATE_TEST_SUITE_P(ScaledPickLists, GridEdit,
                         ::testing::Values(EditCase{2, 48, "921600", 384, "921600"},
                                           EditCase{2, 48, "9600", 4, "9600"},
                                           EditCase{3, 1, "127", 127, "127"},
                                           EditCase{13, 0, "1275", 255, "1275"},
                                           EditCase{17, 10, "125000", 25, "125000"},
                                           EditCase{17, 10, "1000000", 200, "1000000"}));

INSTANTIATE_TEST_SUITE_P(
    RangeChecked, GridEdit,
    ::testing::Values(EditCase{9, 100, "", 100, "100"},  // empty: the old value back
                      EditCase{9, 100, "65535", 65535, "65535"}, EditCase{31, 1, "255", 255, "255"},
                      EditCase{35, 0, "-5", -5, "-5"}, EditCase{35, 0, "-32768", -32768, "-32768"},
                      EditCase{35, 65531, "", 65531, "-5"}));

INSTANTIATE_TEST_SUITE_P(ZeroPoint, GridEdit,
                         ::testing::Values(EditCase{14, 0, "500", 8192, "500"},
                                           EditCase{14, 0, "3999", 65520, "3999"},
                                           EditCase{14, 8192, "", 8192, "500"},
                                           EditCase{14, 0, "6", 98, "6"},
                                           EditCase{14, 9, "", 9, "1"}));  // a restore rounds

INSTANTIATE_TEST_SUITE_P(
    AnalogWindow, GridEdit,
    ::testing::Values(EditCase{11, 70000, "5", 65534, "100"},  // text ignored, value clamped
                      EditCase{12, -3, "5", 0, "0"}, EditCase{11, 32767, "abc", 32767, "50"}));

INSTANTIATE_TEST_SUITE_P(Hex, GridEdit,
                         ::testing::Values(EditCase{16, 5, "", 0, "00"},
                                           EditCase{16, 0, "a", 10, "0A"},
                                           EditCase{18, 0, "7ff", 2047, "7FF"},
                                           EditCase{19, 0, "1FFFFFFF", 536870911, "1FFFFFFF"}));

INSTANTIATE_TEST_SUITE_P(
    DottedQuad, GridEdit,
    ::testing::Values(EditCase{22, 0, "  1.  2.  3.  4", 0x01020304, "  1.  2.  3.  4"},
                      EditCase{23, 5, "1  .2  .3  .4  ", 0x01020304, "  1.  2.  3.  4"},
                      EditCase{24, 0, "10.0.0.1", 0x0A000001, " 10.  0.  0.  1"},
                      EditCase{24, 0, "255.255.255.255", -1, "255.255.255.255"},
                      EditCase{25, 0, " 10.  0.  0.  1", 0x0A000001, " 10.  0.  0.  1"}));

INSTANTIATE_TEST_SUITE_P(Divisor, GridEdit,
                         ::testing::Values(EditCase{36, 50000, "123", 50000,
                                                    "123"}));  // typed text stays, nothing stored

TEST_F(Grid, EntriesTheRowMayNotHoldAreRefusedNamingTheRangeAndStayForCorrection) {
    struct Case {
        int param;
        int32_t before;
        const char* typed;
        const char* allowed;
    };
    const Case cases[] = {
        {3, 1, "-1", "1 … 127"},   // the net address that wrapped to 255
        {3, 1, "200", "1 … 127"},  // beyond the pick list
        {7, 1, "0", "1 … 255"},
        {2, 48, "2401", "2400, 4800"},  // not a rate of the list
        {2, 48, "7200", "2400, 4800"},
        {13, 0, "7", "0 … 1275"},  // not a step of 5
        {17, 10, "75000", "50000, 100000"},
        {9, 100, "0", "1 … 65535"},
        {9, 100, "65536", "1 … 65535"},
        {10, 5, "-1", "1 … 65535"},
        {27, 1, "256", "0 … 255"},
        {33, 40000, "70000", "0 … 65535"},
        {35, 0, "40000", "-32768 … 32767"},  // a 2-byte field: no wrap to -25536
        {35, 0, "-2147483648", "-32768 … 32767"},
        {14, 8192, "4000", "0 … 3999"},
        {14, 8192, "-1", "0 … 3999"},
        {16, 0, "80", "00 … 7F"},
        {19, 0x1234, "FFFFFFFF", "00000000 … 1FFFFFFF"},
        {19, 0x10, "100000000A", "00000000 … 1FFFFFFF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + " '" + c.typed + "'");
        GridResult result = Edit(c.param, c.before, c.typed);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(c.allowed), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(c.typed), std::string::npos) << result.error;
        EXPECT_EQ(values.workValues[c.param], c.before);
        EXPECT_EQ(grid.CellText(c.param), c.typed);  // kept for correction
    }
}

TEST_F(Grid, RowsCarryWhatTheyAllow) {
    Build();
    EXPECT_EQ(grid.Row(3).allowedNote, "Allowed: 1 … 127");
    EXPECT_EQ(grid.Row(16).allowedNote, "Allowed: 00 … 7F");
    EXPECT_EQ(grid.Row(0).allowedNote, "Allowed: On, Off");
}

TEST_F(Grid, EditingKeysPassInNumberRowsWhateverTheLength) {
    Build();
    for (int param : {9, 16}) {
        grid.SetCurrentParam(param);
        const std::string full(static_cast<size_t>(table[param].maxLength), '1');
        for (char32_t key : {kKeyBackspace, kKeyEnter, kKeyEscape}) {
            EXPECT_EQ(FilterKey(grid, key, full).verdict, KeyVerdict::Accept) << param;
        }
        EXPECT_EQ(FilterKey(grid, U'1', full).verdict, KeyVerdict::Refuse) << param;
        EXPECT_EQ(FilterKey(grid, 22, "").verdict, KeyVerdict::Refuse) << param;  // Ctrl+V
    }
}

TEST_F(Grid, UnchangedCellKeepsItsValue) {
    // Codings that show several values alike must not change a value the operator
    // only visited.
    struct Case {
        int param;
        int32_t v;
    };
    for (const Case& c :
         {Case{14, 100}, Case{14, 9}, Case{2, 128}, Case{35, 65531}, Case{26, 3}, Case{0, 2}}) {
        values.workValues[c.param] = c.v;
        Build();
        grid.SetCurrentParam(c.param);
        ASSERT_TRUE(ApplyGridCell(grid, values).ok);
        EXPECT_EQ(values.workValues[c.param], c.v) << c.param;
    }
}

TEST_F(Grid, ControlByteEditsComposeIntoAllFiveRows) {
    struct Case {
        int param;
        int32_t before;
        const char* choice;
        int32_t after;
        const char* row4;
        const char* row21;
    };
    const Case cases[] = {
        // 0x25 & 0x11 = 0x01 has no CAN word: row 21 keeps the text of the build ("97")
        {5, 0x61, "AL4", 0x25, "FreeRun", "97"},
        {21, 0x00, "CanRun", 0x11, "FreeRun", "CanRun"},
        {4, 0x11, "Request", 0x10, "Request", "CanReq"},
        {6, 0x80, "Window", 0x82, "Request", "CanOff"},
        {8, 0x01, "Block", 0x21, "FreeRun", "1"},
        {21, 0x11, "CanOff", 0x01, "FreeRun", "CanOff"},  // bit 0 left alone
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.choice);
        SetControlByte(c.before);
        Build();
        grid.SetCurrentParam(c.param);
        grid.EditCell(c.param, c.choice);
        ASSERT_TRUE(ApplyGridCell(grid, values).ok);
        for (int row : {4, 5, 6, 8, 21}) EXPECT_EQ(values.workValues[row], c.after) << row;
        EXPECT_EQ(grid.CellText(4), c.row4);
        EXPECT_EQ(grid.CellText(21), c.row21);
    }
}

TEST_F(Grid, ControlByteOrsTheFourSourceRows) {
    values.workValues[4] = 0x01;
    values.workValues[21] = 0x10;
    values.workValues[5] = 0x04;
    values.workValues[6] = 0x02;
    values.workValues[8] = 0x20;  // not a source of the composition
    Build();
    grid.SetCurrentParam(8);
    grid.EditCell(8, "Moving");
    ASSERT_TRUE(ApplyGridCell(grid, values).ok);
    for (int row : {4, 5, 6, 8, 21}) EXPECT_EQ(values.workValues[row], 0x17) << row;
    EXPECT_EQ(grid.CellText(21), "CanRun");
}

TEST_F(Grid, VisitingAWordlessControlByteStateChangesNothing) {
    SetControlByte(0x45);  // CAN mode bits 0x01 have no word
    Build();
    EXPECT_EQ(grid.CellText(21), "69");
    grid.SetCurrentParam(21);
    ASSERT_TRUE(ApplyGridCell(grid, values).ok);
    EXPECT_EQ(values.workValues[21], 0x45);
}

TEST_F(Grid, ApplyNotifiesTheChangedCells) {
    RecordingObserver view;
    grid.SetObserver(&view);
    SetControlByte(0);
    Build();
    grid.SetCurrentParam(6);
    grid.EditCell(6, "Window");
    ASSERT_TRUE(ApplyGridCell(grid, values).ok);
    EXPECT_EQ(view.changed, (std::vector<int>{4, 21}));
}

TEST_F(Grid, ConversionFailuresChangeNothingAndNameTheText) {
    struct Case {
        int param;
        const char* typed;
    };
    const Case cases[] = {
        {2, ""},   {3, ""},  {7, ""},    {13, ""},  {17, ""},   {2, "-"},
        {3, "5-"}, {9, "-"}, {10, "5-"}, {35, "-"}, {14, "5-"}, {13, "99999999999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + " '" + c.typed + "'");
        GridResult result = Edit(c.param, 12, c.typed);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, std::string("'") + c.typed + "' is not a valid integer value.");
        EXPECT_EQ(values.workValues[c.param], 12);
        EXPECT_EQ(grid.CellText(c.param), c.typed);  // left for the operator to correct
    }
}

TEST_F(Grid, TextsThatDoNotConvertExactlyAreRefusedNamingWhatIsAllowed) {
    struct Case {
        int param;
        const char* typed;
        const char* report;
    };
    const Case cases[] = {
        {0, "Offf", "'Offf' is not allowed here; allowed are: On, Off."},
        {20, "x", "'x' is not allowed here; allowed are: Std, Ext."},
        {26, "on", "'on' is not allowed here; allowed are: Off, LanOn."},
        {22, "10.0.0",
         "'10.0.0' is not an address: four numbers 0 to 255 separated by points "
         "are needed."},
        {22, "300.1.1.1",
         "'300.1.1.1' is not an address: four numbers 0 to 255 separated by "
         "points are needed."},
        {23, "1.2.3.4.5", nullptr},
        {24, "1..3.4", nullptr},
        {25, "1.2.3.4x", nullptr},
        {16, "xyz", "'xyz' is not a hexadecimal number (digits 0-9 and A-F)."},
        {5, "al mode 1", nullptr},
        {4, "FreeRunning", nullptr},
        {21, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.param) + " '" + c.typed + "'");
        SetControlByte(0x00);
        GridResult result = Edit(c.param, 0, c.typed);
        EXPECT_FALSE(result.ok);
        if (c.report != nullptr) {
            EXPECT_EQ(result.error, c.report);
        }
        EXPECT_NE(result.error.find(c.typed), std::string::npos);
        EXPECT_EQ(values.workValues[c.param], 0);
        for (int row : {4, 5, 6, 8, 21}) EXPECT_EQ(values.workValues[row], 0) << row;
    }
}

TEST_F(Grid, SelectingARowMovesOnlyAfterASuccessfulApply) {
    values.workValues[3] = 1;
    Build();
    EXPECT_EQ(grid.CurrentParam(), 0);
    ASSERT_TRUE(OnSelectCell(grid, values, 4).ok);  // grid row 4 = parameter 3
    EXPECT_EQ(grid.CurrentParam(), 3);
    grid.EditCell(3, "5-");
    GridResult failed = OnSelectCell(grid, values, 10);
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(grid.CurrentParam(), 3);
    grid.EditCell(3, "5");
    ASSERT_TRUE(OnSelectCell(grid, values, 10).ok);
    EXPECT_EQ(grid.CurrentParam(), 9);
    EXPECT_EQ(values.workValues[3], 5);
    ASSERT_TRUE(OnSelectCell(grid, values, 0).ok);  // the title row is not a parameter
    EXPECT_EQ(grid.CurrentParam(), 9);
    ASSERT_TRUE(OnSelectCell(grid, values, 38).ok);
    EXPECT_EQ(grid.CurrentParam(), 9);
}

TEST_F(Grid, ExitAndPopupApplyTheCell) {
    Build();
    grid.SetCurrentParam(9);
    grid.EditCell(9, "250");
    ASSERT_TRUE(OnGridExit(grid, values).ok);
    EXPECT_EQ(values.workValues[9], 250);
    grid.EditCell(9, "-");
    EXPECT_FALSE(OnContextPopup(grid, values).ok);
    EXPECT_EQ(values.workValues[9], 250);
}

TEST_F(Grid, NothingToApplyBeforeTheFirstBuild) {
    EXPECT_TRUE(ApplyGridCell(grid, values).ok);
    EXPECT_TRUE(OnSelectCell(grid, values, 5).ok);
    EXPECT_EQ(grid.CurrentParam(), 0);
    EXPECT_EQ(FilterKey(grid, 'x', "").verdict, KeyVerdict::Accept);
}

TEST_F(Grid, EditButtonHandsTheDialogBothPercentages) {
    values.workValues[11] = 13107;  // 20 %
    values.workValues[12] = 52427;  // 80 %
    Build();
    grid.SetCurrentParam(12);
    RangeDialogRequest request = OnEditButtonClick(grid, values);
    ASSERT_TRUE(request.result.ok);
    ASSERT_TRUE(request.open);
    EXPECT_EQ(request.beginPercent, 20);
    EXPECT_EQ(request.endPercent, 80);

    grid.SetCurrentParam(9);
    EXPECT_FALSE(OnEditButtonClick(grid, values).open);
}

TEST_F(Grid, EditButtonStopsWhenTheApplyFails) {
    Build();
    grid.SetCurrentParam(3);
    grid.EditCell(3, "");
    RangeDialogRequest request = OnEditButtonClick(grid, values);
    EXPECT_FALSE(request.result.ok);
    EXPECT_FALSE(request.open);
}

TEST_F(Grid, RangeDialogPercentagesMustBeIntegers) {
    Build();
    grid.SetCurrentParam(11);
    grid.EditCell(12, "8x");
    RangeDialogRequest request = RangeDialogPercents(grid);
    EXPECT_FALSE(request.open);
    EXPECT_EQ(request.result.error, "'8x' is not a valid integer value.");
}

TEST_F(Grid, RangeDialogResultGoesIntoRowsAndValues) {
    Build();
    ApplyRangeDialog(grid, values, 50, 100);
    EXPECT_EQ(grid.CellText(11), "50");
    EXPECT_EQ(grid.CellText(12), "100");
    EXPECT_EQ(values.workValues[11], 32767);
    EXPECT_EQ(values.workValues[12], 65534);
    ApplyRangeDialog(grid, values, 70, 30);  // no order between the limits
    EXPECT_EQ(values.workValues[11], 45874);
    EXPECT_EQ(values.workValues[12], 19660);
}

TEST_F(Grid, KeyFilter) {
    Build();
    struct Case {
        int param;
        char32_t key;
        const char* editorText;
        KeyVerdict verdict;
    };
    const Case cases[] = {
        // decimal: digits and '-' only, up to maxLength characters
        {9, '6', "12345", KeyVerdict::Refuse},
        {9, '5', "1234", KeyVerdict::Accept},
        {9, '-', "", KeyVerdict::Accept},
        {9, 'x', "", KeyVerdict::Refuse},
        {9, kKeyBackspace, "12", KeyVerdict::Accept},  // editing keys work as in any table
        {9, kKeyEnter, "12", KeyVerdict::Accept},
        {9, kKeyEscape, "12", KeyVerdict::Accept},
        {11, '1', "100", KeyVerdict::Refuse},
        {0, '1', "W\xC3\xB6", KeyVerdict::Accept},  // two characters in three bytes
        {0, '1', "Off", KeyVerdict::Refuse},
        // hexadecimal
        {16, 'a', "", KeyVerdict::Accept},
        {16, 'F', "0", KeyVerdict::Accept},
        {16, 'g', "", KeyVerdict::Refuse},
        {16, '-', "", KeyVerdict::Refuse},
        {16, 'b', "0A", KeyVerdict::Refuse},
        {19, kKeyEnter, "1", KeyVerdict::Accept},
        {19, kKeyBackspace, "1", KeyVerdict::Accept},
        // IP rows: everything but Enter goes to the edit mask
        {22, 'x', "  0.  0.  0.  0", KeyVerdict::Accept},
        {22, kKeyBackspace, "  0.  0.  0.  0", KeyVerdict::Accept},
    };
    for (const Case& c : cases) {
        grid.SetCurrentParam(c.param);
        EXPECT_EQ(FilterKey(grid, c.key, c.editorText).verdict, c.verdict)
            << "param " << c.param << " key " << static_cast<int>(c.key) << " on '" << c.editorText
            << "'";
    }
}

TEST_F(Grid, EnterInAnIpRowReformatsTheCell) {
    Build();
    RecordingObserver view;
    grid.SetObserver(&view);
    grid.SetCurrentParam(22);
    KeyResult left = FilterKey(grid, kKeyEnter, "1  .2  .3  .4  ");
    EXPECT_EQ(left.verdict, KeyVerdict::Handled);
    EXPECT_EQ(left.text, "  1.  2.  3.  4");
    KeyResult typed = FilterKey(grid, kKeyEnter, "10.0.0.1");
    EXPECT_EQ(typed.text, " 10.  0.  0.  1");
    EXPECT_EQ(grid.CellText(22), " 10.  0.  0.  1");
    // An incomplete address is left for the operator to finish.
    EXPECT_EQ(FilterKey(grid, kKeyEnter, "10.0.0").verdict, KeyVerdict::Refuse);
    EXPECT_EQ(grid.CellText(22), " 10.  0.  0.  1");
    EXPECT_EQ(view.changed, (std::vector<int>{22, 22}));
    EXPECT_EQ(values.workValues[22], 0);  // only the leaving of the cell stores
}

}  // namespace
}  // namespace veska::params
