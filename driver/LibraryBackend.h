#pragma once
#include "platform/D2xx.h"

namespace veska::driver {

/// The USB devices the library's driver talks to. Each build of the library links exactly
/// one definition: libVOKTDrv.so the real boards through libftdi1 (RealBoards.cpp), the
/// simulated driver library its simulated board. Null when the backend cannot start ("D2XX
/// absent": every export but GetDLLVersion returns 2).
platform::D2xx* LibraryUsbDevices();

}  // namespace veska::driver
