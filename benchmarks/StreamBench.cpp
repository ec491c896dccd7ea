// Stream throughput against the simulated sensor on a pty, in process:
//  (b) paced at 921600 bit/s: samples received against what the line carries, samples
//      lost, CPU time of the stream thread per second of streaming;
//  (c) unpaced: samples per second of the stream thread against a plain reader that only
//      reads and decodes.
// Usage: veska_bench_stream [paced seconds, default 10] [unpaced seconds, default 3]
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

#include "benchmarks/BenchSupport.h"
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
    std::printf("    stream thread CPU     %.4f s per s of streaming\n",
                host.stream.Stream().ThreadCpuSeconds() / streamed);
    std::printf("    process CPU (incl. the simulator's pty worker) %.4f s per s\n",
                processCpu / streamed);
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
    sensor.StartStream(1);
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
    sensor.StopStream(1);
    sensor.StopStream(1);
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
