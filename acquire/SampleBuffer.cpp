#include "acquire/SampleBuffer.h"

#include "lang/NumberFormat.h"
#include "platform/FileIo.h"

namespace veska::acquire {

void SampleBuffer::Reset() {
    wrapped_.store(false, std::memory_order_release);
    index_.store(-1, std::memory_order_release);
    streamRule_.store(false, std::memory_order_release);
    cursor = 0;
}

int32_t SampleBuffer::Count() const {
    if (Wrapped()) return kSize;
    const int32_t index = Index();
    if (index < 0) return 0;
    return streamRule_.load(std::memory_order_acquire) ? index + 1 : index;
}

void SampleBuffer::ClearValues() {
    for (auto& v : values_) v.store(0.0f, std::memory_order_relaxed);
}

int32_t SampleBuffer::AppendNewest(float value) {
    const int32_t index = index_.load(std::memory_order_relaxed);
    int32_t next;
    if (index == -1 && !wrapped_.load(std::memory_order_relaxed)) {
        next = 0;
    } else {
        if (index + 1 > kSize - 1) wrapped_.store(true, std::memory_order_relaxed);
        next = (index + 1) % kSize;
    }
    values_[next].store(value, std::memory_order_relaxed);
    streamRule_.store(true, std::memory_order_relaxed);
    index_.store(next, std::memory_order_release);
    return next;
}

int32_t SampleBuffer::AppendOnePast(float value) {
    const int32_t index = index_.load(std::memory_order_relaxed);
    const int32_t position = index == -1 ? 0 : index;
    values_[position].store(value, std::memory_order_relaxed);
    if (position == kSize - 1) wrapped_.store(true, std::memory_order_relaxed);
    streamRule_.store(false, std::memory_order_relaxed);
    index_.store((position + 1) % kSize, std::memory_order_release);
    return position;
}

void SampleBuffer::ExportLines(std::string& out) const {
    // One snapshot: a stream may go on appending while the export runs.
    const int32_t end = Index();
    const bool wrapped = Wrapped();
    if (end < 0) return;  // empty ring
    int32_t position = wrapped ? (end + 1) % kSize : 0;
    out.reserve(out.size() + (wrapped ? kSize : end) * 12);
    while (position != end) {
        out += lang::FormatFixed(At(position), 3);
        out += "\r\n";
        position = (position + 1) % kSize;
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
