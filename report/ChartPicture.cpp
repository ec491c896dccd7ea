#include "report/ChartPicture.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

namespace veska::report {

namespace {

constexpr size_t kMostPoints = 10'000'000;  ///< a data file with more is not a chart

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool ParseReal(std::string_view text, double& value) {
    text = Trim(text);
    if (text.empty()) return false;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() && std::isfinite(value);
}

}  // namespace

std::string ChartDataText(const ChartPicture& picture) {
    nlohmann::ordered_json j;
    j["title"] = picture.title;
    j["left"] = picture.leftTitle;
    j["bottom"] = picture.bottomTitle;
    j["foot"] = picture.foot;
    j["scale"] = picture.bottomScale;
    nlohmann::ordered_json values = nlohmann::ordered_json::array();
    for (const double v : picture.values) {
        values.push_back(std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json());
    }
    j["values"] = std::move(values);
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

std::optional<ChartPicture> ParseChartData(std::string_view text, std::string& error) {
    const nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (!j.is_object()) {
        error = "not a chart's data (JSON object expected)";
        return std::nullopt;
    }
    ChartPicture picture;
    const auto textOf = [&](const char* key, std::string& into) {
        const auto it = j.find(key);
        if (it == j.end()) return true;
        if (!it->is_string()) return false;
        into = it->get<std::string>();
        return true;
    };
    if (!textOf("title", picture.title) || !textOf("left", picture.leftTitle) ||
        !textOf("bottom", picture.bottomTitle) || !textOf("foot", picture.foot)) {
        error = "a chart's text is not a string";
        return std::nullopt;
    }
    if (const auto it = j.find("scale"); it != j.end()) {
        if (!it->is_number() || !std::isfinite(it->get<double>()) || it->get<double>() <= 0.0) {
            error = "the chart's scale is not a positive number";
            return std::nullopt;
        }
        picture.bottomScale = it->get<double>();
    }
    const auto values = j.find("values");
    if (values == j.end() || !values->is_array() || values->size() > kMostPoints) {
        error = "the chart has no list of values";
        return std::nullopt;
    }
    picture.values.reserve(values->size());
    for (const auto& v : *values) {
        if (v.is_null()) {
            picture.values.push_back(std::nan(""));
        } else if (v.is_number()) {
            picture.values.push_back(v.get<double>());
        } else {
            error = "a chart value is not a number";
            return std::nullopt;
        }
    }
    return picture;
}

std::optional<ChartPicture> ChartFromPvk(std::string_view text, int rangeMm, std::string& error) {
    if (rangeMm <= 0) {
        error = "the sensor's range is not known";
        return std::nullopt;
    }
    std::vector<double> distances;
    double step = 0.0;
    bool first = true;
    size_t lineNumber = 0;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = Trim(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++lineNumber;
        if (line.empty()) continue;
        double value = 0.0;
        if (!ParseReal(line, value) || (first && value <= 0.0)) {
            error = "line " + std::to_string(lineNumber) + " of the verification data is not " +
                    (first ? "a sample step" : "a distance");
            return std::nullopt;
        }
        if (first) {
            step = value;
            first = false;
        } else if (distances.size() < kMostPoints) {
            distances.push_back(value);
        }
    }
    if (distances.empty()) {
        error = "the verification data holds no distances";
        return std::nullopt;
    }
    std::vector<double> deviations;
    double lo = 0.0;
    double hi = 0.0;
    for (size_t k = 0; k < distances.size(); ++k) {
        const double d = distances[k] - distances[0] - static_cast<double>(k) * step;
        lo = k == 0 ? d : std::min(lo, d);
        hi = k == 0 ? d : std::max(hi, d);
        deviations.push_back(d);
    }
    const double centre = (lo + hi) * 0.5;
    ChartPicture picture;
    picture.leftTitle = "Deviation [%]";
    picture.bottomTitle = "Position [mm]";
    picture.bottomScale = step;
    for (const double d : deviations) picture.values.push_back((d - centre) * 100.0 / rangeMm);
    char foot[64];
    std::snprintf(foot, sizeof foot, "Linearity: %.4f %%", (hi - lo) * 100.0 / (rangeMm * 2.0));
    picture.foot = foot;
    return picture;
}

}  // namespace veska::report
