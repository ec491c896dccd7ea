#include "bench/VerificationReport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <filesystem>

#include "bench/CalibrationTable.h"
#include "bench/RunFrame.h"
#include "lang/NumberFormat.h"
#include "params/ParamView.h"
#include "platform/FileIo.h"

namespace veska::bench {

namespace {

constexpr uint32_t kDigitalWaitMs = 1;  ///< between the questions and the writing [ms]

std::string GeneralNumber(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    return buffer;
}

}  // namespace

DigitalEvaluation EvaluateDigital(std::vector<float> samples, std::vector<float> encoder, int32_t n,
                                  bool encoderPresent, float sampleStep, int32_t rangeMm) {
    DigitalEvaluation e;
    if (encoder.size() < samples.size()) encoder.resize(samples.size(), 0.0f);
    n = DropLeadingSamples(samples, encoder, n);
    if (sampleStep > 0.0f && rangeMm > 0) {
        const auto limit =
            static_cast<int64_t>(static_cast<double>(rangeMm) / static_cast<double>(sampleStep)) +
            1;
        if (limit < n) n = static_cast<int32_t>(limit);
    }
    if (rangeMm <= 0) n = 0;
    e.count = n;
    e.validity = JudgeSweep(samples.data(), n, SweepValues::Millimetres, sampleStep, rangeMm);
    int32_t firstFound = -1;
    for (int32_t i = 0; i < n; ++i) {
        if (samples[i] == 0.0f) continue;
        if (firstFound < 0) firstFound = i;
        e.last = i;
    }
    e.first = std::max(firstFound, 0);
    const int32_t first = e.first;
    const int32_t last = e.last;

    constexpr int32_t h = kReportWindow;
    for (int32_t i = first + h; i < last - h; ++i) {
        long double sum = 0.0L;
        for (int32_t k = i - h; k <= i + h; ++k) sum += samples[k];
        samples[i] = static_cast<float>(sum / (2 * h + 1));
    }
    if (encoderPresent && n > 0) {
        const float origin = encoder[first];
        for (int32_t i = first; i <= last; ++i) encoder[i] -= origin;
        for (int32_t i = 0; i < first; ++i) encoder[i] = 0.0f;
        for (int32_t i = last + 1; i < n; ++i) encoder[i] = 0.0f;
    }

    // The band starts at the first deviation: a sweep whose deviations all lie beyond
    // +-n x sampleStep (an offset sensor) must not widen it.
    std::vector<double> deviations;
    double minimum = 0.0;
    double maximum = 0.0;
    for (int32_t i = first; i < last; ++i) {
        const double reference = encoderPresent ? static_cast<double>(encoder[i])
                                                : static_cast<double>(i - first) * sampleStep;
        const double d = static_cast<double>(samples[i]) - reference;
        if (deviations.empty()) minimum = maximum = d;
        deviations.push_back(d);
        minimum = std::min(minimum, d);
        maximum = std::max(maximum, d);
    }
    e.centre = (maximum + minimum) * 0.5;
    e.figurePercent = rangeMm > 0 ? (maximum - minimum) * 100.0 / (rangeMm * 2.0) : 0.0;
    for (size_t k = 0; k < deviations.size(); ++k) {
        e.points.push_back((deviations[k] - e.centre) * 100.0 / rangeMm);
        const auto tenths = static_cast<int64_t>(static_cast<double>(k) * sampleStep * 10000.0);
        e.labels.push_back(GeneralNumber(static_cast<double>(tenths) * 0.0001));
    }
    samples.resize(static_cast<size_t>(n));
    e.smoothed = std::move(samples);
    if (encoderPresent) {
        encoder.resize(static_cast<size_t>(n));
        e.reference = std::move(encoder);
    }
    return e;
}

std::string PvkFileText(float sampleStep, const std::vector<float>& values, int32_t first,
                        int32_t last) {
    std::string text = lang::FormatFixedPrecision(sampleStep, 10, 6) + "\n";
    for (int32_t i = std::max(first, 0); i < last && i < static_cast<int32_t>(values.size()); ++i) {
        text += lang::FormatFixedPrecision(values[i], 12, 4) + "\r\n";
    }
    return text;
}

float MedianOfSeven(const float* values) {
    std::array<float, 7> v{};
    std::copy(values, values + 7, v.begin());
    std::nth_element(v.begin(), v.begin() + 3, v.end());
    return v[3];
}

bool UsesEncoderReference(const RunState& run) {
    return run.encoderRecorded && std::any_of(run.encoderBuffer.begin(), run.encoderBuffer.end(),
                                              [](float position) { return position != 0.0f; });
}

void ReportFileFailure(RunFrame& frame, const std::string& why) {
    frame.Run().Conclude(RunOutcome::Error, why);
    params::SensorSession& session = frame.Session();
    session.View().MessageBox(why, session.Texts().Message(2), params::kMbIconExclamation);
}

std::string ReportFoot(const std::string& figureTitle, double figurePercent) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    return figureTitle + ": " + lang::FormatFixed(figurePercent, 3) + " %\r\n" + stamp;
}

