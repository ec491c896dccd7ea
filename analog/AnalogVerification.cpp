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
    const bool synchronous = frame.Row().code == bench::kModeSynchroPoverka;
    if (got == 0 && !synchronous) {
        // The board takes a word per output-8 pulse of the stage, which only the synchronous
        // sweep sends.
        run.notes.push_back(
            "analog report: the board recorded nothing: it samples on the stage's output-8 "
            "pulses, which only Synchro_Poverka sends; none was written");
        return false;
    }
    const std::optional<AnalogReport> report = EvaluateAnalog(input);
    if (!report) {
        run.Conclude(bench::RunOutcome::Error,
                     "analog report: the board's recording (" + std::to_string(got) +
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
    view.ChartSetTitle("s/n " + serial, true);
    // The bottom axis keeps the digital report's title.
    view.ChartSetAxisTitles(texts.Message(30), texts.Message(28));
    view.ChartSetBottomScale(run.sampleStep);
    view.ChartSetFoot(bench::ReportFoot(texts.Message(30), report->figure));
    view.ChartRepaint();
    run.results["analog_figure_percent"] = report->figure;

    bench::SaveReportFiles(frame, run.stem + "_Analog.pvk", report->fileText,
                           run.stem + "_Analog_pvk.bmp", kAnalogWaitMs);
    return true;
}

bench::AnalogEvaluation AnalogVerification() {
    return [](bench::RunFrame& frame) { (void)WriteAnalogReport(frame); };
}

}  // namespace veska::analog
