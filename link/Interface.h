#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "link/PortSettings.h"
#include "link/Status.h"
#include "link/Transport.h"
#include "platform/D2xx.h"
#include "platform/Win32Comm.h"

namespace veska::link {

/// The byte-stream port object of every device link: exact byte counts, one status per
/// operation (link/Status.h). The port mode picks the transport from a table
/// (link/Transport.h): mode 0 a serial device over termios, mode 1 a USB converter through
/// the D2XX backend; the table row also says where the mode purges. Owned by one link;
/// used by one thread at a time, except Wake.
class TInterface {
  public:
    TInterface();   ///< open = 0, handle = 0
    ~TInterface();  ///< closes an open port
    TInterface(const TInterface&) = delete;
    TInterface& operator=(const TInterface&) = delete;

    /// Opens with the settings (closing first when open). Returns the status: 0, or 2 when
    /// the device cannot be opened or the port mode has no transport.
    Status Open(const PortSettings& settings);
    /// Always returns 0.
    Status Close();
    /// On success exactly transfer.count bytes are stored at transfer.buffer: 0; 3 when
    /// fewer came within the time-out, 4 when the read failed, 2 when not open.
    Status Read(const PortTransfer& transfer);
    /// 0; 5 when fewer bytes were sent, 6 when the write failed, 2 when not open.
    Status Write(const PortTransfer& transfer);

    /// Ends a Read in progress on another thread; that read returns a short read (3).
    /// Safe from any thread while the port is open. A wake that finds no read in progress
    /// ends the next Read instead; it stays pending until the next Write, so the stream
    /// thread (which only reads) cannot miss a stop.
    void Wake();

    bool IsOpen() const { return open_ != 0; }
    Status LastStatus() const { return status_; }
    const PortSettings& Settings() const { return settings_; }
    /// What the last Open opened or tried to open: the device path of mode 0 (after
    /// port-name resolution), the converter's description in mode 1.
    const std::string& DevicePath() const;
    /// Why the last Open failed, in the system's words ("No such file or directory");
    /// empty after a successful one.
    std::string OpenError() const;
    /// The line settings and time-outs applied by the last Open.
    const platform::Dcb& DeviceControl() const { return dcb_; }
    const platform::CommTimeouts& Timeouts() const { return timeouts_; }

    /// Replaces the D2XX backend of mode 1 (tests); null means platform::UsbBackend().
    void SetUsbBackend(platform::D2xx* backend) { usb_ = backend; }

  private:
    uint8_t open_ = 0;
    const TransportRow* row_ = nullptr;     ///< the mode of transport_
    std::unique_ptr<Transport> transport_;  ///< made by the last Open of a known mode
    platform::Dcb dcb_;                     ///< line settings, kept from open to close
    platform::CommTimeouts timeouts_;       ///< kept from open to close
    Status status_ = kStatusOk;
    PortSettings settings_;
    platform::D2xx* usb_ = nullptr;
};

}  // namespace veska::link
