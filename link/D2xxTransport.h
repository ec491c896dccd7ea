#pragma once
#include <string>

#include "link/Transport.h"
#include "platform/D2xx.h"

namespace veska::link {

/// Port mode 1: a USB serial converter through the Win32-compatible D2XX calls, opened by
/// its description. DTR and RTS stay off. The backend's W32_ReadFile keeps the time-out
/// rule and the wake-up itself.
class D2xxTransport final : public Transport {
  public:
    /// backend: the D2XX backend to use; null means platform::UsbBackend() at Open.
    explicit D2xxTransport(platform::D2xx* backend) : backend_(backend) {}
    ~D2xxTransport() override { Close(); }
    D2xxTransport(const D2xxTransport&) = delete;
    D2xxTransport& operator=(const D2xxTransport&) = delete;

    bool Open(const PortSettings& settings, platform::Dcb& dcb,
              platform::CommTimeouts& timeouts) override;
    void Close() override;
    bool Read(void* buffer, uint32_t count, uint32_t& got) override;
    bool Write(const void* buffer, uint32_t count, uint32_t& written) override;
    void Purge(uint32_t flags) override;
    void Wake() override;
    const std::string& DevicePath() const override { return description_; }
    std::string OpenError() const override { return openError_; }

  private:
    bool Held() const;

    platform::D2xx* backend_;
    platform::D2xx* inUse_ = nullptr;  ///< the backend that holds handle_
    platform::FT_HANDLE handle_ = nullptr;
    std::string description_;
    std::string openError_;  ///< reason of the last failed Open
};

}  // namespace veska::link
