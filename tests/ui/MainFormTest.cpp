// The main window driving the real logic against the virtual bench: the simulated sensor on
// a pseudo-terminal linked as COM4. Message boxes and file dialogs answer from scripts. The
// logic runs on its own thread, as in the program; the tests wait for it where it matters.
#include <gtest/gtest.h>

#include "tests/ui/QtPrint.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <csignal>
#include <functional>
#include <future>
#include <memory>

#include "lang/Language.h"
#include "main/LogicThread.h"
#include "main/MainWindow.h"
#include "main/ProgramState.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"
#include "platform/SerialPort.h"
#include "sim/ParamMemory.h"
#include "sim/VirtualBench.h"
#include "ui/AboutBox.h"
#include "ui/BenchForm.h"
#include "ui/BusyTexts.h"
#include "ui/ChartView.h"
#include "ui/CloseOnSignal.h"
#include "ui/FileDialogAdapter.h"
#include "ui/MainForm.h"
#include "ui/MessageBoxAdapter.h"
#include "ui/ParamGridWidget.h"
#include "ui/PortComboBox.h"
#include "ui/QueuedMainView.h"
#include "ui/RangeDialog.h"
#include "ui/SensorSearchDialog.h"
#include "ui/TraceDock.h"

namespace veska::ui {
namespace {

using main::Control;
using main::Timer;
using params::IdentityLabel;

QString Q(const char* text) { return QString::fromUtf8(text); }

/// The program as app/main.cpp builds it, on the virtual bench, with scripted dialogs.
class MainFormTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::BenchOptions options;
        options.installUsbBackend = true;
        bench = std::make_unique<sim::VirtualBench>(options);
        std::string error;
        ASSERT_TRUE(bench->Start(&error)) << error;
        platform::SetPortDirectory(bench->PortDirectory());

        state = std::make_unique<main::ProgramState>();
        form = std::make_unique<TFormMain>(*state);
        range = std::make_unique<TFormRange>(form.get());
        about = std::make_unique<TFormAbout>(state->texts, form.get());
        benchForm = std::make_unique<TFormDebug>(state->benchModeCode, form.get());
        form->SetForms(*range, *about, *benchForm);
        form->SetAdapters(boxes, files);
        form->SetAboutBoxEnabled(false);
        // The machine's own ports stay out of the tests.
        form->ComboBoxCOM()->listPorts = [] { return std::vector<std::string>{}; };
        form->ComboBoxCOM()->RefreshPorts();

        main::StartOptions start;
        start.languageDirectory = VESKA_SOURCE_DIR "/Language";
        start.motorTablePath = VESKA_SOURCE_DIR "/no-such-Motor.dat";
        thread = std::make_unique<main::LogicThread>();
        view = std::make_unique<QueuedMainView>(*form, *thread);
        logic = std::make_unique<main::MainWindow>(*state, *view, platform::SystemClock(),
                                                   platform::UsbBackend(), start);
        form->Attach(*logic, *thread, *view);
        thread->Start();
        OnLogic([this] { logic->FormCreate(); });
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::setActiveWindow(form.get());
    }

    void TearDown() override {
        if (form) {
            form->close();
            form->Detach();
        }
        logic.reset();
        view.reset();
        thread.reset();
        benchForm.reset();
        about.reset();
        range.reset();
        form.reset();
        state.reset();
        bench.reset();
    }

    /// Waits until no task runs or waits and the window shows everything the logic did.
    bool LogicIdle() {
        return QTest::qWaitFor([this] { return form->LogicIdle(); }, 60000);
    }

    /// Runs fn on the logic thread, as an event of the window would, and waits for it.
    void OnLogic(std::function<void()> fn) {
        thread->Post("test", std::move(fn));
        ASSERT_TRUE(LogicIdle());
    }

    bool MeasurementRunning() {
        bool running = false;
        OnLogic([this, &running] { running = logic->MeasurementRunning(); });
        return running;
    }

    /// Waits for the logic and for the height animation to end.
    bool AnimationDone() {
        return LogicIdle() && QTest::qWaitFor([this] { return !form->Animating(); }, 15000) &&
               LogicIdle();
    }

    void Connect() {
        form->ButtonConnect()->click();
        ASSERT_TRUE(AnimationDone());
        ASSERT_TRUE(state->session.conn.connected);
        ASSERT_EQ(form->height(), 795);
    }

    /// Makes param's row current the way a click does, and returns its open editor.
    QWidget* SelectRow(int param) {
        ParamGridWidget* grid = form->ValueListEditorParam();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(param, 1));
        if (grid->OpenEditor() == nullptr) grid->EditCurrent();
        return grid->OpenEditor();
    }

    /// Opens the grid's context menu over the current row and runs one of its items.
    void GridMenu(QAction* action) {
        ParamGridWidget* grid = form->ValueListEditorParam();
        const QPoint pos = grid->visualRect(grid->currentIndex()).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, grid->viewport()->mapToGlobal(pos));
        QApplication::sendEvent(grid->viewport(), &event);
        ASSERT_TRUE(form->PopupMenuParam()->isVisible());
        action->trigger();
        form->PopupMenuParam()->hide();
        ASSERT_TRUE(LogicIdle());
    }

    std::string LastMessage() const { return boxes.shown.empty() ? "" : boxes.shown.back().text; }

    std::unique_ptr<sim::VirtualBench> bench;
    std::unique_ptr<main::ProgramState> state;
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TFormRange> range;
    std::unique_ptr<TFormAbout> about;
    std::unique_ptr<TFormDebug> benchForm;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs files;
    std::unique_ptr<main::LogicThread> thread;
    std::unique_ptr<QueuedMainView> view;
    std::unique_ptr<main::MainWindow> logic;
};

