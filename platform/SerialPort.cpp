#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/serial.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "platform/LineSettings.h"
#include "platform/ReadTimeoutRule.h"
#include "platform/Termios2.h"

namespace veska::platform {

namespace {

using SteadyClock = std::chrono::steady_clock;

struct BaudEntry {
    uint32_t rate;  ///< [bit/s]
    speed_t code;
};

/// The rates termios names; others go through termios2.
constexpr BaudEntry kStandardRates[] = {
    {50, B50},           {75, B75},         {110, B110},       {134, B134},     {150, B150},
    {200, B200},         {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
    {2400, B2400},       {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
    {57600, B57600},     {115200, B115200}, {230400, B230400},
#ifdef B460800
    {460800, B460800},
#endif
#ifdef B500000
    {500000, B500000},
#endif
#ifdef B576000
    {576000, B576000},
#endif
#ifdef B921600
    {921600, B921600},
#endif
#ifdef B1000000
    {1000000, B1000000},
#endif
#ifdef B1152000
    {1152000, B1152000},
#endif
#ifdef B1500000
    {1500000, B1500000},
#endif
#ifdef B2000000
    {2000000, B2000000},
#endif
#ifdef B2500000
    {2500000, B2500000},
#endif
#ifdef B3000000
    {3000000, B3000000},
#endif
#ifdef B3500000
    {3500000, B3500000},
#endif
#ifdef B4000000
    {4000000, B4000000},
#endif
};

const BaudEntry* FindStandardRate(uint32_t rate) {
    for (const BaudEntry& e : kStandardRates) {
        if (e.rate == rate) return &e;
    }
    return nullptr;
}

const BaudEntry& NearestStandardRate(uint32_t rate) {
    auto distance = [rate](const BaudEntry& e) {
        return e.rate > rate ? e.rate - rate : rate - e.rate;
    };
    return *std::min_element(
        std::begin(kStandardRates), std::end(kStandardRates),
        [&](const BaudEntry& a, const BaudEntry& b) { return distance(a) < distance(b); });
}

timespec ToTimespec(ReadTimeoutRule::Duration d) {
    using namespace std::chrono;
    const auto s = duration_cast<seconds>(d);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(s.count());
    ts.tv_nsec = static_cast<long>((d - s).count());
    return ts;
}

void SetControlLines(int fd, bool dtrOn, bool rtsOn) {
    int set = (dtrOn ? TIOCM_DTR : 0) | (rtsOn ? TIOCM_RTS : 0);
    int clear = (dtrOn ? 0 : TIOCM_DTR) | (rtsOn ? 0 : TIOCM_RTS);
    // Pseudo-terminals have no modem lines and refuse; that is fine.
    if (set != 0) (void)ioctl(fd, TIOCMBIS, &set);
    if (clear != 0) (void)ioctl(fd, TIOCMBIC, &clear);
}

/// Asks a UART or USB serial driver to hand over received bytes at once.
void RequestLowLatency(int fd) {
#if defined(__linux__) && defined(TIOCGSERIAL) && defined(ASYNC_LOW_LATENCY)
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0 || (ss.flags & ASYNC_LOW_LATENCY) != 0) return;
    ss.flags |= ASYNC_LOW_LATENCY;
    (void)ioctl(fd, TIOCSSERIAL, &ss);
#else
    (void)fd;
#endif
}

}  // namespace

SerialPort::SerialPort() {
    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wakeRead_ = fds[0];
        wakeWrite_ = fds[1];
    }
}

SerialPort::~SerialPort() {
    Close();
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

bool SerialPort::Open(const std::string& path) {
    Close();
    openError_.clear();
    if (path.empty()) {
        openError_ = "no device name";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        openError_ = std::strerror(errno);
        return false;
    }
    // Only terminals; and no second user, not even a second process of our own (TIOCEXCL
    // does not hold against root, the advisory lock does).
    if (!isatty(fd)) {
        openError_ = "not a serial device";
        ::close(fd);
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        openError_ = errno == EWOULDBLOCK ? "in use by another program" : std::strerror(errno);
        ::close(fd);
        return false;
    }
#ifdef TIOCEXCL
    (void)ioctl(fd, TIOCEXCL);
#endif
    fd_ = fd;
    return true;
}

void SerialPort::Close() {
    if (fd_ < 0) return;
#ifdef TIOCNXCL
    (void)ioctl(fd_, TIOCNXCL);
#endif
    ::close(fd_);
    fd_ = -1;
    readAhead_.Clear();
}

bool SerialPort::Configure(const SerialLine& line) {
    if (fd_ < 0) return false;
    termios before{};
    if (tcgetattr(fd_, &before) != 0) return false;
    termios tio = LineTermios(line, before);

    // Rate 0 would hang up the line; it keeps the current rate instead.
    const BaudEntry* standard = line.baudRate != 0 ? FindStandardRate(line.baudRate) : nullptr;
    if (standard != nullptr) {
        cfsetispeed(&tio, standard->code);
        cfsetospeed(&tio, standard->code);
    }
    // A new rate applies to the bytes still queued for sending as well: let them go out at
    // the rate they were written for first (a UART's FIFO would send them garbled). No flow
    // control is set, so the wait is the queued bytes' line time.
    if (line.baudRate != 0) (void)tcdrain(fd_);
    int rc = tcsetattr(fd_, TCSANOW, &tio);
    if (rc != 0 && standard != nullptr) {
        // Some pseudo-terminals refuse rates: keep the old one and set the rest.
        cfsetispeed(&tio, cfgetispeed(&before));
        cfsetospeed(&tio, cfgetospeed(&before));
        rc = tcsetattr(fd_, TCSANOW, &tio);
    }
    if (rc != 0) return false;
    if (standard == nullptr && line.baudRate != 0 && !SetCustomBaudRate(fd_, line.baudRate)) {
        const BaudEntry& nearest = NearestStandardRate(line.baudRate);
        cfsetispeed(&tio, nearest.code);
        cfsetospeed(&tio, nearest.code);
        (void)tcsetattr(fd_, TCSANOW, &tio);
    }
    if (line.baudRate != 0) baudRate_ = line.baudRate;

    SetControlLines(fd_, line.dtrOn, line.rtsOn);
    RequestLowLatency(fd_);
    return true;
}

void SerialPort::Purge(uint32_t flags) {
    if (fd_ < 0) return;
    const bool rx = (flags & (kPurgeRxAbort | kPurgeRxClear)) != 0;
    const bool tx = (flags & (kPurgeTxAbort | kPurgeTxClear)) != 0;
    if (rx) readAhead_.Clear();
    if (rx && tx) {
        tcflush(fd_, TCIOFLUSH);
    } else if (rx) {
        tcflush(fd_, TCIFLUSH);
    } else if (tx) {
        tcflush(fd_, TCOFLUSH);
    }
}

bool SerialPort::Read(void* buffer, uint32_t count, uint32_t& got) {
    got = 0;
    if (fd_ < 0 || (buffer == nullptr && count != 0)) return false;
    return readAhead_.Read(*this, timeouts_.readInterval, timeouts_.readMultiplier,
                           timeouts_.readConstant, static_cast<uint8_t*>(buffer), count, got);
}

ByteSource::TimePoint SerialPort::Now() { return SteadyClock::now(); }

ByteSource::Ready SerialPort::Wait(Duration timeout) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
    const timespec ts = ToTimespec(timeout);
    const int rc = ppoll(fds, 2, timeout == ReadTimeoutRule::kNoLimit ? nullptr : &ts, nullptr);
    if (rc < 0) return errno == EINTR ? Ready::kTimeout : Ready::kFailed;
    if ((fds[1].revents & POLLIN) != 0) return Ready::kWoken;
    if ((fds[0].revents & POLLNVAL) != 0) return Ready::kFailed;
    lastEvents_ = fds[0].revents;
    return (lastEvents_ & (POLLIN | POLLHUP | POLLERR)) != 0 ? Ready::kInput : Ready::kTimeout;
}

long SerialPort::ReadSome(uint8_t* out, size_t max) {
    for (;;) {
        const ssize_t n = ::read(fd_, out, max);
        if (n > 0) return static_cast<long>(n);
        if (n == 0) return -1;  // end of file: the line was hung up
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // Readable without data: only a hang-up or an error condition does that.
            return (lastEvents_ & (POLLHUP | POLLERR)) != 0 ? -1 : 0;
        }
        return -1;  // EIO: the device or the pseudo-terminal's master is gone
    }
}

