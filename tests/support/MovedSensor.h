#pragma once
#include <cstdint>
#include <string>

#include "sim/ParamMemory.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"
#include "tests/support/RateGatedLine.h"

namespace veska::testing {

/// A simulated sensor moved away from its factory settings, to 57600 bit/s and net address
/// 9, on a pseudo-terminal; it hears the host only at its rate. For the tests that must find
/// it (the sensor search).
class MovedSensor {
  public:
    static constexpr uint32_t kBaud = 57600;
    static constexpr uint8_t kAddress = 9;

    MovedSensor() {
        device.SetParam(sim::addr::kBaudCode, kBaud / 2400);
        device.SetParam(sim::addr::kNetAddress, kAddress);
    }
    /// Opens the pseudo-terminal; false with a message when it cannot.
    bool StartSensor(std::string* error) {
        if (!pty.Start(error)) return false;
        gate.Watch(pty.SlavePath());
        return true;
    }

    sim::World world;
    sim::SensorDevice device{world};
    sim::SensorLine line{device};
    RateGatedLine gate{device, line};
    sim::PtyLink pty{gate};
};

}  // namespace veska::testing
