#include <gtest/gtest.h>

#include "tests/ui/QtPrint.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "lang/Language.h"
#include "params/ParamCodings.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"
#include "ui/ChartFormat.h"
#include "ui/ChartView.h"
#include "ui/EditMask.h"
#include "ui/ParamGridWidget.h"

namespace veska::ui {
namespace {

// ---- Chart -----------------------------------------------------------------------------

TEST(ChartFormat, LeftAxisNumbersAreGroupedWithAtMostThreeDecimals) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "0"},
        {12.345, "12.345"},
        {1234.5, "1,234.5"},
        {-0.25, "-0.25"},
        {1234567.0, "1,234,567"},
        {100.0, "100"},
        {0.0004, "0"},
        {-0.0004, "0"},
        {999.9996, "1,000"},
        {-12345.678, "-12,345.678"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatAxisNumber(value), text) << value;
    EXPECT_EQ(FormatAxisNumber(std::nan("")), "");
}

TEST(ChartView, PointsAreNumberedKeepTheirLabelsAndRedrawOnlyOnTheTimer) {
    ChartView chart;
    chart.AddPoint(1.5, "0");
    chart.AddPoint(2.5, "1");
    const float more[] = {3.0f, 4.0f, -1.0f};
    chart.AddPoints(more, 3, 40);
    ASSERT_EQ(chart.PointCount(), 5);
    EXPECT_EQ(chart.PointY(0), 1.5);
    EXPECT_EQ(chart.PointY(4), -1.0);
    EXPECT_EQ(chart.PointLabel(1), "1");
    EXPECT_EQ(chart.PointLabel(2), "40");
    EXPECT_EQ(chart.PointLabel(4), "42");

    const int before = chart.ReplotCount();
    chart.RequestReplot();
    chart.RequestReplot();
    EXPECT_TRUE(chart.Dirty());
    EXPECT_EQ(chart.ReplotCount(), before);
    chart.ReplotIfDirty();
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.ReplotCount(), before + 1);
    EXPECT_FALSE(chart.Dirty());
    // Automatic axes follow the points: x 0..4, y -1..4.
    EXPECT_EQ(chart.BottomRange(), std::make_pair(0.0, 4.0));
    EXPECT_EQ(chart.LeftRange(), std::make_pair(-1.0, 4.0));

    chart.Clear();
    EXPECT_EQ(chart.PointCount(), 0);
    chart.AddPoint(7.0, "0");
    EXPECT_EQ(chart.PointLabel(0), "0");
}

TEST(ChartView, ManualAxesKeepTheirRange) {
    ChartView chart;
    chart.SetLeftAutomatic(false);
    chart.SetLeftRange(0.0, 50.0);
    chart.SetBottomAutomatic(false);
    chart.SetBottomRange(0.0, 25.0);
    for (int i = 0; i < 100; ++i) chart.AddPoint(i * 2.0, std::to_string(i));
    chart.RequestReplot();
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.LeftRange(), std::make_pair(0.0, 50.0));
    EXPECT_EQ(chart.BottomRange(), std::make_pair(0.0, 25.0));
    chart.SetTitle(QStringLiteral("Distance, mm"), false);
    EXPECT_TRUE(chart.TitleText().isEmpty());
    chart.SetTitle(QStringLiteral("Distance, mm"), true);
    EXPECT_EQ(chart.TitleText(), QStringLiteral("Distance, mm"));
}

