#include "ui/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "main/MainWindow.h"
#include "main/ProgramState.h"
#include "params/ParamFile.h"
#include "params/ParamTransfer.h"
#include "ui/AboutBox.h"
#include "ui/BenchForm.h"
#include "ui/BusyTexts.h"
#include "ui/ChartView.h"
#include "ui/FileDialogAdapter.h"
#include "ui/MessageBoxAdapter.h"
#include "ui/ParamGridWidget.h"
#include "ui/PortComboBox.h"
#include "ui/QueuedMainView.h"
#include "ui/RangeDialog.h"
#include "ui/SensorSearchDialog.h"
#include "ui/TraceDock.h"

namespace veska::ui {

using main::Control;
using params::IdentityLabel;

namespace {

constexpr int kWindowWidth = 960;       // [px]
constexpr int kTopPanelHeight = 40;     // [px]
constexpr int kBottomPanelHeight = 26;  // [px]
constexpr int kCollapsedHeight = 160;   // [px], the top row only; the window's minimum
constexpr int kExpandedHeight = 795;    // [px], with the parameter panel and the chart
constexpr int kHeightStep = 100;        // [px] per animation step
constexpr int kAnimationStepMs = 1;

QString Q(const std::string& text) { return QString::fromStdString(text); }

QLabel* PlainLabel(QWidget* parent = nullptr) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QFrame* Panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
    return frame;
}

}  // namespace

TFormMain::TFormMain(main::ProgramState& state, QWidget* parent)
    : QWidget(parent, Qt::Window), state_(state) {
    setMinimumHeight(kCollapsedHeight);
    resize(kWindowWidth, kCollapsedHeight);
    targetHeight_ = kCollapsedHeight;

    auto* top = Panel(this);
    top->setFixedHeight(kTopPanelHeight);
    BuildTopPanel(top);

    auto* middle = new QWidget(this);
    auto* middleLayout = new QHBoxLayout(middle);
    middleLayout->setContentsMargins(0, 0, 0, 0);
    middleLayout->setSpacing(2);
    auto* paramPanel = new QWidget(middle);  // PanelParam
    BuildParamPanel(paramPanel);
    // The two columns, the grid's frame and its scroll bar.
    paramPanel->setFixedWidth(ParamGridWidget::kKeyColumnWidth +
                              ParamGridWidget::kValueColumnWidth + 2 * grid_->frameWidth() +
                              grid_->verticalScrollBar()->sizeHint().width());
    auto* measurePanel = new QWidget(middle);
    BuildMeasurePanel(measurePanel);
    middleLayout->addWidget(paramPanel);
    middleLayout->addWidget(measurePanel, 1);

    auto* bottom = Panel(this);
    bottom->setFixedHeight(kBottomPanelHeight);
    BuildIdentityPanel(bottom);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(top);
    layout->addWidget(middle, 1);
    layout->addWidget(bottom);
    statusLine_ = new QLabel(this);
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setVisible(false);
    layout->addWidget(statusLine_);

    BuildMenus();
    BuildStatusBar();
    layout->addWidget(statusBar_);

    busyPoll_ = new QTimer(this);
    busyPoll_->setInterval(kBusyPollMs);
    connect(busyPoll_, &QTimer::timeout, this, &TFormMain::UpdateBusy);
    animation_ = new QTimer(this);
    animation_->setInterval(kAnimationStepMs);
    connect(animation_, &QTimer::timeout, this, &TFormMain::AnimateStep);

    WireEvents();
}

TFormMain::~TFormMain() { Detach(); }

void TFormMain::BuildTopPanel(QWidget* panel) {
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 4, 8, 4);
    auto* label10 = PlainLabel(panel);
    comboCom_ = new PortComboBox(panel);
    comboCom_->setMinimumWidth(150);
    comboCom_->setCurrentIndex(3);  // COM4
    auto* label5 = PlainLabel(panel);
    comboBaud_ = new QComboBox(panel);
    for (const char* rate : {"2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200",
                             "230400", "460800", "921600"}) {
        comboBaud_->addItem(QString::fromLatin1(rate));
    }
    comboBaud_->setCurrentIndex(7);  // 115200
    auto* label4 = PlainLabel(panel);
    comboAddress_ = new QComboBox(panel);
    for (int n = 1; n <= 127; ++n) comboAddress_->addItem(QString::number(n));
    comboAddress_->setCurrentIndex(0);
    buttonConnect_ = new QPushButton(panel);
    buttonConnect_->setMinimumWidth(110);
    labels_[Control::Label10] = label10;
    labels_[Control::Label5] = label5;
    labels_[Control::Label4] = label4;
    row->addWidget(label10);
    row->addWidget(comboCom_);
    row->addSpacing(12);
    row->addWidget(label5);
    row->addWidget(comboBaud_);
    row->addSpacing(12);
    row->addWidget(label4);
    row->addWidget(comboAddress_);
    row->addSpacing(12);
    row->addWidget(buttonConnect_);
    buttonLink_ = new QToolButton(panel);
    buttonLink_->setText(QStringLiteral("Link"));
    buttonLink_->setPopupMode(QToolButton::InstantPopup);
    row->addWidget(buttonLink_);
    buttonOptions_ = new QToolButton(panel);
    buttonOptions_->setText(QStringLiteral("Options"));
    buttonOptions_->setPopupMode(QToolButton::InstantPopup);
    row->addWidget(buttonOptions_);
    row->addSpacing(12);
    labelBusy_ = PlainLabel(panel);
    labelBusy_->setObjectName(QStringLiteral("LabelBusy"));
    labelBusy_->hide();
    row->addWidget(labelBusy_);
    row->addStretch(1);
}

