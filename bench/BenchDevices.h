#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "bench/RunView.h"
#include "link/Status.h"

namespace veska::bench {

/// The stage's motor controller as the runs use it. Every operation returns the link's
/// status (2 when the port is not open) and keeps it as the last motor status.
class MotorDrive {
  public:
    virtual ~MotorDrive() = default;
    /// The bench form's motor port choice ("COM2", "USB", a path).
    virtual void SetPortChoice(const std::string& choice) = 0;
    virtual const std::string& PortChoice() const = 0;
    /// Opens the chosen port (closing first); the status of the open.
    virtual link::Status Open() = 0;
    /// Step period [us] and step count of the next move (24 bits each).
    virtual link::Status LoadMove(uint32_t periodMicros, uint32_t count) = 0;
    virtual link::Status StartHomeward() = 0;
    virtual link::Status StartForward() = 0;
    virtual link::Status SetOutputs(uint16_t mask) = 0;
    virtual link::Status MaskOutputs(uint16_t mask) = 0;
    /// One status poll; nibble is the controller's state (0 at rest) when the status is 0.
    virtual link::Status ReadStatus(uint8_t& nibble) = 0;
    virtual link::Status LastStatus() const = 0;
    virtual void Close() = 0;
};

/// The reference encoder as the runs use it.
class EncoderReader {
  public:
    virtual ~EncoderReader() = default;
    /// The bench form's encoder port choice.
    virtual void SetPortChoice(const std::string& choice) = 0;
    /// The line rate the next Open switches the encoder to [bit/s] (every run start: 460800).
    virtual void SetLineRate(uint32_t bitsPerSecond) = 0;
    /// Opens at the working rate and checks that the encoder's range covers the sensor's
    /// [mm]; true when the encoder is present.
    virtual bool Open(int32_t measuringRangeMm) = 0;
    /// One position [mm]; false when absent or when the read failed.
    virtual bool ReadPositionMm(float& positionMm) = 0;
    virtual void Close() = 0;
};

/// The analog measurement board as the runs use it.
class AnalogBoard {
  public:
    virtual ~AnalogBoard() = default;
    /// Finds, locks and configures the board (the debug build's start-up); true when present.
    virtual bool Open() = 0;
    /// Starts the live acquisition of a run.
    virtual void StartSweep() = 0;
    /// Reads the newest samples and, with show, puts voltage and current on the read-outs.
    /// True when the board delivered a reading (false: none came, the readings stay).
    virtual bool UpdateReading(bool show, RunView& view) = 0;
    /// Stops the acquisition of a run (the board stays open).
    virtual void Stop() = 0;
    /// Unlocks the board at the program's end; a second call is harmless.
    virtual void Close() = 0;

    // Beyond the run frame: the analog checks and the verification report. The defaults are
    // those of a board that is not there.

    /// The latest reading of UpdateReading (0 before the first) [V].
    virtual float Voltage() const { return 0.0f; }
    /// The latest reading of UpdateReading (0 before the first) [mA].
    virtual float Current() const { return 0.0f; }
    /// True while the board is open.
    virtual bool Present() const { return false; }
    /// Starts the live acquisition of the verification report; true when it runs.
    virtual bool StartLive() { return false; }
    /// Everything the board has queued since StartLive, into buffer; the bytes read.
    virtual uint32_t ReadAll(std::span<uint8_t> /*buffer*/) { return 0; }
    /// The board's coefficients: gain [V per count before the divider] and offset [counts].
    virtual float Gain() const { return 0.0f; }
    virtual uint16_t Offset() const { return 0; }
};

/// The bench's devices beside the sensor. A build or a bench without one of them uses the
/// absent device, which answers every call as a port that is not open would.
struct BenchDevices {
    MotorDrive& motor;
    EncoderReader& encoder;
    AnalogBoard& board;
};

/// Devices that are not there: motor status 2, no encoder, no board.
BenchDevices AbsentDevices();

}  // namespace veska::bench
