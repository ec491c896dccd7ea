#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace veska::link {

/// Hex trace of one link's line traffic, switched on by VESKA_TRACE (a comma-separated list
/// of link names, or "all"); written to standard error with a millisecond time stamp. While
/// the process's trace hub has subscribers (platform::Trace()), every link traces to them.
class LineTrace {
  public:
    /// Reads VESKA_TRACE once, here.
    explicit LineTrace(std::string linkName);
    /// For tests: enabled exactly when names (the VESKA_TRACE syntax) selects linkName.
    LineTrace(std::string linkName, const char* names);
    /// True when a VESKA_TRACE value selects the link name ("all", or a list item).
    static bool Selects(const char* names, const std::string& linkName);
    /// Whether a line would go anywhere: VESKA_TRACE selects the link, or the hub has
    /// subscribers.
    bool Enabled() const;
    /// Whether VESKA_TRACE selects the link (its lines go to standard error).
    bool ToStderr() const { return enabled_; }
    void Request(std::span<const uint8_t> bytes) const { Print(">>", bytes); }
    void Reply(std::span<const uint8_t> bytes) const { Print("<<", bytes); }
    /// A line of text in place of bytes (a failed read, dropped bytes).
    void Note(const std::string& text) const;

  private:
    void Print(const char* direction, std::span<const uint8_t> bytes) const;
    void Emit(const std::string& body) const;
    std::string name_;
    bool enabled_ = false;
};

}  // namespace veska::link