bool SerialPort::Write(const void* buffer, uint32_t count, uint32_t& written) {
    written = 0;
    if (fd_ < 0 || (buffer == nullptr && count != 0)) return false;
    if (count == 0) return true;
    const auto* in = static_cast<const uint8_t*>(buffer);

    bool limited = timeouts_.writeMultiplier != 0 || timeouts_.writeConstant != 0;
    SteadyClock::time_point deadline{};
    if (limited) {
        const uint64_t budgetMs =
            uint64_t{timeouts_.writeMultiplier} * count + timeouts_.writeConstant;
        // 12 bits per byte: start, 8 data, parity and two stop bits, the widest frame.
        const uint64_t lineMs = (uint64_t{count} * 12 * 1000 + baudRate_ - 1) / baudRate_ + 100;
        deadline = SteadyClock::now() + std::chrono::milliseconds(std::max(budgetMs, lineMs));
    }
    while (written < count) {
        const ssize_t n = ::write(fd_, in + written, count - written);
        if (n > 0) {
            written += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        // Output queue full: wait for room until the deadline.
        pollfd pfd{fd_, POLLOUT, 0};
        timespec ts{};
        if (limited) {
            const auto left = deadline - SteadyClock::now();
            if (left <= SteadyClock::duration::zero()) return true;  // short write
            ts = ToTimespec(left);
        }
        const int rc = ppoll(&pfd, 1, limited ? &ts : nullptr, nullptr);
        if (rc < 0 && errno != EINTR) return false;
        if (rc > 0 && (pfd.revents & POLLNVAL) != 0) return false;
        // POLLHUP or POLLERR: the next write reports the error.
    }
    return true;
}

void SerialPort::Wake() {
    wakePending_.store(true, std::memory_order_release);
    if (wakeWrite_ < 0) return;
    const char byte = 1;
    // A full pipe means a wake-up is pending already.
    const ssize_t n = ::write(wakeWrite_, &byte, 1);
    (void)n;
}

void SerialPort::ClearWake() {
    wakePending_.store(false, std::memory_order_release);
    if (wakeRead_ < 0) return;
    char sink[64];
    while (::read(wakeRead_, sink, sizeof sink) > 0) {
    }
}

}  // namespace veska::platform