TEST_F(MainFormTest, StartsCollapsedDisconnectedWithTheEnglishCaptions) {
    EXPECT_EQ(form->height(), 160);
    EXPECT_EQ(form->minimumHeight(), 160);
    EXPECT_FALSE(form->ButtonMeasure()->isEnabled());
    EXPECT_FALSE(form->ButtonStream()->isEnabled());
    EXPECT_FALSE(form->ButtonZero()->isEnabled());
    EXPECT_FALSE(form->LabelRast()->isEnabled());
    EXPECT_EQ(form->LabelRast()->text(), Q("0.000 mm"));
    EXPECT_EQ(form->windowTitle(), Q("Veskacfg (setup program, release 2.0)"));
    EXPECT_EQ(form->ButtonConnect()->text(), Q("Connect"));
    EXPECT_EQ(form->ButtonMeasure()->text(), Q("Measure"));
    EXPECT_EQ(form->ButtonStream()->text(), Q("Stream start"));
    EXPECT_EQ(form->ButtonZero()->text(), Q("Zero set"));
    EXPECT_EQ(form->Label(Control::Label10)->text(), Q("Port"));
    EXPECT_EQ(form->Label(Control::Label5)->text(), Q("Baud rate"));
    EXPECT_EQ(form->Label(Control::Label4)->text(), Q("Net address"));
    EXPECT_EQ(form->Label(Control::Label18)->text(), Q("Type:"));
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::Model)->text(), Q("---"));
    EXPECT_EQ(form->Action(Control::PopupMenuLoad)->text(), Q("Load"));
    EXPECT_EQ(form->Action(Control::PopupMenuDefault)->text(), Q("Default"));
    EXPECT_EQ(form->Action(Control::MenuSave)->text(), Q("Save data to file"));
    EXPECT_EQ(form->ValueListEditorParam()->horizontalHeaderItem(0)->text(), Q("Parameter"));
    EXPECT_EQ(form->ValueListEditorParam()->horizontalHeaderItem(1)->text(), Q("Value"));
    EXPECT_EQ(form->ValueListEditorParam()->rowCount(), 0);
    for (QLabel* label : form->findChildren<QLabel*>()) {
        EXPECT_EQ(label->textFormat(), Qt::PlainText)
            << label->objectName().toStdString() << " " << label->text().toStdString();
    }

    EXPECT_EQ(form->ComboBoxCOM()->currentText(), Q("COM4"));
    EXPECT_EQ(form->ComboBoxCOM()->count(), PortComboBox::kFixedItems);
    EXPECT_EQ(form->ComboBoxCOM()->itemText(32), Q("USB"));
    EXPECT_EQ(form->ComboBoxCOM()->itemText(33), Q("USB_PELRIN"));
    EXPECT_EQ(form->ComboBoxWorkBaund()->count(), 11);
    EXPECT_EQ(form->ComboBoxWorkBaund()->currentText(), Q("115200"));
    EXPECT_EQ(form->ComboBoxWorkCodeDev()->count(), 127);
    EXPECT_EQ(form->ComboBoxWorkCodeDev()->currentText(), Q("1"));

    EXPECT_EQ(form->TimerInterval(Timer::TimerMain), 1);
    EXPECT_EQ(form->TimerInterval(Timer::TimerAnswer), 30000);
    EXPECT_FALSE(form->TimerEnabled(Timer::TimerMain));
    EXPECT_FALSE(form->LabelBusy()->isVisible());
    EXPECT_FALSE(form->TimerEnabled(Timer::TimerAnswer));
    EXPECT_FALSE(benchForm->isVisible());

    const QList<QAction*> items = form->PopupMenuParam()->actions();
    ASSERT_EQ(items.size(), 14);
    for (int i : {3, 7, 11}) EXPECT_TRUE(items[i]->isSeparator()) << i;
    EXPECT_EQ(items[12]->text(), Q("Write to file"));
    EXPECT_EQ(items[13]->text(), Q("Read from file"));
    EXPECT_TRUE(form->XAutomaticScalingAction()->isChecked());
    EXPECT_TRUE(form->YAutomaticScalingAction()->isChecked());
    EXPECT_EQ(form->YAutomaticScalingAction()->text(), Q("Y Automatic Scaling"));
}

TEST_F(MainFormTest, PortListIsReadAgainWhenItOpens) {
    form->ComboBoxCOM()->listPorts = [] {
        return std::vector<std::string>{"/dev/serial/by-id/usb-converter", "/dev/ttyUSB0"};
    };
    form->ComboBoxCOM()->showPopup();
    form->ComboBoxCOM()->hidePopup();
    ASSERT_EQ(form->ComboBoxCOM()->count(), PortComboBox::kFixedItems + 2);
    EXPECT_EQ(form->ComboBoxCOM()->itemText(34), Q("/dev/serial/by-id/usb-converter"));
    EXPECT_EQ(form->ComboBoxCOM()->currentText(), Q("COM4"));
    form->ComboBoxCOM()->listPorts = [] { return std::vector<std::string>{}; };
    form->ComboBoxCOM()->RefreshPorts();
    EXPECT_EQ(form->ComboBoxCOM()->count(), PortComboBox::kFixedItems);
}

TEST_F(MainFormTest, ConnectFillsTheGridAndTheIdentity) {
    Connect();
    EXPECT_TRUE(boxes.shown.empty()) << LastMessage();
    EXPECT_EQ(form->ValueListEditorParam()->rowCount(), 37);
    EXPECT_TRUE(form->ValueListEditorParam()->isEnabled());
    EXPECT_EQ(form->ButtonConnect()->text(), Q("Disconnect"));
    EXPECT_TRUE(form->ButtonMeasure()->isEnabled());
    EXPECT_TRUE(form->ButtonStream()->isEnabled());
    EXPECT_TRUE(form->ButtonZero()->isEnabled());
    EXPECT_TRUE(form->LabelRast()->isEnabled());
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::Model)->text(), Q("20"));
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::SerialNumber)->text(), Q("1234"));
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::Release)->text(), Q("23"));
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::Base)->text(), Q("80 mm"));
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::Range)->text(), Q("50 mm"));
    EXPECT_EQ(form->ValueListEditorParam()->item(2, 1)->text(), Q("115200"));
    EXPECT_TRUE(form->TimerEnabled(Timer::TimerAnswer));
    // The delivered build hides the factory item.
    EXPECT_FALSE(form->Action(Control::MenuWriteToFactory)->isVisible());
    EXPECT_FALSE(benchForm->isVisible());
}

TEST_F(MainFormTest, EditedCellIsSentWithLoadAndComparedWithTheSensor) {
    Connect();
    auto* edit = qobject_cast<QLineEdit*>(SelectRow(9));  // Sampling Period
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, Q("2x500"));
    EXPECT_EQ(edit->text(), Q("2500"));
    EXPECT_EQ(form->BeepCount(), 1);
    QTest::keyClicks(edit, Q("00"));  // a sixth digit is refused
    EXPECT_EQ(edit->text(), Q("25000"));
    EXPECT_EQ(form->BeepCount(), 2);

    GridMenu(form->Action(Control::PopupMenuLoad));
    EXPECT_EQ(state->session.values.workValues[9], 25000);
    EXPECT_EQ(bench->Sensor().Param(8) | (bench->Sensor().Param(9) << 8), 25000);
    EXPECT_EQ(state->session.conn.answerStatus.load(), 0);

    GridMenu(form->Action(Control::PopupMenuCompare));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Ok!");
    EXPECT_EQ(boxes.shown[0].caption, "Veskacfg");
    EXPECT_EQ(boxes.shown[0].flags, 48);

    bench->Sensor().SetParam(8, 0x11);
    GridMenu(form->Action(Control::PopupMenuCompare));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].text.rfind("Parameter '", 0), 0u) << boxes.shown[1].text;
}

