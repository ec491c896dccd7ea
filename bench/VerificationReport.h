#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "bench/SweepValidity.h"

namespace veska::bench {

class RunFrame;
struct RunState;

/// Half-width of the report's smoothing and median windows.
inline constexpr int32_t kReportWindow = 3;
/// Size of the chart images of the reports [px].
inline constexpr int kReportImageWidth = 800;
inline constexpr int kReportImageHeight = 400;

/// The digital evaluation of a verification sweep.
struct DigitalEvaluation {
    int32_t count = 0;  ///< samples after the drop and the range limit
    int32_t first = 0;  ///< evaluated range: first .. last - 1
    int32_t last = 0;
    double centre = 0.0;          ///< [mm] middle of the deviation band
    double figurePercent = 0.0;   ///< half the deviation band, % of the range
    std::vector<float> smoothed;  ///< the samples after the drop and the smoothing [mm]
    /// The encoder positions after the drop, rebased to the first sample (0 outside
    /// first .. last) [mm]; empty without the encoder.
    std::vector<float> reference;
    std::vector<double> points;       ///< centred deviations, % of the range (last - first)
    std::vector<std::string> labels;  ///< stage position of each point [mm], 4 decimals
    /// The judgement of the kept samples (after the drop and the range limit, before the
    /// smoothing): a blind sweep gives no figure.
    SweepValidity validity;
};

/// Evaluates the results of a sweep (n samples [mm], the encoder positions when
/// encoderPresent): drop 12, limit to R / sampleStep + 1, non-zero bounds, moving average of
/// 7, deviations from the reference or from the nominal line, figure of merit. An empty range
/// gives the figure 0.
DigitalEvaluation EvaluateDigital(std::vector<float> samples, std::vector<float> encoder, int32_t n,
                                  bool encoderPresent, float sampleStep, int32_t rangeMm);

/// The ".pvk" text: sampleStep with 6 decimals and LF, then values[first..last-1] with 4
/// decimals and CR LF each.
std::string PvkFileText(float sampleStep, const std::vector<float>& values, int32_t first,
                        int32_t last);

/// The median of seven values.
float MedianOfSeven(const float* values);

/// The stop of a completed verification run besides the digital report: the analog
/// evaluation of the board's recording (analog/ provides it). Null: none.
using AnalogEvaluation = std::function<void(RunFrame& frame)>;

/// True when the deviations (and a calibration table) are taken against the reference
/// encoder: the run recorded it (a stepping sweep with the encoder present) and its buffer
/// holds positions of this run (the buffer is cleared at every run start). A synchronous sweep
/// records no encoder positions, nor does a stepping one whose readings all failed; their
/// deviations are taken against the nominal line instead.
bool UsesEncoderReference(const RunState& run);

/// A file of the run that could not be written: the run is an error, and the operator is
/// told (message box) at once.
void ReportFileFailure(RunFrame& frame, const std::string& why);

/// The chart's foot of a report: "<figure title>: <figure> %" and the date and time.
std::string ReportFoot(const std::string& figureTitle, double figurePercent);

/// Saves one output's report: the data file (asked with preset, overwrite confirmed) and,
/// unless the overwrite was declined, the chart image imageName at 800 x 400. Waits waitMs
/// between the question and the writing. Files written go to the run's files; a file that
/// cannot be written concludes the run as an error.
void SaveReportFiles(RunFrame& frame, const std::string& preset, const std::string& text,
                     const std::string& imageName, uint32_t waitMs);

/// WriteVerificationReport: the digital evaluation of the frame's n samples onto the chart
/// (positions in mm along the bottom axis), its files "<stem>_Digital.pvk" and
/// "<stem>_Digital_pvk.bmp", the result "figure_percent", then analog when set. A blind sweep
/// fails the run and writes no report. With the encoder present the run's encoderBuffer
/// holds the shifted, rebased reference afterwards (what the analog half compares with).
DigitalEvaluation WriteVerificationReport(RunFrame& frame, int32_t n,
                                          const AnalogEvaluation& analog);

}  // namespace veska::bench
