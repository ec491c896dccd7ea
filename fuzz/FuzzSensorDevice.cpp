// Any bytes on the host's side of the line: the simulated sensor must parse them as its
// firmware would, without a crash, and only ever answer with bytes that have bit 7 set.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/SensorDevice.h"
#include "sim/World.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    veska::sim::World world;
    veska::sim::SensorDevice device(world);
    device.Feed(std::span<const uint8_t>(data, size));
    device.EndOfBurst();
    std::vector<uint8_t> out;
    device.TakeOutput(out);
    for (uint8_t b : out) {
        if ((b & 0x80) == 0) __builtin_trap();
    }
    return 0;
}