/// A chart on the screen with points 0..99 (y = x / 10) drawn once.
class ChartZoom : public ::testing::Test {
  protected:
    void SetUp() override {
        chart.resize(600, 400);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
        for (int i = 0; i < 100; ++i) chart.AddPoint(i / 10.0, std::to_string(i));
        chart.SetStatistics(acquire::ChartStatistics{false, {}, "mm", 0.0, {}});
        chart.SetAxisTitles(QStringLiteral("Distance [mm]"), QStringLiteral("Sample"));
        chart.RequestReplot();
        chart.ReplotIfDirty();
    }
    QRect Plot() const { return chart.PlotArea(); }
    void Wheel(const QPoint& at, int steps) {
        QWheelEvent event(at, chart.PlotWidget()->mapToGlobal(at), QPoint(), QPoint(0, 120 * steps),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(chart.PlotWidget(), &event);
    }
    void Mouse(QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, chart.PlotWidget()->mapToGlobal(at), Qt::LeftButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(chart.PlotWidget(), &event);
    }
    static double Width(std::pair<double, double> r) { return r.second - r.first; }

    ChartView chart;
};

TEST_F(ChartZoom, WheelZoomsBothAxesInsideThePlotAndOneOverItsScale) {
    const auto x = chart.BottomRange();
    const auto y = chart.LeftRange();
    EXPECT_EQ(x, std::make_pair(0.0, 99.0));
    Wheel(Plot().center(), 2);
    EXPECT_LT(Width(chart.BottomRange()), Width(x));
    EXPECT_LT(Width(chart.LeftRange()), Width(y));
    EXPECT_TRUE(chart.BottomZoomed());
    EXPECT_TRUE(chart.LeftZoomed());

    chart.ResetView();
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.BottomRange(), x);
    EXPECT_EQ(chart.LeftRange(), y);
    // Over the bottom scale: the bottom axis alone.
    Wheel(QPoint(Plot().center().x(), Plot().bottom() + 8), 2);
    EXPECT_LT(Width(chart.BottomRange()), Width(x));
    EXPECT_EQ(chart.LeftRange(), y);
    EXPECT_TRUE(chart.BottomZoomed());
    EXPECT_FALSE(chart.LeftZoomed());
}

TEST_F(ChartZoom, AZoomedAxisStaysAsTheOperatorLeftItUntilADoubleClick) {
    Wheel(Plot().center(), 3);
    const auto zoomed = chart.BottomRange();
    for (int i = 100; i < 200; ++i) chart.AddPoint(i / 10.0, std::to_string(i));
    chart.RequestReplot();
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.BottomRange(), zoomed) << "automatic scaling leaves a zoomed axis alone";
    // The statistics cover the visible points only (their words come from the language file).
    EXPECT_TRUE(chart.StatisticsText().contains(QStringLiteral("n 60 ")))
        << chart.StatisticsText().toStdString();

    QTest::mouseDClick(chart.PlotWidget(), Qt::LeftButton, Qt::NoModifier, Plot().center());
    EXPECT_FALSE(chart.BottomZoomed());
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.BottomRange(), std::make_pair(0.0, 199.0));
    EXPECT_EQ(chart.StatisticsText(),
              QStringLiteral("n 200   min 0.000   max 19.900   mean 9.950   sd 5.773 mm"));
}

TEST_F(ChartZoom, DragPansAndClearResetsTheAxes) {
    const auto x = chart.BottomRange();
    const QPoint from = Plot().center();
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton);
    Mouse(QEvent::MouseMove, from + QPoint(100, 0), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, from + QPoint(100, 0), Qt::NoButton);
    EXPECT_LT(chart.BottomRange().first, x.first) << "dragged right: earlier samples come in";
    EXPECT_NEAR(Width(chart.BottomRange()), Width(x), 1e-9);
    EXPECT_TRUE(chart.BottomZoomed());

    chart.Clear();
    EXPECT_FALSE(chart.BottomZoomed());
    EXPECT_FALSE(chart.LeftZoomed());
    chart.AddPoint(1.0, "0");
    chart.AddPoint(3.0, "1");
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.BottomRange(), std::make_pair(0.0, 1.0));
}

TEST_F(ChartZoom, ManualRangesWaitWhileZoomedAndComeBackOnReset) {
    chart.SetLeftAutomatic(false);
    chart.SetLeftRange(0.0, 50.0);
    Wheel(Plot().center(), 2);
    chart.SetLeftRange(0.0, 40.0);  // the program moves it while the operator zoomed
    EXPECT_NE(chart.LeftRange(), std::make_pair(0.0, 40.0));
    chart.ResetView();
    EXPECT_EQ(chart.LeftRange(), std::make_pair(0.0, 40.0));
}

