#pragma once
#include <string>
#include <vector>

namespace veska::tools {

/// What the report chart shows: the texts the window's chart carries and its points.
struct ChartPicture {
    std::string title;        ///< above the plot ("s/n 1234")
    std::string leftTitle;    ///< the left axis
    std::string bottomTitle;  ///< the bottom axis
    std::string foot;         ///< below the plot; CR LF or LF separate its lines
    /// Point n lies at x = n x bottomScale (a position in mm for points a sample step apart).
    double bottomScale = 1.0;
    std::vector<double> values;
};

/// The report chart as a picture, drawn with cairo: a red line through the points with a
/// marker at each, axes with ticks and numbers, a grey line at 0 when 0 lies within the
/// values, the title above, the axis titles beside the axes and the foot below, black on
/// white. Values that are not finite are skipped.
///
/// Returns the bytes of a 24-bit uncompressed BMP of width x height pixels (both at least
/// 16; smaller sizes are raised), or "" when the picture could not be drawn.
std::string RenderChartBmp(const ChartPicture& picture, int width, int height);

}  // namespace veska::tools
