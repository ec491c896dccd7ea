#include "acquire/SampleBuffer.h"

#include "lang/NumberFormat.h"
#include "platform/FileIo.h"

namespace veska::acquire {

uint64_t SampleBuffer::HeadOf(int32_t index, bool wrapped, bool streamRule, uint64_t appended) {
    return static_cast<uint64_t>(index + 1) | (wrapped ? kWrappedBit : 0) |
           (streamRule ? kStreamRuleBit : 0) | (appended << kCountShift);
}

void SampleBuffer::Reset() {
    head_.store(HeadOf(-1, false, false, 0), std::memory_order_release);
    stampClock_ = nullptr;
    stamped_.store(false, std::memory_order_release);
    cursor = 0;
}

void SampleBuffer::StampTimes(platform::Clock& clock) {
    stampClock_ = &clock;
    stampOrigin_ = clock.TickCount();
    stamped_.store(true, std::memory_order_release);
}

int32_t SampleBuffer::Count() const {
    const uint64_t head = head_.load(std::memory_order_acquire);
    if ((head & kWrappedBit) != 0) return kSize;
    const int32_t index = IndexOf(head);
    if (index < 0) return 0;
    return (head & kStreamRuleBit) != 0 ? index + 1 : index;
}

void SampleBuffer::ClearValues() {
    for (auto& v : values_) v.store(0.0f, std::memory_order_relaxed);
}

int32_t SampleBuffer::AppendNewest(float value) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    const int32_t index = IndexOf(head);
    bool wrapped = (head & kWrappedBit) != 0;
    int32_t next;
    if (index == -1 && !wrapped) {
        next = 0;
    } else {
        if (index + 1 > kSize - 1) wrapped = true;
        next = (index + 1) % kSize;
    }
    values_[next].store(value, std::memory_order_relaxed);
    stamps_[next].store(kNoStamp, std::memory_order_relaxed);
    head_.store(HeadOf(next, wrapped, true, (head >> kCountShift) + 1), std::memory_order_release);
    return next;
}

int32_t SampleBuffer::AppendOnePast(float value) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    const int32_t index = IndexOf(head);
    const int32_t position = index == -1 ? 0 : index;
    values_[position].store(value, std::memory_order_relaxed);
    stamps_[position].store(
        stampClock_ != nullptr ? stampClock_->TickCount() - stampOrigin_ : kNoStamp,
        std::memory_order_relaxed);
    const bool wrapped = (head & kWrappedBit) != 0 || position == kSize - 1;
    head_.store(HeadOf((position + 1) % kSize, wrapped, false, (head >> kCountShift) + 1),
                std::memory_order_release);
    return position;
}

SampleSpan SampleBuffer::ExportSpan() const {
    const uint64_t head = head_.load(std::memory_order_acquire);
    const int32_t end = IndexOf(head);
    if (end < 0) return {};
    const bool wrapped = (head & kWrappedBit) != 0;
    SampleSpan span;
    span.first = wrapped ? (end + 1) % kSize : 0;
    span.count = wrapped ? kSize - 1 : end;
    // The newest sample is number appended - 1; under the stream rule it sits at the index
    // and is not written, under the measurement rule it is the last one written.
    const uint64_t appended = head >> kCountShift;
    const uint64_t behind = static_cast<uint64_t>(span.count) + ((head & kStreamRuleBit) ? 1 : 0);
    span.firstNumber = appended >= behind ? appended - behind : 0;
    return span;
}

std::optional<double> SampleBuffer::StampedTime(int32_t position) const {
    if (!stamped_.load(std::memory_order_acquire)) return std::nullopt;
    const uint32_t stamp = stamps_[position & (kSize - 1)].load(std::memory_order_relaxed);
    if (stamp == kNoStamp) return std::nullopt;
    return static_cast<double>(stamp) / 1000.0;
}

void SampleBuffer::ExportLines(std::string& out) const {
    // One snapshot: a stream may go on appending while the export runs.
    const SampleSpan span = ExportSpan();
    out.reserve(out.size() + static_cast<size_t>(span.count) * 12);
    for (int32_t i = 0; i < span.count; ++i) {
        out += lang::FormatFixed(At(span.first + i), 3);
        out += "\r\n";
    }
}

bool SampleBuffer::ExportToFile(const std::string& path, std::string& error) const {
    std::string text;
    ExportLines(text);
    std::string reason;
    if (platform::ReplaceFile(path, text, reason)) return true;
    error = "Cannot write the data file '" + path + "': " + reason + ".";
    return false;
}

}  // namespace veska::acquire
