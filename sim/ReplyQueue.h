#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace veska::sim {

/// What a device has sent and the host not yet taken, in chunks that each leave at their
/// own time (now, or later for a device that answers late). Not locked: the owner locks.
class ReplyQueue {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;

    /// Queues bytes that leave at release (nothing for none).
    void Push(std::span<const uint8_t> bytes, TimePoint release);
    /// Moves up to max bytes released by now to out, in order; returns their number.
    size_t Take(uint8_t* out, size_t max, TimePoint now);
    /// When the next byte leaves; TimePoint::max() when the queue is empty.
    TimePoint NextRelease() const;
    /// Bytes queued and not taken.
    size_t Size() const { return queued_; }
    bool Empty() const { return queued_ == 0; }
    void Clear();

  private:
    struct Chunk {
        TimePoint release;
        std::vector<uint8_t> bytes;
        size_t taken = 0;
    };
    std::deque<Chunk> chunks_;
    size_t queued_ = 0;
};

}  // namespace veska::sim
