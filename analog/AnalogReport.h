#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace veska::analog {

/// What the analog evaluation of a verification run needs beside the board's recording.
struct AnalogReportInput {
    /// The bytes the board queued along the sweep (ReadAll); at most the first 131,072 count.
    std::span<const uint8_t> recording;
    float gain = 0.0f;        ///< the board's gain coefficient
    uint16_t offset = 0;      ///< the board's offset coefficient [counts]
    float sampleStep = 0.0f;  ///< bench travel per recorded sample [mm]
    int32_t rangeMm = 0;      ///< the sensor's measuring range R [mm]
    /// The reference positions [mm] by sample index (already rebased by the digital
    /// evaluation); empty when the encoder was not present.
    std::span<const float> encoder;
};

/// One point of the deviation chart.
struct ReportPoint {
    float percent;      ///< deviation from the centre, in percent of the range
    std::string label;  ///< the position [mm], cut to 4 decimals
};

/// The analog evaluation: the curve, the figure and the data file's text.
struct AnalogReport {
    /// The processed recording (positions [mm] from index 0 to last, the raw voltages
    /// beyond); what the sample buffer holds afterwards. count = curve.size().
    std::vector<float> curve;
    int32_t first = 0;
    int32_t last = 0;     ///< the evaluated range is first .. last - 1
    float figure = 0.0f;  ///< half the spread of the deviations, in percent of the range
    std::vector<ReportPoint> points;
    std::string fileText;  ///< the ".pvk" data file, byte for byte
};

/// The board's recording as voltages: every word but the last, raw = word + 0x8000 - offset
/// without a 16-bit wrap, U = gain x raw x 500 / 454.5 [V], in single precision; at most
/// 65,536 values.
std::vector<float> RecordingVolts(std::span<const uint8_t> recording, float gain, uint16_t offset);

/// The median of seven values.
float Median7(const float* values);

/// The moving average of 7 samples over first + 3 .. last - 4, in place and in increasing
/// order (each mean reads the samples already replaced below it).
void SmoothInPlace(std::vector<float>& samples, int32_t first, int32_t last);

/// The ".pvk" text: the step with 6 decimals and a LF, then samples first .. last - 1 with 4
/// decimals, each followed by CR LF; the point as decimal separator.
std::string PvkText(float sampleStep, std::span<const float> samples, int32_t first, int32_t last);

/// The analog evaluation of a verification run. Nothing when the recording holds no valid
/// voltage (0 <= U < 11 V), when its span is 4 V or less, or when the step or the range is
/// not positive.
std::optional<AnalogReport> EvaluateAnalog(const AnalogReportInput& input);

}  // namespace veska::analog
