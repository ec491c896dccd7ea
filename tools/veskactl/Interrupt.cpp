#include "tools/veskactl/Interrupt.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>

namespace veska::tools {

namespace {

// A signal handler can reach only static storage: these two are the process's one
// interrupt state. The flag is what the wait loops read; the pipe wakes a poll at once.
std::atomic<bool> gInterrupted{false};
int gWakePipe[2] = {-1, -1};
std::atomic<const char*> gNote{nullptr};

extern "C" void NoteInterrupt(int) {
    const int saved = errno;
    const bool first = !gInterrupted.exchange(true);
    const char* note = gNote.load();
    if (first && note != nullptr) {
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, note, std::strlen(note));
    }
    if (gWakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(gWakePipe[1], &byte, 1);
    }
    errno = saved;
}

}  // namespace

void CatchInterrupts() {
    if (gWakePipe[0] < 0 && ::pipe2(gWakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gWakePipe[0] = gWakePipe[1] = -1;
    }
    struct sigaction action {};
    action.sa_handler = NoteInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a blocking call returns and the loop looks
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

bool Interrupted() { return gInterrupted.load(); }

void SetInterruptNote(const char* text) { gNote.store(text); }

bool WaitUnlessInterrupted(int ms) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
    while (!Interrupted()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left <= 0) break;
        if (gWakePipe[0] < 0) {
            ::usleep(static_cast<useconds_t>(std::min<long long>(left, 50) * 1000));
            continue;
        }
        pollfd fd{gWakePipe[0], POLLIN, 0};
        ::poll(&fd, 1, static_cast<int>(left));
    }
    return Interrupted();
}

}  // namespace veska::tools
