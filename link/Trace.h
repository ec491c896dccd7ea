#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace veska::link {

/// Hex trace of one link's line traffic, switched on by VESKA_TRACE (a comma-separated list
/// of link names, or "all"); written to standard error with a millisecond time stamp.
class LineTrace {
public:
    explicit LineTrace(std::string linkName);
    bool Enabled() const { return enabled_; }
    void Request(std::span<const uint8_t> bytes) const { Print(">>", bytes); }
    void Reply(std::span<const uint8_t> bytes) const { Print("<<", bytes); }

private:
    void Print(const char* direction, std::span<const uint8_t> bytes) const;
    std::string name_;
    bool enabled_ = false;
};

}  // namespace veska::link
