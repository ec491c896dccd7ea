#pragma once
#include <QDeadlineTimer>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>

#include "main/LogicThread.h"
#include "main/MainView.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTimer;
class QToolButton;

namespace veska::main {
class MainWindow;
struct ProgramState;
}  // namespace veska::main

namespace veska::ui {

class ChartView;
class FileDialogAdapter;
class MessageBoxAdapter;
class ParamGridWidget;
class PortComboBox;
class QueuedMainView;
class SensorSearchDialog;
class TFormAbout;
class TraceDock;
class TFormDebug;
class TFormRange;

/// TFormMain: the main window. It shows what the logic (main::MainWindow) tells it through
/// main::MainView and forwards every event of its controls to the logic; it decides nothing
/// itself. Top panel: port, baud rate and net address selectors with the connect button;
/// left: the parameter grid with its progress bar and menu; right: the large value label,
/// the measure, stream and zero buttons and the chart; bottom: the sensor's identity.
///
/// The logic runs on its own thread (main::LogicThread): every event of the window is posted
/// there as a named task, in order, and the logic's view calls come back through
/// QueuedMainView. A task that runs longer than kBusyDelayMs is named beside the connect button
/// with a busy cursor; the window keeps repainting and taking input meanwhile. The grid's
/// events that must answer at once run here while the logic is idle and are refused (a beep and
/// the busy text) while it is busy. The window's timers are the logic thread's; its timer
/// methods are safe on any thread.
class TFormMain final : public QWidget, public main::MainView {
  public:
    /// Display refresh of a running stream [ms].
    static constexpr int kStreamDisplayIntervalMs = 40;
    /// A task running this long is shown as busy [ms].
    static constexpr int kBusyDelayMs = 150;
    /// How often the busy state is looked at [ms].
    static constexpr int kBusyPollMs = 50;
    /// How long a refused input keeps the busy text up [ms].
    static constexpr int kRefusedShownMs = 1500;
    /// Refresh of the status bar's sample rate during a run or a stream [ms].
    static constexpr int kLinkStatusIntervalMs = 500;

    explicit TFormMain(main::ProgramState& state, QWidget* parent = nullptr);
    ~TFormMain() override;

    /// The other forms and the dialog adapters; all must outlive the window's use of them.
    void SetForms(TFormRange& range, TFormAbout& about, TFormDebug& bench);
    void SetAdapters(MessageBoxAdapter& messages, FileDialogAdapter& files);
    /// Connects the window's events to the logic, which runs on thread and shows itself through
    /// view (built on this window). Adds the window's timers to thread. All three must outlive
    /// the window's use of them: closing the window (or Shutdown) ends it.
    void Attach(main::MainWindow& logic, main::LogicThread& thread, QueuedMainView& view);
    /// Runs the close sequence (FormClose) on the logic thread after every queued event, stops
    /// the thread and detaches. Closing the window calls it; later calls do nothing.
    void Shutdown();
    /// Stops forwarding events and the timers.
    void Detach();
    /// No task runs or waits and every view call has been delivered.
    bool LogicIdle() const;
    /// Whether showing the window shows the about box (off for scripts and tests).
    void SetAboutBoxEnabled(bool enabled) { aboutEnabled_ = enabled; }
    /// Whether the options menu offers the bench form (the factory build).
    void SetBenchMenuItem(bool shown);
    /// The operator chose a language file ("DE.INI") in the options menu; for remembering it.
    std::function<void(const QString& file)> onLanguageChosen;
    /// The station panel's part of each model that changed it.
    std::function<void(const main::StationModel& model)> onStationModel;
    /// Queues handler on the logic thread under name (the busy text).
    void Post(const char* name, std::function<void(main::MainWindow&)> handler);

    // main::MainView
    // main::MainView
    void ShowWindow(const main::WindowModel& model) override;
    void SetTimerEnabled(main::Timer timer, bool enabled) override;
    void SetTimerInterval(main::Timer timer, int milliseconds) override;
    void Select(main::Selector selector, const std::string& text) override;
    void SelectBenchModeItem(int index) override;

    // bench::RunView
    void ShowValue(const std::string& text) override;
    void ShowReadout(bench::Readout readout, const std::string& text) override;
    void ShowProgress(int position) override;
    void ShowRunState(const std::string& text) override;
    void ChartClear() override;
    void ChartAddPoint(double y, const std::string& label, main::PointColour colour) override;
    void ChartAddPoints(const float* values, int count, int firstLabel,
                        main::PointColour colour) override;
    void ChartRepaint() override;
    void ChartSetTitle(const std::string& text, bool visible) override;
    void ChartSetAxisTitles(const std::string& left, const std::string& bottom) override;
    void ChartSetFoot(const std::string& text) override;
    void ChartSetBottomScale(double unitsPerPoint) override;
    void SetBottomAxisAutomatic(bool automatic) override;
    void SetBottomAxisRange(double minimum, double maximum) override;
    void SetLeftAxisAutomatic(bool automatic) override;
    void SetLeftAxisRange(double minimum, double maximum) override;
    void ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) override;
    void ChartSetStatistics(const acquire::ChartStatistics& statistics) override;
    std::optional<std::string> AskReportFile(const std::string& preset) override;
    bool SaveChartImage(const std::string& path, int width, int height) override;

