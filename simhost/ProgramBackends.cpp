#include "simhost/ProgramBackends.h"

#include <sys/stat.h>

#include "analog/LoadedDriver.h"
#include "sim/SimUsbBackend.h"
#include "simhost/SimulatedBoardDriver.h"

namespace veska::simhost {

void ChooseUsbDevices(platform::UsbChoice choice, const sim::VirtualBench* bench) {
    if (bench != nullptr) return;
    switch (choice) {
        case platform::UsbChoice::Real:
            platform::SetUsbBackend(platform::RealUsbBackend());
            break;
        case platform::UsbChoice::Simulated:
            platform::SetUsbBackend(&sim::DefaultSimUsbBus());
            break;
        case platform::UsbChoice::Unknown:
            platform::SetUsbBackend(nullptr);
            break;
    }
}

std::string SimulatedDriverLibraryPath() {
    struct stat st {};
    if (::stat(VESKA_SIM_DRIVER_LIBRARY, &st) == 0) return VESKA_SIM_DRIVER_LIBRARY;
    return "libVOKTDrv-sim.so.2";
}

std::unique_ptr<analog::VoktDriver> ChooseBoardDriver(platform::UsbChoice choice,
                                                      sim::VirtualBench* bench,
                                                      platform::Clock& clock) {
    if (bench != nullptr) return std::make_unique<SimulatedBoardDriver>(*bench, clock);
    if (choice == platform::UsbChoice::Simulated) {
        return std::make_unique<analog::LoadedDriver>(SimulatedDriverLibraryPath(), true);
    }
    // Without USB devices the driver answers as the library does without USB.
    if (choice == platform::UsbChoice::Unknown)
        return std::make_unique<analog::LoadedDriver>("", false);
    return std::make_unique<analog::LibraryDriver>();
}

}  // namespace veska::simhost
