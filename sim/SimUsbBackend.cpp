#include "sim/SimUsbBackend.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/SerialPort.h"

namespace veska::sim {

using platform::FT_HANDLE;
using platform::FT_STATUS;

namespace {

using SteadyClock = LinePeer::SteadyClock;
using TimePoint = LinePeer::TimePoint;
constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
constexpr size_t kListTextSize = 64;
constexpr uint8_t kEvenParity = 2;     ///< Dcb::Parity of the sensor's line
constexpr double kBitsPerByte = 11.0;  ///< start, 8 data, parity, stop

}  // namespace

// ---------------------------------------------------------------------------------------
// SimSerialUsbDevice

SimSerialUsbDevice::SimSerialUsbDevice(std::string description, std::string serialNumber,
                                       SensorDevice& sensor, LineOptions line, bool gatedByCbus3)
    : SimUsbDevice(std::move(description), std::move(serialNumber)),
      sensor_(sensor),
      line_(sensor, line),
      gated_(gatedByCbus3) {}

bool SimSerialUsbDevice::OnOpen(bool /*w32*/) {
    std::lock_guard lock(mutex_);
    if (open_) return false;  // a D2XX device opens once at a time
    open_ = true;
    ++openGeneration_;
    wakePending_ = false;
    timeouts_ = {};  // the transmit buffer keeps draining across a close and reopen
    return true;
}

SteadyClock::duration SimSerialUsbDevice::ByteTimeLocked() const {
    const double baud = dcb_.BaudRate != 0 ? dcb_.BaudRate : 1.0;
    return std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double>(kBitsPerByte / baud));
}

void SimSerialUsbDevice::DeliverTxLocked(TimePoint now) {
    std::vector<uint8_t> batch;
    TimePoint sent = now;
    while (!txQueue_.empty() && txNext_ <= now) {
        batch.push_back(txQueue_.front());
        txQueue_.pop_front();
        sent = txNext_;
        txNext_ += ByteTimeLocked();
    }
    if (batch.empty()) return;
    // A UART set to another rate or parity than the sensor's sees only framing errors.
    const bool heard =
        (!gated_ || cbus3_ == 1) && dcb_.BaudRate == line_.Baud() && dcb_.Parity == kEvenParity;
    if (!heard) {
        mismatchedBytes_ += batch.size();
        return;
    }
    line_.HostBytes(batch, sent);
    if (txQueue_.empty()) line_.EndOfBurst(sent);
}

void SimSerialUsbDevice::OnClose() {
    {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    changed_.notify_all();
}

bool SimSerialUsbDevice::Powered() const {
    std::lock_guard lock(mutex_);
    return !gated_ || cbus3_ == 1;
}

int SimSerialUsbDevice::Cbus3Level() const {
    std::lock_guard lock(mutex_);
    return gated_ ? cbus3_ : 1;
}

bool SimSerialUsbDevice::ReadFile(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    std::unique_lock lock(mutex_);
    if (!open_) return false;
    const uint32_t generation = openGeneration_;
    const platform::CommTimeouts t = timeouts_;
    const TimePoint start = SteadyClock::now();
    const bool returnAtOnce = t.ReadIntervalTimeout == kMaxDword &&
                              t.ReadTotalTimeoutMultiplier == 0 && t.ReadTotalTimeoutConstant == 0;
    const bool totalLimit = t.ReadTotalTimeoutMultiplier != 0 || t.ReadTotalTimeoutConstant != 0;
    const TimePoint totalDeadline =
        start + std::chrono::milliseconds(uint64_t{t.ReadTotalTimeoutMultiplier} * count +
                                          t.ReadTotalTimeoutConstant);
    const bool intervalLimit = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword;
    TimePoint lastByte = start;
    auto* out = static_cast<uint8_t*>(buffer);

    for (;;) {
        const TimePoint now = SteadyClock::now();
        DeliverTxLocked(now);
        const bool powered = !gated_ || cbus3_ == 1;
        if (powered && *got < count) {
            const size_t n = line_.Take(out + *got, count - *got, now);
            if (n > 0) {
                *got += static_cast<uint32_t>(n);
                lastByte = now;
            }
        }
        if (*got == count) return true;
        if (wakePending_) {
            wakePending_ = false;
            return true;
        }
        if (!open_ || openGeneration_ != generation) return false;
        if (returnAtOnce) return true;
        TimePoint deadline = TimePoint::max();
        if (totalLimit) deadline = totalDeadline;
        if (intervalLimit && *got > 0)
            deadline =
                std::min(deadline, lastByte + std::chrono::milliseconds(t.ReadIntervalTimeout));
        if (now >= deadline) return true;
        TimePoint next = powered ? line_.NextEvent(now) : TimePoint::max();
        if (!txQueue_.empty()) next = std::min(next, txNext_);
        changed_.wait_until(lock, std::min(deadline, std::max(next, now)));
    }
}

bool SimSerialUsbDevice::WriteFile(const void* buffer, uint32_t count, uint32_t* written) {
    *written = 0;
    {
        std::lock_guard lock(mutex_);
        if (!open_) return false;
        wakePending_ = false;  // a new exchange starts
        // The bytes wait in the chip's transmit buffer and leave it at the line rate; an
        // unpowered sensor behind the adapter takes nothing, silently.
        const TimePoint now = SteadyClock::now();
        DeliverTxLocked(now);
        if (txQueue_.empty()) txNext_ = now + ByteTimeLocked();
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        txQueue_.insert(txQueue_.end(), bytes, bytes + count);
        DeliverTxLocked(now);
        *written = count;
    }
    changed_.notify_all();
    return true;
}

bool SimSerialUsbDevice::GetCommState(platform::Dcb* dcb) {
    std::lock_guard lock(mutex_);
    if (!open_ || !dcb) return false;
    *dcb = dcb_;
    return true;
}

bool SimSerialUsbDevice::SetCommState(const platform::Dcb* dcb) {
    std::lock_guard lock(mutex_);
    if (!open_ || !dcb) return false;
    dcb_ = *dcb;
    return true;
}

bool SimSerialUsbDevice::SetCommTimeouts(const platform::CommTimeouts* timeouts) {
    std::lock_guard lock(mutex_);
    if (!open_ || !timeouts) return false;
    timeouts_ = *timeouts;
    return true;
}

bool SimSerialUsbDevice::PurgeComm(uint32_t flags) {
    {
        std::lock_guard lock(mutex_);
        if (!open_) return false;
        DeliverTxLocked(SteadyClock::now());
        if (flags & (platform::kPurgeRxAbort | platform::kPurgeRxClear)) line_.Purge();
        if (flags & platform::kPurgeTxClear) txQueue_.clear();  // an abort clears no buffer
        if (flags & platform::kPurgeRxAbort) wakePending_ = true;
    }
    changed_.notify_all();
    return true;
}

void SimSerialUsbDevice::Wake() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    changed_.notify_all();
}

