#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace veska::main {

/// The window's controls whose caption, enabled state or visibility the logic decides.
enum class Control {
    WindowCaption,
    ButtonConnect,
    ButtonMeasure,
    ButtonStream,
    ButtonZero,
    LabelRast,             ///< the large value label
    ValueListEditorParam,  ///< the parameter grid
    ComboBoxCOM,           ///< the sensor port selector
    ComboBoxWorkBaund,     ///< the line rate selector
    ComboBoxWorkCodeDev,   ///< the net address selector
    MenuWriteToFactory,
    // Static captions set from the language texts.
    Label5,   ///< baud rate title
    Label10,  ///< port title
    Label4,   ///< net address title
    Label18,  ///< device type title
    Label6,   ///< serial number title
    Label17,  ///< release title
    Label7,   ///< base distance title
    Label8,   ///< range title
    // The identity values are set through ParamView::SetIdentityLabel.
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
    // The bench form and the controls of it that the main window decides.
    FormDebug,
    LabelCOMMotor,
    ComboBoxMotorCOM,
    LabelCOMEncoder,
    ComboBoxEncoderCOM,
    LabelVOKT_U,          ///< the board's voltage read-out
    LabelVOKT_I,          ///< the board's current read-out
    LabelEncoder,         ///< the encoder position read-out
    LabeldMORLA_Encoder,  ///< sensor minus encoder read-out
    RadioGroupMode,       ///< the bench mode list
    TrackBarLaser,        ///< the laser power slider
    StatusLine,           ///< a line at the foot of the window for notes (hidden while empty)
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
    MenuReconnectTip,  ///< the hint shown over Reconnect
    MenuFindSensor,
    MenuLineTrace,
    ButtonOptions,  ///< opens the options menu: language, and the bench form where reachable
    MenuLanguage,
    MenuBenchForm,
    PortNoteSimulated,  ///< the port list's note beside the simulated sensor's port
    PortNoteAbsent,     ///< the port list's note beside a port with no device
};

/// What the link line of the status bar says, for its look (a lost sensor stands out).
enum class LinkState {
    Disconnected,  ///< no connection (never connected, or disconnected by the operator)
    Failed,        ///< the last connect failed (port not opened, no answer)
    Connected,     ///< port open and the sensor identified
    Busy,          ///< a run or a stream goes on
    Lost,          ///< the answer watchdog closed the connection
};

/// What the program does with the sensor. One value at a time; the controls follow it.
enum class Activity {
    Disconnected,  ///< no sensor (also a sensor identified whose parameters were not read)
    Connected,     ///< identified, parameters read, idle
    Measuring,     ///< a run of a plain mode
    BenchRun,      ///< a run of a bench mode (stage, encoder, board)
    Streaming,     ///< the stream thread reads the sensor
    Lost,          ///< the answer watchdog ended the connection
};

/// The few facts beside the activity that decide a control.
struct ControlFacts {
    bool factoryBuild = false;      ///< the bench is reachable (Write to Factory, bench ports)
    bool analogBoard = false;       ///< the analog board answered when the program started
    bool encoderPresent = false;    ///< the encoder answered at the start of the last run
    bool lastConnectKnown = false;  ///< a connect was tried, so Reconnect can repeat it
    bool portFailed = false;        ///< the last opening of the sensor port failed
};

/// Which controls can be used: every control the activity decides, with its state. Controls
/// not named keep what they have.
std::map<Control, bool> EnabledControls(Activity activity, const ControlFacts& facts);

/// Which controls are shown: every control the activity decides, with its state.
std::map<Control, bool> VisibleControls(Activity activity, const ControlFacts& facts);

/// Whether the connection is up in this activity (idle, measuring or streaming).
bool SensorConnected(Activity activity);

/// One step of the station panel's list.
struct StationStepLine {
    std::string name;          ///< the step's name
    std::string mode;          ///< the bench mode it runs
    std::string outcome;       ///< "", "running", "passed", "failed", "error", "aborted",
                               ///< "not run"
    std::string measurements;  ///< "figure_percent 0.052 % [-0.1 .. 0.1] passed", "; "-joined
    std::string reason;        ///< why it did not pass

    bool operator==(const StationStepLine&) const = default;
};

/// What the station panel shows: the unit's sequence as it runs and its verdict.
struct StationModel {
    bool running = false;  ///< a sequence runs (Start is refused, Stop is offered)
    std::string sequence;  ///< the sequence's name
    std::string serial;    ///< the unit's serial number
    std::vector<StationStepLine> steps;
    std::string verdict;   ///< "", "PASSED", "FAILED", "ERROR", "ABORTED"
    std::string reason;    ///< why the unit did not pass
    std::string unitId;    ///< the unit's run id once stored (the certificate's key)
    std::string message;   ///< a refusal, a store problem, the folder of the files
    int64_t waiting = -1;  ///< results waiting in the spool; -1: not known

    bool operator==(const StationModel&) const = default;
};

/// Everything the window shows that is state, not a stream of points: the logic publishes it
/// whole after each change and the window shows the latest one.
struct WindowModel {
    Activity activity = Activity::Disconnected;
    std::map<Control, std::string> captions;
    std::map<Control, bool> enabled;
    std::map<Control, bool> visible;
    LinkState linkState = LinkState::Disconnected;
    std::string linkText;    ///< the link line (plain text)
    std::string note;        ///< the foot line's note (a missing language file); empty: none
    std::string zeroOffset;  ///< Line mode's zero offset beside the chart; empty hides it
    bool xAutoScale = true;  ///< check mark of "X Automatic Scaling"
    bool yAutoScale = true;  ///< check mark of "Y Automatic Scaling "
    /// The language files the operator can choose from (file, the name it is offered under)
    /// and the one in use.
    std::vector<std::pair<std::string, std::string>> languages;
    std::string language;
    bool expanded = false;  ///< the window shows the parameter panel (grown) or the top row
    /// Counts the logic's resize requests; the window reports the end of each it sees (a
    /// request to the size it has ends at once).
    uint32_t sizeRequest = 0;
    /// The bench form is shown (true) or hidden (false) each time benchFormRequest changes;
    /// between requests the operator opens and closes it as he likes.
    bool benchFormShown = false;
    uint32_t benchFormRequest = 0;
    StationModel station;
};

}  // namespace veska::main
