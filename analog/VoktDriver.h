#pragma once
#include <cstdint>

#include "driver/VOKTDrv.h"

namespace veska::analog {

/// The driver library's exports that the board client calls, as an interface: the real
/// library (LibraryDriver), or a test's fake. Results are the library's codes.
class VoktDriver {
  public:
    virtual ~VoktDriver() = default;
    virtual int32_t GetDevicesCnt(uint32_t* count) = 0;
    virtual int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number) = 0;
    virtual int32_t LockDevice(uint32_t index) = 0;
    virtual int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset) = 0;
    virtual int32_t ConfigDevice(uint32_t index, const DeviceConfig* config) = 0;
    virtual int32_t StartDevice(uint32_t index) = 0;
    virtual int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                                  uint8_t* overflow) = 0;
    virtual int32_t StopDevice(uint32_t index) = 0;
    virtual int32_t ClearBuffer(uint32_t index) = 0;
    virtual int32_t UnlockDevice(uint32_t index) = 0;
    /// True when the board behind these exports is simulated: its readings are marked so
    /// wherever they are shown.
    virtual bool Simulated() const { return false; }
};

/// The exports of libVOKTDrv.so, which the program links at load time.
class LibraryDriver final : public VoktDriver {
  public:
    int32_t GetDevicesCnt(uint32_t* count) override { return ::GetDevicesCnt(count); }
    int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number) override {
        return ::GetDeviceSerialNumber(index, number);
    }
    int32_t LockDevice(uint32_t index) override { return ::LockDevice(index); }
    int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset) override {
        return ::GetCoefs(index, gain, offset);
    }
    int32_t ConfigDevice(uint32_t index, const DeviceConfig* config) override {
        return ::ConfigDevice(index, config);
    }
    int32_t StartDevice(uint32_t index) override { return ::StartDevice(index); }
    int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                          uint8_t* overflow) override {
        return ::GetDeviceData(index, buffer, length, overflow);
    }
    int32_t StopDevice(uint32_t index) override { return ::StopDevice(index); }
    int32_t ClearBuffer(uint32_t index) override { return ::ClearBuffer(index); }
    int32_t UnlockDevice(uint32_t index) override { return ::UnlockDevice(index); }
};

}  // namespace veska::analog