void SaveReportFiles(RunFrame& frame, const std::string& preset, const std::string& text,
                     const std::string& imageName, uint32_t waitMs) {
    RunState& run = frame.Run();
    params::SensorSession& session = frame.Session();
    const lang::TextTable& texts = session.Texts();
    const std::optional<std::string> path = frame.View().AskReportFile(preset);
    bool declined = false;
    std::error_code error;
    if (path && std::filesystem::exists(*path, error)) {
        declined = session.View().MessageBox(texts.Message(25), texts.Message(2),
                                             params::kMbOkCancelExclamation) != params::kIdOk;
    }
    frame.Clock().Sleep(waitMs);
    if (path && !declined) {
        std::string reason;
        if (platform::ReplaceFile(*path, text, reason)) {
            run.files.push_back(*path);
        } else {
            ReportFileFailure(frame, "report: " + *path + " was not written: " + reason);
        }
    } else if (!path) {
        run.notes.push_back("report: " + preset + " was not saved (cancelled)");
    }
    if (declined) {
        run.notes.push_back("report: " + *path + " exists and was kept; the report was not saved");
        return;
    }
    // The image holds the chart as the window shows it: title, axis titles, figure and date.
    const std::string imagePath = frame.View().ReportImagePath(imageName);
    if (frame.View().SaveChartImage(imagePath, kReportImageWidth, kReportImageHeight)) {
        run.files.push_back(imagePath);
    } else {
        ReportFileFailure(frame, "report: the chart image " + imagePath + " was not written");
    }
}

DigitalEvaluation WriteVerificationReport(RunFrame& frame, int32_t n,
                                          const AnalogEvaluation& analog) {
    RunState& run = frame.Run();
    RunView& view = frame.View();
    params::SensorSession& session = frame.Session();
    const lang::TextTable& texts = session.Texts();
    run.activity = "writing the report";
    view.ShowRunState(std::string(frame.Row().caption) + ": " + run.activity);
    n = std::clamp<int32_t>(n, 0, acquire::SampleBuffer::kSize);
    std::vector<float> samples(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) samples[i] = frame.Samples().At(i);
    std::vector<float> encoder(run.encoderBuffer.begin(), run.encoderBuffer.begin() + n);

    const bool withEncoder = UsesEncoderReference(run);
    run.method["reference"] = withEncoder ? "encoder" : "nominal positions";
    DigitalEvaluation e = EvaluateDigital(std::move(samples), std::move(encoder), n, withEncoder,
                                          run.sampleStep, session.conn.measuringRange);
    RecordValidity(run, e.validity);
    if (!e.validity.ok) {
        run.Conclude(RunOutcome::Failed,
                     "verification: " + e.validity.reason + "; no figure and no report");
        return e;
    }
    // The live points of the sweep give way to the deviations, one per sample step.
    view.ChartClear();
    for (size_t k = 0; k < e.points.size(); ++k) {
        view.ChartAddPoint(e.points[k], e.labels[k], PointColour::Red);
    }
    const std::string serial = std::to_string(session.conn.deviceInfo.serialNumber);
    view.ChartSetTitle("s/n " + serial, true);
    view.ChartSetAxisTitles(texts.Message(29), texts.Message(28));
    view.ChartSetBottomScale(run.sampleStep);
    view.ChartSetFoot(ReportFoot(texts.Message(29), e.figurePercent));
    view.ChartRepaint();
    run.results["figure_percent"] = e.figurePercent;
    std::copy(e.reference.begin(), e.reference.end(), run.encoderBuffer.begin());

    SaveReportFiles(frame, run.stem + "_Digital.pvk",
                    PvkFileText(run.sampleStep, e.smoothed, e.first, e.last),
                    run.stem + "_Digital_pvk.bmp", kDigitalWaitMs);
    if (analog) analog(frame);
    return e;
}

}  // namespace veska::bench
