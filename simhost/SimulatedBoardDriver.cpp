#include "simhost/SimulatedBoardDriver.h"

#include <memory>

#include "sim/AnalogBoardDevice.h"

namespace veska::simhost {

SimulatedBoardDriver::SimulatedBoardDriver(sim::VirtualBench& bench, platform::Clock& clock)
    : SimulatedBoardParts(clock), BoardDriverExports(SimulatedBoardParts::driver) {
    auto board = std::make_unique<sim::SimAnalogBoard>(bench.GetWorld());
    board->ConnectTrigger(&bench.GetStage());
    bus.AddDevice(std::move(board));
}

}  // namespace veska::simhost