void TFormMain::BuildParamPanel(QWidget* panel) {
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    grid_ = new ParamGridWidget(state_.session.grid, panel);
    grid_->setEnabled(false);
    progressParam_ = new QProgressBar(panel);
    progressParam_->setRange(0, 36);
    progressParam_->setValue(0);
    progressParam_->setTextVisible(false);
    progressParam_->setFixedHeight(12);
    column->addWidget(grid_, 1);
    column->addWidget(progressParam_);
}

void TFormMain::BuildMeasurePanel(QWidget* panel) {
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 2, 8, 2);
    column->setSpacing(2);
    auto* strip = new QHBoxLayout;
    labelRast_ = PlainLabel(panel);
    QFont big = labelRast_->font();
    big.setPixelSize(36);
    big.setBold(true);
    labelRast_->setFont(big);
    labelRast_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    labelRast_->setMinimumWidth(260);
    labelRast_->setFixedHeight(46);
    buttonMeasure_ = new QPushButton(panel);
    buttonStream_ = new QPushButton(panel);
    buttonZero_ = new QPushButton(panel);
    for (QPushButton* b : {buttonMeasure_, buttonStream_, buttonZero_}) b->setMinimumWidth(96);
    strip->addWidget(buttonMeasure_);
    strip->addWidget(buttonStream_);
    strip->addWidget(buttonZero_);
    strip->addStretch(1);
    strip->addWidget(labelRast_);
    column->addLayout(strip);
    chart_ = new ChartView(panel);
    chart_->setMinimumHeight(0);
    column->addWidget(chart_, 1);
}

void TFormMain::BuildIdentityPanel(QWidget* panel) {
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(8, 2, 8, 2);
    const std::pair<Control, IdentityLabel> pairs[] = {
        {Control::Label18, IdentityLabel::Model},   {Control::Label6, IdentityLabel::SerialNumber},
        {Control::Label17, IdentityLabel::Release}, {Control::Label7, IdentityLabel::Base},
        {Control::Label8, IdentityLabel::Range},
    };
    for (const auto& [title, value] : pairs) {
        QLabel* t = PlainLabel(panel);
        QLabel* v = PlainLabel(panel);
        QFont bold = v->font();
        bold.setBold(true);
        v->setFont(bold);
        v->setMinimumWidth(70);
        labels_[title] = t;
        identity_[value] = v;
        row->addWidget(t);
        row->addWidget(v);
        row->addSpacing(10);
    }
    row->addStretch(1);
}

