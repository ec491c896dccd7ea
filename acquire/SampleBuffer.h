#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Clock.h"

namespace veska::acquire {

/// The samples an export writes, taken from one snapshot of the ring: oldest first, the
/// sample at the index left out.
struct SampleSpan {
    int32_t first = 0;         ///< ring position of the oldest sample written
    int32_t count = 0;         ///< samples written
    uint64_t firstNumber = 0;  ///< its number since the ring's reset (the first sample is 0)
};

/// The ring of the 65536 newest converted values, shared by the stream thread (writer)
/// and the interface thread (plot at stream stop, export). Values and the head are atomics:
/// the writer stores the value, then publishes the head (index, wrapped flag, append rule and
/// the number of samples appended) in one store with release order; a reader that loads the
/// head with acquire order sees every value up to it, and one head is always consistent.
class SampleBuffer {
  public:
    static constexpr int32_t kSize = 65536;

    /// Empty: index -1, not wrapped, cursor 0, no samples appended, no time stamps. Values
    /// are kept (a run start clears them).
    void Reset();
    /// Sets every value to 0.0 (measurement run start).
    void ClearValues();
    /// From now until the next Reset, the measurement rule stamps each sample with the
    /// clock's tick, counted from now (a polled run, whose samples come at no fixed rate).
    /// The clock must outlive the stamping; the writer's thread only.
    void StampTimes(platform::Clock& clock);

    /// Stream rule: index kept at the newest sample. Returns the new index.
    int32_t AppendNewest(float value);
    /// Measurement rule: index kept one past the newest value. Returns the position written.
    int32_t AppendOnePast(float value);

    float At(int32_t position) const {
        return values_[position & (kSize - 1)].load(std::memory_order_relaxed);
    }
    int32_t Index() const { return IndexOf(head_.load(std::memory_order_acquire)); }
    /// Samples held: the ring's size once wrapped, else the newest index + 1 under the
    /// stream rule and the index under the measurement rule (0 when empty).
    int32_t Count() const;
    bool Wrapped() const { return (head_.load(std::memory_order_acquire) & kWrappedBit) != 0; }
    /// Samples appended since the reset, the overwritten ones included.
    uint64_t Appended() const { return head_.load(std::memory_order_acquire) >> kCountShift; }
    /// What an export of the ring writes now (one snapshot).
    SampleSpan ExportSpan() const;
    /// [s] after StampTimes of the sample at position, when it was stamped.
    std::optional<double> StampedTime(int32_t position) const;

    int32_t cursor = 0;  ///< read position of the stream-stop plot; interface thread only

    /// The export lines, oldest first, as "Save data to file" writes them: the sample at the
    /// index itself is not written. index and wrapped are one snapshot taken at the start.
    void ExportLines(std::string& out) const;
    /// Writes the export to a file, replacing it. False when it cannot be written; an
    /// existing file is then left as it was.
    bool ExportToFile(const std::string& path, std::string& error) const;

  private:
    // The head: bits 0-16 index + 1, bit 17 wrapped, bit 18 the stream rule, the rest the
    // number of samples appended.
    static constexpr uint64_t kIndexMask = 0x1FFFF;
    static constexpr uint64_t kWrappedBit = uint64_t{1} << 17;
    static constexpr uint64_t kStreamRuleBit = uint64_t{1} << 18;
    static constexpr int kCountShift = 19;
    static constexpr uint32_t kNoStamp = UINT32_MAX;

    static int32_t IndexOf(uint64_t head) { return static_cast<int32_t>(head & kIndexMask) - 1; }
    static uint64_t HeadOf(int32_t index, bool wrapped, bool streamRule, uint64_t appended);

    std::array<std::atomic<float>, kSize> values_{};
    /// [ms] since stampOrigin_ of each position's sample, or kNoStamp.
    std::array<std::atomic<uint32_t>, kSize> stamps_{};
    std::atomic<uint64_t> head_{HeadOf(-1, false, false, 0)};
    platform::Clock* stampClock_ = nullptr;  ///< writer's thread only; null: no stamps
    uint32_t stampOrigin_ = 0;               ///< [ms] the clock's tick at StampTimes
    std::atomic<bool> stamped_{false};       ///< samples since the reset carry stamps
};

}  // namespace veska::acquire
