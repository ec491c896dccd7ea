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
#include "main/StationDesk.h"
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

/// After an event that may have ended a run, the station starts its next step.
class StationTurn {
  public:
    explicit StationTurn(StationDesk& desk) : desk_(desk) {}
    ~StationTurn() { desk_.Continue(); }
    StationTurn(const StationTurn&) = delete;
    StationTurn& operator=(const StationTurn&) = delete;

  private:
    StationDesk& desk_;
};

constexpr const char* kAdapterPortName = "\\\\.\\USB_PELRIN";
constexpr const char* kStartPort = "COM4";

using params::IdentityLabel;
using params::kMbIconExclamation;
using params::kMbIconStop;

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
      window_(view, state.texts, options_.debugBuild),
      linkStatus_(window_, clock, state.texts) {
    params::SensorSession& session = state_.session;
    session.SetView(view_);
    session.SetUsbBackend(usb_);
    session.reopenPort = [this] { return OpenSensorPort(); };
    params_ = std::make_unique<params::ParamTransfer>(
        session, [this] { paramFiles_->WriteFactoryParamFile(); });
    paramFiles_ = std::make_unique<params::ParamFileCommands>(*params_);
    plainModes_.BindTo(modeSteps_);
    if (bench_.bindModes) bench_.bindModes(modeSteps_);
    stream_ = std::make_unique<StreamController>(state_, view_, window_, clock_);
    measurement_ = std::make_unique<MeasurementCycle>(state_, view_, window_, clock_, *stream_,
                                                      bench_.devices, modeSteps_);
    station_ = std::make_unique<StationDesk>(state_, *measurement_, window_, view_);
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
        window_.ShowNote(note);
    }

    state_.session.conn.portName = std::string(link::kPortPrefix) + "COM4";
    state_.session.conn.baudRate = 115200;
    state_.session.conn.netAddress = 1;
    view_.Select(Selector::Port, kStartPort);
    view_.SelectAddressItem(0);

    state_.session.grid.SetCurrentParam(0);
    state_.session.conn.connected = false;

    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    window_.Enter(Activity::Disconnected);

    state_.session.values.Clear();
    linkStatus_.ShowDisconnected();

    state_.session.conn.answerStatus = 0;
    ShowZeroValue();

    // The analog board is opened only when the bench is reachable.
    state_.analogBoardPresent = options_.debugBuild && bench_.devices.board.Open();
    window_.SetAnalogBoard(state_.analogBoardPresent);

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
    if (!state_.session.conn.connected) ShowNoIdentity();
    ShowZeroOffset();
    linkStatus_.Refresh();
}

void MainWindow::ApplyLanguage() {
    state_.shownTexts.Publish(state_.texts);
    const std::string inUse = options_.languageFile.empty()
                                  ? lang::SelectedLanguageFile(languageDirectory_)
                                  : options_.languageFile;
    // Publishes the captions in the new language with the list.
    window_.ShowLanguages(lang::ListLanguageFiles(languageDirectory_), inUse);
    ShowNoIdentity();
    params::LocaliseParamNames(state_.session.table, state_.texts);
}

void MainWindow::FormShow() { view_.ShowAboutBox(); }

void MainWindow::AnimationDone(uint32_t request) { window_.AnimationDone(request); }

void MainWindow::FormClose() {
    // A unit under way ends aborted, and is stored so, before anything closes.
    station_->Stop();
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
    const bool opened = state_.session.OpenPort();
    window_.SetPortOpen(opened);
    return opened;
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
    const StationTurn turn(*station_);
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
    window_.SetLastConnectKnown(true);
    (void)state_.session.sensor.ClosePort();
    clock_.Sleep(10);
    if (state_.session.conn.portName == kAdapterPortName) link::SwitchAdapterLine(usb_, clock_, 1);
    const bool opened = OpenSensorPort();
    clock_.Sleep(10);
    if (!opened) {
        linkStatus_.ShowOpenFailed(choice);
        return;
    }
    if (window_.Animating()) return;

    if (!Identify()) {
        linkStatus_.ShowNoAnswer(choice);
        if (options_.debugBuild) window_.ShowBenchForm(true);
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
        window_.Resize(true);
        state_.session.conn.connected = true;
        state_.session.CopySensorToWork(params::kParamCount);
        state_.session.RebuildGrid();
        window_.Enter(Activity::Connected);
    }
    state_.benchModeCode = 0;
    view_.SelectBenchModeItem(0);
}

