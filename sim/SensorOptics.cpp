#include "sim/SensorOptics.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veska::sim::optics {
namespace {

/// Triangulation bend: g(0) = 0, g(1) = 1, steeper at the near end.
constexpr double kBend = 0.6;
/// Part of the line the range maps onto: from 6 % to 94 % of its length.
constexpr double kFirstPixel = 0.06;
constexpr double kPixelSpan = 0.88;

}  // namespace

double LineResponse(double u) { return u + 0.03 * std::sin(std::numbers::pi * u); }

double SpotPixel(double u, int lengthPx) {
    const double v = std::clamp(u, -0.5, 1.5);
    const double g = v * (1.0 + kBend) / (1.0 + kBend * v);
    return lengthPx * (kFirstPixel + kPixelSpan * g);
}

bool SpotVisible(double pixel, int lengthPx) { return pixel >= 0.0 && pixel <= lengthPx - 1.0; }

std::vector<uint16_t> Profile(double spotPx, bool visible, int lengthPx, uint16_t dark,
                              double noise, std::mt19937& rng) {
    std::vector<uint16_t> pixels(static_cast<size_t>(std::max(lengthPx, 0)));
    std::normal_distribution<double> jitter(0.0, 1.0);
    for (size_t i = 0; i < pixels.size(); ++i) {
        double v = dark;
        if (visible) {
            const double d = (static_cast<double>(i) - spotPx) / kSpotSigmaPx;
            v += kSpotHeight * std::exp(-0.5 * d * d);
        }
        if (noise > 0.0) v += noise * jitter(rng);
        pixels[i] = static_cast<uint16_t>(std::clamp(std::lround(v), 0L, long{kPixelMax}));
    }
    return pixels;
}

}  // namespace veska::sim::optics
