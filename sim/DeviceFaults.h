#pragma once
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace veska::sim {

/// The devices of the virtual bench that take faults.
enum class FaultDevice : uint8_t { kSensor, kStage, kEncoder, kBoard };
inline constexpr FaultDevice kFaultDevices[] = {FaultDevice::kSensor, FaultDevice::kStage,
                                                FaultDevice::kEncoder, FaultDevice::kBoard};

/// What goes wrong.
enum class FaultKind : uint8_t {
    kSilent,       ///< hears nothing, answers nothing
    kGarbage,      ///< every byte it sends is noise
    kVanish,       ///< the port hangs up / the board is unplugged
    kStall,        ///< stops in the middle of a reply, then sends nothing more
    kNeverAtRest,  ///< the stage's status reports a move for ever
    kFrozen,       ///< the controller answers, the stage does not move
    kSlow,         ///< every answer leaves late
    kWrongRate,    ///< hears the host only at another line rate
};

/// The argument a fault takes after '='.
enum class FaultValue : uint8_t { kNone, kMilliseconds, kBaud };

/// One row of the fault table: a fault a device knows, by the name the text form uses.
struct FaultRow {
    FaultDevice device;
    const char* name;
    FaultKind kind;
    FaultValue value;
    const char* description;
};

/// Every fault of every device.
std::span<const FaultRow> FaultTable();

/// One fault switched on: DEVICE:NAME[=VALUE][@N]. The fault holds from the request after
/// the Nth one the device hears once it is switched on (N = 0: at once).
struct FaultSetting {
    FaultDevice device = FaultDevice::kSensor;
    FaultKind kind = FaultKind::kSilent;
    uint32_t value = 0;          ///< milliseconds or bit/s, as the row says
    uint32_t afterRequests = 0;  ///< requests served first
    bool operator==(const FaultSetting&) const = default;
};

const char* FaultDeviceName(FaultDevice device);
std::optional<FaultDevice> ParseFaultDevice(std::string_view name);
/// The row of a device's fault; null when the device does not have it.
const FaultRow* FindFaultRow(FaultDevice device, FaultKind kind);
/// Parses "encoder:silent", "stage:vanish@200", "sensor:slow=40", "board:vanish",
/// "encoder:rate=9600@10". Null with a message in error on anything else.
std::optional<FaultSetting> ParseFault(std::string_view text, std::string* error = nullptr);
/// The text form of a fault, as ParseFault reads it.
std::string FormatFault(const FaultSetting& setting);
/// The fault table as help text: one line per row.
std::string FaultHelp();

/// The faults switched on for one device, and what they make of its line. Devices and
/// line ends consult it on every request; tests, veska-sim's control and veskactl switch
/// it from any thread. Thread-safe.
class DeviceFaults {
  public:
    explicit DeviceFaults(FaultDevice device, uint32_t seed = 99);
    DeviceFaults(const DeviceFaults&) = delete;
    DeviceFaults& operator=(const DeviceFaults&) = delete;

    FaultDevice Device() const { return device_; }

    /// Switches a fault of this device on (a fault of the same kind is replaced). False
    /// when the setting is for another device or a fault it does not have.
    bool Switch(const FaultSetting& setting);
    /// Switches every fault off: the device is healthy (and plugged in) again.
    void Clear();
    std::vector<FaultSetting> Active() const;

    /// A request is coming: faults whose requests are served hold from now on. Call before
    /// the device takes the request's bytes.
    void RequestComing();
    /// The device heard n complete requests.
    void CountRequests(uint64_t n);

    /// The fault holds now.
    bool Holds(FaultKind kind) const;
    /// Its value when it holds, else 0.
    uint32_t ValueOf(FaultKind kind) const;
    /// The port hung up (vanish holds).
    bool Gone() const { return Holds(FaultKind::kVanish); }
    /// Applies silent, stall and garbage to bytes the device sends; returns how many of
    /// them go out (the first ones, garbled or not).
    size_t FilterOutput(uint8_t* bytes, size_t n);
    /// Bytes the host sent that the faults kept from the device.
    uint64_t IgnoredBytes() const;
    void CountIgnored(uint64_t n);

  private:
    struct Entry {
        FaultSetting setting;
        uint64_t armAt = 0;  ///< request count from which it holds
        bool holds = false;
    };
    const Entry* FindHolding(FaultKind kind) const;

    const FaultDevice device_;
    mutable std::mutex mutex_;  ///< guards every member below
    std::vector<Entry> entries_;
    uint64_t requests_ = 0;
    uint64_t ignored_ = 0;
    bool stallCut_ = false;  ///< the stall has cut its reply: nothing more goes out
    uint32_t noise_;
};

}  // namespace veska::sim
