#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/D2xx.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"

namespace veska::sim {

/// The USB converter and the adapter, as the sensor link finds them.
inline constexpr const char* kConverterDescription = "D2XX Recovery PID for XP";
inline constexpr const char* kAdapterDescription = "PELRIN Adapter";

/// One device on the simulated USB bus. The base answers every call as a device without
/// that function would; the serial devices and (later) the analog board override what
/// they offer. Calls arrive from the backend with the device's identity already checked.
class SimUsbDevice {
  public:
    SimUsbDevice(std::string description, std::string serialNumber)
        : description_(std::move(description)), serialNumber_(std::move(serialNumber)) {}
    virtual ~SimUsbDevice() = default;
    SimUsbDevice(const SimUsbDevice&) = delete;
    SimUsbDevice& operator=(const SimUsbDevice&) = delete;

    const std::string& Description() const { return description_; }
    const std::string& SerialNumber() const { return serialNumber_; }
    /// Whether FT_ListDevices and FT_Open (by index) see the device: the analog board's
    /// driver lists devices with a classic data path, which the serial devices lack.
    virtual bool Listed() const { return false; }

    /// Open for the Win32-compatible serial calls (true) or the classic calls (false).
    virtual bool OnOpen(bool w32) = 0;
    virtual void OnClose() = 0;

    // Win32-compatible serial path.
    virtual bool ReadFile(void*, uint32_t, uint32_t* got) {
        *got = 0;
        return false;
    }
    virtual bool WriteFile(const void*, uint32_t, uint32_t* written) {
        *written = 0;
        return false;
    }
    virtual bool GetCommState(platform::Dcb*) { return false; }
    virtual bool SetCommState(const platform::Dcb*) { return false; }
    virtual bool SetCommTimeouts(const platform::CommTimeouts*) { return false; }
    virtual bool PurgeComm(uint32_t) { return false; }
    virtual void Wake() {}

    // Classic calls.
    virtual platform::FT_STATUS SetBitMode(uint8_t, uint8_t) { return platform::FT_NOT_SUPPORTED; }
    virtual platform::FT_STATUS Read(void*, uint32_t, uint32_t* got) {
        *got = 0;
        return platform::FT_NOT_SUPPORTED;
    }
    virtual platform::FT_STATUS Write(const void*, uint32_t, uint32_t* written) {
        *written = 0;
        return platform::FT_NOT_SUPPORTED;
    }
    virtual platform::FT_STATUS ResetDevice() { return platform::FT_NOT_SUPPORTED; }
    virtual platform::FT_STATUS SetBaudRate(uint32_t) { return platform::FT_NOT_SUPPORTED; }
    virtual platform::FT_STATUS Purge(uint32_t) { return platform::FT_NOT_SUPPORTED; }
    virtual platform::FT_STATUS SetTimeouts(uint32_t, uint32_t) {
        return platform::FT_NOT_SUPPORTED;
    }
    virtual platform::FT_STATUS GetQueueStatus(uint32_t* rxBytes) {
        *rxBytes = 0;
        return platform::FT_NOT_SUPPORTED;
    }
    virtual platform::FT_STATUS EE_UARead(uint8_t*, uint32_t, uint32_t* read) {
        *read = 0;
        return platform::FT_NOT_SUPPORTED;
    }

  private:
    std::string description_;
    std::string serialNumber_;
};

/// A USB serial device with a sensor behind it: the converter, or the adapter whose
/// sensor is powered only while CBUS 3 is at level 1 (set by SetBitMode in CBUS bit-bang
/// mode with mask 0x88; 0x80 sets level 0, as does a bit-mode reset). The device opens
/// once at a time, by either path. ReadFile follows the Win32 time-out rule set by
/// SetCommTimeouts and ends at once on Wake, or on the next read when none runs (the
/// pending wake-up is dropped by the next write).
class SimSerialUsbDevice final : public SimUsbDevice {
  public:
    SimSerialUsbDevice(std::string description, std::string serialNumber, SensorDevice& sensor,
                       LineOptions line, bool gatedByCbus3);

