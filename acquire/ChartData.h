#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "acquire/ValueLabel.h"

namespace veska::lang {
class TextTable;
}

namespace veska::acquire {

/// Count, extremes, mean and standard deviation of a set of samples. Non-finite samples are
/// not counted.
struct SampleStatistics {
    int64_t count = 0;
    double minimum = 0.0;
    double maximum = 0.0;
    double mean = 0.0;
    double deviation = 0.0;  ///< population standard deviation; 0 for fewer than two samples
};

/// Statistics that grow one sample at a time at constant cost (Welford's update), so that a
/// display tick pays for the new samples only.
class RunningStatistics {
  public:
    void Reset() { *this = RunningStatistics(); }
    void Add(double value);
    SampleStatistics Result() const;

  private:
    int64_t count_ = 0;
    double mean_ = 0.0;
    double m2_ = 0.0;  ///< sum of squared distances from the mean
    double minimum_ = 0.0;
    double maximum_ = 0.0;
};

/// The statistics of values.
SampleStatistics Summarise(std::span<const double> values);

/// The words of the statistics line, from the language texts.
struct StatisticsWords {
    std::string count = "n";
    std::string minimum = "min";
    std::string maximum = "max";
    std::string mean = "mean";
    std::string deviation = "sd";
    std::string rate = "%1 /s";  ///< %1 the rate, the unit named ("%1 samples/s")
};

/// What the chart's statistics line is told besides the points it holds.
struct ChartStatistics {
    bool haveSamples = false;  ///< `samples` holds the statistics of a running stream
    SampleStatistics samples;
    std::string unit;   ///< "mm", "px", "cl" or empty
    double rate = 0.0;  ///< [1/s] of an ended run or stream; 0: none shown (the status bar
                        ///< names the rate while one goes on)
    StatisticsWords words;
};

/// The statistics line: "n 1234   min 1.000   max 2.000   mean 1.500   sd 0.100 mm   20945 /s",
/// values with 3 decimals, the rate only when known. Empty for no samples.
std::string StatisticsText(const SampleStatistics& statistics, std::string_view unit, double rate,
                           const StatisticsWords& words = {});

/// The unit of a value label without its blank ("mm"); empty for labels without one.
std::string UnitOf(const ValueLabel& label);

/// The chart's axis titles (left, bottom) for values in unit: "Distance [mm]",
/// "Position [px]", "Level [cl]", each against "Sample"; both empty for no unit.
std::pair<std::string, std::string> AxisTitlesFor(std::string_view unit);
/// The same titles in the language of texts.
std::pair<std::string, std::string> AxisTitlesFor(std::string_view unit,
                                                  const lang::TextTable& texts);

/// The statistics line's words in the language of texts; the rate named for samples (a
/// stream) or results (a run).
StatisticsWords StatisticsWordsOf(const lang::TextTable& texts, bool samples);

/// Min/max decimation of a growing series for live drawing. Sample n (counted from 0 since
/// the reset) falls into bucket n / width; each bucket keeps its lowest and highest sample
/// with their positions. When the buckets would exceed the limit, neighbours are merged and
/// the width doubles, so a series of any length is drawn with at most 2 x limit points that
/// still show every excursion, and an added sample costs constant time.
class MinMaxDecimator {
  public:
    /// limit: the most buckets kept (about the chart's pixel columns); at least 2.
    explicit MinMaxDecimator(int limit = 1024);
    void Reset();
    /// Appends the next sample; a non-finite one takes its position but is not drawn.
    void Add(double value);
    /// Samples added since the reset.
    int64_t Count() const { return count_; }
    /// Samples per bucket (a power of two).
    int64_t Width() const { return width_; }
    /// The envelope in ascending x: per bucket its minimum and maximum at their positions
    /// (one point when they are the same sample).
    void Envelope(std::vector<double>& x, std::vector<double>& y) const;

  private:
    struct Bucket {
        bool any = false;
        int64_t minX = 0, maxX = 0;
        double min = 0.0, max = 0.0;
        void Take(int64_t x, double value);
        void Take(const Bucket& other);
    };
    void Halve();

    int limit_;
    int64_t width_ = 1;
    int64_t count_ = 0;
    std::vector<Bucket> buckets_;
};

}  // namespace veska::acquire