TEST_F(MainFormTest, TextThatDoesNotConvertKeepsTheRowCurrent) {
    Connect();
    auto* edit = qobject_cast<QLineEdit*>(SelectRow(10));  // Max Integration Time
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClick(edit, Qt::Key_Minus);
    ParamGridWidget* grid = form->ValueListEditorParam();
    grid->setCurrentIndex(grid->model()->index(13, 1));
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_NE(boxes.errors[0].find("-"), std::string::npos) << boxes.errors[0];
    EXPECT_EQ(grid->currentRow(), 10);
    EXPECT_EQ(state->session.grid.CurrentParam(), 10);
    auto* reopened = qobject_cast<QLineEdit*>(grid->OpenEditor());
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(reopened->text(), Q("-"));  // the bad text stays to be corrected
    reopened->selectAll();
    QTest::keyClick(reopened, Qt::Key_Delete);
    QTest::keyClicks(reopened, Q("400"));
    grid->setCurrentIndex(grid->model()->index(13, 1));
    EXPECT_EQ(grid->currentRow(), 13);
    EXPECT_EQ(state->session.values.workValues[10], 400);
}

TEST_F(MainFormTest, EllipsisOpensTheRangeDialogAndTakesItsPercentages) {
    Connect();
    auto* edit = qobject_cast<QLineEdit*>(SelectRow(11));
    ASSERT_NE(edit, nullptr);
    auto* button = edit->findChild<QToolButton*>();
    ASSERT_NE(button, nullptr);
    // The dialog opens when the logic asks for it; it is worked from inside its own loop.
    QTimer operate;
    operate.setInterval(10);
    QObject::connect(&operate, &QTimer::timeout, range.get(), [this, &operate] {
        if (!range->isVisible()) return;
        operate.stop();
        QTest::mouseClick(range.get(), Qt::LeftButton, {}, QPoint(344, 40));
        QTest::mouseClick(range.get(), Qt::RightButton, {}, QPoint(688, 40));
        range->close();
    });
    operate.start();
    button->click();
    ASSERT_TRUE(LogicIdle());
    EXPECT_FALSE(operate.isActive());
    EXPECT_EQ(state->session.grid.CellText(11), "50");
    EXPECT_EQ(state->session.grid.CellText(12), "100");
    EXPECT_EQ(state->session.values.workValues[11], 32767);
    EXPECT_EQ(state->session.values.workValues[12], 65534);
}

TEST_F(MainFormTest, SilentSensorStopsTheConnectWithTheStopMessage) {
    bench->Sensor().SetSilent(true);
    form->ButtonConnect()->click();
    ASSERT_TRUE(LogicIdle());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text,
              "The sensor does not answer. Check the cable, the baud rate and the net address.");
    EXPECT_EQ(boxes.shown[0].caption, "Veskacfg");
    EXPECT_EQ(boxes.shown[0].flags, 16);
    EXPECT_FALSE(state->session.conn.connected);
    EXPECT_EQ(form->ButtonConnect()->text(), Q("Connect"));
    EXPECT_FALSE(form->ButtonMeasure()->isEnabled());
    EXPECT_EQ(form->height(), 160);
}

/// Message boxes that also note what the window showed when each one came up.
class NotingMessageBoxes final : public MessageBoxAdapter {
  public:
    struct Noted {
        std::string text;
        int ticks = 0;     ///< interface timer ticks served before the box
        int paints = 0;    ///< repaints of the value label before the box
        QString busyText;  ///< the busy text, empty when hidden
        bool busyCursor = false;
        bool xAutomatic = true;  ///< the chart's bottom axis still automatic
    };
    int MessageBox(const std::string& text, const std::string&, int) override {
        noted.push_back({text, *ticks, *paints,
                         form->LabelBusy()->isVisible() ? form->LabelBusy()->text() : QString(),
                         form->cursor().shape() == Qt::BusyCursor,
                         form->Chart1()->BottomAutomatic()});
        return params::kIdOk;
    }
    void ShowError(const std::string& text) override { MessageBox(text, "", 0); }

    TFormMain* form = nullptr;
    const int* ticks = nullptr;
    const int* paints = nullptr;
    std::vector<Noted> noted;
};

/// Counts the paint events of a widget.
class PaintCounter final : public QObject {
  public:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
    int paints = 0;
};

TEST_F(MainFormTest, WindowKeepsServingEventsWhileASilentSensorIsIdentified) {
    bench->Sensor().SetSilent(true);
    int ticks = 0;
    PaintCounter counter;
    form->LabelRast()->installEventFilter(&counter);
    NotingMessageBoxes noting;
    noting.form = form.get();
    noting.ticks = &ticks;
    noting.paints = &counter.paints;
    form->SetAdapters(noting, files);
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, form.get(), [this, &ticks] {
        ++ticks;
        form->LabelRast()->update();
        if (ticks == 5) form->resize(form->width() + 20, form->height());
    });
    ticker.start();

    form->ButtonConnect()->click();
    // A click made meanwhile waits its turn behind the connect.
    form->XAutomaticScalingAction()->trigger();
    ASSERT_TRUE(LogicIdle());

    // The identify waited for the silent sensor on the logic thread while this thread kept
    // serving its timer, repainting and resizing, with the operation named in the window.
    ASSERT_EQ(noting.noted.size(), 1u);
    const NotingMessageBoxes::Noted& box = noting.noted[0];
    EXPECT_EQ(box.text,
              "The sensor does not answer. Check the cable, the baud rate and the net address.");
    EXPECT_GE(box.ticks, 10);
    EXPECT_GE(box.paints, 5);
    EXPECT_EQ(box.busyText, Q("Connecting…"));
    EXPECT_TRUE(box.busyCursor);
    EXPECT_TRUE(box.xAutomatic);
    EXPECT_EQ(form->width(), 980);

    // Then the scaling click ran, and the busy state went away.
    EXPECT_FALSE(form->Chart1()->BottomAutomatic());
    EXPECT_FALSE(form->XAutomaticScalingAction()->isChecked());
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->LabelBusy()->isHidden(); }, 5000));
    EXPECT_NE(form->cursor().shape(), Qt::BusyCursor);
    EXPECT_FALSE(state->session.conn.connected);
    form->SetAdapters(boxes, files);
}

