#include "link/Trace.h"

#include <cstdio>
#include <cstdlib>

#include "platform/TraceLine.h"

namespace veska::link {

LineTrace::LineTrace(std::string linkName)
    : LineTrace(std::move(linkName), std::getenv("VESKA_TRACE")) {}

LineTrace::LineTrace(std::string linkName, const char* names)
    : name_(std::move(linkName)), enabled_(Selects(names, name_)) {}

bool LineTrace::Selects(const char* names, const std::string& linkName) {
    return platform::TraceSelects(names, linkName);
}

bool LineTrace::Enabled() const { return enabled_ || platform::Trace().HasSubscribers(); }

void LineTrace::Print(const char* direction, std::span<const uint8_t> bytes) const {
    if (!Enabled()) return;
    std::string body = direction;
    char hex[4];
    for (uint8_t b : bytes) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        body += hex;
    }
    Emit(body);
}

void LineTrace::Note(const std::string& text) const {
    if (Enabled()) Emit("-- " + text);
}

void LineTrace::Emit(const std::string& body) const {
    platform::EmitTraceLine(name_, body, enabled_);
}

}  // namespace veska::link
