#include "sim/PtyLink.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace veska::sim {
namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text + ": " + std::strerror(errno);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

constexpr size_t kChunk = 8192;

/// The rate of a termios speed code [bit/s]; 0 for one not listed.
uint32_t RateOfSpeed(speed_t speed) {
    struct Entry {
        speed_t code;
        uint32_t rate;
    };
    static constexpr Entry kRates[] = {
        {B1200, 1200},     {B2400, 2400},       {B4800, 4800},     {B9600, 9600},
        {B19200, 19200},   {B38400, 38400},     {B57600, 57600},   {B115200, 115200},
        {B230400, 230400}, {B460800, 460800},   {B500000, 500000}, {B576000, 576000},
        {B921600, 921600}, {B1000000, 1000000},
    };
    for (const Entry& e : kRates) {
        if (e.code == speed) return e.rate;
    }
    return 0;
}
constexpr int kIdlePollMs = 100;

}  // namespace

PtyLink::PtyLink(LinePeer& peer, std::string linkPath)
    : peer_(peer), linkPath_(std::move(linkPath)) {}

PtyLink::~PtyLink() { Stop(); }

bool PtyLink::Start(std::string* error) {
    if (Running()) return true;
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) {
        SetError(error, "posix_openpt");
        return false;
    }
    char name[PATH_MAX] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof name) != 0) {
        SetError(error, "pseudo-terminal set-up");
        CloseAll();
        return false;
    }
    slavePath_ = name;
    slaveHold_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios tio{};
    if (slaveHold_ < 0 || ::tcgetattr(slaveHold_, &tio) != 0) {
        SetError(error, "open " + slavePath_);
        CloseAll();
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    ::tcsetattr(slaveHold_, TCSANOW, &tio);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        SetError(error, "pipe");
        CloseAll();
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    if (!linkPath_.empty() && !MakeLink(error)) {
        CloseAll();
        return false;
    }
    stop_ = false;
    worker_ = std::thread([this] { Run(); });
    return true;
}

bool PtyLink::MakeLink(std::string* error) {
    struct stat st {};
    if (::lstat(linkPath_.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            if (error) *error = linkPath_ + " exists and is not a symlink; left alone";
            return false;
        }
        ::unlink(linkPath_.c_str());
    }
    if (::symlink(slavePath_.c_str(), linkPath_.c_str()) != 0) {
        SetError(error, "symlink " + linkPath_);
        return false;
    }
    linkMade_ = true;
    return true;
}

void PtyLink::RemoveLink() {
    if (!linkMade_) return;
    linkMade_ = false;
    std::array<char, PATH_MAX> target{};
    const ssize_t n = ::readlink(linkPath_.c_str(), target.data(), target.size() - 1);
    // Only our own link goes: another program may have replaced it meanwhile.
    if (n > 0 && slavePath_ == std::string(target.data(), static_cast<size_t>(n)))
        ::unlink(linkPath_.c_str());
}

void PtyLink::Stop() {
    Vanish();
    RemoveLink();
}

void PtyLink::Vanish() {
    if (worker_.joinable()) {
        stop_ = true;
        const char b = 1;
        [[maybe_unused]] const ssize_t w = ::write(wakeWrite_, &b, 1);
        worker_.join();
    }
    CloseAll();
}

void PtyLink::CloseAll() {
    CloseFd(master_);
    CloseFd(slaveHold_);
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
}

void PtyLink::Run() {
    std::vector<uint8_t> pending;
    size_t sent = 0;
    std::array<uint8_t, kChunk> input{};
    bool burst = false;
    LinePeer::TimePoint lastInput{};

    while (!stop_) {
        if (peer_.HungUp()) {
            // The device is unplugged: the host's side sees a hang-up from now on.
            CloseFd(master_);
            CloseFd(slaveHold_);
            return;
        }
        auto now = LinePeer::SteadyClock::now();
        if (burst && now - lastInput >= std::chrono::milliseconds(kBurstGapMs)) {
            peer_.EndOfBurst(now);
            burst = false;
        }

        bool moreReady = false;
        if (sent == pending.size()) {
            pending.resize(kChunk);
            pending.resize(peer_.Take(pending.data(), kChunk, now));
            sent = 0;
            moreReady = pending.size() == kChunk;
        }
        bool blocked = false;
        while (sent < pending.size()) {
            const ssize_t w = ::write(master_, pending.data() + sent, pending.size() - sent);
            if (w > 0) {
                sent += static_cast<size_t>(w);
            } else if (w < 0 && errno == EINTR) {
                continue;
            } else {
                blocked = true;  // the host does not read: wait until the pty takes more
                break;
            }
        }
        if (!blocked && moreReady) continue;

        int timeoutMs = kIdlePollMs;
        if (!blocked) {
            const LinePeer::TimePoint next = peer_.NextEvent(now);
            if (next <= now) {
                timeoutMs = 0;
            } else if (next != LinePeer::TimePoint::max()) {
                const auto wait = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
                timeoutMs = static_cast<int>(std::clamp<long long>(wait, 1, kIdlePollMs));
            }
        }
        if (burst) timeoutMs = std::min(timeoutMs, kBurstGapMs);

        pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                         {wakeRead_, POLLIN, 0}};
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0 && errno != EINTR) break;
        if (r <= 0) continue;
        if (fds[1].revents & POLLIN) {
            char drain[16];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            now = LinePeer::SteadyClock::now();
            termios tio{};
            if (::tcgetattr(slaveHold_, &tio) == 0)
                peer_.HostLineRate(RateOfSpeed(cfgetospeed(&tio)));
            for (;;) {
                const ssize_t n = ::read(master_, input.data(), input.size());
                if (n <= 0) break;
                peer_.HostBytes(std::span(input.data(), static_cast<size_t>(n)), now);
                burst = true;
                lastInput = now;
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // Not expected while the slave is held open; do not spin if it happens.
            ::poll(nullptr, 0, 10);
        }
    }
}

}  // namespace veska::sim
