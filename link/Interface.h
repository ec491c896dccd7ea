#pragma once
#include <cstdint>
#include <string>

#include "platform/D2xx.h"
#include "platform/SerialPort.h"
#include "platform/Win32Comm.h"

namespace veska::link {

/// The record an owner fills and passes to TInterface::Open (copied whole).
struct PortSettings {
    uint8_t portMode = 0;         ///< 0 serial device, 1 USB converter through D2XX, other: none
    std::string deviceName;       ///< mode 0: device path or port name; mode 1: description
    uint8_t stopBits = 0;         ///< 0 one, 1 one and a half, 2 two; other: keep
    uint8_t parity = 0;           ///< 0 none, 1 odd, 2 even; other: keep
    uint32_t baudRate = 115200;   ///< [bit/s]
    uint32_t usbOpenFlags = 128;  ///< mode 1: create attributes; FT_OPEN_BY_DESCRIPTION is added
    uint32_t rxQueue = 0;         ///< [bytes], kept as a setting
    uint32_t txQueue = 0;         ///< [bytes], kept as a setting
    uint32_t readInterval = 0;    ///< [ms] ReadIntervalTimeout and ReadTotalTimeoutMultiplier
    uint32_t readConstant = 0;    ///< [ms] ReadTotalTimeoutConstant
};

/// Transfer descriptor of Read and Write. overlapped is always null here.
struct PortTransfer {
    void* buffer = nullptr;
    uint32_t count = 0;
    void* overlapped = nullptr;
};

/// The byte-stream port object of every device link: exact byte counts, one status per
/// operation (link/Status.h). Mode 0 is a serial device over termios, mode 1 a USB
/// converter through the D2XX backend. Owned by one link; used by one thread at a time,
/// except Wake.
class TInterface {
  public:
    TInterface();   ///< open = 0, handle = 0
    ~TInterface();  ///< closes an open port
    TInterface(const TInterface&) = delete;
    TInterface& operator=(const TInterface&) = delete;

    /// Opens with the settings (closing first when open). Returns the status: 0 or 2.
    int32_t Open(const PortSettings& settings);
    /// Always returns 0.
    int32_t Close();
    /// On success exactly transfer.count bytes are stored at transfer.buffer.
    int32_t Read(const PortTransfer& transfer);
    int32_t Write(const PortTransfer& transfer);

    /// Ends a Read in progress on another thread; that read returns a short read (3).
    /// Safe from any thread while the port is open. A wake that finds no read in progress
    /// ends the next Read instead; it stays pending until the next Write, so the stream
    /// thread (which only reads) cannot miss a stop.
    void Wake();

    bool IsOpen() const { return open_ != 0; }
    int32_t LastStatus() const { return status_; }
    const PortSettings& Settings() const { return settings_; }
    /// The device path that mode 0 opened (after port-name resolution).
    const std::string& DevicePath() const { return devicePath_; }
    /// The line settings and time-outs applied by the last Open.
    const platform::Dcb& DeviceControl() const { return dcb_; }
    const platform::CommTimeouts& Timeouts() const { return timeouts_; }

    /// Replaces the D2XX backend of mode 1 (tests); null means platform::UsbBackend().
    void SetUsbBackend(platform::D2xx* backend) { usb_ = backend; }

  private:
    int32_t OpenSerial();
    int32_t OpenUsb();
    void SetLineBits(platform::Dcb& dcb, bool controlLinesOn) const;

    uint8_t open_ = 0;
    platform::FT_HANDLE usbHandle_ = nullptr;  ///< mode 1 handle; 0 when none
    platform::SerialPort serial_;              ///< mode 0 device
    platform::Dcb dcb_;                        ///< line settings, kept from open to close
    platform::CommTimeouts timeouts_;          ///< kept from open to close
    int32_t status_ = 0;
    PortSettings settings_;
    std::string devicePath_;
    platform::D2xx* usb_ = nullptr;
    platform::D2xx* usbInUse_ = nullptr;  ///< the backend that holds usbHandle_
};

}  // namespace veska::link
