#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "platform/Win32Comm.h"

namespace veska::platform {

/// The FTDI D2XX calls this system makes, with their result codes, behind one interface.
/// Backends: libftdi1 for real converters and boards, and the simulated devices of sim/.
/// Handles are opaque; a backend never hands out 0 or kInvalidHandle as a valid handle.
using FT_HANDLE = void*;
using FT_STATUS = uint32_t;

inline FT_HANDLE const kInvalidHandle = reinterpret_cast<FT_HANDLE>(~uintptr_t{0});

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_EEPROM_READ_FAILED = 11,
    FT_NOT_SUPPORTED = 17,
    FT_OTHER_ERROR = 18,
};

/// Open flags (FT_OpenEx, FT_W32_CreateFile) and list flags (FT_ListDevices).
enum : uint32_t {
    FT_OPEN_BY_SERIAL_NUMBER = 1,
    FT_OPEN_BY_DESCRIPTION = 2,
    FT_LIST_NUMBER_ONLY = 0x80000000u,
    FT_LIST_BY_INDEX = 0x40000000u,
    FT_LIST_ALL = 0x20000000u,
};

/// FT_Purge masks.
enum : uint32_t { FT_PURGE_RX = 1, FT_PURGE_TX = 2 };

/// The FT_Purge mask that a W32_PurgeComm with Win32 flags comes to. The two abort flags
/// cancel operations in progress and clear no buffer; the chip's transmit buffer is flushed
/// only for kPurgeTxClear, since a flush throws away request bytes not yet on the line. The
/// receive side is emptied for either receive flag (stale reply bytes are never wanted).
constexpr uint32_t FtPurgeMaskOfW32Flags(uint32_t flags) {
    return ((flags & (kPurgeRxAbort | kPurgeRxClear)) != 0 ? uint32_t{FT_PURGE_RX} : 0u) |
           ((flags & kPurgeTxClear) != 0 ? uint32_t{FT_PURGE_TX} : 0u);
}

/// FT_SetBitMode modes used here.
enum : uint8_t {
    FT_BITMODE_RESET = 0x00,
    FT_BITMODE_ASYNC_BITBANG = 0x01,
    FT_BITMODE_CBUS_BITBANG = 0x20
};

class D2xx {
  public:
    virtual ~D2xx() = default;

    /// Short name of the backend for messages ("libftdi", "sim").
    virtual std::string Name() const = 0;

    // Win32-compatible functions: the USB port mode of the port transport.
    /// Opens by description when flags hold FT_OPEN_BY_DESCRIPTION, else by serial number.
    /// Returns kInvalidHandle when no such device can be opened.
    virtual FT_HANDLE W32_CreateFile(const char* name, uint32_t access, uint32_t share,
                                     uint32_t creation, uint32_t flags) = 0;
    virtual bool W32_CloseHandle(FT_HANDLE h) = 0;
    /// Win32 time-out rule as set by W32_SetCommTimeouts; got holds the bytes stored.
    virtual bool W32_ReadFile(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) = 0;
    virtual bool W32_WriteFile(FT_HANDLE h, const void* buffer, uint32_t count,
                               uint32_t* written) = 0;
    virtual bool W32_GetCommState(FT_HANDLE h, Dcb* dcb) = 0;
    virtual bool W32_SetCommState(FT_HANDLE h, const Dcb* dcb) = 0;
    virtual bool W32_SetCommTimeouts(FT_HANDLE h, const CommTimeouts* timeouts) = 0;
    virtual bool W32_SetupComm(FT_HANDLE h, uint32_t rxQueue, uint32_t txQueue) = 0;
    /// Win32 purge flags (Win32Comm.h).
    virtual bool W32_PurgeComm(FT_HANDLE h, uint32_t flags) = 0;
    virtual bool W32_SetCommMask(FT_HANDLE h, uint32_t mask) = 0;
    /// Ends a W32_ReadFile in progress on another thread. Not a D2XX call: the stream stop
    /// needs it so that it never waits out a read time-out. The wake-up stays pending (every
    /// W32_ReadFile returns at once with what it has) until the next W32_WriteFile.
    virtual void W32_Wake(FT_HANDLE h) = 0;

    // Classic functions: the adapter's control line and the analog board driver.
    virtual FT_STATUS OpenEx(const char* arg, uint32_t flags, FT_HANDLE* h) = 0;
    virtual FT_STATUS Open(int index, FT_HANDLE* h) = 0;
    virtual FT_STATUS Close(FT_HANDLE h) = 0;
    virtual FT_STATUS Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) = 0;
    virtual FT_STATUS Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) = 0;
    virtual FT_STATUS ResetDevice(FT_HANDLE h) = 0;
    virtual FT_STATUS SetBaudRate(FT_HANDLE h, uint32_t baud) = 0;
    virtual FT_STATUS Purge(FT_HANDLE h, uint32_t mask) = 0;
    /// Read and write time-outs of Read and Write [ms].
    virtual FT_STATUS SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) = 0;
    virtual FT_STATUS GetQueueStatus(FT_HANDLE h, uint32_t* rxBytes) = 0;
    /// FT_ListDevices: with FT_LIST_NUMBER_ONLY arg1 is a uint32_t* count; with
    /// FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION (or _SERIAL_NUMBER) arg1 is the index
    /// (as uintptr_t) and arg2 a char buffer of 64 bytes.
    virtual FT_STATUS ListDevices(void* arg1, void* arg2, uint32_t flags) = 0;
    virtual FT_STATUS SetBitMode(FT_HANDLE h, uint8_t mask, uint8_t mode) = 0;
    /// Reads the EEPROM user area; read holds the bytes stored.
    virtual FT_STATUS EE_UARead(FT_HANDLE h, uint8_t* buffer, uint32_t size, uint32_t* read) = 0;
};

/// Which USB devices a program talks to: the real ones through libftdi1, or the simulated
/// ones of the virtual bench. The program decides once, at start-up.
enum class UsbChoice { Real, Simulated, Unknown };

/// The choice a name makes: "libftdi" or nothing for Real, "sim" for Simulated (any case),
/// anything else Unknown (no backend: "D2XX absent").
UsbChoice ParseUsbChoice(const char* name);

/// The process's USB backend as the program chose it with SetUsbBackend; null when nothing
/// was chosen or the chosen backend could not be started ("D2XX absent"). With VESKA_TRACE
/// selecting "usb", a tracing wrapper of it.
D2xx* UsbBackend();

/// Chooses the process's USB backend: the program at start-up, the virtual bench for its
/// run, a test. The backend outlives its use; null chooses none.
void SetUsbBackend(D2xx* backend);

/// With VESKA_TRACE selecting "usb", UsbBackend hands out a tracing wrapper of the
/// backend (D2xxTrace.h) whose lines carry this name ("usb" unless changed); set it before
/// the first UsbBackend call.
void SetUsbTraceName(const std::string& name);

/// backend, or its tracing wrapper when VESKA_TRACE selects "usb" (made once per backend).
D2xx* TracedUsbBackend(D2xx* backend);

/// The libftdi1 backend of this module, made on the first call and never destroyed (handles
/// closed at exit stay valid to close); null when libftdi cannot be initialised.
D2xx* RealUsbBackend();

/// Creates the libftdi1 backend; null when libftdi cannot be initialised.
std::unique_ptr<D2xx> MakeLibFtdiBackend();

}  // namespace veska::platform
