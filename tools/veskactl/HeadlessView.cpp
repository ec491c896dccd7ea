#include "tools/veskactl/HeadlessView.h"

#include <filesystem>

#include "platform/FileIo.h"
#include "report/ChartDrawing.h"

namespace veska::tools {

void HeadlessView::SetFileStem(const std::string& directory, const std::string& stem) {
    directory_ = directory;
    stem_ = stem;
}

std::string HeadlessView::FileInDirectory(const std::string& extension) const {
    return (std::filesystem::path(directory_) / (stem_ + extension)).string();
}

void HeadlessView::SetTimerEnabled(main::Timer timer, bool enabled) {
    TimerState& t = StateOf(timer);
    t.enabled = enabled;
    if (enabled) t.armed = SteadyClock::now();
}

bool HeadlessView::TimerEnabled(main::Timer timer) const { return StateOf(timer).enabled; }

void HeadlessView::SetTimerInterval(main::Timer timer, int milliseconds) {
    TimerState& t = StateOf(timer);
    t.interval = milliseconds < 0 ? 0 : milliseconds;
    if (t.enabled) t.armed = SteadyClock::now();
}

std::optional<HeadlessView::SteadyClock::time_point> HeadlessView::DueAt(main::Timer timer) const {
    const TimerState& t = StateOf(timer);
    if (!t.enabled) return std::nullopt;
    return t.armed + std::chrono::milliseconds(t.interval);
}

void HeadlessView::Fired(main::Timer timer) { StateOf(timer).armed = SteadyClock::now(); }

int HeadlessView::Interval(main::Timer timer) const { return StateOf(timer).interval; }

void HeadlessView::SetText(main::Control control, const std::string& text) {
    if (control == main::Control::LabelRast) value_ = text;
    // The run's state line: what it does now, and how it ended.
    if (control == main::Control::StatusLine && !text.empty() && text != status_) {
        status_ = text;
        err_ << "bench: " << text << '\n';
    }
}

void HeadlessView::PrintLines(const std::string& prefix, const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            err_ << prefix << line << '\n';
            line.clear();
        } else {
            line += c;
        }
    }
    err_ << prefix << line << '\n';
}

int HeadlessView::MessageBox(const std::string& text, const std::string& caption, int flags) {
    const std::string prefix = "veskactl: [" + caption + "] ";
    PrintLines(prefix, text);
    if (flags == params::kMbOkCancelExclamation) {
        if (yes_) return params::kIdOk;
        refused_ = true;
        problems_.push_back("confirmation refused (give --yes): " + text);
        err_ << "veskactl: confirmation refused: give --yes to go ahead\n";
        return params::kIdCancel;
    }
    if (flags == kMbRetryCancel) {
        // Retry a bounded number of times with --yes; then, and without --yes, Cancel.
        if (yes_ && retries_ < kMaxRetries) {
            ++retries_;
            err_ << "veskactl: retrying (" << retries_ << " of " << kMaxRetries << ")\n";
            return kIdRetry;
        }
        err_ << "veskactl: " << (yes_ ? "no more retries" : "not retried (give --yes to retry)")
             << '\n';
        return params::kIdCancel;
    }
    if (flags == params::kMbIconStop || flags == params::kMbIconExclamation) {
        problems_.push_back(text);
    }
    return params::kIdOk;
}

void HeadlessView::ShowError(const std::string& text) {
    PrintLines("veskactl: ", text);
    problems_.push_back(text);
}

std::string HeadlessView::IdentityLabelText(params::IdentityLabel label) const {
    const auto it = labels_.find(label);
    return it == labels_.end() ? std::string() : it->second;
}

std::optional<std::string> HeadlessView::AskSaveDataFile() { return FileInDirectory(".txt"); }

std::optional<std::string> HeadlessView::AskSaveParamFile(const std::string& presetName) {
    // Only the preset's file name is taken: the file always lands in the output folder.
    const std::string name = std::filesystem::path(presetName).filename().string();
    if (name.empty()) return FileInDirectory(".prm");
    return (std::filesystem::path(directory_) / name).string();
}

std::optional<std::string> HeadlessView::AskReportFile(const std::string& preset) {
    const std::string name = std::filesystem::path(preset).filename().string();
    if (name.empty()) return FileInDirectory(".txt");
    return (std::filesystem::path(directory_) / name).string();
}

std::string HeadlessView::ReportImagePath(const std::string& name) {
    const std::string file = std::filesystem::path(name).filename().string();
    return (std::filesystem::path(directory_) / (file.empty() ? stem_ + ".bmp" : file)).string();
}

bool HeadlessView::SaveChartImage(const std::string& path, int width, int height) {
    std::string reason;
    const std::string image = report::RenderChartBmp(chart_, width, height);
    if (image.empty()) {
        err_ << "veskactl: the chart image " << path << " could not be drawn\n";
        return false;
    }
    if (platform::ReplaceFile(path, image, reason)) {
        savedCharts_.emplace_back(path, chart_);
        return true;
    }
    err_ << "veskactl: the chart image " << path << " was not written: " << reason << '\n';
    return false;
}

void HeadlessView::ChartAddPoints(const float* values, int count, int, main::PointColour) {
    if (values == nullptr) return;
    for (int i = 0; i < count; ++i) chart_.values.push_back(values[i]);
}

void HeadlessView::ClearProblems() {
    problems_.clear();
    savedCharts_.clear();
    refused_ = false;
    retries_ = 0;
    status_.clear();
}

}  // namespace veska::tools
