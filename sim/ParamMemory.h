#pragma once
#include <array>
#include <cstdint>

namespace veska::sim {

/// Identity and physics of one simulated sensor.
struct SensorIdentity {
    uint8_t deviceType = 20;
    uint16_t serialNumber = 1234;
    int16_t baseDistance = 80;    ///< [mm]
    int16_t measuringRange = 50;  ///< [mm]
};

/// Addresses of the sensor's parameter memory that the simulated firmware itself uses.
namespace addr {
inline constexpr uint8_t kSensorOn = 0x00;
inline constexpr uint8_t kAnalogOn = 0x01;
inline constexpr uint8_t kControl = 0x02;
inline constexpr uint8_t kNetAddress = 0x03;
inline constexpr uint8_t kBaudCode = 0x04;
inline constexpr uint8_t kAveraging = 0x06;
inline constexpr uint8_t kModeOfRun = 0x07;
inline constexpr uint8_t kSamplingPeriod = 0x08;
inline constexpr uint8_t kWindowBegin = 0x0C;
inline constexpr uint8_t kWindowEnd = 0x0E;
inline constexpr uint8_t kDeviceType = 0x90;
inline constexpr uint8_t kRelease = 0x91;
inline constexpr uint8_t kSerialNumber = 0x92;
inline constexpr uint8_t kBaseDistance = 0x94;
inline constexpr uint8_t kMeasuringRange = 0x96;
inline constexpr uint8_t kLengthCcd = 0x9C;
inline constexpr uint8_t kDivisor = 0xA0;
inline constexpr uint8_t kDarkLevel = 0xA2;
}  // namespace addr

/// Line defaults that a restore of the defaults always brings back.
inline constexpr uint8_t kDefaultBaudCode = 48;  ///< x 2400 = 115200 [bit/s]
inline constexpr uint8_t kDefaultNetAddress = 1;
/// The release number the simulated firmware reports.
inline constexpr uint8_t kFirmwareRelease = 23;

/// The sensor's 256-byte parameter memory in its three sets: the working set (what the
/// firmware runs with and what ReadParam/WriteParam reach), the flash set (loaded at power
/// up) and the factory set (the defaults). Multi-byte values are little-endian. Not
/// thread-safe; the owning device locks.
class ParamMemory {
  public:
    using Bytes = std::array<uint8_t, 256>;

    explicit ParamMemory(const SensorIdentity& identity = {});

    /// The memory a new sensor leaves the factory with.
    static Bytes Defaults(const SensorIdentity& identity);

    uint8_t Get(uint8_t address) const { return working_[address]; }
    void Set(uint8_t address, uint8_t value) { working_[address] = value; }
    uint16_t Get16(uint8_t address) const;
    void Set16(uint8_t address, uint16_t value);

    /// StoreParams 0xAA: working set to flash.
    void StoreToFlash() { flash_ = working_; }
    /// StoreParams 0x96: working set becomes the factory set.
    void StoreAsFactory() { factory_ = working_; }
    /// StoreParams 0x69: the factory set into the working set, with the line back at its
    /// defaults (115200 baud, address 1) whatever the factory set holds.
    void RestoreDefaults();
    /// Power up: the flash set into the working set.
    void LoadFlash() { working_ = flash_; }

    const Bytes& Working() const { return working_; }
    const Bytes& Flash() const { return flash_; }
    const Bytes& Factory() const { return factory_; }

    /// Line rate of the working set [bit/s]: code x 2400, code 128 meaning 921600;
    /// code 0 (no rate) gives the default 115200.
    uint32_t LineBaud() const;
    static uint32_t BaudFromCode(uint8_t code);

  private:
    Bytes working_{};
    Bytes flash_{};
    Bytes factory_{};
};

}  // namespace veska::sim
