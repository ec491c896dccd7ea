// Screenshots of the window on the virtual bench, for the documentation: rows with values
// that are not on the sensor, the chart with a zoomed stream and its statistics line, the
// window in German, the factory build's bench menu item with the bench form, and an entry
// refused for its range with the message that says why.
// Run on Qt's offscreen platform by scripts/screenshot.sh; writes the PNG files into the
// folder given (default "screenshots").
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <cstdio>
#include <memory>

#include "main/LogicThread.h"
#include "main/MainWindow.h"
#include "main/ProgramState.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"
#include "platform/SerialPort.h"
#include "sim/VirtualBench.h"
#include "ui/AboutBox.h"
#include "ui/BenchForm.h"
#include "ui/ChartView.h"
#include "ui/FileDialogAdapter.h"
#include "ui/MainForm.h"
#include "ui/MessageBoxAdapter.h"
#include "ui/ParamGridWidget.h"
#include "ui/PortComboBox.h"
#include "ui/QueuedMainView.h"
#include "ui/RangeDialog.h"

namespace {

using namespace veska;

/// The program as app/main.cpp builds it, on the virtual bench, with scripted dialogs.
struct Window {
    bool Start() {
        sim::BenchOptions options;
        options.installUsbBackend = true;
        bench = std::make_unique<sim::VirtualBench>(options);
        std::string error;
        if (!bench->Start(&error)) {
            std::fprintf(stderr, "virtual bench: %s\n", error.c_str());
            return false;
        }
        platform::SetPortDirectory(bench->PortDirectory());
        state = std::make_unique<main::ProgramState>();
        form = std::make_unique<ui::TFormMain>(*state);
        range = std::make_unique<ui::TFormRange>(form.get());
        about = std::make_unique<ui::TFormAbout>(state->texts, form.get());
        benchForm = std::make_unique<ui::TFormDebug>(state->benchModeCode, form.get());
        form->SetForms(*range, *about, *benchForm);
        form->SetAdapters(boxes, files);
        form->SetAboutBoxEnabled(false);
        form->ComboBoxCOM()->listPorts = [] { return std::vector<std::string>{}; };
        main::StartOptions start;
        start.languageDirectory = VESKA_SOURCE_DIR "/Language";
        start.motorTablePath = VESKA_SOURCE_DIR "/Motor.dat";
        thread = std::make_unique<main::LogicThread>();
        view = std::make_unique<ui::QueuedMainView>(*form, *thread);
        logic = std::make_unique<main::MainWindow>(*state, *view, platform::SystemClock(),
                                                   platform::UsbBackend(), start);
        form->Attach(*logic, *thread, *view);
        thread->Start();
        thread->Post("start", [this] { logic->FormCreate(); });
        form->show();
        return QTest::qWaitForWindowExposed(form.get()) && Idle();
    }
    ~Window() {
        if (form) {
            form->close();
            form->Detach();
        }
        logic.reset();
        view.reset();
        thread.reset();
    }
    bool Idle() {
        return QTest::qWaitFor([this] { return form->LogicIdle(); }, 60000);
    }
    bool Connect() {
        form->ButtonConnect()->click();
        return Idle() && QTest::qWaitFor([this] { return !form->Animating(); }, 15000) && Idle() &&
               state->session.conn.connected;
    }
    /// Types text into param's row and leaves the row.
    void Edit(int param, const QString& text) {
        ui::ParamGridWidget* grid = form->ValueListEditorParam();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(param, 1));
        if (grid->OpenEditor() == nullptr) grid->EditCurrent();
        if (auto* edit = qobject_cast<QLineEdit*>(grid->OpenEditor())) {
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, text);
        }
        grid->setCurrentIndex(grid->model()->index(param + 1, 1));
        Idle();
    }
    bool Save(const QString& path, const QString& tooltipOfRow = {}, int row = -1) {
        QTest::qWait(300);  // the busy text goes with its poll
        QPixmap shot = form->grab();
        if (row >= 0) PaintTooltip(shot, tooltipOfRow, row);
        const bool ok = shot.save(path);
        std::printf("%s%s\n", path.toLocal8Bit().constData(), ok ? "" : " (NOT WRITTEN)");
        return ok;
    }

    /// Shows the tooltip of a grid row as the mouse would and paints it into the shot.
    void PaintTooltip(QPixmap& shot, const QString& text, int row) {
        ui::ParamGridWidget* grid = form->ValueListEditorParam();
        const QRect cell = grid->visualRect(grid->model()->index(row, 1));
        const QPoint at = grid->viewport()->mapToGlobal(cell.center());
        QToolTip::showText(at, text, grid->viewport());
        QTest::qWait(200);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->inherits("QTipLabel") && top->isVisible()) {
                QPainter painter(&shot);
                painter.drawPixmap(form->mapFromGlobal(top->pos()), top->grab());
            }
        }
        QToolTip::hideText();
    }

    std::unique_ptr<sim::VirtualBench> bench;
    std::unique_ptr<main::ProgramState> state;
    std::unique_ptr<ui::TFormMain> form;
    std::unique_ptr<ui::TFormRange> range;
    std::unique_ptr<ui::TFormAbout> about;
    std::unique_ptr<ui::TFormDebug> benchForm;
    ui::ScriptedMessageBoxes boxes;
    ui::ScriptedFileDialogs files;
    std::unique_ptr<main::LogicThread> thread;
    std::unique_ptr<ui::QueuedMainView> view;
    std::unique_ptr<main::MainWindow> logic;
};

