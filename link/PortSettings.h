#pragma once
#include <cstdint>
#include <string>

#include "platform/Win32Comm.h"

namespace veska::link {

/// The record an owner fills and passes to TInterface::Open (copied whole).
struct PortSettings {
    uint8_t portMode = 0;         ///< 0 serial device, 1 USB converter through D2XX, other: none
    std::string deviceName;       ///< mode 0: device path or port name; mode 1: description
    uint8_t stopBits = 0;         ///< 0 one, 1 one and a half, 2 two; other: keep
    uint8_t parity = 0;           ///< 0 none, 1 odd, 2 even; other: keep
    uint32_t baudRate = 115200;   ///< [bit/s]
    uint32_t usbOpenFlags = 128;  ///< mode 1: create attributes; FT_OPEN_BY_DESCRIPTION is added
    uint32_t rxQueue = 0;         ///< [bytes], kept as a setting
    uint32_t txQueue = 0;         ///< [bytes], kept as a setting
    uint32_t readInterval = 0;    ///< [ms] ReadIntervalTimeout and ReadTotalTimeoutMultiplier
    uint32_t readConstant = 0;    ///< [ms] ReadTotalTimeoutConstant
};

/// What a device link fixes of its port, whatever port it opens.
struct LinkLineProfile {
    uint8_t parity;         ///< 0 none, 1 odd, 2 even
    uint32_t queueBytes;    ///< receive and transmit queue [bytes], kept as settings
    uint32_t readInterval;  ///< [ms] ReadIntervalTimeout and ReadTotalTimeoutMultiplier
    uint32_t readConstant;  ///< [ms] ReadTotalTimeoutConstant
};

/// The settings a link opens its port with: its profile, one stop bit, normal create
/// attributes, and the port and rate of this open.
inline PortSettings LinkPortSettings(const LinkLineProfile& profile, uint8_t portMode,
                                     const std::string& deviceName, uint32_t baudRate) {
    PortSettings s;
    s.portMode = portMode;
    s.deviceName = deviceName;
    s.baudRate = baudRate;
    s.stopBits = 0;
    s.parity = profile.parity;
    s.usbOpenFlags = platform::kFileAttributeNormal;
    s.rxQueue = profile.queueBytes;
    s.txQueue = profile.queueBytes;
    s.readInterval = profile.readInterval;
    s.readConstant = profile.readConstant;
    return s;
}

/// Transfer descriptor of Read and Write. overlapped is always null here.
struct PortTransfer {
    void* buffer = nullptr;
    uint32_t count = 0;
    void* overlapped = nullptr;
};

}  // namespace veska::link
