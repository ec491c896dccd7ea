#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchDevices.h"
#include "bench/RunFrame.h"
#include "link/MorlaInterface.h"
#include "main/LinkStatus.h"
#include "main/MainView.h"
#include "main/PlainModes.h"
#include "main/ProgramState.h"
#include "main/WindowState.h"
#include "params/ParamGrid.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"

namespace veska::params {
class ParamTransfer;
class ParamFileCommands;
}  // namespace veska::params

namespace veska::main {

class MeasurementCycle;
class StationDesk;
class StreamController;

/// The actions of the parameter grid's menu and its file items.
enum class ParamMenuAction {
    Load,
    Read,
    Compare,
    LoadAll,
    ReadAll,
    CompareAll,
    Flash,
    Default,
    Factory,
    WriteFile,
    ReadFile,
};

/// The ports for the port selectors beside their fixed items: the machine's serial devices
/// (by-id names first) and the COMn entries of the port directory.
std::vector<std::string> MachineSerialPorts();

/// Whether the device a port selector's text names is there ("COM4" through the port
/// directory or /dev/ttyS3, or a path).
bool PortPresent(const std::string& choice);

/// Options fixed when the program starts.
struct StartOptions {
    std::string languageDirectory;  ///< empty: lang::FindLanguageDirectory()
    std::string motorTablePath;     ///< empty: bench::FindMotorTableFile()
    bool debugBuild = false;        ///< makes the factory bench reachable
    /// The language file the operator chose last ("DE.INI"); empty, or a file that is not
    /// there: the one Language.ini names.
    std::string languageFile;
};

/// What the composition root hands the logic beside the view: the bench's devices and the
/// steps of the bench modes. The defaults are a bench without devices and without modes.
struct BenchWiring {
    bench::BenchDevices devices = bench::AbsentDevices();
    /// Binds the steps of the bench's modes (the plain modes are bound by the logic itself).
    std::function<void(bench::ModeSteps&)> bindModes;
};

/// The main window's logic, free of widgets: every event handler of the window is a call
/// here, every effect goes through MainView. Owns the sensor link and the parts of the
/// logic; the program state is owned by the caller (the composition root).
class MainWindow {
  public:
    MainWindow(ProgramState& state, MainView& view, platform::Clock& clock, platform::D2xx* usb,
               StartOptions options, BenchWiring bench = {});
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Start-up and shutdown.
    void FormCreate();
    void FormShow();
    void FormClose();
    /// The window reached the size of a resize request (WindowModel::sizeRequest): connect
    /// and stream clicks count again once it is the newest.
    void AnimationDone(uint32_t request);
    /// The options menu's language: the texts are read from that file of the language
    /// directory and every caption of the window changes at once.
    void ChooseLanguage(const std::string& file);

    // Connection.
    void ButtonConnectClick();
    void ComboBoxCOMChange(const std::string& text);
    void ComboBoxWorkBaundChange(const std::string& text);
    void ComboBoxWorkCodeDevChange(const std::string& text);
    /// The bench form's motor and encoder port selectors.
    void ComboBoxMotorCOMChange(const std::string& text);
    void ComboBoxEncoderCOMChange(const std::string& text);
    void TimerAnswerTimer();
    /// "Reconnect": the last connect again, with its port, rate and address (the selectors
    /// follow). Nothing while connected or before the first connect.
    void ReconnectClick();
    /// Connects to a sensor found by a search: the selectors and the connection state take
    /// its port, rate and address, then the connect runs. Nothing while connected.
    void ConnectTo(const ConnectChoice& choice);
    /// A search is about to try the ports: while not connected, the sensor port is closed
    /// (a sensor identified whose parameters were not read leaves it open) and the watchdog
    /// stops, so that the search can open it.
    void PrepareSearch();
    /// The last connect's choice; empty before the first.
    const std::optional<ConnectChoice>& LastConnect() const { return lastConnect_; }
    /// Periodic (the window's status timer): the sample rate and failures of a run or a stream
    /// in the status bar, and the run's or stream's totals once it ends.
    void LinkStatusTick();
    LinkStatus& Status() { return linkStatus_; }
    /// The window's activity and the model published from it.
    WindowState& Window() { return window_; }
    /// Opens the sensor port at baudRate (ClosePort first); reports a failure by message box.
    bool OpenSensorPort();

