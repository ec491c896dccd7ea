#include "link/Interface.h"

#include "link/Status.h"

namespace veska::link {

namespace {

using platform::kPurgeRxAbort;
using platform::kPurgeRxClear;
using platform::kPurgeTxAbort;
using platform::kPurgeTxClear;

constexpr uint32_t kPurgeAll = kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear;
/// Before a write only the receive side is cleared. A Win32 write completes once its bytes
/// are handed to the device, so the transmit clear of the protocol's purge (12) finds
/// nothing there; tcflush(TCOFLUSH) instead still reaches bytes of the previous request
/// that the device has not taken yet (a pty peer, a USB converter's queue) and drops them.
constexpr uint32_t kPurgeBeforeWrite = kPurgeRxClear;
constexpr uint32_t kPurgeAfterRead = kPurgeRxAbort | kPurgeRxClear;
constexpr uint32_t kPurgeAfterWrite = kPurgeTxAbort | kPurgeTxClear;
constexpr uint32_t kUsbPurge = kPurgeTxAbort | kPurgeRxAbort;
constexpr uint32_t kCommMask = platform::kEvRxChar | platform::kEvTxEmpty;
/// Code meaning "keep the device's setting" for SerialLine parity and stop bits.
constexpr uint8_t kKeepSetting = 0xFF;

bool ValidHandle(platform::FT_HANDLE h) { return h != nullptr && h != platform::kInvalidHandle; }

int32_t ReadCode(bool ok, uint32_t got, uint32_t count) {
    if (!ok) return kStatusReadFailed;
    return got < count ? kStatusShortRead : kStatusOk;
}

int32_t WriteCode(bool ok, uint32_t written, uint32_t count) {
    if (!ok) return kStatusWriteFailed;
    return written < count ? kStatusShortWrite : kStatusOk;
}

}  // namespace

TInterface::TInterface() = default;

TInterface::~TInterface() {
    if (open_) Close();
}

int32_t TInterface::Open(const PortSettings& settings) {
    if (open_) Close();
    settings_ = settings;
    switch (settings_.portMode) {
        case 0:
            return OpenSerial();
        case 1:
            return OpenUsb();
        default:
            return status_;
    }
}

void TInterface::SetLineBits(platform::Dcb& dcb, bool controlLinesOn) const {
    dcb.DCBlength = 28;
    dcb.BaudRate = settings_.baudRate;
    dcb.ByteSize = 8;
    if (settings_.parity <= 2) {
        dcb.Parity = settings_.parity;
        dcb.fParity = settings_.parity != 0 ? 1 : 0;
    }
    if (settings_.stopBits <= 2) dcb.StopBits = settings_.stopBits;
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

namespace {

platform::CommTimeouts TimeoutsFor(const PortSettings& settings) {
    platform::CommTimeouts t;
    t.ReadIntervalTimeout = settings.readInterval;
    t.ReadTotalTimeoutMultiplier = settings.readInterval;
    t.ReadTotalTimeoutConstant = settings.readConstant;
    t.WriteTotalTimeoutMultiplier = 1;
    t.WriteTotalTimeoutConstant = 1;
    return t;
}

}  // namespace

int32_t TInterface::OpenSerial() {
    devicePath_ = platform::ResolvePortName(settings_.deviceName);
    if (!serial_.Open(devicePath_)) {
        open_ = 0;
        return status_ = kStatusNotOpen;
    }
    // Queue sizes have no meaning for termios; they stay in the settings. Only the open
    // decides success: the set-up results are ignored, as the line may be a pty.
    SetLineBits(dcb_, true);
    platform::SerialLine line;
    line.baudRate = dcb_.BaudRate;
    line.parity = settings_.parity <= 2 ? dcb_.Parity : kKeepSetting;
    line.stopBits = settings_.stopBits <= 2 ? dcb_.StopBits : kKeepSetting;
    line.dtrOn = dcb_.fDtrControl == platform::kDtrControlEnable;
    line.rtsOn = dcb_.fRtsControl == platform::kRtsControlEnable;
    serial_.Configure(line);

    timeouts_ = TimeoutsFor(settings_);
    platform::SerialTimeouts st;
    st.readInterval = timeouts_.ReadIntervalTimeout;
    st.readMultiplier = timeouts_.ReadTotalTimeoutMultiplier;
    st.readConstant = timeouts_.ReadTotalTimeoutConstant;
    st.writeMultiplier = timeouts_.WriteTotalTimeoutMultiplier;
    st.writeConstant = timeouts_.WriteTotalTimeoutConstant;
    serial_.SetTimeouts(st);

    serial_.Purge(kPurgeAll);
    serial_.ClearWake();
    open_ = 1;
    return status_ = kStatusOk;
}

int32_t TInterface::OpenUsb() {
    platform::D2xx* backend = usb_ != nullptr ? usb_ : platform::UsbBackend();
    if (backend == nullptr) {
        usbHandle_ = nullptr;
        open_ = 0;
        return status_ = kStatusNotOpen;
    }
    platform::FT_HANDLE h = backend->W32_CreateFile(
        settings_.deviceName.c_str(), platform::kGenericRead | platform::kGenericWrite, 0,
        platform::kOpenExisting, settings_.usbOpenFlags | platform::FT_OPEN_BY_DESCRIPTION);
    if (!ValidHandle(h)) {
        usbHandle_ = nullptr;
        open_ = 0;
        return status_ = kStatusNotOpen;
    }
    usbHandle_ = h;
    usbInUse_ = backend;
    backend->W32_SetupComm(h, settings_.rxQueue, settings_.txQueue);
    backend->W32_GetCommState(h, &dcb_);
    SetLineBits(dcb_, false);
    backend->W32_SetCommState(h, &dcb_);
    timeouts_ = TimeoutsFor(settings_);
    backend->W32_SetCommTimeouts(h, &timeouts_);
    backend->W32_PurgeComm(h, kUsbPurge);
    backend->W32_SetCommMask(h, kCommMask);
    open_ = 1;
    return status_ = kStatusOk;
}

int32_t TInterface::Close() {
    if (open_) {
        if (serial_.IsOpen()) serial_.Close();
        if (usbInUse_ != nullptr && ValidHandle(usbHandle_)) usbInUse_->W32_CloseHandle(usbHandle_);
        usbHandle_ = nullptr;
        usbInUse_ = nullptr;
    }
    open_ = 0;
    return status_ = kStatusOk;
}

int32_t TInterface::Read(const PortTransfer& transfer) {
    if (!open_) return status_ = kStatusNotOpen;
    if (transfer.buffer == nullptr && transfer.count > 0) return status_ = kStatusReadFailed;
    uint32_t got = 0;
    if (settings_.portMode == 0) {
        const bool ok = serial_.Read(transfer.buffer, transfer.count, got);
        status_ = ReadCode(ok, got, transfer.count);
        // Drops the rest of a late reply.
        if (status_ != kStatusOk) serial_.Purge(kPurgeAfterRead);
    } else {
        const bool ok = usbInUse_->W32_ReadFile(usbHandle_, transfer.buffer, transfer.count, &got);
        status_ = ReadCode(ok, got, transfer.count);
    }
    return status_;
}

int32_t TInterface::Write(const PortTransfer& transfer) {
    if (!open_) return status_ = kStatusNotOpen;
    if (transfer.buffer == nullptr && transfer.count > 0) return status_ = kStatusWriteFailed;
    uint32_t written = 0;
    if (settings_.portMode == 0) {
        // A new exchange: a stream stop's wake-up has served its purpose.
        serial_.ClearWake();
        // Whatever arrived since the last exchange is discarded, so that the reply read
        // after this request starts at a fresh byte.
        serial_.Purge(kPurgeBeforeWrite);
        const bool ok = serial_.Write(transfer.buffer, transfer.count, written);
        status_ = WriteCode(ok, written, transfer.count);
        if (status_ != kStatusOk) serial_.Purge(kPurgeAfterWrite);
    } else {
        usbInUse_->W32_PurgeComm(usbHandle_, kUsbPurge);
        const bool ok =
            usbInUse_->W32_WriteFile(usbHandle_, transfer.buffer, transfer.count, &written);
        status_ = WriteCode(ok, written, transfer.count);
    }
    return status_;
}

void TInterface::Wake() {
    if (!open_) return;
    if (settings_.portMode == 0) {
        serial_.Wake();
    } else if (usbInUse_ != nullptr && ValidHandle(usbHandle_)) {
        usbInUse_->W32_Wake(usbHandle_);
    }
}

}  // namespace veska::link