FT_STATUS SimSerialUsbDevice::SetBitMode(uint8_t mask, uint8_t mode) {
    bool powerUp = false;
    bool powerDown = false;
    {
        std::lock_guard lock(mutex_);
        bitModes_.emplace_back(mask, mode);
        if (!gated_) return platform::FT_OK;
        int level = cbus3_;
        if (mode == platform::FT_BITMODE_CBUS_BITBANG) {
            // High nibble: CBUS directions (bit 7 = CBUS 3 an output); low nibble: levels.
            level = (mask & 0x80) && (mask & 0x08) ? 1 : 0;
        } else if (mode == platform::FT_BITMODE_RESET) {
            level = 0;
        }
        powerUp = cbus3_ == 0 && level == 1;
        powerDown = cbus3_ == 1 && level == 0;
        cbus3_ = level;
    }
    if (powerUp) sensor_.PowerCycle();  // the sensor boots from its flash set
    if (powerUp || powerDown) line_.Purge();
    changed_.notify_all();
    return platform::FT_OK;
}

bool SimSerialUsbDevice::TransmitPending() {
    std::lock_guard lock(mutex_);
    DeliverTxLocked(SteadyClock::now());
    return !txQueue_.empty();
}

uint64_t SimSerialUsbDevice::MismatchedBytes() const {
    std::lock_guard lock(mutex_);
    return mismatchedBytes_;
}

std::vector<std::pair<uint8_t, uint8_t>> SimSerialUsbDevice::BitModeHistory() const {
    std::lock_guard lock(mutex_);
    return bitModes_;
}

// ---------------------------------------------------------------------------------------
// SimUsbBackend

SimUsbBackend::SimUsbBackend() = default;
SimUsbBackend::~SimUsbBackend() = default;

SimUsbDevice& SimUsbBackend::AddDevice(std::unique_ptr<SimUsbDevice> device) {
    std::lock_guard lock(mutex_);
    devices_.push_back(std::move(device));
    return *devices_.back();
}

SimSerialUsbDevice& SimUsbBackend::AddConverter(SensorDevice& sensor, LineOptions line) {
    return static_cast<SimSerialUsbDevice&>(AddDevice(std::make_unique<SimSerialUsbDevice>(
        kConverterDescription, "FTSIM001", sensor, line, false)));
}

SimSerialUsbDevice& SimUsbBackend::AddAdapter(SensorDevice& sensor, LineOptions line) {
    return static_cast<SimSerialUsbDevice&>(AddDevice(
        std::make_unique<SimSerialUsbDevice>(kAdapterDescription, "PLSIM001", sensor, line, true)));
}

