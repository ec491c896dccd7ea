#pragma once
#include <cstdint>

#include "analog/VoktDriver.h"
#include "driver/BoardDriver.h"
#include "driver/Images.h"
#include "platform/Clock.h"
#include "sim/SimUsbBackend.h"
#include "sim/VirtualBench.h"

namespace veska::simhost {

/// The board client's exports on a driver in this process (the driver library's logic
/// without the shared library around it).
class BoardDriverExports : public analog::VoktDriver {
  public:
    /// driver outlives these exports.
    explicit BoardDriverExports(driver::BoardDriver& driver) : driver_(driver) {}

    int32_t GetDevicesCnt(uint32_t* count) override { return driver_.GetDevicesCnt(count); }
    int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number) override {
        return driver_.GetDeviceSerialNumber(index, number);
    }
    int32_t LockDevice(uint32_t index) override { return driver_.LockDevice(index); }
    int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset) override {
        return driver_.GetCoefs(index, gain, offset);
    }
    int32_t ConfigDevice(uint32_t index, const DeviceConfig* config) override {
        return driver_.ConfigDevice(index, config);
    }
    int32_t StartDevice(uint32_t index) override { return driver_.StartDevice(index); }
    int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                          uint8_t* overflow) override {
        return driver_.GetDeviceData(index, buffer, length, overflow);
    }
    int32_t StopDevice(uint32_t index) override { return driver_.StopDevice(index); }
    int32_t ClearBuffer(uint32_t index) override { return driver_.ClearBuffer(index); }
    int32_t UnlockDevice(uint32_t index) override { return driver_.UnlockDevice(index); }

  private:
    driver::BoardDriver& driver_;
};

/// What the virtual bench's board driver owns: a USB bus of its own with the board on it,
/// the board images and the driver's logic. A base of SimulatedBoardDriver, so that it is
/// built before the exports that refer to it.
struct SimulatedBoardParts {
    explicit SimulatedBoardParts(platform::Clock& clock) : driver(&bus, clock, images) {}
    sim::SimUsbBackend bus;  ///< holds the board
    driver::EmbeddedImages images;
    driver::BoardDriver driver;
};

/// The analog board of the in-process virtual bench, as the board client's exports: a
/// simulated board on a USB bus of its own that samples the bench's sensor output and takes
/// the stage's trigger pulses, driven by the driver's logic in this process. (The driver
/// library's own simulated board samples a world of its own, apart from the bench.)
class SimulatedBoardDriver final : private SimulatedBoardParts, public BoardDriverExports {
  public:
    /// bench outlives this driver.
    SimulatedBoardDriver(sim::VirtualBench& bench, platform::Clock& clock);
    SimulatedBoardDriver(const SimulatedBoardDriver&) = delete;
    SimulatedBoardDriver& operator=(const SimulatedBoardDriver&) = delete;
    bool Simulated() const override { return true; }
};

}  // namespace veska::simhost