void TFormMain::BuildMenus() {
    popupParam_ = new QMenu(this);
    actLoad_ = popupParam_->addAction(QStringLiteral("Load"));
    actRead_ = popupParam_->addAction(QStringLiteral("Read"));
    actCompare_ = popupParam_->addAction(QStringLiteral("Compare"));
    popupParam_->addSeparator();
    actLoadAll_ = popupParam_->addAction(QStringLiteral("Load All"));
    actReadAll_ = popupParam_->addAction(QStringLiteral("Read All"));
    actCompareAll_ = popupParam_->addAction(QStringLiteral("Compare All"));
    popupParam_->addSeparator();
    actFlash_ = popupParam_->addAction(QStringLiteral("Write to FLASH"));
    actDefault_ = popupParam_->addAction(QStringLiteral("Default"));
    actFactory_ = popupParam_->addAction(QStringLiteral("Write to Factory"));
    popupParam_->addSeparator();
    actWriteFile_ = popupParam_->addAction(QStringLiteral("Write to file"));
    actReadFile_ = popupParam_->addAction(QStringLiteral("Read from file"));
    grid_->SetPopupMenu(popupParam_);

    popupSave_ = new QMenu(this);
    actSave_ = popupSave_->addAction(QStringLiteral("Save data to file"));
    actSaveCsv_ = popupSave_->addAction(QStringLiteral("Save as CSV"));
    // Usable whenever "Save data to file" is: the same samples, another format.
    connect(actSave_, &QAction::enabledChanged, actSaveCsv_, &QAction::setEnabled);
    actClear_ = popupSave_->addAction(QStringLiteral("Clear"));
    actXAuto_ = popupSave_->addAction(QStringLiteral("X Automatic Scaling"));
    actYAuto_ = popupSave_->addAction(QStringLiteral("Y Automatic Scaling "));
    for (QAction* a : {actXAuto_, actYAuto_}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
    popupSave_->addSeparator();
    actSaveImage_ = popupSave_->addAction(QStringLiteral("Save chart as image..."));
    actClearZero_ = popupSave_->addAction(QStringLiteral("Clear zero offset"));
    chart_->onContextMenu = [this](const QPoint& global) { popupSave_->popup(global); };

    actions_ = {
        {Control::PopupMenuLoad, actLoad_},
        {Control::PopupMenuRead, actRead_},
        {Control::PopupMenuCompare, actCompare_},
        {Control::PopupMenuLoadAll, actLoadAll_},
        {Control::PopupMenuReadAll, actReadAll_},
        {Control::PopupMenuCompareAll, actCompareAll_},
        {Control::PopupMenuFLASH, actFlash_},
        {Control::PopupMenuDefault, actDefault_},
        {Control::MenuWriteToFactory, actFactory_},
        {Control::MenuSave, actSave_},
        {Control::MenuClear, actClear_},
        {Control::MenuSaveCsv, actSaveCsv_},
        {Control::MenuSaveImage, actSaveImage_},
        {Control::MenuClearZero, actClearZero_},
        {Control::MenuXAutomaticScaling, actXAuto_},
        {Control::MenuYAutomaticScaling, actYAuto_},
        {Control::MenuWriteParamFile, actWriteFile_},
        {Control::MenuReadParamFile, actReadFile_},
    };
}

void TFormMain::BuildStatusBar() {
    menuLink_ = new QMenu(this);
    actReconnect_ = menuLink_->addAction(QStringLiteral("Reconnect"));
    actReconnect_->setToolTip(QStringLiteral("Connect again with the last port, rate and address"));
    actReconnect_->setEnabled(false);
    actFindSensor_ = menuLink_->addAction(QStringLiteral("Find a sensor…"));
    menuLink_->addSeparator();
    actLineTrace_ = menuLink_->addAction(QStringLiteral("Line trace"));
    buttonLink_->setMenu(menuLink_);

    menuOptions_ = new QMenu(this);
    menuLanguage_ = menuOptions_->addMenu(QStringLiteral("Language"));
    actBenchForm_ = menuOptions_->addAction(QStringLiteral("Bench form"));
    actBenchForm_->setVisible(false);
    buttonOptions_->setMenu(menuOptions_);
    actions_[Control::MenuReconnect] = actReconnect_;
    actions_[Control::MenuFindSensor] = actFindSensor_;
    actions_[Control::MenuLineTrace] = actLineTrace_;
    actions_[Control::MenuBenchForm] = actBenchForm_;

    statusBar_ = new QStatusBar(this);
    statusBar_->setSizeGripEnabled(false);
    labelLink_ = PlainLabel(statusBar_);
    labelLink_->setObjectName(QStringLiteral("LabelLink"));
    statusBar_->addWidget(labelLink_, 1);
    auto* reconnect = new QToolButton(statusBar_);
    reconnect->setDefaultAction(actReconnect_);
    statusBar_->addPermanentWidget(reconnect);
}

void TFormMain::WireEvents() {
    // Every event becomes a named task of the logic thread, run in the order of the events;
    // none runs before Attach or after Detach. The name is the busy text shown while it runs.
    auto on = [this](const char* name, auto handler) {
        return [this, name, handler] { Post(name, handler); };
    };
    using W = main::MainWindow;
    connect(buttonConnect_, &QPushButton::clicked, this, [this] {
        const bool connecting = !main::SensorConnected(shown_.activity);
        Post(connecting ? "Connecting…" : "Disconnecting…", [](W& l) { l.ButtonConnectClick(); });
    });
    connect(buttonMeasure_, &QPushButton::clicked, this, [this] {
        const bool stopping = shown_.activity == main::Activity::Measuring ||
                              shown_.activity == main::Activity::BenchRun;
        // A run's tick may wait on a silent device: the stop is heard between its exchanges.
        if (stopping && logic_ != nullptr) logic_->AskStop();
        Post(stopping ? "Stopping the run…" : "Measuring…", [](W& l) { l.ButtonMeasureClick(); });
    });
    connect(buttonStream_, &QPushButton::clicked, this,
            on("Switching the stream…", [](W& l) { l.ButtonStreamClick(); }));
    connect(buttonZero_, &QPushButton::clicked, this,
            on("Setting zero…", [](W& l) { l.ButtonZeroClick(); }));

    auto text = [this](const char* name, void (W::*handler)(const std::string&)) {
        return [this, name, handler](const QString& t) {
            Post(name, [handler, value = t.toStdString()](W& l) { (l.*handler)(value); });
        };
    };
    connect(comboCom_, &QComboBox::textActivated, this,
            text("Choosing the port…", &W::ComboBoxCOMChange));
    connect(comboCom_->lineEdit(), &QLineEdit::textEdited, this,
            text("Choosing the port…", &W::ComboBoxCOMChange));
    connect(comboBaud_, &QComboBox::textActivated, this,
            text("Choosing the baud rate…", &W::ComboBoxWorkBaundChange));
    connect(comboAddress_, &QComboBox::textActivated, this,
            text("Choosing the net address…", &W::ComboBoxWorkCodeDevChange));

    // The parameter menu and its file items: one logic call each, named for the busy state.
    const struct {
        QAction* action;
        main::ParamMenuAction item;
        const char* busy;
    } menu[] = {
        {actLoad_, main::ParamMenuAction::Load, "Sending the parameter…"},
        {actRead_, main::ParamMenuAction::Read, "Reading the parameter…"},
        {actCompare_, main::ParamMenuAction::Compare, "Comparing the parameter…"},
        {actLoadAll_, main::ParamMenuAction::LoadAll, "Sending all parameters…"},
        {actReadAll_, main::ParamMenuAction::ReadAll, "Reading parameters…"},
        {actCompareAll_, main::ParamMenuAction::CompareAll, "Comparing all parameters…"},
        {actFlash_, main::ParamMenuAction::Flash, "Storing the parameters in flash…"},
        {actDefault_, main::ParamMenuAction::Default, "Restoring the defaults…"},
        {actFactory_, main::ParamMenuAction::Factory, "Storing the factory set…"},
        {actWriteFile_, main::ParamMenuAction::WriteFile, "Writing the parameter file…"},
        {actReadFile_, main::ParamMenuAction::ReadFile, "Reading the parameter file…"},
    };
    for (const auto& entry : menu) {
        const main::ParamMenuAction item = entry.item;
        connect(entry.action, &QAction::triggered, this,
                on(entry.busy, [item](W& l) { l.ParamMenuClick(item); }));
    }

    connect(actReconnect_, &QAction::triggered, this,
            on("Connecting…", [](W& l) { l.ReconnectClick(); }));
    connect(actFindSensor_, &QAction::triggered, this, [this] { OpenSensorSearch(); });
    connect(actLineTrace_, &QAction::triggered, this, [this] {
        TraceDock* dock = LineTrace();
        dock->show();
        dock->raise();
    });
    connect(actBenchForm_, &QAction::triggered, this, [this] {
        if (bench_ == nullptr) return;
        bench_->show();
        bench_->raise();
    });

    connect(actSave_, &QAction::triggered, this,
            on("Saving the data…", [](W& l) { l.SaveClick(); }));
    connect(actSaveCsv_, &QAction::triggered, this,
            on("Saving the CSV file…", [](W& l) { l.SaveCsvClick(); }));
    connect(actClear_, &QAction::triggered, this,
            on("Clearing the chart…", [](W& l) { l.ClearClick(); }));
    connect(actSaveImage_, &QAction::triggered, this,
            on("Saving the chart image…", [](W& l) { l.SaveChartImageClick(); }));
    connect(actClearZero_, &QAction::triggered, this,
            on("Clearing the zero offset…", [](W& l) { l.ClearZeroClick(); }));
    chart_->onClearZero = on("Clearing the zero offset…", [](W& l) { l.ClearZeroClick(); });
    // The logic owns the check marks: the window model it publishes sets them back.
    connect(actXAuto_, &QAction::triggered, this,
            on("Changing the scaling…", [](W& l) { l.XAutomaticScalingClick(); }));
    connect(actYAuto_, &QAction::triggered, this,
            on("Changing the scaling…", [](W& l) { l.YAutomaticScalingClick(); }));

    // The grid's events that answer the widget at once run on this thread while the logic is
    // idle; while it is busy they are refused (a beep and the busy text), never waited for.
    grid_->onSelectCell = [this](int row) {
        bool ok = false;
        RunNow([row, &ok](W& l) { ok = l.ValueListEditorParamSelectCell(row); });
        return ok;
    };
    grid_->onContextPopup = [this] {
        bool ok = false;
        RunNow([&ok](W& l) { ok = l.ValueListEditorParamContextPopup(); });
        return ok;
    };
    grid_->onKeyPress = [this](char32_t c, const std::string& editorText) {
        params::KeyResult result;
        result.verdict = params::KeyVerdict::Refuse;
        RunNow([&](W& l) { result = l.ValueListEditorParamKeyPress(c, editorText); });
        return result;
    };
    // The others never get lost: at once when the logic is idle, else queued in order.
    grid_->onExit = [this] {
        RunNowOrPost("Taking the cell over…", [](W& l) { l.ValueListEditorParamExit(); });
    };
    grid_->onEditCell = [this](int param, const std::string& cellText) {
        RunNowOrPost("Taking the cell over…", [this, param, cellText](W&) {
            state_.session.grid.EditCell(param, cellText);
        });
    };
    grid_->onEditButtonClick = [this] {
        Post("Opening the range dialog…", [](W& l) { l.ValueListEditorParamEditButtonClick(); });
    };
}

void TFormMain::SetForms(TFormRange& range, TFormAbout& about, TFormDebug& bench) {
    range_ = &range;
    about_ = &about;
    bench_ = &bench;
    using W = main::MainWindow;
    const auto port = [this](const char* name, void (W::*handler)(const std::string&)) {
        return [this, name, handler](const QString& t) {
            Post(name, [handler, value = t.toStdString()](W& l) { (l.*handler)(value); });
        };
    };
    connect(bench.ComboBoxMotorCOM(), &QComboBox::textActivated, this,
            port("Choosing the motor port…", &W::ComboBoxMotorCOMChange));
    connect(bench.ComboBoxEncoderCOM(), &QComboBox::textActivated, this,
            port("Choosing the encoder port…", &W::ComboBoxEncoderCOMChange));
}

void TFormMain::SetAdapters(MessageBoxAdapter& messages, FileDialogAdapter& files) {
    messages_ = &messages;
    files_ = &files;
}

void TFormMain::Attach(main::MainWindow& logic, main::LogicThread& thread, QueuedMainView& view) {
    logic_ = &logic;
    thread_ = &thread;
    view_ = &view;
    view.FollowGrid(state_.session.grid, *grid_);
    using Id = main::LogicThread::TimerId;
    main::MainWindow* l = &logic;
    const Id timerMain = thread.AddTimer("TimerMain", 1, [l] { l->TimerMainTimer(); });
    const Id timerAnswer = thread.AddTimer("TimerAnswer", 30000, [l] { l->TimerAnswerTimer(); });
    const Id linkStatus =
        thread.AddTimer("LinkStatus", kLinkStatusIntervalMs, [l] { l->LinkStatusTick(); });
    const Id display =
        thread.AddTimer("StreamDisplay", kStreamDisplayIntervalMs, [l, &state = state_] {
            if (state.streamRunning.load()) l->StreamDisplayTick();
        });
    timers_ = {timerMain, timerAnswer};
    if (bench_ != nullptr) {
        // The logic reads the bench mode when a run starts: the choice waits its turn.
        bench_->onModeCode = [this](int32_t code) {
            Post("Choosing the bench mode…",
                 [&state = state_, code](main::MainWindow&) { state.benchModeCode = code; });
        };
    }
    thread.SetTimerEnabled(display, true);
    thread.SetTimerEnabled(linkStatus, true);
    linkStatusTimer_ = linkStatus;
    busyPoll_->start();
}

void TFormMain::Detach() {
    if (thread_ != nullptr) {
        for (main::LogicThread::TimerId id : timers_) thread_->SetTimerEnabled(id, false);
        if (linkStatusTimer_ >= 0) thread_->SetTimerEnabled(linkStatusTimer_, false);
    }
    logic_ = nullptr;
    thread_ = nullptr;
    view_ = nullptr;
    if (busyPoll_ != nullptr) busyPoll_->stop();
}

void TFormMain::Shutdown() {
    if (thread_ == nullptr || logic_ == nullptr) return;
    main::MainWindow* logic = logic_;
    QueuedMainView* view = view_;
    // The close sequence runs on the logic thread after every event before it; meanwhile this
    // thread answers the logic's questions.
    thread_->Stop([logic] { logic->FormClose(); }, [view] { view->Flush(); });
    view->Flush();
    Detach();
    SetBusy(QString(), false);
}

bool TFormMain::LogicIdle() const {
    return thread_ == nullptr || (thread_->Idle() && (view_ == nullptr || view_->Drained()));
}

void TFormMain::Post(const char* name, std::function<void(main::MainWindow&)> handler) {
    if (logic_ == nullptr || thread_ == nullptr) return;
    main::MainWindow* logic = logic_;
    thread_->Post(name, [logic, handler = std::move(handler)] { handler(*logic); });
}

bool TFormMain::RunNow(const std::function<void(main::MainWindow&)>& handler) {
    if (logic_ == nullptr || thread_ == nullptr) return false;
    main::MainWindow* logic = logic_;
    if (thread_->TryRunNow([logic, &handler] { handler(*logic); })) return true;
    // Refused: the logic is busy. Say so at once.
    Beep();
    const main::LogicThread::Activity activity = thread_->Current();
    const std::string& name = activity.name.empty() ? activity.next : activity.name;
    SetBusy(Q(BusyText(name, state_.shownTexts)), false);
    refusedShownUntil_.setRemainingTime(kRefusedShownMs);
    return false;
}

void TFormMain::RunNowOrPost(const char* name, std::function<void(main::MainWindow&)> handler) {
    if (logic_ == nullptr || thread_ == nullptr) return;
    main::MainWindow* logic = logic_;
    if (thread_->TryRunNow([logic, &handler] { handler(*logic); })) return;
    Post(name, std::move(handler));
}

void TFormMain::UpdateBusy() {
    if (thread_ == nullptr) return;
    const main::LogicThread::Activity activity = thread_->Current();
    // While the logic waits for the operator (a message box, a dialog), nothing is busy.
    if (!activity.name.empty() && !activity.waitingForInterface &&
        activity.elapsed >= std::chrono::milliseconds(kBusyDelayMs)) {
        SetBusy(Q(BusyText(activity.name, state_.shownTexts)), true);
    } else if (refusedShownUntil_.hasExpired()) {
        SetBusy(QString(), false);
    }
}

void TFormMain::SetBusy(const QString& text, bool cursor) {
    if (labelBusy_ == nullptr) return;
    if (text.isEmpty()) {
        if (!labelBusy_->isHidden()) labelBusy_->hide();
    } else {
        if (labelBusy_->text() != text) labelBusy_->setText(text);
        if (labelBusy_->isHidden()) labelBusy_->show();
    }
    if (cursor != busyCursor_) {
        busyCursor_ = cursor;
        // The arrow with the busy sign: the window still takes input, which waits its turn.
        if (cursor) {
            setCursor(Qt::BusyCursor);
        } else {
            unsetCursor();
        }
    }
}

// ---- Window events ---------------------------------------------------------------------

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The about box opens once the window is on the screen, in front of it.
    QTimer::singleShot(0, this,
                       [this] { Post("Starting…", [](main::MainWindow& l) { l.FormShow(); }); });
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        Shutdown();
        if (bench_ != nullptr) bench_->hide();
        if (traceDock_ != nullptr) traceDock_->hide();
    }
    event->accept();
}