    // Chart and buffer.
    void ButtonZeroClick();
    void SaveClick();
    /// "Save as CSV" of the chart menu: the ring with serial number, mode, zero offset and
    /// start time (acquire::CsvText) to the file the operator picks.
    void SaveCsvClick();
    void ClearClick();
    /// "Clear zero offset" of the chart menu: Line mode's zero back to 0 (not while a stream
    /// runs, as for "Zero set").
    void ClearZeroClick();
    /// "Save chart as image" of the chart menu: the chart as drawn, to the file the operator
    /// picks; a failure is shown in a box.
    void SaveChartImageClick();
    void XAutomaticScalingClick();
    void YAutomaticScalingClick();

    // Measurement and stream.
    void ButtonMeasureClick();
    void TimerMainTimer();
    void ButtonStreamClick();
    /// Interface-thread refresh while a stream runs: newest value in LabelRast, the bottom
    /// axis window. Called by the window's display timer.
    void StreamDisplayTick();
    bool MeasurementRunning() const;
    /// From the interface thread: the running run hears a stop between its exchanges, before
    /// the Measure click's task reaches the logic thread (a silent sensor holds a tick for up
    /// to a few request timeouts).
    void AskStop();

    /// An item of the parameter grid's menu.
    void ParamMenuClick(ParamMenuAction action);

    // Parameter grid events.
    // Each first takes the edited cell over; a text that does not convert is shown with the
    // general error display and the event goes no further (false).
    /// A grid row (1..37) is about to be selected; false keeps the old row current.
    bool ValueListEditorParamSelectCell(int newRow);
    void ValueListEditorParamExit();
    /// False when the menu must not open.
    bool ValueListEditorParamContextPopup();
    void ValueListEditorParamEditButtonClick();
    /// The key filter of the cell editor; a refused key has already beeped.
    params::KeyResult ValueListEditorParamKeyPress(char32_t c, const std::string& editorText);
    params::ParamTransfer& Params() { return *params_; }
    params::ParamFileCommands& ParamFiles() { return *paramFiles_; }

    link::TMORLAInterface& Sensor() { return state_.session.sensor; }
    MeasurementCycle& Measurement() { return *measurement_; }
    /// The production station: sequences run in the window, and the store of every run.
    StationDesk& Station() { return *station_; }
    StreamController& Stream() { return *stream_; }
    ProgramState& State() { return state_; }
    bool DebugBuild() const { return options_.debugBuild; }

  private:
    /// Loads the texts (the chosen file, else the one Language.ini names); false when no
    /// language file was found.
    bool LoadTexts();
    void ApplyLanguage();
    /// The status bar and the Reconnect choice name the net address in use.
    void FollowAddress();
    /// Pulse mode's export: profileSamples[0 .. profileLast], one decimal a line, then the
    /// capture is armed again. False with error set when the file cannot be written.
    bool ExportProfile(const std::string& path, std::string& error);
    bool ReportGridResult(const params::GridResult& result);
    void ShowZeroValue();
    /// The zero offset beside the chart while it is not 0.
    void ShowZeroOffset();
    void Connect();
    void Disconnect();
    void ShowNoIdentity();
    bool Identify();
    using Traffic = LinkStatus::Traffic;
    TrafficCount CountOf(Traffic traffic) const;

    ProgramState& state_;
    MainView& view_;
    platform::Clock& clock_;
    platform::D2xx* usb_;
    StartOptions options_;
    BenchWiring bench_;
    bench::ModeSteps modeSteps_;
    PlainModes plainModes_;
    std::unique_ptr<params::ParamTransfer> params_;
    std::unique_ptr<params::ParamFileCommands> paramFiles_;
    std::unique_ptr<StreamController> stream_;
    std::unique_ptr<MeasurementCycle> measurement_;
    std::unique_ptr<StationDesk> station_;
    WindowState window_;
    LinkStatus linkStatus_;
    std::optional<ConnectChoice> lastConnect_;
    std::string languageDirectory_;  ///< found at FormCreate
};

}  // namespace veska::main