/// Rows edited in the grid and not yet loaded: tinted and bold, the sensor's value in the
/// tooltip.
bool UnsentEdits(const QString& path) {
    Window w;
    if (!w.Start() || !w.Connect()) return false;
    w.Edit(9, QStringLiteral("2500"));   // Sampling Period
    w.Edit(14, QStringLiteral("500"));   // Zero Point
    w.Edit(33, QStringLiteral("1200"));  // LOut Down Limit
    const QString note =
        QString::fromStdString(w.form->ValueListEditorParam()->ShownRow(9)->markNote);
    return w.Save(path, note, 9);
}

/// A measurement, its zero taken, then a stream of two seconds zoomed into with the wheel,
/// with the statistics line, the zero offset and the read-out under the mouse.
bool ZoomedStream(const QString& path) {
    Window w;
    if (!w.Start() || !w.Connect()) return false;
    w.form->ButtonMeasure()->click();
    QTest::qWait(500);
    w.form->ButtonMeasure()->click();
    w.Idle();
    w.form->ButtonZero()->click();
    w.Idle();
    w.form->ButtonStream()->click();
    w.Idle();
    QTest::qWait(2000);
    w.form->ButtonStream()->click();
    w.Idle();
    ui::ChartView* chart = w.form->Chart1();
    chart->ReplotIfDirty();
    const QPoint center = chart->PlotArea().center();
    QWheelEvent wheel(center, chart->PlotWidget()->mapToGlobal(center), QPoint(),
                      QPoint(0, 120 * 12), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart->PlotWidget(), &wheel);
    QMouseEvent move(QEvent::MouseMove, center + QPoint(30, 0),
                     chart->PlotWidget()->mapToGlobal(center + QPoint(30, 0)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(chart->PlotWidget(), &move);
    chart->RequestReplot();
    chart->ReplotIfDirty();
    return w.Save(path);
}

/// A message box as the program shows it, drawn onto the window below its title bar.
void PaintMessage(QPixmap& shot, const QString& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, caption, QString::fromStdString(text), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.adjustSize();
    const QPixmap picture = box.grab();
    QPainter painter(&shot);
    const QPoint at((shot.width() - picture.width()) / 2, 120);
    painter.setPen(Qt::black);
    painter.drawRect(QRect(at, picture.size()).adjusted(-1, -1, 0, 0));
    painter.drawPixmap(at, picture);
}

/// Chooses German in the language menu, as the operator does.
bool ChooseGerman(Window& w) {
    for (QAction* a : w.form->LanguageMenu()->actions()) {
        if (a->data().toString() == QStringLiteral("DE.INI")) a->trigger();
    }
    return w.Idle();
}

/// The window in German after a measurement: captions, status bar, chart titles and
/// statistics.
bool GermanWindow(const QString& path) {
    Window w;
    if (!w.Start() || !ChooseGerman(w) || !w.Connect()) return false;
    w.form->ButtonMeasure()->click();
    QTest::qWait(800);
    w.form->ButtonMeasure()->click();
    w.Idle();
    w.form->Chart1()->ReplotIfDirty();
    return w.Save(path);
}

/// The factory build's "Options" menu open at its bench item, then the bench form it shows.
bool BenchMenuItem(const QString& menuPath, const QString& formPath) {
    Window w;
    if (!w.Start() || !w.Connect()) return false;
    w.form->SetBenchMenuItem(true);
    QMenu* menu = w.form->OptionsButton()->menu();
    const QPoint below =
        w.form->OptionsButton()->mapToGlobal(QPoint(0, w.form->OptionsButton()->height()));
    menu->popup(below);
    menu->setActiveAction(w.form->BenchFormAction());
    QTest::qWait(300);
    QPixmap shot = w.form->grab();
    {
        QPainter painter(&shot);
        painter.drawPixmap(w.form->mapFromGlobal(below), menu->grab());
    }
    menu->hide();
    bool ok = shot.save(menuPath);
    std::printf("%s%s\n", menuPath.toLocal8Bit().constData(), ok ? "" : " (NOT WRITTEN)");
    w.form->BenchFormAction()->trigger();
    w.Idle();
    QTest::qWait(300);
    const bool formOk = w.benchForm->isVisible() && w.benchForm->grab().save(formPath);
    std::printf("%s%s\n", formPath.toLocal8Bit().constData(), formOk ? "" : " (NOT WRITTEN)");
    return ok && formOk;
}

/// -1 typed into "UART Net Address" and the parameter menu asked for: nothing is sent, the
/// message names the allowed range, the cell keeps what was typed.
bool RefusedEntry(const QString& path) {
    Window w;
    if (!w.Start() || !w.Connect()) return false;
    ui::ParamGridWidget* grid = w.form->ValueListEditorParam();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(3, 1));
    if (grid->OpenEditor() == nullptr) grid->EditCurrent();
    auto* combo = qobject_cast<QComboBox*>(grid->OpenEditor());
    if (combo == nullptr || combo->lineEdit() == nullptr) return false;
    combo->lineEdit()->selectAll();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("-1"));
    const QPoint pos = grid->visualRect(grid->currentIndex()).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, grid->viewport()->mapToGlobal(pos));
    QApplication::sendEvent(grid->viewport(), &event);
    w.Idle();
    if (w.boxes.errors.empty()) return false;
    QTest::qWait(300);
    QPixmap shot = w.form->grab();
    PaintMessage(shot, QApplication::applicationName(), w.boxes.errors.back());
    const bool ok = shot.save(path);
    std::printf("%s%s\n", path.toLocal8Bit().constData(), ok ? "" : " (NOT WRITTEN)");
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veskacfg"));  // as the program names itself
    const QString folder =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    bool ok = UnsentEdits(folder + QStringLiteral("/unsent-edits.png"));
    ok = ZoomedStream(folder + QStringLiteral("/chart-zoomed-stream.png")) && ok;
    ok = GermanWindow(folder + QStringLiteral("/german-window.png")) && ok;
    ok = BenchMenuItem(folder + QStringLiteral("/bench-menu-item.png"),
                       folder + QStringLiteral("/bench-form.png")) &&
         ok;
    ok = RefusedEntry(folder + QStringLiteral("/refused-entry.png")) && ok;
    return ok ? 0 : 1;
}
