#include "main/SampleBuffer.h"

#include <charconv>
#include <cmath>

#include "platform/FileIo.h"

namespace veska::main {

void SampleBuffer::Reset() {
    wrapped_.store(false, std::memory_order_release);
    index_.store(-1, std::memory_order_release);
    cursor = 0;
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
    index_.store(next, std::memory_order_release);
    return next;
}

int32_t SampleBuffer::AppendOnePast(float value) {
    const int32_t index = index_.load(std::memory_order_relaxed);
    const int32_t position = index == -1 ? 0 : index;
    values_[position].store(value, std::memory_order_relaxed);
    if (position == kSize - 1) wrapped_.store(true, std::memory_order_relaxed);
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
        out += FormatFixed(At(position), 3);
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

std::string FormatFixed(double value, int decimals) {
    constexpr int kPrecision = 10;
    if (!std::isfinite(value)) return std::isnan(value) ? "NAN" : (value > 0 ? "INF" : "-INF");
    char buffer[64];
    // Round to 10 significant digits first, as the number formatter does.
    auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific,
                           kPrecision - 1);
    double rounded = 0.0;
    std::from_chars(buffer, r.ptr, rounded);
    if (rounded != 0.0 && std::fabs(rounded) >= 1e10) {
        r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::scientific,
                          kPrecision - 1);
        return std::string(buffer, r.ptr);
    }
    r = std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
    std::string text(buffer, r.ptr);
    // No "-0.000": a value that rounds to zero is shown without a sign.
    if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
    return text;
}

}  // namespace veska::main
