#include "main/TraceFeed.h"

namespace veska::main {

void TraceBacklog::Add(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lines_.size() >= kMaxLines) {
        lines_.pop_front();
        ++dropped_;
    }
    lines_.push_back(line);
}

size_t TraceBacklog::Take(std::deque<std::string>& out) {
    out.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    out.swap(lines_);
    const size_t dropped = dropped_;
    dropped_ = 0;
    return dropped;
}

void TraceFeed::Listen(bool on) {
    if (on == Listening()) return;
    if (on) {
        sinkId_ = platform::Trace().Subscribe(
            [backlog = backlog_](const std::string& line) { backlog->Add(line); });
    } else {
        platform::Trace().Unsubscribe(sinkId_);
        sinkId_ = 0;
    }
}

}  // namespace veska::main