TEST_F(ChartZoom, ReadoutNamesThePointUnderTheMouse) {
    const QPoint at = chart.PixelAt(42.2, 1.0);
    EXPECT_EQ(chart.ReadoutAt(at), QStringLiteral("#42: 4.200 mm"));
    Mouse(QEvent::MouseMove, at, Qt::NoButton);
    EXPECT_EQ(chart.ReadoutText(), QStringLiteral("#42: 4.200 mm"));
    EXPECT_TRUE(chart.ReadoutAt(QPoint(1, 1)).isEmpty()) << "outside the plot";
}

TEST_F(ChartZoom, LiveTraceWidensTheAutomaticAxesAndClearRemovesIt) {
    chart.Clear();
    chart.SetStatistics(
        acquire::ChartStatistics{true, {500, -2.0, 7.0, 1.0, 0.5}, "mm", 100.0, {}});
    chart.SetLiveTrace({0.0, 250.0, 499.0}, {1.0, -2.0, 7.0});
    chart.ReplotIfDirty();
    EXPECT_EQ(chart.LiveTraceCount(), 3);
    EXPECT_EQ(chart.BottomRange(), std::make_pair(0.0, 499.0));
    EXPECT_EQ(chart.LeftRange(), std::make_pair(-2.0, 7.0));
    EXPECT_EQ(chart.StatisticsText(),
              QStringLiteral("n 500   min -2.000   max 7.000   mean 1.000   sd 0.500 mm   100 /s"));
    chart.Clear();
    EXPECT_EQ(chart.LiveTraceCount(), 0);
}

// ---- Grid helpers ----------------------------------------------------------------------

TEST(EditMask, ClassicMaskBecomesQtMask) {
    EXPECT_EQ(QtInputMask(params::kDottedQuadMask), QStringLiteral("009.009.009.009"));
    EXPECT_EQ(QtInputMask("00:00;1;_"), QStringLiteral("99:99"));
    EXPECT_EQ(QtInputMask("A-0"), QStringLiteral("\\A-9"));
}

TEST(ParamGridKeys, KeysBecomeTheCharactersATextBoxSees) {
    struct Case {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
        bool typed;
        char32_t c;
    };
    const Case cases[] = {
        {Qt::Key_5, {}, QStringLiteral("5"), true, U'5'},
        {Qt::Key_Minus, {}, QStringLiteral("-"), true, U'-'},
        {Qt::Key_Backspace, {}, QStringLiteral("\b"), true, 8},
        {Qt::Key_Return, {}, QStringLiteral("\r"), true, 13},
        {Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"), true, 13},
        {Qt::Key_Escape, {}, QString(QChar(27)), true, 27},
        {Qt::Key_V, Qt::ControlModifier, QString(), true, 22},
        {Qt::Key_Tab, {}, QStringLiteral("\t"), false, 0},
        {Qt::Key_Delete, {}, QString(QChar(127)), false, 0},
        {Qt::Key_Left, {}, QString(), false, 0},
        {Qt::Key_F2, {}, QString(), false, 0},
    };
    for (const Case& c : cases) {
        char32_t got = 0;
        EXPECT_EQ(ParamGridWidget::KeyCharacter(c.key, c.modifiers, c.text, got), c.typed) << c.key;
        if (c.typed) {
            EXPECT_EQ(got, c.c) << c.key;
        }
    }
}

/// The grid widget over a built model, with recording callbacks and a button to move the
/// focus to.
class ParamGridWidgetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        values.workValues[9] = 1000;
        values.workValues[11] = 0;
        values.workValues[12] = 65534;
        uint16_t divisor = 1;
        params::BuildParamGrid(grid, values, divisor);
        auto* layout = new QVBoxLayout(&window);
        widget = new ParamGridWidget(grid, &window);
        other = new QPushButton(QStringLiteral("other"), &window);
        layout->addWidget(widget);
        layout->addWidget(other);
        widget->SetPopupMenu(&menu);
        menu.addAction(QStringLiteral("Load"));
        widget->onSelectCell = [this](int row) {
            selects.push_back(row);
            if (refuseSelect) return false;
            grid.SetCurrentParam(row - 1);
            return true;
        };
        widget->onExit = [this] { ++exits; };
        widget->onContextPopup = [this] {
            ++popups;
            return allowPopup;
        };
        widget->onEditButtonClick = [this] { ++ellipsisClicks; };
        widget->onKeyPress = [this](char32_t c, const std::string& text) {
            return params::FilterKey(grid, c, text);
        };
        widget->Refresh();
        window.resize(400, 800);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QApplication::setActiveWindow(&window);
    }
    void TearDown() override { menu.hide(); }

    void Select(int param) {
        widget->setFocus();
        widget->setCurrentIndex(widget->model()->index(param, 1));
        if (widget->OpenEditor() == nullptr) widget->EditCurrent();
    }

    lang::TextTable texts;
    params::ParamTable table = params::BuiltInParamTable();
    params::ValueStores values;
    params::ParamGrid grid{table, texts};
    QWidget window;
    QMenu menu;
    ParamGridWidget* widget = nullptr;
    QPushButton* other = nullptr;
    std::vector<int> selects;
    bool refuseSelect = false;
    bool allowPopup = true;
    int exits = 0;
    int popups = 0;
    int ellipsisClicks = 0;
};

