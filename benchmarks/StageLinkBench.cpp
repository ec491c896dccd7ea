// Exchanges per second of the bench's two small links over a pseudo-terminal at 460800
// bit/s, against the ceiling a real line of that rate sets for the bytes exchanged:
//  - motor status polls: 1 request byte and 1 reply byte, 10 bits each (8N1);
//  - encoder position reads: 2 request bytes and 8 reply bytes, 11 bits each (8E1).
// A pty carries bytes at any rate, so a ratio above 1 means the host's side of an exchange
// costs less than the line time it would take on a real line.
// Usage: veska_bench_stage_links [seconds per figure, default 3]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "benchmarks/BenchSupport.h"
#include "link/DunelInterface.h"
#include "link/MotorInterface.h"
#include "link/Status.h"
#include "sim/EncoderDevice.h"
#include "sim/MotorController.h"
#include "sim/PtyLink.h"
#include "sim/Stage.h"
#include "sim/World.h"

namespace {

using veska::benchmarks::SecondsSince;
using SteadyClock = std::chrono::steady_clock;

constexpr double kBaud = 460800.0;
constexpr double kMotorBits = 2 * 10.0;     // status request and reply, 8N1
constexpr double kEncoderBits = 10 * 11.0;  // GetResult request (2) and reply (8), 8E1

template <typename Exchange>
void Measure(const char* what, double seconds, double bitsPerExchange, Exchange exchange) {
    uint64_t done = 0;
    uint64_t failed = 0;
    const auto start = SteadyClock::now();
    while (SecondsSince(start) < seconds) {
        for (int i = 0; i < 64; ++i) (exchange() ? done : failed)++;
    }
    const double elapsed = SecondsSince(start);
    const double ceiling = kBaud / bitsPerExchange;
    std::printf("%s over %.1f s\n", what, elapsed);
    std::printf("    exchanges             %llu (%.0f/s), failed %llu\n",
                static_cast<unsigned long long>(done), done / elapsed,
                static_cast<unsigned long long>(failed));
    std::printf("    line ceiling          %.0f/s (%.0f bits each at 460800 bit/s)\n", ceiling,
                bitsPerExchange);
    std::printf("    ratio measured/ceiling %.3f\n", done / elapsed / ceiling);
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    if (!(seconds > 0.0)) {
        std::fprintf(stderr, "usage: veska_bench_stage_links [seconds]\n");
        return 2;
    }
    veska::sim::World world;
    veska::sim::Stage stage(world, veska::sim::StageGeometry{});
    stage.PlaceAt(800, SteadyClock::now());
    veska::sim::MotorController controller(stage);
    veska::sim::EncoderDevice encoderDevice(stage);
    veska::sim::PtyLink motorPty(controller);
    veska::sim::PtyLink encoderPty(encoderDevice);
    std::string error;
    if (!motorPty.Start(&error) || !encoderPty.Start(&error)) {
        std::fprintf(stderr, "cannot start the simulated devices: %s\n", error.c_str());
        return 1;
    }

    veska::link::TMotorInterface motor;
    if (motor.OpenPort(0, motorPty.SlavePath(), 460800) != veska::link::kStatusOk) return 1;
    Measure("motor status polls", seconds, kMotorBits, [&] {
        uint8_t nibble = 0;
        return motor.ReadMotorStatus(nibble) == veska::link::kStatusOk && nibble == 0;
    });

    veska::link::TDUNELInterface encoder;
    veska::link::EncoderState state;
    if (!veska::link::OpenEncoderPort(encoder, state, encoderPty.SlavePath(), 0)) {
        std::fprintf(stderr, "the simulated encoder did not answer\n");
        return 1;
    }
    Measure("encoder position reads", seconds, kEncoderBits, [&] {
        float mm = 0.0f;
        return veska::link::ReadEncoderPosition(encoder, state, mm) && mm > 9.99f;
    });
    static_cast<void>(motor.ClosePort());
    veska::link::CloseEncoderPort(encoder, state);
    motorPty.Stop();
    encoderPty.Stop();
    return 0;
}
