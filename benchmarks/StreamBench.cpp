// Stream throughput against the simulated sensor on a pty, in process:
//  (b) paced at 921600 bit/s: samples received against what the line carries, samples
//      lost, CPU time of the stream thread per second of streaming, beside a plain reader
//      that takes the same paced bytes from the pty with one read() per chunk that comes
//      (the least any reader can spend), and their ratio;
//  (c) unpaced: samples per second of the stream thread against a plain reader that only
//      reads and decodes.
// Usage: veska_bench_stream [paced seconds, default 10] [unpaced seconds, default 3]
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "benchmarks/BenchSupport.h"
#include "link/Framing.h"
#include "link/MorlaInterface.h"
#include "link/Status.h"

namespace {

using veska::benchmarks::SecondsSince;
using veska::benchmarks::SimHost;
using SteadyClock = std::chrono::steady_clock;

constexpr double kTopBaud = 921600.0;
constexpr double kBitsPerByte = 11.0;  // start, 8 data, parity, stop
constexpr double kLineBytesPerSample = 4.0;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

double ThreadCpuSeconds() {
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) + static_cast<double>(cpu.tv_nsec) * 1e-9;
}

struct PlainResult {
    double seconds = 0.0;     ///< streamed [s]
    double cpuSeconds = 0.0;  ///< reader thread CPU [s]
    uint64_t bytes = 0;
    uint64_t reads = 0;  ///< read() calls that returned bytes
};

/// Writes one request packet to the raw descriptor.
bool SendPacket(int fd, uint8_t command, std::vector<uint8_t> data = {}) {
    std::vector<uint8_t> packet;
    veska::link::BuildRequest(1, command, data, packet);
    return ::write(fd, packet.data(), packet.size()) == static_cast<ssize_t>(packet.size());
}