TEST_F(MainFormTest, GridInputIsRefusedVisiblyWhileTheLogicIsBusy) {
    Connect();
    auto* edit = qobject_cast<QLineEdit*>(SelectRow(9));
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, Q("12"));
    EXPECT_EQ(edit->text(), Q("12"));
    const int beeps = form->BeepCount();

    // The logic is held busy by a task that waits for this test.
    std::promise<void> started;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    thread->Post("Reading parameters…", [&started, released] {
        started.set_value();
        released.wait();
    });
    started.get_future().wait();
    QTest::keyClicks(edit, Q("3"));
    EXPECT_EQ(edit->text(), Q("12"));  // refused, not waited for
    EXPECT_EQ(form->BeepCount(), beeps + 1);
    EXPECT_TRUE(form->LabelBusy()->isVisible());
    EXPECT_EQ(form->LabelBusy()->text(), Q("Reading parameters…"));
    ParamGridWidget* grid = form->ValueListEditorParam();
    grid->setCurrentIndex(grid->model()->index(13, 1));
    EXPECT_EQ(grid->currentRow(), 9);  // the row change is refused as well
    EXPECT_EQ(form->BeepCount(), beeps + 2);

    release.set_value();
    ASSERT_TRUE(LogicIdle());
    edit = qobject_cast<QLineEdit*>(grid->OpenEditor());  // the refused change reopened it
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(), Q("12"));
    QTest::keyClick(edit, Qt::Key_End);  // a reopened editor selects its text
    QTest::keyClicks(edit, Q("3"));
    EXPECT_EQ(edit->text(), Q("123"));
    grid->setCurrentIndex(grid->model()->index(13, 1));
    EXPECT_EQ(grid->currentRow(), 13);
    EXPECT_EQ(state->session.values.workValues[9], 123);
    EXPECT_EQ(form->BeepCount(), beeps + 2);
}

TEST_F(MainFormTest, WatchdogTearsDownAfterTwoTicksWithoutAnswer) {
    Connect();
    bench->Sensor().SetSilent(true);
    SelectRow(9);
    GridMenu(form->Action(Control::PopupMenuRead));  // fails: the sensor is silent
    ASSERT_NE(state->session.conn.answerStatus.load(), 0);
    OnLogic([this] { logic->TimerAnswerTimer(); });
    EXPECT_TRUE(state->session.conn.connected);
    OnLogic([this] { logic->TimerAnswerTimer(); });
    EXPECT_FALSE(state->session.conn.connected);
    EXPECT_FALSE(form->TimerEnabled(Timer::TimerAnswer));
    EXPECT_EQ(form->ButtonConnect()->text(), Q("Connect"));
    EXPECT_FALSE(form->ButtonMeasure()->isEnabled());
    EXPECT_FALSE(form->LabelRast()->isEnabled());
    EXPECT_EQ(form->LabelRast()->text(), Q("0.000 mm"));
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::Range)->text(), Q("---"));
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_TRUE(AnimationDone());
    EXPECT_EQ(form->height(), 160);
}

TEST_F(MainFormTest, DisconnectShrinksTheWindowAndClearsTheIdentity) {
    Connect();
    form->ButtonConnect()->click();
    ASSERT_TRUE(LogicIdle());
    EXPECT_FALSE(state->session.conn.connected);
    EXPECT_EQ(form->ButtonConnect()->text(), Q("Connect"));
    ASSERT_TRUE(AnimationDone());
    EXPECT_EQ(form->height(), 160);
    EXPECT_EQ(form->IdentityValueLabel(IdentityLabel::SerialNumber)->text(), Q("---"));
    EXPECT_FALSE(form->ButtonMeasure()->isEnabled());
    EXPECT_FALSE(form->TimerEnabled(Timer::TimerAnswer));
    EXPECT_EQ(form->ValueListEditorParam()->rowCount(), 37);  // the rows stay for the run
}

TEST_F(MainFormTest, MeasurementPlotsAndTheExportWritesTheBuffer) {
    Connect();
    form->ButtonMeasure()->click();
    EXPECT_TRUE(MeasurementRunning());
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Chart1()->PointCount() >= 20; }, 15000));
    form->ButtonMeasure()->click();
    EXPECT_FALSE(MeasurementRunning());
    EXPECT_NE(form->LabelRast()->text(), Q("0.000 mm"));
    EXPECT_TRUE(form->LabelRast()->text().endsWith(Q(" mm")));
    QTest::qWait(2 * ChartView::kReplotIntervalMs);
    EXPECT_FALSE(form->Chart1()->Dirty());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(Q("samples.txt"));
    files.answers.push_back(QFile::encodeName(path).toStdString());
    form->Action(Control::MenuSave)->trigger();
    ASSERT_TRUE(LogicIdle());
    ASSERT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.asked[0].kind, FileKind::DataSave);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    std::string expected;
    state->samples.ExportLines(expected);
    EXPECT_EQ(data.toStdString(), expected);
    ASSERT_FALSE(data.isEmpty());
    EXPECT_TRUE(data.endsWith("\r\n"));
    const QList<QByteArray> lines = data.split('\n');
    const QRegularExpression number(Q("^-?[0-9]+\\.[0-9]{3}\\r$"));
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_TRUE(number.match(QString::fromLatin1(lines[i])).hasMatch())
            << lines[i].toStdString();
    }

    // "Clear" empties the chart; the buffer stays for the next export.
    form->Action(Control::MenuClear)->trigger();
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(form->Chart1()->PointCount(), 0);
    files.answers.push_back(std::nullopt);  // cancelled: nothing written
    form->Action(Control::MenuSave)->trigger();
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(files.asked.size(), 2u);
}

TEST_F(MainFormTest, StreamShowsTheNewestValueOnTheDisplayTimerAndPlotsAtStop) {
    Connect();
    form->ButtonStream()->click();
    ASSERT_TRUE(LogicIdle());
    ASSERT_TRUE(state->streamRunning.load());
    EXPECT_EQ(form->ButtonStream()->text(), Q("Stream stop"));
    EXPECT_FALSE(form->ButtonMeasure()->isEnabled());
    EXPECT_FALSE(form->ButtonConnect()->isEnabled());
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return form->LabelRast()->text() != Q("0.000 mm"); }, 15000));
    form->ButtonStream()->click();
    ASSERT_TRUE(LogicIdle());
    EXPECT_FALSE(state->streamRunning.load());
    EXPECT_EQ(form->ButtonStream()->text(), Q("Stream start"));
    EXPECT_TRUE(form->ButtonConnect()->isEnabled());
    EXPECT_GT(form->Chart1()->PointCount(), 0);
}

