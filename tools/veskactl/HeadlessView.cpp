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

void HeadlessView::ShowWindow(const main::WindowModel& model) {
    if (model.note.empty() || model.note == note_) return;
    note_ = model.note;
    err_ << "veskactl: " << note_ << '\n';
}

void HeadlessView::ShowRunState(const std::string& text) {
    // The run's state line: what it does now, and how it ended.
    if (!text.empty() && text != status_) {
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
    const ConsoleAnswers::Answer answer = answers_.Decide(flags);
    if (!answer.note.empty()) err_ << "veskactl: " << answer.note << '\n';
    if (answer.refused) {
        refused_ = true;
        problems_.push_back("confirmation refused (give --yes): " + text);
    }
    if (flags == params::kMbIconStop || flags == params::kMbIconExclamation) {
        problems_.push_back(text);
    }
    return answer.id;
}

void HeadlessView::ShowError(const std::string& text) {
    PrintLines("veskactl: ", text);
    problems_.push_back(text);
}

std::string HeadlessView::IdentityLabelText(params::IdentityLabel label) const {
    const auto it = labels_.find(label);
    return it == labels_.end() ? std::string() : it->second;
}

std::optional<std::string> HeadlessView::AskFile(main::FileQuestion question) {
    if (question == main::FileQuestion::DataFile) return FileInDirectory(".txt");
    return std::nullopt;
}

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
    if (platform::ReplaceFile(path, image, reason)) return true;
    err_ << "veskactl: the chart image " << path << " was not written: " << reason << '\n';
    return false;
}

void HeadlessView::ChartAddPoints(const float* values, int count, int, main::PointColour) {
    if (values == nullptr) return;
    for (int i = 0; i < count; ++i) chart_.values.push_back(values[i]);
}

void HeadlessView::ClearProblems() {
    problems_.clear();
    refused_ = false;
    answers_.ClearRetries();
    status_.clear();
}

}  // namespace veska::tools
