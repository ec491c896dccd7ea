#pragma once
#include <cstdint>
#include <string>

#include "platform/Clock.h"
#include "platform/D2xx.h"

namespace veska::link {

inline constexpr const char* kUsbConverterDescription = "D2XX Recovery PID for XP";
inline constexpr const char* kAdapterDescription = "PELRIN Adapter";
inline constexpr const char* kPortPrefix =
    "\\\\.\\";  ///< the device-namespace prefix \\.\ of Windows port names

struct PortChoice {
    uint8_t portMode = 0;
    std::string deviceName;
};

/// Sensor port: portName carries the "\\.\" prefix. "\\.\USB" is the USB converter,
/// "\\.\USB_PELRIN" the adapter (both mode 1), anything else a serial device (mode 0).
PortChoice MapSensorPort(const std::string& portName);

/// Motor and encoder ports: the combo text without prefix. "USB" is the converter; anything
/// else becomes mode 0 with "\\.\" followed by the text.
PortChoice MapBenchPort(const std::string& comboText);

/// The adapter's CBUS 3 line: FT_OpenEx by description, CBUS bit-bang with mask 0x88
/// (level 1) or 0x80 (level 0), FT_Close, then 1000 ms for the sensor to power up or down.
/// Returns at once, silently, when the adapter cannot be opened or usb is null.
void SwitchAdapterLine(platform::D2xx* usb, platform::Clock& clock, int level);

}  // namespace veska::link
