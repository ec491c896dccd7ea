#include "sim/FaultLine.h"

#include <algorithm>
#include <array>

namespace veska::sim {

FaultLine::FaultLine(LinePeer& device, DeviceFaults& faults) : device_(device), faults_(faults) {}

void FaultLine::HostLineRate(uint32_t baud) {
    std::lock_guard lock(mutex_);
    hostBaud_ = baud;
}

void FaultLine::HostBytes(std::span<const uint8_t> bytes, TimePoint now) {
    faults_.RequestComing();
    if (faults_.Holds(FaultKind::kSilent) || faults_.Gone()) {
        faults_.CountIgnored(bytes.size());
        return;
    }
    uint32_t deviceRate = 0;
    {
        std::lock_guard lock(mutex_);
        deviceRate = hostBaud_;
        if (const uint32_t only = faults_.ValueOf(FaultKind::kWrongRate); only != 0) {
            if (hostBaud_ != only) {
                // The device's UART runs at another rate: it sees framing errors only.
                mismatched_ += bytes.size();
                faults_.CountIgnored(bytes.size());
                return;
            }
            deviceRate = 0;  // heard: the device takes it as its own rate
        }
    }
    const uint64_t before = device_.RequestsHeard();
    device_.HostLineRate(deviceRate);
    device_.HostBytes(bytes, now);
    faults_.CountRequests(device_.RequestsHeard() - before);
}

void FaultLine::EndOfBurst(TimePoint now) {
    if (faults_.Holds(FaultKind::kSilent) || faults_.Gone()) return;
    device_.EndOfBurst(now);
}

size_t FaultLine::Take(uint8_t* out, size_t max, TimePoint now) {
    std::lock_guard lock(mutex_);
    const uint32_t lateMs = faults_.ValueOf(FaultKind::kSlow);
    size_t n = 0;
    if (lateMs > 0 || !held_.Empty()) {
        // Everything the device sends by now leaves lateMs later, in order.
        std::array<uint8_t, 4096> chunk{};
        while (held_.Size() < kHeldLimit) {
            const size_t got = device_.Take(chunk.data(), chunk.size(), now);
            if (got == 0) break;
            held_.Push(std::span(chunk.data(), got), now + std::chrono::milliseconds(lateMs));
        }
        n = held_.Take(out, max, now);
    } else {
        n = device_.Take(out, max, now);
    }
    return faults_.FilterOutput(out, n);
}

LinePeer::TimePoint FaultLine::NextEvent(TimePoint now) {
    std::lock_guard lock(mutex_);
    TimePoint next = held_.NextRelease();
    if (held_.Size() < kHeldLimit) next = std::min(next, device_.NextEvent(now));
    return next;
}

void FaultLine::Purge() {
    std::lock_guard lock(mutex_);
    held_.Clear();
    device_.Purge();
}

uint64_t FaultLine::MismatchedBytes() const {
    std::lock_guard lock(mutex_);
    return mismatched_;
}

}  // namespace veska::sim