TEST_F(MainFormTest, SigtermClosesTheWindowAsItsCloseButtonDoes) {
    Connect();
    form->ButtonStream()->click();
    ASSERT_TRUE(LogicIdle());
    ASSERT_TRUE(state->streamRunning.load());
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return bench->Sensor().Streaming() != sim::StreamKind::kNone; }, 15000));
    const uint32_t stopsBefore = bench->Sensor().Counters().requests[8];

    CloseOnSignal closer(*form);
    ASSERT_TRUE(closer.Active());
    int closedBy = 0;
    closer.onClosed = [&closedBy](int signal) { closedBy = signal; };
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    ASSERT_TRUE(QTest::qWaitFor([&closedBy] { return closedBy != 0; }, 30000));

    EXPECT_EQ(closedBy, SIGTERM);
    EXPECT_EQ(closer.Signal(), SIGTERM);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(state->streamRunning.load());
    EXPECT_FALSE(state->session.sensor.IsOpen());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return bench->Sensor().Counters().requests[8] >= stopsBefore + 2; }, 15000));
    EXPECT_EQ(bench->Sensor().Streaming(), sim::StreamKind::kNone);
}

TEST_F(MainFormTest, ChartMenuTogglesTheAutomaticScaling) {
    Connect();
    form->YAutomaticScalingAction()->trigger();
    ASSERT_TRUE(LogicIdle());
    EXPECT_FALSE(form->YAutomaticScalingAction()->isChecked());
    EXPECT_FALSE(form->Chart1()->LeftAutomatic());
    form->Chart1()->ReplotIfDirty();
    EXPECT_EQ(form->Chart1()->LeftRange(), std::make_pair(0.0, 50.0));
    form->YAutomaticScalingAction()->trigger();
    ASSERT_TRUE(LogicIdle());
    EXPECT_TRUE(form->YAutomaticScalingAction()->isChecked());
    EXPECT_TRUE(form->Chart1()->LeftAutomatic());
    form->XAutomaticScalingAction()->trigger();
    ASSERT_TRUE(LogicIdle());
    EXPECT_FALSE(form->XAutomaticScalingAction()->isChecked());
    EXPECT_FALSE(form->Chart1()->BottomAutomatic());
}

// ---- The status bar, Reconnect and the sensor search -----------------------------------

TEST_F(MainFormTest, StatusBarSaysWhenTheSensorStoppedAnsweringAndReconnectBringsItBack) {
    EXPECT_EQ(form->LabelLink()->text(), Q("Not connected"));
    EXPECT_FALSE(form->ReconnectAction()->isEnabled());
    Connect();
    EXPECT_TRUE(form->LabelLink()->text().startsWith(Q("Connected: COM4 (/dev/pts/")))
        << form->LabelLink()->text().toStdString();
    EXPECT_TRUE(form->LabelLink()->text().endsWith(Q("), 115200 bit/s, address 1")));
    EXPECT_FALSE(form->FindSensorAction()->isEnabled());

    bench->Sensor().SetSilent(true);
    SelectRow(9);
    GridMenu(form->Action(Control::PopupMenuRead));  // fails: the sensor is silent
    OnLogic([this] { logic->TimerAnswerTimer(); });
    OnLogic([this] { logic->TimerAnswerTimer(); });
    ASSERT_FALSE(state->session.conn.connected);
    ASSERT_TRUE(AnimationDone());
    const QString lost = form->LabelLink()->text();
    EXPECT_EQ(form->LinkStateShown(), main::LinkState::Lost);
    EXPECT_TRUE(lost.startsWith(Q("Sensor lost: COM4 (/dev/pts/"))) << lost.toStdString();
    EXPECT_TRUE(QRegularExpression(Q(", 115200 bit/s, address 1 stopped answering at "
                                     "\\d\\d:\\d\\d:\\d\\d; the connection was closed$"))
                    .match(lost)
                    .hasMatch())
        << lost.toStdString();
    EXPECT_TRUE(form->LabelLink()->isVisible()) << "the collapsed window shows it";
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(form->ReconnectAction()->isEnabled());
    EXPECT_TRUE(form->FindSensorAction()->isEnabled());
    const QString dir = qEnvironmentVariable("VESKA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        EXPECT_TRUE(form->grab().save(dir + Q("/link-lost.png")));
    }

    bench->Sensor().SetSilent(false);
    form->ReconnectAction()->trigger();
    ASSERT_TRUE(AnimationDone());
    EXPECT_TRUE(state->session.conn.connected);
    EXPECT_TRUE(form->LabelLink()->text().startsWith(Q("Connected: COM4")));
    EXPECT_EQ(form->LinkStateShown(), main::LinkState::Connected);
}

TEST_F(MainFormTest, StatusBarCountsTheResultsOfARun) {
    Connect();
    form->ButtonMeasure()->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return form->LabelLink()->text().contains(Q(" results/s, failed requests 0")); },
        15000))
        << form->LabelLink()->text().toStdString();
    EXPECT_EQ(form->LinkStateShown(), main::LinkState::Busy);
    form->ButtonMeasure()->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return form->LabelLink()->text().contains(Q(" | last run: ")); }, 15000))
        << form->LabelLink()->text().toStdString();
}

TEST_F(MainFormTest, FindASensorConnectsToTheOneChosen) {
    // The sensor was moved to 57600 bit/s and address 9.
    bench->Sensor().SetParam(sim::addr::kBaudCode, 57600 / 2400);
    bench->Sensor().SetParam(sim::addr::kNetAddress, 9);
    ASSERT_TRUE(LogicIdle());
    form->FindSensorAction()->trigger();
    SensorSearchDialog* dialog = form->SearchDialog();
    ASSERT_NE(dialog, nullptr);
    QListWidget* ports = dialog->PortList();
    int ticked = 0;
    for (int i = 0; i < ports->count(); ++i) {
        if (ports->item(i)->checkState() == Qt::Checked) {
            ++ticked;
            EXPECT_EQ(ports->item(i)->text(), Q("COM4")) << "the chosen port is ticked";
        }
    }
    EXPECT_EQ(ticked, 1);
    dialog->SetRateOrder({115200, 57600});  // the current rate first, then the sensor's
    ASSERT_TRUE(dialog->StartSearch());
    ASSERT_TRUE(QTest::qWaitFor([dialog] { return !dialog->Running(); }, 60000));
    ASSERT_EQ(dialog->Hits().size(), 1u);
    dialog->ChooseHit(0);
    ASSERT_TRUE(AnimationDone());
    EXPECT_TRUE(state->session.conn.connected);
    EXPECT_EQ(state->session.conn.netAddress, 9);
    EXPECT_EQ(form->ComboBoxWorkCodeDev()->currentText(), Q("9"));
    EXPECT_EQ(form->ComboBoxWorkBaund()->currentText(), Q("57600"));
    EXPECT_TRUE(form->LabelLink()->text().endsWith(Q("57600 bit/s, address 9")));
}

