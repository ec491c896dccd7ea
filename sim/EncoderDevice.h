#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <random>
#include <vector>

#include "sim/LinePeer.h"
#include "sim/ReplyQueue.h"
#include "sim/Stage.h"

namespace veska::sim {

/// Options of the simulated reference encoder.
struct EncoderOptions {
    uint16_t rangeMicrometres = 65000;  ///< the range in its identity [um]
    uint8_t deviceType = 0x45;
    uint16_t serialNumber = 501;
    /// Resolution of the scale [0.1 um counts]: readings are whole multiples of it.
    int32_t resolutionCounts = 5;
    /// Reading jitter before quantisation, as a fraction of one resolution step (0 to 0.5);
    /// a reading is never more than one step off the true position.
    double jitter = 0.4;
    uint32_t seed = 7;
};

/// What the encoder saw.
struct EncoderCounters {
    std::array<uint32_t, 16> requests{};  ///< requests for address 1 heard at its rate
    uint32_t wrongRate = 0;  ///< requests sent at another rate than the encoder's (ignored)
    uint32_t foreign = 0;    ///< requests for another address
    uint32_t replies = 0;
    uint32_t rateSwitches = 0;
};

/// The reference encoder: the sensor's framing (address 1; every data byte as two bytes
/// 1000 pppp from the host, 1ccc pppp back with a reply counter), reading the stage's
/// position. Identify (1) answers 8 bytes whose 16-bit field at offset 6 is its range
/// [um]; WriteParam (3) of address 3 switches its line rate to value x 2400 (128: 921600);
/// GetResult (6) answers the stage position from home as a signed 32-bit count of 0.1 um,
/// quantised to the scale's resolution. It starts at 115200 bit/s and hears only requests
/// sent at its own rate (the host's rate is the pty's termios rate; 0, unknown, is heard).
/// Thread-safe.
class EncoderDevice final : public LinePeer {
  public:
    static constexpr uint8_t kAddress = 1;
    static constexpr uint32_t kPowerUpBaud = 115200;

    EncoderDevice(const Stage& stage, EncoderOptions options = {});

    void HostLineRate(uint32_t baud) override;
    void HostBytes(std::span<const uint8_t> bytes, TimePoint now) override;
    void EndOfBurst(TimePoint) override {}
    size_t Take(uint8_t* out, size_t max, TimePoint now) override;
    TimePoint NextEvent(TimePoint now) override;
    void Purge() override;
    uint64_t RequestsHeard() const override;

    /// The line rate the encoder runs at [bit/s].
    uint32_t Baud() const;
    EncoderCounters Counters() const;
    /// The count a reading would give now, without jitter [0.1 um].
    int32_t TrueCount(TimePoint now) const;

    // Faults.
    /// Requests are heard (counted) but never answered.
    void SetSilent(bool on);
    /// The rate switch is taken without effect: the encoder stays at its rate.
    void SetIgnoreRateSwitch(bool on);

  private:
    void FeedByte(uint8_t b, TimePoint now);
    void Dispatch(TimePoint now);
    void Reply(std::span<const uint8_t> data, TimePoint now);

    const Stage& stage_;
    const EncoderOptions options_;
    mutable std::mutex mutex_;  ///< guards every member below
    std::mt19937 rng_;
    uint32_t baud_ = kPowerUpBaud;
    uint32_t hostBaud_ = kPowerUpBaud;
    std::array<uint8_t, 256> params_{};
    bool inRequest_ = false;
    bool haveCommand_ = false;
    bool lowHeld_ = false;
    uint8_t low_ = 0;
    uint8_t address_ = 0;
    uint8_t command_ = 0;
    uint32_t requestBaud_ = 0;  ///< host rate when the request began; 0 unknown: heard
    std::vector<uint8_t> data_;
    uint8_t counter_ = 0;
    ReplyQueue output_;
    EncoderCounters counters_;
    bool silent_ = false;
    bool ignoreRateSwitch_ = false;
};

}  // namespace veska::sim
