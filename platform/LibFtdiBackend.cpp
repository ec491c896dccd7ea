#include <ftdi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/D2xx.h"
#include "platform/ReadTimeoutRule.h"

namespace veska::platform {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr int kFtdiVendor = 0x0403;
/// FT232/FT245 (0x6001), FT2232 (0x6010), FT4232 (0x6011), FT232H (0x6014), FT-X (0x6015).
constexpr int kFtdiProducts[] = {0x6001, 0x6010, 0x6011, 0x6014, 0x6015};
/// The chip sends what it has after this long [ms]; the default 16 ms would add 16 ms to
/// every request and its reply.
constexpr unsigned char kLatencyTimerMs = 1;
constexpr int kFetchSize = 4096;        ///< bytes asked of the chip per USB read
constexpr int kEepromImageSize = 256;   ///< libftdi's largest EEPROM image [bytes]
constexpr size_t kListStringSize = 64;  ///< the buffer of a ListDevices string [bytes]
constexpr int kFtdiDeviceNotFound = -3;
constexpr auto kPollSlice = std::chrono::milliseconds(1);

struct ContextDeleter {
    void operator()(ftdi_context* c) const { ftdi_free(c); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

struct DeviceListDeleter {
    void operator()(ftdi_device_list* l) const { ftdi_list_free2(l); }
};
using DeviceList = std::unique_ptr<ftdi_device_list, DeviceListDeleter>;

/// One open converter. io guards every member except wake.
struct Device {
    explicit Device(Context c) : ctx(std::move(c)) {}
    ~Device() {
        if (open) ftdi_usb_close(ctx.get());
    }

    std::mutex io;
    Context ctx;
    bool open = true;
    std::deque<uint8_t> readAhead;  ///< bytes fetched from the chip, not yet handed out
    Dcb dcb;                        ///< as last set by W32_SetCommState
    CommTimeouts timeouts;          ///< as last set by W32_SetCommTimeouts
    uint32_t readMs = 0;            ///< FT_Read time-out [ms]; 0: none
    uint32_t writeMs = 0;           ///< FT_Write time-out [ms]; 0: none
    /// Set by W32_Wake: W32_ReadFile returns at once until the next W32_WriteFile.
    std::atomic<bool> wake{false};
};

/// Moves what libftdi holds in its own buffer into the read-ahead buffer; no USB transfer.
void TakeLibftdiBuffer(Device& dev) {
    uint8_t chunk[kFetchSize];
    while (dev.ctx->readbuffer_remaining > 0) {
        const int want =
            static_cast<int>(std::min<unsigned int>(dev.ctx->readbuffer_remaining, kFetchSize));
        const int n = ftdi_read_data(dev.ctx.get(), chunk, want);  // served from its buffer
        if (n <= 0) return;
        dev.readAhead.insert(dev.readAhead.end(), chunk, chunk + n);
    }
}

/// Fetches what the chip has into the read-ahead buffer: at most one USB transfer, which
/// ends after about one latency period when the chip has nothing. ftdi_read_data keeps
/// transferring until it has all the bytes asked for while data keep coming, so a steady
/// stream would stall a read of a large block; asking for one byte ends it after the first
/// transfer that carries data, and the rest of that transfer is taken from libftdi's
/// buffer. Caller holds dev.io. Negative on a USB error.
int Fetch(Device& dev) {
    const size_t before = dev.readAhead.size();
    if (dev.ctx->readbuffer_remaining == 0) {
        uint8_t first = 0;
        const int n = ftdi_read_data(dev.ctx.get(), &first, 1);
        if (n < 0) return n;
        if (n > 0) dev.readAhead.push_back(first);
    }
    TakeLibftdiBuffer(dev);
    return static_cast<int>(dev.readAhead.size() - before);
}

/// Hands out up to max bytes, fetching when the read-ahead buffer is empty. Negative on a
/// USB error or when the device has been closed.
int ReadSome(Device& dev, uint8_t* out, uint32_t max) {
    std::lock_guard<std::mutex> lock(dev.io);
    if (!dev.open) return -1;
    if (dev.readAhead.empty() && Fetch(dev) < 0) return -1;
    const uint32_t n = std::min<uint32_t>(max, static_cast<uint32_t>(dev.readAhead.size()));
    std::copy_n(dev.readAhead.begin(), n, out);
    dev.readAhead.erase(dev.readAhead.begin(), dev.readAhead.begin() + n);
    return static_cast<int>(n);
}

/// Reads by the time-out rule, polling the chip in short slices. stopOnWake: W32_Wake
/// ends the read. False on a USB error; got holds the bytes stored.
bool TimedRead(Device& dev, uint8_t* out, uint32_t count, uint32_t& got, ReadTimeoutRule rule,
               bool stopOnWake) {
    got = 0;
    for (bool first = true;; first = false) {
        if (stopOnWake && dev.wake.load()) return true;
        if (!first && rule.Remaining(SteadyClock::now()) == ReadTimeoutRule::Duration::zero()) {
            return true;
        }
        const int n = ReadSome(dev, out + got, count - got);
        if (n < 0) return false;
        if (n > 0) {
            got += static_cast<uint32_t>(n);
            if (got == count) return true;
            rule.BytesArrived(SteadyClock::now());
            continue;
        }
        const ReadTimeoutRule::Duration left = rule.Remaining(SteadyClock::now());
        if (left == ReadTimeoutRule::Duration::zero()) return true;
        std::this_thread::sleep_for(std::min<ReadTimeoutRule::Duration>(left, kPollSlice));
    }
}

/// libusb time-out [ms] for a write of count bytes: the Win32 budget, but never less than
/// the bytes take on the line (12 bits each, the widest frame) plus 100 ms. 0: none.
int WriteTimeoutMs(const CommTimeouts& t, uint32_t baud, uint32_t count) {
    if (t.WriteTotalTimeoutMultiplier == 0 && t.WriteTotalTimeoutConstant == 0) return 0;
    const uint64_t budget =
        uint64_t{t.WriteTotalTimeoutMultiplier} * count + t.WriteTotalTimeoutConstant;
    const uint64_t rate = baud != 0 ? baud : 9600;
    const uint64_t line = (uint64_t{count} * 12 * 1000 + rate - 1) / rate + 100;
    return static_cast<int>(std::min<uint64_t>(std::max(budget, line), INT_MAX));
}

ftdi_parity_type ParityOf(uint8_t code) {
    switch (code) {
        case 1:
            return ODD;
        case 2:
            return EVEN;
        case 3:
            return MARK;
        case 4:
            return SPACE;
        default:
            return NONE;
    }
}

ftdi_stopbits_type StopBitsOf(uint8_t code) {
    switch (code) {
        case 1:
            return STOP_BIT_15;
        case 2:
            return STOP_BIT_2;
        default:
            return STOP_BIT_1;
    }
}

/// Copies text into a ListDevices buffer, cut to fit.
void CopyListString(const char* text, void* buffer) {
    auto* out = static_cast<char*>(buffer);
    std::strncpy(out, text, kListStringSize - 1);
    out[kListStringSize - 1] = '\0';
}

/// The start of the EEPROM user area in an image of size bytes: the first word after the
/// manufacturer, product and serial number string descriptors (pointer/length pairs at
/// 0x0E..0x13), and never inside the fixed header (0x00..0x17).
int UserAreaStart(const uint8_t* image, int size) {
    int end = 0x18;
    for (int at : {0x0E, 0x10, 0x12}) {
        const int offset = image[at] % size;  // the pointers carry 0x80 on 128-byte parts
        const int length = image[at + 1];
        if (length > 0) end = std::max(end, offset + length);
    }
    return (end + 1) & ~1;
}

class LibFtdiBackend final : public D2xx {
  public:
    ~LibFtdiBackend() override = default;

    std::string Name() const override { return "libftdi"; }

    FT_HANDLE W32_CreateFile(const char* name, uint32_t, uint32_t, uint32_t,
                             uint32_t flags) override {
        FT_HANDLE h = kInvalidHandle;
        const bool byDescription = (flags & FT_OPEN_BY_DESCRIPTION) != 0;
        return OpenByName(name, !byDescription, &h) == FT_OK ? h : kInvalidHandle;
    }

    bool W32_CloseHandle(FT_HANDLE h) override { return Close(h) == FT_OK; }

    bool W32_ReadFile(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override {
        if (got != nullptr) *got = 0;
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev || got == nullptr || (buffer == nullptr && count != 0)) return false;
        if (count == 0) return true;
        CommTimeouts t;
        {
            std::lock_guard<std::mutex> lock(dev->io);
            t = dev->timeouts;
        }
        const ReadTimeoutRule rule(t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                   t.ReadTotalTimeoutConstant, count, SteadyClock::now());
        return TimedRead(*dev, static_cast<uint8_t*>(buffer), count, *got, rule, true);
    }

    bool W32_WriteFile(FT_HANDLE h, const void* buffer, uint32_t count,
                       uint32_t* written) override {
        if (written != nullptr) *written = 0;
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev || written == nullptr || (buffer == nullptr && count != 0)) return false;
        dev->wake.store(false);
        std::lock_guard<std::mutex> lock(dev->io);
        if (!dev->open) return false;
        dev->ctx->usb_write_timeout = WriteTimeoutMs(dev->timeouts, dev->dcb.BaudRate, count);
        return WriteLocked(*dev, buffer, count, *written);
    }

    bool W32_GetCommState(FT_HANDLE h, Dcb* dcb) override {
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev || dcb == nullptr) return false;
        std::lock_guard<std::mutex> lock(dev->io);
        *dcb = dev->dcb;
        return true;
    }

