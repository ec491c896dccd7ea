#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/MorlaInterface.h"
#include "platform/Clock.h"

namespace veska::params {

/// A sensor that answered Identify during a scan.
struct ScanHit {
    std::string portName;  ///< as tried: "\\.\COM4", "\\.\USB" or a device path
    uint32_t baud = 0;     ///< [bit/s]
    uint8_t address = 0;   ///< net address 1..127
    link::DeviceInfo info;
};

/// Where a scan stands: tries done of the total, and the try in progress.
struct ScanProgress {
    size_t done = 0;
    size_t total = 0;
    std::string portName;
    uint32_t baud = 0;  ///< [bit/s]
    uint8_t address = 0;
};

/// What a scan tries.
struct ScanPlan {
    /// Port names as the connection state holds them ("\\.\COM4", "\\.\USB", a path).
    std::vector<std::string> portNames;
    uint32_t firstBaud = 115200;  ///< tried first on every port [bit/s]
    uint8_t firstAddress = 1;     ///< tried first at every rate
    /// The rates to try in this order [bit/s]; empty: ScanRateOrder(firstBaud).
    std::vector<uint32_t> rates;
};

/// The rates of the sensor, in the order a scan tries them: current first, then the
/// common ones (115200, 9600, 921600, 460800, 230400, 57600, 38400, 19200, 4800, 2400,
/// 14400). A current rate outside the list is tried first all the same.
std::vector<uint32_t> ScanRateOrder(uint32_t current);
/// Addresses 1..127 with current first, then 1 upwards. current outside 1..127: 1 first.
std::vector<uint8_t> ScanAddressOrder(uint8_t current);

/// Read time-outs of one try at a rate [ms]: per byte (2 byte times, at least 1) and a
/// constant (10 ms for the sensor's turn-around plus the request's own line time).
struct ScanTimeouts {
    uint32_t perByte = 1;
    uint32_t constant = 8;
};
ScanTimeouts ScanTimeoutsFor(uint32_t baud);

/// Looks for sensors: Identify over each port, rate and address of a plan. A line runs at
/// one rate, so once a rate answers on a port the other rates of that port are skipped
/// (the other addresses at that rate are still tried: several sensors may share a line).
/// Every port is closed again before Run returns, on cancel and on failure too.
class SensorScan {
  public:
    using FoundFunction = std::function<void(const ScanHit&)>;
    using ProgressFunction = std::function<void(const ScanProgress&)>;

    explicit SensorScan(platform::Clock& clock = platform::SystemClock()) : sensor_(clock) {}

    /// Runs the plan on the calling thread; found and progress are called on it (either may
    /// be empty). Progress comes before each try. Returns the number of sensors found.
    size_t Run(const ScanPlan& plan, const FoundFunction& found, const ProgressFunction& progress);
    /// Ends a running scan after the try in progress (at most one try's time-out). Safe
    /// from any thread; the next Run starts afresh.
    void Cancel() { cancel_.store(true); }
    bool Cancelled() const { return cancel_.load(); }
    /// The sensor link used for the tries (tests look at its port).
    link::TMORLAInterface& Sensor() { return sensor_; }

  private:
    link::TMORLAInterface sensor_;
    std::atomic<bool> cancel_{false};  ///< set by Cancel from any thread, read between tries
};

}  // namespace veska::params
