#pragma once
#include <cstdint>
#include <string>

#include "bench/BenchDevices.h"
#include "link/DunelInterface.h"
#include "link/MotorInterface.h"
#include "platform/Clock.h"

namespace veska::bench {

/// The motor controller on its own port: link::TMotorInterface with the bench form's port
/// choice (COM2 at start).
class StageMotor final : public MotorDrive {
  public:
    explicit StageMotor(platform::Clock& clock) : clock_(clock) {}
    ~StageMotor() override { (void)motor_.ClosePort(); }

    void SetPortChoice(const std::string& choice) override { choice_ = choice; }
    const std::string& PortChoice() const override { return choice_; }
    link::Status Open() override { return link::OpenMotorPort(motor_, choice_, clock_); }
    link::Status LoadMove(uint32_t periodMicros, uint32_t count) override {
        return motor_.LoadMove(periodMicros, count);
    }
    link::Status StartHomeward() override { return motor_.StartHomeward(); }
    link::Status StartForward() override { return motor_.StartForward(); }
    link::Status SetOutputs(uint16_t mask) override { return motor_.SetOutputs(mask); }
    link::Status MaskOutputs(uint16_t mask) override { return motor_.MaskOutputs(mask); }
    link::Status ReadStatus(uint8_t& nibble) override { return motor_.ReadMotorStatus(nibble); }
    link::Status LastStatus() const override { return motor_.LastStatus(); }
    void Close() override { (void)link::CloseMotorPort(motor_); }

    link::TMotorInterface& Link() { return motor_; }

  private:
    platform::Clock& clock_;
    link::TMotorInterface motor_;
    std::string choice_ = "COM2";
};

/// The reference encoder on its own port: link::TDUNELInterface with its state and the
/// bench form's port choice (COM7 at start).
class StageEncoder final : public EncoderReader {
  public:
    explicit StageEncoder(platform::Clock& clock) : encoder_(clock) {}
    ~StageEncoder() override { (void)encoder_.ClosePort(); }

    void SetPortChoice(const std::string& choice) override { choice_ = choice; }
    void SetLineRate(uint32_t bitsPerSecond) override { state_.lineRate = bitsPerSecond; }
    bool Open(int32_t measuringRangeMm) override {
        return link::OpenEncoderPort(encoder_, state_, choice_, measuringRangeMm);
    }
    bool ReadPositionMm(float& positionMm) override {
        return link::ReadEncoderPosition(encoder_, state_, positionMm);
    }
    void Close() override { link::CloseEncoderPort(encoder_, state_); }

    const link::EncoderState& State() const { return state_; }

  private:
    link::TDUNELInterface encoder_;
    link::EncoderState state_;
    std::string choice_ = "COM7";
};

}  // namespace veska::bench
