#include "sim/SensorLine.h"

#include <algorithm>
#include <cmath>

namespace veska::sim {
namespace {

constexpr double kBitsPerByte = 11.0;  // start, 8 data, even parity, stop

}  // namespace

SensorLine::SensorLine(SensorDevice& device, LineOptions options)
    : device_(device), options_(options) {}

void SensorLine::HostLineRate(uint32_t baud) {
    std::lock_guard lock(mutex_);
    if (baud == hostBaud_) return;
    previousHostBaud_ = hostBaud_;
    hostBaud_ = baud;
    hostBaudChanged_ = SteadyClock::now();
}

void SensorLine::HostBytes(std::span<const uint8_t> bytes, TimePoint now) {
    std::lock_guard lock(mutex_);
    // The transport learns the rate when it reads, which may be just after the host moved
    // on to a new rate: bytes that come shortly after a change may be of the old rate.
    constexpr auto kRateChangeGrace = std::chrono::milliseconds(250);
    const uint32_t sensorBaud = BaudLocked();
    const bool oldRate =
        previousHostBaud_ == sensorBaud && now - hostBaudChanged_ < kRateChangeGrace;
    if (hostBaud_ != 0 && hostBaud_ != sensorBaud && !oldRate) {
        mismatched_ += bytes.size();
        return;
    }
    if (now < busyUntil_) {
        busyBytes_ += bytes.size();
        return;
    }
    device_.Feed(bytes);
    // A reply that follows a busy time (the table erase) leaves when it ends.
    const SteadyClock::duration busy = device_.TakeBusyTime();
    if (busy > SteadyClock::duration::zero()) busyUntil_ = now + busy;
    Collect(std::max(now, busyUntil_) + std::chrono::milliseconds(device_.ReplyDelayMs()));
    // A stream these bytes started begins its schedule now, not when the transport next
    // looks: trigger pulses after the request are the stream's, however busy the machine.
    Pace(now);
}

void SensorLine::EndOfBurst(TimePoint now) {
    std::lock_guard lock(mutex_);
    device_.EndOfBurst();
    Collect(now + std::chrono::milliseconds(device_.ReplyDelayMs()));
}

void SensorLine::Collect(TimePoint release) {
    scratch_.clear();
    device_.TakeOutput(scratch_);
    queue_.Push(scratch_, release);
}

void SensorLine::Pace(TimePoint now) {
    const StreamKind kind = device_.Streaming();
    if (kind == StreamKind::kNone) {
        streaming_ = false;
        return;
    }
    const uint32_t generation = device_.StreamGeneration();
    const size_t sampleBytes = device_.SampleLineBytes();
    const double rate = BaudLocked() / (kBitsPerByte * static_cast<double>(sampleBytes));
    const bool triggered = device_.TriggeredSampling();
    if (!streaming_ || generation != generation_ || rate != rate_ || triggered != triggered_) {
        // A new stream, a new line rate or a new sampling source: the schedule starts now.
        streaming_ = true;
        generation_ = generation;
        rate_ = rate;
        triggered_ = triggered;
        streamStart_ = now;
        emitted_ = 0;
        pulsesSeen_ = trigger_ != nullptr ? trigger_->PulsesUntil(now) : 0;
    }
    if (triggered_) {
        PaceTriggered(now, sampleBytes);
        return;
    }
    size_t count = 0;
    if (options_.unpaced) {
        if (queue_.Size() < kUnpacedFill)
            count = (kUnpacedFill - queue_.Size() + sampleBytes - 1) / sampleBytes;
    } else {
        const std::chrono::duration<double> elapsed = now - streamStart_;
        // The small bias keeps a sample due exactly at NextEvent from rounding down.
        const auto due =
            static_cast<uint64_t>(std::floor(std::max(elapsed.count(), 0.0) * rate_ + 1e-6));
        if (due <= emitted_) return;
        const uint64_t owed = due - emitted_;
        emitted_ = due;
        const size_t room = queue_.Size() < options_.backlogLimit
                                ? (options_.backlogLimit - queue_.Size()) / sampleBytes
                                : 0;
        count = static_cast<size_t>(std::min<uint64_t>(owed, room));
        lost_ += owed - count;
    }
    if (count == 0) return;
    device_.EmitSamples(count);
    Collect(now);
}

void SensorLine::PaceTriggered(TimePoint now, size_t sampleBytes) {
    if (trigger_ == nullptr) return;
    const uint64_t pulses = trigger_->PulsesUntil(now);
    if (pulses <= pulsesSeen_) return;
    const uint64_t owed = pulses - pulsesSeen_;
    pulsesSeen_ = pulses;
    const size_t room = queue_.Size() < options_.backlogLimit
                            ? (options_.backlogLimit - queue_.Size()) / sampleBytes
                            : 0;
    const size_t count = static_cast<size_t>(std::min<uint64_t>(owed, room));
    lost_ += owed - count;
    if (count == 0) return;
    // Each pulse samples the target where it stood at that pulse, however late the line
    // end looks.
    std::vector<TimePoint> times(count);
    for (size_t i = 0; i < count; ++i)
        times[i] = trigger_->ExposureTime(pulses - owed + 1 + i, now);
    device_.EmitSamplesAt(times);
    Collect(now);
}

void SensorLine::ConnectTrigger(const TriggerSource* source) {
    std::lock_guard lock(mutex_);
    trigger_ = source;
    streaming_ = false;  // the schedule starts afresh at the next Take
}

size_t SensorLine::Take(uint8_t* out, size_t max, TimePoint now) {
    std::lock_guard lock(mutex_);
    Pace(now);
    return queue_.Take(out, max, now);
}

LinePeer::TimePoint SensorLine::NextEvent(TimePoint now) {
    std::lock_guard lock(mutex_);
    TimePoint next = queue_.NextRelease();
    if (device_.Streaming() != StreamKind::kNone) {
        if (!streaming_) {
            next = std::min(next, now);  // a new stream: Take starts its schedule
        } else if (triggered_) {
            if (trigger_ != nullptr) next = std::min(next, trigger_->NextPulseAfter(now));
        } else if (options_.unpaced) {
            if (queue_.Size() < kUnpacedFill) next = std::min(next, now);
        } else if (rate_ > 0.0) {
            const std::chrono::duration<double> due((static_cast<double>(emitted_) + 1.0) / rate_);
            next = std::min(next, streamStart_ + std::chrono::ceil<SteadyClock::duration>(due));
        }
    }
    return next;
}

void SensorLine::Purge() {
    std::lock_guard lock(mutex_);
    queue_.Clear();
}

uint64_t SensorLine::RequestsHeard() const {
    const SensorCounters c = device_.Counters();
    uint64_t n = c.foreignPackets;
    for (uint32_t r : c.requests) n += r;
    return n;
}

uint32_t SensorLine::Baud() const {
    std::lock_guard lock(mutex_);
    return BaudLocked();
}

uint32_t SensorLine::BaudLocked() const {
    return options_.baudOverride != 0 ? options_.baudOverride : device_.LineBaud();
}

double SensorLine::SampleRate() const {
    std::lock_guard lock(mutex_);
    if (device_.Streaming() == StreamKind::kNone) return 0.0;
    return BaudLocked() / (kBitsPerByte * static_cast<double>(device_.SampleLineBytes()));
}

uint64_t SensorLine::MismatchedBytes() const {
    std::lock_guard lock(mutex_);
    return mismatched_;
}

uint64_t SensorLine::BusyBytes() const {
    std::lock_guard lock(mutex_);
    return busyBytes_;
}

uint64_t SensorLine::SamplesLost() const {
    std::lock_guard lock(mutex_);
    return lost_;
}

}  // namespace veska::sim