void TFormMain::resizeEvent(QResizeEvent* event) { QWidget::resizeEvent(event); }

// ---- main::MainView --------------------------------------------------------------------

QLabel* TFormMain::Label(Control control) const {
    const auto it = labels_.find(control);
    return it == labels_.end() ? nullptr : it->second;
}

QLabel* TFormMain::IdentityValueLabel(params::IdentityLabel label) const {
    const auto it = identity_.find(label);
    return it == identity_.end() ? nullptr : it->second;
}

QAction* TFormMain::Action(Control control) const {
    const auto it = actions_.find(control);
    return it == actions_.end() ? nullptr : it->second;
}

QWidget* TFormMain::Widget(Control control) const {
    switch (control) {
        case Control::ButtonConnect:
            return buttonConnect_;
        case Control::ButtonMeasure:
            return buttonMeasure_;
        case Control::ButtonStream:
            return buttonStream_;
        case Control::ButtonZero:
            return buttonZero_;
        case Control::LabelRast:
            return labelRast_;
        case Control::ValueListEditorParam:
            return grid_;
        case Control::ComboBoxCOM:
            return comboCom_;
        case Control::ComboBoxWorkBaund:
            return comboBaud_;
        case Control::ComboBoxWorkCodeDev:
            return comboAddress_;
        case Control::FormDebug:
            return bench_;
        default:
            break;
    }
    if (QLabel* label = Label(control)) return label;
    if (bench_ == nullptr) return nullptr;
    switch (control) {
        case Control::LabelCOMMotor:
            return bench_->LabelCOMMotor();
        case Control::ComboBoxMotorCOM:
            return bench_->ComboBoxMotorCOM();
        case Control::LabelCOMEncoder:
            return bench_->LabelCOMEncoder();
        case Control::ComboBoxEncoderCOM:
            return bench_->ComboBoxEncoderCOM();
        case Control::LabelVOKT_U:
            return bench_->LabelVOKT_U();
        case Control::LabelVOKT_I:
            return bench_->LabelVOKT_I();
        case Control::LabelEncoder:
            return bench_->LabelEncoder();
        case Control::LabeldMORLA_Encoder:
            return bench_->LabeldMORLA_Encoder();
        case Control::RadioGroupMode:
            return bench_->RadioGroupMode();
        case Control::TrackBarLaser:
            return bench_->TrackBarLaser();
        default:
            return nullptr;
    }
}

