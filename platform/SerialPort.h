#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ReadAhead.h"
#include "platform/Win32Comm.h"

namespace veska::platform {

/// Line settings of a serial device. Parity: 0 none, 1 odd, 2 even; stop bits: 0 one,
/// 1 one and a half (taken as two), 2 two; any other value keeps the device's setting.
struct SerialLine {
    uint32_t baudRate = 115200;  ///< [bit/s]
    uint8_t parity = 0;
    uint8_t stopBits = 0;
    bool dtrOn = true;  ///< raise DTR after open
    bool rtsOn = true;  ///< raise RTS after open
};

/// Win32 COMMTIMEOUTS semantics, all in [ms].
/// A read of n bytes ends after readMultiplier x n + readConstant in total, or earlier
/// when more than readInterval passes between two bytes once the first byte has come.
/// A write of n bytes may take writeMultiplier x n + writeConstant.
struct SerialTimeouts {
    uint32_t readInterval = 0;
    uint32_t readMultiplier = 0;
    uint32_t readConstant = 0;
    uint32_t writeMultiplier = 1;
    uint32_t writeConstant = 1;
};

/// A serial device over POSIX termios (a tty, a USB serial converter or a pseudo-terminal).
/// Reads go through a receive queue of its own (ReadAhead, 64 KiB), as a Win32 driver's
/// queue holds what has come: one read call takes all the device holds, and the reads
/// after it are served from the queue without a system call.
/// One thread uses the port at a time, except Wake, which any thread may call to cut
/// short a Read in progress.
class SerialPort : private ByteSource {
  public:
    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    /// Opens the device at path for exclusive reading and writing; false when it cannot,
    /// with the reason in OpenError().
    bool Open(const std::string& path);
    /// Why the last Open failed ("No such file or directory", "in use by another
    /// program"); empty after a successful one.
    const std::string& OpenError() const { return openError_; }
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    /// 8 data bits, the given parity and stop bits, no flow control, raw mode; sets DTR and
    /// RTS as asked. Asks a USB serial driver for low latency and goes on when it refuses.
    bool Configure(const SerialLine& line);
    void SetTimeouts(const SerialTimeouts& timeouts) { timeouts_ = timeouts; }
    const SerialTimeouts& Timeouts() const { return timeouts_; }

    /// Discards queued data as the flags ask (RX flags: input queue, with the bytes read
    /// ahead; TX flags: output).
    void Purge(uint32_t flags);

    /// Reads up to count bytes by the time-out rule; false when the read call itself failed.
    /// got is the number of bytes stored. A Wake ends the read at once with what has come;
    /// a wake-up pending when the read starts ends it with nothing, even when bytes wait.
    bool Read(void* buffer, uint32_t count, uint32_t& got);
    /// Bytes read from the device and not yet handed out.
    size_t ReadAheadBytes() const { return readAhead_.Queued(); }
    /// Writes count bytes within the write time-out; false when the write call failed.
    /// The time-out is never shorter than the time the bytes take on the line plus 100 ms,
    /// so that slow baud rates do not cut a long request short. written is the number sent.
    bool Write(const void* buffer, uint32_t count, uint32_t& written);

    /// Ends a Read in progress on another thread (and the next one, if none is running).
    void Wake();
    /// Forgets a pending wake-up; called before a new exchange starts.
    void ClearWake();

  private:
    TimePoint Now() override;
    Ready Wait(Duration timeout) override;
    long ReadSome(uint8_t* out, size_t max) override;
    bool WakePending() override { return wakePending_.load(std::memory_order_acquire); }

    int fd_ = -1;

    std::string openError_;  ///< reason of the last failed Open
    int wakeRead_ = -1;      ///< self-pipe read end, polled together with fd_
    int wakeWrite_ = -1;     ///< self-pipe write end, written by Wake
    /// Set by Wake before it writes the pipe, cleared by ClearWake: lets a read see a
    /// pending wake-up without a system call.
    std::atomic<bool> wakePending_{false};
    short lastEvents_ = 0;  ///< poll events of fd_ from the last Wait
    ReadAhead readAhead_;
    SerialTimeouts timeouts_;
    uint32_t baudRate_ = 9600;  ///< last configured rate [bit/s], for the write time-out
};

/// Names the port directory: a folder of links COM1 … COM32 to serial devices; "" for none.
/// The program names it once at start-up (from VESKA_PORTS, or the virtual bench's folder).
void SetPortDirectory(const std::string& dir);
/// The port directory named last; "" when none.
std::string PortDirectory();

/// Resolves a Windows port name to a device path. "\\.\COMn" and "COMn" become
/// PortDirectory()/COMn when that exists, else /dev/ttyS(n-1); an absolute path stays as is;
/// any other name (with its "\\.\" prefix removed) is looked up in the port directory and
/// otherwise returned unchanged.
std::string ResolvePortName(const std::string& name);

/// Where ListSerialDevices looks; the defaults are the machine's own folders.
struct SerialDeviceRoots {
    std::string devDir = "/dev";
    std::string byIdDir = "/dev/serial/by-id";
    std::string sysTtyDir = "/sys/class/tty";  ///< for the "type" of a UART slot
};

/// The serial devices of this machine: the names in /dev/serial/by-id first (full paths),
/// then /dev/ttyS*, /dev/ttyUSB* and /dev/ttyACM* that are character devices, have no by-id
/// name and are not an empty UART slot (sysfs type 0), sorted so that ttyUSB2 comes before
/// ttyUSB10. Anything else in those folders is left out.
std::vector<std::string> ListSerialDevices(const SerialDeviceRoots& roots);

/// The COMn entries of the port directory as "COMn" (any case in the folder,
/// n from 1 to 256), in ascending order; empty without a port directory.
std::vector<std::string> ListComPortEntries();

/// The ports a port selector offers beside its fixed items: ListSerialDevices of the machine,
/// then ListComPortEntries. Other files of the port directory are never ports.
std::vector<std::string> ListSerialPorts();

}  // namespace veska::platform
