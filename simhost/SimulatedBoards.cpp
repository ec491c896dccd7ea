// libVOKTDrv-sim.so: the driver library's exports over a simulated board of its own.
#include "driver/LibraryBackend.h"
#include "sim/AnalogBoardDevice.h"

namespace veska::driver {

platform::D2xx* LibraryUsbDevices() { return platform::TracedUsbBackend(&sim::LibraryBoardBus()); }

}  // namespace veska::driver
