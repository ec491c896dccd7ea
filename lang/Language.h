#pragma once
#include <array>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veska::lang {

/// Sections of the language file whose "Item_<n>" keys fill the text table.
enum class Section {
    Label,       ///< caption array of 15 label texts
    Button,      ///< caption array of 13 button texts
    Parameter,   ///< table 0..53
    PopupParam,  ///< table 54..61
    PopupChart,  ///< table 62..63
    ParamTable,  ///< table 64..65
    Graph,       ///< table 66
    ParamValue,  ///< table 67..100
    FormsNames,  ///< table 101..106
    Message,     ///< table 107..137
    About,       ///< table 138..142
    Program,     ///< the texts of this program beyond the classic sections (ProgramText)
};

/// Every section in the order the language file is read.
inline constexpr std::array<Section, 12> kAllSections = {
    Section::Label,      Section::Button,     Section::Parameter, Section::PopupParam,
    Section::PopupChart, Section::ParamTable, Section::Graph,     Section::ParamValue,
    Section::FormsNames, Section::Message,    Section::About,     Section::Program,
};

/// Keys of the PROGRAM section: status bar, menus, chart, questions and notes of this
/// program. "%1", "%2", ... in a text stand for the values FillText puts in.
enum class ProgramText : int {
    NotConnected,       ///< status bar
    OpenFailed,         ///< %1 port
    NoAnswer,           ///< %1 port, rate and address (LinkChoice)
    Connected,          ///< %1 LinkChoice
    ParametersNotRead,  ///< appended to Connected
    Lost,               ///< %1 LinkChoice, %2 time of day
    LinkChoice,         ///< %1 port, %2 rate [bit/s], %3 address
    UsbConverter,
    UsbAdapter,
    Streaming,     ///< %1 rate or Starting, %2 lost samples
    Measuring,     ///< %1 rate or Starting, %2 failed requests
    LastStream,    ///< %1 samples, %2 lost samples
    LastRun,       ///< %1 results, %2 failed requests
    Starting,      ///< rate not yet known
    SampleRate,    ///< %1 samples per second
    ResultRate,    ///< %1 results per second
    LinkMenu,      ///< the link menu's button
    Reconnect,     ///< menu item and status bar button
    ReconnectTip,  ///< its tooltip
    FindSensor,
    LineTrace,
    SaveCsv,  ///< chart menu
    SaveImage,
    ClearZero,
    ZeroOffset,  ///< %1 the offset [mm]
    XAutomaticScaling,
    YAutomaticScaling,
    WriteToFactory,  ///< parameter menu
    WriteParamFile,
    ReadParamFile,
    OptionsMenu,  ///< the options menu's button
    LanguageMenu,
    BenchForm,
    StatisticsCount,  ///< chart statistics line: count, minimum, maximum, mean, deviation
    StatisticsMinimum,
    StatisticsMaximum,
    StatisticsMean,
    StatisticsDeviation,
    AxisSample,  ///< bottom axis
    AxisDistance,
    AxisPosition,
    AxisLevel,
    UnsentHeading,   ///< the question before unsent values are replaced
    UnsentNote,      ///< a marked row's tooltip; %1 the sensor's value
    UnsentUnknown,   ///< the sensor's value is not known
    DiscardReadAll,  ///< what Read All, Write to FLASH, Default, a file read do to them
    DiscardFlash,
    DiscardDefault,
    DiscardFile,
    DiscardQuestion,    ///< the question's last line
    OutOfRange,         ///< %1 row, %2 text typed, %3 the allowed range
    NotInList,          ///< %1 row, %2 text typed, %3 the allowed values
    AllowedRange,       ///< a row's tooltip: %1 the allowed range
    AllowedValues,      ///< a row's tooltip: %1 the allowed values
    RefusedWrite,       ///< %1 row, %2 value, %3 the allowed values: nothing was sent
    RequestFailed,      ///< the large read-out after a failed request
    PortSimulated,      ///< port list: the simulated sensor
    PortAbsent,         ///< port list: no such device on this machine
    ChartImageFailed,   ///< %1 path
    DifferAll,          ///< first line of Compare All when rows differ
    UnsentSensorValue,  ///< the question's value on the sensor: %1
    ReleaseCaption,     ///< after the caption in the window title: the delivered build
    FactoryCaption,     ///< the same for the factory build
    Busy,               ///< what the logic does while the window waits; one key per task below
    BusyConnecting,
    BusyDisconnecting,
    BusyMeasuring,
    BusyStream,
    BusyStreaming,
    BusyZero,
    BusyPort,
    BusyBaud,
    BusyAddress,
    BusyLoad,
    BusyRead,
    BusyCompare,
    BusyLoadAll,
    BusyReadAll,
    BusyCompareAll,
    BusyFlash,
    BusyDefault,
    BusyFactory,
    BusyWriteFile,
    BusyReadFile,
    BusySaveData,
    BusySaveCsv,
    BusyClearChart,
    BusySaveImage,
    BusyClearZero,
    BusyScaling,
    BusyCell,
    BusyRangeDialog,
    BusyMotorPort,
    BusyEncoderPort,
    BusyBenchMode,
    BusyStarting,
    BusyResizing,
    BusyLanguage,
    BusySearch,
    BusyRestoring,
    BusyClosing,
    BusyWatchdog,
    BusyStatus,
    RangeDialogLabel,  ///< the output range dialog's heading
    SearchTitle,       ///< the sensor search dialog; SearchColumns: the headings, split at '|'
    SearchPorts,
    SearchColumns,
    SearchHint,
    SearchStart,
    SearchStop,
    SearchConnect,
    SearchClose,
    SearchOrder,
    SearchNoPort,
    SearchRunning,
    SearchStopping,
    SearchOneFound,
    SearchManyFound,
    SearchStopped,
    SearchDone,
    SearchTrying,
    TracePause,  ///< the line trace window
    TraceResume,
    TraceClear,
    TraceSave,
    TraceSaveTitle,
    TraceFileTypes,
    TracePausedSkipped,
    TracePaused,
    TraceSaved,
    TraceNotSaved,
    BusyStopping,       ///< a stop asked while a run goes on
    BusySequenceStart,  ///< the station panel's Start
    BusySequenceStop,
    BusyCertificate,
    BusyResultsStore,
    BusyDelivering,
    Count,
};

