#include <gtest/gtest.h>

#include "tests/ui/QtPrint.h"

#include <QFrame>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "ui/RangeDialog.h"
#include "ui/RangeGeometry.h"

namespace veska::ui {
namespace {

constexpr int kW = TFormRange::kClientWidth;

struct PercentCase {
    int x;
    int percent;
};

TEST(RangeGeometry, MousePositionToPercentTruncatesAndLimits) {
    const PercentCase cases[] = {
        {344, 50}, {5, 0}, {688, 100}, {10, 0}, {0, 0}, {678, 100}, {677, 99}, {17, 1}, {-40, 0},
    };
    for (const PercentCase& c : cases) {
        EXPECT_EQ(range::PercentOf(kW, c.x, 100), c.percent) << "x = " << c.x;
    }
}

TEST(RangeGeometry, ScaleLinesAndTextsSitOnTheScale) {
    EXPECT_EQ(range::XOf(kW, 0, 100), 10);
    EXPECT_EQ(range::XOf(kW, 50, 100), 344);
    EXPECT_EQ(range::XOf(kW, 100, 100), 678);
    for (int i = 0; i <= 10; ++i) {
        EXPECT_EQ(range::TickValue(100, i), 10 * i);
        EXPECT_EQ(range::TickX(kW, 100, i), range::XOf(kW, 10 * i, 100));
    }
    // A text 12 px wide under line 5 starts 6 + 3 px left of the line.
    EXPECT_EQ(range::TickTextLeft(kW, 5, 12), 344 - 6 - 3);
    EXPECT_EQ(range::PercentText(-40), "-40 %");
}

TEST(RangeGeometry, MiddleButtonChangesNothingAndMovesFollowOnlyTheHeldButton) {
    range::RangeState s;
    s.Press(kW, 7, 344);
    EXPECT_EQ(s.begin, 0);
    EXPECT_EQ(s.end, 100);
    EXPECT_FALSE(s.Move(kW, 200, 10, 84));

    s.Press(kW, range::kDragLeft, 344);
    EXPECT_TRUE(s.Move(kW, 100, 10, 84));
    EXPECT_FALSE(s.Move(kW, 500, 84, 84));  // over the panel
    EXPECT_EQ(s.begin, 13);
    EXPECT_EQ(s.end, 100);
    s.Release();
    EXPECT_FALSE(s.Move(kW, 500, 10, 84));
    EXPECT_EQ(s.begin, 13);
}

class RangeDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dialog.SetRange(20, 80);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    void TearDown() override { dialog.hide(); }

    QString Text(const QLabel* label) const { return label->text(); }

    TFormRange dialog{nullptr};
};

TEST_F(RangeDialogTest, LayoutIsFixed) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Output Range Settings."));
    EXPECT_EQ(dialog.size(), QSize(689, 117));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.PanelRange()->geometry(), QRect(0, 84, 689, 33));
    EXPECT_EQ(dialog.LabelBgn()->x(), 267);
    EXPECT_EQ(dialog.LabelRang()->x(), 427);
    EXPECT_EQ(dialog.LabelEnd()->x(), 571);
    EXPECT_TRUE(dialog.LabelBgn()->font().bold());
    EXPECT_EQ(dialog.LabelBgn()->font().pixelSize(), 16);
    const Qt::WindowFlags flags = dialog.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(dialog.RangeBitmap().size(), QSize(689, 84));
    EXPECT_EQ(Text(dialog.LabelBgn()), QStringLiteral("20 %"));
    EXPECT_EQ(Text(dialog.LabelRang()), QStringLiteral("60 %"));
    EXPECT_EQ(Text(dialog.LabelEnd()), QStringLiteral("80 %"));
}

TEST_F(RangeDialogTest, ClicksSetTheLimits) {
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(344, 40));
    EXPECT_EQ(dialog.RangeBegin(), 50);
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(5, 40));
    EXPECT_EQ(dialog.RangeBegin(), 0);
    QTest::mouseClick(&dialog, Qt::RightButton, {}, QPoint(688, 40));
    EXPECT_EQ(dialog.RangeEnd(), 100);
    QTest::mouseClick(&dialog, Qt::MiddleButton, {}, QPoint(200, 40));
    EXPECT_EQ(dialog.RangeBegin(), 0);
    EXPECT_EQ(dialog.RangeEnd(), 100);
}

