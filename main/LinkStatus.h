#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "lang/Language.h"
#include "main/WindowModel.h"
#include "platform/Clock.h"

namespace veska::main {

class WindowState;

/// The port selector's text of a port name ("\\.\COM4" -> "COM4"; a name without the
/// prefix stays as it is).
std::string PortChoiceOf(const std::string& portName);
/// The port name of a selector's text, as the connection state holds it ("COM4" ->
/// "\\.\COM4").
std::string PortNameOf(const std::string& choice);

/// The choice of a connect: port (as the connection state holds it, "\\.\COM4"), rate and
/// address.
struct ConnectChoice {
    std::string portName;
    uint32_t baud = 0;  ///< [bit/s]
    uint8_t address = 0;
};

/// What a run or stream has done since it started: requests or samples that arrived, and
/// those that failed (failed result requests of a run, lost samples of a stream).
struct TrafficCount {
    uint64_t good = 0;
    uint64_t failed = 0;
};

/// The link line of the status bar: says which port the program talks to (and the device it
/// resolved to), at which rate and address, the sample rate and the failures of a run or a
/// stream, and when and why the connection ended. It keeps what traffic is counted; the line
/// goes to the window state. Time comes from the clock (rates) and from timeOfDay (the moment a
/// sensor was lost).
class LinkStatus {
  public:
    /// texts (the PROGRAM section) outlive the status.
    LinkStatus(WindowState& window, platform::Clock& clock, const lang::TextTable& texts);

    /// What traffic the line counts: none, a run or a stream.
    enum class Traffic { None, Run, Stream };

    /// "COM4 (/dev/pts/3)": the port's choice and, when it differs, the device it resolves
    /// to (the final target of a port-directory or by-id link). USB ports name the converter.
    static std::string DescribePort(const std::string& portName, const lang::TextTable& texts);

    void ShowDisconnected();
    void ShowOpenFailed(const ConnectChoice& choice);
    void ShowNoAnswer(const ConnectChoice& choice);
    /// parametersRead: false for a sensor that answered Identify but not the parameter read.
    void ShowConnected(const ConnectChoice& choice, bool parametersRead);
    /// The answer watchdog closed the connection: the sensor stopped answering.
    void ShowLost(const ConnectChoice& choice);
    /// The net address in use changed (the selector, a sent address, the defaults): the
    /// connected line names the new one.
    void FollowAddress(uint8_t address);
    /// The address the connected line names; none while not connected.
    std::optional<uint8_t> ShownAddress() const;
    /// Shows the line again in the current language.
    void Refresh();

    /// A run (stream false) or a stream started: the rate is counted from here.
    void StartTraffic(bool stream, TrafficCount count);
    /// Periodic while a run or stream goes on: the sample rate over the last period and the
    /// failures since the start.
    void TrafficTick(TrafficCount count);
    /// The run or stream ended: back to the connected line, with the totals.
    void StopTraffic(TrafficCount count);
    bool TrafficRunning() const { return traffic_.has_value(); }
    Traffic Counting() const;

    /// Local time of day "HH:MM:SS" of the lost line; replaceable for tests.
    std::function<std::string()> timeOfDay;

  private:
    struct Counted {
        bool stream = false;
        TrafficCount start;
        TrafficCount last;
        uint32_t lastTick = 0;  ///< [ms]
        double rate = -1.0;     ///< [1/s]; negative until the first period
    };
    std::string TrafficText(const Counted& traffic, TrafficCount count) const;
    std::string ChoiceText(const ConnectChoice& choice) const;
    /// The line of the current connection; "not connected" without one.
    std::string ConnectedText() const;
    void Show(LinkState state, std::string text);

    WindowState& window_;
    platform::Clock& clock_;
    const lang::TextTable& texts_;
    std::optional<ConnectChoice> connected_;  ///< the connection the line names
    bool parametersRead_ = true;
    LinkState shownState_ = LinkState::Disconnected;
    std::string shownText_;  ///< the line as last shown, for Refresh of a fixed line
    std::function<std::string()> shownMaker_;  ///< makes the shown line again (language)
    std::optional<Counted> traffic_;
};

}  // namespace veska::main
