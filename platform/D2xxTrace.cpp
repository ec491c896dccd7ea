#include "platform/D2xxTrace.h"

#include <cstdio>

#include "platform/TraceLine.h"

namespace veska::platform {

namespace {

std::string Status(FT_STATUS s) {
    static const char* const names[] = {
        "FT_OK",       "FT_INVALID_HANDLE",         "FT_DEVICE_NOT_FOUND",  "FT_DEVICE_NOT_OPENED",
        "FT_IO_ERROR", "FT_INSUFFICIENT_RESOURCES", "FT_INVALID_PARAMETER", "FT_INVALID_BAUD_RATE"};
    if (s < std::size(names)) return names[s];
    return "FT_STATUS " + std::to_string(s);
}

std::string Handle(FT_HANDLE h) {
    char text[32];
    std::snprintf(text, sizeof text, "%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    return text;
}

std::string Hex(uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "%#x", v);
    return text;
}

class TracingD2xx final : public D2xx {
  public:
    TracingD2xx(D2xx& inner, std::string name, TraceSink sink)
        : inner_(inner), name_(std::move(name)), sink_(std::move(sink)) {
        if (!sink_) sink_ = [](const std::string& n, const std::string& b) { EmitTraceLine(n, b); };
    }

    std::string Name() const override { return inner_.Name(); }

