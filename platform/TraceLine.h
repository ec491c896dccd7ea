#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace veska::platform {

/// True when a VESKA_TRACE value (a comma-separated list of names, or "all") selects name.
bool TraceSelects(const char* names, const std::string& name);

/// Where trace lines go besides standard error: the subscribers of the process's trace (a
/// window's trace view, a test). Every link traces to the subscribers while there is one,
/// whatever VESKA_TRACE says; with none, a link costs one atomic load per exchange.
class TraceHub {
  public:
    /// Receives one whole line ("HH:MM:SS.mmm name body", no line end). Called on the thread
    /// that traced (a link's owner, the stream thread), with the hub's lock held: it must be
    /// short and must not subscribe, unsubscribe or trace itself.
    using Sink = std::function<void(const std::string& line)>;
    using SinkId = uint64_t;

    SinkId Subscribe(Sink sink);
    /// After it returns, the sink is not running and is never called again.
    void Unsubscribe(SinkId id);
    bool HasSubscribers() const { return count_.load(std::memory_order_relaxed) > 0; }
    void Publish(const std::string& line);

  private:
    mutable std::mutex mutex_;      ///< guards sinks_ and nextId_; held while sinks run
    std::map<SinkId, Sink> sinks_;  ///< by subscription order
    SinkId nextId_ = 1;
    std::atomic<int> count_{0};  ///< sinks_.size(), read without the lock
};

/// The process's trace hub.
TraceHub& Trace();

/// Writes one trace line "HH:MM:SS.mmm name body" (local time of day) to standard error
/// (when toStderr) in a single write, so that lines of concurrent links stay whole, and hands
/// it to the trace hub's subscribers.
void EmitTraceLine(const std::string& name, const std::string& body, bool toStderr = true);

/// " 0A 1B ..." for up to limit bytes, then " ... (+N)" for the rest.
std::string HexBytes(const void* bytes, size_t count, size_t limit = 512);

}  // namespace veska::platform
