#include "app/ScreenshotRuns.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>

#include "bench/ModeTable.h"
#include "main/LogicThread.h"
#include "main/MainWindow.h"
#include "main/ProgramState.h"
#include "ui/BenchForm.h"
#include "ui/MainForm.h"
#include "ui/StationPanel.h"

namespace veska::app {

namespace {

/// The widget as it is drawn, into dir/name; false (said on the terminal) when not written.
bool SaveShot(QWidget& widget, const std::string& dir, const char* name) {
    const std::string path = dir + "/" + name;
    if (widget.grab().save(QString::fromStdString(path))) return true;
    std::fprintf(stderr, "veskacfg: cannot write %s\n", path.c_str());
    return false;
}

void Quit(ui::TFormMain& form) {
    form.close();
    QApplication::quit();
}

}  // namespace

ScreenshotRun::ScreenshotRun(ui::TFormMain& form, main::LogicThread& thread,
                             main::MainWindow& logic, std::string path)
    : form_(form), thread_(thread), logic_(logic), path_(std::move(path)) {}

void ScreenshotRun::Start() {
    QTimer::singleShot(100, &form_, [this] {
        form_.ButtonConnect()->click();
        Poll(Clock::now());
    });
}

void ScreenshotRun::Poll(Clock::time_point since) {
    // Connected: the logic is done, the window has grown and Measure is enabled.
    const bool settled = form_.LogicIdle() && !form_.Animating();
    if (settled && form_.ButtonMeasure()->isEnabled()) {
        form_.ButtonMeasure()->click();
        QTimer::singleShot(1000, &form_, [this] {
            main::MainWindow* logic = &logic_;
            thread_.Post("Measuring…", [logic] {
                if (logic->MeasurementRunning()) logic->ButtonMeasureClick();
            });
            WaitThenGrab(Clock::now());
        });
        return;
    }
    if (Clock::now() - since > std::chrono::seconds(15)) {
        std::fprintf(stderr, "veskacfg: the sensor did not connect; saving the window as it is\n");
        result_ = 1;
        Grab();
        return;
    }
    QTimer::singleShot(50, &form_, [this, since] { Poll(since); });
}

void ScreenshotRun::WaitThenGrab(Clock::time_point since) {
    if (form_.LogicIdle() || Clock::now() - since > std::chrono::seconds(5)) {
        QTimer::singleShot(200, &form_, [this] { Grab(); });
        return;
    }
    QTimer::singleShot(20, &form_, [this, since] { WaitThenGrab(since); });
}

void ScreenshotRun::Grab() {
    if (!form_.grab().save(QString::fromStdString(path_))) {
        std::fprintf(stderr, "veskacfg: cannot write %s\n", path_.c_str());
        result_ = 1;
    }
    Quit(form_);
}

BenchScreenshotRun::BenchScreenshotRun(ui::TFormMain& form, ui::TFormDebug& benchForm,
                                       main::LogicThread& thread, main::MainWindow& logic,
                                       const main::ProgramState& state, std::string dir)
    : form_(form),
      benchForm_(benchForm),
      thread_(thread),
      logic_(logic),
      state_(state),
      dir_(std::move(dir)) {}

void BenchScreenshotRun::Start() {
    started_ = Clock::now();
    QTimer::singleShot(100, &form_, [this] {
        form_.ButtonConnect()->click();
        Step();
    });
}

void BenchScreenshotRun::Sample() {
    const main::MainWindow* logic = &logic_;
    const main::ProgramState* state = &state_;
    std::atomic<bool>* running = &running_;
    std::atomic<int32_t>* samples = &samples_;
    thread_.Post("", [logic, state, running, samples] {
        running->store(logic->MeasurementRunning());
        samples->store(state->samples.Index());
    });
}

void BenchScreenshotRun::Step() {
    if (Clock::now() - started_ > std::chrono::seconds(120)) {
        std::fprintf(stderr, "veskacfg: the bench run did not get on; saving as it is\n");
        result_ = 1;
        Save(benchForm_, "bench-run.png");
        Finish();
        return;
    }
    Sample();
    const bool settled = form_.LogicIdle() && !form_.Animating();
    switch (stage_) {
        case Stage::Connecting:
            if (settled && form_.ButtonMeasure()->isEnabled()) {
                for (int i = 0; bench::ModeCodeOfItem(i) >= 0; ++i) {
                    if (bench::ModeCodeOfItem(i) == bench::kModePoverka)
                        benchForm_.ModeButton(i)->click();
                }
                form_.ButtonMeasure()->click();
                stage_ = Stage::Recording;
            }
            break;
        case Stage::Recording:
            if (samples_.load() >= kSamplesBeforeShot) {
                Save(benchForm_, "bench-run.png");
                Save(form_, "bench-run-window.png");
                stage_ = Stage::Reporting;
            }
            break;
        case Stage::Reporting:
            if (!running_.load() && settled) {
                QTimer::singleShot(300, &form_, [this] {
                    Save(form_, "report-chart.png");
                    Finish();
                });
                return;
            }
            break;
    }
    QTimer::singleShot(100, &form_, [this] { Step(); });
}

void BenchScreenshotRun::Save(QWidget& widget, const char* name) {
    if (!SaveShot(widget, dir_, name)) result_ = 1;
}

void BenchScreenshotRun::Finish() { Quit(form_); }

StationScreenshotRun::StationScreenshotRun(ui::TFormMain& form, ui::StationPanel& panel,
                                           std::string dir)
    : form_(form), panel_(panel), dir_(std::move(dir)) {}

void StationScreenshotRun::Start() {
    since_ = Clock::now();
    QTimer::singleShot(100, &form_, [this] {
        form_.ButtonConnect()->click();
        panel_.show();
        Step();
    });
}

void StationScreenshotRun::Step() {
    const main::StationModel& shown = panel_.Shown();
    if (Clock::now() - since_ > kLongest) {
        Fail("the station did not end its unit; saving as it is");
        return;
    }
    const bool settled = form_.LogicIdle() && !form_.Animating();
    if (!started_ && settled && form_.ButtonMeasure()->isEnabled()) {
        QComboBox* sequences = panel_.SequenceBox();
        const int verification = sequences->findText(QStringLiteral("verification"));
        if (verification >= 0) sequences->setCurrentIndex(verification);
        panel_.OperatorEdit()->setText(QStringLiteral("Screenshot"));
        panel_.FolderEdit()->setText(QString::fromStdString(dir_ + "/runs"));
        panel_.Start();
        started_ = true;
    } else if (started_ && settled && !shown.running && !shown.verdict.empty()) {
        std::fprintf(stderr, "veskacfg: unit %s: %s %s\n", shown.serial.c_str(),
                     shown.verdict.c_str(), shown.reason.c_str());
        QTimer::singleShot(300, &form_, [this] {
            Save(panel_, "station.png");
            Save(form_, "station-window.png");
            Quit(form_);
        });
        return;
    } else if (started_ && settled && !shown.running && !shown.message.empty() &&
               shown.steps.empty()) {
        Fail("the station refused: " + shown.message);
        return;
    }
    QTimer::singleShot(100, &form_, [this] { Step(); });
}

void StationScreenshotRun::Save(QWidget& widget, const char* name) {
    if (!SaveShot(widget, dir_, name)) result_ = 1;
}

void StationScreenshotRun::Fail(const std::string& why) {
    std::fprintf(stderr, "veskacfg: %s\n", why.c_str());
    result_ = 1;
    Save(panel_, "station.png");
    Quit(form_);
}

}  // namespace veska::app
