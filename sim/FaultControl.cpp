#include "sim/FaultControl.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace veska::sim {

namespace {

std::string_view Trim(std::string_view s) {
    const char* space = " \t\r\n";
    const size_t first = s.find_first_not_of(space);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(space) - first + 1);
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

constexpr const char* kCommands =
    "fault DEVICE:NAME[=VALUE][@N]  switch a fault on (after N more requests)\n"
    "clear DEVICE | clear all       switch faults off; a vanished port comes back\n"
    "status                         the faults of every device\n";

}  // namespace

FaultControl::FaultControl(VirtualBench& bench, std::FILE* out) : bench_(bench), out_(out) {}

FaultControl::~FaultControl() { Stop(); }

std::string FaultControl::Execute(std::string_view line) {
    line = Trim(line);
    const size_t space = line.find_first_of(" \t");
    const std::string_view verb = line.substr(0, space);
    const std::string_view arg =
        space == std::string_view::npos ? std::string_view{} : Trim(line.substr(space));
    if (verb == "fault" && !arg.empty()) {
        std::string error;
        if (!bench_.SetFault(arg, &error)) return "error: " + error + "\n";
        return "ok " + std::string(arg) + "\n";
    }
    if (verb == "clear" && !arg.empty()) {
        std::string error;
        bool ok = true;
        if (arg == "all") {
            for (FaultDevice device : kFaultDevices) ok = bench_.ClearFaults(device, &error) && ok;
        } else if (const auto device = ParseFaultDevice(arg)) {
            ok = bench_.ClearFaults(*device, &error);
        } else {
            return "error: unknown device '" + std::string(arg) +
                   "' (sensor, stage, encoder, board or all)\n";
        }
        return ok ? "ok clear " + std::string(arg) + "\n" : "error: " + error + "\n";
    }
    if (verb == "status" && arg.empty()) return bench_.FaultStatus();
    if (verb == "help" && arg.empty()) return kCommands + FaultHelp();
    if (verb.empty()) return {};
    return "error: unknown command '" + std::string(line) + "' (fault, clear, status, help)\n";
}

bool FaultControl::Start(std::string* error) {
    if (worker_.joinable()) return true;
    const std::string dir = bench_.PortDirectory();
    auto fail = [&](const std::string& what) {
        if (error) *error = what + ": " + std::strerror(errno);
        CloseFd(fifo_);
        CloseFd(wakeRead_);
        CloseFd(wakeWrite_);
        return false;
    };
    if (dir.empty()) {
        errno = ENOENT;
        return fail("the bench has no port directory");
    }
    fifoPath_ = dir + "/control";
    statusPath_ = dir + "/faults";
    struct stat st {};
    if (::lstat(fifoPath_.c_str(), &st) == 0) {
        if (!S_ISFIFO(st.st_mode)) {
            errno = EEXIST;
            return fail(fifoPath_ + " exists and is not a FIFO; left alone");
        }
    } else if (::mkfifo(fifoPath_.c_str(), 0600) != 0) {
        return fail("mkfifo " + fifoPath_);
    }
    // Read and write: the FIFO never reports end of file between writers.
    fifo_ = ::open(fifoPath_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fifo_ < 0) return fail("open " + fifoPath_);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return fail("pipe");
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    WriteStatus();
    stop_ = false;
    worker_ = std::thread([this] { Run(); });
    return true;
}

void FaultControl::Stop() {
    if (worker_.joinable()) {
        stop_ = true;
        const char b = 1;
        [[maybe_unused]] const ssize_t w = ::write(wakeWrite_, &b, 1);
        worker_.join();
    }
    if (fifo_ >= 0) {
        ::unlink(fifoPath_.c_str());
        ::unlink(statusPath_.c_str());
    }
    CloseFd(fifo_);
    CloseFd(wakeRead_);
    CloseFd(wakeWrite_);
}

void FaultControl::WriteStatus() {
    const std::string temporary = statusPath_ + ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        file << bench_.FaultStatus();
        if (!file.flush()) return;
    }
    std::rename(temporary.c_str(), statusPath_.c_str());
}

void FaultControl::Run() {
    std::string line;
    bool overlong = false;  // the line being read is too long: skipped to its end
    char buffer[256];
    while (!stop_) {
        pollfd fds[2] = {{fifo_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (stop_) break;
        if (!(fds[0].revents & POLLIN)) continue;
        const ssize_t n = ::read(fifo_, buffer, sizeof buffer);
        if (n <= 0) continue;
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                if (line.size() < kMaxLine)
                    line.push_back(buffer[i]);
                else
                    overlong = true;
                continue;
            }
            const std::string answer = overlong ? "error: command line too long\n" : Execute(line);
            line.clear();
            overlong = false;
            if (answer.empty()) continue;
            WriteStatus();
            if (out_) {
                std::fputs(answer.c_str(), out_);
                std::fflush(out_);
            }
        }
    }
}

}  // namespace veska::sim
