#include "ui/MainForm.h"

#include <QAction>
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
#include <QTimer>
#include <QVBoxLayout>

#include "main/MainWindow.h"
#include "main/ProgramState.h"
#include "params/ParamFile.h"
#include "params/ParamTransfer.h"
#include "ui/AboutBox.h"
#include "ui/BenchForm.h"
#include "ui/ChartView.h"
#include "ui/FileDialogAdapter.h"
#include "ui/MessageBoxAdapter.h"
#include "ui/ParamGridWidget.h"
#include "ui/PortComboBox.h"
#include "ui/RangeDialog.h"

namespace veska::ui {

using main::Control;
using params::IdentityLabel;

namespace {

constexpr int kWindowWidth = 960;       // [px]
constexpr int kTopPanelHeight = 40;     // [px]
constexpr int kBottomPanelHeight = 26;  // [px]

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
    setMinimumHeight(state_.collapsedHeight);
    resize(kWindowWidth, state_.collapsedHeight);

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

    timerMain_ = new QTimer(this);
    timerMain_->setInterval(1);
    timerMain_->setTimerType(Qt::PreciseTimer);
    timerAnswer_ = new QTimer(this);
    timerAnswer_->setInterval(30000);
    timerMore_ = new QTimer(this);
    timerMore_->setInterval(1);
    timerMore_->setTimerType(Qt::PreciseTimer);
    displayTimer_ = new QTimer(this);
    displayTimer_->setInterval(kStreamDisplayIntervalMs);

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
    actClear_ = popupSave_->addAction(QStringLiteral("Clear"));
    actXAuto_ = popupSave_->addAction(QStringLiteral("X Automatic Scaling"));
    actYAuto_ = popupSave_->addAction(QStringLiteral("Y Automatic Scaling "));
    for (QAction* a : {actXAuto_, actYAuto_}) {
        a->setCheckable(true);
        a->setChecked(true);
    }
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
    };
}