SimUsbDevice* SimUsbBackend::Find(const std::string& description) const {
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_)
        if (d->Description() == description) return d.get();
    return nullptr;
}

UsbCallCounters SimUsbBackend::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

SimUsbDevice* SimUsbBackend::FindBy(const char* arg, uint32_t flags) const {
    if (!arg) return nullptr;
    const bool byDescription = (flags & platform::FT_OPEN_BY_DESCRIPTION) != 0;
    for (const auto& d : devices_) {
        const std::string& key = byDescription ? d->Description() : d->SerialNumber();
        if (key == arg) return d.get();
    }
    return nullptr;
}

std::vector<SimUsbDevice*> SimUsbBackend::ListedDevices() const {
    std::vector<SimUsbDevice*> listed;
    for (const auto& d : devices_)
        if (d->Listed()) listed.push_back(d.get());
    return listed;
}

FT_HANDLE SimUsbBackend::OpenDevice(SimUsbDevice* device, bool w32) {
    if (!device || !device->OnOpen(w32)) return nullptr;
    auto handle = std::make_unique<Handle>(Handle{device, w32});
    FT_HANDLE h = handle.get();
    handles_.emplace(h, std::move(handle));
    return h;
}

SimUsbDevice* SimUsbBackend::Lookup(FT_HANDLE h, bool w32) const {
    std::lock_guard lock(mutex_);
    const auto it = handles_.find(h);
    if (it == handles_.end() || it->second->w32 != w32) return nullptr;
    return it->second->device;
}

FT_HANDLE SimUsbBackend::W32_CreateFile(const char* name, uint32_t, uint32_t, uint32_t,
                                        uint32_t flags) {
    std::lock_guard lock(mutex_);
    ++counters_.w32Create;
    FT_HANDLE h = OpenDevice(FindBy(name, flags), true);
    if (h) return h;
    ++counters_.w32CreateFailed;
    return platform::kInvalidHandle;
}

bool SimUsbBackend::W32_CloseHandle(FT_HANDLE h) {
    SimUsbDevice* device = nullptr;
    {
        std::lock_guard lock(mutex_);
        ++counters_.w32Close;
        const auto it = handles_.find(h);
        if (it == handles_.end() || !it->second->w32) return false;
        device = it->second->device;
        handles_.erase(it);
    }
    device->OnClose();
    return true;
}

bool SimUsbBackend::W32_ReadFile(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) {
    {
        std::lock_guard lock(mutex_);
        ++counters_.w32Read;
    }
    uint32_t dummy = 0;
    if (!got) got = &dummy;
    *got = 0;
    SimUsbDevice* device = Lookup(h, true);
    if (!device || (!buffer && count > 0)) return false;
    return device->ReadFile(buffer, count, got);
}

bool SimUsbBackend::W32_WriteFile(FT_HANDLE h, const void* buffer, uint32_t count,
                                  uint32_t* written) {
    {
        std::lock_guard lock(mutex_);
        ++counters_.w32Write;
    }
    uint32_t dummy = 0;
    if (!written) written = &dummy;
    *written = 0;
    SimUsbDevice* device = Lookup(h, true);
    if (!device || (!buffer && count > 0)) return false;
    return device->WriteFile(buffer, count, written);
}

bool SimUsbBackend::W32_GetCommState(FT_HANDLE h, platform::Dcb* dcb) {
    SimUsbDevice* device = Lookup(h, true);
    return device && device->GetCommState(dcb);
}

bool SimUsbBackend::W32_SetCommState(FT_HANDLE h, const platform::Dcb* dcb) {
    SimUsbDevice* device = Lookup(h, true);
    return device && device->SetCommState(dcb);
}

bool SimUsbBackend::W32_SetCommTimeouts(FT_HANDLE h, const platform::CommTimeouts* timeouts) {
    SimUsbDevice* device = Lookup(h, true);
    return device && device->SetCommTimeouts(timeouts);
}

bool SimUsbBackend::W32_SetupComm(FT_HANDLE h, uint32_t, uint32_t) {
    return Lookup(h, true) != nullptr;
}

bool SimUsbBackend::W32_PurgeComm(FT_HANDLE h, uint32_t flags) {
    {
        std::lock_guard lock(mutex_);
        ++counters_.w32Purge;
    }
    SimUsbDevice* device = Lookup(h, true);
    return device && device->PurgeComm(flags);
}

bool SimUsbBackend::W32_SetCommMask(FT_HANDLE h, uint32_t) { return Lookup(h, true) != nullptr; }

void SimUsbBackend::W32_Wake(FT_HANDLE h) {
    {
        std::lock_guard lock(mutex_);
        ++counters_.w32Wake;
    }
    if (SimUsbDevice* device = Lookup(h, true)) device->Wake();
}

