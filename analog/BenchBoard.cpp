#include "analog/BenchBoard.h"

namespace veska::analog {

namespace {

/// The board's labels on the bench form's read-outs; a simulated board's readings say so.
class ReadoutLabels final : public BoardLabels {
  public:
    ReadoutLabels(bench::RunView& view, bool simulated)
        : view_(view), mark_(simulated ? kSimulatedMark : "") {}
    void SetVoltageCaption(const std::string& text) override {
        view_.ShowReadout(bench::Readout::BoardVoltage, text + mark_);
    }
    void SetCurrentCaption(const std::string& text) override {
        view_.ShowReadout(bench::Readout::BoardCurrent, text + mark_);
    }

  private:
    bench::RunView& view_;
    std::string mark_;
};

}  // namespace

bool BenchBoard::UpdateReading(bool show, bench::RunView& view) {
    ReadoutLabels labels(view, client_.Simulated());
    return client_.UpdateBoardReading(show, &labels);
}

}  // namespace veska::analog