    bool OnOpen(bool w32) override;
    void OnClose() override;
    bool ReadFile(void* buffer, uint32_t count, uint32_t* got) override;
    bool WriteFile(const void* buffer, uint32_t count, uint32_t* written) override;
    bool GetCommState(platform::Dcb* dcb) override;
    bool SetCommState(const platform::Dcb* dcb) override;
    bool SetCommTimeouts(const platform::CommTimeouts* timeouts) override;
    /// Either receive flag (abort or clear) drops the received bytes; abort also ends a
    /// read in progress. Only kPurgeTxClear drops bytes still in the transmit buffer.
    bool PurgeComm(uint32_t flags) override;
    void Wake() override;
    platform::FT_STATUS SetBitMode(uint8_t mask, uint8_t mode) override;

    /// Whether the sensor behind the device is powered.
    bool Powered() const;
    /// CBUS 3 level (adapter); always 1 for a device without the gate.
    int Cbus3Level() const;
    /// Every SetBitMode call, in order: (mask, mode).
    std::vector<std::pair<uint8_t, uint8_t>> BitModeHistory() const;
    /// Whether written bytes still wait in the transmit buffer (it drains at the line rate,
    /// 11 bits per byte at the DCB's rate).
    bool TransmitPending();
    /// Bytes the sensor did not hear because the DCB's rate or parity differ from its own.
    uint64_t MismatchedBytes() const;
    const platform::CommTimeouts& Timeouts() const { return timeouts_; }
    SensorDevice& Sensor() { return sensor_; }
    SensorLine& Line() { return line_; }

  private:
    /// Hands the transmit buffer's bytes whose time on the line has passed to the sensor.
    void DeliverTxLocked(LinePeer::TimePoint now);
    LinePeer::SteadyClock::duration ByteTimeLocked() const;

    SensorDevice& sensor_;
    SensorLine line_;
    const bool gated_;

    mutable std::mutex mutex_;         ///< guards every member below
    std::condition_variable changed_;  ///< input, wake-up or close
    bool open_ = false;
    uint32_t openGeneration_ = 0;  ///< counts opens, so a read sees a close and reopen
    int cbus3_ = 0;
    platform::Dcb dcb_;
    platform::CommTimeouts timeouts_;
    bool wakePending_ = false;
    std::vector<std::pair<uint8_t, uint8_t>> bitModes_;
    std::deque<uint8_t> txQueue_;   ///< written, not yet on the line
    LinePeer::TimePoint txNext_{};  ///< when the first byte of txQueue_ has left
    uint64_t mismatchedBytes_ = 0;
};

/// Counts of the calls the backend received.
struct UsbCallCounters {
    uint32_t w32Create = 0, w32CreateFailed = 0, w32Close = 0, w32Read = 0, w32Write = 0;
    uint32_t w32Wake = 0, w32Purge = 0;
    uint32_t openEx = 0, openExFailed = 0, close = 0, setBitMode = 0, listDevices = 0;
};

/// The simulated D2XX backend: a list of simulated USB devices reached by description or
/// serial number. Handles are objects of the backend; a closed or foreign handle is
/// refused (FT_INVALID_HANDLE, or false). Thread-safe; a read may wait on one thread while
/// another writes, wakes or closes.
class SimUsbBackend final : public platform::D2xx {
  public:
    SimUsbBackend();
    ~SimUsbBackend() override;

    /// Adds a device; the backend owns it. Returns it for the caller's use.
    SimUsbDevice& AddDevice(std::unique_ptr<SimUsbDevice> device);
    /// The converter "D2XX Recovery PID for XP" with the sensor behind it.
    SimSerialUsbDevice& AddConverter(SensorDevice& sensor, LineOptions line = {});
    /// The adapter "PELRIN Adapter"; its sensor is powered by CBUS 3.
    SimSerialUsbDevice& AddAdapter(SensorDevice& sensor, LineOptions line = {});
    /// The device with this description, or null.
    SimUsbDevice* Find(const std::string& description) const;
    UsbCallCounters Counters() const;

