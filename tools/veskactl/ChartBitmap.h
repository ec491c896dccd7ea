#pragma once
#include <string>
#include <vector>

namespace veska::tools {

/// A headless picture of the report chart: one red line through the points, with a point
/// marker at each, inside a black frame on white, and a grey line at 0 when 0 lies within
/// the values. It carries no texts (there is no font without the window's chart library);
/// the title, axis titles and footer go to the run's record instead.
///
/// Returns the bytes of a 24-bit uncompressed BMP of width x height pixels (both at least
/// 16; smaller sizes are raised). Values that are not finite are skipped.
std::string RenderChartBmp(const std::vector<double>& values, int width, int height);

}  // namespace veska::tools
