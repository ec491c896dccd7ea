// The host's sensor exchange against a device that answers anything: each read of the
// converter takes the next bytes of the input, so replies come short, with bad top bits,
// stale or newer counters (the resynchronisation drops the rest of a newer reply), or not
// at all. Every exchange must end with a status, within the buffers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

#include "link/MorlaInterface.h"
#include "platform/Clock.h"
#include "sim/SimUsbBackend.h"

namespace {

/// The converter with a script for a sensor: reads serve the input, writes are taken.
class ScriptedConverter final : public veska::sim::SimUsbDevice {
  public:
    explicit ScriptedConverter(std::span<const uint8_t> script)
        : SimUsbDevice(veska::sim::kConverterDescription, "FUZZ"), script_(script) {}
    bool OnOpen(bool w32) override { return w32; }
    void OnClose() override {}
    bool ReadFile(void* buffer, uint32_t count, uint32_t* got) override {
        // The first byte of each step says how many of the bytes asked for come.
        uint32_t n = 0;
        if (!script_.empty()) {
            n = std::min<uint32_t>(count, script_[0]);
            script_ = script_.subspan(1);
            n = std::min<uint32_t>(n, static_cast<uint32_t>(script_.size()));
            if (n > 0) std::memcpy(buffer, script_.data(), n);
            script_ = script_.subspan(n);
        }
        *got = n;
        return true;
    }
    bool WriteFile(const void*, uint32_t count, uint32_t* written) override {
        *written = count;
        return true;
    }
    bool GetCommState(veska::platform::Dcb*) override { return true; }
    bool SetCommState(const veska::platform::Dcb*) override { return true; }
    bool SetCommTimeouts(const veska::platform::CommTimeouts*) override { return true; }
    bool PurgeComm(uint32_t) override { return true; }

  private:
    std::span<const uint8_t> script_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    veska::sim::SimUsbBackend bus;
    bus.AddDevice(std::make_unique<ScriptedConverter>(std::span(data, size)));
    veska::platform::FakeClock clock;
    veska::link::TMORLAInterface link{clock};
    link.Port().SetUsbBackend(&bus);
    if (link.OpenPort(1, veska::sim::kConverterDescription, 115200) != veska::link::kStatusOk)
        return 0;
    veska::link::DeviceInfo info{};
    (void)link.Identify(1, info);
    uint8_t params[6] = {};
    (void)link.ReadParam(1, 0x10, sizeof params, params);
    uint8_t reply[2 * 8] = {};
    (void)link.ReceiveReply(reply, 8);
    (void)link.ReceiveReply(reply, 0);
    (void)link.ClosePort();
    return 0;
}
