#include "link/SerialTransport.h"

namespace veska::link {

namespace {

constexpr uint32_t kPurgeAll = platform::kPurgeTxAbort | platform::kPurgeRxAbort |
                               platform::kPurgeTxClear | platform::kPurgeRxClear;
/// Code meaning "keep the device's setting" for SerialLine parity and stop bits.
constexpr uint8_t kKeepSetting = 0xFF;

}  // namespace

bool SerialTransport::Open(const PortSettings& settings, platform::Dcb& dcb,
                           platform::CommTimeouts& timeouts) {
    path_ = platform::ResolvePortName(settings.deviceName);
    if (!port_.Open(path_)) return false;
    // Queue sizes have no meaning for termios; they stay in the settings. Only the open
    // decides success: the set-up results are ignored, as the line may be a pty.
    ApplyLineSettings(settings, true, dcb);
    platform::SerialLine line;
    line.baudRate = dcb.BaudRate;
    line.parity = settings.parity <= 2 ? dcb.Parity : kKeepSetting;
    line.stopBits = settings.stopBits <= 2 ? dcb.StopBits : kKeepSetting;
    line.dtrOn = dcb.fDtrControl == platform::kDtrControlEnable;
    line.rtsOn = dcb.fRtsControl == platform::kRtsControlEnable;
    (void)port_.Configure(line);

    timeouts = TimeoutsFor(settings);
    platform::SerialTimeouts st;
    st.readInterval = timeouts.ReadIntervalTimeout;
    st.readMultiplier = timeouts.ReadTotalTimeoutMultiplier;
    st.readConstant = timeouts.ReadTotalTimeoutConstant;
    st.writeMultiplier = timeouts.WriteTotalTimeoutMultiplier;
    st.writeConstant = timeouts.WriteTotalTimeoutConstant;
    port_.SetTimeouts(st);

    port_.Purge(kPurgeAll);
    port_.ClearWake();
    return true;
}

bool SerialTransport::Write(const void* buffer, uint32_t count, uint32_t& written) {
    // A new exchange: a stream stop's wake-up has served its purpose.
    port_.ClearWake();
    return port_.Write(buffer, count, written);
}

}  // namespace veska::link
