#include "main/MainWindow.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "acquire/CsvExport.h"
#include "bench/ModeTable.h"
#include "bench/MotorTable.h"
#include "lang/Language.h"
#include "lang/NumberFormat.h"
#include "link/PortSelection.h"
#include "link/Status.h"
#include "main/MeasurementCycle.h"
#include "main/SensorIdentity.h"
#include "main/StreamController.h"
#include "params/ParamCodings.h"
#include "params/ParamFile.h"
#include "params/ParamGrid.h"
#include "params/ParamTransfer.h"
#include "params/SensorPortOpen.h"
#include "platform/FileIo.h"
#include "platform/SerialPort.h"

namespace veska::main {
namespace {

constexpr const char* kAdapterPortName = "\\\\.\\USB_PELRIN";
constexpr int kPortItemCom4 = 3;
constexpr int kHeightStep = 100;  // [px] per animation tick

using params::IdentityLabel;
using params::kMbIconExclamation;
using params::kMbIconStop;

/// The parameter menu's items that talk to the sensor; the file items do not.
constexpr Control kSensorMenuItems[] = {
    Control::PopupMenuLoad,    Control::PopupMenuRead,    Control::PopupMenuCompare,
    Control::PopupMenuLoadAll, Control::PopupMenuReadAll, Control::PopupMenuCompareAll,
    Control::PopupMenuFLASH,   Control::PopupMenuDefault, Control::MenuWriteToFactory,
};

bool NeedsSensor(ParamMenuAction action) {
    return action != ParamMenuAction::WriteFile && action != ParamMenuAction::ReadFile;
}

}  // namespace

MainWindow::MainWindow(ProgramState& state, MainView& view, platform::Clock& clock,
                       platform::D2xx* usb, StartOptions options, BenchWiring bench)
    : state_(state),
      view_(view),
      clock_(clock),
      usb_(usb),
      options_(std::move(options)),
      bench_(std::move(bench)),
      linkStatus_(view, clock, state.texts) {
    params::SensorSession& session = state_.session;
    session.SetView(view_);
    session.SetUsbBackend(usb_);
    session.reopenPort = [this] { return OpenSensorPort(); };
    params_ = std::make_unique<params::ParamTransfer>(
        session, [this] { paramFiles_->WriteFactoryParamFile(); });
    paramFiles_ = std::make_unique<params::ParamFileCommands>(*params_);
    plainModes_.BindTo(modeSteps_);
    if (bench_.bindModes) bench_.bindModes(modeSteps_);
    stream_ = std::make_unique<StreamController>(state_, view_, clock_);
    measurement_ = std::make_unique<MeasurementCycle>(state_, view_, clock_, *stream_,
                                                      bench_.devices, modeSteps_);
}

MainWindow::~MainWindow() = default;

// ---- Start-up and shutdown -------------------------------------------------------------

bool MainWindow::LoadTexts() {
    if (!options_.languageFile.empty() &&
        lang::LoadLanguage(languageDirectory_, state_.texts, options_.languageFile)) {
        return true;
    }
    return lang::LoadLanguage(languageDirectory_, state_.texts);
}

void MainWindow::FormCreate() {
    languageDirectory_ = options_.languageDirectory.empty() ? lang::FindLanguageDirectory()
                                                            : options_.languageDirectory;
    const bool languageFound = LoadTexts();
    ApplyLanguage();
    if (!languageFound) {
        const std::string note = lang::MissingLanguageNote(languageDirectory_);
        std::cerr << "veskacfg: " << note << '\n';
        view_.SetText(Control::StatusLine, note);
    }

    state_.session.conn.portName = std::string(link::kPortPrefix) + "COM4";
    state_.session.conn.baudRate = 115200;
    state_.session.conn.netAddress = 1;
    view_.SelectPortItem(kPortItemCom4);
    view_.SelectAddressItem(0);

    state_.session.grid.SetCurrentParam(0);
    state_.expandedHeight = 795;
    state_.session.conn.connected = false;

    view_.SetWindowHeight(state_.collapsedHeight);
    view_.SetTimerEnabled(Timer::TimerMore, false);
    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    view_.SetEnabled(Control::ButtonMeasure, false);
    view_.SetEnabled(Control::ButtonStream, false);
    view_.SetEnabled(Control::ButtonZero, false);
    EnableSensorMenu(false);
    state_.expandNext = true;

    state_.session.values.Clear();
    linkStatus_.ShowDisconnected();
    UpdateLinkActions();

    state_.session.conn.answerStatus = 0;
    view_.SetEnabled(Control::LabelRast, false);
    view_.SetText(Control::LabelRast, lang::FormatFixed(0.0, 3) + " mm");

    // The analog board is opened only when the bench is reachable.
    state_.analogBoardPresent = options_.debugBuild && bench_.devices.board.Open();

    // Every number is formatted and parsed with the point as decimal separator
    // (std::to_chars / from_chars), whatever the locale.
    state_.motorTable = bench::LoadMotorTable(
        options_.motorTablePath.empty() ? bench::FindMotorTableFile() : options_.motorTablePath);
}

void MainWindow::ChooseLanguage(const std::string& file) {
    options_.languageFile = file;
    if (!LoadTexts()) return;
    ApplyLanguage();
    params::LocaliseParamNames(state_.session.table, state_.texts);
    if (state_.session.grid.Built()) state_.session.RebuildGrid();
    if (state_.session.conn.connected)
        view_.SetText(Control::ButtonConnect, state_.texts.Button(10));
    if (stream_->Running()) view_.SetText(Control::ButtonStream, state_.texts.Button(6));
    if (measurement_->Running()) view_.SetText(Control::ButtonMeasure, state_.texts.Button(12));
    if (!state_.session.conn.connected) ShowNoIdentity();
    ShowZeroOffset();
    linkStatus_.Refresh();
}

void MainWindow::ApplyLanguage() {
    const lang::TextTable& t = state_.texts;
    using lang::ProgramText;
    const std::string prefix = t.Get(lang::Section::About, 0);
    view_.SetText(Control::WindowCaption,
                  prefix + t.Text(options_.debugBuild ? ProgramText::FactoryCaption
                                                      : ProgramText::ReleaseCaption));
    view_.SetText(Control::FormDebug, t.Get(lang::Section::FormsNames, 3));
    state_.shownTexts.Publish(t);
    const std::pair<Control, ProgramText> program[] = {
        {Control::MenuSaveCsv, ProgramText::SaveCsv},
        {Control::MenuSaveImage, ProgramText::SaveImage},
        {Control::MenuClearZero, ProgramText::ClearZero},
        {Control::MenuXAutomaticScaling, ProgramText::XAutomaticScaling},
        {Control::MenuYAutomaticScaling, ProgramText::YAutomaticScaling},
        {Control::MenuWriteToFactory, ProgramText::WriteToFactory},
        {Control::MenuWriteParamFile, ProgramText::WriteParamFile},
        {Control::MenuReadParamFile, ProgramText::ReadParamFile},
        {Control::ButtonLink, ProgramText::LinkMenu},
        {Control::MenuReconnect, ProgramText::Reconnect},
        {Control::MenuReconnectTip, ProgramText::ReconnectTip},
        {Control::MenuFindSensor, ProgramText::FindSensor},
        {Control::MenuLineTrace, ProgramText::LineTrace},
        {Control::ButtonOptions, ProgramText::OptionsMenu},
        {Control::MenuLanguage, ProgramText::LanguageMenu},
        {Control::MenuBenchForm, ProgramText::BenchForm},
        {Control::PortNoteSimulated, ProgramText::PortSimulated},
        {Control::PortNoteAbsent, ProgramText::PortAbsent},
    };
    for (const auto& [control, key] : program) view_.SetText(control, t.Text(key));
    const std::string inUse = options_.languageFile.empty()
                                  ? lang::SelectedLanguageFile(languageDirectory_)
                                  : options_.languageFile;
    view_.ShowLanguages(lang::ListLanguageFiles(languageDirectory_), inUse);
    const std::pair<Control, int> labels[] = {
        {Control::Label5, 0}, {Control::Label10, 1}, {Control::Label4, 2}, {Control::Label18, 3},
        {Control::Label6, 4}, {Control::Label17, 5}, {Control::Label7, 6}, {Control::Label8, 7},
    };
    for (const auto& [control, key] : labels) view_.SetText(control, t.Label(key));
    ShowNoIdentity();

    view_.SetText(Control::ButtonConnect, t.Button(0));
    view_.SetText(Control::ButtonMeasure, t.Button(1));
    view_.SetText(Control::ButtonStream, t.Button(2));
    view_.SetText(Control::ButtonZero, t.Button(9));

    params::LocaliseParamNames(state_.session.table, t);

    const Control menu[] = {Control::PopupMenuLoad,    Control::PopupMenuRead,
                            Control::PopupMenuCompare, Control::PopupMenuLoadAll,
                            Control::PopupMenuReadAll, Control::PopupMenuCompareAll,
                            Control::PopupMenuFLASH,   Control::PopupMenuDefault};
    for (int i = 0; i < 8; ++i) view_.SetText(menu[i], t.Get(lang::Section::PopupParam, i));
    view_.SetText(Control::MenuSave, t.Get(lang::Section::PopupChart, 0));
    view_.SetText(Control::MenuClear, t.Get(lang::Section::PopupChart, 1));
    view_.SetText(Control::GridTitles, t.Get(lang::Section::ParamTable, 0) + "\r\n" +
                                           t.Get(lang::Section::ParamTable, 1));
    view_.SetText(Control::ChartTitle, t.Get(lang::Section::Graph, 0));
}

void MainWindow::FormShow() { view_.ShowAboutBox(); }

void MainWindow::FormResize() { state_.expandedHeight = 795; }

void MainWindow::TimerMoreTimer() {
    const int height = view_.WindowHeight();
    if (state_.expandNext) {
        if (height >= state_.expandedHeight) {
            state_.expandNext = false;
            view_.SetTimerEnabled(Timer::TimerMore, false);
        } else {
            view_.SetWindowHeight(std::min(height + kHeightStep, state_.expandedHeight));
        }
    } else {
        if (height <= state_.collapsedHeight) {
            state_.expandNext = true;
            view_.SetTimerEnabled(Timer::TimerMore, false);
        } else {
            view_.SetWindowHeight(std::max(height - kHeightStep, state_.collapsedHeight));
        }
    }
}

void MainWindow::FormClose() {
    if (stream_->Running()) stream_->StopForTeardown();
    if (state_.session.conn.portName == kAdapterPortName) link::SwitchAdapterLine(usb_, clock_, 0);
    (void)state_.session.sensor.ClosePort();
    bench_.devices.motor.Close();
    bench_.devices.encoder.Close();
    bench_.devices.board.Close();
    state_.analogBoardPresent = false;
}

// ---- Connection ------------------------------------------------------------------------

void MainWindow::ComboBoxCOMChange(const std::string& text) {
    state_.session.conn.portName = std::string(link::kPortPrefix) + text;
}

void MainWindow::ComboBoxWorkBaundChange(const std::string& text) {
    int32_t value = 0;
    if (!params::ParseInteger(text, value)) {
        view_.ShowError(params::InvalidIntegerReport(text));
        return;
    }
    state_.session.conn.baudRate = static_cast<uint32_t>(value);
}

void MainWindow::ComboBoxWorkCodeDevChange(const std::string& text) {
    int32_t value = 0;
    if (!params::ParseInteger(text, value)) {
        view_.ShowError(params::InvalidIntegerReport(text));
        return;
    }
    state_.session.conn.netAddress = static_cast<uint8_t>(value & 0xFF);
    FollowAddress();
}

void MainWindow::FollowAddress() {
    const uint8_t address = state_.session.conn.netAddress;
    linkStatus_.FollowAddress(address);
    if (lastConnect_ && state_.session.conn.connected) lastConnect_->address = address;
}

void MainWindow::ComboBoxMotorCOMChange(const std::string& text) {
    bench_.devices.motor.SetPortChoice(text);
}

void MainWindow::ComboBoxEncoderCOMChange(const std::string& text) {
    bench_.devices.encoder.SetPortChoice(text);
}

bool MainWindow::OpenSensorPort() {
    if (state_.session.OpenPort()) return true;
    view_.SetEnabled(Control::ButtonMeasure, false);
    return false;
}

bool MainWindow::Identify() { return RefreshIdentity(state_, view_); }

void MainWindow::ShowNoIdentity() {
    const lang::TextTable& t = state_.texts;
    view_.SetIdentityLabel(IdentityLabel::Model, t.Label(8));
    view_.SetIdentityLabel(IdentityLabel::SerialNumber, t.Label(9));
    view_.SetIdentityLabel(IdentityLabel::Release, t.Label(10));
    view_.SetIdentityLabel(IdentityLabel::Base, t.Label(11));
    view_.SetIdentityLabel(IdentityLabel::Range, t.Label(12));
}

void MainWindow::ButtonConnectClick() {
    view_.ChartClear();
    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    if (!state_.session.conn.connected) {
        Connect();
    } else {
        Disconnect();
    }
}

void MainWindow::Connect() {
    const params::ConnectionState& conn = state_.session.conn;
    const ConnectChoice choice{conn.portName, conn.baudRate, conn.netAddress};
    lastConnect_ = choice;
    traffic_ = Traffic::None;
    (void)state_.session.sensor.ClosePort();
    clock_.Sleep(10);
    if (state_.session.conn.portName == kAdapterPortName) link::SwitchAdapterLine(usb_, clock_, 1);
    const bool opened = OpenSensorPort();
    clock_.Sleep(10);
    if (!opened) {
        linkStatus_.ShowOpenFailed(choice);
        UpdateLinkActions();
        return;
    }
    if (view_.TimerEnabled(Timer::TimerMore)) return;

    if (!Identify()) {
        linkStatus_.ShowNoAnswer(choice);
        UpdateLinkActions();
        if (options_.debugBuild) view_.SetVisible(Control::FormDebug, true);
        (void)state_.session.sensor.ClosePort();
        (void)state_.session.sensor.ClosePort();
        const lang::TextTable& t = state_.texts;
        view_.MessageBox(t.Message(7), t.Message(2), kMbIconStop);
        return;
    }
    view_.SetTimerEnabled(Timer::TimerAnswer, true);

    const bool parametersRead = state_.session.FetchAllParameters();
    linkStatus_.ShowConnected(choice, parametersRead);
    if (parametersRead) {
        view_.SetEnabled(Control::ValueListEditorParam, true);
        view_.SetTimerEnabled(Timer::TimerMore, true);
        state_.session.conn.connected = true;
        view_.SetText(Control::ButtonConnect, state_.texts.Button(10));
        state_.session.CopySensorToWork(params::kParamCount);
        state_.session.RebuildGrid();
        view_.SetEnabled(Control::ButtonMeasure, true);
        view_.SetEnabled(Control::ButtonStream, true);
        view_.SetEnabled(Control::ButtonZero, true);
        view_.SetEnabled(Control::LabelRast, true);
        EnableSensorMenu(true);
        const bool bench = options_.debugBuild;
        view_.SetVisible(Control::MenuWriteToFactory, bench);
        for (Control c : {Control::LabelCOMMotor, Control::ComboBoxMotorCOM,
                          Control::LabelCOMEncoder, Control::ComboBoxEncoderCOM}) {
            view_.SetVisible(c, bench);
        }
    }
    view_.SetEnabled(Control::LabelVOKT_U, state_.analogBoardPresent);
    view_.SetEnabled(Control::LabelVOKT_I, state_.analogBoardPresent);
    state_.benchModeCode = 0;
    view_.SelectBenchModeItem(0);
    UpdateLinkActions();
}

void MainWindow::HideBenchPortControls() {
    for (Control c : {Control::LabelCOMMotor, Control::ComboBoxMotorCOM, Control::LabelCOMEncoder,
                      Control::ComboBoxEncoderCOM}) {
        view_.SetVisible(c, false);
    }
}

void MainWindow::ShowZeroValue() {
    view_.SetEnabled(Control::LabelRast, false);
    view_.SetText(Control::LabelRast, lang::FormatFixed(0.0, 3) + " mm");
}

void MainWindow::Disconnect() {
    if (view_.TimerEnabled(Timer::TimerMore)) return;
    view_.SetTimerEnabled(Timer::TimerMore, true);
    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    state_.session.conn.connected = false;
    view_.SetText(Control::ButtonConnect, state_.texts.Button(0));
    ShowNoIdentity();
    HideBenchPortControls();
    if (stream_->Running()) stream_->StopForTeardown();
    (void)state_.session.sensor.ClosePort();
    bench_.devices.motor.Close();
    view_.SetEnabled(Control::ButtonMeasure, false);
    view_.SetEnabled(Control::ButtonStream, false);
    view_.SetEnabled(Control::ButtonZero, false);
    EnableSensorMenu(false);
    ShowZeroValue();
    view_.SetVisible(Control::FormDebug, false);
    traffic_ = Traffic::None;
    linkStatus_.ShowDisconnected();
    UpdateLinkActions();
}

void MainWindow::EnableSensorMenu(bool enabled) {
    for (Control item : kSensorMenuItems) {
        // Write to Factory exists only where the bench is reachable.
        const bool on = enabled && (item != Control::MenuWriteToFactory || options_.debugBuild);
        view_.SetEnabled(item, on);
    }
}

void MainWindow::TimerAnswerTimer() {
    params::ConnectionState& conn = state_.session.conn;
    if (conn.answerStatus != 0 && conn.previousAnswerStatus != 0) {
        view_.SetTimerEnabled(Timer::TimerMore, true);
        view_.SetTimerEnabled(Timer::TimerAnswer, false);
        view_.SetTimerEnabled(Timer::TimerMain, false);
        measurement_->AbandonRun();
        view_.SetEnabled(Control::ButtonMeasure, false);
        view_.SetEnabled(Control::ButtonStream, false);
        view_.SetEnabled(Control::ButtonZero, false);
        EnableSensorMenu(false);
        view_.SetEnabled(Control::ButtonConnect, true);
        conn.connected = false;
        view_.SetText(Control::ButtonConnect, state_.texts.Button(0));
        view_.SetText(Control::ButtonMeasure, state_.texts.Button(1));
        ShowNoIdentity();
        HideBenchPortControls();
        if (stream_->Running()) stream_->StopForTeardown();
        (void)state_.session.sensor.ClosePort();
        bench_.devices.motor.Close();
        bench_.devices.encoder.Close();
        ShowZeroValue();
        view_.SetVisible(Control::FormDebug, false);
        traffic_ = Traffic::None;
        // The address is the one in use, which the selector shows.
        ConnectChoice lost =
            lastConnect_.value_or(ConnectChoice{conn.portName, conn.baudRate, conn.netAddress});
        lost.address = conn.netAddress;
        linkStatus_.ShowLost(lost);
        UpdateLinkActions();
    }
    conn.previousAnswerStatus = conn.answerStatus;
}

void MainWindow::UpdateLinkActions() {
    const bool connected = state_.session.conn.connected;
    view_.SetLinkActions(!connected && lastConnect_.has_value(), !connected);
}

void MainWindow::ReconnectClick() {
    if (state_.session.conn.connected || !lastConnect_) return;
    ConnectTo(*lastConnect_);
}

void MainWindow::ConnectTo(const ConnectChoice& choice) {
    if (state_.session.conn.connected) return;
    params::ConnectionState& conn = state_.session.conn;
    conn.portName = choice.portName;
    conn.baudRate = choice.baud;
    conn.netAddress = choice.address;
    view_.SetText(Control::ComboBoxCOM, PortChoiceOf(choice.portName));
    view_.SetText(Control::ComboBoxWorkBaund, std::to_string(choice.baud));
    view_.SetText(Control::ComboBoxWorkCodeDev, std::to_string(choice.address));
    ButtonConnectClick();
}

void MainWindow::PrepareSearch() {
    if (state_.session.conn.connected || !state_.session.sensor.IsOpen()) return;
    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    (void)state_.session.sensor.ClosePort();
    linkStatus_.ShowDisconnected();
    UpdateLinkActions();
}

TrafficCount MainWindow::CountOf(Traffic traffic) const {
    switch (traffic) {
        case Traffic::Run:
            return {measurement_->resultsReceived, measurement_->resultsFailed};
        case Traffic::Stream: {
            const acquire::StreamCounters counters = stream_->Stream().Counters();
            return {counters.received, counters.failures};
        }
        case Traffic::None:
            break;
    }
    return {};
}

void MainWindow::LinkStatusTick() {
    // A sent address or the defaults change the address in use behind the selector's back.
    if (linkStatus_.ShownAddress() && *linkStatus_.ShownAddress() != state_.session.conn.netAddress)
        FollowAddress();
    const Traffic now = stream_->Running()        ? Traffic::Stream
                        : measurement_->Running() ? Traffic::Run
                                                  : Traffic::None;
    if (now == traffic_) {
        if (now != Traffic::None) linkStatus_.TrafficTick(CountOf(now));
        return;
    }
    if (traffic_ != Traffic::None) linkStatus_.StopTraffic(CountOf(traffic_));
    traffic_ = now;
    // A run's and a stream's counters start at zero with it.
    if (now != Traffic::None) linkStatus_.StartTraffic(now == Traffic::Stream, TrafficCount{});
}

// ---- Chart and buffer ------------------------------------------------------------------

void MainWindow::ButtonZeroClick() {
    state_.zeroOffset = state_.currentValue.load();
    ShowZeroOffset();
}

void MainWindow::ClearZeroClick() {
    if (stream_->Running()) return;
    state_.zeroOffset = 0.0f;
    ShowZeroOffset();
}

void MainWindow::ShowZeroOffset() {
    const float zero = state_.zeroOffset.load();
    view_.ChartShowZeroOffset(zero != 0.0f ? state_.texts.Text(lang::ProgramText::ZeroOffset,
                                                               {lang::FormatFixed(zero, 3)})
                                           : std::string());
}

void MainWindow::SaveChartImageClick() {
    const std::optional<std::string> path = view_.AskSaveImageFile();
    if (!path || path->empty()) return;
    if (!view_.SaveChartImage(*path, 0, 0)) {
        view_.MessageBox(state_.texts.Text(lang::ProgramText::ChartImageFailed, {*path}),
                         state_.texts.Message(2), kMbIconExclamation);
    }
}

void MainWindow::SaveClick() {
    const std::optional<std::string> path = view_.AskSaveDataFile();
    if (!path) return;
    std::string error;
    if (state_.measureMode.load() == bench::kModePulse) {
        if (!ExportProfile(*path, error)) {
            view_.MessageBox(error, state_.texts.Message(2), kMbIconExclamation);
        }
        return;
    }
    if (!state_.samples.ExportToFile(*path, error)) {
        view_.MessageBox(error, state_.texts.Message(2), kMbIconExclamation);
    }
}

bool MainWindow::ExportProfile(const std::string& path, std::string& error) {
    bench::RunState& run = measurement_->run;
    const int32_t last =
        std::clamp<int32_t>(run.profileLast, 0, bench::RunState::kProfileEntries - 1);
    std::string text;
    for (int32_t i = 0; i <= last; ++i) {
        text += std::to_string(run.profileSamples[static_cast<size_t>(i)]);
        text += "\r\n";
    }
    std::string reason;
    if (!platform::ReplaceFile(path, text, reason)) {
        // The profile stays captured for another try.
        error = "Cannot write the data file '" + path + "': " + reason + ".";
        return false;
    }
    clock_.Sleep(10);
    run.captureProfile = true;  // the next profile read in Pulse mode is the next export's
    return true;
}

void MainWindow::SaveCsvClick() {
    const std::optional<std::string> path = view_.AskSaveCsvFile();
    if (!path) return;
    acquire::CsvHeader header;
    header.serialNumber = state_.session.conn.deviceInfo.serialNumber;
    if (const bench::ModeRow* mode = bench::FindMode(state_.measureMode.load())) {
        header.modeCaption = std::string(mode->caption);
    }
    header.zeroOffset = state_.zeroOffset.load();
    header.startTime = state_.samplesStart;
    header.sampleInterval = acquire::StreamSampleInterval(state_.samplesBaud);
    std::string error;
    if (!acquire::WriteCsvFile(*path, state_.samples, header, error)) {
        view_.MessageBox(error, state_.texts.Message(2), kMbIconExclamation);
    }
}

void MainWindow::ClearClick() {
    view_.ChartClear();
    stream_->ClearLive();
}

void MainWindow::XAutomaticScalingClick() {
    state_.xAutoScale = !state_.xAutoScale;
    view_.SetAutoScaleChecks(state_.xAutoScale, state_.yAutoScale);
    view_.SetBottomAxisAutomatic(state_.xAutoScale);
}

void MainWindow::YAutomaticScalingClick() {
    if (state_.yAutoScale) {
        state_.yAutoScale = false;
        view_.SetLeftAxisAutomatic(false);
        view_.SetLeftAxisRange(0.0, state_.session.conn.measuringRange);
    } else {
        state_.yAutoScale = true;
        view_.SetLeftAxisAutomatic(true);
    }
    view_.SetAutoScaleChecks(state_.xAutoScale, state_.yAutoScale);
}

// ---- Measurement and stream ------------------------------------------------------------

void MainWindow::ButtonMeasureClick() { measurement_->ToggleMeasure(); }
void MainWindow::TimerMainTimer() { measurement_->TimerMainTimer(); }
void MainWindow::ButtonStreamClick() { stream_->ButtonStreamClick(); }
void MainWindow::StreamDisplayTick() { stream_->DisplayTick(); }
bool MainWindow::MeasurementRunning() const { return measurement_->Running(); }

// ---- Parameter grid events -------------------------------------------------------------

std::vector<std::string> MachineSerialPorts() { return platform::ListSerialPorts(); }

bool PortPresent(const std::string& choice) {
    std::error_code error;
    return std::filesystem::exists(platform::ResolvePortName(PortNameOf(choice)), error);
}

void MainWindow::ParamMenuClick(ParamMenuAction action) {
    using Transfer = void (params::ParamTransfer::*)();
    using Files = bool (params::ParamFileCommands::*)();
    struct Item {
        ParamMenuAction action;
        Transfer transfer;
        Files files;
    };
    static constexpr Item kItems[] = {
        {ParamMenuAction::Load, &params::ParamTransfer::PopupMenuLoadClick, nullptr},
        {ParamMenuAction::Read, &params::ParamTransfer::PopupMenuReadClick, nullptr},
        {ParamMenuAction::Compare, &params::ParamTransfer::PopupMenuCompareClick, nullptr},
        {ParamMenuAction::LoadAll, &params::ParamTransfer::PopupMenuLoadAllClick, nullptr},
        {ParamMenuAction::ReadAll, &params::ParamTransfer::PopupMenuReadAllClick, nullptr},
        {ParamMenuAction::CompareAll, &params::ParamTransfer::PopupMenuCompareAllClick, nullptr},
        {ParamMenuAction::Flash, &params::ParamTransfer::PopupMenuFLASHClick, nullptr},
        {ParamMenuAction::Default, &params::ParamTransfer::PopupMenuDefaultClick, nullptr},
        {ParamMenuAction::Factory, &params::ParamTransfer::PopupMenuFactoryClick, nullptr},
        {ParamMenuAction::WriteFile, nullptr, &params::ParamFileCommands::WrParamFileClick},
        {ParamMenuAction::ReadFile, nullptr, &params::ParamFileCommands::RdParamFileClick},
    };
    // A click queued before the connection ended finds the items disabled: it does nothing.
    if (NeedsSensor(action) && !state_.session.conn.connected) return;
    for (const Item& item : kItems) {
        if (item.action != action) continue;
        if (item.transfer != nullptr) (params_.get()->*item.transfer)();
        if (item.files != nullptr) (void)(paramFiles_.get()->*item.files)();
        return;
    }
}

bool MainWindow::ReportGridResult(const params::GridResult& result) {
    if (!result.ok) view_.ShowError(result.error);
    return result.ok;
}

bool MainWindow::ValueListEditorParamSelectCell(int newRow) {
    return ReportGridResult(
        params::OnSelectCell(state_.session.grid, state_.session.values, newRow));
}

void MainWindow::ValueListEditorParamExit() {
    ReportGridResult(params::OnGridExit(state_.session.grid, state_.session.values));
}

bool MainWindow::ValueListEditorParamContextPopup() {
    return ReportGridResult(params::OnContextPopup(state_.session.grid, state_.session.values));
}

void MainWindow::ValueListEditorParamEditButtonClick() {
    const params::RangeDialogRequest request =
        params::OnEditButtonClick(state_.session.grid, state_.session.values);
    if (!ReportGridResult(request.result) || !request.open) return;
    const auto [begin, end] = view_.ShowRangeDialog(request.beginPercent, request.endPercent);
    params::ApplyRangeDialog(state_.session.grid, state_.session.values, begin, end);
}

params::KeyResult MainWindow::ValueListEditorParamKeyPress(char32_t c,
                                                           const std::string& editorText) {
    params::KeyResult result = params::FilterKey(state_.session.grid, c, editorText);
    if (result.verdict == params::KeyVerdict::Refuse) view_.Beep();
    return result;
}

}  // namespace veska::main
