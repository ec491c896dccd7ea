#include "sim/MotorController.h"

#include <algorithm>
#include <cstring>

namespace veska::sim {

namespace {

enum : uint8_t {
    kStatus = 2,
    kOutputs = 3,
    kHomeward = 4,
    kForward = 6,
    kPeriod = 7,
    kCount = 8,
};

constexpr uint8_t kDataMark = 0xF0;
constexpr uint8_t kStatusHigh = 0x30;  // high nibble of a status reply; the host ignores it
constexpr uint8_t kMovingForward = 1;
constexpr size_t kUnknown = SIZE_MAX;

size_t DataNibbles(uint8_t command) {
    switch (command) {
        case kStatus:
        case kHomeward:
        case kForward:
            return 0;
        case kOutputs:
            return 1;
        case kPeriod:
        case kCount:
            return 6;
        default:
            return kUnknown;
    }
}

uint32_t Value24(const std::vector<uint8_t>& nibbles) {
    uint32_t v = 0;
    for (size_t i = 0; i < nibbles.size(); ++i) v |= uint32_t{nibbles[i]} << (4 * i);
    return v;
}

}  // namespace

MotorController::MotorController(Stage& stage) : stage_(stage) {}

void MotorController::HostBytes(std::span<const uint8_t> bytes, TimePoint now) {
    std::lock_guard lock(mutex_);
    counters_.bytesReceived += bytes.size();
    for (uint8_t b : bytes) FeedByte(b, now);
}

void MotorController::FeedByte(uint8_t b, TimePoint now) {
    if ((b & kDataMark) == kDataMark) {
        if (!inRequest_) {
            ++counters_.malformed;
            return;
        }
        nibbles_.push_back(b & 0x0F);
        if (nibbles_.size() == expected_) {
            inRequest_ = false;
            Execute(now);
        }
        return;
    }
    if (inRequest_) ++counters_.malformed;  // a request cut short
    inRequest_ = false;
    command_ = b;
    nibbles_.clear();
    expected_ = DataNibbles(b);
    if (expected_ == kUnknown) {
        ++counters_.unknown;
        return;
    }
    if (expected_ == 0) {
        Execute(now);
    } else {
        inRequest_ = true;
    }
}

void MotorController::Execute(TimePoint now) {
    ++counters_.commands[command_ & 0x0F];
    if (silent_) return;
    switch (command_) {
        case kStatus: {
            uint8_t state = stage_.StateNibble(now);
            if (neverAtRest_ && state == 0) state = kMovingForward;
            output_.push_back(static_cast<uint8_t>(kStatusHigh | state));
            ++counters_.statusReplies;
            break;
        }
        case kOutputs:
            stage_.SetOutputs(nibbles_[0], now);
            break;
        case kHomeward:
            stage_.StartHomeward(now);
            break;
        case kForward:
            stage_.StartForward(now);
            break;
        case kPeriod:
            stage_.LoadPeriod(Value24(nibbles_));
            break;
        case kCount:
            stage_.LoadCount(Value24(nibbles_), now);
            break;
        default:
            break;
    }
}

size_t MotorController::Take(uint8_t* out, size_t max, TimePoint) {
    std::lock_guard lock(mutex_);
    const size_t n = std::min(max, output_.size());
    std::memcpy(out, output_.data(), n);
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

LinePeer::TimePoint MotorController::NextEvent(TimePoint now) {
    std::lock_guard lock(mutex_);
    return output_.empty() ? TimePoint::max() : now;
}

void MotorController::Purge() {
    std::lock_guard lock(mutex_);
    output_.clear();
}

MotorCounters MotorController::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

void MotorController::SetNeverAtRest(bool on) {
    std::lock_guard lock(mutex_);
    neverAtRest_ = on;
}

void MotorController::SetSilent(bool on) {
    std::lock_guard lock(mutex_);
    silent_ = on;
}

}  // namespace veska::sim