void TFormMain::ShowWindow(const main::WindowModel& model) {
    // Only what changed reaches the widgets; the first model is shown whole.
    const bool all = !shownOnceModel_;
    shownOnceModel_ = true;
    const main::WindowModel before = shown_;
    shown_ = model;
    for (const auto& [control, text] : model.captions) {
        const auto was = before.captions.find(control);
        if (all || was == before.captions.end() || was->second != text)
            ShowCaption(control, Q(text));
    }
    for (const auto& [control, on] : model.enabled) {
        const auto was = before.enabled.find(control);
        if (all || was == before.enabled.end() || was->second != on) ShowEnabled(control, on);
    }
    for (const auto& [control, on] : model.visible) {
        const auto was = before.visible.find(control);
        if (all || was == before.visible.end() || was->second != on) ShowVisible(control, on);
    }
    if (model.benchFormRequest != before.benchFormRequest)
        ShowVisible(Control::FormDebug, model.benchFormShown);
    if (all || model.linkState != before.linkState || model.linkText != before.linkText)
        ShowLink(model.linkState, model.linkText);
    if (all || model.note != before.note) ShowFootLine();
    if (all || model.zeroOffset != before.zeroOffset) chart_->ShowZeroOffset(Q(model.zeroOffset));
    actXAuto_->setChecked(model.xAutoScale);
    actYAuto_->setChecked(model.yAutoScale);
    if (all || model.languages != before.languages || model.language != before.language)
        ShowLanguages(model.languages, model.language);
    if ((all || !(model.station == before.station)) && onStationModel) {
        onStationModel(model.station);
    }
    if (model.sizeRequest != before.sizeRequest) {
        targetHeight_ = model.expanded ? kExpandedHeight : kCollapsedHeight;
        animation_->start();
    }
}

