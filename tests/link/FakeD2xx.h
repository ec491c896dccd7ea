#pragma once
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "platform/D2xx.h"

namespace veska::testing {

/// A D2XX backend with one converter and one adapter that records every call. Reads serve
/// `input` by the count asked (fewer when it runs dry: a short read); writes go to `output`.
class FakeD2xx final : public platform::D2xx {
  public:
    std::vector<std::string> calls;  ///< call names in order
    bool converterPresent = true;
    bool adapterPresent = true;
    std::string createName;
    uint32_t createAccess = 0, createShare = 0, createCreation = 0, createFlags = 0;
    uint32_t rxQueue = 0, txQueue = 0;
    platform::Dcb dcb;  ///< the device state GetCommState reports and SetCommState stores
    platform::CommTimeouts timeouts;
    std::vector<uint32_t> purges;
    uint32_t commMask = 0;
    std::deque<uint8_t> input;
    std::vector<uint8_t> output;
    bool failReads = false;
    std::string openExName;
    uint32_t openExFlags = 0;
    uint8_t bitMask = 0, bitMode = 0;
    int wakes = 0;

    std::string Name() const override { return "fake"; }

    platform::FT_HANDLE W32_CreateFile(const char* name, uint32_t access, uint32_t share,
                                       uint32_t creation, uint32_t flags) override {
        calls.push_back("W32_CreateFile");
        createName = name;
        createAccess = access;
        createShare = share;
        createCreation = creation;
        createFlags = flags;
        return converterPresent ? Handle() : platform::kInvalidHandle;
    }
    bool W32_CloseHandle(platform::FT_HANDLE) override { return Log("W32_CloseHandle"); }
    bool W32_ReadFile(platform::FT_HANDLE, void* buffer, uint32_t count, uint32_t* got) override {
        calls.push_back("W32_ReadFile");
        *got = 0;
        if (failReads) return false;
        auto* out = static_cast<uint8_t*>(buffer);
        while (*got < count && !input.empty()) {
            out[(*got)++] = input.front();
            input.pop_front();
        }
        return true;
    }
    bool W32_WriteFile(platform::FT_HANDLE, const void* buffer, uint32_t count,
                       uint32_t* written) override {
        calls.push_back("W32_WriteFile");
        const auto* in = static_cast<const uint8_t*>(buffer);
        output.insert(output.end(), in, in + count);
        *written = count;
        return true;
    }
    bool W32_GetCommState(platform::FT_HANDLE, platform::Dcb* d) override {
        *d = dcb;
        return Log("W32_GetCommState");
    }
    bool W32_SetCommState(platform::FT_HANDLE, const platform::Dcb* d) override {
        dcb = *d;
        return Log("W32_SetCommState");
    }
    bool W32_SetCommTimeouts(platform::FT_HANDLE, const platform::CommTimeouts* t) override {
        timeouts = *t;
        return Log("W32_SetCommTimeouts");
    }
    bool W32_SetupComm(platform::FT_HANDLE, uint32_t rx, uint32_t tx) override {
        rxQueue = rx;
        txQueue = tx;
        return Log("W32_SetupComm");
    }
    bool W32_PurgeComm(platform::FT_HANDLE, uint32_t flags) override {
        purges.push_back(flags);
        return Log("W32_PurgeComm");
    }
    bool W32_SetCommMask(platform::FT_HANDLE, uint32_t mask) override {
        commMask = mask;
        return Log("W32_SetCommMask");
    }
    void W32_Wake(platform::FT_HANDLE) override {
        ++wakes;
        calls.push_back("W32_Wake");
    }

    platform::FT_STATUS OpenEx(const char* arg, uint32_t flags, platform::FT_HANDLE* h) override {
        calls.push_back("OpenEx");
        openExName = arg;
        openExFlags = flags;
        if (!adapterPresent) return platform::FT_DEVICE_NOT_FOUND;
        *h = Handle();
        return platform::FT_OK;
    }
    platform::FT_STATUS SetBitMode(platform::FT_HANDLE, uint8_t mask, uint8_t mode) override {
        calls.push_back("SetBitMode");
        bitMask = mask;
        bitMode = mode;
        return platform::FT_OK;
    }
    platform::FT_STATUS Close(platform::FT_HANDLE) override {
        calls.push_back("Close");
        return platform::FT_OK;
    }
    platform::FT_STATUS Open(int, platform::FT_HANDLE*) override { return Unused(); }
    platform::FT_STATUS Read(platform::FT_HANDLE, void*, uint32_t, uint32_t*) override {
        return Unused();
    }
    platform::FT_STATUS Write(platform::FT_HANDLE, const void*, uint32_t, uint32_t*) override {
        return Unused();
    }
    platform::FT_STATUS ResetDevice(platform::FT_HANDLE) override { return Unused(); }
    platform::FT_STATUS SetBaudRate(platform::FT_HANDLE, uint32_t) override { return Unused(); }
    platform::FT_STATUS Purge(platform::FT_HANDLE, uint32_t) override { return Unused(); }
    platform::FT_STATUS SetTimeouts(platform::FT_HANDLE, uint32_t, uint32_t) override {
        return Unused();
    }
    platform::FT_STATUS GetQueueStatus(platform::FT_HANDLE, uint32_t*) override { return Unused(); }
    platform::FT_STATUS ListDevices(void*, void*, uint32_t) override { return Unused(); }
    platform::FT_STATUS EE_UARead(platform::FT_HANDLE, uint8_t*, uint32_t, uint32_t*) override {
        return Unused();
    }

  private:
    platform::FT_HANDLE Handle() { return &handleTarget_; }
    bool Log(const char* name) {
        calls.push_back(name);
        return true;
    }
    platform::FT_STATUS Unused() {
        calls.push_back("unexpected");
        return platform::FT_NOT_SUPPORTED;
    }
    int handleTarget_ = 0;
};

}  // namespace veska::testing
