// The exports of libVOKTDrv.so: C linkage, one process-wide driver state.
#include "driver/VOKTDrv.h"

#include "driver/BoardDriver.h"
#include "driver/Images.h"
#include "driver/LibraryBackend.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"

namespace {

using veska::driver::BoardDriver;

/// The library's state, made on the first call of any export (thread-safe static init):
/// the USB devices of this build of the library (real boards, or the simulated driver
/// library's own board), the system clock and the embedded images. None of it is ever destroyed:
/// nothing runs when the library is unloaded, and a client may still close its board from a
/// destructor at exit.
BoardDriver& Driver() {
    static BoardDriver* const driver = [] {
        veska::platform::SetUsbTraceName("usb VOKTDrv");
        auto* images = new veska::driver::EmbeddedImages;
        return new BoardDriver(veska::driver::LibraryUsbDevices(), veska::platform::SystemClock(),
                               *images);
    }();
    return *driver;
}

}  // namespace

extern "C" {

VOKTDRV_API int32_t GetDLLVersion(void) { return Driver().GetDLLVersion(); }

VOKTDRV_API int32_t GetDevicesCnt(uint32_t* count) { return Driver().GetDevicesCnt(count); }

VOKTDRV_API int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number) {
    return Driver().GetDeviceSerialNumber(index, number);
}

VOKTDRV_API int32_t LockDevice(uint32_t index) { return Driver().LockDevice(index); }

VOKTDRV_API int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset) {
    return Driver().GetCoefs(index, gain, offset);
}

VOKTDRV_API int32_t ConfigDevice(uint32_t index, const DeviceConfig* config) {
    return Driver().ConfigDevice(index, config);
}

VOKTDRV_API int32_t StartDevice(uint32_t index) { return Driver().StartDevice(index); }

VOKTDRV_API int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                                  uint8_t* overflow) {
    return Driver().GetDeviceData(index, buffer, length, overflow);
}

VOKTDRV_API int32_t StopDevice(uint32_t index) { return Driver().StopDevice(index); }

VOKTDRV_API int32_t ClearBuffer(uint32_t index) { return Driver().ClearBuffer(index); }

VOKTDRV_API int32_t UnlockDevice(uint32_t index) { return Driver().UnlockDevice(index); }

}  // extern "C"