    bool W32_SetCommState(FT_HANDLE h, const Dcb* dcb) override {
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev || dcb == nullptr) return false;
        std::lock_guard<std::mutex> lock(dev->io);
        if (!dev->open) return false;
        ftdi_context* ctx = dev->ctx.get();
        bool ok = dcb->BaudRate != 0 && dcb->BaudRate <= INT_MAX &&
                  ftdi_set_baudrate(ctx, static_cast<int>(dcb->BaudRate)) == 0;
        ok = ftdi_set_line_property2(ctx, dcb->ByteSize == 7 ? BITS_7 : BITS_8,
                                     StopBitsOf(dcb->StopBits), ParityOf(dcb->Parity),
                                     BREAK_OFF) == 0 &&
             ok;
        const int flow = dcb->fOutxCtsFlow   ? SIO_RTS_CTS_HS
                         : dcb->fOutxDsrFlow ? SIO_DTR_DSR_HS
                                             : SIO_DISABLE_FLOW_CTRL;
        ok = ftdi_setflowctrl(ctx, flow) == 0 && ok;
        if (dcb->fDtrControl == kDtrControlEnable || dcb->fDtrControl == kDtrControlDisable) {
            ok = ftdi_setdtr(ctx, dcb->fDtrControl == kDtrControlEnable ? 1 : 0) == 0 && ok;
        }
        if (dcb->fRtsControl == kRtsControlEnable || dcb->fRtsControl == kRtsControlDisable) {
            ok = ftdi_setrts(ctx, dcb->fRtsControl == kRtsControlEnable ? 1 : 0) == 0 && ok;
        }
        dev->dcb = *dcb;
        return ok;
    }