void TFormMain::WireEvents() {
    // Every handler asks for the logic at the time of the event: none runs before Attach
    // or after Detach.
    auto on = [this](auto handler) {
        return [this, handler] {
            if (logic_ != nullptr) handler(*logic_);
        };
    };
    using W = main::MainWindow;
    connect(buttonConnect_, &QPushButton::clicked, this, on([](W& l) { l.ButtonConnectClick(); }));
    connect(buttonMeasure_, &QPushButton::clicked, this, on([](W& l) { l.ButtonMeasureClick(); }));
    connect(buttonStream_, &QPushButton::clicked, this, on([](W& l) { l.ButtonStreamClick(); }));
    connect(buttonZero_, &QPushButton::clicked, this, on([](W& l) { l.ButtonZeroClick(); }));

    connect(comboCom_, &QComboBox::textActivated, this, [this](const QString& text) {
        if (logic_ != nullptr) logic_->ComboBoxCOMChange(text.toStdString());
    });
    connect(comboCom_->lineEdit(), &QLineEdit::textEdited, this, [this](const QString& text) {
        if (logic_ != nullptr) logic_->ComboBoxCOMChange(text.toStdString());
    });
    connect(comboBaud_, &QComboBox::textActivated, this, [this](const QString& text) {
        if (logic_ != nullptr) logic_->ComboBoxWorkBaundChange(text.toStdString());
    });
    connect(comboAddress_, &QComboBox::textActivated, this, [this](const QString& text) {
        if (logic_ != nullptr) logic_->ComboBoxWorkCodeDevChange(text.toStdString());
    });

    connect(timerMain_, &QTimer::timeout, this, on([](W& l) { l.TimerMainTimer(); }));
    connect(timerAnswer_, &QTimer::timeout, this, on([](W& l) { l.TimerAnswerTimer(); }));
    connect(timerMore_, &QTimer::timeout, this, on([](W& l) { l.TimerMoreTimer(); }));
    connect(displayTimer_, &QTimer::timeout, this, [this] {
        if (logic_ != nullptr && state_.streamRunning.load()) logic_->StreamDisplayTick();
    });

    connect(actLoad_, &QAction::triggered, this, on([](W& l) { l.Params().PopupMenuLoadClick(); }));
    connect(actRead_, &QAction::triggered, this, on([](W& l) { l.Params().PopupMenuReadClick(); }));
    connect(actCompare_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuCompareClick(); }));
    connect(actLoadAll_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuLoadAllClick(); }));
    connect(actReadAll_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuReadAllClick(); }));
    connect(actCompareAll_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuCompareAllClick(); }));
    connect(actFlash_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuFLASHClick(); }));
    connect(actDefault_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuDefaultClick(); }));
    connect(actFactory_, &QAction::triggered, this,
            on([](W& l) { l.Params().PopupMenuFactoryClick(); }));
    connect(actWriteFile_, &QAction::triggered, this,
            on([](W& l) { l.ParamFiles().WrParamFileClick(); }));
    connect(actReadFile_, &QAction::triggered, this,
            on([](W& l) { l.ParamFiles().RdParamFileClick(); }));

    connect(actSave_, &QAction::triggered, this, on([](W& l) { l.SaveClick(); }));
    connect(actClear_, &QAction::triggered, this, on([](W& l) { l.ClearClick(); }));
    // The logic owns the check marks: it sets them back through SetAutoScaleChecks.
    connect(actXAuto_, &QAction::triggered, this, [this] {
        if (logic_ != nullptr) logic_->XAutomaticScalingClick();
        actXAuto_->setChecked(state_.xAutoScale);
    });
    connect(actYAuto_, &QAction::triggered, this, [this] {
        if (logic_ != nullptr) logic_->YAutomaticScalingClick();
        actYAuto_->setChecked(state_.yAutoScale);
    });

    grid_->onSelectCell = [this](int row) {
        return logic_ == nullptr || logic_->ValueListEditorParamSelectCell(row);
    };
    grid_->onExit = [this] {
        if (logic_ != nullptr) logic_->ValueListEditorParamExit();
    };
    grid_->onContextPopup = [this] {
        return logic_ != nullptr && logic_->ValueListEditorParamContextPopup();
    };
    grid_->onEditButtonClick = [this] {
        if (logic_ != nullptr) logic_->ValueListEditorParamEditButtonClick();
    };
    grid_->onKeyPress = [this](char32_t c, const std::string& text) {
        if (logic_ == nullptr) return params::KeyResult{};
        return logic_->ValueListEditorParamKeyPress(c, text);
    };
}

void TFormMain::SetForms(TFormRange& range, TFormAbout& about, TFormDebug& bench) {
    range_ = &range;
    about_ = &about;
    bench_ = &bench;
}

void TFormMain::SetAdapters(MessageBoxAdapter& messages, FileDialogAdapter& files) {
    messages_ = &messages;
    files_ = &files;
}

void TFormMain::Attach(main::MainWindow& logic) {
    logic_ = &logic;
    displayTimer_->start();
}

void TFormMain::Detach() {
    logic_ = nullptr;
    for (QTimer* t : {timerMain_, timerAnswer_, timerMore_, displayTimer_}) {
        if (t != nullptr) t->stop();
    }
}

// ---- Window events ---------------------------------------------------------------------

void TFormMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // The about box opens once the window is on the screen, in front of it.
    QTimer::singleShot(0, this, [this] {
        if (logic_ != nullptr) logic_->FormShow();
    });
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closed_ = true;
        if (logic_ != nullptr) logic_->FormClose();
        Detach();
        if (bench_ != nullptr) bench_->hide();
    }
    event->accept();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (logic_ != nullptr) logic_->FormResize();
}

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

