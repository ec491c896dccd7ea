#include "platform/TraceLine.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>

namespace veska::platform {

bool TraceSelects(const char* names, const std::string& name) {
    if (names == nullptr) return false;
    const std::string list(names);
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(start, end - start);
        const size_t first = item.find_first_not_of(" \t");
        const size_t last = item.find_last_not_of(" \t");
        item = first == std::string::npos ? std::string() : item.substr(first, last - first + 1);
        if (!item.empty() && (item == "all" || item == name)) return true;
        start = end + 1;
    }
    return false;
}

TraceHub::SinkId TraceHub::Subscribe(Sink sink) {
    std::lock_guard<std::mutex> lock(mutex_);
    const SinkId id = nextId_++;
    sinks_.emplace(id, std::move(sink));
    count_.store(static_cast<int>(sinks_.size()));
    return id;
}

void TraceHub::Unsubscribe(SinkId id) {
    std::lock_guard<std::mutex> lock(mutex_);
    sinks_.erase(id);
    count_.store(static_cast<int>(sinks_.size()));
}

void TraceHub::Publish(const std::string& line) {
    if (!HasSubscribers()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [id, sink] : sinks_) sink(line);
}

TraceHub& Trace() {
    static TraceHub hub;
    return hub;
}

void EmitTraceLine(const std::string& name, const std::string& body, bool toStderr) {
    // Wall-clock time of day with milliseconds, so traces of several links line up.
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(ms));
    std::string line = std::string(stamp) + " " + name + " " + body;
    Trace().Publish(line);
    if (toStderr) {
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
}

std::string HexBytes(const void* bytes, size_t count, size_t limit) {
    std::string text;
    if (bytes == nullptr) return text;
    const auto* p = static_cast<const uint8_t*>(bytes);
    const size_t shown = count < limit ? count : limit;
    text.reserve(shown * 3 + 16);
    char hex[4];
    for (size_t i = 0; i < shown; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", p[i]);
        text += hex;
    }
    if (shown < count) text += " ... (+" + std::to_string(count - shown) + ")";
    return text;
}

}  // namespace veska::platform
