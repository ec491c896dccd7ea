#include "analog/LoadedDriver.h"

namespace veska::analog {

namespace {

/// A path no library has, for "no driver library" (an empty path would name the program).
constexpr char kNoLibrary[] = "/nonexistent/no-driver-library.so";

}  // namespace

template <typename F>
F* LoadedDriver::Find(const char* name) {
    auto* found = reinterpret_cast<F*>(library_.Symbol(name));
    if (found == nullptr && error_.empty()) error_ = std::string("the library has no ") + name;
    return found;
}

LoadedDriver::LoadedDriver(const std::string& path, bool simulated)
    : library_(path.empty() ? kNoLibrary : path), simulated_(simulated) {
    if (!library_.Loaded()) {
        error_ = library_.Error();
        return;
    }
    getDevicesCnt_ = Find<int32_t(uint32_t*)>("GetDevicesCnt");
    getDeviceSerialNumber_ = Find<int32_t(uint32_t, uint32_t*)>("GetDeviceSerialNumber");
    lockDevice_ = Find<int32_t(uint32_t)>("LockDevice");
    getCoefs_ = Find<int32_t(uint32_t, float*, int16_t*)>("GetCoefs");
    configDevice_ = Find<int32_t(uint32_t, const DeviceConfig*)>("ConfigDevice");
    startDevice_ = Find<int32_t(uint32_t)>("StartDevice");
    getDeviceData_ = Find<int32_t(uint32_t, uint8_t*, uint32_t*, uint8_t*)>("GetDeviceData");
    stopDevice_ = Find<int32_t(uint32_t)>("StopDevice");
    clearBuffer_ = Find<int32_t(uint32_t)>("ClearBuffer");
    unlockDevice_ = Find<int32_t(uint32_t)>("UnlockDevice");
    ready_ = error_.empty();
}

int32_t LoadedDriver::GetDevicesCnt(uint32_t* count) {
    return ready_ ? getDevicesCnt_(count) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::GetDeviceSerialNumber(uint32_t index, uint32_t* number) {
    return ready_ ? getDeviceSerialNumber_(index, number) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::LockDevice(uint32_t index) {
    return ready_ ? lockDevice_(index) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::GetCoefs(uint32_t index, float* gain, int16_t* offset) {
    return ready_ ? getCoefs_(index, gain, offset) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::ConfigDevice(uint32_t index, const DeviceConfig* config) {
    return ready_ ? configDevice_(index, config) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::StartDevice(uint32_t index) {
    return ready_ ? startDevice_(index) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                                    uint8_t* overflow) {
    return ready_ ? getDeviceData_(index, buffer, length, overflow) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::StopDevice(uint32_t index) {
    return ready_ ? stopDevice_(index) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::ClearBuffer(uint32_t index) {
    return ready_ ? clearBuffer_(index) : VOKTDRV_ERR_NOT_READY;
}
int32_t LoadedDriver::UnlockDevice(uint32_t index) {
    return ready_ ? unlockDevice_(index) : VOKTDRV_ERR_NOT_READY;
}

}  // namespace veska::analog
