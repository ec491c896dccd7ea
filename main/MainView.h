#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "acquire/ChartData.h"
#include "bench/RunView.h"
#include "params/ParamView.h"

namespace veska::main {

/// Controls whose caption, enabled state or visibility the program logic sets.
enum class Control {
    WindowCaption,
    ButtonConnect,
    ButtonMeasure,
    ButtonStream,
    ButtonZero,
    LabelRast,
    ValueListEditorParam,
    ComboBoxCOM,
    ComboBoxWorkBaund,
    ComboBoxWorkCodeDev,
    MenuWriteToFactory,
    // Static captions set from the language texts at start.
    Label5,   ///< baud rate title
    Label10,  ///< port title
    Label4,   ///< net address title
    Label18,  ///< device type title
    Label6,   ///< serial number title
    Label17,  ///< release title
    Label7,   ///< base distance title
    Label8,   ///< range title
    // The identity labels are set through ParamView::SetIdentityLabel.
    PopupMenuLoad,
    PopupMenuRead,
    PopupMenuCompare,
    PopupMenuLoadAll,
    PopupMenuReadAll,
    PopupMenuCompareAll,
    PopupMenuFLASH,
    PopupMenuDefault,
    MenuSave,    ///< chart menu "Save data to file"
    MenuClear,   ///< chart menu "Clear"
    GridTitles,  ///< the two column titles joined by CR LF
    ChartTitle,
    // The bench form and the controls of it that the main window touches.
    FormDebug,
    LabelCOMMotor,
    ComboBoxMotorCOM,
    LabelCOMEncoder,
    ComboBoxEncoderCOM,
    LabelVOKT_U,
    LabelVOKT_I,
    LabelEncoder,
    LabeldMORLA_Encoder,
    RadioGroupMode,
    TrackBarLaser,
    StatusLine,  ///< a line at the foot of the window for notes (hidden while empty)
    // Menu items and menu buttons beyond the classic captions.
    MenuSaveCsv,
    MenuSaveImage,
    MenuClearZero,
    MenuXAutomaticScaling,
    MenuYAutomaticScaling,
    MenuWriteParamFile,
    MenuReadParamFile,
    ButtonLink,  ///< opens the link menu
    MenuReconnect,
    MenuReconnectTip,  ///< the tooltip of Reconnect
    MenuFindSensor,
    MenuLineTrace,
    ButtonOptions,  ///< opens the options menu: language, and the bench form where reachable
    MenuLanguage,
    MenuBenchForm,
    PortNoteSimulated,  ///< the port list's note beside the simulated sensor's port
    PortNoteAbsent,     ///< the port list's note beside a port with no device
};

/// The main window's timers.
enum class Timer {
    TimerMain,    ///< measurement tick, 1 ms
    TimerAnswer,  ///< answer watchdog, 30000 ms
    TimerMore,    ///< height animation, 1 ms
};

/// What the link line of the status bar says, for its look (a lost sensor stands out).
enum class LinkState {
    Disconnected,  ///< no connection (never connected, or disconnected by the operator)
    Failed,        ///< the last connect failed (port not opened, no answer)
    Connected,     ///< port open and the sensor identified
    Busy,          ///< a run or a stream goes on
    Lost,          ///< the answer watchdog closed the connection
};

/// Chart point colour: the series' own default, or red (Windows colour 255).
using PointColour = bench::PointColour;

/// What the main window logic shows. The Qt window implements it; tests use a fake that
/// records every call. Texts are plain text, never markup.
class MainView : public params::ParamView {
  public:
    virtual void SetText(Control control, const std::string& text) = 0;
    virtual void SetEnabled(Control control, bool enabled) = 0;
    virtual void SetVisible(Control control, bool visible) = 0;

    virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;
    virtual bool TimerEnabled(Timer timer) const = 0;
    virtual void SetTimerInterval(Timer timer, int milliseconds) = 0;

    /// Window height [px].
    virtual int WindowHeight() const = 0;
    virtual void SetWindowHeight(int pixels) = 0;