TEST_F(MainFormTest, LineTraceWindowShowsTheConnectsExchanges) {
    form->LineTraceAction()->trigger();
    TraceDock* dock = form->LineTrace();
    ASSERT_TRUE(dock->isVisible());
    Connect();
    dock->Drain();
    EXPECT_TRUE(dock->Text()->toPlainText().contains(Q(" sensor >> ")));
    EXPECT_TRUE(dock->Text()->toPlainText().contains(Q(" sensor << ")));
    dock->close();
    EXPECT_FALSE(dock->Listening());
}

// ---- Unsent edits ----------------------------------------------------------------------

/// True when param's row is painted as not on the sensor.
bool Marked(ParamGridWidget* grid, int param) {
    QTableWidgetItem* value = grid->item(param, 1);
    QTableWidgetItem* key = grid->item(param, 0);
    const bool painted = value->background().color() == ParamGridWidget::UnsentColour();
    EXPECT_EQ(key->background().color() == ParamGridWidget::UnsentColour(), painted);
    EXPECT_EQ(value->font().bold(), painted);
    // Every row's tooltip names what it allows; a marked row's adds the sensor's value.
    EXPECT_EQ(value->toolTip().contains(Q("Not on the sensor")), painted);
    return painted;
}

/// Types text into param's row and leaves it for the next row.
void TypeInto(QWidget* editor, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

TEST_F(MainFormTest, AnEditIsMarkedUntilLoadedAndCompareMarksWhatTheSensorChanged) {
    Connect();
    ParamGridWidget* grid = form->ValueListEditorParam();
    const int32_t onSensor = state->session.values.workValues[9];
    EXPECT_FALSE(Marked(grid, 9));
    TypeInto(SelectRow(9), Q("2500"));
    SelectRow(13);  // leaving the row takes the text over
    ASSERT_TRUE(LogicIdle());
    EXPECT_TRUE(Marked(grid, 9));
    EXPECT_EQ(
        grid->item(9, 1)->toolTip(),
        Q("Allowed: 1 … 65535\nNot on the sensor. On the sensor: ") + QString::number(onSensor));
    EXPECT_FALSE(Marked(grid, 10));

    SelectRow(9);
    GridMenu(form->Action(Control::PopupMenuLoad));
    EXPECT_FALSE(Marked(grid, 9)) << "sent";

    bench->Sensor().SetParam16(0x0A, 777);  // Max Integration Time changed on the sensor
    EXPECT_FALSE(Marked(grid, 10));
    GridMenu(form->Action(Control::PopupMenuCompareAll));
    EXPECT_TRUE(Marked(grid, 10));
    EXPECT_EQ(grid->item(10, 1)->toolTip(),
              Q("Allowed: 1 … 65535\nNot on the sensor. On the sensor: 777"));
    EXPECT_FALSE(Marked(grid, 9));
}

TEST_F(MainFormTest, ReadAllAsksBeforeItDiscardsAnEdit) {
    Connect();
    ParamGridWidget* grid = form->ValueListEditorParam();
    const QString onSensor = grid->item(9, 1)->text();
    TypeInto(SelectRow(9), Q("2500"));
    SelectRow(13);
    ASSERT_TRUE(LogicIdle());

    boxes.answers = {2};  // Cancel
    GridMenu(form->Action(Control::PopupMenuReadAll));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("'Sampling Period': 2500"), std::string::npos)
        << boxes.shown[0].text;
    EXPECT_EQ(boxes.shown[0].flags, 49);
    EXPECT_EQ(grid->item(9, 1)->text(), Q("2500"));
    EXPECT_EQ(state->session.values.workValues[9], 2500);
    EXPECT_TRUE(Marked(grid, 9));

    boxes.answers = {1};  // OK
    GridMenu(form->Action(Control::PopupMenuReadAll));
    EXPECT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(grid->item(9, 1)->text(), onSensor);
    EXPECT_FALSE(Marked(grid, 9));
}

TEST_F(MainFormTest, AFailedFileReadShowsAndMarksWhatItTook) {
    Connect();
    ParamGridWidget* grid = form->ValueListEditorParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(Q("short.prm"));
    {
        // Rows 0..9 only: "Sampling Period" (address 8) becomes 4321, then the file ends.
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const auto& table = state->session.table;
        for (int i = 0; i < 10; ++i) {
            const int32_t v = i == 9 ? 4321 : state->session.values.workValues[i];
            file.write(QByteArray::number(table[i].address) + '\t' + QByteArray::number(v) + '\n');
        }
    }
    files.answers.push_back(QFile::encodeName(path).toStdString());
    SelectRow(0);
    GridMenu(form->ReadParamFileAction());
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_NE(boxes.errors[0].find("record 11"), std::string::npos) << boxes.errors[0];
    EXPECT_EQ(state->session.values.workValues[9], 4321);
    EXPECT_EQ(grid->item(9, 1)->text(), Q("4321")) << "the grid shows what the values hold";
    EXPECT_TRUE(Marked(grid, 9));
    EXPECT_FALSE(Marked(grid, 1));
}

// ---- The chart ---------------------------------------------------------------------------

TEST_F(MainFormTest, StreamIsDrawnLiveWithItsStatisticsAndPlottedWholeAtStop) {
    Connect();
    ChartView* chart = form->Chart1();
    form->ButtonStream()->click();
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(chart->LeftTitle(), Q("Distance [mm]"));
    EXPECT_EQ(chart->BottomTitle(), Q("Sample"));
    ASSERT_TRUE(QTest::qWaitFor(
        [chart] { return chart->LiveTraceCount() > 0 && !chart->StatisticsText().isEmpty(); },
        15000));
    EXPECT_EQ(chart->PointCount(), 0) << "SeriesOsc gets the samples at the stop";
    EXPECT_TRUE(chart->StatisticsText().startsWith(Q("n ")))
        << chart->StatisticsText().toStdString();
    form->ButtonStream()->click();
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(chart->LiveTraceCount(), 0);
    EXPECT_GT(chart->PointCount(), 0);
    chart->ReplotIfDirty();
    EXPECT_TRUE(chart->StatisticsText().startsWith(Q("n ") + QString::number(chart->PointCount())))
        << chart->StatisticsText().toStdString();
    EXPECT_TRUE(chart->StatisticsText().contains(Q(" mm   "))) << "unit, then the rate";
}

