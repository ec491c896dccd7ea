#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "link/MorlaInterface.h"

namespace veska::params {

/// The connection state of the program: the one place that holds the sensor's port
/// choice, the status of the last exchange and the identity copies. Owned by the program
/// state (main/), read and written by the connection, parameter, measurement and stream code.
struct ConnectionState {
    std::string portName = "\\\\.\\COM4";  ///< "\\.\" followed by the port choice
    uint32_t baudRate = 115200;            ///< [bit/s]
    uint8_t netAddress = 1;
    /// Status of the last sensor-link operation; the stream thread writes it per sample.
    std::atomic<int32_t> linkStatus{0};
    /// Status the answer watchdog watches; the stream thread writes it per sample.
    std::atomic<int32_t> answerStatus{0};
    int32_t previousAnswerStatus = 0;  ///< the watchdog's copy from its last tick
    bool connected = false;            ///< a sensor link is open (Connect turned into Disconnect)
    link::DeviceInfo deviceInfo;       ///< last successful Identify
    uint16_t deviceType = 0;
    int16_t baseDistance = 0;    ///< [mm]
    int16_t measuringRange = 0;  ///< [mm]
    uint8_t motorRecord = 0;     ///< motor table row that fits the sensor
    /// Divisor of the result conversion: mm = raw x measuringRange / resultDivisor.
    /// Set whenever the parameter grid is built (row 36: 50000 or 37500, else 1).
    uint16_t resultDivisor = 1;

    /// Stores a sensor status as the result of an exchange made for the window.
    void Record(int32_t status) {
        linkStatus.store(status);
        answerStatus.store(status);
    }
};

}  // namespace veska::params
