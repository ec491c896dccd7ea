#include "sim/ReplyQueue.h"

#include <algorithm>

namespace veska::sim {

void ReplyQueue::Push(std::span<const uint8_t> bytes, TimePoint release) {
    if (bytes.empty()) return;
    // A later chunk never leaves before an earlier one: the line keeps its order.
    if (!chunks_.empty()) release = std::max(release, chunks_.back().release);
    chunks_.push_back(Chunk{release, std::vector<uint8_t>(bytes.begin(), bytes.end()), 0});
    queued_ += bytes.size();
}

size_t ReplyQueue::Take(uint8_t* out, size_t max, TimePoint now) {
    size_t got = 0;
    while (got < max && !chunks_.empty() && chunks_.front().release <= now) {
        Chunk& chunk = chunks_.front();
        const size_t n = std::min(max - got, chunk.bytes.size() - chunk.taken);
        std::copy_n(chunk.bytes.begin() + static_cast<std::ptrdiff_t>(chunk.taken), n, out + got);
        chunk.taken += n;
        got += n;
        queued_ -= n;
        if (chunk.taken == chunk.bytes.size()) chunks_.pop_front();
    }
    return got;
}

ReplyQueue::TimePoint ReplyQueue::NextRelease() const {
    return chunks_.empty() ? TimePoint::max() : chunks_.front().release;
}

void ReplyQueue::Clear() {
    chunks_.clear();
    queued_ = 0;
}

}  // namespace veska::sim
