#include "report/Certificate.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <string_view>

#include "report/ChartDrawing.h"

namespace veska::report {

namespace {

// A4 in points, and the page's margins.
constexpr double kPageWidth = 595.0;
constexpr double kPageHeight = 842.0;
constexpr double kMargin = 48.0;
constexpr double kBodySize = 10.0;
constexpr double kChartHeight = 270.0;

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

std::string Number(const std::optional<double>& value) {
    if (!value) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", *value);
    return text;
}

/// "2026-12-10T02:00:00.000Z" as "2026-12-10 02:00:00 UTC".
std::string Moment(const std::string& iso) {
    if (iso.size() < 19 || iso[10] != 'T') return iso;
    return iso.substr(0, 10) + " " + iso.substr(11, 8) + " UTC";
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

/// Writes lines down A4 pages, starting a new page when a block does not fit.
class PageWriter {
  public:
    explicit PageWriter(cairo_t* cr) : cr_(cr) {}

    void Line(const std::string& text, double size = kBodySize, bool bold = false,
              double indent = 0.0) {
        Font(size, bold);
        const double width = kPageWidth - 2 * kMargin - indent;
        for (const std::string& part : Wrap(text, width)) {
            Room(size * 1.45);
            y_ += size * 1.45;
            cairo_move_to(cr_, kMargin + indent, y_);
            cairo_show_text(cr_, part.c_str());
        }
    }
    void Gap(double points) { y_ += points; }
    void Rule() {
        Room(8);
        y_ += 6;
        cairo_set_line_width(cr_, 0.5);
        cairo_move_to(cr_, kMargin, y_);
        cairo_line_to(cr_, kPageWidth - kMargin, y_);
        cairo_stroke(cr_);
        y_ += 2;
    }
    void Chart(const ChartPicture& picture) {
        Room(kChartHeight + 8);
        DrawChart(cr_, picture, kMargin, y_ + 4, kPageWidth - 2 * kMargin, kChartHeight);
        y_ += kChartHeight + 8;
    }
    void Room(double height) {
        if (y_ + height <= kPageHeight - kMargin) return;
        cairo_show_page(cr_);
        y_ = kMargin;
    }

  private:
    void Font(double size, bool bold) {
        cairo_set_source_rgb(cr_, 0, 0, 0);
        cairo_select_font_face(cr_, "DejaVu Sans", CAIRO_FONT_SLANT_NORMAL,
                               bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, size);
    }
    double Width(const std::string& text) {
        cairo_text_extents_t extents{};
        cairo_text_extents(cr_, text.c_str(), &extents);
        return extents.x_advance;
    }
    /// The text in lines no wider than width, broken at spaces where it can be.
    std::vector<std::string> Wrap(const std::string& text, double width) {
        std::vector<std::string> lines;
        std::string rest;
        for (const char c : text) rest += (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
        while (!rest.empty()) {
            if (Width(rest) <= width) {
                lines.push_back(rest);
                break;
            }
            size_t cut = rest.size();
            while (cut > 1 && Width(rest.substr(0, cut)) > width) --cut;
            const size_t space = rest.rfind(' ', cut);
            if (space != std::string::npos && space > 0) cut = space;
            lines.push_back(rest.substr(0, cut));
            rest.erase(0, cut);
            while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
        }
        if (lines.empty()) lines.emplace_back();
        return lines;
    }

    cairo_t* cr_;
    double y_ = kMargin;
};

cairo_status_t AppendTo(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

void WriteMeasurement(PageWriter& page, const results::Measurement& m) {
    std::string line = m.name + ": " + Number(m.value);
    if (!m.unit.empty()) line += " " + m.unit;
    if (m.low || m.high) line += "   limits " + Number(m.low) + " .. " + Number(m.high);
    line += "   " + std::string(results::OutcomeName(m.outcome));
    page.Line(line, kBodySize, false, 14);
}

void WriteDocument(cairo_t* cr, const CertificateData& data) {
    const results::RunResult& unit = data.unit;
    PageWriter page(cr);
    page.Line("Test certificate", 18, true);
    page.Gap(6);
    const results::SensorIdentity& s = unit.sensor;
    page.Line("Sensor: serial " + std::to_string(s.serial) + ", type " + std::to_string(s.type) +
              ", release " + std::to_string(s.release) + ", base " + std::to_string(s.base) +
              " mm, range " + std::to_string(s.range) + " mm");
    page.Line("Sequence: " + unit.sequence);
    page.Line("Date: " + Moment(unit.started) + " to " + Moment(unit.ended));
    page.Line("Station: " + unit.station);
    page.Line("Operator: " + unit.operatorName);
    page.Line("Program version: " + unit.programVersion);
    page.Line("Result id: " + unit.runId);
    page.Gap(4);
    page.Line("Outcome: " + Upper(results::OutcomeName(unit.outcome)), 16, true);
    if (!unit.reason.empty()) page.Line(unit.reason);
    page.Rule();

    page.Line("Steps", 13, true);
    for (const results::RunResult& step : data.steps) {
        page.Gap(4);
        page.Line(step.step + " (" + step.mode + "): " + Upper(results::OutcomeName(step.outcome)),
                  kBodySize + 1, true);
        page.Line(Moment(step.started) + " to " + Moment(step.ended), kBodySize, false, 14);
        if (!step.reason.empty()) page.Line(step.reason, kBodySize, false, 14);
        for (const results::Measurement& m : step.measurements) WriteMeasurement(page, m);
    }

    bool heading = false;
    for (const results::RunResult& step : data.steps) {
        for (ChartPicture chart : StepCharts(step)) {
            if (!heading) {
                page.Room(kChartHeight + 70);
                page.Rule();
                page.Line("Charts", 13, true);
                heading = true;
            }
            if (chart.title.empty()) chart.title = "s/n " + std::to_string(unit.sensor.serial);
            page.Room(kChartHeight + 30);
            page.Line(step.step, kBodySize + 1, true);
            page.Chart(chart);
        }
    }
}

}  // namespace

std::optional<CertificateData> LoadCertificate(results::ResultStore& store,
                                               const std::string& runId, std::string& error) {
    error.clear();
    std::optional<results::RunResult> run = store.Load(runId, error);
    if (!run) {
        if (error.empty()) error = "no result with the id " + runId;
        return std::nullopt;
    }
    if (run->unitId.empty()) {
        error = "the result " + runId + " belongs to no sequence";
        return std::nullopt;
    }
    CertificateData data;
    if (run->runId == run->unitId) {
        data.unit = std::move(*run);
    } else {
        std::optional<results::RunResult> unit = store.Load(run->unitId, error);
        if (!unit) {
            if (error.empty()) {
                error = "the verdict of the unit " + run->unitId + " is not in the store";
            }
            return std::nullopt;
        }
        data.unit = std::move(*unit);
    }
    results::HistoryQuery query;
    query.serial = data.unit.sensor.serial;
    query.since = data.unit.started.substr(0, 10);
    const auto runs = store.History(query, error);
    if (!runs) return std::nullopt;
    for (auto it = runs->rbegin(); it != runs->rend(); ++it) {
        if (it->unitId != data.unit.runId || it->runId == data.unit.runId) continue;
        std::optional<results::RunResult> step = store.Load(it->runId, error);
        if (!step) {
            if (error.empty()) error = "the result " + it->runId + " vanished from the store";
            return std::nullopt;
        }
        data.steps.push_back(std::move(*step));
    }
    std::stable_sort(data.steps.begin(), data.steps.end(),
                     [](const results::RunResult& a, const results::RunResult& b) {
                         return a.started < b.started;
                     });
    return data;
}

std::vector<ChartPicture> StepCharts(const results::RunResult& step) {
    std::vector<ChartPicture> charts;
    const auto textOf = [](const results::StoredFile& file) {
        return std::string_view(reinterpret_cast<const char*>(file.content.data()),
                                file.content.size());
    };
    std::string error;
    for (const results::StoredFile& file : step.files) {
        if (!EndsWith(file.name, kChartDataSuffix)) continue;
        if (auto chart = ParseChartData(textOf(file), error)) charts.push_back(std::move(*chart));
    }
    if (!charts.empty()) return charts;
    for (const results::StoredFile& file : step.files) {
        if (!EndsWith(file.name, ".pvk")) continue;
        if (auto chart = ChartFromPvk(textOf(file), step.sensor.range, error)) {
            charts.push_back(std::move(*chart));
        }
    }
    return charts;
}

std::string CertificatePdf(const CertificateData& data, std::string& error) {
    std::string pdf;
    {
        std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
            cairo_pdf_surface_create_for_stream(AppendTo, &pdf, kPageWidth, kPageHeight),
            cairo_surface_destroy);
        const std::string title = "Test certificate " + std::to_string(data.unit.sensor.serial);
        cairo_pdf_surface_set_metadata(surface.get(), CAIRO_PDF_METADATA_TITLE, title.c_str());
        std::unique_ptr<cairo_t, decltype(&cairo_destroy)> context(cairo_create(surface.get()),
                                                                   cairo_destroy);
        WriteDocument(context.get(), data);
        cairo_show_page(context.get());
        if (cairo_status(context.get()) != CAIRO_STATUS_SUCCESS) {
            error = std::string("the certificate could not be drawn: ") +
                    cairo_status_to_string(cairo_status(context.get()));
            return {};
        }
        cairo_surface_finish(surface.get());
        if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
            error = std::string("the certificate could not be made: ") +
                    cairo_status_to_string(cairo_surface_status(surface.get()));
            return {};
        }
    }
    return pdf;
}

}  // namespace veska::report
