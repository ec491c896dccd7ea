#include "simhost/SimulatedBoardDriver.h"

#include <memory>

namespace veska::simhost {

SimulatedBoardDriver::SimulatedBoardDriver(sim::VirtualBench& bench, platform::Clock& clock)
    : driver_(&bus_, clock, images_) {
    auto board = std::make_unique<sim::SimAnalogBoard>(bench.GetWorld());
    board->ConnectTrigger(&bench.GetStage());
    bus_.AddDevice(std::move(board));
}

}  // namespace veska::simhost