    // Chart1 and its series SeriesOsc.
    virtual void ChartClear() = 0;
    virtual void ChartAddPoint(double y, const std::string& label, PointColour colour) = 0;
    /// Adds many points at once, labelled firstLabel, firstLabel + 1, ... (stream stop).
    virtual void ChartAddPoints(const float* values, int count, int firstLabel,
                                PointColour colour) = 0;
    /// Repaint request; the window may coalesce several into one drawing.
    virtual void ChartRepaint() = 0;
    virtual void ChartSetTitle(const std::string& text, bool visible) = 0;
    virtual void ChartSetAxisTitles(const std::string& left, const std::string& bottom) = 0;
    virtual void ChartSetFoot(const std::string& text) = 0;
    /// The bottom axis labels point n as n x unitsPerPoint; ChartClear goes back to 1.
    virtual void ChartSetBottomScale(double /*unitsPerPoint*/) {}
    virtual void SetBottomAxisAutomatic(bool automatic) = 0;
    virtual void SetBottomAxisRange(double minimum, double maximum) = 0;
    virtual void SetLeftAxisAutomatic(bool automatic) = 0;
    virtual void SetLeftAxisRange(double minimum, double maximum) = 0;
    /// Check marks of the chart menu items "X Automatic Scaling" and "Y Automatic Scaling ".
    virtual void SetAutoScaleChecks(bool xChecked, bool yChecked) = 0;
    /// The decimated trace of a running stream (x: sample number since the start), drawn
    /// beside SeriesOsc; empty vectors remove it. Not part of SeriesOsc's points.
    virtual void ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) = 0;
    /// What the chart's statistics line needs besides SeriesOsc's points: the unit, the
    /// measured sample rate and, while a stream runs, its samples' statistics.
    virtual void ChartSetStatistics(const acquire::ChartStatistics& statistics) = 0;
    /// The zero offset of Line mode shown beside the chart; empty hides it.
    virtual void ChartShowZeroOffset(const std::string& text) = 0;

    /// Save dialog of the measurement data; nullopt when cancelled.
    virtual std::optional<std::string> AskSaveDataFile() = 0;
    /// Save dialog of the CSV file ("*.csv"); nullopt when cancelled.
    virtual std::optional<std::string> AskSaveCsvFile() = 0;
    /// Save dialog of a chart image (".png" by default; ".bmp", ".jpg"); nullopt when
    /// cancelled.
    virtual std::optional<std::string> AskSaveImageFile() = 0;
    /// The same dialog with a proposed file name (reports, calibration tables); nullopt when
    /// cancelled.
    virtual std::optional<std::string> AskReportFile(const std::string& preset) = 0;
    /// Writes Chart1 as an image of width x height [px] on a white background under path
    /// (BMP for ".bmp", JPEG for ".jpg", PNG otherwise; 0 x 0: the size on screen); the
    /// chart on screen keeps its size. True when written.
    virtual bool SaveChartImage(const std::string& path, int width, int height) = 0;
    /// Where a report image of this bare name goes: the name itself (the current directory)
    /// unless the view keeps its files elsewhere (a headless run's output folder).
    virtual std::string ReportImagePath(const std::string& name) { return name; }
    /// The range dialog shown modally with two percentages; returns them when it closes.
    virtual std::pair<int, int> ShowRangeDialog(int beginPercent, int endPercent) = 0;
    virtual void ShowAboutBox() = 0;
    /// Selects an item of the bench form's mode list.
    virtual void SelectBenchModeItem(int index) = 0;
    /// The bench form's progress bar ProgressBarQSDEBUG (0..100).
    virtual void SetBenchProgress(int position) = 0;
    /// Selects an item of the port combo (3 = "COM4").
    virtual void SelectPortItem(int index) = 0;

    /// The link line of the status bar (plain text).
    virtual void ShowLinkStatus(LinkState state, const std::string& text) = 0;
    /// Whether "Reconnect" (repeat the last connect) and "Find a sensor" can be used now.
    virtual void SetLinkActions(bool reconnect, bool search) = 0;
    /// The language files the operator can choose from (file names such as "DE.INI", each
    /// with the name it is offered under) and the one in use.
    virtual void ShowLanguages(const std::vector<std::pair<std::string, std::string>>& files,
                               const std::string& current) {
        (void)files;
        (void)current;
    }
};

}  // namespace veska::main
