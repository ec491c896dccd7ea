#pragma once
#include <cairo.h>

#include <string>

#include "report/ChartPicture.h"

namespace veska::report {

/// Draws the report chart into the rectangle of width x height at (x, y) of a cairo context
/// (in its units: pixels of an image, points of a PDF page): a red line through the points
/// with a marker at each, axes with ticks and numbers, a grey line at 0 when 0 lies within
/// the values, the title above, the axis titles beside the axes and the foot below, black on
/// white. Values that are not finite are skipped. The context's state is left as it was.
void DrawChart(cairo_t* cr, const ChartPicture& picture, double x, double y, double width,
               double height);

/// The report chart as a picture (DrawChart). Returns the bytes of a 24-bit uncompressed
/// BMP of width x height pixels (both at least 16; smaller sizes are raised), or "" when the
/// picture could not be drawn.
std::string RenderChartBmp(const ChartPicture& picture, int width, int height);

}  // namespace veska::report
