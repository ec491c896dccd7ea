#include "link/D2xxTransport.h"

namespace veska::link {

namespace {

constexpr uint32_t kOpenPurge = platform::kPurgeTxAbort | platform::kPurgeRxAbort;
constexpr uint32_t kCommMask = platform::kEvRxChar | platform::kEvTxEmpty;

bool ValidHandle(platform::FT_HANDLE h) { return h != nullptr && h != platform::kInvalidHandle; }

}  // namespace

bool D2xxTransport::Held() const { return inUse_ != nullptr && ValidHandle(handle_); }

bool D2xxTransport::Open(const PortSettings& settings, platform::Dcb& dcb,
                         platform::CommTimeouts& timeouts) {
    Close();
    description_ = settings.deviceName;
    openError_.clear();
    platform::D2xx* backend = backend_ != nullptr ? backend_ : platform::UsbBackend();
    if (backend == nullptr) {
        openError_ = "the USB (D2XX) backend could not be started";
        return false;
    }
    const platform::FT_HANDLE h = backend->W32_CreateFile(
        settings.deviceName.c_str(), platform::kGenericRead | platform::kGenericWrite, 0,
        platform::kOpenExisting, settings.usbOpenFlags | platform::FT_OPEN_BY_DESCRIPTION);
    if (!ValidHandle(h)) {
        openError_ = "no such USB device, or it is in use";
        return false;
    }
    handle_ = h;
    inUse_ = backend;
    // Only the create call decides success; the set-up results are ignored.
    (void)backend->W32_SetupComm(h, settings.rxQueue, settings.txQueue);
    (void)backend->W32_GetCommState(h, &dcb);
    ApplyLineSettings(settings, false, dcb);
    (void)backend->W32_SetCommState(h, &dcb);
    timeouts = TimeoutsFor(settings);
    (void)backend->W32_SetCommTimeouts(h, &timeouts);
    (void)backend->W32_PurgeComm(h, kOpenPurge);
    (void)backend->W32_SetCommMask(h, kCommMask);
    return true;
}

void D2xxTransport::Close() {
    if (Held()) (void)inUse_->W32_CloseHandle(handle_);
    handle_ = nullptr;
    inUse_ = nullptr;
}

bool D2xxTransport::Read(void* buffer, uint32_t count, uint32_t& got) {
    got = 0;
    return Held() && inUse_->W32_ReadFile(handle_, buffer, count, &got);
}

bool D2xxTransport::Write(const void* buffer, uint32_t count, uint32_t& written) {
    written = 0;
    // W32_WriteFile also forgets a pending wake-up.
    return Held() && inUse_->W32_WriteFile(handle_, buffer, count, &written);
}

void D2xxTransport::Purge(uint32_t flags) {
    if (Held()) (void)inUse_->W32_PurgeComm(handle_, flags);
}

void D2xxTransport::Wake() {
    if (Held()) inUse_->W32_Wake(handle_);
}

}  // namespace veska::link
