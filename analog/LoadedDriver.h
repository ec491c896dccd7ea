#pragma once
#include <cstdint>
#include <string>

#include "analog/VoktDriver.h"
#include "platform/SharedLibrary.h"

namespace veska::analog {

/// The exports of a driver library loaded at run time by its path: the simulated driver
/// library libVOKTDrv-sim.so, which has the C interface of libVOKTDrv.so over a board of its
/// own. A library that cannot be loaded, or lacks an export, leaves every call answering
/// VOKTDRV_ERR_NOT_READY (2), as the library itself does without USB.
class LoadedDriver final : public VoktDriver {
  public:
    /// simulated: what the library's board is (it marks the readings shown).
    LoadedDriver(const std::string& path, bool simulated);

    /// True when the library and all its exports were found.
    bool Ready() const { return ready_; }
    /// Why it is not ready; "" when it is.
    const std::string& Error() const { return error_; }

    int32_t GetDevicesCnt(uint32_t* count) override;
    int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number) override;
    int32_t LockDevice(uint32_t index) override;
    int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset) override;
    int32_t ConfigDevice(uint32_t index, const DeviceConfig* config) override;
    int32_t StartDevice(uint32_t index) override;
    int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                          uint8_t* overflow) override;
    int32_t StopDevice(uint32_t index) override;
    int32_t ClearBuffer(uint32_t index) override;
    int32_t UnlockDevice(uint32_t index) override;
    bool Simulated() const override { return simulated_; }

  private:
    /// The export name from the library as a function of type F; null when missing.
    template <typename F>
    F* Find(const char* name);

    platform::SharedLibrary library_;
    bool simulated_;
    bool ready_ = false;
    std::string error_;
    decltype(&::GetDevicesCnt) getDevicesCnt_ = nullptr;
    decltype(&::GetDeviceSerialNumber) getDeviceSerialNumber_ = nullptr;
    decltype(&::LockDevice) lockDevice_ = nullptr;
    decltype(&::GetCoefs) getCoefs_ = nullptr;
    decltype(&::ConfigDevice) configDevice_ = nullptr;
    decltype(&::StartDevice) startDevice_ = nullptr;
    decltype(&::GetDeviceData) getDeviceData_ = nullptr;
    decltype(&::StopDevice) stopDevice_ = nullptr;
    decltype(&::ClearBuffer) clearBuffer_ = nullptr;
    decltype(&::UnlockDevice) unlockDevice_ = nullptr;
};

}  // namespace veska::analog