void TFormMain::SetText(Control control, const std::string& text) {
    const QString q = Q(text);
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
        case Control::ComboBoxCOM:
        case Control::ComboBoxWorkBaund:
        case Control::ComboBoxWorkCodeDev: {
            auto* combo = static_cast<QComboBox*>(Widget(control));
            const int index = combo->findText(q, Qt::MatchExactly);
            if (index >= 0) {
                combo->setCurrentIndex(index);
            } else if (combo->isEditable()) {
                combo->setEditText(q);
            }
            return;
        }
        case Control::RadioGroupMode:
            if (bench_ != nullptr) bench_->RadioGroupMode()->setTitle(q);
            return;
        case Control::FormDebug:
            if (bench_ != nullptr) bench_->setWindowTitle(q);
            return;
        case Control::StatusLine:
            statusLine_->setText(q);
            statusLine_->setVisible(!q.isEmpty());
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

void TFormMain::SetEnabled(Control control, bool enabled) {
    if (QAction* action = Action(control)) {
        action->setEnabled(enabled);
    } else if (QWidget* widget = Widget(control)) {
        widget->setEnabled(enabled);
    }
}

void TFormMain::SetVisible(Control control, bool visible) {
    if (QAction* action = Action(control)) {
        action->setVisible(visible);
    } else if (QWidget* widget = Widget(control)) {
        widget->setVisible(visible);
    }
}

QTimer* TFormMain::Timer(main::Timer timer) const {
    switch (timer) {
        case main::Timer::TimerMain:
            return timerMain_;
        case main::Timer::TimerAnswer:
            return timerAnswer_;
        case main::Timer::TimerMore:
            return timerMore_;
    }
    return nullptr;
}

void TFormMain::SetTimerEnabled(main::Timer timer, bool enabled) {
    QTimer* t = Timer(timer);
    if (enabled && !t->isActive()) {
        t->start();
    } else if (!enabled && t->isActive()) {
        t->stop();
    }
}

bool TFormMain::TimerEnabled(main::Timer timer) const { return Timer(timer)->isActive(); }

void TFormMain::SetTimerInterval(main::Timer timer, int milliseconds) {
    Timer(timer)->setInterval(milliseconds);
}

int TFormMain::WindowHeight() const { return height(); }

void TFormMain::SetWindowHeight(int pixels) { resize(width(), std::max(pixels, minimumHeight())); }

void TFormMain::ChartClear() { chart_->Clear(); }

// Both point colours draw in the series' red: the series colour is red.
void TFormMain::ChartAddPoint(double y, const std::string& label, main::PointColour) {
    chart_->AddPoint(y, label);
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

void TFormMain::SetBottomAxisAutomatic(bool automatic) { chart_->SetBottomAutomatic(automatic); }

void TFormMain::SetBottomAxisRange(double minimum, double maximum) {
    chart_->SetBottomRange(minimum, maximum);
}

void TFormMain::SetLeftAxisAutomatic(bool automatic) { chart_->SetLeftAutomatic(automatic); }

void TFormMain::SetLeftAxisRange(double minimum, double maximum) {
    chart_->SetLeftRange(minimum, maximum);
}

void TFormMain::SetAutoScaleChecks(bool xChecked, bool yChecked) {
    actXAuto_->setChecked(xChecked);
    actYAuto_->setChecked(yChecked);
}

std::optional<std::string> TFormMain::AskSaveDataFile() {
    if (files_ == nullptr) return std::nullopt;
    return files_->Ask(FileKind::DataSave, {});
}

std::pair<int, int> TFormMain::ShowRangeDialog(int beginPercent, int endPercent) {
    if (range_ == nullptr) return {beginPercent, endPercent};
    return range_->ShowRange(beginPercent, endPercent);
}

void TFormMain::ShowAboutBox() {
    if (aboutEnabled_ && about_ != nullptr) about_->exec();
}

void TFormMain::SelectBenchModeItem(int index) {
    if (bench_ != nullptr) bench_->SelectModeItem(index);
}

void TFormMain::SelectPortItem(int index) {
    if (index >= 0 && index < comboCom_->count()) comboCom_->setCurrentIndex(index);
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
    // The transfers block the interface thread: draw the bar now, not after them.
    if (progressParam_->isVisible()) progressParam_->repaint();
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