void TFormMain::AnimateStep() {
    const int now = height();
    if (now == targetHeight_ || (targetHeight_ == kCollapsedHeight && now <= kCollapsedHeight)) {
        animation_->stop();
        RunNowOrPost("Resizing…", [request = shown_.sizeRequest](main::MainWindow& l) {
            l.AnimationDone(request);
        });
        return;
    }
    const int next = now < targetHeight_ ? std::min(now + kHeightStep, targetHeight_)
                                         : std::max(now - kHeightStep, targetHeight_);
    resize(width(), std::max(next, minimumHeight()));
}

bool TFormMain::Animating() const { return animation_->isActive(); }

void TFormMain::ShowFootLine() {
    const QString line = Q(runState_.empty() ? shown_.note : runState_);
    statusLine_->setText(line);
    statusLine_->setVisible(!line.isEmpty());
}

void TFormMain::Select(main::Selector selector, const std::string& text) {
    QComboBox* combo = selector == main::Selector::Port   ? static_cast<QComboBox*>(comboCom_)
                       : selector == main::Selector::Baud ? comboBaud_
                                                          : comboAddress_;
    const QString q = Q(text);
    const int index = combo->findText(q, Qt::MatchExactly);
    if (index >= 0) {
        combo->setCurrentIndex(index);
    } else if (combo->isEditable()) {
        combo->setEditText(q);
    }
}

void TFormMain::ShowCaption(Control control, const QString& q) {
    switch (control) {
        case Control::WindowCaption:
            setWindowTitle(q);
            return;
        case Control::GridTitles: {
            const qsizetype split = q.indexOf(QLatin1String("\r\n"));
            grid_->SetTitles(split < 0 ? q : q.left(split),
                             split < 0 ? QString() : q.mid(split + 2));
            return;
        }
        case Control::ChartTitle:
            chart_->SetTitle(q, chartTitleVisible_);
            return;
        case Control::RadioGroupMode:
            if (bench_ != nullptr) bench_->RadioGroupMode()->setTitle(q);
            return;
        case Control::FormDebug:
            if (bench_ != nullptr) bench_->setWindowTitle(q);
            return;
        case Control::ButtonLink:
            buttonLink_->setText(q);
            return;
        case Control::ButtonOptions:
            buttonOptions_->setText(q);
            return;
        case Control::MenuLanguage:
            menuLanguage_->setTitle(q);
            return;
        case Control::MenuClearZero:
            chart_->SetZeroClearTip(q);
            break;  // and the menu item below
        case Control::MenuReconnectTip:
            actReconnect_->setToolTip(q);
            return;
        case Control::PortNoteSimulated:
            portNoteSimulated_ = q;
            comboCom_->SetNotes(portNoteSimulated_, portNoteAbsent_);
            return;
        case Control::PortNoteAbsent:
            portNoteAbsent_ = q;
            comboCom_->SetNotes(portNoteSimulated_, portNoteAbsent_);
            return;
        default:
            break;
    }
    if (QAction* action = Action(control)) {
        action->setText(q);
    } else if (auto* label = qobject_cast<QLabel*>(Widget(control))) {
        label->setText(q);
    } else if (auto* button = qobject_cast<QPushButton*>(Widget(control))) {
        button->setText(q);
    }
}

