#pragma once
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/TraceLine.h"

namespace veska::main {

/// Lines handed over by the trace hub, waiting to be shown. Shared between the hub's sink
/// (any thread that traces) and the reader; outlives both.
class TraceBacklog {
  public:
    /// Lines kept while the reader has not taken them; older ones are counted and dropped.
    static constexpr size_t kMaxLines = 20000;

    void Add(const std::string& line);
    /// Moves the waiting lines into out (replacing its contents); returns how many were
    /// dropped since the last take.
    size_t Take(std::deque<std::string>& out);

  private:
    std::mutex mutex_;  ///< guards lines_ and dropped_
    std::deque<std::string> lines_;
    size_t dropped_ = 0;
};

/// The line trace of every link for a window: while listening, the process's trace hub hands
/// each line to a bounded backlog, which the window takes on its own thread and time. The
/// sink never touches the reader, so a line traced while the reader goes is harmless.
class TraceFeed {
  public:
    TraceFeed() = default;
    ~TraceFeed() { Listen(false); }
    TraceFeed(const TraceFeed&) = delete;
    TraceFeed& operator=(const TraceFeed&) = delete;

    /// Subscribes to (on) or leaves (off) the trace hub; after leaving, no line is added.
    void Listen(bool on);
    bool Listening() const { return sinkId_ != 0; }
    /// The lines since the last take; returns how many were dropped meanwhile.
    size_t Take(std::deque<std::string>& out) { return backlog_->Take(out); }

  private:
    std::shared_ptr<TraceBacklog> backlog_ = std::make_shared<TraceBacklog>();
    platform::TraceHub::SinkId sinkId_ = 0;
};

}  // namespace veska::main