    bool W32_SetCommTimeouts(FT_HANDLE h, const CommTimeouts* timeouts) override {
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev || timeouts == nullptr) return false;
        std::lock_guard<std::mutex> lock(dev->io);
        dev->timeouts = *timeouts;
        return true;
    }

    // Queue sizes have no meaning for libftdi; the read-ahead buffer grows as needed.
    bool W32_SetupComm(FT_HANDLE h, uint32_t, uint32_t) override { return Find(h) != nullptr; }

    bool W32_PurgeComm(FT_HANDLE h, uint32_t flags) override {
        const uint32_t mask = FtPurgeMaskOfW32Flags(flags);
        if (mask == 0) return Find(h) != nullptr;
        return Purge(h, mask) == FT_OK;
    }

    bool W32_SetCommMask(FT_HANDLE h, uint32_t) override { return Find(h) != nullptr; }

    void W32_Wake(FT_HANDLE h) override {
        if (const std::shared_ptr<Device> dev = Find(h)) dev->wake.store(true);
    }

    FT_STATUS OpenEx(const char* arg, uint32_t flags, FT_HANDLE* h) override {
        if (h != nullptr) *h = nullptr;
        if (arg == nullptr || h == nullptr) return FT_INVALID_PARAMETER;
        if ((flags & FT_OPEN_BY_DESCRIPTION) != 0) return OpenByName(arg, false, h);
        if ((flags & FT_OPEN_BY_SERIAL_NUMBER) != 0) return OpenByName(arg, true, h);
        return FT_NOT_SUPPORTED;
    }

    FT_STATUS Open(int index, FT_HANDLE* h) override {
        if (h != nullptr) *h = nullptr;
        if (h == nullptr) return FT_INVALID_PARAMETER;
        Context ctx(ftdi_new());
        if (!ctx) return FT_INSUFFICIENT_RESOURCES;
        ftdi_device_list* raw = nullptr;
        const int n = ftdi_usb_find_all(ctx.get(), &raw, 0, 0);
        const DeviceList list(raw);
        if (n < 0) return FT_IO_ERROR;
        if (index < 0 || index >= n) return FT_DEVICE_NOT_FOUND;
        ftdi_device_list* entry = list.get();
        for (int i = 0; i < index && entry != nullptr; ++i) entry = entry->next;
        if (entry == nullptr) return FT_DEVICE_NOT_FOUND;
        if (ftdi_usb_open_dev(ctx.get(), entry->dev) != 0) return FT_DEVICE_NOT_OPENED;
        *h = Register(std::move(ctx));
        return FT_OK;
    }

    FT_STATUS Close(FT_HANDLE h) override {
        std::shared_ptr<Device> dev;
        {
            std::lock_guard<std::mutex> lock(handlesMutex_);
            const auto it = handles_.find(Key(h));
            if (it == handles_.end()) return FT_INVALID_HANDLE;
            dev = std::move(it->second);
            handles_.erase(it);
        }
        std::lock_guard<std::mutex> lock(dev->io);
        if (dev->open) ftdi_usb_close(dev->ctx.get());
        dev->open = false;
        return FT_OK;
    }

    FT_STATUS Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override {
        if (got != nullptr) *got = 0;
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev) return FT_INVALID_HANDLE;
        if (got == nullptr || (buffer == nullptr && count != 0)) return FT_INVALID_PARAMETER;
        if (count == 0) return FT_OK;
        uint32_t readMs;
        {
            std::lock_guard<std::mutex> lock(dev->io);
            readMs = dev->readMs;
        }
        const ReadTimeoutRule rule(0, 0, readMs, count, SteadyClock::now());
        return TimedRead(*dev, static_cast<uint8_t*>(buffer), count, *got, rule, false)
                   ? FT_OK
                   : FT_IO_ERROR;
    }

    FT_STATUS Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) override {
        if (written != nullptr) *written = 0;
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev) return FT_INVALID_HANDLE;
        if (written == nullptr || (buffer == nullptr && count != 0)) return FT_INVALID_PARAMETER;
        std::lock_guard<std::mutex> lock(dev->io);
        if (!dev->open) return FT_IO_ERROR;
        dev->ctx->usb_write_timeout = static_cast<int>(std::min<uint32_t>(dev->writeMs, INT_MAX));
        return WriteLocked(*dev, buffer, count, *written) ? FT_OK : FT_IO_ERROR;
    }

    FT_STATUS ResetDevice(FT_HANDLE h) override {
        return WithDevice(h, [](Device& dev) {
            dev.readAhead.clear();
            return ftdi_usb_reset(dev.ctx.get()) == 0 ? FT_OK : FT_IO_ERROR;
        });
    }

    FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) override {
        return WithDevice(h, [baud](Device& dev) {
            if (baud == 0 || baud > INT_MAX) return FT_STATUS{FT_INVALID_BAUD_RATE};
            const int rc = ftdi_set_baudrate(dev.ctx.get(), static_cast<int>(baud));
            if (rc == 0) dev.dcb.BaudRate = baud;
            return rc == 0    ? FT_STATUS{FT_OK}
                   : rc == -1 ? FT_STATUS{FT_INVALID_BAUD_RATE}
                              : FT_STATUS{FT_IO_ERROR};
        });
    }

    FT_STATUS Purge(FT_HANDLE h, uint32_t mask) override {
        return WithDevice(h, [mask](Device& dev) {
            bool ok = true;
            if ((mask & FT_PURGE_RX) != 0) {
                dev.readAhead.clear();
                ok = ftdi_tciflush(dev.ctx.get()) == 0;
            }
            if ((mask & FT_PURGE_TX) != 0) ok = ftdi_tcoflush(dev.ctx.get()) == 0 && ok;
            return ok ? FT_OK : FT_IO_ERROR;
        });
    }

    FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override {
        return WithDevice(h, [=](Device& dev) {
            dev.readMs = readMs;
            dev.writeMs = writeMs;
            return FT_OK;
        });
    }

    FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) override {
        if (rxBytes != nullptr) *rxBytes = 0;
        if (rxBytes == nullptr) return Find(h) ? FT_INVALID_PARAMETER : FT_INVALID_HANDLE;
        // libftdi cannot ask the chip how much it holds: fetch what it has and count.
        return WithDevice(h, [rxBytes](Device& dev) {
            // Everything counted is in the read-ahead buffer, so that a Read of this many
            // bytes returns at once.
            if (Fetch(dev) < 0) return FT_IO_ERROR;
            *rxBytes = static_cast<uint32_t>(dev.readAhead.size());
            return FT_OK;
        });
    }

    FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) override {
        if ((flags & FT_LIST_NUMBER_ONLY) != 0) {
            if (arg1 == nullptr) return FT_INVALID_PARAMETER;
            auto* count = static_cast<uint32_t*>(arg1);
            *count = 0;
            Context ctx(ftdi_new());
            if (!ctx) return FT_INSUFFICIENT_RESOURCES;
            ftdi_device_list* raw = nullptr;
            const int n = ftdi_usb_find_all(ctx.get(), &raw, 0, 0);
            const DeviceList list(raw);
            if (n < 0) return FT_IO_ERROR;
            *count = static_cast<uint32_t>(n);
            return FT_OK;
        }
        if ((flags & FT_LIST_BY_INDEX) != 0) {
            const bool bySerial = (flags & FT_OPEN_BY_SERIAL_NUMBER) != 0;
            const bool byDescription = (flags & FT_OPEN_BY_DESCRIPTION) != 0;
            if (arg2 == nullptr || bySerial == byDescription) return FT_INVALID_PARAMETER;
            return ListString(reinterpret_cast<uintptr_t>(arg1), bySerial, arg2);
        }
        // FT_LIST_ALL would fill a caller's array of unknown length: not offered.
        return (flags & FT_LIST_ALL) != 0 ? FT_NOT_SUPPORTED : FT_INVALID_PARAMETER;
    }

    FT_STATUS SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) override {
        return WithDevice(h, [=](Device& dev) {
            return ftdi_set_bitmode(dev.ctx.get(), mask, mode) == 0 ? FT_OK : FT_IO_ERROR;
        });
    }

    FT_STATUS EE_UARead(FT_HANDLE h, uint8_t* buffer, uint32_t size, uint32_t* read) override {
        if (read != nullptr) *read = 0;
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev) return FT_INVALID_HANDLE;
        if (read == nullptr || (buffer == nullptr && size != 0)) return FT_INVALID_PARAMETER;
        std::lock_guard<std::mutex> lock(dev->io);
        if (!dev->open) return FT_IO_ERROR;
        ftdi_context* ctx = dev->ctx.get();
        if (ftdi_read_eeprom(ctx) < 0 || ftdi_eeprom_decode(ctx, 0) < 0)
            return FT_EEPROM_READ_FAILED;
        int chipSize = 0;
        if (ftdi_get_eeprom_value(ctx, CHIP_SIZE, &chipSize) < 0 || chipSize <= 0) chipSize = 128;
        if (chipSize > kEepromImageSize) return FT_EEPROM_READ_FAILED;
        uint8_t image[kEepromImageSize] = {};
        if (ftdi_get_eeprom_buf(ctx, image, kEepromImageSize) < 0) return FT_EEPROM_READ_FAILED;
        const int start = UserAreaStart(image, chipSize);
        const int end = chipSize - 2;  // the checksum word closes the image
        const uint32_t available = end > start ? static_cast<uint32_t>(end - start) : 0u;
        // Asking for more than the area holds would hand out bytes that are not user data.
        if (size > available) return FT_INVALID_PARAMETER;
        if (size > 0) std::memcpy(buffer, image + start, size);
        *read = size;
        return FT_OK;
    }

  private:
    static uintptr_t Key(FT_HANDLE h) { return reinterpret_cast<uintptr_t>(h); }

    std::shared_ptr<Device> Find(FT_HANDLE h) {
        std::lock_guard<std::mutex> lock(handlesMutex_);
        const auto it = handles_.find(Key(h));
        return it != handles_.end() ? it->second : nullptr;
    }

    template <class Action>
    FT_STATUS WithDevice(FT_HANDLE h, Action action) {
        const std::shared_ptr<Device> dev = Find(h);
        if (!dev) return FT_INVALID_HANDLE;
        std::lock_guard<std::mutex> lock(dev->io);
        if (!dev->open) return FT_IO_ERROR;
        return action(*dev);
    }

    FT_HANDLE Register(Context ctx) {
        (void)ftdi_set_latency_timer(ctx.get(), kLatencyTimerMs);
        auto dev = std::make_shared<Device>(std::move(ctx));
        std::lock_guard<std::mutex> lock(handlesMutex_);
        const uintptr_t key = nextKey_++;
        handles_.emplace(key, std::move(dev));
        return reinterpret_cast<FT_HANDLE>(key);
    }

    /// Opens the first converter of a known product id whose description (or serial
    /// number) is name.
    FT_STATUS OpenByName(const char* name, bool bySerial, FT_HANDLE* h) {
        if (name == nullptr) return FT_INVALID_PARAMETER;
        Context ctx(ftdi_new());
        if (!ctx) return FT_INSUFFICIENT_RESOURCES;
        int failure = kFtdiDeviceNotFound;
        for (int product : kFtdiProducts) {
            const int rc = ftdi_usb_open_desc(ctx.get(), kFtdiVendor, product,
                                              bySerial ? nullptr : name, bySerial ? name : nullptr);
            if (rc == 0) {
                *h = Register(std::move(ctx));
                return FT_OK;
            }
            if (rc != kFtdiDeviceNotFound) failure = rc;  // found, but busy or not permitted
        }
        return failure == kFtdiDeviceNotFound ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
    }

    FT_STATUS ListString(uintptr_t index, bool bySerial, void* out) {
        Context ctx(ftdi_new());
        if (!ctx) return FT_INSUFFICIENT_RESOURCES;
        ftdi_device_list* raw = nullptr;
        const int n = ftdi_usb_find_all(ctx.get(), &raw, 0, 0);
        const DeviceList list(raw);
        if (n < 0) return FT_IO_ERROR;
        if (index >= static_cast<uintptr_t>(n)) return FT_DEVICE_NOT_FOUND;
        ftdi_device_list* entry = list.get();
        for (uintptr_t i = 0; i < index && entry != nullptr; ++i) entry = entry->next;
        if (entry == nullptr) return FT_DEVICE_NOT_FOUND;
        char description[kListStringSize] = {};
        char serial[kListStringSize] = {};
        if (ftdi_usb_get_strings(ctx.get(), entry->dev, nullptr, 0, description, sizeof description,
                                 serial, sizeof serial) < 0) {
            return FT_IO_ERROR;
        }
        CopyListString(bySerial ? serial : description, out);
        return FT_OK;
    }

    static bool WriteLocked(Device& dev, const void* buffer, uint32_t count, uint32_t& written) {
        written = 0;
        if (count == 0) return true;
        const int n = ftdi_write_data(dev.ctx.get(), static_cast<const unsigned char*>(buffer),
                                      static_cast<int>(std::min<uint32_t>(count, INT_MAX)));
        if (n < 0) return false;
        written = static_cast<uint32_t>(n);
        return true;
    }

    std::mutex handlesMutex_;  ///< guards handles_ and nextKey_
    std::map<uintptr_t, std::shared_ptr<Device>> handles_;
    uintptr_t nextKey_ = 1;  ///< handles are small counters: never 0, never kInvalidHandle
};

}  // namespace

std::unique_ptr<D2xx> MakeLibFtdiBackend() {
    const Context probe(ftdi_new());  // fails when libusb cannot start
    if (!probe) return nullptr;
    return std::make_unique<LibFtdiBackend>();
}

}  // namespace veska::platform