    // main::WindowQuestions
    std::optional<std::string> AskFile(main::FileQuestion question) override;
    std::pair<int, int> ShowRangeDialog(int beginPercent, int endPercent) override;
    void ShowAboutBox() override;

    // params::ParamView
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowError(const std::string& text) override;
    void Beep() override;
    void SetParamProgress(int maximum, int position) override;
    void RefreshGrid() override;
    void SelectBaudItem(int index) override;
    void SelectAddressItem(int index) override;
    void SetIdentityLabel(params::IdentityLabel label, const std::string& text) override;
    std::string IdentityLabelText(params::IdentityLabel label) const override;
    std::optional<std::string> AskSaveParamFile(const std::string& presetName) override;
    std::optional<std::string> AskOpenParamFile() override;

    /// Whether a window timer of the logic runs.
    bool TimerEnabled(main::Timer timer) const;
    /// The window grows or shrinks towards the size the model asks for.
    bool Animating() const;
    /// The model last shown.
    const main::WindowModel& ModelShown() const { return shown_; }

    PortComboBox* ComboBoxCOM() const { return comboCom_; }
    QComboBox* ComboBoxWorkBaund() const { return comboBaud_; }
    QComboBox* ComboBoxWorkCodeDev() const { return comboAddress_; }
    QPushButton* ButtonConnect() const { return buttonConnect_; }
    QPushButton* ButtonMeasure() const { return buttonMeasure_; }
    QPushButton* ButtonStream() const { return buttonStream_; }
    QPushButton* ButtonZero() const { return buttonZero_; }
    QLabel* LabelRast() const { return labelRast_; }
    QLabel* Label(main::Control control) const;
    QLabel* IdentityValueLabel(params::IdentityLabel label) const;
    ParamGridWidget* ValueListEditorParam() const { return grid_; }
    QProgressBar* ProgressBarParam() const { return progressParam_; }
    QMenu* PopupMenuParam() const { return popupParam_; }
    QMenu* PopupMenuSave() const { return popupSave_; }
    QAction* Action(main::Control control) const;
    QAction* WriteParamFileAction() const { return actWriteFile_; }
    QAction* ReadParamFileAction() const { return actReadFile_; }
    QAction* XAutomaticScalingAction() const { return actXAuto_; }
    QAction* YAutomaticScalingAction() const { return actYAuto_; }
    QAction* SaveChartImageAction() const { return actSaveImage_; }
    QAction* ClearZeroAction() const { return actClearZero_; }
    ChartView* Chart1() const { return chart_; }
    /// A timer's interval [ms].
    int TimerInterval(main::Timer timer) const;
    /// The busy text beside the connect button (hidden when idle).
    QLabel* LabelBusy() const { return labelBusy_; }
    int BeepCount() const { return beeps_; }
    /// The status bar and its link line.
    QStatusBar* StatusBar() const { return statusBar_; }
    QLabel* LabelLink() const { return labelLink_; }
    main::LinkState LinkStateShown() const { return linkState_; }
    /// The link menu's actions: "Reconnect", "Find a sensor…", "Line trace".
    QAction* ReconnectAction() const { return actReconnect_; }
    QAction* FindSensorAction() const { return actFindSensor_; }
    QAction* LineTraceAction() const { return actLineTrace_; }
    /// The options menu: its language submenu and "Bench form" (factory build only).
    QMenu* OptionsMenu() const { return menuOptions_; }
    QMenu* LanguageMenu() const { return menuLanguage_; }
    QAction* BenchFormAction() const { return actBenchForm_; }
    QToolButton* OptionsButton() const { return buttonOptions_; }
    /// Opens "Find a sensor" (window-modal, not blocking) on the port selector's ports with the
    /// chosen port ticked and the chosen rate and address first; a sensor chosen there is
    /// connected to. Returns the dialog, which deletes itself when closed.
    SensorSearchDialog* OpenSensorSearch();
    /// The open search dialog, if any.
    SensorSearchDialog* SearchDialog() const;
    /// The line trace window (made on first use).
    TraceDock* LineTrace();

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BuildTopPanel(QWidget* panel);
    void BuildParamPanel(QWidget* panel);
    void BuildMeasurePanel(QWidget* panel);
    void BuildIdentityPanel(QWidget* panel);
    void BuildMenus();
    void BuildStatusBar();
    void WireEvents();
    QWidget* Widget(main::Control control) const;
    void ShowCaption(main::Control control, const QString& text);
    void ShowEnabled(main::Control control, bool enabled);
    void ShowVisible(main::Control control, bool visible);
    void ShowLink(main::LinkState state, const std::string& text);
    void ShowLanguages(const std::vector<std::pair<std::string, std::string>>& files,
                       const std::string& current);
    /// The foot line: the run's state while there is one, else the note.
    void ShowFootLine();
    /// One step of the height animation towards the model's size.
    void AnimateStep();
    main::LogicThread::TimerId TimerId(main::Timer timer) const;
    /// Runs handler here when the logic is idle; otherwise refuses it visibly (false).
    bool RunNow(const std::function<void(main::MainWindow&)>& handler);
    /// Runs handler here when the logic is idle, otherwise queues it.
    void RunNowOrPost(const char* name, std::function<void(main::MainWindow&)> handler);
    void UpdateBusy();
    void SetBusy(const QString& text, bool cursor);

