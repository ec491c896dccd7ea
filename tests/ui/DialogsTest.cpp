#include <gtest/gtest.h>

#include "tests/ui/QtPrint.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <functional>

#include "lang/Language.h"
#include "ui/AboutBox.h"
#include "ui/BenchForm.h"
#include "ui/MessageBoxAdapter.h"

namespace veska::ui {
namespace {

/// Runs inspect on the modal box once it is up (then it must close it).
void WhenModal(std::function<void(QWidget*)> inspect) {
    QTimer::singleShot(0, [inspect = std::move(inspect)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        inspect(modal);
    });
}

// ---- About box -------------------------------------------------------------------------

class AboutBoxTest : public ::testing::Test {
  protected:
    AboutBoxTest() {
        texts.Set(lang::Section::About, 0, "VESKA ");
        texts.Set(lang::Section::About, 1, "VESKA laser distance sensors");
        texts.Set(lang::Section::About, 3, "Setup and test program");
        texts.Set(lang::Section::About, 4, "Release 2.0");
    }
    lang::TextTable texts;
    TFormAbout box{texts};
};

TEST_F(AboutBoxTest, ShowsTheTextsThePictureAndTheLink) {
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    EXPECT_EQ(box.size(), QSize(320, 341));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("VESKA "));
    EXPECT_EQ(box.Label1()->text(), QStringLiteral("VESKA laser distance sensors"));
    EXPECT_TRUE(box.Label1()->font().bold());
    EXPECT_TRUE(box.Label1()->font().italic());
    EXPECT_EQ(box.Label1()->palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(box.Label3()->text(), QStringLiteral("Setup and test program"));
    EXPECT_EQ(box.Label4()->text(), QStringLiteral("Release 2.0"));
    EXPECT_GE(box.Label4()->mapTo(&box, QPoint(0, 0)).y(), box.height());  // below the visible area
    EXPECT_EQ(box.Image1()->size(), QSize(305, 241));
    EXPECT_FALSE(box.Image1()->pixmap().isNull());
    EXPECT_EQ(box.LabelPatch()->text(), QString::fromLatin1(TFormAbout::kWebAddress));
    EXPECT_EQ(box.LabelPatch()->textFormat(), Qt::PlainText);
    EXPECT_EQ(box.LabelPatch()->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(box.OKButton()->isDefault());
    EXPECT_TRUE(box.TimerAbout()->isActive());
    EXPECT_EQ(box.TimerAbout()->interval(), 10);
    box.hide();
    EXPECT_FALSE(box.TimerAbout()->isActive());
}

TEST_F(AboutBoxTest, HasNoCloseButton) {
    const Qt::WindowFlags flags = box.windowFlags();
    EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
    EXPECT_TRUE(flags & Qt::WindowTitleHint);
    EXPECT_FALSE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowSystemMenuHint);
}

TEST_F(AboutBoxTest, EnterClosesTheBoxWithOk) {
    WhenModal([](QWidget* modal) { QTest::keyClick(modal->focusWidget(), Qt::Key_Return); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, LinkIsBlueUnderTheCursorAndPlainBlackElsewhere) {
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    QLabel* link = box.LabelPatch();
    EXPECT_TRUE(link->font().italic());
    const QPoint onLink = link->mapToGlobal(link->rect().center());
    box.HoverAt(onLink);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_TRUE(link->font().italic());  // still italic: the cursor has not left yet
    box.HoverAt(box.mapToGlobal(QPoint(5, 5)));
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_FALSE(link->font().italic());
    box.HoverAt(onLink);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_FALSE(link->font().italic());

    // The timer step reads the real cursor.
    QCursor::setPos(box.mapToGlobal(QPoint(5, 5)));
    box.TimerAboutTimer();
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::black));
    box.hide();
}

// ---- Bench form ------------------------------------------------------------------------

TEST(BenchForm, StartsWithTheInitialStates) {
    int32_t code = 77;
    TFormDebug form(code);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("QSDEBUG"));
    EXPECT_EQ(form.LabelVOKT_U()->text(), QStringLiteral("0.0000 V"));
    EXPECT_EQ(form.LabelVOKT_I()->text(), QStringLiteral("0.000 mA"));
    EXPECT_EQ(form.LabelEncoder()->text(), QStringLiteral("0.0000 mm"));
    EXPECT_EQ(form.LabeldMORLA_Encoder()->text(), QStringLiteral("0.0000 mm"));
    for (QLabel* l : {form.LabelVOKT_U(), form.LabelVOKT_I(), form.LabelEncoder(),
                      form.LabeldMORLA_Encoder()}) {
        EXPECT_FALSE(l->isEnabled());
        EXPECT_TRUE(l->font().bold());
        EXPECT_TRUE(l->alignment() & Qt::AlignRight);
    }
    EXPECT_EQ(form.LabelCOMMotor()->text(), QStringLiteral("COM Motor:"));
    EXPECT_EQ(form.LabelCOMEncoder()->text(), QStringLiteral("COM Encoder:"));
    for (QComboBox* c : {form.ComboBoxMotorCOM(), form.ComboBoxEncoderCOM()}) {
        ASSERT_EQ(c->count(), 33);
        EXPECT_EQ(c->itemText(0), QStringLiteral("COM1"));
        EXPECT_EQ(c->itemText(31), QStringLiteral("COM32"));
        EXPECT_EQ(c->itemText(32), QStringLiteral("USB"));
    }
    EXPECT_EQ(form.ComboBoxMotorCOM()->currentText(), QStringLiteral("COM2"));
    EXPECT_EQ(form.ComboBoxEncoderCOM()->currentText(), QStringLiteral("COM7"));
    EXPECT_EQ(form.RadioGroupMode()->title(), QStringLiteral("Mode"));
    EXPECT_EQ(form.SelectedModeItem(), 0);
    EXPECT_EQ(form.ModeButton(21)->text(), QStringLiteral("Laser_Adjustment"));
    EXPECT_EQ(form.ProgressBarQSDEBUG()->minimum(), 0);
    EXPECT_EQ(form.ProgressBarQSDEBUG()->maximum(), 100);
    EXPECT_EQ(form.ProgressBarQSDEBUG()->value(), 0);
    EXPECT_EQ(form.LabelLaser()->text(), QStringLiteral("0"));
    QSlider* laser = form.TrackBarLaser();
    EXPECT_EQ(laser->orientation(), Qt::Vertical);
    EXPECT_EQ(laser->minimum(), 0);
    EXPECT_EQ(laser->maximum(), 16383);
    EXPECT_EQ(laser->value(), 16383);
    EXPECT_EQ(laser->pageStep(), 1);
    EXPECT_EQ(code, 77);  // building the form leaves the program's code alone
}

TEST(BenchForm, ModeClickSetsTheCodeOfTheItem) {
    int32_t code = 0;
    TFormDebug form(code);
    const std::pair<int, int32_t> cases[] = {{0, 0},    {2, 2},    {3, 128},  {9, 134},
                                             {10, 137}, {17, 144}, {20, 147}, {21, 148}};
    for (const auto& [item, expected] : cases) {
        form.ModeButton(item)->click();
        EXPECT_EQ(code, expected) << "item " << item;
        EXPECT_EQ(form.SelectedModeItem(), item);
    }
    form.RadioGroupModeClick(22);
    form.RadioGroupModeClick(-1);
    EXPECT_EQ(code, 148);
    // Selecting an item from the program does not run the click.
    form.SelectModeItem(0);
    EXPECT_EQ(form.SelectedModeItem(), 0);
    EXPECT_EQ(code, 148);
}

TEST(BenchForm, LaserSliderShowsTheInvertedLevel) {
    int32_t code = 0;
    TFormDebug form(code);
    form.TrackBarLaser()->setValue(0);
    EXPECT_EQ(form.LabelLaser()->text(), QStringLiteral("16383"));
    form.TrackBarLaser()->setValue(16000);
    EXPECT_EQ(form.LabelLaser()->text(), QStringLiteral("383"));
}

// ---- Message boxes ---------------------------------------------------------------------

struct BoxCase {
    int flags;
    QMessageBox::Icon icon;
    bool hasCancel;
};

TEST(MessageBoxAdapter, FlagsChooseIconAndButtons) {
    const BoxCase cases[] = {
        {0, QMessageBox::NoIcon, false},
        {16, QMessageBox::Critical, false},
        {48, QMessageBox::Warning, false},
        {49, QMessageBox::Warning, true},
    };
    QtMessageBoxes boxes(nullptr);
    for (const BoxCase& c : cases) {
        WhenModal([c](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->icon(), c.icon) << c.flags;
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("Caption"));
            EXPECT_EQ(box->text(), QStringLiteral("<b>not markup</b>"));
            EXPECT_EQ(box->button(QMessageBox::Cancel) != nullptr, c.hasCancel) << c.flags;
            box->button(QMessageBox::Ok)->click();
        });
        EXPECT_EQ(boxes.MessageBox("<b>not markup</b>", "Caption", c.flags), 1) << c.flags;
    }
    WhenModal([](QWidget* modal) {
        qobject_cast<QMessageBox*>(modal)->button(QMessageBox::Cancel)->click();
    });
    EXPECT_EQ(boxes.MessageBox("Sure?", "Caption", 49), 2);
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    EXPECT_EQ(boxes.MessageBox("Sure?", "Caption", 49), 2);
}

TEST(MessageBoxAdapter, GeneralErrorIsAStopBoxWithTheProgramTitle) {
    QtMessageBoxes boxes(nullptr);
    WhenModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Veskacfg"));
        EXPECT_EQ(box->text(), QStringLiteral("'-' is not a valid integer value"));
        box->button(QMessageBox::Ok)->click();
    });
    boxes.ShowError("'-' is not a valid integer value");
}

TEST(MessageBoxAdapter, ScriptedAnswersInOrderThenOk) {
    ScriptedMessageBoxes boxes;
    boxes.answers = {2, 1};
    EXPECT_EQ(boxes.MessageBox("a", "c", 49), 2);
    EXPECT_EQ(boxes.MessageBox("b", "c", 49), 1);
    EXPECT_EQ(boxes.MessageBox("c", "c", 0), 1);
    ASSERT_EQ(boxes.shown.size(), 3u);
    EXPECT_EQ(boxes.shown[0].text, "a");
    EXPECT_EQ(boxes.shown[2].flags, 0);
}

}  // namespace
}  // namespace veska::ui
