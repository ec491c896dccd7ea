#include "analog/VoktInterface.h"

#include "lang/NumberFormat.h"

#include <charconv>
#include <cmath>
#include <memory>

namespace veska::analog {

namespace {

constexpr uint32_t kSlot = 0;
constexpr double kVoltageScale = 500.0;
constexpr double kVoltageDivider = 0.0022002200220022;  ///< 1 / 454.5
constexpr double kCurrentScale = 1000.0 * 0.002;        ///< mA per V across the shunt

DeviceConfig BaseConfig() {
    DeviceConfig c{};
    c.reg0Value = 500;
    c.channelOn[0] = 1;
    return c;
}

}  // namespace

DeviceConfig SweepConfig() {
    DeviceConfig c = BaseConfig();
    c.reg8Value = 1;
    return c;
}

DeviceConfig LiveConfig() {
    DeviceConfig c = BaseConfig();
    c.reg8Value = 0xFFFF;
    c.regFBit2 = 1;
    c.regFBit3 = 1;
    return c;
}

BoardReading ConvertSample(uint16_t word, float gain, uint16_t offset) {
    const auto shifted = static_cast<uint16_t>(word + 0x8000);
    const int32_t raw = int32_t{shifted} - int32_t{offset};
    float u = gain * static_cast<float>(raw);
    u = static_cast<float>(double{u} * kVoltageScale * kVoltageDivider);
    const auto i = static_cast<float>(double{u} * kCurrentScale);
    return {u, i};
}

std::string VoltageCaption(float volts) { return lang::FormatFixed(volts, 4) + " V"; }
std::string CurrentCaption(float milliamperes) {
    return lang::FormatFixed(milliamperes, 3) + "  mA";
}

TVOKT_Interface::TVOKT_Interface(VoktDriver& driver, platform::Clock& clock)
    : driver_(driver), clock_(clock) {}

TVOKT_Interface::~TVOKT_Interface() { (void)CloseBoard(); }

bool TVOKT_Interface::OpenBoard() {
    uint32_t count = 0;
    if (driver_.GetDevicesCnt(&count) != VOKTDRV_OK || count == 0) return false;
    if (driver_.LockDevice(kSlot) != VOKTDRV_OK) return false;
    int16_t offset = 0;
    if (driver_.GetCoefs(kSlot, &gain_, &offset) != VOKTDRV_OK) {
        (void)driver_.UnlockDevice(kSlot);
        return false;
    }
    offset_ = static_cast<uint16_t>(offset);
    present_ = true;
    return true;
}

bool TVOKT_Interface::StartSweep() {
    if (!present_) return false;
    const DeviceConfig config = SweepConfig();
    return driver_.ConfigDevice(kSlot, &config) == VOKTDRV_OK &&
           driver_.StartDevice(kSlot) == VOKTDRV_OK;
}

bool TVOKT_Interface::StartLive() {
    if (!present_) return false;
    const DeviceConfig config = LiveConfig();
    if (driver_.ConfigDevice(kSlot, &config) != VOKTDRV_OK) return false;
    clock_.Sleep(100);
    if (driver_.StartDevice(kSlot) != VOKTDRV_OK) return false;
    clock_.Sleep(100);
    started_ = true;
    return true;
}

int32_t TVOKT_Interface::ReadQueued(std::span<uint8_t> buffer, uint32_t& length,
                                    uint8_t& overflow) {
    const auto capacity =
        static_cast<uint32_t>(std::min<size_t>(buffer.size(), ~VOKTDRV_IMMEDIATE));
    length = capacity | VOKTDRV_IMMEDIATE;
    overflow = 0;
    const int32_t r = driver_.GetDeviceData(kSlot, buffer.data(), &length, &overflow);
    if (r != VOKTDRV_OK) length = 0;
    return r;
}

uint32_t TVOKT_Interface::ReadLive(std::span<uint8_t> buffer) {
    if (!present_) return 0;
    uint32_t length = 0;
    uint8_t overflow = 0;
    int32_t r = ReadQueued(buffer, length, overflow);
    if (r == VOKTDRV_OK && overflow != 0) {
        // Samples were lost: start over and take what comes after the restart. When nothing
        // came (or the words themselves look like a marker run), the words read before the
        // restart stay: a reading is never lost for want of a later one.
        const uint32_t before = length;
        (void)driver_.StopDevice(kSlot);
        (void)driver_.ClearBuffer(kSlot);
        clock_.Sleep(1);
        (void)driver_.StartDevice(kSlot);
        clock_.Sleep(50);
        r = ReadQueued(buffer, length, overflow);
        if (r == VOKTDRV_OK && length < 2) length = before;
    }
    if (r != VOKTDRV_OK) return 0;
    if (driver_.StartDevice(kSlot) != VOKTDRV_OK) return 0;
    return length;
}

uint32_t TVOKT_Interface::ReadAll(std::span<uint8_t> buffer) {
    if (!present_ || !started_) return 0;
    uint32_t length = 0;
    uint8_t overflow = 0;
    return ReadQueued(buffer, length, overflow) == VOKTDRV_OK ? length : 0;
}

bool TVOKT_Interface::StopBoard() {
    if (!present_) return false;
    if (driver_.StopDevice(kSlot) != VOKTDRV_OK) return false;
    started_ = false;
    return driver_.ClearBuffer(kSlot) == VOKTDRV_OK;
}

bool TVOKT_Interface::CloseBoard() {
    if (!present_) return false;
    if (driver_.StopDevice(kSlot) == VOKTDRV_OK) started_ = false;
    (void)driver_.ClearBuffer(kSlot);
    return driver_.UnlockDevice(kSlot) == VOKTDRV_OK;
}

bool TVOKT_Interface::UpdateBoardReading(bool show, BoardLabels* labels) {
    // A fresh buffer per reading, released on return; not zero-filled (only read bytes count).
    const auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kReadBufferBytes);
    const uint32_t n = ReadLive({buffer.get(), kReadBufferBytes});
    if (n < 2) return false;
    const auto word = static_cast<uint16_t>(buffer[0] | buffer[1] << 8);
    const BoardReading reading = ConvertSample(word, gain_, offset_);
    boardVoltage_ = reading.voltage;
    boardCurrent_ = reading.current;
    if (show && labels != nullptr) {
        labels->SetVoltageCaption(VoltageCaption(reading.voltage));
        labels->SetCurrentCaption(CurrentCaption(reading.current));
    }
    return true;
}

}  // namespace veska::analog