    main::ProgramState& state_;
    main::MainWindow* logic_ = nullptr;
    main::LogicThread* thread_ = nullptr;
    QueuedMainView* view_ = nullptr;
    /// Logic-thread timers of TimerMain and TimerAnswer; set once by Attach.
    std::array<main::LogicThread::TimerId, 2> timers_{-1, -1};
    main::LogicThread::TimerId linkStatusTimer_ = -1;  ///< the status bar's refresh
    main::WindowModel shown_;                          ///< the model as the widgets show it now
    bool shownOnceModel_ = false;  ///< a model was shown (the first one is shown whole)
    QTimer* animation_ = nullptr;  ///< the height animation's steps
    int targetHeight_ = 0;         ///< [px] where the animation goes
    std::string runState_;         ///< the run's state line; empty: the note shows
    QLabel* labelBusy_ = nullptr;
    QTimer* busyPoll_ = nullptr;
    bool busyCursor_ = false;
    QDeadlineTimer refusedShownUntil_ =
        QDeadlineTimer(qint64{0});  ///< a refused input keeps the busy text up till then
    TFormRange* range_ = nullptr;
    TFormAbout* about_ = nullptr;
    TFormDebug* bench_ = nullptr;
    MessageBoxAdapter* messages_ = nullptr;
    FileDialogAdapter* files_ = nullptr;
    bool aboutEnabled_ = true;
    bool shownOnce_ = false;
    bool closed_ = false;
    int beeps_ = 0;

    PortComboBox* comboCom_ = nullptr;
    QComboBox* comboBaud_ = nullptr;
    QComboBox* comboAddress_ = nullptr;
    QPushButton* buttonConnect_ = nullptr;
    QPushButton* buttonMeasure_ = nullptr;
    QPushButton* buttonStream_ = nullptr;
    QPushButton* buttonZero_ = nullptr;
    QLabel* labelRast_ = nullptr;
    QLabel* statusLine_ = nullptr;  ///< notes at the foot (a missing language file)
    QStatusBar* statusBar_ = nullptr;
    QLabel* labelLink_ = nullptr;  ///< the link line
    main::LinkState linkState_ = main::LinkState::Disconnected;
    QToolButton* buttonLink_ = nullptr;  ///< opens the link menu
    QMenu* menuLink_ = nullptr;
    QAction* actReconnect_ = nullptr;
    QAction* actFindSensor_ = nullptr;
    QAction* actLineTrace_ = nullptr;
    QToolButton* buttonOptions_ = nullptr;  ///< opens the options menu
    QMenu* menuOptions_ = nullptr;
    QMenu* menuLanguage_ = nullptr;
    QAction* actBenchForm_ = nullptr;  ///< shows the bench form; factory build only
    QString portNoteSimulated_ = QStringLiteral("simulated sensor");
    QString portNoteAbsent_ = QStringLiteral("not present");
    TraceDock* traceDock_ = nullptr;
    QPointer<SensorSearchDialog> searchDialog_;
    std::map<main::Control, QLabel*> labels_;
    std::map<params::IdentityLabel, QLabel*> identity_;
    ParamGridWidget* grid_ = nullptr;
    QProgressBar* progressParam_ = nullptr;
    ChartView* chart_ = nullptr;

    QMenu* popupParam_ = nullptr;
    QMenu* popupSave_ = nullptr;
    std::map<main::Control, QAction*> actions_;
    QAction* actLoad_ = nullptr;
    QAction* actRead_ = nullptr;
    QAction* actCompare_ = nullptr;
    QAction* actLoadAll_ = nullptr;
    QAction* actReadAll_ = nullptr;
    QAction* actCompareAll_ = nullptr;
    QAction* actFlash_ = nullptr;
    QAction* actDefault_ = nullptr;
    QAction* actFactory_ = nullptr;
    QAction* actWriteFile_ = nullptr;
    QAction* actReadFile_ = nullptr;
    QAction* actSave_ = nullptr;
    QAction* actSaveCsv_ = nullptr;  ///< "Save as CSV", enabled with actSave_
    QAction* actClear_ = nullptr;
    QAction* actSaveImage_ = nullptr;  ///< "Save chart as image..."
    QAction* actClearZero_ = nullptr;  ///< "Clear zero offset", enabled as ButtonZero is
    QAction* actXAuto_ = nullptr;
    QAction* actYAuto_ = nullptr;

    bool chartTitleVisible_ = false;
};

}  // namespace veska::ui
