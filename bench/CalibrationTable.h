#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace veska::bench {

class RunFrame;

/// Entries of the working table: one per raw result of the sensor.
inline constexpr int32_t kTableEntries = 65536;
/// Values per upload block, and the blocks uploaded: entries 0..56831 form the table.
inline constexpr int32_t kTableBlockValues = 512;
inline constexpr int32_t kTableBlocks = 111;
inline constexpr int32_t kTableUploaded = kTableBlockValues * kTableBlocks;
/// Leading samples of a run that are dropped (the stage's start-up).
inline constexpr int32_t kLeadingSamples = 12;
/// Half-width of the table's smoothing window.
inline constexpr int32_t kTableSmoothing = 3;
/// Position code of a position R [mm] from the range start.
inline constexpr int32_t kFullRangeCode = 16384;

/// Drops the first kLeadingSamples of samples and of encoder (when it is as long); returns
/// the count left (0 when n <= kLeadingSamples).
int32_t DropLeadingSamples(std::vector<float>& samples, std::vector<float>& encoder, int32_t n);

/// Lowest index above 0 and highest index of a non-zero entry among 0..kTableUploaded-1.
struct TableBounds {
    int32_t first = 0;
    int32_t last = 0;
};
TableBounds FindTableBounds(const std::vector<int32_t>& table);
/// Fills every run of zero entries inside [first, last] with the straight line between its
/// two neighbours (slope in single precision, values truncated).
void FillTableGaps(std::vector<int32_t>& table, const TableBounds& bounds);
/// The moving average of 7 entries, in place and in ascending order (lower terms already
/// smoothed), for first + 3 <= s < last - 3.
void SmoothTable(std::vector<int32_t>& table, const TableBounds& bounds);

/// Where the first kept sample of a sweep lies from the range start [mm]: the recording
/// starts at the range start (where the positioning move leaves the target), sample i is
/// taken one increment further than sample i - 1 (the first after one increment), and the
/// first kLeadingSamples are dropped.
double FirstKeptPositionMm(float sampleStep);

/// Steps after the drop: x = the position from the range start (the encoder's travel since
/// the first kept sample, or the nominal i x sampleStep, plus firstPositionMm), codes
/// d = x x 16384 / R, a repeated raw value averaged with its code so far, then bounds, gaps
/// and smoothing. Raw values outside 0..65535 are skipped; a range of 0 gives an empty
/// table. encoder is read only when encoderPresent (then as long as n).
std::vector<int32_t> BuildTableFromSamples(const std::vector<float>& samples,
                                           const std::vector<float>& encoder, int32_t n,
                                           bool encoderPresent, float sampleStep, int32_t rangeMm,
                                           double firstPositionMm = 0.0);

/// The ".klb" text: one line "DW\t<entry>\r\n" per entry 0..kTableUploaded-1.
std::string CalibrationFileText(const std::vector<int32_t>& table);

/// What BuildCalibrationTable did.
struct CalibrationOutcome {
    bool built = false;     ///< false when the run left too few or no valid samples
    bool uploaded = false;  ///< all 111 blocks were accepted
    int32_t blocks = 0;     ///< blocks accepted by the last upload attempt
    std::string file;       ///< the ".klb" written, "" when none
};

/// The stop of a completed calibration: plot the samples (count n of the frame's sample
/// buffer and encoder ring), judge the sweep (a blind sweep fails: nothing is uploaded or
/// saved), build the table, upload it with Retry/Cancel, and offer to save it as
/// "<run stem>.klb". Results go to the run's results, files and notes; a failed upload or
/// file concludes the run as an error.
CalibrationOutcome BuildCalibrationTable(RunFrame& frame, int32_t n);

}  // namespace veska::bench