FT_STATUS SimUsbBackend::OpenEx(const char* arg, uint32_t flags, FT_HANDLE* h) {
    std::lock_guard lock(mutex_);
    ++counters_.openEx;
    if (!h) return platform::FT_INVALID_PARAMETER;
    *h = nullptr;
    SimUsbDevice* device = FindBy(arg, flags);
    if (!device) {
        ++counters_.openExFailed;
        return platform::FT_DEVICE_NOT_FOUND;
    }
    *h = OpenDevice(device, false);
    if (*h) return platform::FT_OK;
    ++counters_.openExFailed;
    return platform::FT_DEVICE_NOT_OPENED;
}

FT_STATUS SimUsbBackend::Open(int index, FT_HANDLE* h) {
    std::lock_guard lock(mutex_);
    if (!h) return platform::FT_INVALID_PARAMETER;
    *h = nullptr;
    const std::vector<SimUsbDevice*> listed = ListedDevices();
    if (index < 0 || static_cast<size_t>(index) >= listed.size())
        return platform::FT_DEVICE_NOT_FOUND;
    *h = OpenDevice(listed[static_cast<size_t>(index)], false);
    return *h ? platform::FT_OK : platform::FT_DEVICE_NOT_OPENED;
}

FT_STATUS SimUsbBackend::Close(FT_HANDLE h) {
    SimUsbDevice* device = nullptr;
    {
        std::lock_guard lock(mutex_);
        ++counters_.close;
        const auto it = handles_.find(h);
        if (it == handles_.end() || it->second->w32) return platform::FT_INVALID_HANDLE;
        device = it->second->device;
        handles_.erase(it);
    }
    device->OnClose();
    return platform::FT_OK;
}

FT_STATUS SimUsbBackend::Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) {
    uint32_t dummy = 0;
    if (!got) got = &dummy;
    *got = 0;
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->Read(buffer, count, got) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) {
    uint32_t dummy = 0;
    if (!written) written = &dummy;
    *written = 0;
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->Write(buffer, count, written) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::ResetDevice(FT_HANDLE h) {
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->ResetDevice() : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::SetBaudRate(FT_HANDLE h, uint32_t baud) {
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->SetBaudRate(baud) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::Purge(FT_HANDLE h, uint32_t mask) {
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->Purge(mask) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) {
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->SetTimeouts(readMs, writeMs) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) {
    uint32_t dummy = 0;
    if (!rxBytes) rxBytes = &dummy;
    *rxBytes = 0;
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->GetQueueStatus(rxBytes) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::ListDevices(void* arg1, void* arg2, uint32_t flags) {
    std::lock_guard lock(mutex_);
    ++counters_.listDevices;
    const std::vector<SimUsbDevice*> listed = ListedDevices();
    if (flags & platform::FT_LIST_NUMBER_ONLY) {
        if (!arg1) return platform::FT_INVALID_PARAMETER;
        *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(listed.size());
        return platform::FT_OK;
    }
    if (flags & platform::FT_LIST_BY_INDEX) {
        const auto index = reinterpret_cast<uintptr_t>(arg1);
        if (!arg2) return platform::FT_INVALID_PARAMETER;
        if (index >= listed.size()) return platform::FT_DEVICE_NOT_FOUND;
        const SimUsbDevice* d = listed[index];
        const std::string& text =
            (flags & platform::FT_OPEN_BY_DESCRIPTION) ? d->Description() : d->SerialNumber();
        char* out = static_cast<char*>(arg2);
        const size_t n = std::min(text.size(), kListTextSize - 1);
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
        return platform::FT_OK;
    }
    return platform::FT_NOT_SUPPORTED;
}

FT_STATUS SimUsbBackend::SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) {
    {
        std::lock_guard lock(mutex_);
        ++counters_.setBitMode;
    }
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->SetBitMode(mask, mode) : platform::FT_INVALID_HANDLE;
}

FT_STATUS SimUsbBackend::EE_UARead(FT_HANDLE h, uint8_t* buffer, uint32_t size, uint32_t* read) {
    uint32_t dummy = 0;
    if (!read) read = &dummy;
    *read = 0;
    SimUsbDevice* device = Lookup(h, false);
    return device ? device->EE_UARead(buffer, size, read) : platform::FT_INVALID_HANDLE;
}

// ---------------------------------------------------------------------------------------

namespace {

/// The simulated bus a program chooses without the bench: one world, a sensor behind each device.
struct DefaultUsbBus {
    World world;
    SensorDevice converterSensor{world};
    SensorDevice adapterSensor{world};
    SimUsbBackend backend;

    DefaultUsbBus() {
        backend.AddConverter(converterSensor);
        backend.AddAdapter(adapterSensor);
    }
};

}  // namespace

platform::D2xx& DefaultSimUsbBus() {
    static DefaultUsbBus bus;  // lives to the end of the process, like any chosen backend
    return bus.backend;
}

}  // namespace veska::sim