    FT_HANDLE W32_CreateFile(const char* name, uint32_t access, uint32_t share, uint32_t creation,
                             uint32_t flags) override {
        const FT_HANDLE h = inner_.W32_CreateFile(name, access, share, creation, flags);
        Line("FT_W32_CreateFile(\"" + Text(name) + "\", flags=" + Hex(flags) + ") -> " +
             (h == kInvalidHandle ? std::string("INVALID_HANDLE") : "h=" + Handle(h)));
        return h;
    }
    bool W32_CloseHandle(FT_HANDLE h) override {
        return Bool("FT_W32_CloseHandle(h=" + Handle(h) + ")", inner_.W32_CloseHandle(h));
    }
    bool W32_ReadFile(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override {
        const bool ok = inner_.W32_ReadFile(h, buffer, count, got);
        const uint32_t n = got != nullptr ? *got : 0;
        Line("FT_W32_ReadFile(h=" + Handle(h) + ", " + std::to_string(count) + ") -> " +
             (ok ? "true" : "false") + ", " + std::to_string(n) + " read <<" + HexBytes(buffer, n));
        return ok;
    }
    bool W32_WriteFile(FT_HANDLE h, const void* buffer, uint32_t count,
                       uint32_t* written) override {
        const bool ok = inner_.W32_WriteFile(h, buffer, count, written);
        Line("FT_W32_WriteFile(h=" + Handle(h) + ", " + std::to_string(count) + ") >>" +
             HexBytes(buffer, count) + " -> " + (ok ? "true" : "false") + ", " +
             std::to_string(written != nullptr ? *written : 0) + " written");
        return ok;
    }
    bool W32_GetCommState(FT_HANDLE h, Dcb* dcb) override {
        return Bool("FT_W32_GetCommState(h=" + Handle(h) + ")", inner_.W32_GetCommState(h, dcb));
    }
    bool W32_SetCommState(FT_HANDLE h, const Dcb* dcb) override {
        const std::string args = dcb != nullptr ? ", baud=" + std::to_string(dcb->BaudRate) +
                                                      ", bits=" + std::to_string(dcb->ByteSize) +
                                                      ", parity=" + std::to_string(dcb->Parity) +
                                                      ", stop=" + std::to_string(dcb->StopBits)
                                                : std::string();
        return Bool("FT_W32_SetCommState(h=" + Handle(h) + args + ")",
                    inner_.W32_SetCommState(h, dcb));
    }
    bool W32_SetCommTimeouts(FT_HANDLE h, const CommTimeouts* t) override {
        const std::string args =
            t != nullptr ? ", interval=" + std::to_string(t->ReadIntervalTimeout) +
                               ", read=" + std::to_string(t->ReadTotalTimeoutMultiplier) + "x+" +
                               std::to_string(t->ReadTotalTimeoutConstant) +
                               ", write=" + std::to_string(t->WriteTotalTimeoutMultiplier) + "x+" +
                               std::to_string(t->WriteTotalTimeoutConstant)
                         : std::string();
        return Bool("FT_W32_SetCommTimeouts(h=" + Handle(h) + args + ")",
                    inner_.W32_SetCommTimeouts(h, t));
    }
    bool W32_SetupComm(FT_HANDLE h, uint32_t rx, uint32_t tx) override {
        return Bool("FT_W32_SetupComm(h=" + Handle(h) + ", " + std::to_string(rx) + ", " +
                        std::to_string(tx) + ")",
                    inner_.W32_SetupComm(h, rx, tx));
    }
    bool W32_PurgeComm(FT_HANDLE h, uint32_t flags) override {
        return Bool("FT_W32_PurgeComm(h=" + Handle(h) + ", " + Hex(flags) + ")",
                    inner_.W32_PurgeComm(h, flags));
    }
    bool W32_SetCommMask(FT_HANDLE h, uint32_t mask) override {
        return Bool("FT_W32_SetCommMask(h=" + Handle(h) + ", " + Hex(mask) + ")",
                    inner_.W32_SetCommMask(h, mask));
    }
    void W32_Wake(FT_HANDLE h) override {
        inner_.W32_Wake(h);
        Line("wake(h=" + Handle(h) + ")");
    }

    FT_STATUS OpenEx(const char* arg, uint32_t flags, FT_HANDLE* h) override {
        const FT_STATUS s = inner_.OpenEx(arg, flags, h);
        Line("FT_OpenEx(\"" + Text(arg) + "\", " + Hex(flags) + ") -> " + Status(s) +
             HandleOut(s, h));
        return s;
    }
    FT_STATUS Open(int index, FT_HANDLE* h) override {
        const FT_STATUS s = inner_.Open(index, h);
        Line("FT_Open(" + std::to_string(index) + ") -> " + Status(s) + HandleOut(s, h));
        return s;
    }
    FT_STATUS Close(FT_HANDLE h) override {
        return Traced("FT_Close(h=" + Handle(h) + ")", inner_.Close(h));
    }
    FT_STATUS Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override {
        const FT_STATUS s = inner_.Read(h, buffer, count, got);
        const uint32_t n = got != nullptr ? *got : 0;
        Line("FT_Read(h=" + Handle(h) + ", " + std::to_string(count) + ") -> " + Status(s) + ", " +
             std::to_string(n) + " read <<" + HexBytes(buffer, n));
        return s;
    }
    FT_STATUS Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) override {
        const FT_STATUS s = inner_.Write(h, buffer, count, written);
        Line("FT_Write(h=" + Handle(h) + ", " + std::to_string(count) + ") >>" +
             HexBytes(buffer, count) + " -> " + Status(s) + ", " +
             std::to_string(written != nullptr ? *written : 0) + " written");
        return s;
    }
    FT_STATUS ResetDevice(FT_HANDLE h) override {
        return Traced("FT_ResetDevice(h=" + Handle(h) + ")", inner_.ResetDevice(h));
    }
    FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) override {
        return Traced("FT_SetBaudRate(h=" + Handle(h) + ", " + std::to_string(baud) + ")",
                      inner_.SetBaudRate(h, baud));
    }
    FT_STATUS Purge(FT_HANDLE h, uint32_t mask) override {
        return Traced("FT_Purge(h=" + Handle(h) + ", " + std::to_string(mask) + ")",
                      inner_.Purge(h, mask));
    }
    FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override {
        return Traced("FT_SetTimeouts(h=" + Handle(h) + ", " + std::to_string(readMs) + ", " +
                          std::to_string(writeMs) + ")",
                      inner_.SetTimeouts(h, readMs, writeMs));
    }
    FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) override {
        const FT_STATUS s = inner_.GetQueueStatus(h, rxBytes);
        Line("FT_GetQueueStatus(h=" + Handle(h) + ") -> " + Status(s) + ", " +
             std::to_string(rxBytes != nullptr ? *rxBytes : 0) + " queued");
        return s;
    }
    FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override {
        const FT_STATUS s = inner_.ListDevices(arg1, arg2, flags);
        std::string call = "FT_ListDevices(";
        std::string out;
        if ((flags & FT_LIST_NUMBER_ONLY) != 0) {
            call += "number only";
            if (s == FT_OK && arg1 != nullptr)
                out = ", " + std::to_string(*static_cast<uint32_t*>(arg1)) + " devices";
        } else {
            call += std::to_string(reinterpret_cast<uintptr_t>(arg1)) + ", " + Hex(flags);
            if (s == FT_OK && arg2 != nullptr) out = ", \"" + Text(static_cast<char*>(arg2)) + "\"";
        }
        Line(call + ") -> " + Status(s) + out);
        return s;
    }
    FT_STATUS SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) override {
        return Traced(
            "FT_SetBitMode(h=" + Handle(h) + ", mask=" + Hex(mask) + ", mode=" + Hex(mode) + ")",
            inner_.SetBitMode(h, mask, mode));
    }
    FT_STATUS EE_UARead(FT_HANDLE h, uint8_t* buffer, uint32_t size, uint32_t* read) override {
        const FT_STATUS s = inner_.EE_UARead(h, buffer, size, read);
        const uint32_t n = s == FT_OK && read != nullptr ? *read : 0;
        Line("FT_EE_UARead(h=" + Handle(h) + ", " + std::to_string(size) + ") -> " + Status(s) +
             ", " + std::to_string(n) + " read <<" + HexBytes(buffer, n));
        return s;
    }

  private:
    static std::string Text(const char* s) { return s != nullptr ? s : "(null)"; }
    static std::string HandleOut(FT_STATUS s, FT_HANDLE* h) {
        return s == FT_OK && h != nullptr ? ", h=" + Handle(*h) : std::string();
    }
    void Line(const std::string& body) const { sink_(name_, body); }
    bool Bool(const std::string& call, bool ok) const {
        Line(call + " -> " + (ok ? "true" : "false"));
        return ok;
    }
    FT_STATUS Traced(const std::string& call, FT_STATUS s) const {
        Line(call + " -> " + Status(s));
        return s;
    }

    D2xx& inner_;
    std::string name_;
    TraceSink sink_;
};

}  // namespace

std::unique_ptr<D2xx> MakeTracingD2xx(D2xx& inner, std::string name, TraceSink sink) {
    return std::make_unique<TracingD2xx>(inner, std::move(name), std::move(sink));
}

}  // namespace veska::platform
