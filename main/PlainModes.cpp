#include "main/PlainModes.h"

#include <limits>
#include <string>

namespace veska::main {

namespace {

constexpr uint32_t kModeWaitMs = 100;    ///< after "Mode of Run" at run start [ms]
constexpr double kHighPointMm = 1800.0;  ///< first-tick reference point for long ranges [mm]

}  // namespace

void PlainMode::Start(bench::RunFrame& frame) {
    frame.Session().SendValue(params::kRowModeOfRun, code_);
    frame.Clock().Sleep(kModeWaitMs);
    if (code_ == bench::kModeLine) frame.OpenEncoderPort();
    if (code_ != bench::kModeTemperature) frame.Devices().board.StartSweep();
}

void PlainMode::Tick(bench::RunFrame& frame) {
    bench::RunState& run = frame.Run();
    bench::RunView& view = frame.View();
    if (frame.FetchResult()) {
        const float value = frame.CurrentValue().load();
        frame.Samples().AppendOnePast(value);

        // Line shows and plots the value against the zero; the raw modes as they are.
        double shown = value;
        if (code_ == bench::kModeLine) {
            shown = static_cast<double>(value) - static_cast<double>(frame.ZeroOffset().load());
        }
        view.ShowValue(frame.Row().label.Text(shown));

        // The reference point is a distance: it belongs to Line mode's millimetres only.
        if (code_ == bench::kModeLine && value > kHighPointMm && run.firstTickPending) {
            view.ChartAddPoint(kHighPointMm, "0", bench::PointColour::SeriesDefault);
        }
        view.ChartAddPoint(shown, std::to_string(run.pointNumber), bench::PointColour::Red);
        ++run.pointNumber;
    } else if (frame.Row().requestsResult) {
        // A failed request leaves a gap in the line at its place, not a point.
        view.ChartAddPoint(std::numeric_limits<double>::quiet_NaN(),
                           std::to_string(run.pointNumber), bench::PointColour::Red);
        ++run.pointNumber;
    }
    if (code_ == bench::kModeTemperature) return;
    frame.ReadEncoderPosition();
    frame.Devices().board.UpdateReading(true, frame.View());
}

void PlainModes::BindTo(bench::ModeSteps& steps) {
    steps.Bind(bench::kModeLine, line_);
    steps.Bind(bench::kModeNonline, nonline_);
    steps.Bind(bench::kModeTemperature, temperature_);
}

}  // namespace veska::main
