#include "tools/veskactl/ChartBitmap.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace veska::tools {

namespace {

struct Rgb {
    uint8_t r, g, b;
};

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kGrey{192, 192, 192};
constexpr Rgb kRed{255, 0, 0};

/// Plot area margins [px]: room where the window's chart has its texts.
constexpr int kLeft = 60;
constexpr int kRight = 20;
constexpr int kTop = 40;
constexpr int kBottom = 50;

class Canvas {
  public:
    Canvas(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), kWhite) {}

    void Set(int x, int y, Rgb c) {
        if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
        pixels_[static_cast<size_t>(y * width_ + x)] = c;
    }

    void Line(int x0, int y0, int x1, int y1, Rgb c) {
        const int dx = std::abs(x1 - x0);
        const int dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1;
        const int sy = y0 < y1 ? 1 : -1;
        int error = dx + dy;
        for (;;) {
            Set(x0, y0, c);
            if (x0 == x1 && y0 == y1) return;
            const int e2 = 2 * error;
            if (e2 >= dy) {
                error += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                error += dx;
                y0 += sy;
            }
        }
    }

    void Marker(int x, int y, Rgb c) {
        for (int i = -1; i <= 1; ++i) {
            for (int j = -1; j <= 1; ++j) Set(x + i, y + j, c);
        }
    }

    /// BMP bytes: the file header, the info header, rows bottom-up padded to 4 bytes.
    std::string Bmp() const {
        const int rowBytes = (width_ * 3 + 3) / 4 * 4;
        const uint32_t imageBytes = static_cast<uint32_t>(rowBytes * height_);
        std::string out;
        out.reserve(54 + imageBytes);
        const auto u16 = [&out](uint32_t v) {
            out += static_cast<char>(v & 0xFF);
            out += static_cast<char>(v >> 8 & 0xFF);
        };
        const auto u32 = [&u16](uint32_t v) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        };
        out += "BM";
        u32(54 + imageBytes);
        u32(0);
        u32(54);
        u32(40);
        u32(static_cast<uint32_t>(width_));
        u32(static_cast<uint32_t>(height_));
        u16(1);
        u16(24);
        u32(0);
        u32(imageBytes);
        u32(3780);  // 96 dpi
        u32(3780);
        u32(0);
        u32(0);
        for (int y = height_ - 1; y >= 0; --y) {
            for (int x = 0; x < width_; ++x) {
                const Rgb c = pixels_[static_cast<size_t>(y * width_ + x)];
                out += static_cast<char>(c.b);
                out += static_cast<char>(c.g);
                out += static_cast<char>(c.r);
            }
            out.append(static_cast<size_t>(rowBytes - width_ * 3), '\0');
        }
        return out;
    }

  private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

}  // namespace

std::string RenderChartBmp(const std::vector<double>& values, int width, int height) {
    width = std::max(width, 16);
    height = std::max(height, 16);
    Canvas canvas(width, height);
    const int left = std::min(kLeft, width / 4);
    const int right = width - 1 - std::min(kRight, width / 8);
    const int top = std::min(kTop, height / 4);
    const int bottom = height - 1 - std::min(kBottom, height / 4);

    std::vector<std::pair<size_t, double>> points;
    for (size_t i = 0; i < values.size(); ++i) {
        if (std::isfinite(values[i])) points.emplace_back(i, values[i]);
    }
    if (!points.empty()) {
        double lo = points.front().second;
        double hi = lo;
        for (const auto& p : points) {
            lo = std::min(lo, p.second);
            hi = std::max(hi, p.second);
        }
        if (hi - lo < 1e-12) {
            lo -= 1.0;
            hi += 1.0;
        }
        const double pad = (hi - lo) * 0.05;
        lo -= pad;
        hi += pad;
        const size_t span = std::max<size_t>(values.size() - 1, 1);
        const auto px = [&](size_t i) {
            return left + static_cast<int>(std::lround(static_cast<double>(i) * (right - left) /
                                                       static_cast<double>(span)));
        };
        const auto py = [&](double v) {
            return bottom - static_cast<int>(std::lround((v - lo) * (bottom - top) / (hi - lo)));
        };
        if (lo < 0.0 && hi > 0.0) canvas.Line(left, py(0.0), right, py(0.0), kGrey);
        for (size_t k = 1; k < points.size(); ++k) {
            canvas.Line(px(points[k - 1].first), py(points[k - 1].second), px(points[k].first),
                        py(points[k].second), kRed);
        }
        for (const auto& p : points) canvas.Marker(px(p.first), py(p.second), kRed);
    }
    canvas.Line(left, top, right, top, kBlack);
    canvas.Line(right, top, right, bottom, kBlack);
    canvas.Line(right, bottom, left, bottom, kBlack);
    canvas.Line(left, bottom, left, top, kBlack);
    return canvas.Bmp();
}

}  // namespace veska::tools
