#pragma once
#include <cstdint>

#include "bench/RunFrame.h"

namespace veska::main {

/// The steps of the three plain modes, Line (0), Nonline (1) and Temperature (2): "Mode of
/// Run" = the code at start; every tick one result onto the value label, the chart and the
/// sample buffer, then (Line and Nonline) the encoder and the board read-outs.
class PlainMode final : public bench::RunMode {
  public:
    explicit PlainMode(int32_t code) : code_(code) {}
    void Start(bench::RunFrame& frame) override;
    void Tick(bench::RunFrame& frame) override;

  private:
    int32_t code_;
};

/// The plain modes, bound to their codes.
class PlainModes {
  public:
    void BindTo(bench::ModeSteps& steps);

  private:
    PlainMode line_{bench::kModeLine};
    PlainMode nonline_{bench::kModeNonline};
    PlainMode temperature_{bench::kModeTemperature};
};

}  // namespace veska::main
