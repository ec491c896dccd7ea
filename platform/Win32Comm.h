#pragma once
#include <cstdint>

namespace veska::platform {

/// The members of a Win32 device control block that the port layer sets or keeps.
struct Dcb {
    uint32_t DCBlength = 28;
    uint32_t BaudRate = 9600;
    uint8_t fBinary = 1;
    uint8_t fParity = 0;
    uint8_t fOutxCtsFlow = 0;
    uint8_t fOutxDsrFlow = 0;
    uint8_t fDtrControl = 0;  ///< kDtrControl*
    uint8_t fDsrSensitivity = 0;
    uint8_t fTXContinueOnXoff = 0;
    uint8_t fOutX = 0;
    uint8_t fInX = 0;
    uint8_t fErrorChar = 0;
    uint8_t fNull = 0;
    uint8_t fRtsControl = 0;  ///< kRtsControl*
    uint8_t fAbortOnError = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;    ///< 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0;  ///< 0 one, 1 one and a half, 2 two
};

constexpr uint8_t kDtrControlDisable = 0;
constexpr uint8_t kDtrControlEnable = 1;
constexpr uint8_t kRtsControlDisable = 0;
constexpr uint8_t kRtsControlEnable = 1;

/// Win32 COMMTIMEOUTS, all in [ms].
struct CommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

/// Win32 purge flags (PurgeComm). The serial port maps them onto tcflush.
enum PurgeFlags : uint32_t {
    kPurgeTxAbort = 0x0001,
    kPurgeRxAbort = 0x0002,
    kPurgeTxClear = 0x0004,
    kPurgeRxClear = 0x0008,
};

constexpr uint32_t kGenericRead = 0x80000000u;
constexpr uint32_t kGenericWrite = 0x40000000u;
constexpr uint32_t kOpenExisting = 3;
constexpr uint32_t kFileAttributeNormal = 128;
constexpr uint32_t kEvRxChar = 0x0001;
constexpr uint32_t kEvTxEmpty = 0x0004;

}  // namespace veska::platform
