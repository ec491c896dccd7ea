#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "lang/Language.h"
#include "link/MorlaInterface.h"
#include "params/ConnectionState.h"
#include "params/ParamFile.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"
#include "params/ParamTransfer.h"
#include "params/ParamView.h"
#include "params/SensorSession.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"
#include "sim/DeviceFaults.h"
#include "tools/veskactl/ConsoleAnswers.h"

namespace veska::sim {
class VirtualBench;
}

namespace veska::tools {

/// Global options of veskactl.
struct Options {
    std::string port = "COM4";                 ///< "COMn", "USB", "USB_PELRIN" or a device path
    uint32_t baud = 115200;                    ///< [bit/s]
    uint8_t address = 1;                       ///< net address 1..127
    std::string languageDir;                   ///< empty: lang::FindLanguageDirectory()
    bool yes = false;                          ///< answer confirmations with OK
    std::string motorPort = "COM2";            ///< the stage's motor controller, as the bench form
    std::string encoderPort = "COM7";          ///< the reference encoder
    bool simulate = false;                     ///< run on the in-process virtual bench
    double timeScale = 1.0;                    ///< the virtual bench's world time per real time
    bool portGiven = false;                    ///< --port was on the command line (scan)
    std::vector<sim::FaultSetting> simFaults;  ///< faults of the virtual bench (--sim-fault)
    /// The results store (--results): "" the default SQLite file, sqlite:PATH,
    /// postgresql://... (results::OpenStore)
    std::string resultsUrl;
};

/// The sensor's port name as the connection state holds it: "\\.\" followed by the choice,
/// or a device path as it stands.
std::string PortNameOfChoice(const std::string& choice);

/// Line rate [bit/s] of a baud code (parameter 2): code x 2400, where 128 stands for 921600.
uint32_t BaudOfCode(uint32_t code);

/// Parameter 2 must name one of the listed line rates, the same for the host (the whole
/// value) and the sensor (its low byte); parameter 3 a net address 1..127. Any other value
/// would cut the host off from the sensor. Other rows are always usable.
bool LineSettingUsable(int row, int32_t v);

/// ParamView of a console: message boxes and errors go to the error stream, one line per
/// text line; a confirmation is answered OK only with --yes and otherwise refused (noted in
/// Refused()). The file dialogs answer with the file the command names.
class ConsoleView final : public params::ParamView {
  public:
    ConsoleView(std::ostream& err, bool yes) : err_(err), answers_(yes) {}

    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowError(const std::string& text) override;
    void Beep() override {}
    void SetParamProgress(int, int) override {}
    void RefreshGrid() override {}
    void SelectBaudItem(int) override {}
    void SelectAddressItem(int) override {}
    void SetIdentityLabel(params::IdentityLabel label, const std::string& text) override;
    std::string IdentityLabelText(params::IdentityLabel label) const override;
    std::optional<std::string> AskSaveParamFile(const std::string& presetName) override;
    std::optional<std::string> AskOpenParamFile() override { return openAnswer; }

    /// The file the save and open dialogs answer with; nullopt: cancelled.
    std::optional<std::string> saveAnswer;
    std::optional<std::string> openAnswer;
    /// A confirmation was refused because --yes was not given.
    bool Refused() const { return refused_; }
    /// A note printed once, before the first message of the program (the language file
    /// that was not found, whose texts then show as numbers).
    void SetFirstNote(std::string note) { firstNote_ = std::move(note); }

  private:
    void PrintLines(const std::string& text);

    std::ostream& err_;
    ConsoleAnswers answers_;
    bool refused_ = false;
    std::string firstNote_;
    std::map<params::IdentityLabel, std::string> labels_;
};

/// One run of veskactl against one sensor: the program state the parameter logic works on,
/// the sensor link and the console view, wired in one place.
class Session {
  public:
    Session(const Options& options, std::ostream& out, std::ostream& err,
            platform::Clock& clock = platform::SystemClock());
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    /// The connect sequence: adapter line (USB_PELRIN), port open, Identify. Exit code.
    int Connect();
    /// Rows 0..36 from the sensor into both stores, grid rebuilt. Exit code.
    int ReadAll();
    /// Row i from the sensor into both stores (all five control-byte rows for one of them),
    /// grid rebuilt. Exit code.
    int ReadRow(int i);
    /// "index TAB name TAB stored value TAB shown text" of row i (the sensor's value).
    void PrintRow(int i);

    /// Prints "veskactl: text" and returns code.
    int Fail(int code, const std::string& text);
    /// A failed exchange: "veskactl: what: status N (meaning)"; returns kExitLink.
    int LinkFailure(const std::string& what, int32_t status);
    /// The trimmed name of row i.
    std::string RowName(int i) const;

    std::ostream& out;
    std::ostream& err;
    const Options options;
    /// The in-process virtual bench of --simulate (it outlives the session); null otherwise.
    sim::VirtualBench* bench = nullptr;
    /// The USB devices the program chose at start-up (VESKA_USB).
    platform::UsbChoice usb = platform::UsbChoice::Real;
    platform::Clock& clock;
    lang::TextTable texts;
    ConsoleView view;
    /// The sensor session: link, connection state, table, value stores, grid, transfers.
    params::SensorSession device;
    // The session's parts by their usual names.
    params::ConnectionState& conn = device.conn;
    params::ParamTable& table = device.table;
    params::ValueStores& values = device.values;
    params::ParamGrid& grid = device.grid;
    link::TMORLAInterface& sensor = device.sensor;
    params::ParamTransfer transfer;
    params::ParamFileCommands files;
    /// Status of the last port open (the re-open after a baud-rate send included).
    int32_t openStatus = 0;
};

}  // namespace veska::tools
