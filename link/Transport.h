#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "link/PortSettings.h"
#include "platform/D2xx.h"
#include "platform/Win32Comm.h"

namespace veska::link {

/// A byte transport under TInterface: one device, opened with a PortSettings record, that
/// reads and writes by the Win32 rules. It knows nothing of statuses; TInterface turns its
/// results into them and decides where to purge (TransportRow). One thread uses it at a
/// time, except Wake.
class Transport {
  public:
    virtual ~Transport() = default;

    /// Opens the device named in settings and sets it up: line settings into dcb (which
    /// keeps what the caller or the device had for every member not set), time-outs into
    /// timeouts, the open purge and the event mask. Only the open decides: the results of
    /// the set-up calls are ignored. False when the device cannot be opened.
    virtual bool Open(const PortSettings& settings, platform::Dcb& dcb,
                      platform::CommTimeouts& timeouts) = 0;
    /// Releases the device; harmless when nothing is open.
    virtual void Close() = 0;
    /// Reads up to count bytes by the time-out rule (interval between bytes, total
    /// interval x count + constant [ms]); a Wake ends it with what has come. got is the
    /// number stored; false when the read call failed.
    virtual bool Read(void* buffer, uint32_t count, uint32_t& got) = 0;
    /// Writes count bytes within the write time-out; a pending wake-up is forgotten first
    /// (a new exchange starts). written is the number sent; false when the call failed.
    virtual bool Write(const void* buffer, uint32_t count, uint32_t& written) = 0;
    /// Win32 purge flags (platform::PurgeFlags).
    virtual void Purge(uint32_t flags) = 0;
    /// Ends a Read in progress on another thread, or the next Read when none is running;
    /// stays pending until the next Write. Any thread, while the device is open.
    virtual void Wake() = 0;
    /// What Open opened, for messages: the device path (after port-name resolution) or the
    /// converter's description.
    virtual const std::string& DevicePath() const = 0;
    /// Why the last Open failed, in the system's words; empty when it opened.
    virtual std::string OpenError() const = 0;
};

/// One port mode: how its transport is made and where TInterface purges it (Win32 purge
/// flags; 0 for none).
struct TransportRow {
    uint8_t portMode;
    const char* name;  ///< for messages and tests: "serial", "D2XX"
    /// usbBackend: the D2XX backend to use; null means platform::UsbBackend() at open.
    std::unique_ptr<Transport> (*make)(platform::D2xx* usbBackend);
    uint32_t purgeBeforeWrite;
    uint32_t purgeAfterFailedRead;
    uint32_t purgeAfterFailedWrite;
};

/// The row of a port mode; null for a mode that opens nothing.
const TransportRow* FindTransport(uint8_t portMode);

/// Sets the line members of a control block from the settings, as both transports do:
/// 8 data bits, parity and stop bits from their codes (other codes keep dcb's value),
/// binary, no flow control, DTR and RTS on or off as asked.
void ApplyLineSettings(const PortSettings& settings, bool controlLinesOn, platform::Dcb& dcb);
/// The time-outs of the settings: interval as interval and multiplier, the constant,
/// and write time-outs 1 ms per byte plus 1 ms.
platform::CommTimeouts TimeoutsFor(const PortSettings& settings);

}  // namespace veska::link
