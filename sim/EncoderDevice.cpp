#include "sim/EncoderDevice.h"

#include <algorithm>
#include <cmath>

namespace veska::sim {

namespace {

enum : uint8_t { kIdentify = 1, kWriteParam = 3, kGetResult = 6 };

constexpr uint8_t kRateParam = 3;
constexpr uint32_t kRateUnit = 2400;   // [bit/s]
constexpr uint8_t kTopRateCode = 128;  // stands for 921600
constexpr uint32_t kTopRate = 921600;  // [bit/s]
constexpr double kCountsPerMm = 10000.0;
constexpr uint8_t kRelease = 3;

size_t DataBytes(uint8_t command) {
    switch (command) {
        case kWriteParam:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

EncoderDevice::EncoderDevice(const Stage& stage, EncoderOptions options)
    : stage_(stage), options_(options), rng_(options.seed) {
    params_[kRateParam] = static_cast<uint8_t>(kPowerUpBaud / kRateUnit);
}

void EncoderDevice::HostLineRate(uint32_t baud) {
    std::lock_guard lock(mutex_);
    hostBaud_ = baud;
}

void EncoderDevice::HostBytes(std::span<const uint8_t> bytes, TimePoint now) {
    std::lock_guard lock(mutex_);
    for (uint8_t b : bytes) FeedByte(b, now);
}

void EncoderDevice::FeedByte(uint8_t b, TimePoint now) {
    if ((b & 0x80) == 0) {
        inRequest_ = true;
        haveCommand_ = false;
        lowHeld_ = false;
        address_ = b;
        requestBaud_ = hostBaud_;
        data_.clear();
        return;
    }
    if (!inRequest_) return;
    if (!haveCommand_) {
        haveCommand_ = true;
        command_ = b & 0x0F;
    } else if (!lowHeld_) {
        low_ = b & 0x0F;
        lowHeld_ = true;
        return;
    } else {
        lowHeld_ = false;
        data_.push_back(static_cast<uint8_t>(low_ | (b & 0x0F) << 4));
    }
    if (data_.size() == DataBytes(command_)) {
        inRequest_ = false;
        Dispatch(now);
    }
}

void EncoderDevice::Dispatch(TimePoint now) {
    if (requestBaud_ != 0 && requestBaud_ != baud_) {
        // At another rate the encoder's UART sees only garbage.
        ++counters_.wrongRate;
        return;
    }
    if (address_ != kAddress) {
        ++counters_.foreign;
        return;
    }
    ++counters_.requests[command_];
    if (silent_) return;
    switch (command_) {
        case kIdentify: {
            const uint8_t identity[8] = {options_.deviceType,
                                         kRelease,
                                         static_cast<uint8_t>(options_.serialNumber & 0xFF),
                                         static_cast<uint8_t>(options_.serialNumber >> 8),
                                         0,
                                         0,
                                         static_cast<uint8_t>(options_.rangeMicrometres & 0xFF),
                                         static_cast<uint8_t>(options_.rangeMicrometres >> 8)};
            Reply(identity, now);
            break;
        }
        case kWriteParam:
            params_[data_[0]] = data_[1];
            if (data_[0] == kRateParam && !ignoreRateSwitch_ && data_[1] != 0) {
                baud_ = data_[1] == kTopRateCode ? kTopRate : data_[1] * kRateUnit;
                ++counters_.rateSwitches;
            }
            break;
        case kGetResult: {
            const double exact = stage_.PositionMm(now) * kCountsPerMm;
            const double step = std::max(options_.resolutionCounts, 1);
            std::uniform_real_distribution<double> jitter(-options_.jitter, options_.jitter);
            const double steps = std::round(exact / step + jitter(rng_));
            const auto count = static_cast<int32_t>(steps * step);
            const auto u = static_cast<uint32_t>(count);
            const uint8_t reply[4] = {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8),
                                      static_cast<uint8_t>(u >> 16), static_cast<uint8_t>(u >> 24)};
            Reply(reply, now);
            break;
        }
        default:
            break;
    }
}

void EncoderDevice::Reply(std::span<const uint8_t> data, TimePoint now) {
    const uint8_t head = static_cast<uint8_t>(0x80 | counter_ << 4);
    counter_ = static_cast<uint8_t>((counter_ + 1) & 7);
    std::vector<uint8_t> line;
    for (uint8_t byte : data) {
        line.push_back(head | (byte & 0x0F));
        line.push_back(head | byte >> 4);
    }
    output_.Push(line, now);
    ++counters_.replies;
}

size_t EncoderDevice::Take(uint8_t* out, size_t max, TimePoint now) {
    std::lock_guard lock(mutex_);
    return output_.Take(out, max, now);
}

LinePeer::TimePoint EncoderDevice::NextEvent(TimePoint) {
    std::lock_guard lock(mutex_);
    return output_.NextRelease();
}

void EncoderDevice::Purge() {
    std::lock_guard lock(mutex_);
    output_.Clear();
}

uint64_t EncoderDevice::RequestsHeard() const {
    std::lock_guard lock(mutex_);
    uint64_t n = counters_.wrongRate + counters_.foreign;
    for (uint32_t r : counters_.requests) n += r;
    return n;
}

uint32_t EncoderDevice::Baud() const {
    std::lock_guard lock(mutex_);
    return baud_;
}

EncoderCounters EncoderDevice::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

int32_t EncoderDevice::TrueCount(TimePoint now) const {
    return static_cast<int32_t>(std::lround(stage_.PositionMm(now) * kCountsPerMm));
}

void EncoderDevice::SetSilent(bool on) {
    std::lock_guard lock(mutex_);
    silent_ = on;
}

void EncoderDevice::SetIgnoreRateSwitch(bool on) {
    std::lock_guard lock(mutex_);
    ignoreRateSwitch_ = on;
}

}  // namespace veska::sim
