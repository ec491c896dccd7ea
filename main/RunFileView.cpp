#include "main/RunFileView.h"

#include <filesystem>

#include "platform/FileIo.h"

namespace veska::main {

namespace fs = std::filesystem;

std::vector<std::string> RunFileView::TakeWritten() { return std::exchange(written_, {}); }
std::vector<std::string> RunFileView::TakeProblems() { return std::exchange(problems_, {}); }

void RunFileView::ChartClear() {
    chart_ = report::ChartPicture{};
    inner_.ChartClear();
}

void RunFileView::ChartAddPoint(double y, const std::string& label, bench::PointColour colour) {
    chart_.values.push_back(y);
    inner_.ChartAddPoint(y, label, colour);
}

void RunFileView::ChartAddPoints(const float* values, int count, int firstLabel,
                                 bench::PointColour colour) {
    if (values != nullptr) chart_.values.insert(chart_.values.end(), values, values + count);
    inner_.ChartAddPoints(values, count, firstLabel, colour);
}

void RunFileView::ChartSetTitle(const std::string& text, bool visible) {
    chart_.title = visible ? text : std::string();
    inner_.ChartSetTitle(text, visible);
}

void RunFileView::ChartSetAxisTitles(const std::string& left, const std::string& bottom) {
    chart_.leftTitle = left;
    chart_.bottomTitle = bottom;
    inner_.ChartSetAxisTitles(left, bottom);
}

void RunFileView::ChartSetFoot(const std::string& text) {
    chart_.foot = text;
    inner_.ChartSetFoot(text);
}

void RunFileView::ChartSetBottomScale(double unitsPerPoint) {
    chart_.bottomScale = unitsPerPoint;
    inner_.ChartSetBottomScale(unitsPerPoint);
}

std::string RunFileView::InFolder(const std::string& name) const {
    return (fs::path(*folder_) / fs::path(name).filename()).string();
}

std::optional<std::string> RunFileView::AskReportFile(const std::string& preset) {
    if (folder_ && !fs::path(preset).filename().empty()) return InFolder(preset);
    return inner_.AskReportFile(preset);
}

std::string RunFileView::ReportImagePath(const std::string& name) {
    if (folder_) return name.empty() ? (fs::path(*folder_) / "").string() : InFolder(name);
    return inner_.ReportImagePath(name);
}

bool RunFileView::SaveChartImage(const std::string& path, int width, int height) {
    if (!inner_.SaveChartImage(path, width, height)) return false;
    const std::string data =
        fs::path(path).replace_extension("").string() + std::string(report::kChartDataSuffix);
    std::string reason;
    if (platform::ReplaceFile(data, report::ChartDataText(chart_), reason)) {
        written_.push_back(data);
    } else {
        problems_.push_back("the chart data " + data + " was not written: " + reason);
    }
    return true;
}

}  // namespace veska::main
