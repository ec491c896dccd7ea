// Any bytes on the host's side of the motor controller's and the encoder's lines: both must
// parse them without a crash; the controller answers only status bytes, the encoder only
// whole replies, and the stage never leaves its travel.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/EncoderDevice.h"
#include "sim/MotorController.h"
#include "sim/Stage.h"
#include "sim/World.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace std::chrono_literals;
    veska::sim::World world;
    veska::sim::Stage stage(world, veska::sim::StageGeometry{});
    veska::sim::MotorController controller(stage);
    veska::sim::EncoderDevice encoder(stage);
    const auto t0 = std::chrono::steady_clock::now();
    const std::span<const uint8_t> bytes(data, size);
    controller.HostBytes(bytes, t0);
    encoder.HostLineRate(size > 0 && data[0] & 1 ? 460800 : 115200);
    encoder.HostBytes(bytes, t0);
    uint8_t out[4096];
    for (size_t n; (n = controller.Take(out, sizeof out, t0)) > 0;) {
        for (size_t i = 0; i < n; ++i) {
            if ((out[i] & 0xF0) != 0x30) __builtin_trap();
        }
    }
    size_t replyBytes = 0;
    for (size_t n; (n = encoder.Take(out, sizeof out, t0)) > 0;) replyBytes += n;
    if (replyBytes % 2 != 0) __builtin_trap();
    for (const auto at : {t0, t0 + 1h, t0 + 24h * 365}) {
        const int64_t position = stage.PositionSteps(at);
        if (position < 0 || position > stage.Geometry().TravelSteps()) __builtin_trap();
    }
    return 0;
}