/// The least a reader can do with the paced stream: the pty opened raw and blocking, one
/// read() per chunk that has come, nothing decoded. Runs on its own thread so that its CPU
/// time is its own.
PlainResult PlainPacedReader(double seconds) {
    veska::platform::FakeClock clock;
    veska::sim::LineOptions line;
    line.baudOverride = static_cast<uint32_t>(kTopBaud);
    SimHost host(line, clock);
    (void)host.sensor.ClosePort();  // the port is taken exclusively; the reader opens it
    const int fd = ::open(host.pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    PlainResult result;
    if (fd < 0) {
        std::printf("    plain reader: cannot open %s\n", host.pty.SlavePath().c_str());
        return result;
    }
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    if (!SendPacket(fd, veska::link::kCmdStartStream)) std::printf("    plain reader: no start\n");
    std::thread reader([&] {
        std::vector<uint8_t> buffer(64 * 1024);
        const double cpuBefore = ThreadCpuSeconds();
        const auto start = SteadyClock::now();
        while (SecondsSince(start) < seconds) {
            const ssize_t n = ::read(fd, buffer.data(), buffer.size());
            if (n <= 0) break;
            result.bytes += static_cast<uint64_t>(n);
            ++result.reads;
        }
        result.seconds = SecondsSince(start);
        result.cpuSeconds = ThreadCpuSeconds() - cpuBefore;
    });
    reader.join();
    SendPacket(fd, veska::link::kCmdStopStream, {0, 0});
    ::close(fd);
    return result;
}

void Paced(double seconds) {
    veska::platform::FakeClock clock;
    veska::sim::LineOptions line;
    line.baudOverride = static_cast<uint32_t>(kTopBaud);
    SimHost host(line, clock);

    const double cpuBefore = ProcessCpuSeconds();
    host.stream.Start();
    const auto start = SteadyClock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double streamed = SecondsSince(start);
    host.stream.Stop();
    const double processCpu = ProcessCpuSeconds() - cpuBefore;

    const double capacity = kTopBaud / kBitsPerByte / kLineBytesPerSample;  // 20945 /s
    const uint64_t received = host.stream.Stream().Counters().received;
    const uint64_t lost = host.stream.Stream().Counters().failures + host.sensorLine.SamplesLost();
    std::printf("(b) paced stream at 921600 bit/s over %.1f s\n", streamed);
    std::printf("    samples received      %llu (%.0f/s)\n",
                static_cast<unsigned long long>(received), received / streamed);
    std::printf("    line capacity         %.0f/s\n", capacity);
    std::printf("    ratio received/capacity %.4f\n", received / (capacity * streamed));
    std::printf("    samples lost          %llu (read failures %llu, overrun at the sensor %llu)\n",
                static_cast<unsigned long long>(lost),
                static_cast<unsigned long long>(host.stream.Stream().Counters().failures),
                static_cast<unsigned long long>(host.sensorLine.SamplesLost()));
    const double threadCpu = host.stream.Stream().ThreadCpuSeconds() / streamed;
    std::printf("    stream thread CPU     %.4f s per s of streaming\n", threadCpu);
    std::printf("    process CPU (incl. the simulator's pty worker) %.4f s per s\n",
                processCpu / streamed);

    const PlainResult plain = PlainPacedReader(seconds);
    if (plain.seconds <= 0.0) return;
    const double plainCpu = plain.cpuSeconds / plain.seconds;
    const double plainSamples = static_cast<double>(plain.bytes) / kLineBytesPerSample;
    std::printf(
        "    plain reader          %.0f samples/s in %.0f read() calls/s "
        "(%.1f samples per call)\n",
        plainSamples / plain.seconds, static_cast<double>(plain.reads) / plain.seconds,
        plain.reads != 0 ? plainSamples / static_cast<double>(plain.reads) : 0.0);
    std::printf("    plain reader CPU      %.4f s per s\n", plainCpu);
    std::printf("    ratio thread CPU/plain reader CPU %.2f\n",
                plainCpu > 0.0 ? threadCpu / plainCpu : 0.0);
}

double StreamThreadRate(double seconds) {
    veska::platform::FakeClock clock;
    veska::sim::LineOptions line;
    line.unpaced = true;
    SimHost host(line, clock);
    host.stream.Start();
    const auto start = SteadyClock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double streamed = SecondsSince(start);
    host.stream.Stop();
    if (host.stream.Stream().Counters().failures != 0) {
        std::printf("    stream thread: %llu read failures\n",
                    static_cast<unsigned long long>(host.stream.Stream().Counters().failures));
    }
    return host.stream.Stream().Counters().received / streamed;
}

/// The plain reader runs on its own thread at the priority the stream thread asks for
/// (a real-time policy where the system grants it), so that only the work per sample differs.
double PlainReaderRate(double seconds, bool& realTime) {
    veska::platform::FakeClock clock;
    veska::sim::LineOptions line;
    line.unpaced = true;
    SimHost host(line, clock);
    auto& sensor = host.sensor;
    (void)sensor.StartStream(1);
    uint64_t samples = 0;
    uint64_t failures = 0;
    double streamed = 0.0;
    std::thread reader([&] {
        sched_param param{};
        param.sched_priority = 10;
        realTime = pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
        volatile float sink = 0.0f;
        const auto start = SteadyClock::now();
        while (SecondsSince(start) < seconds) {
            for (int i = 0; i < 256; ++i) {
                uint16_t raw = 0;
                if (sensor.ReadStreamSample(raw) == veska::link::kStatusOk) {
                    sink = static_cast<float>(static_cast<long double>(raw) * 50 / 50000);
                    ++samples;
                } else {
                    ++failures;
                }
            }
        }
        streamed = SecondsSince(start);
        (void)sink;
    });
    reader.join();
    (void)sensor.StopStream(1);
    (void)sensor.StopStream(1);
    if (failures != 0) {
        std::printf("    plain reader: %llu read failures\n",
                    static_cast<unsigned long long>(failures));
    }
    return samples / streamed;
}

void Unpaced(double seconds) {
    std::printf("(c) unpaced stream over %.1f s each\n", seconds);
    const double thread = StreamThreadRate(seconds);
    bool realTime = false;
    const double plain = PlainReaderRate(seconds, realTime);
    std::printf("    stream thread         %.0f samples/s\n", thread);
    std::printf("    plain reader          %.0f samples/s (%s priority)\n", plain,
                realTime ? "real-time" : "normal");
    std::printf("    ratio thread/plain    %.3f\n", thread / plain);
}

}  // namespace

int main(int argc, char** argv) {
    const double paced = argc > 1 ? std::atof(argv[1]) : 10.0;
    const double unpaced = argc > 2 ? std::atof(argv[2]) : 3.0;
    if (paced > 0) Paced(paced);
    if (unpaced > 0) Unpaced(unpaced);
    return 0;
}
