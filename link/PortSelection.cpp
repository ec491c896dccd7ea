#include "link/PortSelection.h"

namespace veska::link {

namespace {

constexpr uint8_t kCbus3High = 0x88;  // high nibble: CBUS 3 is an output; low nibble: level
constexpr uint8_t kCbus3Low = 0x80;
constexpr uint32_t kAdapterSettleWait = 1000;  // [ms] the sensor powers up or down

}  // namespace

PortChoice MapSensorPort(const std::string& portName) {
    const std::string prefix = kPortPrefix;
    if (portName == prefix + "USB") return {1, kUsbConverterDescription};
    if (portName == prefix + "USB_PELRIN") return {1, kAdapterDescription};
    return {0, portName};
}

PortChoice MapBenchPort(const std::string& comboText) {
    if (comboText == "USB") return {1, kUsbConverterDescription};
    return {0, std::string(kPortPrefix) + comboText};
}

void SwitchAdapterLine(platform::D2xx* usb, platform::Clock& clock, int level) {
    if (usb == nullptr) return;
    platform::FT_HANDLE handle = nullptr;
    if (usb->OpenEx(kAdapterDescription, platform::FT_OPEN_BY_DESCRIPTION, &handle) !=
        platform::FT_OK) {
        return;
    }
    usb->SetBitMode(handle, level != 0 ? kCbus3High : kCbus3Low, platform::FT_BITMODE_CBUS_BITBANG);
    usb->Close(handle);
    clock.Sleep(kAdapterSettleWait);
}

}  // namespace veska::link
