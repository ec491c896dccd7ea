#pragma once
#include <cstdint>
#include <random>
#include <vector>

namespace veska::sim {

/// The simulated sensor's optics: how a target position becomes a spot on the CCD line and
/// a raw result. Pure functions of the range fraction u (0 at the base distance, 1 at the
/// end of the range).
namespace optics {

/// Uncalibrated line response: the fraction of the divisor that the firmware reports for a
/// target at u. Smooth and monotonic, off the straight line by at most 3 % of the range.
double LineResponse(double u);

/// Position of the spot's centre on a CCD line of lengthPx pixels [px]: a triangulation
/// curve, strongly non-linear (the far end of the range is compressed).
double SpotPixel(double u, int lengthPx);

/// True when a spot at pixel p falls on the line.
bool SpotVisible(double pixel, int lengthPx);

/// Sub-pixel resolution of the non-line (pixel position) result: counts per pixel.
inline constexpr int kCountsPerPixel = 32;

/// Peak height of the spot above the dark level, and its width (standard deviation) [px].
inline constexpr double kSpotHeight = 3000.0;
inline constexpr double kSpotSigmaPx = 4.0;
/// Largest pixel value (12-bit converter).
inline constexpr uint16_t kPixelMax = 4095;

/// A profile of lengthPx 16-bit pixel values: the dark level, plus one peak at spotPx when
/// visible, plus noise of standard deviation noisePx [counts].
std::vector<uint16_t> Profile(double spotPx, bool visible, int lengthPx, uint16_t dark,
                              double noise, std::mt19937& rng);

}  // namespace optics
}  // namespace veska::sim
