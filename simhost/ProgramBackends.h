#pragma once
#include <memory>

#include "analog/VoktDriver.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"
#include "sim/VirtualBench.h"

namespace veska::simhost {

/// Chooses the process's USB devices, once, at a program's start-up: the virtual bench's bus
/// when there is a bench (it chose it when it started), else the default simulated bus for
/// UsbChoice::Simulated, libftdi1 for UsbChoice::Real, none for UsbChoice::Unknown.
void ChooseUsbDevices(platform::UsbChoice choice, const sim::VirtualBench* bench);

/// The path of the simulated driver library libVOKTDrv-sim.so: the build tree's, when it is
/// there, else the bare file name for the dynamic loader's search.
std::string SimulatedDriverLibraryPath();

/// The analog board's driver for the board client: on the virtual bench, the bench's own
/// board (it samples the bench's sensor); for UsbChoice::Simulated, the simulated driver
/// library; for UsbChoice::Unknown, a driver that answers VOKTDRV_ERR_NOT_READY as the
/// library does without USB; otherwise libVOKTDrv.so. bench and clock outlive the driver.
std::unique_ptr<analog::VoktDriver> ChooseBoardDriver(platform::UsbChoice choice,
                                                      sim::VirtualBench* bench,
                                                      platform::Clock& clock);

}  // namespace veska::simhost
