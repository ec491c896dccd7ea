#include "link/Trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace veska::link {

LineTrace::LineTrace(std::string linkName)
    : LineTrace(std::move(linkName), std::getenv("VESKA_TRACE")) {}

LineTrace::LineTrace(std::string linkName, const char* names)
    : name_(std::move(linkName)), enabled_(Selects(names, name_)) {}

bool LineTrace::Selects(const char* names, const std::string& linkName) {
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
        if (!item.empty() && (item == "all" || item == linkName)) return true;
        start = end + 1;
    }
    return false;
}

void LineTrace::Print(const char* direction, std::span<const uint8_t> bytes) const {
    if (!enabled_) return;
    std::string body = direction;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        body += hex;
    }
    Emit(body);
}

void LineTrace::Note(const std::string& text) const {
    if (enabled_) Emit("-- " + text);
}

void LineTrace::Emit(const std::string& body) const {
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
    const std::string line = std::string(stamp) + " " + name_ + " " + body + "\n";
    // One write per line keeps lines of concurrent links whole.
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace veska::link
