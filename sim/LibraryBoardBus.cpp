// Compiled into libVOKTDrv.so when the library carries a simulated board: with
// VESKA_USB=sim the library finds one board of its own on a simulated bus, installed when
// the library is loaded, before any export runs. The driver's own code knows nothing of it.
#include "sim/AnalogBoardDevice.h"

namespace {

[[maybe_unused]] const bool kBoardBusInstalled = (veska::sim::InstallBoardBusIfChosen(), true);

}  // namespace
