#pragma once
#include <string>

#include "link/Transport.h"
#include "platform/SerialPort.h"

namespace veska::link {

/// Port mode 0: a serial device over termios (platform::SerialPort). The device name is
/// resolved through the port directory; DTR and RTS go on. Reads are served from the
/// port's receive queue (64 KiB read ahead), so a stream of short samples costs one read
/// call per batch the device delivers, not two system calls per sample.
class SerialTransport final : public Transport {
  public:
    bool Open(const PortSettings& settings, platform::Dcb& dcb,
              platform::CommTimeouts& timeouts) override;
    void Close() override { port_.Close(); }
    bool Read(void* buffer, uint32_t count, uint32_t& got) override {
        return port_.Read(buffer, count, got);
    }
    bool Write(const void* buffer, uint32_t count, uint32_t& written) override;
    void Purge(uint32_t flags) override { port_.Purge(flags); }
    void Wake() override { port_.Wake(); }
    const std::string& DevicePath() const override { return path_; }
    std::string OpenError() const override { return port_.OpenError(); }

    /// Bytes read from the device and not yet handed out (tests).
    size_t ReadAheadBytes() const { return port_.ReadAheadBytes(); }

  private:
    platform::SerialPort port_;
    std::string path_;
};

}  // namespace veska::link
