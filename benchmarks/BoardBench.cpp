// The analog board driver against the simulated board: the image load's own time beyond
// its fixed waits, and sample delivery through GetDeviceData against the board's rate.
// Plain timed runs; figures are printed as ratios.
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "driver/BoardDriver.h"
#include "driver/BoardProtocol.h"
#include "driver/Images.h"
#include "sim/AnalogBoardDevice.h"
#include "sim/SimUsbBackend.h"
#include "sim/World.h"

namespace {

using Clock = std::chrono::steady_clock;
using veska::driver::BoardDriver;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Rig {
    veska::sim::World world;
    veska::sim::SimUsbBackend bus;
    veska::sim::SimAnalogBoard* board;
    veska::driver::EmbeddedImages images;

    Rig() {
        board = &static_cast<veska::sim::SimAnalogBoard&>(
            bus.AddDevice(std::make_unique<veska::sim::SimAnalogBoard>(world)));
    }
};

void ImageLoad() {
    constexpr int kRuns = 5;
    // The fixed waits of one attempt [s]: 1 + 1 + 1000 + 1 + 100 ms of sleeps, one drain pass
    // of 100 ms, and the 300 ms read time-out of the answer (the board sends one byte of
    // the two asked for).
    constexpr double kSleeps = 1.103;
    constexpr double kDrain = 0.100;
    constexpr double kAnswerWait = 0.300;

    std::span<const uint8_t> image;
    veska::driver::EmbeddedImages images;
    images.Find(101, veska::driver::kImageType, image);
    const uint32_t bits = veska::driver::ImageBitCount(image);

    auto start = Clock::now();
    size_t staged = 0;
    for (int i = 0; i < kRuns; ++i) staged += veska::driver::StageImageBits(image, bits).size();
    const double staging = SecondsSince(start) / kRuns;

    // The writes alone: 318,352 pin bytes in pieces of 64 KiB into the board in bit-bang mode.
    Rig rig;
    veska::platform::FT_HANDLE h = nullptr;
    rig.bus.Open(0, &h);
    const std::vector<uint8_t> pins = veska::driver::StageImageBits(image, bits);
    start = Clock::now();
    for (int i = 0; i < kRuns; ++i) {
        rig.bus.SetBitMode(h, 0xFF, 1);
        size_t done = 0;
        while (done < pins.size()) {
            const auto piece = static_cast<uint32_t>(std::min<size_t>(pins.size() - done, 65536));
            uint32_t written = 0;
            rig.bus.Write(h, pins.data() + done, piece, &written);
            done += written;
        }
        rig.bus.SetBitMode(h, 0xFF, 0);
        rig.bus.Purge(h, 1);
    }
    const double writes = SecondsSince(start) / kRuns;
    rig.bus.Close(h);

    // Whole attempts with the driver's waits on a fake clock: what is left is the driver's
    // own time plus the answer's read time-out, which runs on the board's real clock.
    Rig lockRig;
    veska::platform::FakeClock fake;
    BoardDriver driver(&lockRig.bus, fake, lockRig.images);
    uint32_t count = 0;
    driver.GetDevicesCnt(&count);
    driver.LockDevice(0);
    start = Clock::now();
    for (int i = 0; i < kRuns; ++i) driver.LoadImage(0, 101);
    const double attempt = SecondsSince(start) / kRuns;
    const double own = attempt - kAnswerWait;
    const double fixed = kSleeps + kDrain + kAnswerWait;
    driver.UnlockDevice(0);

    std::printf("image load (%u bits, %zu pin bytes per attempt)\n", bits, staged / kRuns);
    std::printf("  staging                  %8.2f ms\n", staging * 1e3);
    std::printf("  writes into the board    %8.2f ms  (%.0f MB/s)\n", writes * 1e3,
                double(pins.size()) / writes / 1e6);
    std::printf("  attempt beyond its waits %8.2f ms\n", own * 1e3);
    std::printf("  fixed waits              %8.2f ms\n", fixed * 1e3);
    std::printf("  own time / fixed waits   %8.4f\n", own / fixed);
}

void SampleDelivery() {
    constexpr double kSeconds = 2.0;
    Rig rig;
    veska::platform::FakeClock fake;  // the load's waits; reads below run in real time
    BoardDriver driver(&rig.bus, fake, rig.images);
    uint32_t count = 0;
    driver.GetDevicesCnt(&count);
    if (driver.LockDevice(0) != 0) {
        std::fprintf(stderr, "the simulated board did not lock\n");
        return;
    }
    DeviceConfig config{};
    config.reg0Value = 500;
    config.reg8Value = 0xFFFF;
    config.channelOn[0] = 1;
    driver.ConfigDevice(0, &config);
    const double rate = rig.board->SampleRate();

    // Immediate mode, polled every millisecond as the bench's timer does.
    std::vector<uint8_t> buffer(524288);
    driver.StartDevice(0);
    auto start = Clock::now();
    uint64_t bytes = 0;
    uint64_t calls = 0;
    double inCalls = 0;
    bool overflow = false;
    while (SecondsSince(start) < kSeconds) {
        uint32_t length = uint32_t(buffer.size()) | VOKTDRV_IMMEDIATE;
        uint8_t flag = 0;
        const auto t = Clock::now();
        driver.GetDeviceData(0, buffer.data(), &length, &flag);
        inCalls += SecondsSince(t);
        overflow = overflow || flag != 0;
        bytes += length;
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double elapsed = SecondsSince(start);
    std::printf("sample delivery, immediate mode polled every 1 ms (%.0f samples/s)\n", rate);
    std::printf("  delivered / produced     %8.4f  (%llu samples in %.2f s, overflow %s)\n",
                double(bytes) / 2 / (rate * elapsed), static_cast<unsigned long long>(bytes / 2),
                elapsed, overflow ? "yes" : "no");
    std::printf("  time per call            %8.1f us  (%llu calls)\n",
                inCalls / double(calls) * 1e6, static_cast<unsigned long long>(calls));

    // Waiting mode: one second of samples in one call.
    driver.StartDevice(0);
    const auto wanted = static_cast<uint32_t>(rate * 2);
    start = Clock::now();
    uint32_t length = wanted;
    uint8_t flag = 0;
    driver.GetDeviceData(0, buffer.data(), &length, &flag);
    const double waited = SecondsSince(start);
    std::printf("sample delivery, waiting mode for %u bytes (1 s of samples)\n", wanted);
    std::printf("  call time / sample time  %8.4f  (%.3f s)\n", waited / 1.0, waited);
    driver.StopDevice(0);
    driver.UnlockDevice(0);
}

}  // namespace

int main() {
    ImageLoad();
    SampleDelivery();
    return 0;
}
