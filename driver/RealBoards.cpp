// libVOKTDrv.so talks to real boards only, through libftdi1.
#include "driver/LibraryBackend.h"

namespace veska::driver {

platform::D2xx* LibraryUsbDevices() {
    return platform::TracedUsbBackend(platform::RealUsbBackend());
}

}  // namespace veska::driver
