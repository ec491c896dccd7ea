#pragma once
#include <cstdint>

#include "link/Status.h"

namespace veska::bench {

/// The stage's motor controller as the runs use it. Every operation returns the link's
/// status (2 when the port is not open).
class MotorDrive {
  public:
    virtual ~MotorDrive() = default;
    virtual link::Status MaskOutputs(uint16_t mask) = 0;
    virtual void Close() = 0;
};

/// The reference encoder as the runs use it.
class EncoderReader {
  public:
    virtual ~EncoderReader() = default;
    /// Opens at the working rate and checks the range; true when the encoder is present.
    virtual bool Open() = 0;
    /// One position [mm]; false when the read failed.
    virtual bool ReadPositionMm(float& positionMm) = 0;
    virtual void Close() = 0;
};

/// The analog measurement board as the runs use it.
class AnalogBoard {
  public:
    virtual ~AnalogBoard() = default;
    /// Starts the live acquisition of a run.
    virtual void StartSweep() = 0;
    /// Reads the newest samples and, with show, puts voltage and current on the read-outs.
    virtual void UpdateReading(bool show) = 0;
    /// Stops the acquisition of a run (the board stays open).
    virtual void Stop() = 0;
};

/// The bench's devices beside the sensor. A build or a bench without one of them uses the
/// absent device, which answers every call as a port that is not open would.
struct BenchDevices {
    MotorDrive& motor;
    EncoderReader& encoder;
    AnalogBoard& board;
};

/// Devices that are not there: motor status 2, no encoder, a board that does nothing.
BenchDevices AbsentDevices();

}  // namespace veska::bench
