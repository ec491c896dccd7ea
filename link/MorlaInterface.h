#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "link/Interface.h"
#include "link/Trace.h"
#include "platform/Clock.h"

namespace veska::link {

/// The sensor's 8-byte identity, little-endian on the wire.
struct DeviceInfo {
    uint8_t deviceType = 0;
    uint8_t releaseNumber = 0;
    uint16_t serialNumber = 0;
    int16_t baseDistance = 0;    ///< [mm]
    int16_t measuringRange = 0;  ///< [mm]

    static DeviceInfo FromBytes(const uint8_t* bytes);
};

/// Sensor command codes (the 4-bit command field of a request).
///
/// | code | operation         | request data                 | reply           | host waits    |
/// |------|-------------------|------------------------------|-----------------|---------------|
/// |  1   | Identify          | none                         | 8 bytes         | none          |
/// |  2   | ReadParam         | address                      | 1 byte          | none          |
/// |  3   | WriteParam        | address, value               | none            | 5 ms a batch  |
/// |  4   | StoreParams       | operation code               | 1 byte echo     | 1000 ms first |
/// |  6   | GetResult         | none                         | 2 bytes, LE     | none          |
/// |  7   | StartStream       | none                         | 2-byte samples  | none          |
/// |  8   | StopStream        | 0x00, 0x00                   | none            | none          |
/// | 10   | WriteTable        | 512 x 16-bit BE, block, 0xAA | 1 byte 0xAA     | 8000 / 1 ms   |
/// | 12   | StartStatusStream | none                         | 3-byte samples  | none          |
/// | 15   | ReadVideo         | (sent twice) none / 2n LE    | n or 2048 bytes | none          |
///
/// WriteTable waits 8000 ms after block 0 (the sensor erases its table), 1 ms after others.
enum SensorCommand : uint8_t {
    kCmdIdentify = 1,
    kCmdReadParam = 2,
    kCmdWriteParam = 3,
    kCmdStoreParams = 4,
    kCmdGetResult = 6,
    kCmdStartStream = 7,
    kCmdStopStream = 8,
    kCmdWriteTable = 10,
    kCmdStartStatusStream = 12,
    kCmdReadVideo = 15,
};

/// StoreParams operation codes.
enum StoreCode : uint8_t {
    kStoreFlash = 0xAA,
    kStoreDefault = 0x69,
    kStoreFactory = 0x96,
};

/// Host side of the sensor protocol over one owned TInterface. Every operation stores its
/// net address for the packet, returns a status (link/Status.h) and keeps it.
/// Not thread-safe, except that ReadStreamSample/ReadStatusStreamSample may run on the
/// stream thread while another thread calls Wake.
class TMORLAInterface {
  public:
    /// Largest reply: a full profile of 2048 16-bit pixels [bytes]; 2 line bytes each.
    static constexpr uint32_t kMaxReplyBytes = 4096;
    static constexpr uint32_t kVideoAreaBytes = 4096;
    static constexpr uint32_t kTableValues = 512;
    static constexpr uint32_t kTableRequestBytes = 2 * kTableValues + 2;

    explicit TMORLAInterface(platform::Clock& clock = platform::SystemClock());

    /// Sensor line: 8 data bits, even parity, one stop bit, queues 5000/5000,
    /// read interval and multiplier 500 ms, read constant 50 ms.
    Status OpenPort(uint8_t portMode, const std::string& portName, uint32_t baudRate);
    Status ClosePort();

    // Framing.
    Status SendRequest(uint8_t command, const uint8_t* data, uint32_t count);
    /// Reads one reply of n data bytes into buffer (which holds 2n bytes); on success the n
    /// decoded bytes stand at its start. n above kMaxReplyBytes, or a null buffer, gives
    /// kStatusBadRequest without reading. After a counter mismatch the rest of the newer
    /// reply is read (into the same buffer) and dropped: status 8.
    Status ReceiveReply(uint8_t* buffer, uint32_t n);

    // Commands.
    /// info (and Identity()) are set only on success.
    Status Identify(uint8_t netAddress, DeviceInfo& info);
    Status ReadParam(uint8_t netAddress, uint8_t startAddress, uint32_t count,
                     uint8_t* destination);
    Status WriteParam(uint8_t netAddress, uint8_t startAddress, uint32_t count,
                      const uint8_t* source);
    Status StoreParams(uint8_t netAddress, uint8_t code);
    /// result is set only on success.
    Status GetResult(uint8_t netAddress, uint16_t& result);
    Status StartStream(uint8_t netAddress);
    Status StartStatusStream(uint8_t netAddress);
    Status StopStream(uint8_t netAddress);
    Status WriteTable(uint8_t netAddress, uint8_t block, const uint16_t* values512);
    /// Reads a profile of n bytes (2048 when n is 0) into the video area and copies the whole
    /// 4096-byte area to destination. n above kVideoAreaBytes gives kStatusBadRequest
    /// before anything is sent.
    Status ReadVideo(uint8_t netAddress, uint16_t n, uint8_t* destination4096);

    // Stream readers (no request is sent).
    Status ReadStreamSample(uint16_t& result);
    Status ReadStatusStreamSample(uint16_t& result, uint8_t& statusByte);

    /// Ends a sample read in progress (stream stop).
    void Wake() { port_.Wake(); }

    Status LastStatus() const { return status_; }
    uint8_t NetAddress() const { return netAddress_; }
    uint8_t PacketCounter() const { return packetCounter_; }
    const DeviceInfo& Identity() const { return identity_; }
    TInterface& Port() { return port_; }
    bool IsOpen() const { return port_.IsOpen(); }

  private:
    Status Keep(Status status) { return status_ = status; }

    platform::Clock& clock_;
    TInterface port_;
    LineTrace trace_{"sensor"};
    uint8_t netAddress_ = 0;
    Status status_ = kStatusOk;
    uint8_t packetCounter_ = 0;
    /// Staged request data; replies are read and decoded in place (2 line bytes per byte).
    std::array<uint8_t, 2 * kMaxReplyBytes> work_{};
    std::array<uint8_t, kVideoAreaBytes> video_{};  ///< the last profile received
    DeviceInfo identity_;
    std::array<uint8_t, 8> identityBytes_{};
    uint8_t openMode_ = 0;
    std::string openName_;
    uint32_t openBaud_ = 0;
    PortSettings settings_;
};

}  // namespace veska::link
