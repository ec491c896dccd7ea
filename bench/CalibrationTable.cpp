#include "bench/CalibrationTable.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include "bench/RunFrame.h"
#include "bench/SweepValidity.h"
#include "bench/VerificationReport.h"
#include "params/ParamView.h"
#include "platform/FileIo.h"

namespace veska::bench {

namespace {

constexpr int kMbRetryCancel = 5;  ///< message box flags: Retry and Cancel
constexpr int kIdRetry = 4;        ///< the Retry answer

}  // namespace

int32_t DropLeadingSamples(std::vector<float>& samples, std::vector<float>& encoder, int32_t n) {
    n = std::clamp<int32_t>(n, 0, static_cast<int32_t>(samples.size()));
    if (n <= kLeadingSamples) return 0;
    const bool withEncoder = encoder.size() >= static_cast<size_t>(n);
    for (int32_t i = 0; i + kLeadingSamples < n; ++i) {
        samples[i] = samples[i + kLeadingSamples];
        if (withEncoder) encoder[i] = encoder[i + kLeadingSamples];
    }
    return n - kLeadingSamples;
}

TableBounds FindTableBounds(const std::vector<int32_t>& table) {
    TableBounds b;
    const int32_t end = std::min<int32_t>(kTableUploaded, static_cast<int32_t>(table.size()));
    for (int32_t i = 0; i < end; ++i) {
        if (table[i] == 0) continue;
        b.last = i;
        if (b.first == 0 && i > 0) b.first = i;
    }
    return b;
}

void FillTableGaps(std::vector<int32_t>& table, const TableBounds& bounds) {
    int32_t i = bounds.first;
    while (i < bounds.last) {
        if (table[i] != 0 || i == 0) {
            ++i;
            continue;
        }
        const int32_t lo = i - 1;
        int32_t hi = i + 1;
        while (hi < bounds.last && table[hi] == 0) ++hi;
        const float slope = static_cast<float>(static_cast<double>(table[hi] - table[lo]) /
                                               static_cast<double>(hi - lo));
        for (int32_t j = lo + 1; j < hi; ++j) {
            table[j] = static_cast<int32_t>(static_cast<double>(table[lo]) +
                                            static_cast<double>(j - lo) * slope);
        }
        i = hi;
    }
}

void SmoothTable(std::vector<int32_t>& table, const TableBounds& bounds) {
    constexpr int32_t h = kTableSmoothing;
    for (int32_t s = bounds.first + h; s + h < bounds.last; ++s) {
        int64_t sum = 0;
        for (int32_t k = s - h; k <= s + h; ++k) sum += table[k];
        table[s] = static_cast<int32_t>(sum / (2 * h + 1));
    }
}

double FirstKeptPositionMm(float sampleStep) {
    return static_cast<double>(kLeadingSamples + 1) * static_cast<double>(sampleStep);
}

std::vector<int32_t> BuildTableFromSamples(const std::vector<float>& samples,
                                           const std::vector<float>& encoder, int32_t n,
                                           bool encoderPresent, float sampleStep, int32_t rangeMm,
                                           double firstPositionMm) {
    std::vector<int32_t> table(kTableEntries, 0);
    n = std::clamp<int32_t>(n, 0, static_cast<int32_t>(samples.size()));
    if (encoderPresent) n = std::min<int32_t>(n, static_cast<int32_t>(encoder.size()));
    if (rangeMm <= 0 || n <= 0) return table;
    const double origin = encoderPresent ? static_cast<double>(encoder[0]) : 0.0;
    for (int32_t i = 0; i < n; ++i) {
        const float value = samples[i];
        if (!std::isfinite(value) || value < 0.0f || value >= static_cast<float>(kTableEntries)) {
            continue;
        }
        const auto p = static_cast<int32_t>(value);
        // The encoder ring holds single-precision positions; the rebase stays in floats.
        const long double x =
            (encoderPresent ? static_cast<long double>(static_cast<float>(encoder[i] - origin))
                            : static_cast<long double>(i) * static_cast<long double>(sampleStep)) +
            static_cast<long double>(firstPositionMm);
        auto d = static_cast<int32_t>(x * kFullRangeCode / static_cast<long double>(rangeMm));
        if (table[p] != 0) d = static_cast<int32_t>((static_cast<int64_t>(table[p]) + d) / 2);
        table[p] = d;
    }
    const TableBounds bounds = FindTableBounds(table);
    FillTableGaps(table, bounds);
    SmoothTable(table, bounds);
    return table;
}

std::string CalibrationFileText(const std::vector<int32_t>& table) {
    std::string text;
    text.reserve(static_cast<size_t>(kTableUploaded) * 10);
    for (int32_t i = 0; i < kTableUploaded; ++i) {
        const int32_t entry = i < static_cast<int32_t>(table.size()) ? table[i] : 0;
        text += "DW\t";
        text += std::to_string(entry);
        text += "\r\n";
    }
    return text;
}

namespace {

/// Blocks accepted before the first failure (kTableBlocks when all were).
constexpr int32_t kUploadShownEvery = 10;  ///< blocks between two lines of the run's state

int32_t UploadTable(RunFrame& frame, const std::vector<int32_t>& table) {
    params::SensorSession& session = frame.Session();
    params::ParamView& view = session.View();
    std::vector<uint16_t> block(kTableBlockValues);
    view.SetParamProgress(kTableBlocks - 1, 1);
    for (int32_t b = 0; b < kTableBlocks; ++b) {
        view.SetParamProgress(kTableBlocks - 1, b);
        if (b % kUploadShownEvery == 0) {
            frame.View().ShowRunState(std::string(frame.Row().caption) + ": uploading block " +
                                      std::to_string(b + 1) + " of " +
                                      std::to_string(kTableBlocks));
        }
        for (int32_t k = 0; k < kTableBlockValues; ++k) {
            block[k] = static_cast<uint16_t>(table[b * kTableBlockValues + k] & 0xFFFF);
        }
        const int32_t status = session.sensor.WriteTable(session.conn.netAddress,
                                                         static_cast<uint8_t>(b), block.data());
        session.conn.linkStatus.store(status);
        if (status != link::kStatusOk) return b;
    }
    return kTableBlocks;
}

}  // namespace

CalibrationOutcome BuildCalibrationTable(RunFrame& frame, int32_t n) {
    CalibrationOutcome outcome;
    RunState& run = frame.Run();
    RunView& view = frame.View();
    params::SensorSession& session = frame.Session();
    const lang::TextTable& texts = session.Texts();
    n = std::clamp<int32_t>(n, 0, kTableEntries);
    run.results["table_uploaded"] = 0;
    run.results["table_blocks"] = 0;

    run.activity = "building the table";
    view.ShowRunState(std::string(frame.Row().caption) + ": " + run.activity);
    view.ChartClear();
    view.ChartSetFoot(texts.Message(26) + ": " + std::to_string(n));
    std::vector<float> samples(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) samples[i] = frame.Samples().At(i);
    std::vector<float> encoder(run.encoderBuffer.begin(), run.encoderBuffer.begin() + n);
    view.ChartAddPoints(samples.data(), n, 0, PointColour::Red);

    const int32_t kept = DropLeadingSamples(samples, encoder, n);
    const SweepValidity validity = JudgeSweep(samples.data(), kept, SweepValues::Raw,
                                              run.sampleStep, session.conn.measuringRange);
    RecordValidity(run, validity);
    if (!validity.ok) {
        run.Conclude(RunOutcome::Failed,
                     "calibration: " + validity.reason + "; no table was uploaded or saved");
        return outcome;
    }
    const bool withEncoder = UsesEncoderReference(run);
    const std::vector<int32_t> table =
        BuildTableFromSamples(samples, encoder, kept, withEncoder, run.sampleStep,
                              session.conn.measuringRange, FirstKeptPositionMm(run.sampleStep));
    outcome.built = true;

    run.activity = "uploading";
    for (;;) {
        outcome.blocks = UploadTable(frame, table);
        if (outcome.blocks == kTableBlocks) {
            outcome.uploaded = true;
            break;
        }
        const int answer =
            session.View().MessageBox(texts.Message(27), texts.Message(2), kMbRetryCancel);
        if (answer != kIdRetry) break;
    }
    run.results["table_uploaded"] = outcome.uploaded ? 1 : 0;
    run.results["table_blocks"] = outcome.blocks;
    if (!outcome.uploaded) {
        run.Conclude(RunOutcome::Error,
                     "calibration: the table upload failed at block " +
                         std::to_string(outcome.blocks) + " of " + std::to_string(kTableBlocks) +
                         " (status " + std::to_string(session.conn.linkStatus.load()) +
                         "); the sensor's table is incomplete: repeat the calibration");
    } else {
        view.ShowRunState(std::string(frame.Row().caption) + ": table uploaded (" +
                          std::to_string(kTableBlocks) + " blocks)");
    }

    run.activity = "saving the table";
    const std::optional<std::string> path = view.AskReportFile(run.stem + ".klb");
    if (!path) {
        run.notes.push_back("calibration: the table file was not saved (cancelled)");
        return outcome;
    }
    std::error_code error;
    if (std::filesystem::exists(*path, error) &&
        session.View().MessageBox(texts.Message(25), texts.Message(2),
                                  params::kMbOkCancelExclamation) != params::kIdOk) {
        run.notes.push_back("calibration: " + *path +
                            " exists and was kept; the table was not saved");
        return outcome;
    }
    std::string reason;
    if (platform::ReplaceFile(*path, CalibrationFileText(table), reason)) {
        outcome.file = *path;
        run.files.push_back(*path);
    } else {
        ReportFileFailure(frame, "calibration: " + *path + " was not written: " + reason);
    }
    return outcome;
}

}  // namespace veska::bench
