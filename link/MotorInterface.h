#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "link/Interface.h"
#include "link/Status.h"
#include "link/Trace.h"
#include "platform/Clock.h"

namespace veska::link {

/// Motor controller requests: a command byte, then 0 to 6 data bytes, each 0xF0 | nibble,
/// least significant nibble first. Only command 2 is answered.
///
/// | code | operation                | data                                  | reply       |
/// |------|--------------------------|---------------------------------------|-------------|
/// |  2   | ReadMotorStatus          | none                                  | 1 byte: low nibble 0
/// at rest | |  3   | SetOutputs / MaskOutputs | low 8 bits of the output word (2 nib) | none | |
/// 4   | StartHomeward            | none                                  | none        | |  6   |
/// StartForward             | none                                  | none        | |  7   |
/// LoadMove, first half     | step period [us], 24 bits (6 nibbles) | none        | |  8   |
/// LoadMove, second half    | step count, 24 bits (6 nibbles)       | none        |
enum MotorCommand : uint8_t {
    kMotorReadStatus = 2,
    kMotorOutputs = 3,
    kMotorHomeward = 4,
    kMotorForward = 6,
    kMotorLoadPeriod = 7,
    kMotorLoadCount = 8,
};

/// Output bits the bench sets: 1 on every move, 8 on synchronous moves (one trigger pulse to
/// the sensor per step), 2 + 8 for the sensor's input check.
inline constexpr uint16_t kMotorOutputMove = 0x01;
inline constexpr uint16_t kMotorOutputSync = 0x08;
inline constexpr uint16_t kMotorOutputInCheck = 0x0A;

/// Longest motor request [bytes]: command and six data bytes.
inline constexpr size_t kMotorRequestMax = 7;

/// A 24-bit value request (commands 7 and 8): higher bits of value are dropped.
std::array<uint8_t, kMotorRequestMax> MotorValueRequest(uint8_t command, uint32_t value);
/// The output request: 0x03, then 0xF0 | (word & 0xFF). Only bits 0 to 3 reach the
/// controller: the byte's high nibble is always 1111.
std::array<uint8_t, 2> MotorOutputsRequest(uint16_t outputWord);
/// The controller's state in a status reply: its low nibble (0: at rest).
inline uint8_t MotorStatusNibble(uint8_t reply) { return reply & 0x0F; }

/// Host side of the stage's motor controller over one owned TInterface. Every operation
/// returns its status and keeps it (LastStatus); nothing retries. Not thread-safe: one
/// thread (the device thread) drives it.
class TMotorInterface {
  public:
    TMotorInterface();  ///< output word 0
    TMotorInterface(const TMotorInterface&) = delete;
    TMotorInterface& operator=(const TMotorInterface&) = delete;

    /// Motor line: 8 data bits, no parity, one stop bit, queues 16/16, read interval and
    /// multiplier 10 ms, read constant 1000 ms (a status byte is awaited about 1010 ms).
    Status OpenPort(uint8_t portMode, const std::string& deviceName, uint32_t baudRate);
    Status ClosePort();

    /// Command 7 with periodMicros [us]; when that went out, command 8 with count [steps]
    /// and the output word becomes 0 (nothing is sent for that). Status of the last command.
    Status LoadMove(uint32_t periodMicros, uint32_t count);
    Status StartHomeward();
    Status StartForward();
    /// Output word |= mask, then command 3 with its low 8 bits.
    Status SetOutputs(uint16_t mask);
    /// Output word &= mask, then command 3.
    Status MaskOutputs(uint16_t mask);
    /// Command 2 and its 1-byte reply; nibble (and StatusNibble) = reply & 0x0F on success,
    /// both unchanged on failure.
    Status ReadMotorStatus(uint8_t& nibble);

    Status LastStatus() const { return status_; }
    uint8_t StatusNibble() const { return statusNibble_; }
    /// The host's copy of the controller's outputs.
    uint16_t OutputWord() const { return outputWord_; }
    bool IsOpen() const { return port_.IsOpen(); }
    TInterface& Port() { return port_; }

  private:
    Status Send(const uint8_t* bytes, uint32_t count);
    Status Keep(int32_t status) { return status_ = static_cast<Status>(status); }

    TInterface port_;
    LineTrace trace_{"motor"};
    std::array<uint8_t, kMotorRequestMax> command_{};  ///< the request; byte 0 takes the reply
    Status status_ = kStatusOk;
    uint8_t statusNibble_ = 0;
    uint16_t outputWord_ = 0;
    PortSettings settings_;
};

/// The bench's motor port choice ("COM2" ... "COM32", "USB") opened as the program does:
/// close, wait 1 ms, map the choice (link/PortSelection.h), open at 115200 bit/s. Returns
/// the open status; a failure is the caller's to show (with the bare choice text).
Status OpenMotorPort(TMotorInterface& motor, const std::string& choice, platform::Clock& clock);
/// Closes the motor port; always status 0.
Status CloseMotorPort(TMotorInterface& motor);

}  // namespace veska::link