TEST_F(MainFormTest, ZeroOffsetIsShownWhileSetAndClearedFromTheChart) {
    Connect();
    form->ButtonMeasure()->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Chart1()->PointCount() >= 5; }, 15000));
    form->ButtonMeasure()->click();
    ASSERT_TRUE(LogicIdle());
    EXPECT_TRUE(form->Chart1()->ZeroOffsetText().isEmpty());
    form->ButtonZero()->click();
    ASSERT_TRUE(LogicIdle());
    ASSERT_NE(state->zeroOffset.load(), 0.0f);
    EXPECT_TRUE(form->Chart1()->ZeroOffsetText().startsWith(Q("Zero offset ")));
    EXPECT_TRUE(form->Chart1()->ZeroOffsetText().endsWith(Q(" mm")));

    form->PopupMenuSave()->popup(form->Chart1()->mapToGlobal(QPoint(10, 10)));
    EXPECT_TRUE(form->ClearZeroAction()->isEnabled());
    form->ClearZeroAction()->trigger();
    form->PopupMenuSave()->hide();
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(state->zeroOffset.load(), 0.0f);
    EXPECT_TRUE(form->Chart1()->ZeroOffsetText().isEmpty());
}

TEST_F(MainFormTest, ChartIsSavedAsAnImageFromItsMenu) {
    Connect();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(Q("chart.png"));
    files.answers.push_back(QFile::encodeName(path).toStdString());
    form->SaveChartImageAction()->trigger();
    ASSERT_TRUE(LogicIdle());
    ASSERT_EQ(files.asked.size(), 1u);
    EXPECT_EQ(files.asked[0].kind, FileKind::ImageSave);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(8).startsWith("\x89PNG"));

    files.answers.push_back(dir.filePath(Q("no-such-folder/chart.png")).toStdString());
    form->SaveChartImageAction()->trigger();
    ASSERT_TRUE(LogicIdle());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("no-such-folder"), std::string::npos);
}

TEST_F(MainFormTest, OutOfRangeAddressIsRefusedBeforeAnyWriteAndTheCellKeepsIt) {
    Connect();
    auto* combo = qobject_cast<QComboBox*>(SelectRow(3));  // UART Net Address: a pick list
    ASSERT_NE(combo, nullptr);
    QLineEdit* edit = combo->lineEdit();
    ASSERT_NE(edit, nullptr);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, Q("-1"));
    ParamGridWidget* grid = form->ValueListEditorParam();
    const QPoint pos = grid->visualRect(grid->currentIndex()).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, grid->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(grid->viewport(), &event);
    EXPECT_FALSE(form->PopupMenuParam()->isVisible());  // refused: no Load to choose
    ASSERT_TRUE(LogicIdle());
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_NE(boxes.errors[0].find("1 … 127"), std::string::npos) << boxes.errors[0];
    EXPECT_EQ(state->session.values.workValues[3], 1);
    EXPECT_EQ(bench->Sensor().Param(3), 1);
    EXPECT_EQ(state->session.conn.netAddress, 1);
    EXPECT_EQ(state->session.grid.CellText(3), "-1");  // kept for correction

    // A value that came from elsewhere (a file) is refused by Load before any write.
    combo = qobject_cast<QComboBox*>(grid->OpenEditor());
    ASSERT_NE(combo, nullptr);
    edit = combo->lineEdit();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, Q("1"));
    OnLogic([this] {
        state->session.values.workValues[3] = 255;
        state->session.grid.SetCellText(3, "255");
    });
    ASSERT_TRUE(LogicIdle());
    boxes.shown.clear();
    GridMenu(form->Action(Control::PopupMenuLoadAll));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].text.find("1 … 127"), std::string::npos) << boxes.shown[0].text;
    EXPECT_EQ(bench->Sensor().Param(3), 1);
    EXPECT_EQ(state->session.conn.netAddress, 1);
}

TEST_F(MainFormTest, ContextMenuActsOnTheRowUnderTheMouse) {
    Connect();
    SelectRow(14);  // Zero Point highlighted
    ParamGridWidget* grid = form->ValueListEditorParam();
    const QRect cell = grid->visualRect(grid->model()->index(7, 0));  // Number of Averaged Values
    QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(),
                            grid->viewport()->mapToGlobal(cell.center()));
    QApplication::sendEvent(grid->viewport(), &event);
    form->PopupMenuParam()->hide();
    EXPECT_EQ(grid->currentRow(), 7);
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(state->session.grid.CurrentParam(), 7);
    EXPECT_TRUE(grid->selectionModel()->isRowSelected(7, QModelIndex()));
}

TEST_F(MainFormTest, AddressChosenIsTheAddressTheStatusBarNames) {
    Connect();
    form->ComboBoxWorkCodeDev()->setCurrentIndex(4);
    emit form->ComboBoxWorkCodeDev()->textActivated(Q("5"));
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(state->session.conn.netAddress, 5);
    EXPECT_TRUE(form->LabelLink()->text().endsWith(Q("address 5")))
        << form->LabelLink()->text().toStdString();
}

TEST_F(MainFormTest, LanguageMenuSwitchesEveryCaptionAtOnce) {
    Connect();
    QAction* german = nullptr;
    for (QAction* a : form->LanguageMenu()->actions()) {
        if (a->data().toString() == Q("DE.INI")) german = a;
    }
    ASSERT_NE(german, nullptr);
    QString chosen;
    form->onLanguageChosen = [&chosen](const QString& file) { chosen = file; };
    german->trigger();
    ASSERT_TRUE(LogicIdle());
    EXPECT_EQ(chosen, Q("DE.INI"));
    // The menu is made anew in the new language: look the item up again.
    german = nullptr;
    for (QAction* a : form->LanguageMenu()->actions()) {
        if (a->data().toString() == Q("DE.INI")) german = a;
    }
    ASSERT_NE(german, nullptr);
    EXPECT_TRUE(german->isChecked());
    EXPECT_EQ(form->ReconnectAction()->text(), Q("Neu verbinden"));
    EXPECT_EQ(form->SaveChartImageAction()->text(), Q("Diagramm als Bild speichern..."));
    EXPECT_TRUE(form->LabelLink()->text().startsWith(Q("Verbunden: COM4")))
        << form->LabelLink()->text().toStdString();
    EXPECT_EQ(form->OptionsButton()->text(), Q("Optionen"));
}

TEST_F(MainFormTest, BenchFormItemOnlyInTheFactoryBuildAndShowsTheFormAtAnyTime) {
    EXPECT_FALSE(form->BenchFormAction()->isVisible());
    form->SetBenchMenuItem(true);
    EXPECT_TRUE(form->BenchFormAction()->isVisible());
    form->BenchFormAction()->trigger();  // not connected: still shown
    EXPECT_TRUE(benchForm->isVisible());
}