TEST_F(ParamGridWidgetTest, ShowsTheModelRowsInTwoColumns) {
    EXPECT_EQ(widget->rowCount(), 37);
    EXPECT_EQ(widget->columnCount(), 2);
    EXPECT_EQ(widget->columnWidth(0), 170);
    EXPECT_EQ(widget->columnWidth(1), 177);
    EXPECT_EQ(widget->item(9, 0)->text(), QString::fromStdString(table[9].name));
    EXPECT_EQ(widget->item(9, 1)->text(), QStringLiteral("1000"));
    EXPECT_FALSE(widget->item(9, 0)->flags() & Qt::ItemIsEditable);
    widget->SetTitles(QStringLiteral("Parameter"), QStringLiteral("Value"));
    EXPECT_EQ(widget->horizontalHeaderItem(1)->text(), QStringLiteral("Value"));
}

TEST_F(ParamGridWidgetTest, EachRowGetsTheEditorOfItsStyle) {
    Select(0);  // pick list
    auto* combo = qobject_cast<QComboBox*>(widget->OpenEditor());
    ASSERT_NE(combo, nullptr);
    EXPECT_TRUE(combo->isEditable());
    EXPECT_EQ(combo->count(), static_cast<int>(grid.Row(0).pickList.size()));

    Select(11);  // ellipsis
    auto* ellipsis = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(ellipsis, nullptr);
    auto* button = ellipsis->findChild<QToolButton*>();
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("..."));
    button->click();
    EXPECT_EQ(ellipsisClicks, 1);

    Select(22);  // IP address: free text of digits, blanks and points
    auto* ip = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(ip, nullptr);
    EXPECT_TRUE(ip->inputMask().isEmpty());
    EXPECT_NE(ip->validator(), nullptr);

    Select(9);  // plain
    auto* plain = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->inputMask().isEmpty());
    EXPECT_EQ(plain->text(), QStringLiteral("1000"));
}

TEST_F(ParamGridWidgetTest, TypedCharactersPassTheFilterAndReachTheModelAtOnce) {
    Select(9);
    auto* edit = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    EXPECT_EQ(grid.CellText(9), "");
    QTest::keyClicks(edit, QStringLiteral("12x34"));
    EXPECT_EQ(edit->text(), QStringLiteral("1234"));
    EXPECT_EQ(grid.CellText(9), "1234");
    QTest::keyClicks(edit, QStringLiteral("56"));  // maxLength 5
    const std::string typed = grid.CellText(9);
    EXPECT_LE(typed.size(), 5u);
    QTest::keyClick(edit, Qt::Key_Backspace);  // erases, as in any table
    EXPECT_EQ(grid.CellText(9), typed.substr(0, typed.size() - 1));
}

