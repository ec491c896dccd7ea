#include "bench/BenchDevices.h"

namespace veska::bench {

namespace {

class AbsentMotor final : public MotorDrive {
  public:
    void SetPortChoice(const std::string&) override {}
    const std::string& PortChoice() const override { return choice_; }
    link::Status Open() override { return link::kStatusNotOpen; }
    link::Status LoadMove(uint32_t, uint32_t) override { return link::kStatusNotOpen; }
    link::Status StartHomeward() override { return link::kStatusNotOpen; }
    link::Status StartForward() override { return link::kStatusNotOpen; }
    link::Status SetOutputs(uint16_t) override { return link::kStatusNotOpen; }
    link::Status MaskOutputs(uint16_t) override { return link::kStatusNotOpen; }
    link::Status ReadStatus(uint8_t&) override { return link::kStatusNotOpen; }
    link::Status LastStatus() const override { return link::kStatusNotOpen; }
    void Close() override {}

  private:
    std::string choice_;
};

class AbsentEncoder final : public EncoderReader {
  public:
    void SetPortChoice(const std::string&) override {}
    void SetLineRate(uint32_t) override {}
    bool Open(int32_t) override { return false; }
    bool ReadPositionMm(float&) override { return false; }
    void Close() override {}
};

class AbsentBoard final : public AnalogBoard {
  public:
    bool Open() override { return false; }
    void StartSweep() override {}
    bool UpdateReading(bool, RunView&) override { return false; }
    void Stop() override {}
    void Close() override {}
};

}  // namespace

BenchDevices AbsentDevices() {
    // Stateless stand-ins, shared by every user.
    static AbsentMotor motor;
    static AbsentEncoder encoder;
    static AbsentBoard board;
    return {motor, encoder, board};
}

}  // namespace veska::bench
