#include "report/ChartDrawing.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace veska::report {

namespace {

/// Plot area margins [px]: room for the texts around the plot.
constexpr double kLeft = 78;
constexpr double kRight = 20;
constexpr double kTop = 34;
constexpr double kBottom = 78;
constexpr double kFontSize = 11;
constexpr int kMinimumSize = 16;
constexpr int kTicks = 5;  ///< about this many ticks per axis

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

/// A tick step of 1, 2 or 5 x 10^k giving about kTicks ticks over span.
double TickStep(double span) {
    if (!(span > 0.0) || !std::isfinite(span)) return 1.0;
    const double raw = span / kTicks;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * magnitude >= raw) return m * magnitude;
    }
    return 10.0 * magnitude;
}

std::string Number(double value, double step) {
    const int decimals = step >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(step)));
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", std::clamp(decimals, 0, 6), value);
    return text;
}

void Text(cairo_t* cr, const std::string& text, double x, double y, double alignX) {
    cairo_text_extents_t extents{};
    cairo_text_extents(cr, text.c_str(), &extents);
    cairo_move_to(cr, x - alignX * extents.x_advance, y);
    cairo_show_text(cr, text.c_str());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (const char c : text) {
        if (c == '\r') continue;
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void PutLe(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

/// BMP bytes of an ARGB32 surface: the file header, the info header, rows bottom-up padded
/// to 4 bytes.
std::string Bmp(cairo_surface_t* surface, int width, int height) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const uint32_t rowBytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * static_cast<uint32_t>(height);
    std::string out;
    out.reserve(54 + imageBytes);
    out += "BM";
    PutLe(out, 54 + imageBytes, 4);
    PutLe(out, 0, 4);
    PutLe(out, 54, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<uint32_t>(width), 4);
    PutLe(out, static_cast<uint32_t>(height), 4);
    PutLe(out, 1, 2);
    PutLe(out, 24, 2);
    PutLe(out, 0, 4);
    PutLe(out, imageBytes, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 2835, 4);
    PutLe(out, 0, 4);
    PutLe(out, 0, 4);
    for (int y = height - 1; y >= 0; --y) {
        const auto* row =
            reinterpret_cast<const uint32_t*>(data + static_cast<ptrdiff_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            const uint32_t argb = row[x];
            out += static_cast<char>(argb & 0xFF);
            out += static_cast<char>((argb >> 8) & 0xFF);
            out += static_cast<char>((argb >> 16) & 0xFF);
        }
        out.append(rowBytes - static_cast<uint32_t>(width) * 3, '\0');
    }
    return out;
}

}  // namespace

void DrawChart(cairo_t* cr, const ChartPicture& picture, double originX, double originY,
               double width, double height) {
    cairo_save(cr);
    cairo_translate(cr, originX, originY);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    // Lines and markers on whole pixels, in their own colours (the texts keep their
    // smoothing): a report image is read by eye and by its pixels.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);

    // The points' extent; a single value or none still gives a drawable range.
    const double scale =
        picture.bottomScale > 0.0 && std::isfinite(picture.bottomScale) ? picture.bottomScale : 1.0;
    double lo = 0.0;
    double hi = 0.0;
    bool any = false;
    for (const double v : picture.values) {
        if (!std::isfinite(v)) continue;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
    if (!(hi > lo)) {
        lo -= 1.0;
        hi += 1.0;
    }
    const double xMax =
        std::max<double>(static_cast<double>(picture.values.size()) - 1.0, 1.0) * scale;
    const double left = kLeft;
    const double right = width - kRight;
    const double top = kTop;
    const double bottom = height - kBottom;
    const auto px = [&](double x) { return left + (right - left) * x / xMax; };
    const auto py = [&](double y) { return bottom - (bottom - top) * (y - lo) / (hi - lo); };

    // Ticks with numbers, and the frame.
    cairo_set_line_width(cr, 1.0);
    cairo_set_source_rgb(cr, 0, 0, 0);
    const double yStep = TickStep(hi - lo);
    for (double y = std::ceil(lo / yStep) * yStep; y <= hi + yStep * 1e-9; y += yStep) {
        cairo_move_to(cr, left - 4, std::round(py(y)) + 0.5);
        cairo_line_to(cr, left, std::round(py(y)) + 0.5);
        Text(cr, Number(std::fabs(y) < yStep * 1e-9 ? 0.0 : y, yStep), left - 6, py(y) + 4, 1.0);
    }
    const double xStep = TickStep(xMax);
    for (double x = 0.0; x <= xMax + xStep * 1e-9; x += xStep) {
        cairo_move_to(cr, std::round(px(x)) + 0.5, bottom);
        cairo_line_to(cr, std::round(px(x)) + 0.5, bottom + 4);
        Text(cr, Number(x, xStep), px(x), bottom + 16, 0.5);
    }
    cairo_rectangle(cr, left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
    cairo_stroke(cr);
    if (lo < 0.0 && hi > 0.0) {
        cairo_set_source_rgb(cr, 0.75, 0.75, 0.75);
        cairo_move_to(cr, left + 1, std::round(py(0.0)) + 0.5);
        cairo_line_to(cr, right - 1, std::round(py(0.0)) + 0.5);
        cairo_stroke(cr);
    }

    // The points: a red line with a small marker at each.
    cairo_save(cr);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 1, 0, 0);
    bool drawing = false;
    for (size_t i = 0; i < picture.values.size(); ++i) {
        const double v = picture.values[i];
        if (!std::isfinite(v)) {
            drawing = false;
            continue;
        }
        const double x = px(static_cast<double>(i) * scale);
        if (drawing) {
            cairo_line_to(cr, x, py(v));
        } else {
            cairo_move_to(cr, x, py(v));
            drawing = true;
        }
    }
    cairo_stroke(cr);
    if (picture.values.size() <= 2000) {
        for (size_t i = 0; i < picture.values.size(); ++i) {
            const double v = picture.values[i];
            if (!std::isfinite(v)) continue;
            cairo_rectangle(cr, px(static_cast<double>(i) * scale) - 1.5, py(v) - 1.5, 3, 3);
        }
        cairo_fill(cr);
    }
    cairo_restore(cr);

    // The texts: title, axis titles, the foot's lines.
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, kFontSize + 2);
    Text(cr, picture.title, width / 2.0, top - 12, 0.5);
    cairo_select_font_face(cr, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, kFontSize);
    Text(cr, picture.bottomTitle, (left + right) / 2.0, bottom + 32, 0.5);
    cairo_save(cr);
    cairo_translate(cr, 16, (top + bottom) / 2.0);
    cairo_rotate(cr, -M_PI / 2.0);
    Text(cr, picture.leftTitle, 0, 0, 0.5);
    cairo_restore(cr);
    double footY = bottom + 50;
    for (const std::string& line : Lines(picture.foot)) {
        Text(cr, line, left, footY, 0.0);
        footY += kFontSize + 3;
    }
    cairo_restore(cr);
}

std::string RenderChartBmp(const ChartPicture& picture, int width, int height) {
    width = std::max(width, kMinimumSize);
    height = std::max(height, kMinimumSize);
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height),
                    cairo_surface_destroy);
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    Context context(cairo_create(surface.get()), cairo_destroy);
    DrawChart(context.get(), picture, 0, 0, width, height);
    if (cairo_status(context.get()) != CAIRO_STATUS_SUCCESS) return {};
    return Bmp(surface.get(), width, height);
}

}  // namespace veska::report