// ---- One language ----------------------------------------------------------------------

/// Every text the window shows now: captions, menu items (shown or not) and their
/// tooltips, widget tooltips, the grid's headings, the chart's titles and statistics, the status
/// bar.
std::vector<QString> ShownTexts(TFormMain& form) {
    std::vector<QString> texts;
    auto add = [&texts](const QString& text) {
        if (!text.trimmed().isEmpty()) texts.push_back(text);
    };
    add(form.windowTitle());
    for (QWidget* w : form.findChildren<QWidget*>()) {
        // Dialogs not shown now take their texts when they open; menus are read by action.
        if (!w->isVisible()) continue;
        add(w->toolTip());
        if (auto* label = qobject_cast<QLabel*>(w)) add(label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w)) add(button->text());
        if (auto* menu = qobject_cast<QMenu*>(w)) add(menu->title());
        if (auto* table = qobject_cast<QTableWidget*>(w)) {
            for (int c = 0; c < table->columnCount(); ++c) {
                if (QTableWidgetItem* h = table->horizontalHeaderItem(c)) add(h->text());
            }
        }
    }
    for (QAction* a : form.findChildren<QAction*>()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        add(a->text());
        add(a->toolTip());
    }
    add(form.Chart1()->LeftTitle());
    add(form.Chart1()->BottomTitle());
    add(form.Chart1()->StatisticsText());
    return texts;
}

/// The English texts a German window must not show: every entry of the English language
/// file that the German one words differently, and the program's own English words.
bool LooksEnglish(const std::string& text, const lang::TextTable& en, const lang::TextTable& de,
                  std::string& which) {
    auto check = [&](const std::string& english, const std::string& german) {
        std::string e = english;
        while (!e.empty() && (e.back() == ' ' || e.back() == '.' || e.back() == ':')) e.pop_back();
        if (e.size() < 4 || e == german || german.find(e) != std::string::npos) return false;
        // Short words only as the whole text; longer phrases anywhere in it.
        const bool hit =
            e.size() < 10 ? text == e || text == english : text.find(e) != std::string::npos;
        if (hit) which = english;
        return hit;
    };
    for (int k = 0; k < static_cast<int>(lang::ProgramText::Count); ++k) {
        const auto key = static_cast<lang::ProgramText>(k);
        if (check(en.Text(key), de.Text(key))) return true;
    }
    for (const lang::Section section : lang::kAllSections) {
        for (int k = 0; k < lang::TextTable::Count(section); ++k) {
            if (section == lang::Section::Parameter || section == lang::Section::ParamValue)
                continue;
            if (check(en.Get(section, k), de.Get(section, k))) return true;
        }
    }
    static const QRegularExpression words(
        Q("\\b(the|of|and|Busy|Connecting|Disconnecting|Clear|Save|Search|Close|Pause|Resume|"
          "Address|Baud rate|Serial no|Release|Range|Port|Mode|Ports to search|Find a sensor|"
          "Line trace|Bench form|Language|Options|Link|Reconnect|Sample|Distance|Mean|offset|"
          "Setup|program|release|Searching|Trying|found|Paused|Identify|Measuring|stopping)\\b"));
    const QRegularExpressionMatch m = words.match(QString::fromStdString(text));
    if (m.hasMatch()) which = m.captured(0).toStdString();
    return m.hasMatch();
}

TEST_F(MainFormTest, TheGermanWindowShowsNoEnglishText) {
    lang::TextTable en, de;
    ASSERT_TRUE(lang::LoadLanguage(VESKA_SOURCE_DIR "/Language", en, "EN.INI"));
    ASSERT_TRUE(lang::LoadLanguage(VESKA_SOURCE_DIR "/Language", de, "DE.INI"));
    for (QAction* a : form->LanguageMenu()->actions()) {
        if (a->data().toString() == Q("DE.INI")) a->trigger();
    }
    ASSERT_TRUE(LogicIdle());
    Connect();
    form->SetBenchMenuItem(true);

    // A measurement fills the chart's titles and statistics and the status bar's run line.
    form->ButtonMeasure()->click();
    ASSERT_TRUE(QTest::qWaitFor([this] { return form->Chart1()->PointCount() >= 5; }, 15000));
    form->ButtonMeasure()->click();
    ASSERT_TRUE(LogicIdle());

    // An edit not yet on the sensor: its tooltip, and the question before Read All drops it.
    TypeInto(SelectRow(9), Q("2500"));
    SelectRow(13);
    ASSERT_TRUE(LogicIdle());
    boxes.answers = {2};
    GridMenu(form->Action(Control::PopupMenuReadAll));
    ASSERT_EQ(boxes.shown.size(), 1u);

    std::vector<QString> texts = ShownTexts(*form);
    texts.push_back(Q(boxes.shown[0].text.c_str()));
    texts.push_back(Q(boxes.shown[0].caption.c_str()));
    // The windows the Link menu opens, and the busy notes of the status bar.
    SensorSearchDialog search(form.get(), &state->shownTexts);
    search.Setup({Q("COM4")}, {}, 115200, 1);
    TraceDock trace(form.get(), &state->shownTexts);
    for (QWidget* window : {static_cast<QWidget*>(&search), static_cast<QWidget*>(&trace)}) {
        texts.push_back(window->windowTitle());
        for (QWidget* w : window->findChildren<QWidget*>()) {
            if (auto* label = qobject_cast<QLabel*>(w)) texts.push_back(label->text());
            if (auto* button = qobject_cast<QAbstractButton*>(w)) texts.push_back(button->text());
            if (auto* table = qobject_cast<QTableWidget*>(w)) {
                for (int c = 0; c < table->columnCount(); ++c) {
                    texts.push_back(table->horizontalHeaderItem(c)->text());
                }
            }
        }
    }
    for (const char* task : {"Connecting…", "TimerMain", "Reading parameters…", ""}) {
        texts.push_back(Q(BusyText(task, state->shownTexts).c_str()));
    }
    for (const QString& text : texts) {
        std::string which;
        // Parameter names are the sensor's own and stay as they are.
        QString shown = text;
        for (const auto& row : state->session.table) shown.remove(Q(row.name.c_str()));
        EXPECT_FALSE(LooksEnglish(shown.toStdString(), en, de, which))
            << "'" << text.toStdString() << "' (" << which << ")";
    }
    // One caption: the window's title starts with the name every dialog carries.
    EXPECT_EQ(boxes.shown[0].caption, "Veskacfg");
    EXPECT_TRUE(form->windowTitle().startsWith(Q("Veskacfg (")));
}

}  // namespace
}  // namespace veska::ui
