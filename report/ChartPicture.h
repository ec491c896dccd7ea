#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veska::report {

/// What the report chart shows: the texts the window's chart carries and its points.
struct ChartPicture {
    std::string title;        ///< above the plot ("s/n 1234")
    std::string leftTitle;    ///< the left axis
    std::string bottomTitle;  ///< the bottom axis
    std::string foot;         ///< below the plot; CR LF or LF separate its lines
    /// Point n lies at x = n x bottomScale (a position in mm for points a sample step apart).
    double bottomScale = 1.0;
    std::vector<double> values;

    bool operator==(const ChartPicture&) const = default;
};

/// The name ending of a chart's data file, written beside its report image.
inline constexpr std::string_view kChartDataSuffix = ".chart.json";

/// A chart as the text of its data file (JSON: title, left, bottom, foot, scale, values;
/// a value that is not finite as null).
std::string ChartDataText(const ChartPicture& picture);
/// The chart of a data file; nullopt with error set when the text is not one.
std::optional<ChartPicture> ParseChartData(std::string_view text, std::string& error);

/// The deviation chart of a verification rebuilt from its ".pvk" data (the sample step [mm]
/// on the first line, then the smoothed distances [mm], one a line): each distance's
/// deviation from the nominal line through the first, centred on the middle of the band, in
/// % of rangeMm. nullopt with error set for a text that is not such data or a range <= 0.
std::optional<ChartPicture> ChartFromPvk(std::string_view text, int rangeMm, std::string& error);

}  // namespace veska::report
