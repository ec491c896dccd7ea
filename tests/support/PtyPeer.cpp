#include "tests/support/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace veska::testing {

PtyPeer::PtyPeer() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0) return;
    char name[128];
    if (grantpt(master) != 0 || unlockpt(master) != 0 ||
        ptsname_r(master, name, sizeof name) != 0) {
        close(master);
        return;
    }
    slavePath_ = name;
    slaveKeep_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveKeep_ >= 0) {
        termios raw{};
        if (tcgetattr(slaveKeep_, &raw) == 0) {
            cfmakeraw(&raw);
            tcsetattr(slaveKeep_, TCSANOW, &raw);
        }
    }
    master_ = master;
    thread_ = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer() {
    CloseMaster();
    if (wakeRead_ >= 0) close(wakeRead_);
    if (wakeWrite_ >= 0) close(wakeWrite_);
}

void PtyPeer::CloseMaster() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    Notify();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    if (slaveKeep_ >= 0) close(slaveKeep_);
    slaveKeep_ = -1;
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void PtyPeer::Notify() const {
    if (wakeWrite_ < 0) return;
    const char c = 1;
    [[maybe_unused]] ssize_t r = write(wakeWrite_, &c, 1);
}

void PtyPeer::WriteAll(const std::vector<uint8_t>& bytes) const {
    size_t done = 0;
    while (done < bytes.size() && master_ >= 0) {
        const ssize_t w = write(master_, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<size_t>(w);
        } else if (w < 0 && errno != EINTR && errno != EAGAIN) {
            return;
        }
    }
}

void PtyPeer::FireDueReplies() {
    while (!script_.empty() && received_.size() - mark_ >= script_.front().after) {
        mark_ += script_.front().after;
        WriteAll(script_.front().reply);
        script_.pop_front();
    }
}

void PtyPeer::Run() {
    uint8_t chunk[4096];
    for (;;) {
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = poll(fds, 2, 50);
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            char drain[64];
            while (read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (ready > 0 && (fds[0].revents & POLLIN)) {
            const ssize_t got = read(master_, chunk, sizeof chunk);
            if (got > 0) {
                received_.insert(received_.end(), chunk, chunk + got);
                arrived_.notify_all();
            }
        }
        FireDueReplies();
    }
}

void PtyPeer::ReplyAfter(size_t requestBytes, std::vector<uint8_t> reply) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        script_.push_back({requestBytes, std::move(reply)});
    }
    Notify();
}

void PtyPeer::Send(const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    WriteAll(bytes);
}

std::vector<uint8_t> PtyPeer::Received() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return received_;
}

bool PtyPeer::WaitReceived(size_t n, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return received_.size() >= n; });
}

std::vector<uint8_t> PtyPeer::ReadRequest(size_t n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return received_.size() - taken_ >= n; });
    const size_t count = std::min(n, received_.size() - taken_);
    std::vector<uint8_t> out(received_.begin() + static_cast<std::ptrdiff_t>(taken_),
                             received_.begin() + static_cast<std::ptrdiff_t>(taken_ + count));
    taken_ += count;
    return out;
}

size_t PtyPeer::PendingReplies() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return script_.size();
}

bool PtyPeer::SlaveTermios(termios& settings) const {
    std::lock_guard<std::mutex> lock(mutex_);
    // On Linux the master reports the slave's settings.
    return master_ >= 0 && tcgetattr(master_, &settings) == 0;
}

}  // namespace veska::testing