/// Puts values into a text: "%1" becomes values[0], "%2" values[1], ... up to "%9".
std::string FillText(std::string_view text, const std::vector<std::string>& values);

/// The text table and the two caption arrays of the program. A key missing from the
/// language file holds its own number ("0", "1", ...), a key with an empty value the empty text.
/// Every text is UTF-8 (language files written in Windows-1252 are converted on load).
class TextTable {
  public:
    TextTable();  ///< every entry its own number, as with no language file at all

    /// The entry of a section's key; an out-of-range key gives its own number.
    std::string Get(Section section, int key) const;
    std::string Label(int key) const { return Get(Section::Label, key); }
    std::string Button(int key) const { return Get(Section::Button, key); }
    std::string Message(int key) const { return Get(Section::Message, key); }
    std::string ParamValue(int key) const { return Get(Section::ParamValue, key); }
    std::string Parameter(int key) const { return Get(Section::Parameter, key); }
    std::string Text(ProgramText key) const { return Get(Section::Program, static_cast<int>(key)); }
    /// A PROGRAM text with its values put in.
    std::string Text(ProgramText key, const std::vector<std::string>& values) const {
        return FillText(Text(key), values);
    }

    /// Sets an entry; an out-of-range key is ignored.
    void Set(Section section, int key, std::string text);
    /// Number of keys of a section (Item_0 .. Item_<count-1>).
    static int Count(Section section);
    /// Table position of a section's Item_0; -1 for the two caption arrays.
    static int First(Section section);
    /// The section's name in the language file, e.g. "POPUP PARAM".
    static const char* SectionName(Section section);
    /// Back to the state of the constructor (numbers, default Char and Font).
    void Reset();

    int charSet = 1;                         ///< LANGUAGE Char, kept, not applied
    std::string fontName = "MS Sans Serif";  ///< LANGUAGE Font, kept, not applied

    std::array<std::string, 15> labels;
    std::array<std::string, 13> buttons;
    std::array<std::string, 143> table;
    std::array<std::string, static_cast<size_t>(ProgramText::Count)> program;
};

/// Reads "Language.ini" (LANGUAGE File_Language, default "EN.INI") and that language file
/// from the directory. Missing files or keys are no error: their defaults apply. File names
/// are matched without regard to case when the exact name is not there. Returns false when
/// the language file itself was not found (every text then shows its number).
/// With a file name given, that language file is read instead of the one Language.ini names.
bool LoadLanguage(const std::string& directory, TextTable& texts,
                  const std::string& languageFile = {});

/// The language files of a directory ("*.INI" but the selector Language.ini), sorted, each
/// with the name it is offered under: its LANGUAGE Name, else the file name without ".INI".
std::vector<std::pair<std::string, std::string>> ListLanguageFiles(const std::string& directory);

/// The file name Language.ini of a directory names (default "EN.INI").
std::string SelectedLanguageFile(const std::string& directory);

/// The one-line note for a language file that was not found: which folder was looked in and
/// that the texts fall back to their numbers.
std::string MissingLanguageNote(const std::string& directory);

/// The language directory: "Language/" under the current directory when it exists, else
/// the installed data folder (VESKA_DATA_DIR/Language), else <program dir>/../share/veskacfg/
/// Language, else <program dir>/Language. When none exists: "Language/" under the current
/// directory (every text then shows its number).
std::string FindLanguageDirectory();

/// The same search with the three starting points given (for tests and tools). An empty
/// dataDir or programPath skips the candidates built from it.
std::string FindLanguageDirectory(const std::string& currentDir, const std::string& dataDir,
                                  const std::string& programPath);

/// The text itself when it is valid UTF-8, else the text read as Windows-1252 and
/// re-encoded as UTF-8.
std::string ToUtf8(std::string_view text);

}  // namespace veska::lang