    std::string Name() const override { return "sim"; }

    platform::FT_HANDLE W32_CreateFile(const char* name, uint32_t access, uint32_t share,
                                       uint32_t creation, uint32_t flags) override;
    bool W32_CloseHandle(platform::FT_HANDLE h) override;
    bool W32_ReadFile(platform::FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override;
    bool W32_WriteFile(platform::FT_HANDLE h, const void* buffer, uint32_t count,
                       uint32_t* written) override;
    bool W32_GetCommState(platform::FT_HANDLE h, platform::Dcb* dcb) override;
    bool W32_SetCommState(platform::FT_HANDLE h, const platform::Dcb* dcb) override;
    bool W32_SetCommTimeouts(platform::FT_HANDLE h,
                             const platform::CommTimeouts* timeouts) override;
    bool W32_SetupComm(platform::FT_HANDLE h, uint32_t rxQueue, uint32_t txQueue) override;
    bool W32_PurgeComm(platform::FT_HANDLE h, uint32_t flags) override;
    bool W32_SetCommMask(platform::FT_HANDLE h, uint32_t mask) override;
    void W32_Wake(platform::FT_HANDLE h) override;

    platform::FT_STATUS OpenEx(const char* arg, uint32_t flags, platform::FT_HANDLE* h) override;
    platform::FT_STATUS Open(int index, platform::FT_HANDLE* h) override;
    platform::FT_STATUS Close(platform::FT_HANDLE h) override;
    platform::FT_STATUS Read(platform::FT_HANDLE h, void* buffer, uint32_t count,
                             uint32_t* got) override;
    platform::FT_STATUS Write(platform::FT_HANDLE h, const void* buffer, uint32_t count,
                              uint32_t* written) override;
    platform::FT_STATUS ResetDevice(platform::FT_HANDLE h) override;
    platform::FT_STATUS SetBaudRate(platform::FT_HANDLE h, uint32_t baud) override;
    platform::FT_STATUS Purge(platform::FT_HANDLE h, uint32_t mask) override;
    platform::FT_STATUS SetTimeouts(platform::FT_HANDLE h, uint32_t readMs,
                                    uint32_t writeMs) override;
    platform::FT_STATUS GetQueueStatus(platform::FT_HANDLE h, uint32_t* rxBytes) override;
    platform::FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    platform::FT_STATUS SetBitMode(platform::FT_HANDLE h, uint8_t mask, uint8_t mode) override;
    platform::FT_STATUS EE_UARead(platform::FT_HANDLE h, uint8_t* buffer, uint32_t size,
                                  uint32_t* read) override;

  private:
    struct Handle {
        SimUsbDevice* device;
        bool w32;
    };

    platform::FT_HANDLE OpenDevice(SimUsbDevice* device, bool w32);
    SimUsbDevice* FindBy(const char* arg, uint32_t flags) const;
    std::vector<SimUsbDevice*> ListedDevices() const;
    /// The device behind an open handle of the given kind, or null.
    SimUsbDevice* Lookup(platform::FT_HANDLE h, bool w32) const;

    mutable std::mutex mutex_;  ///< guards devices_, handles_ and counters_
    std::vector<std::unique_ptr<SimUsbDevice>> devices_;
    std::map<platform::FT_HANDLE, std::unique_ptr<Handle>> handles_;
    mutable UsbCallCounters counters_;
};

/// A process-wide simulated USB bus: a converter and an adapter, each with a sensor of the
/// default identity over a drifting world; what a program chooses as its USB devices when
/// it simulates them without the bench. The first call creates it; it lives to the end of
/// the process.
platform::D2xx& DefaultSimUsbBus();

}  // namespace veska::sim