TEST_F(ParamGridWidgetTest, EnterInAnIpRowReformatsTheCell) {
    Select(22);
    auto* ip = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(ip, nullptr);
    ip->setText(QStringLiteral("  1.  2.  3.  4"));
    QTest::keyClick(ip, Qt::Key_Return);
    EXPECT_EQ(grid.CellText(22), params::FormatDottedQuad(0x01020304));
    EXPECT_EQ(ip->displayText(), QString::fromStdString(params::FormatDottedQuad(0x01020304)));
}

TEST_F(ParamGridWidgetTest, AnAddressTypedWithItsPointsIsTakenAsTyped) {
    Select(22);
    auto* ip = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(ip, nullptr);
    ip->selectAll();
    QTest::keyClick(ip, Qt::Key_Delete);
    QTest::keyClicks(ip, QStringLiteral("10.0.0.1x"));
    EXPECT_EQ(grid.CellText(22), "10.0.0.1");
    QTest::keyClick(ip, Qt::Key_Return);
    EXPECT_EQ(grid.CellText(22), params::FormatDottedQuad(0x0A000001));
}

TEST_F(ParamGridWidgetTest, ARefusedRowChangeKeepsTheOldRowCurrent) {
    Select(9);
    ASSERT_EQ(widget->currentRow(), 9);
    refuseSelect = true;
    widget->setCurrentIndex(widget->model()->index(10, 1));
    EXPECT_EQ(widget->currentRow(), 9);
    EXPECT_EQ(selects.back(), 11);
    refuseSelect = false;
    QTest::keyClick(widget->OpenEditor(), Qt::Key_Down);
    EXPECT_EQ(widget->currentRow(), 10);
    EXPECT_EQ(selects.back(), 11);
    EXPECT_EQ(widget->currentColumn(), 1);
}

TEST_F(ParamGridWidgetTest, ClickOnAKeyMakesTheValueCellCurrentAndARightClickMovesNothing) {
    Select(9);
    const QPoint key = widget->visualRect(widget->model()->index(5, 0)).center();
    QTest::mouseClick(widget->viewport(), Qt::LeftButton, {}, key);
    EXPECT_EQ(widget->currentRow(), 5);
    EXPECT_EQ(widget->currentColumn(), 1);
    EXPECT_EQ(selects.back(), 6);
    const QPoint value = widget->visualRect(widget->model()->index(12, 1)).center();
    QTest::mousePress(widget->viewport(), Qt::RightButton, {}, value);
    QTest::mouseRelease(widget->viewport(), Qt::RightButton, {}, value);
    EXPECT_EQ(widget->currentRow(), 5);
}

TEST_F(ParamGridWidgetTest, ModelChangesShowInTheCellAndTheOpenEditor) {
    Select(9);
    grid.SetCellText(9, "777");
    EXPECT_EQ(widget->item(9, 1)->text(), QStringLiteral("777"));
    auto* edit = qobject_cast<QLineEdit*>(widget->OpenEditor());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), QStringLiteral("777"));
}

TEST_F(ParamGridWidgetTest, LeavingTheGridForAnotherControlIsAnExit) {
    Select(9);
    const int before = exits;
    other->setFocus();
    EXPECT_EQ(exits, before + 1);
    widget->setFocus();
    EXPECT_EQ(exits, before + 1);
}

TEST_F(ParamGridWidgetTest, ContextMenuOpensOnlyWhenTheLogicAgrees) {
    Select(9);
    const QPoint pos = widget->visualRect(widget->model()->index(9, 1)).center();
    QContextMenuEvent refused(QContextMenuEvent::Mouse, pos, widget->viewport()->mapToGlobal(pos));
    allowPopup = false;
    QApplication::sendEvent(widget->viewport(), &refused);
    EXPECT_EQ(popups, 1);
    EXPECT_FALSE(menu.isVisible());
    allowPopup = true;
    QContextMenuEvent opened(QContextMenuEvent::Mouse, pos, widget->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(widget->viewport(), &opened);
    EXPECT_EQ(popups, 2);
    EXPECT_TRUE(menu.isVisible());
    EXPECT_EQ(widget->currentRow(), 9);
}

}  // namespace
}  // namespace veska::ui
