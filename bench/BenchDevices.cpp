#include "bench/BenchDevices.h"

namespace veska::bench {

namespace {

class AbsentMotor final : public MotorDrive {
  public:
    link::Status MaskOutputs(uint16_t) override { return link::kStatusNotOpen; }
    void Close() override {}
};

class AbsentEncoder final : public EncoderReader {
  public:
    bool Open() override { return false; }
    bool ReadPositionMm(float&) override { return false; }
    void Close() override {}
};

class AbsentBoard final : public AnalogBoard {
  public:
    void StartSweep() override {}
    void UpdateReading(bool) override {}
    void Stop() override {}
};

}  // namespace

BenchDevices AbsentDevices() {
    static AbsentMotor motor;
    static AbsentEncoder encoder;
    static AbsentBoard board;
    return {motor, encoder, board};
}

}  // namespace veska::bench