void MainWindow::ShowZeroValue() { view_.ShowValue(lang::FormatFixed(0.0, 3) + " mm"); }

void MainWindow::Disconnect() {
    if (window_.Animating()) return;
    window_.Resize(false);
    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    state_.session.conn.connected = false;
    ShowNoIdentity();
    if (stream_->Running()) stream_->StopForTeardown();
    (void)state_.session.sensor.ClosePort();
    bench_.devices.motor.Close();
    ShowZeroValue();
    window_.ShowBenchForm(false);
    linkStatus_.ShowDisconnected();
    window_.Enter(Activity::Disconnected);
}

void MainWindow::TimerAnswerTimer() {
    const StationTurn turn(*station_);
    params::ConnectionState& conn = state_.session.conn;
    if (conn.answerStatus != 0 && conn.previousAnswerStatus != 0) {
        window_.Resize(false);
        view_.SetTimerEnabled(Timer::TimerAnswer, false);
        view_.SetTimerEnabled(Timer::TimerMain, false);
        measurement_->AbandonRun();
        conn.connected = false;
        ShowNoIdentity();
        if (stream_->Running()) stream_->StopForTeardown();
        (void)state_.session.sensor.ClosePort();
        bench_.devices.motor.Close();
        bench_.devices.encoder.Close();
        ShowZeroValue();
        window_.ShowBenchForm(false);
        // The address is the one in use, which the selector shows.
        ConnectChoice lost =
            lastConnect_.value_or(ConnectChoice{conn.portName, conn.baudRate, conn.netAddress});
        lost.address = conn.netAddress;
        linkStatus_.ShowLost(lost);
        window_.Enter(Activity::Lost);
    }
    conn.previousAnswerStatus = conn.answerStatus;
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
    view_.Select(Selector::Port, PortChoiceOf(choice.portName));
    view_.Select(Selector::Baud, std::to_string(choice.baud));
    view_.Select(Selector::Address, std::to_string(choice.address));
    ButtonConnectClick();
}

void MainWindow::PrepareSearch() {
    if (state_.session.conn.connected || !state_.session.sensor.IsOpen()) return;
    view_.SetTimerEnabled(Timer::TimerAnswer, false);
    (void)state_.session.sensor.ClosePort();
    linkStatus_.ShowDisconnected();
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
    const Traffic counted = linkStatus_.Counting();
    if (now == counted) {
        if (now != Traffic::None) linkStatus_.TrafficTick(CountOf(now));
        return;
    }
    if (counted != Traffic::None) linkStatus_.StopTraffic(CountOf(counted));
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
    window_.ShowZeroOffset(zero != 0.0f ? state_.texts.Text(lang::ProgramText::ZeroOffset,
                                                            {lang::FormatFixed(zero, 3)})
                                        : std::string());
}

void MainWindow::SaveChartImageClick() {
    const std::optional<std::string> path = view_.AskFile(FileQuestion::ChartImage);
    if (!path || path->empty()) return;
    if (!view_.SaveChartImage(*path, 0, 0)) {
        view_.MessageBox(state_.texts.Text(lang::ProgramText::ChartImageFailed, {*path}),
                         state_.texts.Message(2), kMbIconExclamation);
    }
}

void MainWindow::SaveClick() {
    const std::optional<std::string> path = view_.AskFile(FileQuestion::DataFile);
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
    const std::optional<std::string> path = view_.AskFile(FileQuestion::CsvFile);
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
    window_.ShowAutoScale(state_.xAutoScale, state_.yAutoScale);
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
    window_.ShowAutoScale(state_.xAutoScale, state_.yAutoScale);
}

// ---- Measurement and stream ------------------------------------------------------------

void MainWindow::ButtonMeasureClick() {
    measurement_->ToggleMeasure();
    station_->Continue();
}
void MainWindow::TimerMainTimer() {
    measurement_->TimerMainTimer();
    station_->Continue();
}
void MainWindow::ButtonStreamClick() { stream_->ButtonStreamClick(); }
void MainWindow::StreamDisplayTick() { stream_->DisplayTick(); }
bool MainWindow::MeasurementRunning() const { return measurement_->Running(); }
void MainWindow::AskStop() { measurement_->AskStop(); }

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
