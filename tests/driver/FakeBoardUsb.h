#pragma once
#include <cstring>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"
#include "platform/D2xx.h"

namespace veska::testing {

/// A D2XX backend for the driver's unit tests: a list of devices by serial number, a
/// receive queue fed on a schedule of the fake clock, every classic call recorded with its
/// bytes, and chosen calls failing.
class FakeBoardUsb final : public platform::D2xx {
  public:
    struct Call {
        std::string name;
        std::vector<uint8_t> bytes;  ///< written bytes (Write)
        uint32_t arg = 0;            ///< Open index, Purge mask, Read count, bit mode
    };

    explicit FakeBoardUsb(platform::FakeClock& clock) : clock_(clock) {}

    std::vector<std::string> serials;  ///< the attached devices, in device order
    bool listFails = false;
    std::vector<Call> calls;
    std::deque<uint8_t> rx;      ///< queued for the host
    uint32_t transferBytes = 0;  ///< GetQueueStatus reports at most this many (0: all)
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> arrivals;     ///< (at [ms], bytes)
    std::vector<uint8_t> eeprom = {0x00, 0x80, 0x00, 0x00, 0x80, 0x3F};  ///< 0x8000, 1.0f
    /// Answer of the query (0xEA): bytes queued when it is written.
    std::vector<uint8_t> queryAnswer = {0x11};

    /// The nth call (1-based) named name fails with FT_IO_ERROR; "Write" may be short.
    void Fail(const std::string& name, int nth, bool shortWrite = false) {
        failures_[name].insert(nth);
        if (shortWrite) shortWrites_.insert(nth);
    }

