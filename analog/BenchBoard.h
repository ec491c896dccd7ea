#pragma once
#include <string>

#include "analog/VoktInterface.h"
#include "bench/BenchDevices.h"

namespace veska::analog {

/// The board client as the bench's runs see it: the run frame's AnalogBoard over
/// TVOKT_Interface, with the run view's two read-outs as the board's labels.
class BenchBoard final : public bench::AnalogBoard {
  public:
    /// client outlives the adapter.
    explicit BenchBoard(TVOKT_Interface& client) : client_(client) {}

    bool Open() override { return client_.OpenBoard(); }
    void StartSweep() override { (void)client_.StartSweep(); }
    bool UpdateReading(bool show, bench::RunView& view) override;
    void Stop() override { (void)client_.StopBoard(); }
    void Close() override { (void)client_.CloseBoard(); }
    float Voltage() const override { return client_.BoardVoltage(); }
    float Current() const override { return client_.BoardCurrent(); }
    bool Present() const override { return client_.Present(); }
    bool StartLive() override { return client_.StartLive(); }
    uint32_t ReadAll(std::span<uint8_t> buffer) override { return client_.ReadAll(buffer); }
    float Gain() const override { return client_.GetGain(); }
    uint16_t Offset() const override { return client_.GetOffset(); }

    TVOKT_Interface& Client() { return client_; }

  private:
    TVOKT_Interface& client_;
};

}  // namespace veska::analog
