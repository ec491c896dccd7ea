#include "sim/MotorController.h"

#include <algorithm>

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

MotorController::MotorController(Stage& stage, const DeviceFaults* faults)
    : stage_(stage), faults_(faults) {}

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
    const bool neverAtRest = neverAtRest_ || (faults_ && faults_->Holds(FaultKind::kNeverAtRest));
    // A frozen stage: the controller takes the move, the motor does not turn.
    const bool frozen = faults_ && faults_->Holds(FaultKind::kFrozen);
    switch (command_) {
        case kStatus: {
            uint8_t state = stage_.StateNibble(now);
            if (neverAtRest && state == 0) state = kMovingForward;
            const uint8_t reply = static_cast<uint8_t>(kStatusHigh | state);
            output_.Push(std::span(&reply, 1), now);
            ++counters_.statusReplies;
            break;
        }
        case kOutputs:
            stage_.SetOutputs(nibbles_[0], now);
            break;
        case kHomeward:
            if (!frozen) stage_.StartHomeward(now);
            break;
        case kForward:
            if (!frozen) stage_.StartForward(now);
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

size_t MotorController::Take(uint8_t* out, size_t max, TimePoint now) {
    std::lock_guard lock(mutex_);
    return output_.Take(out, max, now);
}

LinePeer::TimePoint MotorController::NextEvent(TimePoint) {
    std::lock_guard lock(mutex_);
    return output_.NextRelease();
}

void MotorController::Purge() {
    std::lock_guard lock(mutex_);
    output_.Clear();
}

uint64_t MotorController::RequestsHeard() const {
    std::lock_guard lock(mutex_);
    uint64_t n = 0;
    for (uint32_t c : counters_.commands) n += c;
    return n;
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