    std::vector<uint8_t> Written() const {
        std::vector<uint8_t> all;
        for (const Call& c : calls)
            if (c.name == "Write") all.insert(all.end(), c.bytes.begin(), c.bytes.end());
        return all;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const Call& c : calls) names.push_back(c.name);
        return names;
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const Call& c : calls) n += c.name == name;
        return n;
    }

    std::string Name() const override { return "fake-board"; }

    platform::FT_HANDLE W32_CreateFile(const char*, uint32_t, uint32_t, uint32_t,
                                       uint32_t) override {
        return platform::kInvalidHandle;
    }
    bool W32_CloseHandle(platform::FT_HANDLE) override { return false; }
    bool W32_ReadFile(platform::FT_HANDLE, void*, uint32_t, uint32_t*) override { return false; }
    bool W32_WriteFile(platform::FT_HANDLE, const void*, uint32_t, uint32_t*) override {
        return false;
    }
    bool W32_GetCommState(platform::FT_HANDLE, platform::Dcb*) override { return false; }
    bool W32_SetCommState(platform::FT_HANDLE, const platform::Dcb*) override { return false; }
    bool W32_SetCommTimeouts(platform::FT_HANDLE, const platform::CommTimeouts*) override {
        return false;
    }
    bool W32_SetupComm(platform::FT_HANDLE, uint32_t, uint32_t) override { return false; }
    bool W32_PurgeComm(platform::FT_HANDLE, uint32_t) override { return false; }
    bool W32_SetCommMask(platform::FT_HANDLE, uint32_t) override { return false; }
    void W32_Wake(platform::FT_HANDLE) override {}
    platform::FT_STATUS OpenEx(const char*, uint32_t, platform::FT_HANDLE*) override {
        return platform::FT_NOT_SUPPORTED;
    }

    platform::FT_STATUS Open(int index, platform::FT_HANDLE* h) override {
        if (Record("Open", uint32_t(index))) return platform::FT_IO_ERROR;
        if (index < 0 || size_t(index) >= serials.size()) return platform::FT_DEVICE_NOT_FOUND;
        *h = &handleTarget_[index % 16];
        return platform::FT_OK;
    }
    platform::FT_STATUS Close(platform::FT_HANDLE) override { return Status("Close"); }
    platform::FT_STATUS Read(platform::FT_HANDLE, void* buffer, uint32_t count,
                             uint32_t* got) override {
        *got = 0;
        if (Record("Read", count)) return platform::FT_IO_ERROR;
        Arrive();
        auto* out = static_cast<uint8_t*>(buffer);
        while (*got < count && !rx.empty()) {
            out[(*got)++] = rx.front();
            rx.pop_front();
        }
        return platform::FT_OK;
    }
    platform::FT_STATUS Write(platform::FT_HANDLE, const void* buffer, uint32_t count,
                              uint32_t* written) override {
        *written = 0;
        const int nth = Count("Write") + 1;
        const auto* in = static_cast<const uint8_t*>(buffer);
        calls.push_back({"Write", std::vector<uint8_t>(in, in + count), count});
        if (failures_["Write"].count(nth) != 0) {
            if (shortWrites_.count(nth) == 0) return platform::FT_IO_ERROR;
            *written = count - 1;
            return platform::FT_OK;
        }
        if (count == 1 && in[0] == 0xEA)
            rx.insert(rx.end(), queryAnswer.begin(), queryAnswer.end());
        *written = count;
        return platform::FT_OK;
    }
    platform::FT_STATUS ResetDevice(platform::FT_HANDLE) override { return Status("ResetDevice"); }
    platform::FT_STATUS SetBaudRate(platform::FT_HANDLE, uint32_t baud) override {
        return Record("SetBaudRate", baud) ? platform::FT_IO_ERROR : platform::FT_OK;
    }
    platform::FT_STATUS Purge(platform::FT_HANDLE, uint32_t mask) override {
        if (Record("Purge", mask)) return platform::FT_IO_ERROR;
        if (mask & platform::FT_PURGE_RX) rx.clear();
        return platform::FT_OK;
    }
    platform::FT_STATUS SetTimeouts(platform::FT_HANDLE, uint32_t readMs, uint32_t) override {
        return Record("SetTimeouts", readMs) ? platform::FT_IO_ERROR : platform::FT_OK;
    }
    platform::FT_STATUS GetQueueStatus(platform::FT_HANDLE, uint32_t* rxBytes) override {
        *rxBytes = 0;
        if (Record("GetQueueStatus", 0)) return platform::FT_IO_ERROR;
        Arrive();
        *rxBytes = static_cast<uint32_t>(rx.size());
        if (transferBytes > 0) *rxBytes = std::min(*rxBytes, transferBytes);
        return platform::FT_OK;
    }
    platform::FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override {
        if (Record("ListDevices", flags) || listFails) return platform::FT_IO_ERROR;
        if (flags & platform::FT_LIST_NUMBER_ONLY) {
            *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(serials.size());
            return platform::FT_OK;
        }
        const auto index = reinterpret_cast<uintptr_t>(arg1);
        if (index >= serials.size()) return platform::FT_DEVICE_NOT_FOUND;
        std::strncpy(static_cast<char*>(arg2), serials[index].c_str(), 63);
        return platform::FT_OK;
    }
    platform::FT_STATUS SetBitMode(platform::FT_HANDLE, uint8_t, uint8_t mode) override {
        return Record("SetBitMode", mode) ? platform::FT_IO_ERROR : platform::FT_OK;
    }
    platform::FT_STATUS EE_UARead(platform::FT_HANDLE, uint8_t* buffer, uint32_t size,
                                  uint32_t* read) override {
        *read = 0;
        if (Record("EE_UARead", size)) return platform::FT_EEPROM_READ_FAILED;
        std::memcpy(buffer, eeprom.data(), std::min<size_t>(size, eeprom.size()));
        *read = size;
        return platform::FT_OK;
    }

  private:
    /// Records a call; true when it is to fail.
    bool Record(const std::string& name, uint32_t arg) {
        const int nth = Count(name) + 1;
        calls.push_back({name, {}, arg});
        const auto it = failures_.find(name);
        return it != failures_.end() && it->second.count(nth) != 0;
    }
    platform::FT_STATUS Status(const std::string& name) {
        return Record(name, 0) ? platform::FT_IO_ERROR : platform::FT_OK;
    }
    /// Moves the bytes due by the fake clock's time into the queue.
    void Arrive() {
        for (auto it = arrivals.begin(); it != arrivals.end();) {
            if (it->first <= clock_.now) {
                rx.insert(rx.end(), it->second.begin(), it->second.end());
                it = arrivals.erase(it);
            } else {
                ++it;
            }
        }
    }

    platform::FakeClock& clock_;
    std::map<std::string, std::set<int>> failures_;
    std::set<int> shortWrites_;
    int handleTarget_[16] = {};
};

}  // namespace veska::testing