void TFormMain::ShowEnabled(Control control, bool enabled) {
    if (QAction* action = Action(control)) {
        action->setEnabled(enabled);
    } else if (QWidget* widget = Widget(control)) {
        widget->setEnabled(enabled);
    }
}

void TFormMain::ShowVisible(Control control, bool visible) {
    if (QAction* action = Action(control)) {
        action->setVisible(visible);
    } else if (QWidget* widget = Widget(control)) {
        widget->setVisible(visible);
    }
}

main::LogicThread::TimerId TFormMain::TimerId(main::Timer timer) const {
    return timers_[static_cast<size_t>(timer)];
}

void TFormMain::SetTimerEnabled(main::Timer timer, bool enabled) {
    if (thread_ != nullptr) thread_->SetTimerEnabled(TimerId(timer), enabled);
}

bool TFormMain::TimerEnabled(main::Timer timer) const {
    return thread_ != nullptr && thread_->TimerEnabled(TimerId(timer));
}

void TFormMain::SetTimerInterval(main::Timer timer, int milliseconds) {
    if (thread_ != nullptr) thread_->SetTimerInterval(TimerId(timer), milliseconds);
}

int TFormMain::TimerInterval(main::Timer timer) const {
    return thread_ == nullptr ? 0 : thread_->TimerInterval(TimerId(timer));
}

void TFormMain::ShowValue(const std::string& text) { labelRast_->setText(Q(text)); }

void TFormMain::ShowReadout(bench::Readout readout, const std::string& text) {
    static constexpr Control kReadouts[] = {Control::LabelVOKT_U, Control::LabelVOKT_I,
                                            Control::LabelEncoder, Control::LabeldMORLA_Encoder};
    if (auto* label = qobject_cast<QLabel*>(Widget(kReadouts[static_cast<int>(readout)])))
        label->setText(Q(text));
}

void TFormMain::ShowProgress(int position) {
    if (bench_ != nullptr) bench_->ProgressBarQSDEBUG()->setValue(position);
}

void TFormMain::ShowRunState(const std::string& text) {
    runState_ = text;
    ShowFootLine();
}

void TFormMain::ChartClear() { chart_->Clear(); }

// Both point colours draw in the series' red: the series colour is red. Only the red points
// are samples; a point in the series' own colour is a reference mark the statistics leave out.
void TFormMain::ChartAddPoint(double y, const std::string& label, main::PointColour colour) {
    chart_->AddPoint(y, label, colour == main::PointColour::Red);
}

void TFormMain::ChartAddPoints(const float* values, int count, int firstLabel, main::PointColour) {
    chart_->AddPoints(values, count, firstLabel);
}

void TFormMain::ChartRepaint() { chart_->RequestReplot(); }

void TFormMain::ChartSetTitle(const std::string& text, bool visible) {
    chartTitleVisible_ = visible;
    chart_->SetTitle(Q(text), visible);
}

void TFormMain::ChartSetAxisTitles(const std::string& left, const std::string& bottom) {
    chart_->SetAxisTitles(Q(left), Q(bottom));
}

void TFormMain::ChartSetFoot(const std::string& text) { chart_->SetFoot(Q(text)); }

void TFormMain::ChartSetBottomScale(double unitsPerPoint) { chart_->SetBottomScale(unitsPerPoint); }

void TFormMain::SetBottomAxisAutomatic(bool automatic) { chart_->SetBottomAutomatic(automatic); }

void TFormMain::SetBottomAxisRange(double minimum, double maximum) {
    chart_->SetBottomRange(minimum, maximum);
}

void TFormMain::SetLeftAxisAutomatic(bool automatic) { chart_->SetLeftAutomatic(automatic); }

void TFormMain::SetLeftAxisRange(double minimum, double maximum) {
    chart_->SetLeftRange(minimum, maximum);
}

void TFormMain::ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) {
    chart_->SetLiveTrace(x, y);
}

void TFormMain::ChartSetStatistics(const acquire::ChartStatistics& statistics) {
    chart_->SetStatistics(statistics);
}

std::optional<std::string> TFormMain::AskFile(main::FileQuestion question) {
    if (files_ == nullptr) return std::nullopt;
    static constexpr std::pair<main::FileQuestion, FileKind> kKinds[] = {
        {main::FileQuestion::DataFile, FileKind::DataSave},
        {main::FileQuestion::CsvFile, FileKind::CsvSave},
        {main::FileQuestion::ChartImage, FileKind::ImageSave},
    };
    for (const auto& [asked, kind] : kKinds)
        if (asked == question) return files_->Ask(kind, {});
    return std::nullopt;
}

std::optional<std::string> TFormMain::AskReportFile(const std::string& preset) {
    if (files_ == nullptr) return std::nullopt;
    return files_->Ask(FileKind::DataSave, preset);
}

bool TFormMain::SaveChartImage(const std::string& path, int width, int height) {
    if (chart_ == nullptr) return false;
    return chart_->SaveImage(QString::fromStdString(path), width, height);
}

