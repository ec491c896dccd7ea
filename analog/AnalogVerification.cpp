#include "analog/AnalogVerification.h"

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "analog/AnalogReport.h"
#include "bench/RunFrame.h"
#include "lang/NumberFormat.h"

namespace veska::analog {

namespace {

constexpr size_t kReadBufferBytes = 524288;  ///< one read of everything queued
constexpr uint32_t kAnalogWaitMs = 100;      ///< between the questions and the writing [ms]

}  // namespace

bool WriteAnalogReport(bench::RunFrame& frame) {
    bench::AnalogBoard& board = frame.Devices().board;
    if (!board.Present()) return false;
    bench::RunState& run = frame.Run();
    params::SensorSession& session = frame.Session();

    std::vector<uint8_t> recording(kReadBufferBytes);
    const uint32_t got = board.ReadAll(recording);
    recording.resize(std::min<size_t>(got, recording.size()));

    AnalogReportInput input;
    input.recording = recording;
    input.gain = board.Gain();
    input.offset = board.Offset();
    input.sampleStep = run.sampleStep;
    input.rangeMm = session.conn.measuringRange;
    if (bench::UsesEncoderReference(run)) input.encoder = run.encoderBuffer;
    const std::optional<AnalogReport> report = EvaluateAnalog(input);
    if (!report) {
        run.notes.push_back("analog report: the board's recording (" + std::to_string(got) +
                            " bytes) spans no more than 4 V of valid voltage; none was written");
        return false;
    }

    bench::RunView& view = frame.View();
    const lang::TextTable& texts = session.Texts();
    view.ChartClear();
    for (const ReportPoint& point : report->points) {
        view.ChartAddPoint(point.percent, point.label, bench::PointColour::Red);
    }
    const std::string serial = std::to_string(session.conn.deviceInfo.serialNumber);
    view.ChartSetTitle("", true);
    view.ChartSetTitle("s/n " + serial, true);
    // The bottom axis keeps the digital report's title.
    view.ChartSetAxisTitles(texts.Message(30), texts.Message(28));
    view.ChartSetFoot(texts.Message(30) + ": " + lang::FormatFixed(report->figure, 3));
    run.results["analog_figure_percent"] = report->figure;

    bench::SaveReportFiles(frame, serial + "_Analog.pvk", report->fileText,
                           serial + "_Analog_pvk.bmp", kAnalogWaitMs);
    return true;
}

bench::AnalogEvaluation AnalogVerification() {
    return [](bench::RunFrame& frame) { (void)WriteAnalogReport(frame); };
}

}  // namespace veska::analog