TEST_F(RangeDialogTest, ReversedLimitsShowANegativeWindow) {
    // One pixel right of a line reads its percentage back (the division truncates).
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(range::XOf(kW, 70, 100) + 1, 40));
    QTest::mouseClick(&dialog, Qt::RightButton, {}, QPoint(range::XOf(kW, 30, 100) + 1, 40));
    EXPECT_EQ(Text(dialog.LabelBgn()), QStringLiteral("70 %"));
    EXPECT_EQ(Text(dialog.LabelEnd()), QStringLiteral("30 %"));
    EXPECT_EQ(Text(dialog.LabelRang()), QStringLiteral("-40 %"));
}

TEST_F(RangeDialogTest, DragMovesOnlyTheHeldLimitAndTheReleaseOverThePanelEndsIt) {
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(100, 40));
    QTest::mouseMove(&dialog, QPoint(344, 30));
    EXPECT_EQ(dialog.RangeBegin(), 50);
    EXPECT_EQ(dialog.RangeEnd(), 80);
    EXPECT_EQ(Text(dialog.LabelBgn()), QStringLiteral("50 %"));
    // Over the panel the drag does nothing.
    QTest::mouseMove(&dialog, QPoint(600, 100));
    EXPECT_EQ(dialog.RangeBegin(), 50);
    // Released over one of the panel's labels: the drag is over.
    QTest::mouseRelease(dialog.LabelEnd(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(dialog.DragButton(), range::kDragNone);

    QTest::mousePress(&dialog, Qt::RightButton, {}, QPoint(600, 40));
    QTest::mouseMove(&dialog, QPoint(400, 40));
    QTest::mouseRelease(&dialog, Qt::RightButton, {}, QPoint(400, 100));
    EXPECT_EQ(dialog.RangeEnd(), range::PercentOf(kW, 400, 100));
    EXPECT_EQ(dialog.RangeBegin(), 50);
    EXPECT_EQ(dialog.DragButton(), range::kDragNone);
}

TEST_F(RangeDialogTest, APressOnThePanelSetsNothing) {
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(344, 100));
    EXPECT_EQ(dialog.RangeBegin(), 20);
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(344, 100));
}

TEST_F(RangeDialogTest, DrawingUsesTheColoursOfTheScale) {
    dialog.DrawRange(30, 60, 100);
    const QImage& image = dialog.RangeBitmap();
    const int h = image.height();
    const int xBegin = range::XOf(kW, 30, 100);
    const int xEnd = range::XOf(kW, 60, 100);
    EXPECT_EQ(image.pixelColor(xBegin, h / 2), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(xEnd, h / 2), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(2, 2), QColor(0, 0, 0));  // black ground left of the scale
    // The window between the limits is cross-hatched in green on black.
    int green = 0;
    for (int x = xBegin + 3; x < xEnd - 3; ++x) {
        for (int y = 5; y < h - 25; ++y) {
            if (image.pixelColor(x, y) == QColor(0, 128, 0)) ++green;
        }
    }
    EXPECT_GT(green, 100);
    // The dotted gray line of 90 % outside the window: gray and black alternate.
    const int x90 = range::TickX(kW, 100, 9);
    int gray = 0, black = 0;
    for (int y = 0; y < h - 20; ++y) {
        const QColor c = image.pixelColor(x90, y);
        if (c == QColor(128, 128, 128)) ++gray;
        if (c == QColor(0, 0, 0)) ++black;
    }
    EXPECT_GT(gray, 10);
    EXPECT_GT(black, 10);
    // White scale texts below the base line.
    int white = 0;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = h - 17; y < h; ++y) {
            if (image.pixelColor(x, y) == QColor(255, 255, 255)) ++white;
        }
    }
    EXPECT_GT(white, 20);
}

TEST_F(RangeDialogTest, ClosingFreesTheBitmapAndKeepsTheLimits) {
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(344, 40));
    dialog.hide();
    EXPECT_TRUE(dialog.RangeBitmap().isNull());
    EXPECT_EQ(dialog.RangeBegin(), 50);
    EXPECT_EQ(dialog.RangeEnd(), 80);
}

TEST_F(RangeDialogTest, ModalShowReturnsThePercentagesHoweverItCloses) {
    dialog.hide();
    QTimer::singleShot(0, &dialog, [this] {
        QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(344, 40));
        QTest::mouseClick(&dialog, Qt::RightButton, {}, QPoint(688, 40));
        dialog.close();
    });
    const auto [begin, end] = dialog.ShowRange(10, 20);
    EXPECT_EQ(begin, 50);
    EXPECT_EQ(end, 100);
}

}  // namespace
}  // namespace veska::ui
