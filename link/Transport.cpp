#include "link/Transport.h"

#include "link/D2xxTransport.h"
#include "link/SerialTransport.h"

namespace veska::link {

namespace {

using platform::kPurgeRxAbort;
using platform::kPurgeRxClear;
using platform::kPurgeTxAbort;
using platform::kPurgeTxClear;

std::unique_ptr<Transport> MakeSerial(platform::D2xx*) {
    return std::make_unique<SerialTransport>();
}

std::unique_ptr<Transport> MakeD2xx(platform::D2xx* usbBackend) {
    return std::make_unique<D2xxTransport>(usbBackend);
}

/// Purge points per mode: whatever arrived since the last exchange is discarded before
/// each write, so that the reply read after it starts at a fresh byte.
///
/// Mode 0 clears only the receive side before a write. A Win32 write completes once its
/// bytes are handed to the device, so the transmit clear of the protocol's purge finds
/// nothing there; tcflush(TCOFLUSH) instead still reaches bytes of the previous request
/// that the device has not taken yet (a pty peer, a USB converter's queue) and drops them.
/// It also drops the rest of a late reply after a failed read, and the unsent rest of a
/// failed write. Mode 1 purges with the converter's abort mask before each write only.
constexpr TransportRow kTransports[] = {
    {0, "serial", MakeSerial, kPurgeRxClear, kPurgeRxAbort | kPurgeRxClear,
     kPurgeTxAbort | kPurgeTxClear},
    {1, "D2XX", MakeD2xx, kPurgeTxAbort | kPurgeRxAbort, 0, 0},
};

}  // namespace

const TransportRow* FindTransport(uint8_t portMode) {
    for (const TransportRow& row : kTransports) {
        if (row.portMode == portMode) return &row;
    }
    return nullptr;
}

void ApplyLineSettings(const PortSettings& settings, bool controlLinesOn, platform::Dcb& dcb) {
    dcb.DCBlength = 28;
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = 8;
    if (settings.parity <= 2) {
        dcb.Parity = settings.parity;
        dcb.fParity = settings.parity != 0 ? 1 : 0;
    }
    if (settings.stopBits <= 2) dcb.StopBits = settings.stopBits;
    dcb.fBinary = 1;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDtrControl = controlLinesOn ? platform::kDtrControlEnable : platform::kDtrControlDisable;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fRtsControl = controlLinesOn ? platform::kRtsControlEnable : platform::kRtsControlDisable;
    dcb.fAbortOnError = 0;
}

platform::CommTimeouts TimeoutsFor(const PortSettings& settings) {
    platform::CommTimeouts t;
    t.ReadIntervalTimeout = settings.readInterval;
    t.ReadTotalTimeoutMultiplier = settings.readInterval;
    t.ReadTotalTimeoutConstant = settings.readConstant;
    t.WriteTotalTimeoutMultiplier = 1;
    t.WriteTotalTimeoutConstant = 1;
    return t;
}

}  // namespace veska::link