std::pair<int, int> TFormMain::ShowRangeDialog(int beginPercent, int endPercent) {
    if (range_ == nullptr) return {beginPercent, endPercent};
    range_->SetTexts(Q(state_.shownTexts.Get(lang::Section::FormsNames, 1, "")),
                     Q(state_.shownTexts.Text(lang::ProgramText::RangeDialogLabel, "")));
    return range_->ShowRange(beginPercent, endPercent);
}

void TFormMain::ShowAboutBox() {
    if (aboutEnabled_ && about_ != nullptr) about_->exec();
}

void TFormMain::SelectBenchModeItem(int index) {
    if (bench_ != nullptr) bench_->SelectModeItem(index);
}

void TFormMain::ShowLink(main::LinkState state, const std::string& text) {
    linkState_ = state;
    labelLink_->setText(Q(text));
    labelLink_->setToolTip(Q(text));
    // A lost sensor and a failed connect stand out; the rest reads as plain text.
    switch (state) {
        case main::LinkState::Lost:
            labelLink_->setStyleSheet(
                QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
            break;
        case main::LinkState::Failed:
            labelLink_->setStyleSheet(QStringLiteral("QLabel { color: #b05000; }"));
            break;
        default:
            labelLink_->setStyleSheet(QString());
            break;
    }
}

void TFormMain::SetBenchMenuItem(bool shown) { actBenchForm_->setVisible(shown); }

void TFormMain::ShowLanguages(const std::vector<std::pair<std::string, std::string>>& files,
                              const std::string& current) {
    menuLanguage_->clear();
    auto* group = new QActionGroup(menuLanguage_);
    for (const auto& [file, name] : files) {
        QAction* action = menuLanguage_->addAction(Q(name));
        action->setCheckable(true);
        action->setChecked(file == current);
        action->setData(Q(file));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, file] {
            if (onLanguageChosen) onLanguageChosen(Q(file));
            Post("Changing the language…", [file](main::MainWindow& l) { l.ChooseLanguage(file); });
        });
    }
}

SensorSearchDialog* TFormMain::SearchDialog() const { return searchDialog_.data(); }

SensorSearchDialog* TFormMain::OpenSensorSearch() {
    if (searchDialog_ != nullptr) {
        searchDialog_->raise();
        return searchDialog_.data();
    }
    comboCom_->RefreshPorts();
    QStringList ports;
    for (int i = 0; i < comboCom_->count(); ++i) ports << comboCom_->itemText(i);
    const QString current = comboCom_->currentText();
    if (!current.isEmpty() && !ports.contains(current)) ports.prepend(current);
    Post("Freeing the port for the search…", [](main::MainWindow& l) { l.PrepareSearch(); });
    auto* dialog = new SensorSearchDialog(this, &state_.shownTexts);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->Setup(ports, {current}, comboBaud_->currentText().toUInt(),
                  static_cast<uint8_t>(comboAddress_->currentText().toUInt()));
    connect(dialog, &QDialog::accepted, this, [this, dialog] {
        if (!dialog->Chosen()) return;
        const params::ScanHit& hit = *dialog->Chosen();
        const main::ConnectChoice choice{hit.portName, hit.baud, hit.address};
        Post("Connecting…", [choice](main::MainWindow& l) { l.ConnectTo(choice); });
    });
    searchDialog_ = dialog;
    dialog->open();
    return dialog;
}

TraceDock* TFormMain::LineTrace() {
    if (traceDock_ == nullptr) traceDock_ = new TraceDock(this, &state_.shownTexts);
    return traceDock_;
}

// ---- params::ParamView -----------------------------------------------------------------

int TFormMain::MessageBox(const std::string& text, const std::string& caption, int flags) {
    if (messages_ == nullptr) return params::kIdCancel;
    return messages_->MessageBox(text, caption, flags);
}

void TFormMain::ShowError(const std::string& text) {
    if (messages_ != nullptr) messages_->ShowError(text);
}

void TFormMain::Beep() {
    ++beeps_;
    QApplication::beep();
}

void TFormMain::SetParamProgress(int maximum, int position) {
    if (progressParam_->maximum() != maximum) progressParam_->setRange(0, maximum);
    progressParam_->setValue(position);
}

void TFormMain::RefreshGrid() { grid_->Refresh(); }

void TFormMain::SelectBaudItem(int index) {
    if (index >= 0 && index < comboBaud_->count()) comboBaud_->setCurrentIndex(index);
}

void TFormMain::SelectAddressItem(int index) {
    if (index >= 0 && index < comboAddress_->count()) comboAddress_->setCurrentIndex(index);
}

void TFormMain::SetIdentityLabel(params::IdentityLabel label, const std::string& text) {
    if (QLabel* l = IdentityValueLabel(label)) l->setText(Q(text));
}

std::string TFormMain::IdentityLabelText(params::IdentityLabel label) const {
    const QLabel* l = IdentityValueLabel(label);
    return l == nullptr ? std::string() : l->text().toStdString();
}

std::optional<std::string> TFormMain::AskSaveParamFile(const std::string& presetName) {
    if (files_ == nullptr) return std::nullopt;
    return files_->Ask(FileKind::ParamSave, presetName);
}

std::optional<std::string> TFormMain::AskOpenParamFile() {
    if (files_ == nullptr) return std::nullopt;
    return files_->Ask(FileKind::ParamOpen, {});
}

}  // namespace veska::ui
