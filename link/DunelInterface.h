#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "link/Interface.h"
#include "link/Status.h"
#include "link/Trace.h"
#include "platform/Clock.h"

namespace veska::link {

/// Reference encoder commands, framed as the sensor's requests (link/Framing.h).
///
/// | code | operation  | request data      | reply   | result                               |
/// |------|------------|-------------------|---------|--------------------------------------|
/// |  1   | Identify   | none              | 8 bytes | identity; bytes 6-7 LE: range [um]   |
/// |  3   | WriteParam | address, value    | none    | address 3: line rate / 2400          |
/// |  6   | GetResult  | none              | 4 bytes | signed LE position [0.1 um]          |
///
/// Replies are checked more lightly than the sensor's: bit 7 is not tested, a counter
/// mismatch ends the read (status 8, nothing more is read), and no counter is kept.
enum EncoderCommand : uint8_t {
    kEncoderIdentify = 1,
    kEncoderWriteParam = 3,
    kEncoderGetResult = 6,
};

/// Parameter address of the encoder's line rate (value: rate / 2400).
inline constexpr uint8_t kEncoderRateParam = 3;
/// Every encoder request goes to this net address, whatever the sensor's.
inline constexpr uint8_t kEncoderAddress = 1;
/// Line rate the run start asks the encoder for [bit/s].
inline constexpr uint32_t kEncoderWorkingRate = 460800;
/// Encoder counts per millimetre (one count is 0.1 um).
inline constexpr double kEncoderCountsPerMm = 10000.0;

/// The encoder's range in its identity [um]: bytes 6 and 7, little-endian, unsigned.
inline uint16_t EncoderRangeMicrometres(const std::array<uint8_t, 8>& identity) {
    return static_cast<uint16_t>(identity[6] | (identity[7] << 8));
}
/// A GetResult reply's 4 data bytes as the signed position count [0.1 um].
inline int32_t EncoderCount(std::span<const uint8_t, 4> data) {
    return static_cast<int32_t>(
        static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
        static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24);
}

/// Host side of the reference encoder over one owned TInterface. Every operation stores its
/// address for the packet, returns the status and keeps it. Not thread-safe.
class TDUNELInterface {
  public:
    explicit TDUNELInterface(platform::Clock& clock = platform::SystemClock());
    TDUNELInterface(const TDUNELInterface&) = delete;
    TDUNELInterface& operator=(const TDUNELInterface&) = delete;

    /// Encoder line: 8 data bits, even parity, one stop bit, queues 2096/2096, read interval
    /// and multiplier 10 ms, read constant 1000 ms.
    Status OpenPort(uint8_t portMode, const std::string& deviceName, uint32_t baudRate);
    Status ClosePort();

    /// identity (and Identity()) set only on success.
    Status Identify(uint8_t address, std::array<uint8_t, 8>& identity);
    /// count [0.1 um] set only on success.
    Status GetResult(uint8_t address, int32_t& count);
    /// One request per byte, highest address first; the first failure ends the batch; 5 ms
    /// after a complete batch.
    Status WriteParam(uint8_t address, uint8_t startAddress, uint32_t count, const uint8_t* source);

    Status LastStatus() const { return status_; }
    uint8_t Address() const { return address_; }
    const std::array<uint8_t, 8>& Identity() const { return identity_; }
    bool IsOpen() const { return port_.IsOpen(); }
    TInterface& Port() { return port_; }

  private:
    Status SendRequest(uint8_t command, const uint8_t* data, uint32_t count);
    /// Reads n data bytes into work_ (2n line bytes), checks counters, decodes in place.
    Status ReceiveReply(uint32_t n);
    Status Keep(int32_t status) { return status_ = static_cast<Status>(status); }

    platform::Clock& clock_;
    TInterface port_;
    LineTrace trace_{"encoder"};
    uint8_t address_ = 0;
    Status status_ = kStatusOk;
    std::array<uint8_t, 16> work_{};  ///< replies are read and decoded in place
    std::array<uint8_t, 8> identity_{};
    PortSettings settings_;
};

/// The program's encoder state (the main window's, in the program).
struct EncoderState {
    uint8_t address = kEncoderAddress;
    uint32_t lineRate = kEncoderWorkingRate;  ///< [bit/s] the rate OpenEncoderPort asks for
    Status lastStatus = kStatusOk;
    /// Status of the last Identify of OpenEncoderPort, before a failure became status 9.
    Status identifyStatus = kStatusOk;
    std::array<uint8_t, 8> identity{};
    int32_t encoderRange = 0;  ///< [mm] the identity's range / 1000
    bool encoderPresent = false;
};

/// Opens the encoder as a run start does: close; open choice at 115200 (status not looked
/// at); WriteParam(1, address 3, low byte of lineRate / 2400), lineRate = quotient x 2400;
/// close and open at lineRate; Identify. Present when Identify succeeded and encoderRange
/// covers measuringRange [mm]; otherwise status 9 and the port closed again. Sets
/// encoderPresent and returns it; shows nothing (the bench labels are the caller's).
bool OpenEncoderPort(TDUNELInterface& encoder, EncoderState& state, const std::string& choice,
                     int32_t measuringRange);
/// Closes the port; encoderPresent keeps its value.
void CloseEncoderPort(TDUNELInterface& encoder, EncoderState& state);
/// The measuring cycle's encoder read: nothing when the encoder is not present; else
/// GetResult at the encoder address and positionMm = count x 0.0001 [mm]. False (and
/// positionMm unchanged) when absent or when the read failed.
bool ReadEncoderPosition(TDUNELInterface& encoder, EncoderState& state, float& positionMm);

}  // namespace veska::link
