#include "analog/BenchBoard.h"

namespace veska::analog {

namespace {

/// The board's labels on the bench form's read-outs.
class ReadoutLabels final : public BoardLabels {
  public:
    explicit ReadoutLabels(bench::RunView& view) : view_(view) {}
    void SetVoltageCaption(const std::string& text) override {
        view_.ShowReadout(bench::Readout::BoardVoltage, text);
    }
    void SetCurrentCaption(const std::string& text) override {
        view_.ShowReadout(bench::Readout::BoardCurrent, text);
    }

  private:
    bench::RunView& view_;
};

}  // namespace

bool BenchBoard::UpdateReading(bool show, bench::RunView& view) {
    ReadoutLabels labels(view);
    return client_.UpdateBoardReading(show, &labels);
}

}  // namespace veska::analog
