#pragma once
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <span>
#include <string>

#include "platform/Termios2.h"
#include "sim/LinePeer.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"

namespace veska::testing {

/// A sensor line that hears the host only while the host's line runs at the sensor's rate:
/// bytes sent at any other rate are noise to the sensor and get no answer, as a real
/// sensor's UART does.
class RateGatedLine final : public sim::LinePeer {
  public:
    RateGatedLine(sim::SensorDevice& device, sim::SensorLine& line)
        : device_(device), line_(line) {}
    ~RateGatedLine() override {
        if (fd_ >= 0) ::close(fd_);
    }
    /// The pty's slave side, whose settings the host's open made.
    void Watch(const std::string& slavePath) {
        fd_ = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    }

    void HostBytes(std::span<const uint8_t> bytes, TimePoint now) override {
        if (AtSensorRate()) line_.HostBytes(bytes, now);
    }
    void EndOfBurst(TimePoint now) override { line_.EndOfBurst(now); }
    size_t Take(uint8_t* out, size_t max, TimePoint now) override {
        return line_.Take(out, max, now);
    }
    TimePoint NextEvent(TimePoint now) override { return line_.NextEvent(now); }
    void Purge() override { line_.Purge(); }

  private:
    bool AtSensorRate() const {
        return fd_ >= 0 && platform::ReadBaudRate(fd_) == device_.LineBaud();
    }

    sim::SensorDevice& device_;
    sim::SensorLine& line_;
    int fd_ = -1;
};

}  // namespace veska::testing
